# Run by CPack on the staged files before it packs them: strips the programs as Debian's
# dh_strip does, so that they carry no symbols, comments or notes.
find_program(STRIP strip REQUIRED)
file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
if(NOT programs)
  message(FATAL_ERROR "no program to strip in ${CPACK_TEMPORARY_DIRECTORY}/usr/bin")
endif()
foreach(program IN LISTS programs)
  execute_process(
    COMMAND ${STRIP} --remove-section=.comment --remove-section=.note --strip-unneeded ${program}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()

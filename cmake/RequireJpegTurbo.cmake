# The JPEG writer hands libjpeg QImage's RGB32 rows as they lie in memory (JCS_EXT_BGRX), a colour
# space that only libjpeg-turbo has. corvane_require_jpeg_turbo(INCLUDE_DIRS) stops the
# configuration with a clear message when the libjpeg found is another one, instead of failing
# later in the compiler.
include(CheckCXXSourceCompiles)
include(CMakePushCheckState)

function(corvane_require_jpeg_turbo)
  cmake_push_check_state(RESET)
  set(CMAKE_REQUIRED_INCLUDES ${ARGN})
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("
    #include <cstdio>
    #include <jpeglib.h>
    int main() { J_COLOR_SPACE space = JCS_EXT_BGRX; return space == JCS_EXT_XRGB; }"
    CORVANE_JPEG_HAS_EXTENDED_COLOUR_SPACES)
  cmake_pop_check_state()
  if(NOT CORVANE_JPEG_HAS_EXTENDED_COLOUR_SPACES)
    message(FATAL_ERROR
      "The libjpeg found (headers in ${ARGN}) is not libjpeg-turbo: it lacks JCS_EXT_BGRX, which "
      "Corvane's JPEG writer needs. Install libjpeg-turbo's development files (Debian: "
      "libjpeg62-turbo-dev, which libjpeg-dev brings), or point JPEG_INCLUDE_DIR and "
      "JPEG_LIBRARY at a libjpeg-turbo.")
  endif()
endfunction()

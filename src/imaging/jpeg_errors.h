#pragma once
// How our libjpeg callers hear of errors. Private to the imaging library.
//
// libjpeg reports an error by calling a function that must not return; ours jumps back to the
// point the caller last set with setjmp(jump). Warnings (a truncated file, stray bytes) are not
// printed: the picture still comes out, as from Qt's reader. A function that sets the jump point
// must hold nothing that a jump would leak: it skips destructors.

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

extern "C" {
#include <jpeglib.h>
}

namespace corvane {

struct JpegErrorManager : jpeg_error_mgr {
    std::jmp_buf jump;
};

// Fills in `error` as above; gives it as libjpeg's error manager.
jpeg_error_mgr* UseJpegErrorManager(JpegErrorManager& error);

}  // namespace corvane

// The libjpeg error manager of the image layer: fatal errors jump back to the
// setjmp of the plain function that drives libjpeg, warnings are counted and
// kept out of the standard error stream. Every function that calls setjmp on
// it keeps no object with a destructor alive in its own frame.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace kximage {

struct JpegErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    int warnings;
    char message[JMSG_LENGTH_MAX];
};

// Sets up errors and returns the pointer libjpeg's err field takes.
jpeg_error_mgr* InstallJpegErrors(JpegErrorManager* errors);

// Upper bound on libjpeg's own allocations for one image (the whole-image
// coefficient buffers of progressive streams).
constexpr long kJpegMaxLibraryMemory = 768L << 20;

}  // namespace kximage

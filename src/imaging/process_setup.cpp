#include "imaging/process_setup.h"

#include "allocation.h"

#include <QImageReader>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace corvane {
namespace {

// Qt's own allocation check is the backstop for handlers that cannot tell the size before
// decoding; it must let through any image within the pixel bound at the widest decoded pixel
// (64-bit RGBA, for 16-bit PNG and TIFF).
constexpr int kAllocationLimitMiB = int(kMaxLoadPixels * 8 / (1024 * 1024));

#if defined(__GLIBC__)
// Picture-sized blocks (a megapixel at 4 bytes and up) are mapped from the system and unmapped
// when freed. By default glibc raises this threshold as large blocks are freed, up to 32 MiB, and
// from then on serves pictures below that from its heap, which never shrinks past a block still
// in use: over a batch the freed gaps pile up (about 30 MiB more at the peak over the bench
// corpus than any one of its files needs). Fresh pages cost some system time; the peak stays at
// what the largest file needs.
constexpr int kSystemBlockBytes = 4 * 1024 * 1024;
#endif

}  // namespace

void ConfigureProcessForImaging() {
    QImageReader::setAllocationLimit(kAllocationLimitMiB);
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, kSystemBlockBytes);
#endif
}

}  // namespace corvane

#pragma once
// Memory for large pictures, kept for the next picture instead of handed back to the system.
//
// A batch makes pictures of much the same sizes over and over: decoded, turned, resized. Fresh
// memory from the system must be faulted in and cleared page by page (a fifth of the time of a
// quarter turn); a block kept from the picture before is ready at once. Few blocks are kept, and
// whenever a fresh block must be made the kept ones that were too small are given back, so the
// process holds little more than its largest pictures at once. This is process-wide, as the
// allocator beneath it is: pictures move between threads and are freed wherever they end.

#include <QImage>

namespace corvane {

// A new, uninitialised image; a null image when memory cannot hold it. Large images lie in kept
// blocks where one fits.
QImage NewPicture(int width, int height, QImage::Format format);

// Gives every kept block back to the system (at the end of a run: an idle window holds nothing).
void ReleaseKeptPictureMemory();

}  // namespace corvane

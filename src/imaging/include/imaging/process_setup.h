#pragma once
// Process-wide settings that image decoding relies on. They belong to the program, not to a
// library call: every main() that loads images calls ConfigureProcessForImaging() once at
// start-up, before any thread decodes. Without it, Qt refuses pictures above its default
// allocation limit (about 64 megapixels as ARGB32) and glibc's heap keeps freed pictures.

namespace corvane {

// Lets Qt's decoders allocate any picture within the loader's pixel bound, and (glibc) has the
// allocator return picture-sized blocks to the system when they are freed.
void ConfigureProcessForImaging();

}  // namespace corvane

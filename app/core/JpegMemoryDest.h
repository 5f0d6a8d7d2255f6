// A libjpeg destination in memory whose buffer the caller holds at every
// moment. libjpeg's own memory destination frees its buffer when it grows and
// tells the caller the new one only when the stream is finished, so after an
// error part way the caller's pointer is stale and freeing it frees twice.
// Here each growth is a realloc whose result goes straight back to the
// caller's pointer: after any error the caller frees that one buffer.
#pragma once

#include <cstddef>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace plastora {

struct JpegMemoryDestination {
    jpeg_destination_mgr mgr;  // what libjpeg is given
    unsigned char** buffer;    // the caller's buffer (malloc'd; null at the start)
    unsigned long* size;       // the stream's length, set when it is finished
    std::size_t capacity;
};

// Makes `dest` the destination of `cinfo`, writing into *buffer, which must
// be null at the start (made with malloc, grown with realloc; the caller
// frees it with free, whether or not the compression finishes).
// Running out of memory is a libjpeg error (JERR_OUT_OF_MEMORY).
void setJpegMemoryDestination(j_compress_ptr cinfo, JpegMemoryDestination& dest, unsigned char** buffer,
                              unsigned long* size);

}  // namespace plastora

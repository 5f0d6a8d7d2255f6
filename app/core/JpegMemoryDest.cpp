#include "core/JpegMemoryDest.h"

#include <cstdlib>
#include <jerror.h>

namespace plastora {

namespace {

constexpr std::size_t kFirstBuffer = 64 * 1024;

JpegMemoryDestination& destinationOf(j_compress_ptr cinfo) {
    return *reinterpret_cast<JpegMemoryDestination*>(cinfo->dest);
}

void initDestination(j_compress_ptr cinfo) {
    JpegMemoryDestination& d = destinationOf(cinfo);
    if (!*d.buffer) {
        *d.buffer = static_cast<unsigned char*>(std::malloc(kFirstBuffer));
        if (!*d.buffer) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
        d.capacity = kFirstBuffer;
    }
    d.mgr.next_output_byte = *d.buffer;
    d.mgr.free_in_buffer = d.capacity;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    JpegMemoryDestination& d = destinationOf(cinfo);
    const std::size_t grown = d.capacity * 2;
    auto* more = grown > d.capacity ? static_cast<unsigned char*>(std::realloc(*d.buffer, grown)) : nullptr;
    if (!more) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);  // *buffer is still the caller's to free
    *d.buffer = more;
    d.mgr.next_output_byte = more + d.capacity;
    d.mgr.free_in_buffer = grown - d.capacity;
    d.capacity = grown;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    JpegMemoryDestination& d = destinationOf(cinfo);
    *d.size = static_cast<unsigned long>(d.capacity - d.mgr.free_in_buffer);
}

}  // namespace

void setJpegMemoryDestination(j_compress_ptr cinfo, JpegMemoryDestination& dest, unsigned char** buffer,
                              unsigned long* size) {
    dest.mgr.init_destination = initDestination;
    dest.mgr.empty_output_buffer = emptyOutputBuffer;
    dest.mgr.term_destination = termDestination;
    dest.buffer = buffer;
    dest.size = size;
    dest.capacity = 0;
    *size = 0;
    cinfo->dest = &dest.mgr;
}

}  // namespace plastora

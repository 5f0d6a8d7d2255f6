#include "output/MjpegAvi.h"

#include "core/JpegMemoryDest.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include <jpeglib.h>

namespace plastora {

namespace {

// ---- JPEG ---------------------------------------------------------------------

struct FrameJpegError {
    jpeg_error_mgr mgr;  // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
};

[[noreturn]] void frameJpegExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<FrameJpegError*>(cinfo->err)->jump, 1);
}
void frameJpegMessage(j_common_ptr) {}

// Everything libjpeg touches lives here, so that nothing with a destructor
// is skipped by the error jump.
struct FrameJpegJob {
    jpeg_compress_struct cinfo;
    FrameJpegError err;
    JpegMemoryDestination dest;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

bool runFrameJpeg(FrameJpegJob& job, const Surface& picture, int quality) {
    job.cinfo.err = jpeg_std_error(&job.err.mgr);
    job.err.mgr.error_exit = frameJpegExit;
    job.err.mgr.output_message = frameJpegMessage;
    if (setjmp(job.err.jump)) {
        jpeg_destroy_compress(&job.cinfo);
        return false;
    }
    jpeg_create_compress(&job.cinfo);
    setJpegMemoryDestination(&job.cinfo, job.dest, &job.buffer, &job.size);
    job.cinfo.image_width = static_cast<JDIMENSION>(picture.width());
    job.cinfo.image_height = static_cast<JDIMENSION>(picture.height());
    // A Surface word 0xFFRRGGBB is the bytes B, G, R, X in memory: libjpeg
    // reads the rows as they are.
    job.cinfo.input_components = 4;
    job.cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&job.cinfo);
    jpeg_set_quality(&job.cinfo, quality, TRUE);
    job.cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&job.cinfo, TRUE);
    while (job.cinfo.next_scanline < job.cinfo.image_height) {
        JSAMPROW row[1] = {const_cast<JSAMPROW>(
            reinterpret_cast<const JSAMPLE*>(picture.row(static_cast<int>(job.cinfo.next_scanline))))};
        jpeg_write_scanlines(&job.cinfo, row, 1);
    }
    jpeg_finish_compress(&job.cinfo);
    jpeg_destroy_compress(&job.cinfo);
    return true;
}

// ---- RIFF ---------------------------------------------------------------------

class Bytes {
public:
    void u16(std::uint32_t v) {
        m_b.push_back(static_cast<std::uint8_t>(v));
        m_b.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFFu);
        u16(v >> 16);
    }
    void fourcc(const char* c) { m_b.insert(m_b.end(), c, c + 4); }
    const std::vector<std::uint8_t>& data() const { return m_b; }
    std::size_t size() const { return m_b.size(); }

private:
    std::vector<std::uint8_t> m_b;
};

constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyframe = 0x10;
// The header lists up to 'movi': RIFF + hdrl (avih, strl (strh, strf)).
constexpr std::uint32_t kHdrlSize = 4 + (8 + 56) + 8 + (4 + (8 + 56) + (8 + 40));

}  // namespace

bool encodeJpegFrame(const Surface& picture, int quality, std::vector<std::uint8_t>& out) {
    out.clear();
    if (picture.empty()) return false;
    FrameJpegJob job;
    const bool ok = runFrameJpeg(job, picture, std::clamp(quality, 1, 100));
    if (ok && job.buffer) {
        try {
            out.assign(job.buffer, job.buffer + job.size);
        } catch (const std::bad_alloc&) {
            std::free(job.buffer);
            return false;
        }
    }
    std::free(job.buffer);
    return ok && !out.empty();
}

void aviRate(double fps, std::uint32_t& rate, std::uint32_t& scale) {
    const double clamped = std::clamp(fps, 0.001, 1.0e6);
    std::uint32_t r = static_cast<std::uint32_t>(std::lround(clamped * 1000.0));
    std::uint32_t s = 1000;
    if (r == 0) r = 1;
    const std::uint32_t g = std::gcd(r, s);
    rate = r / g;
    scale = s / g;
}

bool writeMjpegAvi(const std::function<bool(const void*, std::size_t)>& sink, int width, int height, double fps,
                   const std::vector<std::vector<std::uint8_t>>& pictures, const std::vector<int>& sequence,
                   const std::function<void(std::size_t)>& frameDone) {
    if (width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF) return false;
    // Sizes first: every length in the headers is known before the first byte.
    std::uint64_t movi = 4;
    std::uint32_t largest = 0;
    for (int v : sequence) {
        if (v < 0 || static_cast<std::size_t>(v) >= pictures.size() || pictures[static_cast<std::size_t>(v)].empty())
            return false;
        const std::uint64_t n = pictures[static_cast<std::size_t>(v)].size();
        if (n > 0xFFFFFFF0u) return false;
        movi += 8 + n + (n & 1);
        largest = std::max(largest, static_cast<std::uint32_t>(n));
    }
    const std::uint64_t frames = sequence.size();
    const std::uint64_t riff = 4 + (8 + kHdrlSize) + (8 + movi) + (8 + 16 * frames);
    if (riff + 8 > 0xFFFFFFFFull) return false;

    std::uint32_t rate = 1, scale = 1;
    aviRate(fps, rate, scale);
    const auto w = static_cast<std::uint32_t>(width), h = static_cast<std::uint32_t>(height);
    const auto count = static_cast<std::uint32_t>(frames);
    Bytes head;
    head.fourcc("RIFF");
    head.u32(static_cast<std::uint32_t>(riff));
    head.fourcc("AVI ");
    head.fourcc("LIST");
    head.u32(kHdrlSize);
    head.fourcc("hdrl");
    head.fourcc("avih");
    head.u32(56);
    head.u32(static_cast<std::uint32_t>(std::llround(1.0e6 * scale / rate)));  // microseconds a frame
    head.u32(static_cast<std::uint32_t>(std::min<std::uint64_t>(
        0xFFFFFFFFu, static_cast<std::uint64_t>(largest) * rate / scale + largest)));  // max bytes a second
    head.u32(0);                                                                      // padding granularity
    head.u32(kAvifHasIndex);
    head.u32(count);
    head.u32(0);  // initial frames
    head.u32(1);  // streams
    head.u32(largest + 8);
    head.u32(w);
    head.u32(h);
    for (int i = 0; i < 4; ++i) head.u32(0);
    head.fourcc("LIST");
    head.u32(4 + (8 + 56) + (8 + 40));
    head.fourcc("strl");
    head.fourcc("strh");
    head.u32(56);
    head.fourcc("vids");
    head.fourcc("MJPG");
    head.u32(0);  // flags
    head.u16(0);  // priority
    head.u16(0);  // language
    head.u32(0);  // initial frames
    head.u32(scale);
    head.u32(rate);
    head.u32(0);  // start
    head.u32(count);
    head.u32(largest + 8);
    head.u32(0xFFFFFFFFu);  // quality: the default
    head.u32(0);            // sample size: varies
    head.u16(0);
    head.u16(0);
    head.u16(w);
    head.u16(h);
    head.fourcc("strf");
    head.u32(40);
    head.u32(40);  // BITMAPINFOHEADER
    head.u32(w);
    head.u32(h);
    head.u16(1);
    head.u16(24);
    head.fourcc("MJPG");
    head.u32(static_cast<std::uint32_t>(std::min<std::uint64_t>(0xFFFFFFFFu, std::uint64_t{w} * h * 3)));
    for (int i = 0; i < 4; ++i) head.u32(0);
    head.fourcc("LIST");
    head.u32(static_cast<std::uint32_t>(movi));
    head.fourcc("movi");
    if (!sink(head.data().data(), head.size())) return false;

    Bytes index;
    index.fourcc("idx1");
    index.u32(static_cast<std::uint32_t>(16 * frames));
    std::uint32_t offset = 4;  // from the 'movi' tag, as most writers give it
    static const std::uint8_t kPad = 0;
    for (std::size_t k = 0; k < sequence.size(); ++k) {
        const std::vector<std::uint8_t>& jpeg = pictures[static_cast<std::size_t>(sequence[k])];
        const auto n = static_cast<std::uint32_t>(jpeg.size());
        Bytes chunk;
        chunk.fourcc("00dc");
        chunk.u32(n);
        if (!sink(chunk.data().data(), chunk.size()) || !sink(jpeg.data(), n) || ((n & 1) && !sink(&kPad, 1)))
            return false;
        index.fourcc("00dc");
        index.u32(kAviifKeyframe);
        index.u32(offset);
        index.u32(n);
        offset += 8 + n + (n & 1);
        if (frameDone) frameDone(k);
    }
    return sink(index.data().data(), index.size());
}

}  // namespace plastora

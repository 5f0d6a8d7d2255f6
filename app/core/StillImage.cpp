// Still image files: JPEG through libjpeg, 24-bit BMP by our own code.
#include "core/StillImage.h"
#include "core/JpegMemoryDest.h"
#include "platform/SafeFile.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

namespace plastora {

const char* const kSaveFailedMessage = "ファイルの保存に失敗しました";

namespace {

// A header claiming more rows than kMaxPictureRowBytes is treated as
// unreadable rather than attempted, so a few bytes of input can never make
// us allocate without bound.
constexpr std::uint64_t kMaxRowBytes = kMaxPictureRowBytes;
// libjpeg's own working memory (coefficient buffers of progressive pictures).
constexpr long kMaxJpegWorkMemory = 1L << 30;
// A real progressive JPEG has about ten scans; thousands of tiny scans over a
// large picture are a way to make decoding take minutes.
constexpr int kMaxJpegScans = 500;
// Smallest fraction tried when a full-size surface cannot be made: 1/99.
constexpr int kMaxShrink = 99;

constexpr int kBmpFileHeaderSize = 14;
constexpr int kBmpInfoHeaderSize = 40;
constexpr int kBmpHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool endsWithNoCase(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = s[s.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

bool isJpegSaveName(const std::string& path) { return endsWithNoCase(path, "jpg") || endsWithNoCase(path, "jpeg"); }
bool isPngSaveName(const std::string& path) { return endsWithNoCase(path, ".png"); }

// Pixels per metre for a print resolution in dots per inch (0: none).
std::uint32_t pixelsPerMetre(double dotsPerInch) {
    if (!(dotsPerInch > 0.0) || dotsPerInch > 1e6) return 0;
    return static_cast<std::uint32_t>(dotsPerInch / 0.0254 + 0.5);
}

// Loading looks at the last character only: .jpg, .jpeg and .mpo all qualify.
bool isJpegLoadName(const std::string& path) {
    if (path.empty()) return false;
    const char c = path.back();
    return c == 'g' || c == 'G' || c == 'o' || c == 'O';
}

// libjpeg-turbo and libpng take the pixel words as they lie in memory on a
// little-endian machine (blue, green, red, unused): no row to convert.
constexpr bool kCodecsTakePixels = std::endian::native == std::endian::little;

// One picture row as blue, green, red bytes. Where the pixel words lie in
// memory as blue, green, red, unused (little-endian), four pixels make one
// 8-byte and one 4-byte store: a few shifts instead of twelve byte stores.
void rowToBgr(const Pixel* p, int w, std::uint8_t* d) {
    int x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; x + 4 <= w; x += 4, d += 12) {
            const std::uint64_t low = (p[x] & 0xFFFFFFull) | (std::uint64_t{p[x + 1] & 0xFFFFFFu} << 24) |
                                      (std::uint64_t{p[x + 2]} << 48);
            const std::uint32_t high = ((p[x + 2] >> 16) & 0xFFu) | (p[x + 3] << 8);
            std::memcpy(d, &low, sizeof low);
            std::memcpy(d + 8, &high, sizeof high);
        }
    }
    for (; x < w; ++x, d += 3) {
        d[0] = static_cast<std::uint8_t>(p[x]);
        d[1] = static_cast<std::uint8_t>(p[x] >> 8);
        d[2] = static_cast<std::uint8_t>(p[x] >> 16);
    }
}

void putLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void putLe32(std::uint8_t* p, std::uint32_t v) {
    putLe16(p, v);
    putLe16(p + 2, v >> 16);
}
std::uint32_t le16(const std::uint8_t* p) { return p[0] | (std::uint32_t{p[1]} << 8); }
std::uint32_t le32(const std::uint8_t* p) { return le16(p) | (le16(p + 2) << 16); }

// ---------------------------------------------------------------------------
// libjpeg glue. A fatal libjpeg error longjmps back to the function that
// called setjmp; only libjpeg's own frames are skipped, so no C++ object is
// left undestroyed. Everything those functions change after setjmp lives in a
// job structure outside their own frame.

struct JpegError {
    jpeg_error_mgr mgr;  // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    // The entropy-coded data ended before the picture was complete: libjpeg
    // would go on and fill the rest with grey, which we refuse.
    bool dataEnded;
};

[[noreturn]] void jpegErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

void jpegEmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_HIT_MARKER) reinterpret_cast<JpegError*>(cinfo->err)->dataEnded = true;
}

void jpegOutputMessage(j_common_ptr) {}

void jpegProgress(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    if (err->dataEnded) jpegErrorExit(cinfo);
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        jpegErrorExit(cinfo);
}

void installJpegErrors(JpegError& err) {
    jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegErrorExit;
    err.mgr.emit_message = jpegEmitMessage;
    err.mgr.output_message = jpegOutputMessage;
    err.dataEnded = false;
}

struct JpegEncodeJob {
    jpeg_compress_struct cinfo;
    JpegError err;
    std::FILE* file;                // the destination, or null for memory
    JpegMemoryDestination memoryDest;
    unsigned char* memory;          // the memory destination (malloc'd; freed by its owner)
    unsigned long memorySize;
    const PictureRows* picture;
    int firstRow, rowCount;         // the rows of the picture this stream holds
    unsigned int restartInterval;   // MCUs between restart markers, 0 for none
    std::uint8_t* row;  // 3 x width bytes
    int quality;
    double dotsPerInch;  // stored as the JFIF density when > 0
};

// The settings every JPEG of the program is written with.
void setJpegParameters(JpegEncodeJob& job) {
    jpeg_set_defaults(&job.cinfo);
    // The default for a colour picture, stated so that the stream is YCbCr
    // with a JFIF header whatever the input order is.
    jpeg_set_colorspace(&job.cinfo, JCS_YCbCr);
    jpeg_set_quality(&job.cinfo, job.quality, TRUE);
    if (job.picture && job.picture->fullChroma) {
        job.cinfo.comp_info[0].h_samp_factor = 1;
        job.cinfo.comp_info[0].v_samp_factor = 1;
    }
    if (job.dotsPerInch >= 1.0 && job.dotsPerInch <= 65535.0) {
        job.cinfo.density_unit = 1;  // dots per inch
        job.cinfo.X_density = job.cinfo.Y_density = static_cast<UINT16>(jpegDotsPerInch(job.dotsPerInch));
    }
}

bool encodeJpeg(JpegEncodeJob& job) {
    installJpegErrors(job.err);
    job.cinfo.err = &job.err.mgr;
    if (setjmp(job.err.jump)) {
        jpeg_destroy_compress(&job.cinfo);
        return false;
    }
    jpeg_create_compress(&job.cinfo);
    if (job.file) jpeg_stdio_dest(&job.cinfo, job.file);
    else setJpegMemoryDestination(&job.cinfo, job.memoryDest, &job.memory, &job.memorySize);
    const PictureRows& pic = *job.picture;
    job.cinfo.image_width = static_cast<JDIMENSION>(pic.width);
    job.cinfo.image_height = static_cast<JDIMENSION>(job.rowCount);
    job.cinfo.input_components = kCodecsTakePixels ? 4 : 3;
    job.cinfo.in_color_space = kCodecsTakePixels ? JCS_EXT_BGRX : JCS_EXT_BGR;
    setJpegParameters(job);
    job.cinfo.restart_interval = job.restartInterval;
    jpeg_start_compress(&job.cinfo, TRUE);
    while (job.cinfo.next_scanline < job.cinfo.image_height) {
        const Pixel* p = pic.row(job.firstRow + static_cast<int>(job.cinfo.next_scanline));
        if (!p) {
            jpeg_destroy_compress(&job.cinfo);
            return false;
        }
        // (libjpeg reads the row and does not change it.)
        JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(const_cast<Pixel*>(p))};
        if constexpr (!kCodecsTakePixels) {
            rowToBgr(p, pic.width, job.row);
            rows[0] = job.row;
        }
        jpeg_write_scanlines(&job.cinfo, rows, 1);
    }
    jpeg_finish_compress(&job.cinfo);
    jpeg_destroy_compress(&job.cinfo);
    return true;
}

// The pixel size of one MCU with the program's settings (4:2:0 chroma gives
// 16 x 16, full chroma 8 x 8), read from libjpeg rather than assumed.
bool jpegMcuSize(const PictureRows& pic, int quality, int& mcuWidth, int& mcuHeight) {
    auto job = std::make_unique<JpegEncodeJob>();
    job->picture = &pic;
    installJpegErrors(job->err);
    job->cinfo.err = &job->err.mgr;
    job->quality = quality;
    job->dotsPerInch = 0;
    if (setjmp(job->err.jump)) {
        jpeg_destroy_compress(&job->cinfo);
        return false;
    }
    jpeg_create_compress(&job->cinfo);
    job->cinfo.input_components = 3;
    job->cinfo.in_color_space = JCS_EXT_BGR;
    setJpegParameters(*job);
    int h = 1, v = 1;
    for (int c = 0; c < job->cinfo.num_components; ++c) {
        h = std::max(h, job->cinfo.comp_info[c].h_samp_factor);
        v = std::max(v, job->cinfo.comp_info[c].v_samp_factor);
    }
    jpeg_destroy_compress(&job->cinfo);
    mcuWidth = h * DCTSIZE;
    mcuHeight = v * DCTSIZE;
    return true;
}

// Rows that several threads may read at once are encoded in strips of
// kJpegStripMcuRows MCU rows on every core. Each strip is a stream of its
// own whose restart interval is the strip's MCU count, so it holds exactly
// one interval: the strips' entropy-coded data joined by restart markers
// RST0..RST7 is what a single encoder with that interval writes for the
// whole picture. The strip height is fixed, so any number of cores writes
// the same bytes.
struct JpegStripPlan {
    int stripRows = 0;              // picture rows a strip (the last may have fewer)
    int strips = 0;
    unsigned int restartInterval = 0;
};

// The strips of a picture, or none (strips = 0) when it is not split: too
// small, one strip only, or too wide for a 16-bit interval of an MCU row.
JpegStripPlan planJpegStrips(const PictureRows& pic, int quality) {
    JpegStripPlan plan;
    if (!pic.rowsShareable || static_cast<long long>(pic.width) * pic.height < kJpegStripMinPixels) return plan;
    // Beyond libjpeg's largest side the single encoder reports the error.
    if (pic.width > JPEG_MAX_DIMENSION || pic.height > JPEG_MAX_DIMENSION) return plan;
    int mcuW = 0, mcuH = 0;
    if (!jpegMcuSize(pic, quality, mcuW, mcuH)) return plan;
    const long long mcusPerRow = (static_cast<long long>(pic.width) + mcuW - 1) / mcuW;
    const long long mcuRows = (static_cast<long long>(pic.height) + mcuH - 1) / mcuH;
    const long long stripMcuRows = std::min<long long>(kJpegStripMcuRows, 65535 / mcusPerRow);
    if (stripMcuRows < 1) return plan;
    const long long strips = (mcuRows + stripMcuRows - 1) / stripMcuRows;
    if (strips < 2) return plan;
    plan.stripRows = static_cast<int>(stripMcuRows * mcuH);
    plan.strips = static_cast<int>(strips);
    plan.restartInterval = static_cast<unsigned int>(stripMcuRows * mcusPerRow);
    return plan;
}

// One strip's stream, in memory.
struct JpegStrip {
    std::unique_ptr<JpegEncodeJob> job;
    bool ok = false;
    JpegStrip() = default;
    JpegStrip(JpegStrip&&) = default;
    JpegStrip& operator=(JpegStrip&&) = default;
    ~JpegStrip() { release(); }
    void release() {
        if (job && job->memory) std::free(job->memory);
        job.reset();
    }
};

void encodeJpegStrip(const PictureRows& pic, const JpegStripPlan& plan, int s, int quality, double dotsPerInch,
                     JpegStrip& strip) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(pic.width) * 3);
    strip.job = std::make_unique<JpegEncodeJob>();
    JpegEncodeJob& job = *strip.job;
    job.file = nullptr;
    job.memory = nullptr;
    job.memorySize = 0;
    job.picture = &pic;
    job.firstRow = s * plan.stripRows;
    job.rowCount = std::min(plan.stripRows, pic.height - job.firstRow);
    job.restartInterval = plan.restartInterval;
    job.row = row.data();
    job.quality = quality;
    job.dotsPerInch = dotsPerInch;
    strip.ok = encodeJpeg(job);
    job.row = nullptr;
}

// Appends strip `s` of the picture to the file: the first with the headers
// (the frame's height made the whole picture's), every later one after its
// restart marker; the last closes the stream. False on a damaged strip or a
// failed write.
bool joinJpegStrip(std::FILE* f, const PictureRows& pic, const JpegStripPlan& plan, int s, const JpegStrip& strip) {
    const std::uint8_t* p = strip.ok && strip.job ? strip.job->memory : nullptr;
    const std::size_t n = p ? strip.job->memorySize : 0;
    std::size_t heightAt = 0;
    const std::size_t scan = p ? jpegScanStart(p, n, &heightAt) : 0;
    // Every strip ends in its EOI marker, which only the last keeps.
    if (scan == 0 || heightAt == 0 || n < scan + 2 || p[n - 2] != 0xFF || p[n - 1] != 0xD9) return false;
    const bool last = s == plan.strips - 1;
    const std::size_t body = n - scan - (last ? 0 : 2);
    if (s == 0) {
        std::vector<std::uint8_t> head(p, p + scan);
        head[heightAt] = static_cast<std::uint8_t>(pic.height >> 8);
        head[heightAt + 1] = static_cast<std::uint8_t>(pic.height);
        if (std::fwrite(head.data(), 1, head.size(), f) != head.size()) return false;
    } else {
        const std::uint8_t rst[2] = {0xFF, static_cast<std::uint8_t>(0xD0 + ((s - 1) & 7))};
        if (std::fwrite(rst, 1, 2, f) != 2) return false;
    }
    return std::fwrite(p + scan, 1, body, f) == body;
}

// A picture in strips, a batch of strips at a time (a few per core), each
// batch written out in order and freed, so only a few strips' bytes are
// held at once.
bool writeJpegStrips(std::FILE* f, const PictureRows& pic, const JpegStripPlan& plan, int quality,
                     double dotsPerInch) {
    const int batch = std::max(2, 2 * cv::getNumThreads());
    std::vector<JpegStrip> strips(static_cast<std::size_t>(plan.strips));
    for (int first = 0; first < plan.strips; first += batch) {
        const int last = std::min(plan.strips, first + batch);
        cv::parallel_for_(cv::Range(first, last), [&](const cv::Range& r) {
            for (int s = r.start; s < r.end; ++s) {
                try {
                    encodeJpegStrip(pic, plan, s, quality, dotsPerInch, strips[static_cast<std::size_t>(s)]);
                } catch (const std::bad_alloc&) {
                    strips[static_cast<std::size_t>(s)].ok = false;
                }
            }
        });
        for (int s = first; s < last; ++s) {
            JpegStrip& strip = strips[static_cast<std::size_t>(s)];
            if (!joinJpegStrip(f, pic, plan, s, strip)) return false;
            strip.release();
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Reading: every format produces bottom-up blue, green, red rows.

struct RowBuffer {
    std::unique_ptr<std::uint8_t[]> data;
    std::unique_ptr<std::uint8_t[]> scratchRow;  // one row, while data is not yet taken
    std::size_t stride = 0;
    int width = 0;
    int height = 0;
    bool outOfMemory = false;  // the file was fine but its rows could not be had

    bool allocate(int w, int h) {
        stride = dibStride(w);
        data.reset(new (std::nothrow) std::uint8_t[stride * static_cast<std::size_t>(h)]);
        if (!data) {
            outOfMemory = true;
            return false;
        }
        width = w;
        height = h;
        return true;
    }

    bool allocateScratchRow(int w) {
        scratchRow.reset(new (std::nothrow) std::uint8_t[dibStride(w)]);
        outOfMemory = !scratchRow;
        return !outOfMemory;
    }
};

struct JpegDecodeJob {
    jpeg_decompress_struct cinfo;
    JpegError err;
    jpeg_progress_mgr progress;
    std::FILE* file;
    RowBuffer* rows;
};

bool decodeJpeg(JpegDecodeJob& job) {
    installJpegErrors(job.err);
    job.cinfo.err = &job.err.mgr;
    if (setjmp(job.err.jump)) {
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    jpeg_create_decompress(&job.cinfo);
    job.cinfo.mem->max_memory_to_use = kMaxJpegWorkMemory;
    job.progress.progress_monitor = jpegProgress;
    job.cinfo.progress = &job.progress;
    jpeg_stdio_src(&job.cinfo, job.file);
    jpeg_read_header(&job.cinfo, TRUE);
    // Colour pictures come out in the order of the rows; grey ones as one
    // byte per pixel, widened below. Four-component (CMYK) pictures have no
    // conversion to colour in libjpeg and are refused.
    if (job.cinfo.num_components == 3) {
        job.cinfo.out_color_space = JCS_EXT_BGR;
    } else if (job.cinfo.num_components != 1) {
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    jpeg_start_decompress(&job.cinfo);
    const int components = job.cinfo.output_components;
    const std::uint64_t w = job.cinfo.output_width, h = job.cinfo.output_height;
    if ((components != 1 && components != 3) || job.err.dataEnded || w == 0 || h == 0 ||
        dibStride(static_cast<int>(w)) * h > kMaxRowBytes || !job.rows->allocateScratchRow(static_cast<int>(w))) {
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    RowBuffer& rb = *job.rows;
    const std::size_t stride = dibStride(static_cast<int>(w));
    while (job.cinfo.output_scanline < job.cinfo.output_height) {
        // The first scanline is the top of the picture: the last row stored.
        // It is decoded into a row of its own, so that the whole buffer
        // (which a damaged header can make large) is taken only once the
        // data has proved to be there.
        std::uint8_t* row = rb.data ? rb.data.get() + stride * (h - 1 - job.cinfo.output_scanline) : rb.scratchRow.get();
        JSAMPROW rows[1] = {row};
        if (jpeg_read_scanlines(&job.cinfo, rows, 1) != 1 || job.err.dataEnded) {
            jpeg_destroy_decompress(&job.cinfo);
            return false;
        }
        if (components == 1) {
            // Right to left, so every grey byte is read before it is overwritten.
            for (std::size_t x = w; x-- > 0;) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = row[x];
        }
        std::fill(row + 3 * w, row + stride, std::uint8_t{0});
        if (!rb.data) {
            if (!rb.allocate(static_cast<int>(w), static_cast<int>(h))) {
                jpeg_destroy_decompress(&job.cinfo);
                return false;
            }
            std::memcpy(rb.data.get() + stride * (h - 1), row, stride);
        }
    }
    // Whatever follows the picture (its end marker, the next picture of a
    // multi-picture file) is not our business: stop here.
    jpeg_destroy_decompress(&job.cinfo);
    return true;
}

// An uncompressed 24-bit BMP. Every size and offset in the headers is checked
// against the file before anything is allocated or read.
// Rows stored top row first are put bottom row first, as the rest expects.
void flipRows(RowBuffer& rows, bool topDown) {
    if (!topDown) return;
    std::uint8_t* d = rows.data.get();
    const std::size_t stride = rows.stride;
    for (int a = 0, b = rows.height - 1; a < b; ++a, --b)
        std::swap_ranges(d + stride * a, d + stride * (a + 1), d + stride * b);
}

// Where an uncompressed 24-bit BMP keeps its rows, from its headers.
struct BmpLayout {
    int width = 0, height = 0;
    bool topDown = false;
    std::uint64_t stride = 0, pixelOffset = 0, bytes = 0;
};

bool readBmpLayout(std::FILE* f, std::uint64_t fileSize, BmpLayout& l) {
    std::uint8_t h[kBmpHeadersSize];
    if (fileSize < kBmpHeadersSize || std::fread(h, 1, sizeof h, f) != sizeof h) return false;
    if (h[0] != 'B' || h[1] != 'M') return false;
    const std::uint64_t pixelOffset = le32(h + 10);
    const std::uint64_t infoSize = le32(h + 14);
    const std::int64_t width = static_cast<std::int32_t>(le32(h + 18));
    const std::int64_t height = static_cast<std::int32_t>(le32(h + 22));
    const std::uint32_t planes = le16(h + 26);
    const std::uint32_t bitCount = le16(h + 28);
    const std::uint32_t compression = le32(h + 30);
    if (infoSize < kBmpInfoHeaderSize || planes != 1 || bitCount != 24 || compression != 0) return false;
    if (width <= 0 || height == 0) return false;
    // A negative height means the rows are stored top row first.
    const bool topDown = height < 0;
    const std::int64_t rowCount = topDown ? -height : height;
    if (rowCount > INT_MAX) return false;
    const std::uint64_t stride = dibStride(static_cast<int>(width));
    const std::uint64_t bytes = stride * static_cast<std::uint64_t>(rowCount);
    if (bytes > kMaxRowBytes) return false;
    if (pixelOffset < kBmpFileHeaderSize + infoSize || pixelOffset > fileSize || bytes > fileSize - pixelOffset)
        return false;
    l = BmpLayout{static_cast<int>(width), static_cast<int>(rowCount), topDown, stride, pixelOffset, bytes};
    return true;
}

// Reads `size` bytes at `offset` of the file; false on a short read.
bool readAt(int fd, std::uint8_t* to, std::uint64_t size, std::uint64_t offset) {
    for (std::uint64_t at = 0; at < size;) {
        const ssize_t got = ::pread(fd, to + at, size - at, static_cast<off_t>(offset + at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        at += static_cast<std::uint64_t>(got);
    }
    return true;
}

// The BMP's pixels straight into `out`, which has its size: each band of
// rows is read into a small buffer and converted there, on every core, so
// no copy of the file's rows is held.
enum class BandRead { Ok, ShortRead, OutOfMemory };
BandRead readBmpInto(int fd, const BmpLayout& l, Surface& out) {
    const int kBandRows = static_cast<int>(std::clamp<std::uint64_t>((std::uint64_t{1} << 20) / l.stride, 1, 64));
    std::atomic<bool> shortRead{false}, outOfMemory{false};
    cv::parallel_for_(cv::Range(0, (l.height + kBandRows - 1) / kBandRows), [&](const cv::Range& r) {
        // No exception may leave a worker: a buffer that cannot be had ends
        // the reading with the out-of-memory message.
        std::unique_ptr<std::uint8_t[]> band(new (std::nothrow) std::uint8_t[l.stride * kBandRows]);
        if (!band) {
            outOfMemory = true;
            shortRead = true;
            return;
        }
        for (int b = r.start; b < r.end && !shortRead; ++b) {
            // Picture rows [y0, y1): in a bottom-up file, file rows
            // [h - y1, h - y0) in the order setDIBits takes.
            const int y0 = b * kBandRows, y1 = std::min(l.height, y0 + kBandRows), n = y1 - y0;
            const int first = l.topDown ? y0 : l.height - y1;
            if (!readAt(fd, band.get(), l.stride * static_cast<std::uint64_t>(n),
                        l.pixelOffset + l.stride * static_cast<std::uint64_t>(first))) {
                shortRead = true;
                return;
            }
            if (!l.topDown) {
                setDIBits(out, 0, y0, band.get(), l.width, n);
            } else {
                for (int k = 0; k < n; ++k)
                    setDIBits(out, 0, y0 + k, band.get() + l.stride * static_cast<std::size_t>(k), l.width, 1);
            }
        }
    });
    return outOfMemory ? BandRead::OutOfMemory : shortRead ? BandRead::ShortRead : BandRead::Ok;
}

bool readBmp(std::FILE* f, const BmpLayout& l, RowBuffer& rows) {
    const int width = l.width, rowCount = l.height;
    const bool topDown = l.topDown;
    const std::uint64_t bytes = l.bytes, pixelOffset = l.pixelOffset;
    if (!rows.allocate(static_cast<int>(width), static_cast<int>(rowCount))) return false;
    // The rows are read in bands on every core: reading a file takes no
    // lock that would keep them apart, and copying them out of the page
    // cache into new memory is most of the work.
    const int fd = ::fileno(f);
    if (fd < 0)
        return ::fseeko(f, static_cast<off_t>(pixelOffset), SEEK_SET) == 0 &&
               std::fread(rows.data.get(), 1, bytes, f) == bytes && (flipRows(rows, topDown), true);
    std::atomic<bool> shortRead{false};
    const std::uint64_t bandBytes = std::uint64_t{4} << 20;
    cv::parallel_for_(cv::Range(0, static_cast<int>((bytes + bandBytes - 1) / bandBytes)), [&](const cv::Range& r) {
        for (int b = r.start; b < r.end && !shortRead; ++b) {
            const std::uint64_t from = bandBytes * static_cast<std::uint64_t>(b);
            const std::uint64_t to = std::min(bytes, from + bandBytes);
            if (!readAt(fd, rows.data.get() + from, to - from, pixelOffset + from)) shortRead = true;
        }
    });
    if (shortRead) return false;
    flipRows(rows, topDown);
    return true;
}

// ---------------------------------------------------------------------------
// Shrinking rows straight into a smaller surface by area averaging (the
// halftone stretch): each destination pixel is the average of the source area
// it covers, partly covered source pixels weighted by the part covered. It
// works from the rows because a full-size surface is exactly what could not
// be made, and needs memory only in proportion to one destination row.

struct AxisWeights {
    std::vector<int> first;   // first source index of each destination index
    std::vector<int> count;   // number of source indices
    std::vector<std::size_t> offset;  // into weight
    std::vector<std::uint32_t> weight;
};

// Destination index d covers [d * src, (d + 1) * src) in units where one
// source pixel is dst wide; the weights of every d add up to src.
AxisWeights areaWeights(int src, int dst) {
    AxisWeights a;
    a.first.resize(dst);
    a.count.resize(dst);
    a.offset.resize(dst);
    for (int d = 0; d < dst; ++d) {
        const std::int64_t lo = std::int64_t{d} * src, hi = std::int64_t{d + 1} * src;
        const std::int64_t s0 = lo / dst, s1 = (hi - 1) / dst;
        a.first[d] = static_cast<int>(s0);
        a.count[d] = static_cast<int>(s1 - s0 + 1);
        a.offset[d] = a.weight.size();
        for (std::int64_t s = s0; s <= s1; ++s) {
            const std::int64_t cover = std::min(hi, (s + 1) * dst) - std::max(lo, s * dst);
            a.weight.push_back(static_cast<std::uint32_t>(cover));
        }
    }
    return a;
}

bool shrinkRows(const RowBuffer& rows, Surface& dst) {
    const int dw = dst.width(), dh = dst.height();
    try {
        const AxisWeights wx = areaWeights(rows.width, dw);
        const AxisWeights wy = areaWeights(rows.height, dh);
        std::vector<std::uint64_t> acc(static_cast<std::size_t>(dw) * 3);
        std::vector<std::uint64_t> line(static_cast<std::size_t>(dw) * 3);
        const std::uint64_t total = static_cast<std::uint64_t>(rows.width) * static_cast<std::uint64_t>(rows.height);
        for (int y = 0; y < dh; ++y) {
            std::fill(acc.begin(), acc.end(), 0);
            for (int k = 0; k < wy.count[y]; ++k) {
                const int sy = wy.first[y] + k;  // picture row, 0 = top
                const std::uint8_t* src = rows.data.get() + rows.stride * static_cast<std::size_t>(rows.height - 1 - sy);
                for (int x = 0; x < dw; ++x) {
                    std::uint64_t b = 0, g = 0, r = 0;
                    const std::uint32_t* w = wx.weight.data() + wx.offset[x];
                    const std::uint8_t* p = src + 3 * static_cast<std::size_t>(wx.first[x]);
                    for (int j = 0; j < wx.count[x]; ++j, p += 3) {
                        b += std::uint64_t{p[0]} * w[j];
                        g += std::uint64_t{p[1]} * w[j];
                        r += std::uint64_t{p[2]} * w[j];
                    }
                    line[3 * x] = b;
                    line[3 * x + 1] = g;
                    line[3 * x + 2] = r;
                }
                const std::uint64_t wgt = wy.weight[wy.offset[y] + k];
                for (std::size_t i = 0; i < acc.size(); ++i) acc[i] += line[i] * wgt;
            }
            Pixel* d = dst.row(y);
            for (int x = 0; x < dw; ++x) {
                const auto avg = [&](std::uint64_t v) { return static_cast<Pixel>((v + total / 2) / total); };
                d[x] = kOpaque | (avg(acc[3 * x + 2]) << 16) | (avg(acc[3 * x + 1]) << 8) | avg(acc[3 * x]);
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Makes the surface from the rows: full size when possible, else the first
// of 1/2, 1/3, ... 1/99 that can be made (from 1/2 when the full size was
// already found not to be had).
int surfaceFromRows(Host& host, const RowBuffer& rows, Surface& out, int& width, int& height,
                    bool fullSizeRefused = false) {
    Surface s;
    for (int i = fullSizeRefused ? 2 : 1; i <= kMaxShrink; ++i) {
        const int w = rows.width / i, h = rows.height / i;
        if (w <= 0 || h <= 0) break;
        if (i == 1 ? !s.createUninitialized(w, h) : !s.create(w, h)) continue;
        if (i == 1) {
            // Every pixel is set, in bands of rows on every core (the first
            // touch of a large picture's memory is much of the work).
            const std::uint8_t* bits = rows.data.get();
            const std::size_t stride = rows.stride;
            cv::parallel_for_(cv::Range(0, h), [&](const cv::Range& r) {
                setDIBits(s, 0, r.start, bits + stride * static_cast<std::size_t>(h - r.end), w, r.end - r.start);
            }, std::max(1.0, static_cast<double>(h) / 64));
        } else if (!shrinkRows(rows, s)) {
            break;
        }
        out = std::move(s);
        width = w;
        height = h;
        return 1;
    }
    host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
    return 0;
}

}  // namespace

bool StillImageSizeWritable(const std::string& path, int w, int h) {
    if (w <= 0 || h <= 0) return false;
    if (isJpegSaveName(path)) return w <= kJpegMaxSide && h <= kJpegMaxSide;
    if (isPngSaveName(path)) return true;
    return dibStride(w) * static_cast<std::uint64_t>(h) + kBmpHeadersSize <= 0xFFFFFFFFu;
}

namespace {

bool writeBmp(std::FILE* f, const PictureRows& pic, double dotsPerInch) {
    const int w = pic.width, h = pic.height;
    const std::uint64_t stride = dibStride(w);
    const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(h);
    if (imageSize + kBmpHeadersSize > 0xFFFFFFFFu) return false;  // the header cannot say it
    std::uint8_t hdr[kBmpHeadersSize] = {};
    hdr[0] = 'B';
    hdr[1] = 'M';
    putLe32(hdr + 2, static_cast<std::uint32_t>(imageSize + kBmpHeadersSize));
    // reserved words 6..9 stay 0
    putLe32(hdr + 10, kBmpHeadersSize);
    putLe32(hdr + 14, kBmpInfoHeaderSize);
    putLe32(hdr + 18, static_cast<std::uint32_t>(w));
    putLe32(hdr + 22, static_cast<std::uint32_t>(h));  // positive: rows bottom-up
    putLe16(hdr + 26, 1);
    putLe16(hdr + 28, 24);
    putLe32(hdr + 30, 0);  // no compression
    putLe32(hdr + 34, static_cast<std::uint32_t>(imageSize));
    // Resolutions 38..45: the print resolution when there is one, else 0.
    putLe32(hdr + 38, pixelsPerMetre(dotsPerInch));
    putLe32(hdr + 42, pixelsPerMetre(dotsPerInch));
    // Colours used and important (46..53) stay 0, the value for a 24-bit
    // picture without a colour table; common readers refuse anything else.
    if (std::fwrite(hdr, 1, sizeof hdr, f) != sizeof hdr) return false;
    // Rows are gathered into blocks of a few megabytes, which the stream
    // hands to the kernel without copying them into its buffer. While one
    // block goes to the file on a thread of its own, the next is made here
    // (the rows asked for on this thread, as ever): the kernel's copying
    // overlaps the making of the rows.
    const std::size_t blockRows = static_cast<std::size_t>(
        std::clamp<std::uint64_t>(4 * ReplacingFile::kWriteBufferSize / stride, 1, h));
    std::array<std::vector<std::uint8_t>, 2> blocks;
    for (auto& b : blocks) b.assign(stride * blockRows, 0);  // padding stays 0
    // Every few megabytes the disk is set to work on what is written.
    constexpr std::size_t kWritebackBytes = std::size_t{8} << 20;
    std::size_t sinceWriteback = 0;
    const auto put = [f, &sinceWriteback](const std::uint8_t* bytes, std::size_t size) {
        if (std::fwrite(bytes, 1, size, f) != size) return false;
        sinceWriteback += size;
        if (sinceWriteback >= kWritebackBytes) {
            startWriteback(f);
            sinceWriteback = 0;
        }
        return true;
    };
    std::future<bool> writing;
    const auto written = [&writing] { return !writing.valid() || writing.get(); };
    // The row last encoded and its key: a row with the same key is a copy of
    // its bytes (in this block or the one being written, which is only read).
    const std::uint8_t* last = nullptr;
    long long lastKey = 0;
    for (int r = 0, i = 0; r < h; i ^= 1) {
        std::uint8_t* block = blocks[static_cast<std::size_t>(i)].data();
        const int rows = std::min(h - r, static_cast<int>(blockRows));
        for (int k = 0; k < rows; ++k, ++r) {
            const int y = h - 1 - r;
            const Pixel* p = pic.row(y);
            if (!p) {
                written();
                return false;
            }
            std::uint8_t* d = block + stride * static_cast<std::size_t>(k);
            const long long key = pic.key ? pic.key(y) : 0;
            if (last && key == lastKey) std::memcpy(d, last, 3 * static_cast<std::size_t>(w));
            else rowToBgr(p, w, d);
            if (pic.key) {
                last = d;
                lastKey = key;
            }
        }
        if (!written()) return false;
        const std::size_t bytes = stride * static_cast<std::size_t>(rows);
        try {
            writing = std::async(std::launch::async, put, block, bytes);
        } catch (const std::system_error&) {
            if (!put(block, bytes)) return false;  // no thread to be had: written here
        }
    }
    return written();
}

bool writeJpeg(std::FILE* f, const PictureRows& pic, int quality, double dotsPerInch) {
    if (const JpegStripPlan plan = planJpegStrips(pic, quality); plan.strips > 0)
        return writeJpegStrips(f, pic, plan, quality, dotsPerInch);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(pic.width) * 3);
    auto job = std::make_unique<JpegEncodeJob>();
    job->file = f;
    job->memory = nullptr;
    job->memorySize = 0;
    job->picture = &pic;
    job->firstRow = 0;
    job->rowCount = pic.height;
    job->restartInterval = 0;
    job->row = row.data();
    job->quality = quality;
    job->dotsPerInch = dotsPerInch;
    return encodeJpeg(*job);
}

// libpng reports fatal errors by longjmp to png_jmpbuf; the job keeps what
// changes after setjmp outside the calling frame.
struct PngEncodeJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::FILE* file = nullptr;
    const PictureRows* picture = nullptr;
    std::uint8_t* row = nullptr;  // 3 x width bytes
    double dotsPerInch = 0;
};

void pngQuietWarning(png_structp, png_const_charp) {}

bool encodePng(PngEncodeJob& job) {
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, pngQuietWarning);
    if (!job.png) return false;
    job.info = png_create_info_struct(job.png);
    if (!job.info) {
        png_destroy_write_struct(&job.png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(job.png))) {
        png_destroy_write_struct(&job.png, &job.info);
        return false;
    }
    const PictureRows& pic = *job.picture;
    png_init_io(job.png, job.file);
    png_set_IHDR(job.png, job.info, static_cast<png_uint_32>(pic.width), static_cast<png_uint_32>(pic.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (const std::uint32_t ppm = pixelsPerMetre(job.dotsPerInch))
        png_set_pHYs(job.png, job.info, ppm, ppm, PNG_RESOLUTION_METER);
    png_write_info(job.png, job.info);
    png_set_bgr(job.png);
    if constexpr (kCodecsTakePixels) png_set_filler(job.png, 0, PNG_FILLER_AFTER);  // the unused byte is dropped
    for (int y = 0; y < pic.height; ++y) {
        const Pixel* p = pic.row(y);
        if (!p) {
            png_destroy_write_struct(&job.png, &job.info);
            return false;
        }
        // (libpng reads the row and does not change it.)
        png_bytep row = reinterpret_cast<png_bytep>(const_cast<Pixel*>(p));
        if constexpr (!kCodecsTakePixels) {
            rowToBgr(p, pic.width, job.row);
            row = job.row;
        }
        png_write_row(job.png, row);
    }
    png_write_end(job.png, job.info);
    png_destroy_write_struct(&job.png, &job.info);
    return true;
}

bool writePng(std::FILE* f, const PictureRows& pic, double dotsPerInch) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(pic.width) * 3);
    auto job = std::make_unique<PngEncodeJob>();
    job->file = f;
    job->picture = &pic;
    job->row = row.data();
    job->dotsPerInch = dotsPerInch;
    return encodePng(*job);
}

// The picture written under a temporary name beside `path`, not yet
// committed; null when it could not be written (nothing is left then).
std::unique_ptr<ReplacingFile> writePicture(const PictureRows& picture, const std::string& path, int jpegQuality,
                                            double dotsPerInch, LinkAtTarget links = LinkAtTarget::Follow) {
    if (picture.width <= 0 || picture.height <= 0 || !picture.row) return nullptr;
    auto file = std::make_unique<ReplacingFile>();
    if (!file->open(path, links)) return nullptr;
    try {
        const bool written = isJpegSaveName(path)  ? writeJpeg(file->stream(), picture, jpegQuality, dotsPerInch)
                             : isPngSaveName(path) ? writePng(file->stream(), picture, dotsPerInch)
                                                   : writeBmp(file->stream(), picture, dotsPerInch);
        if (written) return file;
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}

bool savePicture(const PictureRows& picture, const std::string& path, int jpegQuality, double dotsPerInch,
                 LinkAtTarget links = LinkAtTarget::Follow) {
    const std::unique_ptr<ReplacingFile> file = writePicture(picture, path, jpegQuality, dotsPerInch, links);
    return file && file->commit();
}

}  // namespace

PictureRows rowsOf(const Surface& picture) {
    return PictureRows{picture.width(), picture.height(), [&picture](int y) { return picture.row(y); }, true};
}

bool WriteStillImage(const Surface& picture, const std::string& path, int jpegQuality, double dotsPerInch,
                     LinkAtTarget links) {
    return !picture.empty() && savePicture(rowsOf(picture), path, jpegQuality, dotsPerInch, links);
}

bool WriteStillImageRows(const PictureRows& picture, const std::string& path, int jpegQuality, double dotsPerInch) {
    return savePicture(picture, path, jpegQuality, dotsPerInch);
}

std::shared_ptr<ReplacingFile> WriteStillImageRowsPending(const PictureRows& picture, const std::string& path,
                                                          int jpegQuality, double dotsPerInch, LinkAtTarget links) {
    // The stream's buffer goes now, not when the commit has run.
    std::shared_ptr<ReplacingFile> file = writePicture(picture, path, jpegQuality, dotsPerInch, links);
    if (!file || !file->close()) return nullptr;
    return file;
}

std::vector<char> WriteStillImages(const std::vector<StillImageWrite>& batch) {
    const std::size_t n = batch.size();
    std::vector<char> ok(n, 0);
    std::vector<PictureRows> rows(n);
    std::vector<JpegStripPlan> plans(n);
    std::vector<std::vector<JpegStrip>> strips(n);
    // The units of work: every file written whole first (the largest take
    // longest, so they start first), then every strip of each large JPEG.
    struct Unit {
        std::size_t file;
        int strip;  // -1: the whole file
    };
    std::vector<Unit> units;
    for (std::size_t k = 0; k < n; ++k) {
        const StillImageWrite& w = batch[k];
        if (!w.write && w.picture && !w.picture->empty() && isJpegSaveName(w.path)) {
            rows[k] = rowsOf(*w.picture);
            plans[k] = planJpegStrips(rows[k], w.jpegQuality);
        }
        if (plans[k].strips == 0) units.push_back({k, -1});
    }
    for (std::size_t k = 0; k < n; ++k) {
        strips[k].resize(static_cast<std::size_t>(plans[k].strips));
        for (int s = 0; s < plans[k].strips; ++s) units.push_back({k, s});
    }
    cv::parallel_for_(
        cv::Range(0, static_cast<int>(units.size())),
        [&](const cv::Range& r) {
            for (int u = r.start; u < r.end; ++u) {
                const Unit unit = units[static_cast<std::size_t>(u)];
                const StillImageWrite& w = batch[unit.file];
                try {
                    if (unit.strip >= 0)
                        encodeJpegStrip(rows[unit.file], plans[unit.file], unit.strip, w.jpegQuality, w.dotsPerInch,
                                        strips[unit.file][static_cast<std::size_t>(unit.strip)]);
                    else if (w.write)
                        ok[unit.file] = w.write() ? 1 : 0;
                    else
                        ok[unit.file] = w.picture && WriteStillImage(*w.picture, w.path, w.jpegQuality, w.dotsPerInch);
                } catch (const std::bad_alloc&) {
                    if (unit.strip < 0) ok[unit.file] = 0;
                }
            }
        },
        static_cast<double>(units.size()));
    // The striped JPEGs are put together here, each strip freed once written.
    for (std::size_t k = 0; k < n; ++k) {
        if (plans[k].strips == 0) continue;
        ReplacingFile file;
        bool written = file.open(batch[k].path);
        for (int s = 0; written && s < plans[k].strips; ++s) {
            JpegStrip& strip = strips[k][static_cast<std::size_t>(s)];
            written = joinJpegStrip(file.stream(), rows[k], plans[k], s, strip);
            strip.release();
        }
        ok[k] = written && file.commit();
        strips[k].clear();
    }
    return ok;
}

int SaveStillImage(Host& host, const Surface& picture, int w, int h, const std::string& path,
                   int jpegQuality) {
    return SaveStillImage(host, picture, w, h, path, jpegQuality, 0.0);
}

int SaveStillImage(Host& host, const Surface& picture, int /*w*/, int /*h*/, const std::string& path,
                   int jpegQuality, double dotsPerInch, LinkAtTarget links) {
    // The size given is the picture's own; the surface's size is what is
    // written either way, so nothing outside it is ever read.
    if (WriteStillImage(picture, path, jpegQuality, dotsPerInch, links)) return 1;
    host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    return 0;
}

int SaveInterleavedImage(Host& host, const Surface& picture, const std::string& path, int jpegQuality,
                         double dotsPerInch) {
    PictureRows rows = rowsOf(picture);
    rows.fullChroma = true;
    if (!picture.empty() && WriteStillImageRows(rows, path, jpegQuality, dotsPerInch)) return 1;
    host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    return 0;
}

namespace {

int loadStill(Host& host, const std::string& path, std::optional<long long> jpegOffset, bool asJpeg, Surface& out,
              int& width, int& height) {
    FilePtr f(openRegularFile(path));
    if (!f) return 0;
    struct stat st {};
    if (::fstat(::fileno(f.get()), &st) != 0) return 0;
    const std::uint64_t fileSize = static_cast<std::uint64_t>(st.st_size);

    RowBuffer rows;
    bool ok = false;
    bool fullSizeRefused = false;
    if (asJpeg) {
        if (jpegOffset) {
            if (*jpegOffset < 0 || static_cast<std::uint64_t>(*jpegOffset) >= fileSize ||
                ::fseeko(f.get(), static_cast<off_t>(*jpegOffset), SEEK_SET) != 0)
                return 0;
        }
        auto job = std::make_unique<JpegDecodeJob>();
        job->file = f.get();
        job->rows = &rows;
        ok = decodeJpeg(*job);
    } else {
        BmpLayout layout;
        if (!readBmpLayout(f.get(), fileSize, layout)) return 0;
        // At full size the rows go straight into the picture; only a picture
        // too large for memory is read whole first, to be shrunk.
        Surface s;
        if (::fileno(f.get()) >= 0) {
            if (s.createUninitialized(layout.width, layout.height)) {
                const BandRead read = readBmpInto(::fileno(f.get()), layout, s);
                if (read == BandRead::OutOfMemory) host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                if (read != BandRead::Ok) return 0;
                out = std::move(s);
                width = layout.width;
                height = layout.height;
                return 1;
            }
            fullSizeRefused = true;
        }
        ok = readBmp(f.get(), layout, rows);
    }
    f.reset();
    if (!ok) {
        if (rows.outOfMemory) host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    return surfaceFromRows(host, rows, out, width, height, fullSizeRefused);
}

}  // namespace

int LoadStillImage(Host& host, const std::string& path, std::optional<long long> jpegOffset, Surface& out,
                   int& width, int& height) {
    return loadStill(host, path, jpegOffset, isJpegLoadName(path), out, width, height);
}

int LoadStillImageAs(Host& host, const std::string& path, StillFormat format, Surface& out, int& width,
                     int& height) {
    const bool asJpeg = format == StillFormat::ByName ? isJpegLoadName(path) : format == StillFormat::Jpeg;
    return loadStill(host, path, std::nullopt, asJpeg, out, width, height);
}

std::size_t jpegScanStart(const std::uint8_t* p, std::size_t n, std::size_t* heightAt) {
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) return 0;
    std::size_t at = 2;
    while (at + 4 <= n) {
        if (p[at] != 0xFF) return 0;
        const std::uint8_t marker = p[at + 1];
        if (marker == 0xFF) {  // a fill byte before the marker
            ++at;
            continue;
        }
        const std::size_t length = (std::size_t{p[at + 2]} << 8) | p[at + 3];
        if (length < 2 || at + 2 + length > n) return 0;
        if (marker == 0xC0 || marker == 0xC1) {
            if (length < 7) return 0;
            if (heightAt) *heightAt = at + 5;
        }
        at += 2 + length;
        if (marker == 0xDA) return at;
    }
    return 0;
}

}  // namespace plastora

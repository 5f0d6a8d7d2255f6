// JPEG through libjpeg and PNG through libpng. Both libraries report errors
// by jumping back with longjmp, so every function keeps its C++ objects
// outside the region the jump crosses: they are created before setjmp and
// only written to afterwards.
#include "RasterImage.h"

#include "platform/Surface.h"

#include <csetjmp>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

namespace pixelune {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool dataEnded = false;  // the file ended before its picture did
};

void jpegErrorExit(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(err->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

// Messages are not shown; the one that says the file ended early (libjpeg
// then fills the rest of the picture with grey) is noted: such a file is a
// truncated one. Other warnings (stray bytes before a marker, common in
// cameras' files) leave the picture whole.
void jpegNoteEnd(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<JpegError*>(info->err)->dataEnded = true;
}

struct FileCloser {
    std::FILE* f = nullptr;
    ~FileCloser() {
        if (f) std::fclose(f);
    }
};

}  // namespace

bool RasterImage::allocate(int w, int h, int b) {
    if (w <= 0 || h <= 0 || static_cast<std::int64_t>(w) * h > kMaxRasterPixels) return false;
    if (!plastora::Surface::allocationAllowed(w, h)) return false;
    try {
        pixels.assign(strideFor(w, b) * static_cast<std::size_t>(h), 0);
    } catch (const std::bad_alloc&) {
        pixels.clear();
        return false;
    }
    width = w;
    height = h;
    bits = b;
    return true;
}

std::FILE* openRegularFile(const char* fileName) {
    if (!fileName) return nullptr;
    const int fd = ::open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) ::close(fd);
    return f;
}

namespace {

// The fewest bytes a Huffman-coded JPEG of w x h pixels can code its picture
// in: every 8 x 8 block of the full-resolution component costs at least one
// bit in the first scan (its DC difference), and more after; half a bit is
// allowed for. A small file declaring a huge picture is refused before its
// memory is taken, instead of being decoded as padding. Arithmetic coding
// has no such floor (a flat page codes in a few hundred bytes): those files
// are bounded by the pixel limit alone.
std::uint64_t minimumJpegBytes(std::uint64_t w, std::uint64_t h) { return ((w + 7) / 8) * ((h + 7) / 8) / 16; }

// A real progressive JPEG has about ten scans; thousands of tiny scans over
// a large picture only make decoding take minutes.
constexpr int kMaxJpegScans = 500;

void jpegScanLimit(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        jpegErrorExit(cinfo);
}

std::uint64_t fileSizeOf(std::FILE* f) {
    struct stat st {};
    return ::fstat(::fileno(f), &st) == 0 && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

}  // namespace

bool readJpegFile(const char* fileName, RasterImage& image) {
    FileCloser file{openRegularFile(fileName)};
    if (!file.f) return false;
    jpeg_decompress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegErrorExit;
    err.mgr.emit_message = jpegNoteEnd;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_progress_mgr progress{};
    progress.progress_monitor = jpegScanLimit;
    info.progress = &progress;
    jpeg_stdio_src(&info, file.f);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    if ((!info.arith_code && fileSizeOf(file.f) < minimumJpegBytes(info.image_width, info.image_height)) ||
        !image.allocate(static_cast<int>(info.image_width), static_cast<int>(info.image_height), 24)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    image.fileBits = 24;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const std::size_t stride = image.stride();
    while (info.output_scanline < info.output_height) {
        // Scan line n is picture row n from the top: bottom-up row h-1-n.
        const std::size_t y = info.output_height - 1 - info.output_scanline;
        JSAMPROW row = image.pixels.data() + y * stride;
        jpeg_read_scanlines(&info, &row, 1);
        for (JDIMENSION x = 0; x < info.output_width; ++x) std::swap(row[x * 3], row[x * 3 + 2]);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return !err.dataEnded;
}

bool writeJpegFile(std::FILE* stream, const std::uint8_t* rows, int width, int height, int quality) {
    const struct { std::FILE* f; } file{stream};
    if (!file.f) return false;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * 3);
    jpeg_compress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegErrorExit;
    err.mgr.emit_message = jpegSilence;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file.f);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = RasterImage::strideFor(width, 24);
    while (info.next_scanline < info.image_height) {
        const std::uint8_t* src = rows + (static_cast<std::size_t>(height) - 1 - info.next_scanline) * stride;
        for (int x = 0; x < width; ++x) {
            rgb[x * 3] = src[x * 3 + 2];
            rgb[x * 3 + 1] = src[x * 3 + 1];
            rgb[x * 3 + 2] = src[x * 3];
        }
        JSAMPROW row = rgb.data();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fflush(file.f) == 0 && !std::ferror(file.f);
}

namespace {

struct PngSink {
    void (*sink)(void*, const char*);
    void* data;
};

void pngError(png_structp png, png_const_charp message) {
    auto* s = static_cast<PngSink*>(png_get_error_ptr(png));
    if (s && s->sink) s->sink(s->data, message);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

}  // namespace

bool readPngFile(const char* fileName, RasterImage& image, void (*messageSink)(void*, const char*), void* sinkData) {
    FileCloser file{openRegularFile(fileName)};
    if (!file.f) return false;
    unsigned char signature[8];
    if (std::fread(signature, 1, 8, file.f) != 8 || png_sig_cmp(signature, 0, 8) != 0) return false;
    PngSink sink{messageSink, sinkData};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &sink, pngError, pngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    std::vector<std::uint8_t> data;
    std::vector<png_bytep> rowPointers;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file.f);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info);
    png_uint_32 h = png_get_image_height(png, info);
    if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF ||
        static_cast<std::int64_t>(w) * h > kMaxRasterPixels) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    const int colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (bitDepth == 16) png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_expand(png);
    if (bitDepth < 8) png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_expand(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_color_16p background = nullptr;
    if (png_get_bKGD(png, info, &background)) png_set_background(png, background, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    double gamma = 0;
    if (png_get_gAMA(png, info, &gamma)) png_set_gamma(png, 2.2, gamma);
    png_read_update_info(png, info);
    const int channels = png_get_channels(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    if ((channels != 3 && channels != 4) || rowBytes < static_cast<std::size_t>(w) * channels) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    data.resize(rowBytes * h);
    rowPointers.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) rowPointers[y] = data.data() + y * rowBytes;
    png_read_image(png, rowPointers.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);

    if (!image.allocate(static_cast<int>(w), static_cast<int>(h), 24)) return false;
    image.fileBits = 24;
    const std::size_t stride = image.stride();
    for (png_uint_32 y = 0; y < h; ++y) {
        const std::uint8_t* src = rowPointers[y];
        std::uint8_t* dst = image.pixels.data() + (h - 1 - y) * stride;
        for (png_uint_32 x = 0; x < w; ++x, src += channels) {
            dst[x * 3] = src[2];
            dst[x * 3 + 1] = src[1];
            dst[x * 3 + 2] = src[0];
        }
    }
    return true;
}

bool writePngFile(std::FILE* stream, const std::uint8_t* rows, int width, int height,
                  void (*messageSink)(void*, const char*), void* sinkData) {
    const struct { std::FILE* f; } file{stream};
    if (!file.f) return false;
    PngSink sink{messageSink, sinkData};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, pngError, pngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_bytep> rowPointers(static_cast<std::size_t>(height));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    const std::size_t stride = RasterImage::strideFor(width, 24);
    for (int y = 0; y < height; ++y)
        rowPointers[y] = const_cast<png_bytep>(rows + (static_cast<std::size_t>(height) - 1 - y) * stride);
    png_write_image(png, rowPointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fflush(file.f) == 0 && !std::ferror(file.f);
}

bool readWholeFile(const char* fileName, std::vector<std::uint8_t>& data, std::uint64_t limit) {
    FileCloser file{openRegularFile(fileName)};
    if (!file.f) return false;
    data.clear();
    const std::uint64_t size = fileSizeOf(file.f);
    if (size > limit) return false;
    try {
        data.reserve(static_cast<std::size_t>(size));
        unsigned char chunk[65536];
        std::size_t n;
        // The file may grow while it is read: never past the limit.
        while ((n = std::fread(chunk, 1, sizeof chunk, file.f)) > 0) {
            if (data.size() + n > limit) return false;
            data.insert(data.end(), chunk, chunk + n);
        }
    } catch (const std::bad_alloc&) {
        data.clear();
        return false;
    }
    return !std::ferror(file.f);
}

RasterFormat formatOfName(const char* fileName) {
    const std::size_t n = fileName ? std::strlen(fileName) : 0;
    if (n < 3) return RasterFormat::Bmp;
    char last[4] = {};
    for (int i = 0; i < 3; ++i) last[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(fileName[n - 3 + i])));
    const std::string s(last);
    if (s == "jpg" || s == "peg") return RasterFormat::Jpeg;
    if (s == "png") return RasterFormat::Png;
    if (s == "gif") return RasterFormat::Gif;
    if (s == "saf") return RasterFormat::Saf;
    return RasterFormat::Bmp;
}

}  // namespace pixelune

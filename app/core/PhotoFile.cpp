// Photos by content: JPEG (libjpeg, tolerant of what cameras and the web
// produce), BMP (the still-image reader), PNG/TIFF/WebP/GIF (Qt's readers).
#include "core/PhotoFile.h"
#include "platform/SafeFile.h"

#include "core/StillImage.h"

#include <QByteArray>
#include <QColorSpace>
#include <QColorTransform>
#include <QFile>
#include <QImage>
#include <QImageIOHandler>
#include <QImageReader>
#include <QString>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include <sys/stat.h>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace plastora {

const char* const kTruncatedPhotoMessage =
    "画像ファイルが途中で終わっています。\n画像の下側%1行（全%2行の%3%）が読み込めなかったため、灰色で表示されます。";
const char* const kTruncatedProgressivePhotoMessage =
    "画像ファイルが途中で終わっています。\n画像の細部の一部が読み込めなかったため、粗く表示されます。";

namespace {

// libjpeg's own working memory (coefficient buffers of progressive pictures).
constexpr long kMaxJpegWorkMemory = 1L << 30;
// A real progressive JPEG has about ten scans; thousands of tiny scans over a
// large picture are only a way to make decoding take minutes.
constexpr int kMaxJpegScans = 500;
// How many times the scans may cover the picture's blocks in all (see
// photoProgress); real files stay near ten.
constexpr std::uint64_t kMaxJpegPassesOverBlocks = 40;
// The largest surface a photo may ask for, in bytes (512 megapixels).
constexpr std::uint64_t kMaxSurfaceBytes = std::uint64_t{1} << 31;
// What the missing part of a picture that ends early is shown as.
constexpr Pixel kMissingGrey = 0xFF808080u;

// The fewest bytes a Huffman-coded JPEG of w x h pixels can hold its first
// scan in: every 8 x 8 block of the full-resolution component costs at
// least one bit there (its DC difference); half a bit is allowed for. A
// file below it is not a picture cut short but a few bytes declaring a huge
// one, refused before its memory is taken (658 bytes asked for 2 GB).
// Arithmetic coding has no such floor: a flat picture codes in a few
// hundred bytes, and those files are bounded by the size limits alone.
std::uint64_t minimumHuffmanJpegBytes(std::uint64_t w, std::uint64_t h) { return ((w + 7) / 8) * ((h + 7) / 8) / 16; }

// Whether the first picture of a JPEG (read a byte at a time from `next`,
// -1 at the end) holds as many bytes of coded data (inside its scans) as a
// Huffman-coded picture of its declared size needs. Only the scans count:
// comments, application segments and bytes after the end would otherwise
// make a cut file's floor (a few hundred kilobytes of zeros bought 1.6 GB).
// Reading stops as soon as the floor is reached, a few per cent into a real
// photo. True for an arithmetic-coded picture, which has no such floor, and
// for anything the walk cannot follow (libjpeg judges that).
template <class Next>
bool codedDataFillsDeclaredSize(Next&& next) {
    if (next() != 0xFF || next() != 0xD8) return true;
    std::uint64_t coded = 0, floor = 0;
    bool sized = false;
    int marker = -1;  // a marker met at the end of a scan's data
    for (;;) {
        int c = marker;
        marker = -1;
        if (c < 0) {
            c = next();
            while (c >= 0 && c != 0xFF) c = next();  // stray bytes between segments
            while (c == 0xFF) c = next();
        }
        if (c < 0 || c == 0xD9) return !sized || coded >= floor;
        if (c == 0x01 || (c >= 0xD0 && c <= 0xD7)) continue;  // markers without a length
        const int hi = next(), lo = next();
        if (lo < 0) return !sized || coded >= floor;
        const int length = (hi << 8 | lo) - 2;
        if (length < 0) return true;
        std::uint8_t head[5] = {};
        for (int i = 0; i < length; ++i) {
            const int b = next();
            if (b < 0) return !sized || coded >= floor;
            if (i < 5) head[i] = static_cast<std::uint8_t>(b);
        }
        if (c >= 0xC0 && c <= 0xCF && c != 0xC4 && c != 0xC8 && c != 0xCC && !sized) {
            if (c >= 0xC9) return true;  // arithmetic coding
            const std::uint64_t h = std::uint64_t{head[1]} << 8 | head[2], w = std::uint64_t{head[3]} << 8 | head[4];
            floor = minimumHuffmanJpegBytes(w, h);
            sized = true;
        }
        if (c != 0xDA) continue;
        // The scan's data: up to a marker other than a stuffed zero or a restart.
        for (;;) {
            int b = next();
            if (b < 0) return !sized || coded >= floor;
            if (b != 0xFF) {
                if (++coded >= floor && sized) return true;
                continue;
            }
            do b = next(); while (b == 0xFF);
            if (b < 0) return !sized || coded >= floor;
            if (b == 0x00 || (b >= 0xD0 && b <= 0xD7)) {
                if (++coded >= floor && sized) return true;
                continue;
            }
            marker = b;
            break;
        }
    }
}

bool codedDataFillsDeclaredSize(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    return codedDataFillsDeclaredSize([&]() -> int { return at < size ? data[at++] : -1; });
}

// The same for the JPEG at the stream's position, which is restored.
bool codedDataFillsDeclaredSize(std::FILE* f) {
    const off_t start = ::ftello(f);
    std::vector<std::uint8_t> block(65536);
    std::size_t have = 0, at = 0;
    const bool enough = codedDataFillsDeclaredSize([&]() -> int {
        if (at == have) {
            have = std::fread(block.data(), 1, block.size(), f);
            at = 0;
            if (have == 0) return -1;
        }
        return block[at++];
    });
    if (start < 0 || ::fseeko(f, start, SEEK_SET) != 0) return false;
    return enough;
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::uint32_t get16(const std::uint8_t* p, bool big) {
    return big ? (std::uint32_t{p[0]} << 8) | p[1] : (std::uint32_t{p[1]} << 8) | p[0];
}
std::uint32_t get32(const std::uint8_t* p, bool big) {
    return big ? (get16(p, true) << 16) | get16(p + 2, true) : (get16(p + 2, false) << 16) | get16(p, false);
}

// ---------------------------------------------------------------------------
// libjpeg glue. A fatal error longjmps back to decodeJpegPhoto's setjmp; only
// libjpeg's frames are skipped. Everything changed after setjmp lives in the
// job structure, outside the frame that calls setjmp.

struct PhotoJpegError {
    jpeg_error_mgr mgr;  // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    bool ended;          // the data ran out (or hit a marker) inside the picture
    JDIMENSION endedAtRow;
    // Of a picture in several scans: the components (by index) whose first
    // pass (a scan from coefficient 0 at full precision: the whole component
    // of a sequential file, the coarse DC pass of a progressive one) began
    // before the data ran out, and those whose first pass was cut short.
    // Without a whole first pass a component has no values at all in part of
    // the picture: its colours are wrong there, not merely coarse.
    unsigned firstPassBegun;
    unsigned firstPassCut;
    bool endIsFatal = false;  // a reader that refuses a picture whose data ran out stops there
    // The blocks the scans taken in so far cover, and the last scan counted:
    // every scan is a pass over its components' blocks, coded or not.
    std::uint64_t scannedBlocks;
    int countedScan;
};

// Notes the components of the scan being read when it is a first pass.
void noteFirstPass(j_decompress_ptr d, unsigned& into) {
    if (d->Ss != 0 || d->Ah != 0) return;
    for (int i = 0; i < d->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i)
        if (d->cur_comp_info[i] && d->cur_comp_info[i]->component_index < 32)
            into |= 1u << d->cur_comp_info[i]->component_index;
}

[[noreturn]] void photoErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<PhotoJpegError*>(cinfo->err)->jump, 1);
}

void photoEmitMessage(j_common_ptr cinfo, int level) {
    auto* err = reinterpret_cast<PhotoJpegError*>(cinfo->err);
    if (level >= 0 || err->ended) return;
    if (cinfo->err->msg_code != JWRN_JPEG_EOF && cinfo->err->msg_code != JWRN_HIT_MARKER) return;
    if (err->endIsFatal) photoErrorExit(cinfo);
    err->ended = true;
    if (cinfo->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
        err->endedAtRow = d->output_scanline;
        // Ending inside a scan (not between two) cuts the scan short.
        if (d->input_iMCU_row < d->total_iMCU_rows) noteFirstPass(d, err->firstPassCut);
    }
}

void photoOutputMessage(j_common_ptr) {}

void photoProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxJpegScans) photoErrorExit(cinfo);
    // Called while each scan is taken in: the scans the file really has.
    auto* err = reinterpret_cast<PhotoJpegError*>(cinfo->err);
    // The work is bounded, not only the number of scans: a scan without
    // data still costs a pass over all its blocks, so a few hundred empty
    // ones made a small file take seconds and gigabytes. A real progressive
    // picture covers its blocks about ten times.
    if (d->input_scan_number != err->countedScan && d->comps_in_scan > 0) {
        err->countedScan = d->input_scan_number;
        std::uint64_t all = 0;
        for (int c = 0; c < d->num_components; ++c)
            all += std::uint64_t{d->comp_info[c].width_in_blocks} * d->comp_info[c].height_in_blocks;
        for (int i = 0; i < d->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i)
            if (const jpeg_component_info* comp = d->cur_comp_info[i])
                err->scannedBlocks += std::uint64_t{comp->width_in_blocks} * comp->height_in_blocks;
        if (err->scannedBlocks > kMaxJpegPassesOverBlocks * std::max<std::uint64_t>(all, 1)) photoErrorExit(cinfo);
    }
    if (!err->ended) noteFirstPass(d, err->firstPassBegun);
}

struct PhotoJpegJob {
    jpeg_decompress_struct cinfo;
    PhotoJpegError err;
    jpeg_progress_mgr progress;
    std::FILE* file = nullptr;
    // Or the file held in memory (when `memory` is set).
    const std::uint8_t* memory = nullptr;
    std::size_t memorySize = 0;
    // A reader that needs every pixel at full size: no reduction when
    // memory is short, and this asked (when set) before the picture is made.
    const std::function<bool(int, int)>* fullSizeAllowed = nullptr;
    Surface picture;
    std::vector<std::uint8_t> scratch;  // one CMYK row
    int orientation = 1;
    bool grey = false;  // one component
    bool cmyk = false;
    bool multiScan = false;
    bool firstPassesWhole = true;  // of a picture in several scans that ended early
    QColorSpace space;             // of the embedded colour profile, if any
    int rowsDecoded = 0;
    bool outOfMemory = false;
    int headerWidth = 0, headerHeight = 0;  // the frame size readJpegHeader found
    unsigned firstScale = 1;  // the smallest reduction tried: 1, 2, 4 or 8
    unsigned scale = 1;       // the reduction the picture was decoded at
};

void cmykRowToPixels(const std::uint8_t* src, Pixel* dst, int w, bool inverted) {
    for (int x = 0; x < w; ++x, src += 4) {
        // Adobe applications store CMYK inverted (0 = full ink); others plain.
        unsigned c = src[0], m = src[1], y = src[2], k = src[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        const unsigned r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (y * k + 127) / 255;
        dst[x] = kOpaque | (r << 16) | (g << 8) | b;
    }
}

// The error handler every decoder here uses: a fatal error jumps back, a
// warning that the data ended early is noted, nothing is printed.
void setUpPhotoErrors(PhotoJpegJob& job) {
    jpeg_std_error(&job.err.mgr);
    job.err.mgr.error_exit = photoErrorExit;
    job.err.mgr.emit_message = photoEmitMessage;
    job.err.mgr.output_message = photoOutputMessage;
    job.err.ended = false;
    job.err.firstPassBegun = 0;
    job.err.firstPassCut = 0;
    job.err.scannedBlocks = 0;
    job.err.countedScan = 0;
    job.cinfo.err = &job.err.mgr;
}

// Whether every component of a picture in several scans had its whole first
// pass before the data ran out.
bool everyFirstPassWhole(const jpeg_decompress_struct& d, const PhotoJpegError& err) {
    const unsigned all = d.num_components >= 32 ? ~0u : (1u << d.num_components) - 1;
    return (err.firstPassBegun & all) == all && (err.firstPassCut & all) == 0;
}

// Reads the headers (after jpeg_create_decompress and the source are set
// up), keeping the Exif block for the orientation it holds.
void readHeaderAndOrientation(PhotoJpegJob& job) {
    jpeg_save_markers(&job.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&job.cinfo, JPEG_APP0 + 2, 0xFFFF);  // the colour profile
    jpeg_read_header(&job.cinfo, TRUE);
    for (jpeg_saved_marker_ptr m = job.cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            job.orientation = ExifOrientationOf(m->data, m->data_length);
            break;
        }
    }
}

// The colour space of the profile a JPEG embeds (after its headers were
// read with the APP2 markers kept); invalid without one, or for one Qt
// cannot use (CMYK, grey, damaged).
QColorSpace embeddedColourSpace(j_decompress_ptr cinfo) {
    JOCTET* icc = nullptr;
    unsigned int length = 0;
    if (!jpeg_read_icc_profile(cinfo, &icc, &length) || !icc) return {};
    const QByteArray bytes(reinterpret_cast<const char*>(icc), static_cast<qsizetype>(length));
    std::free(icc);
    return QColorSpace::fromIccProfile(bytes);
}

// Whether pixels in `space` need converting to be sRGB: the pictures made
// of a photo (and the files written) are taken to be sRGB.
bool needsSrgbConversion(const QColorSpace& space) {
    return space.isValid() && space != QColorSpace(QColorSpace::SRgb);
}

// Converts a picture from `space` to sRGB in place (a photo from a phone in
// Display P3, or from a camera set to Adobe RGB, would otherwise look dull
// and shifted).
void convertToSrgb(Surface& picture, const QColorSpace& space) {
    if (!needsSrgbConversion(space) || picture.empty()) return;
    QImage view(reinterpret_cast<uchar*>(picture.bits()), picture.width(), picture.height(),
                static_cast<qsizetype>(picture.width()) * 4, QImage::Format_RGB32);
    view.applyColorTransform(space.transformationToColorSpace(QColorSpace::SRgb));
}

// After the error set-up and its setjmp: a decompressor on the file with
// the work-memory bound and the progress monitor, its header and Exif
// orientation read.
void startPhotoDecode(PhotoJpegJob& job) {
    jpeg_create_decompress(&job.cinfo);
    job.cinfo.mem->max_memory_to_use = kMaxJpegWorkMemory;
    job.progress.progress_monitor = photoProgress;
    job.cinfo.progress = &job.progress;
    if (job.memory)
        jpeg_mem_src(&job.cinfo, job.memory, static_cast<unsigned long>(job.memorySize));
    else
        jpeg_stdio_src(&job.cinfo, job.file);
    readHeaderAndOrientation(job);
}

// Decodes into job.picture. False on a fatal error, an unsupported colour
// space, nothing decodable, or no memory (job.outOfMemory).
bool decodeJpegPhoto(PhotoJpegJob& job) {
    setUpPhotoErrors(job);
    job.err.endedAtRow = 0;
    if (setjmp(job.err.jump)) {
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    startPhotoDecode(job);
    job.headerWidth = static_cast<int>(std::min<JDIMENSION>(job.cinfo.image_width, 0x7FFFFFFF));
    job.headerHeight = static_cast<int>(std::min<JDIMENSION>(job.cinfo.image_height, 0x7FFFFFFF));
    job.grey = job.cinfo.jpeg_color_space == JCS_GRAYSCALE;
    switch (job.cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE:
        case JCS_YCbCr:
        case JCS_RGB:
            job.cinfo.out_color_space = JCS_EXT_BGRX;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            // libjpeg turns YCCK into CMYK; the step to RGB is ours.
            job.cinfo.out_color_space = JCS_CMYK;
            job.cmyk = true;
            break;
        default:
            jpeg_destroy_decompress(&job.cinfo);
            return false;
    }
    if (!job.cmyk) job.space = embeddedColourSpace(&job.cinfo);
    job.multiScan = jpeg_has_multiple_scans(&job.cinfo);
    // The largest of full size, 1/2, 1/4, 1/8 (from the first reduction
    // asked for) that a surface can be made for.
    bool made = false;
    if (job.fullSizeAllowed) {
        const std::uint64_t w = job.cinfo.image_width, h = job.cinfo.image_height;
        if (w > 0x7FFFFFFF || h > 0x7FFFFFFF || w * h * sizeof(Pixel) > kMaxSurfaceBytes ||
            !(*job.fullSizeAllowed)(static_cast<int>(w), static_cast<int>(h))) {
            jpeg_destroy_decompress(&job.cinfo);
            return false;
        }
    }
    const unsigned lastScale = job.fullSizeAllowed ? 1 : 8;
    for (unsigned denom = job.firstScale; denom <= lastScale && !made; denom *= 2) {
        job.scale = denom;
        job.cinfo.scale_num = 1;
        job.cinfo.scale_denom = denom;
        jpeg_calc_output_dimensions(&job.cinfo);
        const std::uint64_t w = job.cinfo.output_width, h = job.cinfo.output_height;
        if (w == 0 || h == 0) break;
        if (w * h * sizeof(Pixel) > kMaxSurfaceBytes || w > 0x7FFFFFFF || h > 0x7FFFFFFF) continue;
        made = job.picture.createUninitialized(static_cast<int>(w), static_cast<int>(h));
    }
    if (!made) {
        job.outOfMemory = job.cinfo.output_width > 0 && job.cinfo.output_height > 0;
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    const int w = job.picture.width(), h = job.picture.height();
    if (job.cmyk) job.scratch.assign(static_cast<std::size_t>(w) * 4, 0);
    jpeg_start_decompress(&job.cinfo);
    if (job.cinfo.output_width != static_cast<JDIMENSION>(w) ||
        job.cinfo.output_height != static_cast<JDIMENSION>(h)) {
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    const bool inverted = job.cinfo.saw_Adobe_marker;
    while (job.cinfo.output_scanline < job.cinfo.output_height) {
        // A sequential picture that ran out: the rows from there on are not
        // in the file; stop instead of decoding filler.
        if (job.err.ended && !job.multiScan) break;
        const int y = static_cast<int>(job.cinfo.output_scanline);
        JSAMPROW row[1] = {job.cmyk ? job.scratch.data() : reinterpret_cast<JSAMPROW>(job.picture.row(y))};
        if (jpeg_read_scanlines(&job.cinfo, row, 1) != 1) break;
        if (job.cmyk) {
            cmykRowToPixels(job.scratch.data(), job.picture.row(y), w, inverted);
        } else {
            Pixel* p = job.picture.row(y);
            for (int x = 0; x < w; ++x) p[x] |= kOpaque;
        }
    }
    job.rowsDecoded = static_cast<int>(job.cinfo.output_scanline);
    if (job.err.ended && !job.multiScan) job.rowsDecoded = std::min(job.rowsDecoded, static_cast<int>(job.err.endedAtRow));
    if (job.err.ended && job.multiScan) job.firstPassesWhole = everyFirstPassWhole(job.cinfo, job.err);
    // Whatever follows the picture (its end marker, further pictures of a
    // multi-picture file) is not needed.
    jpeg_destroy_decompress(&job.cinfo);
    return true;
}

// The rows of a whole sequential colour or grey JPEG at full size, handed
// to job.rowSink one at a time. False on anything else (progressive, CMYK,
// damaged, ending early).
struct PhotoRowJob {
    PhotoJpegJob base;
    std::vector<Pixel> row;
    const std::function<void(int, const Pixel*, int)>* rowSink = nullptr;
    unsigned scale = 1;        // rows decoded at 1/scale (1, 2, 4, 8)
    bool uprightOnly = false;  // refuse a photo its orientation turns
};

bool streamJpegPhotoRows(PhotoRowJob& rj) {
    PhotoJpegJob& job = rj.base;
    setUpPhotoErrors(job);
    if (setjmp(job.err.jump)) {
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    startPhotoDecode(job);
    const J_COLOR_SPACE space = job.cinfo.jpeg_color_space;
    // A photo with a colour profile to convert is read whole (converted there).
    if ((space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) || jpeg_has_multiple_scans(&job.cinfo) ||
        (rj.uprightOnly && job.orientation != 1) || needsSrgbConversion(embeddedColourSpace(&job.cinfo))) {
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    job.cinfo.out_color_space = JCS_EXT_BGRX;
    job.cinfo.scale_num = 1;
    job.cinfo.scale_denom = rj.scale;
    jpeg_start_decompress(&job.cinfo);
    const JDIMENSION w = job.cinfo.output_width;
    if (w == 0 || w > 0x7FFFFFF || job.cinfo.output_height == 0 || job.cinfo.output_height > 0x7FFFFFFF) {
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    rj.row.resize(w);
    while (job.cinfo.output_scanline < job.cinfo.output_height) {
        const int y = static_cast<int>(job.cinfo.output_scanline);
        JSAMPROW row[1] = {reinterpret_cast<JSAMPROW>(rj.row.data())};
        if (jpeg_read_scanlines(&job.cinfo, row, 1) != 1 || job.err.ended) {
            jpeg_destroy_decompress(&job.cinfo);
            return false;
        }
        for (Pixel& p : rj.row) p |= kOpaque;
        (*rj.rowSink)(y, rj.row.data(), static_cast<int>(w));
    }
    job.headerWidth = static_cast<int>(w);
    job.headerHeight = static_cast<int>(job.cinfo.output_height);
    jpeg_destroy_decompress(&job.cinfo);
    return true;
}

// The frame size and Exif orientation of a JPEG, from its headers.
bool readJpegHeader(PhotoJpegJob& job) {
    setUpPhotoErrors(job);
    if (setjmp(job.err.jump)) {
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    jpeg_create_decompress(&job.cinfo);
    jpeg_stdio_src(&job.cinfo, job.file);
    readHeaderAndOrientation(job);
    if (job.cinfo.jpeg_color_space != JCS_CMYK && job.cinfo.jpeg_color_space != JCS_YCCK)
        job.space = embeddedColourSpace(&job.cinfo);
    const bool known = job.cinfo.jpeg_color_space == JCS_GRAYSCALE || job.cinfo.jpeg_color_space == JCS_YCbCr ||
                       job.cinfo.jpeg_color_space == JCS_RGB || job.cinfo.jpeg_color_space == JCS_CMYK ||
                       job.cinfo.jpeg_color_space == JCS_YCCK;
    const bool ok = known && job.cinfo.image_width > 0 && job.cinfo.image_height > 0 &&
                    job.cinfo.image_width <= 0x7FFFFFFF && job.cinfo.image_height <= 0x7FFFFFFF;
    if (ok) {
        job.headerWidth = static_cast<int>(job.cinfo.image_width);
        job.headerHeight = static_cast<int>(job.cinfo.image_height);
    }
    jpeg_destroy_decompress(&job.cinfo);
    return ok;
}

int loadJpegPhoto(Host& host, std::FILE* f, unsigned firstScale, Surface& picture, PhotoLoadNotes& notes) {
    if (!codedDataFillsDeclaredSize(f)) return 0;
    auto job = std::make_unique<PhotoJpegJob>();
    job->file = f;
    job->firstScale = firstScale;
    bool ok = false;
    try {
        ok = decodeJpegPhoto(*job);
    } catch (const std::bad_alloc&) {
        job->outOfMemory = true;
    }
    if (!ok) {
        if (job->outOfMemory) host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    Surface& pic = job->picture;
    const int h = pic.height();
    notes.cmyk = job->cmyk;
    notes.totalRows = h;
    if (job->err.ended) {
        // Nothing usable: a sequential picture without one whole row, or one
        // in several scans where a component's first pass is incomplete (its
        // colours would be wrong, not merely coarse).
        if (job->multiScan ? !job->firstPassesWhole : job->rowsDecoded <= 0) return 0;
        notes.truncated = true;
        notes.missingRows = job->multiScan ? 0 : h - job->rowsDecoded;
        for (int y = h - notes.missingRows; y < h; ++y) std::fill(pic.row(y), pic.row(y) + pic.width(), kMissingGrey);
    } else if (job->rowsDecoded < h) {
        return 0;
    }
    convertToSrgb(pic, job->space);
    notes.orientation = job->orientation;
    notes.scale = static_cast<int>(job->scale);
    // Reduced pixel j covers stored pixels [j s, (j + 1) s), the last block
    // holding what is left of a side; a side the orientation flips has that
    // block first, and its pixels start (s - left) pixels before the photo.
    const int s = notes.scale;
    const bool turned = job->orientation >= 5 && job->orientation <= 8;
    const int shownWidth = turned ? job->headerHeight : job->headerWidth;
    const int shownHeight = turned ? job->headerWidth : job->headerHeight;
    const bool flipsX = job->orientation == 2 || job->orientation == 3 || job->orientation == 6 || job->orientation == 7;
    const bool flipsY = job->orientation == 3 || job->orientation == 4 || job->orientation == 7 || job->orientation == 8;
    if (s > 1) notes.phase = {flipsX ? (s - shownWidth % s) % s : 0, flipsY ? (s - shownHeight % s) % s : 0};
    if (!ApplyExifOrientation(pic, job->orientation)) {
        host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    if (notes.truncated)
        host.message(truncatedPhotoMessage(notes.missingRows, notes.totalRows), MsgButtons::Ok,
                     MsgIcon::Warning);
    picture = std::move(pic);
    return 1;
}

// Reads exactly `n` bytes, false at the end of the file.
bool readExactly(std::FILE* f, void* to, std::size_t n) { return std::fread(to, 1, n, f) == n; }

// Walks a GIF up to the end of its first picture's data, reading through
// `read(to, n)` (false at the end of the data). False when the data ends
// first, or when the pictures it declares (the screen and the first
// picture) are far larger than its data can code: a code stands for at most
// 4096 pixels, so a few bytes declaring a huge picture are a way to make the
// reader allocate gigabytes of black (Qt's reader fills what the data does
// not cover, and calls a picture cut short a whole one).
template <typename Read>
bool walkGifFirstPicture(Read&& read) {
    constexpr std::uint64_t kAlwaysAllowedPixels = std::uint64_t{1} << 22;
    std::uint8_t head[13];
    std::uint8_t block[256];
    const auto skipColours = [&](std::uint8_t flags) {
        for (std::size_t left = (flags & 0x80) ? std::size_t{3} << ((flags & 7) + 1) : 0; left > 0;) {
            const std::size_t n = std::min(left, sizeof block);
            if (!read(block, n)) return false;
            left -= n;
        }
        return true;
    };
    // The sub-blocks up to the terminator; `bytes` counts their data.
    const auto skipSubBlocks = [&](std::uint64_t& bytes) {
        for (;;) {
            if (!read(block, 1)) return false;
            if (block[0] == 0) return true;
            bytes += block[0];
            if (!read(block + 1, block[0])) return false;
        }
    };
    if (!read(head, sizeof head) || !skipColours(head[10])) return false;
    const std::uint64_t screen = std::uint64_t{get16(head + 6, false)} * get16(head + 8, false);
    for (;;) {
        std::uint8_t introducer = 0;
        std::uint64_t bytes = 0;
        if (!read(&introducer, 1)) return false;
        if (introducer == 0x21) {  // extension: its label, then sub-blocks
            if (!read(block, 1) || !skipSubBlocks(bytes)) return false;
        } else if (introducer == 0x2C) {  // the picture: descriptor, local colours, code size, data
            std::uint8_t d[9];
            std::uint8_t codeSize = 0;
            if (!read(d, sizeof d) || !skipColours(d[8]) || !read(&codeSize, 1) || !skipSubBlocks(bytes))
                return false;
            const std::uint64_t codes = bytes * 8 / std::clamp<std::uint64_t>(codeSize + 1u, 2, 12) + 1;
            const std::uint64_t coded = std::max(codes * 4096, kAlwaysAllowedPixels);
            const std::uint64_t picture = std::uint64_t{get16(d + 4, false)} * get16(d + 6, false);
            // Qt's reader makes a canvas that holds the screen and the picture
            // at its place: a 1 x 1 picture at (16000, 16000) is a canvas of
            // 16001 x 16001 (a gigabyte from 35 bytes).
            const std::uint64_t canvas =
                std::max<std::uint64_t>(get16(head + 6, false), std::uint64_t{get16(d, false)} + get16(d + 4, false)) *
                std::max<std::uint64_t>(get16(head + 8, false), std::uint64_t{get16(d + 2, false)} + get16(d + 6, false));
            return picture <= coded && screen <= coded && canvas <= coded;
        } else {
            return false;  // the trailer before any picture, or not a block at all
        }
    }
}

}  // namespace

bool GifFirstPictureSound(const std::string& path) {
    FilePtr f(openRegularFile(path));
    return f && walkGifFirstPicture([&](void* to, std::size_t n) { return readExactly(f.get(), to, n); });
}

bool GifFirstPictureSound(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    return walkGifFirstPicture([&](void* to, std::size_t n) {
        if (n > size - at) return false;
        std::memcpy(to, data + at, n);
        at += n;
        return true;
    });
}

namespace {

// What a PNG's or WebP's chunks say that Qt's readers do not act on: the
// Exif orientation (a PNG's eXIf chunk, a WebP's EXIF chunk; 1 without
// one), and whether the file embeds a colour profile (iCCP, ICCP).
struct ContainerNotes {
    int orientation = 1;
    bool profile = false;
};

ContainerNotes readContainerNotes(const std::string& path, PhotoFormat format) {
    constexpr std::uint32_t kMaxExifBytes = 1u << 20;
    ContainerNotes notes;
    if (format != PhotoFormat::Png && format != PhotoFormat::WebP) return notes;
    FilePtr f(openRegularFile(path));
    const bool png = format == PhotoFormat::Png;
    if (!f || std::fseek(f.get(), png ? 8 : 12, SEEK_SET) != 0) return notes;
    for (;;) {
        std::uint8_t chunk[8];
        if (!readExactly(f.get(), chunk, sizeof chunk)) return notes;
        const std::uint32_t length = png ? get32(chunk, true) : get32(chunk + 4, false);
        const char* type = reinterpret_cast<const char*>(png ? chunk + 4 : chunk);
        if (png && (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0)) return notes;
        if (std::memcmp(type, png ? "iCCP" : "ICCP", 4) == 0) notes.profile = true;
        long long skip = static_cast<long long>(length);
        if (std::memcmp(type, png ? "eXIf" : "EXIF", 4) == 0 && length <= kMaxExifBytes) {
            std::vector<std::uint8_t> exif(6 + std::size_t{length});
            std::memcpy(exif.data(), "Exif\0\0", 6);
            if (!readExactly(f.get(), exif.data() + 6, length)) return notes;
            // Some writers keep the JPEG marker's "Exif\0\0" in front of the block.
            const bool prefixed = length >= 6 && std::memcmp(exif.data() + 6, "Exif\0\0", 6) == 0;
            notes.orientation =
                prefixed ? ExifOrientationOf(exif.data() + 6, length) : ExifOrientationOf(exif.data(), exif.size());
            skip = 0;
        }
        // Past the data, and the CRC of a PNG chunk or the pad byte of a RIFF one.
        skip += png ? 4 : (length & 1);
        if (::fseeko(f.get(), static_cast<off_t>(skip), SEEK_CUR) != 0) return notes;
    }
}

// Qt's image reader on a photo opened by its bytes: through a QString, a
// name that is not UTF-8 (a folder from an old disk) would name another file,
// and a leading ':' one of Qt's resources.
class PathImageReader {
public:
    explicit PathImageReader(const std::string& path) : m_file(openRegularFile(path)) {
        if (m_file && m_device.open(m_file.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            m_reader.setDevice(&m_device);
        m_reader.setDecideFormatFromContent(true);
    }
    QImageReader* operator->() { return &m_reader; }

private:
    FilePtr m_file;
    QFile m_device;
    QImageReader m_reader;
};

// PNG, TIFF, WebP, GIF: Qt's readers (TIFF and WebP from the image-formats
// plugins), turned into 8-bit sRGB laid over white where transparent.
int loadQtPhoto(Host& host, const std::string& path, PhotoFormat format, Surface& picture, PhotoLoadNotes& notes) {
    allowLargeQtImages();
    if (format == PhotoFormat::Gif && !GifFirstPictureSound(path)) return 0;
    PathImageReader reader(path);
    reader->setAutoTransform(true);  // TIFF orientation
    QImage image = reader->read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return 0;
    const ContainerNotes container = readContainerNotes(path, format);
    const int orientation = reader->transformation() == QImageIOHandler::TransformationNone ? container.orientation : 1;
    // A profile the file embeds; not a colour space Qt makes up from a PNG's
    // gamma and chromaticities, which viewers commonly ignore (and which
    // ImageMagick writes into every PNG).
    const QColorSpace space = image.colorSpace();
    const bool convert = needsSrgbConversion(space) && (format != PhotoFormat::Png || container.profile);
    image = image.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) {
        host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    if (convert) image.convertToColorSpace(QColorSpace::SRgb);
    Surface s;
    if (!s.createUninitialized(image.width(), image.height())) {
        host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    for (int y = 0; y < image.height(); ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        Pixel* d = s.row(y);
        for (int x = 0; x < image.width(); ++x) {
            const std::uint32_t p = src[x];
            const unsigned a = p >> 24;
            const auto over = [a](unsigned c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            d[x] = kOpaque | (over((p >> 16) & 0xFF) << 16) | (over((p >> 8) & 0xFF) << 8) | over(p & 0xFF);
        }
    }
    image = QImage();
    if (!ApplyExifOrientation(s, orientation)) {
        host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    notes.orientation = orientation;
    picture = std::move(s);
    return 1;
}

}  // namespace

PhotoFormat DetectPhotoFormat(const std::uint8_t* head, std::size_t size) {
    const auto starts = [&](const char* magic, std::size_t n, std::size_t at = 0) {
        return size >= at + n && std::memcmp(head + at, magic, n) == 0;
    };
    if (starts("\xFF\xD8\xFF", 3)) return PhotoFormat::Jpeg;
    if (starts("\x89PNG\r\n\x1A\n", 8)) return PhotoFormat::Png;
    if (starts("BM", 2)) return PhotoFormat::Bmp;
    if (starts("II*\0", 4) || starts("MM\0*", 4)) return PhotoFormat::Tiff;
    if (starts("RIFF", 4) && starts("WEBP", 4, 8)) return PhotoFormat::WebP;
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) return PhotoFormat::Gif;
    return PhotoFormat::Unknown;
}

int JpegExifOrientationAt(const std::string& path, long long offset) {
    constexpr std::size_t kMaxHeaderBytes = std::size_t{1} << 20;
    FilePtr f(openRegularFile(path));
    if (!f || offset < 0 || ::fseeko(f.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return 1;
    std::vector<std::uint8_t> head(kMaxHeaderBytes);
    head.resize(std::fread(head.data(), 1, head.size(), f.get()));
    if (head.size() < 4 || head[0] != 0xFF || head[1] != 0xD8) return 1;
    std::size_t at = 2;
    while (at + 4 <= head.size() && head[at] == 0xFF) {
        const std::uint8_t marker = head[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;  // scan or end: no more headers
        const std::size_t length = (std::size_t{head[at + 2]} << 8) | head[at + 3];
        if (length < 2 || at + 2 + length > head.size()) break;
        if (marker == 0xE1 && length >= 8 && std::memcmp(head.data() + at + 4, "Exif\0\0", 6) == 0)
            return ExifOrientationOf(head.data() + at + 4, length - 2);
        at += 2 + length;
    }
    return 1;
}

void ConvertJpegPictureToSrgbAt(const std::string& path, long long offset, Surface& picture) {
    FilePtr f(openRegularFile(path));
    if (!f || offset < 0 || ::fseeko(f.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return;
    auto job = std::make_unique<PhotoJpegJob>();
    job->file = f.get();
    if (readJpegHeader(*job)) convertToSrgb(picture, job->space);
}

bool JpegSizeAt(const std::string& path, long long offset, int& width, int& height) {
    FilePtr f(openRegularFile(path));
    if (!f || offset < 0 || ::fseeko(f.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    auto job = std::make_unique<PhotoJpegJob>();
    job->file = f.get();
    if (!readJpegHeader(*job)) return false;
    const bool turned = job->orientation >= 5;
    width = turned ? job->headerHeight : job->headerWidth;
    height = turned ? job->headerWidth : job->headerHeight;
    return true;
}

DecodedJpeg DecodeWholeJpeg(const std::uint8_t* data, std::size_t size,
                            const std::function<bool(int width, int height)>& sizeAllowed, WholeJpeg& out) {
    if (!codedDataFillsDeclaredSize(data, size)) return DecodedJpeg::Refused;
    auto job = std::make_unique<PhotoJpegJob>();
    job->memory = data;
    job->memorySize = size;
    job->err.endIsFatal = true;  // refused anyway: no need to go on through the rest
    job->fullSizeAllowed = &sizeAllowed;
    bool ok = false;
    try {
        ok = decodeJpegPhoto(*job);
    } catch (const std::bad_alloc&) {
        job->outOfMemory = true;
    }
    if (!ok) return job->outOfMemory ? DecodedJpeg::OutOfMemory : DecodedJpeg::Refused;
    // Every row, every pass: a picture whose data ran out is refused, not
    // filled in.
    if (job->err.ended || job->rowsDecoded < job->picture.height()) return DecodedJpeg::Refused;
    if (!ApplyExifOrientation(job->picture, job->orientation)) return DecodedJpeg::OutOfMemory;
    out.picture = std::move(job->picture);
    out.grey = job->grey;
    out.space = job->space;
    return DecodedJpeg::Ok;
}

int PhotoOrientation(const std::string& path) {
    const PhotoFormat format = DetectPhotoFormatOfFile(path);
    if (format == PhotoFormat::Jpeg) return JpegExifOrientationAt(path, 0);
    if (format != PhotoFormat::Png && format != PhotoFormat::Tiff && format != PhotoFormat::WebP) return 1;
    PathImageReader reader(path);
    // Qt's turns are the Exif orientations in another numbering.
    static const int kExifOf[8] = {1, 2, 4, 3, 6, 7, 5, 8};
    const int t = static_cast<int>(reader->transformation());
    if (t > 0 && t < 8) return kExifOf[t];
    return readContainerNotes(path, format).orientation;
}

PhotoFormat DetectPhotoFormatOfFile(const std::string& path) {
    FilePtr f(openRegularFile(path));
    if (!f) return PhotoFormat::Unknown;
    std::uint8_t head[12];
    const std::size_t n = std::fread(head, 1, sizeof head, f.get());
    return DetectPhotoFormat(head, n);
}

int ExifOrientationOf(const std::uint8_t* data, std::size_t size) {
    // "Exif\0\0", then a TIFF header: byte order, 42, offset of IFD0 (from
    // the TIFF header's start).
    if (!data || size < 6 + 8 || std::memcmp(data, "Exif\0\0", 6) != 0) return 1;
    const std::uint8_t* tiff = data + 6;
    const std::size_t n = size - 6;
    bool big;
    if (tiff[0] == 'I' && tiff[1] == 'I') big = false;
    else if (tiff[0] == 'M' && tiff[1] == 'M') big = true;
    else return 1;
    if (get16(tiff + 2, big) != 42) return 1;
    const std::uint64_t ifd = get32(tiff + 4, big);
    if (ifd + 2 > n) return 1;
    const std::uint32_t count = get16(tiff + ifd, big);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t e = ifd + 2 + std::uint64_t{12} * i;
        if (e + 12 > n) return 1;
        if (get16(tiff + e, big) != 0x0112) continue;
        // SHORT, one value, held in the first two bytes of the value field.
        if (get16(tiff + e + 2, big) != 3 || get32(tiff + e + 4, big) != 1) return 1;
        const std::uint32_t v = get16(tiff + e + 8, big);
        return v >= 1 && v <= 8 ? static_cast<int>(v) : 1;
    }
    return 1;
}

bool ApplyExifOrientation(Surface& picture, int orientation) {
    if (orientation < 2 || orientation > 8 || picture.empty()) return true;
    const int w = picture.width(), h = picture.height();
    const bool swaps = orientation >= 5;
    Surface out;
    if (!out.createUninitialized(swaps ? h : w, swaps ? w : h)) return false;
    const int ow = out.width(), oh = out.height();
    // Destination (x, y) takes the source pixel at index base + x dx + y dy:
    // 2 (w-1-x, y), 3 (w-1-x, h-1-y), 4 (x, h-1-y), 5 (y, x), 6 (y, h-1-x),
    // 7 (w-1-y, h-1-x), 8 (w-1-y, x).
    const std::ptrdiff_t W = w, last = std::ptrdiff_t{h - 1} * W;
    std::ptrdiff_t base = 0, dx = 1, dy = W;
    switch (orientation) {
        case 2: base = W - 1, dx = -1, dy = W; break;
        case 3: base = last + W - 1, dx = -1, dy = -W; break;
        case 4: base = last, dx = 1, dy = -W; break;
        case 5: base = 0, dx = W, dy = 1; break;
        case 6: base = last, dx = -W, dy = 1; break;
        case 7: base = last + W - 1, dx = -W, dy = -1; break;
        case 8: base = W - 1, dx = W, dy = -1; break;
        default: break;
    }
    // In tiles, so that the columns a quarter turn reads stay in the cache.
    constexpr int kTile = 64;
    const Pixel* src = picture.bits();
    for (int ty = 0; ty < oh; ty += kTile)
        for (int tx = 0; tx < ow; tx += kTile)
            for (int y = ty; y < std::min(oh, ty + kTile); ++y) {
                Pixel* d = out.row(y);
                const Pixel* s = src + base + y * dy + tx * dx;
                for (int x = tx; x < std::min(ow, tx + kTile); ++x, s += dx) d[x] = *s;
            }
    picture = std::move(out);
    return true;
}

std::string truncatedPhotoMessage(int missingRows, int totalRows) {
    if (missingRows <= 0 || totalRows <= 0) return kTruncatedProgressivePhotoMessage;
    const int percent = static_cast<int>((100LL * missingRows + totalRows - 1) / totalRows);
    std::string text = kTruncatedPhotoMessage;
    const std::string values[] = {std::to_string(missingRows), std::to_string(totalRows), std::to_string(percent)};
    for (int i = 0; i < 3; ++i) {
        std::string mark(1, '%');
        mark += std::to_string(i + 1);
        text.replace(text.find(mark), mark.size(), values[i]);
    }
    return text;
}

namespace {
// Opens a regular file (never a device, FIFO or folder) and tells its format
// from its first bytes; null when it cannot be opened.
FilePtr openPhotoFile(const std::string& path, PhotoFormat& format) {
    FilePtr f(openRegularFile(path));
    if (!f) return f;
    std::uint8_t head[12];
    const std::size_t n = std::fread(head, 1, sizeof head, f.get());
    format = DetectPhotoFormat(head, n);
    return f;
}
}  // namespace

int LoadPhoto(Host& host, const std::string& path, Surface& out, int& width, int& height, PhotoLoadNotes* notesOut) {
    return LoadPhotoReduced(host, path, 1, out, width, height, notesOut);
}

int LoadPhotoReduced(Host& host, const std::string& path, int reduction, Surface& out, int& width, int& height,
                     PhotoLoadNotes* notesOut) {
    unsigned firstScale = 1;
    while (firstScale < 8 && static_cast<int>(firstScale * 2) <= reduction) firstScale *= 2;
    PhotoLoadNotes notes;
    FilePtr f = openPhotoFile(path, notes.format);
    if (!f) return 0;
    Surface picture;
    int ok = 0;
    switch (notes.format) {
        case PhotoFormat::Jpeg:
            std::rewind(f.get());
            ok = loadJpegPhoto(host, f.get(), firstScale, picture, notes);
            break;
        case PhotoFormat::Bmp: {
            f.reset();
            int w = 0, h = 0;
            ok = LoadStillImageAs(host, path, StillFormat::Bmp, picture, w, h);
            break;
        }
        case PhotoFormat::Png:
        case PhotoFormat::Tiff:
        case PhotoFormat::WebP:
        case PhotoFormat::Gif:
            f.reset();
            ok = loadQtPhoto(host, path, notes.format, picture, notes);
            break;
        case PhotoFormat::Unknown:
            break;
    }
    if (!ok) return 0;
    width = picture.width();
    height = picture.height();
    out = std::move(picture);
    if (notesOut) *notesOut = notes;
    return 1;
}

namespace {

std::unique_ptr<PhotoRowJob> streamRows(const std::string& path, unsigned scale, bool uprightOnly,
                                        const std::function<void(int y, const Pixel* row, int width)>& row) {
    PhotoFormat format = PhotoFormat::Unknown;
    FilePtr f = openPhotoFile(path, format);
    if (!f || format != PhotoFormat::Jpeg) return nullptr;
    std::rewind(f.get());
    auto job = std::make_unique<PhotoRowJob>();
    job->base.file = f.get();
    job->rowSink = &row;
    job->scale = scale;
    job->uprightOnly = uprightOnly;
    bool ok = false;
    try {
        ok = streamJpegPhotoRows(*job);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) return nullptr;
    return job;
}

}  // namespace

bool ForEachUprightJpegPhotoRowReduced(const std::string& path, int scale, int& width, int& height,
                                       const std::function<void(int y, const Pixel* row, int width)>& row) {
    if (scale != 1 && scale != 2 && scale != 4 && scale != 8) return false;
    const auto job = streamRows(path, static_cast<unsigned>(scale), true, row);
    if (!job) return false;
    width = job->base.headerWidth;
    height = job->base.headerHeight;
    return true;
}

bool ForEachJpegPhotoRow(const std::string& path, int& width, int& height, int& orientation,
                         const std::function<void(int y, const Pixel* row, int width)>& row) {
    const auto job = streamRows(path, 1, false, row);
    if (!job) return false;
    width = job->base.headerWidth;
    height = job->base.headerHeight;
    orientation = job->base.orientation;
    return true;
}

int PhotoSize(Host& host, const std::string& path, int& width, int& height) {
    PhotoFormat format = PhotoFormat::Unknown;
    FilePtr f = openPhotoFile(path, format);
    if (!f) return 0;
    bool swaps = false;
    int w = 0, h = 0;
    if (format == PhotoFormat::Jpeg) {
        f.reset();
        return JpegSizeAt(path, 0, width, height) ? 1 : 0;
    }
    if (format == PhotoFormat::Bmp) {
        // The info header's width and height (negative for a picture stored
        // top row first); anything odd is left to the picture itself.
        std::uint8_t head[26];
        std::rewind(f.get());
        if (std::fread(head, 1, sizeof head, f.get()) == sizeof head && get32(head + 14, false) >= 40) {
            const auto width = static_cast<std::int32_t>(get32(head + 18, false));
            const auto height = static_cast<std::int32_t>(get32(head + 22, false));
            if (width > 0 && height != 0 && height != INT32_MIN) w = width, h = height < 0 ? -height : height;
        }
    } else if (format == PhotoFormat::Png || format == PhotoFormat::Tiff || format == PhotoFormat::WebP ||
               format == PhotoFormat::Gif) {
        f.reset();
        allowLargeQtImages();
        PathImageReader reader(path);
        const QSize size = reader->size();
        w = size.width();
        h = size.height();
        swaps = PhotoOrientation(path) >= 5;
    }
    if (w <= 0 || h <= 0) {
        // No header to go by: the picture itself.
        f.reset();
        Surface picture;
        return LoadPhoto(host, path, picture, width, height);
    }
    width = swaps ? h : w;
    height = swaps ? w : h;
    return 1;
}

void allowLargeQtImages() {
    static const bool raised = [] {
        QImageReader::setAllocationLimit(1024);  // megabytes
        return true;
    }();
    (void)raised;
}

}  // namespace plastora

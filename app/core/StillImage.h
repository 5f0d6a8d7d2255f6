// Still image files: the JPEG and 24-bit BMP pictures the program opens and
// writes for itself (photos, companion images of a project, pictures inside a
// multi-picture file, every saved JPEG or BMP).
//
// JPEG goes through libjpeg, configured for blue, green, red pixels so that
// the bottom-up DIB rows of a picture pass to and from the codec unchanged.
// BMP is our own code: uncompressed 24-bit, bottom-up rows padded to 4 bytes.
#pragma once

#include "platform/Host.h"
#include "platform/SafeFile.h"
#include "platform/Surface.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plastora {


// The message shown when a picture cannot be written.
extern const char* const kSaveFailedMessage;

// Writes `picture` to `path` (UTF-8). A path whose last 3 characters are
// "jpg" or last 4 are "jpeg", in any case, gets a JPEG of the given quality
// (1..100, baseline tables forced); any other name gets a 24-bit BMP.
// w and h are the picture's size; when they disagree with the surface the
// surface's own size is used, so nothing outside it is ever read.
// The file is written under a temporary name in the same folder and renamed
// over `path` only when complete: a failed save leaves an existing file as it
// was. Returns 1 on success; on failure shows kSaveFailedMessage and returns 0.
int SaveStillImage(Host& host, const Surface& picture, int w, int h, const std::string& path, int jpegQuality);
// The same, with a name ending in ".png" (any case) written as an 8-bit RGB
// PNG, and the print resolution stored in the file when `dotsPerInch` > 0:
// JFIF density in dots per inch (rounded), PNG pHYs and BMP resolution in
// pixels per metre. 0 writes exactly what the call above writes.
int SaveStillImage(Host& host, const Surface& picture, int w, int h, const std::string& path, int jpegQuality,
                   double dotsPerInch, LinkAtTarget links = LinkAtTarget::Follow);
// Whether a w x h picture fits the format `path` names (by its extension, as
// the writers choose): a JPEG holds at most kJpegMaxSide a side, a BMP's
// header at most 4 GB of rows. Told before a long piece of work, rather than
// after it as a failed save.
bool StillImageSizeWritable(const std::string& path, int w, int h);
// The same for a picture whose neighbouring columns or rows come from
// different views (PictureRows::fullChroma).
int SaveInterleavedImage(Host& host, const Surface& picture, const std::string& path, int jpegQuality,
                         double dotsPerInch = 0.0);

// The same writing with no message: true when the file was written. For
// pictures written on several threads at once, whose caller reports.
bool WriteStillImage(const Surface& picture, const std::string& path, int jpegQuality, double dotsPerInch = 0.0,
                     LinkAtTarget links = LinkAtTarget::Follow);
// A picture handed to a writer row by row, top row first or in any order
// the format needs (a BMP asks from the bottom up): row(y) returns the
// `width` pixels of row y, valid until the next call, or nullptr to give up
// (the writer then fails and leaves no file).
struct PictureRows {
    int width = 0, height = 0;
    std::function<const Pixel*(int y)> row;
    // row() may be called from several threads at once, each row staying
    // valid (a picture held whole): a large JPEG is then encoded in strips
    // on every core.
    bool rowsShareable = false;
    // Optional: rows with the same key have the same pixels (a picture
    // stretched by repeating rows), so a writer may copy a row it has just
    // encoded instead of encoding it again. row(y) is still asked for every row.
    std::function<long long(int y)> key = {};
    // Neighbouring columns or rows come from different views (a lenticular
    // composite, an interlace image): a JPEG keeps the colour of every pixel
    // (no chroma subsampling), which would otherwise mix each view's colour
    // into its neighbours' columns.
    bool fullChroma = false;
};
// A JPEG of at least this many pixels whose rows are shareable is encoded
// in strips of kJpegStripMcuRows MCU rows (512 pixel rows with the
// program's 4:2:0 chroma) on every core, with a restart marker between
// strips: the bytes are those of one encoder with that restart interval,
// whatever the number of cores. Smaller pictures have no restart markers.
// The largest side a JPEG holds (libjpeg's JPEG_MAX_DIMENSION).
constexpr int kJpegMaxSide = 65500;
// The whole dots per inch a JPEG's header records for a resolution (rounded
// half up), for 1 to 65535 dpi.
constexpr int jpegDotsPerInch(double dotsPerInch) { return static_cast<int>(dotsPerInch + 0.5); }
// The largest block of 24-bit rows (padded to 4 bytes) a picture file is read
// into (about 357 megapixels): a header claiming more is unreadable.
constexpr std::uint64_t kMaxPictureRowBytes = std::uint64_t{1} << 30;

constexpr long long kJpegStripMinPixels = 4LL * 1024 * 1024;
constexpr int kJpegStripMcuRows = 32;
PictureRows rowsOf(const Surface& picture);
// The offset just past the headers of a JPEG stream (the end of its first
// SOS segment), and where its frame header's height field is (baseline or
// extended frames); 0 when the bytes are not a JPEG or its marker segments
// are damaged or cut short.
std::size_t jpegScanStart(const std::uint8_t* p, std::size_t n, std::size_t* heightAt = nullptr);
// WriteStillImage for a picture made row by row as it is written, so that
// it never has to exist whole.
bool WriteStillImageRows(const PictureRows& picture, const std::string& path, int jpegQuality,
                         double dotsPerInch = 0.0);
// The same in steps, for a caller with several files to write: the picture
// is written and closed under its temporary name, and the caller sync()s
// each file (on any thread, so that the writer goes on while the disk
// catches up), then commit()s each once all are safe. Null when the picture
// could not be written; dropping it removes the file and leaves `path` as it
// was.
// `links`: what becomes of a symbolic link at `path` (a name the program
// made is replaced, not written through).
std::shared_ptr<ReplacingFile> WriteStillImageRowsPending(const PictureRows& picture, const std::string& path,
                                                          int jpegQuality, double dotsPerInch = 0.0,
                                                          LinkAtTarget links = LinkAtTarget::Follow);
// One file of a batch written at once: a picture, written as
// WriteStillImage writes it, or any other file when `write` is set.
struct StillImageWrite {
    const Surface* picture = nullptr;
    std::string path;
    int jpegQuality = 90;
    double dotsPerInch = 0.0;
    std::function<bool()> write;
};
// Writes every file of the batch at once on every core, the strips of each
// large JPEG shared out with the other files (the bytes are those each file
// gets written alone). No message; for each file, whether it was written.
std::vector<char> WriteStillImages(const std::vector<StillImageWrite>& batch);
// Reads the picture at `path` (UTF-8) into `out`. A path whose last character
// is g, G, o or O (.jpg, .jpeg, .mpo) is decoded as JPEG, starting at
// `jpegOffset` bytes into the file when given; anything else is read as an
// uncompressed 24-bit BMP (bottom-up or top-down rows).
// When a surface of the full size cannot be made, the picture is shrunk to
// 1/2, 1/3, ... 1/99 of its size (area averaging); width and height report
// the size made. Returns 1 on success. A file that cannot be opened or is not
// a readable picture returns 0 with no message (the caller reports it); when
// no size of surface can be made the out-of-memory message is shown and 0 is
// returned. On failure `out`, `width` and `height` are left unchanged.
int LoadStillImage(Host& host, const std::string& path, std::optional<long long> jpegOffset, Surface& out,
                   int& width, int& height);

// The same with the format given rather than taken from the name (a photo
// whose first bytes said what it is). ByName is LoadStillImage itself.
enum class StillFormat { ByName, Jpeg, Bmp };
int LoadStillImageAs(Host& host, const std::string& path, StillFormat format, Surface& out, int& width,
                     int& height);

}  // namespace plastora

// Pixelune: raster image files.
//
// Plain functions only; no class crosses this interface. What the caller
// hands in stays the caller's. Two kinds of things are handed out:
//  - pixel buffers (GifRead, GifReadFile), allocated with std::calloc; the
//    caller frees them with std::free;
//  - the caller's own objects (palette arrays, open files, points), filled in.
//
// Colours cross the interface as palette arrays of 32-bit values 0x00RRGGBB
// (red in bits 16-23, green 8-15, blue 0-7, top byte 0). Every palette array a
// function fills has room for kPixPaletteSize entries. A single colour that
// stands for a pixel on screen (a transparent colour) is a plastora::ColorRef,
// 0x00BBGGRR.
//
// Pixels are bottom-up rows (the last row in memory is the top of the
// picture) of one byte per pixel, an index into the palette.
//
// Results are ints: 1 success, 0 failure. Nothing here throws.
//
// The functions share no state between calls, but one open file must not be
// used by two calls at the same time.
#pragma once

#include "platform/Surface.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#define PIXELUNE_API __attribute__((visibility("default")))

// Entries of every palette array the library fills.
constexpr int kPixPaletteSize = 256;

// ---------------------------------------------------------------------------
// GIF files.
//
// Writing makes GIF89a files, still or animated: the first call writes the
// file header, the logical screen and the global colour table, and every call
// writes one image and ends the file with the trailer byte 0x3B. To append a
// further frame, move the file position back one byte over that trailer and
// call again with `next` non-zero.
//
// Reading decodes the first image of a file, or the next image of an
// animation, into a new pixel buffer of bottom-up rows, each row padded to a
// multiple of 4 bytes.

// The largest picture the reader decodes, in pixels (the image, and the
// logical screen when the image is placed on it). Larger ones are refused with
// 0 before anything is allocated: a 16-byte file may claim a 65535 x 65535
// screen. 8192 x 8192 fits.
constexpr std::int64_t kGifMaxPixels = std::int64_t{1} << 26;

// Writes one image.
//  next          0: the first image of the file. The file header, the logical
//                screen of width x height, the global colour table and, when
//                `delay` is non-zero, the looping extension (loop count
//                32760) come before it. Non-zero: a further image of the
//                same file.
//  file          open for writing, positioned where the image goes.
//  pixels        the frame: height rows of `stride` bytes, bottom-up; each
//                byte an index below 2^bits (higher bits are ignored).
//  palette       2^bits colours. Required for the first image; for a further
//                image, when given, written as a local colour table.
//  bits          bits per pixel, 1 to 8.
//  width, height the frame size, 1 to 65535 each.
//  stride        bytes per row of `pixels`, at least `width`.
//  previous      null, or the last frame (height x stride bytes). For a
//                further image with a non-zero delay only the rectangle that
//                changed is written (widened to a multiple of 4 pixels inside
//                the frame; 4 x 1 at the top-left corner when nothing
//                changed, never interlaced); `previous` is then updated to
//                `pixels`.
//  delay         in hundredths of a second, 0 to 65535.
//  transparentAt (-1, -1) for none; otherwise the index found at x, y (y
//                counted from the top) becomes the transparent index. A point
//                outside the frame means none.
//  interlace     non-zero writes a full image in interlaced row order.
// Returns 1, or 0 when an argument is out of range (nothing is written) or
// the file could not be written.
PIXELUNE_API int GifWrite(int next, std::FILE* file, const unsigned char* pixels, const std::uint32_t* palette,
                          short bits, int width, int height, int stride, unsigned char* previous, int delay,
                          plastora::Point transparentAt, int interlace);

// Reads one image.
//  next              0: read from the start of the file. Non-zero: read the
//                    next image; the file must be positioned just after the
//                    previous image's data (where the last call left it).
//  file              open for reading.
//  pixels            receives the image buffer (std::calloc, at least 512
//                    bytes; free it with std::free).
//  bits              null, or receives the colour table's bits per pixel.
//  palette           null, or the caller's array of kPixPaletteSize entries;
//                    the 2^bits colours of the image's colour table are
//                    stored at its start.
//  width, height     receive the size of the buffer's picture: the logical
//                    screen for a first image read with `position`, else the
//                    image's own size.
//  delay             null, or receives the delay of a graphic control
//                    extension met before the image (left alone without one).
//  transparentColour null, or receives the colour of the transparent entry
//                    when the first image has one (left alone otherwise).
//  position          null, or receives the image's left and top offsets. For
//                    a first image it also makes the buffer cover the whole
//                    logical screen with the image placed at its offsets
//                    (clipped to the screen), the rest zero; the offsets are
//                    then reported only when they lie inside the screen.
//  transparentIndex  null, or for further images receives the transparent
//                    index when the image's graphic control extension sets
//                    transparency with disposal method 2 or 3 and no user
//                    input, else -1. Left alone for a first image.
// Returns 1 on success. Returns 0, writing nothing, when the file is short or
// not a GIF, when no image descriptor comes where an image is expected (for
// example at the trailer after the last frame), when the picture is empty or
// larger than kGifMaxPixels, or when memory runs out. Damage inside the
// compressed data (undefined codes, data ending early) leaves the rest of the
// image zero and still returns 1.
PIXELUNE_API int GifRead(int next, std::FILE* file, unsigned char** pixels, short* bits, std::uint32_t* palette,
                         int* width, int* height, int* delay, plastora::ColorRef* transparentColour,
                         plastora::Point* position, int* transparentIndex);

// Reads the first image of a file on its logical screen (GifRead with
// next = 0 and a position). Returns 0 when the file cannot be opened or read.
PIXELUNE_API int GifReadFile(const char* fileName, unsigned char** pixels, short* bits, std::uint32_t* palette,
                             int* width, int* height);

// Writes a still GIF file (GifWrite with next = 0, no previous frame, no
// delay, no transparency, not interlaced). The file is written under a
// temporary name beside it and renamed into place, so a failed write leaves
// an existing file as it was. Returns 0 when the file cannot be created or
// written, or when an argument is out of range.
PIXELUNE_API int GifWriteFile(const char* fileName, const unsigned char* pixels, const std::uint32_t* palette,
                              short bits, int width, int height, int stride);

// 1 when the file is an animated GIF: a GIF89 file whose first graphic
// control extension, before the first image, has a non-zero delay. Else 0.
PIXELUNE_API int CheckAnimation(const char* fileName);

// ---------------------------------------------------------------------------
// Raster files: BMP, JPEG, PNG and GIF pictures read into a Surface and
// written from one; metafiles rendered into a Surface.
//
// The format comes from the last three characters of the file name, compared
// without regard to case: "jpg" or "peg" JPEG, "png" PNG, "gif" GIF, "saf" a
// GIF that starts 256 bytes into the file, anything else BMP.
//
// Unlike the GIF functions above, these share library-wide state (the JPEG
// quality): call them from one thread only.

namespace plastora {
class Host;
}

// The display a picture is loaded for.
struct PixDisplay {
    // Bits per pixel of the display. With 8 or fewer, pictures of more bits
    // are reduced to 256 colours when read.
    int bitsPerPixel = 32;
    // Receives the messages the functions show (may be null: none shown).
    plastora::Host* host = nullptr;
};

// The message shown before a picture too large to hold is loaded smaller.
inline constexpr const char* kPixTooLargeMessage = "画像が大きすぎて読めないので縮小して読み込みます";
// The longer side of a picture loaded smaller.
constexpr int kPixReducedSide = 1024;
// The result of WriteRasterFile when a BMP or GIF file cannot be created.
constexpr int kPixCannotCreate = -52;

// Reads a picture from a file, or from a packed DIB in memory.
//  display     the display (its depth; the host for messages).
//  surface     receives the picture (whatever it held is dropped). Pictures
//              of 8 bits or fewer are drawn in the colours of paletteOut.
//  palette     null, or an array of kPixPaletteSize entries that receives a
//              copy of paletteOut when makePalette is non-zero.
//  fileName    the file to read when dib is null.
//  dib, dibSize null, or a packed DIB of dibSize bytes: a 40-byte info
//              header, then the colour table (8 bits or fewer) or three
//              colour masks (16 and 32 bits), then bottom-up pixel rows.
//  pixelsOut   null, or receives a copy of the pixels (std::calloc; free
//              with std::free): bottom-up rows padded to 4 bytes of 8-bit
//              palette indices (pictures of 8 bits or fewer) or 24-bit blue,
//              green, red triples.
//  width, height not null; written only when *width is 0 on entry.
//  bitCount    null, or receives the bits per pixel of the loaded picture.
//  makePalette non-zero fills `palette`.
//  paletteOut  an array of kPixPaletteSize entries: first the default
//              palette, then the file's colour table, or the reduced palette
//              on palette displays. Required for pictures of 8 bits or fewer.
// A picture that cannot be held at its size and is wider or taller than
// kPixReducedSide is loaded with its longer side at kPixReducedSide, after
// kPixTooLargeMessage; the reduced size is the size reported.
// Returns 1, or 0 when the file cannot be opened or decoded, the data is
// damaged or truncated, or memory runs out.
PIXELUNE_API int ReadRasterFile(const PixDisplay* display, plastora::Surface* surface, std::uint32_t* palette,
                                const char* fileName, const unsigned char* dib, std::size_t dibSize,
                                unsigned char** pixelsOut, int* width, int* height, int* bitCount,
                                int makePalette, std::uint32_t* paletteOut);

// Copies the palette every read starts from (kPixPaletteSize entries) into
// `palette`: the colours a full-colour picture is written to a GIF in when it
// was not read by ReadRasterFile (a rendered metafile).
PIXELUNE_API void PixDefaultPalette(std::uint32_t* palette);

// Writes a picture.
//  fileName    the target. Empty: a packed DIB (info header, colour table,
//              pixels) is stored in dibOut instead (BMP layout).
//  dibOut      receives that packed DIB (may be null for a named file).
//  bitCount    the depth of the picture: 9 or more writes 24 bits (8 for
//              GIF); 8 or fewer writes 8 bits, but a 1-bit picture stays at 1
//              bit except in JPEG files. JPEG and PNG are always 24 bits.
//  picture     the picture; width x height of it are written.
//  palette     the palette of the picture (8 bits or fewer): the colours of
//              the written colour table. Pixels are stored as the index of
//              the nearest entry.
//  transparentAt, interlace as for GifWrite.
//  reduceColours for GIF: a picture of at most 16 distinct indices is
//              renumbered and written at 1, 2 or 4 bits.
// Files are written under a temporary name and renamed into place, so a
// failed write leaves an existing file as it was.
// Returns 1; 0 when a JPEG or PNG file cannot be written or an argument is
// out of range; kPixCannotCreate when a BMP or GIF file cannot be created.
PIXELUNE_API int WriteRasterFile(const char* fileName, std::vector<std::uint8_t>* dibOut, short bitCount,
                                 const plastora::Surface* picture, int width, int height,
                                 const std::uint32_t* palette, plastora::Point transparentAt, int interlace,
                                 int reduceColours);

// The library holds its own copy of the platform code: tests make surface
// creation inside the library fail with this hook (see
// plastora::Surface::setAllocationHook), and the decoders' picture buffers
// too. Pass nullptr to remove it.
PIXELUNE_API void PixSetAllocationHook(plastora::Surface::AllocationHook hook);

// Drops the picture a surface holds.
PIXELUNE_API void RasterRelease(plastora::Surface* surface);

// The quality of every later JPEG write (80 until set). Stored as given.
PIXELUNE_API void SetJpegQuality(int quality);

// Renders a Windows metafile into surface, at the metafile's own zoom.
//  display     the display (its resolution is 96 dpi).
//  width, height null, or receive the rendered size.
//  background  null, or the ColorRef painted behind the picture.
// Returns 1 when the metafile gave at least one drawable object, else 0 (the
// surface is then left empty).
PIXELUNE_API int WmfReadFile(const PixDisplay* display, plastora::Surface* surface, const char* fileName,
                             int* width, int* height, const std::uint32_t* background);

// ---------------------------------------------------------------------------
// Scanner, printing and the picture-previewing file dialog.
//
// The scanner functions speak to SANE, the scanner interface of Linux, which
// is loaded at run time (libsane.so.1), so a system without it still loads
// this library. The steps of an acquisition:
//  TWAINSelectSource  lets the user choose a device (kept in the packet);
//  TWAINGetSource     opens the chosen device, or SANE's default device when
//                     none was chosen, asks for one colour image of 8 bits a
//                     sample and enables it;
//  TWAINPostTwain     called again and again (from the caller's event loop or
//                     a timer) while the device is enabled: starts the scan,
//                     transfers the image and closes everything again.
// SANE_CONFIG_DIR chooses the SANE configuration as usual (the tests point it
// at a folder whose dll.conf lists only the "test" backend).

struct PixSaneManager;

// The application identity a session announces.
struct TWAINIdentity {
    int majorNum = 0;
    int minorNum = 0;
    int language = 0;
    int country = 0;
    char info[34] = {};
    int protocolMajor = 0;
    int protocolMinor = 0;
    unsigned supportedGroups = 0;
    char manufacturer[34] = {};
    char productFamily[34] = {};
    char productName[34] = {};
};

// The caller's connection record: zero-initialise it (TWAINPacket packet{};)
// and keep it for the whole acquisition.
struct TWAINPacket {
    PixSaneManager* manager = nullptr;  // the loaded SANE library and its entry points
    TWAINIdentity appId;                // filled when the library is loaded
    char source[256] = {};              // the chosen device's SANE name; empty: SANE's default
    void* sourceHandle = nullptr;       // the open device
    void* userInterface = nullptr;      // the parent window the device is enabled under
    int pending = 0;                    // images still to transfer
    int state = 0;                      // 0 closed, 1 enabled, 2 scanning
};

// Results of TWAINPostTwain.
constexpr int kTwainNotSourceEvent = -1;  // nothing enabled: the caller handles its message
constexpr int kTwainNothingYet = 0;       // the device has no data yet: call again
constexpr int kTwainClosed = 1;           // the scan was refused or cancelled; all closed
constexpr int kTwainTransferred = 2;      // the transfer phase ended; all closed

// The path of the SANE library (a library-wide buffer) when it can be
// loaded, else null.
PIXELUNE_API char* TWAINGetDllName();

// Loads SANE, lists the devices and lets the user choose one in a modal list
// under `parent` (a QWidget*, may be null); the choice goes to
// packet->source. Unloads SANE again. Returns 1 when a device was chosen; 0
// when SANE cannot be loaded, there is no device, no widget application runs
// to ask in, or the user cancels (packet->source is then unchanged).
PIXELUNE_API int TWAINSelectSource(TWAINPacket* packet, void* parent);

// Loads SANE, opens packet->source (SANE's default device when empty), asks
// for one image (pending = 1) in colour (scan mode "Color") at 8 bits a
// sample where the device offers them, and enables it (state 1). Returns 1;
// 0 when SANE cannot be loaded or the device cannot be opened (everything is
// closed again), or when the packet is already in use.
PIXELUNE_API int TWAINGetSource(TWAINPacket* packet, void* parent);

// Drives an enabled device. `message` is the caller's current event; SANE
// devices raise no window events, so it is not examined. Returns:
//  kTwainNotSourceEvent when the packet has no enabled device;
//  kTwainNothingYet while a device that offers a select descriptor has no
//    data ready (only devices in non-blocking mode do);
//  kTwainTransferred after the transfer: *image receives the picture as a
//    packed DIB (40-byte info header and bottom-up 24-bit blue, green, red
//    rows padded to 4 bytes, biSizeImage filled; std::malloc, free with
//    std::free), or null when the transfer failed (no data, wrong frame
//    layout, data ending early, a picture over 2^28 bytes);
//  kTwainClosed when the device refused to start (cancelled, no document,
//    jammed...); *image is left alone.
// After kTwainClosed or kTwainTransferred the device is closed and SANE
// unloaded; the packet can be used again.
PIXELUNE_API int TWAINPostTwain(TWAINPacket* packet, const void* message, void** image, void* parent);

// Total size of a packed DIB made by TWAINPostTwain (header and pixels), for
// ReadRasterFile's dibSize; 0 for null.
PIXELUNE_API std::size_t TWAINDibSize(const void* dib);

class QPainter;

// Draws the sourceWidth x sourceHeight block at the top-left of `source`
// (parts beyond the surface black) onto `target`, stretched to the
// targetWidth x targetHeight rectangle at (x, y), pixel for pixel without
// smoothing. The painter may belong to a printer, a PDF writer or an image.
// Nothing is drawn when a pointer is null or a size is not positive.
PIXELUNE_API void RatserPrintFile(QPainter* target, const plastora::Surface* source, int sourceWidth,
                                  int sourceHeight, int targetWidth, int targetHeight, int x, int y);

// The file-open dialog with a picture preview: a 128 x 96 box "ﾌﾟﾚﾋﾞｭ画面"
// and the tick "ﾌﾟﾚﾋﾞｭ" (on at start). While the tick is on, choosing a file
// previews it: metafiles (".wmf") through Linewisp, other files through
// ReadRasterFile, fitted into the box keeping their proportions.
//  defaultExtension  appended to a typed name without one (may be null);
//  filter            "name|patterns|name|patterns||", patterns separated by
//                    ';' (may be null: all files);
//  initialFolder     may be null.
// Returns a library-wide buffer, overwritten by the next call: the chosen
// path on OK, the empty string on Cancel or when no widget application runs.
PIXELUNE_API const char* CustomFileDialog(const char* defaultExtension, const char* filter,
                                          const char* initialFolder);

// Linewisp: Windows metafiles as lists of simple drawable objects.
//
// A metafile is read into a list of VectObject records (polygons, polylines,
// rectangles, ellipses, arcs, pies, chords, text) that can be painted at any
// zoom onto a plastora::Surface, recoloured one by one, hit-tested through an
// index painting, and written back out as a metafile or a one-frame SWF movie.
//
// Every function works on a VectPacket, a plain 108-byte record the caller
// allocates and clears to zero. Where the record refers to other objects (the
// object list, the index-painting surface, raster source buffers) it holds a
// 32-bit handle: a number from a table this library keeps, 0 meaning "none".
// Use the accessor functions below to go between handles and objects.
//
// Ownership: the caller owns the packet and the VectObjectList; the list owns
// its objects. The source surface of a packet (VectCreateSourceSurface) is
// owned by the packet and freed by VectRelease.
//
// Nothing here throws. Results are ints: object counts, 1/0, or the negative
// codes below.
#pragma once

#include "platform/Surface.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#define LINEWISP_API __attribute__((visibility("default")))

// ---------------------------------------------------------------------------
// Result codes.

// The object limit or the point limit of the packet was exceeded.
constexpr int kVectErrLimit = -31;
// The metafile is truncated or malformed: a record runs past the end of the
// data, is shorter than its own header, is shorter than the parameters its
// kind needs, or the file is too short for its header.
constexpr int kVectErrMalformed = -32;
// A file could not be opened, read, created or written.
constexpr int kVectErrFile = -33;

// ---------------------------------------------------------------------------
// Packet flags.

constexpr std::uint32_t kVectFlagBackground = 0x100000;  // paint the background colour first
constexpr std::uint32_t kVectFlagSkipChildren = 0x80000;  // mode 3 and SWF: leave out objects with a parent
constexpr std::uint32_t kVectFlagAbsolute = 0x40000;      // mode 3 and WMF writing: do not move to the extent's left/top

// Object kinds: the metafile record numbers they come from.
constexpr std::int16_t kVectPolygon = 804;
constexpr std::int16_t kVectPolyline = 805;
constexpr std::int16_t kVectEllipse = 1048;
constexpr std::int16_t kVectRectangle = 1051;
constexpr std::int16_t kVectPolyPolygon = 1336;
constexpr std::int16_t kVectArc = 2071;
constexpr std::int16_t kVectPie = 2074;
constexpr std::int16_t kVectChord = 2096;
constexpr std::int16_t kVectText = 1313;

// "No outline" as a pen colour; as a fill colour it hides the object.
constexpr std::int32_t kVectNoColor = -1;
// The brush code of a shape drawn with a hollow brush: outline only.
constexpr std::int16_t kVectHollowBrush = -1;

// Font word of text objects.
constexpr std::uint16_t kVectFontWeightMask = 0x0FFF;
constexpr std::uint16_t kVectFontStrikeOut = 0x1000;
constexpr std::uint16_t kVectFontUnderline = 0x2000;
constexpr std::uint16_t kVectFontItalic = 0x4000;
constexpr std::uint16_t kVectFontVertical = 0x8000;

// Text data: the face name occupies the first 32 bytes.
constexpr std::size_t kVectFaceNameBytes = 32;

// ---------------------------------------------------------------------------
// The drawing target: a surface and its resolution (LOGPIXELSX/Y). The
// surface is a true-colour device; bit depths of 8 and 16 in the packet draw
// the colours as stored, since such a surface has no palette and every colour
// is its own nearest colour.
struct VectDC {
    plastora::Surface* surface = nullptr;
    int dpiX = 96;
    int dpiY = 96;
};

// ---------------------------------------------------------------------------
// One drawable object.
class LINEWISP_API VectObject {
public:
    VectObject() = default;
    VectObject(const VectObject&) = default;
    VectObject& operator=(const VectObject&) = default;
    virtual ~VectObject();

    std::int16_t kind = 0;        // one of kVectPolygon ... kVectText
    std::int16_t parent = 0;      // 1-based index of the object it lies on; 0 none
    std::int32_t penColor = 0;    // COLORREF of the outline; -1 none
    std::int32_t fillColor = 0;   // COLORREF of the fill or the text; -1 hides the object
    std::int16_t brushCode = 0;   // shapes: hatch code, kVectHollowBrush for none; text: font height
    std::int32_t secondColor = 0; // shapes: the brush's second colour; text: 0
    std::uint16_t extra = 0;      // shapes: the brush's extra byte; text: the font word
    std::int16_t left = 0, top = 0, right = 0, bottom = 0;  // the object's box
    std::uint16_t unitCount = 0;  // 4-byte units in data
    // unitCount 4-byte units:
    //  polygon, polyline: the points;
    //  poly-polygon: the polygon count n, n point counts, then the points;
    //  rectangle, ellipse: (left, top), (right, bottom), two spare units;
    //  arc, pie, chord: (left, top), (right, bottom), start, end;
    //  text: the 32-byte face name, then the NUL-terminated string.
    // A point unit holds x in its low 16 bits and y in its high 16 bits.
    std::vector<std::uint32_t> data;

    // Replaces the data (unitCount follows; more than 65535 units is refused).
    bool setUnits(std::vector<std::uint32_t> units);
    static std::uint32_t packPoint(int x, int y);
    static plastora::Point unpackPoint(std::uint32_t unit);
    // The text object's face name and string (empty for other kinds).
    std::string faceName() const;
    std::string text() const;
};

// The object list (the caller creates it; it owns its objects). While it
// exists it has a handle that a packet can refer to.
class LINEWISP_API VectObjectList {
public:
    VectObjectList();
    ~VectObjectList();
    VectObjectList(const VectObjectList&) = delete;
    VectObjectList& operator=(const VectObjectList&) = delete;

    std::uint32_t handle() const { return m_handle; }
    std::size_t size() const { return m_objects.size(); }
    bool empty() const { return m_objects.empty(); }
    // 0-based access; the system's indices are 1-based (object i is at(i - 1)).
    VectObject* at(std::size_t i) { return m_objects[i].get(); }
    const VectObject* at(std::size_t i) const { return m_objects[i].get(); }
    void append(std::unique_ptr<VectObject> object) { m_objects.push_back(std::move(object)); }
    void clear() { m_objects.clear(); }

private:
    std::uint32_t m_handle = 0;
    std::vector<std::unique_ptr<VectObject>> m_objects;
};

// ---------------------------------------------------------------------------
// The packet: 108 bytes, every field at its fixed offset. Reserved bytes stay
// zero.
struct VectPacket {
    std::uint32_t objectList;     //  0 handle of a VectObjectList
    std::uint32_t flags;          //  4 kVectFlag...
    std::int32_t objectLimit;     //  8 most objects a read may make (4095 pictures, 8 body template)
    std::int32_t pointLimit;      // 12 most 4-byte units of one object (0x8000 pictures, 1024 body template)
    std::uint16_t reserved16;     // 16
    std::int16_t bitDepth;        // 18 colour depth of the painting target (callers pass 24)
    std::int32_t bkColor;         // 20 COLORREF of the background
    std::uint32_t reserved24;     // 24
    std::uint32_t sourceBuffer[2];// 28, 32 handles of raster-source buffers; freed by VectRelease
    std::int32_t rasterInfo0;     // 36 raster source description (raster-to-vector only)
    std::int32_t rasterInfo1;     // 40
    std::int16_t zoom;            // 44 percentage from metafile units to pixels, set by the reader
    std::int16_t rasterInfo2;     // 46
    std::int32_t rasterInfo3;     // 48
    std::int32_t rasterInfo4;     // 52
    std::uint32_t sourceDC;       // 56 handle of the source surface (index painting)
    std::uint32_t sourceBitmap;   // 60 handle of a source bitmap; freed by VectRelease
    std::int32_t sourceState;     // 64 cleared by VectRelease
    std::int32_t objectCount;     // 68 objects made by the last read
    std::int32_t pointTotal;      // 72 4-byte units stored by the last read
    std::int16_t right;           // 76 largest x of all objects
    std::int16_t bottom;          // 78 largest y
    std::int16_t left;            // 80 smallest x
    std::int16_t top;             // 82 smallest y
    std::int32_t conversionResult;// 84 raster-to-vector result
    std::int16_t headerLeft;      // 88 left written into the placeable header by VectWmfWrite
    std::int16_t headerTop;       // 90 top written into the placeable header
    std::uint8_t reserved92[16];  // 92
};

static_assert(sizeof(VectPacket) == 108);
static_assert(offsetof(VectPacket, flags) == 4);
static_assert(offsetof(VectPacket, objectLimit) == 8);
static_assert(offsetof(VectPacket, pointLimit) == 12);
static_assert(offsetof(VectPacket, bitDepth) == 18);
static_assert(offsetof(VectPacket, bkColor) == 20);
static_assert(offsetof(VectPacket, sourceBuffer) == 28);
static_assert(offsetof(VectPacket, zoom) == 44);
static_assert(offsetof(VectPacket, sourceDC) == 56);
static_assert(offsetof(VectPacket, sourceBitmap) == 60);
static_assert(offsetof(VectPacket, sourceState) == 64);
static_assert(offsetof(VectPacket, objectCount) == 68);
static_assert(offsetof(VectPacket, pointTotal) == 72);
static_assert(offsetof(VectPacket, right) == 76);
static_assert(offsetof(VectPacket, bottom) == 78);
static_assert(offsetof(VectPacket, left) == 80);
static_assert(offsetof(VectPacket, top) == 82);
static_assert(offsetof(VectPacket, conversionResult) == 84);
static_assert(offsetof(VectPacket, headerLeft) == 88);
static_assert(offsetof(VectPacket, headerTop) == 90);

// ---------------------------------------------------------------------------
// Handles.

// Makes the packet refer to `list` (nullptr clears the reference).
LINEWISP_API void VectPacketSetList(VectPacket* packet, VectObjectList* list);
// The list the packet refers to, or nullptr when there is none or it no
// longer exists.
LINEWISP_API VectObjectList* VectPacketList(const VectPacket* packet);
// Makes a w x h source surface owned by the packet (replacing and freeing an
// earlier one) for index painting; VectRelease frees it. nullptr when the
// surface cannot be made.
LINEWISP_API plastora::Surface* VectCreateSourceSurface(VectPacket* packet, int w, int h);
// The packet's source surface, or nullptr.
LINEWISP_API plastora::Surface* VectSourceSurface(const VectPacket* packet);

// ---------------------------------------------------------------------------
// Reading.

// Reads a whole metafile (placeable or plain) and appends its objects to the
// packet's list. `dc` may be null; when given, a placeable file's zoom is
// dc->dpiX x 100 / the header's units per inch (100 without a dc or when the
// header gives no units per inch).
// Coordinates (shapes and text alike) are moved by the origin (the placeable
// bounding box's left/top, then any SetWindowOrg/SetViewportOrg) and clamped
// to 0..32767. The file's first rectangle is its background when it equals
// the placeable bounding box (plain files: when its left and top are both
// negative): it sets the packet's background colour and makes no object.
// Shapes drawn with a hollow brush get brushCode kVectHollowBrush.
// Returns the number of objects made (0 also when the packet has no list),
// kVectErrLimit when the object limit or the point limit is exceeded
// (reading stops; the objects made so far stay in the list; extent and zoom
// are not stored; for the object limit the packet's object count is set to
// the limit), or kVectErrMalformed when the data is truncated or malformed
// (reading stops likewise). No byte outside data[0, size) is ever read.
LINEWISP_API int VectWmfRead(const VectDC* dc, const std::uint8_t* data, std::size_t size, VectPacket* packet);
// The same from a file; kVectErrFile when it cannot be read.
LINEWISP_API int VectWmfRead(const VectDC* dc, const char* fileName, VectPacket* packet);

// Frees the packet's source buffers (if the packet is given), deletes every
// object of `list` (if given), then frees the packet's source surface and
// bitmap and clears them and the source state. The list itself stays.
LINEWISP_API void VectRelease(VectObjectList* list, VectPacket* packet);

// Appends to `to` a deep copy of every object of `from`.
LINEWISP_API void VectCoplyList(const VectObjectList* from, VectObjectList* to);

// Acts on the object at 1-based `index` (an index outside the list does
// nothing): mode 2 hides it; mode 3 splices its outline into its parents'
// outlines as a hole and hides it; other modes set its fill colour to
// `colour` and its pen colour to `penColour` unless either is -1.
LINEWISP_API void VectSetColor(short mode, short index, std::uint32_t colour, std::uint32_t penColour,
                               VectObjectList* list);

// The 1-based index of the object painted at `point` of the packet's source
// surface by index painting (mode 2); 0 outside the surface or without one.
LINEWISP_API short VectGetIndex(plastora::Point point, const VectPacket* packet);

// Appends a text object with that box, font height, font word and colour to
// the packet's list; `data` holds `length` bytes: the 32-byte face name and
// the string. The packet's extent grows to include the box.
LINEWISP_API void VectAddText(VectPacket* packet, const plastora::Rect* box, short height, unsigned short fontWord,
                              std::uint32_t colour, short length, const char* data);

// ---------------------------------------------------------------------------
// Painting.

// Paints the packet's objects onto dc->surface. Modes:
//  1 packet zoom, own colours, background box from (0, 0);
//  2 index colours (object i as red (i & 0xF) << 4, green i & 0xF0, blue
//    ((i >> 8) & 0xF) << 4) over a black area, finding each object's parent;
//  3 zoom 100, own colours, coordinates relative to the extent's left/top
//    unless kVectFlagAbsolute; objects with a parent left out with
//    kVectFlagSkipChildren;
//  4 like 1 with the background box sized from the extent's width/height;
//  5 like 1.
// A packet that was never read (zoom 0) is painted at 100%. With
// kVectFlagBackground every mode but 2 first fills the background box with
// the packet's background colour (mode 3: 8 units around the objects, in the
// objects' own coordinates). Hidden objects (fill colour < 0) are skipped;
// a null pen draws no outline; a hollow brush no fill.
// Text needs a Qt GUI application object: when the process has no Qt
// application at all, the first text drawn makes an offscreen one (shut
// down at exit); with a non-GUI Qt application text cannot be drawn and the
// result is 0.
// Returns non-zero when everything was drawn, 0 when it could not draw (no
// surface, no packet or list, unknown mode, text impossible).
LINEWISP_API int VectVectPaint(const VectDC* dc, VectPacket* packet, unsigned short mode);

// Writes into `colours` (room for 256) the background colour and then the
// fill colour of every visible object, each once, as 0x00RRGGBB; returns how
// many were written (at most 256).
LINEWISP_API int VectGetPalette(const VectPacket* packet, std::uint32_t* colours);

// ---------------------------------------------------------------------------
// Writing.

// Records the picture as a metafile (painting mode 3). With an empty or null
// `fileName` returns the memory metafile's bytes. With a name also writes the
// placeable file (22-byte header, units per inch = dc->dpiX x 100 / zoom, 96
// dpi without a dc) and returns the same bytes. An empty result means
// failure (no packet or list, or the file could not be written; an existing
// file is then left as it was).
LINEWISP_API std::vector<std::uint8_t> VectWmfWrite(const VectDC* dc, const char* fileName, VectPacket* packet);

// The message for an object kind SWF writing leaves out.
inline constexpr const char* kVectSwfUnsupportedMessage =
    "サポートされていないポリゴン形式が含まれています。一部のポリゴンが出力されません。";

// Writes the picture as a one-frame SWF version 4 movie. Returns 1 when at
// least one object was written, 0 when none was (the file is still written),
// kVectErrFile when the file cannot be written, kVectErrLimit when the
// picture has more shapes than a movie's 16-bit ids can tell apart (in both
// cases an existing file is left as it was). Each object of a kind SWF
// writing does not support is left out and adds kVectSwfUnsupportedMessage
// to `messages` (if given) for the caller to show.
LINEWISP_API int VectSwfWrite(const char* fileName, VectPacket* packet, std::vector<std::string>* messages = nullptr);

// Surface: a bitmap together with the drawing operations the picture logic
// is written against.
//
// Pixels are 32-bit words 0xFFRRGGBB (the layout of QImage::Format_RGB32);
// the top byte is always 0xFF, whatever operation produced the pixel. Masks
// are Surfaces that hold only black (0xFF000000) and white (0xFFFFFFFF).
//
// Every operation clips to the surfaces it touches; nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <string>
#include <vector>

class QImage;

namespace plastora {

using Pixel = std::uint32_t;     // 0xFFRRGGBB
using ColorRef = std::uint32_t;  // 0x00BBGGRR, as files and records store colours

constexpr Pixel kOpaque = 0xFF000000u;
constexpr Pixel kBlack = 0xFF000000u;
constexpr Pixel kWhite = 0xFFFFFFFFu;

constexpr ColorRef RGB(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned GetRValue(ColorRef c) { return c & 0xFFu; }
constexpr unsigned GetGValue(ColorRef c) { return (c >> 8) & 0xFFu; }
constexpr unsigned GetBValue(ColorRef c) { return (c >> 16) & 0xFFu; }

constexpr Pixel pixelFromColorRef(ColorRef c) {
    return kOpaque | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}
constexpr ColorRef colorRefFromPixel(Pixel p) {
    return RGB((p >> 16) & 0xFFu, (p >> 8) & 0xFFu, p & 0xFFu);
}

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// A rectangle by its edges; right and bottom are exclusive, as in GDI.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

class Surface {
public:
    Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    Surface(Surface&& other) noexcept;
    Surface& operator=(Surface&& other) noexcept;
    ~Surface() = default;

    // Makes a w x h surface (any previous content is dropped). Returns false
    // when the memory cannot be had or the size is not positive; the surface
    // is then empty. New content is black.
    bool create(int w, int h);
    // The same without the black: the content is undefined (every pixel is
    // written by the caller before it is read). A surface that already has
    // this size keeps its buffer.
    bool createUninitialized(int w, int h);
    // Makes this surface an exact copy of another (false on allocation failure).
    bool createCopy(const Surface& src);
    void reset();

    bool empty() const { return m_width == 0; }
    explicit operator bool() const { return !empty(); }
    int width() const { return m_width; }
    int height() const { return m_height; }

    Pixel* row(int y) { return m_pixels.data() + static_cast<std::size_t>(y) * m_width; }
    const Pixel* row(int y) const { return m_pixels.data() + static_cast<std::size_t>(y) * m_width; }
    Pixel* bits() { return m_pixels.data(); }
    const Pixel* bits() const { return m_pixels.data(); }
    std::size_t pixelCount() const { return m_pixels.size(); }

    // GetPixel: the colour at (x, y), or CLR_INVALID (0xFFFFFFFF) outside.
    ColorRef getPixel(int x, int y) const;
    // Raw pixel access for code that works pixel by pixel (no bounds check).
    Pixel at(int x, int y) const { return row(y)[x]; }
    void set(int x, int y, Pixel p) { row(y)[x] = p | kOpaque; }

    // A QImage (Format_RGB32) that shares this surface's buffer; valid while
    // the surface is neither recreated nor destroyed.
    QImage image();

    // Tests use this to make surface creation fail: the hook is asked before
    // every allocation and a false answer fails it. Pass nullptr to remove.
    using AllocationHook = std::function<bool(int w, int h)>;
    static void setAllocationHook(AllocationHook hook);
    // The hook's answer for a w x h buffer (true without a hook), for other
    // picture buffers that tests starve the same way.
    static bool allocationAllowed(int w, int h);

    // Large stretches average bands of rows, which a program may run on
    // every core by giving a runner: it calls body(0) .. body(bands - 1),
    // in any order and on any threads, and returns when all are done (an
    // exception from a body may end the run early and be passed on). The
    // result never depends on how the bands run. Without a runner (nullptr,
    // the default) they run one after another on the calling thread. The
    // program's runner must cope with being called from its own workers
    // (OpenCV's parallel_for_ does: nested, it runs the bands in place).
    using BandRunner = void (*)(int bands, const std::function<void(int band)>& body);
    static void setBandRunner(BandRunner runner);

private:
    // An allocator that leaves new pixels uninitialised (create() fills them).
    template <typename T>
    struct NoInitAllocator : std::allocator<T> {
        template <typename U>
        struct rebind {
            using other = NoInitAllocator<U>;
        };
        NoInitAllocator() = default;
        template <typename U>
        NoInitAllocator(const NoInitAllocator<U>&) noexcept {}
        template <typename U>
        void construct(U* p) noexcept {
            ::new (static_cast<void*>(p)) U;
        }
        template <typename U, typename... Args>
        void construct(U* p, Args&&... args) {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };
    using PixelBuffer = std::vector<Pixel, NoInitAllocator<Pixel>>;

    int m_width = 0;
    int m_height = 0;
    PixelBuffer m_pixels;
};

// CLR_INVALID of GDI.
constexpr ColorRef kInvalidColor = 0xFFFFFFFFu;

// ---------------------------------------------------------------------------
// Block transfers (BitBlt): D = f(S, D), clipped to both surfaces.

enum class Rop {
    Copy,        // D = S
    And,         // D = D AND S
    Or,          // D = D OR S
    MergePaint,  // D = (NOT S) OR D
    Erase,       // D = S AND (NOT D)
    Invert,      // D = NOT D        (no source)
    Whiteness,   // D = all ones     (no source)
    Blackness,   // D = all zeros    (no source)
};

// Transfers the w x h block at (sx, sy) of src to (dx, dy) of dst. src may be
// null for Invert, Whiteness and Blackness; it may be dst itself.
void blit(Surface& dst, int dx, int dy, int w, int h, const Surface* src, int sx, int sy, Rop op);
// The whole of src onto the whole of dst at (0, 0).
inline void blit(Surface& dst, const Surface& src, Rop op) {
    blit(dst, 0, 0, dst.width(), dst.height(), &src, 0, 0, op);
}
// A source-less operation over the whole surface.
inline void blit(Surface& dst, Rop op) { blit(dst, 0, 0, dst.width(), dst.height(), nullptr, 0, 0, op); }

enum class StretchMode {
    Nearest,   // the nearest source pixel
    Halftone,  // the average over the area a destination pixel covers
};

// StretchBlt: the sw x sh block of src at (sx, sy) scaled to the dw x dh block
// of dst at (dx, dy), combined with op. Widths and heights must be positive
// (nothing is done otherwise). Returns false only when scratch memory fails.
bool stretchBlit(Surface& dst, int dx, int dy, int dw, int dh, const Surface& src, int sx, int sy, int sw,
                 int sh, Rop op, StretchMode mode);

namespace detail {
// One axis of the area average: destination pixel i takes source pixels
// first[i] .. first[i] + count[i] - 1, with the fixed-point (16-bit) weights
// from weight[offset[i]] on, summing to 65536.
struct AreaWeights {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::uint32_t> weight;
    std::vector<std::size_t> offset;
};
// One source row averaged across into destination columns [x0, x0 + w):
// three 16.16 fixed-point channel sums per column.
void horizontalSums(const Pixel* s, const AreaWeights& wx, int x0, int w, std::uint32_t* t);
// One destination row of w pixels from the horizontal sums of the `count`
// source rows it draws on, with their vertical weights, rounded to bytes.
void verticalRow(const std::uint32_t* const* rows, const std::uint32_t* wt, int count, int w, Pixel* d);
}  // namespace detail

// The halftone stretch of a whole sw x sh picture to w x h, made from its
// rows handed over one at a time, top first, so that the picture is never
// held whole: the bytes are those stretchBlit gives for the whole picture.
class StreamedReduction {
public:
    StreamedReduction(int sw, int sh, int w, int h);
    // Row y of the picture (sw pixels); rows must come in order (anything
    // else leaves no result).
    void addRow(int y, const Pixel* row);
    // The result, once all sh rows have come; empty otherwise.
    Surface take();

private:
    int m_sw, m_sh, m_w, m_h;
    bool m_box;                      // whole factors: rounded block means
    int m_next = 0, m_done = 0;      // the next row expected, rows of the result made
    detail::AreaWeights m_x, m_y;
    int m_ringRows = 1;
    std::vector<std::uint32_t> m_ring;  // horizontally averaged rows (halftone), by row modulo m_ringRows
    std::vector<std::uint64_t> m_rb, m_g;  // block sums of the current row of blocks
    Surface m_out;
};

// ---------------------------------------------------------------------------
// Device-independent rows: bottom-up 24-bit blue, green, red rows padded to 4
// bytes; picture row y (0 = top) is stored as row h - 1 - y.

constexpr std::size_t dibStride(int width) {
    return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
}

// GetDIBits: the whole surface as bottom-up rows (empty vector on failure).
std::vector<std::uint8_t> getDIBits(const Surface& s);
// SetDIBitsToDevice: writes a w x h block of bottom-up rows to (dx, dy) of the
// surface, clipped to it. rows must hold dibStride(w) * h bytes.
void setDIBits(Surface& s, int dx, int dy, const std::uint8_t* rows, int w, int h);
// Makes a w x h surface from rows (false on allocation failure).
bool surfaceFromDIB(Surface& s, const std::uint8_t* rows, int w, int h);

// ---------------------------------------------------------------------------
// Fills and strokes. None of these antialias: masks stay black and white.

struct Pen {
    int width = 1;
    ColorRef color = 0;
    bool null = false;  // NULL_PEN: no outline
};

struct Brush {
    ColorRef color = 0;
    bool null = false;  // NULL_BRUSH / hollow: no fill
};

constexpr Pen kNullPen{1, 0, true};
constexpr Brush kNullBrush{0, true};

// FillRect with a solid brush.
void fillRect(Surface& s, const Rect& r, ColorRef color);
// MoveTo/LineTo runs: a line through the points with a round pen. Like GDI's
// LineTo, the last point itself is not drawn by a one-pixel pen, except that
// a single point (or a run of equal points) draws a dot of the pen's width.
void polyline(Surface& s, const Pen& pen, const std::vector<Point>& pts);
inline void line(Surface& s, const Pen& pen, Point a, Point b) { polyline(s, pen, {a, b}); }
// A one-pixel polyline drawn with the inverting mix (R2_NOT): drawing the
// same polyline twice restores the surface.
void invertPolyline(Surface& s, const std::vector<Point>& pts);
void rectangle(Surface& s, const Pen& pen, const Brush& brush, const Rect& r);
void ellipse(Surface& s, const Pen& pen, const Brush& brush, const Rect& r);
void roundRect(Surface& s, const Pen& pen, const Brush& brush, const Rect& r, int ellipseW, int ellipseH);
// Polygon with the alternate fill rule.
void polygon(Surface& s, const Pen& pen, const Brush& brush, const std::vector<Point>& pts);

// ExtFloodFill with FLOODFILLSURFACE: the 4-connected area of colour
// `areaColor` that contains (x, y) becomes `fillColor`. Returns false when
// (x, y) is outside the surface or not of that colour.
bool floodFill(Surface& s, int x, int y, ColorRef areaColor, ColorRef fillColor);

// ---------------------------------------------------------------------------
// Text.

struct Font {
    std::string face;        // family name (UTF-8)
    int height = 12;         // cell height in pixels; negative = character height
    int weight = 400;        // 400 normal, 700 bold
    bool italic = false;
    bool antialiased = false;
    int charset = 128;       // kept for the records that store it; not used
    bool vertical = false;   // '@' faces of the original: text set top to bottom
};

// Draws text with its top-left cell corner at (x, y) in a colour, background
// transparent. Only an antialiased font blends edges.
void drawText(Surface& s, const Font& font, int x, int y, const std::string& text, ColorRef color);
// GetTextExtentPoint32: width and height of the string in the font.
Size textExtent(const Font& font, const std::string& text);
// The characters of a UTF-8 string as a reader counts them, for text set
// top to bottom: a letter with its combining marks (が written as か and ゛),
// an emoji with its variation selector, a joined emoji sequence or a flag
// stays one character. Text that is not valid UTF-8 is cut by code point,
// its bytes kept.
std::vector<std::string> textCharacters(const std::string& text);

}  // namespace plastora

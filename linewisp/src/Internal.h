// Linewisp internals shared by the sources (not exported).
#pragma once

#include "linewisp/linewisp.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace linewisp {

using plastora::ColorRef;
using plastora::Point;
using plastora::Rect;

// Little-endian access to bytes whose bounds the caller has checked.
inline std::uint16_t rdU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::int16_t rdI16(const std::uint8_t* p) { return static_cast<std::int16_t>(rdU16(p)); }
inline std::uint32_t rdU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

class ByteWriter {
public:
    void u8(unsigned v) { m_bytes.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void i16(int v) { u16(static_cast<unsigned>(v) & 0xFFFF); }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void bytes(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        m_bytes.insert(m_bytes.end(), b, b + n);
    }
    void patchU16(std::size_t at, unsigned v) {
        m_bytes[at] = static_cast<std::uint8_t>(v & 0xFF);
        m_bytes[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    }
    void patchU32(std::size_t at, std::uint32_t v) {
        patchU16(at, v & 0xFFFF);
        patchU16(at + 2, v >> 16);
    }
    std::size_t size() const { return m_bytes.size(); }
    std::vector<std::uint8_t>& data() { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

inline std::int16_t clamp16(long long v) {
    return static_cast<std::int16_t>(std::clamp<long long>(v, -32768, 32767));
}

// Frees whatever a handle refers to (lists are only forgotten).
void releaseHandle(std::uint32_t handle);

// Grows the packet's extent to include a box.
void growExtent(VectPacket& packet, int left, int top, int right, int bottom);

// Writes bytes to a file through a temporary name in the same folder and a
// rename, so a failed write leaves an existing file as it was.
bool writeFileAtomically(const std::string& fileName, const std::vector<std::uint8_t>& bytes);
bool readWholeFile(const std::string& fileName, std::vector<std::uint8_t>& bytes);

// ---------------------------------------------------------------------------
// A drawing target for the painting routine: a surface, or a metafile being
// recorded.

struct CanvasFont {
    std::string face;
    int height = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int escapement = 0;  // tenths of a degree; -900 sets text top to bottom
};

class Canvas {
public:
    virtual ~Canvas() = default;
    // A solid box without outline (right/bottom exclusive).
    virtual void fillBox(const Rect& r, ColorRef colour) = 0;
    // The pen (a colour, or kVectNoColor for no outline) and the solid brush
    // (a colour; hollow: no fill, the colour kept for writers) of the shapes
    // that follow.
    virtual void setPen(std::int32_t colour) = 0;
    virtual void setBrush(ColorRef colour, bool hollow = false) = 0;
    virtual void polygon(const std::vector<Point>& pts) = 0;
    virtual void polyline(const std::vector<Point>& pts) = 0;
    virtual void polyPolygon(const std::vector<std::vector<Point>>& polys) = 0;
    virtual void rectangle(const Rect& r) = 0;
    virtual void ellipse(const Rect& r) = 0;
    // kind is kVectArc, kVectPie or kVectChord.
    virtual void arc(int kind, const Rect& r, Point start, Point end) = 0;
    // Text with its cell's top-left at `start` (before escapement), drawn in
    // `colour` on a transparent background, clipped to `clip`.
    virtual void text(const CanvasFont& font, const Rect& clip, Point start, const std::string& bytes,
                      ColorRef colour) = 0;
    // The object index painted at a point (index painting); 0 outside.
    virtual int readIndex(Point) const { return 0; }
};

// The painting routine behind VectVectPaint and VectWmfWrite.
int paintObjects(Canvas& canvas, VectPacket& packet, unsigned mode);

// An estimate of the work of painting the packet onto a width x height
// picture: a quarter of the pixels each object's box covers there (filled
// at some gigapixels a second), plus for each polygon, row by row, the
// square of the edges crossing the row (a row's edges are sorted as it is
// filled). A few kilobytes of overlapping shapes or zigzags would otherwise
// take the painter minutes.
std::uint64_t paintWork(const VectPacket& packet, unsigned mode, int width, int height);
// The most paintWork that is painted: a few seconds.
constexpr std::uint64_t kMaxPaintWork = std::uint64_t{4} << 30;

// Index colours.
ColorRef indexColour(int i);
int decodeIndex(ColorRef c);

}  // namespace linewisp

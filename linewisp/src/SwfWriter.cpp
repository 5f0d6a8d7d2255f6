// Writing the picture as a one-frame SWF movie (version 4): a background
// colour, then for each object a shape (or one per member polygon) inside a
// sprite that the main timeline places under a name, one frame, the end.
#include "Internal.h"

#include <cstdio>
#include <cstring>

namespace linewisp {
namespace {

enum : unsigned {
    kTagEnd = 0,
    kTagShowFrame = 1,
    kTagSetBackgroundColor = 9,
    kTagPlaceObject2 = 26,
    kTagDefineShape3 = 32,
    kTagDefineSprite = 39,
};

class BitWriter {
public:
    void ub(int bits, std::uint32_t v) {
        for (int i = bits - 1; i >= 0; --i) {
            m_acc = static_cast<std::uint8_t>((m_acc << 1) | ((v >> i) & 1));
            if (++m_used == 8) flush();
        }
    }
    void sb(int bits, std::int32_t v) { ub(bits, static_cast<std::uint32_t>(v)); }
    void align() {
        if (m_used) {
            m_acc = static_cast<std::uint8_t>(m_acc << (8 - m_used));
            flush();
        }
    }
    std::vector<std::uint8_t>& bytes() {
        align();
        return m_bytes;
    }

private:
    void flush() {
        m_bytes.push_back(m_acc);
        m_acc = 0;
        m_used = 0;
    }
    std::vector<std::uint8_t> m_bytes;
    std::uint8_t m_acc = 0;
    int m_used = 0;
};

// Bits a signed field needs for v.
int signedBits(long long v) {
    int n = 1;
    while (v < -(1LL << (n - 1)) || v >= (1LL << (n - 1))) ++n;
    return n;
}

// A RECT: 15-bit fields when the values fit them, wider ones when not.
void writeRect(BitWriter& b, long long xmin, long long xmax, long long ymin, long long ymax) {
    int n = 15;
    for (long long v : {xmin, xmax, ymin, ymax}) n = std::max(n, signedBits(v));
    n = std::min(n, 31);
    b.ub(5, static_cast<std::uint32_t>(n));
    for (long long v : {xmin, xmax, ymin, ymax}) b.sb(n, static_cast<std::int32_t>(v));
    b.align();
}

void tag(ByteWriter& out, unsigned code, const std::vector<std::uint8_t>& body) {
    if (body.size() < 63) {
        out.u16((code << 6) | static_cast<unsigned>(body.size()));
    } else {
        out.u16((code << 6) | 0x3F);
        out.u32(static_cast<std::uint32_t>(body.size()));
    }
    out.bytes(body.data(), body.size());
}

void rgb(ByteWriter& w, ColorRef c) {
    w.u8(plastora::GetRValue(c));
    w.u8(plastora::GetGValue(c));
    w.u8(plastora::GetBValue(c));
}

struct TwipPoint {
    long long x, y;
};

class SwfBuilder {
public:
    SwfBuilder(const VectPacket& packet) : m_packet(packet) {
        m_zoom = packet.zoom > 0 ? packet.zoom : 100;
    }

    // Twips of a metafile value: zoom / 5 per unit (20 at 100%).
    long long twips(long long v) const { return v * m_zoom / 5; }
    TwipPoint point(std::uint32_t unit) const {
        const Point p = VectObject::unpackPoint(unit);
        return {twips(p.x - m_packet.left), twips(p.y - m_packet.top)};
    }

    // Whether `shapes` more shapes and the sprite holding them still get
    // character ids and depths of their own (both are 16-bit in the file).
    bool roomFor(std::size_t shapes, int depth) const {
        return m_nextId + shapes + 1 <= 0xFFFF && static_cast<std::size_t>(depth) + shapes <= 0xFFFF;
    }

    // A DefineShape3 of one path; returns its character id.
    unsigned shape(const std::vector<TwipPoint>& pts, bool filled, ColorRef fill, std::int32_t pen) {
        const unsigned id = m_nextId++;
        ByteWriter w;
        w.u16(id);
        {
            // Bounds: the picture's extent with a margin of 8 units, in the
            // coordinates the points use.
            BitWriter b;
            writeRect(b, twips(-8), twips(m_packet.right - m_packet.left + 8), twips(-8),
                      twips(m_packet.bottom - m_packet.top + 8));
            auto& bytes = b.bytes();
            w.bytes(bytes.data(), bytes.size());
        }
        if (filled) {
            w.u8(1);
            w.u8(0x00);  // solid
            rgb(w, fill);
            w.u8(255);
        } else {
            w.u8(0);
        }
        const bool hasLine = pen != kVectNoColor;
        w.u8(1);
        w.u16(hasLine ? static_cast<unsigned>(std::clamp<long long>(twips(1), 1, 0xFFFF)) : 0);
        rgb(w, hasLine ? static_cast<ColorRef>(pen) : 0);
        w.u8(255);

        BitWriter b;
        const int fillBits = filled ? 1 : 0;
        b.ub(4, static_cast<std::uint32_t>(fillBits));
        b.ub(4, 1);
        if (!pts.empty()) {
            // Which side of the path is inside depends on its direction.
            long long area2 = 0;
            for (std::size_t i = 0; i < pts.size(); ++i) {
                const TwipPoint& a = pts[i];
                const TwipPoint& c = pts[(i + 1) % pts.size()];
                area2 += a.x * c.y - c.x * a.y;
            }
            const bool leftInside = area2 < 0;  // counter-clockwise on screen
            // Style change: line style, one fill side, move to the first point.
            b.ub(1, 0);
            b.ub(1, 0);  // no new styles
            b.ub(1, 1);  // line style
            b.ub(1, filled && !leftInside ? 1 : 0);
            b.ub(1, filled && leftInside ? 1 : 0);
            b.ub(1, 1);  // move to
            const int mb = std::max(signedBits(pts[0].x), signedBits(pts[0].y));
            b.ub(5, static_cast<std::uint32_t>(mb));
            b.sb(mb, static_cast<std::int32_t>(pts[0].x));
            b.sb(mb, static_cast<std::int32_t>(pts[0].y));
            if (filled && leftInside) b.ub(fillBits, 1);
            if (filled && !leftInside) b.ub(fillBits, 1);
            b.ub(1, hasLine ? 1 : 0);

            TwipPoint at = pts[0];
            auto edgeTo = [&](TwipPoint to) {
                // Edges longer than one record can carry are split.
                while (at.x != to.x || at.y != to.y) {
                    const long long dx = std::clamp(to.x - at.x, -65535LL, 65535LL);
                    const long long dy = std::clamp(to.y - at.y, -65535LL, 65535LL);
                    const int nb = std::max(2, std::max(signedBits(dx), signedBits(dy)));
                    b.ub(1, 1);  // edge
                    b.ub(1, 1);  // straight
                    b.ub(4, static_cast<std::uint32_t>(nb - 2));
                    b.ub(1, 1);  // general line
                    b.sb(nb, static_cast<std::int32_t>(dx));
                    b.sb(nb, static_cast<std::int32_t>(dy));
                    at = {at.x + dx, at.y + dy};
                }
            };
            for (std::size_t i = 1; i < pts.size(); ++i) edgeTo(pts[i]);
            if (filled) edgeTo(pts[0]);
        }
        b.ub(6, 0);  // end of shape
        auto& bytes = b.bytes();
        w.bytes(bytes.data(), bytes.size());
        tag(m_out, kTagDefineShape3, w.data());
        return id;
    }

    // The shapes in a sprite, the sprite placed at depth j under its name.
    void place(const std::vector<unsigned>& shapes, int j) {
        const unsigned sprite = m_nextId++;
        ByteWriter body;
        body.u16(sprite);
        body.u16(1);
        int depth = j;
        for (unsigned s : shapes) {
            ByteWriter po;
            po.u8(0x06);  // character and matrix
            po.u16(static_cast<unsigned>(depth++));
            po.u16(s);
            po.u8(0);  // identity matrix
            tag(body, kTagPlaceObject2, po.data());
        }
        tag(body, kTagShowFrame, {});
        tag(body, kTagEnd, {});
        tag(m_out, kTagDefineSprite, body.data());

        ByteWriter po;
        po.u8(0x26);  // name, matrix, character
        po.u16(static_cast<unsigned>(j));
        po.u16(sprite);
        po.u8(0);
        char name[32];
        std::snprintf(name, sizeof name, "Sketchmoor%04d", j + 1);
        po.bytes(name, std::strlen(name) + 1);
        tag(m_out, kTagPlaceObject2, po.data());
    }

    void background() {
        ByteWriter w;
        rgb(w, static_cast<ColorRef>(m_packet.bkColor));
        tag(m_out, kTagSetBackgroundColor, w.data());
    }

    std::vector<std::uint8_t> finish() {
        tag(m_out, kTagShowFrame, {});
        tag(m_out, kTagEnd, {});
        ByteWriter head;
        head.bytes("FWS", 3);
        head.u8(4);
        head.u32(0);
        BitWriter b;
        writeRect(b, 0, twips(m_packet.right + 8), 0, twips(m_packet.bottom + 8));
        auto& r = b.bytes();
        head.bytes(r.data(), r.size());
        head.u8(0);
        head.u8(12);  // 12 frames a second
        head.u16(1);
        std::vector<std::uint8_t> file = std::move(head.data());
        file.insert(file.end(), m_out.data().begin(), m_out.data().end());
        const auto n = static_cast<std::uint32_t>(file.size());
        for (int i = 0; i < 4; ++i) file[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
        return file;
    }

private:
    const VectPacket& m_packet;
    int m_zoom;
    ByteWriter m_out;
    unsigned m_nextId = 1;
};

}  // namespace
}  // namespace linewisp

using namespace linewisp;

int VectSwfWrite(const char* fileName, VectPacket* packet, std::vector<std::string>* messages) {
    VectObjectList* list = VectPacketList(packet);
    if (!fileName || !fileName[0] || !list) return kVectErrFile;
    try {
        SwfBuilder swf(*packet);
        swf.background();
        int written = 0;
        for (std::size_t k = 0; k < list->size(); ++k) {
            VectObject& o = *list->at(k);
            const int j = static_cast<int>(k + 1);
            if (o.parent >= j) o.parent = static_cast<std::int16_t>(j - 1);
            if (o.fillColor < 0) continue;
            if ((packet->flags & kVectFlagSkipChildren) && o.parent != 0) continue;
            const ColorRef fill = static_cast<ColorRef>(o.fillColor) & 0xFFFFFF;
            const std::int32_t pen = o.penColor < 0 ? kVectNoColor : (o.penColor & 0xFFFFFF);
            const bool hollow = o.brushCode == kVectHollowBrush;
            auto path = [&](std::size_t from, std::size_t count) {
                std::vector<TwipPoint> pts;
                for (std::size_t i = from; i < from + count && i < o.data.size(); ++i) pts.push_back(swf.point(o.data[i]));
                return pts;
            };
            // A picture of more shapes than ids would give two shapes one
            // id and place the wrong ones: it is refused, not written.
            const std::size_t needed =
                o.kind == kVectPolyPolygon && !o.data.empty() ? std::min<std::size_t>(o.data[0], o.data.size() - 1) : 1;
            if (!swf.roomFor(needed, j)) return kVectErrLimit;
            std::vector<unsigned> shapes;
            if (o.kind == kVectPolygon || o.kind == kVectPolyline) {
                shapes.push_back(swf.shape(path(0, o.data.size()), o.kind == kVectPolygon && !hollow, fill, pen));
            } else if (o.kind == kVectPolyPolygon && !o.data.empty()) {
                const std::size_t n = o.data[0];
                std::size_t at = 1 + n;
                for (std::size_t m = 0; m < n && 1 + m < o.data.size(); ++m) {
                    const std::size_t count = o.data[1 + m];
                    shapes.push_back(swf.shape(path(at, count), !hollow, fill, pen));
                    at += count;
                }
            } else {
                if (messages) messages->emplace_back(kVectSwfUnsupportedMessage);
                continue;
            }
            swf.place(shapes, j);
            ++written;
        }
        // A movie with nothing in it is a failed save: the file that was
        // there stays as it was.
        if (written == 0) return 0;
        if (!writeFileAtomically(fileName, swf.finish())) return kVectErrFile;
        return 1;
    } catch (const std::bad_alloc&) {
        return kVectErrFile;
    }
}

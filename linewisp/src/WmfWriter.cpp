// Writing the picture as a metafile: the painting routine draws into a
// recorder that emits the records a metafile drawing context would.
#include "Internal.h"

#include <cstring>

namespace linewisp {
namespace {

enum : unsigned {
    kRecSetBkMode = 0x0102,
    kRecSetTextColor = 0x0209,
    kRecSetWindowOrg = 0x020B,
    kRecSetWindowExt = 0x020C,
    kRecSelectObject = 0x012D,
    kRecDeleteObject = 0x01F0,
    kRecCreatePen = 0x02FA,
    kRecCreateFont = 0x02FB,
    kRecCreateBrush = 0x02FC,
    kRecExtTextOut = 0x0A32,
};

class WmfRecorder final : public Canvas {
public:
    WmfRecorder() {
        // The 18-byte header; sizes are filled in by finish().
        m_out.u16(1);  // memory metafile
        m_out.u16(9);  // header size in words
        m_out.u16(0x0300);
        m_out.u32(0);  // file size in words
        m_out.u16(0);  // most objects alive at once
        m_out.u32(0);  // largest record in words
        m_out.u16(0);
    }

    void windowExtOrg(int w, int h) {
        record(kRecSetWindowExt, {h, w});
        record(kRecSetWindowOrg, {0, 0});
    }

    // Ends the metafile: frees the objects still alive, the end record, the
    // header's sizes. `type` 1 memory, 2 disk.
    std::vector<std::uint8_t> finish(unsigned type) {
        for (int* slot : {&m_penSlot, &m_brushSlot, &m_fontSlot}) {
            if (*slot >= 0) {
                record(kRecDeleteObject, {*slot});
                freeSlot(*slot);
            }
        }
        record(0, {});
        m_out.patchU16(0, type);
        m_out.patchU32(6, static_cast<std::uint32_t>(m_out.size() / 2));
        m_out.patchU16(10, static_cast<unsigned>(m_maxObjects));
        m_out.patchU32(12, m_maxRecord);
        return std::move(m_out.data());
    }

    void fillBox(const Rect& r, ColorRef colour) override {
        const std::int32_t pen = m_pen;
        const ColorRef brush = m_brush;
        const bool hollow = m_hollow;
        setPen(kVectNoColor);
        setBrush(colour, false);
        rectangle(r);
        setPen(pen);
        setBrush(brush, hollow);
    }
    void setPen(std::int32_t colour) override { m_pen = colour; }
    void setBrush(ColorRef colour, bool hollow) override {
        m_brush = colour;
        m_hollow = hollow;
    }

    void polygon(const std::vector<Point>& pts) override { pointRecord(804, pts); }
    void polyline(const std::vector<Point>& pts) override { pointRecord(805, pts); }
    void polyPolygon(const std::vector<std::vector<Point>>& polys) override {
        selectStyles();
        std::vector<int> p{static_cast<int>(polys.size())};
        for (const auto& pts : polys) p.push_back(static_cast<int>(pts.size()));
        for (const auto& pts : polys)
            for (const Point& q : pts) {
                p.push_back(q.x);
                p.push_back(q.y);
            }
        record(1336, p);
    }
    void rectangle(const Rect& r) override {
        selectStyles();
        record(1051, {r.bottom, r.right, r.top, r.left});
    }
    void ellipse(const Rect& r) override {
        selectStyles();
        record(1048, {r.bottom, r.right, r.top, r.left});
    }
    void arc(int kind, const Rect& r, Point start, Point end) override {
        selectStyles();
        record(static_cast<unsigned>(kind), {end.y, end.x, start.y, start.x, r.bottom, r.right, r.top, r.left});
    }
    void text(const CanvasFont& font, const Rect& clip, Point start, const std::string& bytes,
              ColorRef colour) override {
        // LOGFONT: height, width, escapement, orientation, weight, italic,
        // underline, strike-out, character set 1, output precision 3, clip
        // precision 2, quality 1, pitch and family 0x32, face name.
        std::vector<std::uint8_t> lf;
        auto put16 = [&](int v) {
            lf.push_back(static_cast<std::uint8_t>(v & 0xFF));
            lf.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        };
        put16(font.height);
        put16(0);
        put16(font.escapement);
        put16(font.escapement);
        put16(font.weight);
        for (int b : {font.italic ? 1 : 0, font.underline ? 1 : 0, font.strikeOut ? 1 : 0, 1, 3, 2, 1, 0x32})
            lf.push_back(static_cast<std::uint8_t>(b));
        char face[kVectFaceNameBytes] = {};
        std::memcpy(face, font.face.data(), std::min(font.face.size(), kVectFaceNameBytes - 1));
        lf.insert(lf.end(), face, face + kVectFaceNameBytes);
        const int slot = takeSlot();
        rawRecord(kRecCreateFont, lf);
        record(kRecSelectObject, {slot});
        if (m_fontSlot >= 0) {
            record(kRecDeleteObject, {m_fontSlot});
            freeSlot(m_fontSlot);
        }
        m_fontSlot = slot;

        if (!m_textColourSet || m_textColour != colour) {
            record(kRecSetTextColor, {static_cast<int>(colour & 0xFFFF), static_cast<int>(colour >> 16)});
            m_textColour = colour;
            m_textColourSet = true;
        }
        if (!m_transparent) {
            record(kRecSetBkMode, {1});
            m_transparent = true;
        }
        // y, x, length, clipped, the clip box, the string (even length).
        std::vector<std::uint8_t> p;
        auto add16 = [&](int v) {
            p.push_back(static_cast<std::uint8_t>(v & 0xFF));
            p.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        };
        const std::size_t len = std::min<std::size_t>(bytes.size(), 0x7FFF);
        add16(start.y);
        add16(start.x);
        add16(static_cast<int>(len));
        add16(0x0004);
        add16(clip.left);
        add16(clip.top);
        add16(clip.right);
        add16(clip.bottom);
        p.insert(p.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(len));
        if (len & 1) p.push_back(0);
        rawRecord(kRecExtTextOut, p);
    }

private:
    int takeSlot() {
        std::size_t i = 0;
        while (i < m_used.size() && m_used[i]) ++i;
        if (i == m_used.size()) m_used.push_back(false);
        m_used[i] = true;
        int alive = 0;
        for (bool u : m_used) alive += u ? 1 : 0;
        m_maxObjects = std::max(m_maxObjects, alive);
        return static_cast<int>(i);
    }
    void freeSlot(int& slot) {
        m_used[static_cast<std::size_t>(slot)] = false;
        slot = -1;
    }

    // Selects pen and brush objects for the current colours, making new
    // ones only when they changed; the replaced object is deleted after the
    // new one is selected, as a drawing context requires.
    void selectStyles() {
        if (m_penSlot < 0 || m_penMade != m_pen) {
            const int slot = takeSlot();
            const bool none = m_pen == kVectNoColor;
            const auto c = none ? 0u : static_cast<std::uint32_t>(m_pen);
            record(kRecCreatePen, {none ? 5 : 0, 1, 0, static_cast<int>(c & 0xFFFF), static_cast<int>(c >> 16)});
            record(kRecSelectObject, {slot});
            if (m_penSlot >= 0) {
                record(kRecDeleteObject, {m_penSlot});
                freeSlot(m_penSlot);
            }
            m_penSlot = slot;
            m_penMade = m_pen;
        }
        if (m_brushSlot < 0 || m_brushMade != m_brush || m_hollowMade != m_hollow) {
            const int slot = takeSlot();
            // A hollow brush keeps its colour, which a reader may want.
            record(kRecCreateBrush,
                   {m_hollow ? 1 : 0, static_cast<int>(m_brush & 0xFFFF), static_cast<int>(m_brush >> 16), 0});
            record(kRecSelectObject, {slot});
            if (m_brushSlot >= 0) {
                record(kRecDeleteObject, {m_brushSlot});
                freeSlot(m_brushSlot);
            }
            m_brushSlot = slot;
            m_brushMade = m_brush;
            m_hollowMade = m_hollow;
        }
    }

    void pointRecord(unsigned kind, const std::vector<Point>& pts) {
        selectStyles();
        std::vector<int> p{static_cast<int>(pts.size())};
        for (const Point& q : pts) {
            p.push_back(q.x);
            p.push_back(q.y);
        }
        record(kind, p);
    }

    void record(unsigned kind, const std::vector<int>& words) {
        const std::uint32_t size = static_cast<std::uint32_t>(3 + words.size());
        m_out.u32(size);
        m_out.u16(kind);
        for (int w : words) m_out.u16(static_cast<unsigned>(w) & 0xFFFF);
        m_maxRecord = std::max(m_maxRecord, size);
    }
    void rawRecord(unsigned kind, const std::vector<std::uint8_t>& bytes) {
        const std::uint32_t size = static_cast<std::uint32_t>(3 + (bytes.size() + 1) / 2);
        m_out.u32(size);
        m_out.u16(kind);
        m_out.bytes(bytes.data(), bytes.size());
        if (bytes.size() & 1) m_out.u8(0);
        m_maxRecord = std::max(m_maxRecord, size);
    }

    ByteWriter m_out;
    std::vector<bool> m_used;
    int m_maxObjects = 0;
    std::uint32_t m_maxRecord = 0;
    std::int32_t m_pen = kVectNoColor;
    ColorRef m_brush = 0;
    bool m_hollow = false;
    int m_penSlot = -1, m_brushSlot = -1, m_fontSlot = -1;
    std::int32_t m_penMade = 0;
    ColorRef m_brushMade = 0;
    bool m_hollowMade = false;
    ColorRef m_textColour = 0;
    bool m_textColourSet = false;
    bool m_transparent = false;
};

}  // namespace
}  // namespace linewisp

using namespace linewisp;

std::vector<std::uint8_t> VectWmfWrite(const VectDC* dc, const char* fileName, VectPacket* packet) {
    if (!packet || !VectPacketList(packet)) return {};
    try {
        int width = packet->right;
        int height = packet->bottom;
        if (!(packet->flags & kVectFlagAbsolute)) {
            width = packet->right - packet->left - 1;
            height = packet->bottom - packet->top - 1;
        }
        // An empty picture has an inverted extent: keep the sizes in range.
        width = std::clamp(width, 0, 32767);
        height = std::clamp(height, 0, 32767);

        const bool toFile = fileName && fileName[0] != '\0';
        WmfRecorder rec;
        rec.windowExtOrg(width, height);
        if (!paintObjects(rec, *packet, 3)) return {};
        std::vector<std::uint8_t> metafile = rec.finish(toFile ? 2 : 1);
        if (!toFile) return metafile;

        const int zoom = packet->zoom > 0 ? packet->zoom : 100;
        const int dpi = dc ? dc->dpiX : 96;
        ByteWriter head;
        head.u32(0x9AC6CDD7u);
        head.u16(0);
        head.i16(packet->headerLeft);
        head.i16(packet->headerTop);
        head.i16(width + packet->headerLeft - 1);
        head.i16(height + packet->headerTop - 1);
        head.u16(static_cast<unsigned>(std::clamp(dpi * 100 / zoom, 1, 0xFFFF)));
        head.u32(0);
        unsigned sum = 0;
        for (std::size_t i = 0; i < 20; i += 2) sum ^= rdU16(head.data().data() + i);
        head.u16(sum);
        std::vector<std::uint8_t> file = std::move(head.data());
        file.insert(file.end(), metafile.begin(), metafile.end());
        if (!writeFileAtomically(fileName, file)) return {};
        return metafile;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

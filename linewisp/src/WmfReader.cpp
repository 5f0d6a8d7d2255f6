// Reading a metafile into the object list.
//
// The whole file is in memory. Every record's size is checked against the
// data before it is looked at, and every parameter a record kind needs is
// checked against the record's own size: a file that breaks either is
// refused with kVectErrMalformed, and nothing outside the data is read.
#include "Internal.h"

#include <array>
#include <cstring>
#include <new>
#include <set>
#include <vector>

namespace linewisp {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
// The object table starts with 256 slots and grows, as a metafile's own
// table may, up to the 65535 objects its header can count.
constexpr std::size_t kSlotCount = 256;
constexpr std::size_t kMaxSlotCount = 0xFFFF;

enum RecordKind : std::uint16_t {
    kEof = 0,
    kSetBkColor = 513,
    kSetTextColor = 521,
    kSetWindowOrg = 523,
    kSetViewportOrg = 525,
    kSelectClipRegion = 300,
    kSelectObject = 301,
    kSelectPalette = 564,
    kDeleteObject = 496,
    kCreatePalette = 247,
    kCreatePatternBrush = 505,
    kCreateRegion = 1791,
    kCreatePenIndirect = 762,
    kCreateFontIndirect = 763,
    kCreateBrushIndirect = 764,
    kDibCreatePatternBrush = 322,
    kTextOut = 1313,
    kExtTextOut = 2610,
};

struct Slot {
    int type = 0;  // 0 free, 1 brush, 2 pen, 3 other
    std::int32_t colour = 0;
    std::int32_t second = 0;
    std::uint8_t hatch = 0;
    std::uint8_t extra = 0;
    bool hollow = false;
};

// The parameters of one record: bounds-checked little-endian access.
struct Params {
    const std::uint8_t* p;
    std::size_t n;
    bool has(std::size_t bytes) const { return bytes <= n; }
    std::int16_t i16(std::size_t at) const { return rdI16(p + at); }
    std::uint16_t u16(std::size_t at) const { return rdU16(p + at); }
    std::uint32_t u32(std::size_t at) const { return rdU32(p + at); }
};

class Reader {
public:
    Reader(VectPacket& packet, VectObjectList& list) : m_packet(packet), m_list(list) {}

    int read(const VectDC* dc, const std::uint8_t* data, std::size_t size);

private:
    int record(std::uint16_t kind, const Params& prm);
    int takeSlot(const Slot& s);
    int shape(std::int16_t kind, std::vector<std::uint32_t> units, int left, int top, int right, int bottom);
    int points(std::int16_t kind, const Params& prm);
    int polyPolygon(const Params& prm);
    int boxShape(std::int16_t kind, const Params& prm);
    int arcShape(std::int16_t kind, const Params& prm);
    int textObject(int x, int y, const Rect* box, const std::uint8_t* chars, std::size_t count, bool cutAtControl);

    int tx(int x) const { return std::clamp(x - m_originX, 0, 32767); }
    int ty(int y) const { return std::clamp((y - m_originY) * m_ySign, 0, 32767); }

    VectPacket& m_packet;
    VectObjectList& m_list;
    std::vector<Slot> m_slots = std::vector<Slot>(kSlotCount);
    // The free slots' numbers, lowest first: a create takes the lowest in
    // log time, however full the table (a scan would make a file of many
    // creates and deletes take minutes).
    std::set<std::size_t> m_free = [] {
        std::set<std::size_t> all;
        for (std::size_t i = 0; i < kSlotCount; ++i) all.insert(all.end(), i);
        return all;
    }();
    // Current brush, pen, colours and font.
    std::int32_t m_brushColour = 0;
    std::int32_t m_brushSecond = 0;
    std::uint8_t m_brushHatch = 0;
    std::uint8_t m_brushExtra = 0;
    bool m_brushHollow = false;
    std::int32_t m_penColour = 0;
    std::int32_t m_bkColour = 0xFFFFFF;
    std::int32_t m_textColour = 0;
    std::int16_t m_fontHeight = -96;
    std::uint16_t m_fontWord = 400;
    std::array<char, kVectFaceNameBytes> m_face{};
    int m_originX = 0;
    int m_originY = 0;
    int m_ySign = 1;
    bool m_placeable = false;
    bool m_seenRectangle = false;
    std::int16_t m_boxLeft = 0, m_boxTop = 0, m_boxRight = 0, m_boxBottom = 0;
};

int Reader::read(const VectDC* dc, const std::uint8_t* data, std::size_t size) {
    m_packet.objectCount = 0;
    m_packet.pointTotal = 0;
    // The extent is gathered in the packet's own fields but stored only when
    // the read succeeds: keep what was there to restore it on failure.
    const std::int16_t saved[4] = {m_packet.right, m_packet.bottom, m_packet.left, m_packet.top};
    m_packet.left = m_packet.top = 32767;
    m_packet.right = m_packet.bottom = -32767;
    int zoom = 100;

    std::size_t offset = 18;
    if (size >= 4 && rdU32(data) == kPlaceableKey) {
        if (size < 40) return kVectErrMalformed;
        m_placeable = true;
        m_boxLeft = rdI16(data + 6);
        m_boxTop = rdI16(data + 8);
        m_boxRight = rdI16(data + 10);
        m_boxBottom = rdI16(data + 12);
        m_originX = m_boxLeft;
        m_originY = m_boxTop;
        const unsigned inch = rdU16(data + 14);
        // A header without units per inch cannot scale: it is read at 100%.
        if (dc && inch != 0) zoom = std::clamp(dc->dpiX * 100 / static_cast<int>(inch), 1, 32767);
        offset = 40;
    } else if (size < 18) {
        return kVectErrMalformed;
    }

    int result = 0;
    while (offset < size) {
        if (size - offset < 6) {
            result = kVectErrMalformed;
            break;
        }
        const std::uint32_t words = rdU32(data + offset);
        const std::uint16_t kind = rdU16(data + offset + 4);
        if (kind == kEof) break;
        // A record must at least hold its own size and number; one that runs
        // past the end is a truncated file.
        if (words < 3 || static_cast<std::uint64_t>(words) * 2 > size - offset) {
            result = kVectErrMalformed;
            break;
        }
        const std::size_t bytes = static_cast<std::size_t>(words) * 2;
        result = record(kind, Params{data + offset + 6, bytes - 6});
        if (result < 0) break;
        if (m_packet.objectCount > m_packet.objectLimit) {
            m_packet.objectCount = m_packet.objectLimit;
            result = kVectErrLimit;
            break;
        }
        offset += bytes;
    }
    if (result < 0) {
        m_packet.right = saved[0];
        m_packet.bottom = saved[1];
        m_packet.left = saved[2];
        m_packet.top = saved[3];
        return result;
    }
    m_packet.zoom = static_cast<std::int16_t>(zoom);
    return m_packet.objectCount;
}

int Reader::takeSlot(const Slot& s) {
    if (!m_free.empty()) {
        m_slots[*m_free.begin()] = s;
        m_free.erase(m_free.begin());
        return 0;
    }
    // Every slot taken: the next one is the lowest free.
    if (m_slots.size() < kMaxSlotCount) {
        m_slots.push_back(s);
        return 0;
    }
    // More live objects than a metafile's table can hold.
    return kVectErrMalformed;
}

int Reader::shape(std::int16_t kind, std::vector<std::uint32_t> units, int left, int top, int right, int bottom) {
    if (units.size() > static_cast<std::size_t>(std::max(m_packet.pointLimit, 0)) || units.size() > 0xFFFF)
        return kVectErrLimit;
    std::unique_ptr<VectObject> o(new (std::nothrow) VectObject);
    if (!o) return kVectErrLimit;
    o->kind = kind;
    o->penColor = m_penColour;
    o->fillColor = m_brushColour;
    o->brushCode = m_brushHollow ? kVectHollowBrush : m_brushHatch;
    o->secondColor = m_brushSecond;
    o->extra = m_brushExtra;
    o->left = clamp16(left);
    o->top = clamp16(top);
    o->right = clamp16(right);
    o->bottom = clamp16(bottom);
    o->setUnits(std::move(units));
    m_packet.pointTotal += o->unitCount;
    growExtent(m_packet, left, top, right, bottom);
    m_list.append(std::move(o));
    ++m_packet.objectCount;
    return 0;
}

int Reader::points(std::int16_t kind, const Params& prm) {
    if (!prm.has(2)) return kVectErrMalformed;
    const int count = prm.i16(0);
    if (count < 0 || !prm.has(2 + static_cast<std::size_t>(count) * 4)) return kVectErrMalformed;
    if (count == 0) return 0;
    if (count > m_packet.pointLimit) return kVectErrLimit;
    std::vector<std::uint32_t> units;
    units.reserve(static_cast<std::size_t>(count));
    int l = 32767, t = 32767, r = -32767, b = -32767;
    for (int i = 0; i < count; ++i) {
        const int x = tx(prm.i16(2 + i * 4));
        const int y = ty(prm.i16(4 + i * 4));
        units.push_back(VectObject::packPoint(x, y));
        l = std::min(l, x);
        t = std::min(t, y);
        r = std::max(r, x);
        b = std::max(b, y);
    }
    return shape(kind, std::move(units), l, t, r, b);
}

int Reader::polyPolygon(const Params& prm) {
    if (!prm.has(2)) return kVectErrMalformed;
    const std::size_t n = prm.u16(0);
    if (!prm.has(2 + n * 2)) return kVectErrMalformed;
    std::size_t total = 0;
    for (std::size_t i = 0; i < n; ++i) total += prm.u16(2 + i * 2);
    const std::size_t pointsAt = 2 + n * 2;
    if (!prm.has(pointsAt + total * 4)) return kVectErrMalformed;
    if (n == 0 || total == 0) return 0;
    if (1 + n + total > static_cast<std::size_t>(std::max(m_packet.pointLimit, 0))) return kVectErrLimit;
    std::vector<std::uint32_t> units;
    units.reserve(1 + n + total);
    units.push_back(static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) units.push_back(prm.u16(2 + i * 2));
    int l = 32767, t = 32767, r = -32767, b = -32767;
    for (std::size_t i = 0; i < total; ++i) {
        const int x = tx(prm.i16(pointsAt + i * 4));
        const int y = ty(prm.i16(pointsAt + i * 4 + 2));
        units.push_back(VectObject::packPoint(x, y));
        l = std::min(l, x);
        t = std::min(t, y);
        r = std::max(r, x);
        b = std::max(b, y);
    }
    return shape(kVectPolyPolygon, std::move(units), l, t, r, b);
}

int Reader::boxShape(std::int16_t kind, const Params& prm) {
    if (!prm.has(8)) return kVectErrMalformed;
    const int bottom = prm.i16(0), right = prm.i16(2), top = prm.i16(4), left = prm.i16(6);
    if (kind == kVectRectangle && !m_seenRectangle) {
        // The file's first rectangle may be its background: one covering the
        // placeable bounding box, or in a plain file one starting left of and
        // above the origin. It gives the background colour, not an object.
        m_seenRectangle = true;
        const bool background = m_placeable ? (left == m_boxLeft && top == m_boxTop && right == m_boxRight &&
                                               bottom == m_boxBottom)
                                            : (left < 0 && top < 0);
        if (background) {
            m_packet.bkColor = m_brushColour;
            return 0;
        }
    }
    const int l = tx(left), t = ty(top), r = tx(right), b = ty(bottom);
    std::vector<std::uint32_t> units{VectObject::packPoint(l, t), VectObject::packPoint(r, b), 0, 0};
    return shape(kind, std::move(units), std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b));
}

int Reader::arcShape(std::int16_t kind, const Params& prm) {
    if (!prm.has(16)) return kVectErrMalformed;
    const int yEnd = prm.i16(0), xEnd = prm.i16(2), yStart = prm.i16(4), xStart = prm.i16(6);
    const int bottom = prm.i16(8), right = prm.i16(10), top = prm.i16(12), left = prm.i16(14);
    const int l = tx(left), t = ty(top), r = tx(right), b = ty(bottom);
    std::vector<std::uint32_t> units{VectObject::packPoint(l, t), VectObject::packPoint(r, b),
                                     VectObject::packPoint(tx(xStart), ty(yStart)),
                                     VectObject::packPoint(tx(xEnd), ty(yEnd))};
    return shape(kind, std::move(units), std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b));
}

int Reader::textObject(int x, int y, const Rect* box, const std::uint8_t* chars, std::size_t count,
                       bool cutAtControl) {
    if (cutAtControl) {
        for (std::size_t i = 0; i < count; ++i) {
            if (chars[i] < 32) {
                count = i;
                break;
            }
        }
    }
    // Text is placed in the same coordinates as the shapes.
    x = tx(x);
    y = ty(y);
    const int h = std::abs(static_cast<int>(m_fontHeight));
    const int len = static_cast<int>(count);
    Rect r;
    if (box) {
        const int l = tx(box->left), t = ty(box->top), rr = tx(box->right), b = ty(box->bottom);
        r = {std::min(l, rr), std::min(t, b), std::max(l, rr), std::max(t, b)};
    } else if (m_fontWord & kVectFontVertical) {
        r = {x, y, x + h, y + h * len};
    } else {
        r = {x, y, x + h * len, y + h};
    }
    // Face name, string and its terminating NUL.
    std::vector<std::uint32_t> units((kVectFaceNameBytes + count) / 4 + 1, 0);
    auto* bytes = reinterpret_cast<std::uint8_t*>(units.data());
    std::memcpy(bytes, m_face.data(), kVectFaceNameBytes);
    if (count) std::memcpy(bytes + kVectFaceNameBytes, chars, count);
    if (units.size() > static_cast<std::size_t>(std::max(m_packet.pointLimit, 0)) || units.size() > 0xFFFF)
        return kVectErrLimit;

    std::unique_ptr<VectObject> o(new (std::nothrow) VectObject);
    if (!o) return kVectErrLimit;
    o->kind = kVectText;
    o->penColor = kVectNoColor;
    o->fillColor = m_textColour;
    o->brushCode = m_fontHeight;
    o->secondColor = 0;
    o->extra = m_fontWord;
    o->left = clamp16(r.left);
    o->top = clamp16(r.top);
    o->right = clamp16(r.right);
    o->bottom = clamp16(r.bottom);
    o->setUnits(std::move(units));
    m_packet.pointTotal += o->unitCount;
    growExtent(m_packet, o->left, o->top, o->right, o->bottom);
    m_list.append(std::move(o));
    ++m_packet.objectCount;
    return 0;
}

int Reader::record(std::uint16_t kind, const Params& prm) {
    switch (kind) {
    case kCreatePalette:
    case kCreatePatternBrush:
    case kCreateRegion:
        return takeSlot(Slot{3, 0, 0, 0, 0, false});

    case kCreatePenIndirect: {
        if (!prm.has(10)) return kVectErrMalformed;
        const unsigned style = prm.u16(0);
        const std::int32_t colour = (style & 0x0F) == 5 ? kVectNoColor : static_cast<std::int32_t>(prm.u32(6));
        return takeSlot(Slot{2, colour, 0, 0, 0, false});
    }

    case kCreateBrushIndirect: {
        if (!prm.has(8)) return kVectErrMalformed;
        const unsigned style = prm.u16(0);
        const auto colour = static_cast<std::int32_t>(prm.u32(2));
        const unsigned hatch = prm.u16(6);
        if (style == 2) return takeSlot(Slot{1, m_bkColour, colour, static_cast<std::uint8_t>(hatch + 1), 0, false});
        // A hollow brush fills nothing: its shapes keep only their outline.
        if (style == 1) return takeSlot(Slot{1, colour, 0, 0, 0, true});
        return takeSlot(Slot{1, colour, 0, 0, 0, false});
    }

    case kDibCreatePatternBrush: {
        // Style and colour usage, then a device-independent bitmap: its
        // header, a two-entry colour table (blue, green, red, 0) and bits.
        if (!prm.has(8)) return kVectErrMalformed;
        const std::uint32_t headerSize = prm.u32(4);
        if (headerSize < 12 || headerSize > prm.n) return kVectErrMalformed;
        const std::size_t table = 4 + headerSize;
        if (!prm.has(table + 8 + 4)) return kVectErrMalformed;
        auto entry = [&](std::size_t i) {
            const std::uint8_t* q = prm.p + table + i * 4;
            return plastora::RGB(q[2], q[1], q[0]);
        };
        const ColorRef c0 = entry(0), c1 = entry(1);
        const unsigned code = ((plastora::GetRValue(c0) & 1) << 5) | ((plastora::GetGValue(c0) & 1) << 4) |
                              ((plastora::GetBValue(c0) & 1) << 3) | ((plastora::GetRValue(c1) & 1) << 2) |
                              ((plastora::GetGValue(c1) & 1) << 1) | (plastora::GetBValue(c1) & 1);
        return takeSlot(Slot{1, static_cast<std::int32_t>(c1), static_cast<std::int32_t>(c0),
                             static_cast<std::uint8_t>(code), prm.p[table + 8 + 3], false});
    }

    case kCreateFontIndirect: {
        if (!prm.has(18)) return kVectErrMalformed;
        const int rc = takeSlot(Slot{3, 0, 0, 0, 0, false});
        if (rc < 0) return rc;
        m_fontHeight = prm.i16(0);
        const int escapement = prm.i16(4);
        unsigned word = static_cast<unsigned>(prm.i16(8)) & kVectFontWeightMask;
        if (escapement < 0) word |= kVectFontVertical;
        if (prm.p[10]) word |= kVectFontItalic;
        if (prm.p[11]) word |= kVectFontUnderline;
        if (prm.p[12]) word |= kVectFontStrikeOut;
        m_fontWord = static_cast<std::uint16_t>(word);
        // Writers often shorten the face name to what it needs.
        m_face.fill(0);
        std::memcpy(m_face.data(), prm.p + 18, std::min(kVectFaceNameBytes, prm.n - 18));
        return 0;
    }

    case kSelectObject:
    case kSelectClipRegion:
    case kSelectPalette: {
        if (!prm.has(2)) return kVectErrMalformed;
        const unsigned i = prm.u16(0);
        if (i >= m_slots.size()) return 0;  // a stock object or a slot this file never had
        const Slot& s = m_slots[i];
        if (s.type == 1) {
            m_brushColour = s.colour & 0xFFFFFF;
            m_brushSecond = s.second & 0xFFFFFF;
            m_brushHatch = s.hatch;
            m_brushExtra = s.extra;
            m_brushHollow = s.hollow;
        } else if (s.type == 2) {
            m_penColour = s.colour == kVectNoColor ? kVectNoColor : (s.colour & 0xFFFFFF);
        }
        return 0;
    }

    case kDeleteObject:
        if (!prm.has(2)) return kVectErrMalformed;
        if (prm.u16(0) < m_slots.size() && m_slots[prm.u16(0)].type != 0) {
            m_slots[prm.u16(0)] = Slot{};
            m_free.insert(prm.u16(0));
        }
        return 0;

    case kSetBkColor:
        if (!prm.has(4)) return kVectErrMalformed;
        m_bkColour = static_cast<std::int32_t>(prm.u32(0));
        return 0;

    case kSetTextColor:
        if (!prm.has(4)) return kVectErrMalformed;
        m_textColour = static_cast<std::int32_t>(prm.u32(0));
        return 0;

    case kSetWindowOrg:
    case kSetViewportOrg: {
        if (!prm.has(4)) return kVectErrMalformed;
        const int y = prm.i16(0), x = prm.i16(2);
        m_originX = x;
        m_originY = y;
        // A picture whose y axis runs upwards from the bounding box's bottom.
        if (m_placeable && y == m_boxBottom) m_ySign = -1;
        return 0;
    }

    case kVectPolygon:
    case kVectPolyline:
        return points(static_cast<std::int16_t>(kind), prm);
    case kVectPolyPolygon:
        return polyPolygon(prm);
    case kVectRectangle:
    case kVectEllipse:
        return boxShape(static_cast<std::int16_t>(kind), prm);
    case kVectArc:
    case kVectPie:
    case kVectChord:
        return arcShape(static_cast<std::int16_t>(kind), prm);

    case kTextOut: {
        if (!prm.has(2)) return kVectErrMalformed;
        const int count = prm.i16(0);
        if (count < 0) return kVectErrMalformed;
        const std::size_t padded = (static_cast<std::size_t>(count) + 1) & ~std::size_t{1};
        if (!prm.has(2 + padded + 4)) return kVectErrMalformed;
        const int y = prm.i16(2 + padded), x = prm.i16(4 + padded);
        return textObject(x, y, nullptr, prm.p + 2, static_cast<std::size_t>(count), false);
    }

    case kExtTextOut: {
        if (!prm.has(8)) return kVectErrMalformed;
        const int y = prm.i16(0), x = prm.i16(2), count = prm.i16(4);
        const unsigned options = prm.u16(6);
        if (count < 0) return kVectErrMalformed;
        std::size_t at = 8;
        Rect box;
        const bool hasBox = (options & 0x0006) != 0;  // clipped or opaque
        if (hasBox) {
            if (!prm.has(16)) return kVectErrMalformed;
            box = {prm.i16(8), prm.i16(10), prm.i16(12), prm.i16(14)};
            at = 16;
        }
        if (!prm.has(at + static_cast<std::size_t>(count))) return kVectErrMalformed;
        return textObject(x, y, hasBox ? &box : nullptr, prm.p + at, static_cast<std::size_t>(count), true);
    }

    default:
        return 0;
    }
}

}  // namespace
}  // namespace linewisp

using namespace linewisp;

int VectWmfRead(const VectDC* dc, const std::uint8_t* data, std::size_t size, VectPacket* packet) {
    VectObjectList* list = VectPacketList(packet);
    if (!list) return 0;
    if (!data && size) return kVectErrMalformed;
    try {
        Reader reader(*packet, *list);
        return reader.read(dc, data, size);
    } catch (const std::bad_alloc&) {
        return kVectErrLimit;
    }
}

int VectWmfRead(const VectDC* dc, const char* fileName, VectPacket* packet) {
    std::vector<std::uint8_t> bytes;
    if (!fileName || !readWholeFile(fileName, bytes)) return kVectErrFile;
    return VectWmfRead(dc, bytes.data(), bytes.size(), packet);
}

// Helpers for the vector library's tests: metafiles built record by record
// (independently of the library's writer), and a packet with its list.
#pragma once

#include "linewisp/linewisp.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace lwtest {

class Wmf {
public:
    // A placeable file with this bounding box and units per inch, or a plain
    // one (standard header only).
    static Wmf placeable(int l, int t, int r, int b, int inch) {
        Wmf w;
        w.m_placeable = {l, t, r, b, inch};
        w.m_isPlaceable = true;
        return w;
    }
    static Wmf plain() { return Wmf(); }

    Wmf& rec(unsigned fn, std::initializer_list<int> words) {
        put32(static_cast<std::uint32_t>(3 + words.size()));
        put16(fn);
        for (int v : words) put16(static_cast<unsigned>(v));
        return *this;
    }
    Wmf& raw(unsigned fn, const std::vector<std::uint8_t>& bytes) {
        put32(static_cast<std::uint32_t>(3 + (bytes.size() + 1) / 2));
        put16(fn);
        m_body.insert(m_body.end(), bytes.begin(), bytes.end());
        if (bytes.size() & 1) m_body.push_back(0);
        return *this;
    }
    Wmf& pen(int style, std::uint32_t colour) { return rec(0x02FA, {style, 1, 0, lo(colour), hi(colour)}); }
    Wmf& brush(int style, std::uint32_t colour, int hatch = 0) {
        return rec(0x02FC, {style, lo(colour), hi(colour), hatch});
    }
    Wmf& select(int i) { return rec(0x012D, {i}); }
    Wmf& remove(int i) { return rec(0x01F0, {i}); }
    Wmf& bkColor(std::uint32_t c) { return rec(0x0201, {lo(c), hi(c)}); }
    Wmf& textColor(std::uint32_t c) { return rec(0x0209, {lo(c), hi(c)}); }
    Wmf& windowOrg(int x, int y) { return rec(0x020B, {y, x}); }
    Wmf& rectangle(int l, int t, int r, int b) { return rec(0x041B, {b, r, t, l}); }
    Wmf& ellipse(int l, int t, int r, int b) { return rec(0x0418, {b, r, t, l}); }
    Wmf& polygon(std::initializer_list<std::pair<int, int>> pts, unsigned fn = 0x0324) {
        std::vector<int> w{static_cast<int>(pts.size())};
        for (auto [x, y] : pts) w.push_back(x), w.push_back(y);
        return words(fn, w);
    }
    Wmf& words(unsigned fn, const std::vector<int>& w) {
        put32(static_cast<std::uint32_t>(3 + w.size()));
        put16(fn);
        for (int v : w) put16(static_cast<unsigned>(v));
        return *this;
    }
    Wmf& font(int height, int escapement, int weight, bool italic, bool underline, bool strike, const char* face) {
        std::vector<std::uint8_t> b;
        for (int v : {height, 0, escapement, escapement, weight})
            b.push_back(static_cast<std::uint8_t>(v & 0xFF)), b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        for (int v : {italic ? 1 : 0, underline ? 1 : 0, strike ? 1 : 0, 0, 0, 0, 0, 0}) b.push_back(static_cast<std::uint8_t>(v));
        for (const char* p = face; *p; ++p) b.push_back(static_cast<std::uint8_t>(*p));
        b.push_back(0);
        return raw(0x02FB, b);
    }
    Wmf& textOut(int x, int y, const std::string& s) {
        std::vector<std::uint8_t> b{static_cast<std::uint8_t>(s.size()), static_cast<std::uint8_t>(s.size() >> 8)};
        b.insert(b.end(), s.begin(), s.end());
        if (s.size() & 1) b.push_back(0);
        for (int v : {y, x}) b.push_back(static_cast<std::uint8_t>(v & 0xFF)), b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        return raw(0x0521, b);
    }
    Wmf& extTextOut(int x, int y, std::initializer_list<int> box, const std::string& s) {
        std::vector<std::uint8_t> b;
        std::vector<int> head{y, x, static_cast<int>(s.size()), box.size() ? 4 : 0};
        head.insert(head.end(), box.begin(), box.end());
        for (int v : head) b.push_back(static_cast<std::uint8_t>(v & 0xFF)), b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        b.insert(b.end(), s.begin(), s.end());
        return raw(0x0A32, b);
    }

    std::vector<std::uint8_t> bytes() const {
        std::vector<std::uint8_t> out;
        auto p16 = [&](unsigned v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
        if (m_isPlaceable) {
            std::vector<unsigned> w{0xCDD7, 0x9AC6, 0};
            for (int v : m_placeable) w.push_back(static_cast<unsigned>(v) & 0xFFFF);
            w.push_back(0), w.push_back(0);
            unsigned sum = 0;
            for (unsigned v : w) sum ^= v, p16(v);
            p16(sum);
        }
        const std::size_t words = 9 + m_body.size() / 2 + 3;
        for (unsigned v : {1u, 9u, 0x300u, static_cast<unsigned>(words & 0xFFFF), static_cast<unsigned>(words >> 16),
                           8u, 0u, 0u, 0u})
            p16(v);
        out.insert(out.end(), m_body.begin(), m_body.end());
        for (unsigned v : {3u, 0u, 0u}) p16(v);  // end record
        return out;
    }

    static int lo(std::uint32_t c) { return static_cast<int>(c & 0xFFFF); }
    static int hi(std::uint32_t c) { return static_cast<int>(c >> 16); }

private:
    void put16(unsigned v) { m_body.push_back(v & 0xFF), m_body.push_back((v >> 8) & 0xFF); }
    void put32(std::uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); }

    std::vector<std::uint8_t> m_body;
    std::vector<int> m_placeable;
    bool m_isPlaceable = false;
};

// A packet with its list, set up the way pictures are read.
struct Picture {
    VectObjectList list;
    VectPacket packet{};
    explicit Picture(int objectLimit = 4095, int pointLimit = 0x8000) {
        VectPacketSetList(&packet, &list);
        packet.objectLimit = objectLimit;
        packet.pointLimit = pointLimit;
        packet.bitDepth = 24;
    }
    int read(const std::vector<std::uint8_t>& bytes, const VectDC* dc = nullptr) {
        return VectWmfRead(dc, bytes.data(), bytes.size(), &packet);
    }
    const VectObject& at(std::size_t i) const { return *list.at(i); }
    plastora::Point point(std::size_t object, std::size_t unit) const {
        return VectObject::unpackPoint(list.at(object)->data.at(unit));
    }
};

// An object made by hand.
inline std::unique_ptr<VectObject> shape(std::int16_t kind, std::int32_t fill, std::int32_t pen,
                                         std::initializer_list<std::pair<int, int>> pts) {
    auto o = std::make_unique<VectObject>();
    o->kind = kind;
    o->fillColor = fill;
    o->penColor = pen;
    std::vector<std::uint32_t> units;
    int l = 32767, t = 32767, r = -32767, b = -32767;
    for (auto [x, y] : pts) {
        units.push_back(VectObject::packPoint(x, y));
        l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
    }
    if (kind == kVectRectangle || kind == kVectEllipse) units.resize(4, 0);
    o->setUnits(std::move(units));
    o->left = static_cast<std::int16_t>(l), o->top = static_cast<std::int16_t>(t);
    o->right = static_cast<std::int16_t>(r), o->bottom = static_cast<std::int16_t>(b);
    return o;
}

// Adds an object and grows the packet's extent as a read would.
inline void add(Picture& p, std::unique_ptr<VectObject> o) {
    if (p.list.empty()) {
        p.packet.left = p.packet.top = 32767;
        p.packet.right = p.packet.bottom = -32767;
    }
    p.packet.left = std::min(p.packet.left, o->left);
    p.packet.top = std::min(p.packet.top, o->top);
    p.packet.right = std::max(p.packet.right, o->right);
    p.packet.bottom = std::max(p.packet.bottom, o->bottom);
    p.list.append(std::move(o));
}

inline std::string dataFile(const std::string& name) {
    return std::string(PLASTORA_SOURCE_DIR) + "/tests/linewisp/data/" + name;
}

}  // namespace lwtest

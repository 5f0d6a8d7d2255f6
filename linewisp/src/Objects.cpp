// The object record and the list services: release, deep copy, recolouring
// (with hole splicing), text objects.
#include "Internal.h"

#include <cstring>
#include <limits>
#include <new>

namespace linewisp {

void growExtent(VectPacket& packet, int left, int top, int right, int bottom) {
    packet.left = clamp16(std::min<int>(packet.left, std::min(left, right)));
    packet.top = clamp16(std::min<int>(packet.top, std::min(top, bottom)));
    packet.right = clamp16(std::max<int>(packet.right, std::max(left, right)));
    packet.bottom = clamp16(std::max<int>(packet.bottom, std::max(top, bottom)));
}

namespace {

constexpr std::size_t kMaxUnits = std::numeric_limits<std::uint16_t>::max();

std::vector<Point> pointsOf(const VectObject& o, std::size_t first, std::size_t count) {
    std::vector<Point> pts;
    pts.reserve(count);
    for (std::size_t i = first; i < first + count && i < o.data.size(); ++i)
        pts.push_back(VectObject::unpackPoint(o.data[i]));
    return pts;
}

long long dist2(Point a, Point b) {
    const long long dx = a.x - b.x, dy = a.y - b.y;
    return dx * dx + dy * dy;
}

// Index of the point of [first, first + count) nearest to p among those
// above it; the nearest of all when none lies above. -1 when empty.
long long nearestAbove(const VectObject& parent, std::size_t first, std::size_t count, Point p) {
    long long best = -1, bestAll = -1;
    long long bestD = 0, bestAllD = 0;
    for (std::size_t i = first; i < first + count && i < parent.data.size(); ++i) {
        const Point q = VectObject::unpackPoint(parent.data[i]);
        const long long d = dist2(p, q);
        if (q.y < p.y && (best < 0 || d < bestD)) {
            best = static_cast<long long>(i);
            bestD = d;
        }
        if (bestAll < 0 || d < bestAllD) {
            bestAll = static_cast<long long>(i);
            bestAllD = d;
        }
    }
    return best >= 0 ? best : bestAll;
}

// Runs the parent's outline round the object as a hole: after the parent's
// point nearest to the object's first point, the object's points follow in
// reverse order and then that parent point again, so the outline leaves and
// rejoins the parent along the same bridge. An object whose outline is not
// closed is closed first (its first point repeated at its end): otherwise the bridge and the
// hole's missing edge would cut a sliver out of the parent.
bool spliceHole(VectObject& parent, const VectObject& hole) {
    if (hole.kind != kVectPolygon || hole.data.empty()) return false;
    std::vector<Point> holePts = pointsOf(hole, 0, hole.data.size());
    if (!(holePts.front() == holePts.back())) holePts.push_back(holePts.front());
    const std::size_t grow = holePts.size() + 1;
    if (parent.data.size() + grow > kMaxUnits) return false;

    std::size_t pointsFrom = 0;
    std::size_t pointCount = parent.data.size();
    std::size_t member = 0;
    if (parent.kind == kVectPolyPolygon) {
        if (parent.data.empty()) return false;
        const std::size_t n = parent.data[0];
        if (1 + n > parent.data.size()) return false;
        pointsFrom = 1 + n;
        pointCount = parent.data.size() - pointsFrom;
    } else if (parent.kind != kVectPolygon) {
        return false;
    }
    const long long k = nearestAbove(parent, pointsFrom, pointCount, VectObject::unpackPoint(hole.data.front()));
    if (k < 0) return false;

    if (parent.kind == kVectPolyPolygon) {
        // Which member polygon holds point k: its count grows too.
        std::size_t at = pointsFrom;
        const std::size_t n = parent.data[0];
        for (member = 0; member < n; ++member) {
            at += parent.data[1 + member];
            if (static_cast<std::size_t>(k) < at) break;
        }
        if (member == n) return false;
    }

    std::vector<std::uint32_t> insert;
    insert.reserve(grow);
    for (auto it = holePts.rbegin(); it != holePts.rend(); ++it) insert.push_back(VectObject::packPoint(it->x, it->y));
    insert.push_back(parent.data[static_cast<std::size_t>(k)]);
    std::vector<std::uint32_t> units = parent.data;
    units.insert(units.begin() + k + 1, insert.begin(), insert.end());
    if (parent.kind == kVectPolyPolygon) units[1 + member] += static_cast<std::uint32_t>(grow);
    return parent.setUnits(std::move(units));
}

}  // namespace
}  // namespace linewisp

using namespace linewisp;

VectObject::~VectObject() = default;

bool VectObject::setUnits(std::vector<std::uint32_t> units) {
    if (units.size() > kMaxUnits) return false;
    data = std::move(units);
    unitCount = static_cast<std::uint16_t>(data.size());
    return true;
}

std::uint32_t VectObject::packPoint(int x, int y) {
    return (static_cast<std::uint32_t>(static_cast<std::uint16_t>(clamp16(x)))) |
           (static_cast<std::uint32_t>(static_cast<std::uint16_t>(clamp16(y))) << 16);
}

plastora::Point VectObject::unpackPoint(std::uint32_t unit) {
    return {static_cast<std::int16_t>(unit & 0xFFFF), static_cast<std::int16_t>(unit >> 16)};
}

std::string VectObject::faceName() const {
    if (kind != kVectText) return {};
    const auto* bytes = reinterpret_cast<const char*>(data.data());
    const std::size_t n = std::min(kVectFaceNameBytes, data.size() * 4);
    return std::string(bytes, strnlen(bytes, n));
}

std::string VectObject::text() const {
    if (kind != kVectText || data.size() * 4 <= kVectFaceNameBytes) return {};
    const auto* bytes = reinterpret_cast<const char*>(data.data()) + kVectFaceNameBytes;
    return std::string(bytes, strnlen(bytes, data.size() * 4 - kVectFaceNameBytes));
}

void VectRelease(VectObjectList* list, VectPacket* packet) {
    if (packet) {
        for (auto& b : packet->sourceBuffer) {
            releaseHandle(b);
            b = 0;
        }
    }
    if (list) list->clear();
    if (packet) {
        releaseHandle(packet->sourceDC);
        releaseHandle(packet->sourceBitmap);
        packet->sourceDC = 0;
        packet->sourceBitmap = 0;
        packet->sourceState = 0;
    }
}

void VectCoplyList(const VectObjectList* from, VectObjectList* to) {
    if (!from || !to || from == to) return;
    for (std::size_t i = 0; i < from->size(); ++i) {
        std::unique_ptr<VectObject> copy(new (std::nothrow) VectObject(*from->at(i)));
        if (!copy) return;
        to->append(std::move(copy));
    }
}

void VectSetColor(short mode, short index, std::uint32_t colour, std::uint32_t penColour, VectObjectList* list) {
    if (!list || index < 1 || static_cast<std::size_t>(index) > list->size()) return;
    VectObject& o = *list->at(static_cast<std::size_t>(index) - 1);
    if (mode == 2) {
        o.fillColor = kVectNoColor;
        return;
    }
    if (mode == 3) {
        int parent = o.parent;
        int self = index;
        for (int level = 0; level < 4; ++level) {
            if (parent < 1 || static_cast<std::size_t>(parent) > list->size() || parent == self) break;
            VectObject& p = *list->at(static_cast<std::size_t>(parent) - 1);
            spliceHole(p, o);
            self = parent;
            parent = p.parent;
        }
        o.fillColor = kVectNoColor;
        return;
    }
    o.fillColor = static_cast<std::int32_t>(colour);
    if (colour != 0xFFFFFFFFu && penColour != 0xFFFFFFFFu) o.penColor = static_cast<std::int32_t>(penColour);
}

void VectAddText(VectPacket* packet, const plastora::Rect* box, short height, unsigned short fontWord,
                 std::uint32_t colour, short length, const char* data) {
    VectObjectList* list = VectPacketList(packet);
    if (!list || !box || length < 0 || (length > 0 && !data)) return;
    std::unique_ptr<VectObject> o(new (std::nothrow) VectObject);
    if (!o) return;
    o->kind = kVectText;
    o->penColor = kVectNoColor;
    o->fillColor = static_cast<std::int32_t>(colour);
    o->brushCode = height;
    o->extra = fontWord;
    o->left = clamp16(box->left);
    o->top = clamp16(box->top);
    o->right = clamp16(box->right);
    o->bottom = clamp16(box->bottom);
    std::vector<std::uint32_t> units(static_cast<std::size_t>(length) / 4 + 1, 0);
    if (length > 0) std::memcpy(units.data(), data, static_cast<std::size_t>(length));
    if (!o->setUnits(std::move(units))) return;
    growExtent(*packet, o->left, o->top, o->right, o->bottom);
    list->append(std::move(o));
}

#include "core/UndoHistory.h"

#include "core/StereoWorkspace.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace plastora {

namespace {

// A mask's state: one bit a pixel when it holds only black and white (what
// every tool leaves), else the whole picture.
class MaskState {
public:
    bool take(const Surface& mask) {
        m_full.reset();
        m_bits.clear();
        m_width = mask.width();
        m_height = mask.height();
        const std::size_t n = static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
        const Pixel* p = mask.bits();
        bool binary = true;
        for (std::size_t i = 0; i < n && binary; ++i) binary = p[i] == kBlack || p[i] == kWhite;
        if (!binary) return m_full.createCopy(mask);
        try {
            m_bits.assign((n + 63) / 64, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (std::size_t i = 0; i < n; ++i)
            if (p[i] == kWhite) m_bits[i / 64] |= std::uint64_t{1} << (i % 64);
        return true;
    }

    // Writes the state into `mask`, which must have the state's size.
    bool restore(Surface& mask) const {
        if (mask.width() != m_width || mask.height() != m_height) return false;
        if (!m_full.empty()) {
            blit(mask, m_full, Rop::Copy);
            return true;
        }
        const std::size_t n = static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
        Pixel* p = mask.bits();
        for (std::size_t i = 0; i < n; ++i) p[i] = (m_bits[i / 64] >> (i % 64)) & 1u ? kWhite : kBlack;
        return true;
    }

    std::size_t bytes() const {
        return m_bits.size() * sizeof(std::uint64_t) +
               static_cast<std::size_t>(m_full.width()) * static_cast<std::size_t>(m_full.height()) * sizeof(Pixel);
    }

private:
    int m_width = 0, m_height = 0;
    std::vector<std::uint64_t> m_bits;
    Surface m_full;
};

std::size_t surfaceBytes(const Surface& s) {
    return static_cast<std::size_t>(s.width()) * static_cast<std::size_t>(s.height()) * sizeof(Pixel);
}

}  // namespace

struct UndoHistory::Step {
    UndoInfo info;
    MaskState mask;                              // kind 1; kind 2: the paint mask
    Surface a;                                   // kind 2: the paint layer; kind 5: bitmap
    std::vector<ObjectEntry> entries;            // kind 3
    std::shared_ptr<OverlayObject> object;       // kinds 4 and 5
    OverlayObject record;                        // kind 4
    std::size_t bytes = 0;

    void count() {
        bytes = sizeof(Step) + mask.bytes() + surfaceBytes(a) + entries.size() * sizeof(ObjectEntry) +
                record.text.capacity() + record.face.capacity();
        for (const OutlinePolygon& p : record.outlines) bytes += sizeof p + p.points.capacity() * sizeof(Point);
    }
};

UndoHistory::UndoHistory(std::size_t maxSteps, std::size_t maxBytes) : m_maxSteps(maxSteps), m_maxBytes(maxBytes) {}

UndoHistory::~UndoHistory() = default;

void UndoHistory::setLimits(std::size_t maxSteps, std::size_t maxBytes) {
    m_maxSteps = std::max<std::size_t>(1, maxSteps);
    m_maxBytes = maxBytes;
    trim();
}

void UndoHistory::clear() {
    m_undo.clear();
    m_redo.clear();
    m_bytes = 0;
}

void UndoHistory::recount() {
    m_bytes = 0;
    for (const auto& s : m_undo) m_bytes += s->bytes;
    for (const auto& s : m_redo) m_bytes += s->bytes;
}

void UndoHistory::trim() {
    recount();
    // The newest step stays whatever it costs: one undo is always there.
    while (m_undo.size() > 1 && (m_undo.size() + m_redo.size() > m_maxSteps || m_bytes > m_maxBytes)) {
        m_bytes -= m_undo.front()->bytes;
        m_undo.pop_front();
    }
}

UndoInfo UndoHistory::nextUndo() const { return m_undo.empty() ? UndoInfo{} : m_undo.back()->info; }
UndoInfo UndoHistory::nextRedo() const { return m_redo.empty() ? UndoInfo{} : m_redo.back()->info; }

bool UndoHistory::record(CStereoWorkspace& ws, int kind) {
    std::unique_ptr<Step> step;
    try {
        step = std::make_unique<Step>();
    } catch (const std::bad_alloc&) {
        return false;
    }
    step->info = UndoInfo{kind, -1, ws.tool()};
    const int current = ws.currentObject();
    const bool hasObject = current >= 0 && current < ws.objectCount() && ws.objectEntry(current).object;
    bool ok = false;
    switch (kind) {
    case kUndoRegionMask:
        if (ws.currentRegion() < ws.regionCount()) {
            step->info.region = ws.currentRegion();
            ok = step->mask.take(ws.region(ws.currentRegion()).mask);
        }
        break;
    case kUndoPaintLayer:
        // The paint mask is black and white: a bit a pixel, as region masks.
        ok = ws.hasPaintLayer() && step->a.createCopy(ws.paintLayer()) && step->mask.take(ws.paintMask());
        break;
    case kUndoObjectOrder:
    case kUndoObjectAdd:
        step->entries.assign(ws.m_objects.begin(), ws.m_objects.begin() + ws.m_objectCount);
        ok = true;
        break;
    case kUndoObjectRecord:
        if (hasObject) {
            step->object = ws.objectEntry(current).object;
            // The outlines stay with the object: no step changes them.
            step->record.copyRecord(*step->object, false);
            ok = true;
        }
        break;
    case kUndoObjectBitmap:
        if (hasObject) {
            step->object = ws.objectEntry(current).object;
            ok = step->a.createCopy(step->object->picture);
        }
        break;
    default:
        break;
    }
    if (!ok) return false;
    step->count();
    m_redo.clear();
    m_undo.push_back(std::move(step));
    trim();
    return true;
}

bool UndoHistory::exchange(CStereoWorkspace& ws, Step& step) {
    // An object step belongs to an object still in the table.
    int objectIndex = -1;
    if (step.object)
        for (int i = 0; i < ws.objectCount(); ++i)
            if (ws.objectEntry(i).object == step.object) objectIndex = i;
    switch (step.info.kind) {
    case kUndoRegionMask: {
        const int r = step.info.region;
        if (r < 0 || r >= ws.regionCount()) return false;
        Surface& mask = ws.region(r).mask;
        MaskState now;
        if (!now.take(mask) || !step.mask.restore(mask)) return false;
        step.mask = std::move(now);
        break;
    }
    case kUndoPaintLayer: {
        if (!ws.hasPaintLayer() || ws.paintLayer().width() != step.a.width() ||
            ws.paintLayer().height() != step.a.height())
            return false;
        MaskState now;
        if (!now.take(ws.m_paintMask) || !step.mask.restore(ws.m_paintMask)) return false;
        std::swap(ws.m_paint, step.a);
        step.mask = std::move(now);
        break;
    }
    case kUndoObjectOrder:
    case kUndoObjectAdd: {
        // The selected object stays selected where it goes.
        const int cur = ws.m_currentObject;
        const std::shared_ptr<OverlayObject> selected =
            cur >= 0 && cur < ws.m_objectCount ? ws.objectEntry(cur).object : nullptr;
        std::vector<ObjectEntry> now(ws.m_objects.begin(), ws.m_objects.begin() + ws.m_objectCount);
        const int count = static_cast<int>(std::min<std::size_t>(step.entries.size(), kMaxObjects));
        for (int i = 0; i < kObjectSlots; ++i)
            ws.m_objects[static_cast<std::size_t>(i)] = i < count ? step.entries[static_cast<std::size_t>(i)] : ObjectEntry{};
        ws.m_objectCount = count;
        step.entries = std::move(now);
        ws.m_currentObject = -1;
        for (int i = 0; i < count && selected; ++i)
            if (ws.objectEntry(i).object == selected) ws.m_currentObject = i;
        break;
    }
    case kUndoObjectRecord: {
        if (objectIndex < 0) return false;
        OverlayObject now;
        now.copyRecord(*step.object, false);
        step.object->copyRecord(step.record, false);
        step.record.copyRecord(now, false);
        break;
    }
    case kUndoObjectBitmap:
        if (objectIndex < 0) return false;
        std::swap(step.object->picture, step.a);
        break;
    default:
        return false;
    }
    step.count();
    return true;
}

bool UndoHistory::undo(CStereoWorkspace& ws) {
    if (m_undo.empty()) return false;
    std::unique_ptr<Step> step = std::move(m_undo.back());
    m_undo.pop_back();
    const bool ok = exchange(ws, *step);
    if (ok) m_redo.push_back(std::move(step));
    recount();
    return ok;
}

bool UndoHistory::redo(CStereoWorkspace& ws) {
    if (m_redo.empty()) return false;
    std::unique_ptr<Step> step = std::move(m_redo.back());
    m_redo.pop_back();
    const bool ok = exchange(ws, *step);
    if (ok) m_undo.push_back(std::move(step));
    recount();
    return ok;
}

}  // namespace plastora

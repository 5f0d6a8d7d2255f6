// Cutout region commands: add, delete, switch, masking, order and export.
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "layers/DepthEditor.h"
#include "layers/ViewSynthesis.h"

#include <algorithm>
#include <utility>

namespace plastora {

namespace {

constexpr const char* kTooManyRegions = "これ以上切出し領域は追加できません";
constexpr const char* kAskAddSwitchMasking =
    "切出し領域を追加します。現在表示中の切出し領域をマスキング用のマスクに切り換えますか？";
constexpr const char* kAskAdd = "切出し領域を追加しますか？";
constexpr const char* kAskDelete = "表示中の切出し領域を削除しますか？";
constexpr const char* kAskMaskingMask = "現在表示中の切出し領域をマスキング用のマスクに設定しますか？";
constexpr const char* kExportFilter = "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp||";
constexpr const char* kExportEmpty = "切出し領域が描かれていないため、保存できません。";

}  // namespace

bool CStereoWorkspace::AddRegion() {
    if (m_regionCount >= kMaxRegions) {
        m_host.message(kTooManyRegions, MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    if (m_currentRegion != m_maskingIndex) {
        switch (m_host.message(kAskAddSwitchMasking, MsgButtons::YesNoCancel, MsgIcon::Question)) {
        case MsgResult::Cancel: return false;
        case MsgResult::Yes: m_maskingIndex = m_currentRegion; break;
        default: break;
        }
    } else if (m_host.message(kAskAdd, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) {
        return false;
    }
    // Half as deep again as the first region, within the depths a project
    // stores (16 would give 24, which the next opening cuts back to 16).
    const int depth =
        m_regionCount > 0 ? std::clamp(region(0).depth * 3 / 2, kDepthMin, kDepthMax) : foregroundDepth;
    if (!appendRegion(depth)) {
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    m_currentRegion = m_regionCount - 1;
    if (m_tool != kToolPen) m_tool = kToolPen;
    m_modified = true;
    Redraw();
    return true;
}

bool CStereoWorkspace::DeleteRegion() {
    if (m_regionCount <= 0) return false;
    if (m_host.message(kAskDelete, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) return false;
    const int deleted = m_currentRegion;
    const int masking = m_maskingIndex;
    removeRegion(deleted);
    // The masking mask keeps naming the same region.
    if (masking == deleted) m_maskingIndex = 0;
    else if (masking > deleted) m_maskingIndex = masking - 1;
    else m_maskingIndex = masking;
    m_currentRegion = 0;
    // An undo snapshot of a region mask may name a region that moved.
    ClearUndo();
    m_modified = true;
    Redraw();
    return true;
}

void CStereoWorkspace::SwitchRegion() {
    if (m_regionCount < 2) {
        AddRegion();
        return;
    }
    m_currentRegion = (m_currentRegion + 1) % m_regionCount;
    Redraw();
}

bool CStereoWorkspace::SetMaskingMask() {
    if (m_host.message(kAskMaskingMask, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) return false;
    m_maskingIndex = m_currentRegion;
    m_maskingOn = true;
    Redraw();
    return true;
}

void CStereoWorkspace::ToggleMasking() {
    m_maskingOn = !m_maskingOn;
    Redraw();
}

Rect CStereoWorkspace::regionBounds(int index) const {
    const CutoutRegion& r = region(index);
    if (!r.insideBounds) r.insideBounds = maskBounds(r.mask);
    return *r.insideBounds;
}

void CStereoWorkspace::MoveRegionInOrder(int target) {
    if (m_regionCount <= 0) return;
    target = std::clamp(target, 0, m_regionCount - 1);
    int i = m_currentRegion;
    const bool wasMasking = m_maskingIndex == i;
    while (i != target) {
        const int j = i < target ? i + 1 : i - 1;
        std::swap(m_regions[static_cast<std::size_t>(i)], m_regions[static_cast<std::size_t>(j)]);
        // A region stepped over moves one place the other way; the masking
        // index follows the region it names.
        if (!wasMasking && m_maskingIndex == j) m_maskingIndex = i;
        i = j;
    }
    m_currentRegion = target;
    if (wasMasking) m_maskingIndex = target;
    ClearUndo();
    m_modified = true;
    Redraw();
}

void CStereoWorkspace::ReorderRegionsByDepth() {
    bool moved = false;
    for (int k = 0; k + 1 < m_regionCount;) {
        if (m_regions[static_cast<std::size_t>(k + 1)].depth < m_regions[static_cast<std::size_t>(k)].depth) {
            moved = true;
            std::swap(m_regions[static_cast<std::size_t>(k)], m_regions[static_cast<std::size_t>(k + 1)]);
            if (m_maskingIndex == k) m_maskingIndex = k + 1;
            else if (m_maskingIndex == k + 1) m_maskingIndex = k;
            k = 0;
        } else {
            ++k;
        }
    }
    // Steps name regions by their place in the table.
    if (moved) ClearUndo();
}

int CStereoWorkspace::ExportRegion(const std::string& pathIn) {
    if (m_currentRegion >= m_regionCount) return 0;
    const Surface& mask = std::as_const(*this).region(m_currentRegion).mask;
    // An empty mask has no bounding box: say so rather than write nothing.
    const Rect box = regionBounds(m_currentRegion);
    if (box.width() <= 0) {
        m_host.message(kExportEmpty, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    std::string path = pathIn;
    if (path.empty()) {
        auto chosen = m_host.askSavePath("bmp", kExportFilter);
        if (!chosen) return 0;
        path = *chosen;
    }
    const int w = box.width(), h = box.height();
    Surface picture, cut, cutMask;
    if (!picture.create(w, h) || !cut.create(w, h) || !cutMask.create(w, h)) {
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    // The photo inside the mask, the mask colour outside it.
    fillRect(picture, Rect{0, 0, w, h}, m_settings.maskColour);
    blit(cut, 0, 0, w, h, &m_source, box.left, box.top, Rop::Copy);
    blit(cutMask, 0, 0, w, h, &mask, box.left, box.top, Rop::Copy);
    copyThroughMask(picture, cut, cutMask);
    return SaveStillImage(m_host, picture, w, h, path, m_settings.jpegQuality);
}

}  // namespace plastora

#include "layers/DepthEditor.h"

#include "core/Settings.h"

#include <cstdint>

namespace plastora {

const char* const kDepthRangeMessage = "遠近値の設定が範囲(-16～16)を越えています";
const char* const kDepthOrderQuestion =
    "切出し領域の並び順と遠近設定値の大きさに矛盾があります。\n並び順を遠近設定に合わせて変更しますか？";

DepthEditor::DepthEditor(CStereoWorkspace& ws) : m_ws(ws) {
    for (int i = 0; i < ws.regionCount(); ++i) m_regionDepths.push_back(ws.region(i).depth);
    for (int i = 0; i < ws.objectCount(); ++i) {
        const auto& obj = ws.objectEntry(i).object;
        m_objectDepths.push_back(obj ? obj->depth : 0);
        m_objectShadows.push_back(obj && obj->shadow != 0);
    }
    m_currentRegion = 0;
    regionButtonEnabled = ws.regionCount() > 1;
    objectButtonEnabled = ws.objectCount() > 0;
    m_currentObject = ws.currentObject() < ws.objectCount() ? ws.currentObject() : -1;
    if (m_currentObject >= 0) showObject();

    background = ws.backgroundDepth;
    sharp = background >= kSharpBackground;
    regionField = m_regionDepths.empty() ? 0 : m_regionDepths[0];
    paintField = ws.paintDepth;
    paintShadow = ws.paintShadow != 0;
    if (ws.stereoPair()) {
        backgroundEnabled = false;
        regionFieldEnabled = false;
        regionShadowEnabled = false;
    } else {
        // Region 0 is current. A document made from a depth map draws its
        // regions into the map, where no shadow can go under them: the box
        // is neither offered nor shown ticked.
        regionShadow = ws.regionShadow != 0 && !ws.hasDepthMap();
        regionShadowEnabled = !ws.hasDepthMap();
    }
    if (ws.regionCount() > 0) ws.setCurrentRegion(0);
}

bool DepthEditor::objectEditable(int index) const {
    if (index < 0 || index >= m_ws.objectCount()) return false;
    const ObjectEntry& e = m_ws.objectEntry(index);
    return !(e.type == kObjectText && e.object && (e.object->flags & kTextFlat));
}

void DepthEditor::showObject() {
    const auto i = static_cast<std::size_t>(m_currentObject);
    objectField = m_objectDepths[i];
    objectShadow = m_objectShadows[i];
    // Text kept flat is shown but its depth and shadow are not edited here.
    objectFieldEnabled = objectEditable(m_currentObject);
}

void DepthEditor::setSharp(bool ticked) {
    sharp = ticked;
    if (ticked && background < kSharpBackground) background = kSharpBackground;
    else if (!ticked && background >= kSharpBackground) background = -16;
}

void DepthEditor::selectRegion(int index) {
    m_currentRegion = index;
    regionField = m_regionDepths[static_cast<std::size_t>(index)];
    regionShadowEnabled = index == 0 && !m_ws.stereoPair() && !m_ws.hasDepthMap();
    m_ws.setCurrentRegion(index);
    m_ws.Redraw();  // the highlighted area follows the current region
}

DepthField DepthEditor::nextRegion() {
    if (m_regionDepths.empty()) return DepthField::None;
    if (!inRange(regionField)) {
        m_ws.host().message(kDepthRangeMessage, MsgButtons::Ok, MsgIcon::Warning);
        return DepthField::Region;
    }
    m_regionDepths[static_cast<std::size_t>(m_currentRegion)] = regionField;
    selectRegion((m_currentRegion + 1) % static_cast<int>(m_regionDepths.size()));
    return DepthField::None;
}

DepthField DepthEditor::nextObject() {
    if (m_objectDepths.empty()) return DepthField::None;
    if (m_currentObject >= 0 && objectEditable(m_currentObject)) {
        if (!inRange(objectField)) {
            m_ws.host().message(kDepthRangeMessage, MsgButtons::Ok, MsgIcon::Warning);
            return DepthField::Object;
        }
        m_objectDepths[static_cast<std::size_t>(m_currentObject)] = objectField;
        m_objectShadows[static_cast<std::size_t>(m_currentObject)] = objectShadow;
    } else {
        objectFieldEnabled = true;
    }
    m_currentObject = (m_currentObject + 1) % static_cast<int>(m_objectDepths.size());
    showObject();
    m_ws.Redraw();
    return DepthField::None;
}

void DepthEditor::resetToStandard() {
    const Settings s(m_ws.settingsPath());
    background = s.getInt(SettingKey::StereoBackGround, Fallback::Alternative);
    sharp = background >= kSharpBackground;
    const int f = s.getInt(SettingKey::StereoForeGround, Fallback::Alternative);
    const int c = static_cast<int>(m_regionDepths.size());
    if (c == 1) {
        m_regionDepths[0] = f;
    } else {
        // In 64 bits: the setting may hold any int; i / (c - 1) <= 1 keeps the
        // result within int.
        for (int i = 0; i < c; ++i)
            m_regionDepths[static_cast<std::size_t>(i)] = static_cast<int>(std::int64_t{i} * f / (c - 1));
    }
    paintField = s.getInt(SettingKey::StereoPaint, Fallback::Alternative);
    regionShadow = false;
    paintShadow = false;
    for (std::size_t i = 0; i < m_objectDepths.size(); ++i) {
        m_objectDepths[i] = paintField;
        m_objectShadows[i] = false;
    }
    if (m_currentObject >= 0) {
        objectField = paintField;
        objectShadow = false;
    }
    if (c > 0) regionField = m_regionDepths[static_cast<std::size_t>(m_currentRegion)];
}

bool DepthEditor::accept(DepthField& focus) {
    focus = DepthField::None;
    const auto fail = [&](DepthField f) {
        m_ws.host().message(kDepthRangeMessage, MsgButtons::Ok, MsgIcon::Warning);
        focus = f;
        return false;
    };
    if (!inRange(background)) return fail(DepthField::Background);
    if (!m_regionDepths.empty() && !inRange(regionField)) return fail(DepthField::Region);
    if (!inRange(paintField)) return fail(DepthField::Paint);
    if (!m_objectDepths.empty() && m_currentObject >= 0 && !inRange(objectField)) return fail(DepthField::Object);

    if (!m_regionDepths.empty()) m_regionDepths[static_cast<std::size_t>(m_currentRegion)] = regionField;

    // The regions are drawn in table order, so depths must not decrease along it.
    for (std::size_t j = 0; j + 1 < m_regionDepths.size(); ++j) {
        if (m_regionDepths[j + 1] >= m_regionDepths[j]) continue;
        selectRegion(static_cast<int>(j));
        const MsgResult r = m_ws.host().message(kDepthOrderQuestion, MsgButtons::YesNoCancel, MsgIcon::Question);
        if (r == MsgResult::Cancel) {
            focus = DepthField::Region;
            return false;
        }
        if (r == MsgResult::Yes) {
            for (std::size_t i = 0; i < m_regionDepths.size(); ++i)
                m_ws.region(static_cast<int>(i)).depth = m_regionDepths[i];
            m_ws.ReorderRegionsByDepth();
            for (std::size_t i = 0; i < m_regionDepths.size(); ++i)
                m_regionDepths[i] = m_ws.region(static_cast<int>(i)).depth;
        }
        break;
    }

    m_ws.backgroundDepth = background;
    m_ws.paintDepth = paintField;
    m_ws.regionShadow = regionShadow ? 1 : 0;
    m_ws.paintShadow = paintShadow ? 1 : 0;
    for (std::size_t i = 0; i < m_regionDepths.size(); ++i) m_ws.region(static_cast<int>(i)).depth = m_regionDepths[i];
    if (m_currentObject >= 0 && objectEditable(m_currentObject)) {
        m_objectDepths[static_cast<std::size_t>(m_currentObject)] = objectField;
        m_objectShadows[static_cast<std::size_t>(m_currentObject)] = objectShadow;
    }
    bool objectsChanged = false;
    for (std::size_t i = 0; i < m_objectDepths.size(); ++i) {
        auto& obj = m_ws.objectEntry(static_cast<int>(i)).object;
        if (!obj) continue;
        const int shadow = m_objectShadows[i] ? 1 : 0;
        objectsChanged = objectsChanged || obj->depth != m_objectDepths[i] || obj->shadow != shadow;
        obj->depth = m_objectDepths[i];
        obj->shadow = shadow;
    }
    // An undo step of an object (a move, a resize) holds its whole record,
    // depth and shadow included: undone after this it would take the new
    // depth back with it.
    if (objectsChanged) m_ws.ClearUndo();
    m_ws.setModified(true);
    return true;
}

}  // namespace plastora

// The painting tools: pen, eraser and fill on the current region's mask in
// mask editing and on the paint layer in image editing, the zoom, the outline
// display, the paint colour and the right-button menu.
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"

#include <algorithm>

namespace plastora {

namespace {

constexpr ColorRef kWhiteColour = RGB(255, 255, 255);
constexpr ColorRef kBlackColour = RGB(0, 0, 0);
// Black means "no stroke" in the paint layer, so black paint is stored as
// the nearest colour that is not black.
constexpr ColorRef kPaintBlack = RGB(1, 1, 1);

// The rectangle a pen of `width` touches when drawing from a to b, clipped
// to w x h.
Rect strokeBounds(Point a, Point b, int width, int w, int h) {
    const int r = width / 2 + 2;
    Rect box{std::min(a.x, b.x) - r, std::min(a.y, b.y) - r, std::max(a.x, b.x) + r + 1, std::max(a.y, b.y) + r + 1};
    box.left = std::clamp(box.left, 0, w);
    box.top = std::clamp(box.top, 0, h);
    box.right = std::clamp(box.right, 0, w);
    box.bottom = std::clamp(box.bottom, 0, h);
    return box;
}

// mask = (mask AND masking) OR snapshot within `r`: new white pixels stay only
// inside the masking region, and what was white before the stroke stays.
void applyMaskingRule(Surface& mask, const Surface& masking, const Surface& snapshot, const Rect& r) {
    if (r.width() <= 0 || r.height() <= 0) return;
    blit(mask, r.left, r.top, r.width(), r.height(), &masking, r.left, r.top, Rop::And);
    blit(mask, r.left, r.top, r.width(), r.height(), &snapshot, r.left, r.top, Rop::Or);
}

bool isWhite(const Surface& s, Point p) { return s.getPixel(p.x, p.y) == kWhiteColour; }
bool isBlack(const Surface& s, Point p) { return s.getPixel(p.x, p.y) == kBlackColour; }

}  // namespace

// ---- pens and settings ----------------------------------------------------------

Pen CStereoWorkspace::maskPen() const { return Pen{m_settings.maskWidth, kWhiteColour}; }
Pen CStereoWorkspace::eraserPen() const { return Pen{m_settings.maskWidth, kBlackColour}; }
Pen CStereoWorkspace::paintPen() const {
    const ColorRef c = m_settings.editColour & 0x00FFFFFFu;
    return Pen{m_settings.editWidth, c == kBlackColour ? kPaintBlack : c};
}
Pen CStereoWorkspace::paintMaskPen() const { return Pen{m_settings.editWidth, kWhiteColour}; }

// ---- tools --------------------------------------------------------------------------

bool CStereoWorkspace::SelectTool(int tool) {
    const bool leavingOutline = m_tool == kToolOutline && tool != kToolOutline;
    switch (tool) {
    case kToolPen:
        if (m_mode == kModeImage && !hasPaintLayer() && m_width > 0 && !ensurePaintLayer()) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
        m_tool = kToolPen;
        break;
    case kToolEraser:
    case kToolFill:
        m_tool = tool;
        break;
    case kToolMove:
        m_tool = kToolMove;
        m_zoom = 1;
        m_host.redraw();
        break;
    case kToolOutline:
        m_tool = kToolOutline;
        Redraw();  // builds the outline list
        return true;
    default:
        m_tool = kToolNone;
        break;
    }
    if (leavingOutline) Redraw();
    return true;
}

void CStereoWorkspace::ZoomTool() {
    m_zoom = m_zoom >= 8 ? 1 : std::max(1, m_zoom) * 2;
    m_host.redraw();
}

bool CStereoWorkspace::ChooseColour() {
    const std::optional<ColorRef> chosen = m_host.chooseColor(m_settings.editColour);
    if (!chosen) return false;
    m_settings.editColour = *chosen & 0x00FFFFFFu;
    Redraw();
    if (const Settings stored(m_settingsPath);
        !stored.setInt(SettingKey::EditColor, static_cast<int>(m_settings.editColour)) && stored.writable())
        m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    return true;
}

// ---- mouse ----------------------------------------------------------------------------

Point CStereoWorkspace::windowToImage(Point window) const {
    const int zoom = std::max(1, m_zoom);
    // Integer division, as the view's pixels map onto image pixels.
    return {(window.x + m_scrollX) / zoom, (window.y + m_scrollY) / zoom};
}

void CStereoWorkspace::LButtonDown(Point window) {
    // While a face detection's result is shown, clicks edit its face list.
    if (FaceClick(window)) return;
    const Point p = windowToImage(window);
    m_strokeMode = m_mode;
    m_strokeRegion = m_currentRegion;
    // Clicks on objects (and every click of the move tool) belong to them.
    if (m_mode == kModeImage && objectButtonDown(p)) return;
    m_buttonDown = true;
    m_last = p;
    if (m_mode == kModeMask) {
        if ((m_tool == kToolPen || m_tool == kToolEraser || m_tool == kToolFill) && m_currentRegion < m_regionCount) {
            // The masking rule needs the snapshot: without it there is no stroke.
            if (!TakeSnapshot(kUndoRegionMask)) {
                m_buttonDown = false;
                m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                return;
            }
            // Rotating the photo would no longer match a mask being painted.
            if (m_tool != kToolFill) m_rotationAllowed = false;
        }
    } else if (m_mode == kModeImage) {
        // The fill is undoable too: without its own snapshot an undo after a
        // fill would take back the stroke before it as well.
        if ((m_tool == kToolPen || m_tool == kToolEraser || m_tool == kToolFill) && hasPaintLayer() &&
            !TakeSnapshot(kUndoPaintLayer)) {
            m_buttonDown = false;
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        }
    }
}

// A stroke whose mode or region changed under it (a command chosen while the
// button was held) ends where it was.
bool CStereoWorkspace::strokeStillHolds() {
    if (m_mode == m_strokeMode && (m_mode != kModeMask || m_currentRegion == m_strokeRegion)) return true;
    EndStroke();
    return false;
}

void CStereoWorkspace::EndStroke() {
    if (!m_buttonDown) return;
    m_buttonDown = false;
    if (m_drag.kind != DragKind::None) finishDrag();
}

void CStereoWorkspace::MouseMove(Point window) {
    if (!m_buttonDown || !strokeStillHolds()) return;
    const Point p = windowToImage(window);
    if (m_drag.kind != DragKind::None) {
        dragObjectTo(p);
        return;
    }
    if (m_tool != kToolPen && m_tool != kToolEraser) return;
    if (m_mode == kModeMask) {
        if (m_currentRegion >= m_regionCount) return;
        Surface& mask = region(m_currentRegion).mask;
        const Pen pen = m_tool == kToolPen ? maskPen() : eraserPen();
        line(mask, pen, m_last, p);
        const Rect r = strokeBounds(m_last, p, pen.width, m_width, m_height);
        if (m_tool == kToolPen && maskingApplies())
            applyMaskingRule(mask, region(m_maskingIndex).mask, m_undoA, r);
    } else if (m_mode == kModeImage) {
        if (!hasPaintLayer()) return;
        if (m_tool == kToolPen) {
            line(m_paint, paintPen(), m_last, p);
            line(m_paintMask, paintMaskPen(), m_last, p);
        } else {
            // The eraser keeps the mask width on the paint layer too.
            line(m_paint, eraserPen(), m_last, p);
            line(m_paintMask, eraserPen(), m_last, p);
        }
    } else {
        return;
    }
    m_last = p;
    m_modified = true;
    Redraw();
}

void CStereoWorkspace::LButtonUp(Point window) {
    if (!m_buttonDown || !strokeStillHolds()) return;
    m_buttonDown = false;
    const Point p = windowToImage(window);
    if (m_drag.kind != DragKind::None) {
        dragObjectTo(p);
        finishDrag();
        return;
    }
    if (m_mode == kModeMask && m_currentRegion < m_regionCount) {
        Surface& mask = region(m_currentRegion).mask;
        const bool masking = maskingApplies();
        switch (m_tool) {
        case kToolPen:
            // Finishes the stroke; a click without movement leaves a dot.
            if (!isWhite(mask, p)) MouseMoveTo(p);
            break;
        case kToolEraser:
            if (!isBlack(mask, p)) MouseMoveTo(p);
            break;
        case kToolFill: {
            if (p.x < 0 || p.y < 0 || p.x >= m_width || p.y >= m_height) break;
            if (masking) {
                // Whitening everything outside the masking region first keeps
                // the fill from running out of it; the masking rule then puts
                // the outside back as it was.
                const Surface& mm = region(m_maskingIndex).mask;
                blit(mask, mm, Rop::MergePaint);
                floodFill(mask, p.x, p.y, mask.getPixel(p.x, p.y), kWhiteColour);
                applyMaskingRule(mask, mm, m_undoA, Rect{0, 0, m_width, m_height});
            } else {
                floodFill(mask, p.x, p.y, mask.getPixel(p.x, p.y), kWhiteColour);
            }
            m_modified = true;
            Redraw();
            break;
        }
        default:
            break;
        }
    } else if (m_mode == kModeImage && hasPaintLayer()) {
        switch (m_tool) {
        case kToolPen:
            if (!isWhite(m_paintMask, p)) MouseMoveTo(p);
            break;
        case kToolEraser:
            if (!isBlack(m_paintMask, p)) MouseMoveTo(p);
            break;
        case kToolFill: {
            if (p.x < 0 || p.y < 0 || p.x >= m_width || p.y >= m_height) break;
            const ColorRef colour = paintPen().color;
            if (isWhite(m_paintMask, p)) {
                // Recolours the stroke under the pointer.
                floodFill(m_paint, p.x, p.y, m_paint.getPixel(p.x, p.y), colour);
            } else {
                floodFill(m_paint, p.x, p.y, kBlackColour, colour);
                floodFill(m_paintMask, p.x, p.y, kBlackColour, kWhiteColour);
            }
            m_modified = true;
            Redraw();
            break;
        }
        default:
            break;
        }
    }
}

// One stroke segment from the last point to `p` (the move step), used by the
// release rules.
void CStereoWorkspace::MouseMoveTo(Point p) {
    const bool down = m_buttonDown;
    m_buttonDown = true;
    const int zoom = std::max(1, m_zoom);
    // MouseMove takes window coordinates: hand it the window point of `p`.
    MouseMove(Point{p.x * zoom - m_scrollX, p.y * zoom - m_scrollY});
    m_buttonDown = down;
}

void CStereoWorkspace::LButtonDblClk(Point window) {
    // A double click edits the text or shape under the pointer.
    if (m_mode != kModeImage) return;
    const int hit = HitTestObject(windowToImage(window));
    if (hit < 0) return;
    m_currentObject = hit;
    EditObject();
}

std::vector<ContextEntry> CStereoWorkspace::RButtonDown(Point window) {
    std::vector<ContextEntry> e;
    // No menu in the middle of dragging an object.
    if ((m_mode != kModeMask && m_mode != kModeImage) || m_drag.kind != DragKind::None) return e;
    if (m_mode == kModeImage) {
        const int hit = HitTestObject(windowToImage(window));
        if (hit >= 0) {
            // The entries act on the current object: the one clicked.
            if (hit != m_currentObject) {
                m_currentObject = hit;
                Redraw();
            }
            const int type = objectEntry(hit).type;
            if (type == kObjectText) e.push_back({"文字編集", "editObject"});
            else if (type == kObjectShape) e.push_back({"図形編集", "editObject"});
            e.push_back({"削除", "objectDelete"});
            if (m_objectCount > 1) {
                e.push_back({"", ""});
                if (hit < m_objectCount - 1) {
                    e.push_back({"最前面へ", "objectTop"});
                    e.push_back({"前面へ", "objectUp"});
                }
                if (hit > 0) {
                    e.push_back({"背面へ", "objectDown"});
                    e.push_back({"最背面へ", "objectBottom"});
                }
            }
            return e;
        }
    }
    if (m_tool != kToolPen) e.push_back({"ﾍﾟﾝﾂｰﾙ", "pen"});
    if (m_tool != kToolEraser) e.push_back({"消しｺﾞﾑﾂｰﾙ", "eraser"});
    if (m_tool != kToolFill) e.push_back({"塗つぶしﾂｰﾙ", "fill"});
    if (m_mode != kModeMask || m_regionCount == 0) return e;
    const int cur = m_currentRegion;
    e.push_back({"", ""});
    if (cur != 0) e.push_back({m_maskingOn ? "ﾏｽｷﾝｸﾞ解除" : "ﾏｽｷﾝｸﾞｾｯﾄ", "masking"});
    e.push_back({"切出し領域追加", "addRegion"});
    if (cur != 0) e.push_back({"切出し領域削除", "deleteRegion"});
    if (m_regionCount > 1) e.push_back({"切出し領域変更", "switchRegion"});
    e.push_back({"ﾏｽｷﾝｸﾞﾏｽｸ設定", "maskingMask"});
    if (cur != 0) {
        e.push_back({"", ""});
        if (cur < m_regionCount - 1) {
            e.push_back({"最前面へ", "regionTop"});
            e.push_back({"前面へ", "regionUp"});
        }
        if (cur > 1) {
            e.push_back({"背面へ", "regionDown"});
            e.push_back({"最背面へ", "regionBottom"});
        }
    }
    return e;
}

ToolCursor CStereoWorkspace::cursor() const {
    if (m_mode != kModeMask && m_mode != kModeImage) return ToolCursor::Arrow;
    switch (m_tool) {
    case kToolPen: return ToolCursor::Pen;
    case kToolEraser: return ToolCursor::Eraser;
    case kToolFill: return ToolCursor::Fill;
    default: return ToolCursor::Arrow;
    }
}

namespace {

ToolCursor dragCursor(DragKind kind) {
    switch (kind) {
    case DragKind::TopLeft:
    case DragKind::BottomRight: return ToolCursor::SizeNWSE;
    case DragKind::TopRight:
    case DragKind::BottomLeft: return ToolCursor::SizeNESW;
    case DragKind::Move: return ToolCursor::Move;
    default: return ToolCursor::Arrow;
    }
}

}  // namespace

ToolCursor CStereoWorkspace::cursorAt(Point window) const {
    if (m_mode != kModeImage || m_tool != kToolMove) return cursor();
    // A drag keeps the cursor it started with.
    if (m_drag.kind != DragKind::None) return dragCursor(m_drag.kind);
    const Point p = windowToImage(window);
    if (const DragKind handle = HandleAt(p); handle != DragKind::None) return dragCursor(handle);
    return HitTestObject(p) >= 0 ? ToolCursor::Move : ToolCursor::Arrow;
}

// ---- outline display ----------------------------------------------------------------

void CStereoWorkspace::BuildOutlines() {
    m_outlines.clear();
    if (m_currentRegion < m_regionCount && !region(m_currentRegion).mask.empty())
        m_outlines = traceOutlines(region(m_currentRegion).mask);
}

bool CStereoWorkspace::renderOutlineDisplay(Surface& dst, int windowW, int windowH) const {
    if (windowW <= 0 || windowH <= 0 || m_source.empty()) return false;
    const int zoom = std::max(1, m_zoom);
    // Only the part of the window the picture covers: the view's own
    // background stays around a picture smaller than the window.
    windowW = std::min(windowW, m_width * zoom - m_scrollX);
    windowH = std::min(windowH, m_height * zoom - m_scrollY);
    if (windowW <= 0 || windowH <= 0) return false;
    if ((dst.width() != windowW || dst.height() != windowH) && !dst.create(windowW, windowH)) return false;
    // The photo enlarged by the zoom, pixel blocks shown as they are.
    const int sx = m_scrollX / zoom, sy = m_scrollY / zoom;
    const int ox = m_scrollX % zoom, oy = m_scrollY % zoom;
    const int sw = std::min(m_width - sx, (windowW + ox + zoom - 1) / zoom);
    const int sh = std::min(m_height - sy, (windowH + oy + zoom - 1) / zoom);
    if (sw > 0 && sh > 0)
        stretchBlit(dst, -ox, -oy, sw * zoom, sh * zoom, m_source, sx, sy, sw, sh, Rop::Copy, StretchMode::Nearest);
    for (const Polyline& line : m_outlines) {
        Polyline scaled;
        scaled.reserve(line.size());
        for (const Point& q : line) scaled.push_back({q.x * zoom - m_scrollX, q.y * zoom - m_scrollY});
        invertPolyline(dst, scaled);
    }
    return true;
}

}  // namespace plastora

// Overlay objects in image editing: adding text, shapes and clip art,
// editing and removing them, their order, and the move tool's mouse and
// keyboard handling, the fill tool on objects and the selection display.
#include "core/ProjectFile.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/PaperChange.h"
#include "overlay/ClipArt.h"
#include "overlay/ObjectDraw.h"

#include <algorithm>
#include <cmath>

namespace plastora {

namespace {

constexpr const char* kTooManyObjectsMessage = "これ以上ｵﾌﾞｼﾞｪｸﾄを追加できません。";
constexpr const char* kClipArtFailedMessage = "ｸﾘｯﾌﾟﾌｧｲﾙの読み込みに失敗しました";
constexpr const char* kAskRemoveObject = "このオブジェクトを削除してもよろしいですか？\nこの操作は元に戻せません";
constexpr const char* kClipArtFilter =
    "すべてのｸﾘｯﾌﾟ|*.wmf;*.gif;*.bmp;*.png|windowsﾒﾀﾌｧｲﾙ(*.wmf)|*.wmf|GIFﾌｧｲﾙ(*.gif)|*.gif|"
    "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|PNGﾌｧｲﾙ (*.png)|*.png||";
// Corners within this distance (squared) of the pointer are handles.
constexpr int kHandleDistance2 = 64;
constexpr int kMinObjectSide = 8;
constexpr int kTextSizeMin = 8;
constexpr int kTextSizeMax = 72;

// A face name fits the record's 31 bytes as the project file stores it (in
// the Windows code page); it is cut before a whole character, never inside.
std::string faceName(const std::string& face) {
    if (toDiskText(face).size() <= 31) return face;
    std::string kept;
    for (const std::string& ch : textCharacters(face)) {
        if (toDiskText(kept + ch).size() > 31) break;
        kept += ch;
    }
    return kept;
}

TextDialogData textDialogFrom(const OverlayObject& o) {
    TextDialogData d;
    d.text = o.text;
    d.face = o.face;
    d.size = o.flags & kTextPointSizeMask;
    d.flat = (o.flags & kTextFlat) != 0;
    d.vertical = (o.flags & kTextVertical) != 0;
    d.bold = (o.flags & kTextBold) != 0;
    d.italic = (o.flags & kTextItalic) != 0;
    d.antialiased = (o.flags & kTextAntialiased) != 0;
    return d;
}

// The dialog's fields into a text object and its measured size. False (the
// object unchanged) when the text measures empty.
bool applyTextDialog(OverlayObject& o, const TextDialogData& d) {
    OverlayObject t = o;
    t.text = d.text;
    t.face = faceName(d.face);
    t.flags = std::clamp(d.size, kTextSizeMin, kTextSizeMax) | (d.vertical ? kTextVertical : 0) |
              (d.bold ? kTextBold : 0) | (d.italic ? kTextItalic : 0) | (d.antialiased ? kTextAntialiased : 0) |
              (d.flat ? kTextFlat : 0);
    t.count = static_cast<std::int32_t>(t.text.size());
    const Size extent = measureTextObject(t);
    if (extent.cx <= 0 || extent.cy <= 0) return false;
    t.width = t.naturalWidth = extent.cx;
    t.height = t.naturalHeight = extent.cy;
    o.copyRecord(t);
    return true;
}

ShapeDialogData shapeDialogFrom(const OverlayObject& o) {
    ShapeDialogData d;
    d.kind = o.count;
    d.square = (o.flags & kShapeSquare) != 0;
    d.noFill = (o.flags & kShapeNoFill) != 0;
    d.arrowFirst = (o.flags & kShapeArrowFirst) != 0;
    d.arrowSecond = (o.flags & kShapeArrowSecond) != 0;
    d.lineWidth = o.lineWidth;
    d.size = o.cornerSize;
    return d;
}

void applyShapeDialog(OverlayObject& o, const ShapeDialogData& d) {
    o.count = std::clamp(d.kind, static_cast<int>(kShapeRectangle), static_cast<int>(kShapeLineFalling));
    o.flags = (d.square ? kShapeSquare : 0) | (d.noFill ? kShapeNoFill : 0) | (d.arrowFirst ? kShapeArrowFirst : 0) |
              (d.arrowSecond ? kShapeArrowSecond : 0);
    o.lineWidth = std::clamp(d.lineWidth, 0, 8);
    o.cornerSize = std::clamp(d.size, 0, 32);
}

// The depth dialog's range (-32..16): the setting may hold any number.
int newObjectDepth(const std::string& settingsPath) {
    return std::clamp(Settings(settingsPath).getInt(SettingKey::StereoPaint), -32, 16);
}

bool fixedRatio(const ObjectEntry& e, bool fixRatioSetting) {
    if (e.type == kObjectPicture) return fixRatioSetting;
    return e.type == kObjectShape && (e.object->flags & kShapeSquare);
}

}  // namespace

const char* shapeDialogError(const ShapeDialogData& d) {
    const bool line = d.kind == kShapeLineRising || d.kind == kShapeLineFalling;
    if (line && d.lineWidth < 1) return "直線の太さは１以上を指定してください。";
    return nullptr;
}

// ---- adding ---------------------------------------------------------------------

void CStereoWorkspace::finishAdd(std::int32_t type, std::shared_ptr<OverlayObject> object) {
    if (m_objectCount >= kMaxObjects) {
        appendObject(type, std::move(object));  // refused, with the message
        return;
    }
    // Adding is a step of its own: undo takes the new object away again, and
    // the steps before it (a stroke, a mask) stay. Without memory for the
    // step, the older steps go: a table from before the add would take the
    // new object away unasked.
    if (!TakeSnapshot(kUndoObjectAdd)) ClearUndo();
    if (!appendObject(type, std::move(object))) return;
    m_currentObject = m_objectCount - 1;
    m_modified = true;
    m_tool = kToolMove;
    m_zoom = 1;
    Redraw();
}

int CStereoWorkspace::AddTextObject() {
    if (m_objectCount >= kMaxObjects) {
        m_host.message(kTooManyObjectsMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    const Settings settings(m_settingsPath);
    TextDialogData d;
    d.face = settings.getText(SettingKey::FontName);
    d.size = std::clamp(settings.getInt(SettingKey::FontSize), kTextSizeMin, kTextSizeMax);
    d.bold = settings.getFlag(SettingKey::FontBold);
    d.italic = settings.getFlag(SettingKey::FontItalic);
    d.antialiased = settings.getFlag(SettingKey::FontAntialiased);
    if (m_dialogs && !m_dialogs->textDialog(d)) return 0;
    if (d.text.empty()) return 0;
    auto o = std::make_shared<OverlayObject>();
    o->depth = newObjectDepth(m_settingsPath);
    o->colour = m_settings.editColour;
    if (!applyTextDialog(*o, d)) return 0;
    o->x = m_width / 2 - o->width / 2;
    o->y = m_height / 2 - o->height / 2;
    // A side longer than the picture is cut to it.
    if (o->width > m_width) o->width = m_width, o->x = 0;
    if (o->height > m_height) o->height = m_height, o->y = 0;
    // The font is remembered for the next text; a settings file that cannot
    // be written is said (the text is added all the same).
    const bool remembered = settings.setAll({{SettingKey::FontName, std::string_view(o->face)},
                                             {SettingKey::FontSize, static_cast<int>(o->flags & kTextPointSizeMask)}});
    finishAdd(kObjectText, std::move(o));
    if (!remembered && settings.writable()) m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    return 1;
}

int CStereoWorkspace::AddShapeObject() {
    if (m_objectCount >= kMaxObjects) {
        m_host.message(kTooManyObjectsMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    ShapeDialogData d;
    if (m_dialogs && !m_dialogs->shapeDialog(d)) return 0;
    if (const char* error = shapeDialogError(d)) {
        m_host.message(error, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    auto o = std::make_shared<OverlayObject>();
    applyShapeDialog(*o, d);
    o->depth = newObjectDepth(m_settingsPath);
    o->width = o->height = 32;
    o->x = m_width / 2 - 16;
    o->y = m_height / 2 - 16;
    o->colour = RGB(255, 255, 255);
    o->lineColour = m_settings.editColour;
    finishAdd(kObjectShape, std::move(o));
    return 1;
}

int CStereoWorkspace::AddPictureObject(const std::string& pathIn) {
    if (m_objectCount >= kMaxObjects) {
        m_host.message(kTooManyObjectsMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    if (m_width <= 0 || m_height <= 0) return 0;
    std::string path = pathIn;
    if (path.empty()) {
        const auto chosen = m_host.askOpenPath("wmf", kClipArtFilter);
        if (!chosen) return 0;
        path = *chosen;
    }
    auto o = std::make_shared<OverlayObject>();
    if (!loadClipArt(m_host, path, m_width, m_height, o->picture)) {
        m_host.message(kClipArtFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    o->outlines = traceClipArt(o->picture);
    o->count = static_cast<std::int32_t>(o->outlines.size());
    o->depth = newObjectDepth(m_settingsPath);
    o->colour = m_settings.editColour;
    const Size fit = fitClipArt(o->picture.width(), o->picture.height(), m_width, m_height);
    o->naturalWidth = o->picture.width();
    o->naturalHeight = o->picture.height();
    o->width = fit.cx;
    o->height = fit.cy;
    o->x = m_width / 2 - o->width / 2;
    o->y = m_height / 2 - o->height / 2;
    finishAdd(kObjectPicture, std::move(o));
    return 1;
}

// ---- editing, removing, order --------------------------------------------------------

int CStereoWorkspace::EditObject() {
    if (m_currentObject < 0 || m_currentObject >= m_objectCount) return 0;
    ObjectEntry& e = objectEntry(m_currentObject);
    if (!e.object) return 0;
    OverlayObject& o = *e.object;
    if (e.type == kObjectText) {
        TextDialogData d = textDialogFrom(o);
        if (m_dialogs && !m_dialogs->textDialog(d)) return 0;
        if (d.text.empty()) return 0;
        OverlayObject edited = o;
        if (!applyTextDialog(edited, d)) return 0;
        TakeSnapshot(kUndoObjectRecord);
        o.copyRecord(edited);
    } else if (e.type == kObjectShape) {
        ShapeDialogData d = shapeDialogFrom(o);
        if (m_dialogs && !m_dialogs->shapeDialog(d)) return 0;
        if (const char* error = shapeDialogError(d)) {
            m_host.message(error, MsgButtons::Ok, MsgIcon::Warning);
            return 0;
        }
        TakeSnapshot(kUndoObjectRecord);
        applyShapeDialog(o, d);
        if (o.flags & kShapeSquare) {
            const double side = std::sqrt((static_cast<double>(o.width) * o.width + static_cast<double>(o.height) * o.height) / 2);
            o.width = o.height = static_cast<int>(side);
        }
    } else {
        return 0;
    }
    m_modified = true;
    Redraw();
    return 1;
}

int CStereoWorkspace::RemoveObject() {
    if (m_currentObject < 0 || m_currentObject >= m_objectCount) return 0;
    if (m_host.message(kAskRemoveObject, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) return 0;
    removeObjectAt(m_currentObject);
    m_currentObject = -1;
    // A snapshot may point at the removed object or hold the old table
    // (and with it the object's memory).
    ClearUndo();
    m_modified = true;
    Redraw();
    return 1;
}

void CStereoWorkspace::MoveObjectInOrder(int newIndex) {
    if (m_currentObject < 0 || m_currentObject >= m_objectCount) return;
    newIndex = std::clamp(newIndex, 0, m_objectCount - 1);
    if (newIndex == m_currentObject) return;
    TakeSnapshot(kUndoObjectOrder);
    int i = m_currentObject;
    while (i < newIndex) {
        std::swap(m_objects[static_cast<std::size_t>(i)], m_objects[static_cast<std::size_t>(i + 1)]);
        ++i;
    }
    while (i > newIndex) {
        std::swap(m_objects[static_cast<std::size_t>(i)], m_objects[static_cast<std::size_t>(i - 1)]);
        --i;
    }
    m_currentObject = newIndex;
    m_modified = true;
    Redraw();
}

// ---- hit tests ----------------------------------------------------------------------

int CStereoWorkspace::HitTestObject(Point p) const {
    for (int i = m_objectCount - 1; i >= 0; --i) {
        const ObjectEntry& e = objectEntry(i);
        if (!e.object) continue;
        const OverlayObject& o = *e.object;
        if (p.x >= o.x && p.x <= o.x + o.width && p.y >= o.y && p.y <= o.y + o.height) return i;
    }
    return -1;
}

DragKind CStereoWorkspace::HandleAt(Point p) const {
    if (m_currentObject < 0 || m_currentObject >= m_objectCount) return DragKind::None;
    const ObjectEntry& e = objectEntry(m_currentObject);
    if (!e.object || (e.type != kObjectPicture && e.type != kObjectShape)) return DragKind::None;
    const OverlayObject& o = *e.object;
    const struct {
        DragKind kind;
        Point corner;
    } corners[] = {{DragKind::TopLeft, {o.x, o.y}},
                   {DragKind::TopRight, {o.x + o.width, o.y}},
                   {DragKind::BottomRight, {o.x + o.width, o.y + o.height}},
                   {DragKind::BottomLeft, {o.x, o.y + o.height}}};
    for (const auto& c : corners) {
        const long long dx = p.x - c.corner.x, dy = p.y - c.corner.y;
        if (dx * dx + dy * dy <= kHandleDistance2) return c.kind;
    }
    return DragKind::None;
}

// ---- mouse --------------------------------------------------------------------------

bool CStereoWorkspace::objectButtonDown(Point p) {
    switch (m_tool) {
    case kToolMove: {
        DragKind kind = HandleAt(p);
        if (kind == DragKind::None) {
            const int hit = HitTestObject(p);
            if (hit < 0) {
                // A click beside every object ends the selection.
                if (m_currentObject != -1) {
                    m_currentObject = -1;
                    Redraw();
                }
                return true;
            }
            m_currentObject = hit;
            kind = DragKind::Move;
        }
        const OverlayObject& o = *objectEntry(m_currentObject).object;
        m_drag = ObjectDrag{kind, o.x, o.y, o.width, o.height, m_currentObject};
        m_buttonDown = true;
        m_last = p;
        Redraw();
        return true;
    }
    case kToolEraser: {
        const int hit = HitTestObject(p);
        if (hit < 0) return false;
        m_currentObject = hit;
        Redraw();
        RemoveObject();
        return true;
    }
    case kToolFill: {
        const int hit = HitTestObject(p);
        if (hit < 0) return false;
        m_currentObject = hit;
        objectFill(hit, p);
        return true;
    }
    default:
        return false;
    }
}

void CStereoWorkspace::dragObjectTo(Point p) {
    if (m_drag.object < 0 || m_drag.object >= m_objectCount) {
        m_drag.kind = DragKind::None;
        return;
    }
    const ObjectEntry& e = objectEntry(m_drag.object);
    const OverlayObject& o = *e.object;
    ObjectDrag& d = m_drag;
    if (d.kind == DragKind::Move) {
        d.x += p.x - m_last.x;
        d.y += p.y - m_last.y;
        m_last = p;
        Redraw();
        return;
    }
    // The corner opposite the grabbed one stays where the object has it.
    const int left = o.x, top = o.y, right = o.x + o.width, bottom = o.y + o.height;
    const bool grabLeft = d.kind == DragKind::TopLeft || d.kind == DragKind::BottomLeft;
    const bool grabTop = d.kind == DragKind::TopLeft || d.kind == DragKind::TopRight;
    const Point fixed{grabLeft ? right : left, grabTop ? bottom : top};
    int w, h;
    if (fixedRatio(e, m_settings.fixRatio)) {
        const double dist = std::hypot(static_cast<double>(p.x - fixed.x), static_cast<double>(p.y - fixed.y));
        if (e.type == kObjectShape) {
            w = h = static_cast<int>(std::sqrt(dist * dist / 2));
        } else {
            const double diagonal = std::hypot(static_cast<double>(o.naturalWidth), static_cast<double>(o.naturalHeight));
            w = diagonal > 0 ? static_cast<int>(o.naturalWidth * dist / diagonal) : o.width;
            h = diagonal > 0 ? static_cast<int>(o.naturalHeight * dist / diagonal) : o.height;
        }
    } else {
        w = grabLeft ? fixed.x - p.x : p.x - fixed.x;
        h = grabTop ? fixed.y - p.y : p.y - fixed.y;
    }
    if (fixedRatio(e, m_settings.fixRatio) && (w < kMinObjectSide || h < kMinObjectSide)) {
        // The smaller side stops at the minimum; the other keeps the proportions.
        if (e.type == kObjectShape || o.naturalWidth <= 0 || o.naturalHeight <= 0) {
            w = h = kMinObjectSide;
        } else if (o.naturalWidth >= o.naturalHeight) {
            h = kMinObjectSide;
            w = static_cast<int>(static_cast<long long>(o.naturalWidth) * h / o.naturalHeight);
        } else {
            w = kMinObjectSide;
            h = static_cast<int>(static_cast<long long>(o.naturalHeight) * w / o.naturalWidth);
        }
    }
    w = std::max(w, kMinObjectSide);
    h = std::max(h, kMinObjectSide);
    d.width = w;
    d.height = h;
    d.x = grabLeft ? fixed.x - w : fixed.x;
    d.y = grabTop ? fixed.y - h : fixed.y;
    m_last = p;
    Redraw();
}

void CStereoWorkspace::finishDrag() {
    const ObjectDrag d = m_drag;
    m_drag.kind = DragKind::None;
    if (d.object >= 0 && d.object < m_objectCount) {
        OverlayObject& o = *objectEntry(d.object).object;
        if (d.x != o.x || d.y != o.y || d.width != o.width || d.height != o.height) {
            m_currentObject = d.object;
            TakeSnapshot(kUndoObjectRecord);
            o.x = d.x;
            o.y = d.y;
            o.width = d.width;
            o.height = d.height;
            m_modified = true;
        }
    }
    Redraw();
}

void CStereoWorkspace::objectFill(int index, Point p) {
    ObjectEntry& e = objectEntry(index);
    OverlayObject& o = *e.object;
    const ColorRef colour = m_settings.editColour;
    switch (e.type) {
    case kObjectText:
        TakeSnapshot(kUndoObjectRecord);
        o.colour = colour;
        break;
    case kObjectPicture: {
        if (o.width <= 0 || o.height <= 0 || o.picture.empty()) return;
        const int px = static_cast<int>(static_cast<long long>(p.x - o.x) * o.naturalWidth / o.width);
        const int py = static_cast<int>(static_cast<long long>(p.y - o.y) * o.naturalHeight / o.height);
        const ColorRef area = o.picture.getPixel(px, py);
        if (area == kInvalidColor) return;
        if (!TakeSnapshot(kUndoObjectBitmap)) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return;
        }
        floodFill(o.picture, px, py, area, colour);
        break;
    }
    case kObjectShape: {
        TakeSnapshot(kUndoObjectRecord);
        const bool area = o.count <= kShapeRoundRect && o.colour != o.lineColour;
        // The fill changes where the click is on the fill colour (or there is
        // no outline to change); otherwise the line.
        if (area && (o.lineWidth == 0 || m_display.getPixel(p.x, p.y) == o.colour)) o.colour = colour;
        else o.lineColour = colour;
        break;
    }
    default:
        return;
    }
    m_modified = true;
    Redraw();
}

// ---- keyboard -----------------------------------------------------------------------

bool CStereoWorkspace::KeyDown(ObjectKey key) {
    // Keys wait while the mouse is dragging an object.
    if (m_mode != kModeImage || m_tool != kToolMove || m_buttonDown) return false;
    if (key == ObjectKey::Tab) {
        if (m_objectCount == 0) return false;
        m_currentObject = (m_currentObject < 0 || m_currentObject >= m_objectCount - 1) ? 0 : m_currentObject + 1;
        Redraw();
        return true;
    }
    if (m_currentObject < 0 || m_currentObject >= m_objectCount) return false;
    if (key == ObjectKey::Delete) {
        RemoveObject();
        return true;
    }
    ObjectEntry& e = objectEntry(m_currentObject);
    OverlayObject& o = *e.object;
    int x = o.x, y = o.y, w = o.width, h = o.height;
    switch (key) {
    case ObjectKey::Left: --x; break;
    case ObjectKey::Right: ++x; break;
    case ObjectKey::Up: --y; break;
    case ObjectKey::Down: ++y; break;
    case ObjectKey::PageUp:
    case ObjectKey::PageDown: {
        if (e.type == kObjectText) return false;
        const int step = key == ObjectKey::PageUp ? 1 : -1;
        // The proportions kept: the picture's own, a square's, or the
        // object's current ones.
        long long rw = w, rh = h;
        if (e.type == kObjectPicture) rw = o.naturalWidth, rh = o.naturalHeight;
        else if (o.flags & kShapeSquare) rw = rh = 1;
        if (rw <= 0 || rh <= 0) return false;
        if (rw > rh) {
            h += step;
            w = static_cast<int>(rw * h / rh);
        } else {
            w += step;
            h = static_cast<int>(rh * w / rw);
        }
        if (w < 1 || h < 1) return true;
        break;
    }
    default:
        return false;
    }
    TakeSnapshot(kUndoObjectRecord);
    o.x = x;
    o.y = y;
    o.width = w;
    o.height = h;
    m_modified = true;
    Redraw();
    return true;
}

// ---- display --------------------------------------------------------------------------

namespace {

std::vector<Point> frameOf(int x, int y, int w, int h) {
    return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
}

}  // namespace

void CStereoWorkspace::drawSelection(Surface& dc) const {
    if (m_currentObject >= 0 && m_currentObject < m_objectCount && objectEntry(m_currentObject).object) {
        const ObjectEntry& e = objectEntry(m_currentObject);
        const OverlayObject& o = *e.object;
        invertPolyline(dc, frameOf(o.x, o.y, o.width, o.height));
        // Clip art and shapes can be resized by their corners: small squares mark them.
        if (e.type == kObjectPicture || e.type == kObjectShape) {
            for (const Point c : {Point{o.x, o.y}, Point{o.x + o.width, o.y}, Point{o.x + o.width, o.y + o.height},
                                  Point{o.x, o.y + o.height}})
                invertPolyline(dc, frameOf(c.x - 3, c.y - 3, 6, 6));
        }
    }
    if (m_drag.kind != DragKind::None) invertPolyline(dc, frameOf(m_drag.x, m_drag.y, m_drag.width, m_drag.height));
}

}  // namespace plastora

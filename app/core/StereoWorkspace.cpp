#include "core/StereoWorkspace.h"

#include "core/MaskBlend.h"
#include "core/Settings.h"
#include "output/Diffraction.h"

#include <algorithm>
#include <utility>

namespace plastora {

namespace {

constexpr const char* kAskSaveModified = "画像が編集されています。\nデータを保存しますか？";
constexpr const char* kTooManyObjects = "これ以上ｵﾌﾞｼﾞｪｸﾄを追加できません。";

}  // namespace

void fillThroughMask(Surface& dst, const Surface& mask, ColorRef colour) {
    if (dst.empty() || mask.empty()) return;
    const Pixel c = pixelFromColorRef(colour) & 0x00FFFFFFu;
    const int w = std::min(dst.width(), mask.width());
    const int h = std::min(dst.height(), mask.height());
    for (int y = 0; y < h; ++y) {
        Pixel* d = dst.row(y);
        const Pixel* m = mask.row(y);
        for (int x = 0; x < w; ++x) {
            // A mask pixel is inside when any of its colour bytes is set.
            const Pixel inside = (m[x] & 0x00FFFFFFu) ? 0x00FFFFFFu : 0u;
            d[x] = (d[x] & ~inside) | (c & inside) | kOpaque;
        }
    }
}

void copyThroughMask(Surface& dst, const Surface& layer, const Surface& mask) {
    if (dst.empty() || mask.empty() || layer.empty()) return;
    const int w = std::min({dst.width(), mask.width(), layer.width()});
    const int h = std::min({dst.height(), mask.height(), layer.height()});
    for (int y = 0; y < h; ++y) {
        Pixel* d = dst.row(y);
        const Pixel* l = layer.row(y);
        const Pixel* m = mask.row(y);
        for (int x = 0; x < w; ++x) {
            const Pixel inside = (m[x] & 0x00FFFFFFu) ? 0x00FFFFFFu : 0u;
            d[x] = (d[x] & ~inside) | (l[x] & inside) | kOpaque;
        }
    }
}

CStereoWorkspace::CStereoWorkspace(Host& host, std::string settingsPath)
    : m_host(host), m_settingsPath(std::move(settingsPath)), m_settings(readWorkspaceSettings(m_settingsPath)) {
    m_views.resize(static_cast<std::size_t>(m_settings.viewCount));
}

CStereoWorkspace::~CStereoWorkspace() = default;

void CStereoWorkspace::clearDocument() {
    CloseFaceResult();
    m_width = m_height = 0;
    m_source.reset();
    truncateRegions(0);
    m_currentRegion = 0;
    m_maskingIndex = 0;
    discardPaintLayer();
    m_depthMap.reset();
    m_otherProjectFilesRead.clear();
    clearObjects();
    discardViews();
    discardHighRes();
    resetSpectral();
    m_display.reset();
    m_viewPool.clear();
    m_scratchPlate.reset();
    m_scratchCards.clear();
    m_stereoPair = false;
    m_modified = false;
    m_openedIncomplete = false;
    m_lostViewSource = false;
    m_mode = kModeNone;
    m_tool = kToolNone;
    m_zoom = 1;
    m_buttonDown = false;
    m_outlines.clear();
    ClearUndo();
}

void CStereoWorkspace::adoptPicture(Surface&& picture) {
    clearDocument();
    m_width = picture.width();
    m_height = picture.height();
    m_source = std::move(picture);
}

void CStereoWorkspace::setCurrentPath(const std::string& path) {
    m_currentPath = path;
    m_host.setTitle(path);
}

// ---- regions ----------------------------------------------------------------

void CStereoWorkspace::setCurrentRegion(int index) {
    if (index >= 0 && index < m_regionCount) m_currentRegion = index;
}

bool CStereoWorkspace::appendRegion(int depth) {
    if (m_regionCount >= kMaxRegions) return false;
    CutoutRegion& r = region(m_regionCount);
    if (!r.mask.create(m_width, m_height)) return false;  // new surfaces are black
    r.depth = depth;
    ++m_regionCount;
    return true;
}

void CStereoWorkspace::removeRegion(int index) {
    if (index < 0 || index >= m_regionCount) return;
    // Each region moves down whole (its remembered bounds with its mask).
    for (int i = index; i + 1 < m_regionCount; ++i)
        m_regions[static_cast<std::size_t>(i)] = std::move(m_regions[static_cast<std::size_t>(i + 1)]);
    --m_regionCount;
    m_regions[static_cast<std::size_t>(m_regionCount)] = CutoutRegion{};
    if (m_currentRegion >= m_regionCount) m_currentRegion = std::max(0, m_regionCount - 1);
    if (m_maskingIndex >= m_regionCount) m_maskingIndex = std::max(0, m_regionCount - 1);
}

void CStereoWorkspace::truncateRegions(int count) {
    count = std::clamp(count, 0, kMaxRegions);
    for (int i = count; i < kMaxRegions; ++i) m_regions[static_cast<std::size_t>(i)] = CutoutRegion{};
    m_regionCount = count;
    if (m_currentRegion >= count) m_currentRegion = std::max(0, count - 1);
    if (m_maskingIndex >= count) m_maskingIndex = std::max(0, count - 1);
}

// ---- paint layer --------------------------------------------------------------

bool CStereoWorkspace::ensurePaintLayer() {
    if (hasPaintLayer()) return true;
    if (!m_paint.create(m_width, m_height) || !m_paintMask.create(m_width, m_height)) {
        discardPaintLayer();
        return false;
    }
    return true;
}

void CStereoWorkspace::discardPaintLayer() {
    m_paint.reset();
    m_paintMask.reset();
}

// ---- objects ----------------------------------------------------------------

bool CStereoWorkspace::appendObject(std::int32_t type, std::shared_ptr<OverlayObject> object) {
    if (m_objectCount >= kMaxObjects) {
        m_host.message(kTooManyObjects, MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    m_objects[static_cast<std::size_t>(m_objectCount)] = ObjectEntry{type, std::move(object)};
    ++m_objectCount;
    return true;
}

void CStereoWorkspace::removeObjectAt(int index) {
    if (index < 0 || index >= m_objectCount) return;
    for (int i = index; i + 1 < m_objectCount; ++i)
        m_objects[static_cast<std::size_t>(i)] = std::move(m_objects[static_cast<std::size_t>(i + 1)]);
    --m_objectCount;
    m_objects[static_cast<std::size_t>(m_objectCount)] = ObjectEntry{};
    if (m_currentObject >= m_objectCount) m_currentObject = -1;
}

void CStereoWorkspace::clearObjects() {
    for (auto& e : m_objects) e = ObjectEntry{};
    m_objectCount = 0;
    m_currentObject = -1;
}

// ---- generated data ---------------------------------------------------------

bool CStereoWorkspace::hasViews() const {
    return std::any_of(m_views.begin(), m_views.end(), [](const Surface& v) { return !v.empty(); });
}

bool CStereoWorkspace::hasAllViews() const {
    return viewCount() >= 2 && std::none_of(m_views.begin(), m_views.end(), [](const Surface& v) { return v.empty(); });
}

void CStereoWorkspace::discardViews() {
    for (auto& v : m_views) v.reset();
    m_composite.reset();
    m_anaglyph.reset();
    m_interlace.reset();
    discardSpectral();
}

void CStereoWorkspace::discardHighRes() {
    for (auto& s : m_highRes) s.reset();
    m_highResCount = 0;
}

// ---- modes ------------------------------------------------------------------

bool CStereoWorkspace::SetMode(int mode) {
    CloseFaceResult();
    // Leaving the animation stops its timer: the view window asks mode() on
    // every tick and stops when it is no longer 4.
    if (hasViews() || !m_composite.empty()) discardViews();
    m_mode = mode;
    bool ok = true;
    if (mode == kModeMask) {
        if (m_regionCount == 0 && m_width > 0) {
            if (!appendRegion(foregroundDepth)) {
                m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                ok = false;
            }
        }
        m_tool = kToolPen;
        m_currentRegion = 0;
    } else if (mode == kModeImage) {
        m_tool = kToolNone;
    }
    if (m_zoom != 1) m_zoom = 1;
    // The undo history stays: switching modes changes no picture.
    m_currentObject = -1;
    Redraw();
    return ok;
}

// ---- undo -------------------------------------------------------------------

bool CStereoWorkspace::TakeSnapshot(int kind) {
    m_modified = true;
    if (kind == kUndoRegionMask) {
        // The masking rule of the stroke about to start needs the mask as
        // it was, in full.
        if (m_currentRegion >= m_regionCount || !m_undoA.createCopy(region(m_currentRegion).mask)) return false;
    }
    return m_history.record(*this, kind);
}

void CStereoWorkspace::ClearUndo() {
    m_history.clear();
    m_undoA.reset();
}

void CStereoWorkspace::Undo() {
    // Not in the middle of a stroke: its masking rule holds the mask as the
    // stroke began.
    if (!m_history.canUndo() || m_buttonDown) return;
    const UndoInfo step = m_history.nextUndo();
    if (!m_history.undo(*this)) return;
    if (step.kind == kUndoRegionMask && m_mode == kModeMask) m_currentRegion = step.region;
    m_modified = true;
    Redraw();
}

void CStereoWorkspace::Redo() {
    if (!m_history.canRedo() || m_buttonDown) return;
    const UndoInfo step = m_history.nextRedo();
    if (!m_history.redo(*this)) return;
    if (step.kind == kUndoRegionMask && m_mode == kModeMask) m_currentRegion = step.region;
    m_modified = true;
    Redraw();
}

int CStereoWorkspace::SaveModified() {
    if (!m_modified) return 1;
    switch (m_host.message(kAskSaveModified, MsgButtons::YesNoCancel, MsgIcon::Question)) {
    case MsgResult::Cancel:
        return 0;
    case MsgResult::Yes:
        // A failed save keeps the picture open: closing or opening another
        // file now would lose the edits.
        return Save(m_currentPath) ? 1 : 0;
    default:
        return 1;
    }
}

// ---- display ----------------------------------------------------------------

bool CStereoWorkspace::buildDisplay() {
    if (m_width <= 0 || m_mode == kModeNone || !m_displayWanted) {
        m_display.reset();
        return true;
    }
    if (m_display.width() != m_width || m_display.height() != m_height) {
        if (!m_display.create(m_width, m_height)) return false;
    }
    switch (m_mode) {
    case kModeMask:
        if (m_tool == kToolOutline) BuildOutlines();
        blit(m_display, m_source, Rop::Copy);
        if (m_currentRegion < m_regionCount) {
            // Below full opacity the photo shows through the mask colour.
            if (m_settings.maskOpacity >= kMaskOpacityMax)
                fillThroughMask(m_display, std::as_const(*this).region(m_currentRegion).mask, m_settings.maskColour);
            else
                blendThroughMask(m_display, std::as_const(*this).region(m_currentRegion).mask, m_settings.maskColour, m_settings.maskOpacity);
            // With masking on, everything outside the masking region shows white.
            if (maskingApplies())
                blit(m_display, std::as_const(*this).region(m_maskingIndex).mask, Rop::MergePaint);
        }
        break;
    case kModeImage:
        // A spectral-glasses background, when one is set, stands behind the
        // foreground regions and the paint layer instead of the photo.
        if (!drawSpectralEditImage(*this, m_display)) {
            blit(m_display, m_source, Rop::Copy);
            if (hasPaintLayer()) copyThroughMask(m_display, m_paint, m_paintMask);
        }
        if (m_depthDialogOpen && m_currentRegion < m_regionCount)
            fillThroughMask(m_display, std::as_const(*this).region(m_currentRegion).mask, m_settings.maskColour);
        DrawObjects(m_display, -1);
        drawSelection(m_display);
        break;
    case kModeComposite:
        if (!m_composite.empty())
            return stretchBlit(m_display, 0, 0, m_width, m_height, m_composite, 0, 0, m_composite.width(),
                               m_composite.height(), Rop::Copy, StretchMode::Halftone);
        break;
    case kModeAnimation:
        if (m_animFrame >= 0 && m_animFrame < viewCount() && !view(m_animFrame).empty())
            blit(m_display, view(m_animFrame), Rop::Copy);
        break;
    case kModeAnaglyph:
        if (!m_anaglyph.empty()) blit(m_display, m_anaglyph, Rop::Copy);
        break;
    case kModeInterlace:
        if (!m_interlace.empty()) blit(m_display, m_interlace, Rop::Copy);
        break;
    default:
        break;
    }
    return true;
}

void CStereoWorkspace::Redraw() {
    if (!buildDisplay()) m_display.reset();
    m_host.redraw();
}

}  // namespace plastora

namespace plastora {

WorkspaceSettings readWorkspaceSettings(const std::string& settingsPath) {
    const Settings s(settingsPath);
    WorkspaceSettings w;
    const int n = s.getInt(SettingKey::PictureDisplay) != 0 ? s.getInt(SettingKey::LenticularDisplay)
                                                             : s.getInt(SettingKey::LenticularSize);
    w.viewCount = std::clamp(n, kMinViews, kMaxViews);
    w.pitch = s.getInt(SettingKey::LenticularPitch);
    // R times the picture side must stay a sane picture size: a setting of
    // 2^31 (or 0) cannot reach the high-resolution arithmetic.
    w.hdRatio = std::clamp(s.getInt(SettingKey::PictureHDRatio), 1, kMaxHighResRatio);
    w.maskColour = static_cast<ColorRef>(s.getInt(SettingKey::MaskColor)) & 0x00FFFFFFu;
    w.maskWidth = s.getInt(SettingKey::MaskWidth);
    w.maskOpacity = std::clamp(s.getInt(SettingKey::MaskOpacity), kMaskOpacityMin, kMaskOpacityMax);
    w.shadowLevel = s.getInt(SettingKey::StereoShadow);
    w.editColour = static_cast<ColorRef>(s.getInt(SettingKey::EditColor)) & 0x00FFFFFFu;
    w.editWidth = s.getInt(SettingKey::EditWidth);
    w.fixRatio = s.getFlag(SettingKey::EditFixRatio);
    w.jpegQuality = s.getInt(SettingKey::OptionJpegQuality);
    w.copyPrint = s.getFlag(SettingKey::OptionCopyPrint);
    w.drive = s.getText(SettingKey::OptionDrive);
    w.nintendoPath = s.getText(SettingKey::OptionNintendoPath);
    return w;
}

}  // namespace plastora

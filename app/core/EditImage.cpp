// "編集画像の保存": the picture being edited, as shown, written to a file.
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"

#include <algorithm>

namespace plastora {

namespace {

constexpr const char* kEditImageFilter = "JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*jpeg|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp||";

}  // namespace

bool CStereoWorkspace::RenderHighResEdit(Surface& out) {
    if (m_highResCount < 1 || m_highRes[0].empty()) return false;
    const Surface& photo = m_highRes[0];
    const int W = photo.width(), H = photo.height();
    if (!out.createCopy(photo)) return false;
    if (hasPaintLayer()) {
        // The strokes enlarged pixel by pixel, so they keep their colour.
        Surface paint, mask;
        if (!paint.create(W, H) || !mask.create(W, H)) return false;
        if (!stretchBlit(paint, 0, 0, W, H, m_paint, 0, 0, m_width, m_height, Rop::Copy, StretchMode::Nearest) ||
            !stretchBlit(mask, 0, 0, W, H, m_paintMask, 0, 0, m_width, m_height, Rop::Copy, StretchMode::Nearest))
            return false;
        copyThroughMask(out, paint, mask);
    }
    return true;
}

int CStereoWorkspace::SaveEditImage(const std::string& pathIn) {
    if (m_display.empty() && m_highResCount < 1) return 0;
    m_currentObject = -1;
    std::string path = pathIn;
    if (path.empty()) {
        const auto chosen = m_host.askSavePath("jpg", kEditImageFilter);
        if (!chosen) return 0;
        path = *chosen;
    }
    if (m_highResCount > 0 && !m_highRes[0].empty()) {
        Surface edit;
        if (!RenderHighResEdit(edit)) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return 0;
        }
        return SaveStillImage(m_host, edit, edit.width(), edit.height(), path, m_settings.jpegQuality);
    }
    Redraw();  // the display without the object selection
    return SaveStillImage(m_host, m_display, m_display.width(), m_display.height(), path, m_settings.jpegQuality);
}

}  // namespace plastora

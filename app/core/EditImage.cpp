// "編集画像の保存": the picture being edited, as shown, written to a file.
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/Diffraction.h"
#include "output/PrintResolution.h"

#include <algorithm>

namespace plastora {

namespace {

constexpr const char* kEditImageFilter = "JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*jpeg|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|PNGﾌｧｲﾙ (*.png)|*.png||";

}  // namespace

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
        // The edit picture as shown (spectral background included) at the
        // copy's resolution.
        Surface edit;
        if (!BuildHighResEditImage(*this, edit)) return 0;
        if (m_mode == kModeInterlace) return SaveInterleavedImage(m_host, edit, path, m_settings.jpegQuality, kHighResPrintDpi);
        return SaveStillImage(m_host, edit, edit.width(), edit.height(), path, m_settings.jpegQuality,
                              kHighResPrintDpi);
    }
    Redraw();  // the display without the object selection
    // The interlace display alternates the eyes row by row or column by column.
    if (m_mode == kModeInterlace)
        return SaveInterleavedImage(m_host, m_display, path, m_settings.jpegQuality, WorkingImagePrintDpi(*this));
    return SaveStillImage(m_host, m_display, m_display.width(), m_display.height(), path, m_settings.jpegQuality,
                          WorkingImagePrintDpi(*this));
}

}  // namespace plastora

#include "core/Parameters.h"

#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "pixelune/pixelune.h"

#include <vector>

namespace plastora {

ParamValues currentParameters(const CStereoWorkspace& ws) {
    const WorkspaceSettings& s = ws.settings();
    return ParamValues{s.fixRatio, s.copyPrint, s.maskWidth, s.editWidth, s.shadowLevel, s.jpegQuality, s.maskOpacity};
}

ParamValues standardParameters() { return ParamValues{}; }

int applyParameters(CStereoWorkspace& ws, const ParamValues& v) {
    WorkspaceSettings& s = ws.settings();
    // The changed values, stored together in one rewrite of the file.
    std::vector<Settings::Entry> changed;
    if (v.fixRatio != s.fixRatio) {
        s.fixRatio = v.fixRatio;
        changed.emplace_back(SettingKey::EditFixRatio, v.fixRatio);
    }
    if (v.copyPrint != s.copyPrint) {
        s.copyPrint = v.copyPrint;
        changed.emplace_back(SettingKey::OptionCopyPrint, v.copyPrint);
    }
    if (v.maskWidth != s.maskWidth) {
        // The mask pen and the eraser are made with this width from now on.
        s.maskWidth = v.maskWidth;
        changed.emplace_back(SettingKey::MaskWidth, v.maskWidth);
    }
    if (v.paintWidth != s.editWidth) {
        s.editWidth = v.paintWidth;
        changed.emplace_back(SettingKey::EditWidth, v.paintWidth);
    }
    if (v.shadowLevel != s.shadowLevel) {
        // Shadows are painted grey RGB(L, L, L) with this level from now on.
        s.shadowLevel = v.shadowLevel;
        changed.emplace_back(SettingKey::StereoShadow, v.shadowLevel);
    }
    if (v.jpegQuality != s.jpegQuality) {
        s.jpegQuality = v.jpegQuality;
        changed.emplace_back(SettingKey::OptionJpegQuality, v.jpegQuality);
        SetJpegQuality(v.jpegQuality);
    }
    if (v.maskOpacity != s.maskOpacity) {
        // The mask display mixes its colour with the photo by this much.
        s.maskOpacity = v.maskOpacity;
        changed.emplace_back(SettingKey::MaskOpacity, v.maskOpacity);
    }
    // The values hold for this session either way; unwritten, they would be
    // gone at the next start without a word.
    if (!changed.empty() && !Settings(ws.settingsPath()).setAll(changed))
        ws.host().message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    return static_cast<int>(changed.size());
}

}  // namespace plastora

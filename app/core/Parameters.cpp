#include "core/Parameters.h"

#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "pixelune/pixelune.h"

namespace plastora {

ParamValues currentParameters(const CStereoWorkspace& ws) {
    const WorkspaceSettings& s = ws.settings();
    return ParamValues{s.fixRatio, s.copyPrint, s.maskWidth, s.editWidth, s.shadowLevel, s.jpegQuality, s.maskOpacity};
}

ParamValues standardParameters() { return ParamValues{}; }

int applyParameters(CStereoWorkspace& ws, const ParamValues& v) {
    WorkspaceSettings& s = ws.settings();
    const Settings file(ws.settingsPath());
    int written = 0;
    if (v.fixRatio != s.fixRatio) {
        s.fixRatio = v.fixRatio;
        file.setFlag(SettingKey::EditFixRatio, v.fixRatio);
        ++written;
    }
    if (v.copyPrint != s.copyPrint) {
        s.copyPrint = v.copyPrint;
        file.setFlag(SettingKey::OptionCopyPrint, v.copyPrint);
        ++written;
    }
    if (v.maskWidth != s.maskWidth) {
        // The mask pen and the eraser are made with this width from now on.
        s.maskWidth = v.maskWidth;
        file.setInt(SettingKey::MaskWidth, v.maskWidth);
        ++written;
    }
    if (v.paintWidth != s.editWidth) {
        s.editWidth = v.paintWidth;
        file.setInt(SettingKey::EditWidth, v.paintWidth);
        ++written;
    }
    if (v.shadowLevel != s.shadowLevel) {
        // Shadows are painted grey RGB(L, L, L) with this level from now on.
        s.shadowLevel = v.shadowLevel;
        file.setInt(SettingKey::StereoShadow, v.shadowLevel);
        ++written;
    }
    if (v.jpegQuality != s.jpegQuality) {
        s.jpegQuality = v.jpegQuality;
        file.setInt(SettingKey::OptionJpegQuality, v.jpegQuality);
        SetJpegQuality(v.jpegQuality);
        ++written;
    }
    if (v.maskOpacity != s.maskOpacity) {
        // The mask display mixes its colour with the photo by this much.
        s.maskOpacity = v.maskOpacity;
        file.setInt(SettingKey::MaskOpacity, v.maskOpacity);
        ++written;
    }
    return written;
}

}  // namespace plastora

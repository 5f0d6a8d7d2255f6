// Settings, the file rule, detection and the click editing of the face list.
#include "autocut/FaceDetect.h"

#include "core/Settings.h"
#include "platform/Paths.h"

#include <QPainter>
#include <QPen>

#include "autocut/cascade/FaceCascade.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>

namespace plastora {

const char* const kCascadeLoadFailedMessage = "顔検出学習ファイルの読み込みに失敗しました";
const char* const kNoFaceMessage = "顔検出に失敗しました。";
const char* const kTooManyFacesMessage = "これ以上顔検出領域を追加できません";
const char* const kBodyDataFailedMessage = "ボディデータの読み込みに失敗しました";

FaceDetectSettings readFaceDetectSettings(const std::string& settingsPath) {
    const Settings st(settingsPath);
    FaceDetectSettings s;
    s.scaleFactor = st.getFloat(SettingKey::AutoScaleFactor);
    s.minNeighbors = st.getInt(SettingKey::AutoMinNeighbors);
    s.minSize = st.getInt(SettingKey::AutoMinSize);
    s.cannyPruning = st.getFlag(SettingKey::AutoCannyPruning);
    s.cascadeFile = st.getText(SettingKey::AutoCascadeFile);
    s.bodyData = st.getText(SettingKey::AutoBodyData);
    return s;
}

bool writeFaceDetectSettings(const std::string& settingsPath, const FaceDetectSettings& s) {
    const Settings st(settingsPath);
    bool ok = st.setFloat(SettingKey::AutoScaleFactor, s.scaleFactor);
    ok = st.setInt(SettingKey::AutoMinNeighbors, s.minNeighbors) && ok;
    ok = st.setInt(SettingKey::AutoMinSize, s.minSize) && ok;
    ok = st.setFlag(SettingKey::AutoCannyPruning, s.cannyPruning) && ok;
    ok = st.setText(SettingKey::AutoCascadeFile, s.cascadeFile) && ok;
    ok = st.setText(SettingKey::AutoBodyData, s.bodyData) && ok;
    return ok;
}

std::string autoDataFolder() { return joinPath(programFolder(), "auto_data"); }

std::string resolveAutoDataFile(const std::string& value) {
    if (value.find_first_of("\\/") != std::string::npos) return value;
    return joinPath(autoDataFolder(), value);
}

std::string autoDataFileName(const std::string& value) {
    std::size_t cut = value.rfind('\\');
    if (cut == std::string::npos) cut = value.rfind('/');
    return cut == std::string::npos ? value : value.substr(cut + 1);
}

namespace {

// The detector module, loaded on first use (found through the program's own
// library path: beside the executable). Null when it cannot be loaded.
PlastoraDetectFacesFn faceDetector() {
    static const PlastoraDetectFacesFn fn = [] {
        void* module = ::dlopen(PLASTORA_FACE_MODULE, RTLD_NOW | RTLD_LOCAL);
        return module ? reinterpret_cast<PlastoraDetectFacesFn>(::dlsym(module, PLASTORA_FACE_FUNCTION)) : nullptr;
    }();
    return fn;
}

}  // namespace

int detectFaceBoxes(const Surface& picture, const FaceDetectSettings& settings, const std::string& cascadePath,
                    std::vector<FaceBox>& faces) {
    faces.clear();
    // A missing file is refused here: OpenCV would log its own complaint.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(cascadePath, ec)) return -1;
    const PlastoraDetectFacesFn detect = faceDetector();
    if (!detect) return -1;
    std::vector<int> boxes(4 * kMaxFaces);
    // The surface's words are B, G, R, 0xFF in memory.
    const int n = detect(cascadePath.c_str(), reinterpret_cast<const std::uint8_t*>(picture.bits()), picture.width(),
                         picture.height(), static_cast<std::size_t>(picture.width()) * sizeof(Pixel),
                         settings.scaleFactor, settings.minNeighbors, settings.cannyPruning ? 1 : 0, settings.minSize,
                         boxes.data(), static_cast<int>(kMaxFaces));
    for (int i = 0; i < n; ++i) {
        const int* r = boxes.data() + 4 * i;
        faces.push_back(FaceBox{r[0], r[1], r[0] + r[2] - 1, r[1] + r[3] - 1});
    }
    return n;
}

int DetectFaces(CStereoWorkspace& ws) {
    ws.faces().clear();
    const FaceDetectSettings s = readFaceDetectSettings(ws.settingsPath());
    const int n = detectFaceBoxes(ws.source(), s, resolveAutoDataFile(s.cascadeFile), ws.faces());
    if (n < 0) ws.host().message(kCascadeLoadFailedMessage);
    if (n <= 0) {
        ws.faces().clear();
        ws.host().message(kNoFaceMessage);
        return 0;
    }
    return n;
}

FaceClickResult editFacesAt(CStereoWorkspace& ws, Point p) {
    std::vector<FaceBox>& faces = ws.faces();
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const FaceBox& f = faces[i];
        if (f.left <= p.x && p.x <= f.right && f.top <= p.y && p.y <= f.bottom) {
            ws.setLastRemovedFace(f);
            faces.erase(faces.begin() + static_cast<std::ptrdiff_t>(i));
            return FaceClickResult::Removed;
        }
    }
    if (static_cast<int>(faces.size()) >= kMaxFaces) {
        ws.host().message(kTooManyFacesMessage);
        return FaceClickResult::Refused;
    }
    // The new face gets the mean size of the faces there are, or the size
    // of the one removed last when none is left. Sums in 64 bits: boxes
    // come from clicks and detection, but nothing bounds them to 16 bits.
    std::int64_t a = 0;
    if (faces.empty()) {
        const FaceBox& f = ws.lastRemovedFace();
        a = (static_cast<std::int64_t>(f.right) - f.left + f.bottom - f.top) / 4;
    } else {
        std::int64_t sum = 0;
        for (const FaceBox& f : faces) sum += static_cast<std::int64_t>(f.right) - f.left + f.bottom - f.top;
        a = sum / (4 * static_cast<std::int64_t>(faces.size()));
    }
    const int h = static_cast<int>(std::clamp<std::int64_t>(a, -(1 << 24), 1 << 24));
    faces.push_back(FaceBox{p.x - h, p.y - h, p.x + h, p.y + h});
    return FaceClickResult::Added;
}

void drawFaceBoxes(QPainter& painter, const CStereoWorkspace& ws, int zoom, int scrollX, int scrollY) {
    if (ws.faces().empty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(255, 0, 0), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    for (const FaceBox& f : ws.faces()) {
        // The outline covers zoom x left .. zoom x right - 1, as a rectangle
        // whose right and bottom edges are exclusive.
        const int l = f.left * zoom - scrollX, t = f.top * zoom - scrollY;
        const int r = f.right * zoom - scrollX, b = f.bottom * zoom - scrollY;
        painter.drawRect(QRect(l, t, std::max(0, r - l - 1), std::max(0, b - t - 1)));
    }
    painter.restore();
}

// ---- the workspace's face list ----

void CStereoWorkspace::setFaceEditing(bool on) {
    m_faceEditing = on;
    if (!on) m_faces.clear();
}

void CStereoWorkspace::CloseFaceResult() {
    // The closer is taken out first: closing the dialog ends the editing,
    // which calls back here.
    std::function<void()> closer = std::move(m_faceDialogCloser);
    m_faceDialogCloser = nullptr;
    const bool hadFaces = !m_faces.empty();
    setFaceEditing(false);
    if (closer) closer();
    if (hadFaces) m_host.redraw();
}

bool CStereoWorkspace::FaceClick(Point window) {
    if (m_mode != kModeMask || !m_faceEditing) return false;
    editFacesAt(*this, windowToImage(window));
    m_host.redraw();
    return true;
}

}  // namespace plastora

// Settings, the file rule, detection and the click editing of the face list.
#include "autocut/FaceDetect.h"

#include "autocut/FaceMerge.h"

#include "core/ProgramModule.h"
#include "core/Settings.h"
#include "platform/Paths.h"

#include <QPainter>
#include <QPen>

#include "autocut/cascade/FaceCascade.h"


#include <algorithm>
#include <cmath>
#include <filesystem>
#include <new>
#include <vector>

namespace plastora {

const char* const kCascadeLoadFailedMessage = "顔検出学習ファイルの読み込みに失敗しました";
const char* const kNoFaceMessage =
    "顔検出に失敗しました。\n"
    "顔が小さい・横向き・暗い写真では見つからないことがあります。"
    "ペンツールで切出し領域を手で描くか、顔検出設定でスケールファクターや最小近傍を小さくしてもう一度お試しください。";
const char* const kTooManyFacesMessage = "これ以上顔検出領域を追加できません";
const char* const kFaceSearchCaption = "顔検出中";
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
    return boundFaceDetectSettings(s);
}

FaceDetectSettings boundFaceDetectSettings(FaceDetectSettings s) {
    // A hand-edited file can hold anything: a scale factor near 1 or huge
    // makes the detector's pyramid explode, so every number is held to the
    // settings dialog's range.
    s.scaleFactor = std::isfinite(s.scaleFactor) ? std::clamp(s.scaleFactor, kScaleFactorMin, kScaleFactorMax)
                                                 : FaceDetectSettings{}.scaleFactor;
    s.minNeighbors = std::clamp(s.minNeighbors, kMinNeighborsMin, kMinNeighborsMax);
    s.minSize = std::clamp(s.minSize, kMinSizeMin, kMinSizeMax);
    return s;
}

bool writeFaceDetectSettings(const std::string& settingsPath, const FaceDetectSettings& s) {
    // All six in one rewrite of the file: the dialog's values are stored
    // together or not at all.
    return Settings(settingsPath)
        .setAll({{SettingKey::AutoScaleFactor, s.scaleFactor},
                 {SettingKey::AutoMinNeighbors, s.minNeighbors},
                 {SettingKey::AutoMinSize, s.minSize},
                 {SettingKey::AutoCannyPruning, s.cannyPruning},
                 {SettingKey::AutoCascadeFile, std::string_view(s.cascadeFile)},
                 {SettingKey::AutoBodyData, std::string_view(s.bodyData)}});
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

PlastoraDetectFacesFn faceDetector() {
    static const PlastoraDetectFacesFn fn = [] {
        // Loaded on first use, so that programs that never look for faces do
        // not load OpenCV's detector.
        return reinterpret_cast<PlastoraDetectFacesFn>(
            programModuleFunction(PLASTORA_FACE_MODULE, PLASTORA_FACE_FUNCTION));
    }();
    return fn;
}

// One classifier over the picture (made grey and equalised by the module).
// -1 when the classifier or the module cannot be loaded.
int runCascade(const std::string& cascadePath, const Surface& picture, const FaceDetectSettings& s,
               std::vector<FaceBox>& out) {
    std::error_code ec;
    // A missing file is refused here: OpenCV would log its own complaint.
    if (!std::filesystem::is_regular_file(cascadePath, ec)) return -1;
    const PlastoraDetectFacesFn detect = faceDetector();
    if (!detect) return -1;
    std::vector<int> boxes(4 * kMaxFaces);
    // The surface's words are B, G, R, 0xFF in memory.
    const int n = detect(cascadePath.c_str(), reinterpret_cast<const std::uint8_t*>(picture.bits()), picture.width(),
                         picture.height(), static_cast<std::size_t>(picture.width()) * sizeof(Pixel), s.scaleFactor,
                         s.minNeighbors, s.cannyPruning ? 1 : 0, s.minSize, boxes.data(), static_cast<int>(kMaxFaces));
    // A search that ran out of memory found nothing it could tell: not "no
    // faces", which would frame or cut the photo wrongly without a word. The
    // command (or the desktop program's event loop) reports the shortage.
    if (n == PLASTORA_FACES_NO_MEMORY) throw std::bad_alloc();
    for (int i = 0; i < n; ++i) {
        const int* r = boxes.data() + 4 * i;
        out.push_back(FaceBox{r[0], r[1], r[0] + r[2] - 1, r[1] + r[3] - 1});
    }
    return n;
}

// The classifiers of the second pass, each from the program's auto_data
// folder or else from where Debian's opencv-data installs them.
std::vector<std::string> fallbackCascadePaths() {
    std::vector<std::string> paths;
    for (const char* name : {"haarcascade_frontalface_alt.xml", "haarcascade_frontalface_alt2.xml",
                             "haarcascade_frontalface_default.xml", "haarcascade_profileface.xml"}) {
        std::error_code ec;
        for (const std::string& dir : {autoDataFolder(), std::string(kSystemCascadeFolder)}) {
            const std::string path = joinPath(dir, name);
            if (std::filesystem::is_regular_file(path, ec)) {
                paths.push_back(path);
                break;
            }
        }
    }
    return paths;
}

}  // namespace

const char* const kSystemCascadeFolder = "/usr/share/opencv4/haarcascades";

int detectFaceBoxes(const Surface& picture, const FaceDetectSettings& settingsIn, const std::string& cascadePath,
                    std::vector<FaceBox>& faces) {
    faces.clear();
    // Callers may ask for more than the settings file allows (a window
    // larger than the dialog's 99 pixels), but never for a search that
    // cannot end: the scale step is held to the dialog's largest, a window
    // larger than the picture finds nothing.
    FaceDetectSettings settings = settingsIn;
    if (!std::isfinite(settings.scaleFactor) || settings.scaleFactor > kScaleFactorMax)
        settings.scaleFactor = kScaleFactorMax;
    settings.minNeighbors = std::clamp(settings.minNeighbors, 0, 1000);
    settings.minSize = std::max(0, settings.minSize);
    if (picture.empty() || settings.minSize > std::min(picture.width(), picture.height())) {
        // The classifier must still load: a missing one is an error.
        std::vector<FaceBox> none;
        Surface dot;
        if (!dot.create(1, 1)) return 0;
        return runCascade(cascadePath, dot, settings, none) < 0 ? -1 : 0;
    }
    return runCascade(cascadePath, picture, settings, faces);
}

int detectFacesMerged(const Surface& picture, std::vector<FaceBox>& faces) {
    faces.clear();
    if (picture.empty()) return 0;
    Surface mirrored;
    if (!mirrored.create(picture.width(), picture.height())) return 0;
    for (int y = 0; y < picture.height(); ++y) {
        const Pixel* from = picture.row(y);
        Pixel* to = mirrored.row(y);
        for (int x = 0; x < picture.width(); ++x) to[picture.width() - 1 - x] = from[x];
    }
    // Settings that suit ordinary photos: a fine scale step, a little more
    // agreement than the first pass and no window smaller than about a
    // thirtieth of the picture (specks of texture are not faces).
    FaceDetectSettings s;
    s.scaleFactor = 1.1;
    s.minNeighbors = 4;
    s.minSize = std::max(20, std::min(picture.width(), picture.height()) / 30);
    // Each box with the search that found it: a classifier, on the picture
    // or (the profile one) on its mirror image.
    struct Search {
        std::string path;
        bool mirrored;
    };
    std::vector<Search> searches;
    std::vector<FaceBox> all;
    std::vector<std::size_t> foundBy;
    const auto search = [&](const Search& what, const FaceDetectSettings& settings, std::vector<FaceBox>& out) {
        std::vector<FaceBox> found;
        runCascade(what.path, what.mirrored ? mirrored : picture, settings, found);
        for (const FaceBox& f : found)
            out.push_back(what.mirrored ? FaceBox{picture.width() - 1 - f.right, f.top, picture.width() - 1 - f.left, f.bottom}
                                        : f);
    };
    for (const std::string& path : fallbackCascadePaths()) {
        searches.push_back({path, false});
        // The profile classifier knows faces turned one way: the mirrored
        // picture shows it the others.
        if (path.find("profileface") != std::string::npos) searches.push_back({path, true});
    }
    for (std::size_t k = 0; k < searches.size(); ++k) {
        search(searches[k], s, all);
        foundBy.resize(all.size(), k);
    }
    faces = mergeFaceBoxes(all);
    // A face seen from the side is often found by the profile classifier
    // alone, one way round: a box no other search agrees with is kept when
    // its own search still finds it asking three times the agreement.
    const std::vector<std::size_t> lone = loneFaceBoxes(all);
    FaceDetectSettings strict = s;
    strict.minNeighbors = 3 * s.minNeighbors;
    for (std::size_t k = 0; k < searches.size(); ++k) {
        if (std::none_of(lone.begin(), lone.end(), [&](std::size_t i) { return foundBy[i] == k; })) continue;
        std::vector<FaceBox> strong;
        search(searches[k], strict, strong);
        for (const std::size_t i : lone)
            if (foundBy[i] == k && std::any_of(strong.begin(), strong.end(), [&](const FaceBox& f) { return sameFace(f, all[i]); }))
                faces.push_back(all[i]);
    }
    std::sort(faces.begin(), faces.end(), [](const FaceBox& a, const FaceBox& b) {
        return a.left != b.left ? a.left < b.left : a.top < b.top;
    });
    if (faces.size() > static_cast<std::size_t>(kMaxFaces)) faces.resize(kMaxFaces);
    return static_cast<int>(faces.size());
}

int findFaces(const Surface& picture, const FaceDetectSettings& settings, const std::string& cascadePath,
              std::vector<FaceBox>& faces) {
    const int n = detectFaceBoxes(picture, settings, cascadePath, faces);
    if (n != 0) return n;
    return detectFacesMerged(picture, faces);
}

double faceSearchScale(int w, int h) {
    // Faces that matter for framing are not smaller than 640 pixels on the
    // long side show; a panorama keeps 240 on its short side.
    constexpr int kLongSide = 640, kShortSide = 240;
    constexpr double kMaxArea = 2e6;
    const int longSide = std::max(w, h), shortSide = std::min(w, h);
    if (longSide <= kLongSide || shortSide <= 0) return 1.0;
    const double byShortSide = std::min(1.0, static_cast<double>(kShortSide) / shortSide);
    const double byArea = std::sqrt(kMaxArea / (static_cast<double>(w) * h));
    return std::max(static_cast<double>(kLongSide) / longSide, std::min({byShortSide, byArea, 1.0}));
}

std::vector<FaceBox> findFacesInPhoto(const Surface& photo, const std::string& settingsPath) {
    std::vector<FaceBox> faces;
    if (photo.empty()) return faces;
    const double k = faceSearchScale(photo.width(), photo.height());
    Surface small;
    const Surface* pic = &photo;
    if (k < 1.0) {
        const int w = std::max(1, static_cast<int>(photo.width() * k));
        const int h = std::max(1, static_cast<int>(photo.height() * k));
        if (!small.create(w, h) || !stretchBlit(small, 0, 0, w, h, photo, 0, 0, photo.width(), photo.height(),
                                                Rop::Copy, StretchMode::Halftone))
            return faces;
        pic = &small;
    }
    const FaceDetectSettings s = readFaceDetectSettings(settingsPath);
    if (detectFaceBoxes(*pic, s, resolveAutoDataFile(s.cascadeFile), faces) <= 0) faces.clear();
    if (k < 1.0)
        for (FaceBox& f : faces)
            f = FaceBox{static_cast<int>(f.left / k), static_cast<int>(f.top / k), static_cast<int>((f.right + 1) / k) - 1,
                        static_cast<int>((f.bottom + 1) / k) - 1};
    return faces;
}

int DetectFaces(CStereoWorkspace& ws) {
    ws.faces().clear();
    const FaceDetectSettings s = readFaceDetectSettings(ws.settingsPath());
    // The search takes seconds on a large picture (half a minute at 16
    // megapixels): the user sees that it runs, and cannot start other work
    // meanwhile.
    ws.host().progressBegin(kFaceSearchCaption, 0, 1);
    int n = 0;
    try {
        n = findFaces(ws.source(), s, resolveAutoDataFile(s.cascadeFile), ws.faces());
    } catch (const std::bad_alloc&) {
        ws.host().progressEnd();
        ws.faces().clear();
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    ws.host().progressSet(1);
    ws.host().progressEnd();
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
    // A click beside the picture adds nothing: its face would cut out an
    // empty region.
    if (p.x < 0 || p.y < 0 || p.x >= ws.width() || p.y >= ws.height()) return FaceClickResult::Refused;
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

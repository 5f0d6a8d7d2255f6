// Saving and opening projects and photos.
#include "core/PhotoFile.h"
#include "core/ProjectFile.h"
#include "core/RecentFiles.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "output/Interlace.h"
#include "stereo/StereoFiles.h"
#include "core/StillImage.h"
#include "platform/Paths.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace plastora {

namespace {

constexpr const char* kSaveFilter = "ﾌﾟﾗｽﾄｰﾗﾌｧｲﾙ (*.lyr)|*.lyr||";
constexpr const char* kOpenFilter =
    "すべてのﾌｧｲﾙ|*.lyr;*.bmp;*.jpg;*jpeg;*.mpo;*.png;*.tif;*.tiff;*.webp|ﾌﾟﾗｽﾄｰﾗﾌｧｲﾙ (*.lyr)|*.lyr|"
    "JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*jpeg|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|PNGﾌｧｲﾙ (*.png)|*.png|"
    "TIFFﾌｧｲﾙ (*.tif,*.tiff)|*.tif;*.tiff|WebPﾌｧｲﾙ (*.webp)|*.webp|ﾏﾙﾁﾋﾟｸﾁｬｰﾌｧｲﾙ(*.mpo)|*.mpo||";

// A project file is never larger than its header, 31 object records and their
// payloads; this bound only keeps a hostile file from being read whole.
constexpr std::size_t kMaxProjectFileSize = std::size_t{1} << 31;

bool fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

int CStereoWorkspace::Save(const std::string& pathIn) {
    std::string path = pathIn;
    if (path.empty()) {
        auto chosen = m_host.askSavePath("lyr", kSaveFilter, m_currentPath);
        if (!chosen) return 0;
        path = *chosen;
    }
    if (isCardPicturePath(path, m_settings.nintendoPath)) {
        m_host.message(kCardPathMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    const std::string base = projectBase(path);
    const std::string project = base + ".lyr";

    // The project file is written first under a temporary name (so a folder
    // that cannot take it fails before anything else is touched) and put in
    // place last: a save that fails half-way leaves the previous project.
    const std::vector<std::uint8_t> bytes = serializeProject(*this);
    const std::string pending = project + ".saving";
    if (!writeFileAtomically(pending, bytes)) {
        m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    setCurrentPath(project);
    addRecentFile(project);

    if (!SaveStillImage(m_host, m_source, m_width, m_height, base + ".bmp", m_settings.jpegQuality)) {
        std::remove(pending.c_str());
        return 0;
    }
    for (int i = 1; i <= m_highResCount; ++i) {
        const Surface& hd = m_highRes[static_cast<std::size_t>(i - 1)];
        if (!hd.empty()) SaveStillImage(m_host, hd, hd.width(), hd.height(), highResPath(base, i), m_settings.jpegQuality);
    }
    for (int j = 0; j < m_regionCount; ++j) {
        const CutoutRegion& r = region(j);
        if (!writeMaskFile(maskPath(base, j), r.mask, r.depth))
            m_host.message(kMaskSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    }
    if (hasPaintLayer()) SaveStillImage(m_host, m_paint, m_width, m_height, base + ".pai", m_settings.jpegQuality);
    if (std::rename(pending.c_str(), project.c_str()) != 0) {
        std::remove(pending.c_str());
        m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    m_modified = false;
    return 1;
}

int CStereoWorkspace::ReadProject(const std::string& path) {
    std::vector<std::uint8_t> file;
    if (!readWholeFile(path, file, kMaxProjectFileSize)) return 0;
    ProjectHeader h;
    switch (parseProjectHeader(file, h)) {
    case ProjectParse::NotProject:
        m_host.message(kNotProjectMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    case ProjectParse::BadVersion:
        m_host.message(kUnsupportedVersionMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    case ProjectParse::Corrupt:
        return 0;
    case ProjectParse::Ok:
        break;
    }
    std::vector<ProjectObject> objects;
    if (!parseObjectSection(file, h, objects)) return 0;

    m_width = h.width;
    m_height = h.height;
    m_strength = h.strength;
    regionShadow = h.regionShadow;
    backgroundDepth = h.backgroundDepth;
    paintDepth = h.paintDepth;
    paintShadow = h.paintShadow;
    if (h.lpiStored) m_lpi = h.lpi;
    m_stereoPair = h.stereoPair;
    m_highResCount = h.highResCount;

    const std::string base = projectBase(path);
    truncateRegions(0);
    m_maskingIndex = h.maskingIndex;
    if (!m_stereoPair) {
        for (int i = 0; i < h.regionCount; ++i) {
            CutoutRegion& r = m_regions[static_cast<std::size_t>(i)];
            int depth = 0;
            if (readMaskFile(maskPath(base, i), m_width, m_height, r.mask, depth) != MaskRead::Ok) {
                // A missing (or unreadable) mask drops that region and all after it.
                r = CutoutRegion{};
                m_host.message(kMissingMaskMessage, MsgButtons::Ok, MsgIcon::Warning);
                m_maskingIndex = 0;
                break;
            }
            r.depth = (i == 0 && h.region0DepthFromHeader) ? h.foregroundDepth : depth;
            m_regionCount = i + 1;
        }
    }
    if (m_maskingIndex >= std::max(1, m_regionCount)) m_maskingIndex = 0;

    clearObjects();
    for (auto& po : objects) {
        if (po.type != kObjectText && po.type != kObjectPicture && po.type != kObjectShape) continue;
        m_objects[static_cast<std::size_t>(m_objectCount)] =
            ObjectEntry{po.type, std::make_shared<OverlayObject>(std::move(po.object))};
        ++m_objectCount;
    }
    return 1;
}

int CStereoWorkspace::Open(const std::string& pathIn) {
    if (!SaveModified()) return 0;
    std::string path = pathIn;
    if (path.empty()) {
        auto chosen = m_host.askOpenPath("bmp", kOpenFilter);
        if (!chosen) return 0;
        path = *chosen;
    }
    // A multi-picture file opens as a stereo pair.
    if (isMpoPath(path)) return OpenMpoFile(*this, path);
    clearDocument();
    const Settings settings(m_settingsPath);

    if (!isProjectPath(path)) {
        Surface photo;
        int w = 0, h = 0;
        if (!LoadPhoto(m_host, path, photo, w, h)) {
            m_host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
            Redraw();
            return 0;
        }
        m_lpi = settings.getFloat(SettingKey::LenticularLPI);
        if (!takeOpenedPhoto(std::move(photo), path)) {
            clearDocument();
            Redraw();
            return 0;
        }
        // An ".mpo" opens its first picture as a photo here; opening it as a
        // stereo pair is the stereo-pair command's work.
        m_stereoPair = false;
        backgroundDepth = settings.getInt(SettingKey::StereoBackGround);
        foregroundDepth = settings.getInt(SettingKey::StereoForeGround);
        paintDepth = settings.getInt(SettingKey::StereoPaint);
        m_strength = 2;
        m_rotationAllowed = true;
        m_currentPath = path;
    } else {
        const std::string base = projectBase(path);
        if (!ReadProject(path)) {
            m_host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
            clearDocument();
            Redraw();
            return 0;
        }
        Surface edit;
        int w = 0, h = 0;
        const std::string bmp = base + ".bmp";
        const std::string image = fileExists(bmp) ? bmp : base + ".jpg";
        // The edit image must have the project's size: every mask and layer does.
        if (!LoadStillImage(m_host, image, std::nullopt, edit, w, h) || w != m_width || h != m_height) {
            m_host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
            clearDocument();
            Redraw();
            return 0;
        }
        m_source = std::move(edit);
        const std::string pai = base + ".pai";
        if (fileExists(pai)) {
            Surface paint;
            if (LoadStillImage(m_host, pai, std::nullopt, paint, w, h) && w == m_width && h == m_height &&
                m_paintMask.create(m_width, m_height)) {
                m_paint = std::move(paint);
                // The paint mask is white wherever the paint layer is not black.
                for (int y = 0; y < m_height; ++y) {
                    const Pixel* p = m_paint.row(y);
                    Pixel* m = m_paintMask.row(y);
                    for (int x = 0; x < m_width; ++x) m[x] = (p[x] & 0x00FFFFFFu) ? kWhite : kBlack;
                }
            }
        }
        if (m_stereoPair) {
            const int stored = m_highResCount;
            const int count = stored > 0 ? stored : 2;
            m_highResCount = 0;
            for (int i = 1; i <= count; ++i) {
                std::string name = highResPath(base, i);
                if (stored == 0) name = base + "_hd" + std::to_string(i) + ".jpg";
                Surface hd;
                if (!fileExists(name) || !LoadStillImage(m_host, name, std::nullopt, hd, w, h)) break;
                m_highRes[static_cast<std::size_t>(i - 1)] = std::move(hd);
                m_highResCount = i;
            }
        }
        m_rotationAllowed = false;
        m_currentPath = base + ".lyr";
    }

    // Common ending.
    setCurrentPath(m_currentPath);
    addRecentFile(m_currentPath);
    SetMode(m_objectCount > 0 || m_stereoPair ? kModeImage : kModeMask);
    m_modified = false;
    Redraw();
    return 1;
}

int CStereoWorkspace::OpenSampleData() {
    if (!SaveModified()) return 0;
    auto chosen = m_host.askOpenPath("jpg", "ﾌﾟﾗｽﾄｰﾗ画像ﾌｧｲﾙ (*.jpg)|*.jpg||", joinPath(programFolder(), "sample"));
    if (!chosen) return 0;
    const std::string project = projectBase(*chosen) + ".lyr";
    if (!fileExists(project)) return Open(*chosen);
    // The question was asked above; the sample replaces the picture.
    m_modified = false;
    if (!Open(project)) return 0;
    if (!RunStereoDialog(true)) return 1;
    if (Settings(m_settingsPath).getFlag(SettingKey::InterlaceStereo)) CreateInterlace(*this);
    else Compose();
    return 1;
}

}  // namespace plastora

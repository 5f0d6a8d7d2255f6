// Saving and opening projects and photos.
#include "core/DepthMapFile.h"
#include "core/PhotoFile.h"
#include "core/ProjectFile.h"
#include "core/RecentFiles.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "output/Interlace.h"
#include "stereo/StereoFiles.h"
#include "core/StillImage.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"
#include "platform/SignalCleanup.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

// The depth dialog's range, which depths taken from the settings keep to.
constexpr int kSettingDepthMin = -32;
constexpr int kSettingDepthMax = 16;

bool fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

namespace {

// The files a save writes beside the project file, in the order written.
std::vector<std::string> companionPaths(CStereoWorkspace& ws, const std::string& base) {
    std::vector<std::string> paths{base + ".bmp"};
    for (int i = 1; i <= ws.highResCount(); ++i)
        if (!ws.highRes(i - 1).empty()) paths.push_back(highResPath(base, i));
    for (int j = 0; j < ws.regionCount(); ++j) paths.push_back(maskPath(base, j));
    if (ws.hasPaintLayer()) paths.push_back(base + ".pai");
    if (ws.hasDepthMap() && !ws.stereoPair()) paths.push_back(depthMapPath(base));
    return paths;
}

bool samePath(const std::string& a, const std::string& b) { return isSameFile(a, b); }

// True when `project` is a project file already: the files beside it under
// its base name are then its own companions, which a save may replace.
bool isExistingProject(const std::string& project) {
    // The header alone tells, so only its bytes are read (a plain file's
    // only: a pipe could keep the read waiting).
    std::error_code ec;
    if (!std::filesystem::is_regular_file(project, ec)) return false;
    std::ifstream in(project, std::ios::binary);
    std::vector<std::uint8_t> head(kProjectHeaderSize);
    if (!in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size())))
        head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    ProjectHeader h;
    const ProjectParse parsed = parseProjectHeader(head, h);
    return parsed == ProjectParse::Ok || parsed == ProjectParse::BadVersion;
}

// True when something (a file, a folder, a link even to nothing) has the name.
bool anyFileAt(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// The project file of `path` where it really is: a project file that is a
// symbolic link has its companion files beside the file it points to, and
// those are the files a save writes and the guards must look at.
std::string projectFileBeside(const std::string& path) { return resolveSaveTarget(projectFilePath(path)); }

// The first companion of a save to `path` that would replace a file that is
// not one of that project's own: the photo or the depth map the document was
// read from, or any file beside a name that holds no project. "" when there
// is none.
std::string foreignCompanion(CStereoWorkspace& ws, const std::string& path, const std::string& openedFrom) {
    const std::string project = projectFileBeside(path);
    const std::string base = projectBase(project);
    const bool ownProject = isExistingProject(project);
    for (const std::string& c : companionPaths(ws, base)) {
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(c, ec))) continue;
        for (const std::string& source : {openedFrom, ws.depthMapSource()})
            if (!source.empty() && samePath(c, source)) return c;
        if (!ownProject) return c;
    }
    return {};
}

}  // namespace

// The message with the file named in full (an absolute path, so that it is
// clear which file is meant, whatever the current folder).
std::string formatWithFile(const char* format, const std::string& fileIn) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(fileIn, ec);
    const std::string file = ec ? fileIn : absolute.lexically_normal().string();
    std::string text = format;
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, file);
    return text;
}

std::vector<std::string> projectFilesFor(CStereoWorkspace& ws, const std::string& projectPath) {
    const std::string project = projectFileBeside(projectPath);
    std::vector<std::string> files = companionPaths(ws, projectBase(project));
    files.push_back(project);
    return files;
}

std::vector<std::string> projectFilesOf(CStereoWorkspace& ws) {
    if (ws.currentPath().empty() || !isProjectPath(ws.currentPath())) return {};
    std::vector<std::string> files = projectFilesFor(ws, ws.currentPath());
    files.insert(files.end(), ws.otherProjectFilesRead().begin(), ws.otherProjectFilesRead().end());
    return files;
}

const char* const kCorruptMaskMessage =
    "追加切出し領域ファイル %s が壊れています。この追加切出し領域以降を削除します。";
const char* const kOwnProjectFileMessage =
    "%s はこのプロジェクトのファイルのため、上書きしません。\n別の名前を指定してください。";
const char* const kForeignCompanionMessage =
    "%s はこのプロジェクトのファイルではないため、上書きしません。\n別のプロジェクト名を指定してください。";
const char* const kReplaceOtherProjectQuestion = "%s は既に存在します。\n上書きしますか？";
const char* const kIncompleteOverwriteMessage =
    "%s は開いたときに読み込めなかったファイルがあるため、上書きしません。\n別のプロジェクト名を指定してください。";

int CStereoWorkspace::Save(const std::string& pathIn) {
    std::string path = pathIn;
    if (path.empty()) {
        // The project's own name is proposed: a photo's name with its
        // extension would not match the project filter.
        const std::string proposed = m_currentPath.empty() ? std::string() : projectBase(m_currentPath) + ".lyr";
        auto chosen = m_host.askSavePath("lyr", kSaveFilter, proposed);
        if (!chosen) return 0;
        path = *chosen;
        // A name with another extension ("chel.v2") is saved as its ".lyr",
        // which the dialog's own overwrite question did not ask about: a file
        // there (another project, or anything else) is replaced only when the
        // user says so.
        const std::string project = projectFilePath(path);
        if (project != path && anyFileAt(project) &&
            !(isProjectPath(m_currentPath) && samePath(project, m_currentPath)) &&
            m_host.message(formatWithFile(kReplaceOtherProjectQuestion, project), MsgButtons::YesNo,
                           MsgIcon::Question) != MsgResult::Yes)
            return 0;
    }
    // The photo the document came from (a project remembers none).
    const std::string openedFrom = isProjectPath(m_currentPath) ? std::string() : m_currentPath;
    // A document from a photo saved without a name chosen (上書き保存, or Yes
    // to the question on closing) goes to the photo's name as a project: a
    // file already there is another document's, replaced only when the user
    // says so.
    if (!pathIn.empty() && !openedFrom.empty() && pathIn == m_currentPath && anyFileAt(projectFilePath(path))) {
        const MsgResult answer = m_host.message(formatWithFile(kReplaceOtherProjectQuestion, projectFilePath(path)),
                                                MsgButtons::YesNo, MsgIcon::Question);
        if (answer != MsgResult::Yes) {
            auto chosen = m_host.askSavePath("lyr", kSaveFilter, projectBase(path) + "-3d.lyr");
            if (!chosen) return 0;
            path = *chosen;
        }
    }
    for (;;) {
        if (isCardPicturePath(path, m_settings.nintendoPath)) {
            m_host.message(kCardPathMessage, MsgButtons::Ok, MsgIcon::Warning);
            return 0;
        }
        // A project that lost parts on opening (a damaged mask, paint layer
        // or stereo picture) is not saved over itself: the save would make
        // the loss permanent. Another name keeps the old files as they are.
        if (m_openedIncomplete && isProjectPath(m_currentPath) && samePath(projectFilePath(path), m_currentPath)) {
            m_host.message(formatWithFile(kIncompleteOverwriteMessage, m_currentPath), MsgButtons::Ok,
                           MsgIcon::Warning);
            auto chosen = m_host.askSavePath("lyr", kSaveFilter, projectBase(path) + "-3d.lyr");
            if (!chosen) return 0;
            path = *chosen;
            continue;
        }
        // The companions are named after the project; one that would land on
        // a file that is not this project's own (the opened photo above all)
        // is never written: the user picks another name.
        const std::string foreign = foreignCompanion(*this, path, openedFrom);
        if (foreign.empty()) break;
        m_host.message(formatWithFile(kForeignCompanionMessage, foreign), MsgButtons::Ok, MsgIcon::Warning);
        auto chosen = m_host.askSavePath("lyr", kSaveFilter, projectBase(path) + "-3d.lyr");
        if (!chosen) return 0;
        path = *chosen;
    }
    // A project file that is a symbolic link is saved where it points, its
    // companion files beside it: named from the link they would land beside
    // the link and leave the project it points to mismatched.
    const std::string project = projectFileBeside(path);
    const std::string base = projectBase(project);
    // A paint layer file of the project being replaced that this document
    // no longer has would be read back as its paint layer: it goes once the
    // save is in place. (The masks, copies and depth map are named by the
    // project file's counts and flags, so stale ones are never read.)
    std::error_code paintError;
    const bool stalePaint = !hasPaintLayer() && isExistingProject(project) &&
                            std::filesystem::is_regular_file(base + ".pai", paintError);

    // A text longer than the project reader takes would make a project that
    // cannot be opened again: nothing is written.
    for (int i = 0; i < m_objectCount; ++i) {
        const ObjectEntry& e = objectEntry(i);
        if (e.type == kObjectText && e.object &&
            toDiskText(e.object->text).size() > static_cast<std::size_t>(kProjectMaxTextBytes)) {
            m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
            return 0;
        }
    }

    // Every file is written under a temporary name first; only when all of
    // them are complete are they put in place, the project file last. A save
    // that fails at any point leaves the previous project as it was.
    // The companions are named by the program: one that is a symbolic link
    // (a project from someone else may hold links to the user's files
    // elsewhere) is replaced by the file, never written through.
    ReplacingFileSet files;
    const auto reserve = [&](const std::string& target) {
        std::string temp = files.add(target, LinkAtTarget::Replace);
        if (temp.empty()) m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return temp;
    };
    // The names are all reserved first, in the order the files are put in
    // place; the pictures and masks are then encoded and written at once on
    // every core (the strips of the high-resolution copy beside the edit
    // image and the masks), and a failure is reported afterwards, the first
    // in that order.
    std::vector<StillImageWrite> writes;
    std::vector<const char*> failures;
    const int quality = m_settings.jpegQuality;
    const auto picture = [&](const Surface& s, const std::string& temp) {
        StillImageWrite w;
        w.picture = &s;
        w.path = temp;
        w.jpegQuality = quality;
        writes.push_back(std::move(w));
        failures.push_back(kSaveFailedMessage);
    };
    const std::string editTemp = reserve(base + ".bmp");
    if (editTemp.empty()) return 0;
    picture(m_source, editTemp);
    for (int i = 1; i <= m_highResCount; ++i) {
        const Surface& hd = m_highRes[static_cast<std::size_t>(i - 1)];
        if (hd.empty()) continue;
        const std::string temp = reserve(highResPath(base, i));
        if (temp.empty()) return 0;
        picture(hd, temp);
    }
    for (int j = 0; j < m_regionCount; ++j) {
        const CutoutRegion& r = region(j);
        const std::string temp = files.add(maskPath(base, j), LinkAtTarget::Replace);
        if (temp.empty()) {
            m_host.message(kMaskSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
            return 0;
        }
        StillImageWrite w;
        w.write = [&r, temp] { return writeMaskFile(temp, r.mask, r.depth); };
        writes.push_back(std::move(w));
        failures.push_back(kMaskSaveFailedMessage);
    }
    if (hasPaintLayer()) {
        const std::string temp = reserve(base + ".pai");
        if (temp.empty()) return 0;
        picture(m_paint, temp);
    }
    const std::vector<char> written = WriteStillImages(writes);
    for (std::size_t k = 0; k < written.size(); ++k) {
        if (!written[k]) {
            m_host.message(failures[k], MsgButtons::Ok, MsgIcon::Warning);
            return 0;
        }
    }
    if (hasDepthMap() && !m_stereoPair) {
        const std::string temp = reserve(depthMapPath(base));
        if (temp.empty() || !writeDepthMapImage(m_host, m_depthMap, temp, true, m_settings.jpegQuality)) return 0;
    }
    const std::string projectTemp = reserve(project);
    if (projectTemp.empty()) return 0;
    // A signal to stop waits until the files are in place and a stale paint
    // layer is gone (left, it would be read back into the new project).
    const SignalsHeld held;
    // A project file larger than the reader takes would never open again.
    const std::vector<std::uint8_t> projectBytes = serializeProject(*this);
    if (projectBytes.empty() || projectBytes.size() > kMaxProjectFileSize || !writeFileReplacing(projectTemp, projectBytes) ||
        !files.commit()) {
        m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    if (stalePaint) {
        std::error_code ec;
        std::filesystem::remove(base + ".pai", ec);
    }
    setCurrentPath(project);
    m_openedIncomplete = false;  // the project now open is the one just saved, whole
    m_lostViewSource = false;
    m_depthMapSource.clear();  // the map is the project's own file now
    m_otherProjectFilesRead.clear();  // the files of the project now are the ones written
    addRecentFile(project);
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
    std::size_t unread = 0;
    if (!parseObjectSection(file, h, objects, &unread)) return 0;
    // Bytes after the last object are objects the header's count left out
    // (a damaged count): the rest opens, with the loss said and the project
    // kept from being saved over itself.
    if (unread > 0) {
        m_host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        m_openedIncomplete = true;
    }

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
            CutoutRegion& r = region(i);
            int depth = 0;
            const std::string mask = maskPath(base, i);
            const MaskRead read = readMaskFile(mask, m_width, m_height, r.mask, depth);
            if (read != MaskRead::Ok) {
                // A missing (or unreadable) mask drops that region and all after it.
                r = CutoutRegion{};
                if (read == MaskRead::Missing)
                    m_host.message(kMissingMaskMessage, MsgButtons::Ok, MsgIcon::Warning);
                else if (read == MaskRead::OutOfMemory)  // the file may well be sound
                    m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                else
                    m_host.message(formatWithFile(kCorruptMaskMessage, mask), MsgButtons::Ok, MsgIcon::Warning);
                m_maskingIndex = 0;
                m_openedIncomplete = true;
                break;
            }
            r.depth = (i == 0 && h.region0DepthFromHeader) ? h.foregroundDepth : depth;
            m_regionCount = i + 1;
        }
    }
    if (m_maskingIndex >= std::max(1, m_regionCount)) m_maskingIndex = 0;
    m_depthMap.reset();
    if (h.depthMap && !m_stereoPair) {
        // A map that is missing or of another size is reported; the picture
        // then opens with its layers alone.
        Surface map;
        if (readDepthMapImage(depthMapPath(base), map) && map.width() == m_width && map.height() == m_height)
            m_depthMap = std::move(map);
        else {
            m_host.message(kDepthMapReadFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
            m_openedIncomplete = true;
            m_lostViewSource = true;
        }
    }

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
    const int opened = isMpoPath(path) ? OpenMpoFile(*this, path) : openChosen(path);
    // An open that failed after letting the old document go leaves an empty,
    // untitled one: the old name would invite saving nothing over it.
    if (opened != 1 && m_width == 0 && !m_currentPath.empty()) setCurrentPath({});
    return opened;
}

int CStereoWorkspace::openChosen(const std::string& path) {
    clearDocument();
    const Settings settings(m_settingsPath);

    if (!isProjectPath(path)) {
        // A JPEG is decoded once its size is known to be needed: its
        // headers give the size the picture dialog works with. Any other
        // photo is read whole now.
        Surface photo;
        int w = 0, h = 0;
        const bool jpeg = DetectPhotoFormatOfFile(path) == PhotoFormat::Jpeg;
        if (!(jpeg ? PhotoSize(m_host, path, w, h) : LoadPhoto(m_host, path, photo, w, h))) {
            m_host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
            Redraw();
            return 0;
        }
        PhotoReader reader{w, h, [&](int reduction, Surface& out, int& scale, Point& phase) {
                               phase = {0, 0};
                               if (!jpeg) {
                                   out = std::move(photo);
                                   scale = 1;
                                   return true;
                               }
                               PhotoLoadNotes notes;
                               int pw = 0, ph = 0;
                               if (!LoadPhotoReduced(m_host, path, reduction, out, pw, ph, &notes)) {
                                   m_host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
                                   return false;
                               }
                               scale = notes.scale;
                               phase = notes.phase;
                               return true;
                           },
                           {}};
        if (jpeg)
            reader.readRows = [&](int reduction, const std::function<void(int, const Pixel*, int)>& row) {
                int rw = 0, rh = 0;
                return ForEachUprightJpegPhotoRowReduced(path, reduction, rw, rh, row);
            };
        // The lens resolution a project may hold (1..10000 lines per inch);
        // anything else in the settings counts as the default 60.
        const double lpi = settings.getFloat(SettingKey::LenticularLPI);
        m_lpi = lpi >= 1.0 && lpi <= 10000.0 ? lpi : 60.0;
        if (!takeOpenedPhoto(reader, path)) {
            clearDocument();
            Redraw();
            return 0;
        }
        // An ".mpo" opens its first picture as a photo here; opening it as a
        // stereo pair is the stereo-pair command's work.
        m_stereoPair = false;
        // Settings may hold any number: the depths stay in the depth dialog's range.
        backgroundDepth = std::clamp(settings.getInt(SettingKey::StereoBackGround), kSettingDepthMin, kSettingDepthMax);
        foregroundDepth = std::clamp(settings.getInt(SettingKey::StereoForeGround), kSettingDepthMin, kSettingDepthMax);
        paintDepth = std::clamp(settings.getInt(SettingKey::StereoPaint), kSettingDepthMin, kSettingDepthMax);
        m_strength = 2;
        m_rotationAllowed = true;
        m_currentPath = path;
    } else {
        // Through a symbolic link the companion files are beside its target.
        const std::string target = projectFileBeside(path);
        const std::string base = projectBase(target);
        if (!ReadProject(target)) {
            m_host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
            clearDocument();
            Redraw();
            return 0;
        }
        Surface edit;
        int w = 0, h = 0;
        const std::string bmp = base + ".bmp";
        const std::string image = fileExists(bmp) ? bmp : base + ".jpg";
        std::vector<std::string> otherFilesRead;
        if (image != bmp) otherFilesRead.push_back(image);
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
            if (!LoadStillImage(m_host, pai, std::nullopt, paint, w, h) || w != m_width || h != m_height) {
                // Reported, and the paint layer file is kept from being
                // overwritten (or removed) by a save of what is left.
                m_host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
                m_openedIncomplete = true;
            } else if (m_paintMask.create(m_width, m_height)) {
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
                // Every picture has the first one's size: a stereo picture
                // of another size (replaced by hand) would make views and
                // outputs of the wrong size.
                // Read only when its header gives a whole multiple of the
                // working size (as saved, at any [Picture] HDRatio up to the
                // largest allowed): a picture replaced by hand with another
                // could take gigabytes to decode.
                int hw = 0, hh = 0;
                const bool fits = fileExists(name) && JpegSizeAt(name, 0, hw, hh) && hw % m_width == 0 &&
                                  hw / m_width >= 1 && hw / m_width <= kMaxHighResRatio &&
                                  hh == hw / m_width * m_height;
                const bool loaded = fits && LoadStillImage(m_host, name, std::nullopt, hd, w, h);
                if (!loaded || (i > 1 && (hd.width() != m_highRes[0].width() || hd.height() != m_highRes[0].height()))) {
                    // A picture the project names is lost with those after
                    // it (an older project names none: its pictures end at
                    // the first one missing).
                    if (stored > 0 || loaded) {
                        m_host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
                        m_openedIncomplete = true;
                        m_lostViewSource = true;
                    }
                    break;
                }
                m_highRes[static_cast<std::size_t>(i - 1)] = std::move(hd);
                m_highResCount = i;
                if (stored == 0) otherFilesRead.push_back(name);
            }
            // A stereo pair without a single picture (both lost, or a
            // damaged flag on a project of regions) has nothing to make
            // views of, and saved as it is it would lose what it had.
            if (m_highResCount == 0 && !m_lostViewSource) {
                m_host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
                m_openedIncomplete = true;
                m_lostViewSource = true;
            }
        }
        m_rotationAllowed = false;
        m_currentPath = projectFilePath(path);
        m_otherProjectFilesRead = std::move(otherFilesRead);
    }

    // Common ending.
    setCurrentPath(m_currentPath);
    m_depthMapSource.clear();
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
    // The question was asked above; the sample replaces the picture without
    // asking it again.
    m_modified = false;
    if (!fileExists(project)) return Open(*chosen);
    if (!Open(project)) return 0;
    if (!RunStereoDialog(true)) return 1;
    if (Settings(m_settingsPath).getFlag(SettingKey::InterlaceStereo)) CreateInterlace(*this);
    else Compose();
    return 1;
}

}  // namespace plastora

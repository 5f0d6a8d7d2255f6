#include "stereo/StereoFiles.h"

#include "output/Anaglyph.h"

#include "core/PhotoFile.h"
#include "core/ProjectFile.h"
#include "core/RecentFiles.h"
#include "core/Settings.h"
#include "core/StillImage.h"
#include "output/Trimming.h"
#include "output/WorkingSize.h"
#include "overlay/ObjectDraw.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"
#include "platform/Translation.h"
#include "stereo/Mpo.h"
#include "stereo/PairAlign.h"
#include "stereo/PatternMultiView.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <sys/stat.h>

namespace plastora {

const char* const kStereoSecondPictureQuestion =
    "ステレオ画像またはチェンジング画像のもう一方の画像を開いてください。\n先に開いた画像は左の画像ですか?\n"
    "その場合は「はい」を答えて次に右の画像を開いてください。\n違う場合は「いいえ」を答えて次に左の画像を開いてください。";
const char* const kStereoSizeDiffersQuestion = "左右のステレオ画像のサイズが異なります。処理を続行しますか?";
const char* const kStereoPairOpenFilter =
    "すべてのﾌｧｲﾙ|*.bmp;*.jpg;*jpeg;*.png;*.tif;*.tiff;*.webp|JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*jpeg|"
    "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|PNGﾌｧｲﾙ (*.png)|*.png|TIFFﾌｧｲﾙ (*.tif,*.tiff)|*.tif;*.tiff|"
    "WebPﾌｧｲﾙ (*.webp)|*.webp||";
const char* const kStereoSaveFilter =
    "ﾏﾙﾁﾋﾟｸﾁｬｰﾌｧｲﾙ(*.mpo)|*.mpo|JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*jpeg|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp||";
const char* const kCardNoViewsQuestion = "立体画像が作成されていません。画像作成を作成します。";
const char* const kCardOverwriteQuestion =
    "読み込んだ画像を上書きしますか？\nいいえを答えると元の写真は残したまま作成した画像を新たに追加します";
const char* const kCardWriteSucceededMessage =
    "画像の書き込みに成功しました。メモリーカードをNINTENDO DS3にメモリーカードを差し込んで3Dカメラで見てください";
const char* const kCardWriteFailedMessage =
    "画像の書き込みに失敗しました。メモリーカードに画像が書き込めるようになっているか 空き領域があるか確認てください";
const char* const kNoCardOnDriveMessage =
    "選択したドライブにはNINTENDO 3DS用のメモリーカードが差し込まれていません。\n"
    "メモリーカードを差し込むか他のドライブを選択してください。";

std::string mpoTooManyImagesMessage(std::uint32_t count) {
    return "このマルチピクチャーファイルには画像が" + std::to_string(count) +
           "枚あります。\n読み込めるのは" + std::to_string(kHighResSlots) + "枚までです。";
}

namespace {

// The open dialog of the first picture: projects and pictures.
constexpr const char* kFirstPictureFilter =
    "すべてのﾌｧｲﾙ|*.lyr;*.bmp;*.jpg;*jpeg;*.mpo;*.png;*.tif;*.tiff;*.webp|ﾌﾟﾗｽﾄｰﾗﾌｧｲﾙ (*.lyr)|*.lyr|"
    "JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*jpeg|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|PNGﾌｧｲﾙ (*.png)|*.png|"
    "TIFFﾌｧｲﾙ (*.tif,*.tiff)|*.tif;*.tiff|WebPﾌｧｲﾙ (*.webp)|*.webp|ﾏﾙﾁﾋﾟｸﾁｬｰﾌｧｲﾙ(*.mpo)|*.mpo||";
constexpr const char* kCardTempName = "PLASTORA_TEMP.MPO";
constexpr const char* kMpoPieceStem = "PLASTORA";

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool equalNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

// Does `text` hold `part` at `at`, exactly or without regard to case?
bool holdsAt(const std::string& text, std::size_t at, const std::string& part, bool anyCase) {
    if (at > text.size() || text.size() - at < part.size()) return false;
    for (std::size_t i = 0; i < part.size(); ++i) {
        const char a = text[at + i], b = part[i];
        if (anyCase ? lower(a) != lower(b) : a != b) return false;
    }
    return true;
}

// The tails of a path a card mount point may stand before: the whole path and
// what follows each '/'. Gives the offsets where they start.
std::vector<std::size_t> tailStarts(const std::string& path) {
    std::vector<std::size_t> out{0};
    for (std::size_t i = 0; i < path.size(); ++i)
        if (path[i] == '/') out.push_back(i + 1);
    return out;
}

// Filename matching with '*' and '?', any case (as directory searches on the
// card's file system behave).
bool wildcardMatchNoCase(const char* pat, const char* s) {
    for (; *pat; ++pat, ++s) {
        if (*pat == '*') {
            for (const char* t = s;; ++t) {
                if (wildcardMatchNoCase(pat + 1, t)) return true;
                if (!*t) return false;
            }
        }
        if (!*s || (*pat != '?' && lower(*pat) != lower(*s))) return false;
    }
    return *s == '\0';
}

// Names in `folder` matching `pattern` (sorted); directories or files only.
std::vector<std::string> listMatching(const std::string& folder, const std::string& pattern, bool directories) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError) != directories) continue;
        const std::string name = it->path().filename().string();
        if (wildcardMatchNoCase(pattern.c_str(), name.c_str())) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string stripTrailingSlash(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string joinCard(const std::string& drive, const std::string& rest) {
    return drive.empty() ? rest : stripTrailingSlash(drive) + "/" + rest;
}

// ---- opening --------------------------------------------------------------------

// A picture brought to the high-resolution size the way the first picture
// was: the same rotation, its trimming rectangle scaled to this picture's
// size, onto R·W x R·H.
bool fitLikeFirstPicture(CStereoWorkspace& ws, const Surface& photo, Surface& out) {
    const int R = std::max(1, ws.settings().hdRatio);
    const Surface* from = &photo;
    Surface rotated;
    if (ws.rotationAngle() != 0.0) {
        if (!rotatePicture(rotated, photo, ws.rotationAngle())) return false;
        from = &rotated;
    }
    const Size first = ws.trimPhotoSize();
    const Rect s = ws.trimSource();
    const std::int64_t w1 = std::max(1, first.cx), h1 = std::max(1, first.cy);
    const std::int64_t w2 = photo.width(), h2 = photo.height();
    Rect source{static_cast<int>(s.left * w2 / w1), static_cast<int>(s.top * h2 / h1),
                static_cast<int>(s.right * w2 / w1), static_cast<int>(s.bottom * h2 / h1)};
    if (source.width() <= 0) source.right = std::min<int>(static_cast<int>(w2), source.left + 1);
    if (source.height() <= 0) source.bottom = std::min<int>(static_cast<int>(h2), source.top + 1);
    return resampleThrough(out, ws.width() * R, ws.height() * R, *from, source, scaleRect(ws.trimDest(), R), kWhite);
}

// A failed open that let the old document go leaves an empty, untitled
// window (the old name would invite saving nothing over it).
void abortOpen(CStereoWorkspace& ws) {
    ws.clearDocument();
    ws.setCurrentPath({});
    ws.Redraw();
}

// The same for a file refused before anything was read, the document
// emptied before its error message is shown.
int refuseOpen(CStereoWorkspace& ws, const std::string& message) {
    ws.clearDocument();
    ws.setCurrentPath({});
    ws.host().message(message, MsgButtons::Ok, MsgIcon::Error);
    ws.Redraw();
    return 0;
}

// A further picture of the pair fitted like the first; on a memory failure
// the message is shown and the whole open is given up.
bool fitOrAbort(CStereoWorkspace& ws, const Surface& photo, Surface& out) {
    if (fitLikeFirstPicture(ws, photo, out)) return true;
    ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
    abortOpen(ws);
    return false;
}

// Loads the first picture (or image 0 of an MPO) and brings it to the
// working size; the workspace then holds it with its copy in slot 0.
bool openFirstPicture(CStereoWorkspace& ws, const std::string& path, Size& photoSize) {
    ws.clearDocument();
    Surface photo;
    int w = 0, h = 0;
    if (!LoadPhoto(ws.host(), path, photo, w, h)) {
        ws.host().message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        abortOpen(ws);
        return false;
    }
    photoSize = {w, h};
    // As a project: 1..10000 lines per inch, else the default 60.
    const double lpi = Settings(ws.settingsPath()).getFloat(SettingKey::LenticularLPI);
    ws.setLpi(lpi >= 1.0 && lpi <= 10000.0 ? lpi : 60.0);
    if (!ws.OpenPicture(std::move(photo), path, true) || ws.highResCount() < 1 || ws.highRes(0).empty()) {
        abortOpen(ws);
        return false;
    }
    return true;
}

// Brings the rows of every further picture in line with the left one
// (slot 0) and says in the status bar what was corrected. A picture whose
// features do not agree with the left one's is kept as it is. False only
// when memory runs out (after the message; the open is given up).
bool alignPairPictures(CStereoWorkspace& ws, std::optional<bool> align) {
    if (!align.value_or(Settings(ws.settingsPath()).getFlag(SettingKey::StereoAlign))) return true;
    const Surface& left = ws.highRes(0);
    const double toWorking = left.width() > 0 ? static_cast<double>(ws.width()) / left.width() : 1.0;
    std::string note;
    for (int k = 1; k < ws.highResCount(); ++k) {
        const PairAlignment a = estimatePairAlignment(left, ws.highRes(k));
        std::string part;
        if (!a.ok) {
            part = translateText(kPairNotAlignedMessage);
        } else {
            // The note is put together here, so its pieces are shown in the
            // chosen language here: the whole would match no translation.
            part = translateText("位置合わせ: ") + describeAlignment(a, toWorking);
            Surface corrected;
            if (a.changesPicture(ws.highRes(k).width(), ws.highRes(k).height())) {
                if (!applyPairAlignment(ws.highRes(k), a, corrected, &left)) {
                    ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                    abortOpen(ws);
                    return false;
                }
                ws.highRes(k) = std::move(corrected);
            }
        }
        if (ws.highResCount() > 2) part = std::to_string(k + 1) + ": " + part;
        note += (note.empty() ? "" : " / ") + part;
    }
    ws.host().status(note);
    return true;
}

// The common ending of a stereo open.
void finishStereoOpen(CStereoWorkspace& ws, const std::string& path) {
    const Settings settings(ws.settingsPath());
    ws.setStereoPair(true);
    ws.backgroundDepth = 0;
    ws.foregroundDepth = 0;
    ws.paintDepth = std::clamp(settings.getInt(SettingKey::StereoPaint), -32, 16);  // the depth dialog's range
    ws.setStrength(2);
    // Turning the working image alone would part it from the pair's pictures.
    ws.setRotationAllowed(false);
    ws.setCurrentPath(path);
    addRecentFile(path);
    ws.SetMode(kModeImage);
    ws.setModified(false);
    ws.Redraw();
}

// ---- saving ---------------------------------------------------------------------

// The views a save writes, in the order they are written: the outer pair
// (right eye first), or every view.
std::vector<int> savedViews(StereoSaveMode mode, int n) {
    std::vector<int> order;
    if (mode == StereoSaveMode::Pair) {
        order = {0, n - 1};
        if (n == 1) order.pop_back();
    } else {
        for (int i = 0; i < n; ++i) order.push_back(i);
    }
    return order;
}

std::string viewSuffix(StereoSaveMode mode, int view, int n) {
    if (mode == StereoSaveMode::Pair) return view == 0 ? "_R" : "_L";
    char s[16];
    std::snprintf(s, sizeof s, "_%02d", n - view);
    return s;
}

void removeQuietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

bool hasHighResImage(CStereoWorkspace& ws) { return ws.highResCount() > 0 && !ws.highRes(0).empty(); }

int saveViewsCommand(CStereoWorkspace& ws, const std::string& pathIn, StereoSaveMode mode) {
    // The command is offered for a document with a high-resolution copy and
    // no views yet: they are made first on the user's word, as for a movie,
    // instead of the command doing nothing.
    if (!ws.EnsureViews()) return 0;
    // After an anaglyph only the two end views exist: every view is made
    // first (on the user's word) instead of nothing being written.
    if (mode == StereoSaveMode::AllViews && !ws.hasAllViews()) {
        if (ws.host().message(kAskMakeViews, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) return 0;
        if (ws.RunStereoDialog(false) != 1 || !ws.hasAllViews()) return 0;
    }
    std::string path = pathIn;
    if (path.empty()) {
        const std::string& source = ws.currentPath();
        const std::size_t dot = source.find_last_of('.');
        const std::size_t slash = source.find_last_of('/');
        const bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
        const std::string suggested = source.empty() ? std::string() : (hasDot ? source.substr(0, dot) : source) + ".mpo";
        const auto chosen = ws.host().askSavePath("jpg", kStereoSaveFilter, suggested);
        if (!chosen) return 0;
        path = *chosen;
    }
    if (isInCardPictureFolder(path, ws.settings().nintendoPath)) {
        ws.host().message(kCardPathMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    return SaveStereoViews(ws, path, mode, mode == StereoSaveMode::Pair && hasHighResImage(ws), ExifMode::Normal);
}

// A copy that replaces the destination only when complete.
bool copyOver(const std::string& from, const std::string& to) {
    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(from, bytes, std::size_t{1} << 31)) return false;
    return writeFileReplacing(to, bytes);
}

}  // namespace

// ---- names ----------------------------------------------------------------------------

bool isMpoPath(const std::string& path) {
    return path.size() >= 4 && equalNoCase(path.substr(path.size() - 4), ".mpo");
}

std::string suggestSecondPictureName(const std::string& firstPath, bool firstIsLeft) {
    std::string name = firstPath;
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return name;
    char& c = name[dot - 1];
    if (firstIsLeft) {
        if (c == 'l') c = 'r';
        else if (c == 'L') c = 'R';
    } else {
        if (c == 'r') c = 'l';
        else if (c == 'R') c = 'L';
    }
    return name;
}

StereoSaveNames stereoSaveNames(const std::string& target, const std::string& tempFolder) {
    StereoSaveNames n;
    const std::size_t slash = target.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = target.find_last_of('.');
    const bool hasDot = dot != std::string::npos && dot >= nameStart;
    n.ext = hasDot ? target.substr(dot) : std::string();
    // Only an underscore of the file name itself cuts the base: one in a
    // folder name would send the files to another folder.
    const std::size_t underscore = target.find_last_of('_');
    std::string base;
    if (underscore != std::string::npos && underscore >= nameStart)
        base = target.substr(0, underscore);
    else
        base = hasDot ? target.substr(0, dot) : target;
    n.mpo = equalNoCase(n.ext, ".mpo");
    n.jpegLike = n.mpo || (!n.ext.empty() && lower(n.ext.back()) == 'g');
    n.stem = (n.mpo && !tempFolder.empty()) ? joinPath(tempFolder, kMpoPieceStem) : base;
    return n;
}

std::vector<std::string> stereoSaveFiles(const std::string& target, StereoSaveMode mode, int viewCount) {
    const StereoSaveNames names = stereoSaveNames(target, {});
    if (names.mpo) return {target};
    std::vector<std::string> files;
    const std::string ext = names.jpegLike ? std::string(".jpg") : names.ext;
    for (int v : savedViews(mode, viewCount)) files.push_back(names.stem + viewSuffix(mode, v, viewCount) + ext);
    return files;
}

// ---- the memory card ----------------------------------------------------------------------

std::string cardPattern(const std::string& nintendoPath) {
    std::string p = nintendoPath;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

bool isInCardPictureFolder(const std::string& given, const std::string& nintendoPath) {
    const std::string p = cardPattern(nintendoPath);
    if (p.size() < 12) return false;
    const std::string head = p.substr(0, 5), folder = p.substr(6, 6);
    // The name as given and the place it really is: a relative name from
    // inside the card, or a link into its picture folder, names no folder
    // of the card in its own text.
    std::error_code ec;
    const std::string real = std::filesystem::weakly_canonical(std::filesystem::absolute(given, ec), ec).string();
    for (const std::string& path : {given, ec ? given : real})
        for (const std::size_t t : tailStarts(path))
            if (holdsAt(path, t, head, false) && holdsAt(path, t + 8, folder, false)) return true;
    return false;
}

namespace {

// True for the root of a mounted file system (a memory card's drive), whose
// device differs from its parent's.
bool isMountPoint(const std::string& folder) {
    struct stat here {}, parent {};
    if (::stat(folder.c_str(), &here) != 0 || !S_ISDIR(here.st_mode)) return false;
    if (::stat((folder + "/..").c_str(), &parent) != 0) return false;
    return here.st_dev != parent.st_dev || here.st_ino == parent.st_ino;
}

}  // namespace

std::optional<std::string> cardRootOfPicture(const std::string& path, const std::string& nintendoPath) {
    const std::string p = cardPattern(nintendoPath);
    if (p.size() < 16) return std::nullopt;
    const std::string head = p.substr(0, 4), folder = p.substr(6, 10);
    for (const std::size_t t : tailStarts(path)) {
        if (holdsAt(path, t, head, true) && holdsAt(path, t + 8, folder, true)) {
            if (t == 0) return std::string(".");
            return t == 1 ? std::string("/") : path.substr(0, t - 1);
        }
    }
    return std::nullopt;
}

std::optional<std::string> findCardFolder(const std::string& drive, const std::string& nintendoPath) {
    const std::string p = cardPattern(nintendoPath);
    const std::size_t last = p.find_last_of('/');
    if (last == std::string::npos || drive.empty()) return std::nullopt;
    const std::string folderPattern = p.substr(0, last);
    const std::size_t split = folderPattern.find_last_of('/');
    const std::string parent = joinCard(drive, split == std::string::npos ? std::string() : folderPattern.substr(0, split));
    const std::string namePattern = split == std::string::npos ? folderPattern : folderPattern.substr(split + 1);
    const auto names = listMatching(split == std::string::npos ? stripTrailingSlash(drive) : parent, namePattern, true);
    if (names.empty()) return std::nullopt;
    return (split == std::string::npos ? stripTrailingSlash(drive) : parent) + "/" + names.front();
}

bool cardFolderExists(const std::string& drive, const std::string& nintendoPath) {
    return findCardFolder(drive, nintendoPath).has_value();
}

std::optional<std::string> formatCardFileName(const std::string& nintendoPath, int number) {
    const std::string p = cardPattern(nintendoPath);
    const std::string file = p.substr(p.find_last_of('/') == std::string::npos ? 0 : p.find_last_of('/') + 1);
    // Only one "%[0][width]d" is put in; the pattern is never handed to a
    // formatting function as it is.
    const std::size_t pct = file.find('%');
    if (pct == std::string::npos) return std::nullopt;
    std::size_t i = pct + 1;
    const bool zero = i < file.size() && file[i] == '0';
    if (zero) ++i;
    int width = 0;
    while (i < file.size() && std::isdigit(static_cast<unsigned char>(file[i])) && width < 100) width = width * 10 + (file[i++] - '0');
    if (i >= file.size() || file[i] != 'd' || width >= 100) return std::nullopt;
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), zero ? '0' : ' ');
    return file.substr(0, pct) + digits + file.substr(i + 1);
}

std::optional<std::string> nextCardFileName(const std::string& folder, const std::string& nintendoPath) {
    const std::string p = cardPattern(nintendoPath);
    const std::string file = p.substr(p.find_last_of('/') == std::string::npos ? 0 : p.find_last_of('/') + 1);
    const std::size_t underscore = file.find_last_of('_');
    const std::string listPattern = (underscore == std::string::npos ? file : file.substr(0, underscore)) + "_*.MPO";
    // Every entry of the name counts, a folder too: the next number is never
    // one already there (a file of ten digits, the program's own earlier
    // export past HNI_999999999, was skipped and then replaced).
    long long largest = 0;
    for (const bool folders : {false, true})
        for (const std::string& name : listMatching(folder, listPattern, folders)) {
            const std::size_t u = name.find_last_of('_');
            // Leading digits, like atoi; a number past what an int holds
            // (strtoll stops at its own limit) counts as the largest.
            const long long n = std::strtoll(name.c_str() + u + 1, nullptr, 10);
            largest = std::max(largest, std::min<long long>(n, INT_MAX));
        }
    // Past the largest number a name holds (four digits in HNI_%04d: the
    // camera's own numbering ends at 9999), nothing more is written.
    const auto first = formatCardFileName(nintendoPath, 1);
    for (long long number = largest + 1; number <= INT_MAX; ++number) {
        const auto next = formatCardFileName(nintendoPath, static_cast<int>(number));
        if (!next || !first || next->size() > first->size()) return std::nullopt;
        const std::string path = stripTrailingSlash(folder) + "/" + *next;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return path;
    }
    return std::nullopt;
}

std::vector<std::string> removableMountsFrom(const std::string& mounts) {
    static const char* const kTypes[] = {"vfat", "exfat", "msdos", "ntfs", "ntfs3", "fuseblk", "fuse.exfat"};
    static const char* const kPlaces[] = {"/media/", "/run/media/", "/mnt/"};
    std::vector<std::string> out;
    std::istringstream in(mounts);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device, point, type;
        if (!(fields >> device >> point >> type)) continue;
        // /proc/mounts writes blanks, tabs, newlines and backslashes as \ooo.
        std::string decoded;
        for (std::size_t i = 0; i < point.size(); ++i) {
            if (point[i] == '\\' && i + 3 < point.size() + 0 && std::isdigit(static_cast<unsigned char>(point[i + 1])) &&
                std::isdigit(static_cast<unsigned char>(point[i + 2])) && std::isdigit(static_cast<unsigned char>(point[i + 3]))) {
                decoded += static_cast<char>((point[i + 1] - '0') * 64 + (point[i + 2] - '0') * 8 + (point[i + 3] - '0'));
                i += 3;
            } else {
                decoded += point[i];
            }
        }
        const bool typeOk = std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char* t) { return type == t; });
        const bool placeOk = decoded == "/mnt" || std::any_of(std::begin(kPlaces), std::end(kPlaces), [&](const char* p) {
                                 return decoded.rfind(p, 0) == 0 && decoded.size() > std::string(p).size();
                             });
        if (typeOk && placeOk && std::find(out.begin(), out.end(), decoded) == out.end()) out.push_back(decoded);
    }
    return out;
}

std::vector<std::string> removableMounts() {
    std::ifstream in("/proc/mounts");
    std::stringstream text;
    text << in.rdbuf();
    return removableMountsFrom(text.str());
}

bool acceptCardDrive(CStereoWorkspace& ws, const std::string& typed) {
    const std::string& nintendoPath = ws.settings().nintendoPath;
    // Stored whole: a drive relative to the folder the program started in
    // would name another folder in the next run.
    std::error_code ec;
    const std::filesystem::path whole = std::filesystem::absolute(typed, ec);
    const std::string drive = ec || typed.empty() ? typed : whole.lexically_normal().string();
    if (!cardFolderExists(drive, nintendoPath)) {
        ws.host().message(kNoCardOnDriveMessage, MsgButtons::Ok, MsgIcon::Warning);
        // The user may have put the card in meanwhile.
        if (!cardFolderExists(drive, nintendoPath)) return false;
    }
    ws.settings().drive = drive;
    (void)Settings(ws.settingsPath()).setText(SettingKey::OptionDrive, drive);  // for the next run, where it can be
    return true;
}

// ---- opening ----------------------------------------------------------------------------

int OpenStereoImage(CStereoWorkspace& ws, const std::string& pathIn, std::optional<bool> align) {
    if (!ws.SaveModified()) return 0;
    std::string path = pathIn;
    if (path.empty()) {
        const auto chosen = ws.host().askOpenPath("bmp", kFirstPictureFilter);
        if (!chosen) return 0;
        path = *chosen;
    }
    if (isMpoPath(path)) return OpenMpoFile(ws, path, align);
    if (isProjectPath(path)) {
        // The question has been answered already.
        ws.setModified(false);
        return ws.Open(path);
    }

    Size firstSize;
    if (!openFirstPicture(ws, path, firstSize)) return 0;
    Host& host = ws.host();
    const MsgResult side = host.message(kStereoSecondPictureQuestion, MsgButtons::YesNoCancel, MsgIcon::Question);
    if (side == MsgResult::Cancel) {
        abortOpen(ws);
        return 0;
    }
    const bool firstIsLeft = side == MsgResult::Yes;
    const std::size_t dot = path.find_last_of('.');
    const std::string ext = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    const auto second = host.askOpenPath(ext, kStereoPairOpenFilter, suggestSecondPictureName(path, firstIsLeft));
    if (!second) {
        abortOpen(ws);
        return 0;
    }
    Surface photo;
    int w = 0, h = 0;
    if (!LoadPhoto(host, *second, photo, w, h)) {
        host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        abortOpen(ws);
        return 0;
    }
    if ((w != firstSize.cx || h != firstSize.cy) &&
        host.message(kStereoSizeDiffersQuestion, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) {
        abortOpen(ws);
        return 0;
    }
    Surface fitted;
    if (!fitOrAbort(ws, photo, fitted)) return 0;
    // Slot 0 always holds the left picture.
    if (firstIsLeft) {
        ws.highRes(1) = std::move(fitted);
    } else {
        ws.highRes(1) = std::move(ws.highRes(0));
        ws.highRes(0) = std::move(fitted);
        // The working picture shows the left picture too (it was made from
        // the first one chosen, the right): made working size as the views
        // are, so that the screen, the edit image saved and printed from the
        // left picture and the masks drawn all show one eye.
        Surface left;
        if (!pictureAtWorkingSize(ws.highRes(0), ws.width(), ws.height(), left)) {
            host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            abortOpen(ws);
            return 0;
        }
        ws.replaceSource(std::move(left));
    }
    ws.setHighResCount(2);
    if (!alignPairPictures(ws, align)) return 0;
    finishStereoOpen(ws, path);
    return 1;
}

int OpenMpoFile(CStereoWorkspace& ws, const std::string& path, std::optional<bool> align) {
    Host& host = ws.host();
    MpoIndex index;
    if (!readMpoIndex(path, index) || index.imageCount < 2) return refuseOpen(ws, kMpoReadFailedMessage);
    // Large thumbnails (previews a camera adds after its views) are not
    // views: taken as one, a preview of the left picture became the right.
    const std::vector<int> views = mpoViewEntries(path, index);
    if (views.size() < 2) return refuseOpen(ws, kMpoReadFailedMessage);
    if (views.size() > static_cast<std::size_t>(kHighResSlots))
        return refuseOpen(ws, mpoTooManyImagesMessage(static_cast<std::uint32_t>(views.size())));
    Size firstSize;
    if (!openFirstPicture(ws, path, firstSize)) return 0;
    const int announced = static_cast<int>(std::min<std::uint32_t>(index.imageCount, INT32_MAX));
    const int count = static_cast<int>(views.size());
    for (int k = 1; k < count; ++k) {
        Surface photo;
        int w = 0, h = 0;
        // A file cut inside its index announces images it does not list.
        const int m = index.entries.size() == index.imageCount ? ReadMpoImage(host, path, views[k], photo, w, h) : 0;
        if (m != announced) {
            host.message(kMpoReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
            abortOpen(ws);
            return 0;
        }
        Surface fitted;
        if (!fitOrAbort(ws, photo, fitted)) return 0;
        ws.highRes(k) = std::move(fitted);
        ws.setHighResCount(k + 1);
    }
    if (!alignPairPictures(ws, align)) return 0;
    finishStereoOpen(ws, path);
    return 1;
}

// ---- saving -------------------------------------------------------------------------------

bool makeCardPicture(const Surface& view, Surface& out) {
    constexpr int kW = 640, kH = 480, kTop = 80, kHeight = 320;
    Surface card;
    if (view.empty() || !card.create(kW, kH)) return false;
    if (view.width() == kW && view.height() == kH) {
        blit(card, view, Rop::Copy);
    } else {
        blit(card, Rop::Blackness);
        const std::int64_t W = view.width(), H = view.height();
        const std::int64_t width = W * kHeight / H;
        bool ok;
        if (width <= kW) {
            ok = width <= 0 || stretchBlit(card, static_cast<int>((kW - width) / 2), kTop, static_cast<int>(width), kHeight,
                                           view, 0, 0, view.width(), view.height(), Rop::Copy, StretchMode::Halftone);
        } else {
            const std::int64_t cut = 2 * H;
            ok = stretchBlit(card, 0, kTop, kW, kHeight, view, static_cast<int>((W - cut) / 2), 0, static_cast<int>(cut),
                             view.height(), Rop::Copy, StretchMode::Halftone);
        }
        if (!ok) return false;
    }
    out = std::move(card);
    return true;
}

int SaveStereoViews(CStereoWorkspace& ws, const std::string& target, StereoSaveMode mode, bool useHighRes,
                    ExifMode exif) {
    Host& host = ws.host();
    const int n = ws.viewCount();
    if (n < 1) return 0;
    // The names are cut from the target (at its last underscore, with a
    // suffix per view): none may be a file of the open project, its edit
    // image above all.
    for (const std::string& file : stereoSaveFiles(target, mode, n))
        for (const std::string& own : projectFilesOf(ws)) {
            if (isSameFile(file, own)) {
                host.message(formatWithFile(kOwnProjectFileMessage, file), MsgButtons::Ok, MsgIcon::Warning);
                return 0;
            }
        }
    const StereoSaveNames names = stereoSaveNames(target, tempFolder());
    // A JPEG's picture and thumbnail, and an MPO's pictures, are made in the
    // private temporary folder. Without one (the temporary space is full)
    // they would be made beside the target, over the user's own X_L.jpg and
    // X_R.jpg.
    if (names.jpegLike && tempFolder().empty()) {
        host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    const bool prefixed = names.mpo;
    const int quality = Settings(ws.settingsPath()).getInt(SettingKey::OptionJpegQuality);

    const std::vector<int> order = savedViews(mode, n);
    Surface highLeft, highRight;
    const bool high = useHighRes && mode == StereoSaveMode::Pair;
    if (high && !ws.GenerateHighResPair(highLeft, highRight, ws.stereoPair())) return 0;

    // The views are prepared here (texts drawn, card pictures made) a batch
    // at a time, one view per core, and then encoded and wrapped on every
    // core at once; what went wrong is reported afterwards in view order.
    enum class Outcome { Written, Failed, NoThumbnail };
    struct Job {
        std::string name;
        std::string out;  // the file written: the target itself, or its temporary name in `files`
        std::string pieces;  // where a JPEG's picture and thumbnail are written before they are joined
        const Surface* picture = nullptr;
        const Surface* thumbSource = nullptr;
        Surface withTexts, card;
        Outcome outcome = Outcome::Failed;
    };
    // Separate files (a JPEG or BMP pair, or every view) replace the previous
    // set together, once all are written: a failure part way leaves every
    // previous file as it was. The pieces of an MPO are joined into one file
    // instead.
    ReplacingFileSet files;
    const auto write = [&](const Job& job) {
        if (!names.jpegLike) return WriteStillImage(*job.picture, job.out, quality) ? Outcome::Written : Outcome::Failed;
        const std::string main = job.pieces + "_tmp.jpg", thumb = job.pieces + "_s.jpg";
        if (!WriteStillImage(*job.picture, main, quality)) return Outcome::Failed;
        Surface small;
        const bool thumbMade = makeThumbnail(*job.thumbSource, small);
        if (!thumbMade || !WriteStillImage(small, thumb, quality)) {
            if (!prefixed) removeQuietly(main);
            return thumbMade ? Outcome::Failed : Outcome::NoThumbnail;
        }
        const bool wrapped = WriteExifJpeg(main, thumb, job.out, exif) == 1;
        // The pieces of an MPO stay for the joining; a JPEG's are removed.
        if (!prefixed) {
            removeQuietly(main);
            removeQuietly(thumb);
        }
        return wrapped ? Outcome::Written : Outcome::Failed;
    };
    const std::size_t batch = static_cast<std::size_t>(std::max(1, cv::getNumThreads()));
    for (std::size_t from = 0; from < order.size(); from += batch) {
        std::vector<Job> jobs(std::min(batch, order.size() - from));
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            const int v = order[from + i];
            Job& job = jobs[i];
            job.name = names.stem + viewSuffix(mode, v, n);
            job.out = job.name + (names.jpegLike ? std::string(".jpg") : names.ext);
            // A JPEG's pieces go to the private temporary folder too, not
            // beside the target, where they would replace (or write through
            // a link to) files of those names the user never gave.
            job.pieces = prefixed ? job.name : joinPath(tempFolder(), kMpoPieceStem + viewSuffix(mode, v, n));
            if (!names.mpo) {
                // Names made from the one given: a link under such a name
                // is replaced, not written through.
                job.out = files.add(job.out, LinkAtTarget::Replace);
                if (job.out.empty()) {
                    host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
                    return 0;
                }
            }
            // The picture to write, and the one the thumbnail is made from.
            job.thumbSource = job.picture = &ws.view(v);
            if (high) {
                job.thumbSource = job.picture = v == 0 ? &highRight : &highLeft;
                continue;
            }
            if (job.picture->empty()) return 0;
            if (hasFlatTexts(ws)) {
                if (!job.withTexts.createCopy(*job.picture)) {
                    host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                    return 0;
                }
                drawFlatTexts(ws, job.withTexts);
                job.picture = &job.withTexts;
            }
            if (exif == ExifMode::Card && !(job.picture->width() == 640 && job.picture->height() == 480)) {
                if (!makeCardPicture(*job.picture, job.card)) {
                    host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
                    return 0;
                }
                job.picture = &job.card;
            }
        }
        cv::parallel_for_(cv::Range(0, static_cast<int>(jobs.size())), [&](const cv::Range& r) {
            for (int i = r.start; i < r.end; ++i) jobs[static_cast<std::size_t>(i)].outcome = write(jobs[static_cast<std::size_t>(i)]);
        });
        for (const Job& job : jobs) {
            if (job.outcome == Outcome::Written) continue;
            // A picture, its thumbnail or the file made of them could not be
            // written (a thumbnail that could not be made is not a write).
            if (job.outcome == Outcome::Failed) host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
            return 0;
        }
    }
    if (!names.mpo) {
        if (files.commit()) return 1;
        host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    const int joined = mode == StereoSaveMode::Pair
                           ? WriteStereoMpo(names.stem + "_L.jpg", names.stem + "_R.jpg", target)
                           : WriteMultiViewMpo(names.stem + "_%02d.jpg", n, target);
    // The pieces were this save's own, in this run's private folder.
    if (prefixed) {
        for (const int v : order) {
            const std::string name = names.stem + viewSuffix(mode, v, n);
            for (const char* piece : {".jpg", "_tmp.jpg", "_s.jpg"}) removeQuietly(name + piece);
        }
    }
    if (!joined) {
        host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    return 1;
}

int SaveStereoPair(CStereoWorkspace& ws, const std::string& path) { return saveViewsCommand(ws, path, StereoSaveMode::Pair); }

int SaveAllViews(CStereoWorkspace& ws, const std::string& path) { return saveViewsCommand(ws, path, StereoSaveMode::AllViews); }

int ExportTo3ds(CStereoWorkspace& ws, const ChooseCardDrive& chooseDrive) {
    Host& host = ws.host();
    // Card mode lasts for this command only, whatever the outcome.
    ws.setCardExport(true);
    struct EndCardMode {
        CStereoWorkspace& ws;
        ~EndCardMode() { ws.setCardExport(false); }
    } endCardMode{ws};
    if (!ws.hasViews()) {
        if (host.message(kCardNoViewsQuestion, MsgButtons::OkCancel, MsgIcon::Question) != MsgResult::Ok) return 0;
        if (!ws.RunStereoDialog(true) || !ws.hasViews()) return 0;
    }
    const std::string pattern = cardPattern(ws.settings().nintendoPath);
    const Settings settings(ws.settingsPath());
    // The picture's place in full: a relative name would make its card "."
    // and send a later run's export to the folder it started in.
    std::string source = ws.currentPath();
    if (std::error_code ec; !source.empty()) {
        const std::filesystem::path whole = std::filesystem::absolute(source, ec);
        if (!ec) source = whole.lexically_normal().string();
    }
    const std::optional<std::string> openedFrom = cardRootOfPicture(source, pattern);
    // The drive is taken from what this run knows: a settings file that
    // cannot be written (a program folder on a full stick) must not undo
    // the card just found or chosen.
    // A folder laid out like a card is taken for the card only when it is a
    // mounted disk of its own or the drive already known: a copy of a card
    // kept on the disk would otherwise become the drive for every later
    // export, while the card sat unused (with no drive known, the drive is
    // asked for).
    std::string drive = settings.getText(SettingKey::OptionDrive);
    if (!cardFolderExists(drive, pattern) && cardFolderExists(ws.settings().drive, pattern))
        drive = ws.settings().drive;  // chosen earlier in this run, not stored
    const bool fromCard =
        openedFrom && (isMountPoint(*openedFrom) || (!drive.empty() && isSameFile(*openedFrom, drive)));
    if (fromCard) {
        drive = *openedFrom;
        ws.settings().drive = drive;
        (void)settings.setText(SettingKey::OptionDrive, drive);
    }
    if (!cardFolderExists(drive, pattern)) {
        if (!chooseDrive || !chooseDrive(ws)) return 0;
        drive = ws.settings().drive;
    }

    // The export is made in this run's private temporary folder; without one
    // nothing is written.
    const std::string folder = tempFolder();
    if (folder.empty()) {
        host.message(kCardWriteFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    const std::string temp = joinPath(folder, kCardTempName);
    // A failed save must not leave an older export to be copied to the card.
    removeQuietly(temp);
    struct RemoveAtEnd {
        std::string path;
        ~RemoveAtEnd() { removeQuietly(path); }
    } removeTemp{temp};
    if (!SaveStereoViews(ws, temp, StereoSaveMode::Pair, false, ExifMode::Card)) return 0;

    std::optional<std::string> destination;
    if (fromCard && source.size() >= 4 && pattern.size() >= 4 &&
        equalNoCase(source.substr(source.size() - 4), pattern.substr(pattern.size() - 4)) &&
        host.message(kCardOverwriteQuestion, MsgButtons::YesNo, MsgIcon::Question, 1) == MsgResult::Yes) {
        destination = source;
    }
    if (!destination) {
        if (const auto folder = findCardFolder(drive, pattern)) destination = nextCardFileName(*folder, pattern);
    }
    if (!destination || !copyOver(temp, *destination)) {
        host.message(kCardWriteFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    host.message(kCardWriteSucceededMessage, MsgButtons::Ok, MsgIcon::Information);
    return 1;
}

}  // namespace plastora

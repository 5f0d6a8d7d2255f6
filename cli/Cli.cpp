#include "cli/Cli.h"

#include "core/EscapedError.h"
#include "core/ProjectFile.h"
#include "core/Progress.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/WorkingSize.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/SafeFile.h"
#include "platform/Translation.h"
#include "stereo/PatternMultiView.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace plastora::cli {

std::string tr(const char* english, const std::vector<std::string>& args) { return translateEnglish(english, args); }

std::string colourNotation() { return tr(kColourNotation); }

namespace {
// Where a number's digits start: blanks and one '+' may come first, as the
// C library's readers take them.
const char* numberStart(const char* p, const char* end) {
    while (p != end && (*p == ' ' || *p == '\t')) ++p;
    if (p != end && *p == '+' && p + 1 != end && p[1] != '-') ++p;
    return p;
}

// A bound as written by a person: 0.1, 30 (not 0.100000, 30.000000).
std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}
}  // namespace

bool Args::parse(const std::vector<std::string>& argv, const std::vector<std::string>& flags, std::string& error) {
    m_positional.clear();
    m_options.clear();
    m_missingValue.clear();
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "--") {
            for (++i; i < argv.size(); ++i) m_positional.push_back(argv[i]);
            break;
        }
        if (a.size() > 1 && a[0] == '-' && !(a.size() > 1 && (std::isdigit(static_cast<unsigned char>(a[1])) != 0))) {
            std::string name, value;
            bool hasValue = false;
            if (a == "-o") {
                name = "output";
            } else if (a.rfind("--", 0) == 0) {
                name = a.substr(2);
                const auto eq = name.find('=');
                if (eq != std::string::npos) {
                    value = name.substr(eq + 1);
                    name = name.substr(0, eq);
                    hasValue = true;
                }
            } else {
                error = tr("unknown option %1", {a});
                return false;
            }
            // One spelling inside: --color is --colour.
            if (name == "color") name = "colour";
            const bool isFlag = std::find(flags.begin(), flags.end(), name) != flags.end();
            // A flag is there or not: "--colour=no" would otherwise read as on.
            if (hasValue && isFlag) {
                error = tr("option --%1 takes no value", {name});
                return false;
            }
            // Given twice, only one would count without a word.
            if (m_options.count(name) != 0) {
                error = tr("option --%1 is given twice", {name});
                return false;
            }
            if (!hasValue && !isFlag) {
                if (i + 1 >= argv.size()) {
                    // Reported by checkKnown, once it is known whether the
                    // command takes this option at all.
                    m_missingValue = name;
                } else {
                    value = argv[++i];
                }
            }
            m_options[name] = value;
        } else {
            m_positional.push_back(a);
        }
    }
    return true;
}

std::optional<std::string> Args::get(const std::string& name) const {
    auto it = m_options.find(name);
    if (it == m_options.end()) return std::nullopt;
    return it->second;
}

bool Args::getInt(const std::string& name, int lo, int hi, std::optional<int>& out, std::string& error) const {
    out.reset();
    auto v = get(name);
    if (!v) return true;
    char* end = nullptr;
    errno = 0;
    // Base 10 always: "0100" is a hundred, not sixty-four.
    const long n = std::strtol(v->c_str(), &end, 10);
    if (v->empty() || *end != '\0' || errno != 0 || n < lo || n > hi) {
        error = tr("--%1 must be a whole number from %2 to %3", {name, std::to_string(lo), std::to_string(hi)});
        return false;
    }
    out = static_cast<int>(n);
    return true;
}

bool Args::getDouble(const std::string& name, double lo, double hi, std::optional<double>& out,
                     std::string& error) const {
    out.reset();
    auto v = get(name);
    if (!v) return true;
    // Decimal only ("0x50" is not eighty), the whole text a number.
    double n = 0.0;
    const char* end = v->data() + v->size();
    const auto [last, ec] = std::from_chars(numberStart(v->data(), end), end, n, std::chars_format::general);
    if (v->empty() || ec != std::errc() || last != end || !(n >= lo && n <= hi)) {
        error = tr("--%1 must be a number from %2 to %3", {name, shortNumber(lo), shortNumber(hi)});
        return false;
    }
    out = n;
    return true;
}

bool Args::checkKnown(const std::vector<std::string>& known, std::string& error) const {
    for (const auto& [k, v] : m_options) {
        if (std::find(known.begin(), known.end(), k) == known.end()) {
            error = tr("unknown option --%1", {k});
            return false;
        }
    }
    if (!m_missingValue.empty()) {
        error = tr("option --%1 needs a value", {m_missingValue});
        return false;
    }
    return true;
}

bool CliHost::stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

MsgResult CliHost::message(const MessageRequest& request) {
    messages.push_back(request.text);
    // A bar being drawn ends its line first.
    if (showProgress && m_lastPercent >= 0) std::fputc('\n', stderr);
    m_lastPercent = -1;
    std::string line = translateText(request.text);
    if (const auto own = messageSubjects.find(request.text); own != messageSubjects.end()) {
        line = own->second + ": " + line;
    } else if ((request.text == kSaveFailedMessage || request.text == kMaskSaveFailedMessage) && !writeSubject.empty()) {
        line = unwritableText(writeSubject, request.text);
    } else if (request.text == kReadFailedMessage && !readSubject.empty()) {
        const std::string why = whyUnreadable(readSubject);
        line = readSubject + ": " + line + (why.empty() ? "" : " (" + why + ")");
    } else if (!readSubject.empty()) {
        line = readSubject + ": " + line;
    }
    std::cerr << line << std::endl;
    if (request.buttons == MsgButtons::Ok) return MsgResult::Ok;
    if (forcedAnswer) {
        const MsgResult a = *forcedAnswer;
        if (request.buttons == MsgButtons::OkCancel) return a == MsgResult::Yes || a == MsgResult::Ok ? MsgResult::Ok : MsgResult::Cancel;
        return a == MsgResult::Ok ? MsgResult::Yes : a;
    }
    SilentHost silent;
    return silent.message(request);
}

void CliHost::progressBegin(const std::string& caption, int minimum, int maximum) {
    m_caption = translateText(caption);
    m_min = minimum;
    m_max = maximum;
    m_lastPercent = -1;
}

void CliHost::progressSet(int position) {
    if (!showProgress || m_max <= m_min) return;
    const long long clamped = std::clamp<long long>(position, m_min, m_max);
    const int pct = static_cast<int>(100LL * (clamped - m_min) / (static_cast<long long>(m_max) - m_min));
    if (pct != m_lastPercent) drawProgress(pct);
}

void CliHost::drawProgress(int percent) {
    m_lastPercent = percent;
    constexpr int kBarWidth = 30;
    const int filled = percent * kBarWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r%s [%s] %3d%%", m_caption.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
}

void CliHost::progressEnd() {
    if (showProgress && m_lastPercent >= 0) std::fprintf(stderr, "\n");
}

namespace {
std::map<std::string, Command>& registry() {
    static std::map<std::string, Command> r;
    return r;
}
std::map<std::string, std::string>& helpRegistry() {
    static std::map<std::string, std::string> r;
    return r;
}

std::string lowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// English names of the paper sizes and trimming modes, by number.
constexpr const char* kPaperOptionNames[kPaperCount] = {"postcard", "l", "card", "vga", "a4", "2l", "user"};
constexpr const char* kTrimOptionNames[kTrimModeCount] = {"none", "crop", "margins", "stretch", "manual"};
constexpr const char* kPaperDescriptions[kPaperCount] = {
    N_("postcard (100 x 148 mm)"), N_("L size photo (89 x 127 mm)"), N_("business card"),
    N_("VGA screen (640 x 480)"), N_("A4"), N_("2L size photo (127 x 178 mm)"),
    N_("user size in millimetres (--mm W,H)")};
constexpr const char* kTrimDescriptions[kTrimModeCount] = {
    N_("keep the photo's own size"), N_("crop what overflows the paper (centred)"), N_("fit inside, white margins"),
    N_("stretch to the paper (changes the aspect ratio)"), N_("a frame given with --rect x,y,w,h")};

bool getChoice(const Args& args, const std::string& name, const char* const* names, int count,
               std::optional<int>& out, std::string& error) {
    out.reset();
    const auto v = args.get(name);
    if (!v) return true;
    const std::string text = lowerCase(*v);
    for (int i = 0; i < count; ++i) {
        if (text == names[i] || text == std::to_string(i)) {
            out = i;
            return true;
        }
    }
    std::string choices;
    for (int i = 0; i < count; ++i) choices += std::string(i ? ", " : "") + std::to_string(i) + "/" + names[i];
    error = tr("--%1 must be one of %2", {name, choices});
    return false;
}

const char* extensionsOf(OutputKind kind) {
    switch (kind) {
        case OutputKind::Jpeg: return ".jpg .jpeg";
        case OutputKind::Bmp: return ".bmp";
        case OutputKind::Png: return ".png";
        case OutputKind::Gif: return ".gif";
        case OutputKind::Avi: return ".avi";
        case OutputKind::Mpo: return ".mpo";
        case OutputKind::Project: return ".lyr";
        case OutputKind::Wmf: return ".wmf";
        case OutputKind::Swf: return ".swf";
        case OutputKind::Pdf: return ".pdf";
    }
    return "";
}
}  // namespace

bool registerHelp(const std::string& name, const std::string& text) {
    helpRegistry()[name] = text;
    return true;
}

std::string commandHelp(const std::string& name) {
    const auto it = registry().find(name);
    if (it == registry().end()) return {};
    std::string text = tr("usage: plastora-cli %1 %2", {it->second.name, it->second.usage}) + "\n\n" +
                       tr(it->second.summary.c_str()) + "\n";
    const auto help = helpRegistry().find(name);
    if (help != helpRegistry().end())
        text += "\n" + tr(help->second.c_str(), {paperChoicesText(), trimChoicesText()});
    if (!text.empty() && text.back() != '\n') text += '\n';
    return text;
}

std::string paperChoicesText() {
    std::string s;
    for (int i = 0; i < kPaperCount; ++i)
        s += "      " + tr("%1 or %2: %3", {std::to_string(i), kPaperOptionNames[i], tr(kPaperDescriptions[i])}) + "\n";
    return s;
}

std::string trimChoicesText() {
    std::string s;
    for (int i = 0; i < kTrimModeCount; ++i)
        s += "      " + tr("%1 or %2: %3", {std::to_string(i), kTrimOptionNames[i], tr(kTrimDescriptions[i])}) + "\n";
    return s;
}

bool getPaper(const Args& args, std::optional<int>& out, std::string& error) {
    return getChoice(args, "paper", kPaperOptionNames, kPaperCount, out, error);
}

bool getTrim(const Args& args, std::optional<int>& out, std::string& error) {
    return getChoice(args, "trim", kTrimOptionNames, kTrimModeCount, out, error);
}

bool parseIntPair(const std::string& text, int& a, int& b) {
    const char* p = text.data();
    const char* end = p + text.size();
    const auto [comma, e1] = std::from_chars(numberStart(p, end), end, a);
    if (e1 != std::errc() || comma == end || *comma != ',') return false;
    const auto [last, e2] = std::from_chars(numberStart(comma + 1, end), end, b);
    return e2 == std::errc() && last == end;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec)) return isSameFile(a, b);
    const auto pa = std::filesystem::weakly_canonical(a, ec);
    if (ec) return false;
    const auto pb = std::filesystem::weakly_canonical(b, ec);
    return !ec && pa == pb;
}

int refuseInputAsOutput(const std::string& commandName, const std::string& output, const std::string& input) {
    if (!sameFile(output, input)) return kExitOk;
    return usageError(commandName, tr("%1 is an input of this command: choose another name for the output", {output}));
}

int checkSettingsOption(const Args& args) {
    const auto path = args.get("settings");
    if (!path) return kExitOk;
    // A file not there yet gives the defaults, as on the program's first
    // run; said, since a mistyped name would otherwise change the result
    // unnoticed.
    std::error_code ec;
    if (!std::filesystem::exists(*path, ec)) {
        std::cerr << tr("note: %1 does not exist: the default settings are used", {*path}) << std::endl;
        return kExitOk;
    }
    // The settings are read from a regular file only, up to the size limit;
    // anything else would be taken silently for the defaults (a folder, a
    // pipe, a huge file) or wait for a writer (a named pipe). /dev/null, an
    // empty file, gives the defaults as asked.
    const std::string failed = *path + ": " + translateText(kReadFailedMessage);
    struct stat given {}, null {};
    if (::stat(path->c_str(), &given) == 0 && ::stat("/dev/null", &null) == 0 && given.st_dev == null.st_dev &&
        given.st_ino == null.st_ino)
        return kExitOk;
    if (!std::filesystem::is_regular_file(*path, ec)) return failure(failed + " (" + whyUnreadable(*path) + ")");
    const auto bytes = std::filesystem::file_size(*path, ec);
    if (!ec && bytes > kMaxProfileBytes)
        return failure(failed + " (" + tr("too large for a settings file: more than %1 MB", {std::to_string(kMaxProfileBytes >> 20)}) + ")");
    if (::access(path->c_str(), R_OK) == 0) return kExitOk;
    return failure(failed + " (" + whyUnreadable(*path) + ")");
}

bool parseColourText(const std::string& text, ColorRef& out) {
    std::string hex = text;
    if (!hex.empty() && hex[0] == '#') hex.erase(0, 1);
    if (hex.size() != 6) return false;
    unsigned v = 0;
    for (char c : hex) {
        const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                  : -1;
        if (d < 0) return false;
        v = v * 16 + static_cast<unsigned>(d);
    }
    out = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    return true;
}

std::optional<OutputKind> outputKindOf(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return std::nullopt;
    const std::string ext = lowerCase(name.substr(dot + 1));
    if (ext == "jpg" || ext == "jpeg") return OutputKind::Jpeg;
    if (ext == "bmp") return OutputKind::Bmp;
    if (ext == "png") return OutputKind::Png;
    if (ext == "gif") return OutputKind::Gif;
    if (ext == "avi") return OutputKind::Avi;
    if (ext == "mpo") return OutputKind::Mpo;
    if (ext == "lyr") return OutputKind::Project;
    if (ext == "wmf") return OutputKind::Wmf;
    if (ext == "swf") return OutputKind::Swf;
    if (ext == "pdf") return OutputKind::Pdf;
    return std::nullopt;
}

const std::vector<OutputKind>& pictureOutputs() {
    static const std::vector<OutputKind> kinds = {OutputKind::Jpeg, OutputKind::Bmp, OutputKind::Png};
    return kinds;
}

int refuseProjectFile(const std::string& commandName, const std::vector<std::string>& projectFiles,
                      const std::string& project, const std::string& output) {
    for (const std::string& file : projectFiles)
        if (sameFile(file, output))
            return usageError(commandName, tr("%1 is a file of the project %2: choose another name for the output",
                                              {output, project}));
    return kExitOk;
}

int refuseProjectFile(const std::string& commandName, CStereoWorkspace& ws, const std::string& output) {
    return refuseProjectFile(commandName, projectFilesOf(ws), ws.currentPath(), output);
}

int refuseIncompleteOverwrite(const std::string& commandName, CStereoWorkspace& ws, const std::string& output) {
    if (!ws.openedIncomplete() || !isProjectPath(ws.currentPath())) return kExitOk;
    if (!sameFile(ws.currentPath(), output)) return kExitOk;
    std::cerr << "plastora-cli " << commandName << ": "
              << tr("%1 opened with parts missing (see the warnings above); saving over it would lose them for "
                    "good: write the project under another name",
                    {ws.currentPath()})
              << std::endl;
    return kExitFailure;
}

int checkOutput(const std::string& commandName, const std::string& path, const std::vector<OutputKind>& allowed) {
    const auto kind = outputKindOf(path);
    if (kind && std::find(allowed.begin(), allowed.end(), *kind) != allowed.end()) return kExitOk;
    const std::string name = std::filesystem::path(path).filename().string();
    const std::size_t dot = name.rfind('.');
    std::string writable;
    for (OutputKind k : allowed) writable += std::string(writable.empty() ? "" : " ") + extensionsOf(k);
    const std::string text =
        dot == std::string::npos
            ? tr("%1: the output needs an extension that names its format; this command writes %2", {path, writable})
            : tr("%1: cannot write %2 files; this command writes %3", {path, name.substr(dot), writable});
    return usageError(commandName, text);
}

int checkFormatOption(const std::string& commandName, const std::string& format,
                      const std::vector<OutputKind>& allowed) {
    const auto kind = outputKindOf("x." + format);
    if (!format.empty() && kind && std::find(allowed.begin(), allowed.end(), *kind) != allowed.end()) return kExitOk;
    std::string writable;
    for (OutputKind k : allowed) writable += std::string(writable.empty() ? "" : " ") + extensionsOf(k);
    return usageError(commandName, tr("--format %1: this command writes %2", {format, writable}));
}

std::string whyUnreadable(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return tr("no such file");
    if (std::filesystem::is_directory(status)) return tr("it is a folder");
    // A pipe or a device would be waited on by the look inside below.
    if (!std::filesystem::is_regular_file(status)) return tr("not a regular file");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::strerror(errno);
    unsigned char head[16] = {};
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    if (n <= 0) return tr("the file is empty");
    if (isProjectPath(path))
        return tr("not a Plastora project, or a part of it (the edit image, a mask) is missing or damaged");
    return tr("not a picture this program can read, or damaged");
}

std::string whyUnwritable(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p(path);
    const std::filesystem::path folder = p.has_parent_path() ? p.parent_path() : std::filesystem::path(".");
    if (!std::filesystem::is_directory(folder, ec)) return tr("the folder %1 does not exist", {folder.string()});
    if (::access(folder.c_str(), W_OK) != 0) return tr("the folder %1 is not writable", {folder.string()});
    if (std::filesystem::is_directory(p, ec)) return tr("it is a folder");
    if (std::filesystem::exists(p, ec) && ::access(path.c_str(), W_OK) != 0) return tr("the file is write-protected");
    // The system's own reason for the write that failed.
    const int error = lastSaveError();
    if (error == ENOSPC || error == EDQUOT) {
        const auto room = [](const std::string& at) {
            struct statvfs fs {};
            return ::statvfs(at.c_str(), &fs) == 0 ? static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize
                                                   : ~0ULL;
        };
        // Pictures are put together in the temporary folder first (an MPO,
        // a JPEG pair, a movie's frames): its disk may be the full one.
        constexpr unsigned long long kLowRoom = 256ULL << 20;
        const unsigned long long here = room(folder.string());
        std::error_code tempError;
        const std::filesystem::path tempParent = std::filesystem::temp_directory_path(tempError);
        const std::string temp = tempError ? std::string("/tmp") : tempParent.string();
        if (here < kLowRoom) return tr("only %1 MB free on its disk", {std::to_string(here >> 20)});
        if (room(temp) < kLowRoom)
            return tr("only %1 MB free in the temporary folder %2", {std::to_string(room(temp) >> 20), temp});
        // Room in bytes, yet none to be had: no file entries left, or the
        // user's quota; the system's words say which.
    }
    // A memory card's or USB stick's file system refuses these characters
    // (with one error or another, depending on its driver).
    if ((error == EINVAL || error == ENOENT || error == EILSEQ) &&
        p.filename().string().find_first_of(":*?\"<>|\\") != std::string::npos)
        return tr("the name has a character this disk does not allow");
    return error != 0 ? std::string(std::strerror(error)) : std::string();
}

std::string unwritableText(const std::string& path, const std::string& text) {
    // A writer of several files may have failed on one beside the name given
    // (s_L.jpg and s_R.jpg for s.jpg, a project's mask or depth map): that
    // one is named, with its own reason. A file in the temporary folder is
    // not: it is gone by now, and the reason says where it was.
    // When the folder is what stops every file, the folder is the reason.
    // The companions are beside the name given, or, when that name is a link
    // that is followed, beside the file it points to.
    namespace fs = std::filesystem;
    const auto folderOf = [](const std::string& file) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(file, ec);
        return (ec ? fs::path(file) : absolute).lexically_normal().parent_path();
    };
    std::string failed = lastSaveTarget();
    const std::string target = resolveSaveTarget(path);
    const fs::path failedFolder = folderOf(failed), givenFolder = folderOf(path);
    const bool beside = !failed.empty() && (failedFolder == folderOf(target) || failedFolder == givenFolder);
    // Named in the user's terms: beside the name given, from its folder as
    // given; beside a link's target, by its own full name.
    if (!beside || failed == target || ::access(failedFolder.c_str(), W_OK) != 0)
        failed.clear();
    else if (failedFolder == givenFolder)
        failed = (fs::path(path).parent_path() / fs::path(failed).filename()).string();
    const std::string why = whyUnwritable(failed.empty() ? path : failed);
    const std::string reason = failed.empty() ? why : why.empty() ? failed : failed + ": " + why;
    return path + ": " + translateText(text) + (reason.empty() ? "" : " (" + reason + ")");
}

bool registerCommand(const Command& command) {
    registry()[command.name] = command;
    return true;
}

const std::map<std::string, Command>& commands() { return registry(); }

int usageError(const std::string& commandName, const std::string& text) {
    std::cerr << "plastora-cli " << commandName << ": " << text << "\n";
    auto it = registry().find(commandName);
    if (it != registry().end()) std::cerr << tr("usage: plastora-cli %1 %2", {it->second.name, it->second.usage}) << "\n";
    return kExitUsage;
}

int failure(const std::string& text) {
    std::cerr << translateText(text) << std::endl;
    return kExitFailure;
}

int runCommand(const Command& command, const std::vector<std::string>& args) {
    // A reason kept from an earlier batch line's failure is not this one's.
    clearLastSaveError();
    try {
        return command.run(args);
    } catch (const std::exception& e) {
        const EscapedError error = describeEscapedError(e);
        if (error.outOfMemory) return failure(kOutOfMemoryMessage);
        return failure(tr("plastora-cli %1: stopped by an error: %2", {command.name, error.what}));
    }
}

bool openForViews(CStereoWorkspace& ws, const std::string& path) {
    return ws.Open(path) && !ws.lostViewSource();
}

int openAndGenerate(CStereoWorkspace& ws, CliHost& host, const std::string& path, std::optional<int> strength,
                    bool patternMatch, std::optional<int> method) {
    host.readSubject = path;
    if (!openForViews(ws, path)) return kExitFailure;
    return generateViews(ws, host, strength, patternMatch, method);
}

int generateViews(CStereoWorkspace& ws, CliHost& host, std::optional<int> strength, bool patternMatch,
                  std::optional<int> method) {
    HostProgress progress(host, "立体画像作成中");
    const int s = strength.value_or(ws.strength());
    // A method asked for is a wish for matching, whatever the strength;
    // otherwise matching is on as the stereo dialog starts.
    if (ws.stereoPair())
        BuildPatternMultiView(ws, &progress, s, patternMatch && (method || defaultPatternMatchTick(ws, s)), method);
    else ws.GenerateViews(&progress, s, false);
    for (int i = 0; i < ws.viewCount(); ++i)
        if (ws.view(i).empty()) return kExitFailure;
    return kExitOk;
}

bool parseMethod(const Args& args, std::optional<int>& method, std::string& error) {
    method.reset();
    const auto v = args.get("method");
    if (!v) return true;
    if (*v == "dense") method = kMethodDense;
    else if (*v == "blocks") method = kMethodBlocks;
    else {
        error = tr("--method must be dense or blocks");
        return false;
    }
    return true;
}

}  // namespace plastora::cli

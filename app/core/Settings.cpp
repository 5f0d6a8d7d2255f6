#include "core/Settings.h"

#include "platform/Paths.h"
#include "platform/Profile.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <variant>
#include <vector>
#include <unistd.h>

namespace plastora {

namespace {

// Reading buffer sizes.
constexpr int kLpiBuffer = 10;
constexpr int kPairBuffer = 16;
// A face name is held to 31 bytes of the Windows code page, as a project
// stores it; in this file's UTF-8 each of those bytes may take three (a
// half-width katakana), so a name the text dialog keeps is read back whole.
constexpr int kFontNameBuffer = 31 * 3 + 1;
constexpr int kHelpBuffer = 64;
constexpr int kTextBuffer = 260;
// File and folder paths: Linux paths run to PATH_MAX (4096) bytes, far past
// the 260 of a text value, and a cut path names another file.
constexpr int kPathBuffer = 4096;

constexpr SettingInfo intKey(SettingKey key, const char* section, const char* name, int value) {
    return {key, section, name, SettingKind::Int, value, value, nullptr, 0, 0};
}
// An integer that one operation reads with `value` and another with `alternative`.
constexpr SettingInfo intKey2(SettingKey key, const char* section, const char* name, int value, int alternative) {
    return {key, section, name, SettingKind::Int, value, alternative, nullptr, 0, 0};
}
constexpr SettingInfo flagKey(SettingKey key, const char* section, const char* name, int value) {
    return {key, section, name, SettingKind::Flag, value, value, nullptr, 0, 0};
}
constexpr SettingInfo textKey(SettingKey key, const char* section, const char* name, const char* value,
                              int buffer) {
    return {key, section, name, SettingKind::Text, 0, 0, value, buffer, 0};
}
constexpr SettingInfo floatKey(SettingKey key, const char* section, const char* name, const char* value, int buffer,
                               int decimals) {
    return {key, section, name, SettingKind::FloatText, 0, 0, value, buffer, decimals};
}
constexpr SettingInfo pairKey(SettingKey key, const char* section, const char* pattern) {
    return {key, section, pattern, SettingKind::SizePair, 0, 0, "640,480", kPairBuffer, 0};
}

using K = SettingKey;

// Every key of the settings file. Only these defaults exist in the program;
// the shipped file adds nothing but the paper and video sizes.
constexpr std::array<SettingInfo, static_cast<std::size_t>(SettingKey::Count)> kTable{{
    intKey2(K::StereoBackGround, "Stereo", "BackGround", -8, -16),
    intKey(K::StereoForeGround, "Stereo", "ForeGround", 8),
    intKey2(K::StereoPaint, "Stereo", "Paint", 4, 0),
    intKey(K::StereoShadow, "Stereo", "Shadow", 64),
    intKey(K::StereoInterval, "Stereo", "Interval", 100),
    flagKey(K::StereoAlign, "Stereo", "Align", 1),
    intKey(K::MaskColor, "Mask", "Color", 65280),
    intKey(K::MaskWidth, "Mask", "Width", 4),
    // How much the mask colour covers the photo in mask editing, percent.
    intKey(K::MaskOpacity, "Mask", "Opacity", 100),
    intKey(K::EditColor, "Edit", "Color", 0),
    intKey(K::EditWidth, "Edit", "Width", 8),
    flagKey(K::EditFixRatio, "Edit", "FixRatio", 1),
    intKey(K::OptionJpegQuality, "Option", "JpegQuality", 80),
    flagKey(K::OptionCopyPrint, "Option", "CopyPrint", 0),
    flagKey(K::OptionAnaglyphColor, "Option", "AnaglyphColor", 0),
    flagKey(K::OptionAnaglyphFilter, "Option", "AnaglyphFilter", 0),
    textKey(K::OptionDrive, "Option", "Drive", "", kPathBuffer),
    textKey(K::OptionNintendoPath, "Option", "NintendoPath", "DCIM/*NIN03/HNI_%04d.MPO", kPathBuffer),
    intKey(K::LenticularSize, "Lenticular", "Size", 4),
    intKey(K::LenticularDisplay, "Lenticular", "Display", 4),
    intKey(K::LenticularPitch, "Lenticular", "Pitch", 2),
    floatKey(K::LenticularLPI, "Lenticular", "LPI", "60.0", kLpiBuffer, 1),
    intKey(K::PictureDisplay, "Picture", "Display", 0),
    intKey(K::PictureHDRatio, "Picture", "HDRatio", 3),
    pairKey(K::PicturePaperSizeN, "Picture", "PaperSize%d"),
    flagKey(K::InterlaceType, "Interlace", "Type", 0),
    flagKey(K::InterlaceStereo, "Interlace", "Stereo", 0),
    flagKey(K::InterlaceReverseStereo, "Interlace", "ReverseStereo", 0),
    intKey(K::VideoVideoSize, "Video", "VideoSize", 1),
    pairKey(K::VideoSizeN, "Video", "Size%d"),
    intKey(K::VideoStereoType, "Video", "StereoType", 0),
    flagKey(K::VideoReverseStereo, "Video", "ReverseStereo", 0),
    floatKey(K::VideoFPS, "Video", "FPS", "8", kTextBuffer, 6),
    intKey(K::VideoLoop, "Video", "Loop", 8),
    flagKey(K::VideoGifSize, "Video", "GifSize", 1),
    flagKey(K::PMEnablePM, "PM", "EnablePM", 1),
    flagKey(K::PMCheckMatch, "PM", "CheckMatch", 1),
    intKey(K::PMPatternSize, "PM", "PatternSize", 16),
    intKey(K::PMSourceRow, "PM", "SourceRow", 32),
    intKey(K::PMSourceCol, "PM", "SourceCol", 64),
    intKey(K::PMMinDistance, "PM", "MinDistance", 35),
    intKey(K::PMAdjustType, "PM", "AdjustType", 1),
    intKey(K::PMFailRatio, "PM", "FailRatio", 10),
    intKey(K::PMNumOfBasis, "PM", "numOfBasis", 50),
    intKey(K::PMFindDistance, "PM", "findDistance", 1),
    intKey(K::PMBottomUpStartPercent, "PM", "bottomUpStartPercent", 10),
    intKey(K::PMDistanceStartPercent, "PM", "distanceStartPercent", 2),
    intKey(K::PMRejectThreshold, "PM", "rejectThreshold", 50),
    intKey(K::PMMethod, "PM", "Method", 1),
    floatKey(K::AutoScaleFactor, "Auto", "ScaleFactor", "1.1", kTextBuffer, 2),
    intKey(K::AutoMinNeighbors, "Auto", "MinNeighbors", 3),
    intKey(K::AutoMinSize, "Auto", "MinSize", 0),
    flagKey(K::AutoCannyPruning, "Auto", "CannyPruning", 0),
    textKey(K::AutoCascadeFile, "Auto", "CascadeFile", "haarcascade_frontalface_alt.xml", kPathBuffer),
    textKey(K::AutoBodyData, "Auto", "BodyData", "body_data_default.wmf", kPathBuffer),
    flagKey(K::AutoMultiLayer, "Auto", "MultiLayer", 0),
    textKey(K::FontName, "Font", "Name", "ＭＳ Ｐゴシック", kFontNameBuffer),
    intKey(K::FontSize, "Font", "Size", 36),
    flagKey(K::FontBold, "Font", "Bold", 1),
    flagKey(K::FontItalic, "Font", "Italic", 0),
    flagKey(K::FontAntialiased, "Font", "Antialiased", 1),
    textKey(K::HelpURL, "Help", "URL", "", kHelpBuffer),
    textKey(K::HelpTutorial, "Help", "Tutorial", "", kHelpBuffer),
}};

constexpr bool tableInKeyOrder() {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (static_cast<std::size_t>(kTable[i].key) != i) return false;
    return true;
}
static_assert(tableInKeyOrder(), "the settings table must list the keys in SettingKey order");

bool isIntKind(SettingKind kind) { return kind == SettingKind::Int || kind == SettingKind::Flag; }

bool validKey(SettingKey key) {
    return static_cast<std::size_t>(key) < kTable.size();
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Parses "width,height" into two usable numbers.
bool parsePair(std::string_view text, SettingSize& size) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return false;
    const double w = settingFloatFromText(text.substr(0, comma));
    const double h = settingFloatFromText(text.substr(comma + 1));
    if (!(w > 0 && w <= kMaxSettingSize && h > 0 && h <= kMaxSettingSize)) return false;
    size = {w, h};
    return true;
}

}  // namespace

std::span<const SettingInfo> settingTable() { return kTable; }

const SettingInfo& settingInfo(SettingKey key) {
    // An id out of range (a cast from a bad number) falls back to the first
    // entry rather than reading past the table.
    return validKey(key) ? kTable[static_cast<std::size_t>(key)] : kTable[0];
}

std::string settingKeyName(SettingKey key, int index) {
    const SettingInfo& info = settingInfo(key);
    if (info.kind != SettingKind::SizePair) return info.name;
    char buf[64];
    std::snprintf(buf, sizeof buf, info.name, index);
    return buf;
}

double settingFloatFromText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n' ||
                               text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Only a digit or a point may start the number: no "inf", "nan" or hex.
    if (i >= text.size() || !(isDigit(text[i]) || (text[i] == '.' && i + 1 < text.size() && isDigit(text[i + 1]))))
        return 0;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                           std::chars_format::general);
    (void)end;
    if (ec != std::errc() || !std::isfinite(value)) return 0;
    return negative ? -value : value;
}

std::string defaultSettingsPath() { return joinPath(programFolder(), "Plastora.ini"); }

namespace {

namespace fs = std::filesystem;

bool writableFolder(const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

struct WritePolicy {
    std::mutex lock;
    bool readOnly = false;
    std::set<std::string> allowed;
};

WritePolicy& writePolicy() {
    static WritePolicy policy;
    return policy;
}

bool writesAllowed(const std::string& path) {
    WritePolicy& p = writePolicy();
    const std::lock_guard guard(p.lock);
    return !p.readOnly || p.allowed.count(path) != 0;
}

}  // namespace

std::string settingsPathFor(const std::string& installed, bool installedWritable, const std::string& userFolder) {
    if (installedWritable || userFolder.empty()) return installed;
    std::error_code ec;
    const std::string own = joinPath(userFolder, "Plastora.ini");
    if (fs::exists(own, ec)) return own;
    fs::create_directories(userFolder, ec);
    if (ec || !writableFolder(userFolder)) return installed;
    // Nothing installed: the user's file starts as no file (all defaults)
    // and is made by the first write, as beside the program.
    if (!fs::exists(installed, ec)) return own;
    // Copied under a name of this process's own (never an existing file) and
    // renamed, so that a copy cut short is never taken for the settings.
    const std::string part = own + ".part" + std::to_string(::getpid());
    fs::copy_file(installed, part, fs::copy_options::none, ec);
    if (!ec) fs::permissions(part, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    if (!ec) fs::rename(part, own, ec);
    if (ec) {
        fs::remove(part, ec);
        return installed;
    }
    return own;
}

namespace {

// The installed file can be kept up to date where it is. It is replaced
// through a temporary file beside it: the folder must take new files, and an
// existing file must itself be writable.
bool installedWritable(const std::string& installed) {
    std::error_code ec;
    return writableFolder(programFolder()) && (!fs::exists(installed, ec) || ::access(installed.c_str(), W_OK) == 0);
}

}  // namespace

std::string programSettingsPath() {
    const std::string installed = defaultSettingsPath();
    return settingsPathFor(installed, installedWritable(installed), userConfigFolder());
}

std::string readSettingsPath() {
    const std::string installed = defaultSettingsPath();
    // Only looked up, never made: reading makes nothing. A folder that is
    // not the user's own is not read either.
    const std::string folder = userConfigFolderName();
    return readSettingsPathFor(installed, installedWritable(installed), isOwnFolder(folder) ? folder : std::string());
}

std::string readSettingsPathFor(const std::string& installed, bool installedWritable, const std::string& userFolder) {
    if (installedWritable || userFolder.empty()) return installed;
    const std::string own = joinPath(userFolder, "Plastora.ini");
    std::error_code ec;
    return fs::exists(own, ec) ? own : installed;
}

bool Settings::writable() const { return writesAllowed(m_path); }

void setSettingsReadOnly(bool readOnly) {
    WritePolicy& p = writePolicy();
    const std::lock_guard guard(p.lock);
    p.readOnly = readOnly;
}

void allowSettingsWritesTo(const std::string& path) {
    WritePolicy& p = writePolicy();
    const std::lock_guard guard(p.lock);
    p.allowed.insert(path);
}

int Settings::getInt(SettingKey key, Fallback fallback) const {
    const SettingInfo& info = settingInfo(key);
    if (!validKey(key) || !isIntKind(info.kind)) return 0;
    const int def = fallback == Fallback::Alternative ? info.alternativeInt : info.defaultInt;
    return readProfileInt(m_path, info.section, info.name, def);
}

std::string Settings::getText(SettingKey key) const {
    const SettingInfo& info = settingInfo(key);
    if (!validKey(key) || (info.kind != SettingKind::Text && info.kind != SettingKind::FloatText)) return {};
    return readProfileString(m_path, info.section, info.name, info.defaultText, info.bufferSize);
}

double Settings::getFloat(SettingKey key) const {
    if (!validKey(key) || settingInfo(key).kind != SettingKind::FloatText) return 0;
    return settingFloatFromText(getText(key));
}

std::string Settings::getSizeText(SettingKey key, int index) const {
    const SettingInfo& info = settingInfo(key);
    if (!validKey(key) || info.kind != SettingKind::SizePair) return {};
    return readProfileString(m_path, info.section, settingKeyName(key, index), info.defaultText, info.bufferSize);
}

SettingSize Settings::getSize(SettingKey key, int index) const {
    const SettingInfo& info = settingInfo(key);
    if (!validKey(key) || info.kind != SettingKind::SizePair) return {};
    SettingSize size;
    if (parsePair(getSizeText(key, index), size)) return size;
    parsePair(info.defaultText, size);
    return size;
}

namespace {

// The text a set function stores for `value` under `key`; nothing for a key
// of another kind (int values go to Int and Flag keys) or a value that
// cannot be stored.
std::optional<std::string> settingText(SettingKey key, const Settings::Value& value) {
    if (!validKey(key)) return std::nullopt;
    const SettingInfo& info = settingInfo(key);
    if (const int* i = std::get_if<int>(&value)) {
        if (!isIntKind(info.kind)) return std::nullopt;
        return std::to_string(*i);
    }
    if (const bool* b = std::get_if<bool>(&value)) {
        if (info.kind != SettingKind::Flag) return std::nullopt;
        return std::string(*b ? "1" : "0");
    }
    if (const double* d = std::get_if<double>(&value)) {
        if (info.kind != SettingKind::FloatText || !std::isfinite(*d)) return std::nullopt;
        // to_chars rounds like printf("%.*f") but never uses a locale's decimal comma.
        char buf[400];
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *d, std::chars_format::fixed, info.decimals);
        if (ec != std::errc()) return std::nullopt;
        return std::string(buf, end);
    }
    if (info.kind != SettingKind::Text) return std::nullopt;
    return std::string(std::get<std::string_view>(value));
}

}  // namespace

bool Settings::setAll(std::initializer_list<Entry> values) const {
    return setAll(std::span<const Entry>(values.begin(), values.size()));
}

bool Settings::setAll(std::span<const Entry> values) const {
    if (values.empty()) return true;  // nothing to write: the file is left alone
    std::vector<ProfileWrite> writes;
    for (const auto& [key, value] : values) {
        std::optional<std::string> text = settingText(key, value);
        if (!text) return false;
        const SettingInfo& info = settingInfo(key);
        writes.push_back(ProfileWrite{std::string(info.section), std::string(info.name), std::move(*text)});
    }
    return writesAllowed(m_path) && writeProfileStrings(m_path, writes);
}

bool Settings::setInt(SettingKey key, int value) const { return setAll({{key, value}}); }

bool Settings::setFlag(SettingKey key, bool value) const { return setAll({{key, value}}); }

bool Settings::setText(SettingKey key, std::string_view value) const { return setAll({{key, value}}); }

bool Settings::setFloat(SettingKey key, double value) const { return setAll({{key, value}}); }

}  // namespace plastora

// The settings store: every key of the settings file "Plastora.ini" with its
// type, default and reading buffer, in one table, and typed access to it.
//
// Values are read from the file at the moment they are asked for (nothing is
// cached here) and written one key at a time. A missing file or key gives the
// default; nothing is created before the first write. Write results are
// returned but the program carries on whatever they say.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace plastora {

// How a key's value is held in the file.
enum class SettingKind {
    Int,        // decimal integer, written "%d"
    Flag,       // integer read as on/off, written "1" or "0"
    Text,       // text as it is
    FloatText,  // a decimal number kept as text, written with fixed decimals
    SizePair,   // indexed keys ("...%d") holding "width,height"
};

// One id per key; the name is the section followed by the key
// (indexed keys end in N).
enum class SettingKey {
    StereoBackGround,
    StereoForeGround,
    StereoPaint,
    StereoShadow,
    StereoInterval,
    StereoAlign,
    MaskColor,
    MaskWidth,
    MaskOpacity,
    EditColor,
    EditWidth,
    EditFixRatio,
    OptionJpegQuality,
    OptionCopyPrint,
    OptionAnaglyphColor,
    OptionAnaglyphFilter,
    OptionDrive,
    OptionNintendoPath,
    LenticularSize,
    LenticularDisplay,
    LenticularPitch,
    LenticularLPI,
    PictureDisplay,
    PictureHDRatio,
    PicturePaperSizeN,
    InterlaceType,
    InterlaceStereo,
    InterlaceReverseStereo,
    VideoVideoSize,
    VideoSizeN,
    VideoStereoType,
    VideoReverseStereo,
    VideoFPS,
    VideoLoop,
    VideoGifSize,
    PMEnablePM,
    PMCheckMatch,
    PMPatternSize,
    PMSourceRow,
    PMSourceCol,
    PMMinDistance,
    PMAdjustType,
    PMFailRatio,
    PMNumOfBasis,
    PMFindDistance,
    PMBottomUpStartPercent,
    PMDistanceStartPercent,
    PMRejectThreshold,
    PMMethod,
    AutoScaleFactor,
    AutoMinNeighbors,
    AutoMinSize,
    AutoCannyPruning,
    AutoCascadeFile,
    AutoBodyData,
    AutoMultiLayer,
    FontName,
    FontSize,
    FontBold,
    FontItalic,
    FontAntialiased,
    HelpURL,
    HelpTutorial,
    Count
};

// Which of a key's fallback defaults a reading uses. Two keys are read with a
// different fallback by different operations: [Stereo] "BackGround" (-8 when a
// photo is opened, -16 for "標準に戻す") and [Stereo] "Paint" (4 and 0).
// For every other key both give the same value.
enum class Fallback { Primary, Alternative };

struct SettingInfo {
    SettingKey key;
    const char* section;
    const char* name;          // for SizePair keys a pattern with one "%d"
    SettingKind kind;
    int defaultInt;            // Int and Flag keys
    int alternativeInt;        // Int and Flag keys: the Fallback::Alternative value
    const char* defaultText;   // Text, FloatText and SizePair keys
    int bufferSize;            // text kinds: bytes of the reading buffer
    int decimals;              // FloatText keys: digits written after the point
};

// The whole key table, in SettingKey order.
std::span<const SettingInfo> settingTable();
const SettingInfo& settingInfo(SettingKey key);

// The key name in the file; indexed keys get `index` put in for "%d"
// (index 1 is the first entry, "PaperSize1").
std::string settingKeyName(SettingKey key, int index = 1);

// A width,height pair of a SizePair key. Fractions are allowed.
struct SettingSize {
    double width = 0;
    double height = 0;
};

// A pair value larger than this in either direction is not taken (see getSize).
constexpr double kMaxSettingSize = 100000;

// Reads a decimal number the way atof does, but independent of the locale:
// leading blanks, an optional sign, digits with an optional point and
// exponent; the rest is ignored. Text that does not start with such a number
// (also "inf", "nan") and numbers out of the range of double read as 0.
double settingFloatFromText(std::string_view text);

// The settings file beside the program: programFolder()/Plastora.ini.
std::string defaultSettingsPath();

// The settings file the desktop program uses. The one beside the program
// while it can be written there (the file is writable, or it is missing and
// the folder is writable); otherwise, for an installed copy, the user's own
// $XDG_CONFIG_HOME/Plastora/Plastora.ini (~/.config when the variable is not
// set), made on first use as a copy of the installed file. When that copy
// cannot be made the installed file is used as it is (read, never written).
std::string programSettingsPath();
// The choice programSettingsPath() makes, for the installed file
// `installed`, whether it can be written, and the user's configuration
// folder (empty: none known).
std::string settingsPathFor(const std::string& installed, bool installedWritable, const std::string& userFolder);
// The settings the command-line tool reads: the file the desktop program
// uses (the user's own copy of an installed program's settings, when there
// is one), found without making anything.
std::string readSettingsPath();
// The choice readSettingsPath() makes, as settingsPathFor() its own.
std::string readSettingsPathFor(const std::string& installed, bool installedWritable, const std::string& userFolder);

// Turns every later Settings write in this process into a refusal (false,
// no file touched) or back. The command-line tool reads the settings and
// never writes them. Files named by allowSettingsWritesTo() (a private copy
// the tool made for itself) can still be written.
void setSettingsReadOnly(bool readOnly);
void allowSettingsWritesTo(const std::string& path);

class Settings {
public:
    explicit Settings(std::string path) : m_path(std::move(path)) {}

    const std::string& path() const { return m_path; }

    // Int and Flag keys (0 for other kinds), read like GetPrivateProfileInt.
    int getInt(SettingKey key, Fallback fallback = Fallback::Primary) const;
    bool getFlag(SettingKey key) const { return getInt(key) != 0; }

    // Text and FloatText keys (empty for other kinds), at most the key's
    // buffer size - 1 bytes, cut at a whole UTF-8 character.
    std::string getText(SettingKey key) const;

    // FloatText keys: the text read as getText does, then as a number.
    double getFloat(SettingKey key) const;

    // SizePair keys: entry `index` ("PaperSize%d", "Size%d"), as text and as a
    // pair of numbers. A value that does not give two numbers greater than 0
    // and at most kMaxSettingSize, separated by a comma, is taken as missing:
    // the result is the default "640,480" rather than an empty or absurd size.
    std::string getSizeText(SettingKey key, int index) const;
    SettingSize getSize(SettingKey key, int index) const;

    // Write one key. Each returns false, writing nothing, for a key of another
    // kind (setInt takes Int and Flag keys) or a value that cannot be stored,
    // and false when the file cannot be written.
    bool setInt(SettingKey key, int value) const;
    bool setFlag(SettingKey key, bool value) const;
    bool setText(SettingKey key, std::string_view value) const;
    // Written with the key's number of decimals ("%.1f" for the LPI, "%.02f"
    // for the scale factor, "%f" for the frame rate); not-a-number and
    // infinities are refused.
    bool setFloat(SettingKey key, double value) const;
    // False where this process never writes settings (the command-line
    // tool): a refused write there is no failure to report.
    bool writable() const;
    // Several keys at once, each value as the function above for its type
    // takes it (int: setInt, bool: setFlag, double: setFloat, text:
    // setText), with one rewrite of the file for all of them instead of one
    // per key. False, writing nothing, when any of them would be refused.
    using Value = std::variant<int, bool, double, std::string_view>;
    using Entry = std::pair<SettingKey, Value>;
    bool setAll(std::initializer_list<Entry> values) const;
    bool setAll(std::span<const Entry> values) const;

private:
    std::string m_path;
};

}  // namespace plastora

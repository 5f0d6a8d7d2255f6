#include "core/Settings.h"

#include "platform/Paths.h"
#include "platform/Profile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <variant>

using namespace plastora;
namespace fs = std::filesystem;

namespace {

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

const SettingInfo* find(std::string_view section, std::string_view name) {
    for (const SettingInfo& info : settingTable())
        if (section == info.section && name == info.name) return &info;
    return nullptr;
}

// The settings file's keys and defaults, written out by hand from the key
// table of the settings documentation. An int is an Int or Flag default, a
// text a Text or FloatText default.
struct Expected {
    const char* section;
    const char* name;
    std::variant<int, const char*> value;
};

const Expected kExpected[] = {
    {"Stereo", "BackGround", -8}, {"Stereo", "ForeGround", 8}, {"Stereo", "Paint", 4}, {"Stereo", "Shadow", 64},
    {"Stereo", "Interval", 100}, {"Stereo", "Align", 1}, {"Mask", "Color", 65280}, {"Mask", "Width", 4},
    {"Mask", "Opacity", 100}, {"Edit", "Color", 0},
    {"Edit", "Width", 8}, {"Edit", "FixRatio", 1}, {"Option", "JpegQuality", 80}, {"Option", "CopyPrint", 0},
    {"Option", "AnaglyphColor", 0}, {"Option", "AnaglyphFilter", 0}, {"Option", "Drive", ""},
    {"Option", "NintendoPath", "DCIM/*NIN03/HNI_%04d.MPO"}, {"Lenticular", "Size", 4},
    {"Lenticular", "Display", 4}, {"Lenticular", "Pitch", 2}, {"Lenticular", "LPI", "60.0"},
    {"Picture", "Display", 0}, {"Picture", "HDRatio", 3}, {"Picture", "PaperSize%d", "640,480"},
    {"Interlace", "Type", 0}, {"Interlace", "Stereo", 0}, {"Interlace", "ReverseStereo", 0},
    {"Video", "VideoSize", 1}, {"Video", "Size%d", "640,480"}, {"Video", "StereoType", 0},
    {"Video", "ReverseStereo", 0}, {"Video", "FPS", "8"}, {"Video", "Loop", 8}, {"Video", "GifSize", 1},
    {"PM", "EnablePM", 1}, {"PM", "CheckMatch", 1}, {"PM", "PatternSize", 16}, {"PM", "SourceRow", 32},
    {"PM", "SourceCol", 64}, {"PM", "MinDistance", 35}, {"PM", "AdjustType", 1}, {"PM", "FailRatio", 10},
    {"PM", "numOfBasis", 50}, {"PM", "findDistance", 1}, {"PM", "bottomUpStartPercent", 10},
    {"PM", "distanceStartPercent", 2}, {"PM", "rejectThreshold", 50}, {"PM", "Method", 1},
    {"Auto", "ScaleFactor", "1.1"},
    {"Auto", "MinNeighbors", 3}, {"Auto", "MinSize", 0}, {"Auto", "CannyPruning", 0},
    {"Auto", "CascadeFile", "haarcascade_frontalface_alt.xml"}, {"Auto", "BodyData", "body_data_default.wmf"},
    {"Auto", "MultiLayer", 0}, {"Font", "Name", "ＭＳ Ｐゴシック"}, {"Font", "Size", 36}, {"Font", "Bold", 1},
    {"Font", "Italic", 0}, {"Font", "Antialiased", 1}, {"Help", "URL", ""}, {"Help", "Tutorial", ""},
};

// Reading buffer sizes of the text keys, by hand from the same documentation.
struct ExpectedBuffer {
    const char* section;
    const char* name;
    std::size_t bytes;
};
const ExpectedBuffer kBuffers[] = {
    {"Lenticular", "LPI", 10},         {"Font", "Name", 94},        {"Help", "URL", 64},
    {"Help", "Tutorial", 64},          {"Video", "FPS", 260},       {"Auto", "ScaleFactor", 260},
    // Paths hold a whole Linux path: a face cascade in a deep folder stays readable.
    {"Option", "Drive", 4096},         {"Option", "NintendoPath", 4096},
    {"Auto", "CascadeFile", 4096},     {"Auto", "BodyData", 4096},
};

std::string shippedIni() { return std::string(PLASTORA_SOURCE_DIR) + "/data/Plastora.ini"; }

}  // namespace

TEST(Settings, EveryKeyHasItsDocumentedDefaultAndNothingIsCreated) {
    test::TempDir dir;
    const Settings s(dir.file("Plastora.ini"));
    EXPECT_EQ(settingTable().size(), std::size(kExpected));
    std::set<const SettingInfo*> seen;
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(std::string(e.section) + "/" + e.name);
        const SettingInfo* info = find(e.section, e.name);
        ASSERT_NE(info, nullptr);
        seen.insert(info);
        if (const int* i = std::get_if<int>(&e.value)) {
            EXPECT_EQ(s.getInt(info->key), *i);
            EXPECT_EQ(s.getFlag(info->key), *i != 0);
        } else if (info->kind == SettingKind::SizePair) {
            EXPECT_EQ(s.getSizeText(info->key, 1), std::get<const char*>(e.value));
        } else {
            EXPECT_EQ(s.getText(info->key), std::get<const char*>(e.value));
        }
    }
    EXPECT_EQ(seen.size(), std::size(kExpected));  // no key listed twice
    EXPECT_DOUBLE_EQ(s.getFloat(SettingKey::LenticularLPI), 60.0);
    EXPECT_DOUBLE_EQ(s.getFloat(SettingKey::VideoFPS), 8.0);
    EXPECT_DOUBLE_EQ(s.getFloat(SettingKey::AutoScaleFactor), 1.1);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(Settings, TwoKeysHaveASecondFallback) {
    test::TempDir dir;
    const Settings s(dir.file("Plastora.ini"));
    EXPECT_EQ(s.getInt(SettingKey::StereoBackGround), -8);
    EXPECT_EQ(s.getInt(SettingKey::StereoBackGround, Fallback::Alternative), -16);
    EXPECT_EQ(s.getInt(SettingKey::StereoPaint), 4);
    EXPECT_EQ(s.getInt(SettingKey::StereoPaint, Fallback::Alternative), 0);
    // Every other key reads the same with either fallback.
    for (const SettingInfo& info : settingTable()) {
        if (info.key == SettingKey::StereoBackGround || info.key == SettingKey::StereoPaint) continue;
        EXPECT_EQ(s.getInt(info.key, Fallback::Alternative), s.getInt(info.key)) << info.section << "/" << info.name;
    }
    // A value in the file wins over both, and is read when asked for.
    writeBytes(s.path(), "[STEREO]\nbackground=-4\n[lenticular]\nlpi=  \"62.5\"\n");
    EXPECT_EQ(s.getInt(SettingKey::StereoBackGround), -4);
    EXPECT_EQ(s.getInt(SettingKey::StereoBackGround, Fallback::Alternative), -4);
    EXPECT_DOUBLE_EQ(s.getFloat(SettingKey::LenticularLPI), 62.5);
    fs::remove(s.path());
    EXPECT_EQ(s.getInt(SettingKey::StereoBackGround), -8);
}

TEST(Settings, TextsAreCutToTheirBuffers) {
    test::TempDir dir;
    const Settings s(dir.file("Plastora.ini"));
    const std::string longValue(5000, '7');
    for (const ExpectedBuffer& b : kBuffers) ASSERT_TRUE(writeProfileString(s.path(), b.section, b.name, longValue));
    for (const ExpectedBuffer& b : kBuffers) {
        const SettingInfo* info = find(b.section, b.name);
        ASSERT_NE(info, nullptr) << b.name;
        EXPECT_EQ(s.getText(info->key), longValue.substr(0, b.bytes - 1)) << b.section << "/" << b.name;
    }
    ASSERT_TRUE(writeProfileString(s.path(), "Picture", "PaperSize2", "1234567,1234567,1"));
    EXPECT_EQ(s.getSizeText(SettingKey::PicturePaperSizeN, 2), "1234567,1234567");

    // A font name the text dialog keeps (31 bytes in the Windows code page)
    // is read back whole, though its UTF-8 runs past 31 bytes; a longer one is
    // cut before a character that would not fit whole: of 93 bytes, "xx" and
    // thirty 3-byte characters take 92, the next would end at 95.
    ASSERT_TRUE(s.setText(SettingKey::FontName, "UD デジタル 教科書体 NK-R"));
    EXPECT_EQ(s.getText(SettingKey::FontName), "UD デジタル 教科書体 NK-R");
    ASSERT_TRUE(s.setText(SettingKey::FontName, "xxｺﾞｼｯｸﾞｼｯｸﾞｼｯｸﾞｼｯｸﾞｼｯｸﾞｼｯｸｺﾞｼｯｸｺﾞｼｯｸ"));
    EXPECT_EQ(s.getText(SettingKey::FontName), "xxｺﾞｼｯｸﾞｼｯｸﾞｼｯｸﾞｼｯｸﾞｼｯｸﾞｼｯｸｺﾞｼｯｸ");
}

TEST(Settings, WritesUseTheKeysFormats) {
    test::TempDir dir;
    const Settings s(dir.file("Plastora.ini"));
    EXPECT_TRUE(s.setInt(SettingKey::StereoShadow, 200));
    EXPECT_TRUE(s.setInt(SettingKey::EditColor, 0x00FF8040));
    EXPECT_TRUE(s.setFlag(SettingKey::EditFixRatio, false));
    EXPECT_TRUE(s.setFloat(SettingKey::LenticularLPI, 75.36));
    EXPECT_TRUE(s.setFloat(SettingKey::AutoScaleFactor, 1.2));
    EXPECT_TRUE(s.setFloat(SettingKey::VideoFPS, 10));
    EXPECT_TRUE(s.setText(SettingKey::OptionDrive, "/media/card"));
    EXPECT_EQ(readBytes(s.path()),
              "[Stereo]\nShadow=200\n\n"
              "[Edit]\nColor=16744512\nFixRatio=0\n\n"
              "[Lenticular]\nLPI=75.4\n\n"
              "[Auto]\nScaleFactor=1.20\n\n"
              "[Video]\nFPS=10.000000\n\n"
              "[Option]\nDrive=/media/card\n");
    EXPECT_DOUBLE_EQ(s.getFloat(SettingKey::LenticularLPI), 75.4);

    // Writes that do not fit the key's kind, or NaN, change nothing.
    const std::string before = readBytes(s.path());
    EXPECT_FALSE(s.setInt(SettingKey::FontName, 1));
    EXPECT_FALSE(s.setFlag(SettingKey::StereoShadow, true));
    EXPECT_FALSE(s.setText(SettingKey::LenticularLPI, "70.0"));
    EXPECT_FALSE(s.setFloat(SettingKey::VideoFPS, std::nan("")));
    EXPECT_FALSE(s.setText(SettingKey::HelpURL, "a\nb"));
    EXPECT_EQ(readBytes(s.path()), before);
}

// Several keys at once: each value in its key's format, in one rewrite of
// the file; one refused value writes none of them.
TEST(Settings, SeveralKeysAreWrittenTogetherOrNotAtAll) {
    test::TempDir dir;
    const Settings s(dir.file("Plastora.ini"));
    ASSERT_TRUE(s.setAll({{SettingKey::VideoLoop, 3},
                          {SettingKey::VideoGifSize, false},
                          {SettingKey::VideoFPS, 12.5},
                          {SettingKey::OptionDrive, std::string_view("/media/card")}}));
    EXPECT_EQ(readBytes(s.path()), "[Video]\nLoop=3\nGifSize=0\nFPS=12.500000\n\n[Option]\nDrive=/media/card\n");
    const std::string before = readBytes(s.path());
    EXPECT_FALSE(s.setAll({{SettingKey::VideoLoop, 5}, {SettingKey::StereoShadow, true}}));  // a flag for a number
    EXPECT_FALSE(s.setAll({{SettingKey::VideoLoop, 5}, {SettingKey::HelpURL, std::string_view("a\nb")}}));
    EXPECT_FALSE(s.setAll({{SettingKey::VideoLoop, 5}, {SettingKey::VideoFPS, std::nan("")}}));
    EXPECT_EQ(readBytes(s.path()), before);
}

TEST(Settings, NumbersInTextAreReadWithoutLocaleOrSurprises) {
    EXPECT_DOUBLE_EQ(settingFloatFromText("  62.5abc"), 62.5);
    EXPECT_DOUBLE_EQ(settingFloatFromText("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(settingFloatFromText("-1e1"), -10.0);
    EXPECT_DOUBLE_EQ(settingFloatFromText("75,5"), 75.0);
    EXPECT_DOUBLE_EQ(settingFloatFromText("1e999"), 0.0);
    EXPECT_DOUBLE_EQ(settingFloatFromText("nan"), 0.0);
    EXPECT_DOUBLE_EQ(settingFloatFromText("."), 0.0);
}

TEST(Settings, SizePairsFallBackWhenMissingOrUnusable) {
    test::TempDir dir;
    const Settings s(dir.file("Plastora.ini"));
    writeBytes(s.path(),
               "[Picture]\nPaperSize1=478.5, 707\nPaperSize2=abc\nPaperSize3=0,480\n"
               "PaperSize4=640\nPaperSize5=1e9,10\nPaperSize6=-5,5\n"
               "[Video]\nSize3=1280,720\n");
    const SettingSize p1 = s.getSize(SettingKey::PicturePaperSizeN, 1);
    EXPECT_DOUBLE_EQ(p1.width, 478.5);
    EXPECT_DOUBLE_EQ(p1.height, 707);
    for (int i : {2, 3, 4, 5, 6, 7}) {
        const SettingSize p = s.getSize(SettingKey::PicturePaperSizeN, i);
        EXPECT_EQ(p.width, 640) << i;
        EXPECT_EQ(p.height, 480) << i;
    }
    // Same index in another section is another key.
    EXPECT_EQ(s.getSize(SettingKey::VideoSizeN, 3).width, 1280);
    EXPECT_EQ(s.getSize(SettingKey::VideoSizeN, 1).width, 640);
}

TEST(Settings, ShippedFileHoldsThePaperAndVideoSizesOnly) {
    const Settings s(shippedIni());
    ASSERT_TRUE(fs::exists(s.path()));
    // Paper sizes in millimetres; pixels at 60 lpi are trunc(mm x 60 x
    // 0.07966667), 4.78 per millimetre, the longer side first.
    struct Paper {
        int index;
        int mmShort;
        int mmLong;
    };
    const Paper papers[] = {{1, 100, 148}, {2, 89, 127}, {3, 55, 91}, {5, 210, 297}, {6, 127, 178}};
    for (const Paper& p : papers) {
        const SettingSize size = s.getSize(SettingKey::PicturePaperSizeN, p.index);
        EXPECT_EQ(size.width, std::trunc(p.mmLong * 60 * 0.07966667)) << p.index;
        EXPECT_EQ(size.height, std::trunc(p.mmShort * 60 * 0.07966667)) << p.index;
    }
    EXPECT_EQ(s.getSizeText(SettingKey::PicturePaperSizeN, 1), "707,478");  // はがき
    EXPECT_EQ(s.getSizeText(SettingKey::PicturePaperSizeN, 4), "640,480");  // VGA

    // The video frame sizes named on the size choices.
    const int video[4][2] = {{320, 240}, {640, 480}, {1280, 720}, {1920, 1200}};
    for (int i = 0; i < 4; ++i) {
        const SettingSize size = s.getSize(SettingKey::VideoSizeN, i + 1);
        EXPECT_EQ(size.width, video[i][0]) << i;
        EXPECT_EQ(size.height, video[i][1]) << i;
    }

    // Every other key is left to its built-in default.
    for (const SettingInfo& info : settingTable()) {
        if (info.kind == SettingKind::SizePair) continue;
        EXPECT_EQ(readProfileString(s.path(), info.section, info.name, "<absent>"), "<absent>")
            << info.section << "/" << info.name;
    }
}

TEST(Settings, ChangingOneValueAddsExactlyThatKey) {
    test::TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    const std::string shipped = readBytes(shippedIni());
    writeBytes(ini, shipped);
    const Settings s(ini);
    ASSERT_TRUE(s.setInt(SettingKey::OptionJpegQuality, 90));
    EXPECT_EQ(readBytes(ini), shipped + "\n[Option]\nJpegQuality=90\n");
    ASSERT_TRUE(s.setInt(SettingKey::OptionJpegQuality, 70));
    EXPECT_EQ(readBytes(ini), shipped + "\n[Option]\nJpegQuality=70\n");
}

TEST(Settings, DefaultFileSitsBesideTheProgram) {
    setProgramFolder("/opt/plastora");
    EXPECT_EQ(defaultSettingsPath(), "/opt/plastora/Plastora.ini");
    setProgramFolder("");
}

TEST(Settings, ReadOnlyProcessRefusesEveryWriteButToItsOwnCopy) {
    test::TempDir dir;
    const std::string ini = dir.file("Plastora.ini"), copy = dir.file("private.ini");
    writeBytes(ini, "[Font]\nName=A\n");
    setSettingsReadOnly(true);
    const Settings s(ini);
    EXPECT_FALSE(s.setText(SettingKey::FontName, "B"));
    EXPECT_FALSE(s.setInt(SettingKey::FontSize, 20));
    EXPECT_FALSE(s.setFlag(SettingKey::FontBold, false));
    EXPECT_FALSE(s.setFloat(SettingKey::LenticularLPI, 75.0));
    EXPECT_FALSE(Settings(dir.file("new.ini")).setInt(SettingKey::FontSize, 20));
    EXPECT_EQ(readBytes(ini), "[Font]\nName=A\n");
    EXPECT_FALSE(fs::exists(dir.file("new.ini"))) << "nothing is created either";
    EXPECT_EQ(s.getText(SettingKey::FontName), "A") << "reading goes on";
    // The tool's own private copy stays writable.
    allowSettingsWritesTo(copy);
    EXPECT_TRUE(Settings(copy).setInt(SettingKey::VideoLoop, 3));
    EXPECT_EQ(Settings(copy).getInt(SettingKey::VideoLoop), 3);
    setSettingsReadOnly(false);
    EXPECT_TRUE(s.setText(SettingKey::FontName, "B"));
    EXPECT_EQ(s.getText(SettingKey::FontName), "B");
}

TEST(Settings, AnInstalledCopyKeepsItsSettingsInTheUsersFolder) {
    test::TempDir dir;
    const std::string installed = dir.file("Plastora.ini");
    const std::string user = dir.file("config/Plastora");
    writeBytes(installed, "[Picture]\nPaperSize1=707,478\n");
    // A writable program folder keeps its own file.
    EXPECT_EQ(settingsPathFor(installed, true, user), installed);
    EXPECT_FALSE(fs::exists(user));
    // The command-line tool reads the installed file while there is no copy,
    // and makes none.
    EXPECT_EQ(readSettingsPathFor(installed, false, user), installed);
    EXPECT_FALSE(fs::exists(user));
    // Not writable: the user's copy, made from the installed file once.
    const std::string own = settingsPathFor(installed, false, user);
    EXPECT_EQ(own, user + "/Plastora.ini");
    EXPECT_EQ(readBytes(own), readBytes(installed));
    ASSERT_TRUE(Settings(own).setInt(SettingKey::MaskWidth, 9));
    EXPECT_EQ(settingsPathFor(installed, false, user), own);
    EXPECT_EQ(Settings(own).getInt(SettingKey::MaskWidth), 9) << "the user's changes are kept on the next start";
    EXPECT_EQ(readSettingsPathFor(installed, false, user), own) << "and the command-line tool reads them";
    EXPECT_EQ(readSettingsPathFor(installed, true, user), installed);
    EXPECT_EQ(readBytes(installed), "[Picture]\nPaperSize1=707,478\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(user), fs::directory_iterator()), 1) << "no copy left half made";

    // Nothing installed: defaults, and the file is made by the first write.
    const std::string user2 = dir.file("config2/Plastora");
    const std::string own2 = settingsPathFor(dir.file("none.ini"), false, user2);
    EXPECT_EQ(own2, user2 + "/Plastora.ini");
    EXPECT_FALSE(fs::exists(own2));
    // No place for a copy (the folder would have to be made inside a file):
    // the installed file is read as it is.
    EXPECT_EQ(settingsPathFor(installed, false, installed + "/Plastora"), installed);
    EXPECT_EQ(settingsPathFor(installed, false, ""), installed);

    // The program's own choice for a writable program folder.
    setProgramFolder(dir.path().string());
    EXPECT_EQ(programSettingsPath(), installed);
    // The command-line tool's look-up makes no configuration folder.
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    ::setenv("XDG_CONFIG_HOME", dir.file("fresh").c_str(), 1);
    EXPECT_EQ(readSettingsPath(), installed);
    EXPECT_FALSE(fs::exists(dir.file("fresh")));
    if (oldXdg) ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    setProgramFolder("");
}

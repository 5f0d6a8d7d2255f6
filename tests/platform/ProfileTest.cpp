#include "platform/Profile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace plastora;
namespace fs = std::filesystem;

namespace {

void writeBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

}  // namespace

TEST(Profile, LookupIgnoresAsciiCaseAndBlanksAndQuotes) {
    const ProfileText t(
        "top=outside any section\n"
        "  [ Stereo ]  \n"
        "  backGROUND =  -12  \n"
        "Drive=\"F:\"\n"
        "Single='x y'\n"
        "Odd=\"half\n"
        "; Shadow=1\n"
        "Shadow\n"
        "[Font]\n"
        "Name=ＭＳ Ｐゴシック\n");
    EXPECT_EQ(t.value("STEREO", "BackGround"), "-12");
    EXPECT_EQ(t.value("stereo", "drive"), "F:");
    EXPECT_EQ(t.value("Stereo", "Single"), "x y");
    EXPECT_EQ(t.value("Stereo", "Odd"), "\"half");  // unmatched quote stays
    EXPECT_FALSE(t.value("Stereo", "Shadow"));      // a comment and a bare word set nothing
    EXPECT_FALSE(t.value("Stereo", "top"));
    EXPECT_FALSE(t.value("", "top"));
    EXPECT_EQ(t.value("font", "NAME"), "ＭＳ Ｐゴシック");
    // Case folding is ASCII only: full-width letters must match exactly.
    EXPECT_FALSE(ProfileText("[Ｓ]\nk=1\n").value("ｓ", "k"));
}

TEST(Profile, FirstSectionAndFirstKeyWin) {
    const ProfileText t(
        "[A]\nk=1\nk=2\n"
        "[B]\nk=3\n"
        "[a]\nk=4\nonly=5\n");
    EXPECT_EQ(t.value("A", "k"), "1");
    // The second [a] section is never consulted.
    EXPECT_FALSE(t.value("A", "only"));
    EXPECT_EQ(t.value("B", "k"), "3");
}

TEST(Profile, MalformedLinesDoNotBreakTheStructure) {
    std::string bytes = "[A]\r\nx=1\r\n[broken\r\ny=2\r\n=3\r\n[B]\r\nz=a";
    bytes += '\0';
    bytes += "b\r\nv=\r\n";
    const ProfileText t(bytes);
    EXPECT_EQ(t.value("A", "x"), "1");
    EXPECT_EQ(t.value("A", "y"), "2");   // "[broken" opened no section
    EXPECT_FALSE(t.value("broken", "y"));
    EXPECT_EQ(t.value("B", "z"), "a");   // a NUL ends the value
    EXPECT_EQ(t.value("B", "v"), "");    // present but empty
    EXPECT_EQ(ProfileText("[S]\nk=last").value("S", "k"), "last");  // no final line break
}

// Files from other editors: a UTF-8 byte-order mark before the first
// section, and old Mac line breaks (a lone CR), which a write keeps.
TEST(Profile, ByteOrderMarksAndLoneCarriageReturnsAreRead) {
    const ProfileText bom("\xEF\xBB\xBF[Picture]\r\nJpegQuality=55\r\n");
    EXPECT_EQ(bom.value("Picture", "JpegQuality"), "55");
    EXPECT_EQ(ProfileText("[A]\rx=1\r[B]\ry=2\r").value("B", "y"), "2");

    test::TempDir dir;
    const std::string ini = dir.file("mac.ini");
    writeBytes(ini, "\xEF\xBB\xBF[A]\rx=1\r[B]\ry=2\r");
    ASSERT_TRUE(writeProfileString(ini, "A", "x", "3"));
    ASSERT_TRUE(writeProfileString(ini, "C", "z", "4"));
    EXPECT_EQ(readBytes(ini), "\xEF\xBB\xBF[A]\rx=3\r[B]\ry=2\r\r[C]\rz=4\r") << "one [A], the file's own line breaks";
}

TEST(Profile, IntegersAreReadLikeTheClassicCall) {
    EXPECT_EQ(profileIntFromText("12abc", 7), 12);
    EXPECT_EQ(profileIntFromText("abc", 7), 0);
    EXPECT_EQ(profileIntFromText("", 7), 7);
    EXPECT_EQ(profileIntFromText("-8", 7), -8);
    EXPECT_EQ(profileIntFromText("+16", 7), 16);
    EXPECT_EQ(profileIntFromText("0x10", 7), 0);
    EXPECT_EQ(profileIntFromText("-2147483648", 7), -2147483647 - 1);
    EXPECT_EQ(profileIntFromText("4294967297", 7), 1);  // wraps at 32 bits
}

TEST(Profile, FileReadsGiveDefaultsWithoutCreatingAnything) {
    test::TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    EXPECT_EQ(readProfileInt(ini, "Stereo", "BackGround", -8), -8);
    EXPECT_EQ(readProfileString(ini, "Option", "Drive", "F:"), "F:");
    EXPECT_EQ(readProfileInt(dir.file("no/such/folder.ini"), "A", "b", 5), 5);
    EXPECT_EQ(entriesIn(dir.path()), 0u);

    writeBytes(ini, "[Stereo]\nBackGround=\"-3\"\nPaint=\nShadow=x\n");
    EXPECT_EQ(readProfileInt(ini, "stereo", "background", -8), -3);
    EXPECT_EQ(readProfileInt(ini, "Stereo", "Paint", 4), 4);  // empty value: the default
    EXPECT_EQ(readProfileInt(ini, "Stereo", "Shadow", 64), 0);
    EXPECT_EQ(readProfileString(ini, "Stereo", "Paint", "dflt"), "");
    EXPECT_EQ(readProfileString(ini, "Stereo", "None", "dflt  "), "dflt");

    // A folder in place of the file reads as nothing there.
    EXPECT_EQ(readProfileInt(dir.path().string(), "A", "b", 9), 9);
    // So does a named pipe, without waiting for a writer.
    const std::string fifo = dir.file("pipe.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readProfileInt(fifo, "A", "b", 9), 9);
}

TEST(Profile, TextIsCutToTheBufferOnCharacterBoundaries) {
    test::TempDir dir;
    const std::string ini = dir.file("t.ini");
    writeBytes(ini, "[Lenticular]\nLPI=123456789012\n[Font]\nName=ＭＳ Ｐゴシック\n");
    EXPECT_EQ(readProfileString(ini, "Lenticular", "LPI", "60.0", 10), "123456789");
    EXPECT_EQ(readProfileString(ini, "Lenticular", "LPI", "60.0", 0), "");
    // 'Ｍ' and 'Ｓ' are 3 bytes each: 5 bytes hold only 'Ｍ', 6 hold both.
    EXPECT_EQ(readProfileString(ini, "Font", "Name", "", 6), "Ｍ");
    EXPECT_EQ(readProfileString(ini, "Font", "Name", "", 7), "ＭＳ");
    EXPECT_EQ(readProfileString(ini, "Font", "Name", "", 32), "ＭＳ Ｐゴシック");
    // Defaults are cut the same way.
    EXPECT_EQ(readProfileString(ini, "Font", "Other", "ゴシック", 5), "ゴ");

    const std::string emoji = "a\xF0\x9F\x98\x80";  // 'a' and a 4-byte character
    for (std::size_t limit = 1; limit < 5; ++limit) EXPECT_EQ(truncateUtf8(emoji, limit), "a") << limit;
    EXPECT_EQ(truncateUtf8(emoji, 5), emoji);
    // Stray continuation bytes are not characters to protect; they are kept.
    EXPECT_EQ(truncateUtf8("\x80\x80\x80\x80\x80", 4), "\x80\x80\x80\x80");
    EXPECT_EQ(truncateUtf8("ab\xFF\xFF", 3), "ab\xFF");
}

TEST(Profile, WritingOneKeyKeepsEveryOtherByte) {
    const std::string before =
        "; settings\r\n"
        "[Unknown]\r\n"
        "Keep = as it is \r\n"
        "\r\n"
        "[option]\r\n"
        "  jpegquality = 80  \r\n"
        "CopyPrint=1\r\n"
        "\r\n"
        "[Tail]\r\n"
        "x=1";
    ProfileText t(before);
    ASSERT_TRUE(t.set("Option", "JpegQuality", "95"));
    EXPECT_EQ(t.bytes(),
              "; settings\r\n"
              "[Unknown]\r\n"
              "Keep = as it is \r\n"
              "\r\n"
              "[option]\r\n"
              "  jpegquality = 95\r\n"
              "CopyPrint=1\r\n"
              "\r\n"
              "[Tail]\r\n"
              "x=1");

    // A new key goes after the section's last line, before the blank line.
    ASSERT_TRUE(t.set("OPTION", "Drive", "G:"));
    EXPECT_EQ(t.value("Option", "Drive"), "G:");
    EXPECT_NE(t.bytes().find("CopyPrint=1\r\nDrive=G:\r\n\r\n[Tail]"), std::string::npos);

    // A new section is appended, completing the unterminated last line.
    ASSERT_TRUE(t.set("Video", "FPS", "8.000000"));
    EXPECT_TRUE(t.bytes().ends_with("[Tail]\r\nx=1\r\n\r\n[Video]\r\nFPS=8.000000\r\n"));
    EXPECT_EQ(t.value("tail", "X"), "1");

    // Empty old values are replaced too; a key in the unterminated last line
    // of a section gets its line break.
    ProfileText u("[S]\nk=\n[T]\nlast=1");
    ASSERT_TRUE(u.set("S", "k", "v"));
    ASSERT_TRUE(u.set("T", "new", "2"));
    EXPECT_EQ(u.bytes(), "[S]\nk=v\n[T]\nlast=1\nnew=2\n");

    // A duplicate section: the first one is written, as it is the one read.
    ProfileText d("[A]\nk=1\n[A]\nk=2\n");
    ASSERT_TRUE(d.set("a", "K", "9"));
    EXPECT_EQ(d.bytes(), "[A]\nk=9\n[A]\nk=2\n");
}

TEST(Profile, NamesAndValuesThatWouldCorruptTheFileAreRefused) {
    const std::string before = "[S]\nk=1\n";
    ProfileText t(before);
    EXPECT_FALSE(t.set("S", "k", "two\nlines"));
    EXPECT_FALSE(t.set("S", "k", std::string("nul\0byte", 8)));
    EXPECT_FALSE(t.set("S", "a=b", "1"));
    EXPECT_FALSE(t.set("S", " k", "1"));
    EXPECT_FALSE(t.set("S", "[k", "1"));
    EXPECT_FALSE(t.set("S]x", "k", "1"));
    EXPECT_EQ(t.bytes(), before);
    // Backslashes and Japanese text are stored as they are.
    ASSERT_TRUE(t.set("S", "k", "DCIM\\*NIN03\\HNI_%04d.MPO"));
    ASSERT_TRUE(t.set("フォント", "名前", "ゴシック"));
    EXPECT_EQ(t.bytes(), "[S]\nk=DCIM\\*NIN03\\HNI_%04d.MPO\n\n[フォント]\n名前=ゴシック\n");
}

TEST(Profile, WritingFilesCreatesOnlyWhatIsNeeded) {
    test::TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    ASSERT_TRUE(writeProfileString(ini, "Option", "JpegQuality", "95"));
    EXPECT_EQ(readBytes(ini), "[Option]\nJpegQuality=95\n");
    EXPECT_EQ(entriesIn(dir.path()), 1u);  // no temporary file left behind

    writeBytes(ini, "[Option]\r\nJpegQuality=80\r\n; end\r\n");
    ::chmod(ini.c_str(), 0640);
    ASSERT_TRUE(writeProfileString(ini, "option", "JPEGQUALITY", "70"));
    EXPECT_EQ(readBytes(ini), "[Option]\r\nJpegQuality=70\r\n; end\r\n");
    EXPECT_EQ(fs::status(ini).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // Through a symbolic link the target is rewritten and the link stays.
    const std::string link = dir.file("link.ini");
    fs::create_symlink(ini, link);
    ASSERT_TRUE(writeProfileString(link, "Option", "CopyPrint", "1"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readProfileInt(ini, "Option", "CopyPrint", 0), 1);

    // Nothing can be written into a folder that does not exist, or over a folder.
    EXPECT_FALSE(writeProfileString(dir.file("missing/x.ini"), "A", "b", "1"));
    EXPECT_FALSE(fs::exists(dir.file("missing")));
    fs::create_directory(dir.file("folder.ini"));
    EXPECT_FALSE(writeProfileString(dir.file("folder.ini"), "A", "b", "1"));
}

TEST(Profile, AFailedWriteLeavesTheOldFile) {
    test::TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    const std::string before = "[Video]\nSize1=320,240\n" + std::string(200, ';') + "\n";
    writeBytes(ini, before);

    // Limit the size of files this process may write below the new file's
    // size: the write of the temporary file fails part-way.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = writeProfileString(ini, "Video", "FPS", "10.000000");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(readBytes(ini), before);
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

// Two programs changing one settings file at once (two desktop windows,
// the desktop program and a command) each keep their changes: every change
// reads, changes and replaces the whole file, and without a lock one
// program's copy went over the other's.
TEST(Profile, TwoProcessesWritingAtOnceLoseNothing) {
    plastora::test::TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    constexpr int kKeys = 150;
    const pid_t child = ::fork();
    const std::string own = child == 0 ? "Child" : "Parent";
    for (int i = 0; i < kKeys; ++i) {
        if (!writeProfileString(ini, own, "Key" + std::to_string(i), std::to_string(i)) && child == 0) std::_Exit(1);
    }
    if (child == 0) std::_Exit(0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    int missing = 0;
    for (const char* section : {"Child", "Parent"})
        for (int i = 0; i < kKeys; ++i)
            missing += readProfileInt(ini, section, "Key" + std::to_string(i), -1) != i;
    EXPECT_EQ(missing, 0);
}

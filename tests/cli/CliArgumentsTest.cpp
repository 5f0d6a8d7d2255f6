// What the command line takes from its arguments: numbers read as written,
// flags without values, options once; inputs never written over by the
// outputs; failures that say which file and never exit 0.
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace plastora::test;
namespace fs = std::filesystem;

namespace {

const std::string kSample = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(CliArguments, NumbersFlagsAndRepeatsAreReadAsWritten) {
    TempDir dir;
    const std::string project = q(kSample + "coffee.lyr");
    // Refused: a value on a flag (it read as on), an option twice (one
    // counted silently), numbers that overflow int (they wrapped to small
    // values inside the range), a trailing comma.
    for (const std::string& c :
         {"anaglyph " + project + " --colour=no -o " + q(dir.file("a.png")),
          "views " + project + " --strength 3 --strength 40 -o " + q(dir.file("v")),
          "object " + project + " --shape ellipse --box 4294967297,4294967297 -o " + q(dir.file("o.lyr")),
          "object " + project + " --shape ellipse --at 4294967306,5 -o " + q(dir.file("o.lyr")),
          "raster " + q(kSample + "coffee.bmp") + " --transparent 4294967296,0 -o " + q(dir.file("t.gif")),
          "open " + q(kSample + "coffee.jpg") + " --mm 100,100, -o " + q(dir.file("m.lyr")),
          // Hexadecimal is not a decimal number; a millimetre size needs
          // the user paper, which another --paper would leave unused.
          "open " + q(kSample + "coffee.jpg") + " --lpi 0x50 -o " + q(dir.file("m.lyr")),
          "open " + q(kSample + "coffee.jpg") + " --paper 2 --mm 50,50 -o " + q(dir.file("m.lyr"))}) {
        const CliRun r = cli(c);
        EXPECT_EQ(r.code, 2) << c << "\n" << r.out;
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
    // A leading zero is decimal: 099 is in 10..100 (it was read as bad octal).
    CliRun r = cli("convert " + q(kSample + "coffee.jpg") + " " + q(dir.file("c.jpg")) + " --quality 099");
    EXPECT_EQ(r.code, 0) << r.out;
    // Blanks and a plus sign before a number are taken, as they always were;
    // /dev/null as the settings gives the defaults.
    r = cli("open " + q(kSample + "coffee.jpg") + " --lpi +60 --settings /dev/null -o " + q(dir.file("plus.lyr")));
    EXPECT_EQ(r.code, 0) << r.out;
    r = cli("object " + q(dir.file("plus.lyr")) + " --shape ellipse --at ' 10, +20' -o " + q(dir.file("plus.lyr")));
    EXPECT_EQ(r.code, 0) << r.out;

    // A lens of 60.1 lines gives a composite of 240.4 dpi, which a JPEG can
    // only round: said, and not for PNG, which keeps it.
    ASSERT_EQ(cli("open " + q(kSample + "coffee.jpg") + " --lpi 60.1 -o " + q(dir.file("f.lyr"))).code, 0);
    r = cli("lenticular " + q(dir.file("f.lyr")) + " -o " + q(dir.file("f.jpg")));
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "240 を記録しました")) << r.out;
    r = cli("lenticular " + q(dir.file("f.lyr")) + " -o " + q(dir.file("f.png")));
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_FALSE(contains(r.out, "JPEG")) << r.out;
}

TEST(CliArguments, AnInputIsNeverWrittenOver) {
    TempDir dir;
    const std::string photo = dir.file("ph.jpg");
    fs::copy_file(kSample + "coffee.jpg", photo);
    const std::string original = bytes(photo);
    fs::create_symlink(photo, dir.file("link.jpg"));
    for (const std::string& c : {"open " + q(photo) + " -o " + q(photo),
                                 "convert " + q(photo) + " " + q(photo),
                                 "convert " + q(photo) + " " + q(dir.file("link.jpg")),
                                 "raster " + q(photo) + " -o " + q(photo),
                                 "open " + q(photo) + " --hd " + q(photo) + " -o " + q(dir.file("y.png")),
                                 "open " + q(photo) + " --hd " + q(dir.file("s.png")) + " -o " + q(dir.file("s.png"))}) {
        const CliRun r = cli(c);
        EXPECT_EQ(r.code, 2) << c << "\n" << r.out;
    }
    EXPECT_EQ(bytes(photo), original);
    EXPECT_FALSE(fs::exists(dir.file("s.png")));
    fs::copy_file(std::string(PLASTORA_SOURCE_DIR) + "/tests/linewisp/data/face.wmf", dir.file("f.wmf"));
    const std::string drawing = bytes(dir.file("f.wmf"));
    EXPECT_EQ(cli("wmf " + q(dir.file("f.wmf")) + " -o " + q(dir.file("f.wmf"))).code, 2);
    EXPECT_EQ(bytes(dir.file("f.wmf")), drawing);

    // A project whose files are named like views keeps them.
    for (const char* ext : {".lyr", ".bmp", ".msk", ".m01"})
        fs::copy_file(kSample + "coffee" + ext, dir.file(std::string("view_00") + ext));
    const std::string edit = bytes(dir.file("view_00.bmp"));
    CliRun r = cli("views " + q(dir.file("view_00.lyr")) + " -o " + q(dir.path()));
    EXPECT_EQ(r.code, 2) << r.out;
    EXPECT_EQ(bytes(dir.file("view_00.bmp")), edit);

    // Two projects of one name into one folder would leave one anaglyph.
    fs::create_directory(dir.file("b"));
    for (const char* ext : {".lyr", ".bmp", ".msk", ".m01"})
        fs::copy_file(kSample + "coffee" + ext, dir.file(std::string("b/view_00") + ext));
    r = cli("anaglyph " + q(dir.file("view_00.lyr")) + " " + q(dir.file("b/view_00.lyr")) + " -o " +
            q(dir.file("out/")));
    EXPECT_EQ(r.code, 2) << r.out;

    // A view that cannot be put in place (a folder stands in its name)
    // leaves the views there before as they were, not a mix of old and new.
    fs::create_directories(dir.file("v/view_02.bmp"));
    std::ofstream(dir.file("v/view_00.bmp")) << "old";
    r = cli("views " + q(kSample + "coffee.lyr") + " -o " + q(dir.file("v")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_EQ(bytes(dir.file("v/view_00.bmp")), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("v")), fs::directory_iterator()), 2)
        << "no new view and no temporary file left";
    // A project that cannot be read leaves no empty views folder.
    r = cli("views " + q(dir.file("missing.lyr")) + " -o " + q(dir.file("nothing")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_FALSE(fs::exists(dir.file("nothing")));
    // Nor do views that could not be written (past the file-size limit).
    r = shell("(ulimit -f 16; LC_ALL=ja_JP.UTF-8 '" + std::string(PLASTORA_CLI) + "' views " + q(kSample + "coffee.lyr") +
              " -o " + q(dir.file("unwritten")) + ")");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_FALSE(fs::exists(dir.file("unwritten")));
}

TEST(CliArguments, FailuresNameTheirFileAndAreNotSuccesses) {
    TempDir dir;
    const std::string photo = kSample + "coffee.jpg";
    // A depth map that is not there is named, not the photo.
    CliRun r = cli("open " + q(photo) + " --depth " + q(dir.file("nomap.png")) + " -o " + q(dir.file("d.lyr")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(contains(r.out, dir.file("nomap.png") + ": ")) << r.out;
    // A photo too small for a high-resolution copy: --hd is not written,
    // and that is not a success.
    r = cli("open " + q(photo) + " --hd " + q(dir.file("hd.jpg")) + " -o " + q(dir.file("p.lyr")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(contains(r.out, dir.file("hd.jpg"))) << r.out;
    EXPECT_FALSE(fs::exists(dir.file("hd.jpg")));
    EXPECT_FALSE(fs::exists(dir.file("p.lyr"))) << "a failure writes nothing";
    // A paper in the settings too small for a pixel is said to be so, not
    // blamed on the photo.
    std::ofstream(dir.file("tiny.ini")) << "[Picture]\nPaperSize1=0.5,0.5\n";
    r = cli("open " + q(photo) + " --settings " + q(dir.file("tiny.ini")) + " --paper 0 -o " + q(dir.file("t.lyr")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "作業画像が小さすぎます")) << r.out;
    EXPECT_FALSE(contains(r.out, "読み込みに失敗")) << r.out;
    // A settings file given holds the language too; one that is not there
    // gives the defaults, and says so.
    std::ofstream(dir.file("en.ini")) << "[Option]\nLanguage=en\n";
    r = cli("open " + q(dir.file("none.jpg")) + " --settings " + q(dir.file("en.ini")) + " -o " + q(dir.file("n.lyr")));
    EXPECT_TRUE(contains(r.out, "The file could not be read")) << r.out;
    r = cli("open " + q(photo) + " --settings " + q(dir.file("typo.ini")) + " -o " + q(dir.file("typo.lyr")));
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, dir.file("typo.ini") + " がありません")) << r.out;
    // An unreadable multi-picture file is named.
    r = cli("info " + q(dir.file("none.mpo")));
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.out, dir.file("none.mpo") + ": ")) << r.out;
    // A folder given as settings or as a batch file is not read as empty.
    r = cli("open " + q(photo) + " --settings " + q(dir.path()) + " -o " + q(dir.file("s.lyr")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(contains(r.out, dir.path())) << r.out;
    EXPECT_EQ(cli("batch " + q(dir.path())).code, 1);
    // Nor is a named pipe (without waiting for a writer) or a file too large
    // to be settings, which the reader would take for the defaults.
    ASSERT_EQ(::mkfifo(dir.file("pipe.ini").c_str(), 0600), 0);
    r = cli("open " + q(photo) + " --settings " + q(dir.file("pipe.ini")) + " -o " + q(dir.file("s.lyr")));
    EXPECT_EQ(r.code, 1) << r.out;
    fs::resize_file(std::filesystem::path(dir.file("tiny.ini")), (16u << 20) + 1);
    r = cli("open " + q(photo) + " --settings " + q(dir.file("tiny.ini")) + " -o " + q(dir.file("s.lyr")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "16 MB")) << r.out;
    EXPECT_FALSE(fs::exists(dir.file("s.lyr")));
    // A report that cannot be written is no success.
    EXPECT_EQ(cli("info " + q(kSample + "coffee.lyr") + " >/dev/full").code, 1);
    // A named pipe in place of a photo, a stereo file or a project's edit
    // image fails at once instead of waiting for a writer.
    ASSERT_EQ(::mkfifo(dir.file("pipe.jpg").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(dir.file("pipe.mpo").c_str(), 0600), 0);
    EXPECT_EQ(cli("open " + q(dir.file("pipe.jpg")) + " -o " + q(dir.file("s.lyr"))).code, 1);
    EXPECT_EQ(cli("stereo " + q(dir.file("pipe.mpo")) + " -o " + q(dir.file("s.lyr"))).code, 1);
    ASSERT_EQ(cli("open " + q(photo) + " -o " + q(dir.file("f.lyr"))).code, 0);
    fs::remove(dir.file("f.bmp"));
    ASSERT_EQ(::mkfifo(dir.file("f.jpg").c_str(), 0600), 0);
    EXPECT_EQ(cli("info " + q(dir.file("f.lyr"))).code, 1);
    // A save into a folder that is not there names the file.
    r = cli("wmf " + q(std::string(PLASTORA_SOURCE_DIR) + "/tests/linewisp/data/primitives.wmf") + " -o " +
            q(dir.file("no/x.bmp")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(contains(r.out, dir.file("no/x.bmp"))) << r.out;
    // A batch line that runs a batch is told as such.
    std::ofstream(dir.file("b.tsv")) << "batch\t" << dir.file("b.tsv") << "\n";
    r = cli("batch " + q(dir.file("b.tsv")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "batch の中で batch")) << r.out;
}

// A photo's high-resolution copy that no JPEG could hold (16 times a working
// picture 4302 wide) is left out: the project is written without it, where
// the save used to fail.
TEST(CliArguments, AHighResolutionCopyTooLargeToKeepIsLeftOut) {
    TempDir dir;
    ASSERT_EQ(shell("convert -size 3000x2000 gradient:red-blue " + q(dir.file("big.jpg"))).code, 0);
    std::ofstream(dir.file("s.ini")) << "[Picture]\nHDRatio=16\n";
    const CliRun r = cli("open " + q(dir.file("big.jpg")) + " --settings " + q(dir.file("s.ini")) +
                         " --mm 900,10 -o " + q(dir.file("p.lyr")));
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "size: 4302 x 47")) << r.out;
    EXPECT_FALSE(contains(r.out, "high-resolution")) << r.out;
    EXPECT_TRUE(fs::exists(dir.file("p.lyr")));
    EXPECT_FALSE(fs::exists(dir.file("p_hd01.jpg")));
    // A copy asked for under a name of the project to be written is refused
    // before anything is written.
    const CliRun own = cli("open " + q(dir.file("big.jpg")) + " -o " + q(dir.file("q.lyr")) + " --hd " + q(dir.file("q.bmp")));
    EXPECT_EQ(own.code, 2) << own.out;
    EXPECT_FALSE(fs::exists(dir.file("q.lyr")));
    // A copy that cannot be written (a folder has its name) leaves the
    // project there before as it was.
    fs::create_directory(dir.file("hd.jpg"));
    const std::string before = bytes(dir.file("p.lyr"));
    const CliRun hd = cli("open " + q(dir.file("big.jpg")) + " -o " + q(dir.file("p.lyr")) + " --hd " + q(dir.file("hd.jpg")));
    EXPECT_EQ(hd.code, 1) << hd.out;
    EXPECT_TRUE(contains(hd.out, dir.file("hd.jpg"))) << hd.out;
    EXPECT_EQ(bytes(dir.file("p.lyr")), before);
}

// The command line with files as people have them: photos of any common
// format, outputs chosen by extension and carrying their print resolution,
// help for every command, errors that name their file, English beside
// Japanese.
#include "core/PhotoFile.h"
#include "core/StillImage.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <sys/stat.h>
#include <cctype>

using namespace plastora;
using namespace plastora::test;

namespace {

const std::string kProject = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.lyr";
const std::string kPhoto = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.jpg";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A landscape picture: red on the left half, blue on the right.
QImage halves(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, x < w / 2 ? 0xFFFF0000u : 0xFF0000FFu);
    return image;
}

}  // namespace

TEST(CliFiles, PngTiffWebpAndRotatedJpegPhotosOpenTheRightWayUp) {
    TempDir dir;
    const QImage image = halves(120, 80);
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("p.png")), "PNG"));
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("p.tif")), "TIFF"));
    QImageWriter webp(QString::fromStdString(dir.file("p.webp")), "WEBP");
    webp.setQuality(100);
    ASSERT_TRUE(webp.write(image));
    for (const char* name : {"p.png", "p.tif", "p.webp"}) {
        CliRun r = cli("convert " + q(dir.file(name)) + " " + q(dir.file(std::string(name) + ".bmp")));
        ASSERT_EQ(r.code, 0) << name << ": " << r.out;
        const Surface s = load(dir.file(std::string(name) + ".bmp"));
        ASSERT_EQ(s.width(), 120) << name;
        EXPECT_EQ(s.at(10, 40), 0xFFFF0000u) << name;
        EXPECT_EQ(s.at(110, 40), 0xFF0000FFu) << name;
        // The project takes a name of its own: "p.png.lyr" would put its
        // edit image on the "p.png.bmp" just converted.
        r = cli("open " + q(dir.file(name)) + " --paper l --trim crop -o " + q(dir.file(std::string(name) + "-3d.lyr")));
        EXPECT_EQ(r.code, 0) << name << ": " << r.out;
    }
    // A camera held upright: stored landscape, tagged "rotate 90 clockwise".
    // The picture comes up portrait, red (stored left) on top.
    const std::string tagged = dir.file("upright.jpg");
    ASSERT_TRUE(image.save(QString::fromStdString(tagged), "JPEG", 100));
    CliRun r = shell("exiftool -q -overwrite_original -n -Orientation=6 " + q(tagged));
    ASSERT_EQ(r.code, 0) << r.out;
    r = cli("info " + q(tagged));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "size: 80 x 120")) << r.out;
    r = cli("convert " + q(tagged) + " " + q(dir.file("upright.bmp")));
    ASSERT_EQ(r.code, 0) << r.out;
    const Surface s = load(dir.file("upright.bmp"));
    EXPECT_EQ(s.width(), 80);
    EXPECT_GT((s.at(40, 10) >> 16) & 0xFF, 200u) << "red on top";
    EXPECT_GT(s.at(40, 110) & 0xFF, 200u) << "blue at the bottom";
}

TEST(CliFiles, OutputExtensionDecidesTheFormatAndCarriesThePrintResolution) {
    TempDir dir;
    for (const char* name : {"a.png", "b.PNG"}) {
        CliRun r = cli("anaglyph " + q(kProject) + " --colour -o " + q(dir.file(name)));
        ASSERT_EQ(r.code, 0) << r.out;
        r = shell("/usr/bin/python3 -c \"from PIL import Image; i = Image.open('" + dir.file(name) +
                  "'); print(i.format, i.mode, i.size, round(i.info['dpi'][0]))\"");
        ASSERT_EQ(r.code, 0) << r.out;
        // The anaglyph prints at the composite's size: W over trunc(W x N / P)
        // dots at N x LPI x 2 / P; for this project (4 views, 60 lpi, pitch
        // 2) 707 dots over 1414 dots at 240 dpi.
        EXPECT_EQ(r.out, "PNG RGB (707, 478) 120\n") << name;
    }
    CliRun r = cliIn("en_US.UTF-8", "anaglyph " + q(kProject) + " -o " + q(dir.file("x.tif")));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.out, "cannot write .tif")) << r.out;
    EXPECT_TRUE(contains(r.out, ".jpg .jpeg .bmp .png")) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.tif")));

    // The composite: the resolution the program tells is the one in the file.
    r = cli("lenticular " + q(kProject) + " -o " + q(dir.file("c.jpg")));
    ASSERT_EQ(r.code, 0) << r.out;
    // The digits before "DPI" (read by hand: <regex> trips GCC 12's
    // maybe-uninitialized warning in the sanitizer build).
    const std::size_t at = r.out.find("DPI");
    ASSERT_NE(at, std::string::npos) << r.out;
    std::size_t from = at;
    while (from > 0 && std::isdigit(static_cast<unsigned char>(r.out[from - 1]))) --from;
    ASSERT_LT(from, at) << r.out;
    const std::string dpi = r.out.substr(from, at - from);
    r = shell("exiftool -s -s -s -n -ResolutionUnit -XResolution " + q(dir.file("c.jpg")));
    EXPECT_EQ(r.out, "1\n" + dpi + "\n");

    // A resolution of a half dot (4 views at 60.125 lpi: 240.5 dpi): the
    // note names the whole number the file holds.
    r = cli("open " + q(std::string(PLASTORA_SOURCE_DIR) + "/data/sample/chelsea.jpg") + " --lpi 60.125 --yes -o " +
            q(dir.file("half.lyr")));
    ASSERT_EQ(r.code, 0) << r.out;
    r = cliIn("en_US.UTF-8", "lenticular " + q(dir.file("half.lyr")) + " -o " + q(dir.file("half.jpg")));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "241 is stored for 240.50")) << r.out;
    r = shell("exiftool -s -s -s -n -XResolution " + q(dir.file("half.jpg")));
    EXPECT_EQ(r.out, "241\n");
    // The lens resolution is told with its own decimals (it said 60.1).
    r = cli("info " + q(dir.file("half.lyr")));
    EXPECT_TRUE(contains(r.out, "lpi: 60.125\n")) << r.out;
}

TEST(CliFiles, SeveralProjectsGoIntoOneFolderAndFailuresAreNamed) {
    TempDir dir;
    // The same project under another name: every companion file copied too.
    for (const auto& e : std::filesystem::directory_iterator(std::string(PLASTORA_SOURCE_DIR) + "/data/sample"))
        if (e.path().stem() == "coffee") std::filesystem::copy_file(e.path(), dir.file("a" + e.path().extension().string()));
    const std::string out = dir.file("out") + "/";
    CliRun r = cliIn("en_US.UTF-8", "anaglyph " + q(kProject) + " " + q(dir.file("a.lyr")) + " " +
                                        q(dir.file("gone.lyr")) + " --format png -o " + q(out));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(std::filesystem::exists(out + "coffee.png")) << r.out;
    EXPECT_TRUE(std::filesystem::exists(out + "a.png")) << r.out;
    EXPECT_TRUE(contains(r.out, "1 of 3 projects failed: " + dir.file("gone.lyr"))) << r.out;
    EXPECT_TRUE(contains(r.out, dir.file("gone.lyr") + ": The file could not be read. (no such file)")) << r.out;
}

TEST(CliFiles, EveryCommandExplainsItself) {
    // The command line's own texts in English (Japanese: below).
    const auto cli = [](const std::string& args) { return cliIn("en_US.UTF-8", args); };
    CliRun r = cli("views --help");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "usage: plastora-cli views")) << r.out;
    EXPECT_TRUE(contains(r.out, "--strength S")) << r.out;
    EXPECT_TRUE(contains(r.out, "example:")) << r.out;
    r = cli("help open");
    EXPECT_EQ(r.code, 0);
    for (const char* part : {"0 or postcard", "6 or user", "0 or none", "4 or manual", "20 to 160"})
        EXPECT_TRUE(contains(r.out, part)) << part << "\n" << r.out;
    EXPECT_EQ(cli("help nosuch").code, 2);
    r = cli("views " + q(kProject) + " -o /tmp --strenght 3");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.out, "unknown option --strenght")) << r.out;
    // Last on the line, a misspelt option is still called unknown; a known
    // one left without its value is named as such.
    r = cli("views " + q(kProject) + " -o /tmp --strenght");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.out, "unknown option --strenght")) << r.out;
    r = cli("views " + q(kProject) + " -o /tmp --strength");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.out, "option --strength needs a value")) << r.out;
    // Paper and trimming by name, colours in one notation, --color spelled either way.
    r = cli("open " + q(kProject) + " --paper a5 -o /tmp/x.lyr");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.out, "4/a4")) << r.out;
    r = cli("spectral " + q(kProject) + " --color 12345 -o /tmp/x.bmp");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.out, "RRGGBB or #RRGGBB")) << r.out;
}

TEST(CliFiles, ErrorsNameTheFileAndWhyInJapaneseOrEnglish) {
    TempDir dir;
    CliRun ja = cli("views /nonexist.lyr -o " + q(dir.file("v")));
    EXPECT_EQ(ja.code, 1);
    EXPECT_TRUE(contains(ja.out, "/nonexist.lyr: ファイルの読み込みに失敗しました。 (ファイルがありません)")) << ja.out;
    for (const std::string& how : {std::string("LC_ALL=en_US.UTF-8 '") + PLASTORA_CLI + "' ",
                                   std::string("LC_ALL=ja_JP.UTF-8 '") + PLASTORA_CLI + "' --lang en "}) {
        CliRun en = shell(how + "views /nonexist.lyr -o " + q(dir.file("v")));
        EXPECT_EQ(en.code, 1);
        EXPECT_TRUE(contains(en.out, "/nonexist.lyr: The file could not be read. (no such file)")) << en.out;
    }
    // A write that cannot happen names the output and its folder, whatever
    // the command (not the project it read).
    for (const std::string& command : {std::string("anaglyph ") + q(kProject) + " -o ",
                                       std::string("depthmap ") + q(kProject) + " -o ",
                                       std::string("save-views ") + q(kProject) + " -o ",
                                       std::string("movie ") + q(kProject) + " -o ",
                                       std::string("pitch-test -o ")}) {
        const std::string out = dir.file(command.rfind("movie", 0) == 0 ? "no/such/folder/m.avi"
                                         : command.rfind("pitch", 0) == 0 ? "no/such/folder/t.pdf"
                                                                          : "no/such/folder/a.jpg");
        CliRun w = cli(command + q(out));
        EXPECT_EQ(w.code, 1) << command;
        EXPECT_TRUE(contains(w.out, out + ": ファイルの保存に失敗しました (フォルダー ")) << command << w.out;
    }
}

// An output that is one of the project's own files (its edit image or a
// mask here) is refused before anything is written: the project stays whole.
TEST(CliFiles, AnOutputNeverLandsOnTheProjectsOwnFiles) {
    TempDir dir;
    const std::string sample = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee";
    for (const char* ext : {".lyr", ".bmp", ".msk", ".m01"})
        std::filesystem::copy_file(sample + ext, dir.file(std::string("p") + ext));
    const std::string project = dir.file("p.lyr"), edit = dir.file("p.bmp");
    const auto before = [&](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string editBytes = before(edit), maskBytes = before(dir.file("p.msk"));
    for (const std::string command : {"anaglyph", "depthmap", "lenticular", "interlace"}) {
        CliRun r = cli(command + " " + q(project) + " -o " + q(edit));
        EXPECT_EQ(r.code, 2) << command << r.out;
        EXPECT_TRUE(contains(r.out, edit + " はプロジェクト " + project + " のファイルです")) << command << r.out;
    }
    CliRun r = cli("frame " + q(project) + " --kind 1 -o " + q(dir.file("p.bmp")));
    EXPECT_EQ(r.code, 2) << r.out;
    // The commands that write a project take only a project name: any other
    // was cut to its base, and the project written over the files there.
    for (const std::string& command : {"adjust " + q(project) + " --brightness 40", "rotate " + q(project),
                                       "object " + q(project) + " --text Hi", "faces " + q(edit)}) {
        r = cli(command + " -o " + q(edit));
        EXPECT_EQ(r.code, 2) << command << r.out;
    }
    // A pipe in a project's place is refused at once, not waited on.
    ASSERT_EQ(::mkfifo(dir.file("pipe.lyr").c_str(), 0600), 0);
    r = shell("timeout 20 '" + std::string(PLASTORA_CLI) + "' info " + q(dir.file("pipe.lyr")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(before(edit) == editBytes) << "the edit image changed";
    EXPECT_TRUE(before(dir.file("p.msk")) == maskBytes) << "the mask changed";
    // Another name beside the project is written as usual.
    r = cli("anaglyph " + q(project) + " -o " + q(dir.file("p-anaglyph.bmp")));
    EXPECT_EQ(r.code, 0) << r.out;
}

// A batch file with CRLF line ends runs; a line that names no command or an
// unknown one says so, with its line number, and fails that line alone. A
// blank line is skipped and still counted.
TEST(CliFiles, BatchLinesThatAreNotCommandsAreNamed) {
    TempDir dir;
    std::ofstream(dir.file("b.tsv"), std::ios::binary) << "info\t" << kProject << "\r\nnonsense\tx\r\nA=1\r\n\t\r\ninfo\t"
                                                       << kProject << "\r\n\r\n";
    CliRun r = cli("batch " + q(dir.file("b.tsv")));
    EXPECT_EQ(r.code, 1) << r.out;
    for (const char* want : {"#batch 0 0", "2 行目: 不明なコマンド nonsense です", "#batch 1 2", "3 行目: コマンドがありません",
                             "#batch 2 2", "#batch 4 0"})
        EXPECT_TRUE(contains(r.out, want)) << want << "\n" << r.out;
    EXPECT_FALSE(contains(r.out, "#batch 3 ")) << r.out;
    EXPECT_FALSE(contains(r.out, "#batch 5 ")) << r.out;

    // Only blank lines, comments and layout besides good commands: the batch
    // succeeds, also read from a pipe, and with a byte-order mark.
    std::ofstream(dir.file("ok.tsv"), std::ios::binary) << "\xEF\xBB\xBFinfo\t" << kProject << "\n# the sample\n"
                                                        << "\t\tinfo\t" << kProject << "\n\n";
    EXPECT_EQ(cli("batch " + q(dir.file("ok.tsv"))).code, 0);
    EXPECT_EQ(shell("cat " + q(dir.file("ok.tsv")) + " | '" + PLASTORA_CLI + "' batch /dev/stdin").code, 0);
    // A command whose printed output is lost fails on its own line; one that
    // prints nothing still succeeds after it.
    std::ofstream(dir.file("quiet.tsv"), std::ios::binary) << "info\t" << kProject << "\nconvert\t" << kPhoto << "\t"
                                                           << dir.file("out.bmp") << "\n";
    r = shell("(LC_ALL=ja_JP.UTF-8 '" + std::string(PLASTORA_CLI) + "' batch " + q(dir.file("quiet.tsv")) + " >/dev/full)");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "#batch 0 1")) << r.out;
    EXPECT_TRUE(contains(r.out, "#batch 1 0")) << r.out;
}

TEST(CliFiles, TheCommandLinesOwnTextsFollowTheLanguage) {
    TempDir dir;
    // Usage errors: Japanese under a Japanese locale, English under another
    // or with --lang en.
    CliRun r = cli("views " + q(kProject) + " --strenght 3 -o " + q(dir.file("v")));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.out, "plastora-cli views: 不明なオプション --strenght です")) << r.out;
    EXPECT_TRUE(contains(r.out, "使い方: plastora-cli views P.lyr -o DIR")) << r.out;
    for (const std::string& how : {std::string("LC_ALL=en_US.UTF-8 '") + PLASTORA_CLI + "' ",
                                   std::string("LC_ALL=ja_JP.UTF-8 '") + PLASTORA_CLI + "' --lang en "}) {
        r = shell(how + "views " + q(kProject) + " --strength 300 -o " + q(dir.file("v")));
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(contains(r.out, "--strength must be a whole number from 0 to 99")) << r.out;
        EXPECT_TRUE(contains(r.out, "usage: plastora-cli views")) << r.out;
    }
    r = cli("views " + q(kProject) + " --strength 300 -o " + q(dir.file("v")));
    EXPECT_TRUE(contains(r.out, "--strength には 0 から 99 までの整数を指定してください")) << r.out;
    // LANG alone decides as well (no LC_ALL or LC_MESSAGES).
    for (const auto& [lang, text] : {std::pair<std::string, std::string>{"en_US.UTF-8", "The file could not be read."},
                                     {"ja_JP.UTF-8", "ファイルの読み込みに失敗しました。"}}) {
        r = shell("env -u LC_ALL -u LC_MESSAGES LANG=" + lang + " '" + PLASTORA_CLI + "' views /nonexist.lyr -o " +
                  q(dir.file("v")));
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(contains(r.out, "/nonexist.lyr: " + text)) << lang << "\n" << r.out;
    }
    r = cli("nosuch");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.out, "'nosuch' というコマンドはありません")) << r.out;
    for (const char* wrong : {"--lang fr info x", "info x --lang"}) {
        r = cli(wrong);
        EXPECT_EQ(r.code, 2) << wrong;
        EXPECT_TRUE(contains(r.out, "--lang には ja または en を指定してください")) << r.out;
    }

    // Every command's help exists in both languages: a help text added
    // without its Japanese shows up here as English under Japanese.
    r = cliIn("en_US.UTF-8", "--help");
    std::vector<std::string> commands;
    const std::size_t list = r.out.find("commands:\n");
    ASSERT_NE(list, std::string::npos) << r.out;
    for (std::size_t at = r.out.find("\n  ", list); at != std::string::npos; at = r.out.find("\n  ", at + 1)) {
        if (r.out[at + 3] == ' ') continue;  // a summary line
        commands.push_back(r.out.substr(at + 3, r.out.find(' ', at + 3) - at - 3));
    }
    ASSERT_GE(commands.size(), 20u) << r.out;
    for (const std::string& name : commands) {
        CliRun en = cliIn("en_US.UTF-8", "help " + name);
        EXPECT_EQ(en.code, 0) << name;
        EXPECT_TRUE(contains(en.out, "usage: plastora-cli " + name)) << en.out;
        CliRun ja = cli(name + " --help");
        EXPECT_EQ(ja.code, 0) << name;
        EXPECT_TRUE(contains(ja.out, "使い方: plastora-cli " + name)) << ja.out;
        if (contains(en.out, "example")) {
            EXPECT_TRUE(contains(ja.out, "例:")) << ja.out;
        }
        for (const char* english : {"options:", "example", "writes ", "reads ", "the project"})
            EXPECT_FALSE(contains(ja.out, english)) << name << ": " << english << "\n" << ja.out;
    }
    r = cli("help open");
    EXPECT_TRUE(contains(r.out, "0 または postcard: はがき")) << r.out;
    EXPECT_TRUE(contains(r.out, "4 または manual:")) << r.out;
}

TEST(CliFiles, EveryCommandWritesWhatItsOutputNames) {
    TempDir dir;
    const std::string picture = dir.file("in.png");
    ASSERT_TRUE(halves(40, 20).save(QString::fromStdString(picture), "PNG"));
    // An extension the command cannot write: exit 2, the list, no file.
    const struct {
        std::string args;
        std::string writes;
    } refused[] = {
        {"frame " + q(kProject) + " --kind 1 -o " + q(dir.file("f.gif")), ".jpg .jpeg .bmp .png"},
        {"movie " + q(kProject) + " -o " + q(dir.file("f.mp4")), ".avi .gif"},
        {"save-views " + q(kProject) + " -o " + q(dir.file("f.png")), ".mpo .jpg .jpeg .bmp"},
        {"raster " + q(picture) + " -o " + q(dir.file("f.tif")), ".bmp .jpg .jpeg .png .gif"},
        {"wmf " + q(picture) + " -o " + q(dir.file("f.png")), ".bmp .wmf .swf"},
        {"views " + q(kProject) + " --format gif -o " + q(dir.file("views")), ".jpg .jpeg .bmp .png"},
        {"anaglyph " + q(kProject) + " --format gif -o " + q(dir.file("views") + "/"), ".jpg .jpeg .bmp .png"},
        {"print " + q(kProject) + " -o " + q(dir.file("f.png")), ".pdf"},
    };
    for (const auto& c : refused) {
        CliRun r = cliIn("en_US.UTF-8", c.args);
        EXPECT_EQ(r.code, 2) << c.args << "\n" << r.out;
        EXPECT_TRUE(contains(r.out, "this command writes " + c.writes)) << r.out;
    }
    // The option is named, not a file name made up from it; and a single
    // output, whose name gives the format, does not take it.
    CliRun r = cliIn("en_US.UTF-8", "views " + q(kProject) + " --format tiff -o " + q(dir.file("views")));
    EXPECT_TRUE(contains(r.out, "--format tiff: this command writes")) << r.out;
    r = cliIn("en_US.UTF-8", "anaglyph " + q(kProject) + " --format png -o " + q(dir.file("f.jpg")));
    EXPECT_EQ(r.code, 2) << r.out;
    EXPECT_TRUE(contains(r.out, "--format names the files written into an output folder")) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("f.jpg")));
    r = cli("frame " + q(kProject) + " --kind 1 -o " + q(dir.file("f")));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.out, "出力ファイルには形式を表す拡張子が必要です")) << r.out;
    for (const char* name : {"f.gif", "f.mp4", "f.png", "f.tif", "f", "views"})
        EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;

    // The extension in any case decides the format.
    const auto magic = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        char head[4] = {};
        in.read(head, 4);
        return std::string(head, 4);
    };
    ASSERT_EQ(cli("raster " + q(picture) + " -o " + q(dir.file("r.JPEG"))).code, 0);
    EXPECT_EQ(magic(dir.file("r.JPEG")).substr(0, 2), "\xFF\xD8");
    ASSERT_EQ(cli("frame " + q(kProject) + " --kind 1 --size 320x240 -o " + q(dir.file("s.Png"))).code, 0);
    EXPECT_EQ(magic(dir.file("s.Png")), "\x89PNG");
    // views: BMP unless --format says otherwise.
    r = cli("views " + q(kProject) + " --format PNG -o " + q(dir.file("v")));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(magic(dir.file("v/view_00.png")), "\x89PNG");
    EXPECT_FALSE(std::filesystem::exists(dir.file("v/view_00.bmp")));
    ASSERT_EQ(cli("views " + q(kProject) + " -o " + q(dir.file("b"))).code, 0);
    EXPECT_EQ(magic(dir.file("b/view_00.bmp")).substr(0, 2), "BM");
}

TEST(CliFiles, InfoGivesAMultiPicturesSizesAsShown) {
    TempDir dir;
    const std::string mpo = dir.file("pair.mpo");
    CliRun r = cli("save-views " + q(kProject) + " -o " + q(mpo));
    ASSERT_EQ(r.code, 0) << r.out;
    // The first picture tagged "rotate 90 clockwise", the second as taken.
    r = shell("exiftool -q -overwrite_original -n -Orientation=6 " + q(mpo));
    ASSERT_EQ(r.code, 0) << r.out;
    r = cli("info " + q(mpo));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "  image 0: offset 0, ")) << r.out;
    EXPECT_TRUE(contains(r.out, "bytes, 478 x 707\n  image 1:")) << r.out;
    EXPECT_TRUE(contains(r.out, "bytes, 707 x 478\n")) << r.out;
}

// plastora-cli wmf, run as a program (skipped when it has not been built).
#include "LinewispTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

using namespace lwtest;

namespace {

const std::string kCli = std::string(PLASTORA_BUNDLE_DIR) + "/plastora-cli";

int run(const std::string& args, const std::string& errFile = "/dev/null") {
    const std::string cmd = "QT_QPA_PLATFORM=offscreen '" + kCli + "' wmf " + args + " >/dev/null 2>'" + errFile + "'";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::uint8_t> slurp(const std::string& f) {
    std::ifstream in(f, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(CliWmf, RendersWritesBackAndReportsFailures) {
    if (!std::filesystem::exists(kCli)) GTEST_SKIP() << "plastora-cli is not built";
    plastora::test::TempDir dir;
    const std::string in = dataFile("primitives.wmf");

    // A BMP of the picture at 96 dpi (zoom 6): its objects reach (1950,
    // 1450), and mode 1 adds 8 pixels of background.
    ASSERT_EQ(run("'" + in + "' -o '" + dir.file("p.bmp") + "'"), 0);
    const auto bmp = slurp(dir.file("p.bmp"));
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[28], 24);
    const int w = bmp[18] | (bmp[19] << 8), h = bmp[22] | (bmp[23] << 8);
    EXPECT_EQ(w, 6 * 1950 / 100 + 8);
    EXPECT_EQ(h, 6 * 1450 / 100 + 8);
    // The last row in the file is the picture's top row: the file's own
    // background colour (235, 235, 220) as blue, green, red.
    const std::size_t top = 54 + static_cast<std::size_t>(h - 1) * ((w * 3 + 3) / 4 * 4);
    EXPECT_EQ((std::vector<int>{bmp[top], bmp[top + 1], bmp[top + 2]}), (std::vector<int>{220, 235, 235}));

    // --background overrides it.
    ASSERT_EQ(run("'" + in + "' -o '" + dir.file("g.bmp") + "' --background 0x00FF00"), 0);
    const auto green = slurp(dir.file("g.bmp"));
    EXPECT_EQ((std::vector<int>{green[top], green[top + 1], green[top + 2]}), (std::vector<int>{0, 255, 0}));

    // Written back as a metafile it reads again.
    ASSERT_EQ(run("'" + in + "' -o '" + dir.file("p.wmf") + "'"), 0);
    Picture back;
    EXPECT_GT(VectWmfRead(nullptr, dir.file("p.wmf").c_str(), &back.packet), 0);

    // As SWF: the shapes SWF cannot hold are reported, one line each.
    ASSERT_EQ(run("'" + in + "' -o '" + dir.file("p.swf") + "'", dir.file("err.txt")), 0);
    const auto err = slurp(dir.file("err.txt"));
    const std::string text(err.begin(), err.end());
    EXPECT_NE(text.find("サポートされていないポリゴン形式が含まれています。"), std::string::npos);

    EXPECT_EQ(run("'" + in + "' -o '" + dir.file("p.png") + "'"), 2);
    EXPECT_EQ(run("'" + in + "'"), 2);
    EXPECT_EQ(run("'" + in + "' -o x.bmp --zoom 0"), 2);
    EXPECT_EQ(run("'" + dir.file("missing.wmf") + "' -o '" + dir.file("m.bmp") + "'"), 1);
    std::ofstream(dir.file("bad.wmf"), std::ios::binary) << std::string(30, '\x7f');
    EXPECT_EQ(run("'" + dir.file("bad.wmf") + "' -o '" + dir.file("b.bmp") + "'"), 1);
    // A tiny file that asks for a huge canvas (one unit an inch: 96 times
    // its box) is refused rather than given gigabytes.
    const auto inch = Wmf::placeable(0, 0, 300, 300, 1).brush(0, 0).select(0).polygon({{0, 0}, {300, 0}, {0, 300}});
    const auto bytes = inch.bytes();
    std::ofstream(dir.file("inch.wmf"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(run("'" + dir.file("inch.wmf") + "' -o '" + dir.file("i.bmp") + "'"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("i.bmp")));
}

// movie and frame from the command line: options stand in for the video
// settings without touching the settings file; files checked with ffprobe,
// giflib's giftext and our still-image reader.
#include "core/StillImage.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

using namespace plastora;
using namespace plastora::test;

namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string kProject = std::string(PLASTORA_SOURCE_DIR) + "/data/sample/coffee.lyr";
const std::string kBundleIni =
    (std::filesystem::path(PLASTORA_CLI).parent_path() / "Plastora.ini").string();

}  // namespace

TEST(CliMovie, AviAndGifFromTheSampleProject) {
    TempDir dir;
    const std::string iniBefore = fileText(kBundleIni);
    const std::string avi = dir.file("coffee.avi");
    CliRun r = cli("movie " + q(kProject) + " -o " + q(avi) + " --loop 2 --fps 12.5 --size 160x120");
    ASSERT_EQ(r.code, 0) << r.out;
    // N = 4: 2 x 2 passes of 3 frames.
    r = shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
              "stream=width,height,r_frame_rate,nb_read_frames -of default=nw=1 " + q(avi));
    EXPECT_NE(r.out.find("width=160\nheight=120"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("r_frame_rate=25/2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("nb_read_frames=12"), std::string::npos) << r.out;

    const std::string gif = dir.file("coffee.gif");
    r = cli("movie " + q(kProject) + " -o " + q(gif));
    ASSERT_EQ(r.code, 0) << r.out;
    r = shell("giftext " + q(gif));
    EXPECT_NE(r.out.find("Screen Size - Width = 704, Height = 478"), std::string::npos) << "707 rounded down";
    EXPECT_NE(r.out.find("Image #6:"), std::string::npos);
    EXPECT_EQ(r.out.find("Image #7:"), std::string::npos);
    EXPECT_EQ(fileText(kBundleIni), iniBefore) << "the settings file is left alone";

    // Into a folder that does not exist: the failure is said once, for
    // either kind.
    for (const char* name : {"none/m.gif", "none/m.avi"}) {
        r = cli("movie " + q(kProject) + " -o " + q(dir.file(name)));
        EXPECT_EQ(r.code, 1) << r.out;
        const std::string said = "ファイルの保存に失敗しました";
        const std::size_t first = r.out.find(said);
        EXPECT_NE(first, std::string::npos) << r.out;
        if (first != std::string::npos) {
            EXPECT_EQ(r.out.find(said, first + 1), std::string::npos) << r.out;
        }
    }
}

TEST(CliMovie, StereoFrameAndBadUsage) {
    TempDir dir;
    const std::string out = dir.file("frame.jpg");
    CliRun r = cli("frame " + q(kProject) + " -o " + q(out) + " --kind 2 --size 100x80");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("100 x 80"), std::string::npos) << r.out;
    SilentHost host;
    Surface s;
    int w = 0, h = 0;
    ASSERT_EQ(LoadStillImage(host, out, std::nullopt, s, w, h), 1);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 80);
    // 707 x 478 squeezed into each 100 x 40 half: 100 x 33 at y = 3, black
    // above (JPEG keeps black near black).
    const ColorRef top = s.getPixel(50, 0);
    EXPECT_LT(GetRValue(top) + GetGValue(top) + GetBValue(top), 40u);

    EXPECT_EQ(cli("frame " + q(kProject) + " -o " + q(out) + " --kind 5").code, 2);
    EXPECT_EQ(cli("frame " + q(kProject) + " -o " + q(out)).code, 2);
    EXPECT_EQ(cli("movie " + q(kProject) + " -o " + q(out) + " --size 12").code, 2);
    EXPECT_EQ(cli("movie " + q(kProject) + " -o " + q(out) + " --fps 0").code, 2);
    // A frame side the format cannot hold is refused up front, naming the limit.
    for (const std::string& c : {"movie " + q(kProject) + " -o " + q(dir.file("big.avi")) + " --size 65501x10",
                                 "movie " + q(kProject) + " -o " + q(dir.file("big.gif")) + " --fitted --size 10x65536",
                                 "frame " + q(kProject) + " -o " + q(dir.file("big.jpg")) + " --kind 1 --size 65501x8"}) {
        r = cli(c);
        EXPECT_EQ(r.code, 2) << c;
        EXPECT_NE(r.out.find("--size"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("ピクセルまで"), std::string::npos) << r.out;
    }

    // A text kept flat is not in the views: the movie is refused, as in the
    // program, rather than made without it.
    const std::string flat = dir.file("flat.lyr"), gif = dir.file("flat.gif");
    ASSERT_EQ(cli("object " + q(kProject) + " --text HELLO --flat -o " + q(flat)).code, 0);
    r = cli("movie " + q(flat) + " -o " + q(gif) + " --size 80x60");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("文字に立体化しない設定があります"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(gif));

    // A working size no project could hold (a side over 32767) is refused
    // with its reason instead of written as a project that cannot be opened.
    r = cli("open " + q(std::string(PLASTORA_SOURCE_DIR) + "/data/sample/chelsea.jpg") + " --mm 1,7000 -o " +
            q(dir.file("tall.lyr")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("作業画像が大きすぎます"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("tall.lyr")));
}

// Hostile files through the command-line tool, the way users reach them:
// devices and cut multi-picture files are refused with the program's own
// message, and a project holding numbers no dialog can make still gives its
// pictures (in the sanitizer build, any overflow on the way fails the run).
#include "CliSupport.h"
#include "core/ProjectFile.h"
#include "core/StereoWorkspace.h"
#include "stereo/Mpo.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace plastora;
using namespace plastora::test;

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void setWord(std::vector<std::uint8_t>& b, std::size_t at, std::int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}

}  // namespace

TEST(CliHostile, DevicesAndCutMultiPictureFilesAreRefusedWithAMessage) {
    TempDir dir;
    CliRun r = cli("raster /dev/zero -o " + q(dir.file("z.bmp")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find(kReadFailedMessage), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("z.bmp")));

    // The MPF segment's TIFF header is the last thing in the file.
    const std::string cut = std::string(PLASTORA_SOURCE_DIR) + "/fuzz/corpus/mpo/ends-after-tiff-header.mpo";
    r = cli("info " + q(cut));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find(kMpoReadFailedMessage), std::string::npos) << r.out;
    r = cli("stereo " + q(cut) + " -o " + q(dir.file("s.lyr")) + " --yes");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("s.lyr")));
}

TEST(CliHostile, ExtremeProjectNumbersAreClampedAndEveryOutputIsMade) {
    TempDir dir;
    const std::string project = dir.file("p.lyr");
    {
        SilentHost host;
        CStereoWorkspace ws(host, dir.file("none.ini"));
        ws.adoptPicture(gradientPicture(48, 32));
        ws.SetMode(kModeMask);
        paintRect(ws.region(0).mask, 4, 4, 30, 28);
        auto shape = std::make_shared<OverlayObject>();
        shape->count = kShapeLineFalling;
        shape->flags = kShapeArrowFirst | kShapeArrowSecond;
        shape->width = shape->height = 20;
        shape->lineWidth = 2;
        shape->cornerSize = 6;
        ws.appendObject(kObjectShape, shape);
        ASSERT_EQ(ws.Save(project), 1);
    }
    auto f = bytesOf(project);
    setWord(f, 20, INT32_MAX);  // strength
    setWord(f, 24, INT32_MIN);  // background depth
    setWord(f, 32, INT32_MAX);  // paint depth
    const std::size_t record = 96 + 8;
    setWord(f, record, INT32_MAX);       // depth
    setWord(f, record + 8, INT32_MAX);   // x
    setWord(f, record + 16, INT32_MAX);  // width
    std::ofstream(project, std::ios::binary).write(reinterpret_cast<const char*>(f.data()), static_cast<long>(f.size()));
    auto mask = bytesOf(dir.file("p.msk"));
    mask[6] = 0xFF, mask[7] = 0x7F;  // region depth 32767
    std::ofstream(dir.file("p.msk"), std::ios::binary).write(reinterpret_cast<const char*>(mask.data()), static_cast<long>(mask.size()));

    CliRun r = cli("info " + q(project));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("strength: 99"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("background depth: -32"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("region 0: depth 16"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("at 32767,0 size 32767 x 20, depth 16"), std::string::npos) << r.out;
    r = cli("lenticular " + q(project) + " -o " + q(dir.file("l.bmp")));
    EXPECT_EQ(r.code, 0) << r.out;
    r = cli("save-views " + q(project) + " -o " + q(dir.file("v.bmp")));
    EXPECT_EQ(r.code, 0) << r.out;
    r = cli("movie " + q(project) + " -o " + q(dir.file("m.gif")));
    EXPECT_EQ(r.code, 0) << r.out;
}

// Work spread over the cores gives the same bytes as on one core: views,
// the lenticular composite, and the AVI and GIF movies.
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/Video.h"
#include "stereo/StereoFiles.h"
#include "support/Pictures.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>
#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

using namespace plastora;
using namespace plastora::test;

namespace {

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Outputs {
    std::vector<Surface> views;
    Surface composite;
    std::string avi, gif, fittedGif;
    std::map<std::string, std::string> saved;  // file name -> bytes
    std::map<std::string, std::string> streamed;  // views written a band of rows at a time
};

// Every file of a folder, with the Exif date and time (the clock's, so
// different between two saves) blanked.
// The stamp ("YYYY:MM:DD HH:MM:SS") is matched by hand: <regex> trips GCC
// 12's uninitialised-use warning in the sanitizer build.
std::string blankStamps(std::string bytes) {
    constexpr char kShape[] = "dddd:dd:dd dd:dd:dd";
    constexpr std::size_t kLength = sizeof kShape - 1;
    const auto stampAt = [&](std::size_t at) {
        for (std::size_t i = 0; i < kLength; ++i) {
            const char c = bytes[at + i];
            if (kShape[i] == 'd' ? (c < '0' || c > '9') : c != kShape[i]) return false;
        }
        return true;
    };
    for (std::size_t at = 0; at + kLength <= bytes.size(); ++at)
        if (stampAt(at)) bytes.replace(at, kLength, kLength, '-');
    return bytes;
}

std::map<std::string, std::string> folderFiles(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        files[e.path().filename().string()] = blankStamps(fileBytes(e.path().string()));
    return files;
}

// Views, composite and movies of one document with regions at different
// depths, a shadow and odd sizes (so that row bands and batches split
// unevenly), made with `threads` threads.
Outputs make(int threads) {
    const int saved = cv::getNumThreads();
    cv::setNumThreads(threads);
    TestDocument doc(203, 131, "[Lenticular]\nSize=7\n[Video]\nLoop=2\nVideoSize=0\nSize1=97,61\nGifSize=1\n");
    CStereoWorkspace& ws = *doc.ws;
    paintRect(ws.region(0).mask, 20, 15, 90, 100);
    ws.region(0).depth = 9;
    ws.appendRegion(0);
    paintRect(ws.region(1).mask, 70, 40, 180, 120);
    ws.region(1).depth = -6;
    ws.regionShadow = 1;
    ws.backgroundDepth = -3;
    ws.GenerateViews(nullptr, 4, false);
    Outputs out;
    for (int i = 0; i < ws.viewCount(); ++i) {
        out.views.emplace_back();
        EXPECT_TRUE(out.views.back().createCopy(ws.view(i)));
    }
    EXPECT_TRUE(ws.BuildComposite());
    EXPECT_TRUE(out.composite.createCopy(ws.composite()));
    EXPECT_EQ(WriteMovieAvi(ws, doc.dir.file("m.avi")), 1);
    EXPECT_EQ(WriteMovieGif(ws, doc.dir.file("m.gif")), 1);
    out.avi = fileBytes(doc.dir.file("m.avi"));
    out.gif = fileBytes(doc.dir.file("m.gif"));
    std::ofstream(doc.dir.file("Plastora.ini")) << "[Lenticular]\nSize=7\n[Video]\nVideoSize=0\nSize1=97,61\nGifSize=0\n";
    EXPECT_EQ(WriteMovieGif(ws, doc.dir.file("f.gif")), 1);
    out.fittedGif = fileBytes(doc.dir.file("f.gif"));
    // The views saved as pictures (encoded on every core): all of them as
    // BMP and JPEG, and the pair as an MPO.
    const std::filesystem::path folder = doc.dir.file("saved");
    std::filesystem::create_directories(folder);
    EXPECT_EQ(SaveAllViews(ws, (folder / "all.bmp").string()), 1);
    EXPECT_EQ(SaveAllViews(ws, (folder / "all.jpg").string()), 1);
    EXPECT_EQ(SaveStereoPair(ws, (folder / "pair.mpo").string()), 1);
    out.saved = folderFiles(folder);
    // The views written as they are made, a band of rows at a time, several
    // files at once: the same pictures as the whole views saved above.
    const std::filesystem::path streamed = doc.dir.file("streamed");
    std::filesystem::create_directories(streamed);
    // (Saved views are numbered from the left eye's: view i is all_{7 - i}.)
    EXPECT_TRUE(ws.GenerateViewRowsInto(nullptr, 4, [&](int i, const PictureRows& rows) {
        const std::string name = (streamed / ("all_0" + std::to_string(7 - i))).string();
        return WriteStillImageRows(rows, name + ".bmp", ws.settings().jpegQuality) &&
               WriteStillImageRows(rows, name + ".jpg", ws.settings().jpegQuality);
    }));
    out.streamed = folderFiles(streamed);
    cv::setNumThreads(saved);
    return out;
}

}  // namespace

TEST(Parallel, SameBytesOnOneCoreAndOnMany) {
    // Every core first (OpenCV's TBB back end keeps a lowered thread limit);
    // at least two threads, so that the work is split even on one core.
    const Outputs many = make(std::max(2, cv::getNumberOfCPUs()));
    const Outputs one = make(1);
    ASSERT_EQ(one.views.size(), 7u);
    ASSERT_EQ(many.views.size(), 7u);
    for (std::size_t i = 0; i < one.views.size(); ++i) EXPECT_TRUE(samePixels(one.views[i], many.views[i])) << "view " << i;
    // The views really differ (the regions move), so the comparison means something.
    EXPECT_FALSE(samePixels(one.views[0], one.views[6]));
    EXPECT_TRUE(samePixels(one.composite, many.composite));
    EXPECT_GT(one.avi.size(), 1000u);
    EXPECT_EQ(one.avi == many.avi, true);
    EXPECT_GT(one.gif.size(), 1000u);
    EXPECT_EQ(one.gif == many.gif, true);
    EXPECT_GT(one.fittedGif.size(), 100u);
    EXPECT_EQ(one.fittedGif == many.fittedGif, true);
    EXPECT_GE(one.saved.size(), 15u) << "seven BMPs, seven JPEGs and the MPO";
    EXPECT_TRUE(one.saved.count("pair.mpo"));
    EXPECT_EQ(one.streamed.size(), 14u);
    for (const auto& [name, bytes] : one.streamed) {
        EXPECT_EQ(bytes == many.streamed.at(name), true) << name;
        // (The saved JPEGs carry Exif data, the plain ones do not.)
        if (name.ends_with(".bmp")) {
            EXPECT_EQ(one.saved.count(name) && bytes == one.saved.at(name), true) << name;
        }
    }
    for (const auto& [name, bytes] : one.saved) {
        ASSERT_TRUE(many.saved.count(name)) << name;
        EXPECT_GT(bytes.size(), 1000u) << name;
        EXPECT_EQ(bytes == many.saved.at(name), true) << name;
    }
}

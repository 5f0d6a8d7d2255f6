// Stereo pairs in and out of the workspace: opening two files or an MPO,
// the files a save writes (names, order, contents), the card picture, the
// card-path tests and the 3DS export into a card folder tree on disk.
#include "StereoFileSupport.h"
#include "core/ProjectFile.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "platform/Paths.h"
#include "stereo/Mpo.h"
#include "stereo/StereoFiles.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QColorSpace>

#include <cstdlib>
#include <filesystem>

using namespace plastora;
using namespace plastora::stereotest;
using plastora::test::ScriptedHost;
using plastora::test::TempDir;
namespace fs = std::filesystem;

namespace {

const ColorRef kViewColours[] = {RGB(220, 30, 30), RGB(30, 200, 40), RGB(40, 60, 230), RGB(230, 230, 30)};

bool near(const Surface& s, ColorRef c, int tolerance = 10) {
    const auto m = meanColour(s);
    return std::abs(m[0] - static_cast<int>(GetRValue(c))) <= tolerance &&
           std::abs(m[1] - static_cast<int>(GetGValue(c))) <= tolerance &&
           std::abs(m[2] - static_cast<int>(GetBValue(c))) <= tolerance;
}

// Regular files anywhere below `dir`.
int filesUnder(const fs::path& dir) {
    int count = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file()) ++count;
    return count;
}

// Points the temporary folder at a test folder while it lives.
class TempFolderOverride {
public:
    explicit TempFolderOverride(const std::string& dir) {
        if (const char* old = std::getenv("TMPDIR")) m_old = old;
        setenv("TMPDIR", dir.c_str(), 1);
    }
    ~TempFolderOverride() {
        if (m_old.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", m_old.c_str(), 1);
    }

private:
    std::string m_old;
};

// A workspace whose four views are flat colours (view i = kViewColours[i]).
struct ViewsFixture {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws{host, dir.file("Plastora.ini")};
    explicit ViewsFixture(int w = 96, int h = 64) {
        ws.adoptPicture(flatPicture(w, h, RGB(128, 128, 128)));
        for (int i = 0; i < ws.viewCount(); ++i) ws.view(i) = flatPicture(w, h, kViewColours[i % 4]);
    }
};

// A document with views, a private temporary folder, and a card's picture
// folder `card`/DCIM/`pictures` beside its settings file.
struct CardFixture : ViewsFixture {
    TempDir temp;
    TempFolderOverride over{temp.path().string()};
    fs::path folder;
    CardFixture(int w, int h, const std::string& card, const std::string& pictures = "100NIN03")
        : ViewsFixture(w, h), folder(dir.path() / card / "DCIM" / pictures) {
        fs::create_directories(folder);
    }
};

// Exif JPEG views of flat colours joined into an MPO of `count` images.
// With `smallLast`, the last image is half the size (as a preview is).
std::string writeMpo(const TempDir& dir, const std::string& name, int count, int w = 120, int h = 80,
                     bool smallLast = false) {
    SilentHost host;
    for (int i = 1; i <= count; ++i) {
        char stem[64];
        std::snprintf(stem, sizeof stem, "%s_%02d", name.c_str(), i);
        const int iw = smallLast && i == count ? w / 2 : w, ih = smallLast && i == count ? h / 2 : h;
        const Surface v = flatPicture(iw, ih, kViewColours[(i - 1) % 4]);
        EXPECT_EQ(SaveStillImage(host, v, iw, ih, dir.file(std::string(stem) + "_tmp.jpg"), 90), 1);
        EXPECT_EQ(SaveThumbnail(host, v, dir.file(std::string(stem) + "_s.jpg"), 90), 1);
        EXPECT_EQ(WriteExifJpeg(dir.file(std::string(stem) + "_tmp.jpg"), dir.file(std::string(stem) + "_s.jpg"),
                                dir.file(std::string(stem) + ".jpg"), ExifMode::Normal),
                  1);
    }
    const std::string out = dir.file(name + ".mpo");
    EXPECT_EQ(WriteMultiViewMpo(dir.file(name + "_%02d.jpg"), count, out), 1);
    return out;
}

Surface mpoImage(const std::string& path, int k) {
    SilentHost host;
    Surface s;
    int w = 0, h = 0;
    ReadMpoImage(host, path, k, s, w, h);
    return s;
}

}  // namespace

TEST(StereoNames, SecondPictureAndSaveNames) {
    EXPECT_EQ(suggestSecondPictureName("/p/IMG_L.jpg", true), "/p/IMG_R.jpg");
    EXPECT_EQ(suggestSecondPictureName("/p/IMG_R.jpg", true), "/p/IMG_R.jpg");
    EXPECT_EQ(suggestSecondPictureName("/p/img_r.JPG", false), "/p/img_l.JPG");
    EXPECT_EQ(suggestSecondPictureName("/p/shot_l.bmp", false), "/p/shot_l.bmp");
    EXPECT_EQ(suggestSecondPictureName("/p/noext", true), "/p/noext");

    StereoSaveNames n = stereoSaveNames("/out/photo.jpg", "/tmp");
    EXPECT_EQ(n.stem, "/out/photo");
    EXPECT_EQ(n.ext, ".jpg");
    EXPECT_TRUE(n.jpegLike);
    EXPECT_FALSE(n.mpo);
    EXPECT_EQ(stereoSaveNames("/out/photo_L.jpg", "/tmp").stem, "/out/photo");
    EXPECT_TRUE(stereoSaveNames("/out/photo.JPEG", "/tmp").jpegLike);
    EXPECT_FALSE(stereoSaveNames("/out/photo.jpe", "/tmp").jpegLike);
    n = stereoSaveNames("/out/photo.MPO", "/tmp");
    EXPECT_TRUE(n.mpo && n.jpegLike);
    EXPECT_EQ(n.stem, "/tmp/PLASTORA");
    EXPECT_EQ(stereoSaveNames("/out/photo.mpo", "").stem, "/out/photo");
    // An underscore in a folder name does not cut the name.
    EXPECT_EQ(stereoSaveNames("/my_pictures/photo.bmp", "/tmp").stem, "/my_pictures/photo");
    EXPECT_TRUE(isMpoPath("a.MpO"));
    EXPECT_FALSE(isMpoPath("a.mpg"));
}

TEST(StereoSave, PairAndAllViewsAsJpegAndBmp) {
    ViewsFixture f;
    // Pair: view 0 is the right picture, view N-1 the left one; the pieces go.
    ASSERT_EQ(SaveStereoPair(f.ws, f.dir.file("photo.jpg")), 1);
    EXPECT_TRUE(near(loadPicture(f.dir.file("photo_R.jpg")), kViewColours[0]));
    EXPECT_TRUE(near(loadPicture(f.dir.file("photo_L.jpg")), kViewColours[3]));
    EXPECT_EQ(be32(readBytes(f.dir.file("photo_L.jpg")), 0), 0xFFD8FFE1u);
    EXPECT_FALSE(fs::exists(f.dir.file("photo_R_tmp.jpg")));
    EXPECT_FALSE(fs::exists(f.dir.file("photo_R_s.jpg")));
    EXPECT_FALSE(fs::exists(f.dir.file("photo.jpg")));

    // All views numbered from view N-1 (01) to view 0 (04); a chosen "_L"
    // name is cut at its underscore.
    ASSERT_EQ(SaveAllViews(f.ws, f.dir.file("set_L.jpeg")), 1);
    for (int i = 0; i < 4; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "set_%02d.jpg", 4 - i);
        EXPECT_TRUE(near(loadPicture(f.dir.file(name)), kViewColours[i])) << name;
    }
    ASSERT_EQ(SaveAllViews(f.ws, f.dir.file("bmp.bmp")), 1);
    const Surface first = loadPicture(f.dir.file("bmp_01.bmp"));
    EXPECT_TRUE(test::samePixels(first, f.ws.view(3)));
    EXPECT_EQ(fs::file_size(f.dir.file("bmp_04.bmp")), 54u + dibStride(96) * 64);
    EXPECT_FALSE(fs::exists(f.dir.file("bmp_05.bmp")));

    // Two views in pair mode: each written once.
    ScriptedHost host;
    TempDir dir2;
    Settings(dir2.file("two.ini")).setInt(SettingKey::LenticularSize, 2);
    CStereoWorkspace ws2(host, dir2.file("two.ini"));
    ASSERT_EQ(ws2.viewCount(), 2);
    ws2.adoptPicture(flatPicture(32, 32, 0));
    ws2.view(0) = flatPicture(32, 32, kViewColours[0]);
    ws2.view(1) = flatPicture(32, 32, kViewColours[1]);
    ASSERT_EQ(SaveStereoPair(ws2, dir2.file("two.bmp")), 1);
    EXPECT_TRUE(test::samePixels(loadPicture(dir2.file("two_R.bmp")), ws2.view(0)));
    EXPECT_TRUE(test::samePixels(loadPicture(dir2.file("two_L.bmp")), ws2.view(1)));
}

TEST(StereoSave, MpoTargetsAreMadeInTheTemporaryFolder) {
    ViewsFixture f;
    TempDir temp;
    TempFolderOverride over(temp.path().string());
    ASSERT_EQ(SaveStereoPair(f.ws, f.dir.file("pair.mpo")), 1);
    MpoIndex index;
    ASSERT_TRUE(readMpoIndex(f.dir.file("pair.mpo"), index));
    EXPECT_EQ(index.imageCount, 2u);
    EXPECT_TRUE(near(loadPicture(f.dir.file("pair.mpo")), kViewColours[3]));  // left first
    EXPECT_TRUE(near(mpoImage(f.dir.file("pair.mpo"), 1), kViewColours[0]));
    // The pieces were made in this run's private folder and are gone again.
    EXPECT_EQ(filesUnder(temp.path()), 0) << "pieces left in the temporary folder";
    EXPECT_FALSE(fs::exists(f.dir.file("pair_L.jpg")));

    ASSERT_EQ(SaveAllViews(f.ws, f.dir.file("all.mpo")), 1);
    ASSERT_TRUE(readMpoIndex(f.dir.file("all.mpo"), index));
    ASSERT_EQ(index.imageCount, 4u);
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(near(mpoImage(f.dir.file("all.mpo"), k), kViewColours[3 - k])) << k;

    // No temporary folder can be made (as when the space is full; here its
    // name would be too long): the save fails instead of making its
    // pictures beside the target, over the user's own photos of those names.
    std::string deep = f.dir.path().string();
    while (deep.size() < 4085) deep += "/" + std::string(std::min<std::size_t>(200, 4085 - deep.size()), 'd');
    ASSERT_TRUE(fs::create_directories(deep));
    TempFolderOverride none(deep);
    ASSERT_TRUE(tempFolder().empty());
    writeBytes(f.dir.file("trip_L.jpg"), {1, 2, 3});
    writeBytes(f.dir.file("trip_R_tmp.jpg"), {4, 5, 6});
    for (const char* target : {"trip.mpo", "trip.jpg"}) {
        f.host.expectMessage(kSaveFailedMessage);
        EXPECT_EQ(SaveStereoPair(f.ws, f.dir.file(target)), 0) << target;
    }
    EXPECT_EQ(readBytes(f.dir.file("trip_L.jpg")), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(readBytes(f.dir.file("trip_R_tmp.jpg")), (std::vector<std::uint8_t>{4, 5, 6}));
    EXPECT_FALSE(fs::exists(f.dir.file("trip.mpo")));
}

TEST(StereoSave, HighResolutionPairOfAStereoDocument) {
    ViewsFixture f(40, 30);
    f.ws.setStereoPair(true);
    f.ws.highRes(0) = flatPicture(120, 90, RGB(250, 120, 0));
    f.ws.highRes(1) = flatPicture(120, 90, RGB(0, 120, 250));
    f.ws.setHighResCount(2);
    ASSERT_EQ(SaveStereoPair(f.ws, f.dir.file("hd.jpg")), 1);
    const Surface left = loadPicture(f.dir.file("hd_L.jpg")), right = loadPicture(f.dir.file("hd_R.jpg"));
    EXPECT_EQ(left.width(), 120);
    EXPECT_EQ(left.height(), 90);
    EXPECT_TRUE(near(left, RGB(250, 120, 0)));
    EXPECT_TRUE(near(right, RGB(0, 120, 250)));
    // All views are the views themselves.
    ASSERT_EQ(SaveAllViews(f.ws, f.dir.file("v.jpg")), 1);
    EXPECT_EQ(loadPicture(f.dir.file("v_01.jpg")).width(), 40);
}

// After an anaglyph only the two end views exist: saving every view asks to
// make them instead of writing nothing without a word; the pair still saves.
TEST(StereoSave, AllViewsAsksForTheViewsAnAnaglyphDidNotMake) {
    ViewsFixture f;
    f.ws.view(1).reset();
    f.ws.view(2).reset();
    f.host.expectMessage(kAskMakeViews, MsgResult::No, MsgButtons::YesNo, MsgIcon::Question);
    EXPECT_EQ(SaveAllViews(f.ws, f.dir.file("all.mpo")), 0);
    EXPECT_FALSE(fs::exists(f.dir.file("all.mpo")));
    ASSERT_EQ(SaveStereoPair(f.ws, f.dir.file("pair.mpo")), 1);
    // With no views at all (a photo with a high-resolution copy, just
    // opened, for which the command is offered) the pair asks too.
    f.ws.discardViews();
    f.host.expectMessage(kAskMakeViews, MsgResult::No, MsgButtons::YesNo, MsgIcon::Question);
    EXPECT_EQ(SaveStereoPair(f.ws, f.dir.file("none.mpo")), 0);
    EXPECT_FALSE(fs::exists(f.dir.file("none.mpo")));
}

TEST(StereoSave, RefusedInsideTheCardFolderAndFailuresAreReported) {
    ViewsFixture f;
    fs::create_directories(f.dir.path() / "card/DCIM/100NIN03");
    f.host.expectMessage(kCardPathMessage);
    EXPECT_EQ(SaveStereoPair(f.ws, f.dir.file("card/DCIM/100NIN03/x.mpo")), 0);
    EXPECT_TRUE(fs::is_empty(f.dir.path() / "card/DCIM/100NIN03"));
    // A target folder that does not exist: the still writer's message.
    f.host.expectMessage(kSaveFailedMessage);
    EXPECT_EQ(SaveStereoPair(f.ws, f.dir.file("none/x.jpg")), 0);
    // One file of a pair that cannot be replaced (a folder stands in its
    // place): the other keeps its previous contents, and no piece is left.
    std::ofstream(f.dir.file("kept_R.jpg")) << "previous";
    fs::create_directories(f.dir.path() / "kept_L.jpg");
    const auto before = readBytes(f.dir.file("kept_R.jpg"));
    f.host.expectMessage(kSaveFailedMessage);
    EXPECT_EQ(SaveStereoPair(f.ws, f.dir.file("kept.jpg")), 0);
    EXPECT_EQ(readBytes(f.dir.file("kept_R.jpg")), before);
    for (const auto& e : fs::directory_iterator(f.dir.path()))
        EXPECT_EQ(e.path().filename().string().rfind(".~plastora", 0), std::string::npos) << e.path();
    // The dialog: the picture's name with ".mpo" is suggested; cancel writes nothing.
    f.ws.setCurrentPath(f.dir.file("holiday.jpg"));
    f.host.expectFileDialog(std::nullopt);
    EXPECT_EQ(SaveStereoPair(f.ws), 0);
    ASSERT_EQ(f.host.fileRequests.size(), 1u);
    EXPECT_EQ(f.host.fileRequests[0].initialPath, f.dir.file("holiday.mpo"));
    EXPECT_EQ(f.host.fileRequests[0].defaultExtension, "jpg");
    EXPECT_TRUE(f.host.fileRequests[0].save);
}

TEST(StereoCard, PictureIsLetterboxedOrCropped) {
    Surface card;
    ASSERT_TRUE(makeCardPicture(flatPicture(1024, 768, RGB(0, 200, 0)), card));
    ASSERT_EQ(card.width(), 640);
    ASSERT_EQ(card.height(), 480);
    auto at = [&](int x, int y) { return colorRefFromPixel(card.at(x, y)); };
    EXPECT_EQ(at(106, 240), 0u);
    EXPECT_EQ(at(107, 240), RGB(0, 200, 0));
    EXPECT_EQ(at(532, 240), RGB(0, 200, 0));  // 426 wide: 107..532
    EXPECT_EQ(at(533, 240), 0u);
    EXPECT_EQ(at(320, 79), 0u);
    EXPECT_EQ(at(320, 80), RGB(0, 200, 0));
    EXPECT_EQ(at(320, 399), RGB(0, 200, 0));
    EXPECT_EQ(at(320, 400), 0u);

    // 1600 x 600: the centre 1200 columns fill the width; the red sides are cut.
    Surface wide = flatPicture(1600, 600, RGB(0, 0, 200));
    fillRect(wide, {0, 0, 200, 600}, RGB(255, 0, 0));
    fillRect(wide, {1400, 0, 1600, 600}, RGB(255, 0, 0));
    ASSERT_TRUE(makeCardPicture(wide, card));
    EXPECT_EQ(at(0, 240), RGB(0, 0, 200));
    EXPECT_EQ(at(639, 240), RGB(0, 0, 200));
    EXPECT_EQ(at(0, 79), 0u);

    // A 640 x 480 view is taken as it is.
    const Surface exact = test::gradientPicture(640, 480);
    ASSERT_TRUE(makeCardPicture(exact, card));
    EXPECT_TRUE(test::samePixels(card, exact));
}

TEST(StereoCard, PathTestsRelativeToTheMountPoint) {
    const std::string np = "DCIM\\*NIN03\\HNI_%04d.MPO";
    EXPECT_EQ(cardPattern(np), "DCIM/*NIN03/HNI_%04d.MPO");
    EXPECT_TRUE(isInCardPictureFolder("/media/u/3DS/DCIM/100NIN03/a.mpo", np));
    EXPECT_TRUE(isInCardPictureFolder("DCIM/123NIN03/x.jpg", np));
    EXPECT_FALSE(isInCardPictureFolder("/media/u/3DS/dcim/100NIN03/a.mpo", np));  // exact case
    EXPECT_FALSE(isInCardPictureFolder("/media/u/3DS/DCIM/1000NIN03/a.mpo", np));
    EXPECT_FALSE(isInCardPictureFolder("/media/u/3DS/DCIM/100NIN02/a.mpo", np));
    // A link into the picture folder leads into it all the same.
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "DCIM" / "100NIN03");
    std::filesystem::create_directory_symlink(dir.path() / "DCIM" / "100NIN03", dir.path() / "pics");
    EXPECT_TRUE(isInCardPictureFolder((dir.path() / "pics" / "HNI_0001.MPO").string(), np));

    EXPECT_EQ(cardRootOfPicture("/media/u/3DS/DCIM/100NIN03/HNI_0005.MPO", np), "/media/u/3DS");
    EXPECT_EQ(cardRootOfPicture("/media/u/3DS/dcim/100nin03/hni_0005.mpo", np), "/media/u/3DS");
    EXPECT_EQ(cardRootOfPicture("/DCIM/100NIN03/HNI_0001.MPO", np), "/");
    EXPECT_EQ(cardRootOfPicture("/media/u/3DS/DCIM/100NIN03/IMG_0005.MPO", np), std::nullopt);
    EXPECT_EQ(cardRootOfPicture("/media/u/3DS/DCIM/100NIN03/sub/HNI_0005.MPO", np), std::nullopt);

    EXPECT_EQ(formatCardFileName(np, 13), "HNI_0013.MPO");
    EXPECT_EQ(formatCardFileName("DCIM/*NIN03/P%d.MPO", 7), "P7.MPO");
    EXPECT_EQ(formatCardFileName("DCIM/*NIN03/P%s.MPO", 7), std::nullopt);

    const std::string mounts =
        "/dev/sda1 / ext4 rw 0 0\n"
        "/dev/sdb1 /media/user/3DS vfat rw,nosuid 0 0\n"
        "/dev/sdc1 /run/media/user/NO\\040NAME exfat rw 0 0\n"
        "/dev/sdd1 /mnt/sd fuseblk rw 0 0\n"
        "/dev/sde1 /home/user/stick vfat rw 0 0\n"
        "tmpfs /media/ram tmpfs rw 0 0\n";
    EXPECT_EQ(removableMountsFrom(mounts),
              (std::vector<std::string>{"/media/user/3DS", "/run/media/user/NO NAME", "/mnt/sd"}));
}

// The next number is never a name already there (a folder, another case),
// and never more digits than the pattern's: past HNI_9999, or a name of
// twenty digits, there is none.
TEST(StereoCard, TheNextNumberIsNeverANameAlreadyThere) {
    TempDir card;
    const std::string np = "DCIM\\*NIN03\\HNI_%04d.MPO";
    const auto next = [&] {
        const auto name = nextCardFileName(card.path().string(), np);
        return name ? fs::path(*name).filename().string() : std::string("-");
    };
    writeBytes(card.file("HNI_0041.MPO"), {1});
    EXPECT_EQ(next(), "HNI_0042.MPO");
    fs::create_directory(card.file("HNI_0042.MPO"));
    EXPECT_EQ(next(), "HNI_0043.MPO");
    writeBytes(card.file("hni_0043.mpo"), {1});
    EXPECT_EQ(next(), "HNI_0044.MPO");
    writeBytes(card.file("HNI_9999.MPO"), {1});
    EXPECT_EQ(next(), "-");
    fs::remove(card.file("HNI_9999.MPO"));
    writeBytes(card.file("HNI_99999999999999999999.MPO"), {1});
    EXPECT_EQ(next(), "-");
}

TEST(StereoCard, ExportTakesTheNextFreeNumber) {
    CardFixture f(160, 120, "card");
    const fs::path& folder = f.folder;
    for (const char* name : {"HNI_0003.MPO", "HNI_0010.MPO", "HNI_0099.JPG", "XYZ_0050.MPO"})
        writeBytes((folder / name).string(), {1, 2, 3});
    fs::create_directories(f.dir.path() / "card/DCIM/200NIN03");  // a later folder is not used
    Settings(f.ws.settingsPath()).setText(SettingKey::OptionDrive, f.dir.file("card"));

    f.host.expectMessage(kCardWriteSucceededMessage);
    bool asked = false;
    ASSERT_EQ(ExportTo3ds(f.ws, [&](CStereoWorkspace&) { return asked = true; }), 1);
    EXPECT_FALSE(asked);
    const std::string written = (folder / "HNI_0011.MPO").string();
    ASSERT_TRUE(fs::exists(written));
    EXPECT_TRUE(fs::is_empty(f.dir.path() / "card/DCIM/200NIN03"));
    // Card mode: 640 x 480 pictures from Nintendo, left first.
    const Surface first = loadPicture(written);
    EXPECT_EQ(first.width(), 640);
    EXPECT_EQ(first.height(), 480);
    EXPECT_EQ(colorRefFromPixel(first.at(2, 2)), 0u);
    EXPECT_EQ(mpoImage(written, 1).width(), 640);
    const auto bytes = readBytes(written);
    EXPECT_EQ(std::string(bytes.begin() + 2 + 132, bytes.begin() + 2 + 140), "Nintendo");
    MpoIndex index;
    EXPECT_TRUE(readMpoIndex(written, index));
    EXPECT_EQ(filesUnder(f.temp.path()), 0) << "the export was left in the temporary folder";
}

// A settings file that cannot be written (a program folder on a full stick;
// here a folder in its place) does not undo the drive the user chose: the
// export goes to that card, and the next one in this run finds it again.
TEST(StereoCard, ADriveChosenIsUsedWhenTheSettingsCannotBeWritten) {
    CardFixture f(64, 48, "sd");
    const fs::path& folder = f.folder;
    fs::create_directory(f.dir.path() / "Plastora.ini");
    int dialogs = 0;
    const auto choose = [&](CStereoWorkspace& ws) { return ++dialogs, acceptCardDrive(ws, f.dir.file("sd")); };
    f.host.expectMessage(kCardWriteSucceededMessage).expectMessage(kCardWriteSucceededMessage);
    ASSERT_EQ(ExportTo3ds(f.ws, choose), 1);
    ASSERT_EQ(ExportTo3ds(f.ws, choose), 1);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(fs::exists(folder / "HNI_0001.MPO"));
    EXPECT_TRUE(fs::exists(folder / "HNI_0002.MPO"));
}

TEST(StereoCard, EmptyFolderMissingCardAndOverwrite) {
    CardFixture f(64, 48, "sd", "101NIN03");
    const fs::path& folder = f.folder;
    Settings settings(f.ws.settingsPath());
    settings.setText(SettingKey::OptionDrive, f.dir.file("nowhere"));

    // No card on the stored drive: the drive dialog; Cancel ends the command.
    int dialogs = 0;
    EXPECT_EQ(ExportTo3ds(f.ws, [&](CStereoWorkspace&) { return ++dialogs, false; }), 0);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(fs::is_empty(folder));

    // The dialog's OK: a drive without the card is refused (after its message
    // and a second look); then the card's drive is taken and stored.
    f.host.expectMessage(kNoCardOnDriveMessage).expectMessage(kCardWriteSucceededMessage);
    const auto choose = [&](CStereoWorkspace& ws) {
        EXPECT_FALSE(acceptCardDrive(ws, f.dir.file("nowhere")));
        return acceptCardDrive(ws, f.dir.file("sd"));
    };
    ASSERT_EQ(ExportTo3ds(f.ws, choose), 1);
    EXPECT_TRUE(fs::exists(folder / "HNI_0001.MPO"));
    EXPECT_EQ(settings.getText(SettingKey::OptionDrive), f.dir.file("sd"));

    // A picture opened from the card: its card becomes the drive; Yes
    // overwrites it, No adds the next number.
    settings.setText(SettingKey::OptionDrive, f.dir.file("nowhere"));
    const std::string opened = (folder / "HNI_0005.MPO").string();
    writeBytes(opened, {1, 2, 3});
    f.ws.setCurrentPath(opened);
    f.host.expectMessage(kCardOverwriteQuestion, MsgResult::Yes, MsgButtons::YesNo).expectMessage(kCardWriteSucceededMessage);
    ASSERT_EQ(ExportTo3ds(f.ws, nullptr), 1);
    EXPECT_GT(fs::file_size(opened), 1000u);
    EXPECT_EQ(f.host.shownMessages[f.host.shownMessages.size() - 2].defaultButton, 1);  // No is the default
    EXPECT_EQ(settings.getText(SettingKey::OptionDrive), f.dir.file("sd"));
    f.host.expectMessage(kCardOverwriteQuestion, MsgResult::No).expectMessage(kCardWriteSucceededMessage);
    ASSERT_EQ(ExportTo3ds(f.ws, nullptr), 1);
    EXPECT_TRUE(fs::exists(folder / "HNI_0006.MPO"));

    // A copy of a card kept in a plain folder: a picture opened from it
    // leaves the known card the drive, for this export and the next.
    const fs::path copy = f.dir.path() / "backup/DCIM/100NIN03";
    fs::create_directories(copy);
    writeBytes((copy / "HNI_0001.MPO").string(), {1, 2, 3});
    f.ws.setCurrentPath((copy / "HNI_0001.MPO").string());
    f.host.expectMessage(kCardWriteSucceededMessage);
    ASSERT_EQ(ExportTo3ds(f.ws, nullptr), 1);
    EXPECT_TRUE(fs::exists(folder / "HNI_0007.MPO"));
    EXPECT_EQ(fs::file_size(copy / "HNI_0001.MPO"), 3u);
    EXPECT_EQ(settings.getText(SettingKey::OptionDrive), f.dir.file("sd"));
    // The same with the known card not in: the drive is asked for.
    settings.setText(SettingKey::OptionDrive, f.dir.file("away"));
    f.ws.settings().drive = f.dir.file("away");
    int asked = 0;
    EXPECT_EQ(ExportTo3ds(f.ws, [&](CStereoWorkspace&) { return ++asked, false; }), 0);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(fs::file_size(copy / "HNI_0001.MPO"), 3u);
    EXPECT_EQ(settings.getText(SettingKey::OptionDrive), f.dir.file("away"));
    // No drive known yet (a first run): the copy is not taken either.
    settings.setText(SettingKey::OptionDrive, "");
    f.ws.settings().drive.clear();
    EXPECT_EQ(ExportTo3ds(f.ws, [&](CStereoWorkspace&) { return ++asked, false; }), 0);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(settings.getText(SettingKey::OptionDrive), "");
    // A picture of the card opened by a relative name stores the card's
    // whole name, not ".".
    settings.setText(SettingKey::OptionDrive, f.dir.file("sd"));
    f.ws.settings().drive = f.dir.file("sd");
    const fs::path startedIn = fs::current_path();
    fs::current_path(f.dir.path() / "sd");
    f.ws.setCurrentPath("DCIM/100NIN03/HNI_0005.MPO");
    f.host.expectMessage(kCardOverwriteQuestion, MsgResult::No).expectMessage(kCardWriteSucceededMessage);
    EXPECT_EQ(ExportTo3ds(f.ws, nullptr), 1);
    fs::current_path(startedIn);
    EXPECT_EQ(settings.getText(SettingKey::OptionDrive), f.dir.file("sd"));

    // Without views the command asks first; Cancel ends it.
    f.ws.discardViews();
    f.host.expectMessage(kCardNoViewsQuestion, MsgResult::Cancel, MsgButtons::OkCancel);
    EXPECT_EQ(ExportTo3ds(f.ws, nullptr), 0);

    // A card folder that cannot be written: the failure message.
    ViewsFixture g(64, 48);
    const fs::path locked = g.dir.path() / "ro/DCIM/100NIN03";
    fs::create_directories(locked);
    Settings(g.ws.settingsPath()).setText(SettingKey::OptionDrive, g.dir.file("ro"));
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    const bool writable = ::access(locked.c_str(), W_OK) == 0;  // root writes anyway
    g.host.expectMessage(writable ? kCardWriteSucceededMessage : kCardWriteFailedMessage);
    EXPECT_EQ(ExportTo3ds(g.ws, nullptr), writable ? 1 : 0);
    fs::permissions(locked, fs::perms::owner_all);
}

TEST(StereoOpen, TwoFilesGoToTheSlotsByTheAnswer) {
    TempDir pics;
    SilentHost silent;
    ASSERT_EQ(SaveStillImage(silent, flatPicture(300, 200, kViewColours[0]), 300, 200, pics.file("IMG_L.jpg"), 95), 1);
    ASSERT_EQ(SaveStillImage(silent, flatPicture(300, 200, kViewColours[2]), 300, 200, pics.file("IMG_R.jpg"), 95), 1);
    ASSERT_EQ(SaveStillImage(silent, flatPicture(310, 200, kViewColours[1]), 310, 200, pics.file("wide.bmp"), 95), 1);

    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        TempDir dir;
        ScriptedHost host;
        CStereoWorkspace ws(host, dir.file("Plastora.ini"));
        const std::string first = pics.file(yes ? "IMG_L.jpg" : "IMG_R.jpg");
        host.expectMessage(kStereoSecondPictureQuestion, yes ? MsgResult::Yes : MsgResult::No, MsgButtons::YesNoCancel)
            .expectFileDialog(pics.file(yes ? "IMG_R.jpg" : "IMG_L.jpg"));
        ASSERT_EQ(OpenStereoImage(ws, first), 1);
        ASSERT_EQ(host.fileRequests.size(), 1u);
        EXPECT_EQ(host.fileRequests[0].initialPath, pics.file(yes ? "IMG_R.jpg" : "IMG_L.jpg"));
        EXPECT_EQ(host.fileRequests[0].defaultExtension, "jpg");
        EXPECT_EQ(host.fileRequests[0].filter, kStereoPairOpenFilter);
        ASSERT_EQ(ws.highResCount(), 2);
        const int R = ws.settings().hdRatio;
        EXPECT_EQ(ws.highRes(1).width(), ws.width() * R);
        EXPECT_TRUE(near(ws.highRes(0), kViewColours[0]));  // the left picture
        EXPECT_TRUE(near(ws.highRes(1), kViewColours[2]));
        EXPECT_TRUE(near(ws.source(), kViewColours[0])) << "the working picture is the left one, whichever came first";
        EXPECT_TRUE(ws.stereoPair());
        EXPECT_EQ(ws.backgroundDepth, 0);
        EXPECT_EQ(ws.foregroundDepth, 0);
        EXPECT_EQ(ws.strength(), 2);
        EXPECT_EQ(ws.mode(), kModeImage);
        EXPECT_EQ(ws.currentPath(), first);
        EXPECT_FALSE(ws.modified());
    }

    // Sizes differ (No), Cancel at the question, an unreadable second file,
    // and a cancelled second dialog all leave an empty document.
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    host.expectMessage(kStereoSecondPictureQuestion, MsgResult::Yes).expectFileDialog(pics.file("wide.bmp"))
        .expectMessage(kStereoSizeDiffersQuestion, MsgResult::No, MsgButtons::YesNo);
    ws.setCurrentPath(dir.file("before.lyr"));
    EXPECT_EQ(OpenStereoImage(ws, pics.file("IMG_L.jpg")), 0);
    EXPECT_EQ(ws.mode(), kModeNone);
    EXPECT_EQ(ws.currentPath(), "") << "the emptied window keeps no old name";
    EXPECT_EQ(ws.highResCount(), 0);
    host.expectMessage(kStereoSecondPictureQuestion, MsgResult::Cancel);
    EXPECT_EQ(OpenStereoImage(ws, pics.file("IMG_L.jpg")), 0);
    EXPECT_EQ(ws.width(), 0);
    host.expectMessage(kStereoSecondPictureQuestion, MsgResult::Yes).expectFileDialog(pics.file("missing.jpg"))
        .expectMessage(kReadFailedMessage);
    EXPECT_EQ(OpenStereoImage(ws, pics.file("IMG_L.jpg")), 0);
    host.expectMessage(kStereoSecondPictureQuestion, MsgResult::Yes).expectFileDialog(std::nullopt);
    EXPECT_EQ(OpenStereoImage(ws, pics.file("IMG_L.jpg")), 0);
    EXPECT_EQ(ws.highResCount(), 0);
    // Sizes differ, Yes: the second picture is trimmed like the first.
    host.expectMessage(kStereoSecondPictureQuestion, MsgResult::Yes).expectFileDialog(pics.file("wide.bmp"))
        .expectMessage(kStereoSizeDiffersQuestion, MsgResult::Yes);
    ASSERT_EQ(OpenStereoImage(ws, pics.file("IMG_L.jpg")), 1);
    EXPECT_EQ(ws.highRes(1).width(), ws.highRes(0).width());
    EXPECT_TRUE(near(ws.highRes(1), kViewColours[1]));
}

TEST(StereoOpen, SecondPictureFollowsTheFirstOnesTrimming) {
    // The same scene at twice the size ends up as the same high-resolution
    // picture: the trimming rectangle is scaled to the second picture.
    TempDir dir;
    SilentHost silent;
    Surface scene = flatPicture(400, 200, RGB(255, 255, 255));
    fillRect(scene, {0, 0, 60, 200}, RGB(255, 0, 0));
    fillRect(scene, {340, 0, 400, 200}, RGB(0, 0, 255));
    Surface big;
    big.create(800, 400);
    stretchBlit(big, 0, 0, 800, 400, scene, 0, 0, 400, 200, Rop::Copy, StretchMode::Nearest);
    ASSERT_EQ(SaveStillImage(silent, scene, 400, 200, dir.file("a_l.bmp"), 90), 1);
    ASSERT_EQ(SaveStillImage(silent, big, 800, 400, dir.file("a_r.bmp"), 90), 1);
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    host.expectMessage(kStereoSecondPictureQuestion, MsgResult::Yes).expectFileDialog(dir.file("a_r.bmp"))
        .expectMessage(kStereoSizeDiffersQuestion, MsgResult::Yes);
    ASSERT_EQ(OpenStereoImage(ws, dir.file("a_l.bmp")), 1);
    const Surface& a = ws.highRes(0);
    const Surface& b = ws.highRes(1);
    ASSERT_EQ(a.width(), b.width());
    ASSERT_EQ(a.height(), b.height());
    long differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) differing += a.at(x, y) != b.at(x, y);
    // Only the averaged pixels along the colour edges may differ.
    EXPECT_LT(differing, static_cast<long>(a.height()) * 8);
}

TEST(StereoOpen, MpoFilesWithTwoFourAndTooManyImages) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    for (const int count : {2, 4}) {
        const std::string mpo = writeMpo(dir, "m" + std::to_string(count), count);
        ASSERT_EQ(OpenMpoFile(ws, mpo), 1) << count;
        ASSERT_EQ(ws.highResCount(), count);
        for (int k = 0; k < count; ++k) EXPECT_TRUE(near(ws.highRes(k), kViewColours[k])) << k;
        EXPECT_TRUE(ws.stereoPair());
        EXPECT_EQ(ws.currentPath(), mpo);
    }
    // Through the stereo open command as well.
    ASSERT_EQ(OpenStereoImage(ws, dir.file("m2.mpo")), 1);
    EXPECT_EQ(ws.highResCount(), 2);

    const std::string many = writeMpo(dir, "many", 17, 16, 16);
    host.expectMessage(mpoTooManyImagesMessage(17));
    EXPECT_EQ(OpenMpoFile(ws, many), 0);
    EXPECT_EQ(ws.mode(), kModeNone);
    EXPECT_EQ(mpoTooManyImagesMessage(17),
              "このマルチピクチャーファイルには画像が17枚あります。\n読み込めるのは16枚までです。");

    // A JPEG named .mpo and an MPO whose second image is damaged.
    fs::copy_file(dir.file("m2_01.jpg"), dir.file("plain.mpo"));
    host.expectMessage(kMpoReadFailedMessage);
    EXPECT_EQ(OpenMpoFile(ws, dir.file("plain.mpo")), 0);
    auto bytes = readBytes(dir.file("m2.mpo"));
    MpoIndex index;
    ASSERT_TRUE(parseMpoIndex(bytes, index));
    std::fill(bytes.begin() + static_cast<long>(index.entries[1].offset), bytes.end(), 0);
    writeBytes(dir.file("broken.mpo"), bytes);
    host.expectMessage(kMpoReadFailedMessage);
    EXPECT_EQ(OpenMpoFile(ws, dir.file("broken.mpo")), 0);
    EXPECT_EQ(ws.highResCount(), 0);
}

// What cameras and tools put into MPOs besides the views: large-thumbnail
// previews after them (Panasonic, Sony), a colour profile in every picture,
// and a comment, which exiftool places before the MPF segment.
TEST(StereoOpen, CameraMposWithPreviewsProfilesAndComments) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));

    // The last entry, half the size, marked as a large thumbnail (type
    // 0x010001): a preview, not a view. The same mark on an entry of the
    // first image's size is a writer's mistake: that one is a view.
    MpoIndex index;
    const auto markLastAsPreview = [&](const std::string& mpo, const std::string& out) {
        auto bytes = readBytes(mpo);
        ASSERT_TRUE(parseMpoIndex(bytes, index));
        const std::size_t last = index.headerOffset + le32(bytes, index.headerOffset + 42) + 16 * (index.entries.size() - 1);
        ASSERT_EQ(le32(bytes, last), 0x00020002u);
        bytes[last] = 0x01, bytes[last + 2] = 0x01;
        writeBytes(dir.file(out), bytes);
    };
    markLastAsPreview(writeMpo(dir, "t", 3, 120, 80, true), "preview.mpo");
    ASSERT_EQ(OpenMpoFile(ws, dir.file("preview.mpo")), 1);
    ASSERT_EQ(ws.highResCount(), 2);
    EXPECT_TRUE(near(ws.highRes(1), kViewColours[1]));
    markLastAsPreview(writeMpo(dir, "m", 3), "marked.mpo");
    ASSERT_EQ(OpenMpoFile(ws, dir.file("marked.mpo")), 1);
    EXPECT_EQ(ws.highResCount(), 3);
    // One view and its preview are no stereo pair.
    markLastAsPreview(writeMpo(dir, "o", 2, 120, 80, true), "one.mpo");
    host.expectMessage(kMpoReadFailedMessage);
    EXPECT_EQ(OpenMpoFile(ws, dir.file("one.mpo")), 0);

    // A comment before the MPF segment.
    auto bytes = readBytes(writeMpo(dir, "c", 2));
    ASSERT_TRUE(parseMpoIndex(bytes, index));
    const std::vector<std::uint8_t> comment = {0xFF, 0xFE, 0x00, 0x06, 't', 'r', 'i', 'p'};
    bytes.insert(bytes.begin() + static_cast<long>(index.headerOffset - 8), comment.begin(), comment.end());
    writeBytes(dir.file("comment.mpo"), bytes);
    ASSERT_EQ(OpenMpoFile(ws, dir.file("comment.mpo")), 1);
    ASSERT_EQ(ws.highResCount(), 2);
    EXPECT_TRUE(near(ws.highRes(1), kViewColours[1]));

    // Both pictures in Adobe RGB: both are converted, so the eyes agree.
    const QByteArray icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    ASSERT_FALSE(icc.isEmpty());
    std::vector<std::uint8_t> app2 = {0xFF, 0xE2, 0, 0};
    for (const char c : std::string_view("ICC_PROFILE\0\1\1", 14)) app2.push_back(static_cast<std::uint8_t>(c));
    app2.insert(app2.end(), icc.begin(), icc.end());
    app2[2] = static_cast<std::uint8_t>((app2.size() - 2) >> 8), app2[3] = static_cast<std::uint8_t>(app2.size() - 2);
    SilentHost silent;
    const Surface flat = flatPicture(64, 48, RGB(200, 60, 60));
    for (const char* side : {"p_l", "p_r"}) {
        const std::string stem = dir.file(side);
        ASSERT_EQ(SaveStillImage(silent, flat, 64, 48, stem + "_tmp.jpg", 95), 1);
        ASSERT_EQ(SaveThumbnail(silent, flat, stem + "_s.jpg", 90), 1);
        ASSERT_EQ(WriteExifJpeg(stem + "_tmp.jpg", stem + "_s.jpg", stem + ".jpg", ExifMode::Normal), 1);
        auto jpeg = readBytes(stem + ".jpg");
        jpeg.insert(jpeg.begin() + 4 + be16(jpeg, 4), app2.begin(), app2.end());
        writeBytes(stem + ".jpg", jpeg);
    }
    ASSERT_EQ(WriteStereoMpo(dir.file("p_l.jpg"), dir.file("p_r.jpg"), dir.file("profiled.mpo")), 1);
    ASSERT_EQ(OpenMpoFile(ws, dir.file("profiled.mpo")), 1);
    const auto left = meanColour(ws.highRes(0)), right = meanColour(ws.highRes(1));
    EXPECT_GT(std::abs(left[0] - 200) + std::abs(left[1] - 60), 20);  // converted
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(left[c], right[c], 2) << c;
}

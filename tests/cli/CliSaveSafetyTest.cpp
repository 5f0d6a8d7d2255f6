// Saves from the command line under faults: runs at the same time, names
// planted in the shared temporary folder, a full disk. Every output is one
// whole result or the previous file left as it was.
#include "core/StillImage.h"
#include "stereo/Mpo.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

using namespace plastora;
using namespace plastora::test;

namespace {

namespace fs = std::filesystem;

const std::string kSampleDir = std::string(PLASTORA_SOURCE_DIR) + "/data/sample";

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Copies a sample project and its companions into `dir`.
std::string copyProject(const TempDir& dir, const std::string& name) {
    for (const char* ext : {".lyr", ".bmp", ".msk", ".m01"})
        fs::copy_file(kSampleDir + "/" + name + ext, dir.file(name + ext), fs::copy_options::overwrite_existing);
    return dir.file(name + ".lyr");
}

// The pictures of an MPO file, in order.
std::vector<Surface> pictures(const std::string& mpo) {
    SilentHost host;
    std::vector<Surface> all;
    for (int k = 0;; ++k) {
        Surface s;
        int w = 0, h = 0;
        const int count = ReadMpoImage(host, mpo, k, s, w, h);
        if (count == 0) break;
        all.push_back(std::move(s));
        if (k + 1 >= count) break;
    }
    return all;
}

}  // namespace

TEST(CliSaveSafety, ConcurrentMpoSavesEachHoldTheirOwnPictures) {
    TempDir dir;
    const std::string a = copyProject(dir, "chelsea"), b = copyProject(dir, "coffee");
    // What each project's MPO holds when saved alone.
    ASSERT_EQ(cli("save-views " + q(a) + " -o " + q(dir.file("a.mpo"))).code, 0);
    ASSERT_EQ(cli("save-views " + q(b) + " -o " + q(dir.file("b.mpo"))).code, 0);
    const auto wantA = pictures(dir.file("a.mpo")), wantB = pictures(dir.file("b.mpo"));
    ASSERT_EQ(wantA.size(), 2u);
    ASSERT_EQ(wantB.size(), 2u);
    ASSERT_FALSE(samePixels(wantA[0], wantB[0]));

    // Ten pairs of saves at once, sharing one temporary folder.
    TempDir shared;
    std::ostringstream script;
    script << "export TMPDIR=" << q(shared.path().string()) << "; ";
    for (int i = 0; i < 10; ++i) {
        script << "'" << PLASTORA_CLI << "' save-views " << q(a) << " -o " << q(dir.file("a" + std::to_string(i) + ".mpo"))
               << " & '" << PLASTORA_CLI << "' save-views " << q(b) << " -o "
               << q(dir.file("b" + std::to_string(i) + ".mpo")) << " & ";
    }
    script << "wait";
    const CliRun r = shell("bash -c " + q(script.str()));
    EXPECT_EQ(r.code, 0) << r.out;
    for (int i = 0; i < 10; ++i) {
        for (const auto& [name, want] : {std::pair{"a", &wantA}, std::pair{"b", &wantB}}) {
            const auto got = pictures(dir.file(name + std::to_string(i) + ".mpo"));
            ASSERT_EQ(got.size(), 2u) << name << i;
            EXPECT_TRUE(samePixels(got[0], (*want)[0]) && samePixels(got[1], (*want)[1]))
                << "run " << i << " of project " << name << " holds other pictures";
        }
    }
    // Each run cleaned up after itself.
    EXPECT_TRUE(fs::is_empty(shared.path()));
}

TEST(CliSaveSafety, NamesPlantedInTheTemporaryFolderAreNeverWrittenThrough) {
    TempDir dir, shared;
    const std::string a = copyProject(dir, "chelsea");
    const std::string victim = dir.file("victim.txt");
    std::ofstream(victim) << "not yours";
    // Links at every name an older version used for its pieces.
    for (const char* n : {"PLASTORA_L.jpg", "PLASTORA_R.jpg", "PLASTORA_L_s.jpg", "PLASTORA_R_s.jpg",
                          "PLASTORA_L_tmp.jpg", "PLASTORA_R_tmp.jpg", "PLASTORA_TEMP.MPO", "Plastora.prn"})
        fs::create_symlink(victim, shared.file(n));
    const CliRun r =
        shell("TMPDIR=" + q(shared.path().string()) + " '" + PLASTORA_CLI + "' save-views " + q(a) + " -o " + q(dir.file("x.mpo")));
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(fileText(victim), "not yours");
    // A link the user planted as the output itself is theirs to follow, but
    // the save still replaces what it points to whole.
    EXPECT_EQ(fileText(dir.file("x.mpo")).substr(0, 2), "\xFF\xD8");
}

TEST(CliSaveSafety, AnSwfWithNothingInItLeavesThePreviousFile) {
    TempDir dir;
    const std::string good = dir.file("good.swf");
    std::ofstream(good, std::ios::binary) << "previous movie";
    // A metafile of just its header and the end record.
    const unsigned char wmf[] = {1, 0, 9, 0, 0, 3, 12, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0,  // header
                                 3, 0, 0, 0, 0, 0};                                      // end
    std::ofstream(dir.file("empty.wmf"), std::ios::binary).write(reinterpret_cast<const char*>(wmf), sizeof wmf);
    const CliRun r = cli("wmf " + q(dir.file("empty.wmf")) + " -o " + q(good));
    EXPECT_NE(r.code, 0) << r.out;
    EXPECT_EQ(fileText(good), "previous movie");
}

// On a file system with no room left (a small tmpfs in a mount namespace of
// this test's own), every save fails with a message and leaves the file it
// would have replaced byte for byte.
TEST(CliSaveSafety, AFullDiskLeavesEveryPreviousFile) {
    if (shell("unshare -m true").code != 0) GTEST_SKIP() << "no mount namespace here";
    TempDir dir;
    const std::string disk = dir.file("disk"), saved = dir.file("saved");
    fs::create_directories(disk);
    fs::create_directories(saved);
    const std::string cliPath = std::string("'") + PLASTORA_CLI + "'";
    const std::string wmf = std::string(PLASTORA_SOURCE_DIR) + "/tests/linewisp/data/face.wmf";
    std::ostringstream s;
    s << "set -u; export LC_ALL=ja_JP.UTF-8; D=" << q(disk) << "; S=" << q(saved) << "; C=" << cliPath << "\n"
      << "mount -t tmpfs -o size=48m tmpfs \"$D\" || exit 77\n";
    for (const char* ext : {".lyr", ".bmp", ".msk", ".m01"}) s << "cp " << q(kSampleDir + "/coffee" + ext) << " \"$D\"/\n";
    // The previous outputs, made while there is room.
    s << "$C movie \"$D/coffee.lyr\" -o \"$D/m.avi\" --size 160x120 >/dev/null 2>&1 || echo 'prep movie failed'\n"
      << "$C movie \"$D/coffee.lyr\" -o \"$D/m.gif\" >/dev/null 2>&1 || echo 'prep gif failed'\n"
      << "$C print \"$D/coffee.lyr\" -o \"$D/p.pdf\" --dpi 150 >/dev/null 2>&1 || echo 'prep print failed'\n"
      << "$C wmf " << q(wmf) << " -o \"$D/w.swf\" >/dev/null 2>&1 || echo 'prep swf failed'\n"
      << "$C pitch-test -o \"$D/t.pdf\" --dpi 150 >/dev/null 2>&1 || echo 'prep pitch failed'\n"
      << "cp \"$D\"/* \"$S\"/\n"
      // No room left, before every save (a failed one may leave room).
      << "fill() { dd if=/dev/zero of=\"$D/fill$1\" bs=64k >/dev/null 2>&1; "
      << "dd if=/dev/zero of=\"$D/fill$1b\" bs=4k >/dev/null 2>&1; }\n"
      << "run() { name=$1; shift; fill $name; \"$@\" >/dev/null 2>\"$S/$name.err\"; echo \"$name exit $?\"; }\n"
      << "run movie $C movie \"$D/coffee.lyr\" -o \"$D/m.avi\" --size 320x240\n"
      << "run gif $C movie \"$D/coffee.lyr\" -o \"$D/m.gif\" --size 320x240\n"
      << "run print $C print \"$D/coffee.lyr\" -o \"$D/p.pdf\" --dpi 300\n"
      << "run project $C object \"$D/coffee.lyr\" --shape rectangle --box 40,40 -o \"$D/coffee.lyr\"\n"
      << "run swf $C wmf " << q(wmf) << " -o \"$D/w.swf\"\n"
      << "run pitch $C pitch-test -o \"$D/t.pdf\" --dpi 300\n"
      // Room where the MPO goes, none where its pictures are put together.
      << "run tempfull env TMPDIR=\"$D\" $C save-views \"$D/coffee.lyr\" -o \"$S/x.mpo\"\n"
      // Room in bytes but no file entry left: the system's reason, not
      // the free space.
      << "mkdir -p \"$S/ino\" && mount -t tmpfs -o size=600m,nr_inodes=2 tmpfs \"$S/ino\" && touch \"$S/ino/a\"\n"
      << "$C convert " << q(kSampleDir + "/coffee.jpg") << " \"$S/ino/x.bmp\" 2>\"$S/inodes.err\"; echo \"inodes exit $?\"\n"
      // A batch line failing for its own reason after one on the full disk.
      << "printf 'convert\\t%s\\t%s\\nconvert\\t%s\\t%s\\n' " << q(kSampleDir + "/coffee.jpg")
      << " \"$D/b.bmp\" \"$S/wide.bmp\" \"$S/wide.jpg\" > \"$S/lines\"\n"
      << "fill batch; $C batch \"$S/lines\" >/dev/null 2>\"$S/batch.err\"\n"
      << "umount \"$S/ino\"\n"
      << "rm -f \"$D\"/fill*\n"
      << "for f in \"$S\"/*; do n=$(basename \"$f\"); case $n in *.err) continue;; esac; "
      << "cmp -s \"$f\" \"$D/$n\" && echo \"$n same\" || echo \"$n changed\"; done\n"
      << "ls -A \"$D\" | grep -c '^\\.~plastora' | sed 's/^/leftovers /'\n";
    // Wider than a JPEG can be: its save fails without a reason of the system.
    Surface widePicture;
    ASSERT_TRUE(widePicture.create(70000, 1));
    SilentHost host;
    ASSERT_EQ(SaveStillImage(host, widePicture, 70000, 1, saved + "/wide.bmp", 90), 1);
    std::ofstream(dir.file("full.sh")) << s.str();
    const CliRun r = shell("unshare -m bash " + q(dir.file("full.sh")));
    if (r.code == 77) GTEST_SKIP() << "tmpfs cannot be mounted here";
    ASSERT_EQ(r.out.find("prep"), std::string::npos) << r.out;
    for (const char* name : {"movie", "gif", "print", "project", "swf", "pitch"})
        EXPECT_EQ(r.out.find(std::string(name) + " exit 0"), std::string::npos)
            << name << " reported success on a full disk:\n" << r.out;
    for (const char* file : {"m.avi", "m.gif", "p.pdf", "w.swf", "t.pdf", "coffee.lyr", "coffee.bmp", "coffee.msk", "coffee.m01"})
        EXPECT_NE(r.out.find(std::string(file) + " same"), std::string::npos) << file << " changed:\n" << r.out;
    EXPECT_NE(r.out.find("leftovers 0"), std::string::npos) << r.out;
    for (const char* name : {"movie", "gif", "print", "project"}) {
        const std::string err = fileText(saved + "/" + name + ".err");
        EXPECT_FALSE(err.empty()) << name << " failed without a word";
        EXPECT_EQ(err.find("メモリ"), std::string::npos) << name << " blamed memory: " << err;
        EXPECT_NE(err.find("ディスクの空きが"), std::string::npos) << name << " did not say the disk is full: " << err;
    }
    EXPECT_EQ(r.out.find("tempfull exit 0"), std::string::npos) << r.out;
    const std::string tempFull = fileText(saved + "/tempfull.err");
    EXPECT_NE(tempFull.find("一時フォルダー"), std::string::npos) << "blamed the output's disk: " << tempFull;
    EXPECT_NE(r.out.find("inodes exit 1"), std::string::npos) << r.out;
    const std::string inodes = fileText(saved + "/inodes.err");
    EXPECT_NE(inodes.find("x.bmp"), std::string::npos) << inodes;
    EXPECT_EQ(inodes.find("MB"), std::string::npos) << "room in bytes is no reason: " << inodes;
    // The second batch line's message is its own.
    const std::string batch = fileText(saved + "/batch.err");
    const std::size_t wide = batch.find("wide.jpg");
    ASSERT_NE(wide, std::string::npos) << batch;
    EXPECT_NE(batch.find("MB"), std::string::npos) << "the first line was on the full disk: " << batch;
    EXPECT_EQ(batch.find("MB", wide), std::string::npos) << "the first line's reason: " << batch;
}

// A run stopped by a signal while a library writes (here Pixelune's PNG
// writer, under `raster`) leaves no hidden temporary file: the libraries
// record their temporaries where the program's signal handler reads them.
TEST(CliSaveSafety, AStoppedRasterRunLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string script = "set -u; cd " + q(dir.path()) + "\n" +
        "/usr/bin/python3 -c \"import os; from PIL import Image; "
        "Image.frombytes('RGB', (4000, 3000), os.urandom(36000000)).save('big.bmp')\" || exit 3\n" +
        "'" + PLASTORA_CLI + "' raster big.bmp -o out.png >/dev/null 2>&1 & p=$!\n"
        "for i in $(seq 5000); do ls -A | grep -q '^\\.~plastora' && break; sleep 0.001; done\n"
        "kill -TERM $p; wait $p; echo \"exit $?\"\n"
        "ls -A | grep -c '^\\.~plastora' | sed 's/^/leftovers /'\n";
    std::ofstream(dir.file("stop.sh")) << script;
    const CliRun r = shell("bash " + q(dir.file("stop.sh")));
    ASSERT_EQ(r.code, 0) << r.out;
    if (r.out.find("exit 0") != std::string::npos) GTEST_SKIP() << "the write ended before the signal: " << r.out;
    EXPECT_NE(r.out.find("exit 143"), std::string::npos) << "ended by the signal: " << r.out;
    EXPECT_NE(r.out.find("leftovers 0"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(dir.file("out.png")));
}

TEST(CliSaveSafety, OpeningAPhotoAndSavingUnderItsNameLeavesThePhoto) {
    TempDir dir;
    const std::string photo = dir.file("holiday.bmp");
    fs::copy_file(kSampleDir + "/coffee.bmp", photo);
    const std::string before = fileText(photo);
    const CliRun r = cli("open " + q(photo) + " -o " + q(dir.file("holiday.lyr")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find(photo), std::string::npos) << "the message names the photo: " << r.out;
    EXPECT_EQ(fileText(photo), before);
    EXPECT_FALSE(fs::exists(dir.file("holiday.lyr")));
    // Under another name the project is made, and the photo is still untouched.
    EXPECT_EQ(cli("open " + q(photo) + " -o " + q(dir.file("holiday-3d.lyr"))).code, 0);
    EXPECT_EQ(fileText(photo), before);
    EXPECT_TRUE(fs::exists(dir.file("holiday-3d.bmp")));
}

// A project that opens with a part missing (here a damaged cut-out, which
// drops that region) is not saved over itself: that would make the loss
// permanent. Written under another name, it is.
TEST(CliSaveSafety, AProjectThatLostPartsOnOpeningIsNotSavedOverItself) {
    TempDir dir;
    const std::string project = copyProject(dir, "coffee");
    const std::string mask = dir.file("coffee.m01");
    fs::resize_file(mask, 40);
    const std::string lyr = fileText(project), damaged = fileText(mask);
    for (const std::string& command :
         {std::string("adjust ") + q(project) + " --brightness 5 -o " + q(project),
          std::string("rotate ") + q(project) + " -o " + q(project)}) {
        const CliRun r = cli(command);
        EXPECT_EQ(r.code, 1) << command << "\n" << r.out;
        EXPECT_NE(r.out.find(": " + project + " "), std::string::npos) << "the refusal names the project: " << r.out;
        EXPECT_EQ(fileText(project), lyr) << command;
        EXPECT_EQ(fileText(mask), damaged) << command;
    }
    const CliRun copy = cli("adjust " + q(project) + " --brightness 5 -o " + q(dir.file("kept.lyr")));
    EXPECT_EQ(copy.code, 0) << copy.out;
    EXPECT_TRUE(fs::exists(dir.file("kept.lyr")));
    // The intact project still saves over itself.
    const std::string whole = copyProject(dir, "chelsea");
    EXPECT_EQ(cli("adjust " + q(whole) + " --brightness 5 -o " + q(whole)).code, 0);

    // A paint layer that cannot be read counts the same: it was dropped
    // without a word and then removed by the save.
    fs::copy_file(dir.file("chelsea.bmp"), dir.file("chelsea.pai"));
    fs::resize_file(dir.file("chelsea.pai"), 5000);
    const CliRun paint = cli("object " + q(whole) + " --shape ellipse -o " + q(whole));
    EXPECT_EQ(paint.code, 1) << paint.out;
    EXPECT_EQ(fs::file_size(dir.file("chelsea.pai")), 5000u);
}

// A project named in upper case is saved over itself under that name, not
// refused as another's nor written beside it in lower case.
TEST(CliSaveSafety, AnUpperCaseProjectNameIsSavedInPlace) {
    TempDir dir;
    for (const char* ext : {".lyr", ".bmp", ".msk", ".m01"})
        fs::copy_file(kSampleDir + "/coffee" + ext, dir.file(std::string("TRIP") + (ext == std::string(".lyr") ? ".LYR" : ext)));
    const std::string project = dir.file("TRIP.LYR"), image = fileText(dir.file("TRIP.bmp"));
    const CliRun r = cli("adjust " + q(project) + " --brightness 20 -o " + q(project));
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_FALSE(fs::exists(dir.file("TRIP.lyr")));
    EXPECT_NE(fileText(dir.file("TRIP.bmp")), image) << "the edit image is the adjusted one";
    EXPECT_EQ(cli("info " + q(project)).code, 0);
}

// save-views writes only the files it names from the target: a JPEG's
// pieces (picture and thumbnail) are made elsewhere, so files (or links)
// under those names beside the target are left alone; and a derived name
// that is a file of the project itself is refused, not overwritten.
TEST(CliSaveSafety, SaveViewsWritesOnlyTheFilesItNames) {
    TempDir dir;
    const std::string project = copyProject(dir, "coffee");
    const std::string precious = dir.file("precious.txt");
    std::ofstream(precious) << "keep me";
    fs::create_symlink(precious, dir.file("snap_R_s.jpg"));
    std::ofstream(dir.file("snap_L_tmp.jpg")) << "mine";
    const CliRun r = cli("save-views " + q(project) + " -o " + q(dir.file("snap.jpg")));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(fs::exists(dir.file("snap_R.jpg")) && fs::exists(dir.file("snap_L.jpg")));
    EXPECT_EQ(fileText(precious), "keep me");
    EXPECT_TRUE(fs::is_symlink(dir.file("snap_R_s.jpg")));
    EXPECT_EQ(fileText(dir.file("snap_L_tmp.jpg")), "mine");

    // Names made from the one given that are links (a folder from someone
    // else) are replaced, never written through: a pair, and a view set.
    fs::create_symlink(precious, dir.file("linked_L.jpg"));
    fs::create_directory(dir.file("views"));
    fs::create_symlink(precious, dir.file("views/view_00.bmp"));
    fs::create_symlink(precious, dir.file("views/coffee.jpg"));
    EXPECT_EQ(cli("anaglyph " + q(project) + " -o " + q(dir.file("views") + "/")).code, 0);
    EXPECT_FALSE(fs::is_symlink(dir.file("views/coffee.jpg")));
    EXPECT_EQ(cli("save-views " + q(project) + " -o " + q(dir.file("linked.jpg"))).code, 0);
    EXPECT_EQ(cli("views " + q(project) + " -o " + q(dir.file("views"))).code, 0);
    EXPECT_EQ(fileText(precious), "keep me");
    EXPECT_FALSE(fs::is_symlink(dir.file("linked_L.jpg")));
    EXPECT_FALSE(fs::is_symlink(dir.file("views/view_00.bmp")));

    // The file that cannot be written is the one the message names: a file
    // of a pair, also when the name given is a link to a file elsewhere, and
    // a companion of a project saved through a link, beside the project.
    const auto failsNaming = [&](const std::string& command, const std::string& failing) {
        const CliRun r = cli(command);
        EXPECT_EQ(r.code, 1) << r.out;
        EXPECT_NE(r.out.find(failing + ": "), std::string::npos) << r.out;
    };
    fs::create_directory(dir.file("pair_R.jpg"));
    failsNaming("save-views " + q(project) + " -o " + q(dir.file("pair.jpg")), dir.file("pair_R.jpg"));
    EXPECT_FALSE(fs::exists(dir.file("pair_L.jpg")));
    fs::create_directory(dir.file("elsewhere"));
    fs::create_symlink(dir.file("elsewhere/real.jpg"), dir.file("pair.jpg"));
    failsNaming("save-views " + q(project) + " -o " + q(dir.file("pair.jpg")), dir.file("pair_R.jpg"));
    for (const char* ext : {".lyr", ".bmp", ".msk", ".m01"})
        fs::copy_file(kSampleDir + "/coffee" + ext, dir.file(std::string("elsewhere/real") + ext));
    fs::remove(dir.file("elsewhere/real.m01"));
    fs::create_directory(dir.file("elsewhere/real.m01"));
    fs::create_symlink(dir.file("elsewhere/real.lyr"), dir.file("link.lyr"));
    failsNaming("object " + q(project) + " --text Y -o " + q(dir.file("link.lyr")), dir.file("elsewhere/real.m01"));

    // A project named trip_L: "-o trip.bmp" would write trip_L.bmp, its
    // edit image.
    for (const char* ext : {".lyr", ".bmp", ".msk", ".m01"})
        fs::copy_file(kSampleDir + "/coffee" + ext, dir.file(std::string("trip_L") + ext));
    const std::string image = fileText(dir.file("trip_L.bmp"));
    const CliRun refused = cli("save-views " + q(dir.file("trip_L.lyr")) + " -o " + q(dir.file("trip.bmp")));
    EXPECT_EQ(refused.code, 1) << refused.out;
    EXPECT_NE(refused.out.find(dir.file("trip_L.bmp")), std::string::npos) << "the message names the file: " << refused.out;
    EXPECT_EQ(fileText(dir.file("trip_L.bmp")), image);
    EXPECT_FALSE(fs::exists(dir.file("trip_R.bmp")));
}

// A project whose edit image is read as P.jpg (there is no P.bmp): that file
// is the project's own, which no output replaces.
TEST(CliSaveSafety, AnEditImageReadUnderItsOtherNameIsKeptFromOutputs) {
    TempDir dir;
    const std::string project = copyProject(dir, "coffee");
    ASSERT_EQ(cli("convert " + q(dir.file("coffee.bmp")) + " " + q(dir.file("coffee.jpg"))).code, 0);
    fs::remove(dir.file("coffee.bmp"));
    const std::string image = fileText(dir.file("coffee.jpg"));
    for (const std::string command : {"lenticular", "depthmap", "interlace"}) {
        const CliRun r = cli(command + " " + q(project) + " -o " + q(dir.file("coffee.jpg")));
        EXPECT_EQ(r.code, 2) << command << ": " << r.out;
    }
    EXPECT_NE(cli("anaglyph " + q(project) + " -o " + q(dir.path().string())).code, 0);
    EXPECT_EQ(fileText(dir.file("coffee.jpg")), image);
    EXPECT_EQ(cli("info " + q(project)).code, 0);
    // The same when that edit image is a link to the photo kept elsewhere:
    // the link stays (a folder output replaces links, but never a project's).
    fs::create_directory(dir.file("kept"));
    fs::rename(dir.file("coffee.jpg"), dir.file("kept/coffee.jpg"));
    fs::create_symlink(dir.file("kept/coffee.jpg"), dir.file("coffee.jpg"));
    EXPECT_NE(cli("anaglyph " + q(project) + " -o " + q(dir.path().string())).code, 0);
    EXPECT_TRUE(fs::is_symlink(dir.file("coffee.jpg")));
    EXPECT_EQ(cli("info " + q(project)).code, 0);
}

// Started with its error output or standard output closed (`2>&-`, `>&-`),
// the tool opened its output file on the free descriptor and wrote progress
// and messages into it. The files now come out as in a normal run; a closed
// standard output still fails the run, since what it printed was lost.
TEST(CliSaveSafety, ClosedStandardStreamsNeverLandInTheOutput) {
    TempDir dir;
    const std::string project = kSampleDir + "/coffee.lyr";
    for (const char* name : {"movie.gif", "card.bmp"}) {
        SCOPED_TRACE(name);
        const std::string command = std::string(name) == "movie.gif" ? "movie " : "lenticular ";
        const auto run = [&](const std::string& out, const std::string& redirect) {
            return shell("(LC_ALL=ja_JP.UTF-8 '" + std::string(PLASTORA_CLI) + "' " + command + q(project) + " -o " +
                         q(out) + " --progress " + redirect + ")");
        };
        ASSERT_EQ(run(dir.file(std::string("plain_") + name), "").code, 0);
        const std::string plain = fileText(dir.file(std::string("plain_") + name));
        EXPECT_EQ(run(dir.file(std::string("noerr_") + name), "2>&-").code, 0);
        EXPECT_EQ(fileText(dir.file(std::string("noerr_") + name)), plain);
        EXPECT_EQ(run(dir.file(std::string("noout_") + name), ">&-").code, 1);
        EXPECT_EQ(fileText(dir.file(std::string("noout_") + name)), plain);
    }
}

// A write past the file-size limit (ulimit -f) fails like a full disk: a
// message and a failed run, the previous file kept and no temporary file
// left. It used to end the tool by SIGXFSZ with neither.
TEST(CliSaveSafety, AFileSizeLimitIsReportedLikeAFullDisk) {
    TempDir dir;
    std::ofstream(dir.file("out.bmp")) << "old";
    const CliRun r = shell("ulimit -f 64; LC_ALL=ja_JP.UTF-8 '" + std::string(PLASTORA_CLI) + "' convert " +
                           q(kSampleDir + "/coffee.jpg") + " " + q(dir.file("out.bmp")));
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("out.bmp"), std::string::npos) << r.out;
    EXPECT_EQ(fileText(dir.file("out.bmp")), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    // A name the file system refuses is given as the reason, not a guess.
    const CliRun tooLong = cliIn("C.UTF-8", "convert " + q(kSampleDir + "/coffee.jpg") + " " +
                                                q(dir.file(std::string(300, 'n') + ".bmp")));
    EXPECT_EQ(tooLong.code, 1) << tooLong.out;
    EXPECT_NE(tooLong.out.find("File name too long"), std::string::npos) << tooLong.out;
}

#ifdef PLASTORA_REFUSED_THREADS
// A process at its thread limit (or without memory for another thread's
// stack) gets no new thread, wherever the program asks for one: OpenCV's
// pool, a writer handed a view, the next band of a composite. Every command
// still makes its result, the same bytes as with threads, on the threads it
// has; it used to abort and leave its hidden temporary files behind.
TEST(CliSaveSafety, RefusedThreadsStillGiveTheResult) {
    TempDir dir;
    const std::string project = copyProject(dir, "coffee");
    // An object: its views are handed to the writers whole.
    ASSERT_EQ(cli("object " + q(project) + " --shape rectangle --at 20,20 --box 100,60 --depth 5 -o " +
                  q(dir.file("obj.lyr")))
                  .code,
              0);
    const std::string tmp = dir.file("tmp");
    fs::create_directory(tmp);
    const auto commands = [&](const std::string& out) {
        fs::create_directories(dir.file(out + "views"));
        return std::vector<std::pair<std::string, std::string>>{
            {"views " + q(dir.file("obj.lyr")) + " -o " + q(dir.file(out + "views")) + " --format jpg",
             out + "views/view_03.jpg"},
            {"lenticular " + q(project) + " -o " + q(dir.file(out + "card.bmp")), out + "card.bmp"},
            {"movie " + q(project) + " -o " + q(dir.file(out + "movie.gif")), out + "movie.gif"},
            {"open " + q(kSampleDir + "/chelsea.jpg") + " --paper a4 --yes -o " + q(dir.file(out + "p.bmp")),
             out + "p.bmp"}};
    };
    for (const auto& [command, file] : commands("plain_")) ASSERT_EQ(cli(command).code, 0) << command;
    for (const int threads : {0, 1, 2, 4}) {
        for (const auto& [command, file] : commands(std::to_string(threads) + "_")) {
            SCOPED_TRACE(std::to_string(threads) + " threads: " + command);
            const CliRun r = shell("LD_PRELOAD=" + q(PLASTORA_REFUSED_THREADS) + " PLASTORA_TEST_THREADS=" +
                                   std::to_string(threads) + " TMPDIR=" + q(tmp) + " LC_ALL=ja_JP.UTF-8 '" +
                                   PLASTORA_CLI + "' " + command);
            EXPECT_EQ(r.code, 0) << r.out;
            const std::string plain = file.substr(file.find('_') + 1);
            EXPECT_EQ(fileText(dir.file(file)), fileText(dir.file("plain_" + plain)));
        }
    }
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
        EXPECT_NE(e.path().filename().string().rfind(".~plastora", 0), 0u) << e.path();
    EXPECT_TRUE(fs::is_empty(tmp));
}
#endif

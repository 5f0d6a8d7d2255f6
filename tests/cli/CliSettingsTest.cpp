// A batch run never changes the desktop program's state: every subcommand,
// run from a program folder of this test's own, leaves the installed
// settings file and the recent-file list byte for byte as they were.
#include "core/RecentFiles.h"
#include "core/StillImage.h"
#include "support/TempDir.h"

#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace plastora;
using namespace plastora::test;
namespace fs = std::filesystem;

namespace {

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The settings files in the user's settings folder (the recent-file list's
// ".conf", any "Plastora.ini"): path -> bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string ext = it->path().extension().string();
        if (it->is_regular_file() && (ext == ".conf" || ext == ".ini")) out[it->path().string()] = fileBytes(it->path());
    }
    return out;
}

// The tool's bundle copied into `to`: the program, its libraries and data.
void copyBundle(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    for (const auto& e : fs::directory_iterator(from)) {
        const std::string name = e.path().filename().string();
        if (name == "plastora-cli" || name.rfind("lib", 0) == 0 || name == "Plastora.ini" || name == "fonts.conf" ||
            name == "auto_data" || name == "sample")
            fs::copy(e.path(), to / name, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
}

}  // namespace

TEST(CliSettings, EverySubcommandLeavesTheSettingsAndTheRecentListAlone) {
    TempDir dir;
    const fs::path program = dir.path() / "program";
    copyBundle(fs::path(PLASTORA_CLI).parent_path(), program);
    const fs::path ini = program / "Plastora.ini";
    ASSERT_TRUE(fs::exists(ini));
    // The settings folder the tool sees is this test's own (the recent-file
    // list is seeded in it), and so are its home and temporary folders.
    const char* configEnv = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(configEnv, nullptr);
    const fs::path config = configEnv;
    addRecentFile("/photos/seed.lyr");
    const fs::path home = dir.path() / "home";
    fs::create_directories(home);
    const std::string iniBefore = fileBytes(ini);
    const auto configBefore = snapshot(config);
    ASSERT_FALSE(configBefore.empty()) << "the recent-file list was written";

    const std::string env = "XDG_CONFIG_HOME=" + q(config.string()) + " HOME=" + q(home.string()) + " ";
    const auto run = [&](const std::string& args) { return shell(env + q((program / "plastora-cli").string()) + " " + args); };
    const auto f = [&](const std::string& name) { return q(dir.file(name)); };

    // Inputs: a photo, a stereo pair, a metafile.
    const std::string photo = (program / "sample/coffee.jpg").string();
    const std::string person = (program / "sample/astronaut.jpg").string();
    SilentHost host;
    for (const auto& [name, colour] : {std::pair<const char*, ColorRef>{"L.jpg", RGB(200, 40, 40)}, {"R.jpg", RGB(40, 40, 200)}}) {
        Surface s;
        ASSERT_TRUE(s.create(160, 120));
        fillRect(s, {0, 0, 160, 120}, colour);
        fillRect(s, {60, 40, 100, 80}, RGB(250, 250, 250));
        ASSERT_EQ(SaveStillImage(host, s, 160, 120, dir.file(name), 90), 1);
    }
    const std::string wmf = (program / "auto_data/body_data_default.wmf").string();
    ASSERT_TRUE(fs::exists(wmf));

    // Every command, with options that would have written settings: a new
    // standard lens (--yes), a text object's font, video and anaglyph choices.
    const std::vector<std::pair<std::string, std::string>> runs = {
        {"open", q(photo) + " -o " + f("p.lyr") + " --paper 3 --trim 1 --lpi 40 --yes"},
        {"info", f("p.lyr")},
        {"convert", q(photo) + " " + f("c.bmp")},
        {"views", f("p.lyr") + " -o " + f("views") + " --strength 2"},
        {"lenticular", f("p.lyr") + " -o " + f("l.bmp")},
        {"anaglyph", f("p.lyr") + " -o " + f("a.bmp") + " --filter 1 --colour"},
        {"interlace", f("p.lyr") + " -o " + f("i.bmp") + " --columns --swap"},
        {"spectral", f("p.lyr") + " -o " + f("s.bmp")},
        {"object", f("p.lyr") + " --text Plastora --font Sans --size 20 -o " + f("o.lyr")},
        {"adjust", f("o.lyr") + " --brightness 10 --contrast -5 -o " + f("adj.lyr")},
        {"rotate", f("o.lyr") + " -o " + f("rot.lyr")},
        {"movie", f("p.lyr") + " -o " + f("m.GIF") + " --fitted --size 80x60 --fps 5 --loop 1"},
        {"frame", f("p.lyr") + " -o " + f("fr.bmp") + " --kind 3 --size 80x60 --reverse"},
        {"stereo", f("L.jpg") + " " + f("R.jpg") + " -o " + f("st.lyr")},
        {"save-views", f("st.lyr") + " -o " + f("sv.mpo")},
        // A settings file of its own (none: the defaults the detection is tuned with).
        {"faces", q(person) + " -o " + f("faces.lyr") + " --settings " + f("faces.ini")},
        {"print", f("p.lyr") + " -o " + f("p.pdf")},
        {"wmf", q(wmf) + " -o " + f("w.bmp")},
        {"raster", q(photo) + " -o " + f("r.png")},
        {"depthmap", f("p.lyr") + " -o " + f("depth.png") + " --rgbd"},
        {"pitch-test", "-o " + f("pitch.pdf") + " --lpi 60 --range 0.2 --step 0.1 --dpi 150"},
        // Commands run from a list, each as the tool would run it alone.
        {"batch", f("batch.txt")},
    };
    std::ofstream(dir.file("batch.txt")) << "info\t" << dir.file("p.lyr") << "\nobject\t" << dir.file("p.lyr")
                                         << "\t--text\tB\t--size\t24\t-o\t" << dir.file("b.lyr") << "\n";
    std::set<std::string> ran;
    for (const auto& [command, args] : runs) {
        const CliRun r = run(command + " " + args);
        EXPECT_EQ(r.code, 0) << command << ": " << r.out;
        // A settings write the tool never makes is not a failed save.
        for (const char* failed : {"ファイルの保存に失敗しました", "could not be saved"})
            EXPECT_EQ(r.out.find(failed), std::string::npos) << command << ": " << r.out;
        ran.insert(command);
        EXPECT_EQ(fileBytes(ini), iniBefore) << "after " << command;
    }
    // The GIF name is recognised whatever its case.
    EXPECT_EQ(fileBytes(dir.file("m.GIF")).substr(0, 6), "GIF89a");

    EXPECT_EQ(fileBytes(ini), iniBefore);
    EXPECT_EQ(snapshot(config), configBefore) << "recent-file list and settings folder unchanged";
    EXPECT_FALSE(fs::exists(config / "Plastora/Plastora.ini")) << "no settings copy made for the tool";
    EXPECT_FALSE(fs::exists(dir.file("faces.ini"))) << "--settings is read, never made";

    // The test covers every command the tool has.
    const CliRun help = run("--help");
    std::istringstream lines(help.out);
    std::string line;
    int listed = 0;
    while (std::getline(lines, line)) {
        if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
        const std::string name = line.substr(2, line.find(' ', 2) - 2);
        ++listed;
        EXPECT_TRUE(ran.count(name)) << "command not run here: " << name;
    }
    EXPECT_GE(listed, 19);
}

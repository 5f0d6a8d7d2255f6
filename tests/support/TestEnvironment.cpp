// Every test program keeps the user's settings out of reach and shares no
// writable place with another test program running at the same time: the
// per-user settings (the recent-file list, XDG_CONFIG_HOME) and the
// temporary folder (TMPDIR, where the program and the command-line tool it
// starts put their scratch files) are private folders of this run.
#include "core/BandRunner.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct IsolateUserSettings {
    std::filesystem::path base;

    IsolateUserSettings() {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "plastora-test-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!::mkdtemp(name.data())) return;
        base = name.data();
        const auto config = base / "config", temp = base / "tmp";
        std::filesystem::create_directories(config, ec);
        std::filesystem::create_directories(temp, ec);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("TMPDIR", temp.c_str(), 1);
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    ~IsolateUserSettings() {
        std::error_code ec;
        if (!base.empty()) std::filesystem::remove_all(base, ec);
    }
};

const IsolateUserSettings isolate;

// Large stretches run their bands as the programs run them.
const bool bandsOnEveryCore = (plastora::runSurfaceBandsOnEveryCore(), true);

}  // namespace

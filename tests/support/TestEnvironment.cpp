// Every test program keeps the user's settings out of reach: per-user
// settings (the recent-file list) go to a private folder for this run.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

struct IsolateUserSettings {
    std::string dir;
    IsolateUserSettings() {
        // A folder of this run's own (mkdtemp), remembered here: a test may
        // point XDG_CONFIG_HOME elsewhere for a while.
        std::string pattern = (std::filesystem::temp_directory_path() / "plastora-test-config-XXXXXX").string();
        if (::mkdtemp(pattern.data())) {
            dir = pattern;
            setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        }
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    ~IsolateUserSettings() {
        if (dir.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

const IsolateUserSettings isolate;

}  // namespace

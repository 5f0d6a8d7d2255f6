// Every test program keeps the user's settings out of reach: per-user
// settings (the recent-file list) go to a private folder for this run.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

struct IsolateUserSettings {
    IsolateUserSettings() {
        const auto dir = std::filesystem::temp_directory_path() / ("plastora-test-config-" + std::to_string(::getpid()));
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    ~IsolateUserSettings() {
        std::error_code ec;
        std::filesystem::remove_all(std::getenv("XDG_CONFIG_HOME"), ec);
    }
};

const IsolateUserSettings isolate;

}  // namespace

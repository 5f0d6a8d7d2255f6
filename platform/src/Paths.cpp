#include "platform/Paths.h"

#include <filesystem>
#include <system_error>

namespace plastora {

namespace {
std::string& overrideFolder() {
    static std::string folder;
    return folder;
}
}  // namespace

std::string programFolder() {
    if (!overrideFolder().empty()) return overrideFolder();
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec).string();
    return exe.parent_path().string();
}

void setProgramFolder(const std::string& folder) { overrideFolder() = folder; }

std::string tempFolder() {
    std::error_code ec;
    auto p = std::filesystem::temp_directory_path(ec);
    if (ec) return "/tmp";
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace plastora

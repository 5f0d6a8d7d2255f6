// Whole-file reading and failure-safe writing.
#include "Internal.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <atomic>
#include <system_error>

#include <unistd.h>

namespace linewisp {

bool readWholeFile(const std::string& fileName, std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(fileName, ec);
    if (ec) return false;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<std::size_t>(in.gcount()) == bytes.size();
}

bool writeFileAtomically(const std::string& fileName, const std::vector<std::uint8_t>& bytes) {
    namespace fs = std::filesystem;
    const fs::path target(fileName);
    static std::atomic<unsigned> serial{0};
    const fs::path temp =
        target.string() + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(serial.fetch_add(1));
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ec;
            fs::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace linewisp

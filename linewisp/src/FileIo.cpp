// Whole-file reading and failure-safe writing.
#include "Internal.h"
#include "platform/SafeFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <atomic>
#include <system_error>

#include <unistd.h>

namespace linewisp {

namespace {
// Far beyond any metafile drawn by hand or by a program (their records and
// points are limited anyway); a larger file is refused before memory is
// taken for it.
constexpr std::uintmax_t kMaxFileBytes = 256u << 20;
}  // namespace

bool readWholeFile(const std::string& fileName, std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(fileName, ec);
    if (ec || size > kMaxFileBytes) return false;
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
    return plastora::writeFileReplacing(fileName, bytes);
}

}  // namespace linewisp

// Helpers of the Exif, MPO and stereo-file tests: file bytes, byte-order
// reads, flat-colour pictures, and running the independent readers
// (exiftool, Pillow) as child processes.
#pragma once

#include "core/StillImage.h"
#include "platform/Host.h"
#include "platform/Surface.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace plastora::stereotest {

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t be16(const std::vector<std::uint8_t>& b, std::size_t at) { return (b.at(at) << 8) | b.at(at + 1); }
inline std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) { return (be16(b, at) << 16) | be16(b, at + 2); }
inline std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
inline std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) { return le16(b, at) | (le16(b, at + 2) << 16); }

// A picture of one colour.
inline Surface flatPicture(int w, int h, ColorRef colour) {
    Surface s;
    s.create(w, h);
    fillRect(s, {0, 0, w, h}, colour);
    return s;
}

// The average colour of a picture, as r, g, b.
inline std::array<int, 3> meanColour(const Surface& s) {
    std::array<long long, 3> sum{};
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            const ColorRef c = colorRefFromPixel(s.at(x, y));
            sum[0] += GetRValue(c), sum[1] += GetGValue(c), sum[2] += GetBValue(c);
        }
    const long long n = std::max<long long>(1, static_cast<long long>(s.width()) * s.height());
    return {static_cast<int>(sum[0] / n), static_cast<int>(sum[1] / n), static_cast<int>(sum[2] / n)};
}

inline Surface loadPicture(const std::string& path, std::optional<long long> offset = std::nullopt) {
    SilentHost host;
    Surface s;
    int w = 0, h = 0;
    LoadStillImage(host, path, offset, s, w, h);
    return s;
}

// Runs a shell command and returns its standard output (and exit status).
struct CommandRun {
    int status = -1;
    std::string out;
};
inline CommandRun runCommand(const std::string& command) {
    CommandRun r;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

inline bool haveExiftool() { return ::access("/usr/bin/exiftool", X_OK) == 0; }
inline bool havePillow() { return runCommand("/usr/bin/python3 -c 'import PIL' 2>/dev/null").status == 0; }

// exiftool's short output ("Group:Tag: value" lines, every instance) as a list.
inline std::vector<std::pair<std::string, std::string>> exiftoolTags(const std::string& path) {
    // Without -m, so that minor problems show up as ExifTool:Warning lines.
    const CommandRun r = runCommand("/usr/bin/exiftool -a -G1 -s '" + path + "' 2>&1");
    std::vector<std::pair<std::string, std::string>> tags;
    std::istringstream in(r.out);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t colon = line.find(" : ");
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        // "[Group]  Tag" -> "Group:Tag"
        if (!key.empty() && key.front() == '[') {
            const std::size_t close = key.find(']');
            std::string rest = key.substr(close + 1);
            rest.erase(0, rest.find_first_not_of(' '));
            key = key.substr(1, close - 1) + ":" + rest;
        }
        tags.emplace_back(key, line.substr(colon + 3));
    }
    return tags;
}

inline std::vector<std::string> tagValues(const std::vector<std::pair<std::string, std::string>>& tags,
                                          const std::string& key) {
    std::vector<std::string> out;
    for (const auto& [k, v] : tags)
        if (k == key) out.push_back(v);
    return out;
}

inline std::string shellQuote(const std::string& s) { return "'" + s + "'"; }

}  // namespace plastora::stereotest

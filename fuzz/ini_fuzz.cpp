// Feeds arbitrary bytes to the profile (ini) reader and writer, in memory and
// through a real file, and checks what must hold for any input:
// - a key that was written reads back as written, in memory and from the file;
// - writing one key changes no other key's value;
// - writing the same value again changes no byte;
// - refused writes change nothing;
// - text reads never exceed their buffer and are a prefix of the full value.
#include "core/Settings.h"
#include "platform/Profile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace plastora;

namespace {

#define FUZZ_CHECK(cond)                                                          \
    do {                                                                          \
        if (!(cond)) {                                                            \
            std::fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #cond); \
            std::abort();                                                         \
        }                                                                         \
    } while (0)

// One file for the whole run, removed with its folder at exit. The path is
// kept on the heap so that it outlives static destruction for the handler.
const std::string& tempFile() {
    static const std::string* path = [] {
        namespace fs = std::filesystem;
        std::error_code ec;
        // tmpfs keeps the many small writes (with their fsync) cheap.
        fs::path folder = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path(ec);
        folder /= "plastora-ini-fuzz-" + std::to_string(::getpid());
        fs::create_directories(folder, ec);
        auto* p = new std::string((folder / "Plastora.ini").string());
        std::atexit([] {
            std::error_code e;
            fs::remove_all(fs::path(tempFile()).parent_path(), e);
        });
        return p;
    }();
    return *path;
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool sameNameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

struct Name {
    std::string section;
    std::string key;
};

// The names looked at: a few keys of the settings table plus up to six
// section/key pairs found in the input itself (roughly parsed here), so that
// names present in the data get exercised, with their odd bytes.
std::vector<Name> namesFor(std::string_view data) {
    std::vector<Name> names;
    for (SettingKey key : {SettingKey::StereoBackGround, SettingKey::OptionDrive, SettingKey::LenticularLPI,
                           SettingKey::PicturePaperSizeN, SettingKey::VideoSizeN, SettingKey::FontName,
                           SettingKey::PMNumOfBasis, SettingKey::HelpURL})
        names.push_back({settingInfo(key).section, settingKeyName(key, 1)});
    std::string section;
    std::size_t pos = 0;
    while (pos < data.size() && names.size() < 14) {
        std::size_t nl = data.find('\n', pos);
        if (nl == std::string_view::npos) nl = data.size();
        std::string_view line = data.substr(pos, nl - pos);
        pos = nl + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty()) continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close != std::string_view::npos) section = std::string(line.substr(1, close - 1));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = line.substr(0, eq);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.remove_suffix(1);
        names.push_back({section, std::string(key)});
    }
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);
    const std::uint8_t selector = size > 0 ? bytes[0] : 0;

    ProfileText text{std::string(data)};
    const std::vector<Name> names = namesFor(data);
    std::vector<std::optional<std::string>> before;
    for (const Name& n : names) before.push_back(text.value(n.section, n.key));

    // Text reads never exceed the buffer and give a prefix of the value.
    const int bufferSize = 1 + selector % 40;
    const Name& probe = names[selector % names.size()];
    if (before[selector % names.size()]) {
        const std::string cut = truncateUtf8(*before[selector % names.size()], static_cast<std::size_t>(bufferSize - 1));
        FUZZ_CHECK(cut.size() <= static_cast<std::size_t>(bufferSize - 1));
        FUZZ_CHECK(before[selector % names.size()]->compare(0, cut.size(), cut) == 0);
    }

    // Write one key, chosen by the first byte, with a plain value.
    const Name& target = names[(selector / 2u) % names.size()];
    const std::string value = "v" + std::to_string(size) + "_" + std::to_string(selector);
    const std::string original = text.bytes();
    const bool stored = text.set(target.section, target.key, value);
    if (!stored) {
        FUZZ_CHECK(text.bytes() == original);
    } else {
        FUZZ_CHECK(text.value(target.section, target.key) == value);
        for (std::size_t i = 0; i < names.size(); ++i) {
            const bool same = sameNameAscii(names[i].section, target.section) && sameNameAscii(names[i].key, target.key);
            if (!same) FUZZ_CHECK(text.value(names[i].section, names[i].key) == before[i]);
        }
        const std::string once = text.bytes();
        FUZZ_CHECK(text.set(target.section, target.key, value));
        FUZZ_CHECK(text.bytes() == once);
    }

    // The same through a file: the file functions must agree with memory.
    const std::string& file = tempFile();
    writeFile(file, data);
    const std::string readBack = readProfileString(file, probe.section, probe.key, "<none>", bufferSize);
    FUZZ_CHECK(readBack.size() <= static_cast<std::size_t>(bufferSize - 1));
    (void)readProfileInt(file, probe.section, probe.key, -1);
    const bool fileStored = writeProfileString(file, target.section, target.key, value);
    FUZZ_CHECK(fileStored == stored);
    if (fileStored) {
        std::ifstream in(file, std::ios::binary);
        const std::string onDisk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        FUZZ_CHECK(onDisk == text.bytes());
        FUZZ_CHECK(readProfileString(file, target.section, target.key, "", 260) == value);
    }
    return 0;
}

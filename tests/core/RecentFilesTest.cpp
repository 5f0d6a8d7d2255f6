// The recent-file list: absolute entries wherever the program was started,
// and no change at all while recording is switched off (the command-line
// tool). The list lives in this test program's private settings folder.
#include "core/RecentFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace plastora;

namespace {

// Runs in `dir` while it lives.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& dir) : m_old(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InFolder() { std::filesystem::current_path(m_old); }

private:
    std::filesystem::path m_old;
};

}  // namespace

TEST(RecentFiles, EntriesAreAbsoluteAndTheToolLeavesTheListAlone) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "a");
    const std::string root = std::filesystem::canonical(dir.path()).string();
    {
        InFolder in(root + "/a");
        addRecentFile("holiday.lyr");
        addRecentFile("../b/./trip.lyr");
        addRecentFile("/abs/other.lyr");
    }
    const auto top3 = [] {
        std::vector<std::string> l = recentFiles();
        l.resize(std::min<std::size_t>(l.size(), 3));
        return l;
    };
    EXPECT_EQ(top3(), (std::vector<std::string>{"/abs/other.lyr", root + "/b/trip.lyr", root + "/a/holiday.lyr"}));
    // The same file given another way moves to the top instead of doubling.
    {
        InFolder in(root);
        addRecentFile("a/holiday.lyr");
    }
    EXPECT_EQ(top3(), (std::vector<std::string>{root + "/a/holiday.lyr", "/abs/other.lyr", root + "/b/trip.lyr"}));

    const std::vector<std::string> before = recentFiles();
    setRecentFilesRecorded(false);
    addRecentFile("/abs/batch.lyr");
    setRecentFilesRecorded(true);
    EXPECT_EQ(recentFiles(), before);
    // A name that is not UTF-8 comes back byte for byte.
    addRecentFile("/tmp/caf\xE9.lyr");
    EXPECT_EQ(recentFiles().front(), "/tmp/caf\xE9.lyr");
    // Only four are kept.
    for (const char* name : {"/1.lyr", "/2.lyr", "/3.lyr", "/4.lyr"}) addRecentFile(name);
    EXPECT_EQ(recentFiles(), (std::vector<std::string>{"/4.lyr", "/3.lyr", "/2.lyr", "/1.lyr"}));
}

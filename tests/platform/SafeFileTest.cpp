// Saves that replace a file whole or leave it as it was, and the run's
// private temporary folder.
#include "platform/Paths.h"
#include "platform/SafeFile.h"
#include "platform/SignalCleanup.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QString>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <chrono>
#include <thread>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plastora {
namespace {

namespace fs = std::filesystem;
using test::FileSizeLimit;
using test::TempDir;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

TEST(SafeFile, ReplacesWholeOrLeavesTheOldFile) {
    TempDir dir;
    const std::string target = dir.file("picture.bmp");
    writeText(target, "old contents");
    ::chmod(target.c_str(), 0640);

    ASSERT_TRUE(writeFileReplacing(target, "new", 3));
    EXPECT_EQ(readText(target), "new");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "a replaced file keeps its permissions";

    // A write that runs out of room fails and changes nothing.
    const std::string big(256 * 1024, 'x');
    {
        FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(writeFileReplacing(target, big.data(), big.size()));
    }
    EXPECT_EQ(readText(target), "new");
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"picture.bmp"}) << "no temporary file is left";
    // The system's reason is kept for the message: a write's, a name's, and
    // a write's again when the writer gave up on the stream itself.
    EXPECT_EQ(lastSaveError(), EFBIG);
    EXPECT_FALSE(writeFileReplacing(dir.file(std::string(300, 'n') + ".bmp"), "x", 1));
    EXPECT_EQ(lastSaveError(), ENAMETOOLONG);
    {
        FileSizeLimit limit(64 * 1024);
        ReplacingFile file;
        ASSERT_TRUE(file.open(target));
        const std::string past(3 << 20, 'y');  // beyond the stream's buffer
        EXPECT_NE(std::fwrite(past.data(), 1, past.size(), file.stream()), past.size());
    }
    EXPECT_EQ(lastSaveError(), EFBIG);

    // Discarded, or never committed: the target stays.
    {
        ReplacingFile file;
        ASSERT_TRUE(file.open(target));
        std::fputs("half", file.stream());
    }
    EXPECT_EQ(readText(target), "new");
    EXPECT_EQ(namesIn(dir.path()).size(), 1u);

    // Closed first, committed later: the same file. A close that finds the
    // data could not all be written fails the commit too.
    {
        ReplacingFile file;
        ASSERT_TRUE(file.open(target));
        std::fputs("closed", file.stream());
        ASSERT_TRUE(file.close());
        EXPECT_EQ(readText(target), "new");
        EXPECT_TRUE(file.commit());
    }
    EXPECT_EQ(readText(target), "closed");
    {
        ReplacingFile file;
        ASSERT_TRUE(file.open(target));
        FileSizeLimit limit(64 * 1024);
        std::fwrite(big.data(), 1, big.size(), file.stream());  // held in the stream's buffer until the close
        EXPECT_FALSE(file.close());
        EXPECT_FALSE(file.commit());
    }
    EXPECT_EQ(readText(target), "closed");
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"picture.bmp"});

    // A folder or a missing folder is no target.
    ReplacingFile file;
    EXPECT_FALSE(file.open(dir.path().string()));
    EXPECT_FALSE(file.open(dir.file("no/such/file.bmp")));
}

// A target its owner may write but not read (a view someone set to 0200)
// is replaced as well when the stream is closed before the commit, and so
// is one of a set written by name: the temporary file takes the target's
// permissions, so the commit's flush must not need to read it. Root may open anything, so as root the case
// runs as another user, in a child process.
TEST(SafeFile, AWriteOnlyTargetIsReplacedAfterAnEarlyClose) {
    const bool root = ::geteuid() == 0;
    constexpr uid_t kNobody = 65534;
    // The other user needs a way in: the tests' own temporary folder is
    // private to root, /tmp is open to everyone.
    TempDir ours;
    std::string folder = ours.path().string();
    if (root) {
        char name[] = "/tmp/plastora-writeonly-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        folder = name;
    }
    struct Remove {
        std::string path;
        ~Remove() { std::error_code ec; fs::remove_all(path, ec); }
    } remove{root ? folder : std::string()};
    const std::string target = folder + "/view_02.bmp";
    const std::string project = folder + "/photo.lyr";  // one of a set, written by name
    for (const std::string& path : {target, project}) {
        writeText(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
    }
    const auto replace = [&] {
        ReplacingFile file;
        if (!file.open(target)) return 1;
        std::fputs("new", file.stream());
        if (!file.close()) return 2;
        if (!file.commit()) return 3;
        ReplacingFileSet set;
        const std::string temp = set.add(project);
        if (temp.empty()) return 4;
        writeText(temp, "new");
        return set.commit() ? 0 : 5;
    };
    if (!root) {
        EXPECT_EQ(replace(), 0);
    } else {
        ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
        for (const std::string& path : {target, project}) ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(9);
            ::_exit(replace());
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    for (const std::string& path : {target, project}) {
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0200u) << path;
        ::chmod(path.c_str(), 0600);
        EXPECT_EQ(readText(path), "new") << path;
    }
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"photo.lyr", "view_02.bmp"}));
}

// A large target has its cached pages dropped while the new file is
// written, and writers start the disk on what they wrote: neither touches
// the old file's contents, whether the new one is discarded or committed.
TEST(SafeFile, ALargeTargetIsReplacedOrKeptWhole) {
    TempDir dir;
    const std::string target = dir.file("composite.bmp");
    const std::string old(static_cast<std::size_t>(ReplacingFile::kDropCacheBytes) + 5, 'o');
    writeText(target, old);
    {
        ReplacingFile file;
        ASSERT_TRUE(file.open(target));
        std::fputs("unfinished", file.stream());
        startWriteback(file.stream());
    }
    EXPECT_TRUE(readText(target) == old) << "a discarded file leaves the old one";
    ReplacingFile file;
    ASSERT_TRUE(file.open(target));
    const std::string part(3 << 20, 'n');
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(std::fwrite(part.data(), 1, part.size(), file.stream()), part.size());
        startWriteback(file.stream());
    }
    std::fputs("end", file.stream());
    ASSERT_TRUE(file.commit());
    const std::string now = readText(target);
    EXPECT_TRUE(now == part + part + part + "end") << now.size() << " bytes";
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"composite.bmp"});
    startWriteback(nullptr);  // nothing to do
}

TEST(SafeFile, TemporaryNamesAreNewUnguessableAndKeepTheExtension) {
    TempDir dir;
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        std::string temp;
        const int fd = createFileBeside(dir.file("view.jpg"), temp);
        ASSERT_GE(fd, 0);
        ::close(fd);
        EXPECT_EQ(fs::path(temp).parent_path(), dir.path());
        const std::string name = fs::path(temp).filename().string();
        EXPECT_EQ(name.rfind(".~plastora-", 0), 0u) << name;
        EXPECT_EQ(name.substr(name.size() - 9), "-view.jpg") << name;
        EXPECT_TRUE(seen.insert(name).second) << "name used twice: " << name;
    }
    // A long name is cut from the front on a character boundary (half a
    // character is refused by exFAT and FAT), keeping the extension.
    std::string kanji;
    for (int i = 0; i < 66; ++i) kanji += "\u5199";
    for (const std::string& target : {kanji + ".jpg", std::string(61, 'a') + "\U0001F600\U0001F600.jpg",
                                      std::string(250, 'b') + ".jpg"}) {
        std::string temp;
        const int fd = createFileBeside(dir.file(target), temp);
        ASSERT_GE(fd, 0) << target;
        ::close(fd);
        const std::string name = fs::path(temp).filename().string();
        EXPECT_LE(name.size(), 143u) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".jpg") << name;
        EXPECT_TRUE(QString::fromStdString(name).toStdString() == name) << "not whole UTF-8: " << name;
    }
}

// One file under two names: one inode, or names differing only in case in
// one folder describing the same size and time that the folder does not
// list apart (a memory card's exFAT through FUSE gives each spelling an
// inode of its own and lists one; a listing of one spelling stands in for
// it here). Copies that kept their time, on a disk that minds case, are two
// files.
TEST(SafeFile, OneFileUnderTwoNamesIsTheSameFile) {
    TempDir dir;
    std::ofstream(dir.file("photo.jpg")) << "pixels";
    ASSERT_EQ(::link(dir.file("photo.jpg").c_str(), dir.file("other.jpg").c_str()), 0);
    EXPECT_TRUE(isSameFile(dir.file("photo.jpg"), dir.file("other.jpg")));
    EXPECT_TRUE(isSameFile(dir.file("photo.jpg"), dir.path().string() + "/./photo.jpg"));
    fs::create_directory(dir.file("Card"));
    fs::create_directory(dir.file("card"));
    std::ofstream(dir.file("Card/写真.JPG")) << "pixels";
    const auto time = fs::last_write_time(dir.file("Card/写真.JPG"));
    for (const char* copy : {"Card/写真.jpg", "Card/copy.jpg", "card/写真.jpg"}) {
        fs::copy_file(dir.file("Card/写真.JPG"), dir.file(copy));
        fs::last_write_time(dir.file(copy), time);
    }
    const FolderListsBoth oneSpelling = [](const std::string&, const std::string&, const std::string&) { return false; };
    EXPECT_TRUE(isSameFile(dir.file("Card/写真.JPG"), dir.file("Card/写真.jpg"), oneSpelling));
    EXPECT_TRUE(isSameFile(dir.file("Card/写真.JPG"), dir.file("card/写真.jpg"), oneSpelling)) << "the folder too";
    EXPECT_FALSE(isSameFile(dir.file("Card/写真.JPG"), dir.file("Card/写真.jpg"))) << "both listed: two files";
    EXPECT_FALSE(isSameFile(dir.file("Card/写真.JPG"), dir.file("card/写真.jpg"))) << "both folders listed";
    EXPECT_FALSE(isSameFile(dir.file("Card/写真.JPG"), dir.file("Card/copy.jpg"), oneSpelling)) << "another name";
    EXPECT_FALSE(isSameFile(dir.file("photo.jpg"), dir.file("none.jpg")));
    fs::last_write_time(dir.file("Card/写真.jpg"), time + std::chrono::seconds(1));
    EXPECT_FALSE(isSameFile(dir.file("Card/写真.JPG"), dir.file("Card/写真.jpg"), oneSpelling)) << "another time";
    // Names that are not UTF-8 are told apart by their bytes.
    EXPECT_FALSE(namesEqualIgnoringCase("\x8e\xca", "\x93\xae"));
    EXPECT_TRUE(namesEqualIgnoringCase("\x8e\xca.JPG", "\x8e\xca.jpg"));
    EXPECT_TRUE(namesEqualIgnoringCase("Photo.JPG", "photo.jpg"));
}

TEST(SafeFile, SavingThroughALinkTheUserNamedWritesTheLinkedFile) {
    TempDir dir;
    writeText(dir.file("real.txt"), "old");
    fs::create_symlink(dir.file("real.txt"), dir.file("link.txt"));
    ASSERT_TRUE(writeFileReplacing(dir.file("link.txt"), "new", 3));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(readText(dir.file("real.txt")), "new");
    // A link to a file not made yet (relative, into another folder) makes
    // that file and stays a link.
    fs::create_directory(dir.file("shared"));
    fs::create_symlink("shared/later.txt", dir.file("later.txt"));
    ASSERT_TRUE(writeFileReplacing(dir.file("later.txt"), "made", 4));
    EXPECT_TRUE(fs::is_symlink(dir.file("later.txt")));
    EXPECT_EQ(readText(dir.file("shared/later.txt")), "made");
}

// A file saved over keeps its owner and group (a shared file saved by
// another user stayed locked against its owner), as far as this process may
// give them: all of it for root, as the test runs in CI.
TEST(SafeFile, AReplacedFileKeepsItsOwnerGroupAndMode) {
    TempDir dir;
    const std::string target = dir.file("team.jpg");
    writeText(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(target.c_str(), 1, 100), 0);
    }
    struct stat before {};
    ASSERT_EQ(::stat(target.c_str(), &before), 0);
    ASSERT_TRUE(writeFileReplacing(target, "new", 3));
    struct stat after {};
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(readText(target), "new");
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    // A picture written over a set-user-ID or set-group-ID program does not
    // carry those bits.
    ASSERT_EQ(::chmod(target.c_str(), 06755), 0);
    ASSERT_TRUE(writeFileReplacing(target, "pic", 3));
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0755u);
}

TEST(SafeFile, ASetIsPutInPlaceWholeOrNotAtAll) {
    TempDir dir;
    for (const char* n : {"p.bmp", "p.msk", "p.lyr"}) writeText(dir.file(n), std::string("old ") + n);
    {
        ReplacingFileSet set;
        const std::string a = set.add(dir.file("p.bmp"));
        const std::string b = set.add(dir.file("p.msk"));
        ASSERT_FALSE(a.empty());
        ASSERT_FALSE(b.empty());
        writeText(a, "new bmp");
        // The set ends without a commit (a later file failed).
    }
    EXPECT_EQ(readText(dir.file("p.bmp")), "old p.bmp");
    EXPECT_EQ(readText(dir.file("p.msk")), "old p.msk");
    EXPECT_EQ(namesIn(dir.path()).size(), 3u);

    ReplacingFileSet set;
    for (const char* n : {"p.bmp", "p.msk", "p.lyr"}) writeText(set.add(dir.file(n)), std::string("new ") + n);
    // A folder in a file's place is refused when it is added, before any
    // file of the set replaced anything.
    fs::create_directory(dir.file("p.m01"));
    EXPECT_TRUE(set.add(dir.file("p.m01")).empty());
    ASSERT_TRUE(set.commit());
    for (const char* n : {"p.bmp", "p.msk", "p.lyr"}) EXPECT_EQ(readText(dir.file(n)), std::string("new ") + n);
    EXPECT_EQ(namesIn(dir.path()).size(), 4u);
}

// A set waits while another program puts its own set into the folder (two
// saves of one project at once gave a project of one save's picture and
// the other's description, which no longer opened).
TEST(SafeFile, ASetWaitsForAnotherSetInItsFolder) {
    TempDir dir;
    writeText(dir.file("p.lyr"), "old");
    ReplacingFileSet set;
    writeText(set.add(dir.file("p.lyr")), "new");
    std::optional<FolderLock> other(std::in_place, dir.file("p.bmp"));
    std::thread saving([&] { EXPECT_TRUE(set.commit()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(readText(dir.file("p.lyr")), "old");
    other.reset();
    saving.join();
    EXPECT_EQ(readText(dir.file("p.lyr")), "new");
}

// A run ended by a signal (Ctrl-C, a kill, a log pipe closed early) while writing leaves neither its
// temporary files nor its private folder, and ends by that signal. A set
// being renamed into place is finished before the signal ends the run.
TEST(SafeFile, ASignalEndingTheRunRemovesItsTemporaryFiles) {
    TempDir dir;
    const std::string target = dir.file("out.bmp");
    writeText(target, "old");
    const auto endedBy = [](const std::function<void()>& child) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            removeTemporariesOnSignals();
            child();
            std::_Exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
    };
    for (const int sig : {SIGTERM, SIGPIPE}) {
        EXPECT_EQ(endedBy([&] {
                      ReplacingFile f;
                      if (!f.open(target) || !f.write("new", 3)) std::_Exit(3);
                      const std::string folder = tempFolder();
                      writeText(folder + "/piece.jpg", "x");
                      writeText(dir.file("folder.txt"), folder);
                      if (sig != SIGPIPE) std::raise(sig);
                      int ends[2];
                      if (::pipe(ends) != 0) std::_Exit(3);
                      ::close(ends[0]);
                      (void)!::write(ends[1], "progress", 8);  // the reader has gone
                  }),
                  sig);
        EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"out.bmp", "folder.txt"})) << sig;
        EXPECT_EQ(readText(target), "old");
        EXPECT_FALSE(fs::exists(readText(dir.file("folder.txt"))));
    }

    EXPECT_EQ(endedBy([&] {
                  ReplacingFileSet set;
                  writeText(set.add(target), "new");
                  writeText(set.add(dir.file("out.lyr")), "new");
                  const SignalsHeld held;
                  std::raise(SIGINT);  // waits for the set
                  if (!set.commit()) std::_Exit(3);
              }),
              SIGINT);
    EXPECT_EQ(readText(target), "new");
    EXPECT_EQ(readText(dir.file("out.lyr")), "new");
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"out.bmp", "out.lyr", "folder.txt"}));
}

TEST(TempFolder, PrivateToThisRunAndGoneWhenAsked) {
    TempDir shared;
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", shared.path().c_str(), 1);
    const std::string folder = tempFolder();
    EXPECT_EQ(tempFolder(), folder) << "one folder for the run";
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(fs::path(folder).parent_path(), shared.path());
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());

    // Removed by someone else: the next use makes a new one.
    writeText(joinPath(folder, "piece.jpg"), "x");
    fs::remove_all(folder);
    const std::string again = tempFolder();
    EXPECT_TRUE(fs::is_directory(again));
    removeTempFolders();
    EXPECT_FALSE(fs::exists(again));
    EXPECT_TRUE(fs::is_empty(shared.path()));

    if (saved.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", saved.c_str(), 1);
}

TEST(TempFolder, ConfigurationFolderFollowsXdg) {
    TempDir home;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
    EXPECT_EQ(userConfigFolder(), home.file("Plastora"));
    EXPECT_TRUE(fs::is_directory(home.file("Plastora")));
    // A folder everybody may write (made beforehand in a shared place by
    // another user, who could plant links to the user's files in it) is
    // not taken; nor is one another user owns.
    fs::permissions(home.file("Plastora"), fs::perms::all);
    EXPECT_EQ(userConfigFolder(), "");
    EXPECT_FALSE(isOwnFolder(home.file("Plastora"))) << "nor read from (the command line's settings)";
    fs::permissions(home.file("Plastora"), fs::perms::owner_all);
    EXPECT_EQ(userConfigFolder(), home.file("Plastora"));
    if (::geteuid() == 0 && ::chown(home.file("Plastora").c_str(), 65534, 65534) == 0) {
        EXPECT_EQ(userConfigFolder(), "");
    }
    if (saved.empty()) unsetenv("XDG_CONFIG_HOME");
    else setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace plastora

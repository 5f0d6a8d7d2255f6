#include "platform/SignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace plastora {

namespace {

// The records live in fixed memory: the handler may only use what is safe
// in a signal handler (no allocation, no locks), so it reads these slots
// and calls unlink, getdents64, unlinkat and rmdir.
enum SlotState : int { kFree = 0, kWriting = 1, kFile = 2, kFolder = 3 };
struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX] = {};
};
constexpr int kSlots = 256;
// Zeroed at load time (no start-up code touches its megabyte).
constinit Slot g_slots[kSlots];

std::atomic<int> g_held{0};
std::atomic<int> g_pending{0};

void track(const std::string& path, int kind) {
    if (path.empty() || path.size() >= PATH_MAX) return;
    for (Slot& s : g_slots) {
        int expected = kFree;
        if (!s.state.compare_exchange_strong(expected, kWriting, std::memory_order_acquire)) continue;
        std::memcpy(s.path, path.c_str(), path.size() + 1);
        s.state.store(kind, std::memory_order_release);
        return;
    }
}

// The entries of a private folder (flat: files only) and the folder.
void removeFolder(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (n <= 0) break;
            for (long at = 0; at < n;) {
                // struct linux_dirent64: inode (8), offset (8), record
                // length (2), type (1), then the name.
                unsigned short length;
                std::memcpy(&length, buffer + at + 16, sizeof length);
                const char* name = buffer + at + 19;
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) ::unlinkat(fd, name, 0);
                at += length;
            }
        }
        ::close(fd);
    }
    ::rmdir(path);
}

void removeTracked() {
    for (Slot& s : g_slots) {
        const int state = s.state.load(std::memory_order_acquire);
        if (state == kFile)
            ::unlink(s.path);
        else if (state == kFolder)
            removeFolder(s.path);
    }
}

void endBy(int sig) {
    removeTracked();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void onSignal(int sig) {
    const int saved = errno;
    if (g_held.load() > 0) {
        g_pending.store(sig);
        // The hold may have ended on another thread meanwhile, before it
        // could see the signal: then it is taken here.
        if (g_held.load() > 0 || g_pending.exchange(0) == 0) {
            errno = saved;
            return;
        }
    }
    endBy(sig);
    errno = saved;
}

}  // namespace

void trackTemporaryFile(const std::string& path) { track(path, kFile); }
void trackTemporaryFolder(const std::string& path) { track(path, kFolder); }

void untrackTemporary(const std::string& path) {
    for (Slot& s : g_slots) {
        const int state = s.state.load(std::memory_order_acquire);
        if ((state == kFile || state == kFolder) && path == s.path) {
            s.state.store(kFree, std::memory_order_release);
            return;
        }
    }
}

void removeTemporariesOnSignals() {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(sig, &action, nullptr);
    }
    // A write past the file-size limit (ulimit -f) then fails with EFBIG
    // and is reported like a full disk, instead of ending the process with
    // no message and its temporary files left.
    ::signal(SIGXFSZ, SIG_IGN);
}

SignalsHeld::SignalsHeld() { g_held.fetch_add(1); }

SignalsHeld::~SignalsHeld() {
    if (g_held.fetch_sub(1) != 1) return;
    if (const int sig = g_pending.exchange(0); sig != 0) endBy(sig);
}

}  // namespace plastora

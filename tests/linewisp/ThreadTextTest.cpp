// Text drawn first on worker threads (a library user's program): the GUI
// object text needs is made once, and the process still ends cleanly. The
// work runs in a child run of this test program, since a crash would come
// at the process's exit.
#include "LinewispTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace lwtest;

namespace {

constexpr const char* kChildVariable = "PLASTORA_TEXT_THREAD_CHILD";

// Reads the label metafile (two texts) and paints it.
int paintLabel() {
    Picture p;
    const VectDC screen{nullptr, 96, 96};
    if (VectWmfRead(&screen, dataFile("label.wmf").c_str(), &p.packet) <= 0) return 0;
    // The packet owns the surface (freed with the picture).
    plastora::Surface* s = VectCreateSourceSurface(&p.packet, p.packet.right + 20, p.packet.bottom + 20);
    if (!s) return 0;
    const VectDC dc{s, 96, 96};
    return VectVectPaint(&dc, &p.packet, 1);
}

}  // namespace

TEST(ThreadText, TextFirstDrawnOnWorkerThreadsEndsCleanly) {
    if (std::getenv(kChildVariable)) {
        // The child: two threads whose first drawing is text, at once.
        int a = 0, b = 0;
        std::thread first([&] { a = paintLabel(); }), second([&] { b = paintLabel(); });
        first.join();
        second.join();
        EXPECT_NE(a, 0);
        EXPECT_NE(b, 0);
        return;
    }
    std::vector<std::string> args = {"/proc/self/exe", "--gtest_filter=ThreadText.TextFirstDrawnOnWorkerThreadsEndsCleanly"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {std::string(kChildVariable) + "=1"};
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    for (int run = 0; run < 3; ++run) {
        pid_t child = 0;
        ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv.data(), envp.data()), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "run " << run << ": " << (WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status)) : "exit " + std::to_string(WEXITSTATUS(status)));
    }
}

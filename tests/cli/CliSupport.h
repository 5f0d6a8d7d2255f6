// Running the command-line tool from tests and reading what it wrote.
#pragma once

#include "core/StillImage.h"
#include "platform/Host.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace plastora::test {

struct CliRun {
    int code = -1;
    std::string out;
};

// Runs a shell command line, capturing stdout and stderr together.
inline CliRun shell(const std::string& cmd) {
    CliRun r;
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Runs the tool with the arguments (quote them with q()), under a Japanese
// locale: the program's own texts are checked exactly as they are.
inline CliRun cli(const std::string& args) {
    return shell(std::string("LC_ALL=ja_JP.UTF-8 '") + PLASTORA_CLI + "' " + args);
}
// The same under another locale (e.g. "en_US.UTF-8").
inline CliRun cliIn(const std::string& locale, const std::string& args) {
    return shell("LC_ALL=" + locale + " '" + PLASTORA_CLI + "' " + args);
}

inline std::string q(const std::string& s) { return "'" + s + "'"; }

// A picture file read the way the program reads it.
inline Surface load(const std::string& path) {
    SilentHost host;
    Surface s;
    int w = 0, h = 0;
    EXPECT_EQ(LoadStillImage(host, path, std::nullopt, s, w, h), 1) << path;
    return s;
}

}  // namespace plastora::test

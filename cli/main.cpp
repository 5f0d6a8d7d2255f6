// plastora-cli: headless use of the Plastora picture core.
#include "core/BandRunner.h"
#include "platform/SignalCleanup.h"
#include "platform/StandardDescriptors.h"
#include "cli/Cli.h"
#include "core/RecentFiles.h"
#include "core/Settings.h"
#include "core/Version.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Translation.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

using namespace plastora::cli;

namespace {

void printHelp() {
    std::cout << plastora::versionText() << tr(" - command-line front end") << "\n\n"
              << tr("usage: plastora-cli COMMAND [ARGS...]\n"
                    "       plastora-cli help COMMAND   (or COMMAND --help): that command's options\n"
                    "       --lang ja|en anywhere: the language of messages (default: settings, then locale)\n")
              << "\n"
              << tr("commands:") << "\n";
    for (const auto& [name, c] : commands()) {
        std::cout << "  " << name << " " << c.usage << "\n      " << tr(c.summary.c_str()) << "\n";
    }
}

int printCommandHelp(const std::string& name) {
    const std::string help = commandHelp(name);
    if (help.empty()) {
        std::cerr << tr("plastora-cli: unknown command '%1' (see plastora-cli --help)", {name}) << "\n";
        return kExitUsage;
    }
    std::cout << help;
    return kExitOk;
}

}  // namespace

int main(int argcIn, char** argvIn) {
    plastora::openClosedStandardDescriptors();
    // Ctrl-C or a kill while a file is written leaves no temporary file.
    plastora::removeTemporariesOnSignals();
    // OpenCV's thread count from its own variable: Debian's OpenCV runs on
    // TBB, which does not read it, so without this the work would still be
    // shared out with every core.
    if (const char* threads = std::getenv("OPENCV_FOR_THREADS_NUM")) {
        const long n = std::strtol(threads, nullptr, 10);
        // More than the cores would only make TBB print a warning and a
        // blank line on stderr, and change nothing.
        if (n > 0 && n <= 1024) cv::setNumThreads(std::min(static_cast<int>(n), cv::getNumberOfCPUs()));
    }
    plastora::runSurfaceBandsOnEveryCore();
    plastora::startWorkerPool();
    // "--lang ja|en" anywhere before "--" chooses the language of the
    // program's messages over the settings file and the locale.
    std::vector<char*> kept;
    std::optional<std::string> lang;
    // A command's own settings file (--settings) holds its language too.
    std::string settingsFile = plastora::readSettingsPath();
    bool afterDashes = false;
    for (int i = 0; i < argcIn; ++i) {
        const std::string a = argvIn[i];
        if (!afterDashes && i > 0 && (a == "--settings" || a.rfind("--settings=", 0) == 0)) {
            const std::string given = a == "--settings" ? (i + 1 < argcIn ? argvIn[i + 1] : "") : a.substr(11);
            // Only a regular file is read here (a named pipe would wait for a
            // writer); the command itself reports anything else.
            std::error_code ec;
            if (!given.empty() && std::filesystem::is_regular_file(given, ec) &&
                std::filesystem::file_size(given, ec) <= plastora::kMaxProfileBytes && !ec)
                settingsFile = given;
        }
        if (!afterDashes && i > 0 && a == "--lang") {
            // Given last, with no value: the same refusal as a wrong value.
            lang = i + 1 < argcIn ? std::string(argvIn[++i]) : std::string();
            continue;
        }
        if (!afterDashes && i > 0 && a.rfind("--lang=", 0) == 0) {
            lang = a.substr(7);
            continue;
        }
        if (a == "--") afterDashes = true;
        kept.push_back(argvIn[i]);
    }
    // An unknown --lang is reported in the language the rest would choose.
    plastora::loadTranslations(plastora::chooseLanguage(lang, settingsFile),
                               plastora::joinPath(plastora::programFolder(), "translations"));
    if (lang && !plastora::languageFromName(*lang)) {
        std::cerr << tr("plastora-cli: --lang must be ja or en") << "\n";
        return kExitUsage;
    }
    const int argc = static_cast<int>(kept.size());
    char** argv = kept.data();
    if (argc < 2) {
        printHelp();
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "help" && argc >= 3) return printCommandHelp(argv[2]);
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp();
        return kExitOk;
    }
    if (name == "--version") {
        std::cout << plastora::versionText() << "\n";
        return kExitOk;
    }
    auto it = commands().find(name);
    if (it == commands().end()) {
        std::cerr << tr("plastora-cli: unknown command '%1' (see plastora-cli --help)", {name}) << "\n";
        return kExitUsage;
    }
    // A batch run leaves the desktop program's state alone: the settings
    // file (installed or --settings) is read, never written, and the
    // recent-file list is not touched.
    plastora::setSettingsReadOnly(true);
    plastora::setRecentFilesRecorded(false);
    std::vector<std::string> args(argv + 2, argv + argc);
    // "--help" anywhere before a "--" asks for the command's help instead.
    for (const std::string& a : args) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") return printCommandHelp(name);
    }
    const int rc = runCommand(it->second, args);
    // What a command reports on standard output (info's report, the files
    // views wrote) is its result: a full disk or a closed pipe there is a
    // failure, not a success.
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::cerr << tr("plastora-cli: the standard output could not be written") << "\n";
        return rc == kExitOk ? kExitFailure : rc;
    }
    return rc;
}

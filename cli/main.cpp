// plastora-cli: headless use of the Plastora picture core.
#include "cli/Cli.h"
#include "core/RecentFiles.h"
#include "core/Settings.h"
#include "core/Version.h"

#include <cstdio>
#include <iostream>

using namespace plastora::cli;

namespace {

void printHelp() {
    std::cout << plastora::versionText() << " - command-line front end\n\n"
              << "usage: plastora-cli COMMAND [ARGS...]\n\ncommands:\n";
    for (const auto& [name, c] : commands()) {
        std::cout << "  " << name << " " << c.usage << "\n      " << c.summary << "\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printHelp();
        return kExitUsage;
    }
    const std::string name = argv[1];
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
        std::cerr << "plastora-cli: unknown command '" << name << "' (see plastora-cli --help)\n";
        return kExitUsage;
    }
    // A batch run leaves the desktop program's state alone: the settings
    // file (installed or --settings) is read, never written, and the
    // recent-file list is not touched.
    plastora::setSettingsReadOnly(true);
    plastora::setRecentFilesRecorded(false);
    std::vector<std::string> args(argv + 2, argv + argc);
    return it->second.run(args);
}

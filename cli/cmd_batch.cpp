// batch: many commands in one process, for test drivers that run thousands of
// files through the tool (a sanitizer build starts slowly, the commands
// themselves are quick).
#include "cli/Cli.h"
#include "platform/Translation.h"
#include "platform/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace plastora::cli {

namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string f;
    while (std::getline(s, f, '\t')) out.push_back(f);
    return out;
}

// Each line: optional NAME=VALUE fields (set in the environment for that
// command; PLASTORA_PROGRAM_FOLDER=DIR makes DIR the program folder, where
// the settings file is looked for), then the command and its arguments, all
// separated by tabs; tabs before the first field, a UTF-8 byte-order mark
// (as some editors save) and lines starting with '#' are comments or layout,
// not commands. After each command "#batch N EXIT" goes to stderr (N counts
// lines from 0; blank and comment lines are skipped); in a sanitizer build a
// leak found after a command is reported before that line and gives EXIT 99.
int runBatch(const std::vector<std::string>& argv) {
    if (argv.size() != 1) return usageError("batch", tr("expects one file of commands"));
    std::ifstream in(argv[0]);
    // A folder opens as a stream and reads as no lines: not a success. (A
    // pipe, /dev/stdin say, is read as any file.)
    std::error_code ec;
    if (!in || std::filesystem::is_directory(argv[0], ec)) return failure(argv[0] + ": " + translateText("ファイルの読み込みに失敗しました。"));
    std::string line;
    int failures = 0;
    for (int index = 0; std::getline(in, line); ++index) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // a file with CRLF line ends
        if (index == 0 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        // A blank line (as an editor leaves at the end) or a comment is not a
        // command: it is skipped without a "#batch" line, and N still counts
        // every line.
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::vector<std::string> f = fields(line.substr(line.find_first_not_of('\t')));
        std::vector<std::pair<std::string, std::string>> env;
        std::size_t i = 0;
        for (; i < f.size() && f[i].find('=') != std::string::npos && f[i].find('=') > 0; ++i)
            env.emplace_back(f[i].substr(0, f[i].find('=')), f[i].substr(f[i].find('=') + 1));
        int code = kExitUsage;
        if (i < f.size() && f[i] == "batch") {
            code = usageError("batch", tr("line %1: a batch cannot run another batch", {std::to_string(index + 1)}));
        } else if (i < f.size()) {
            const auto it = commands().find(f[i]);
            if (it == commands().end()) code = usageError("batch", tr("line %1: unknown command %2", {std::to_string(index + 1), f[i]}));
            if (it != commands().end()) {
                std::string folder = programFolder();
                // What the variables were before the line, to be put back
                // after it (in reverse, for a name given twice).
                std::vector<std::pair<std::string, std::optional<std::string>>> before;
                for (const auto& [name, value] : env) {
                    if (name == "PLASTORA_PROGRAM_FOLDER") {
                        setProgramFolder(value);
                    } else {
                        const char* old = std::getenv(name.c_str());
                        before.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
                        ::setenv(name.c_str(), value.c_str(), 1);
                    }
                }
                code = runCommand(it->second, std::vector<std::string>(f.begin() + static_cast<long>(i) + 1, f.end()));
                for (auto b = before.rbegin(); b != before.rend(); ++b) {
                    if (b->second)
                        ::setenv(b->first.c_str(), b->second->c_str(), 1);
                    else
                        ::unsetenv(b->first.c_str());
                }
                setProgramFolder(folder);
            }
        } else {
            code = usageError("batch", tr("line %1: no command", {std::to_string(index + 1)}));
        }
#if defined(__SANITIZE_ADDRESS__)
        if (__lsan_do_recoverable_leak_check() != 0) code = 99;
#endif
        // A command whose output could not be written did not succeed; the
        // next command's output is another matter.
        if (!std::cout.flush() && code == kExitOk) code = kExitFailure;
        std::cout.clear();
        std::cerr << "#batch " << index << " " << code << std::endl;
        failures += code != kExitOk;
    }
    return failures ? kExitFailure : kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"batch", "FILE",
                      "runs the commands listed in FILE (one a line, arguments separated by tabs, optional "
                      "NAME=VALUE fields first for its environment) in one process; for test drivers",
                      &runBatch});
PLASTORA_CLI_HELP("batch",
                  "FILE holds one command a line: optional NAME=VALUE fields first, then the command and its\n"
                  "arguments, all separated by tabs. After each command \"#batch N EXIT\" goes to stderr (N counts\n"
                  "from 0 over every line; blank lines and lines starting with # are skipped). The exit code is 1\n"
                  "when any command failed.\n\n"
                  "example:\n"
                  "  plastora-cli batch commands.tsv\n");

}  // namespace plastora::cli

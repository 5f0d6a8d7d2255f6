// plastora-cli: the command-line front end over the picture core.
//
// Each subcommand lives in a file of its own (cli/cmd_<name>.cpp) and
// registers itself with PLASTORA_CLI_COMMAND. Exit codes: 0 success, 1 failure
// with the system's own message on stderr, 2 bad usage. Nothing ever asks a
// question on the terminal: the CliHost answers from the options.
#pragma once

#include "platform/Host.h"

namespace plastora {
class CStereoWorkspace;
}

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace plastora::cli {

// The command line's own texts (usage, help, option errors, its messages)
// are written here in English and shown in the chosen language: Japanese
// comes from the translation file (translateEnglish). %1, %2, ... in the
// text are replaced by `args` after translation.
std::string tr(const char* english, const std::vector<std::string>& args = {});
// Marks an English text kept in a table for translation; tr() translates it
// where it is shown.
constexpr const char* N_(const char* english) { return english; }

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Parsed arguments: positionals in order, and options by name. An option
// "--name value" or "--name=value"; a bare flag "--name" has an empty value.
// "-o" is the same as "--output".
class Args {
public:
    // `flags` are the option names that take no value.
    bool parse(const std::vector<std::string>& argv, const std::vector<std::string>& flags, std::string& error);

    const std::vector<std::string>& positional() const { return m_positional; }
    bool has(const std::string& name) const { return m_options.count(name) != 0; }
    std::optional<std::string> get(const std::string& name) const;
    // Reads an integer/float option; false (with a message in `error`) when
    // it is present but not a number in [lo, hi].
    bool getInt(const std::string& name, int lo, int hi, std::optional<int>& out, std::string& error) const;
    bool getDouble(const std::string& name, double lo, double hi, std::optional<double>& out,
                   std::string& error) const;
    // False with the usage error when an option given is not in `known`
    // (named first, so a misspelt last option is called unknown), or when
    // the last option given takes a value and has none.
    bool checkKnown(const std::vector<std::string>& known, std::string& error) const;

private:
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_options;
    std::string m_missingValue;  // a last option left without its value
};

// The host of the command-line tool: messages go to stderr; questions are
// answered by --yes / --no (default: the dialog's default button); file and
// colour dialogs are cancelled; progress is shown on stderr when --progress.
class CliHost : public Host {
public:
    std::optional<MsgResult> forcedAnswer;  // from --yes / --no
    // A progress bar on stderr: on when stderr is a terminal; a command's
    // --progress forces it on (setProgressOption).
    bool showProgress = stderrIsTerminal();
    void setProgressOption(bool forced) { showProgress = forced || stderrIsTerminal(); }
    // The files the command reads and writes: every message is printed after
    // the name of the file it concerns, and a failure to read or write says
    // why when the file itself tells (missing, not readable, not a project,
    // folder missing or not writable, ...).
    std::string readSubject;
    std::string writeSubject;
    // Messages about one particular other file (a depth map read beside
    // the photo) name that file instead.
    std::map<std::string, std::string> messageSubjects;

    static bool stderrIsTerminal();

    using Host::message;
    MsgResult message(const MessageRequest& request) override;
    std::optional<std::string> fileDialog(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<ColorRef> chooseColor(ColorRef) override { return std::nullopt; }
    void progressBegin(const std::string& caption, int minimum, int maximum) override;
    void progressSet(int position) override;
    void progressEnd() override;
    void redraw() override {}
    // Status notes are kept; commands print them with their results.
    void status(const std::string& text) override { statusNotes.push_back(text); }
    std::vector<std::string> statusNotes;

    // Messages shown so far (the last one is what a failing command reports).
    std::vector<std::string> messages;

private:
    void drawProgress(int percent);
    std::string m_caption;
    int m_min = 0, m_max = 0, m_lastPercent = -1;
};

struct Command {
    std::string name;
    std::string usage;    // one line: arguments and options
    std::string summary;  // one line: what it does
    int (*run)(const std::vector<std::string>& args);
};

// Runs the command. Whatever it throws (memory running out inside a worker,
// a thread refused, an error of OpenCV's) is reported as its failure, after
// the unwinding has removed the temporary files of what it was writing.
int runCommand(const Command& command, const std::vector<std::string>& args);

// Registers a command at start-up; returns true.
bool registerCommand(const Command& command);
const std::map<std::string, Command>& commands();

// Registers the long help of a command (every option with its unit and
// range, and an example), shown by "help CMD" and "CMD --help". %1 and %2
// in the text stand for the list of paper sizes and of trimming modes.
bool registerHelp(const std::string& name, const std::string& text);
// The whole help of a command: usage, summary, long help. Empty when there
// is no such command.
std::string commandHelp(const std::string& name);

// The paper sizes and trimming modes by number and name, for help texts, and
// the options that take either a number or an (English) name.
std::string paperChoicesText();
std::string trimChoicesText();
bool getPaper(const Args& args, std::optional<int>& out, std::string& error);
bool getTrim(const Args& args, std::optional<int>& out, std::string& error);

// "a,b": two whole numbers in base 10, each within int, nothing else.
bool parseIntPair(const std::string& text, int& a, int& b);
// True when `a` and `b` name the same file: the same file on disk when both
// exist, else the same path once made absolute and normal.
bool sameFile(const std::string& a, const std::string& b);
// kExitOk unless `output` is the same file as `input`; then the usage error
// (exit 2) saying so: writing it would replace what the command reads.
int refuseInputAsOutput(const std::string& commandName, const std::string& output, const std::string& input);

// kExitOk unless --settings names something there that cannot be read as
// a file (a folder, a file without read permission); then the failure (exit
// 1) naming it, rather than going on with the defaults. A file not there
// gives the defaults.
int checkSettingsOption(const Args& args);

// The one colour notation: "RRGGBB" or "#RRGGBB" in hexadecimal.
bool parseColourText(const std::string& text, ColorRef& out);
// The notation in English, and as shown in messages (translated).
constexpr const char* kColourNotation = N_("RRGGBB or #RRGGBB (hexadecimal red, green, blue)");
std::string colourNotation();

// What an output file becomes, decided by its extension without regard to
// case.
enum class OutputKind { Jpeg, Bmp, Png, Gif, Avi, Mpo, Project, Wmf, Swf, Pdf };
std::optional<OutputKind> outputKindOf(const std::string& path);
// kExitOk when `path` names a kind in `allowed`; otherwise a usage error
// (exit 2) that names the extension and lists what the command can write.
int checkOutput(const std::string& commandName, const std::string& path, const std::vector<OutputKind>& allowed);
// The same for a --format option (an extension without its dot), naming the option.
int checkFormatOption(const std::string& commandName, const std::string& format,
                      const std::vector<OutputKind>& allowed);
// kExitOk unless `output` is one of the files of the project the workspace
// was opened from (its edit image, a mask, its depth map, ...), which
// writing would destroy; then a usage error (exit 2) that names both.
int refuseProjectFile(const std::string& commandName, CStereoWorkspace& ws, const std::string& output);
// The same against the files `projectFiles` of `project` (which a save is
// about to write, say).
int refuseProjectFile(const std::string& commandName, const std::vector<std::string>& projectFiles,
                      const std::string& project, const std::string& output);
// kExitOk unless the project the workspace opened lost parts on the way in
// and `output` is that project itself; then the refusal (exit 1), as the
// save would make the loss permanent. Another name may be written.
int refuseIncompleteOverwrite(const std::string& commandName, CStereoWorkspace& ws, const std::string& output);
// The extensions of the still-picture outputs (.jpg .jpeg .bmp .png).
const std::vector<OutputKind>& pictureOutputs();

// Why a file cannot be read or written, as far as the file system tells
// (empty when it does not).
std::string whyUnreadable(const std::string& path);
std::string whyUnwritable(const std::string& path);
// "PATH: <the text> (<why it could not be written>)", as a failed save is
// reported; `text` is translated.
std::string unwritableText(const std::string& path, const std::string& text);

// Prints "plastora-cli CMD: <text>" and the command's usage line to stderr
// and returns kExitUsage.
int usageError(const std::string& commandName, const std::string& text);
// Prints the text to stderr (a Japanese message of the core in the chosen
// language) and returns kExitFailure.
int failure(const std::string& text);

// Opens a document to make pictures from: false when it cannot be opened,
// or when what its views are made from was lost on the way in (a stereo
// picture, the depth map; reported as it was met): they would come out flat.
bool openForViews(CStereoWorkspace& ws, const std::string& path);
// Opens the project and makes its views with the given (or stored) strength.
// A stereo-pair project gets its views from its pictures, the in-between
// ones by pattern matching unless `patternMatch` is off.
// Returns an exit code; kExitOk leaves all the views in `ws`.
// The in-between views of a pair are matched by the program's rule
// (defaultPatternMatchTick); `patternMatch` false turns matching off, and
// `method` chooses the matching method instead of [PM] "Method".
int openAndGenerate(CStereoWorkspace& ws, CliHost& host, const std::string& path, std::optional<int> strength,
                    bool patternMatch, std::optional<int> method = std::nullopt);
// The second half of openAndGenerate, for a project already open.
int generateViews(CStereoWorkspace& ws, CliHost& host, std::optional<int> strength, bool patternMatch,
                  std::optional<int> method = std::nullopt);
// Reads --method dense|blocks; false (with `error`) for any other value.
bool parseMethod(const Args& args, std::optional<int>& method, std::string& error);

}  // namespace plastora::cli

#define PLASTORA_CLI_HELP(name, text)                                                 \
    static const bool PLASTORA_CLI_CONCAT(plastoraCliHelp_, __LINE__) [[maybe_unused]] = \
        ::plastora::cli::registerHelp(name, text)
#define PLASTORA_CLI_CONCAT2(a, b) a##b
#define PLASTORA_CLI_CONCAT(a, b) PLASTORA_CLI_CONCAT2(a, b)
#define PLASTORA_CLI_COMMAND(...)                                                      \
    static const bool PLASTORA_CLI_CONCAT(plastoraCliRegistered_, __LINE__) [[maybe_unused]] = \
        ::plastora::cli::registerCommand(::plastora::cli::Command(__VA_ARGS__))

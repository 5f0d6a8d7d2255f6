#include "cli/Cli.h"

#include "core/Progress.h"
#include "core/StereoWorkspace.h"
#include "stereo/PatternMultiView.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace plastora::cli {

bool Args::parse(const std::vector<std::string>& argv, const std::vector<std::string>& flags, std::string& error) {
    m_positional.clear();
    m_options.clear();
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "--") {
            for (++i; i < argv.size(); ++i) m_positional.push_back(argv[i]);
            break;
        }
        if (a.size() > 1 && a[0] == '-' && !(a.size() > 1 && (std::isdigit(static_cast<unsigned char>(a[1])) != 0))) {
            std::string name, value;
            bool hasValue = false;
            if (a == "-o") {
                name = "output";
            } else if (a.rfind("--", 0) == 0) {
                name = a.substr(2);
                const auto eq = name.find('=');
                if (eq != std::string::npos) {
                    value = name.substr(eq + 1);
                    name = name.substr(0, eq);
                    hasValue = true;
                }
            } else {
                error = "unknown option " + a;
                return false;
            }
            const bool isFlag = std::find(flags.begin(), flags.end(), name) != flags.end();
            if (!hasValue && !isFlag) {
                if (i + 1 >= argv.size()) {
                    error = "option --" + name + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
            m_options[name] = value;
        } else {
            m_positional.push_back(a);
        }
    }
    return true;
}

std::optional<std::string> Args::get(const std::string& name) const {
    auto it = m_options.find(name);
    if (it == m_options.end()) return std::nullopt;
    return it->second;
}

bool Args::getInt(const std::string& name, int lo, int hi, std::optional<int>& out, std::string& error) const {
    out.reset();
    auto v = get(name);
    if (!v) return true;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(v->c_str(), &end, 0);
    if (v->empty() || *end != '\0' || errno != 0 || n < lo || n > hi) {
        error = "--" + name + " must be a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
        return false;
    }
    out = static_cast<int>(n);
    return true;
}

bool Args::getDouble(const std::string& name, double lo, double hi, std::optional<double>& out,
                     std::string& error) const {
    out.reset();
    auto v = get(name);
    if (!v) return true;
    char* end = nullptr;
    errno = 0;
    const double n = std::strtod(v->c_str(), &end);
    if (v->empty() || *end != '\0' || errno != 0 || !(n >= lo && n <= hi)) {
        error = "--" + name + " must be a number from " + std::to_string(lo) + " to " + std::to_string(hi);
        return false;
    }
    out = n;
    return true;
}

std::vector<std::string> Args::unknown(const std::vector<std::string>& known) const {
    std::vector<std::string> out;
    for (const auto& [k, v] : m_options)
        if (std::find(known.begin(), known.end(), k) == known.end()) out.push_back(k);
    return out;
}

MsgResult CliHost::message(const MessageRequest& request) {
    messages.push_back(request.text);
    std::cerr << request.text << std::endl;
    if (request.buttons == MsgButtons::Ok) return MsgResult::Ok;
    if (forcedAnswer) {
        const MsgResult a = *forcedAnswer;
        if (request.buttons == MsgButtons::OkCancel) return a == MsgResult::Yes || a == MsgResult::Ok ? MsgResult::Ok : MsgResult::Cancel;
        return a == MsgResult::Ok ? MsgResult::Yes : a;
    }
    SilentHost silent;
    return silent.message(request);
}

void CliHost::progressBegin(const std::string& caption, int minimum, int maximum) {
    m_caption = caption;
    m_min = minimum;
    m_max = maximum;
    m_lastPercent = -1;
}

void CliHost::progressSet(int position) {
    if (!showProgress || m_max <= m_min) return;
    const int pct = static_cast<int>(100LL * (position - m_min) / (m_max - m_min));
    if (pct != m_lastPercent) {
        m_lastPercent = pct;
        std::fprintf(stderr, "\r%s %3d%%", m_caption.c_str(), pct);
    }
}

void CliHost::progressEnd() {
    if (showProgress && m_lastPercent >= 0) std::fprintf(stderr, "\n");
}

namespace {
std::map<std::string, Command>& registry() {
    static std::map<std::string, Command> r;
    return r;
}
}  // namespace

bool registerCommand(const Command& command) {
    registry()[command.name] = command;
    return true;
}

const std::map<std::string, Command>& commands() { return registry(); }

int usageError(const std::string& commandName, const std::string& text) {
    std::cerr << "plastora-cli " << commandName << ": " << text << "\n";
    auto it = registry().find(commandName);
    if (it != registry().end()) std::cerr << "usage: plastora-cli " << it->second.name << " " << it->second.usage << "\n";
    return kExitUsage;
}

int failure(const std::string& text) {
    std::cerr << text << std::endl;
    return kExitFailure;
}

int openAndGenerate(CStereoWorkspace& ws, CliHost& host, const std::string& path, std::optional<int> strength,
                    bool patternMatch, std::optional<int> method) {
    if (!ws.Open(path)) return kExitFailure;
    HostProgress progress(host, "立体画像作成中");
    const int s = strength.value_or(ws.strength());
    if (ws.stereoPair())
        BuildPatternMultiView(ws, &progress, s, patternMatch && defaultPatternMatchTick(ws, s), method);
    else ws.GenerateViews(&progress, s, false);
    for (int i = 0; i < ws.viewCount(); ++i)
        if (ws.view(i).empty()) return kExitFailure;
    return kExitOk;
}

bool parseMethod(const Args& args, std::optional<int>& method, std::string& error) {
    method.reset();
    const auto v = args.get("method");
    if (!v) return true;
    if (*v == "dense") method = kMethodDense;
    else if (*v == "blocks") method = kMethodBlocks;
    else {
        error = "--method must be dense or blocks";
        return false;
    }
    return true;
}

}  // namespace plastora::cli

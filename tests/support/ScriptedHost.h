// ScriptedHost: a Host for tests. Every message the code under test shows
// must have been expected, with its exact text, in order; the scripted answer
// is returned. A message nobody expected fails the test, and so does an
// expectation left unused when the host is destroyed.
#pragma once

#include "platform/Host.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace plastora::test {

class ScriptedHost : public Host {
public:
    ~ScriptedHost() override;

    // The next message must have this text (and these buttons, when given);
    // it is answered with `answer`.
    ScriptedHost& expectMessage(const std::string& text, MsgResult answer = MsgResult::Ok,
                                std::optional<MsgButtons> buttons = std::nullopt,
                                std::optional<MsgIcon> icon = std::nullopt);
    // The next file dialog is answered with `path` (nullopt = cancelled).
    ScriptedHost& expectFileDialog(std::optional<std::string> path);
    ScriptedHost& expectColor(std::optional<ColorRef> color);

    MsgResult message(const MessageRequest& request) override;
    std::optional<std::string> fileDialog(const FileDialogRequest& request) override;
    std::optional<ColorRef> chooseColor(ColorRef initial) override;
    void progressBegin(const std::string& caption, int minimum, int maximum) override;
    void progressSet(int position) override;
    void progressEnd() override;
    void redraw() override { ++redraws; }
    void setTitle(const std::string& t) override { title = t; }

    // True when every expectation has been used.
    bool done() const { return m_messages.empty() && m_files.empty() && m_colors.empty(); }

    // What the code did, for assertions.
    std::vector<MessageRequest> shownMessages;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<std::string> progressCaptions;
    std::vector<int> progressPositions;
    int progressMin = 0, progressMax = 0;
    bool progressOpen = false;
    int redraws = 0;
    std::string title;

private:
    struct Expected {
        std::string text;
        MsgResult answer;
        std::optional<MsgButtons> buttons;
        std::optional<MsgIcon> icon;
    };
    std::deque<Expected> m_messages;
    std::deque<std::optional<std::string>> m_files;
    std::deque<std::optional<ColorRef>> m_colors;
};

}  // namespace plastora::test

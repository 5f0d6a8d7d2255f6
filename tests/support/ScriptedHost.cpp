#include "support/ScriptedHost.h"

#include <gtest/gtest.h>

namespace plastora::test {

ScriptedHost::~ScriptedHost() {
    for (const auto& e : m_messages) ADD_FAILURE() << "expected message never shown: " << e.text;
    if (!m_files.empty()) ADD_FAILURE() << m_files.size() << " expected file dialog(s) never opened";
    if (!m_colors.empty()) ADD_FAILURE() << m_colors.size() << " expected colour dialog(s) never opened";
    EXPECT_FALSE(progressOpen) << "progress window left open";
}

ScriptedHost& ScriptedHost::expectMessage(const std::string& text, MsgResult answer, std::optional<MsgButtons> buttons,
                                          std::optional<MsgIcon> icon) {
    m_messages.push_back({text, answer, buttons, icon});
    return *this;
}

ScriptedHost& ScriptedHost::expectFileDialog(std::optional<std::string> path) {
    m_files.push_back(std::move(path));
    return *this;
}

ScriptedHost& ScriptedHost::expectColor(std::optional<ColorRef> color) {
    m_colors.push_back(color);
    return *this;
}

MsgResult ScriptedHost::message(const MessageRequest& request) {
    shownMessages.push_back(request);
    if (m_messages.empty()) {
        ADD_FAILURE() << "unexpected message: " << request.text;
        return request.buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
    Expected e = m_messages.front();
    m_messages.pop_front();
    EXPECT_EQ(request.text, e.text);
    if (e.buttons) {
        EXPECT_EQ(static_cast<int>(request.buttons), static_cast<int>(*e.buttons)) << request.text;
    }
    if (e.icon) {
        EXPECT_EQ(static_cast<int>(request.icon), static_cast<int>(*e.icon)) << request.text;
    }
    return e.answer;
}

std::optional<std::string> ScriptedHost::fileDialog(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (m_files.empty()) {
        ADD_FAILURE() << "unexpected file dialog: " << request.title;
        return std::nullopt;
    }
    auto r = m_files.front();
    m_files.pop_front();
    return r;
}

std::optional<ColorRef> ScriptedHost::chooseColor(ColorRef) {
    if (m_colors.empty()) {
        ADD_FAILURE() << "unexpected colour dialog";
        return std::nullopt;
    }
    auto r = m_colors.front();
    m_colors.pop_front();
    return r;
}

void ScriptedHost::progressBegin(const std::string& caption, int minimum, int maximum) {
    EXPECT_FALSE(progressOpen) << "progress windows nested";
    progressOpen = true;
    progressCaptions.push_back(caption);
    progressMin = minimum;
    progressMax = maximum;
    progressPositions.clear();
}

void ScriptedHost::progressSet(int position) {
    EXPECT_TRUE(progressOpen) << "progress set without a progress window";
    progressPositions.push_back(position);
}

void ScriptedHost::progressEnd() {
    EXPECT_TRUE(progressOpen) << "progress closed twice";
    progressOpen = false;
}

}  // namespace plastora::test

#include "core/Help.h"

#include "core/Settings.h"
#include "platform/Paths.h"

#include <filesystem>

namespace plastora {

namespace {

constexpr const char* kAskWeb = "ドキュメントがインストールされていません。\nインターネットでドキュメントを参照しますか？";
constexpr const char* kHelpFailed = "ヘルプドキュメントの表示に失敗しました。";

}  // namespace

std::string helpPagePath(HelpPage page) {
    return joinPath(joinPath(programFolder(), "doc"), page == HelpPage::Manual ? "index.html" : "tutorial.html");
}

bool ShowHelp(Host& host, const std::string& settingsPath, HelpPage page, const HelpOpener& open) {
    const std::string path = helpPagePath(page);
    std::error_code ec;
    // A missing page is a failure even where the desktop would happily start
    // a viewer that then complains on its own.
    if (std::filesystem::is_regular_file(path, ec) && open(path)) return true;
    if (host.message(kAskWeb, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) return false;
    const std::string url =
        Settings(settingsPath).getText(page == HelpPage::Manual ? SettingKey::HelpURL : SettingKey::HelpTutorial);
    if (!url.empty() && open(url)) return true;
    host.message(kHelpFailed, MsgButtons::Ok, MsgIcon::Error);
    return false;
}

}  // namespace plastora

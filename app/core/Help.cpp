#include "core/Help.h"

#include "core/Settings.h"
#include "platform/Paths.h"

#include <cctype>
#include <filesystem>
#include <string>

namespace plastora {

namespace {

constexpr const char* kAskWeb = "ドキュメントがインストールされていません。\nインターネットでドキュメントを参照しますか？";
constexpr const char* kHelpFailed = "ヘルプドキュメントの表示に失敗しました。";

// Only a web page is opened from the settings: a settings file passed
// around may name a program, a launcher (.desktop) or a local file instead,
// which the desktop's opener would start or show.
bool isWebAddress(const std::string& url) {
    const auto startsWith = [&](const char* scheme) {
        const std::size_t n = std::char_traits<char>::length(scheme);
        if (url.size() <= n) return false;
        for (std::size_t i = 0; i < n; ++i)
            if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return false;
        return true;
    };
    return startsWith("https://") || startsWith("http://");
}

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
    if (isWebAddress(url) && open(url)) return true;
    host.message(kHelpFailed, MsgButtons::Ok, MsgIcon::Error);
    return false;
}

}  // namespace plastora

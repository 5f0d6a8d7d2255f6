// The help commands: the manual and the tutorial are HTML pages in the doc
// folder beside the program; without them the web addresses of the settings
// file are offered instead.
#pragma once

#include "platform/Host.h"

#include <functional>
#include <string>

namespace plastora {

enum class HelpPage { Manual, Tutorial };

// Opens a file path or web address with the desktop's viewer; false when
// nothing could be opened.
using HelpOpener = std::function<bool(const std::string& pathOrUrl)>;

// The page file: <program folder>/doc/index.html or doc/tutorial.html.
std::string helpPagePath(HelpPage page);

// "ドキュメントの表示" / "チュートリアル": opens the page; when it cannot be
// opened (missing file or no viewer) asks whether to look on the web and
// opens [Help] URL / Tutorial on Yes; that failing too (or no address) shows
// the failure message. Returns true when something was opened.
bool ShowHelp(Host& host, const std::string& settingsPath, HelpPage page, const HelpOpener& open);

}  // namespace plastora

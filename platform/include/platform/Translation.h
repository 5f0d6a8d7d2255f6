// The program's languages: its own texts are Japanese; English comes from a
// Qt translation file (translations/plastora_en.qm beside the program, made
// by the build from the .ts kept in the source tree). Qt's own Japanese
// translations (qtbase_ja.qm from the Qt installation) make the standard
// dialogs and buttons match under Japanese.
//
// Every text shown to a person passes through translateText at the place it
// is shown (Host implementations, menus), so the core keeps its exact
// Japanese texts and tests that check them see them unchanged.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace plastora {

enum class Language { Japanese, English };

// The command line writes its own texts (usage, help, option errors) in
// English; under Japanese they come from plastora_ja.qm, made from
// plastora_ja.ts the same way (translateEnglish).
//
// The language to use: `option` ("ja" or "en", from --lang) when given, else
// the settings file's [Option] "Language" ("ja" or "en") when set, else the
// system locale (the first of LC_ALL, LC_MESSAGES, LANG that is set: a
// Japanese locale gives Japanese, any other English; C and POSIX name no
// language), else Japanese, the program's own. Unknown values are ignored.
Language chooseLanguage(const std::optional<std::string>& option, const std::string& settingsFile);
// "ja" or "en" as a Language; nothing for anything else.
std::optional<Language> languageFromName(const std::string& name);

// Loads the translations of `language` from `translationsFolder` (the
// program's: plastora_en.qm for English, plastora_ja.qm for Japanese) and Qt's own from its installation; installs them into the Qt
// application when one exists (so Qt's dialogs follow). Returns false when a
// file that was needed could not be loaded (the texts then stay Japanese).
bool loadTranslations(Language language, const std::string& translationsFolder);
// The language loaded last (Japanese before any load).
Language currentLanguage();
// The folder the last loadTranslations read from (empty before any load).
const std::string& loadedTranslationsFolder();

// The text in the current language. Numbers inside a text are matched as
// placeholders: a text holding 240 where its source has %1 finds that
// source's translation and gets 240 back in the place of %1; a file named in
// a text (a run without spaces holding a '/') is matched the same way as %1.
// Texts without a translation come back unchanged.
std::string translateText(const std::string& text);

// A text written in English in the code (the command line's own) in the
// current language: its Japanese translation under Japanese, else the text
// itself. After translation %1, %2, ... are replaced by `args` in order.
std::string translateEnglish(const std::string& text, const std::vector<std::string>& args = {});

}  // namespace plastora

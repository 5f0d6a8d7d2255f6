#include "platform/Translation.h"

#include "platform/Profile.h"
#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace plastora {

namespace {

// The context every text of the program is kept under in the .ts file.
constexpr const char* kContext = "Plastora";
// The context of the command line's English texts in plastora_ja.ts.
constexpr const char* kEnglishContext = "PlastoraCli";

struct Translations {
    Language language = Language::Japanese;
    std::string folder;
    std::unique_ptr<QTranslator> own;  // plastora_<lang>.qm
    std::unique_ptr<QTranslator> qt;   // Qt's own texts
    std::unique_ptr<QTranslator> fromEnglish;  // plastora_ja.qm: the command line's texts
    // The bytes of the program's own .qm files, which their translators
    // point into for as long as they live.
    std::vector<std::uint8_t> ownBytes, fromEnglishBytes;
};

Translations& state() {
    static Translations t;
    return t;
}

bool isJapaneseLocale(const char* value) {
    return value && value[0] == 'j' && value[1] == 'a' && (value[2] == '\0' || value[2] == '_' || value[2] == '.');
}

// The C and POSIX locales name no language (scripts, containers): they leave
// the choice to the program's own default.
bool isNeutralLocale(const std::string& v) { return v == "C" || v.rfind("C.", 0) == 0 || v == "POSIX"; }

std::optional<Language> languageFromLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (!v || !*v) continue;
        if (isNeutralLocale(v)) return std::nullopt;
        return isJapaneseLocale(v) ? Language::Japanese : Language::English;
    }
    return std::nullopt;
}

// Loads translations from the file `name`.qm in `folder`, read by its bytes:
// the program folder's name need not be UTF-8 (a Shift-JIS folder from an
// old disk), which a QString path would turn into another name.
bool loadOwnTranslations(QTranslator& translator, std::vector<std::uint8_t>& bytes, const std::string& folder,
                         const char* name) {
    constexpr std::size_t kMaxQmBytes = std::size_t{64} << 20;
    return readWholeFile(folder + "/" + name + ".qm", bytes, kMaxQmBytes) && !bytes.empty() &&
           translator.load(bytes.data(), static_cast<int>(bytes.size()));
}

// The text with every run of digits replaced by %1, %2, ... and the runs.
std::string withPlaceholders(const std::string& text, std::vector<std::string>& numbers) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            std::size_t j = i;
            while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) ||
                                       (text[j] == '.' && j + 1 < text.size() &&
                                        std::isdigit(static_cast<unsigned char>(text[j + 1])))))
                ++j;
            numbers.push_back(text.substr(i, j - i));
            out += '%';
            out += std::to_string(numbers.size());
            i = j;
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace

std::optional<Language> languageFromName(const std::string& name) {
    if (name == "ja") return Language::Japanese;
    if (name == "en") return Language::English;
    return std::nullopt;
}

Language chooseLanguage(const std::optional<std::string>& option, const std::string& settingsFile) {
    if (option)
        if (auto l = languageFromName(*option)) return *l;
    if (!settingsFile.empty())
        if (auto l = languageFromName(readProfileString(settingsFile, "Option", "Language", "", 16))) return *l;
    return languageFromLocale().value_or(Language::Japanese);
}

bool loadTranslations(Language language, const std::string& translationsFolder) {
    Translations& t = state();
    if (QCoreApplication::instance()) {
        if (t.own) QCoreApplication::removeTranslator(t.own.get());
        if (t.qt) QCoreApplication::removeTranslator(t.qt.get());
    }
    t.own.reset();
    t.qt.reset();
    t.fromEnglish.reset();
    t.language = language;
    t.folder = translationsFolder;
    bool ok = true;
    if (language == Language::English) {
        auto own = std::make_unique<QTranslator>();
        if (loadOwnTranslations(*own, t.ownBytes, translationsFolder, "plastora_en")) t.own = std::move(own);
        else ok = false;
    } else {
        // Qt's own Japanese: the file, colour and print dialogs and the
        // standard buttons (はい/いいえ).
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            t.qt = std::move(qt);
        else ok = false;
        auto fromEnglish = std::make_unique<QTranslator>();
        if (loadOwnTranslations(*fromEnglish, t.fromEnglishBytes, translationsFolder, "plastora_ja"))
            t.fromEnglish = std::move(fromEnglish);
        else ok = false;
    }
    if (QCoreApplication::instance()) {
        if (t.qt) QCoreApplication::installTranslator(t.qt.get());
        if (t.own) QCoreApplication::installTranslator(t.own.get());
    }
    return ok;
}

Language currentLanguage() { return state().language; }

const std::string& loadedTranslationsFolder() { return state().folder; }

std::string translateText(const std::string& text) {
    const Translations& t = state();
    if (!t.own || text.empty()) return text;
    QString found = t.own->translate(kContext, text.c_str());
    if (!found.isEmpty()) return found.toStdString();
    // A text that names a file: the file (%1 in the source) starts after
    // the space before its first '/' and ends at one of the spaces after it
    // (a file name may hold spaces); the nearest end that gives a known
    // text is taken.
    const std::size_t slash = text.find('/');
    if (slash != std::string::npos) {
        std::size_t begin = text.find_last_of(" \n", slash);
        begin = begin == std::string::npos ? 0 : begin + 1;
        for (std::size_t at = slash;;) {
            at = text.find_first_of(" \n", at + 1);
            const std::size_t end = at == std::string::npos ? text.size() : at;
            const std::string pattern = text.substr(0, begin) + "%1" + text.substr(end);
            found = t.own->translate(kContext, pattern.c_str());
            if (!found.isEmpty()) {
                // The name goes in as bytes: one that is not UTF-8 would
                // not come back out of a QString as it went in.
                const std::string translated = found.toStdString();
                const std::size_t at = translated.find("%1");
                if (at == std::string::npos) return translated;
                return translated.substr(0, at) + text.substr(begin, end - begin) + translated.substr(at + 2);
            }
            if (at == std::string::npos) break;
        }
    }
    std::vector<std::string> numbers;
    const std::string pattern = withPlaceholders(text, numbers);
    if (numbers.empty()) return text;
    found = t.own->translate(kContext, pattern.c_str());
    if (found.isEmpty()) return text;
    for (std::size_t i = numbers.size(); i-- > 0;)
        found.replace(QStringLiteral("%") + QString::number(i + 1), QString::fromStdString(numbers[i]));
    return found.toStdString();
}

std::string translateEnglish(const std::string& text, const std::vector<std::string>& args) {
    const Translations& t = state();
    QString out = QString::fromStdString(text);
    if (t.fromEnglish && !text.empty()) {
        const QString found = t.fromEnglish->translate(kEnglishContext, text.c_str());
        if (!found.isEmpty()) out = found;
    }
    if (args.empty()) return out.toStdString();
    // One pass, so that a value holding "%2" (a file name) stays as it is.
    const std::string shown = out.toStdString();
    std::string result;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == '%' && i + 1 < shown.size() && shown[i + 1] >= '1' && shown[i + 1] <= '9') {
            const std::size_t n = static_cast<std::size_t>(shown[i + 1] - '1');
            if (n < args.size()) {
                result += args[n];
                ++i;
                continue;
            }
        }
        result += shown[i];
    }
    return result;
}

}  // namespace plastora

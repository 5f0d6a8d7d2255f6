#include "core/RecentFiles.h"

#include <QSettings>
#include <QString>
#include <QUtf8StringView>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>

namespace plastora {

namespace {

constexpr const char* kOrganisation = "アプリケーション ウィザードで生成されたローカル アプリケーション";
constexpr const char* kApplication = "Plastora";
constexpr const char* kSection = "Recent File List";

QString entryKey(int i) { return QString("File%1").arg(i); }

std::atomic<bool> g_recorded{true};

// The entry of the list is opened from any folder later: relative names are
// made absolute (and "." and ".." taken out) while the current folder is the
// one they are relative to.
std::string absoluteEntry(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path abs = std::filesystem::absolute(path, ec);
    if (ec) return path;
    return abs.lexically_normal().string();
}

}  // namespace

std::vector<std::string> recentFiles() {
    QSettings s(QString::fromUtf8(kOrganisation), QString::fromUtf8(kApplication));
    s.beginGroup(kSection);
    std::vector<std::string> out;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        // A name that is not UTF-8 is stored as bytes (see addRecentFile).
        const QVariant v = s.value(entryKey(i));
        const std::string entry = v.typeId() == QMetaType::QByteArray ? v.toByteArray().toStdString()
                                                                       : v.toString().toStdString();
        if (!entry.empty()) out.push_back(entry);
    }
    return out;
}

void setRecentFilesRecorded(bool recorded) { g_recorded = recorded; }

void addRecentFile(const std::string& given) {
    if (!g_recorded || given.empty()) return;
    const std::string path = absoluteEntry(given);
    std::vector<std::string> list = recentFiles();
    list.erase(std::remove(list.begin(), list.end(), path), list.end());
    list.insert(list.begin(), path);
    if (list.size() > static_cast<std::size_t>(kRecentFileCount)) list.resize(kRecentFileCount);
    QSettings s(QString::fromUtf8(kOrganisation), QString::fromUtf8(kApplication));
    s.beginGroup(kSection);
    for (int i = 1; i <= kRecentFileCount; ++i) {
        if (static_cast<std::size_t>(i) > list.size()) {
            s.remove(entryKey(i));
            continue;
        }
        // Linux file names are bytes: one that is not UTF-8 would come back
        // from a text value with its odd bytes replaced, naming no file.
        const std::string& entry = list[static_cast<std::size_t>(i - 1)];
        const QByteArray bytes = QByteArray::fromStdString(entry);
        if (QUtf8StringView(bytes).isValidUtf8())
            s.setValue(entryKey(i), QString::fromStdString(entry));
        else
            s.setValue(entryKey(i), bytes);
    }
}

}  // namespace plastora

#include "output/Print.h"

#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "output/Anaglyph.h"
#include "output/Diffraction.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace plastora {

const char* const kPrinterSetupInfo =
    "プリンタ名、用紙サイズ、用紙の種類、印刷品質を設定してください。\nなお印刷の向きは印刷時に自動的に設定されます。";
const char* const kPrinterSetupWriteFailed = "プリンタ設定ファイルの保存に失敗しました";
const char* const kPrintAnaglyphQuestion = "アナグリフ画像の印刷を実行しますか？";
const char* const kPrintStartFailedMessage = "印刷を開始できませんでした。プリンタを確認してください。";
const char* const kPrintLargerThanPageQuestion =
    "印刷する画像 (%.1f x %.1f mm) が用紙の印刷できる範囲 (%.1f x %.1f mm) より大きいため、端が切れて印刷されます。\n"
    "このまま印刷しますか？";
const char* const kPrintEditImageQuestion =
    "合成画像が作成されていません。編集画面がそのまま印刷されます。印刷を実行しますか？";
const char* const kPrintSetupQuestion =
    "プリンタの設定が行われていません。プリンタを設定をしておくと次回の印刷から用紙サイズや印刷の方向等の設定が不要と"
    "なります。\nプリンタを設定しますか？";
const char* const kPrintCopyQuestion =
    "画像を一度メモリに書き込んでから印刷しますか？何も印刷されない場合は、はいを答えてください。";
const char* const kPrintCopyMemoryMessage =
    "PCのメモリが不足して印刷ができません。\n設定メニューのパラメータ設定コマンドで「メモリ経由で印刷」のチェックを"
    "外して印刷してみてください。";
const char* const kPrintDocumentName = "ﾌﾟﾗｽﾄｰﾗ";

namespace {

// Far more than any set-up takes; a larger file is not ours.
constexpr std::uintmax_t kMaxSetupFileSize = 64 * 1024;
// The high-resolution picture is printed at this many pixels per inch.
constexpr long long kHighResDpi = 340;

bool parseInt(std::string_view text, int lo, int hi, int& out) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parseMM(std::string_view text, double& out) {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    // Nothing printable is larger than 10 m; not-a-number fails both tests.
    if (ec != std::errc() || end != text.data() + text.size() || !(v >= 0.0 && v <= 10000.0)) return false;
    out = v;
    return true;
}

}  // namespace

std::string printerSetupPath() {
    // Kept across runs, so it lives with the user's own settings, where no
    // other user can read or plant it.
    const std::string folder = userConfigFolder();
    return folder.empty() ? std::string() : joinPath(folder, "Plastora.prn");
}

namespace {

// Printer and paper names never hold control characters (the print system
// refuses them). Every control character of a name becomes a space, the
// same way when the set-up file is read and when it is written, so that a
// name read back is the name written and a line break in a name cannot start
// a key of its own.
std::string plainName(std::string_view v) {
    std::string out(v);
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = ' ';
    }
    return out;
}

}  // namespace

bool parsePrinterSettings(const std::string& text, PrinterSettings& out) {
    PrinterSettings s;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string_view line(text.data() + pos, nl - pos);
        pos = nl + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "printer") s.printer = plainName(value);
        else if (key == "paper") s.paper = plainName(value);
        else if (key == "paperWidthMM") parseMM(value, s.paperWidthMM);
        else if (key == "paperHeightMM") parseMM(value, s.paperHeightMM);
        else if (key == "source") parseInt(value, -1, 1000, s.source);
        else if (key == "colorMode") parseInt(value, -1, 1, s.colorMode);
        else if (key == "resolution") parseInt(value, 0, 100000, s.resolution);
        else if (key == "duplex") parseInt(value, -1, 10, s.duplex);
        else if (key == "orientation") parseInt(value, kPortrait, kLandscape, s.orientation);
    }
    out = std::move(s);
    return true;
}

std::string formatPrinterSettings(const PrinterSettings& s) {
    // Millimetres with a decimal point whatever the locale: parseMM reads
    // them with from_chars.
    const auto mm = [](double v) {
        char text[64];
        const auto [end, ec] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 3);
        return ec == std::errc() ? std::string(text, end) : std::string("0");
    };
    std::ostringstream o;
    o << "printer=" << plainName(s.printer) << "\n";
    o << "paper=" << plainName(s.paper) << "\n";
    o << "paperWidthMM=" << mm(s.paperWidthMM) << "\n";
    o << "paperHeightMM=" << mm(s.paperHeightMM) << "\n";
    o << "source=" << s.source << "\n";
    o << "colorMode=" << s.colorMode << "\n";
    o << "resolution=" << s.resolution << "\n";
    o << "duplex=" << s.duplex << "\n";
    o << "orientation=" << s.orientation << "\n";
    return o.str();
}

bool readPrinterSettings(const std::string& path, PrinterSettings& out) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxSetupFileSize) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parsePrinterSettings(text, out);
}

bool writePrinterSettings(const std::string& path, const PrinterSettings& settings) {
    if (path.empty()) return false;
    const std::string text = formatPrinterSettings(settings);
    return writeFileReplacing(path, text.data(), text.size());
}

PrintGeometry computePrintGeometry(int w, int h, int views, int pitch, double lpi, int hdRatio, bool highRes,
                                   int dpiX, int dpiY, int pageWidth, int pageHeight) {
    PrintGeometry g;
    g.highRes = highRes;
    if (w <= 0 || h <= 0 || dpiX <= 0 || dpiY <= 0) return g;
    long long pw = 0, ph = 0;
    if (highRes) {
        const long long r = std::max(1, hdRatio);
        // A picture smaller than a printer dot still prints as one.
        pw = std::max(1LL, dpiX * static_cast<long long>(w) * r / kHighResDpi);
        ph = std::max(1LL, dpiY * static_cast<long long>(h) * r / kHighResDpi);
    } else {
        const int p = std::max(1, pitch);
        const double s = static_cast<double>(views) * lpi * 2.0 / p;
        // A lens of no resolution has no print size (the division would give
        // infinity).
        if (!(s > 0.0)) return g;
        const long long cw = static_cast<long long>(w) * views / p;
        const long long ch = static_cast<long long>(h) * views / p;
        const double fw = std::trunc(static_cast<double>(dpiX) * static_cast<double>(cw) / s);
        const double fh = std::trunc(static_cast<double>(dpiY) * static_cast<double>(ch) / s);
        if (!(fw <= INT_MAX && fh <= INT_MAX)) return g;
        // A composite smaller than a printer dot still prints as one.
        pw = cw > 0 ? std::max(1LL, static_cast<long long>(fw)) : 0;
        ph = ch > 0 ? std::max(1LL, static_cast<long long>(fh)) : 0;
    }
    if (pw <= 0 || ph <= 0 || pw > INT_MAX || ph > INT_MAX) return g;
    g.pw = static_cast<int>(pw);
    g.ph = static_cast<int>(ph);
    g.ox = static_cast<int>((static_cast<long long>(pageWidth) - pw) / 2);
    g.oy = static_cast<int>((static_cast<long long>(pageHeight) - ph) / 2);
    return g;
}

int PrinterSetup(CStereoWorkspace& ws, PrintDialogs& dialogs, const std::string& setupPath) {
    Host& host = ws.host();
    host.message(kPrinterSetupInfo, MsgButtons::Ok, MsgIcon::Information);
    PrinterSettings settings;
    std::error_code ec;
    const bool stored = std::filesystem::exists(setupPath, ec) && readPrinterSettings(setupPath, settings);
    if (!dialogs.printerSetupDialog(settings, stored)) return 0;
    if (!writePrinterSettings(setupPath, settings)) {
        host.message(kPrinterSetupWriteFailed, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    return 1;
}

bool printsHighRes(const CStereoWorkspace& ws) {
    // With the interlace image shown the composite is what is printed, at its
    // lens-matched size: the interlace image is for screens.
    return ws.highResCount() > 0 && (ws.mode() == kModeImage || ws.mode() == kModeAnaglyph);
}

int PrintPicture(CStereoWorkspace& ws, PrintDialogs& dialogs, const std::string& setupPath) {
    Host& host = ws.host();
    bool editOrAnaglyph = false;
    if (ws.mode() == kModeAnaglyph) {
        if (host.message(kPrintAnaglyphQuestion, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) return 0;
        editOrAnaglyph = true;
    } else if (ws.mode() == kModeImage) {
        if (host.message(kPrintEditImageQuestion, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) return 0;
        editOrAnaglyph = true;
    } else if (ws.composite().empty()) {
        return 0;  // nothing to print (the command is disabled then)
    }

    std::error_code ec;
    while (!std::filesystem::exists(setupPath, ec)) {
        if (host.message(kPrintSetupQuestion, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) break;
        PrinterSetup(ws, dialogs, setupPath);
    }
    PrinterSettings settings;
    const bool stored = std::filesystem::exists(setupPath, ec) && readPrinterSettings(setupPath, settings);
    if (stored) settings.orientation = ws.width() < ws.height() ? kPortrait : kLandscape;

    std::unique_ptr<PrintTarget> target = dialogs.printDialog(stored ? &settings : nullptr);
    if (!target) return 0;

    if (!ws.settings().copyPrint && target->deviceName().find("RICOH") != std::string::npos &&
        host.message(kPrintCopyQuestion, MsgButtons::YesNo, MsgIcon::Question) == MsgResult::Yes) {
        ws.settings().copyPrint = true;
        const Settings stored(ws.settingsPath());
        if (!stored.setFlag(SettingKey::OptionCopyPrint, true) && stored.writable())
            host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    }
    const int printed = PrintOnTarget(ws, *target, editOrAnaglyph);
    if (!printed && target->startFailed()) host.message(kPrintStartFailedMessage, MsgButtons::Ok, MsgIcon::Error);
    return printed;
}

int PrintOnTarget(CStereoWorkspace& ws, PrintTarget& target, bool editOrAnaglyph) {
    Host& host = ws.host();
    if (editOrAnaglyph) {
        // No selection frame may end up on paper.
        ws.setCurrentObject(-1);
        ws.Redraw();
    }
    const bool highRes = printsHighRes(ws);
    const Surface& image = editOrAnaglyph ? ws.display() : ws.composite();
    if (!highRes && image.empty()) return 0;
    const PrintGeometry g =
        computePrintGeometry(ws.width(), ws.height(), ws.viewCount(), ws.settings().pitch, ws.lpi(),
                             ws.highResRatio(), highRes, target.dpiX(), target.dpiY(), target.pageWidth(),
                             target.pageHeight());
    const bool copyPrint = ws.settings().copyPrint;
    const bool viaMemory = copyPrint || highRes;
    const char* const memoryMessage = copyPrint ? kPrintCopyMemoryMessage : kOutOfMemoryMessage;

    // The picture is never scaled to the paper (its size is the lens's): one
    // larger than the paper's printable area would come out cut, which the
    // user is asked about first (an A4 working size prints a little larger
    // than A4; a printer's margins take more).
    if (g.valid() && (g.pw > target.pageWidth() || g.ph > target.pageHeight())) {
        const auto mm = [](int pixels, int dpi) { return pixels * 25.4 / std::max(1, dpi); };
        char text[512];
        std::snprintf(text, sizeof text, kPrintLargerThanPageQuestion, mm(g.pw, target.dpiX()),
                      mm(g.ph, target.dpiY()), mm(target.pageWidth(), target.dpiX()),
                      mm(target.pageHeight(), target.dpiY()));
        if (host.message(text, MsgButtons::OkCancel, MsgIcon::Warning) != MsgResult::Ok) return 0;
    }
    if (!target.startDoc(kPrintDocumentName)) return 0;
    int printed = 0;
    if (target.startPage()) {
        const Rect dst{g.ox, g.oy, g.ox + g.pw, g.oy + g.ph};
        if (!g.valid()) {
            // A size that cannot be had (no lens resolution, or beyond any
            // bitmap): nothing is drawn.
            host.message(memoryMessage, MsgButtons::Ok, MsgIcon::Error);
        } else if (viaMemory) {
            Surface big;
            const Surface* source = &image;
            bool built = true;
            if (highRes) {
                built = ws.mode() == kModeAnaglyph ? BuildHighResAnaglyph(ws, big) : BuildHighResEditImage(ws, big);
                source = &big;
            }
            // The builders show the memory message themselves.
            if (built) {
                Surface memory;
                if (memory.create(g.pw, g.ph)) {
                    blit(memory, Rop::Whiteness);
                    if (stretchBlit(memory, 0, 0, g.pw, g.ph, *source, 0, 0, source->width(), source->height(),
                                    Rop::Copy, StretchMode::Halftone) &&
                        target.drawImage(dst, memory)) {
                        printed = 1;
                    } else {
                        host.message(memoryMessage, MsgButtons::Ok, MsgIcon::Error);
                    }
                } else {
                    host.message(memoryMessage, MsgButtons::Ok, MsgIcon::Error);
                }
            }
        } else if (target.drawImage(dst, image)) {
            printed = 1;
        } else {
            host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        }
        target.endPage();
    }
    if (!printed) {
        target.abortDoc();
        return 0;
    }
    target.endDoc();
    if (!target.written()) {
        if (target.spooled()) host.message(kPrintStartFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        else host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    return printed;
}

}  // namespace plastora

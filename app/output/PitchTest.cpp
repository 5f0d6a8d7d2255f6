#include "output/PitchTest.h"

#include "core/StillImage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace plastora {

const char* const kPitchTestNoStripsMessage =
    "この範囲ではテスト印刷できる帯がありません。\nLPIと範囲を見直してください。";

namespace {

constexpr double kLabelInches = 1.0;
constexpr double kRightInches = 0.4;
constexpr double kTopInches = 0.4;
constexpr double kStripInches = 0.22;
constexpr double kSlotInches = 0.32;
constexpr const char* kLabelFace = "ＭＳ Ｐゴシック";

// One decimal at least, and as many more (up to the thousandths the values
// are rounded to) as the value has, so that no two strips share a label.
std::string labelOf(double lpi) {
    char text[32];
    int decimals = 1;
    while (decimals < 3 && std::fabs(std::round(lpi * std::pow(10.0, decimals)) - lpi * std::pow(10.0, decimals)) > 1e-6)
        ++decimals;
    std::snprintf(text, sizeof text, "%.*f lpi", decimals, lpi);
    return text;
}

}  // namespace

std::vector<double> pitchTestValues(double lpi, double range, double step) {
    std::vector<double> values;
    if (!(lpi > 0.0) || !(range >= 0.0) || !(step > 0.0) || !std::isfinite(lpi + range + step)) return values;
    // Steps out from the nominal value each way, so that it is always on the
    // sheet, whether or not the step divides the range.
    const double out = std::floor(range / step + 1e-9);
    if (2.0 * out + 1.0 > kMaxPitchStrips) return values;
    const int k = static_cast<int>(out);
    for (int i = -k; i <= k; ++i) {
        const double v = std::round((lpi + i * step) * 1000.0) / 1000.0;
        if (v > 0.0) values.push_back(v);
    }
    return values;
}

bool BuildPitchPattern(Surface& out, int lenses, int views, int rows) {
    if (lenses <= 0 || views <= 0 || rows <= 0 || lenses > (1 << 20) / views) return false;
    if (!out.createUninitialized(lenses * views, rows)) return false;
    const int dark = std::max(1, views / 2);
    for (int y = 0; y < rows; ++y) {
        Pixel* p = out.row(y);
        for (int c = 0; c < lenses * views; ++c) p[c] = (c % views) < dark ? kBlack : kWhite;
    }
    return true;
}

std::vector<PitchStrip> layoutPitchSheet(const std::vector<double>& values, int views, int pitch, int dpiX, int dpiY,
                                         int pageWidth, int pageHeight) {
    std::vector<PitchStrip> strips;
    if (views <= 0 || pitch <= 0 || dpiX <= 0 || dpiY <= 0) return strips;
    const double widthInches = static_cast<double>(pageWidth) / dpiX - kLabelInches - kRightInches;
    const int slot = static_cast<int>(kSlotInches * dpiY);
    const int top = static_cast<int>(kTopInches * dpiY);
    const int perPage = std::max(1, (pageHeight - 2 * top) / std::max(1, slot));
    const int left = static_cast<int>(kLabelInches * dpiX);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double lpi = values[i];
        PitchStrip s;
        s.lpi = lpi;
        s.page = static_cast<int>(i) / perPage;
        // The picture a strip stands for: W working pixels make W / (2 LPI)
        // inches in print (Print.h), so W = inches x 2 x LPI, whole lenses.
        // The print is a whole number of device pixels wide, so the pitch
        // printed is off by up to a pixel over the strip: of the lens counts
        // that fit (the largest and up to 63 fewer), the one whose exact
        // width comes nearest a whole pixel count is taken, and that count
        // is the strip's width, lest two neighbouring values at a fine step
        // print the same strip.
        const int most = static_cast<int>(std::max(0.0, widthInches) * 2.0 * lpi) / pitch;
        int lenses = most;
        double leastLoss = 1.0, width = 0.0;
        for (int n = most; n > 0 && n > most - 64; --n) {
            const double exact = static_cast<double>(dpiX) * n * pitch / (2.0 * lpi);
            const double loss = std::abs(exact - std::round(exact));
            if (loss < leastLoss - 1e-12) leastLoss = loss, lenses = n, width = std::round(exact);
        }
        s.workingWidth = lenses * pitch;
        s.workingHeight = std::max(1, static_cast<int>(kStripInches * 2.0 * lpi));
        s.lenses = s.workingWidth / pitch;
        const PrintGeometry g = computePrintGeometry(s.workingWidth, s.workingHeight, views, pitch, lpi, 1, false,
                                                     dpiX, dpiY, pageWidth, pageHeight);
        if (!g.valid() || s.lenses <= 0) return {};
        const int y = top + (static_cast<int>(i) % perPage) * slot;
        s.rect = Rect{left, y, left + std::max(1, static_cast<int>(width)), y + g.ph};
        s.label = Rect{dpiX / 10, y, left - dpiX / 10, y + g.ph};
        s.text = labelOf(lpi);
        strips.push_back(s);
    }
    return strips;
}

int PrintPitchTest(Host& host, PrintTarget& target, const std::vector<double>& values, int views, int pitch) {
    const std::vector<PitchStrip> strips = layoutPitchSheet(values, views, pitch, target.dpiX(), target.dpiY(),
                                                            target.pageWidth(), target.pageHeight());
    // Nothing to print (no strip fits the page at these values) is told as
    // such, before a document is begun; a previous sheet stays as it was.
    if (strips.empty()) {
        host.message(kPitchTestNoStripsMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    if (!target.startDoc(kPrintDocumentName)) return 0;  // the caller says so
    bool ok = true;
    int page = -1;
    for (std::size_t i = 0; ok && i < strips.size(); ++i) {
        const PitchStrip& s = strips[i];
        if (s.page != page) {
            if (page >= 0) target.endPage();
            page = s.page;
            if (!target.startPage()) {
                target.abortDoc();
                return 0;
            }
        }
        // The strip's composite: N columns per lens, stretched vertically
        // from H to N x H / P like the composite's columns; the target
        // stretches it to the printed size by area averaging, as printing
        // does.
        Surface composite, label;
        ok = BuildPitchPattern(composite, s.lenses, views, std::max(1, views * s.workingHeight / pitch)) &&
             target.drawImage(s.rect, composite);
        if (!ok) break;
        // The label, black on white, as large as the strip is high.
        Font font;
        font.face = kLabelFace;
        font.height = -std::max(8, s.label.height() * 7 / 10);
        const Size extent = textExtent(font, s.text);
        const int lw = std::min(s.label.width(), std::max(1, extent.cx));
        ok = lw > 0 && label.create(lw, s.label.height());
        if (!ok) break;
        blit(label, Rop::Whiteness);
        drawText(label, font, 0, std::max(0, (s.label.height() - extent.cy) / 2), s.text, RGB(0, 0, 0));
        ok = target.drawImage(Rect{s.label.left, s.label.top, s.label.left + lw, s.label.bottom}, label);
    }
    if (page >= 0) target.endPage();
    // A sheet that could not be drawn whole is not kept, and one that could
    // not be written is told as a failed save, not as success.
    if (!ok) {
        target.abortDoc();
        host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    target.endDoc();
    if (!target.written()) {
        if (target.spooled()) host.message(kPrintStartFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        else host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    return 1;
}

int RunPitchTestPrint(Host& host, PrintDialogs& dialogs, const PitchTestRequest& request, int views, int pitch,
                      const std::string& setupPath) {
    const std::vector<double> values = pitchTestValues(request.lpi, request.range, request.step);
    if (values.empty()) return 0;
    PrinterSettings stored;
    std::error_code ec;
    const bool haveSetup = std::filesystem::exists(setupPath, ec) && readPrinterSettings(setupPath, stored);
    stored.orientation = kPortrait;
    if (request.dpi > 0) stored.resolution = request.dpi;
    std::unique_ptr<PrintTarget> target = dialogs.printDialog(haveSetup || request.dpi > 0 ? &stored : nullptr);
    if (!target) return 0;
    const int printed = PrintPitchTest(host, *target, values, views, pitch);
    if (!printed && target->startFailed()) host.message(kPrintStartFailedMessage, MsgButtons::Ok, MsgIcon::Error);
    return printed;
}

int storedPrinterResolution(const std::string& setupPath) {
    PrinterSettings stored;
    std::error_code ec;
    return std::filesystem::exists(setupPath, ec) && readPrinterSettings(setupPath, stored) ? stored.resolution : 0;
}

}  // namespace plastora

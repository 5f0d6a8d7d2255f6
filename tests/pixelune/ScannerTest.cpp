// Scanning through SANE's test backend: the frames arrive as packed DIBs of
// the size the backend reports, pixel for pixel what scanimage receives.
#include "SaneTestConfig.h"

#include "pixelune/pixelune.h"

#include <QImage>
#include <gtest/gtest.h>
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <dlfcn.h>
#include <link.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using sanetest::SaneTestConfig;

std::uint32_t get32(const void* p, int at) {
    const auto* b = static_cast<const std::uint8_t*>(p) + at;
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

// The DIB's pixels as an image (rows turned top-down), read by hand from the
// header fields.
QImage dibToImage(const void* dib) {
    const int w = static_cast<int>(get32(dib, 4));
    const int h = static_cast<int>(get32(dib, 8));
    const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4;
    QImage img(w, h, QImage::Format_RGB32);
    const auto* pixels = static_cast<const std::uint8_t*>(dib) + 40;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = pixels + (h - 1 - y) * stride;
        for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
    }
    return img;
}

struct ScanResult {
    int got = 0;
    int post = 0;
    void* dib = nullptr;
    ~ScanResult() { std::free(dib); }
};

// GetSource, then PostTwain until it stops saying "nothing yet".
void scan(const char* device, ScanResult& r, int* nothingYet = nullptr) {
    TWAINPacket packet{};
    std::strcpy(packet.source, device);
    r.got = TWAINGetSource(&packet, nullptr);
    if (r.got != 1) return;
    EXPECT_EQ(packet.state, 1);
    EXPECT_EQ(packet.pending, 1);
    EXPECT_STREQ(packet.appId.productName, "Specific Application Product Name");
    while ((r.post = TWAINPostTwain(&packet, nullptr, &r.dib, nullptr)) == kTwainNothingYet)
        if (nothingYet) ++*nothingYet;
    // Everything is closed again and the packet is free for another round.
    EXPECT_EQ(packet.manager, nullptr);
    EXPECT_EQ(packet.sourceHandle, nullptr);
    EXPECT_EQ(packet.state, 0);
    EXPECT_EQ(TWAINPostTwain(&packet, nullptr, &r.dib, nullptr), kTwainNotSourceEvent);
}

TEST(Scanner, NamesTheSaneLibrary) {
    const char* name = TWAINGetDllName();
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(std::filesystem::exists(name)) << name;
    EXPECT_NE(std::string(name).find("libsane"), std::string::npos) << name;
}

// The way the test backend delivers a frame must not change the picture:
// one RGB frame, three single-colour passes, a hand scanner that does not
// know its height, tiny reads.
class ScannerDelivery : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(ScannerDelivery, DibMatchesScanimage) {
    SaneTestConfig config(GetParam());
    const QImage reference = config.scanimage("test:0");
    ASSERT_FALSE(reference.isNull()) << "scanimage (sane-utils) must be installed";
    ScanResult r;
    scan("test:0", r);
    ASSERT_EQ(r.got, 1);
    ASSERT_EQ(r.post, kTwainTransferred);
    ASSERT_NE(r.dib, nullptr);
    // The header: 40 bytes, 24 bits, bottom-up, the size the backend reports.
    EXPECT_EQ(get32(r.dib, 0), 40u);
    EXPECT_EQ(static_cast<const std::uint8_t*>(r.dib)[14], 24);
    EXPECT_EQ(static_cast<int>(get32(r.dib, 4)), reference.width());
    EXPECT_EQ(static_cast<int>(get32(r.dib, 8)), reference.height());
    EXPECT_EQ(TWAINDibSize(r.dib), 40 + ((reference.width() * 3 + 3) / 4 * 4) * std::size_t(reference.height()));
    EXPECT_TRUE(dibToImage(r.dib) == reference);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ScannerDelivery,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"three-pass true", "three-pass-order GBR"},
                      std::vector<std::string>{"hand-scanner true"},
                      std::vector<std::string>{"read-limit true", "read-limit-size 7"},
                      std::vector<std::string>{"test-picture \"Grid\""}));

// Lines with bytes wasted at their end: the picture is the narrower one the
// parameters announce, its lines found by the bytes per line. (scanimage
// writes the wasted bytes as pixels, so the full-width scan is the reference.)
TEST(Scanner, WastedBytesAtLineEndsAreSkipped) {
    QImage full;
    {
        SaneTestConfig config;
        full = config.scanimage("test:0");
    }
    ASSERT_FALSE(full.isNull());
    SaneTestConfig config({"ppl-loss 3"});
    ScanResult r;
    scan("test:0", r);
    ASSERT_EQ(r.post, kTwainTransferred);
    ASSERT_NE(r.dib, nullptr);
    EXPECT_TRUE(dibToImage(r.dib) == full.copy(0, 0, full.width() - 3, full.height()));
}

TEST(Scanner, DeviceWithSelectDescriptorSaysNothingYetUntilDataCome) {
    SaneTestConfig config({"non-blocking true", "select-fd true", "read-delay true", "read-delay-duration 200000"});
    const QImage reference = config.scanimage("test:1");
    ASSERT_FALSE(reference.isNull());
    ScanResult r;
    int nothingYet = 0;
    scan("test:1", r, &nothingYet);
    ASSERT_EQ(r.post, kTwainTransferred);
    ASSERT_NE(r.dib, nullptr);
    EXPECT_GT(nothingYet, 0);
    EXPECT_TRUE(dibToImage(r.dib) == reference);
}

TEST(Scanner, FailedTransferHandsOverNothing) {
    // SANE's test backend cancels its reader thread asynchronously; a reader
    // still blocked on a full pipe wakes up when the pipe is closed and may
    // be cancelled inside the allocator, after which nothing ever ends. A
    // small frame fits in the pipe, so the reader has finished by the time
    // the failed transfer cancels the scan.
    SaneTestConfig config({"read-status-code \"SANE_STATUS_JAMMED\"", "br_x 10", "br_y 10"});
    ScanResult r;
    r.dib = std::malloc(1);  // the caller's old value is replaced, not freed
    void* old = r.dib;
    scan("test:0", r);
    EXPECT_EQ(r.post, kTwainTransferred);
    EXPECT_EQ(r.dib, nullptr);
    std::free(old);
}

// Sets the open device's bit depth through SANE itself, as a device that
// only offers 1 bit would leave it.
void setDepthOnDevice(const TWAINPacket& packet, SANE_Int depth) {
    void* sane = dlopen(TWAINGetDllName(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(sane, nullptr);
    auto* describe = reinterpret_cast<const SANE_Option_Descriptor* (*)(SANE_Handle, SANE_Int)>(
        dlsym(sane, "sane_get_option_descriptor"));
    auto* control = reinterpret_cast<SANE_Status (*)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*)>(
        dlsym(sane, "sane_control_option"));
    ASSERT_TRUE(describe && control);
    bool set = false;
    for (SANE_Int i = 1; const SANE_Option_Descriptor* d = describe(packet.sourceHandle, i); ++i)
        if (d->name && std::strcmp(d->name, SANE_NAME_BIT_DEPTH) == 0)
            set = control(packet.sourceHandle, i, SANE_ACTION_SET_VALUE, &depth, nullptr) == SANE_STATUS_GOOD;
    dlclose(sane);
    EXPECT_TRUE(set);
}

// One bit per colour in three passes: a set bit is the colour at full
// intensity (unlike line art, where it is black).
TEST(Scanner, OneBitColourPassesKeepTheirColours) {
    SaneTestConfig config({"three-pass true", "test-picture \"Solid white\"", "br_x 10", "br_y 10"});
    TWAINPacket packet{};
    std::strcpy(packet.source, "test:0");
    ASSERT_EQ(TWAINGetSource(&packet, nullptr), 1);
    setDepthOnDevice(packet, 1);
    ScanResult r;
    while ((r.post = TWAINPostTwain(&packet, nullptr, &r.dib, nullptr)) == kTwainNothingYet) {
    }
    ASSERT_EQ(r.post, kTwainTransferred);
    ASSERT_NE(r.dib, nullptr);
    const QImage img = dibToImage(r.dib);
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(img.width() - 1, img.height() - 1), qRgb(255, 255, 255));
}

// A scan larger than a picture the library reads back (8192 x 8192 pixels)
// is refused before its data are read, not after seconds and half a
// gigabyte.
TEST(Scanner, ScanTooLargeToReadBackIsRefusedUpFront) {
    SaneTestConfig config({"resolution 1200.0", "br_x 200.0", "br_y 200.0"});
    ScanResult r;
    scan("test:0", r);
    ASSERT_EQ(r.got, 1);
    EXPECT_EQ(r.post, kTwainTransferred);
    EXPECT_EQ(r.dib, nullptr);
}

TEST(Scanner, RefusesUnknownDevicesAndBusyPackets) {
    SaneTestConfig config;
    ScanResult unknown;
    scan("nosuchbackend:0", unknown);
    EXPECT_EQ(unknown.got, 0);

    TWAINPacket packet{};
    EXPECT_EQ(TWAINPostTwain(&packet, nullptr, nullptr, nullptr), kTwainNotSourceEvent);
    EXPECT_EQ(TWAINPostTwain(nullptr, nullptr, nullptr, nullptr), kTwainNotSourceEvent);
    ASSERT_EQ(TWAINGetSource(&packet, nullptr), 1);  // SANE's default device
    EXPECT_EQ(TWAINGetSource(&packet, nullptr), 0);  // already enabled
    EXPECT_EQ(TWAINSelectSource(&packet, nullptr), 0);
    void* dib = nullptr;
    EXPECT_EQ(TWAINPostTwain(&packet, nullptr, &dib, nullptr), kTwainTransferred);
    EXPECT_NE(dib, nullptr);
    std::free(dib);
}

TEST(Scanner, SelectingNeedsSomeoneToAsk) {
    // No widget application runs in this program: nothing is chosen.
    SaneTestConfig config;
    TWAINPacket packet{};
    std::strcpy(packet.source, "test:1");
    EXPECT_EQ(TWAINSelectSource(&packet, nullptr), 0);
    EXPECT_STREQ(packet.source, "test:1");
    EXPECT_EQ(packet.manager, nullptr);
    // Nor does asking, or the file dialog, load the widget module (or Qt
    // Widgets): a program without dialogs never pays for them at start-up.
    EXPECT_STREQ(CustomFileDialog("bmp", nullptr, nullptr), "");
    bool widgets = false;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* found) {
            if (info->dlpi_name && (std::strstr(info->dlpi_name, "libQt6Widgets") ||
                                    std::strstr(info->dlpi_name, "libpixelune_widgets")))
                *static_cast<bool*>(found) = true;
            return 0;
        },
        &widgets);
    EXPECT_FALSE(widgets);
}

// The example program scans one page into a BMP that an independent reader
// opens with the scanned pixels.
TEST(Scanner, ExampleWritesTheScanAsBmp) {
    const std::string example = std::string(PLASTORA_BUNDLE_DIR) + "/pixelune_scan_example";
    ASSERT_TRUE(std::filesystem::exists(example)) << "build the pixelune_scan_example target";
    SaneTestConfig config;
    const QImage reference = config.scanimage("test:1");
    ASSERT_FALSE(reference.isNull());
    const std::string out = config.file("page.bmp");
    // In a sanitizer build the example is not checked for leaks: SANE's
    // test backend leaves its reader thread's buffer behind now and then,
    // and libsane has unloaded the backend by the time the leak check runs,
    // so no suppression can name it. The same scanning code is checked for
    // leaks in this test program, which keeps the backend loaded. Other
    // builds ignore the option.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string env = "ASAN_OPTIONS='" + std::string(asan ? asan : "") + ":detect_leaks=0' ";
    ASSERT_EQ(std::system((env + "'" + example + "' '" + out + "' test:1 > /dev/null").c_str()), 0);
    const QImage bmp(QString::fromStdString(out), "BMP");
    ASSERT_FALSE(bmp.isNull());
    EXPECT_TRUE(bmp.convertToFormat(QImage::Format_RGB32) == reference);
}

}  // namespace

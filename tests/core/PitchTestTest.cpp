// The lens pitch test sheet: its values, and the column pitch of every strip
// measured on the PDF rendered at the printing resolution.
#include "output/PdfPrintTarget.h"
#include "output/PitchTest.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include <cmath>
#include <cstdlib>
#include <fstream>

using namespace plastora;
using namespace plastora::test;

namespace {

// Page 1 rendered as 8-bit grey (empty when pdftoppm fails).
struct GreyPage {
    int w = 0, h = 0;
    std::vector<unsigned char> px;
    int at(int x, int y) const { return px[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)]; }
};
GreyPage render(const std::string& pdf, int dpi) {
    GreyPage page;
    const std::string prefix = pdf + ".page";
    const std::string cmd =
        "pdftoppm -gray -r " + std::to_string(dpi) + " -singlefile '" + pdf + "' '" + prefix + "'";
    if (std::system(cmd.c_str()) != 0) return page;
    std::ifstream in(prefix + ".pgm", std::ios::binary);
    std::string magic;
    int maxv = 0;
    in >> magic >> page.w >> page.h >> maxv;
    in.get();
    if (magic != "P5" || maxv != 255 || page.w <= 0 || page.h <= 0) return GreyPage{};
    page.px.resize(static_cast<std::size_t>(page.w) * static_cast<std::size_t>(page.h));
    in.read(reinterpret_cast<char*>(page.px.data()), static_cast<std::streamsize>(page.px.size()));
    return page;
}

// The mean distance between the dark-to-light edges of a row, each edge
// placed where the grey crosses the middle (linear between two pixels).
double measuredPeriod(const GreyPage& page, int y, int x0, int x1, int& edges) {
    std::vector<double> at;
    for (int x = x0 + 1; x < x1; ++x) {
        const int a = page.at(x - 1, y), b = page.at(x, y);
        if (a < 128 && b >= 128) at.push_back(x - 1 + (128.0 - a) / (b - a));
    }
    edges = static_cast<int>(at.size());
    return at.size() < 2 ? 0.0 : (at.back() - at.front()) / static_cast<double>(at.size() - 1);
}

}  // namespace

TEST(PitchTest, ValuesAcrossTheRange) {
    const std::vector<double> v = pitchTestValues(60.0, 1.5, 0.1);
    ASSERT_EQ(v.size(), 31u);
    EXPECT_DOUBLE_EQ(v.front(), 58.5);
    EXPECT_DOUBLE_EQ(v[15], 60.0);
    EXPECT_DOUBLE_EQ(v.back(), 61.5) << "the end is reached despite floating-point steps";
    EXPECT_EQ(pitchTestValues(60.0, 0.0, 0.1), std::vector<double>{60.0});
    // A step that does not divide the range, or exceeds it: the nominal
    // value is still on the sheet, the others a step apart around it.
    EXPECT_EQ(pitchTestValues(60.0, 1.0, 0.3), (std::vector<double>{59.1, 59.4, 59.7, 60.0, 60.3, 60.6, 60.9}));
    EXPECT_EQ(pitchTestValues(60.0, 1.0, 5.0), std::vector<double>{60.0});
    EXPECT_TRUE(pitchTestValues(60.0, 50.0, 0.01).empty()) << "too many strips";
    EXPECT_TRUE(pitchTestValues(60.0, 1.0, 0.0).empty());

    // Every strip's label names its own value, however fine the step: no two
    // alike, each read back as the value.
    for (const double step : {0.1, 0.015, 0.005}) {
        const std::vector<double> fine = pitchTestValues(20.0, 0.03, step);
        const std::vector<PitchStrip> strips = layoutPitchSheet(fine, 4, 2, 600, 600, 4960, 7016);
        ASSERT_EQ(strips.size(), fine.size()) << step;
        std::set<std::string> labels;
        for (const PitchStrip& strip : strips) {
            labels.insert(strip.text);
            EXPECT_NEAR(std::stod(strip.text), strip.lpi, 1e-9) << strip.text;
        }
        EXPECT_EQ(labels.size(), strips.size()) << step;
    }
}

// At the finest step the dialog takes (0.01 lpi, about 170 ppm at 60 lpi),
// each strip's printed pitch (its whole device pixels over its lenses) is
// within half a step of its label's, nearer its own value than a
// neighbour's, at the usual printer resolutions.
TEST(PitchTest, FineStepsPrintEveryStripAtItsOwnPitch) {
    for (const int dpi : {600, 1200}) {
        const std::vector<double> values = pitchTestValues(60.0, 0.1, 0.01);
        const std::vector<PitchStrip> strips =
            layoutPitchSheet(values, 4, 2, dpi, dpi, static_cast<int>(8.27 * dpi), static_cast<int>(11.69 * dpi));
        ASSERT_EQ(strips.size(), values.size()) << dpi;
        for (const PitchStrip& strip : strips) {
            const double ideal = dpi * 2.0 / (2.0 * strip.lpi);
            const double printed = static_cast<double>(strip.rect.width()) / strip.lenses;
            EXPECT_LT(std::abs(printed - ideal) / ideal, 0.01 / strip.lpi / 2) << dpi << " dpi, " << strip.text;
        }
    }
}

TEST(PitchTest, PatternHasHalfTheViewsDarkUnderEveryLens) {
    Surface s;
    ASSERT_TRUE(BuildPitchPattern(s, 3, 4, 2));
    EXPECT_EQ(s.width(), 12);
    for (int c = 0; c < 12; ++c) EXPECT_EQ(s.at(c, 1), (c % 4) < 2 ? kBlack : kWhite) << c;
    ASSERT_TRUE(BuildPitchPattern(s, 2, 3, 1));
    EXPECT_EQ(s.at(0, 0), kBlack);
    EXPECT_EQ(s.at(1, 0), kWhite) << "three views: one dark";
}

// Every strip printed at 600 dpi has the pitch of its label: 600 x P / (2 x
// LPI) device pixels per lens, i.e. 600 / LPI for the default pitch 2, close
// enough that each strip is told from its neighbours 0.1 lpi away.
TEST(PitchTest, PdfStripsHaveTheirLabelledPitch) {
    TempDir dir;
    const std::string pdf = dir.file("sheet.pdf");
    const std::vector<double> values = pitchTestValues(60.0, 1.5, 0.1);
    const int views = 4, pitch = 2, dpi = 600;
    std::vector<PitchStrip> strips;
    {
        ScriptedHost host;
        PrinterSettings paper;
        paper.paper = "A4";
        PdfPrintTarget target(pdf, dpi, paper);
        strips = layoutPitchSheet(values, views, pitch, target.dpiX(), target.dpiY(), target.pageWidth(),
                                  target.pageHeight());
        ASSERT_EQ(PrintPitchTest(host, target, values, views, pitch), 1);
    }
    ASSERT_EQ(strips.size(), values.size());
    for (const PitchStrip& s : strips) EXPECT_EQ(s.page, 0) << "31 strips fit one A4 page";
    const GreyPage page = render(pdf, dpi);
    ASSERT_FALSE(page.px.empty()) << "pdftoppm failed";
    for (const PitchStrip& s : strips) {
        ASSERT_LE(s.rect.right, page.w);
        ASSERT_LE(s.rect.bottom, page.h);
        int edges = 0;
        const double period = measuredPeriod(page, (s.rect.top + s.rect.bottom) / 2, s.rect.left, s.rect.right, edges);
        const double labelled = dpi * pitch / (2.0 * s.lpi);
        EXPECT_GE(edges, s.lenses - 2) << s.text;
        // Neighbouring labels differ by about 0.017 pixel per lens.
        EXPECT_NEAR(period, labelled, 0.005) << s.text;
        // Left of the strip is its label: dark pixels in the label column,
        // none between the label and the strip.
        bool ink = false;
        for (int y = s.label.top; y < s.label.bottom && !ink; ++y)
            for (int x = s.label.left; x < s.label.right && !ink; ++x) ink = page.at(x, y) < 128;
        EXPECT_TRUE(ink) << s.text << ": no label";
    }
}

TEST(PitchTest, ManyStripsGoOnSeveralPages) {
    const std::vector<double> values = pitchTestValues(60.0, 3.0, 0.1);  // 61 strips
    const std::vector<PitchStrip> strips = layoutPitchSheet(values, 4, 2, 600, 600, 4960, 7016);
    ASSERT_EQ(strips.size(), 61u);
    EXPECT_EQ(strips.front().page, 0);
    EXPECT_EQ(strips.back().page, 1);
    for (std::size_t i = 1; i < strips.size(); ++i)
        if (strips[i].page == strips[i - 1].page) {
            EXPECT_GE(strips[i].rect.top, strips[i - 1].rect.bottom);
        }
}

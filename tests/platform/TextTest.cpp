// Text drawing and measuring.
#include "platform/GuiRuntime.h"
#include "platform/Surface.h"

#include <QFontInfo>
#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace plastora;

namespace {

Surface white(int w, int h) {
    Surface s;
    EXPECT_TRUE(s.create(w, h));
    for (std::size_t i = 0; i < s.pixelCount(); ++i) s.bits()[i] = kWhite;
    return s;
}

Font font(const char* face, int height, bool antialiased = false) {
    Font f;
    f.face = face;
    f.height = height;
    f.antialiased = antialiased;
    return f;
}

// The smallest rectangle holding every pixel that is not white.
Rect inkBounds(const Surface& s, int* count = nullptr) {
    Rect r{s.width(), s.height(), 0, 0};
    int n = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.at(x, y) != kWhite) {
                ++n;
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    if (count) *count = n;
    return r;
}

bool within(const Rect& inner, const Rect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

}  // namespace

TEST(Text, DrawsInItsColourInsideTheMeasuredExtent) {
    const Font f = font("IPAPGothic", -24);
    const std::string text = "Plastora 123";
    const Size ext = textExtent(f, text);
    ASSERT_GT(ext.cx, 0);
    ASSERT_GT(ext.cy, 0);
    Surface s = white(300, 80);
    drawText(s, f, 20, 15, text, RGB(200, 30, 10));
    int ink = 0;
    const Rect b = inkBounds(s, &ink);
    EXPECT_GT(ink, 100);
    EXPECT_TRUE(within(b, Rect{20, 15, 20 + ext.cx, 15 + ext.cy}))
        << b.left << "," << b.top << "," << b.right << "," << b.bottom << " extent " << ext.cx << "x" << ext.cy;
    // Not antialiased: every pixel is the text colour or the untouched background.
    for (std::size_t i = 0; i < s.pixelCount(); ++i) {
        const Pixel p = s.bits()[i];
        ASSERT_TRUE(p == kWhite || p == 0xFFC81E0Au) << std::hex << p;
    }
}

TEST(Text, AntialiasedTextBlendsAndStaysOpaque) {
    Surface s = white(200, 60);
    drawText(s, font("IPAPGothic", -30, true), 5, 5, "Soft edges", RGB(0, 0, 0));
    std::set<Pixel> colours;
    for (std::size_t i = 0; i < s.pixelCount(); ++i) {
        ASSERT_EQ(s.bits()[i] >> 24, 0xFFu);
        colours.insert(s.bits()[i]);
    }
    EXPECT_GT(colours.size(), 4u);
}

TEST(Text, ExtentGrowsWithTheStringAndFollowsTheHeight) {
    const Font f = font("IPAPGothic", 20);
    const Size one = textExtent(f, "a");
    const Size four = textExtent(f, "aaaa");
    EXPECT_GT(one.cx, 0);
    EXPECT_GT(four.cx, 3 * one.cx);
    EXPECT_EQ(one.cy, four.cy);
    // A positive height is the whole cell.
    EXPECT_NEAR(one.cy, 20, 1);
    EXPECT_NEAR(textExtent(font("IPAPGothic", 48), "x").cy, 48, 1);
    // A negative height is the character height: the cell is at least that.
    EXPECT_GE(textExtent(font("IPAPGothic", -40), "x").cy, 40);

    Font bold = f;
    bold.weight = 700;
    EXPECT_GE(textExtent(bold, "aaaa").cx, four.cx);

    Font vertical = f;
    vertical.vertical = true;
    const Size column = textExtent(vertical, "あいう");
    const Size glyph = textExtent(f, "あ");
    EXPECT_EQ(column.cx, glyph.cx);
    EXPECT_NEAR(column.cy, 3 * glyph.cy, 2);
}

TEST(Text, VerticalTextRunsDownwards) {
    Font f = font("IPAPGothic", -24);
    f.vertical = true;
    Surface s = white(100, 200);
    drawText(s, f, 10, 10, "立体画像", RGB(0, 0, 0));
    const Rect b = inkBounds(s);
    EXPECT_GT(b.height(), 3 * b.width());
    const Size ext = textExtent(f, "立体画像");
    EXPECT_TRUE(within(b, Rect{10, 10, 10 + ext.cx, 10 + ext.cy}));
}

// Bold in a face that has no bold style (the IPA font standing in for the
// Japanese faces) stays bold at every size: from 64 pixels Qt draws glyphs
// as outlines and left them plain, so printed and high-resolution text lost
// the bold the screen showed.
TEST(Text, BoldStaysBoldAtLargeSizes) {
    const auto ink = [](const Font& f) {
        Surface s = white(400, 120);
        drawText(s, f, 4, 4, "Wide", RGB(0, 0, 0));
        int n = 0;
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x) n += (s.at(x, y) & 0xFFFFFF) == 0;
        return n;
    };
    for (const int size : {40, 64, 72}) {
        Font plain = font("IPAPGothic", -size), bold = plain;
        bold.weight = 700;
        EXPECT_GT(ink(bold), ink(plain) * 11 / 10) << size;
    }
}

// Text set top to bottom goes a character at a time as a reader counts
// them: a kana with its voicing mark, a letter with its accent, an emoji
// with its variation selector, a joined family or a flag each take one
// place, not one per code point (が written decomposed took two lines).
TEST(Text, VerticalTextKeepsCombinedCharactersTogether) {
    const std::string decomposed = "\u304B\u3099\u304D\u3099e\u0301";  // か゛き゛e´
    EXPECT_EQ(textCharacters(decomposed).size(), 3u);
    EXPECT_EQ(textCharacters("A\u2764\uFE0FB").size(), 3u);
    EXPECT_EQ(textCharacters("\U0001F468\u200D\U0001F469\u200D\U0001F467").size(), 1u);
    EXPECT_EQ(textCharacters("\U0001F1EF\U0001F1F5").size(), 1u);
    // Bytes that are not UTF-8 are cut by code point and kept as they are.
    const std::string broken = "\xFF\xFE\xE3\x81\x82" "A";
    std::string joined;
    for (const std::string& ch : textCharacters(broken)) joined += ch;
    EXPECT_EQ(joined, broken);

    Font f = font("IPAPGothic", -24);
    f.vertical = true;
    EXPECT_EQ(textExtent(f, decomposed).cy, textExtent(f, "\u304C\u304E\u00E9").cy);
}

// The Windows face name of the program's settings maps to the IPA font and
// draws real glyphs.
TEST(Text, JapaneseFaceNameUsesTheIpaFont) {
    const Font ms = font("ＭＳ Ｐゴシック", -32);
    ensureGuiRuntime();
    EXPECT_EQ(QFontInfo(qfontFor(ms)).family(), QStringLiteral("IPAPGothic"));

    const std::string text = "立体画像作成";
    Surface a = white(260, 50);
    drawText(a, ms, 4, 4, text, RGB(0, 0, 0));
    int ink = 0;
    inkBounds(a, &ink);
    EXPECT_GT(ink, 300);

    Surface b = white(260, 50);
    drawText(b, font("IPAPGothic", -32), 4, 4, text, RGB(0, 0, 0));
    EXPECT_TRUE(std::equal(a.bits(), a.bits() + a.pixelCount(), b.bits()));
    EXPECT_EQ(textExtent(ms, text), textExtent(font("IPAPGothic", -32), text));
}

// Metafiles made by other programs: LibreOffice's exporter (shapes, face,
// label; drawn from the .svg files beside them with
// `soffice --headless --convert-to wmf`) and two written by hand from the
// format's description (make_handmade.py). Our rendering is compared with
// libwmf's (wmf2gd) where that tool is installed.
#include "LinewispTestSupport.h"
#include "support/TempDir.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace lwtest;
using plastora::ColorRef;
using plastora::RGB;

namespace {

struct Read {
    Picture p;
    int rc = 0;
    explicit Read(const std::string& name) {
        const VectDC screen{nullptr, 96, 96};
        rc = VectWmfRead(&screen, dataFile(name).c_str(), &p.packet);
    }
    bool hasFill(ColorRef c) const {
        for (std::size_t i = 0; i < p.list.size(); ++i)
            if (p.at(i).fillColor == static_cast<std::int32_t>(c)) return true;
        return false;
    }
};

struct Centroid {
    double x = 0, y = 0;
    int n = 0;
};

bool near(QRgb q, ColorRef c) {
    return std::abs(qRed(q) - static_cast<int>(plastora::GetRValue(c))) < 24 &&
           std::abs(qGreen(q) - static_cast<int>(plastora::GetGValue(c))) < 24 &&
           std::abs(qBlue(q) - static_cast<int>(plastora::GetBValue(c))) < 24;
}

Centroid centroid(const QImage& img, ColorRef c) {
    Centroid r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (near(img.pixel(x, y), c)) r.x += x, r.y += y, ++r.n;
    if (r.n) r.x /= r.n, r.y /= r.n;
    return r;
}

// Fits ours = a x theirs + b on one axis; returns a and the largest residual.
std::pair<double, double> fit(const std::vector<double>& theirs, const std::vector<double>& ours) {
    const double n = static_cast<double>(ours.size());
    double st = 0, so = 0, stt = 0, sto = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) st += theirs[i], so += ours[i], stt += theirs[i] * theirs[i], sto += theirs[i] * ours[i];
    const double a = (n * sto - st * so) / (n * stt - st * st);
    const double b = (so - a * st) / n;
    double worst = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) worst = std::max(worst, std::abs(ours[i] - (a * theirs[i] + b)));
    return {a, worst};
}

// Renders the file with painting mode 1 and with libwmf, and checks that
// the objects of each colour lie at the same places in both: the colour
// centroids of one picture map onto the other's by one scale and shift per
// axis (libwmf crops and scales its picture its own way), within 3% of the
// picture's size, and neither picture is mirrored.
void compareWithLibwmf(const std::string& name, const std::vector<ColorRef>& colours) {
    if (std::system("command -v wmf2gd >/dev/null 2>&1") != 0) GTEST_SKIP() << "wmf2gd (libwmf-bin) is not installed";
    plastora::test::TempDir dir;
    const std::string png = dir.file("libwmf.png");
    const std::string cmd = "wmf2gd -t png -o '" + png + "' '" + dataFile(name) + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const QImage theirs(QString::fromStdString(png));
    ASSERT_FALSE(theirs.isNull());

    Read r(name);
    ASSERT_GT(r.rc, 0);
    plastora::Surface s;
    const int zoom = r.p.packet.zoom;
    ASSERT_TRUE(s.create(zoom * r.p.packet.right / 100 + 8, zoom * r.p.packet.bottom / 100 + 8));
    blit(s, plastora::Rop::Whiteness);
    const VectDC dc{&s, 96, 96};
    ASSERT_NE(VectVectPaint(&dc, &r.p.packet, 1), 0);
    const QImage ours = s.image();

    std::vector<double> tx, ty, ox, oy;
    for (ColorRef c : colours) {
        const Centroid a = centroid(theirs, c), b = centroid(ours, c);
        ASSERT_GT(a.n, 0) << name << ": libwmf has no colour " << std::hex << c;
        ASSERT_GT(b.n, 0) << name << ": we have no colour " << std::hex << c;
        tx.push_back(a.x), ty.push_back(a.y), ox.push_back(b.x), oy.push_back(b.y);
    }
    const auto [ax, worstX] = fit(tx, ox);
    const auto [ay, worstY] = fit(ty, oy);
    EXPECT_GT(ax, 0) << name;
    EXPECT_GT(ay, 0) << name;
    EXPECT_LT(worstX, 0.03 * ours.width()) << name;
    EXPECT_LT(worstY, 0.03 * ours.height()) << name;
}

}  // namespace

TEST(RealFiles, LibreOfficeMetafilesRead) {
    Read shapes("shapes.wmf");
    ASSERT_GT(shapes.rc, 0);
    // The fills of the drawing the file was made from.
    for (ColorRef c : {RGB(0x30, 0x60, 0xC0), RGB(0xE0, 0x40, 0x20), RGB(0x20, 0xA0, 0x40), RGB(0xF0, 0xC0, 0x20)})
        EXPECT_TRUE(shapes.hasFill(c)) << std::hex << c;
    EXPECT_EQ(shapes.p.packet.zoom, 96 * 100 / 2540);

    Read face("face.wmf");
    ASSERT_GT(face.rc, 0);
    EXPECT_TRUE(face.hasFill(RGB(0xFF, 0xD0, 0x40)));
    EXPECT_TRUE(face.hasFill(RGB(0xC0, 0x20, 0x20)));

    Read label("label.wmf");
    ASSERT_GT(label.rc, 0);
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < label.p.list.size(); ++i)
        if (label.p.at(i).kind == kVectText) texts.push_back(label.p.at(i).text());
    EXPECT_EQ(texts, (std::vector<std::string>{"Plastora", "wmf test"}));
}

TEST(RealFiles, HandWrittenMetafilesRead) {
    Read prim("primitives.wmf");
    ASSERT_EQ(prim.rc, 10);
    std::vector<int> kinds;
    for (std::size_t i = 0; i < prim.p.list.size(); ++i) kinds.push_back(prim.p.at(i).kind);
    EXPECT_EQ(kinds, (std::vector<int>{kVectRectangle, kVectEllipse, kVectPie, kVectChord, kVectArc, kVectRectangle,
                                       kVectPolyPolygon, kVectPolyline, kVectText, kVectText}));
    EXPECT_EQ(static_cast<ColorRef>(prim.p.packet.bkColor), RGB(235, 235, 220));
    EXPECT_EQ(prim.p.at(0).penColor, 0);              // the black pen that reused slot 0
    EXPECT_EQ(prim.p.at(1).penColor, kVectNoColor);   // the ellipse has the null pen
    EXPECT_EQ(prim.p.at(5).brushCode, kVectHollowBrush);
    EXPECT_EQ(prim.p.at(8).text(), "Linewisp");
    EXPECT_EQ(prim.p.at(9).text(), "WMF");

    Read up("origin.wmf");
    ASSERT_EQ(up.rc, 3);
    // The triangle's apex (1500, 2900) is near the top once y runs upwards
    // from the bounding box's bottom (3000).
    EXPECT_EQ(up.p.point(0, 2), (plastora::Point{500, 100}));
    EXPECT_EQ(up.p.at(2).text(), "up");
    EXPECT_EQ(up.p.at(2).left, 450);
    EXPECT_EQ(up.p.at(2).top, 200);
}

TEST(RealFiles, RenderingAgreesWithLibwmf) {
    compareWithLibwmf("shapes.wmf", {RGB(0x30, 0x60, 0xC0), RGB(0xE0, 0x40, 0x20), RGB(0x20, 0xA0, 0x40), RGB(0xF0, 0xC0, 0x20)});
    compareWithLibwmf("face.wmf", {RGB(0xFF, 0xD0, 0x40), RGB(0xC0, 0x20, 0x20), RGB(0, 0, 0xC0), RGB(0, 0, 0)});
    compareWithLibwmf("primitives.wmf", {RGB(40, 80, 200), RGB(60, 180, 60), RGB(120, 60, 160), RGB(180, 0, 180)});
    compareWithLibwmf("origin.wmf", {RGB(30, 120, 200), RGB(230, 160, 30), RGB(0, 0, 0)});
}

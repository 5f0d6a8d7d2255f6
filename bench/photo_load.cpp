// Opening a 3000 x 2000 camera photo: the still-image reader (libjpeg, as
// before), the photo reader (libjpeg with Exif orientation and CMYK and
// early-ending handling), the same with a quarter turn from the Exif tag,
// and Qt's own JPEG reader as the peer; a PNG of the same picture through the
// photo reader (Qt's PNG reader) beside them.
#include "core/PhotoFile.h"
#include "core/StillImage.h"

#include <QImage>
#include <QImageReader>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace plastora;

namespace {

constexpr int kW = 3000, kH = 2000;

Surface picture() {
    Surface s;
    s.create(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            s.set(x, y, static_cast<Pixel>(((x * 7 + y) & 0xFF) << 16 | ((x * 3 + y * 5) & 0xFF) << 8 | ((x ^ y) & 0xFF)));
    return s;
}

struct Files {
    std::string jpeg, rotated, png;
    Files() {
        const auto dir = std::filesystem::temp_directory_path();
        jpeg = (dir / "plastora-bench-photo.jpg").string();
        rotated = (dir / "plastora-bench-photo-6.jpg").string();
        png = (dir / "plastora-bench-photo.png").string();
        SilentHost host;
        const Surface s = picture();
        SaveStillImage(host, s, kW, kH, jpeg, 90);
        SaveStillImage(host, s, kW, kH, png, 90);
        // The same JPEG with an Exif block saying "turn 90 degrees clockwise".
        std::ifstream in(jpeg, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const unsigned char exif[] = {0xFF, 0xE1, 0, 34,  'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8,
                                      0,    1,    1, 0x12, 0,  3,   0,   0,   0, 1, 0,   6,   0, 0, 0, 0, 0, 0};
        bytes.insert(bytes.begin() + 2, reinterpret_cast<const char*>(exif),
                     reinterpret_cast<const char*>(exif) + sizeof exif);
        std::ofstream(rotated, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~Files() {
        std::remove(jpeg.c_str());
        std::remove(rotated.c_str());
        std::remove(png.c_str());
    }
};

const Files& files() {
    static Files f;
    return f;
}

void BM_StillImageJpeg(benchmark::State& state) {
    SilentHost host;
    for (auto _ : state) {
        Surface s;
        int w = 0, h = 0;
        LoadStillImage(host, files().jpeg, std::nullopt, s, w, h);
        benchmark::DoNotOptimize(s.bits());
    }
}

void loadPhoto(benchmark::State& state, const std::string& path) {
    SilentHost host;
    for (auto _ : state) {
        Surface s;
        int w = 0, h = 0;
        LoadPhoto(host, path, s, w, h);
        benchmark::DoNotOptimize(s.bits());
    }
}

void BM_PhotoJpeg(benchmark::State& state) { loadPhoto(state, files().jpeg); }
void BM_PhotoJpegExifTurned(benchmark::State& state) { loadPhoto(state, files().rotated); }
void BM_PhotoPng(benchmark::State& state) { loadPhoto(state, files().png); }

void BM_QtJpeg(benchmark::State& state) {
    for (auto _ : state) {
        QImage image = QImageReader(QString::fromStdString(files().jpeg)).read();
        benchmark::DoNotOptimize(image.constBits());
    }
}

}  // namespace

BENCHMARK(BM_StillImageJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhotoJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhotoJpegExifTurned)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhotoPng)->Unit(benchmark::kMillisecond);

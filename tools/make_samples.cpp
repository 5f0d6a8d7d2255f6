// Makes the ready projects of the bundled sample pictures: each photo is
// opened at the program's default paper and trimming, given cut-out regions
// drawn as ellipses around its subject, and saved beside the photo.
//
//   make_samples SAMPLE_FOLDER SETTINGS_FILE
#include "core/StereoWorkspace.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace plastora;

namespace {

struct RegionSpec {
    int depth;
    Rect box;  // in working-image pixels
};

struct Sample {
    const char* name;
    int background;
    std::vector<RegionSpec> regions;
};

int make(const std::string& folder, const std::string& settings, const Sample& s) {
    SilentHost host;
    CStereoWorkspace ws(host, settings);
    const std::string photo = folder + "/" + s.name + ".jpg";
    if (!ws.Open(photo)) {
        std::fprintf(stderr, "cannot open %s\n", photo.c_str());
        return 1;
    }
    ws.backgroundDepth = s.background;
    for (std::size_t i = 0; i < s.regions.size(); ++i) {
        if (i > 0 && !ws.appendRegion(0)) return 1;
        CutoutRegion& r = ws.region(static_cast<int>(i));
        r.depth = s.regions[i].depth;
        blit(r.mask, Rop::Blackness);
        ellipse(r.mask, Pen{1, RGB(255, 255, 255)}, Brush{RGB(255, 255, 255)}, s.regions[i].box);
    }
    const std::string project = folder + "/" + s.name + ".lyr";
    if (!ws.Save(project)) return 1;
    std::printf("%s: %d x %d, %d regions\n", project.c_str(), ws.width(), ws.height(), ws.regionCount());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_samples SAMPLE_FOLDER SETTINGS_FILE\n");
        return 2;
    }
    // Working size 707 x 478 (postcard at 60 lpi, trimmed to fit).
    const std::vector<Sample> samples = {
        {"chelsea", -8, {{6, {40, 0, 680, 478}}, {12, {260, 230, 470, 420}}}},
        {"coffee", -10, {{4, {120, 120, 600, 478}}, {10, {200, 60, 500, 330}}}},
    };
    for (const auto& s : samples)
        if (make(argv[1], argv[2], s) != 0) return 1;
    return 0;
}

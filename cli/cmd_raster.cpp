// raster: any picture Pixelune reads, written in the format its name asks for.
#include "cli/Cli.h"
#include "platform/Translation.h"

#include <pixelune/pixelune.h>

#include <cctype>
#include <cstdio>
#include <iostream>

namespace plastora::cli {

namespace {

bool endsWithNoCase(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
    return true;
}

int runRaster(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {"reduce", "interlace"}, error)) return usageError("raster", error);
    if (!args.checkKnown({"output", "reduce", "transparent", "interlace"}, error)) return usageError("raster", error);
    if (args.positional().size() != 1 || !args.get("output")) return usageError("raster", tr("expects IN -o OUT"));
    Point transparent{-1, -1};
    if (auto t = args.get("transparent")) {
        int x = 0, y = 0;
        if (!parseIntPair(*t, x, y) || x < 0 || y < 0)
            return usageError("raster", tr("--transparent takes x,y (pixels, from 0)"));
        transparent = {x, y};
    }
    const std::string in = args.positional()[0];
    const std::string out = *args.get("output");
    if (int rc = checkOutput("raster", out, {OutputKind::Bmp, OutputKind::Jpeg, OutputKind::Png, OutputKind::Gif});
        rc != kExitOk)
        return rc;
    if (int rc = refuseInputAsOutput("raster", out, in); rc != kExitOk) return rc;
    CliHost host;
    host.writeSubject = out;  // a failed save names the file written
    PixDisplay display;
    display.host = &host;
    Surface picture;
    std::uint32_t palette[kPixPaletteSize] = {};
    int w = 0, h = 0, bits = 24;
    const int read = endsWithNoCase(in, ".wmf")
                         ? WmfReadFile(&display, &picture, in.c_str(), &w, &h, nullptr)
                         : ReadRasterFile(&display, &picture, nullptr, in.c_str(), nullptr, 0, nullptr, &w, &h, &bits,
                                          0, palette);
    if (read != 1) return failure(in + ": " + translateText("ファイルの読み込みに失敗しました。"));
    // A rendered metafile is full colour: a GIF takes it in the colours a
    // read picture would have (the palette was left empty, all black).
    if (endsWithNoCase(in, ".wmf")) PixDefaultPalette(palette);
    if (transparent.x >= w || transparent.y >= h) return usageError("raster", tr("--transparent lies outside the picture"));
    const int written = WriteRasterFile(out.c_str(), nullptr, static_cast<short>(bits), &picture, w, h, palette,
                                        transparent, args.has("interlace") ? 1 : 0, args.has("reduce") ? 1 : 0);
    if (written != 1) return failure(unwritableText(out, "ファイルの保存に失敗しました"));
    std::cout << w << " x " << h << ", " << bits << " bits\n";
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"raster", "IN -o OUT [--reduce] [--transparent x,y] [--interlace]",
                      "reads any picture the raster library reads (BMP, JPEG, PNG, GIF; WMF) and writes it by name "
                      "(BMP, JPEG, PNG, GIF)",
                      &runRaster});
PLASTORA_CLI_HELP("raster",
                  "options:\n"
                  "  -o, --output OUT   .bmp, .jpg/.jpeg, .png or .gif, by extension\n"
                  "  --reduce           a GIF with fewer bits per pixel when the picture has few colours\n"
                  "  --transparent x,y  a GIF whose colour at pixel x,y is transparent\n"
                  "  --interlace        an interlaced GIF\n\n"
                  "example:\n"
                  "  plastora-cli raster clip.wmf -o clip.gif --reduce\n");

}  // namespace plastora::cli

// plastora-cli wmf: reads a metafile into Linewisp's object list and renders
// it into a 24-bit BMP (painting mode 1), or writes it back as a placeable
// metafile or a one-frame SWF movie.
#include "cli/Cli.h"
#include "core/StillImage.h"
#include "linewisp/linewisp.h"

#include <charconv>
#include <iostream>

namespace plastora::cli {
namespace {

std::string readError(int rc, const std::string& in) {
    switch (rc) {
    case kVectErrFile:
        return tr("%1: cannot be read", {in});
    case kVectErrMalformed:
        return tr("%1: not a readable metafile (truncated or malformed records)", {in});
    case kVectErrLimit:
        return tr("%1: more objects or points than a picture may have", {in});
    default:
        return tr("%1: holds nothing to draw", {in});
    }
}

int runWmf(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {}, error)) return usageError("wmf", error);
    if (!args.checkKnown({"output", "zoom", "background"}, error)) return usageError("wmf", error);
    if (args.positional().size() != 1) return usageError("wmf", tr("one input metafile is needed"));
    const auto out = args.get("output");
    if (!out || out->empty()) return usageError("wmf", tr("-o OUT.{bmp,wmf,swf} is needed"));
    if (int rc = checkOutput("wmf", *out, {OutputKind::Bmp, OutputKind::Wmf, OutputKind::Swf}); rc != kExitOk) return rc;
    if (int rc = refuseInputAsOutput("wmf", *out, args.positional()[0]); rc != kExitOk) return rc;
    const OutputKind kind = *outputKindOf(*out);
    std::optional<int> zoom, background;
    if (!args.getInt("zoom", 1, 32767, zoom, error)) return usageError("wmf", error);
    if (auto b = args.get("background")) {
        ColorRef c = 0;
        if (b->rfind("0x", 0) == 0 || b->rfind("0X", 0) == 0) {
            // The notation of earlier versions, 0xBBGGRR, still read.
            unsigned v = 0;
            const char* end = b->data() + b->size();
            const auto [last, ec] = std::from_chars(b->data() + 2, end, v, 16);
            if (b->size() == 2 || ec != std::errc() || last != end || v > 0xFFFFFFu)
                return usageError("wmf", tr("--background expects %1", {colourNotation()}));
            background = static_cast<int>(v);
        } else if (parseColourText(*b, c)) {
            background = static_cast<int>(c);
        } else {
            return usageError("wmf", tr("--background expects %1", {colourNotation()}));
        }
    }

    const std::string& in = args.positional().front();
    VectObjectList list;
    VectPacket packet{};
    VectPacketSetList(&packet, &list);
    packet.objectLimit = 4095;
    packet.pointLimit = 0x8000;
    packet.bitDepth = 24;
    // White unless the file's background rectangle or --background says
    // otherwise.
    packet.bkColor = 0xFFFFFF;
    const VectDC screen{nullptr, 96, 96};
    const int rc = VectWmfRead(&screen, in.c_str(), &packet);
    if (rc <= 0) return failure(readError(rc, in));
    if (zoom) packet.zoom = static_cast<std::int16_t>(*zoom);
    if (background) packet.bkColor = *background;
    packet.flags |= kVectFlagBackground;

    if (kind == OutputKind::Wmf) {
        if (VectWmfWrite(&screen, out->c_str(), &packet).empty())
            return failure(unwritableText(*out, "ファイルの保存に失敗しました"));
        return kExitOk;
    }
    if (kind == OutputKind::Swf) {
        std::vector<std::string> messages;
        const int w = VectSwfWrite(out->c_str(), &packet, &messages);
        for (const auto& m : messages) std::cerr << m << "\n";
        if (w == kVectErrLimit)
            return failure(tr("%1: the picture has more shapes than an SWF movie can hold (65534)", {in}));
        if (w < 0) return failure(unwritableText(*out, "ファイルの保存に失敗しました"));
        if (w == 0) return failure(tr("%1: no object of the picture can be written as SWF", {*out}));
        return kExitOk;
    }

    // Mode 1 paints the background 8 pixels beyond the right and bottom.
    const long long w = static_cast<long long>(packet.zoom) * packet.right / 100 + 8;
    const long long h = static_cast<long long>(packet.zoom) * packet.bottom / 100 + 8;
    Surface picture;
    // Sides a bitmap holds, and no more pixels than any picture the program
    // reads (a file of a few bytes can ask for gigabytes).
    constexpr long long kMaxPixels = 1LL << 26;
    if (w > 0x7FFF || h > 0x7FFF || w * h > kMaxPixels || !picture.create(static_cast<int>(w), static_cast<int>(h)))
        return failure(tr("%1: the picture is too large to render at this zoom", {in}));
    blit(picture, Rop::Whiteness);
    VectDC dc{&picture, 96, 96};
    if (!VectVectPaint(&dc, &packet, 1)) return failure(tr("%1: the picture could not be drawn completely", {in}));
    CliHost host;
    host.writeSubject = *out;  // a failed save names the file written
    if (!SaveStillImage(host, picture, picture.width(), picture.height(), *out, 90)) return kExitFailure;
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"wmf", "IN.wmf -o OUT.{bmp,wmf,swf} [--zoom 1-32767] [--background RRGGBB]",
                      "renders a metafile through Linewisp into a BMP, or writes it back as WMF or SWF", &runWmf});
PLASTORA_CLI_HELP("wmf",
                  "options:\n"
                  "  -o, --output OUT   .bmp renders the picture; .wmf and .swf write the objects back\n"
                  "  --zoom Z           the scale in percent, 1 to 32767 (default: the file's own)\n"
                  "  --background C     the background colour, RRGGBB or #RRGGBB (hexadecimal red, green,\n"
                  "                     blue; default: white)\n\n"
                  "example:\n"
                  "  plastora-cli wmf clip.wmf --zoom 200 --background FFFFCC -o clip.bmp\n");

}  // namespace plastora::cli

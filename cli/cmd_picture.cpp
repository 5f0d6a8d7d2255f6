// info and convert: still pictures through the program's own reader and writer.
#include "cli/Cli.h"
#include "platform/Translation.h"
#include "core/PhotoFile.h"
#include "core/ProjectFile.h"
#include "core/Settings.h"
#include "core/StillImage.h"
#include "output/WorkingSize.h"
#include "stereo/Mpo.h"
#include "stereo/StereoFiles.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <utility>

namespace plastora::cli {

namespace {

// A text from a file as shown on a terminal: control characters (a project
// from someone else may hold escape sequences that retitle or clear the
// terminal), C0 and DEL as \xNN and C1 (U+0080..U+009F, which terminals
// also obey in UTF-8) as \uNNNN; the rest, Japanese included, as it is.
std::string printableText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
        char code[8];
        if (u < 0x20 || u == 0x7F) {
            std::snprintf(code, sizeof code, "\\x%02x", u);
            out += code;
        } else if (u == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(code, sizeof code, "\\u%04x", next);
            out += code;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

const char* objectKind(int type) {
    switch (type) {
    case kObjectText: return "text";
    case kObjectPicture: return "clip art";
    case kObjectShape: return "shape";
    default: return "unknown";
    }
}

int infoProject(const std::string& path) {
    CliHost host;
    host.readSubject = path;
    CStereoWorkspace ws(host, readSettingsPath());
    ws.setDisplayWanted(false);  // only the document's fields are told
    if (!ws.Open(path)) return kExitFailure;
    const std::string lpi = lensText(ws.lpi());
    std::cout << "file: " << path << "\n"
              << "kind: project\n"
              << "size: " << ws.width() << " x " << ws.height() << "\n"
              << "stereo pair: " << (ws.stereoPair() ? "yes" : "no") << "\n"
              << "strength: " << ws.strength() << "\n"
              << "lpi: " << lpi << "\n"
              << "background depth: " << ws.backgroundDepth << "\n"
              << "paint layer: " << (ws.hasPaintLayer() ? "yes" : "no") << ", depth " << ws.paintDepth
              << (ws.paintShadow ? ", shadow" : "") << "\n"
              << "regions: " << ws.regionCount() << "\n";
    for (int i = 0; i < ws.regionCount(); ++i)
        std::cout << "  region " << i << ": depth " << ws.region(i).depth
                  // A depth map's region 0 has no shadow to draw, whatever an
                  // older project stored.
                  << (i == 0 && ws.regionShadow && !ws.hasDepthMap() ? ", shadow" : "") << (i == ws.maskingIndex() ? ", masking mask" : "")
                  << "\n";
    std::cout << "objects: " << ws.objectCount() << "\n";
    for (int i = 0; i < ws.objectCount(); ++i) {
        const ObjectEntry& e = ws.objectEntry(i);
        std::cout << "  object " << i << ": " << objectKind(e.type);
        if (e.object) {
            const OverlayObject& o = *e.object;
            std::cout << " at " << o.x << "," << o.y << " size " << o.width << " x " << o.height << ", depth " << o.depth
                      << (o.shadow ? ", shadow" : "");
            if (e.type == kObjectText) {
                std::cout << ", \"" << printableText(o.text) << "\", " << (o.flags & kTextPointSizeMask) << " px";
                if (o.flags & kTextVertical) std::cout << ", vertical";
                if (o.flags & kTextFlat) std::cout << ", kept flat";
            } else if (e.type == kObjectShape) {
                static const char* const kKinds[] = {"rectangle", "ellipse", "rounded rectangle", "rising line",
                                                     "falling line"};
                if (o.count >= 0 && o.count < 5) std::cout << ", " << kKinds[o.count];
                if (o.flags & (kShapeArrowFirst | kShapeArrowSecond)) std::cout << " with arrowheads";
            } else if (e.type == kObjectPicture) {
                std::cout << ", " << o.outlines.size() << " outlines";
            }
        }
        std::cout << "\n";
    }
    std::cout << "high-resolution images: " << ws.highResCount() << "\n";
    return kExitOk;
}

// A multi-picture file: its images with their place in the file and their
// size as shown.
int infoMpo(const std::string& path) {
    MpoIndex index;
    if (!readMpoIndex(path, index))
        return failure(path + ": " + translateText(kMpoReadFailedMessage) + " (" + whyUnreadable(path) + ")");
    CliHost host;
    host.readSubject = path;
    std::cout << "file: " << path << "\n"
              << "kind: multi-picture\n"
              << "images: " << index.imageCount << "\n";
    bool ok = true;
    std::error_code ec;
    const std::uintmax_t fileSize = std::filesystem::file_size(path, ec);
    for (std::size_t k = 0; k < index.entries.size(); ++k) {
        const MpoEntry& e = index.entries[k];
        // The size as shown, like a photo's (an Exif orientation of 5 to 8
        // turns the picture a quarter), from each image's headers: decoding
        // thousands of entries that share one huge picture would take hours.
        int w = 0, h = 0;
        // An image the file cuts short is not readable, whatever its headers say.
        const bool readable = !ec && e.offset <= fileSize && e.size <= fileSize - e.offset &&
                              JpegSizeAt(path, static_cast<long long>(e.offset), w, h);
        ok = ok && readable;
        std::cout << "  image " << k << ": offset " << e.offset << ", " << e.size << " bytes, ";
        if (readable)
            std::cout << w << " x " << h << "\n";
        else
            std::cout << "not readable\n";
    }
    if (index.entries.size() < index.imageCount)
        std::cout << "  (" << index.imageCount - index.entries.size() << " images have no entry in the file)\n";
    return ok ? kExitOk : failure(path + ": " + translateText(kMpoReadFailedMessage));
}

int runInfo(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {}, error)) return usageError("info", error);
    if (args.positional().size() != 1) return usageError("info", tr("expects one file"));
    if (!args.checkKnown({}, error)) return usageError("info", error);
    const std::string& path = args.positional()[0];
    if (isProjectPath(path)) return infoProject(path);
    if (isMpoPath(path)) return infoMpo(path);
    CliHost host;
    host.readSubject = path;
    // Only the size is reported: the headers say it, nothing is decoded.
    int w = 0, h = 0;
    if (!PhotoSize(host, path, w, h)) {
        host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        return kExitFailure;
    }
    std::cout << "file: " << path << "\n"
              << "kind: picture\n"
              << "size: " << w << " x " << h << "\n";
    return kExitOk;
}

int runConvert(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {}, error)) return usageError("convert", error);
    if (!args.checkKnown({"quality"}, error)) return usageError("convert", error);
    std::optional<int> quality;
    if (!args.getInt("quality", 10, 100, quality, error)) return usageError("convert", error);
    if (args.positional().size() != 2) return usageError("convert", tr("expects an input and an output file"));
    if (int rc = checkOutput("convert", args.positional()[1], pictureOutputs()); rc != kExitOk) return rc;
    // Written over, the photo would be lost for a re-encoded copy without its Exif.
    if (int rc = refuseInputAsOutput("convert", args.positional()[1], args.positional()[0]); rc != kExitOk) return rc;
    CliHost host;
    host.readSubject = args.positional()[0];
    host.writeSubject = args.positional()[1];
    Surface picture;
    int w = 0, h = 0;
    if (!LoadPhoto(host, args.positional()[0], picture, w, h)) {
        host.message(kReadFailedMessage, MsgButtons::Ok, MsgIcon::Error);
        return kExitFailure;
    }
    if (!SaveStillImage(host, picture, w, h, args.positional()[1], quality.value_or(80))) return kExitFailure;
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"info", "FILE",
                      "prints what the file holds: picture size; for a project also regions, depths, objects, stereo flag, strength, LPI; "
                      "for an MPO every image with its offset, length and size",
                      &runInfo});
PLASTORA_CLI_COMMAND({"convert", "IN OUT [--quality 10-100]",
                      "reads a photo (JPEG, BMP, PNG, TIFF, WebP by content, Exif orientation applied) and writes "
                      "it as the program writes its own pictures (.jpg/.jpeg JPEG, .bmp 24-bit BMP, .png PNG)",
                      &runConvert});
PLASTORA_CLI_HELP("info",
                  "FILE is a project (.lyr), a multi-picture file (.mpo) or a photo of any format the program\n"
                  "opens (JPEG, BMP, PNG, TIFF, WebP, recognised by content; the size is after the Exif\n"
                  "orientation).\n\n"
                  "example:\n"
                  "  plastora-cli info photo.jpg\n");
PLASTORA_CLI_HELP("convert",
                  "options:\n"
                  "  OUT                .jpg/.jpeg (JPEG), .bmp (24-bit BMP) or .png (PNG), by extension in any case\n"
                  "  --quality Q        JPEG quality, 10 to 100 (default 80)\n\n"
                  "example:\n"
                  "  plastora-cli convert phone.webp photo.jpg --quality 90\n");

}  // namespace plastora::cli

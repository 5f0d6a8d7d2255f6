// object: adds a text, shape or clip-art object to a project, as the text
// tool, the shape tool and the clip-art command do, and saves the project.
#include "cli/Cli.h"
#include "core/ProjectFile.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"

#include <cstdio>
#include <iostream>

namespace plastora::cli {

namespace {

// The dialogs answered from the options.
struct OptionDialogs : WorkspaceDialogs {
    TextDialogData text;
    ShapeDialogData shape;
    bool textDialog(TextDialogData& d) override {
        // Face and size default to the settings the dialog would show.
        if (text.face.empty()) text.face = d.face;
        if (text.size <= 0) text.size = d.size;
        d = text;
        return true;
    }
    bool shapeDialog(ShapeDialogData& d) override {
        d = shape;
        return true;
    }
};

// "RRGGBB" or "#RRGGBB" (hex) as a ColorRef.
bool parseColour(const std::string& text, ColorRef& out) { return parseColourText(text, out); }

int shapeKind(const std::string& name) {
    static const char* const kNames[] = {"rectangle", "ellipse", "rounded", "rising", "falling"};
    for (int i = 0; i < 5; ++i)
        if (name == kNames[i]) return i;
    return -1;
}

int runObject(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    const std::vector<std::string> flags = {"vertical", "flat", "bold", "italic", "plain", "no-fill", "square",
                                            "arrow-left", "arrow-right", "shadow"};
    if (!args.parse(argv, flags, error)) return usageError("object", error);
    std::vector<std::string> known = {"output", "text", "shape", "clipart", "font", "size", "colour", "line-width",
                                      "corner", "at", "box", "depth"};
    known.insert(known.end(), flags.begin(), flags.end());
    if (!args.checkKnown(known, error)) return usageError("object", error);
    if (args.positional().size() != 1 || !args.get("output"))
        return usageError("object", tr("expects a project and -o OUT.lyr"));
    // The output is a project: any other name would be cut to its base and
    // the project written there, over the files of that name.
    if (int rc = checkOutput("object", *args.get("output"), {OutputKind::Project}); rc != kExitOk) return rc;
    const int kinds = args.has("text") + args.has("shape") + args.has("clipart");
    if (kinds != 1) return usageError("object", tr("give exactly one of --text, --shape, --clipart"));

    OptionDialogs dialogs;
    std::optional<int> size, lineWidth, corner, depth;
    if (!args.getInt("size", 8, 72, size, error) || !args.getInt("line-width", 0, 8, lineWidth, error) ||
        !args.getInt("corner", 0, 32, corner, error) || !args.getInt("depth", -32, 16, depth, error))
        return usageError("object", error);
    std::optional<ColorRef> colour;
    if (auto c = args.get("colour")) {
        ColorRef v;
        if (!parseColour(*c, v)) return usageError("object", tr("--colour expects %1", {colourNotation()}));
        colour = v;
    }
    std::optional<std::pair<int, int>> at, box;
    for (const char* name : {"at", "box"}) {
        if (auto v = args.get(name)) {
            int a = 0, b = 0;
            if (!parseIntPair(*v, a, b)) return usageError("object", tr("--%1 takes two numbers a,b", {name}));
            (std::string(name) == "at" ? at : box) = std::make_pair(a, b);
        }
    }
    if (box && (box->first < 1 || box->second < 1)) return usageError("object", tr("--box needs a positive size"));
    // What a project can store: a place or a size beyond it would be cut
    // when the project is read again.
    const auto storable = [](int v) { return v >= -kProjectMaxSide && v <= kProjectMaxSide; };
    if ((at && !(storable(at->first) && storable(at->second))) ||
        (box && !(storable(box->first) && storable(box->second))))
        return usageError("object", tr("--at and --box take numbers up to %1", {std::to_string(kProjectMaxSide)}));

    TextDialogData& t = dialogs.text;
    t.size = size.value_or(0);
    t.face = args.get("font").value_or("");
    // A project keeps 31 bytes of the face name; a longer one would be cut
    // into another name (or half a character) without a word.
    if (toDiskText(t.face).size() > kFaceBlockSize - 1)
        return usageError("object", tr("--font: a project holds font names of at most %1 bytes", {std::to_string(kFaceBlockSize - 1)}));
    t.flat = args.has("flat");
    t.vertical = args.has("vertical");
    t.bold = !args.has("plain");
    t.italic = args.has("italic");
    t.antialiased = true;
    ShapeDialogData& s = dialogs.shape;
    if (auto kind = args.get("shape")) {
        s.kind = shapeKind(*kind);
        if (s.kind < 0) return usageError("object", tr("--shape is one of rectangle, ellipse, rounded, rising, falling"));
    }
    s.square = args.has("square");
    s.noFill = args.has("no-fill");
    s.arrowFirst = args.has("arrow-left");
    s.arrowSecond = args.has("arrow-right");
    s.lineWidth = lineWidth.value_or(2);
    s.size = corner.value_or(8);

    CliHost host;
    host.writeSubject = *args.get("output");  // a failed save names the file written
    host.readSubject = args.positional()[0];
    CStereoWorkspace ws(host, readSettingsPath());
    ws.setDialogs(&dialogs);
    if (!ws.Open(args.positional()[0])) return kExitFailure;
    int added = 0;
    if (auto text = args.get("text")) {
        t.text = *text;
        added = ws.AddTextObject();
    } else if (args.has("shape")) {
        added = ws.AddShapeObject();
    } else {
        // A message about the clip art names its file, not the project.
        host.readSubject = *args.get("clipart");
        added = ws.AddPictureObject(*args.get("clipart"));
        host.readSubject = args.positional()[0];
    }
    if (added != 1) {
        if (host.messages.empty()) std::cerr << tr("no object was added (nothing to draw)") << "\n";
        return kExitFailure;
    }
    OverlayObject& o = *ws.objectEntry(ws.currentObject()).object;
    if (colour) {
        if (ws.objectEntry(ws.currentObject()).type == kObjectShape) o.lineColour = *colour;
        else o.colour = *colour;
    }
    if (box) {
        o.width = box->first;
        o.height = box->second;
    }
    if (at) {
        o.x = at->first;
        o.y = at->second;
    }
    if (depth) o.depth = *depth;
    o.shadow = args.has("shadow") ? 1 : 0;
    if (int rc = refuseIncompleteOverwrite("object", ws, *args.get("output")); rc != kExitOk) return rc;
    if (!ws.Save(*args.get("output"))) return kExitFailure;
    std::cout << "object " << ws.currentObject() << " at " << o.x << "," << o.y << " size " << o.width << " x "
              << o.height << "\n";
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"object",
                      "P.lyr (--text T [--font F] [--size 8..72] [--vertical] [--flat] [--plain] [--italic] | "
                      "--shape rectangle|ellipse|rounded|rising|falling [--line-width 0..8] [--corner 0..32] "
                      "[--no-fill] [--square] [--arrow-left] [--arrow-right] | --clipart FILE) [--colour RRGGBB] "
                      "[--at x,y] [--box w,h] [--depth D] [--shadow] -o OUT.lyr",
                      "adds a text, shape or clip-art object to a project (as the image-editing tools do) and saves it",
                      &runObject});
PLASTORA_CLI_HELP("object",
                  "One of --text, --shape or --clipart; positions and sizes are in pixels of the working image.\n\n"
                  "options:\n"
                  "  -o, --output OUT   the project to write (.lyr)\n"
                  "  --text T           a text object (as the text tool)\n"
                  "    --font F         the font face (default: the text dialog's)\n"
                  "    --size N         the character size in pixels, 8 to 72 (default: the text dialog's)\n"
                  "    --vertical       vertical writing\n"
                  "    --flat           not made three-dimensional: the text stays in place in every view\n"
                  "    --plain          not bold (default: bold; --bold says so)\n"
                  "    --italic         italic\n"
                  "  --shape KIND       a shape: rectangle, ellipse, rounded (rectangle), rising or falling (line)\n"
                  "    --line-width W   the line width in pixels, 0 to 8, a line at least 1 (default 2)\n"
                  "    --corner R       the corner size of a rounded rectangle, or a line's arrow head size, in pixels,\n"
                  "                     0 to 32 (default 8)\n"
                  "    --no-fill        only the outline\n"
                  "    --square         a square or circle\n"
                  "    --arrow-left     an arrow head at the line's first end\n"
                  "    --arrow-right    an arrow head at the line's second end\n"
                  "  --clipart FILE     a clip-art picture (WMF, GIF, BMP or PNG)\n"
                  "  --colour C         the colour, RRGGBB or #RRGGBB (hexadecimal red, green, blue); a shape's\n"
                  "                     line colour; --color is the same\n"
                  "  --at x,y           the top left corner (default: where the tool puts it)\n"
                  "  --box w,h          the size, each at least 1\n"
                  "  --depth D          the object's depth, -32 to 16 (default: the settings' [Stereo] Paint)\n"
                  "  --shadow           a grey shadow at the background's depth\n\n"
                  "examples:\n"
                  "  plastora-cli object picture.lyr --text \"Hello\" --size 36 --colour FF0000 --at 20,20 -o out.lyr\n"
                  "  plastora-cli object picture.lyr --shape ellipse --line-width 4 --no-fill --depth 8 -o out.lyr\n");

}  // namespace plastora::cli

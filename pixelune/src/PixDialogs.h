// Qt widgets the library shows. They are built into a module of their own
// (libpixelune_widgets.so), which the library loads when a dialog is first
// shown; without it (or without Qt Widgets) nothing is shown and the callers
// report failure.
#pragma once

#include <string>
#include <vector>

namespace plastora {
class Surface;
}

namespace pixelune {

struct SourceChoice {
    std::string name;         // the SANE device name
    std::string description;  // vendor, model and type as shown
};

// A modal list of the devices under `parent` (a QWidget*, may be null).
// Returns false when no widget application runs or the user cancels;
// otherwise *chosen receives the chosen device's name.
bool chooseSource(const std::vector<SourceChoice>& devices, void* parent, std::string* chosen);

// The previewing file-open dialog; the chosen path, or "" when cancelled or
// when no widget application runs. The text stays valid until the next call.
const char* fileDialog(const char* defaultExtension, const char* filter, const char* initialFolder);

// Renders the preview of `path` into the 128 x 96 box: white, then the
// picture fitted. A file that cannot be read leaves the box empty (white).
bool renderPreview(const std::string& path, plastora::Surface& box);

// The box before any preview: a framed landscape on grey.
void drawPlaceholder(plastora::Surface& box);

// Between the library and its widget module. The library hands the module
// the drawing it needs (the module links no picture readers); the module
// hands back its dialogs.
struct WidgetServices {
    bool (*renderPreview)(const std::string& path, plastora::Surface& box);
    void (*drawPlaceholder)(plastora::Surface& box);
};

struct WidgetEntry {
    bool (*chooseSource)(const std::vector<SourceChoice>& devices, void* parent, std::string* chosen);
    // Leaves *chosen empty when the dialog is cancelled.
    void (*fileDialog)(const char* defaultExtension, const char* filter, const char* initialFolder,
                       std::string* chosen);
};

inline constexpr const char* kWidgetModuleName = "libpixelune_widgets.so";
inline constexpr const char* kWidgetEntrySymbol = "pixelune_widget_entry";
using WidgetModuleEntry = const WidgetEntry* (*)(const WidgetServices*);

}  // namespace pixelune

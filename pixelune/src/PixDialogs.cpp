// The previews of the library's file dialog, and the loading of the module
// that holds its widgets.
#include "PixDialogs.h"

#include "PreviewFit.h"
#include "pixelune/pixelune.h"

#include "linewisp/linewisp.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include <QCoreApplication>

#include <dlfcn.h>

#include <mutex>

namespace pixelune {

namespace {

bool endsWithWmf(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".wmf";
}

}  // namespace

void drawPlaceholder(plastora::Surface& box) {
    using namespace plastora;
    fillRect(box, Rect{0, 0, kPreviewWidth, kPreviewHeight}, RGB(0xD4, 0xD0, 0xC8));
    const Rect frame{24, 14, 104, 82};
    rectangle(box, Pen{1, RGB(0x80, 0x80, 0x80)}, Brush{RGB(0xFF, 0xFF, 0xFF)}, frame);
    fillRect(box, Rect{25, 15, 103, 56}, RGB(0xA6, 0xCA, 0xF0));
    polygon(box, kNullPen, Brush{RGB(0x40, 0x80, 0x40)}, {{25, 81}, {52, 40}, {70, 64}, {82, 50}, {103, 81}});
    ellipse(box, kNullPen, Brush{RGB(0xFF, 0xC0, 0x00)}, Rect{80, 20, 94, 34});
}

namespace {

// The metafile in its fitted place. False when it cannot be read.
bool previewMetafile(const std::string& path, plastora::Surface& box) {
    VectObjectList list;
    VectPacket packet;
    std::memset(&packet, 0, sizeof packet);
    VectPacketSetList(&packet, &list);
    packet.bitDepth = 24;
    packet.objectLimit = 4095;
    packet.pointLimit = 0x8000;
    VectDC reference;
    bool shown = false;
    if (VectWmfRead(&reference, path.c_str(), &packet) > 0) {
        const int zoom = packet.zoom > 0 ? packet.zoom : 100;
        const int w = packet.right * zoom / 100;
        const int h = packet.bottom * zoom / 100;
        PreviewPlace place;
        plastora::Surface picture;
        // The zoom is a whole percentage: the fitting one rounded up, at
        // least 1%. Where it is not exact (a large drawing fits below 1%, and
        // a whole percentage rarely fits exactly) the drawing is painted a
        // little larger and shrunk into its place.
        if (fitPreview(w, h, &place) && place.width > 0 && place.height > 0) {
            const int paintZoom = std::clamp(
                static_cast<int>((std::int64_t{zoom} * place.width + w - 1) / w), 1, 32767);
            const int pw = std::max(place.width, static_cast<int>(std::int64_t{packet.right} * paintZoom / 100));
            const int ph = std::max(place.height, static_cast<int>(std::int64_t{packet.bottom} * paintZoom / 100));
            if (picture.create(pw, ph)) {
                // Painting the fitted area alone is moving the origin to the
                // centring offset and clipping to the box.
                plastora::blit(picture, plastora::Rop::Whiteness);
                packet.zoom = static_cast<std::int16_t>(paintZoom);
                VectDC target{&picture, 96, 96};
                VectVectPaint(&target, &packet, 1);
                // A plain copy where the zoom fitted exactly.
                plastora::stretchBlit(box, place.x, place.y, place.width, place.height, picture, 0, 0, pw, ph,
                                      plastora::Rop::Copy, plastora::StretchMode::Halftone);
                shown = true;
            }
        }
    }
    VectRelease(&list, &packet);
    VectPacketSetList(&packet, nullptr);
    return shown;
}

// A raster picture in its fitted place. False when it cannot be read.
bool previewRaster(const std::string& path, plastora::Surface& box) {
    PixDisplay display;
    plastora::Surface picture;
    std::uint32_t palette[kPixPaletteSize];
    std::uint32_t paletteOut[kPixPaletteSize];
    int w = 0, h = 0;
    if (!ReadRasterFile(&display, &picture, palette, path.c_str(), nullptr, 0, nullptr, &w, &h, nullptr, 1,
                        paletteOut))
        return false;
    PreviewPlace place;
    if (!fitPreview(picture.width(), picture.height(), &place)) return false;
    if (place.width > 0 && place.height > 0)
        plastora::stretchBlit(box, place.x, place.y, place.width, place.height, picture, 0, 0, picture.width(),
                              picture.height(), plastora::Rop::Copy, plastora::StretchMode::Halftone);
    return true;
}

}  // namespace

bool renderPreview(const std::string& path, plastora::Surface& box) {
    if (!box.create(kPreviewWidth, kPreviewHeight)) return false;
    plastora::blit(box, plastora::Rop::Whiteness);
    return endsWithWmf(path) ? previewMetafile(path, box) : previewRaster(path, box);
}

namespace {

// The widgets live in a module of their own beside this library
// (libpixelune_widgets.so), loaded the first time a dialog is shown:
// linking Qt Widgets here would make every program that reads a picture
// load and relocate it at start-up, dialogs or not.
const WidgetEntry* widgetModule() {
    static const WidgetEntry* entry = nullptr;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        Dl_info self{};
        if (!dladdr(reinterpret_cast<void*>(&renderPreview), &self) || !self.dli_fname) return;
        std::string path = self.dli_fname;
        const std::size_t slash = path.rfind('/');
        path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + kWidgetModuleName;
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) return;
        auto* open = reinterpret_cast<WidgetModuleEntry>(dlsym(module, kWidgetEntrySymbol));
        static const WidgetServices services{&renderPreview, &drawPlaceholder};
        if (open) entry = open(&services);
    });
    return entry;
}

// A widget application runs (a QApplication, not a console or GUI-less one).
bool widgetApplication() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->inherits("QApplication");
}

}  // namespace

bool chooseSource(const std::vector<SourceChoice>& devices, void* parent, std::string* chosen) {
    if (!widgetApplication() || devices.empty()) return false;
    const WidgetEntry* widgets = widgetModule();
    return widgets && widgets->chooseSource(devices, parent, chosen);
}

const char* fileDialog(const char* defaultExtension, const char* filter, const char* initialFolder) {
    static std::string chosenPath;
    chosenPath.clear();
    if (!widgetApplication()) return chosenPath.c_str();
    if (const WidgetEntry* widgets = widgetModule())
        widgets->fileDialog(defaultExtension, filter, initialFolder, &chosenPath);
    return chosenPath.c_str();
}

}  // namespace pixelune

const char* CustomFileDialog(const char* defaultExtension, const char* filter, const char* initialFolder) {
    return pixelune::fileDialog(defaultExtension, filter, initialFolder);
}

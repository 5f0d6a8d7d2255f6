// Scanner acquisition over SANE.
//
// The acquisition keeps the shape of a TWAIN session, mapped onto SANE:
//  load and open the source manager   dlopen(libsane.so.1), sane_init
//  user select of a source            sane_get_devices + a list to choose from
//  open the default / chosen source   sane_open("" or the chosen name)
//  CAP_XFERCOUNT = 1                  pending = 1
//  ICAP_PIXELTYPE, ICAP_BITDEPTH      options "mode" = "Color", "depth" = 8
//  enable the source                  state 1; the scan starts on the first
//                                     TWAINPostTwain (sane_start), as the
//                                     source's own "scan" button would
//  MSG_NULL                           select descriptor not readable yet
//  MSG_XFERREADY + native transfer    sane_get_parameters + sane_read until
//                                     EOF, for every frame, into a DIB
//  MSG_CLOSEDSREQ                     sane_start refused (cancel, no docs...)
//  disable and close the source       sane_cancel, sane_close
//  close the manager                   sane_exit (the library stays loaded)
#include "Guard.h"
#include "pixelune/pixelune.h"

#include "PixDialogs.h"
#include "RasterImage.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <dlfcn.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kSaneLibrary = "libsane.so.1";
// The largest picture handed out, in bytes of DIB pixels.
constexpr std::size_t kMaxDibBytes = std::size_t{1} << 28;
// How long a failed transfer waits before it cancels the scan (see the
// transfer loop).
constexpr std::chrono::milliseconds kReaderSettleTime{200};

}  // namespace

// The loaded SANE library and the entry points used.
struct PixSaneManager {
    void* module = nullptr;
    SANE_Status (*init)(SANE_Int*, SANE_Auth_Callback) = nullptr;
    void (*exit)() = nullptr;
    SANE_Status (*getDevices)(const SANE_Device***, SANE_Bool) = nullptr;
    SANE_Status (*open)(SANE_String_Const, SANE_Handle*) = nullptr;
    void (*close)(SANE_Handle) = nullptr;
    const SANE_Option_Descriptor* (*getOptionDescriptor)(SANE_Handle, SANE_Int) = nullptr;
    SANE_Status (*controlOption)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*) = nullptr;
    SANE_Status (*getParameters)(SANE_Handle, SANE_Parameters*) = nullptr;
    SANE_Status (*start)(SANE_Handle) = nullptr;
    SANE_Status (*read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*) = nullptr;
    void (*cancel)(SANE_Handle) = nullptr;
    SANE_Status (*setIoMode)(SANE_Handle, SANE_Bool) = nullptr;
    SANE_Status (*getSelectFd)(SANE_Handle, SANE_Int*) = nullptr;
    int selectFd = -1;
};

namespace {

template <typename F>
bool resolve(void* module, const char* name, F*& out) {
    out = reinterpret_cast<F*>(dlsym(module, name));
    return out != nullptr;
}

void fillIdentity(TWAINIdentity& id) {
    id = TWAINIdentity{};
    id.majorNum = 3;
    id.minorNum = 5;
    id.language = 13;
    id.country = 1;
    std::strcpy(id.info, "Your Application's Version String");
    id.protocolMajor = 1;
    id.protocolMinor = 5;
    id.supportedGroups = 3;  // control and image
    std::strcpy(id.manufacturer, "Application's Manufacturer");
    std::strcpy(id.productFamily, "Application's Product Family");
    std::strcpy(id.productName, "Specific Application Product Name");
}

// dlopen + sane_init. Fills packet->manager; false when SANE is missing.
bool loadManager(TWAINPacket* packet) {
    void* module = dlopen(kSaneLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!module) return false;
    auto* m = new (std::nothrow) PixSaneManager;
    if (!m) {
        dlclose(module);
        return false;
    }
    m->module = module;
    const bool ok = resolve(module, "sane_init", m->init) && resolve(module, "sane_exit", m->exit) &&
                    resolve(module, "sane_get_devices", m->getDevices) && resolve(module, "sane_open", m->open) &&
                    resolve(module, "sane_close", m->close) &&
                    resolve(module, "sane_get_option_descriptor", m->getOptionDescriptor) &&
                    resolve(module, "sane_control_option", m->controlOption) &&
                    resolve(module, "sane_get_parameters", m->getParameters) &&
                    resolve(module, "sane_start", m->start) && resolve(module, "sane_read", m->read) &&
                    resolve(module, "sane_cancel", m->cancel) && resolve(module, "sane_set_io_mode", m->setIoMode) &&
                    resolve(module, "sane_get_select_fd", m->getSelectFd);
    SANE_Int version = 0;
    if (!ok || m->init(&version, nullptr) != SANE_STATUS_GOOD) {
        dlclose(module);
        delete m;
        return false;
    }
    packet->manager = m;
    fillIdentity(packet->appId);
    return true;
}

// sane_exit. The library itself stays loaded for the rest of the process
// (the next scan's dlopen finds it again): SANE's backends keep a little of
// what sane_init read for good, and unloading them would leave that memory,
// and any reader a backend left behind, without the code it belongs to.
void unloadManager(TWAINPacket* packet) {
    PixSaneManager* m = packet->manager;
    if (!m) return;
    m->exit();
    delete m;
    packet->manager = nullptr;
}

// Disables and closes the source, then the manager.
void closeAll(TWAINPacket* packet) {
    if (packet->sourceHandle && packet->manager) {
        packet->manager->cancel(packet->sourceHandle);
        packet->manager->close(packet->sourceHandle);
    }
    packet->sourceHandle = nullptr;
    packet->userInterface = nullptr;
    packet->pending = 0;
    packet->state = 0;
    unloadManager(packet);
}

// Sets one option by name when the device offers it as settable and active
// (and, for constrained values, among its choices). Failures are ignored:
// the device then scans the way it is set up.
void setStringOption(const PixSaneManager& m, SANE_Handle h, const char* name, const char* value) {
    for (SANE_Int i = 1;; ++i) {
        const SANE_Option_Descriptor* d = m.getOptionDescriptor(h, i);
        if (!d) return;
        if (!d->name || std::strcmp(d->name, name) != 0) continue;
        if (d->type != SANE_TYPE_STRING || !SANE_OPTION_IS_SETTABLE(d->cap) || !SANE_OPTION_IS_ACTIVE(d->cap)) return;
        if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
            bool offered = false;
            for (const SANE_String_Const* s = d->constraint.string_list; s && *s; ++s) offered |= std::strcmp(*s, value) == 0;
            if (!offered) return;
        }
        if (d->size <= 0 || std::strlen(value) >= static_cast<std::size_t>(d->size)) return;
        std::vector<char> buffer(static_cast<std::size_t>(d->size), '\0');
        std::memcpy(buffer.data(), value, std::strlen(value));
        m.controlOption(h, i, SANE_ACTION_SET_VALUE, buffer.data(), nullptr);
        return;
    }
}

void setIntOption(const PixSaneManager& m, SANE_Handle h, const char* name, SANE_Int value) {
    for (SANE_Int i = 1;; ++i) {
        const SANE_Option_Descriptor* d = m.getOptionDescriptor(h, i);
        if (!d) return;
        if (!d->name || std::strcmp(d->name, name) != 0) continue;
        if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || d->size != sizeof(SANE_Word) ||
            !SANE_OPTION_IS_SETTABLE(d->cap) || !SANE_OPTION_IS_ACTIVE(d->cap))
            return;
        SANE_Word v = d->type == SANE_TYPE_FIXED ? SANE_FIX(value) : value;
        if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
            const SANE_Word* list = d->constraint.word_list;
            if (!list || std::find(list + 1, list + 1 + list[0], v) == list + 1 + list[0]) return;
        }
        m.controlOption(h, i, SANE_ACTION_SET_VALUE, &v, nullptr);
        return;
    }
}

// Reads one frame whole: until EOF. `expected` is the byte count the
// parameters promise (0 when the line count is unknown, when `limit` bounds
// it). False on any read error, on data beyond the limit, or when a
// known-size frame ends early.
bool readFrame(const PixSaneManager& m, SANE_Handle h, std::size_t expected, std::size_t limit,
               std::vector<std::uint8_t>& out) {
    out.clear();
    try {
        if (expected) out.reserve(expected);
        std::uint8_t chunk[32768];
        std::size_t surplus = 0;
        for (;;) {
            SANE_Int len = 0;
            const SANE_Status st = m.read(h, chunk, sizeof chunk, &len);
            if (st == SANE_STATUS_EOF) break;
            if (st != SANE_STATUS_GOOD) return false;
            if (len < 0 || static_cast<std::size_t>(len) > sizeof chunk) return false;
            if (out.size() + static_cast<std::size_t>(len) > (expected ? expected : limit)) {
                // More than the frame can hold: keep what fits of a known
                // frame (devices may pad a little), refuse an unknown one or
                // a device that will not stop.
                if (!expected) return false;
                surplus += out.size() + static_cast<std::size_t>(len) - expected;
                if (surplus > expected) return false;
                out.insert(out.end(), chunk, chunk + (expected - out.size()));
                continue;
            }
            out.insert(out.end(), chunk, chunk + len);
        }
    } catch (...) {
        return false;
    }
    return expected == 0 || out.size() == expected;
}

// The 8-bit value of sample `i` of a row. A 1-bit grey sample of 1 is
// black (line art); a 1-bit colour sample of 1 is its colour at full
// intensity.
std::uint8_t sample(const std::uint8_t* row, int i, int depth, bool colour = false) {
    switch (depth) {
        case 1:
            return ((row[i >> 3] >> (7 - (i & 7))) & 1) != colour ? 0 : 255;
        case 8:
            return row[i];
        default: {
            std::uint16_t v;
            std::memcpy(&v, row + 2 * i, 2);  // machine byte order
            return static_cast<std::uint8_t>(v >> 8);
        }
    }
}

struct Frame {
    SANE_Parameters p{};
    std::vector<std::uint8_t> data;
};

bool layoutOk(const SANE_Parameters& p) {
    if (p.pixels_per_line <= 0 || p.bytes_per_line <= 0 || (p.lines <= 0 && p.lines != -1)) return false;
    if (p.depth != 1 && p.depth != 8 && p.depth != 16) return false;
    const int samples = p.format == SANE_FRAME_RGB ? 3 : 1;
    if (p.format > SANE_FRAME_BLUE) return false;
    if (p.format == SANE_FRAME_RGB && p.depth == 1) return false;
    const std::int64_t bits = static_cast<std::int64_t>(p.pixels_per_line) * samples * p.depth;
    return (bits + 7) / 8 <= p.bytes_per_line;
}

// Builds the packed DIB from the frames of one image. All frames must have
// the same size; RED/GREEN/BLUE frames fill their own channel.
void* makeDib(const std::vector<Frame>& frames) {
    const SANE_Parameters& first = frames.front().p;
    const int w = first.pixels_per_line;
    const std::size_t bpl = static_cast<std::size_t>(first.bytes_per_line);
    const std::size_t lines = frames.front().data.size() / bpl;
    if (lines == 0 || lines > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return nullptr;
    for (const Frame& f : frames)
        if (f.p.pixels_per_line != w || static_cast<std::size_t>(f.p.bytes_per_line) != bpl ||
            f.data.size() / bpl != lines)
            return nullptr;
    const std::size_t stride = plastora::dibStride(w);
    if (stride > kMaxDibBytes / lines) return nullptr;
    const std::size_t imageBytes = stride * lines;
    auto* dib = static_cast<std::uint8_t*>(std::calloc(1, 40 + imageBytes));
    if (!dib) return nullptr;
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<std::uint32_t>(w));
    put32(8, static_cast<std::uint32_t>(lines));
    dib[12] = 1;   // planes
    dib[14] = 24;  // bits
    put32(20, static_cast<std::uint32_t>(imageBytes));
    std::uint8_t* pixels = dib + 40;
    for (const Frame& f : frames) {
        for (std::size_t y = 0; y < lines; ++y) {
            const std::uint8_t* src = f.data.data() + y * bpl;
            std::uint8_t* dst = pixels + (lines - 1 - y) * stride;  // bottom-up
            for (int x = 0; x < w; ++x) {
                std::uint8_t* px = dst + 3 * static_cast<std::size_t>(x);
                switch (f.p.format) {
                    case SANE_FRAME_GRAY:
                        px[0] = px[1] = px[2] = sample(src, x, f.p.depth);
                        break;
                    case SANE_FRAME_RGB:
                        px[2] = sample(src, 3 * x, f.p.depth);
                        px[1] = sample(src, 3 * x + 1, f.p.depth);
                        px[0] = sample(src, 3 * x + 2, f.p.depth);
                        break;
                    case SANE_FRAME_RED:
                        px[2] = sample(src, x, f.p.depth, true);
                        break;
                    case SANE_FRAME_GREEN:
                        px[1] = sample(src, x, f.p.depth, true);
                        break;
                    default:
                        px[0] = sample(src, x, f.p.depth, true);
                        break;
                }
            }
        }
    }
    return dib;
}

// One image: every frame up to the last, each started with sane_start (the
// first was started already). Null on failure.
void* transferImage(const PixSaneManager& m, SANE_Handle h) {
    std::vector<Frame> frames;
    for (int n = 0; n < 8; ++n) {  // gray/RGB: 1 frame; three-pass: 3
        if (n > 0 && m.start(h) != SANE_STATUS_GOOD) return nullptr;
        Frame f;
        if (m.getParameters(h, &f.p) != SANE_STATUS_GOOD || !layoutOk(f.p)) return nullptr;
        const std::size_t bpl = static_cast<std::size_t>(f.p.bytes_per_line);
        // No more lines than a picture the library's own readers take (so a
        // scan saved as a file opens again) and than the DIB limit.
        const std::size_t maxLines = std::min(static_cast<std::size_t>(pixelune::kMaxRasterPixels) /
                                                  static_cast<std::size_t>(f.p.pixels_per_line),
                                              kMaxDibBytes / bpl);
        std::size_t expected = 0;
        if (f.p.lines > 0) {
            if (static_cast<std::size_t>(f.p.lines) > maxLines) return nullptr;
            expected = bpl * static_cast<std::size_t>(f.p.lines);
        }
        if (!readFrame(m, h, expected, bpl * maxLines, f.data)) return nullptr;
        f.data.resize(f.data.size() / bpl * bpl);  // whole lines of an unknown-length frame
        if (f.data.empty()) return nullptr;
        if (!frames.empty() && (f.p.format == SANE_FRAME_GRAY || f.p.format == SANE_FRAME_RGB)) return nullptr;
        const bool last = f.p.last_frame;
        frames.push_back(std::move(f));
        if (last) return makeDib(frames);
    }
    return nullptr;
}

}  // namespace

char* TWAINGetDllName() {
    static char path[4096];
    void* module = dlopen(kSaneLibrary, RTLD_LAZY | RTLD_LOCAL);
    if (!module) return nullptr;
    char* result = nullptr;
    Dl_info info{};
    void* symbol = dlsym(module, "sane_init");
    if (symbol && dladdr(symbol, &info) && info.dli_fname && std::strlen(info.dli_fname) < sizeof path) {
        std::strcpy(path, info.dli_fname);
        result = path;
    }
    dlclose(module);
    return result;
}

static int TWAINSelectSourceBody(TWAINPacket* packet, void* parent) {
    if (!packet || packet->state != 0 || packet->manager) return 0;
    if (!loadManager(packet)) return 0;
    std::vector<pixelune::SourceChoice> choices;
    const SANE_Device** devices = nullptr;
    // Every device, network scanners (saned) included.
    if (packet->manager->getDevices(&devices, SANE_FALSE) == SANE_STATUS_GOOD && devices) {
        for (const SANE_Device** d = devices; *d; ++d) {
            if (!(*d)->name || std::strlen((*d)->name) >= sizeof packet->source) continue;
            std::string text = std::string((*d)->vendor ? (*d)->vendor : "") + " " + ((*d)->model ? (*d)->model : "");
            if ((*d)->type && *(*d)->type) text += std::string(" (") + (*d)->type + ")";
            choices.push_back({(*d)->name, text + " - " + (*d)->name});
        }
    }
    std::string chosen;
    const bool ok = !choices.empty() && pixelune::chooseSource(choices, parent, &chosen);
    unloadManager(packet);
    if (!ok) return 0;
    if (chosen.size() >= sizeof packet->source) return 0;
    std::memset(packet->source, 0, sizeof packet->source);
    std::memcpy(packet->source, chosen.data(), chosen.size());
    return 1;
}

static int TWAINGetSourceBody(TWAINPacket* packet, void* parent) {
    if (!packet || packet->state != 0 || packet->manager) return 0;
    packet->source[sizeof packet->source - 1] = '\0';
    if (!loadManager(packet)) return 0;
    PixSaneManager& m = *packet->manager;
    SANE_Handle h = nullptr;
    if (m.open(packet->source, &h) != SANE_STATUS_GOOD || !h) {
        closeAll(packet);
        return 0;
    }
    packet->sourceHandle = h;
    packet->pending = 1;
    setStringOption(m, h, SANE_NAME_SCAN_MODE, SANE_VALUE_SCAN_MODE_COLOR);
    setIntOption(m, h, SANE_NAME_BIT_DEPTH, 8);
    packet->userInterface = parent;
    packet->state = 1;
    m.selectFd = -1;
    return 1;
}

static int TWAINPostTwainBody(TWAINPacket* packet, const void* /*message*/, void** image, void* /*parent*/) {
    if (!packet || !packet->manager || !packet->sourceHandle || packet->state == 0) return kTwainNotSourceEvent;
    PixSaneManager& m = *packet->manager;
    SANE_Handle h = packet->sourceHandle;
    if (packet->state == 1) {
        if (m.start(h) != SANE_STATUS_GOOD) {  // the source asks to be closed
            closeAll(packet);
            return kTwainClosed;
        }
        packet->state = 2;
        SANE_Int fd = -1;
        m.selectFd = -1;
        if (m.setIoMode(h, SANE_TRUE) == SANE_STATUS_GOOD && m.getSelectFd(h, &fd) == SANE_STATUS_GOOD && fd >= 0)
            m.selectFd = fd;
    }
    if (m.selectFd >= 0) {
        pollfd p{m.selectFd, POLLIN, 0};
        if (::poll(&p, 1, 0) == 0) return kTwainNothingYet;
    }
    m.setIoMode(h, SANE_FALSE);  // the transfer itself blocks
    void* result = nullptr;
    while (packet->pending > 0) {
        void* dib = transferImage(m, h);
        if (!dib) {
            packet->pending = 0;  // failed: nothing more comes
            // Many backends read in a thread that sane_cancel stops with an
            // asynchronous pthread_cancel. A reader that has only just been
            // started may be stopped inside the C library's allocator, with
            // its lock held, and then never ends: sane_cancel waits for it
            // for ever. A failed read can come straight after sane_start, so
            // the reader gets a moment to settle (or finish) first; this
            // costs nothing on the way of a good scan.
            std::this_thread::sleep_for(kReaderSettleTime);
            break;
        }
        std::free(result);  // only the last image is handed over
        result = dib;
        --packet->pending;
        if (packet->pending > 0 && m.start(h) != SANE_STATUS_GOOD) packet->pending = 0;
    }
    if (image)
        *image = result;
    else
        std::free(result);
    closeAll(packet);
    return kTwainTransferred;
}

std::size_t TWAINDibSize(const void* dib) {
    if (!dib) return 0;
    const auto* b = static_cast<const std::uint8_t*>(dib);
    const std::uint32_t size = b[20] | b[21] << 8 | b[22] << 16 | static_cast<std::uint32_t>(b[23]) << 24;
    return 40 + static_cast<std::size_t>(size);
}

int TWAINSelectSource(TWAINPacket* packet, void* parent) {
    return pixelune::guarded(int{0}, [&] { return TWAINSelectSourceBody(packet, parent); });
}

int TWAINGetSource(TWAINPacket* packet, void* parent) {
    return pixelune::guarded(int{0}, [&] { return TWAINGetSourceBody(packet, parent); });
}

int TWAINPostTwain(TWAINPacket* packet, const void* message, void** image, void* parent) {
    return pixelune::guarded(int{kTwainNotSourceEvent}, [&] { return TWAINPostTwainBody(packet, message, image, parent); });
}

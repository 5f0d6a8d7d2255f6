#include "stereo/Exif.h"

#include "core/ProjectFile.h"
#include "core/StillImage.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace plastora {

namespace {

// Files read by the wrapper are JPEGs the program has just written; this
// only keeps a wrong path from making us read something huge.
constexpr std::size_t kMaxInputSize = std::size_t{1} << 30;

struct ExifTexts {
    const char* make;
    const char* model;
    const char* software;
};

ExifTexts textsFor(ExifMode mode) {
    if (mode == ExifMode::Card) return {"Nintendo", "Nintendo 3DS", "00204"};
    return {"Orvane Labs", "Plastora 3D App", "00260"};
}

// The maker note, identical in both modes. Its two value offsets (384, 464)
// are TIFF offsets that hold where the note sits in card mode.
constexpr std::array<std::uint8_t, 174> kMakerNote = [] {
    std::array<std::uint8_t, 174> m{};
    const std::uint8_t head[30] = {
        0x00, 0x02,                                                                    // two entries
        0x11, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x50, 0x00, 0x00, 0x01, 0x80,      // 0x1100, 80 bytes at 384
        0x11, 0x01, 0x00, 0x07, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x01, 0xD0,      // 0x1101, 64 bytes at 464
        0x00, 0x00, 0x00, 0x00,                                                      // no next IFD
    };
    for (std::size_t i = 0; i < 30; ++i) m[i] = head[i];
    m[30] = 0x01;  // tag 0x1100: 01 and 79 zero bytes
    const std::uint8_t info[] = {'3',  'D',  'S',  '1',  0x01, 0x00, 0x00, 0x00, 0x31, 0xB6, 0x21, 0x15,
                                 0x00, 0x00, 0x00, 0x00, 0x04, 0x02, 0x00, 0x00, 0x14, 0x00, 0x01, 0x00,
                                 0x95, 0x2D, 0x13, 0xC8, 0,    0,    0,    0,    0,    0,    0,    0,
                                 0,    0,    0,    0,    0x5B, 0x7F, 0x7C, 0xC1};
    for (std::size_t i = 0; i < sizeof info; ++i) m[110 + i] = info[i];  // the rest stays zero
    return m;
}();

// Big-endian writer over the segment buffer; positions are segment positions.
class SegmentWriter {
public:
    explicit SegmentWriter(std::vector<std::uint8_t>& b) : m_b(b) {}
    void u16(std::size_t at, std::uint32_t v) {
        m_b[at] = static_cast<std::uint8_t>(v >> 8);
        m_b[at + 1] = static_cast<std::uint8_t>(v);
    }
    void u32(std::size_t at, std::uint32_t v) {
        u16(at, v >> 16);
        u16(at + 2, v & 0xFFFFu);
    }
    void bytes(std::size_t at, const void* p, std::size_t n) { std::memcpy(&m_b[at], p, n); }
    void text(std::size_t at, const char* s) { bytes(at, s, std::strlen(s) + 1); }
    // One 12-byte IFD entry; `value` is the offset or the value left-justified
    // in the 4-byte field (SHORTs in its first two bytes).
    void entry(std::size_t at, std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        u16(at, tag);
        u16(at + 2, type);
        u32(at + 4, count);
        if (type == kShort && count == 1) {
            u16(at + 8, value);
            u16(at + 10, 0);
        } else {
            u32(at + 8, value);
        }
    }
    void entryBytes(std::size_t at, std::uint16_t tag, std::uint16_t type, std::uint32_t count, const char (&v)[5]) {
        u16(at, tag);
        u16(at + 2, type);
        u32(at + 4, count);
        bytes(at + 8, v, 4);
    }
    void rational(std::size_t at, std::uint32_t num, std::uint32_t den) {
        u32(at, num);
        u32(at + 4, den);
    }

    static constexpr std::uint16_t kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7;

private:
    std::vector<std::uint8_t>& m_b;
};

std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

void appendBytes(std::vector<std::uint8_t>& out, const std::uint8_t* p, std::size_t n) {
    out.insert(out.end(), p, p + n);
}

// One merging pass: every consecutive segment with `marker` starting at
// `pos` is joined into one segment of that marker. Nothing is written when
// the first segment there has another marker. False when a segment runs past
// the data or the joined payload does not fit a segment.
bool mergeSegments(const std::vector<std::uint8_t>& in, std::size_t& pos, std::uint8_t marker,
                   std::vector<std::uint8_t>& out) {
    std::vector<std::uint8_t> payload;
    bool any = false;
    while (pos + 4 <= in.size() && in[pos] == 0xFF && in[pos + 1] == marker) {
        const std::size_t len = be16(&in[pos + 2]);
        if (len < 2 || pos + 2 + len > in.size()) return false;
        payload.insert(payload.end(), in.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                       in.begin() + static_cast<std::ptrdiff_t>(pos + 2 + len));
        pos += 2 + len;
        any = true;
    }
    if (!any) return true;
    if (payload.size() + 2 > 0xFFFF) return false;
    const std::uint8_t head[4] = {0xFF, marker, static_cast<std::uint8_t>((payload.size() + 2) >> 8),
                                  static_cast<std::uint8_t>(payload.size() + 2)};
    appendBytes(out, head, 4);
    appendBytes(out, payload.data(), payload.size());
    return true;
}

// The frame size of a JPEG from its first SOFn segment (segments walked
// from after SOI, bounds checked); nothing when there is none before SOS.
std::optional<Size> jpegFrameSize(const std::vector<std::uint8_t>& jpeg) {
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
        const std::uint8_t marker = jpeg[pos + 1];
        const std::size_t len = be16(&jpeg[pos + 2]);
        if (marker == 0xDA || len < 2 || pos + 2 + len > jpeg.size()) break;
        const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof && len >= 7)
            return Size{static_cast<int>(be16(&jpeg[pos + 7])), static_cast<int>(be16(&jpeg[pos + 5]))};
        pos += 2 + len;
    }
    return std::nullopt;
}

}  // namespace

int exifLayoutConstant(ExifMode mode) { return mode == ExifMode::Card ? 155 : 161; }

std::vector<std::uint8_t> buildExifHeader(ExifMode mode, std::uint32_t thumbnailLength, std::time_t when,
                                          Size pixelSize) {
    const std::size_t D = static_cast<std::size_t>(exifLayoutConstant(mode));
    // The segment length (everything after the marker) and the thumbnail
    // length field both hold 16 bits: a longer segment could not be read back.
    const std::uint64_t segmentLength = D + kExifHeaderTail - 2 + std::uint64_t{thumbnailLength};
    if (segmentLength > 0xFFFF) return {};
    const ExifTexts t = textsFor(mode);
    const auto makeCount = static_cast<std::uint32_t>(std::strlen(t.make) + 1);
    const auto modelCount = static_cast<std::uint32_t>(std::strlen(t.model) + 1);
    const auto tiff = [](std::size_t seg) { return static_cast<std::uint32_t>(seg - 10); };

    char date[20] = {};
    std::tm local{};
    if (localtime_r(&when, &local)) std::strftime(date, sizeof date, "%Y:%m:%d %H:%M:%S", &local);

    std::vector<std::uint8_t> b(D + kExifHeaderTail, 0);
    SegmentWriter w(b);
    using W = SegmentWriter;
    // Segment head and TIFF header.
    b[0] = 0xFF;
    b[1] = 0xE1;
    w.u16(2, static_cast<std::uint32_t>(segmentLength));
    w.bytes(4, "Exif\0\0", 6);
    w.bytes(10, "MM\0*", 4);
    w.u32(14, 8);

    // IFD0.
    const std::size_t makeAt = 132, modelAt = makeAt + makeCount + 1;
    w.u16(18, 9);
    w.entry(20, 0x010F, W::kAscii, makeCount, tiff(makeAt));
    w.entry(32, 0x0110, W::kAscii, modelCount, tiff(modelAt));
    w.entry(44, 0x011A, W::kRational, 1, tiff(D + 1));
    w.entry(56, 0x011B, W::kRational, 1, tiff(D + 9));
    w.entry(68, 0x0128, W::kShort, 1, 2);
    w.entry(80, 0x0131, W::kAscii, 6, tiff(D + 17));
    w.entry(92, 0x0132, W::kAscii, 20, tiff(D + 23));
    w.entry(104, 0x0213, W::kShort, 1, 2);
    w.entry(116, 0x8769, W::kLong, 1, tiff(D + 43));
    w.u32(128, tiff(D + 443));  // IFD1
    w.text(makeAt, t.make);
    w.text(modelAt, t.model);  // the pad bytes after Make and Model stay 0
    w.rational(D + 1, 72, 1);
    w.rational(D + 9, 72, 1);
    w.text(D + 17, t.software);
    w.bytes(D + 23, date, 20);

    // Exif IFD.
    w.u16(D + 43, 10);
    std::size_t e = D + 45;
    w.entryBytes(e, 0x9000, W::kUndefined, 4, "0220");
    w.entry(e += 12, 0x9003, W::kAscii, 20, tiff(D + 169));
    w.entry(e += 12, 0x9004, W::kAscii, 20, tiff(D + 189));
    w.entryBytes(e += 12, 0x9101, W::kUndefined, 4, "\1\2\3\0");
    w.entry(e += 12, 0x927C, W::kUndefined, static_cast<std::uint32_t>(kMakerNote.size()), tiff(D + 209));
    w.entryBytes(e += 12, 0xA000, W::kUndefined, 4, "0100");
    w.entry(e += 12, 0xA001, W::kShort, 1, 1);
    // The size of the picture the segment goes with.
    w.entry(e += 12, 0xA002, W::kLong, 1, static_cast<std::uint32_t>(std::max(0, pixelSize.cx)));
    w.entry(e += 12, 0xA003, W::kLong, 1, static_cast<std::uint32_t>(std::max(0, pixelSize.cy)));
    w.entry(e += 12, 0xA005, W::kLong, 1, tiff(D + 383));
    w.u32(D + 165, 0);
    w.bytes(D + 169, date, 20);
    w.bytes(D + 189, date, 20);
    w.bytes(D + 209, kMakerNote.data(), kMakerNote.size());

    // Interoperability IFD.
    w.u16(D + 383, 3);
    w.entryBytes(D + 385, 0x0001, W::kAscii, 4, "R98\0");
    w.entryBytes(D + 397, 0x0002, W::kUndefined, 4, "0100");
    w.entry(D + 409, 0x1000, W::kAscii, 18, tiff(D + 425));
    w.u32(D + 421, 0);
    w.text(D + 425, "JPEG Exif Ver 2.2");

    // IFD1: the thumbnail.
    w.u16(D + 443, 6);
    w.entry(D + 445, 0x0103, W::kShort, 1, 6);
    w.entry(D + 457, 0x011A, W::kRational, 1, tiff(D + 521));
    w.entry(D + 469, 0x011B, W::kRational, 1, tiff(D + 529));
    w.entry(D + 481, 0x0128, W::kShort, 1, 2);
    w.entry(D + 493, 0x0201, W::kLong, 1, tiff(D + kExifHeaderTail));
    w.entry(D + 505, 0x0202, W::kLong, 1, thumbnailLength & 0xFFFFu);
    w.u32(D + 517, 0);
    w.rational(D + 521, 72, 1);
    w.rational(D + 529, 72, 1);
    return b;
}

Size thumbnailSize(int w, int h) { return w < h ? Size{120, 160} : Size{160, 120}; }

Rect thumbnailCrop(int w, int h, Size thumb) {
    const std::int64_t W = w, H = h, tw = thumb.cx, th = thumb.cy;
    if (W * th < H * tw) {
        const int rows = static_cast<int>(W * th / tw);
        const int top = (h - rows) / 2;
        return {0, top, w, top + rows};
    }
    if (H * tw < W * th) {
        const int cols = static_cast<int>(H * tw / th);
        const int left = (w - cols) / 2;
        return {left, 0, left + cols, h};
    }
    return {0, 0, w, h};
}

bool makeThumbnail(const Surface& view, Surface& thumb) {
    if (view.empty()) return false;
    const Size t = thumbnailSize(view.width(), view.height());
    Rect c = thumbnailCrop(view.width(), view.height(), t);
    // A view only a pixel or two high may crop to nothing: keep one line.
    if (c.width() <= 0) c.right = c.left + 1;
    if (c.height() <= 0) c.bottom = c.top + 1;
    Surface out;
    if (!out.create(t.cx, t.cy)) return false;
    if (!stretchBlit(out, 0, 0, t.cx, t.cy, view, c.left, c.top, c.width(), c.height(), Rop::Copy,
                     StretchMode::Halftone))
        return false;
    thumb = std::move(out);
    return true;
}

int SaveThumbnail(Host& host, const Surface& view, const std::string& path, int jpegQuality) {
    Surface thumb;
    if (!makeThumbnail(view, thumb)) return 0;
    return SaveStillImage(host, thumb, thumb.width(), thumb.height(), path, jpegQuality);
}

bool buildExifJpeg(const std::vector<std::uint8_t>& main, const std::vector<std::uint8_t>& thumb, ExifMode mode,
                   std::time_t when, std::vector<std::uint8_t>& out) {
    // The thumbnail must be a JPEG whose first 20 bytes are SOI and a JFIF
    // APP0 of length 16: those are what embedding drops.
    if (thumb.size() <= kThumbnailSkip || thumb[0] != 0xFF || thumb[1] != 0xD8 || thumb[2] != 0xFF ||
        thumb[3] != 0xE0 || be16(&thumb[4]) != 16)
        return false;
    if (main.size() < 4 || main[0] != 0xFF || main[1] != 0xD8) return false;
    const auto thumbLength = static_cast<std::uint32_t>(thumb.size() - (kThumbnailSkip - 2));
    const std::optional<Size> frame = jpegFrameSize(main);
    if (!frame) return false;
    const std::vector<std::uint8_t> header = buildExifHeader(mode, thumbLength, when, *frame);
    if (header.empty()) return false;

    std::vector<std::uint8_t> result;
    result.reserve(main.size() + header.size() + thumb.size() + 2);
    const std::uint8_t soi[2] = {0xFF, 0xD8};
    appendBytes(result, soi, 2);
    appendBytes(result, header.data(), header.size());
    appendBytes(result, soi, 2);
    appendBytes(result, thumb.data() + kThumbnailSkip, thumb.size() - kThumbnailSkip);

    // The main picture's own header segments (its JFIF APP0) are not copied.
    std::size_t pos = 2;
    while (pos + 4 <= main.size() && main[pos] == 0xFF && main[pos + 1] >= 0xE0 && main[pos + 1] <= 0xEF) {
        const std::size_t len = be16(&main[pos + 2]);
        if (len < 2 || pos + 2 + len > main.size()) return false;
        pos += 2 + len;
    }
    // A restart interval (DRI, written for large pictures) comes last.
    for (const std::uint8_t marker : {std::uint8_t{0xDB}, std::uint8_t{0xC0}, std::uint8_t{0xC4}, std::uint8_t{0xDD}})
        if (!mergeSegments(main, pos, marker, result)) return false;
    // What is left must be the scan: SOS, the coded data and EOI.
    if (pos + 2 > main.size() || main[pos] != 0xFF || main[pos + 1] != 0xDA) return false;
    appendBytes(result, main.data() + pos, main.size() - pos);
    out = std::move(result);
    return true;
}

int WriteExifJpeg(const std::string& mainJpeg, const std::string& thumbnailJpeg, const std::string& outPath,
                  ExifMode mode, std::time_t when) {
    std::vector<std::uint8_t> main, thumb, out;
    if (!readWholeFile(mainJpeg, main, kMaxInputSize) || !readWholeFile(thumbnailJpeg, thumb, kMaxInputSize))
        return 0;
    if (!buildExifJpeg(main, thumb, mode, when, out)) return 0;
    return writeFileAtomically(outPath, out) ? 1 : 0;
}

}  // namespace plastora

#include "stereo/Mpo.h"
#include "platform/SafeFile.h"

#include "core/ProjectFile.h"
#include "core/PhotoFile.h"
#include "core/StillImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace plastora {

const char* const kMpoReadFailedMessage = "マルチピクチャーファイルの読み込みに失敗しました";

namespace {

constexpr std::size_t kMaxInputSize = std::size_t{1} << 30;
// Application segments looked through before the MPF one. Real files have a
// handful (JFIF, Exif, XMP, a few ICC chunks); the bound keeps a file made of
// empty segments from being walked for long.
constexpr int kMaxSegmentsBeforeMpf = 1024;
// How far after the MP header its IFDs and entries are looked for.
constexpr std::uint64_t kMpWindow = 65536;

// ---- writing (little-endian MP values, big-endian segment lengths) ----------

void le16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void le32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    le16(b, v & 0xFFFFu);
    le16(b, v >> 16);
}
void raw(std::vector<std::uint8_t>& b, const void* p, std::size_t n) {
    const auto* c = static_cast<const std::uint8_t*>(p);
    b.insert(b.end(), c, c + n);
}
void entry(std::vector<std::uint8_t>& b, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
           std::uint32_t value) {
    le16(b, tag);
    le16(b, type);
    le32(b, count);
    le32(b, value);
}
// Segment marker, big-endian length, "MPF" 0 and the MP header (II*0, IFD at 8).
void mpfHead(std::vector<std::uint8_t>& b, std::uint32_t length) {
    const std::uint8_t head[8] = {0xFF, 0xE2, static_cast<std::uint8_t>(length >> 8),
                                  static_cast<std::uint8_t>(length), 'M', 'P', 'F', 0};
    raw(b, head, 8);
    raw(b, "II*\0", 4);
    le32(b, 8);
}

constexpr std::uint16_t kLong = 4, kRational = 5, kUndefined = 7, kSRational = 10, kSRationalDeclared = 12;

void versionEntry(std::vector<std::uint8_t>& b) {
    le16(b, 0xB000);
    le16(b, kUndefined);
    le32(b, 4);
    raw(b, "0100", 4);
}

std::vector<std::uint8_t> firstImageSegment(std::uint32_t n, const std::vector<std::uint32_t>& sizes,
                                            const std::vector<std::uint32_t>& offsets) {
    std::vector<std::uint8_t> b;
    b.reserve(firstMpfSegmentSize(n));
    mpfHead(b, 16 * n + 126);
    // MP Index IFD.
    le16(b, 3);
    versionEntry(b);
    entry(b, 0xB001, kLong, 1, n);
    entry(b, 0xB002, kUndefined, 16 * n, 50);
    le32(b, 50 + 16 * n);  // next IFD: the MP Attribute IFD
    for (std::uint32_t k = 0; k < n; ++k) {
        le32(b, k == 0 ? 0x20020002u : 0x00020002u);
        le32(b, sizes[k]);
        le32(b, offsets[k]);
        le16(b, 0);
        le16(b, 0);
    }
    // MP Attribute IFD of the first image.
    le16(b, 4);
    entry(b, 0xB101, kLong, 1, 1);
    entry(b, 0xB204, kLong, 1, 1);
    // The first image declares the convergence angle with type 12, the others
    // with type 10; both values are the all-ones "unknown" pattern.
    entry(b, 0xB205, kSRationalDeclared, 1, 104 + 16 * n);
    entry(b, 0xB206, kRational, 1, 112 + 16 * n);
    le32(b, 0);
    b.insert(b.end(), 16, 0xFF);
    return b;
}

std::vector<std::uint8_t> otherImageSegment(std::uint32_t k) {
    std::vector<std::uint8_t> b;
    b.reserve(kOtherMpfSegmentSize);
    mpfHead(b, 0x60);
    le16(b, 5);
    versionEntry(b);
    entry(b, 0xB101, kLong, 1, k);
    entry(b, 0xB204, kLong, 1, 1);
    entry(b, 0xB205, kSRational, 1, 74);
    entry(b, 0xB206, kRational, 1, 82);
    le32(b, 0);
    b.insert(b.end(), 16, 0xFF);
    return b;
}

std::uint32_t roundUp16(std::uint64_t v) { return static_cast<std::uint32_t>((v + 15) / 16 * 16); }

int writeMpoFiles(const std::vector<std::string>& paths, bool padLast, const std::string& outPath) {
    std::vector<std::vector<std::uint8_t>> images(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (!readWholeFile(paths[i], images[i], kMaxInputSize)) return 0;
    std::vector<std::uint8_t> out;
    if (!assembleMpo(images, padLast, out)) return 0;
    return writeFileAtomically(outPath, out) ? 1 : 0;
}

// ---- reading -------------------------------------------------------------------

// Random access to the bytes of a file or of a buffer; every read is checked
// against the size.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads n bytes at pos; false when they are not all there.
    virtual bool read(std::uint64_t pos, std::uint8_t* out, std::size_t n) = 0;
};

class SpanSource : public ByteSource {
public:
    explicit SpanSource(std::span<const std::uint8_t> d) : m_d(d) {}
    std::uint64_t size() const override { return m_d.size(); }
    bool read(std::uint64_t pos, std::uint8_t* out, std::size_t n) override {
        if (pos > m_d.size() || n > m_d.size() - pos) return false;
        if (n) std::memcpy(out, m_d.data() + pos, n);
        return true;
    }

private:
    std::span<const std::uint8_t> m_d;
};

class FileSource : public ByteSource {
public:
    explicit FileSource(const std::string& path) : m_f(openRegularFile(path)) {
        struct stat st {};
        if (m_f && ::fstat(::fileno(m_f), &st) == 0 && S_ISREG(st.st_mode)) m_size = static_cast<std::uint64_t>(st.st_size);
    }
    ~FileSource() override {
        if (m_f) std::fclose(m_f);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool ok() const { return m_f != nullptr; }
    std::uint64_t size() const override { return m_size; }
    bool read(std::uint64_t pos, std::uint8_t* out, std::size_t n) override {
        if (!m_f || pos > m_size || n > m_size - pos) return false;
        if (::fseeko(m_f, static_cast<off_t>(pos), SEEK_SET) != 0) return false;
        return std::fread(out, 1, n, m_f) == n;
    }

private:
    std::FILE* m_f;
    std::uint64_t m_size = 0;
};

std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

struct Endian {
    bool little = true;
    std::uint16_t u16(const std::uint8_t* p) const {
        return little ? static_cast<std::uint16_t>(p[0] | (p[1] << 8)) : be16(p);
    }
    std::uint32_t u32(const std::uint8_t* p) const {
        return little ? (std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
                         (std::uint32_t{p[3]} << 24))
                      : ((std::uint32_t{be16(p)} << 16) | be16(p + 2));
    }
};

bool parseIndex(ByteSource& src, MpoIndex& index) {
    std::uint8_t head[8];
    if (!src.read(0, head, 2) || head[0] != 0xFF || head[1] != 0xD8) return false;
    // Walk the application segments (and comments, which exiftool puts
    // before the MPF segment when a comment is added) after the SOI up to
    // the MPF one.
    std::uint64_t pos = 2;
    std::uint64_t payloadLength = 0;
    for (int segments = 0;; ++segments) {
        if (segments >= kMaxSegmentsBeforeMpf || !src.read(pos, head, 4)) return false;
        if (head[0] != 0xFF || ((head[1] < 0xE0 || head[1] > 0xEF) && head[1] != 0xFE)) return false;
        const std::uint16_t length = be16(head + 2);
        if (length < 2) return false;
        if (head[1] == 0xE2 && length >= 2 + 4 + 8 && src.read(pos + 4, head + 4, 4) &&
            std::memcmp(head + 4, "MPF\0", 4) == 0) {
            payloadLength = length - 2u - 4u;
            pos += 8;
            break;
        }
        pos += 2u + length;
    }
    // The MP header and what its offsets may reach. Some writers (Pillow 9)
    // give the MPF segment a length too short for its own MP entries, so the
    // window reaches past the segment, up to 64 KiB or the end of the file.
    const std::uint64_t window = std::min<std::uint64_t>(src.size() - pos, std::max<std::uint64_t>(payloadLength, kMpWindow));
    // The TIFF header (byte order and first IFD offset) takes 8 bytes; a file
    // that ends inside it is damaged.
    if (window < 8) return false;
    std::vector<std::uint8_t> mp(static_cast<std::size_t>(window));
    if (!src.read(pos, mp.data(), mp.size())) return false;
    Endian e;
    if (std::memcmp(mp.data(), "II*\0", 4) == 0)
        e.little = true;
    else if (std::memcmp(mp.data(), "MM\0*", 4) == 0)
        e.little = false;
    else
        return false;
    const std::uint64_t ifd = e.u32(mp.data() + 4);
    if (ifd < 8 || ifd + 2 > mp.size()) return false;
    const std::uint32_t count = e.u16(mp.data() + ifd);
    if (ifd + 2 + 12ull * count > mp.size()) return false;
    std::uint64_t images = 0, entryOffset = 0, entryBytes = 0;
    bool haveEntries = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* en = mp.data() + ifd + 2 + 12ull * i;
        const std::uint16_t tag = e.u16(en);
        if (tag == 0xB001) {
            images = e.u32(en + 8);
        } else if (tag == 0xB002) {
            entryBytes = e.u32(en + 4);
            entryOffset = e.u32(en + 8);
            haveEntries = true;
        }
    }
    if (!haveEntries || entryBytes < 16 || entryOffset < 8 || entryOffset > mp.size()) return false;
    if (images == 0) images = entryBytes / 16;
    // Only the entries that lie inside the window are taken.
    const std::uint64_t available = std::min<std::uint64_t>(entryBytes, mp.size() - entryOffset) / 16;
    const std::uint64_t taken = std::min(images, available);
    // A multi-picture file has at least two images; an index cut after its
    // first entry is damaged.
    if (taken < std::min<std::uint64_t>(images, 2)) return false;

    MpoIndex result;
    result.imageCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(images, UINT32_MAX));
    result.headerOffset = pos;
    result.littleEndian = e.little;
    for (std::uint64_t k = 0; k < taken; ++k) {
        const std::uint8_t* en = mp.data() + entryOffset + 16 * k;
        MpoEntry m;
        m.attribute = e.u32(en);
        m.size = e.u32(en + 4);
        const std::uint32_t rel = e.u32(en + 8);
        // The first image starts the file; the others are counted from the MP header.
        m.offset = k == 0 ? 0 : pos + rel;
        if (k > 0 && (rel == 0 || m.offset >= src.size())) return false;
        result.entries.push_back(m);
    }
    // Two entries at one place would decode the same picture twice (a small
    // file could name one huge picture many times over).
    std::vector<std::uint64_t> starts;
    for (const MpoEntry& m : result.entries) starts.push_back(m.offset);
    std::sort(starts.begin(), starts.end());
    if (std::adjacent_find(starts.begin(), starts.end()) != starts.end()) return false;
    index = std::move(result);
    return true;
}

}  // namespace

bool assembleMpo(std::span<const std::vector<std::uint8_t>> images, bool padLast, std::vector<std::uint8_t>& out) {
    const std::size_t n = images.size();
    // The first APP2 holds 16 bytes per image, and its length (126 bytes
    // more) must fit in 16 bits.
    if (n < 2 || n > 4088) return false;
    std::vector<std::uint32_t> app1End(n), padded(n), sizes(n), offsets(n);
    for (std::size_t k = 0; k < n; ++k) {
        const auto& f = images[k];
        if (f.size() < 6 || f[0] != 0xFF || f[1] != 0xD8 || f[2] != 0xFF || f[3] != 0xE1) return false;
        const std::uint64_t L = be16(&f[4]) + 4u;
        if (L > f.size()) return false;
        const std::uint64_t added = k == 0 ? firstMpfSegmentSize(static_cast<std::uint32_t>(n)) : kOtherMpfSegmentSize;
        const std::uint64_t U = f.size() + added;
        if (U > UINT32_MAX - 16) return false;
        app1End[k] = static_cast<std::uint32_t>(L);
        padded[k] = roundUp16(U);
        sizes[k] = (k + 1 == n && !padLast) ? static_cast<std::uint32_t>(U) : padded[k];
    }
    // Offsets are counted from the MP header, 8 bytes into the first APP2.
    std::uint64_t next = 0;
    for (std::size_t k = 0; k < n; ++k) {
        if (k == 0) {
            offsets[k] = 0;
            next = std::uint64_t{padded[0]} - app1End[0] - 8;
        } else {
            if (next > UINT32_MAX) return false;
            offsets[k] = static_cast<std::uint32_t>(next);
            next += padded[k];
        }
    }
    std::vector<std::uint8_t> result;
    std::uint64_t total = 0;
    for (std::size_t k = 0; k < n; ++k) total += sizes[k];
    result.reserve(static_cast<std::size_t>(total));
    for (std::size_t k = 0; k < n; ++k) {
        const auto& f = images[k];
        const std::size_t start = result.size();
        result.insert(result.end(), f.begin(), f.begin() + app1End[k]);
        const auto segment =
            k == 0 ? firstImageSegment(static_cast<std::uint32_t>(n), sizes, offsets) : otherImageSegment(static_cast<std::uint32_t>(k + 1));
        raw(result, segment.data(), segment.size());
        result.insert(result.end(), f.begin() + app1End[k], f.end());
        result.resize(start + sizes[k], 0);
    }
    out = std::move(result);
    return true;
}

int WriteStereoMpo(const std::string& leftJpeg, const std::string& rightJpeg, const std::string& outPath) {
    return writeMpoFiles({leftJpeg, rightJpeg}, false, outPath);
}

int WriteMultiViewMpo(const std::string& pattern, int count, const std::string& outPath) {
    // The last one: the folder and name before it may hold "%02d" too.
    const std::size_t at = pattern.rfind("%02d");
    if (at == std::string::npos || count < 2 || count > 99) return 0;
    std::vector<std::string> paths;
    for (int i = 1; i <= count; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", i);
        paths.push_back(pattern.substr(0, at) + number + pattern.substr(at + 4));
    }
    return writeMpoFiles(paths, true, outPath);
}

bool parseMpoIndex(std::span<const std::uint8_t> data, MpoIndex& index) {
    SpanSource src(data);
    return parseIndex(src, index);
}

bool readMpoIndex(const std::string& path, MpoIndex& index) {
    FileSource src(path);
    return src.ok() && parseIndex(src, index);
}

std::vector<int> mpoViewEntries(const std::string& path, const MpoIndex& index) {
    // The type code is the attribute's low 24 bits; its class 0x01 (codes
    // 0x010001, 0x010002) is a large thumbnail, a smaller copy of another
    // image for previews.
    // One the size of the first image is a view its writer marked wrongly.
    constexpr std::uint32_t kClassMask = 0xFF0000, kThumbnailClass = 0x010000;
    int firstWidth = 0, firstHeight = 0;
    const bool firstKnown = !index.entries.empty() && JpegSizeAt(path, 0, firstWidth, firstHeight);
    std::vector<int> views;
    for (std::size_t k = 0; k < index.entries.size(); ++k) {
        bool view = k == 0 || (index.entries[k].attribute & kClassMask) != kThumbnailClass;
        int w = 0, h = 0;
        if (!view && firstKnown && JpegSizeAt(path, static_cast<long long>(index.entries[k].offset), w, h))
            view = w == firstWidth && h == firstHeight;
        if (view) views.push_back(static_cast<int>(k));
    }
    return views;
}

int ReadMpoImage(Host& host, const std::string& path, int k, Surface& out, int& width, int& height) {
    MpoIndex index;
    if (k < 0 || !readMpoIndex(path, index)) return 0;
    if (static_cast<std::size_t>(k) >= index.entries.size()) return 0;
    const std::uint64_t offset = index.entries[static_cast<std::size_t>(k)].offset;
    if (!LoadStillImage(host, path, static_cast<long long>(offset), out, width, height)) return 0;
    ConvertJpegPictureToSrgbAt(path, static_cast<long long>(offset), out);
    // A camera held upright tags its pictures; they open the right way up.
    if (!ApplyExifOrientation(out, JpegExifOrientationAt(path, static_cast<long long>(offset)))) {
        host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    width = out.width();
    height = out.height();
    return static_cast<int>(std::min<std::uint32_t>(index.imageCount, INT32_MAX));
}

}  // namespace plastora

#include "core/ProjectFile.h"
#include "platform/SafeFile.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace plastora {

const char* const kNotProjectMessage = "このﾌｧｲﾙはﾌﾟﾗｽﾄｰﾗのﾃﾞｰﾀﾌｧｲﾙではありません。";
const char* const kUnsupportedVersionMessage =
    "このﾌｧｲﾙのﾊﾞｰｼﾞｮﾝはｻﾎﾟｰﾄしていません。ﾌﾟﾗｽﾄｰﾗをﾊﾞｰｼﾞｮﾝｱｯﾌﾟしてください。";
const char* const kMissingMaskMessage = "追加切出し領域ファイルが見つかりません。この追加切出し領域以降を削除します。";
const char* const kMaskSaveFailedMessage = "マスクファイルの保存に失敗しました";
const char* const kReadFailedMessage = "ファイルの読み込みに失敗しました。";
const char* const kCardPathMessage =
    "NINTENDO 3DSのメモリーカードに書き込もうとしています。\n"
    "NINTENDO 3DSのメモリーカードへの書き込みはオプションメニュのNINTENDO 3DS用保存コマンドで行ってください。";

namespace {

// What the reader keeps the numbers of a project in. Depths outside the depth
// dialog's range and strengths outside the stereo dialog's are clamped (not
// refused), so that files written with such values still open; object
// positions, sizes, line widths, corner sizes and outline points are clamped
// to the picture side limit.
constexpr std::int32_t kProjectDepthMin = -32;
constexpr std::int32_t kProjectDepthMax = 16;
constexpr std::int32_t kProjectStrengthMax = 99;

// Limits on what a project may describe. They are far above anything the
// program makes and keep a hostile file from making us allocate without bound.
constexpr std::int64_t kMaxSide = kProjectMaxSide;
constexpr std::int64_t kMaxPixels = kProjectMaxPixels;
constexpr std::int64_t kMaxTextBytes = kProjectMaxTextBytes;

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
    b[at + 2] = static_cast<std::uint8_t>(v >> 16);
    b[at + 3] = static_cast<std::uint8_t>(v >> 24);
}
void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void append32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    const std::size_t at = b.size();
    b.resize(at + 4);
    put32(b, at, v);
}
std::uint32_t get32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
std::int32_t geti32(const std::uint8_t* p) { return static_cast<std::int32_t>(get32(p)); }
std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::int32_t boundedDepth(std::int32_t v) { return std::clamp(v, kProjectDepthMin, kProjectDepthMax); }
std::int32_t boundedCoord(std::int32_t v) { return std::clamp(v, -kProjectMaxSide, kProjectMaxSide); }
std::int32_t boundedSize(std::int32_t v) { return std::clamp(v, 0, kProjectMaxSide); }

// A bounds-checked reader over a byte vector.
class Cursor {
public:
    Cursor(const std::vector<std::uint8_t>& data, std::size_t pos) : m_data(data), m_pos(pos) {}
    std::size_t left() const { return m_pos <= m_data.size() ? m_data.size() - m_pos : 0; }
    bool has(std::int64_t n) const { return n >= 0 && static_cast<std::uint64_t>(n) <= left(); }
    bool i32(std::int32_t& v) {
        if (!has(4)) return false;
        v = geti32(m_data.data() + m_pos);
        m_pos += 4;
        return true;
    }
    const std::uint8_t* take(std::size_t n) {
        if (!has(static_cast<std::int64_t>(n))) return nullptr;
        const std::uint8_t* p = m_data.data() + m_pos;
        m_pos += n;
        return p;
    }

private:
    const std::vector<std::uint8_t>& m_data;
    std::size_t m_pos;
};

bool iequals(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Case-insensitive match with '*' (any run) and '?' (one character).
bool wildcardMatch(const char* pat, const char* s) {
    if (*pat == '\0') return *s == '\0';
    if (*pat == '*') {
        for (const char* t = s;; ++t) {
            if (wildcardMatch(pat + 1, t)) return true;
            if (*t == '\0') return false;
        }
    }
    if (*s == '\0') return false;
    if (*pat != '?' && std::tolower(static_cast<unsigned char>(*pat)) != std::tolower(static_cast<unsigned char>(*s)))
        return false;
    return wildcardMatch(pat + 1, s + 1);
}

std::vector<std::string> splitPath(const std::string& path, const char* separators) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (std::strchr(separators, c)) {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

}  // namespace

// ---- names ---------------------------------------------------------------------

std::string projectBase(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

std::string projectFilePath(const std::string& path) {
    const std::string base = projectBase(path);
    return base.size() < path.size() && iequals(path.substr(base.size() + 1), "lyr") ? path : base + ".lyr";
}

bool isProjectPath(const std::string& path) {
    const std::string base = projectBase(path);
    if (base.size() == path.size()) return true;  // no extension
    return iequals(path.substr(base.size() + 1), "lyr");
}

std::string maskPath(const std::string& base, int region) {
    if (region == 0) return base + ".msk";
    char ext[8];
    std::snprintf(ext, sizeof ext, ".m%02d", region);
    return base + ext;
}

std::string highResPath(const std::string& base, int i) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_hd%02d.jpg", i);
    return base + suffix;
}

bool isCardPicturePath(const std::string& path, const std::string& nintendoPattern) {
    const auto pattern = splitPath(nintendoPattern, "\\/");
    if (pattern.size() < 2) return false;
    // Where the path really is: a relative name or a link into the card's
    // picture folder names no folder of the card in its own text.
    std::error_code ec;
    const std::string abs = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec).string();
    const auto parts = splitPath(ec ? path : abs, "/");
    // The card's picture folder: <card>/DCIM/xxxNIN03/... The path is inside
    // it when any folder named like the pattern's first is directly followed
    // by one matching the second, with something below it.
    for (std::size_t i = 0; i + 2 < parts.size() + 1 && i + 1 < parts.size(); ++i) {
        if (iequals(parts[i], pattern[0]) && wildcardMatch(pattern[1].c_str(), parts[i + 1].c_str())) return true;
    }
    return false;
}

// ---- text ------------------------------------------------------------------------

// A text the Windows code page cannot hold (an emoji, an accented letter,
// the wave dash of Unix input methods) is stored as UTF-8 behind a byte
// order mark. Read as the code page, those bytes would often decode to
// other characters without an error; with the mark they are told apart,
// as no code-page text starts with EF BB (an unassigned double-byte code).
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

std::string toDiskText(const std::string& utf8) {
    QStringEncoder enc("CP932");
    if (!enc.isValid()) return utf8;
    const QByteArray b = enc.encode(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    if (enc.hasError()) return kUtf8Mark + utf8;
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

std::string fromDiskText(const std::string& bytes) {
    const bool marked = bytes.rfind(kUtf8Mark, 0) == 0;
    QStringDecoder dec("CP932");
    if (!marked && dec.isValid()) {
        const QString s = dec.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
        if (!dec.hasError()) return s.toUtf8().toStdString();
    }
    // UTF-8 (marked, or not CP932): kept as it is, anything invalid replaced.
    const std::size_t from = marked ? 3 : 0;
    return QString::fromUtf8(bytes.data() + from, static_cast<qsizetype>(bytes.size() - from)).toUtf8().toStdString();
}

// ---- files -----------------------------------------------------------------------

bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    return writeFileReplacing(path, bytes);
}

// ---- run-length pictures ------------------------------------------------------

std::vector<std::uint8_t> encodePictureRuns(const std::vector<std::uint8_t>& rows, int w, int h) {
    std::vector<std::uint8_t> out;
    if (w <= 0 || h <= 0) return out;
    const std::size_t stride = dibStride(w);
    const std::size_t limit = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4;
    if (rows.size() < stride * static_cast<std::size_t>(h)) return out;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* r = rows.data() + stride * static_cast<std::size_t>(y);
        int x = 0;
        while (x < w) {
            int n = 1;
            while (x + n < w && n < 255 && std::memcmp(r + 3 * x, r + 3 * (x + n), 3) == 0) ++n;
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), r + 3 * x, r + 3 * x + 3);
            x += n;
            if (out.size() >= limit) return {};
        }
    }
    return out;
}

bool decodePictureRuns(const std::uint8_t* data, std::size_t size, int w, int h, std::vector<std::uint8_t>& rows) {
    if (w <= 0 || h <= 0) return false;
    // A run covers at most 255 pixels: data too short for the picture is
    // refused before the picture's memory is taken.
    if (static_cast<std::uint64_t>(size / 4) * 255 < static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h))
        return false;
    const std::size_t stride = dibStride(w);
    try {
        rows.assign(stride * static_cast<std::size_t>(h), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::size_t pos = 0;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* r = rows.data() + stride * static_cast<std::size_t>(y);
        int x = 0;
        while (x < w) {
            if (pos + 4 > size) return false;
            const int n = data[pos];
            if (n == 0 || x + n > w) return false;
            for (int k = 0; k < n; ++k) std::memcpy(r + 3 * (x + k), data + pos + 1, 3);
            x += n;
            pos += 4;
        }
    }
    return true;
}

// ---- mask files -------------------------------------------------------------------

bool writeMaskFile(const std::string& path, const Surface& mask, int depth) {
    const int w = mask.width(), h = mask.height();
    if (w <= 0 || h <= 0) return false;
    const std::size_t stride = static_cast<std::size_t>((w + 31) / 32) * 4;
    const std::size_t image = stride * static_cast<std::size_t>(h);
    std::vector<std::uint8_t> f(62 + image, 0);
    f[0] = 'B';
    f[1] = 'M';
    put32(f, 2, static_cast<std::uint32_t>(62 + image));
    put16(f, 6, static_cast<std::uint16_t>(static_cast<std::int16_t>(depth)));
    put16(f, 8, 0);
    put32(f, 10, 62);
    put32(f, 14, 40);
    put32(f, 18, static_cast<std::uint32_t>(w));
    put32(f, 22, static_cast<std::uint32_t>(h));
    put16(f, 26, 1);
    put16(f, 28, 1);
    put32(f, 30, 0);
    put32(f, 34, static_cast<std::uint32_t>(image));
    put32(f, 46, 2);
    put32(f, 50, 2);
    // Palette: black, then white.
    f[58] = f[59] = f[60] = 0xFF;
    for (int y = 0; y < h; ++y) {
        const Pixel* p = mask.row(y);
        std::uint8_t* r = f.data() + 62 + stride * static_cast<std::size_t>(h - 1 - y);
        for (int x = 0; x < w; ++x)
            if (p[x] & 0xFFu) r[x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7));
    }
    return writeFileAtomically(path, f);
}

MaskRead parseMaskFile(const std::vector<std::uint8_t>& f, int w, int h, Surface& mask, int& depth) {
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') return MaskRead::Corrupt;
    const std::uint32_t offset = get32(&f[10]);
    const std::uint32_t infoSize = get32(&f[14]);
    const std::int32_t fw = geti32(&f[18]);
    const std::int32_t fh = geti32(&f[22]);
    const std::uint16_t planes = get16(&f[26]);
    const std::uint16_t bits = get16(&f[28]);
    const std::uint32_t compression = get32(&f[30]);
    if (infoSize < 40 || planes != 1 || compression != 0 || (bits != 1 && bits != 24)) return MaskRead::Corrupt;
    const bool topDown = fh < 0;
    if (fw != w || (topDown ? -static_cast<std::int64_t>(fh) : fh) != h) return MaskRead::Corrupt;
    const std::size_t stride = bits == 1 ? static_cast<std::size_t>((w + 31) / 32) * 4 : dibStride(w);
    if (offset < 14 + infoSize || offset > f.size() || f.size() - offset < stride * static_cast<std::size_t>(h))
        return MaskRead::Corrupt;
    // A 1-bit mask's set bits are the region, unless its palette says the
    // opposite: white first and black second, as other tools may write it.
    bool setBitInside = true;
    if (bits == 1 && offset >= 14 + static_cast<std::size_t>(infoSize) + 8) {
        const std::uint8_t* palette = &f[14 + infoSize];
        const bool firstBlack = (palette[0] | palette[1] | palette[2]) == 0;
        const bool secondBlack = (palette[4] | palette[5] | palette[6]) == 0;
        setBitInside = firstBlack || !secondBlack;
    }
    if (!mask.createUninitialized(w, h)) return MaskRead::OutOfMemory;
    // Every pixel is set, in bands of rows on every core.
    cv::parallel_for_(cv::Range(0, h), [&](const cv::Range& band) {
        for (int y = band.start; y < band.end; ++y) {
            const std::size_t fileRow = topDown ? static_cast<std::size_t>(y) : static_cast<std::size_t>(h - 1 - y);
            const std::uint8_t* r = f.data() + offset + stride * fileRow;
            Pixel* d = mask.row(y);
            for (int x = 0; x < w; ++x) {
                bool inside;
                if (bits == 1) inside = ((r[x >> 3] & (0x80u >> (x & 7))) != 0) == setBitInside;
                else inside = (r[3 * x] | r[3 * x + 1] | r[3 * x + 2]) != 0;
                d[x] = inside ? kWhite : kBlack;
            }
        }
    }, std::max(1.0, static_cast<double>(h) / 64));
    depth = boundedDepth(static_cast<std::int16_t>(get16(&f[6])));
    return MaskRead::Ok;
}

MaskRead readMaskFile(const std::string& path, int w, int h, Surface& mask, int& depth) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return MaskRead::Missing;
    std::vector<std::uint8_t> f;
    const std::size_t limit = 62 + static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4 + (1 << 16);
    if (!readWholeFile(path, f, limit)) return MaskRead::Corrupt;
    return parseMaskFile(f, w, h, mask, depth);
}

// ---- the project file -------------------------------------------------------------

std::vector<std::uint8_t> serializeProject(const CStereoWorkspace& ws) {
    std::vector<std::uint8_t> b(kProjectHeaderSize, 0);
    b[0] = '.';
    b[1] = 'l';
    b[2] = 'y';
    b[3] = 'r';
    put32(b, 4, kProjectVersion);
    put32(b, 8, static_cast<std::uint32_t>(ws.width()));
    put32(b, 12, static_cast<std::uint32_t>(ws.height()));
    put32(b, 16, static_cast<std::uint32_t>(ws.objectCount()));
    put32(b, 20, static_cast<std::uint32_t>(ws.strength()));
    put32(b, 24, static_cast<std::uint32_t>(ws.backgroundDepth));
    put32(b, 28, static_cast<std::uint32_t>(ws.foregroundDepth));
    put32(b, 32, static_cast<std::uint32_t>(ws.paintDepth));
    put32(b, 36, static_cast<std::uint32_t>(ws.regionShadow));
    put32(b, 40, static_cast<std::uint32_t>(ws.paintShadow));
    const float lpi = static_cast<float>(ws.lpi());
    std::uint32_t lpiBits;
    std::memcpy(&lpiBits, &lpi, 4);
    put32(b, 44, lpiBits);
    put32(b, 56, static_cast<std::uint32_t>(ws.regionCount()));
    put32(b, 60, static_cast<std::uint32_t>(ws.maskingIndex()));
    put32(b, 64, ws.stereoPair() ? 1u : 0u);
    put32(b, 68, ws.stereoPair() ? static_cast<std::uint32_t>(ws.highResCount()) : 0u);
    put32(b, 48, ws.hasDepthMap() && !ws.stereoPair() ? 1u : 0u);

    const int n = ws.objectCount();
    // Object table: type and a word without meaning on disk.
    for (int i = 0; i < n; ++i) {
        append32(b, static_cast<std::uint32_t>(ws.objectEntry(i).type));
        append32(b, 0);
    }
    // Text is stored in the Windows code page; its byte length is the count.
    std::vector<std::string> diskText(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const ObjectEntry& e = ws.objectEntry(i);
        const OverlayObject empty;
        const OverlayObject& o = e.object ? *e.object : empty;
        std::int32_t count = o.count;
        std::uint32_t data = 0, extra1 = 0, extra2 = 0;
        if (e.type == kObjectText) {
            diskText[static_cast<std::size_t>(i)] = toDiskText(o.text);
            count = static_cast<std::int32_t>(diskText[static_cast<std::size_t>(i)].size());
        } else if (e.type == kObjectPicture) {
            count = static_cast<std::int32_t>(o.outlines.size());
        } else if (e.type == kObjectShape) {
            data = static_cast<std::uint32_t>(o.lineWidth);
            extra1 = o.lineColour;
            extra2 = static_cast<std::uint32_t>(o.cornerSize);
        }
        const std::uint32_t rec[14] = {static_cast<std::uint32_t>(o.depth),  static_cast<std::uint32_t>(o.shadow),
                                       static_cast<std::uint32_t>(o.x),      static_cast<std::uint32_t>(o.y),
                                       static_cast<std::uint32_t>(o.width),  static_cast<std::uint32_t>(o.height),
                                       static_cast<std::uint32_t>(o.naturalWidth),
                                       static_cast<std::uint32_t>(o.naturalHeight),
                                       o.colour,
                                       static_cast<std::uint32_t>(o.flags),
                                       static_cast<std::uint32_t>(count),
                                       data,
                                       extra1,
                                       extra2};
        for (std::uint32_t v : rec) append32(b, v);
    }
    for (int i = 0; i < n; ++i) {
        const ObjectEntry& e = ws.objectEntry(i);
        if (!e.object) continue;
        const OverlayObject& o = *e.object;
        if (e.type == kObjectText) {
            const std::string& t = diskText[static_cast<std::size_t>(i)];
            b.insert(b.end(), t.begin(), t.end());
            std::string face = toDiskText(o.face);
            face.resize(std::min(face.size(), kFaceBlockSize - 1));
            std::uint8_t block[kFaceBlockSize] = {};
            std::memcpy(block, face.data(), face.size());
            b.insert(b.end(), block, block + kFaceBlockSize);
        } else if (e.type == kObjectPicture) {
            for (const auto& poly : o.outlines) {
                append32(b, poly.outer ? 1u : 0u);
                append32(b, static_cast<std::uint32_t>(poly.points.size()));
                append32(b, 0);
            }
            for (const auto& poly : o.outlines)
                for (const Point& p : poly.points) {
                    append32(b, static_cast<std::uint32_t>(p.x));
                    append32(b, static_cast<std::uint32_t>(p.y));
                }
            // The picture at its natural size, bottom-up 24-bit rows.
            std::vector<std::uint8_t> rows;
            const int pw = o.naturalWidth, ph = o.naturalHeight;
            if (pw > 0 && ph > 0) {
                Surface pic;
                if (o.picture.width() == pw && o.picture.height() == ph) {
                    rows = getDIBits(o.picture);
                } else if (o.picture.empty()) {
                    rows.assign(dibStride(pw) * static_cast<std::size_t>(ph), 0);
                } else {
                    // A picture that cannot be made at its natural size (no
                    // memory) fails the save: saved black, it would be lost.
                    if (!pic.create(pw, ph) || !stretchBlit(pic, 0, 0, pw, ph, o.picture, 0, 0, o.picture.width(),
                                                            o.picture.height(), Rop::Copy, StretchMode::Halftone))
                        return {};
                    rows = getDIBits(pic);
                }
                if (rows.empty()) return {};
            }
            const std::vector<std::uint8_t> runs = encodePictureRuns(rows, pw, ph);
            append32(b, static_cast<std::uint32_t>(runs.size()));
            if (!runs.empty()) b.insert(b.end(), runs.begin(), runs.end());
            else b.insert(b.end(), rows.begin(), rows.end());
        }
    }
    return b;
}

ProjectParse parseProjectHeader(const std::vector<std::uint8_t>& f, ProjectHeader& h) {
    if (f.size() < 4 || std::memcmp(f.data(), ".lyr", 4) != 0) return ProjectParse::NotProject;
    if (f.size() < 8) return ProjectParse::Corrupt;
    h.version = geti32(&f[4]);
    if (h.version > kProjectVersion) return ProjectParse::BadVersion;
    if (h.version < 0 || f.size() < kOldProjectHeaderSize) return ProjectParse::Corrupt;
    h.width = geti32(&f[8]);
    h.height = geti32(&f[12]);
    h.objectCount = geti32(&f[16]);
    h.strength = std::clamp(geti32(&f[20]), 0, kProjectStrengthMax);
    h.backgroundDepth = boundedDepth(geti32(&f[24]));
    h.foregroundDepth = boundedDepth(geti32(&f[28]));
    h.paintDepth = boundedDepth(geti32(&f[32]));
    h.regionShadow = geti32(&f[36]) != 0 ? 1 : 0;
    h.paintShadow = geti32(&f[40]) != 0 ? 1 : 0;
    // The 64-byte layout is recognised by a non-zero word at offset 72 (its
    // object section starts at 64); a file too short for 96 bytes has it too.
    // Version 3 files are written with the whole 96 bytes: a shorter one was
    // cut, and read as the old layout it would lose its regions, lens pitch
    // and stereo pictures without a word.
    if (h.version >= 3 && f.size() < kProjectHeaderSize) return ProjectParse::Corrupt;
    const bool shortHeader = f.size() < kProjectHeaderSize || get32(&f[72]) != 0;
    if (shortHeader) {
        h.lpiStored = false;
        h.regionCount = 1;
        h.maskingIndex = 0;
        h.stereoPair = false;
        h.highResCount = 0;
        h.region0DepthFromHeader = h.version < 2;
        h.objectSectionOffset = kOldProjectHeaderSize;
    } else {
        float lpi;
        std::memcpy(&lpi, &f[44], 4);
        h.lpi = lpi;
        h.lpiStored = true;
        h.regionCount = geti32(&f[56]);
        // (No overflow from a hostile count: the range check comes later.)
        if (h.version < 2 && h.regionCount < std::numeric_limits<std::int32_t>::max()) h.regionCount += 1;
        h.maskingIndex = geti32(&f[60]);
        h.stereoPair = (get32(&f[64]) & 1u) != 0;
        h.highResCount = h.version >= 3 ? geti32(&f[68]) : 0;
        h.depthMap = (get32(&f[48]) & 1u) != 0;
        h.region0DepthFromHeader = h.version < 2;
        h.objectSectionOffset = kProjectHeaderSize;
    }
    if (h.width <= 0 || h.height <= 0 || h.width > kMaxSide || h.height > kMaxSide ||
        static_cast<std::int64_t>(h.width) * h.height > kMaxPixels)
        return ProjectParse::Corrupt;
    if (h.objectCount < 0 || h.objectCount > kMaxObjects) return ProjectParse::Corrupt;
    if (h.regionCount < 0 || h.regionCount > kMaxRegions) return ProjectParse::Corrupt;
    if (h.highResCount < 0 || h.highResCount > kHighResSlots) return ProjectParse::Corrupt;
    if (h.lpiStored && !(h.lpi >= 1.0f && h.lpi <= 10000.0f)) h.lpiStored = false;
    if (h.maskingIndex < 0 || h.maskingIndex >= std::max(1, h.regionCount)) h.maskingIndex = 0;
    return ProjectParse::Ok;
}

bool parseObjectSection(const std::vector<std::uint8_t>& f, const ProjectHeader& h, std::vector<ProjectObject>& out,
                        std::size_t* unread) {
    out.clear();
    Cursor c(f, h.objectSectionOffset);
    const int n = h.objectCount;
    std::vector<std::int32_t> types(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::int32_t unused;
        if (!c.i32(types[static_cast<std::size_t>(i)]) || !c.i32(unused)) return false;
    }
    out.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::int32_t r[14];
        for (auto& v : r)
            if (!c.i32(v)) return false;
        ProjectObject& po = out[static_cast<std::size_t>(i)];
        po.type = types[static_cast<std::size_t>(i)];
        OverlayObject& o = po.object;
        o.depth = boundedDepth(r[0]);
        o.shadow = r[1] != 0 ? 1 : 0;
        o.x = boundedCoord(r[2]);
        o.y = boundedCoord(r[3]);
        o.width = boundedCoord(r[4]);
        o.height = boundedCoord(r[5]);
        o.naturalWidth = r[6];
        o.naturalHeight = r[7];
        o.colour = static_cast<ColorRef>(r[8]);
        o.flags = r[9];
        o.count = r[10];
        if (po.type == kObjectShape) {
            o.lineWidth = boundedSize(r[11]);
            o.lineColour = static_cast<ColorRef>(r[12]);
            o.cornerSize = boundedSize(r[13]);
        }
    }
    for (auto& po : out) {
        OverlayObject& o = po.object;
        if (po.type == kObjectText) {
            if (o.count < 0 || o.count > kMaxTextBytes) return false;
            const std::uint8_t* t = c.take(static_cast<std::size_t>(o.count));
            const std::uint8_t* face = t ? c.take(kFaceBlockSize) : nullptr;
            if (!t || !face) return false;
            // The text ends at its first NUL, as the original's string did.
            std::string text(reinterpret_cast<const char*>(t), static_cast<std::size_t>(o.count));
            text.resize(std::strlen(text.c_str()));
            o.text = fromDiskText(text);
            const std::size_t faceLen = strnlen(reinterpret_cast<const char*>(face), kFaceBlockSize - 1);
            o.face = fromDiskText(std::string(reinterpret_cast<const char*>(face), faceLen));
        } else if (po.type == kObjectPicture) {
            if (o.count < 0 || !c.has(static_cast<std::int64_t>(o.count) * 12)) return false;
            std::vector<std::pair<bool, std::int32_t>> entries(static_cast<std::size_t>(o.count));
            std::int64_t totalPoints = 0;
            for (auto& e : entries) {
                std::int32_t outer, count, unused;
                if (!c.i32(outer) || !c.i32(count) || !c.i32(unused)) return false;
                if (count < 0) return false;
                totalPoints += count;
                e = {outer == 1, count};
            }
            // Every point is in the file (eight bytes each), so the file's own
            // size bounds what this takes; a finer cap would refuse clip-art
            // the tracer makes of a busy picture, which saves as it should.
            if (!c.has(totalPoints * 8)) return false;
            o.outlines.clear();
            for (const auto& e : entries) {
                OutlinePolygon poly;
                poly.outer = e.first;
                poly.points.resize(static_cast<std::size_t>(e.second));
                for (auto& p : poly.points) {
                    std::int32_t x, y;
                    if (!c.i32(x) || !c.i32(y)) return false;
                    p = {boundedCoord(x), boundedCoord(y)};
                }
                o.outlines.push_back(std::move(poly));
            }
            const int pw = o.naturalWidth, ph = o.naturalHeight;
            if (pw <= 0 || ph <= 0 || pw > kMaxSide || ph > kMaxSide || static_cast<std::int64_t>(pw) * ph > kMaxPixels)
                return false;
            std::int32_t m;
            if (!c.i32(m) || m < 0) return false;
            std::vector<std::uint8_t> rows;
            if (m > 0) {
                const std::uint8_t* runs = c.take(static_cast<std::size_t>(m));
                if (!runs || !decodePictureRuns(runs, static_cast<std::size_t>(m), pw, ph, rows)) return false;
            } else {
                const std::size_t bytes = dibStride(pw) * static_cast<std::size_t>(ph);
                const std::uint8_t* raw = c.take(bytes);
                if (!raw) return false;
                rows.assign(raw, raw + bytes);
            }
            if (!surfaceFromDIB(o.picture, rows.data(), pw, ph)) return false;
        }
    }
    if (unread) *unread = c.left();
    return true;
}

}  // namespace plastora

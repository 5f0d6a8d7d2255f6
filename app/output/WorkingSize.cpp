// The working size: paper table, millimetre sizes, orientation, the
// automatic trimming rectangles, resampling, and bringing an opened photo
// into the workspace.
#include "output/WorkingSize.h"

#include "autocut/FaceDetect.h"
#include "core/StereoWorkspace.h"
#include "output/PaperChange.h"
#include "output/Trimming.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace plastora {

const char* const kPaperNames[kPaperCount] = {"はがき", "L判", "名刺(カード)", "VGA", "A4", "2 L判", "ユーザ設定"};
const char* const kTrimmingNames[kTrimModeCount] = {"トリミングしない", "はみ出しをカット", "余白を残す",
                                                    "縦横比を変更", "手動で行う"};
const char* const kAskStandardLpi = "標準のレンチキューラレンズの解像度を%1lpiに変更しますか？";

PaperTable readPaperTable(const Settings& settings) {
    PaperTable t;
    for (int i = 0; i < kTablePaperCount; ++i) t[static_cast<std::size_t>(i)] = settings.getSize(SettingKey::PicturePaperSizeN, i + 1);
    return t;
}

double lensValue(double lpi) { return static_cast<double>(static_cast<float>(lpi)); }

namespace {

// Truncation toward zero into an int, saturating far outside its range.
int truncToInt(double v) {
    if (!(v > -2147483648.0)) return v != v ? 0 : -2147483647 - 1;
    if (v >= 2147483647.0) return 2147483647;
    return static_cast<int>(v);
}

bool endsInO(const std::string& path) {
    return !path.empty() && (path.back() == 'o' || path.back() == 'O');
}

}  // namespace

Size scaledPaperSize(const SettingSize& paper, double lpi) {
    const double l = lensValue(lpi);
    return {truncToInt(paper.width * l / kReferenceLpi), truncToInt(paper.height * l / kReferenceLpi)};
}

int mmToPixels(int mm, double lpi) { return truncToInt(lensValue(lpi) * mm * kPixelsPerMmPerLpi); }

int pixelsToMm(int pixels, double lpi) {
    return truncToInt(pixels * kReferenceLpi / (lensValue(lpi) * kPixelsPerMmAt60));
}

Size paperTarget(const PictureDialogData& d, const PaperTable& papers, int sw0, int sh0) {
    if (d.trimming == kTrimNone) return {sw0, sh0};
    if (d.paper == kPaperUser) return {mmToPixels(d.userWidthMm, d.lpi), mmToPixels(d.userHeightMm, d.lpi)};
    const int index = std::clamp(d.paper, 0, kTablePaperCount - 1);
    return scaledPaperSize(papers[static_cast<std::size_t>(index)], d.lpi);
}

Size orientToPhoto(Size paper, int sw0, int sh0) {
    const int lo = std::min(paper.cx, paper.cy), hi = std::max(paper.cx, paper.cy);
    if (sw0 < sh0) return {lo, hi};
    return {hi, lo};
}

Size workingSize(const PictureDialogData& d, const PaperTable& papers, int sw0, int sh0) {
    return orientToPhoto(paperTarget(d, papers, sw0, sh0), sw0, sh0);
}

PictureDialogData presetPictureDialog(const std::string& path, bool resizing, int W, int H, double lpi,
                                      const PaperTable& papers, int sw0, int sh0, bool hasHighRes) {
    PictureDialogData d;
    const bool mpo = endsInO(path);
    d.paper = mpo ? kPaperVGA : kPaperPostcard;
    d.trimming = mpo ? kTrimNone : kTrimCrop;
    if (W > 0 && H > 0) {
        // A very small picture would give 0 mm, which the field refuses.
        d.userWidthMm = std::clamp(pixelsToMm(W, lpi), kMinPaperMm, kMaxPaperMm);
        d.userHeightMm = std::clamp(pixelsToMm(H, lpi), kMinPaperMm, kMaxPaperMm);
    }
    d.lpi = lpi;
    d.resizing = resizing;
    if (resizing) {
        d.paper = kPaper2L;
        for (int v = 0; v < kPaper2L; ++v) {
            const Size s = scaledPaperSize(papers[static_cast<std::size_t>(v)], lpi);
            if ((s.cx == W && s.cy == H) || (s.cx == H && s.cy == W)) {
                d.paper = v;
                break;
            }
        }
        d.highRes = hasHighRes;
    } else {
        // A photo larger than the 2L paper (as written, width against width)
        // is trimmed to a paper and keeps a high-resolution copy.
        const SettingSize& limit = papers[kPaper2L];
        if (limit.width < sw0 || limit.height < sh0) {
            d.paper = kPaperPostcard;
            d.trimming = kTrimCrop;
            d.highRes = true;
        }
    }
    return d;
}

bool pictureDialogValid(const PictureDialogData& d) {
    return d.paper >= 0 && d.paper < kPaperCount && d.trimming >= 0 && d.trimming < kTrimModeCount &&
           d.userWidthMm >= kMinPaperMm && d.userWidthMm <= kMaxPaperMm && d.userHeightMm >= kMinPaperMm &&
           d.userHeightMm <= kMaxPaperMm && d.lpi >= kMinLpi && d.lpi <= kMaxLpi;
}

TrimPlan planTrimming(int mode, int sw0, int sh0, int W, int H) {
    TrimPlan p;
    p.source = {0, 0, sw0, sh0};
    p.dest = {0, 0, W, H};
    if (sw0 <= 0 || sh0 <= 0 || W <= 0 || H <= 0) return p;
    if (sw0 == W && sh0 == H) return p;  // a plain copy
    if (static_cast<long long>(sw0) * H == static_cast<long long>(sh0) * W) return p;  // same ratio: stretch
    const bool portrait = sw0 < sh0;
    // The paper's short-to-long ratio, in single precision.
    const float r = static_cast<float>(std::min(W, H)) / static_cast<float>(std::max(W, H));
    if (mode == kTrimCrop) {
        int sw = sw0, sh = sh0;
        if (portrait) {
            if (static_cast<float>(sh0) * r > static_cast<float>(sw0)) sh = static_cast<int>(static_cast<float>(sw0) / r);
            else sw = static_cast<int>(static_cast<float>(sh0) * r);
        } else {
            if (static_cast<float>(sh0) / r > static_cast<float>(sw0)) sh = static_cast<int>(r * static_cast<float>(sw0));
            else sw = static_cast<int>(static_cast<float>(sh0) / r);
        }
        // An extreme paper on a tiny photo could leave nothing to stretch.
        sw = std::clamp(sw, 1, sw0);
        sh = std::clamp(sh, 1, sh0);
        const int sx = (sw0 - sw) / 2, sy = (sh0 - sh) / 2;
        p.source = {sx, sy, sx + sw, sy + sh};
    } else if (mode == kTrimMargins) {
        const float q = portrait ? static_cast<float>(sh0) * r : static_cast<float>(sh0) / r;
        int dw = W, dh = H;
        if (q > static_cast<float>(sw0)) dw = static_cast<int>(static_cast<long long>(sw0) * H / sh0);
        else dh = static_cast<int>(static_cast<long long>(sh0) * W / sw0);
        dw = std::clamp(dw, 1, W);
        dh = std::clamp(dh, 1, H);
        const int dx = (W - dw) / 2, dy = (H - dh) / 2;
        p.dest = {dx, dy, dx + dw, dy + dh};
        p.margins = true;
    }
    return p;
}

Rect keepFacesInCrop(const Rect& crop, int sw0, int sh0, const std::vector<FaceBox>& faces) {
    if (faces.empty()) return crop;
    // The span wanted: left, top, right, bottom (exclusive).
    long long need[4] = {LLONG_MAX, LLONG_MAX, LLONG_MIN, LLONG_MIN};
    for (const FaceBox& f : faces) {
        const long long w = static_cast<long long>(f.right) - f.left + 1, h = static_cast<long long>(f.bottom) - f.top + 1;
        need[0] = std::min(need[0], f.left - w / 4);
        need[1] = std::min(need[1], f.top - h * 6 / 10);
        need[2] = std::max(need[2], f.right + 1 + w / 4);
        need[3] = std::max(need[3], f.bottom + 1 + h / 4);
    }
    // One axis: the start that holds [lo, hi) in a window of `size` within
    // [0, limit), moving as little as possible; the low end wins a conflict.
    const auto place = [](long long start, long long size, long long lo, long long hi, long long limit) {
        lo = std::max(0LL, lo);
        hi = std::min(limit, hi);
        if (hi - start > size) start = hi - size;
        if (lo < start) start = lo;
        return std::clamp(start, 0LL, std::max(0LL, limit - size));
    };
    const long long cw = crop.width(), ch = crop.height();
    const long long x = place(crop.left, cw, need[0], need[2], sw0);
    const long long y = place(crop.top, ch, need[1], need[3], sh0);
    return Rect{static_cast<int>(x), static_cast<int>(y), static_cast<int>(x + cw), static_cast<int>(y + ch)};
}

Rect scaleRect(const Rect& r, int scale) {
    return {r.left * scale, r.top * scale, r.right * scale, r.bottom * scale};
}

bool resampleThrough(Surface& out, int W, int H, const Surface& src, const Rect& source, const Rect& dest,
                     Pixel background) {
    Surface result;
    if (!result.createUninitialized(W, H)) {
        out.reset();
        return false;
    }
    // One pass of the background colour (not a clear and then a fill).
    std::fill(result.bits(), result.bits() + static_cast<std::size_t>(W) * static_cast<std::size_t>(H),
              background | kOpaque);
    if (!stretchBlit(result, dest.left, dest.top, dest.width(), dest.height(), src, source.left, source.top,
                     source.width(), source.height(), Rop::Copy, StretchMode::Halftone)) {
        out.reset();
        return false;
    }
    out = std::move(result);
    return true;
}

bool resampleMaskThrough(Surface& out, int W, int H, const Surface& src, const Rect& source, const Rect& dest) {
    if (!resampleThrough(out, W, H, src, source, dest, kBlack)) return false;
    // Averaged edges are grey; a mask pixel is inside when any byte is set.
    for (int y = 0; y < H; ++y) {
        Pixel* row = out.row(y);
        for (int x = 0; x < W; ++x) row[x] = (row[x] & 0x00FFFFFFu) ? kWhite : kBlack;
    }
    return true;
}

std::string standardLpiQuestion(double lpi) {
    char number[32];
    std::snprintf(number, sizeof number, "%.1f", lensValue(lpi));
    const std::string pattern = kAskStandardLpi;
    const std::size_t at = pattern.find("%1");
    return pattern.substr(0, at) + number + pattern.substr(at + 2);
}

bool runManualTrimming(WorkspaceDialogs* dialogs, Host& host, const Surface& photo, int& W, int& H, double& angle,
                       Rect& source, Surface& rotated) {
    TrimmingDialogData td;
    td.photo = &photo;
    td.workingWidth = W;
    td.workingHeight = H;
    td.angle = angle;
    td.host = &host;
    td.source = TrimmingEditor(photo, W, H, angle).sourceRect();
    if (dialogs && !dialogs->trimmingDialog(td)) return false;
    // The dialog may only have turned the working size round.
    const bool sameWay = td.workingWidth == W && td.workingHeight == H;
    const bool turned = td.workingWidth == H && td.workingHeight == W;
    if (!sameWay && !turned) return false;
    W = td.workingWidth;
    H = td.workingHeight;
    angle = td.angle;
    rotated.reset();
    if (angle != 0.0) {
        if (td.rotated.width() == photo.width() && td.rotated.height() == photo.height()) {
            rotated = std::move(td.rotated);
        } else if (!rotatePicture(rotated, photo, angle)) {
            host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
    }
    // Only the part of the rectangle that lies on the photo.
    source.left = std::clamp(td.source.left, 0, photo.width());
    source.top = std::clamp(td.source.top, 0, photo.height());
    source.right = std::clamp(td.source.right, 0, photo.width());
    source.bottom = std::clamp(td.source.bottom, 0, photo.height());
    return source.width() > 0 && source.height() > 0;
}

// ---- opening ------------------------------------------------------------------

bool CStereoWorkspace::takeOpenedPhoto(Surface&& photo, const std::string& path) {
    return OpenPicture(std::move(photo), path);
}

bool CStereoWorkspace::OpenPicture(Surface&& photoIn, const std::string& path, bool stereoPair, bool skipDialog) {
    Surface photo = std::move(photoIn);
    if (photo.empty()) return false;
    const int sw0 = photo.width(), sh0 = photo.height();
    const Settings settings(m_settingsPath);
    const PaperTable papers = readPaperTable(settings);
    const bool hasPicture = m_width > 0 && !m_source.empty();
    PictureDialogData d = presetPictureDialog(path, false, hasPicture ? m_width : 0, hasPicture ? m_height : 0,
                                              m_lpi, papers, sw0, sh0, false);
    if (!skipDialog && m_dialogs && !m_dialogs->pictureDialog(d)) return false;
    if (!pictureDialogValid(d)) return false;

    // A new lens resolution may become the standard one.
    if (lensValue(d.lpi) != lensValue(m_lpi)) {
        if (m_host.message(standardLpiQuestion(d.lpi), MsgButtons::YesNo, MsgIcon::Question) == MsgResult::Yes)
            settings.setFloat(SettingKey::LenticularLPI, lensValue(d.lpi));
    }

    const Size size = workingSize(d, papers, sw0, sh0);
    int W = size.cx, H = size.cy;
    if (W <= 0 || H <= 0) return false;
    TrimPlan plan;
    double angle = 0.0;
    Surface rotated;
    if (d.trimming == kTrimManual) {
        Rect source;
        if (!runManualTrimming(skipDialog ? nullptr : m_dialogs, m_host, photo, W, H, angle, source, rotated))
            return false;
        plan = {source, {0, 0, W, H}, false};
    } else {
        plan = planTrimming(d.trimming, sw0, sh0, W, H);
        // A crop keeps the people's heads: it moves (its size unchanged)
        // to hold every face found in the photo. Both pictures of a pair
        // must be cut alike, so a pair keeps the centred crop.
        const Rect whole{0, 0, sw0, sh0};
        if (d.trimming == kTrimCrop && !stereoPair && !endsInO(path) && !(plan.source == whole))
            plan.source = keepFacesInCrop(plan.source, sw0, sh0, findFacesInPhoto(photo, m_settingsPath));
    }
    const Surface& from = rotated.empty() ? photo : rotated;

    Surface work;
    if (!resampleThrough(work, W, H, from, plan.source, plan.dest, kWhite)) {
        m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    // The high-resolution copy: the same part of the photo on an image R
    // times larger (the source rectangle is in photo pixels already).
    Surface high;
    if (d.highRes || stereoPair || endsInO(path)) {
        const int R = std::max(1, m_settings.hdRatio);
        if (!resampleThrough(high, W * R, H * R, from, plan.source, scaleRect(plan.dest, R), kWhite)) {
            m_host.message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
    }

    adoptPicture(std::move(work));
    if (!high.empty()) {
        m_highRes[0] = std::move(high);
        m_highResCount = 1;
    }
    m_lpi = d.lpi;
    m_trimmingMode = d.trimming;
    m_rotationAngle = angle;
    m_trimSource = plan.source;
    m_trimDest = plan.dest;
    m_trimPhotoSize = {sw0, sh0};
    return true;
}

}  // namespace plastora

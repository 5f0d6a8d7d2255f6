// Manual trimming: preview geometry, the crop frame, the straightening line
// and the rotation of the photo.
#include "output/Trimming.h"

#include "platform/Host.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace plastora {

const char* const kAskChangeTrimAspect =
    "トリミング領域の縦横比を変更しますか？\n変更すると移動したトリミング領域はリセットされます。";

Size trimPreviewSize(int sw0, int sh0) {
    if (sw0 <= 0 || sh0 <= 0) return {};
    const long long side = kTrimPreviewSide;
    Size s;
    if (sw0 >= sh0) {
        s = {kTrimPreviewSide, static_cast<int>(sh0 * side / sw0)};
    } else {
        s = {static_cast<int>(sw0 * side / sh0), kTrimPreviewSide};
    }
    // A photo a few thousand times longer than wide would give a preview of
    // no pixels at all.
    s.cx = std::max(s.cx, 1);
    s.cy = std::max(s.cy, 1);
    return s;
}

Size trimDialogSize(Size preview) {
    return {std::max(preview.cx + 36, kTrimDialogMinWidth), preview.cy + 92};
}

bool rotatePicture(Surface& out, const Surface& src, double angle, Pixel fill, bool nearest) {
    const int w = src.width(), h = src.height();
    Surface result;
    if (src.empty() || !result.create(w, h)) {
        out.reset();
        return false;
    }
    // Fixed point with 10 fraction bits: the cosine and sine are truncated to
    // whole 1/1024ths, as everything after them is integer arithmetic.
    const long long c = static_cast<long long>(std::cos(angle) * 1024.0);
    const long long s = static_cast<long long>(std::sin(angle) * 1024.0);
    const long long cx = w / 2, cy = h / 2;
    fill |= kOpaque;
    for (int y = 0; y < h; ++y) {
        Pixel* d = result.row(y);
        const long long dy = y - cy;
        for (int x = 0; x < w; ++x) {
            const long long dx = x - cx;
            // Inverse mapping: where in the photo this pixel comes from.
            const long long u = cx * 1024 + dx * c + dy * s;
            const long long v = cy * 1024 - dx * s + dy * c;
            const long long ix = u >> 10, iy = v >> 10;  // floor, also below 0
            if (ix < 0 || iy < 0 || ix >= w || iy >= h) {
                d[x] = fill;
                continue;
            }
            const unsigned fx = static_cast<unsigned>(u & 1023), fy = static_cast<unsigned>(v & 1023);
            const int x0 = static_cast<int>(ix), y0 = static_cast<int>(iy);
            const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
            if (nearest) {
                d[x] = src.at(fx < 512 ? x0 : x1, fy < 512 ? y0 : y1) | kOpaque;
                continue;
            }
            const Pixel p00 = src.at(x0, y0), p10 = src.at(x1, y0);
            const Pixel p01 = src.at(x0, y1), p11 = src.at(x1, y1);
            Pixel result_px = kOpaque;
            for (int shift = 0; shift <= 16; shift += 8) {
                const unsigned a = (p00 >> shift) & 0xFF, b = (p10 >> shift) & 0xFF;
                const unsigned e = (p01 >> shift) & 0xFF, f = (p11 >> shift) & 0xFF;
                const unsigned long top = a * (1024 - fx) + b * fx;
                const unsigned long bottom = e * (1024 - fx) + f * fx;
                const unsigned long value = (top * (1024 - fy) + bottom * fy) >> 20;
                result_px |= static_cast<Pixel>(std::min(value, 255ul)) << shift;
            }
            d[x] = result_px;
        }
    }
    out = std::move(result);
    return true;
}

Point rotatePoint(Point p, Point centre, double angle) {
    const double dx = p.x - centre.x, dy = p.y - centre.y;
    const double c = std::cos(angle), s = std::sin(angle);
    return {static_cast<int>(std::lround(centre.x + dx * c - dy * s)),
            static_cast<int>(std::lround(centre.y + dx * s + dy * c))};
}

double levellingAngle(Point a, Point b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double tilt;
    if (std::abs(dx) >= std::abs(dy)) {
        if (dx < 0) dx = -dx, dy = -dy;
        tilt = std::atan2(dy, dx);  // clockwise tilt from the horizontal
    } else {
        if (dy < 0) dx = -dx, dy = -dy;
        tilt = std::atan2(-dx, dy);  // clockwise tilt from the vertical
    }
    return -tilt;
}

TrimCursor trimCursorFor(int element) {
    switch (element) {
    case kTrimSelectFrame: return TrimCursor::Move;
    case kTrimCornerTopLeft:
    case kTrimCornerBottomRight: return TrimCursor::CornerFalling;
    case kTrimCornerTopRight:
    case kTrimCornerBottomLeft: return TrimCursor::CornerRising;
    case kTrimLineStart:
    case kTrimLineEnd: return TrimCursor::LineEnd;
    default: return TrimCursor::Arrow;
    }
}

// ---- the editor ---------------------------------------------------------------

Rect TrimmingEditor::initialFrame(Size preview, int W, int H) {
    const long long pw = preview.cx, ph = preview.cy;
    long long fw, fh;
    if (static_cast<long long>(H) * pw < static_cast<long long>(W) * ph) {
        fw = pw;
        fh = H * pw / std::max(W, 1);
    } else {
        fw = W * ph / std::max(H, 1);
        fh = ph;
    }
    const int left = static_cast<int>((pw - fw) / 2), top = static_cast<int>((ph - fh) / 2);
    Rect r{left + kTrimBorder, top + kTrimBorder, left + static_cast<int>(fw) - kTrimBorder,
           top + static_cast<int>(fh) - kTrimBorder};
    // A sliver of a frame still keeps one pixel.
    r.right = std::max(r.right, r.left + 1);
    r.bottom = std::max(r.bottom, r.top + 1);
    return r;
}

TrimmingEditor::TrimmingEditor(const Surface& photo, int W, int H, double angle)
    : m_photo(photo), m_W(std::max(W, 1)), m_H(std::max(H, 1)), m_angle(angle),
      m_preview(trimPreviewSize(photo.width(), photo.height())) {
    resetFrame();
    m_line[0] = {m_preview.cx / 4, m_preview.cy / 2};
    m_line[1] = {3 * m_preview.cx / 4, m_preview.cy / 2};
    if (m_angle != 0.0 && !rotatePicture(m_rotated, m_photo, m_angle)) m_rotated.reset();
    rebuildPreview();
}

bool TrimmingEditor::rebuildPreview() {
    const Surface& pic = picture();
    if (pic.empty() || !m_previewPicture.create(m_preview.cx, m_preview.cy)) {
        m_previewPicture.reset();
        return false;
    }
    return stretchBlit(m_previewPicture, 0, 0, m_preview.cx, m_preview.cy, pic, 0, 0, pic.width(), pic.height(),
                       Rop::Copy, StretchMode::Halftone);
}

Point TrimmingEditor::corner(int index) const {
    switch (index) {
    case kTrimCornerTopLeft: return {m_frame.left, m_frame.top};
    case kTrimCornerTopRight: return {m_frame.right, m_frame.top};
    case kTrimCornerBottomRight: return {m_frame.right, m_frame.bottom};
    case kTrimCornerBottomLeft: return {m_frame.left, m_frame.bottom};
    default: return {};
    }
}

void TrimmingEditor::setLine(Point a, Point b) {
    m_line[0] = a;
    m_line[1] = b;
}

bool TrimmingEditor::insideBorder(Point p) const {
    return p.x >= kTrimBorder && p.y >= kTrimBorder && p.x <= m_preview.cx - kTrimBorder &&
           p.y <= m_preview.cy - kTrimBorder;
}

bool TrimmingEditor::frameInsideBorder(const Rect& r) const {
    return insideBorder({r.left, r.top}) && insideBorder({r.right, r.bottom});
}

Point TrimmingEditor::clampToBorder(Point p) const {
    const int maxX = std::max(kTrimBorder, m_preview.cx - kTrimBorder);
    const int maxY = std::max(kTrimBorder, m_preview.cy - kTrimBorder);
    return {std::clamp(p.x, kTrimBorder, maxX), std::clamp(p.y, kTrimBorder, maxY)};
}

int TrimmingEditor::hitTest(Point p) const {
    const auto near = [&](Point q) {
        const long long dx = p.x - q.x, dy = p.y - q.y;
        return dx * dx + dy * dy < static_cast<long long>(kTrimHitDistance) * kTrimHitDistance;
    };
    if (near(m_line[0])) return kTrimLineStart;
    if (near(m_line[1])) return kTrimLineEnd;
    for (int c = kTrimCornerTopLeft; c <= kTrimCornerBottomLeft; ++c)
        if (near(corner(c))) return c;
    if (p.x >= m_frame.left && p.x <= m_frame.right && p.y >= m_frame.top && p.y <= m_frame.bottom)
        return kTrimSelectFrame;
    return kTrimSelectNone;
}

void TrimmingEditor::press(Point p) {
    m_selected = hitTest(p);
    m_dragging = m_selected != kTrimSelectNone;
    m_last = p;
}

namespace {

// The corner diagonally opposite, and which way the dragged corner lies from it.
int oppositeCorner(int c) { return (c + 1) % 4 + 1; }
int cornerSignX(int c) { return c == kTrimCornerTopRight || c == kTrimCornerBottomRight ? 1 : -1; }
int cornerSignY(int c) { return c == kTrimCornerBottomRight || c == kTrimCornerBottomLeft ? 1 : -1; }

// The frame of fw x fh spanned from the anchor towards the corner's side.
Rect spanFrom(Point anchor, int c, int fw, int fh) {
    Rect r;
    r.left = cornerSignX(c) > 0 ? anchor.x : anchor.x - fw;
    r.top = cornerSignY(c) > 0 ? anchor.y : anchor.y - fh;
    r.right = r.left + fw;
    r.bottom = r.top + fh;
    return r;
}

}  // namespace

void TrimmingEditor::dragCorner(int c, Point mouse) {
    const Point anchor = corner(oppositeCorner(c));
    const double dist = std::hypot(static_cast<double>(mouse.x - anchor.x), static_cast<double>(mouse.y - anchor.y));
    const double s = dist / std::sqrt(static_cast<double>(m_W) * m_W + static_cast<double>(m_H) * m_H);
    long long fw = static_cast<long long>(s * m_W + 0.5);
    long long fh = static_cast<long long>(s * m_H + 0.5);
    // Back inside the border, the other side following the aspect ratio.
    const long long roomX = cornerSignX(c) > 0 ? m_preview.cx - kTrimBorder - anchor.x : anchor.x - kTrimBorder;
    const long long roomY = cornerSignY(c) > 0 ? m_preview.cy - kTrimBorder - anchor.y : anchor.y - kTrimBorder;
    if (fw > roomX) {
        fw = roomX;
        fh = fw * m_H / m_W;
    }
    if (fh > roomY) {
        fh = roomY;
        fw = fh * m_W / m_H;
    }
    fw = std::max(fw, 1LL);
    fh = std::max(fh, 1LL);
    m_frame = spanFrom(anchor, c, static_cast<int>(fw), static_cast<int>(fh));
}

void TrimmingEditor::drag(Point p) {
    if (!m_dragging) return;
    switch (m_selected) {
    case kTrimSelectFrame: {
        int dx = p.x - m_last.x, dy = p.y - m_last.y;
        dx = std::clamp(dx, kTrimBorder - m_frame.left, m_preview.cx - kTrimBorder - m_frame.right);
        dy = std::clamp(dy, kTrimBorder - m_frame.top, m_preview.cy - kTrimBorder - m_frame.bottom);
        m_frame = {m_frame.left + dx, m_frame.top + dy, m_frame.right + dx, m_frame.bottom + dy};
        break;
    }
    case kTrimCornerTopLeft:
    case kTrimCornerTopRight:
    case kTrimCornerBottomRight:
    case kTrimCornerBottomLeft:
        dragCorner(m_selected, p);
        break;
    case kTrimLineStart:
    case kTrimLineEnd:
        m_line[m_selected - kTrimLineStart] = clampToBorder(p);
        m_straightenEnabled = true;
        break;
    default:
        break;
    }
    m_last = p;
}

bool TrimmingEditor::key(ArrowKey k) {
    const int dx = k == ArrowKey::Left ? -1 : k == ArrowKey::Right ? 1 : 0;
    const int dy = k == ArrowKey::Up ? -1 : k == ArrowKey::Down ? 1 : 0;
    switch (m_selected) {
    case kTrimSelectFrame: {
        const Rect r{m_frame.left + dx, m_frame.top + dy, m_frame.right + dx, m_frame.bottom + dy};
        if (!frameInsideBorder(r)) return false;
        m_frame = r;
        return true;
    }
    case kTrimCornerTopLeft:
    case kTrimCornerTopRight:
    case kTrimCornerBottomRight:
    case kTrimCornerBottomLeft: {
        const int c = m_selected;
        const Point anchor = corner(oppositeCorner(c));
        const Point moved{corner(c).x + dx, corner(c).y + dy};
        long long fw, fh;
        if (dx != 0) {  // horizontal keys set the width, the height follows
            fw = static_cast<long long>(cornerSignX(c)) * (moved.x - anchor.x);
            fh = fw * m_H / m_W;
        } else {  // vertical keys set the height, the width follows
            fh = static_cast<long long>(cornerSignY(c)) * (moved.y - anchor.y);
            fw = fh * m_W / m_H;
        }
        if (fw < 1 || fh < 1) return false;
        const Rect r = spanFrom(anchor, c, static_cast<int>(fw), static_cast<int>(fh));
        if (!frameInsideBorder(r)) return false;
        m_frame = r;
        return true;
    }
    case kTrimLineStart:
    case kTrimLineEnd: {
        Point& end = m_line[m_selected - kTrimLineStart];
        const Point moved{end.x + dx, end.y + dy};
        if (!insideBorder(moved)) return false;
        end = moved;
        m_straightenEnabled = true;
        return true;
    }
    default:
        return false;
    }
}

bool TrimmingEditor::straighten() {
    const double correction = levellingAngle(m_line[0], m_line[1]);
    const double total = m_angle + correction;
    // Always from the photo itself: turning the turned copy again would blur
    // it twice and lose its corners.
    Surface turned;
    if (!rotatePicture(turned, m_photo, total)) return false;
    m_rotated = std::move(turned);
    m_angle = total;
    const Point centre{m_preview.cx / 2, m_preview.cy / 2};
    for (Point& end : m_line) end = clampToBorder(rotatePoint(end, centre, correction));
    m_straightenEnabled = false;
    rebuildPreview();
    return true;
}

bool TrimmingEditor::changeAspect(Host* host) {
    if (!host) return false;
    if (host->message(kAskChangeTrimAspect, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) return false;
    std::swap(m_W, m_H);
    resetFrame();
    return true;
}

Rect TrimmingEditor::sourceRect() const {
    const long long sw0 = picture().width(), sh0 = picture().height();
    const long long pw = std::max(m_preview.cx, 1), ph = std::max(m_preview.cy, 1);
    const long long x = m_frame.left * sw0 / pw, w = m_frame.width() * sw0 / pw;
    const long long y = m_frame.top * sh0 / ph, h = m_frame.height() * sh0 / ph;
    return {static_cast<int>(x), static_cast<int>(y), static_cast<int>(x + std::max(w, 1LL)),
            static_cast<int>(y + std::max(h, 1LL))};
}

}  // namespace plastora

// Manual trimming: the geometry behind the trimming dialog ("トリミングダイアログ").
//
// The dialog shows the photo scaled to a preview whose longer side is 640
// pixels, a blue crop frame that keeps the working image's aspect ratio W : H
// and a green straightening line. TrimmingEditor holds that state and does
// everything the mouse, the arrow keys and the two buttons ask for, in
// preview coordinates (0, 0 = top-left of the preview); the dialog only draws
// it and routes input to it.
#pragma once

#include "platform/Surface.h"

namespace plastora {

class Host;

// Where the preview sits in the dialog, and the size rules.
constexpr Point kTrimPreviewOrigin{16, 48};
constexpr int kTrimPreviewSide = 640;   // the preview's longer side
constexpr int kTrimBorder = 4;          // the frame and the line stay this far inside
constexpr int kTrimHitDistance = 4;     // a press closer than this grabs a handle
constexpr int kTrimDialogMinWidth = 332;

extern const char* const kAskChangeTrimAspect;

// Preview size: the longer side 640, the other side x 640 / longer side.
Size trimPreviewSize(int sw0, int sh0);
// Dialog size for a preview: width + 36 (at least 332) by height + 92.
Size trimDialogSize(Size preview);

// Rotates `src` by `angle` radians about its centre into a new picture of
// the same size: inverse mapping with the cosine and sine scaled by 1024 and
// truncated, bilinear interpolation between the four neighbouring pixels;
// pixels that map outside the picture are `fill`. Positive angles turn the
// picture clockwise on screen. False when memory fails. `nearest` takes the
// nearest pixel instead of blending four: for a depth map, where a blend of
// two depths is a depth neither side has.
bool rotatePicture(Surface& out, const Surface& src, double angle, Pixel fill = kWhite, bool nearest = false);
// The same mapping for one point (used for the straightening line): rounds.
Point rotatePoint(Point p, Point centre, double angle);

// The angle that levels the line a -> b: the line's angle to the nearer axis
// (horizontal when |dx| >= |dy|, else vertical), negated, so that turning the
// picture by it makes the line lie on that axis.
double levellingAngle(Point a, Point b);

// Selectable elements.
enum TrimElement : int {
    kTrimSelectNone = -1,
    kTrimSelectFrame = 0,
    kTrimCornerTopLeft = 1,
    kTrimCornerTopRight = 2,
    kTrimCornerBottomRight = 3,
    kTrimCornerBottomLeft = 4,
    kTrimLineStart = 5,
    kTrimLineEnd = 6,
};

// The cursor shown over or while dragging an element.
enum class TrimCursor { Arrow, Move, CornerFalling, CornerRising, LineEnd };
TrimCursor trimCursorFor(int element);

enum class ArrowKey { Left, Right, Up, Down };

class TrimmingEditor {
public:
    // `photo` must outlive the editor. W x H is the working size; `angle` the
    // rotation already accumulated in this opening (the photo is shown
    // rotated by it when it is not 0).
    TrimmingEditor(const Surface& photo, int W, int H, double angle = 0.0);

    Size previewSize() const { return m_preview; }
    Size dialogSize() const { return trimDialogSize(m_preview); }
    int workingWidth() const { return m_W; }
    int workingHeight() const { return m_H; }

    // The crop frame; corners 1 top-left, 2 top-right, 3 bottom-right,
    // 4 bottom-left.
    const Rect& frame() const { return m_frame; }
    Point corner(int index) const;
    Point lineStart() const { return m_line[0]; }
    Point lineEnd() const { return m_line[1]; }
    int selected() const { return m_selected; }
    bool straightenEnabled() const { return m_straightenEnabled; }
    double angle() const { return m_angle; }

    // The picture the preview shows (the straightened copy once there is one).
    const Surface& picture() const { return m_rotated.empty() ? m_photo : m_rotated; }
    // The straightened copy (empty while the angle is 0).
    const Surface& rotated() const { return m_rotated; }
    Surface takeRotated() { return std::move(m_rotated); }
    // The picture scaled to the preview size (halftone); empty when memory failed.
    const Surface& preview() const { return m_previewPicture; }

    // The element under a preview point: line ends first, then the corners
    // in order, each when closer than 4 pixels; else the frame when the point
    // is inside it; else none.
    int hitTest(Point p) const;

    // Mouse: press selects (and grabs) the element under the point, drag
    // moves what was grabbed, release lets go (the element stays selected).
    void press(Point p);
    void drag(Point p);
    void release() { m_dragging = false; }
    bool dragging() const { return m_dragging; }

    // Moves the selected element by one preview pixel. Returns false when
    // the move was ignored (nothing selected, or a point would leave the
    // border).
    bool key(ArrowKey k);

    // Sets the frame directly (tests, and the command-line tool's rectangle).
    void setFrame(const Rect& r) { m_frame = r; }
    void setLine(Point a, Point b);

    // "角度補正": adds the line's levelling angle to the total, rotates the
    // photo (never the rotated copy) by the total, turns the line onto its
    // axis and disables the button again. False when memory fails (nothing
    // changes).
    bool straighten();
    // "縦横比変更": asks; Yes swaps W and H and resets the frame. Returns true
    // when it changed.
    bool changeAspect(Host* host);

    // The frame in photo pixels (x and width by sw0 / preview width, y and
    // height by sh0 / preview height, integer arithmetic).
    Rect sourceRect() const;

    // The initial frame for W x H on a preview: fitted, centred, inset by 4.
    static Rect initialFrame(Size preview, int W, int H);

private:
    void resetFrame() { m_frame = initialFrame(m_preview, m_W, m_H); }
    bool insideBorder(Point p) const;
    bool frameInsideBorder(const Rect& r) const;
    Point clampToBorder(Point p) const;
    void dragCorner(int corner, Point mouse);
    bool rebuildPreview();

    const Surface& m_photo;
    int m_W, m_H;
    double m_angle;
    Size m_preview;
    Rect m_frame;
    Point m_line[2];
    int m_selected = kTrimSelectNone;
    bool m_dragging = false;
    Point m_last;
    bool m_straightenEnabled = false;
    Surface m_rotated;
    Surface m_previewPicture;
};

}  // namespace plastora

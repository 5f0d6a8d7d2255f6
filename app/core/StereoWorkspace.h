// CStereoWorkspace: the one object that holds the picture being edited and
// everything made from it, and how it is being edited.
//
// The view window creates one and routes every command, mouse message and
// timer tick to it. It never talks to a person directly: questions and
// messages go through the Host it is given.
#pragma once

#include "autocut/FaceBox.h"
#include "core/Progress.h"
#include "core/UndoHistory.h"
#include "core/WorkspaceDialogs.h"
#include "layers/Outline.h"
#include "layers/ViewSynthesis.h"
#include "overlay/OverlayObject.h"
#include "platform/Host.h"
#include "platform/Surface.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plastora {

constexpr int kMaxRegions = 32;
constexpr int kObjectSlots = 32;
constexpr int kMaxObjects = 31;
constexpr int kHighResSlots = 16;
// The number of views is raised to at least 2 (the ping-pong animation and
// the extremes-only loop need two) and held to at most this.
constexpr int kMinViews = 2;
constexpr int kMaxViews = 64;

// The question before a command that needs views the document lacks.
inline constexpr const char* kAskMakeViews = "立体画像が作成されていません。作成しますか？";

// Display modes.
enum DisplayMode : std::int32_t {
    kModeNone = 0,
    kModeMask = 1,       // "前景切出し"
    kModeImage = 2,      // "画像編集"
    kModeComposite = 3,  // "合成画像"
    kModeAnimation = 4,  // "立体画像"
    kModeAnaglyph = 5,
    kModeInterlace = 6,
};

// Tools.
enum Tool : std::int32_t {
    kToolNone = 0,
    kToolPen = 1,
    kToolEraser = 2,
    kToolFill = 3,
    kToolMove = 4,
    kToolOutline = 6,
};

// Undo kinds (0 = nothing to undo).
enum UndoKind : std::int32_t {
    kUndoNone = 0,
    kUndoRegionMask = 1,
    kUndoPaintLayer = 2,
    kUndoObjectOrder = 3,
    kUndoObjectRecord = 4,
    kUndoObjectBitmap = 5,
    kUndoObjectAdd = 6,  // the object table as it was before an object was added
};

struct CutoutRegion {
    std::int32_t depth = 0;
    Surface mask;  // W x H, white inside, black outside
    // The bounding box of the mask's inside, remembered between view
    // generations. The workspace forgets it whenever it hands the region out
    // for change (the non-const region()) and wherever it edits the table
    // itself; it travels with the mask when regions are reordered.
    mutable std::optional<Rect> insideBounds;
};

struct ObjectEntry {
    std::int32_t type = kObjectNone;
    std::shared_ptr<OverlayObject> object;
};

// The largest [Picture] HDRatio taken, and of a stereo pair's stored
// pictures over the working size.
constexpr int kMaxHighResRatio = 16;

// The values read from the settings file once, when the workspace is made.
struct WorkspaceSettings {
    int viewCount = 4;       // N
    int pitch = 2;           // composite pitch P
    int hdRatio = 3;         // R
    ColorRef maskColour = 65280;
    int maskWidth = 4;
    int maskOpacity = 100;  // percent of mask colour over the photo in mask editing
    int shadowLevel = 64;
    ColorRef editColour = 0;
    int editWidth = 8;
    bool fixRatio = true;
    int jpegQuality = 80;
    bool copyPrint = false;
    std::string drive;  // the card's mount point
    std::string nintendoPath = "DCIM/*NIN03/HNI_%04d.MPO";
};

// One entry of the view's right-button menu: its text and the command id it
// runs (an empty id is a separator).
struct ContextEntry {
    std::string text;
    std::string command;
};

// The cursors the view shows over the picture: the tools', and over
// objects with the move tool the corner handles (top-left/bottom-right and
// top-right/bottom-left diagonals) and moving.
enum class ToolCursor { Arrow, Pen, Eraser, Fill, SizeNWSE, SizeNESW, Move };

// The keys the move tool takes while an object is selected.
enum class ObjectKey { Left, Right, Up, Down, PageUp, PageDown, Tab, Delete };

// A mouse drag of an object with the move tool: what is dragged (the whole
// object or one corner) and the frame as it stands (x, y, width, height).
enum class DragKind { None, Move, TopLeft, TopRight, BottomRight, BottomLeft };
struct ObjectDrag {
    DragKind kind = DragKind::None;
    int x = 0, y = 0, width = 0, height = 0;
    int object = -1;  // the object dragged (its index)
};

// Reads WorkspaceSettings from a settings file (defaults where absent).
WorkspaceSettings readWorkspaceSettings(const std::string& settingsPath);

struct PictureRows;

class CStereoWorkspace {
public:
    // Reads the settings the workspace keeps for its lifetime from
    // `settingsPath` and makes the empty tables. Display mode 0.
    CStereoWorkspace(Host& host, std::string settingsPath);
    ~CStereoWorkspace();
    CStereoWorkspace(const CStereoWorkspace&) = delete;
    CStereoWorkspace& operator=(const CStereoWorkspace&) = delete;

    Host& host() { return m_host; }
    // The dialogs operations open midway (none: presets are taken as confirmed).
    void setDialogs(WorkspaceDialogs* dialogs) { m_dialogs = dialogs; }
    WorkspaceDialogs* dialogs() const { return m_dialogs; }
    const std::string& settingsPath() const { return m_settingsPath; }
    const WorkspaceSettings& settings() const { return m_settings; }
    WorkspaceSettings& settings() { return m_settings; }

    // ---- picture -----------------------------------------------------------
    int width() const { return m_width; }
    int height() const { return m_height; }
    Surface& source() { return m_source; }
    const Surface& source() const { return m_source; }
    // Replaces the whole document by a photo of w x h (the source is taken
    // over). Every layer, view and table is discarded. Used by opening.
    void adoptPicture(Surface&& picture);
    // Discards everything (mode 0).
    void clearDocument();

    // ---- regions -----------------------------------------------------------
    int regionCount() const { return m_regionCount; }
    int currentRegion() const { return m_currentRegion; }
    void setCurrentRegion(int index);
    // Handing a region out for change forgets its remembered bounds; code
    // that only reads should go through the const overload.
    CutoutRegion& region(int index) {
        CutoutRegion& r = m_regions[static_cast<std::size_t>(index)];
        r.insideBounds.reset();
        return r;
    }
    const CutoutRegion& region(int index) const { return m_regions[static_cast<std::size_t>(index)]; }
    // The bounding box of a region mask's inside (empty Rect when none),
    // computed once and kept until the region is changed.
    Rect regionBounds(int index) const;
    int maskingIndex() const { return m_maskingIndex; }
    void setMaskingIndex(int index) { m_maskingIndex = index; }
    bool maskingOn() const { return m_maskingOn; }
    void setMaskingOn(bool on) { m_maskingOn = on; }
    // Appends a region with an all-black mask. False when the table is full
    // or the mask cannot be allocated (nothing changes then).
    bool appendRegion(int depth);
    // Removes region `index`, closing the gap.
    void removeRegion(int index);
    // Sets the region count directly (used by project loading); regions past
    // the count are freed.
    void truncateRegions(int count);

    // Region commands of mask editing. Each asks its question through the
    // host; No or Cancel changes nothing.
    // "切出し領域追加": appends a region (depth = region 0's x 3 / 2) and makes
    // it current. Returns true when a region was added.
    bool AddRegion();
    // "切出し領域削除": deletes the current region after asking.
    bool DeleteRegion();
    // "切出し領域切替": the next region, or AddRegion with fewer than two.
    void SwitchRegion();
    // "ﾏｽｷﾝｸﾞﾏｽｸ設定": the current region becomes the masking mask.
    bool SetMaskingMask();
    // The "ﾏｽｷﾝｸﾞ" button: flips the masking flag.
    void ToggleMasking();
    // "最前面へ" / "前面へ" / "背面へ" / "最背面へ": moves the current region to
    // index `target` by neighbour swaps; clears undo.
    void MoveRegionInOrder(int target);
    // Stable neighbour swaps until depths never decrease along the table.
    void ReorderRegionsByDepth();
    // "切出し画像の保存": the current region's bounding box with the photo
    // inside the mask and the mask colour outside. With no path a save
    // dialog asks. Returns 1 when a file was written.
    int ExportRegion(const std::string& path = {});

    // "遠近設定": image editing, then the depth dialog (through dialogs()).
    void RunDepthDialog();

    // ---- views and composite -----------------------------------------------
    // Rebuilds the view set with strength S (all N views, or only views 0 and
    // N-1). A view that cannot be allocated ends the loop with the memory
    // message; the views made so far stay.
    void GenerateViews(ProgressSink* progress, int strength, bool extremesOnly);
    // The same views handed to `sink` as they are made, none of them kept
    // (view(i) stays empty; a stereo pair's or depth map's views are made
    // whole and kept): for a caller that only writes them out. The
    // sink is called on threads of its own, several at once, while the next
    // views are made; at most two views per core exist at a time. False
    // after the memory message, or once the sink has returned false (no
    // further views are made; the sink tells its own failure).
    using ViewSink = std::function<bool(int index, const Surface& view)>;
    bool GenerateViewsInto(ProgressSink* progress, int strength, const ViewSink& sink);
    // The same for a caller that takes each view a row at a time (a file
    // writer): when the views can be made in bands, no view exists whole.
    // Each view's rows are synthesised a band at a time as the sink asks
    // for them (from the top down, or from the bottom up when the first row
    // asked is the last), each view on a thread of its own, as many at once
    // as there are cores; the bytes do not depend on the order or the
    // threads. Otherwise the views come whole from GenerateViewsInto. Once
    // the sink has returned false no further view is begun. Progress and
    // the memory message are given on the calling thread.
    using ViewRowsSink = std::function<bool(int index, const PictureRows& rows)>;
    bool GenerateViewRowsInto(ProgressSink* progress, int strength, const ViewRowsSink& sink);
    // Whether the views can be made a band of rows at a time: documents
    // synthesised from regions without objects drawn into them.
    bool canGenerateViewBands() const;
    // The views a band of rows at a time, for a caller that passes rows on
    // and keeps no view whole: BeginViewBands discards the views and gathers
    // what they are drawn from (false after the memory message, or when the
    // document cannot be made in bands); MakeViewBand then puts picture rows
    // [y0, y1) of every view into bands[i] (row 0 = picture row y0), on
    // every core, the same rows GenerateViews makes. A band surface is
    // (re)made when it is not the picture's width or too low. False after
    // the memory message.
    bool BeginViewBands(int strength);
    bool MakeViewBand(int y0, int y1, std::vector<Surface>& bands);
    // Makes the views and writes the composite at `path` in one go, for a
    // caller that wants only the file: when the views can be made in bands
    // none of them ever exists whole, else GenerateViews and WriteComposite.
    // `bandRows` view rows are made at a time (0: a few megabytes' worth).
    // Returns 1 when written; 0 after a message.
    int GenerateAndWriteComposite(const std::string& path, ProgressSink* progress, int strength, int bandRows = 0);
    // The left-eye (view N-1) and right-eye (view 0) pictures at R x W by
    // R x H into the given surfaces (created here). Stereo-pair documents
    // copy their stored high-resolution images instead. Returns false after
    // the memory message when a picture cannot be allocated.
    // The paint layer and the overlay objects are drawn scaled by R, and
    // the "立体化しない" texts too unless `flatTexts` is false.
    bool GenerateHighResPair(Surface& left, Surface& right, bool fromStereoPair, bool flatTexts = true);
    // "立体画像作成": the stereo dialog (or, without dialogs, generation with
    // the current strength), then the animated display. Returns 1 when views
    // were made.
    int RunStereoDialog(bool autoStart);
    // Asks "立体画像が作成されていません。作成しますか？" when there are no
    // views and runs the stereo dialog on Yes. True when views exist after.
    bool EnsureViews();
    // "立体画像": the ping-pong animation of the views (mode 4). The view
    // window calls AnimationTick every animationInterval() milliseconds while
    // the mode is 4.
    void StartViewAnimation();
    void AnimationTick();
    int animationInterval() const;
    // "立体画像合成": interleaves the views into the lenticular composite and
    // shows it (mode 3). False after the memory message.
    bool Compose();
    // The interleave alone (Compose without the display change).
    bool BuildComposite();
    // "合成画像の保存": the print-resolution message, a save dialog when no
    // path is given, then a BMP. Returns 1 when written.
    int SaveComposite(const std::string& path = {});
    // Builds and saves the composite in one go for a caller that does not
    // show it: the print-resolution message, then the file at `path`, each
    // row made as it is written (the composite never exists whole, unless
    // flat texts have to be drawn over it). The same file as BuildComposite
    // and SaveComposite write. Returns 1 when written; 0 after a message.
    int WriteComposite(const std::string& path);
    // The composite's size for this document's views (0 x 0 when none can
    // be made), whether or not they exist.
    Size compositeSize() const;

    // ---- paint layer -------------------------------------------------------
    bool hasPaintLayer() const { return !m_paint.empty(); }
    Surface& paintLayer() { return m_paint; }
    Surface& paintMask() { return m_paintMask; }
    // Makes an empty paint layer (black picture, black mask) when there is none.
    bool ensurePaintLayer();
    void discardPaintLayer();

    // ---- objects -----------------------------------------------------------
    int objectCount() const { return m_objectCount; }
    int currentObject() const { return m_currentObject; }
    void setCurrentObject(int index) { m_currentObject = index; }
    ObjectEntry& objectEntry(int index) { return m_objects[static_cast<std::size_t>(index)]; }
    const ObjectEntry& objectEntry(int index) const { return m_objects[static_cast<std::size_t>(index)]; }
    // Appends an object at the top of the order. Refuses a 32nd object with
    // its message and returns false.
    bool appendObject(std::int32_t type, std::shared_ptr<OverlayObject> object);
    void removeObjectAt(int index);
    void clearObjects();

    // "文字ﾂｰﾙ", "図形ﾂｰﾙ", "ｸﾘｯﾌﾟｱｰﾄを挿入する": a new object from its dialog
    // (or, for clip art, a file; with no path an open dialog asks), on top
    // of the order, current, with the move tool. Returns 1 when added.
    int AddTextObject();
    int AddShapeObject();
    int AddPictureObject(const std::string& path = {});
    // "文字/図形編集": the text or shape dialog for the current object.
    int EditObject();
    // "削除": removes the current object after asking. Returns 1 when removed.
    int RemoveObject();
    // "最前面へ" .. "最背面へ": the current object to index `newIndex`.
    void MoveObjectInOrder(int newIndex);
    // The topmost object whose rectangle (edges included) holds the image
    // point, or -1.
    int HitTestObject(Point p) const;
    // The corner handle of the current clip art or shape within 8 pixels of
    // the image point (DragKind::None when there is none).
    DragKind HandleAt(Point p) const;
    // Draws the objects onto `dc`: view -1 is the flat editing display
    // (nothing shifted, no shadows), else view `view` of the view set with
    // every object moved by its depth and its shadow by the background's.
    // Every coordinate is multiplied by `scale` (the high-resolution pictures).
    void DrawObjects(Surface& dc, int view, int scale = 1) const;
    // A key for the selected object with the move tool (arrows move it,
    // Page Up/Down resize it, Tab selects the next, Delete removes it).
    // False when the key does nothing here.
    bool KeyDown(ObjectKey key);
    // The drag in progress (kind None when there is none).
    const ObjectDrag& objectDrag() const { return m_drag; }

    // ---- depths ------------------------------------------------------------
    std::int32_t backgroundDepth = -8;
    std::int32_t foregroundDepth = 8;  // depth of a new region 0
    std::int32_t paintDepth = 4;
    std::int32_t regionShadow = 0;     // region 0 casts a shadow
    std::int32_t paintShadow = 0;

    // ---- generated data ----------------------------------------------------
    int viewCount() const { return static_cast<int>(m_views.size()); }
    Surface& view(int index) { return m_views[static_cast<std::size_t>(index)]; }
    const Surface& view(int index) const { return m_views[static_cast<std::size_t>(index)]; }
    bool hasViews() const;
    // Every one of the N views (the anaglyph makes only the two end views).
    bool hasAllViews() const;
    void discardViews();
    int strength() const { return m_strength; }
    void setStrength(int s) { m_strength = s; }
    Surface& composite() { return m_composite; }
    const Surface& composite() const { return m_composite; }
    int highResCount() const { return m_highResCount; }
    // R, the high-resolution pictures' scale over the working size: a stereo
    // pair's stored pictures tell it themselves (they may have been made at
    // another [Picture] HDRatio than today's); otherwise the setting.
    int highResRatio() const;
    void setHighResCount(int n) { m_highResCount = n; }
    Surface& highRes(int index) { return m_highRes[static_cast<std::size_t>(index)]; }
    void discardHighRes();
    Surface& anaglyph() { return m_anaglyph; }
    Surface& interlace() { return m_interlace; }
    Surface& display() { return m_display; }
    const Surface& display() const { return m_display; }
    // A caller that never reads the display (a command writing views or the
    // composite) turns it off: Redraw then keeps no display picture.
    void setDisplayWanted(bool wanted) { m_displayWanted = wanted; }

    // ---- anaglyph, interlace, spectral ----
    // Anaglyph colour mode (0 grey, 1 colour) and filter (0 red-cyan,
    // 1 red-green, 2 red-blue): read from [Option] when the workspace is made
    // and kept here; the anaglyph dialog writes them back when they change.
    int anaglyphColourMode() const { return m_anaglyphColourMode; }
    void setAnaglyphColourMode(int mode) { m_anaglyphColourMode = mode; }
    int anaglyphFilter() const { return m_anaglyphFilter; }
    void setAnaglyphFilter(int filter) { m_anaglyphFilter = filter; }
    // The interlace type (0 rows, 1 columns) the interlace dialog set last.
    int interlaceType() const { return m_interlaceType; }
    void setInterlaceType(int type) { m_interlaceType = type; }
    // The spectral-glasses background: its colour, state (0 none, 1 filled,
    // 2 grey tint), K (regions 0..K-1 belong to the background), contrast
    // flag and the prepared W x H bitmap.
    ColorRef spectralColour() const { return m_spectralColour; }
    void setSpectralColour(ColorRef c) { m_spectralColour = c & 0x00FFFFFFu; }
    int spectralState() const { return m_spectralState; }
    void setSpectralState(int state) { m_spectralState = state; }
    int spectralRegions() const { return m_spectralRegions; }
    void setSpectralRegions(int k) { m_spectralRegions = k; }
    bool spectralContrast() const { return m_spectralContrast; }
    void setSpectralContrast(bool on) { m_spectralContrast = on; }
    Surface& spectralBackground() { return m_spectralBackground; }
    const Surface& spectralBackground() const { return m_spectralBackground; }
    // Drops the background (state 0, K = 0, bitmap released); the colour
    // and contrast flag stay. Done whenever the derived images are discarded.
    void discardSpectral();
    // discardSpectral and the colour and contrast back to blue and off, as
    // for a new picture.
    void resetSpectral();
    // The colour mode, filter and interlace type a workspace starts with,
    // from the settings file (defaults where absent; values out of range
    // read as 0).
    static int readAnaglyphColourMode(const std::string& settingsPath);
    static int readAnaglyphFilter(const std::string& settingsPath);
    static int readInterlaceType(const std::string& settingsPath);
    static constexpr ColorRef kSpectralDefaultColour = 0x00FF0000u;  // blue (0x00BBGGRR)
    // ---- end of anaglyph, interlace, spectral ----

    // ---- face detection ----
    // The faces of the last detection (inclusive boxes of the working image,
    // at most kMaxFaces), corrected by clicks while the result dialog is open
    // (faceEditing). Detection and cutout: autocut/FaceDetect.h.
    std::vector<FaceBox>& faces() { return m_faces; }
    const std::vector<FaceBox>& faces() const { return m_faces; }
    const FaceBox& lastRemovedFace() const { return m_lastRemovedFace; }
    void setLastRemovedFace(const FaceBox& f) { m_lastRemovedFace = f; }
    bool faceEditing() const { return m_faceEditing; }
    // Starts or ends the click editing of the face list; ending clears it.
    void setFaceEditing(bool on);
    // The result dialog registers how it is closed while it is open.
    void setFaceDialogCloser(std::function<void()> closer) { m_faceDialogCloser = std::move(closer); }
    // Closes the result dialog (when open) and clears the face list.
    // Switching the display mode and opening a file call this.
    void CloseFaceResult();
    // A left click in window coordinates: in mask editing while the face list
    // is being edited, removes the face under it or adds one (and redraws).
    // True when the click was taken (no stroke must start then).
    bool FaceClick(Point window);
    // ---- end of face detection ----

    // ---- image adjustment and rotation ----
    // Puts a picture of another size in place of the source; W and H become
    // its size. The caller remakes every other W x H layer to match (the
    // rotation does). Nothing else changes here.
    void replaceSource(Surface&& picture) {
        m_width = picture.width();
        m_height = picture.height();
        m_source = std::move(picture);
    }
    // ---- end of image adjustment and rotation ----

    // ---- depth map ----
    // A depth map that came with the photo (W x H grey, nearer = brighter;
    // layers/DepthViews.h): while there is one, the views are made from it
    // by depth-image-based rendering instead of from the regions. Saved with
    // the project as base + "_depth.png".
    bool hasDepthMap() const { return !m_depthMap.empty(); }
    Surface& depthMap() { return m_depthMap; }
    const Surface& depthMap() const { return m_depthMap; }
    // The file the depth map was read from, until the document is saved or
    // another opened: a save never puts its own depth map over that file.
    const std::string& depthMapSource() const { return m_depthMapSource; }
    void setDepthMapSource(std::string path) { m_depthMapSource = std::move(path); }
    // ---- end of depth map ----

    // Files beside the project the document was read from under names a save
    // does not write (an edit image "P.jpg" where there is no "P.bmp", an
    // older project's stereo pictures "P_hd1.jpg"), until it is saved or
    // another is opened: they are the project's files all the same, which
    // no output may replace.
    const std::vector<std::string>& otherProjectFilesRead() const { return m_otherProjectFilesRead; }

    // ---- document state ----------------------------------------------------
    bool stereoPair() const { return m_stereoPair; }
    void setStereoPair(bool on) { m_stereoPair = on; }
    // Set while the 3DS card export runs (its stereo dialog hides the
    // interlace tick).
    bool cardExport() const { return m_cardExport; }
    void setCardExport(bool on) { m_cardExport = on; }
    double lpi() const { return m_lpi; }
    void setLpi(double v) { m_lpi = v; }
    bool modified() const { return m_modified; }
    void setModified(bool on) { m_modified = on; }
    // True when the project last opened lost parts on the way in (a mask,
    // its depth map, its paint layer or a stereo picture that could not be
    // read, each reported as it was met): saving it over itself would make
    // the loss permanent.
    bool openedIncomplete() const { return m_openedIncomplete; }
    // True when what the views were made from was among the parts lost (a
    // stereo picture, the depth map): the views would come out flat.
    bool lostViewSource() const { return m_lostViewSource; }
    bool rotationAllowed() const { return m_rotationAllowed; }
    void setRotationAllowed(bool on) { m_rotationAllowed = on; }
    const std::string& currentPath() const { return m_currentPath; }
    void setCurrentPath(const std::string& path);

    // ---- working size (paper, lens, trimming) -------------------------------
    // The trimming mode last chosen in the picture dialog (kept while the
    // program runs) and the straightening angle (radians) of this opening.
    int trimmingMode() const { return m_trimmingMode; }
    void setTrimmingMode(int mode) { m_trimmingMode = mode; }
    double rotationAngle() const { return m_rotationAngle; }
    void setRotationAngle(double angle) { m_rotationAngle = angle; }
    // The rectangles the last opening or paper change used: a part of the
    // photo (in its pixels, of the straightened photo when the angle is not
    // 0) and where it went on the W x H image. A second picture of a pair is
    // trimmed with them.
    const Rect& trimSource() const { return m_trimSource; }
    const Rect& trimDest() const { return m_trimDest; }
    Size trimPhotoSize() const { return m_trimPhotoSize; }
    // The open-picture step: brings a loaded photo to the working size of the
    // paper, lens and trimming chosen in the picture (and trimming) dialog,
    // and keeps a high-resolution copy when the photo is larger than the
    // "2 L判" paper, when it is the first picture of a stereo pair
    // (`stereoPair`) or an ".mpo" file. `skipDialog` takes the presets as
    // confirmed. On success the workspace holds the W x H working image
    // (and the copy in high-resolution slot 0); false when cancelled or when
    // memory failed (after its message), with the workspace unchanged.
    bool OpenPicture(Surface&& photo, const std::string& path, bool stereoPair = false, bool skipDialog = false);
    // A photo read only once the open-picture step knows how much of its
    // resolution the pictures it makes need: `width` x `height` is its size
    // the right way up; read(reduction, out, scale, phase) gives it at
    // 1/scale of that size (sides rounded up), scale at most `reduction`,
    // and the phase of its pixels (see PhotoLoadNotes); false (after its own
    // message) when it cannot be read.
    // readRows (optional) gives the rows of a photo stored the right way
    // up at 1/reduction of its size (2, 4 or 8), top first, without the
    // photo being held; false (no message) when it cannot be read so.
    struct PhotoReader {
        int width = 0, height = 0;
        std::function<bool(int reduction, Surface& out, int& scale, Point& phase)> read;
        std::function<bool(int reduction, const std::function<void(int y, const Pixel* row, int width)>& row)>
            readRows;
    };
    // The same for a photo read on demand: a JPEG much larger than what is
    // made of it is decoded reduced. Manual trimming reads it whole.
    bool OpenPicture(const PhotoReader& photo, const std::string& path, bool stereoPair = false,
                     bool skipDialog = false);
    // "用紙サイズ変更(&F)...": the picture dialog for the open picture, then
    // every W x H layer, the high-resolution images and the overlay objects
    // re-mapped to the new working size. Returns 1, or 0 when there is no
    // picture, on Cancel or on a memory failure (everything stays as it was).
    int ChangePaperSize();

    // ---- editing state -----------------------------------------------------
    int mode() const { return m_mode; }
    int tool() const { return m_tool; }
    void setTool(int tool) { m_tool = tool; }
    int zoom() const { return m_zoom; }
    void setZoom(int zoom) { m_zoom = zoom; }
    int animationFrame() const { return m_animFrame; }
    int animationDirection() const { return m_animDirection; }
    void setAnimation(int frame, int direction) { m_animFrame = frame, m_animDirection = direction; }
    bool depthDialogOpen() const { return m_depthDialogOpen; }
    void setDepthDialogOpen(bool open) { m_depthDialogOpen = open; }
    // The display mode is set directly only by the output commands (3..6);
    // editing modes go through SetMode.
    void setDisplayMode(int mode) {
        // Leaving the editing displays ends a face detection's result dialog.
        if (mode != m_mode && mode >= kModeComposite) CloseFaceResult();
        // The zoom tool works only while editing: an output display is shown
        // whole, at 1, or an editing zoom would stay on with no way back.
        if (mode >= kModeComposite) m_zoom = 1;
        m_mode = mode;
    }

    // ---- painting tools ----------------------------------------------------
    // Selects pen, eraser, fill, move or outline (kToolNone clears the tool).
    // The pen in image editing makes the paint layer when there is none;
    // false after the memory message when it cannot be had.
    bool SelectTool(int tool);
    // "ｽﾞｰﾑﾂｰﾙ": 1, 2, 4, 8, then back to 1.
    void ZoomTool();
    // "ｶﾗｰﾂｰﾙ": the colour chooser for the paint colour; OK stores it in the
    // settings file. Returns true when the colour changed.
    bool ChooseColour();
    // The pens, made from the current settings every time they are used.
    Pen maskPen() const;
    Pen eraserPen() const;
    Pen paintPen() const;
    Pen paintMaskPen() const;

    // Mouse input in window coordinates. The view reports its scroll offset
    // first; positions become image pixels through it and the zoom.
    void setScrollPosition(int x, int y) { m_scrollX = x, m_scrollY = y; }
    Point scrollPosition() const { return {m_scrollX, m_scrollY}; }
    Point windowToImage(Point window) const;
    void LButtonDown(Point window);
    void MouseMove(Point window);
    void LButtonUp(Point window);
    // Ends a stroke or drag whose button release never reached the view (a
    // menu or dialog took the mouse meanwhile) where it last was, painting
    // nothing more.
    void EndStroke();
    void LButtonDblClk(Point window);
    // The right-button menu for the current state (modes 1 and 2; empty
    // otherwise).
    // A right click on an object selects it and offers the object entries.
    std::vector<ContextEntry> RButtonDown(Point window);
    bool buttonDown() const { return m_buttonDown; }
    // The cursor for the current tool.
    ToolCursor cursor() const;
    // The cursor for the pointer at a window point (the move tool's handles).
    ToolCursor cursorAt(Point window) const;

    // The outline tool's polylines of the current region, in image pixels.
    const std::vector<Polyline>& outlines() const { return m_outlines; }
    void BuildOutlines();
    // Whether the view shows the outline display instead of the display image.
    bool outlineDisplay() const { return m_mode == kModeMask && m_tool == kToolOutline; }
    // The outline display of the window area at the scroll offset: the photo
    // enlarged by the zoom with every outline inverted, into `dst` (made
    // here: the part of the window the picture covers, from its top left
    // corner; the rest of the window keeps its background). False when the
    // picture covers none of it.
    bool renderOutlineDisplay(Surface& dst, int windowW, int windowH) const;

    // SetMode (1 or 2): leaves the animation, discards views and composite,
    // makes region 0 in mask editing when there is none, picks the tool,
    // resets zoom, clears undo and the current object, redraws. Returns false
    // only when region 0 could not be allocated (the memory message is shown).
    bool SetMode(int mode);

    // ---- undo ----------------------------------------------------------------
    // A history of steps (core/UndoHistory.h): at most 50 steps or 512 MB,
    // the oldest dropped first. It lives across mode switches and is
    // cleared whenever the pictures it holds can no longer be put back
    // (another file, another working size, regions reordered or removed,
    // objects added or removed).
    // The kind of the step the next undo takes back (kUndoNone: none).
    int undoKind() const { return m_history.nextUndo().kind; }
    UndoInfo nextUndo() const { return m_history.nextUndo(); }
    UndoInfo nextRedo() const { return m_history.nextRedo(); }
    bool canUndo() const { return m_history.canUndo() && (m_mode == kModeMask || m_mode == kModeImage); }
    bool canRedo() const { return m_history.canRedo() && (m_mode == kModeMask || m_mode == kModeImage); }
    // Records a step of the given kind (and sets the modified flag). A
    // region-mask step also keeps the mask as it is now for the stroke that
    // follows (the masking rule). Returns false when the memory cannot be
    // had (nothing is recorded).
    bool TakeSnapshot(int kind);
    void ClearUndo();
    // Undo and redo take back or bring again one step, mark the picture
    // edited and redraw. A region's step in mask editing makes that region
    // current, so what changed is seen.
    void Undo();
    void Redo();
    UndoHistory& history() { return m_history; }

    // SaveModified: when the picture is modified, asks whether to save it.
    // Returns 0 for Cancel or a failed save (the caller stops closing or
    // opening), 1 otherwise.
    int SaveModified();
    // Save: writes the project (base.lyr) and its companions. With no path a
    // save dialog asks for one. Returns 1 or 0.
    int Save(const std::string& path = {});
    // Open: a project (.lyr, or a name without extension) or a photo. With no
    // path an open dialog asks for one. Returns 1 or 0.
    int Open(const std::string& path = {});
    // Reads a project file and its masks and objects into the workspace
    // (the edit image is read by Open). Returns 1 or 0 (after its messages).
    int ReadProject(const std::string& path);
    // "サンプルデータを開く...": a picture from the sample folder; when it has
    // a project beside it, the project is opened, its views made at once and
    // composed. Returns 1 when something was opened.
    int OpenSampleData();

    // "編集画像の保存": with a high-resolution copy of the photo, the edit
    // picture (photo, paint layer, objects) at that resolution; otherwise the
    // display image. With no path a save dialog asks. Returns 1 when written.
    int SaveEditImage(const std::string& path = {});

    // Redraw: rebuilds the display image from the display mode and asks the
    // host to repaint.
    void Redraw();

private:
    // Open's reading of a chosen photo or project (not an MPO).
    int openChosen(const std::string& path);
    bool buildDisplay();
    // View synthesis from regions: the cards and plate every view is drawn
    // from (false when memory runs out), then rows [y0, y1) of view `a` into
    // `v`, whose row 0 is picture row `top`.
    bool prepareViewSources(int strength);
    void synthesiseViewRows(Surface& v, int top, int a, int y0, int y1) const;
    // The rows of a view made at a time: a band that stays in the cache
    // while every layer is drawn over it.
    int viewBandRows() const;
    // Makes the views `wanted`, a batch of one per core at a time; with a
    // sink, each batch is handed to it and its memory reused for the next.
    bool makeViews(ProgressSink* progress, int strength, const std::vector<int>& wanted, bool showProgress,
                   const ViewSink* sink);
    // One pen or eraser segment from the last point to `p` (image pixels).
    void MouseMoveTo(Point p);
    // The object side of the mouse in image editing: true when the click
    // belonged to an object (no paint stroke starts then).
    bool objectButtonDown(Point p);
    void objectFill(int index, Point p);
    void dragObjectTo(Point p);
    void finishDrag();
    bool strokeStillHolds();
    // The masking rule holds painting in the current region to the masking
    // region; a region that is its own masking region has no further limit
    // (the rule would whiten all of it).
    bool maskingApplies() const {
        return m_maskingOn && m_currentRegion != 0 && m_maskingIndex < m_regionCount && m_maskingIndex != m_currentRegion;
    }
    // The selection frame and the drag frame over the display.
    void drawSelection(Surface& dc) const;
    void finishAdd(std::int32_t type, std::shared_ptr<OverlayObject> object);
    // Brings a loaded photo into the workspace as its working image (the
    // paper, lens and trimming step). False when cancelled or failed.
    bool takeOpenedPhoto(Surface&& photo, const std::string& path);
    bool takeOpenedPhoto(const PhotoReader& photo, const std::string& path);

    Host& m_host;
    WorkspaceDialogs* m_dialogs = nullptr;
    std::string m_settingsPath;
    WorkspaceSettings m_settings;

    int m_width = 0;
    int m_height = 0;
    Surface m_source;
    std::array<CutoutRegion, kMaxRegions> m_regions;
    int m_regionCount = 0;
    int m_currentRegion = 0;
    int m_maskingIndex = 0;
    bool m_maskingOn = true;
    Surface m_paint;
    Surface m_paintMask;
    std::array<ObjectEntry, kObjectSlots> m_objects;
    int m_objectCount = 0;
    int m_currentObject = -1;

    std::vector<Surface> m_views;
    int m_strength = 2;
    Surface m_composite;
    std::array<Surface, kHighResSlots> m_highRes;
    int m_highResCount = 0;
    bool m_openedIncomplete = false;
    bool m_lostViewSource = false;
    Surface m_anaglyph;
    Surface m_interlace;
    Surface m_display;
    bool m_displayWanted = true;
    // Scratch pictures of view generation, kept between generations so that
    // regenerating does not fault in fresh memory every time.
    std::vector<Surface> m_viewPool;
    Surface m_scratchPlate;
    std::vector<Card> m_scratchCards;
    Rect m_scratchPaintBounds;

    bool m_stereoPair = false;
    bool m_cardExport = false;
    double m_lpi = 60.0;
    bool m_modified = false;
    bool m_rotationAllowed = false;
    std::string m_currentPath;

    int m_mode = kModeNone;
    int m_tool = kToolNone;
    int m_zoom = 1;
    int m_animFrame = 0;
    int m_animDirection = 1;
    bool m_depthDialogOpen = false;

    UndoHistory m_history;
    Surface m_undoA;  // the current region's mask as a stroke began
    friend class UndoHistory;

    bool m_buttonDown = false;
    // The mode and region a stroke started in: a stroke goes on only while
    // they stay (its undo step and the masking rule's snapshot are theirs).
    int m_strokeMode = 0;
    int m_strokeRegion = 0;
    ObjectDrag m_drag;
    Point m_last;
    int m_scrollX = 0;
    int m_scrollY = 0;
    std::vector<Polyline> m_outlines;

    int m_trimmingMode = 1;
    double m_rotationAngle = 0.0;
    Rect m_trimSource;
    Rect m_trimDest;
    Size m_trimPhotoSize;

    // ---- anaglyph, interlace, spectral ----
    // Declared after m_settingsPath: these are read from it when made.
    int m_anaglyphColourMode = readAnaglyphColourMode(m_settingsPath);
    int m_anaglyphFilter = readAnaglyphFilter(m_settingsPath);
    int m_interlaceType = readInterlaceType(m_settingsPath);
    ColorRef m_spectralColour = kSpectralDefaultColour;
    int m_spectralState = 0;
    int m_spectralRegions = 0;
    bool m_spectralContrast = false;
    Surface m_spectralBackground;
    // ---- end of anaglyph, interlace, spectral ----

    Surface m_depthMap;
    std::string m_depthMapSource;
    std::vector<std::string> m_otherProjectFilesRead;

    // ---- face detection ----
    std::vector<FaceBox> m_faces;
    FaceBox m_lastRemovedFace;
    bool m_faceEditing = false;
    std::function<void()> m_faceDialogCloser;
    // ---- end of face detection ----
};

// Paints a flat colour into `dst` wherever `mask` is white (any non-zero
// colour byte), leaving the rest: dst = (dst AND NOT mask) OR (colour AND mask).
void fillThroughMask(Surface& dst, const Surface& mask, ColorRef colour);
// Copies `layer` into `dst` wherever `mask` is white.
void copyThroughMask(Surface& dst, const Surface& layer, const Surface& mask);

}  // namespace plastora

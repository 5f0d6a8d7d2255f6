// Face detection and the automatic cutout built on it.
//
// Faces are found with a Haar-cascade classifier (OpenCV), kept in the
// workspace's face list, corrected by clicks while the result dialog is open,
// and turned into cutout regions by placing a body template (a metafile of
// filled polygons drawn relative to a face) on every face.
#pragma once

#include "autocut/FaceBox.h"
#include "core/StereoWorkspace.h"

#include <string>
#include <vector>

class QPainter;

namespace plastora {

// Messages.
extern const char* const kCascadeLoadFailedMessage;  // "顔検出学習ファイルの読み込みに失敗しました"
// "顔検出に失敗しました。" followed by what the user can do instead.
extern const char* const kNoFaceMessage;
extern const char* const kTooManyFacesMessage;        // "これ以上顔検出領域を追加できません"
extern const char* const kFaceSearchCaption;          // the progress window while faces are searched
extern const char* const kBodyDataFailedMessage;      // "ボディデータの読み込みに失敗しました"

// The [Auto] settings of detection and cutout.
struct FaceDetectSettings {
    double scaleFactor = 1.1;
    int minNeighbors = 3;
    int minSize = 0;
    bool cannyPruning = false;
    std::string cascadeFile = "haarcascade_frontalface_alt.xml";
    std::string bodyData = "body_data_default.wmf";
};

// The ranges every number is held to when it is read (the settings
// dialog's own ranges).
constexpr double kScaleFactorMin = 1.1;
constexpr double kScaleFactorMax = 2.0;
constexpr int kMinNeighborsMin = 1;
constexpr int kMinNeighborsMax = 99;
constexpr int kMinSizeMin = 0;
constexpr int kMinSizeMax = 99;

// Reads the six values (defaults where absent), the numbers bounded.
FaceDetectSettings readFaceDetectSettings(const std::string& settingsPath);
// The numbers held to their ranges; a scale factor that is not a number
// becomes the default.
FaceDetectSettings boundFaceDetectSettings(FaceDetectSettings s);
// Writes all six: the scale factor as "%.02f", the numbers as "%d", the
// pruning flag as "1"/"0", the two files as held. False when a write failed.
bool writeFaceDetectSettings(const std::string& settingsPath, const FaceDetectSettings& s);

// The folder of the detection data beside the program (no trailing slash).
std::string autoDataFolder();
// The file rule of the classifier and the body template: a value holding
// '\' or '/' is a path used unchanged; any other value names a file in
// autoDataFolder().
std::string resolveAutoDataFile(const std::string& value);
// The part of a value after its last '\', or failing that its last '/'
// (what the settings dialog shows).
std::string autoDataFileName(const std::string& value);

// Runs the classifier at `cascadePath` on the picture (grey, histogram
// equalised) and puts the first kMaxFaces faces, in the detector's order,
// into `faces`. Returns the number kept, or -1 when the classifier cannot be
// loaded. Detector errors (such as a scale factor of 1 or less) find nothing.
int detectFaceBoxes(const Surface& picture, const FaceDetectSettings& settings, const std::string& cascadePath,
                    std::vector<FaceBox>& faces);

// Where Debian's opencv-data installs the classifiers.
extern const char* const kSystemCascadeFolder;

// The second pass: the frontal classifiers alt, alt2 and default and the
// profile classifier (on the picture and its mirror image), each from
// auto_data or else kSystemCascadeFolder, run on the equalised grey picture
// with settings for ordinary photos; their boxes merged (mergeFaceBoxes),
// and a box only one search found kept when that search still finds it
// asking three times the agreement (a face seen from the side).
// Returns the number of faces (at most kMaxFaces).
int detectFacesMerged(const Surface& picture, std::vector<FaceBox>& faces);
// detectFaceBoxes with the stored settings first; when that finds nothing,
// the second pass. -1 when the stored classifier cannot be loaded.
int findFaces(const Surface& picture, const FaceDetectSettings& settings, const std::string& cascadePath,
              std::vector<FaceBox>& faces);
// The scale (at most 1) of the copy of a w x h photo that findFacesInPhoto
// searches: 640 pixels on its long side, but at least 240 on its short side
// (a panorama shrunk to 640 wide keeps no face) within two megapixels.
double faceSearchScale(int w, int h);
// The faces of a photo as it is opened (the stored classifier and settings
// on a copy of it at faceSearchScale), in the photo's pixels; no message,
// none when the classifier cannot be loaded. Used to keep heads inside a
// cropped picture.
std::vector<FaceBox> findFacesInPhoto(const Surface& photo, const std::string& settingsPath);

// The first step of "顔検出(&A)...": clears the face list, detects faces in
// the edit image (findFaces) and fills the list. Shows
// "顔検出学習ファイルの読み込みに失敗しました" when the classifier cannot be
// loaded and "顔検出に失敗しました。" whenever no face was kept. Returns the
// number of faces.
int DetectFaces(CStereoWorkspace& ws);

// What a click on the picture did to the face list.
enum class FaceClickResult {
    Removed,  // a face box under the click was removed
    Added,    // a square face was appended
    Refused,  // 32 faces already (the message was shown), or a click beside
              // the picture: nothing changed
};

// A click at picture point `p` while the face list is being edited: the
// first box (in list order) containing p is removed (remembered as the last
// removed face); elsewhere a square face centred on p is appended, of
// half-size a = sum(right - left + bottom - top) / (4 x count) over the list,
// or from the last removed face when the list is empty. 32 faces refuse with
// "これ以上顔検出領域を追加できません".
FaceClickResult editFacesAt(CStereoWorkspace& ws, Point p);

// The view's overlay while the face list is not empty: every face box as a
// rectangle outline in a solid 1-pixel red pen, its coordinates multiplied
// by the zoom and moved by the scroll position.
void drawFaceBoxes(QPainter& painter, const CStereoWorkspace& ws, int zoom, int scrollX, int scrollY);

// The body template: the placeable header's left, top and right and the
// polygons of its objects (at most 8 objects of at most 1024 points).
struct BodyTemplate {
    int left = 0;   // L
    int top = 0;    // T
    int right = 0;  // R: one face width in template units
    std::vector<std::vector<Point>> polygons;
};

// Reads a body template file. False when the file cannot be read, has no
// placeable header, its right value is 0 (no scale can be made), or the
// reader makes no object (also when it exceeds 8 objects or 1024 points).
bool readBodyTemplate(const std::string& path, BodyTemplate& out);

// The template placed on one face: every point (px, py) becomes
// (cx + trunc(s (px - L)), cy + trunc(s (py - T))) with s = (right - left)
// / R in single precision and (cx, cy) the face's centre (integer halves).
std::vector<std::vector<Point>> placeBodyTemplate(const BodyTemplate& body, const FaceBox& face);

// The depth of each of n regions made for faces sorted by width: the
// narrowest 0, the widest F, the rest graded (w_j - w0) x F / (wN - w0)
// (truncating); all F when every width is the same.
std::vector<int> gradedDepths(const std::vector<int>& sortedWidths, int foregroundDepth);

// The automatic cutout: reads the body template (BodyData by the file rule;
// "ボディデータの読み込みに失敗しました" and nothing changes when it fails),
// keeps only region 0 (black, default foreground depth), and fills the
// template placed on every face of the list into region 0's mask or, when
// `separate`, into one region per face (faces sorted by width, depths
// graded). With more than one face and `rememberChoice`, [Auto]
// "MultiLayer" records `separate`. Region 0 becomes current; undo is
// cleared (the masks it held are gone) and the picture is marked modified.
// Returns 1; 0 when the template cannot be read (nothing changed) or after
// the memory message (the regions made so far stay).
int AutoCutout(CStereoWorkspace& ws, bool separate, bool rememberChoice = true);

}  // namespace plastora

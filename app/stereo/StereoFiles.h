// Stereo material in and out of the workspace: opening a left/right pair
// (two files or one MPO), saving the extreme pair or all views as BMP, Exif
// JPEG or MPO, and writing the pair as an MPO into the picture folder of a
// Nintendo 3DS memory card.
//
// The memory card is a mounted folder (e.g. "/media/user/3DS"), kept as
// [Option] "Drive". [Option] "NintendoPath" gives the picture path below it,
// "DCIM/*NIN03/HNI_%04d.MPO" (backslashes in a stored value are read as '/').
// The path tests look at the characters of a path relative to the card's
// mount point: "DCIM/" at 0, "NIN03/" at 8, "HNI_" at 14.
#pragma once

#include "core/StereoWorkspace.h"
#include "stereo/Exif.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plastora {

// Messages of these operations.
extern const char* const kStereoSecondPictureQuestion;  // which side the first picture is
extern const char* const kStereoSizeDiffersQuestion;
extern const char* const kStereoPairOpenFilter;         // the second file's dialog
extern const char* const kStereoSaveFilter;
extern const char* const kCardNoViewsQuestion;           // OK/Cancel before the card export makes views
extern const char* const kCardOverwriteQuestion;
extern const char* const kCardWriteSucceededMessage;
extern const char* const kCardWriteFailedMessage;
extern const char* const kNoCardOnDriveMessage;          // the drive dialog's refusal
// An MPO with more pictures than a stereo-pair document has slots.
std::string mpoTooManyImagesMessage(std::uint32_t count);

// ---- names ------------------------------------------------------------------------

// True when the path ends in ".mpo" in any case.
bool isMpoPath(const std::string& path);
// The name suggested for the second file of a pair: the character just
// before the last '.' turned from l/L to r/R when the first picture is the
// left one, from r/R to l/L otherwise; any other character stays.
std::string suggestSecondPictureName(const std::string& firstPath, bool firstIsLeft);

// The files a save writes for a target path (see SaveStereoViews).
struct StereoSaveNames {
    std::string ext;    // the target's extension with its dot ("" when none)
    std::string stem;   // what the view suffixes are appended to
    bool mpo = false;
    bool jpegLike = false;
};
// `tempFolder` is where the pieces of an MPO are made ("" when there is none).
StereoSaveNames stereoSaveNames(const std::string& target, const std::string& tempFolder);

// ---- the memory card ------------------------------------------------------------------

// NintendoPath with '/' separators.
std::string cardPattern(const std::string& nintendoPath);
// The save guard: some tail of `path` (the whole path, or what follows one of
// its '/') starts with the pattern's first 5 characters ("DCIM/") and has
// its characters 6..11 ("NIN03/") at 8, exact case.
bool isInCardPictureFolder(const std::string& path, const std::string& nintendoPath);
// The opened-from-card test: a tail of `path` has the pattern's characters
// 0..3 ("DCIM") at 0 and 6..15 ("NIN03/HNI_") at 8, any case. Gives the
// card's mount point (the part of `path` before that tail, no trailing '/').
std::optional<std::string> cardRootOfPicture(const std::string& path, const std::string& nintendoPath);
// The card folder test: `drive` holds a folder matching the pattern's folder
// part (e.g. DCIM/*NIN03; '*' and '?' match, any case).
bool cardFolderExists(const std::string& drive, const std::string& nintendoPath);
// The first such folder (sorted by name), or nothing.
std::optional<std::string> findCardFolder(const std::string& drive, const std::string& nintendoPath);
// The pattern's file part with its number directive ("%04d" and the like)
// replaced by `number`; nothing when the part has no such directive.
std::optional<std::string> formatCardFileName(const std::string& nintendoPath, int number);
// The next free card file in `folder`: the pattern's file part formatted
// with one more than the largest number found after the last '_' of the
// matching files (1 when there are none).
std::optional<std::string> nextCardFileName(const std::string& folder, const std::string& nintendoPath);

// Mounted removable media that may hold a card: vfat, exfat, msdos, ntfs and
// fuseblk mounts below /media, /run/media or /mnt, in the order of `mounts`
// (the text of /proc/mounts; octal escapes such as \040 are decoded).
std::vector<std::string> removableMountsFrom(const std::string& mounts);
// The same from /proc/mounts.
std::vector<std::string> removableMounts();

// What OK in the drive dialog does for the chosen `drive`: when the card
// folder is missing there, shows kNoCardOnDriveMessage and tests once more
// after it is closed; still missing gives false (the dialog stays open).
// Otherwise takes the drive as the workspace's and gives true; it is kept
// as [Option] "Drive" in the settings file too, where that can be written
// (a program folder on a full stick keeps only this run's choice).
bool acceptCardDrive(CStereoWorkspace& ws, const std::string& drive);

// ---- opening ------------------------------------------------------------------------

// "ステレオ画像を開く...": asks to save a modified picture, then (with no path)
// an open dialog chooses the first file. An ".mpo" is opened by OpenMpoFile;
// otherwise the first picture is brought to the working size, the side
// question is asked, a second file is chosen with the suggested name, and the
// two go to high-resolution slots 0 (left) and 1 (right). Returns 1 when a
// stereo-pair document was made; 0 when cancelled or failed (the document is
// then empty, after the failure's message).
// Unless `align` (default: [Stereo] "Align") is off, every further picture
// is then aligned to the left one (stereo/PairAlign) and the correction, or
// why there was none, goes to the host's status bar.
int OpenStereoImage(CStereoWorkspace& ws, const std::string& path = {}, std::optional<bool> align = std::nullopt);
// An MPO as a stereo-pair document: image 0 brought to the working size, and
// every image into slots 0..M-1 with the first one's rotation and trimming.
// More than 16 images are refused with mpoTooManyImagesMessage. Does not ask
// to save a modified picture (the open command has done so). Aligned as
// OpenStereoImage does. Returns 1 or 0.
int OpenMpoFile(CStereoWorkspace& ws, const std::string& path, std::optional<bool> align = std::nullopt);

// ---- saving -------------------------------------------------------------------------

enum class StereoSaveMode { Pair, AllViews };
// The files a save of `viewCount` views to `target` puts in place: the
// target itself for an MPO, else one file per view written, named from the
// cut target.
std::vector<std::string> stereoSaveFiles(const std::string& target, StereoSaveMode mode, int viewCount);

// Places a view on the card's 640 x 480 black picture: scaled to height 320
// at y = 80 and centred, or, when that would be wider than 640, its centre
// 2H columns drawn 640 wide. A 640 x 480 view is copied as it is.
bool makeCardPicture(const Surface& view, Surface& out);

// The save routine. Pair mode writes view 0 as stem + "_R" and view N-1 as
// stem + "_L"; all-views mode writes view i as stem + "_%02d" with N - i.
// JPEG-like targets (".jpg", ".jpeg", ".mpo", any extension ending in g) get
// Exif JPEGs with thumbnails (in `exif` mode), others SaveStillImage's file
// with the target's extension. An ".mpo" target has its pieces made in the
// temporary folder and joined into `target`. `useHighRes` (pair mode only)
// writes the workspace's high-resolution pair instead of the two views.
// Card mode (ExifMode::Card) also brings every view to 640 x 480.
// Returns 1, or 0 after a message when a file cannot be written.
int SaveStereoViews(CStereoWorkspace& ws, const std::string& target, StereoSaveMode mode, bool useHighRes,
                    ExifMode exif);

// "ステレオ画像の保存..." (pair) and "立体画像の保存(&L)..." (all views): with
// no path a save dialog asks (suggesting the picture's name as ".mpo"); a
// target inside a card's picture folder is refused with kCardPathMessage.
// The high-resolution pair is used whenever the workspace holds one.
// Returns 1 when written, 0 when cancelled, refused or failed, or when there
// are no views.
int SaveStereoPair(CStereoWorkspace& ws, const std::string& path = {});
int SaveAllViews(CStereoWorkspace& ws, const std::string& path = {});

// Shows the drive dialog; true when it was closed with OK (the dialog has
// accepted the drive then, as acceptCardDrive does).
using ChooseCardDrive = std::function<bool(CStereoWorkspace&)>;

// "NINTENDO 3DS用保存(&N)...": makes views when there are none (after an
// OK/Cancel question), finds the card (from the opened picture's path, the
// stored drive, or the drive dialog), writes the pair in card mode to
// PLASTORA_TEMP.MPO in the temporary folder and copies it to the card: over
// the opened card picture when the user agrees, otherwise as the next free
// HNI_nnnn.MPO. Returns 1 when the card file was written.
int ExportTo3ds(CStereoWorkspace& ws, const ChooseCardDrive& chooseDrive);

}  // namespace plastora

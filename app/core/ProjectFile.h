// The project file "*.lyr" and its mask companions.
//
// A project is a 96-byte header followed by the overlay-object section, with
// the edit image, the region masks (1-bit BMPs carrying the depth in their
// reserved word), the paint layer and high-resolution images beside it under
// the same base name. Everything read from a file is checked against the
// file's size before it is used.
#pragma once

#include "core/StereoWorkspace.h"
#include "platform/SafeFile.h"  // readWholeFile

#include <cstdint>
#include <string>
#include <vector>

namespace plastora {

constexpr int kProjectVersion = 3;
constexpr std::size_t kProjectHeaderSize = 96;
// The largest picture a project may describe (each side, and in all): a
// project file beyond them is refused as damaged, so nothing larger is made.
constexpr std::int32_t kProjectMaxSide = 32767;
constexpr std::int64_t kProjectMaxPixels = std::int64_t{1} << 28;
// The longest text an object may hold, in bytes as stored.
constexpr std::int64_t kProjectMaxTextBytes = std::int64_t{1} << 20;
constexpr std::size_t kOldProjectHeaderSize = 64;
constexpr std::size_t kObjectRecordSize = 56;
constexpr std::size_t kFaceBlockSize = 32;

extern const char* const kNotProjectMessage;       // wrong magic
extern const char* const kUnsupportedVersionMessage;
extern const char* const kMissingMaskMessage;
// A region's mask file is there but damaged ("%s" is the file).
extern const char* const kCorruptMaskMessage;
extern const char* const kMaskSaveFailedMessage;
extern const char* const kReadFailedMessage;
extern const char* const kCardPathMessage;
// A save would replace a file of the open project ("%s" is the file).
extern const char* const kOwnProjectFileMessage;
// A save's companion file would replace a file that is not the project's own
// ("%s" is the file).
extern const char* const kForeignCompanionMessage;
// A document from a photo saved under the photo's name would replace a
// project already there ("%s" is that project): Yes/No.
extern const char* const kReplaceOtherProjectQuestion;
// A save would replace the project that lost parts when it was opened ("%s"
// is the project).
extern const char* const kIncompleteOverwriteMessage;

// The header fields as the program uses them (after the layout rules for
// older files have been applied).
struct ProjectHeader {
    std::int32_t version = kProjectVersion;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t objectCount = 0;
    std::int32_t strength = 2;
    std::int32_t backgroundDepth = 0;
    std::int32_t foregroundDepth = 0;
    std::int32_t paintDepth = 0;
    std::int32_t regionShadow = 0;
    std::int32_t paintShadow = 0;
    float lpi = 60.0f;
    bool lpiStored = true;         // false for the 64-byte layout (keeps the current value)
    std::int32_t regionCount = 1;  // C, already corrected for versions 0 and 1
    std::int32_t maskingIndex = 0;
    bool stereoPair = false;
    std::int32_t highResCount = 0;
    // Bit 0 of the word at offset 48: the views come from a depth map kept
    // beside the project (base + "_depth.png"). 0 in older files.
    bool depthMap = false;
    // Versions 0 and 1 (and the 64-byte layout below version 2): region 0's
    // depth is the foreground field, not the mask file's word.
    bool region0DepthFromHeader = false;
    std::size_t objectSectionOffset = kProjectHeaderSize;
};

// One object read from the object section.
struct ProjectObject {
    std::int32_t type = 0;
    OverlayObject object;
};

// "base" of a path: everything before its last dot (the whole path when the
// file name has no dot).
std::string projectBase(const std::string& path);
// The project file a save to `path` writes: `path` itself when it ends in
// ".lyr" in any case, else its base with ".lyr".
std::string projectFilePath(const std::string& path);
// True when the path's extension is "lyr" in any case, or the name has no dot.
bool isProjectPath(const std::string& path);
// Mask file name of region j: base + ".msk" for 0, base + ".m%02d" otherwise.
std::string maskPath(const std::string& base, int region);
// High-resolution image name: base + "_hd%02d.jpg" (i from 1).
std::string highResPath(const std::string& base, int i);
// The files of the project the workspace holds (the project file and every
// companion a save writes), or none when it was opened from a photo.
std::vector<std::string> projectFilesOf(CStereoWorkspace& ws);
// The files a save of the document to `projectPath` would write.
std::vector<std::string> projectFilesFor(CStereoWorkspace& ws, const std::string& projectPath);
// The message with "%s" replaced by the file named in full (an absolute
// path, so that it is clear which file is meant, whatever the current
// folder).
std::string formatWithFile(const char* format, const std::string& file);

// True when `path` points into the picture folder of a 3DS memory card, as
// given by the card file pattern (e.g. "DCIM\*NIN03\HNI_%04d.MPO"): a folder
// named like the pattern's first folder, directly holding one that matches
// its second (a '*' in the pattern matches any characters).
bool isCardPicturePath(const std::string& path, const std::string& nintendoPattern);

// ---- the project file --------------------------------------------------------

// The whole project file for the workspace's current state; empty when it
// cannot be made (a clip-art picture could not be had at its natural size).
std::vector<std::uint8_t> serializeProject(const CStereoWorkspace& ws);

enum class ProjectParse { Ok, NotProject, BadVersion, Corrupt };

// Parses the header. Corrupt covers files too short for their header and
// impossible values (sizes, counts) that no program wrote.
ProjectParse parseProjectHeader(const std::vector<std::uint8_t>& file, ProjectHeader& header);
// Parses the object section that starts at header.objectSectionOffset.
// Every count and length is checked against the bytes present. `unread`, if
// given, receives the bytes left after the last object: a project ends with
// its objects, so any left mean the count in the header is short of them.
bool parseObjectSection(const std::vector<std::uint8_t>& file, const ProjectHeader& header,
                        std::vector<ProjectObject>& objects, std::size_t* unread = nullptr);

// ---- mask files --------------------------------------------------------------

// Writes a 1-bit mask BMP with the depth in the first reserved word.
// Written under a temporary name and renamed; false when it cannot be written.
bool writeMaskFile(const std::string& path, const Surface& mask, int depth);

enum class MaskRead { Ok, Missing, Corrupt, OutOfMemory };
// Reads a 1-bit (or 24-bit) mask file of exactly w x h into a black/white
// surface; depth from the first reserved word, sign-extended.
MaskRead readMaskFile(const std::string& path, int w, int h, Surface& mask, int& depth);
MaskRead parseMaskFile(const std::vector<std::uint8_t>& file, int w, int h, Surface& mask, int& depth);

// ---- clip-art picture run-length coding -------------------------------------

// Run-length words of bottom-up 24-bit rows (stride-padded), or an empty
// vector when the runs would take as many bytes as w x h x 4.
std::vector<std::uint8_t> encodePictureRuns(const std::vector<std::uint8_t>& rows, int w, int h);
// Decodes run-length words into bottom-up 24-bit rows; false when the data
// ends early or a run is empty or crosses the end of a row.
bool decodePictureRuns(const std::uint8_t* data, std::size_t size, int w, int h, std::vector<std::uint8_t>& rows);

// ---- text encoding on disk ----------------------------------------------------

// Text and face names are stored in the Japanese Windows code page (CP932);
// one the code page cannot hold, as UTF-8 behind a byte order mark.
std::string toDiskText(const std::string& utf8);
std::string fromDiskText(const std::string& bytes);

// Writes a file under a temporary name in the same folder, then renames it.
bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace plastora

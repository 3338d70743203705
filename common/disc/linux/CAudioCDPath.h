#pragma once

#include <string>
#include <vector>

// How audio CDs are named by paths.
//
// Linux mounts no audio CD as a folder of track files, so a disc is named by
// the path of what holds it:
//
// - A volume path names a whole disc. It is either the device node of a CD
//   drive, any path under "/dev/" ("/dev/sr0", "/dev/cdrom"), or a BIN/CUE
//   disc image named by its cue sheet, a path ending in ".cue" or ".CUE"
//   ("/home/me/album.cue"), whose sectors lie in the file of the same name
//   ending in ".bin" (".BIN") beside it.
// - A track path names one track of a disc: the volume path, "/", "Track ",
//   and the track's number on the disc in two digits ("/dev/sr0/Track 03",
//   "/home/me/album.cue/Track 12"). The number is the disc's own track
//   number, so on a disc whose first track holds data the first audio track
//   is "Track 02".
//
// The root of a CD path is its volume path. Songs that play from a disc refer
// to the disc by its volume path and to their audio by sample positions.
//
// A trailing "/" is ignored. The path tests below look at the text only (and
// VolumeExists at the file system); CCdioDisc::Exists looks at the disc.
class CAudioCDPath
{
public:
    static constexpr int kNoTrack = 0;
    static constexpr int kMaxTrackNumber = 99;

    // Splits a CD path into its volume path and track number (kNoTrack for a
    // volume path). Either output may be null. False, with the outputs
    // cleared, when the path is no CD path.
    static bool Parse(const wchar_t* path, std::wstring* volume, int* trackNumber);

    // Whether the path is a volume path or a track path.
    static bool IsCDPath(const wchar_t* path);
    static bool IsVolumePath(const wchar_t* path);
    static bool IsTrackPath(const wchar_t* path);
    // Whether the volume of the path is a disc image rather than a drive.
    static bool IsImagePath(const wchar_t* path);

    // The volume path of a CD path; empty for any other path.
    static std::wstring GetRoot(const wchar_t* path);

    // The track path of a track number (1..99) on a volume; empty when the
    // volume is no volume path or the number is out of range.
    static std::wstring MakeTrackPath(const wchar_t* volume, int trackNumber);

    // The name a volume is shown with: for a disc image the cue sheet's name
    // without ".cue"; for a drive the empty text (a drive names no disc).
    static std::wstring GetVolumeName(const wchar_t* path);

    // For a disc image: the path of its ".bin" file; empty otherwise.
    static std::wstring GetImageDataPath(const wchar_t* path);

    // Whether the volume is present: a drive node that exists, or an image
    // whose cue sheet and ".bin" file exist. Looks at the file system only.
    static bool VolumeExists(const wchar_t* path);
};

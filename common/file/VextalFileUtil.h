#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CAudioFileReadBase;
class CAudioFileWriteBase;
class CID3v2Read;
class CImageFileReadBase;

// The one place where the audio file layer decides which class handles a
// file: a reader by the file's extension, a writer by a format id, an ID3v2
// reader by the tag's version and a picture reader by extension; and the
// tables of what each format's files are called and which options its writer
// takes.
//
// Format ids: readers report upper-case ids ("WAV", "AIFF", "CD", "MP3",
// "AAC", "ALAC", "WMA"); writers are chosen by ids compared without regard to
// letter case ("wav" or "wave", "aiff" or "aif", "aac"). Extensions are
// compared in lower case; a file name without a dot has the empty extension.
//
// Every object returned is open and owned by the caller; a reader or writer
// that fails to open is destroyed here. The functions keep no state and may
// be called from any thread.
class VextalFileUtil
{
public:
    VextalFileUtil() = delete;

    // The first reader that opens the file, or null. Tried in this order,
    // each only for the extensions given:
    // 1. any CD path (a volume or track path of a drive or disc image), or
    //    the empty extension: the audio CD (CD-Text read unless noCdText);
    // 2. "wav", empty: WAV;
    // 3. "aif", "aiff", empty: AIFF;
    // 4. "aif", "aiff", empty: AIFC with little-endian (or big-endian)
    //    samples;
    // 5. "mp3", "m4a", "wma", "wmv", "mp4", "aac", empty: the compressed-file
    //    decoder, when it is available;
    // 6. "cda", empty: a ".cda" track pointer (CD-Text always read).
    static CAudioFileReadBase* CreateAudioFileReadObjectNoLimit(const wchar_t* path, bool noCdText);
    // The same, but null for what playback and export do not handle: sample
    // rates above 96000 Hz and losslessly compressed files.
    static CAudioFileReadBase* CreateAudioFileReadObject(const wchar_t* path, bool noCdText);
    // A reader of an audio file of a kind that can hold a picture (AIFF and
    // AIFC, compressed files), or null.
    static CAudioFileReadBase* CreateAudioFileWithAttachedPictureReadObject(const wchar_t* path);
    // An opened writer of the format ("wav", "wave", "aiff", "aif", "aac"),
    // or null when the id names no writer or the writer cannot open the file.
    static CAudioFileWriteBase* CreateAudioFileWriteObject(const wchar_t* path, const char* formatId,
                                                           uint32_t sampleRate, uint16_t bitsPerSample,
                                                           uint16_t numChannels, int quality);
    // An opened reader of the ID3v2 tag at offset of the version the tag
    // has, or null.
    static CID3v2Read* CreateID3v2ReadObject(const wchar_t* path, int64_t offset);
    // An opened picture reader, first success wins: the picture embedded in
    // an audio file; a JPEG file ("jpg", "jpeg", empty); a PNG file ("png",
    // empty). Null otherwise.
    static CImageFileReadBase* CreateImageFileReadObject(const wchar_t* path);

    // Writes the extension of the format's files with its dot (".wav") into
    // out, at most outSize - 1 characters and a terminator (nothing when
    // outSize is 0); the empty text for an unknown id. Returns out.
    static wchar_t* FormatUniqueIDToFileExtension(const char* formatId, wchar_t* out, uint32_t outSize);
    static std::wstring FormatUniqueIDToFileExtension(const char* formatId);
    // Whether the format's writer embeds the song's picture (AIFF only).
    static bool CanEmbedPicture(const char* formatId);

    // What the format's writer accepts; empty lists for ids naming no
    // writer. Only the AAC quality list (bit rates) depends on the other
    // arguments.
    static std::vector<uint16_t> GetPossibleNumChannels(const char* formatId);
    static std::vector<uint16_t> GetPossibleBitsPerSamples(const char* formatId, uint16_t numChannels,
                                                           uint32_t sampleRate);
    static std::vector<uint32_t> GetPossibleSampleRates(const char* formatId, uint16_t numChannels);
    static std::vector<int> GetPossibleQualityOptions(const char* formatId, uint16_t numChannels,
                                                      uint32_t sampleRate, uint16_t bitsPerSample);

    // Start-up and shutdown hooks of the application.
    static void InitializeLibraries();
    static void UninitializeLibraries();
};

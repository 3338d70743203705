#pragma once

#include "common/file/CBinaryFile64.h"

#include <cstdint>
#include <vector>

// Builds an ID3v2.3 tag in memory: the 10-byte header followed by one frame
// per call, in the order of the calls. Texts in printable ASCII are written
// as ISO-8859-1, all others as UTF-16 with a byte-order mark. The header's
// size is kept current, so the buffer always holds a complete tag.
class CID3v2_3Create : public CBinaryFileWriteBuffer
{
public:
    // Longest text written, in characters (one outside the Basic Multilingual
    // Plane takes two UTF-16 units).
    static constexpr uint32_t kMaxTextLength = 511;
    // Largest picture embedded (as the readers accept).
    static constexpr uint32_t kMaxPictureSize = 16u * 1024u * 1024u;

    CID3v2_3Create();
    ~CID3v2_3Create() override;

    // Big-endian.
    int WriteData(int64_t value, int nBytes) override;
    // Empties the tag (header only).
    void Clear() override;
    // The tag's length, or 0 while it holds no frame.
    uint32_t GetBufFilledSize() const override;

    // Each returns the bytes added (0: nothing added).
    uint32_t SetAlbum(const wchar_t* text);          // TALB
    uint32_t SetTitle(const wchar_t* text);          // TIT2
    uint32_t SetAlbumArtist(const wchar_t* text);    // TPE2
    uint32_t SetArtist(const wchar_t* text);         // TPE1
    uint32_t SetGenre(const wchar_t* text);          // TCON
    uint32_t SetEncodingDevice(const wchar_t* text); // TSSE
    // "YYYY-MM-DD": TYER from the year, TDAT ("DDMM") from month and day,
    // each only when it is all digits.
    uint32_t SetRecDateFormatted(const wchar_t* text);
    // "hh:mm:ss": TIME ("HHMM") when hours and minutes are digits.
    uint32_t SetRecTimeFormatted(const wchar_t* text);
    // A JPEG or PNG picture as front cover; any other data adds nothing.
    uint32_t SetImageFrontCover(const unsigned char* data, uint32_t size);

    uint32_t CreateStandardTextFrame(const wchar_t* text, const char* id);
    uint32_t CreateAttachedPictureFrame(const unsigned char* data, uint32_t size, uint8_t pictureType);

private:
    void WriteHeader();
    // Appends a frame (header and body) and updates the tag size; returns
    // the bytes added, or 0 when the tag would grow too large.
    uint32_t AppendFrame(const char* id, const std::vector<uint8_t>& body);
};

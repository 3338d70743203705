#pragma once

#include "common/file/CBinaryFile64.h"

#include <cstdint>

// A 128-byte ID3v1 tag as it sits at the end of an MP3 file: "TAG", title
// (30 bytes), artist (30), album (30), year (4), comment (29), track byte and
// genre byte. In the original layout (ID3v1.0) the comment takes 30 bytes and
// there is no track number; ID3v1.1 marks a track number with a zero byte in
// front of it (byte 125).
//
// The texts of the tag are ISO-8859-1; the getters return them as UTF-8.
class CID3v1
{
public:
    static constexpr uint32_t kTagSize = 128;
    static constexpr int kNumGenres = 126;
    // Genre names by genre byte, with the common extensions of the list.
    static const char sm_ID3v1GenreList[kNumGenres][32];

    CID3v1();
    virtual ~CID3v1();

    // Copies a 128-byte tag; false (and everything zeroed) unless it begins
    // with "TAG".
    bool SetID3v1Tag(const void* tag128);
    void Reset();
    bool IsValid() const;

    // Each getter fills buf (bufLen bytes, terminated; nothing is written
    // when bufLen is 0) and returns the length of the text in bytes.
    // Trailing spaces are trimmed.
    uint32_t GetSongTitle(char* buf, uint32_t bufLen) const;
    uint32_t GetArtist(char* buf, uint32_t bufLen) const;
    uint32_t GetAlbum(char* buf, uint32_t bufLen) const;
    uint32_t GetComment(char* buf, uint32_t bufLen) const;
    // The genre name; empty for a genre byte of 126 or more.
    uint32_t GetGenre(char* buf, uint32_t bufLen) const;
    // "YYYY-  -  " when the year field holds four characters, else
    // "    -  -  " (the song information's recording date layout).
    uint32_t GetRecDateFormatted(char* buf, uint32_t bufLen) const;
    // The ID3v1.1 track number, or 0 when the tag has none.
    int GetTrackNumber() const;
    uint8_t GetGenreIndex() const { return m_tag[127]; }

    const uint8_t* GetTagBytes() const { return m_tag; }

private:
    uint32_t GetText(int offset, int length, char* buf, uint32_t bufLen) const;
    bool HasTrackNumber() const;

    uint8_t m_tag[kTagSize] = {};
};

// Reads the ID3v1 tag in the last 128 bytes of a file.
class CID3v1FileRead : public CBinaryFile64, public CID3v1
{
public:
    CID3v1FileRead();
    ~CID3v1FileRead() override;

    // 0: tag read (the file stays open); 2: the file cannot be opened;
    // 4: the file is shorter than 128 bytes or holds no tag (closed, tag
    // zeroed).
    int OpenFile(const wchar_t* path);
};

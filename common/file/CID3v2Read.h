#pragma once

#include "common/file/CBinaryFile64.h"

#include <cstdint>

// Picture types of an attached picture frame.
enum eID3v2PictureType : int
{
    kID3v2PictureAny = -1,
    kID3v2PictureOther = 0,
    kID3v2PictureFileIcon = 1,
    kID3v2PictureOtherFileIcon = 2,
    kID3v2PictureFrontCover = 3,
    kID3v2PictureBackCover = 4,
    kID3v2PictureLeaflet = 5,
    kID3v2PictureMedia = 6,
    kID3v2PictureLeadArtist = 7,
    kID3v2PictureArtist = 8,
    kID3v2PictureConductor = 9,
    kID3v2PictureBand = 10,
    kID3v2PictureComposer = 11,
    kID3v2PictureLyricist = 12,
    kID3v2PictureRecordingLocation = 13,
    kID3v2PictureDuringRecording = 14,
    kID3v2PictureDuringPerformance = 15,
    kID3v2PictureScreenCapture = 16,
    kID3v2PictureFish = 17,
    kID3v2PictureIllustration = 18,
    kID3v2PictureBandLogo = 19,
    kID3v2PicturePublisherLogo = 20
};

// Reads an ID3v2.2 tag at any position of a file (offset 0 of an MP3 file,
// the body of an "ID3 " chunk of an AIFF file). CID3v2_3Read and
// CID3v2_4Read read the later versions; CreateReaderForTag picks the one
// that matches a tag.
//
// Every size read from the tag is checked against the bytes that remain: the
// tag ends at the end of the file (or at the limit given to OpenFile), a
// frame ends at the end of the tag, a picture is at most kMaxPictureSize
// bytes. Tags with the unsynchronisation flag (and compressed ID3v2.2 tags)
// yield no frames; frames with format flags (compressed, encrypted, ...)
// are not read.
//
// Text reads fill buf (bufLen wide characters including the terminator,
// zero-filled first) and return the text's length; an absent frame gives 0
// and an empty text.
class CID3v2Read : public CBinaryFile64
{
public:
    static constexpr uint32_t kHeaderSize = 10;
    static constexpr uint32_t kMaxPictureSize = 16u * 1024u * 1024u;

    CID3v2Read();
    ~CID3v2Read() override;

    // Picks the reader for the tag at tagPosition: opens it as ID3v2.4 and
    // reopens it as ID3v2.2 or ID3v2.3 when the tag says so. Returns an open
    // reader the caller deletes, or null. tagLimit as for OpenFile.
    static CID3v2Read* CreateReaderForTag(const wchar_t* path, int64_t tagPosition, int64_t tagLimit = -1);

    // The ID3v2 readers read big-endian integers.
    int64_t ReadData(int nBytes) override;

    // 0: the tag header was read (the file stays open); 2: the file cannot
    // be opened or holds no tag header at tagPosition (closed). tagLimit >= 0
    // is the number of bytes available to the tag from tagPosition (the
    // body size of an enclosing chunk); the tag never reaches past it nor
    // past the end of the file.
    int OpenFile(const wchar_t* path, int64_t tagPosition, int64_t tagLimit = -1);
    void CloseFile();

    // Major version x 256 + revision, e.g. 0x0300.
    uint16_t GetID3v2Version() const { return m_version; }
    uint8_t GetFlags() const { return m_flags; }
    // The tag size from the header (header, footer excluded).
    uint32_t GetTagSize() const { return m_tagSize; }
    int64_t GetFramesStart() const { return m_framesStart; }
    int64_t GetFramesEnd() const { return m_framesEnd; }

    static uint32_t DecodeSize4x7bit(const unsigned char* b);

    // The first picture of any type: with a null buf its size; otherwise
    // the picture is copied when it fits in bufLen bytes and its size
    // returned, else buf is zeroed and 0 returned. 0 when there is none.
    uint32_t ReadImageFrontCover(unsigned char* buf, uint32_t bufLen);

    // The texts, each read from its frame under the name the tag's version
    // gives it (ID3v2.2's three-character names, or the later four).
    virtual uint32_t ReadAlbum(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadSortAlbum(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadAlbumArtist(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadSortAlbumArtist(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadTitle(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadSortTitle(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadArtist(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadSortArtist(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadComposer(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadSortComposer(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadGuitarist(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadSortGuitarist(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadEncodingDevice(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadBPM(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadGrouping(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadTrackNumber(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadDiscNumber(wchar_t* buf, uint32_t bufLen);
    virtual uint32_t ReadCompilation(wchar_t* buf, uint32_t bufLen);
    // The genre text, with a leading "(number)", "(RX)" or "(CR)" replaced
    // by the genre name, "Remix" or "Cover".
    virtual uint32_t ReadGenre(wchar_t* buf, uint32_t bufLen);
    // The year; from ID3v2.3 on, the recording time when no year frame.
    virtual uint32_t ReadRecYear(wchar_t* buf, uint32_t bufLen);
    // Day and month as "DDMM".
    virtual uint32_t ReadRecDate(wchar_t* buf, uint32_t bufLen);
    // Hours and minutes as "HHMM".
    virtual uint32_t ReadRecTime(wchar_t* buf, uint32_t bufLen);
    // "YYYY-MM-DD" with blanks for what the tag does not give.
    virtual uint32_t ReadRecDateFormatted(wchar_t* buf, uint32_t bufLen);
    // "hh:mm:ss" with blanks for what the tag does not give.
    virtual uint32_t ReadRecTimeFormatted(wchar_t* buf, uint32_t bufLen);

    // Reads the tag header at the tag position; false when there is none.
    virtual bool ReadID3v2Header();
    // The first frame with the id, as text.
    virtual uint32_t ReadStandardTextFrame(wchar_t* buf, uint32_t bufLen, const char* id);
    // The value of the first user text frame (id) whose description equals
    // description.
    virtual uint32_t ReadTextFrameWithDescription(wchar_t* buf, uint32_t bufLen, const char* id,
                                                  const wchar_t* description);
    // The first picture of the type (kID3v2PictureAny: any); buf and the
    // result as for ReadImageFrontCover.
    virtual uint32_t ReadAttachedPictureFrame(unsigned char* buf, uint32_t bufLen, eID3v2PictureType type);
    // Moves to the header of the next frame with the id (from the first
    // frame when fromStart); false when there is none.
    virtual bool FindFrame(const char* id, bool fromStart);

    // Replaces a leading genre reference in text (in place, at most bufLen
    // characters with the terminator); returns the new length.
    static uint32_t TranslateGenreIndex(wchar_t* text, uint32_t bufLen);

protected:
    struct FrameHeader
    {
        char id[5] = {};
        uint32_t size = 0;       // as the header gives it
        uint8_t formatFlags = 0; // the second flag byte (0 for ID3v2.2)
        int64_t start = 0;       // file position of the frame header
        int64_t bodyStart = 0;   // first byte behind the header
        int64_t bodyEnd = 0;     // bodyStart + size, clamped to the frames end
    };

    // Reads the frame header at the current position. False when no frame
    // can start there (too few bytes left in the tag, or a size of 0).
    bool ReadFrameHeader(FrameHeader& header);
    // The frame size from the size bytes of a frame header.
    virtual uint32_t DecodeFrameSize(const uint8_t* sizeBytes) const;
    // Walks the frames to the next one with the id, whatever the tag flags.
    bool WalkToFrame(const char* id, bool fromStart);
    // Frame identifiers have 3 characters in ID3v2.2 (6-byte frame headers)
    // and 4 later (10-byte frame headers with two flag bytes).
    int IdLength() const { return m_frameIdLength; }
    // The identifier of a frame in this tag's version: ID3v2.2's or the
    // later versions' name for it.
    const char* Id(const char* v22, const char* later) const { return m_frameIdLength == 3 ? v22 : later; }
    uint32_t FrameHeaderSize() const { return m_frameIdLength == 3 ? 6 : 10; }

    // Reads the text (encoding byte first) that fills the file from the
    // current position to frameEnd.
    uint32_t ReadTextWithEncoding(wchar_t* buf, uint32_t bufLen, int64_t frameEnd);
    // Steps over a terminated text in the encoding, from the current
    // position; false when no terminator comes before end.
    bool SkipTerminatedText(int encoding, int64_t end);
    // Reads the picture bytes from the current position to frameEnd.
    uint32_t ReadPictureBytes(unsigned char* buf, uint32_t bufLen, int64_t frameEnd);

    // Date and time from separate year, date ("DDMM") and time ("HHMM")
    // frames.
    uint32_t FormatDateFromFrames(wchar_t* buf, uint32_t bufLen);
    uint32_t FormatTimeFromFrames(wchar_t* buf, uint32_t bufLen);

    char m_tagId[3] = {};
    uint16_t m_version = 0;
    uint8_t m_flags = 0;
    uint32_t m_tagSize = 0;
    int64_t m_framesStart = 0;
    int64_t m_framesEnd = 0;
    int64_t m_tagPosition = 0;
    // Bytes available to the tag from its position (-1: to the file's end).
    int64_t m_tagLimit = -1;
    int m_frameIdLength = 3;
};

// Reads an ID3v2.3 tag.
class CID3v2_3Read : public CID3v2Read
{
public:
    CID3v2_3Read();
    ~CID3v2_3Read() override;

    bool ReadID3v2Header() override;
    uint32_t ReadAttachedPictureFrame(unsigned char* buf, uint32_t bufLen, eID3v2PictureType type) override;
    bool FindFrame(const char* id, bool fromStart) override;
};

// Reads an ID3v2.4 tag: sync-safe frame sizes, the date and time from TDRC.
class CID3v2_4Read : public CID3v2_3Read
{
public:
    CID3v2_4Read();
    ~CID3v2_4Read() override;

    uint32_t ReadRecDateFormatted(wchar_t* buf, uint32_t bufLen) override;
    uint32_t ReadRecTimeFormatted(wchar_t* buf, uint32_t bufLen) override;

    bool ReadID3v2Header() override;
    bool FindFrame(const char* id, bool fromStart) override;

protected:
    uint32_t DecodeFrameSize(const uint8_t* sizeBytes) const override;
};

#include "common/file/CID3v1.h"

#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>

const char CID3v1::sm_ID3v1GenreList[CID3v1::kNumGenres][32] = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychadelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    "Folk",
    "Folk-Rock",
    "National Folk",
    "Swing",
    "Fast Fusion",
    "Bebob",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progressive Rock",
    "Psychedelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humour",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhythmic Soul",
    "Freestyle",
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A capella",
    "Euro-House",
    "Dance Hall",
};

namespace
{
constexpr int kTitleOffset = 3;
constexpr int kArtistOffset = 33;
constexpr int kAlbumOffset = 63;
constexpr int kYearOffset = 93;
constexpr int kCommentOffset = 97;
constexpr int kTextLength = 30;

// Copies an ASCII text into buf (bufLen bytes with the terminator).
uint32_t CopyAscii(const char* text, char* buf, uint32_t bufLen)
{
    if (buf == nullptr || bufLen == 0)
        return 0;
    std::memset(buf, 0, bufLen);
    const size_t n = std::min<size_t>(std::strlen(text), bufLen - 1);
    std::memcpy(buf, text, n);
    return static_cast<uint32_t>(n);
}
} // namespace

CID3v1::CID3v1() = default;
CID3v1::~CID3v1() = default;

bool CID3v1::SetID3v1Tag(const void* tag128)
{
    const uint8_t* tag = static_cast<const uint8_t*>(tag128);
    if (tag == nullptr || std::memcmp(tag, "TAG", 3) != 0)
    {
        Reset();
        return false;
    }
    std::memcpy(m_tag, tag, kTagSize);
    return true;
}

void CID3v1::Reset()
{
    std::memset(m_tag, 0, sizeof(m_tag));
}

bool CID3v1::IsValid() const
{
    return std::memcmp(m_tag, "TAG", 3) == 0;
}

bool CID3v1::HasTrackNumber() const
{
    // ID3v1.1: a zero byte ends the comment and the next byte is the track.
    return m_tag[125] == 0 && m_tag[126] != 0;
}

uint32_t CID3v1::GetText(int offset, int length, char* buf, uint32_t bufLen) const
{
    if (buf == nullptr || bufLen == 0)
        return 0;
    // The field as terminated, trimmed Latin-1, then as UTF-8.
    char latin1[kTextLength + 1];
    CTextUtil::CopyText(latin1, sizeof(latin1), reinterpret_cast<const char*>(m_tag + offset),
                        static_cast<uint32_t>(length), true, true, 0);
    wchar_t wide[kTextLength + 1];
    CTextUtil::Latin1toWChar(latin1, wide, kTextLength + 1);
    return CTextUtil::WChartoChar(wide, buf, bufLen);
}

uint32_t CID3v1::GetSongTitle(char* buf, uint32_t bufLen) const
{
    return GetText(kTitleOffset, kTextLength, buf, bufLen);
}

uint32_t CID3v1::GetArtist(char* buf, uint32_t bufLen) const
{
    return GetText(kArtistOffset, kTextLength, buf, bufLen);
}

uint32_t CID3v1::GetAlbum(char* buf, uint32_t bufLen) const
{
    return GetText(kAlbumOffset, kTextLength, buf, bufLen);
}

uint32_t CID3v1::GetComment(char* buf, uint32_t bufLen) const
{
    return GetText(kCommentOffset, HasTrackNumber() ? 28 : 30, buf, bufLen);
}

int CID3v1::GetTrackNumber() const
{
    return HasTrackNumber() ? m_tag[126] : 0;
}

uint32_t CID3v1::GetGenre(char* buf, uint32_t bufLen) const
{
    const uint8_t genre = m_tag[127];
    return CopyAscii(genre < kNumGenres ? sm_ID3v1GenreList[genre] : "", buf, bufLen);
}

uint32_t CID3v1::GetRecDateFormatted(char* buf, uint32_t bufLen) const
{
    char year[5];
    const uint32_t n = CTextUtil::CopyText(
        year, sizeof(year), reinterpret_cast<const char*>(m_tag + kYearOffset), 4, true, true, 0);
    char date[11];
    std::memcpy(date, "    -  -  ", sizeof(date));
    bool printable = n == 4;
    for (uint32_t i = 0; i < n && printable; ++i)
        printable = year[i] >= 0x20 && year[i] <= 0x7E;
    if (printable)
        std::memcpy(date, year, 4);
    return CopyAscii(date, buf, bufLen);
}

CID3v1FileRead::CID3v1FileRead() : CBinaryFile64(false) {}

CID3v1FileRead::~CID3v1FileRead() = default;

int CID3v1FileRead::OpenFile(const wchar_t* path)
{
    Reset();
    if (Open(path) == -1)
        return 2;
    const int64_t size = GetFileSize();
    uint8_t tag[kTagSize];
    if (size < static_cast<int64_t>(kTagSize) || Seek(size - kTagSize, SEEK_SET) != size - kTagSize ||
        Read(tag, kTagSize) != static_cast<int>(kTagSize) || !SetID3v1Tag(tag))
    {
        Close();
        Reset();
        return 4;
    }
    return 0;
}

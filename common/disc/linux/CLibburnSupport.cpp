#include "common/disc/linux/CLibburnSupport.h"

#include "common/disc/CCdTextBlocks.h"

#include <juce_core/juce_core.h>

#include <libburn/libburn.h>

#include <algorithm>
#include <cstdlib>
#include <iconv.h>
#include <mutex>
#include <syslog.h>

using namespace burn;

namespace
{
constexpr int kPackTitle = 0x80;
constexpr int kPackPerformer = 0x81;
// The last pack type that carries text in the block's character code.
constexpr int kPackLastText = 0x85;
constexpr int kPackSizeInfo = 0x8F;
constexpr size_t kPackSize = 18;
constexpr int kBlockEnglish = 0;
constexpr int kBlockJapanese = 1;

// A text of the album as CD-Text payload bytes: its encoded form and the
// terminator of its character code.
struct Payload
{
    std::string bytes;
    bool doubleByte = false;
    bool IsEmpty() const { return bytes.empty(); }
};

// Block 0 takes what ISO 8859-1 can write; block 1 the rest.
Payload Encode(const std::wstring& text, int block)
{
    Payload payload;
    payload.doubleByte = block == kBlockJapanese;
    const bool latin1 = CLibburnSupport::ToLatin1(text, &payload.bytes);
    if (payload.doubleByte && (latin1 || !CLibburnSupport::ToMsJis(text, &payload.bytes)))
        payload.bytes.clear();
    if (!payload.doubleByte && !latin1)
        payload.bytes.clear();
    return payload;
}

// The full-width form of a printable ASCII character or a space.
wchar_t FullWidth(wchar_t c)
{
    if (c == L' ')
        return 0x3000;
    if (c >= 0x21 && c <= 0x7E)
        return static_cast<wchar_t>(c - 0x21 + 0xFF01);
    return c;
}

std::vector<unsigned char> Terminated(const Payload& payload)
{
    std::vector<unsigned char> bytes(payload.bytes.begin(), payload.bytes.end());
    bytes.insert(bytes.end(), payload.doubleByte ? 2 : 1, 0);
    return bytes;
}

bool SetSessionText(burn_session* session, int block, int packType, const std::wstring& text)
{
    const Payload payload = Encode(text, block);
    std::vector<unsigned char> bytes = Terminated(payload);
    return burn_session_set_cdtext(session, block, packType, nullptr, bytes.data(),
                                   static_cast<int>(bytes.size()), payload.doubleByte ? 1 : 0) > 0;
}

bool SetTrackText(burn_track* track, int block, int packType, const std::wstring& text)
{
    const Payload payload = Encode(text, block);
    std::vector<unsigned char> bytes = Terminated(payload);
    return burn_track_set_cdtext(track, block, packType, nullptr, bytes.data(),
                                 static_cast<int>(bytes.size()), payload.doubleByte ? 1 : 0) > 0;
}

bool AttachBlock(burn_session* session, burn_track* const* tracks, const AudioCDAlbumTrackList& album,
                 int block)
{
    bool ok = SetSessionText(session, block, kPackTitle, album.title) &&
              SetSessionText(session, block, kPackPerformer, album.performer);
    for (size_t i = 0; ok && i < album.tracks.size(); ++i)
    {
        ok = SetTrackText(tracks[i], block, kPackTitle, album.tracks[i].title) &&
             SetTrackText(tracks[i], block, kPackPerformer, album.tracks[i].performer);
    }
    return ok;
}

void DisposeBlock(burn_session* session, burn_track* const* tracks, size_t numTracks, int block)
{
    burn_session_dispose_cdtext(session, block);
    for (size_t i = 0; i < numTracks; ++i)
        burn_track_dispose_cdtext(tracks[i], block);
}

// Whether libburn can make packs of what is attached.
bool PacksCanBeMade(burn_session* session)
{
    return burn_cdtext_from_session(session, nullptr, nullptr, 1) > 0;
}

template <typename F>
bool AnyText(const AudioCDAlbumTrackList& album, F test)
{
    if (test(album.title) || test(album.performer))
        return true;
    for (const AudioCDTrackInfo& track : album.tracks)
    {
        if (test(track.title) || test(track.performer))
            return true;
    }
    return false;
}

int SeverityNumber(const char* name)
{
    int number = 0;
    burn_text_to_sev(const_cast<char*>(name), &number, 0);
    return number;
}
} // namespace

bool CLibburnSupport::Initialize()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once,
                   []
                   {
                       ok = burn_initialize() != 0;
                       if (ok)
                       {
                           // Messages go to the system log through
                           // DrainMessages; nothing is printed.
                           burn_msgs_set_severities(const_cast<char*>("NOTE"), const_cast<char*>("NEVER"),
                                                    const_cast<char*>("libburn: "));
                       }
                   });
    return ok;
}

void CLibburnSupport::DrainMessages(std::wstring* failures)
{
    if (!Initialize())
        return;
    const int failure = SeverityNumber("FAILURE");
    int code = 0;
    int osErrno = 0;
    char text[BURN_MSGS_MESSAGE_LEN] = {};
    char severity[80] = {};
    while (burn_msgs_obtain(const_cast<char*>("ALL"), &code, text, &osErrno, severity) == 1)
    {
        syslog(LOG_USER | LOG_NOTICE, "libburn %s: %s", severity, text);
        if (failures != nullptr && SeverityNumber(severity) >= failure)
        {
            if (!failures->empty())
                *failures += L"\n";
            *failures += juce::String(text).trim().toWideCharPointer();
        }
    }
}

bool CLibburnSupport::ToLatin1(const std::wstring& text, std::string* out)
{
    out->clear();
    for (wchar_t c : text)
    {
        if (c < 0 || c > 0xFF)
            return false;
        out->push_back(static_cast<char>(c));
    }
    return true;
}

bool CLibburnSupport::ToMsJis(const std::wstring& text, std::string* out)
{
    out->clear();
    if (text.empty())
        return true;
    iconv_t cd = ::iconv_open("CP932", "WCHAR_T");
    if (cd == reinterpret_cast<iconv_t>(-1))
        cd = ::iconv_open("SHIFT_JIS", "WCHAR_T");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::wstring in;
    for (wchar_t c : text)
        in.push_back(FullWidth(c));
    std::string buffer(in.size() * 4 + 4, '\0');
    char* inPtr = reinterpret_cast<char*>(in.data());
    size_t inLeft = in.size() * sizeof(wchar_t);
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const bool converted =
        ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
    ::iconv_close(cd);
    const size_t bytes = buffer.size() - outLeft;
    // A character that came out in one byte (a half-width katakana) has no
    // place in a double-byte block.
    if (!converted || bytes != in.size() * 2)
        return false;
    out->assign(buffer.data(), bytes);
    return true;
}

bool CLibburnSupport::SetCdText(burn_session* session, burn_track* const* tracks,
                                const AudioCDAlbumTrackList& album)
{
    if (!Initialize() || !AnyText(album, [](const std::wstring& t) { return !t.empty(); }))
        return false;
    const bool japanese = AnyText(album,
                                  [](const std::wstring& t)
                                  {
                                      std::string bytes;
                                      return !ToLatin1(t, &bytes);
                                  });
    int charCodes[8] = {0x00, japanese ? 0x80 : 0x00, 0, 0, 0, 0, 0, 0};
    int copyrights[8] = {};
    int languages[8] = {0x09, japanese ? 0x69 : 0x00, 0, 0, 0, 0, 0, 0};
    if (burn_session_set_cdtext_par(session, charCodes, copyrights, languages, 0) <= 0)
        return false;

    const size_t n = album.tracks.size();
    const bool english = AttachBlock(session, tracks, album, kBlockEnglish);
    if (english && (!japanese || AttachBlock(session, tracks, album, kBlockJapanese)) &&
        PacksCanBeMade(session))
        return true;
    if (japanese)
    {
        syslog(LOG_USER | LOG_WARNING,
               "Vextal: the CD-Text of the album is too large; its Japanese block is left out");
        DisposeBlock(session, tracks, n, kBlockJapanese);
        if (english && PacksCanBeMade(session))
            return true;
    }
    syslog(LOG_USER | LOG_WARNING,
           "Vextal: the CD-Text of the album is too large; the disc is burnt without it");
    DisposeBlock(session, tracks, n, -1);
    DrainMessages(nullptr);
    return false;
}

std::vector<uint8_t> CLibburnSupport::MakeCdTextPacks(burn_session* session)
{
    unsigned char* packs = nullptr;
    int count = 0;
    std::vector<uint8_t> out;
    if (burn_cdtext_from_session(session, &packs, &count, 0) > 0 && packs != nullptr && count > 0)
        out.assign(packs, packs + static_cast<size_t>(count) * kPackSize);
    std::free(packs);
    MarkDoubleBytePacks(out);
    return out;
}

void CLibburnSupport::MarkDoubleBytePacks(std::vector<uint8_t>& packs)
{
    // The character code of each block, from the first pack of its size
    // information.
    uint8_t characterCodes[8] = {};
    for (size_t at = 0; at + kPackSize <= packs.size(); at += kPackSize)
    {
        const uint8_t* p = packs.data() + at;
        if (p[0] == kPackSizeInfo && p[1] == 0)
            characterCodes[(p[3] >> 4) & 0x07] = p[4];
    }
    for (int block = 0; block < 8; ++block)
    {
        if (characterCodes[block] != CCdTextBlocks::kCharCodeMsJis)
            continue;
        for (int type = kPackTitle; type <= kPackLastText; ++type)
        {
            // Characters of the text in progress that earlier packs held.
            int chars = 0;
            for (size_t at = 0; at + kPackSize <= packs.size(); at += kPackSize)
            {
                uint8_t* p = packs.data() + at;
                if (p[0] != type || ((p[3] >> 4) & 0x07) != block)
                    continue;
                p[3] = static_cast<uint8_t>(0x80 | (block << 4) | std::min(chars, 15));
                for (size_t k = 4; k + 1 < 16; k += 2)
                    chars = p[k] == 0 && p[k + 1] == 0 ? 0 : chars + 1;
                const uint16_t crc = CCdTextBlocks::PackCrc(p);
                p[16] = static_cast<uint8_t>(crc >> 8);
                p[17] = static_cast<uint8_t>(crc);
            }
        }
    }
}

eDiscType CLibburnSupport::DiscTypeOfProfile(int profile)
{
    switch (profile)
    {
    case 0x08:
        return kDiscTypeCDROM;
    case 0x09:
        return kDiscTypeCDR;
    case 0x0a:
        return kDiscTypeCDRW;
    case 0x10:
        return kDiscTypeDVDROM;
    case 0x11:
        return kDiscTypeDVDR;
    case 0x12:
        return kDiscTypeDVDRAM;
    case 0x13:
    case 0x14:
        return kDiscTypeDVDRW;
    case 0x15:
    case 0x16:
        return kDiscTypeDVDRDualLayer;
    case 0x1a:
        return kDiscTypeDVDPlusRW;
    case 0x1b:
        return kDiscTypeDVDPlusR;
    case 0x2b:
        return kDiscTypeDVDPlusRDoubleLayer;
    default:
        return kDiscTypeUnknown;
    }
}

eBurnStatus CLibburnSupport::PhaseOfDriveStatus(int status)
{
    switch (status)
    {
    case BURN_DRIVE_SPAWNING:
    case BURN_DRIVE_GRABBING:
    case BURN_DRIVE_WRITING_LEADIN:
        return kBurnStatusPreparing;
    case BURN_DRIVE_WRITING:
    case BURN_DRIVE_WRITING_PREGAP:
    case BURN_DRIVE_CLOSING_TRACK:
    case BURN_DRIVE_WRITING_SYNC:
        return kBurnStatusWriting;
    case BURN_DRIVE_WRITING_LEADOUT:
    case BURN_DRIVE_CLOSING_SESSION:
        return kBurnStatusClosing;
    case BURN_DRIVE_IDLE:
        return kBurnStatusIdle;
    default:
        syslog(LOG_USER | LOG_NOTICE, "Unknown Status %d", status);
        return kBurnStatusIdle;
    }
}

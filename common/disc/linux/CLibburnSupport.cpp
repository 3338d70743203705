#include "common/disc/linux/CLibburnSupport.h"

#include "common/disc/CCdTextBlocks.h"
#include "common/disc/CCdTextPacker.h"

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
constexpr int kBlockEnglish = 0;
constexpr int kBlockJapanese = 1;
constexpr uint8_t kLanguageEnglish = 0x09;
constexpr uint8_t kLanguageJapanese = 0x69;

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

// The block of the album's texts in a character code.
CCdTextPacker::Block BlockOf(const AudioCDAlbumTrackList& album, int block)
{
    CCdTextPacker::Block out;
    out.doubleByte = block == kBlockJapanese;
    out.languageCode = out.doubleByte ? kLanguageJapanese : kLanguageEnglish;
    out.characterCode = out.doubleByte ? CCdTextBlocks::kCharCodeMsJis : CCdTextBlocks::kCharCodeLatin1;
    out.texts[0].push_back(Encode(album.title, block).bytes);
    out.texts[1].push_back(Encode(album.performer, block).bytes);
    for (const AudioCDTrackInfo& track : album.tracks)
    {
        out.texts[0].push_back(Encode(track.title, block).bytes);
        out.texts[1].push_back(Encode(track.performer, block).bytes);
    }
    return out;
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

std::mutex& CLibburnSupport::DriveListLock()
{
    static std::mutex lock;
    return lock;
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

std::vector<uint8_t> CLibburnSupport::MakeCdTextPacks(const AudioCDAlbumTrackList& album)
{
    if (!AnyText(album, [](const std::wstring& t) { return !t.empty(); }))
        return {};
    const bool japanese = AnyText(album,
                                  [](const std::wstring& t)
                                  {
                                      std::string bytes;
                                      return !ToLatin1(t, &bytes);
                                  });
    const int numTracks = static_cast<int>(album.tracks.size());
    std::vector<CCdTextPacker::Block> blocks{BlockOf(album, kBlockEnglish)};
    if (japanese)
        blocks.push_back(BlockOf(album, kBlockJapanese));
    std::vector<uint8_t> packs = CCdTextPacker::Pack(blocks, numTracks);
    if (!packs.empty())
        return packs;
    if (japanese)
    {
        syslog(LOG_USER | LOG_WARNING,
               "Vextal: the CD-Text of the album is too large; its Japanese block is left out");
        blocks.pop_back();
        packs = CCdTextPacker::Pack(blocks, numTracks);
        if (!packs.empty())
            return packs;
    }
    syslog(LOG_USER | LOG_WARNING,
           "Vextal: the CD-Text of the album is too large; the disc is burnt without it");
    return {};
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

#include "common/disc/CCdTextBlocks.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <vector>

namespace
{
constexpr uint8_t kPackTitle = 0x80;
constexpr uint8_t kPackPerformer = 0x81;
constexpr uint8_t kPackSizeInfo = 0x8F;
constexpr size_t kTextBytesPerPack = 12;
// A text is at most 160 characters; anything far longer is damage.
constexpr size_t kMaxTextBytes = 512;

int PackBlock(const uint8_t* pack)
{
    return (pack[3] >> 4) & 0x07;
}

bool IsDoubleByte(const uint8_t* pack)
{
    return (pack[3] & 0x80) != 0;
}

// Shift-JIS as written by Microsoft, which the MS-JIS character code names.
bool DecodeMsJis(const std::string& bytes, std::wstring* text)
{
    iconv_t cd = ::iconv_open("WCHAR_T", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        cd = ::iconv_open("WCHAR_T", "SHIFT_JIS");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::vector<wchar_t> out(bytes.size() + 1);
    std::string in = bytes;
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size() * sizeof(wchar_t);
    while (inLeft > 0 && outLeft >= sizeof(wchar_t))
    {
        if (::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // An invalid or cut sequence: one replacement character for its
        // first byte.
        const wchar_t replacement = 0xFFFD;
        std::copy_n(reinterpret_cast<const char*>(&replacement), sizeof(wchar_t), outPtr);
        outPtr += sizeof(wchar_t);
        outLeft -= sizeof(wchar_t);
        ++inPtr;
        --inLeft;
    }
    ::iconv_close(cd);
    const size_t n = static_cast<size_t>(reinterpret_cast<wchar_t*>(outPtr) - out.data());
    text->assign(out.data(), n);
    return true;
}
} // namespace

void CCdTextBlocks::Clear()
{
    for (Block& b : m_blocks)
        b = Block();
}

bool CCdTextBlocks::IsEmpty() const
{
    return std::none_of(std::begin(m_blocks), std::end(m_blocks), [](const Block& b) { return b.present; });
}

uint16_t CCdTextBlocks::PackCrc(const uint8_t* pack)
{
    uint16_t crc = 0;
    for (int i = 0; i < 16; ++i)
    {
        crc = static_cast<uint16_t>(crc ^ (pack[i] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<uint16_t>(~crc);
}

bool CCdTextBlocks::IsDecoded(uint8_t characterCode)
{
    return characterCode == kCharCodeLatin1 || characterCode == kCharCodeAscii ||
           characterCode == kCharCodeMsJis;
}

bool CCdTextBlocks::DecodeText(const std::string& bytes, uint8_t characterCode, std::wstring* text)
{
    text->clear();
    switch (characterCode)
    {
    case kCharCodeLatin1:
    case kCharCodeAscii:
        for (const char c : bytes)
            text->push_back(static_cast<wchar_t>(static_cast<uint8_t>(c)));
        return true;
    case kCharCodeMsJis:
        return DecodeMsJis(bytes, text);
    default:
        return false;
    }
}

bool CCdTextBlocks::DecodePacks(const uint8_t* data, size_t len)
{
    Clear();
    if (data == nullptr)
        return false;
    const size_t numPacks = len / kPackSize;
    std::vector<uint8_t> crcGood(numPacks);
    bool anyGood = false;
    for (size_t i = 0; i < numPacks; ++i)
    {
        const uint8_t* p = data + i * kPackSize;
        crcGood[i] = PackCrc(p) == static_cast<uint16_t>((p[16] << 8) | p[17]);
        anyGood = anyGood || crcGood[i];
    }
    std::vector<uint8_t> usable(numPacks);
    for (size_t i = 0; i < numPacks; ++i)
    {
        const uint8_t type = data[i * kPackSize];
        usable[i] = (!anyGood || crcGood[i]) && type >= 0x80 && type <= 0x8F;
    }
    for (int b = 0; b < kMaxBlocks; ++b)
    {
        bool found = false;
        for (size_t i = 0; i < numPacks && !found; ++i)
            found = usable[i] && PackBlock(data + i * kPackSize) == b;
        if (found)
            DecodeBlock(b, data, usable);
    }
    return !IsEmpty();
}

void CCdTextBlocks::DecodeBlock(int block, const uint8_t* data, const std::vector<uint8_t>& packUsable)
{
    const size_t numPacks = packUsable.size();
    Block& out = m_blocks[block];
    out = Block();
    out.present = true;

    // The size information: three packs of 12 bytes, the character code
    // first and the language codes of the eight blocks last.
    uint8_t info[36] = {};
    bool haveInfo[3] = {false, false, false};
    bool anyDoubleByte = false;
    for (size_t i = 0; i < numPacks; ++i)
    {
        const uint8_t* p = data + i * kPackSize;
        if (!packUsable[i] || PackBlock(p) != block)
            continue;
        anyDoubleByte = anyDoubleByte || IsDoubleByte(p);
        if (p[0] == kPackSizeInfo && p[1] < 3)
        {
            std::copy_n(p + 4, kTextBytesPerPack, info + p[1] * kTextBytesPerPack);
            haveInfo[p[1]] = true;
        }
    }
    const uint8_t guessed = anyDoubleByte ? uint8_t{kCharCodeMsJis} : uint8_t{kCharCodeLatin1};
    out.characterCode = haveInfo[0] ? info[0] : guessed;
    out.languageCode = haveInfo[2] ? info[28 + block] : 0;
    // The entry after the disc's is the first track's, which need not be 1.
    const int firstTrack = haveInfo[0] && info[1] >= 1 && info[1] <= kMaxEntry ? info[1] : 1;

    if (!IsDecoded(out.characterCode))
        return;

    const uint8_t types[2] = {kPackTitle, kPackPerformer};
    for (int field = 0; field < 2; ++field)
    {
        int track = -1;
        int chars = 0;
        bool started = false;
        bool skipping = false;
        std::string text;

        const auto commit = [&](int entry)
        {
            if (entry < 0 || entry > kMaxEntry || text.empty())
                return;
            const bool repeat = text == "\t" || text == std::string("\t\t");
            if (repeat)
            {
                const int previous = entry == firstTrack ? 0 : entry - 1;
                const std::wstring* before =
                    entry > 0 ? GetText(block, static_cast<Field>(field), previous) : nullptr;
                if (before != nullptr)
                    out.texts[field][entry] = *before;
                return;
            }
            std::wstring decoded;
            if (DecodeText(text, out.characterCode, &decoded) && !decoded.empty())
                out.texts[field][entry] = decoded;
        };

        for (size_t i = 0; i < numPacks; ++i)
        {
            const uint8_t* p = data + i * kPackSize;
            if (!packUsable[i] || PackBlock(p) != block || p[0] != types[field] || (p[1] & 0x80) != 0)
                continue;
            const int unit = IsDoubleByte(p) ? 2 : 1;
            const int packTrack = p[1];
            const int position = p[3] & 0x0F;
            // The pack says which entry its first character belongs to and
            // how many characters of that entry came before; when that isn't
            // where the packs read so far left off (a pack was lost), the
            // entry in progress is dropped and reading starts over there.
            const bool continues = started && track == packTrack && std::min(chars, 15) == position;
            if (!continues)
            {
                track = packTrack;
                chars = 0;
                text.clear();
                started = true;
                skipping = position != 0;
            }
            for (size_t k = 0; k + unit <= kTextBytesPerPack; k += unit)
            {
                const uint8_t* c = p + 4 + k;
                const bool terminator = c[0] == 0 && (unit == 1 || c[1] == 0);
                if (terminator)
                {
                    if (!skipping)
                        commit(track);
                    track = track == 0 ? firstTrack : track + 1;
                    chars = 0;
                    text.clear();
                    skipping = false;
                    continue;
                }
                if (!skipping && text.size() + unit <= kMaxTextBytes)
                    text.append(reinterpret_cast<const char*>(c), unit);
                ++chars;
            }
        }
    }
}

void CCdTextBlocks::SetBlock(int block, uint8_t languageCode, uint8_t characterCode)
{
    if (block < 0 || block >= kMaxBlocks)
        return;
    m_blocks[block].present = true;
    m_blocks[block].languageCode = languageCode;
    m_blocks[block].characterCode = characterCode;
}

void CCdTextBlocks::SetText(int block, Field field, int entry, const std::wstring& text)
{
    if (!HasBlock(block) || entry < 0 || entry > kMaxEntry || (field != kTitle && field != kPerformer))
        return;
    if (text.empty())
        m_blocks[block].texts[field].erase(entry);
    else
        m_blocks[block].texts[field][entry] = text;
}

bool CCdTextBlocks::HasBlock(int block) const
{
    return block >= 0 && block < kMaxBlocks && m_blocks[block].present;
}

uint8_t CCdTextBlocks::GetLanguageCode(int block) const
{
    return HasBlock(block) ? m_blocks[block].languageCode : 0;
}

uint8_t CCdTextBlocks::GetCharacterCode(int block) const
{
    return HasBlock(block) ? m_blocks[block].characterCode : 0;
}

const std::wstring* CCdTextBlocks::GetText(int block, Field field, int entry) const
{
    if (!HasBlock(block) || (field != kTitle && field != kPerformer))
        return nullptr;
    const auto& texts = m_blocks[block].texts[field];
    const auto it = texts.find(entry);
    return it == texts.end() ? nullptr : &it->second;
}

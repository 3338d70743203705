// Fuzz target for the CD-Text pack decoder: the input after its first byte is
// a run of raw 18-byte packs, as a drive returns them or a CD-Text file holds
// them. The first byte chooses which packs get a good CRC, so that both the
// reading of packs without any good CRC and the dropping of damaged ones are
// reached. Every text of every block is read, directly, through the reader
// that chooses the language, and from the CD-Text file of a disc image's cue
// sheet (with or without the 4-byte header of a drive's reply).

#include "common/disc/CCdTextBlocks.h"
#include "common/disc/CCdTextInfoRead.h"
#include "fuzz/FuzzSupport.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace
{
// The longest text a block can hold: the decoder keeps at most 512 bytes of
// an entry, and no character takes less than one byte.
constexpr size_t kMaxTextLength = 512;

void CheckBlocks(const CCdTextBlocks& blocks)
{
    for (int b = -1; b <= CCdTextBlocks::kMaxBlocks; ++b)
    {
        if (!blocks.HasBlock(b) && (blocks.GetLanguageCode(b) != 0 || blocks.GetCharacterCode(b) != 0))
            __builtin_trap();
        for (const CCdTextBlocks::Field field : {CCdTextBlocks::kTitle, CCdTextBlocks::kPerformer})
        {
            for (int entry = -1; entry <= CCdTextBlocks::kMaxEntry + 1; ++entry)
            {
                const std::wstring* text = blocks.GetText(b, field, entry);
                if (text == nullptr)
                    continue;
                if (!blocks.HasBlock(b) || entry < 0 || entry > CCdTextBlocks::kMaxEntry || text->empty() ||
                    text->size() > kMaxTextLength)
                    __builtin_trap();
            }
        }
    }
}

// A disc image of one short audio track whose cue sheet names the CD-Text
// file "packs.cdt" beside it; the cue sheet's path, or empty.
std::wstring WriteDisc()
{
    fuzzsupport::TempFolder& folder = fuzzsupport::Folder();
    if (!folder.IsValid())
        return {};
    const std::string bin = folder.Add("disc.bin");
    const std::string cue = folder.Add("disc.cue");
    const std::vector<uint8_t> audio(4 * 2352, 0);
    FILE* f = std::fopen(bin.c_str(), "wb");
    if (f == nullptr)
        return {};
    const bool binOk = std::fwrite(audio.data(), 1, audio.size(), f) == audio.size();
    std::fclose(f);
    f = std::fopen(cue.c_str(), "w");
    if (f == nullptr)
        return {};
    const bool cueOk =
        std::fputs(
            "CDTEXTFILE \"packs.cdt\"\nFILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
            f) >= 0;
    std::fclose(f);
    return binOk && cueOk ? fuzzsupport::Wide(cue) : std::wstring();
}

void CheckCopy(uint32_t got, const wchar_t* buffer, uint32_t length)
{
    if (got == 0)
        return;
    if (got >= length || buffer[got] != L'\0' || std::wcslen(buffer) > got)
        __builtin_trap();
}

void ReadThroughReader(const uint8_t* packs, size_t len, const std::wstring* disc, uint8_t language)
{
    CCdTextInfoRead reader(language);
    const int result = disc != nullptr ? reader.OpenDrive(disc->c_str()) : reader.OpenPacks(packs, len);
    if (result != 0)
        return;
    if (reader.GetPreferredBlock() >= CCdTextInfoRead::kNumBlocks ||
        reader.GetFallbackBlock() >= CCdTextInfoRead::kNumBlocks)
        __builtin_trap();
    wchar_t big[600];
    wchar_t tiny[2];
    for (int entry = 0; entry <= 100; ++entry)
    {
        const uint8_t e = static_cast<uint8_t>(entry);
        CheckCopy(reader.GetTitle(big, 600, e), big, 600);
        CheckCopy(reader.GetPerformer(big, 600, e), big, 600);
        CheckCopy(reader.GetTitle(tiny, 2, e), tiny, 2);
        if (reader.GetPerformer(tiny, 0, e) != 0)
            __builtin_trap();
    }
    reader.CloseDrive();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t control = data[0];
    std::vector<uint8_t> packs(data + 1, data + size);
    const size_t numPacks = packs.size() / CCdTextBlocks::kPackSize;
    for (size_t i = 0; i < numPacks; ++i)
    {
        // 0: as they are; 1: every pack good; 2: every other one; 3: all but
        // the last.
        const int mode = control & 3;
        const bool good = mode == 1 || (mode == 2 && i % 2 == 0) || (mode == 3 && i + 1 < numPacks);
        if (!good)
            continue;
        uint8_t* p = packs.data() + i * CCdTextBlocks::kPackSize;
        const uint16_t crc = CCdTextBlocks::PackCrc(p);
        p[16] = static_cast<uint8_t>(crc >> 8);
        p[17] = static_cast<uint8_t>(crc);
    }

    CCdTextBlocks blocks;
    const bool found = blocks.DecodePacks(packs.data(), packs.size());
    if (found == blocks.IsEmpty())
        __builtin_trap();
    CheckBlocks(blocks);
    // A length that is not a whole number of packs reads the whole ones.
    if (!packs.empty())
    {
        CCdTextBlocks cut;
        cut.DecodePacks(packs.data(), packs.size() - 1);
        CheckBlocks(cut);
    }

    const uint8_t language =
        (control & 4) != 0 ? CCdTextInfoRead::kLanguageJapanese : CCdTextInfoRead::kLanguageEnglish;
    ReadThroughReader(packs.data(), packs.size(), nullptr, language);

    // The same packs as the CD-Text file of a disc image.
    static const std::wstring disc = WriteDisc();
    if ((control & 8) != 0)
        packs.insert(packs.begin(), {0x00, 0x12, 0x00, 0x00});
    const std::wstring* file = fuzzsupport::StoreInput("cdtext-fuzz", packs.data(), packs.size());
    static const std::wstring link = file != nullptr ? fuzzsupport::LinkToInput(*file, "packs.cdt") : L"";
    // libcdio 2.1 refuses a cue sheet whose CD-Text file holds less than a
    // pack, and leaks in doing so: such files are left out.
    if (!disc.empty() && !link.empty() && file != nullptr && packs.size() >= CCdTextBlocks::kPackSize)
        ReadThroughReader(nullptr, 0, &disc, language);
    return 0;
}

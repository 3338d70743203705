#include "common/disc/CCdTextPacker.h"

#include "common/disc/CCdTextBlocks.h"

#include <algorithm>
#include <array>

namespace
{
constexpr size_t kPackSize = CCdTextBlocks::kPackSize;
constexpr size_t kPayload = 12;
constexpr int kSizeInfoType = 0x8F;
constexpr int kSizeInfoPacks = 3;
constexpr size_t kMaxPacksPerBlock = 256;
constexpr uint8_t kTab = 0x09;

using Pack = std::array<uint8_t, kPackSize>;

// One byte of a type's text stream: its value, the entry it belongs to and
// the number of its character within the entry's text.
struct StreamByte
{
    uint8_t value;
    int entry;
    int character;
};

std::vector<StreamByte> StreamOf(const std::vector<std::string>& texts, bool doubleByte)
{
    const size_t unit = doubleByte ? 2 : 1;
    std::vector<StreamByte> stream;
    for (size_t entry = 0; entry < texts.size(); ++entry)
    {
        std::string text = texts[entry];
        if (entry >= 2 && !text.empty() && text == texts[entry - 1])
            text.assign(unit, static_cast<char>(kTab));
        text.append(unit, '\0');
        for (size_t k = 0; k < text.size(); ++k)
            stream.push_back(
                {static_cast<uint8_t>(text[k]), static_cast<int>(entry), static_cast<int>(k / unit)});
    }
    return stream;
}

bool AnyText(const std::vector<std::string>& texts)
{
    return std::any_of(texts.begin(), texts.end(), [](const std::string& t) { return !t.empty(); });
}

void Seal(Pack& p)
{
    const uint16_t crc = CCdTextBlocks::PackCrc(p.data());
    p[16] = static_cast<uint8_t>(crc >> 8);
    p[17] = static_cast<uint8_t>(crc);
}

// The text packs of a block, counted by type into counts.
std::vector<Pack> TextPacks(const CCdTextPacker::Block& block, int blockNumber, int (&counts)[16])
{
    std::vector<Pack> packs;
    for (int t = 0; t < CCdTextPacker::kNumTextTypes; ++t)
    {
        // Titles are always written (see the class comment).
        if (t != 0 && !AnyText(block.texts[t]))
            continue;
        const std::vector<StreamByte> stream = StreamOf(block.texts[t], block.doubleByte);
        for (size_t at = 0; at < stream.size(); at += kPayload)
        {
            Pack p{};
            p[0] = static_cast<uint8_t>(CCdTextPacker::kFirstTextType + t);
            p[1] = static_cast<uint8_t>(stream[at].entry);
            p[3] = static_cast<uint8_t>((block.doubleByte ? 0x80 : 0) | (blockNumber << 4) |
                                        std::min(stream[at].character, 15));
            for (size_t k = 0; k < kPayload && at + k < stream.size(); ++k)
                p[4 + k] = stream[at + k].value;
            packs.push_back(p);
            ++counts[t];
        }
    }
    return packs;
}
} // namespace

std::vector<uint8_t> CCdTextPacker::Pack(const std::vector<Block>& blocks, int numTracks)
{
    if (blocks.empty() || blocks.size() > kMaxBlocks || numTracks < 1 || numTracks > 99)
        return {};
    std::vector<std::vector<::Pack>> perBlock;
    std::vector<std::array<int, 16>> counts;
    uint8_t lastSequence[kMaxBlocks] = {};
    uint8_t languages[kMaxBlocks] = {};
    for (size_t b = 0; b < blocks.size(); ++b)
    {
        int blockCounts[16] = {};
        perBlock.push_back(TextPacks(blocks[b], static_cast<int>(b), blockCounts));
        blockCounts[kSizeInfoType - kFirstTextType] = kSizeInfoPacks;
        const size_t total = perBlock.back().size() + kSizeInfoPacks;
        if (total > kMaxPacksPerBlock)
            return {};
        lastSequence[b] = static_cast<uint8_t>(total - 1);
        languages[b] = blocks[b].languageCode;
        counts.emplace_back();
        std::copy(std::begin(blockCounts), std::end(blockCounts), counts.back().begin());
    }
    std::vector<uint8_t> out;
    for (size_t b = 0; b < blocks.size(); ++b)
    {
        uint8_t info[3 * kPayload] = {};
        info[0] = blocks[b].characterCode;
        info[1] = 1;
        info[2] = static_cast<uint8_t>(numTracks);
        for (int k = 0; k < 16; ++k)
            info[4 + k] = static_cast<uint8_t>(counts[b][static_cast<size_t>(k)]);
        std::copy(std::begin(lastSequence), std::end(lastSequence), info + 20);
        std::copy(std::begin(languages), std::end(languages), info + 28);
        for (int part = 0; part < kSizeInfoPacks; ++part)
        {
            ::Pack p{};
            p[0] = kSizeInfoType;
            p[1] = static_cast<uint8_t>(part);
            p[3] = static_cast<uint8_t>(b << 4);
            std::copy_n(info + part * kPayload, kPayload, p.begin() + 4);
            perBlock[b].push_back(p);
        }
        uint8_t sequence = 0;
        for (::Pack& p : perBlock[b])
        {
            p[2] = sequence++;
            Seal(p);
            out.insert(out.end(), p.begin(), p.end());
        }
    }
    return out;
}

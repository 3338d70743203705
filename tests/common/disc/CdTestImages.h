#pragma once

// Helpers for tests that stand a BIN/CUE disc image in for a CD drive, and
// that build raw CD-Text packs byte by byte.

#include "tests/common/file/RiffTestFiles.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace cdtest
{
using rifftest::Bytes;
using rifftest::TempFolder;
using rifftest::Wide;

constexpr int kFramesPerSector = 588;
constexpr int kBytesPerSector = 2352;

// The samples of the image encode the frame's index counted from the disc's
// first sector: left is its low 16 bits, right its high 16 bits mixed with a
// constant, so that every frame of a disc is unique.
inline int16_t LeftSample(int64_t frame)
{
    return static_cast<int16_t>(static_cast<uint16_t>(frame & 0xFFFF));
}
inline int16_t RightSample(int64_t frame)
{
    return static_cast<int16_t>(static_cast<uint16_t>(((frame >> 16) & 0xFFFF) ^ 0xA5A5));
}
// The same as left-justified 32-bit samples, as readers deliver them.
inline int32_t Left32(int64_t frame)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(LeftSample(frame))) << 16);
}
inline int32_t Right32(int64_t frame)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(RightSample(frame))) << 16);
}

// One track of an image: its mode as the cue sheet writes it, its first
// sector (INDEX 01), an optional pre-gap start (INDEX 00, -1 for none) and
// its CD-Text lines.
struct Track
{
    Track(std::string m, int s, int i0 = -1, std::string t = {}, std::string p = {})
        : mode(std::move(m)), start(s), index0(i0), title(std::move(t)), performer(std::move(p))
    {
    }
    std::string mode;
    int start;
    int index0;
    std::string title;
    std::string performer;
};

struct Image
{
    std::vector<Track> tracks;
    int sectors = 0;
    std::string title;
    std::string performer;
    // A CDTEXTFILE line naming this file, when not empty.
    std::string cdTextFile;
};

inline std::string Msf(int sector)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d", sector / (75 * 60), (sector / 75) % 60, sector % 75);
    return text;
}

// Writes name.bin and name.cue into the folder and returns the cue sheet's
// path. The FILE line names another file on purpose: the image driver takes
// the ".bin" of the cue sheet's own name.
inline std::filesystem::path WriteImage(const std::filesystem::path& folder, const std::string& name,
                                        const Image& image)
{
    Bytes bin(static_cast<size_t>(image.sectors) * kBytesPerSector);
    for (int64_t f = 0; f < static_cast<int64_t>(image.sectors) * kFramesPerSector; ++f)
    {
        const uint16_t l = static_cast<uint16_t>(LeftSample(f));
        const uint16_t r = static_cast<uint16_t>(RightSample(f));
        uint8_t* p = bin.data() + f * 4;
        p[0] = static_cast<uint8_t>(l);
        p[1] = static_cast<uint8_t>(l >> 8);
        p[2] = static_cast<uint8_t>(r);
        p[3] = static_cast<uint8_t>(r >> 8);
    }
    std::ofstream(folder / (name + ".bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bin.data()), static_cast<std::streamsize>(bin.size()));

    std::string cue;
    if (!image.cdTextFile.empty())
        cue += "CDTEXTFILE \"" + image.cdTextFile + "\"\n";
    if (!image.title.empty())
        cue += "TITLE \"" + image.title + "\"\n";
    if (!image.performer.empty())
        cue += "PERFORMER \"" + image.performer + "\"\n";
    cue += "FILE \"unused name.bin\" BINARY\n";
    for (size_t i = 0; i < image.tracks.size(); ++i)
    {
        const Track& t = image.tracks[i];
        char line[64];
        std::snprintf(line, sizeof(line), "  TRACK %02d %s\n", static_cast<int>(i + 1), t.mode.c_str());
        cue += line;
        if (!t.title.empty())
            cue += "    TITLE \"" + t.title + "\"\n";
        if (!t.performer.empty())
            cue += "    PERFORMER \"" + t.performer + "\"\n";
        if (t.index0 >= 0)
            cue += "    INDEX 00 " + Msf(t.index0) + "\n";
        cue += "    INDEX 01 " + Msf(t.start) + "\n";
    }
    const std::filesystem::path cuePath = folder / (name + ".cue");
    std::ofstream(cuePath) << cue;
    return cuePath;
}

// CRC-16/XMODEM (polynomial 0x1021, start 0), bit by bit; a CD-Text pack
// carries it inverted, high byte first.
inline uint16_t Crc16Xmodem(const uint8_t* data, size_t len)
{
    uint32_t crc = 0;
    for (size_t i = 0; i < len; ++i)
    {
        for (int bit = 7; bit >= 0; --bit)
        {
            const uint32_t in = (data[i] >> bit) & 1u;
            const uint32_t top = (crc >> 15) & 1u;
            crc = ((crc << 1) & 0xFFFFu) ^ ((top ^ in) != 0 ? 0x1021u : 0u);
        }
    }
    return static_cast<uint16_t>(crc);
}

// A block of CD-Text to be packed: its language and character code, and the
// texts of the disc (index 0) and of the tracks (index n for track
// firstTrack + n - 1), as raw bytes.
struct TextBlock
{
    uint8_t language = 0x09;
    uint8_t characterCode = 0x00;
    bool doubleByte = false;
    std::vector<std::string> titles;
    std::vector<std::string> performers;
};

// Raw CD-Text packs as a drive returns them from the lead-in (without the
// 4-byte header): for each block its title packs, its performer packs and its
// three size-information packs, sequence numbers counted per block, each pack
// closed by its CRC.
inline Bytes MakePacks(const std::vector<TextBlock>& blocks, uint8_t firstTrack)
{
    using Pack = std::array<uint8_t, 18>;
    std::vector<std::vector<Pack>> perBlock(blocks.size());
    uint8_t lastSequence[8] = {};
    uint8_t languages[8] = {};
    for (size_t b = 0; b < blocks.size(); ++b)
    {
        const TextBlock& block = blocks[b];
        languages[b] = block.language;
        int counts[16] = {};
        std::vector<Pack>& packs = perBlock[b];
        const size_t unit = block.doubleByte ? 2 : 1;
        const auto emit = [&](uint8_t type, const std::vector<std::string>& texts)
        {
            Bytes bytes;
            std::vector<int> owner;
            std::vector<int> position;
            for (size_t t = 0; t < texts.size(); ++t)
            {
                const std::string text = texts[t] + std::string(unit, '\0');
                for (size_t k = 0; k < text.size(); ++k)
                {
                    bytes.push_back(static_cast<uint8_t>(text[k]));
                    owner.push_back(static_cast<int>(t));
                    position.push_back(static_cast<int>(k / unit));
                }
            }
            for (size_t i = 0; i < bytes.size(); i += 12)
            {
                Pack p{};
                p[0] = type;
                p[1] = static_cast<uint8_t>(owner[i] == 0 ? 0 : firstTrack + owner[i] - 1);
                p[3] = static_cast<uint8_t>((block.doubleByte ? 0x80 : 0) | (b << 4) |
                                            std::min(position[i], 15));
                for (size_t k = 0; k < 12 && i + k < bytes.size(); ++k)
                    p[4 + k] = bytes[i + k];
                packs.push_back(p);
                ++counts[type - 0x80];
            }
        };
        emit(0x80, block.titles);
        emit(0x81, block.performers);
        counts[15] = 3;
        lastSequence[b] = static_cast<uint8_t>(packs.size() + 3 - 1);

        const size_t entries = std::max(block.titles.size(), block.performers.size());
        uint8_t info[36] = {};
        info[0] = block.characterCode;
        info[1] = firstTrack;
        info[2] = static_cast<uint8_t>(firstTrack + (entries > 1 ? entries - 2 : 0));
        for (int k = 0; k < 16; ++k)
            info[4 + k] = static_cast<uint8_t>(counts[k]);
        for (uint8_t part = 0; part < 3; ++part)
        {
            Pack p{};
            p[0] = 0x8F;
            p[1] = part;
            p[3] = static_cast<uint8_t>(b << 4);
            std::copy_n(info + part * 12, 12, p.begin() + 4);
            packs.push_back(p);
        }
    }
    Bytes out;
    for (size_t b = 0; b < blocks.size(); ++b)
    {
        uint8_t sequence = 0;
        for (Pack& p : perBlock[b])
        {
            if (p[0] == 0x8F)
            {
                // Bytes 20 to 27 of the size information: the last sequence
                // number of each block; 28 to 35: the language of each.
                uint8_t info[36] = {};
                std::copy_n(p.begin() + 4, 12, info + p[1] * 12);
                for (int k = 0; k < 8; ++k)
                {
                    info[20 + k] = lastSequence[k];
                    info[28 + k] = languages[k];
                }
                std::copy_n(info + p[1] * 12, 12, p.begin() + 4);
            }
            p[2] = sequence++;
            const uint16_t crc = static_cast<uint16_t>(~Crc16Xmodem(p.data(), 16));
            p[16] = static_cast<uint8_t>(crc >> 8);
            p[17] = static_cast<uint8_t>(crc);
            out.insert(out.end(), p.begin(), p.end());
        }
    }
    return out;
}
} // namespace cdtest

#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The CD-Text of a disc: up to eight blocks, each in one language, holding
// the title and the performer of the disc (entry 0) and of its tracks
// (entries 1 to 99, the disc's own track numbers).
//
// DecodePacks() reads the raw 18-byte packs a drive returns from the lead-in
// (or a CD-Text file holds): each block is decoded with the character code of
// its own size information (ISO 8859-1, ASCII or MS-JIS); a block in another
// character code keeps its language but yields no text. An empty entry stays
// empty without moving the entries behind it, an entry of a single tab is the
// entry before it, and a pack with a CRC error loses only the texts it
// carries a part of (unless no pack at all has a good CRC: some drives return
// none, and their packs are taken as they are).
class CCdTextBlocks
{
public:
    static constexpr int kMaxBlocks = 8;
    static constexpr int kMaxEntry = 99;
    static constexpr size_t kPackSize = 18;

    enum Field
    {
        kTitle = 0,
        kPerformer = 1
    };

    // Character codes of the size information.
    enum CharacterCode : uint8_t
    {
        kCharCodeLatin1 = 0x00,
        kCharCodeAscii = 0x01,
        kCharCodeMsJis = 0x80,
        kCharCodeKorean = 0x81,
        kCharCodeMandarin = 0x82
    };

    void Clear();
    bool IsEmpty() const;

    // Replaces the content with the blocks of raw packs (a whole number of
    // 18-byte packs; bytes past the last whole pack are ignored). False, and
    // empty, when no block was found.
    bool DecodePacks(const uint8_t* data, size_t len);

    // Declares a block with its language code and character code.
    void SetBlock(int block, uint8_t languageCode, uint8_t characterCode);
    // Sets a text of a declared block; an empty text clears it.
    void SetText(int block, Field field, int entry, const std::wstring& text);

    bool HasBlock(int block) const;
    // The language code of a block; 0 for a block that doesn't exist.
    uint8_t GetLanguageCode(int block) const;
    uint8_t GetCharacterCode(int block) const;
    // A text of a block, or null when the block has none for that entry.
    const std::wstring* GetText(int block, Field field, int entry) const;

    // The CRC of a pack's first 16 bytes as its last two bytes carry it.
    static uint16_t PackCrc(const uint8_t* pack);
    // Whether texts in a character code are decoded.
    static bool IsDecoded(uint8_t characterCode);
    // The text of raw bytes in a character code; false for a character code
    // that isn't decoded.
    static bool DecodeText(const std::string& bytes, uint8_t characterCode, std::wstring* text);

private:
    struct Block
    {
        bool present = false;
        uint8_t languageCode = 0;
        uint8_t characterCode = 0;
        std::map<int, std::wstring> texts[2];
    };

    void DecodeBlock(int block, const uint8_t* data, const std::vector<uint8_t>& packUsable);

    Block m_blocks[kMaxBlocks];
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// The platform part of the CD-Text reader: the CD-Text blocks of one disc.
// Texts are counted in characters; entry 0 is the disc, entry n track n.
class CCdTextInfoReadImp
{
public:
    virtual ~CCdTextInfoReadImp() = default;

    // Opens the CD-Text of the disc a CD path names; 0 when it has any, 1
    // otherwise.
    virtual int OpenDrive(const wchar_t* volumePath) = 0;
    // Opens CD-Text from raw 18-byte packs (as a drive returns them from the
    // lead-in); 0 when they hold any block, 1 otherwise.
    virtual int OpenPacks(const uint8_t* packs, size_t len) = 0;
    virtual void CloseDrive() = 0;
    // Copy the text into buffer (at most length - 1 characters and a
    // terminator) and answer the characters copied; 0, with the buffer
    // untouched, when the block or the text doesn't exist.
    virtual uint32_t GetTitle(wchar_t* buffer, uint32_t length, uint8_t block, uint8_t entry) = 0;
    virtual uint32_t GetPerformer(wchar_t* buffer, uint32_t length, uint8_t block, uint8_t entry) = 0;
    // The language code of a block; 0 for a block that doesn't exist.
    virtual uint8_t GetLanguageCode(uint8_t block) = 0;
};

// Reads the title and performer of a disc and of its tracks from its
// CD-Text, in the user's language where the disc has it.
//
// The preferred language is Japanese (code 0x69) when the user's first
// preferred language is Japanese, else English (0x09). Opening chooses the
// lowest-numbered block in the preferred language and the lowest-numbered
// English block as the fallback (block 0 for either when there is none);
// a text missing from the preferred block is taken from the fallback block.
class CCdTextInfoRead
{
public:
    static constexpr uint8_t kLanguageEnglish = 0x09;
    static constexpr uint8_t kLanguageJapanese = 0x69;
    static constexpr int kNumBlocks = 8;

    // The preferred language from the user's settings.
    CCdTextInfoRead();
    // A fixed preferred language code.
    explicit CCdTextInfoRead(uint8_t preferredLanguage);
    virtual ~CCdTextInfoRead();

    CCdTextInfoRead(const CCdTextInfoRead&) = delete;
    CCdTextInfoRead& operator=(const CCdTextInfoRead&) = delete;

    // Opens the CD-Text of the disc a CD path names (a volume or track path;
    // see CAudioCDPath). 0 on success, non-zero when the disc or its CD-Text
    // cannot be read.
    int OpenDrive(const wchar_t* path);
    // Opens CD-Text from raw packs; results as OpenDrive.
    int OpenPacks(const uint8_t* packs, size_t len);
    // Closes; the reader can be opened again.
    int CloseDrive();

    // The title or performer of an entry (0 the disc, n track n) into buffer,
    // at most length - 1 characters and a terminator; answers the characters
    // copied, 0 (buffer untouched) when neither block has the text.
    uint32_t GetTitle(wchar_t* buffer, uint32_t length, uint8_t entry);
    uint32_t GetPerformer(wchar_t* buffer, uint32_t length, uint8_t entry);

    uint8_t GetPreferredLanguage() const { return m_preferredLanguage; }
    uint8_t GetPreferredBlock() const { return m_preferredBlock; }
    uint8_t GetFallbackBlock() const { return m_fallbackBlock; }

    // The preferred language for the user's first preferred language code
    // (such as "ja" or "en-GB").
    static uint8_t LanguageForUser(const char* userLanguage);

private:
    void ChooseBlocks();

    std::unique_ptr<CCdTextInfoReadImp> m_imp;
    uint8_t m_preferredLanguage;
    uint8_t m_preferredBlock = 0;
    uint8_t m_fallbackBlock = 0;
};

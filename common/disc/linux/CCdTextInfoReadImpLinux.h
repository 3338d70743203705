#pragma once

#include "common/disc/CCdTextBlocks.h"
#include "common/disc/CCdTextInfoRead.h"

// The CD-Text of a disc in a drive or of a BIN/CUE disc image, read through
// libcdio (CCdioDisc) and kept as decoded blocks until closed.
class CCdTextInfoReadImpLinux : public CCdTextInfoReadImp
{
public:
    CCdTextInfoReadImpLinux() = default;
    ~CCdTextInfoReadImpLinux() override = default;

    // Takes the volume of any CD path, so "/dev/sr0/", "/dev/sr0" and
    // "/dev/sr0/Track 02" name the same disc.
    int OpenDrive(const wchar_t* volumePath) override;
    int OpenPacks(const uint8_t* packs, size_t len) override;
    void CloseDrive() override;
    uint32_t GetTitle(wchar_t* buffer, uint32_t length, uint8_t block, uint8_t entry) override;
    uint32_t GetPerformer(wchar_t* buffer, uint32_t length, uint8_t block, uint8_t entry) override;
    uint8_t GetLanguageCode(uint8_t block) override;

private:
    uint32_t CopyText(wchar_t* buffer, uint32_t length, uint8_t block, CCdTextBlocks::Field field,
                      uint8_t entry) const;

    CCdTextBlocks m_blocks;
};

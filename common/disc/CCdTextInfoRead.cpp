#include "common/disc/CCdTextInfoRead.h"

#include "common/disc/linux/CCdTextInfoReadImpLinux.h"
#include "library/util/linux/CLinuxUtil.h"

#include <cstring>

namespace
{
uint8_t UserPreferredLanguage()
{
    char language[11] = {};
    CLinuxUtil::GetUserLanguage(language, static_cast<int>(sizeof(language)));
    return CCdTextInfoRead::LanguageForUser(language);
}
} // namespace

CCdTextInfoRead::CCdTextInfoRead() : CCdTextInfoRead(UserPreferredLanguage()) {}

CCdTextInfoRead::CCdTextInfoRead(uint8_t preferredLanguage)
    : m_imp(std::make_unique<CCdTextInfoReadImpLinux>()), m_preferredLanguage(preferredLanguage)
{
}

CCdTextInfoRead::~CCdTextInfoRead()
{
    CloseDrive();
}

uint8_t CCdTextInfoRead::LanguageForUser(const char* userLanguage)
{
    return userLanguage != nullptr && std::strncmp(userLanguage, "ja", 2) == 0 ? kLanguageJapanese
                                                                               : kLanguageEnglish;
}

int CCdTextInfoRead::OpenDrive(const wchar_t* path)
{
    CloseDrive();
    const int result = m_imp->OpenDrive(path);
    if (result == 0)
        ChooseBlocks();
    return result;
}

int CCdTextInfoRead::OpenPacks(const uint8_t* packs, size_t len)
{
    CloseDrive();
    const int result = m_imp->OpenPacks(packs, len);
    if (result == 0)
        ChooseBlocks();
    return result;
}

void CCdTextInfoRead::ChooseBlocks()
{
    // Downwards, so that the lowest-numbered matching block is kept.
    for (int block = kNumBlocks - 1; block >= 0; --block)
    {
        const uint8_t code = m_imp->GetLanguageCode(static_cast<uint8_t>(block));
        if (code == m_preferredLanguage)
            m_preferredBlock = static_cast<uint8_t>(block);
        if (code == kLanguageEnglish)
            m_fallbackBlock = static_cast<uint8_t>(block);
    }
}

int CCdTextInfoRead::CloseDrive()
{
    m_imp->CloseDrive();
    m_preferredBlock = 0;
    m_fallbackBlock = 0;
    return 0;
}

uint32_t CCdTextInfoRead::GetTitle(wchar_t* buffer, uint32_t length, uint8_t entry)
{
    uint32_t n = m_imp->GetTitle(buffer, length, m_preferredBlock, entry);
    if (n == 0 && m_fallbackBlock != m_preferredBlock)
        n = m_imp->GetTitle(buffer, length, m_fallbackBlock, entry);
    return n;
}

uint32_t CCdTextInfoRead::GetPerformer(wchar_t* buffer, uint32_t length, uint8_t entry)
{
    uint32_t n = m_imp->GetPerformer(buffer, length, m_preferredBlock, entry);
    if (n == 0 && m_fallbackBlock != m_preferredBlock)
        n = m_imp->GetPerformer(buffer, length, m_fallbackBlock, entry);
    return n;
}

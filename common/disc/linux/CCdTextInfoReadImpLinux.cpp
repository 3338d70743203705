#include "common/disc/linux/CCdTextInfoReadImpLinux.h"

#include "common/disc/linux/CCdioDisc.h"

#include <algorithm>

int CCdTextInfoReadImpLinux::OpenDrive(const wchar_t* volumePath)
{
    CloseDrive();
    CCdioDisc disc;
    if (!disc.Open(volumePath) || !disc.ReadCdText(m_blocks))
    {
        m_blocks.Clear();
        return 1;
    }
    return 0;
}

int CCdTextInfoReadImpLinux::OpenPacks(const uint8_t* packs, size_t len)
{
    CloseDrive();
    return m_blocks.DecodePacks(packs, len) ? 0 : 1;
}

void CCdTextInfoReadImpLinux::CloseDrive()
{
    m_blocks.Clear();
}

uint32_t CCdTextInfoReadImpLinux::CopyText(wchar_t* buffer, uint32_t length, uint8_t block,
                                           CCdTextBlocks::Field field, uint8_t entry) const
{
    const std::wstring* text = m_blocks.GetText(block, field, entry);
    if (text == nullptr || buffer == nullptr || length == 0)
        return 0;
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(text->size(), length - 1));
    std::copy_n(text->data(), n, buffer);
    buffer[n] = L'\0';
    return n;
}

uint32_t CCdTextInfoReadImpLinux::GetTitle(wchar_t* buffer, uint32_t length, uint8_t block, uint8_t entry)
{
    return CopyText(buffer, length, block, CCdTextBlocks::kTitle, entry);
}

uint32_t CCdTextInfoReadImpLinux::GetPerformer(wchar_t* buffer, uint32_t length, uint8_t block, uint8_t entry)
{
    return CopyText(buffer, length, block, CCdTextBlocks::kPerformer, entry);
}

uint8_t CCdTextInfoReadImpLinux::GetLanguageCode(uint8_t block)
{
    return m_blocks.GetLanguageCode(block);
}

#include "common/file/CSongWrite.h"

#include "common/file/CChannelGroupWrite.h"
#include "library/util/CFileUtil.h"

#include <cstdio>
#include <cwchar>

CSongWrite::CSongWrite(const char* formatId, uint32_t sampleRate, uint16_t bitsPerSample,
                       uint16_t totalChannels, uint16_t channelsPerFile, int quality)
    : m_sampleRate(sampleRate), m_bitsPerSample(bitsPerSample), m_totalChannels(totalChannels),
      m_channelsPerFile(channelsPerFile), m_quality(quality)
{
    std::snprintf(m_formatId, sizeof(m_formatId), "%s", formatId != nullptr ? formatId : "");
}

CSongWrite::~CSongWrite()
{
    CloseCurrentSection(false);
}

void CSongWrite::RemoveFile()
{
    if (m_section != nullptr)
    {
        m_section->RemoveFile();
        delete m_section;
        m_section = nullptr;
    }
    for (const std::wstring& path : m_written)
        CFileUtil::RemoveFile(path.c_str());
    m_written.clear();
    m_sectionCount = 0;
    m_elapsed = 0.0;
    m_baseName.clear();
    m_extension.clear();
}

uint32_t CSongWrite::GetSampleRate()
{
    return m_section != nullptr ? m_section->GetSampleRate() : m_sampleRate;
}

uint16_t CSongWrite::GetNumChannels()
{
    return m_section != nullptr ? m_section->GetNumChannels() : m_totalChannels;
}

uint16_t CSongWrite::GetBitsPerSample()
{
    return m_section != nullptr ? m_section->GetBitsPerSample() : m_bitsPerSample;
}

bool CSongWrite::IsFloatingPoint()
{
    return m_section != nullptr && m_section->IsFloatingPoint();
}

uint32_t CSongWrite::WriteAudioData(float** bufs, uint32_t n)
{
    return m_section != nullptr ? m_section->WriteAudioData(bufs, n) : 0;
}

uint32_t CSongWrite::WriteAudioData(int32_t** bufs, uint32_t n)
{
    return m_section != nullptr ? m_section->WriteAudioData(bufs, n) : 0;
}

uint32_t CSongWrite::WriteAudioData(uint8_t** bufs, uint32_t n)
{
    return m_section != nullptr ? m_section->WriteAudioData(bufs, n) : 0;
}

void CSongWrite::SetMetaDataFixed()
{
    m_bMetaDataFixed = true;
    if (m_section != nullptr)
    {
        m_section->GetMetaDataPtr()->CopyAll(&m_metaData);
        m_section->SetMetaDataFixed();
    }
}

bool CSongWrite::OpenAudioFile(const wchar_t* base, const wchar_t* ext)
{
    EjectAllFiles();
    if (base == nullptr || *base == L'\0')
        return false;
    if (ext == nullptr)
        ext = L"";
    if (std::wcslen(base) > kMaxBaseNameLength || std::wcslen(ext) > kMaxExtensionLength)
        return false;
    m_baseName = base;
    m_extension = ext;
    return OpenNewSection();
}

void CSongWrite::EjectAllFiles()
{
    CloseCurrentSection(false);
    m_written.clear();
    m_sectionCount = 0;
    m_elapsed = 0.0;
    m_bMetaDataFixed = false;
    m_baseName.clear();
    m_extension.clear();
}

bool CSongWrite::OpenNewSection()
{
    if (m_section != nullptr)
        CloseCurrentSection(false);
    if (m_baseName.empty())
        return false;

    auto* group = new CChannelGroupWrite(m_formatId, m_sampleRate, m_bitsPerSample, m_quality);
    if (!group->OpenMultipleAudioFiles(m_baseName.c_str(), m_extension.c_str(), m_totalChannels,
                                       m_channelsPerFile))
    {
        // The group has dropped whatever it had opened.
        delete group;
        return false;
    }
    m_section = group;
    ++m_sectionCount;
    if (m_bMetaDataFixed)
    {
        m_section->GetMetaDataPtr()->CopyAll(&m_metaData);
        m_section->SetMetaDataFixed();
    }
    return true;
}

bool CSongWrite::CloseCurrentSection(bool numbered)
{
    if (m_section == nullptr)
        return false;

    // The song's markers that fall into this section, moved to its start.
    const double length = m_section->GetCurTimeSecond();
    for (int i = 0; i < m_markers.GetNumMarkers(); ++i)
    {
        const double t = m_markers.GetMarkerTimeSecond(i) - m_elapsed;
        if (t >= 0.0 && t < length)
            m_section->GetMarkerPtr()->Add(t);
    }
    if (!m_bMetaDataFixed)
        m_section->GetMetaDataPtr()->CopyAll(&m_metaData);
    m_elapsed += length;

    bool ok;
    if (numbered || m_sectionCount >= 2)
    {
        wchar_t number[16];
        std::swprintf(number, 16, L".%03d", m_sectionCount);
        const std::wstring name = m_baseName + number;
        if (name.size() > kMaxBaseNameLength)
        {
            // No name fits: the section is dropped rather than left under a
            // name the owner does not expect.
            m_section->RemoveFile();
            ok = false;
        }
        else
        {
            ok = m_section->RenameAndEjectMultipleAudioFiles(name.c_str(), m_extension.c_str());
        }
    }
    else
    {
        ok = m_section->EjectAllFiles();
    }

    const std::vector<std::wstring>& committed = m_section->GetCommittedFilePaths();
    m_written.insert(m_written.end(), committed.begin(), committed.end());
    delete m_section;
    m_section = nullptr;
    return ok;
}

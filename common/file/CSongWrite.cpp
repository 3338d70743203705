#include "common/file/CSongWrite.h"

#include "common/file/CChannelGroupWrite.h"
#include "library/util/CAtomicFileWriter.h"
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

// The open section and the finished files discard themselves.
CSongWrite::~CSongWrite() = default;

void CSongWrite::DropOutput()
{
    if (m_section != nullptr)
        m_section->RemoveFile();
    m_section.reset();
    m_finished.clear();
    m_written.clear();
    m_bCommitted = false;
    m_bFailed = false;
    m_sectionCount = 0;
    m_elapsed = 0.0;
    m_baseName.clear();
    m_extension.clear();
}

void CSongWrite::RemoveFile()
{
    // Only what this writer put in place itself; a target it would have
    // replaced but did not is still the user's old file.
    if (m_bCommitted)
    {
        for (const std::wstring& path : m_written)
            CFileUtil::RemoveFile(path.c_str());
    }
    DropOutput();
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
    DropOutput();
    m_bMetaDataFixed = false;
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

bool CSongWrite::EjectAllFiles()
{
    // Nothing open: never opened, already closed or removed.
    if (m_section == nullptr && m_finished.empty() && !m_bFailed)
        return false;
    bool ok = m_section == nullptr || CloseCurrentSection(false);
    ok = ok && !m_bFailed && !m_finished.empty() && CAtomicFileWriter::CommitAll(m_finished);
    m_finished.clear();
    m_bCommitted = ok;
    if (!ok)
        m_written.clear();
    m_bFailed = false;
    m_sectionCount = 0;
    m_elapsed = 0.0;
    m_bMetaDataFixed = false;
    m_baseName.clear();
    m_extension.clear();
    return ok;
}

bool CSongWrite::OpenNewSection()
{
    if (m_section != nullptr)
        CloseCurrentSection(false);
    if (m_baseName.empty())
        return false;

    auto group = std::make_unique<CChannelGroupWrite>(m_formatId, m_sampleRate, m_bitsPerSample, m_quality);
    if (!group->OpenMultipleAudioFiles(m_baseName.c_str(), m_extension.c_str(), m_totalChannels,
                                       m_channelsPerFile))
    {
        // The group has dropped whatever it had opened; the song misses a
        // section and is not put in place.
        m_bFailed = true;
        return false;
    }
    m_section = std::move(group);
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
        // No name fits: the section is dropped rather than left under a name
        // the owner does not expect.
        ok = name.size() <= kMaxBaseNameLength &&
             m_section->FinishMultipleAudioFiles(name.c_str(), m_extension.c_str());
    }
    else
    {
        ok = m_section->FinishAllFiles();
    }

    for (auto& file : m_section->TakeFinishedFiles(&m_written))
        m_finished.push_back(std::move(file));
    m_section.reset();
    if (!ok)
        m_bFailed = true;
    return ok;
}

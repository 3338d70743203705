#include "common/file/CChannelGroupWrite.h"

#include "common/file/CAudioFileReadBase.h"
#include "common/file/VextalFileUtil.h"
#include "library/util/CFileUtil.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

CChannelGroupWrite::CChannelGroupWrite(const char* formatId, uint32_t sampleRate, uint16_t bitsPerSample,
                                       int quality)
    : m_sampleRate(sampleRate), m_bitsPerSample(bitsPerSample), m_quality(quality)
{
    std::snprintf(m_formatId, sizeof(m_formatId), "%s", formatId != nullptr ? formatId : "");
}

CChannelGroupWrite::~CChannelGroupWrite()
{
    EjectAllFiles();
}

void CChannelGroupWrite::RemoveFile()
{
    for (CAudioFileWriteBase* f : m_files)
        f->RemoveFile();
    EjectAllFiles();
}

uint32_t CChannelGroupWrite::GetSampleRate()
{
    return m_files.empty() ? m_sampleRate : m_files.front()->GetSampleRate();
}

uint16_t CChannelGroupWrite::GetNumChannels()
{
    uint32_t channels = 0;
    for (CAudioFileWriteBase* f : m_files)
        channels += f->GetNumChannels();
    return static_cast<uint16_t>(std::min<uint32_t>(channels, UINT16_MAX));
}

uint16_t CChannelGroupWrite::GetBitsPerSample()
{
    return m_files.empty() ? m_bitsPerSample : m_files.front()->GetBitsPerSample();
}

bool CChannelGroupWrite::IsFloatingPoint()
{
    return !m_files.empty() && m_files.front()->IsFloatingPoint();
}

template <typename T>
uint32_t CChannelGroupWrite::Write(T** bufs, uint32_t n)
{
    if (m_files.empty() || bufs == nullptr)
        return 0;
    uint32_t written = n;
    size_t channel = 0;
    for (CAudioFileWriteBase* f : m_files)
    {
        written = std::min(written, f->WriteAudioData(bufs + channel, n));
        channel += f->GetNumChannels();
    }
    return written;
}

uint32_t CChannelGroupWrite::WriteAudioData(float** bufs, uint32_t n)
{
    return Write(bufs, n);
}

uint32_t CChannelGroupWrite::WriteAudioData(int32_t** bufs, uint32_t n)
{
    return Write(bufs, n);
}

uint32_t CChannelGroupWrite::WriteAudioData(uint8_t** bufs, uint32_t n)
{
    return Write(bufs, n);
}

void CChannelGroupWrite::SetMetaDataFixed()
{
    m_bMetaDataFixed = true;
    for (CAudioFileWriteBase* f : m_files)
    {
        f->GetMetaDataPtr()->CopyAll(&m_metaData);
        f->SetMetaDataFixed();
    }
}

int CChannelGroupWrite::GetNumFilesToBeCreated(uint16_t totalChannels, uint16_t channelsPerFile)
{
    if (channelsPerFile == 0)
        return 1;
    return std::max(1, totalChannels / channelsPerFile);
}

bool CChannelGroupWrite::GetFileNameToBeCreated(wchar_t* dst, int dstLen, const wchar_t* base,
                                                const wchar_t* ext, int numFiles, int index)
{
    if (dst == nullptr || dstLen < 0)
        return false;
    dst[0] = L'\0';
    if (base == nullptr || index < 0 || index >= numFiles)
        return false;
    std::wstring name = base;
    if (numFiles >= 2)
        name += L".trk" + std::to_wstring(index + 1);
    if (ext != nullptr)
        name += ext;
    if (name.size() > static_cast<size_t>(dstLen))
        return false;
    std::wmemcpy(dst, name.c_str(), name.size() + 1);
    return true;
}

void CChannelGroupWrite::RemoveMultipleAudioFiles(const wchar_t* base, const wchar_t* ext,
                                                  uint16_t totalChannels, uint16_t channelsPerFile)
{
    const int numFiles = GetNumFilesToBeCreated(totalChannels, channelsPerFile);
    wchar_t name[kMaxPathLength + 1];
    for (int i = 0; i < numFiles; ++i)
    {
        if (GetFileNameToBeCreated(name, kMaxPathLength, base, ext, numFiles, i))
            CFileUtil::RemoveFile(name);
    }
}

bool CChannelGroupWrite::OpenMultipleAudioFiles(const wchar_t* base, const wchar_t* ext,
                                                uint16_t totalChannels, uint16_t channelsPerFile)
{
    EjectAllFiles();
    m_committed.clear();
    const int numFiles = GetNumFilesToBeCreated(totalChannels, channelsPerFile);
    wchar_t name[kMaxPathLength + 1];
    for (int i = 0; i < numFiles; ++i)
    {
        if (!GetFileNameToBeCreated(name, kMaxPathLength, base, ext, numFiles, i) ||
            !AddAudioFile(name, channelsPerFile))
        {
            // Drops the files opened so far; their targets stay as they were.
            RemoveFile();
            return false;
        }
        if (channelsPerFile == 1)
            m_files.back()->SetMultipleMonoChIndex(i, totalChannels);
    }
    return true;
}

bool CChannelGroupWrite::AddAudioFile(const wchar_t* path, uint16_t channels)
{
    CAudioFileWriteBase* f = VextalFileUtil::CreateAudioFileWriteObject(path, m_formatId, m_sampleRate,
                                                                        m_bitsPerSample, channels, m_quality);
    if (f == nullptr)
        return false;
    if (m_bMetaDataFixed)
    {
        f->GetMetaDataPtr()->CopyAll(&m_metaData);
        f->SetMetaDataFixed();
    }
    m_files.push_back(f);
    return true;
}

bool CChannelGroupWrite::CloseOne(size_t i, const wchar_t* newName)
{
    CAudioFileWriteBase* f = m_files[i];
    f->GetMarkerPtr()->CopyAll(&m_markers);
    if (!m_bMetaDataFixed)
        f->GetMetaDataPtr()->CopyAll(&m_metaData);

    bool ok = false;
    if (f->IsFileOpen())
    {
        const std::wstring path = newName != nullptr ? std::wstring(newName) : std::wstring(f->GetFileName());
        ok = newName != nullptr ? f->CloseAndRenameFile(newName) : f->CloseFile();
        if (ok)
            m_committed.push_back(path);
    }
    delete f;
    m_files[i] = nullptr;
    return ok;
}

bool CChannelGroupWrite::EjectAllFiles()
{
    return RenameAndEjectAudioFiles(nullptr);
}

bool CChannelGroupWrite::RenameAndEjectAudioFiles(const wchar_t* const* newNames)
{
    // A file removed before (RemoveFile) is no longer open and counts as no
    // failure here.
    bool ok = true;
    for (size_t i = 0; i < m_files.size(); ++i)
    {
        const bool wasOpen = m_files[i]->IsFileOpen();
        const bool closed = CloseOne(i, newNames != nullptr ? newNames[i] : nullptr);
        ok = ok && (closed || !wasOpen);
    }
    m_files.clear();
    m_bMetaDataFixed = false;
    return ok;
}

bool CChannelGroupWrite::RenameAndEjectMultipleAudioFiles(const wchar_t* base, const wchar_t* ext)
{
    const int n = GetNumFiles();
    std::vector<std::vector<wchar_t>> names(static_cast<size_t>(n), std::vector<wchar_t>(kMaxPathLength + 1));
    std::vector<const wchar_t*> pointers(static_cast<size_t>(n), nullptr);
    bool ok = true;
    for (int i = 0; i < n; ++i)
    {
        if (GetFileNameToBeCreated(names[i].data(), kMaxPathLength, base, ext, n, i))
        {
            pointers[i] = names[i].data();
        }
        else
        {
            // No name to close it under: the file is discarded rather than
            // left under a name the caller does not expect.
            m_files[i]->RemoveFile();
            ok = false;
        }
    }
    return RenameAndEjectAudioFiles(pointers.data()) && ok;
}

int64_t CChannelGroupWrite::GetEachFileSize()
{
    return m_files.empty() ? 0 : m_files.front()->GetFileSize();
}

double CChannelGroupWrite::GetCurTimeSecond()
{
    const uint32_t rate = GetSampleRate();
    if (rate == 0 || m_files.empty())
        return 0.0;
    return static_cast<double>(m_files.front()->GetCurSamplePosition()) / rate;
}

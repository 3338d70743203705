#include "common/file/CChannelGroupWrite.h"

#include "common/file/CAudioFileReadBase.h"
#include "common/file/VextalFileUtil.h"
#include "library/util/CAtomicFileWriter.h"
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

// The writers and finished files discard themselves.
CChannelGroupWrite::~CChannelGroupWrite() = default;

void CChannelGroupWrite::RemoveFile()
{
    for (auto& f : m_files)
        f->RemoveFile();
    m_files.clear();
    DropFinishedFiles();
    m_bMetaDataFixed = false;
}

uint32_t CChannelGroupWrite::GetSampleRate()
{
    return m_files.empty() ? m_sampleRate : m_files.front()->GetSampleRate();
}

uint16_t CChannelGroupWrite::GetNumChannels()
{
    uint32_t channels = 0;
    for (const auto& f : m_files)
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
    for (const auto& f : m_files)
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
    for (const auto& f : m_files)
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
    // Files left open by the owner are dropped, never committed.
    RemoveFile();
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
    std::unique_ptr<CAudioFileWriteBase> f(VextalFileUtil::CreateAudioFileWriteObject(
        path, m_formatId, m_sampleRate, m_bitsPerSample, channels, m_quality));
    if (f == nullptr)
        return false;
    if (m_bMetaDataFixed)
    {
        f->GetMetaDataPtr()->CopyAll(&m_metaData);
        f->SetMetaDataFixed();
    }
    m_files.push_back(std::move(f));
    return true;
}

bool CChannelGroupWrite::FinishOne(size_t i, const wchar_t* newName)
{
    CAudioFileWriteBase* f = m_files[i].get();
    f->GetMarkerPtr()->CopyAll(&m_markers);
    if (!m_bMetaDataFixed)
        f->GetMetaDataPtr()->CopyAll(&m_metaData);
    const std::wstring path = newName != nullptr ? std::wstring(newName) : std::wstring(f->GetFileName());
    std::unique_ptr<CAtomicFileWriter> finished = f->CloseFileUncommitted(newName);
    m_files[i].reset();
    if (finished == nullptr)
        return false;
    m_finished.push_back(std::move(finished));
    m_finishedPaths.push_back(path);
    return true;
}

bool CChannelGroupWrite::FinishFiles(const wchar_t* const* newNames)
{
    bool ok = true;
    for (size_t i = 0; i < m_files.size(); ++i)
        ok = FinishOne(i, newNames != nullptr ? newNames[i] : nullptr) && ok;
    m_files.clear();
    m_bMetaDataFixed = false;
    if (!ok)
        DropFinishedFiles();
    return ok;
}

bool CChannelGroupWrite::CommitFinishedFiles()
{
    std::vector<std::unique_ptr<CAtomicFileWriter>> files = TakeFinishedFiles();
    return CAtomicFileWriter::CommitAll(files);
}

bool CChannelGroupWrite::BuildNames(const wchar_t* base, const wchar_t* ext,
                                    std::vector<std::vector<wchar_t>>& names,
                                    std::vector<const wchar_t*>& pointers)
{
    const int n = GetNumFiles();
    names.assign(static_cast<size_t>(n), std::vector<wchar_t>(kMaxPathLength + 1));
    pointers.assign(static_cast<size_t>(n), nullptr);
    for (int i = 0; i < n; ++i)
    {
        // No name to close a file under: the group is discarded rather than
        // left under names the caller does not expect.
        if (!GetFileNameToBeCreated(names[i].data(), kMaxPathLength, base, ext, n, i))
            return false;
        pointers[i] = names[i].data();
    }
    return true;
}

bool CChannelGroupWrite::FinishAllFiles()
{
    return FinishFiles(nullptr);
}

bool CChannelGroupWrite::FinishMultipleAudioFiles(const wchar_t* base, const wchar_t* ext)
{
    std::vector<std::vector<wchar_t>> names;
    std::vector<const wchar_t*> pointers;
    if (!BuildNames(base, ext, names, pointers))
    {
        RemoveFile();
        return false;
    }
    return FinishFiles(pointers.data());
}

std::vector<std::unique_ptr<CAtomicFileWriter>>
CChannelGroupWrite::TakeFinishedFiles(std::vector<std::wstring>* paths)
{
    if (paths != nullptr)
        paths->insert(paths->end(), m_finishedPaths.begin(), m_finishedPaths.end());
    m_finishedPaths.clear();
    std::vector<std::unique_ptr<CAtomicFileWriter>> files;
    files.swap(m_finished);
    return files;
}

void CChannelGroupWrite::DropFinishedFiles()
{
    m_finished.clear();
    m_finishedPaths.clear();
}

bool CChannelGroupWrite::EjectAllFiles()
{
    return RenameAndEjectAudioFiles(nullptr);
}

bool CChannelGroupWrite::RenameAndEjectAudioFiles(const wchar_t* const* newNames)
{
    return FinishFiles(newNames) && CommitFinishedFiles();
}

bool CChannelGroupWrite::RenameAndEjectMultipleAudioFiles(const wchar_t* base, const wchar_t* ext)
{
    return FinishMultipleAudioFiles(base, ext) && CommitFinishedFiles();
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

#include "common/disc/CAudioCDTempFileCreator.h"

#include "common/file/CAiffFileRead.h"
#include "common/file/CAiffFileWrite.h"
#include "common/file/CAudioFileReadBase.h"
#include "library/util/CFileUtil.h"
#include "library/util/CPcmUtil.h"
#include "library/util/CRegularFile.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr uint16_t kChannels = 2;
constexpr uint16_t kBits = 16;
// The pre-gap every disc has before its first track.
constexpr uint32_t kFirstTrackPreGap = 150;
constexpr double kMaxGapSeconds = 3600.0;

// Zero samples to write silence from; never written to.
constexpr uint32_t kZeroFrames = 4096;
int32_t g_zeros[kZeroFrames] = {};
uint32_t Be32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The byte offset of the samples of the SSND chunk of an AIFF file; -1 when
// there is none within the file.
int64_t FindSsndSamples(int fd, int64_t fileSize)
{
    int64_t pos = 12;
    while (pos + 16 <= fileSize)
    {
        uint8_t header[16];
        if (::pread(fd, header, sizeof(header), pos) != static_cast<ssize_t>(sizeof(header)))
            return -1;
        const int64_t size = Be32(header + 4);
        if (std::memcmp(header, "SSND", 4) == 0)
            return pos + 16 + Be32(header + 8);
        // IFF chunks are padded to an even length.
        pos += 8 + size + (size & 1);
    }
    return -1;
}
} // namespace

CAudioCDTempFileCreator::CAudioCDTempFileCreator() : m_blockPtrs{m_block[0], m_block[1]} {}

CAudioCDTempFileCreator::~CAudioCDTempFileCreator()
{
    Remove();
}

std::wstring CAudioCDTempFileCreator::TrackFileName(size_t number)
{
    wchar_t name[32];
    std::swprintf(name, sizeof(name) / sizeof(name[0]), L"Track %02zu.aiff", number);
    return name;
}

uint32_t CAudioCDTempFileCreator::SecondsToBlocks(float seconds)
{
    if (!(seconds > 0.0f))
        return 0;
    const double frames = std::min(static_cast<double>(seconds), kMaxGapSeconds) * kSampleRate;
    return static_cast<uint32_t>(frames) / kFramesPerBlock;
}

int64_t CAudioCDTempFileCreator::GetAlbumDiscBytes(const AudioCDAlbumTrackList& album)
{
    int64_t blocks = 0;
    for (size_t i = 0; i < album.tracks.size(); ++i)
    {
        const AudioCDTrackInfo& track = album.tracks[i];
        const int64_t frames = std::max<int64_t>(track.samples, 0);
        blocks += (frames + kFramesPerBlock - 1) / kFramesPerBlock;
        blocks += i == 0 ? std::max(track.preGap, kFirstTrackPreGap) : track.preGap;
    }
    return blocks * kAudioBlockBytes;
}

bool CAudioCDTempFileCreator::LocateTrackSamples(const std::wstring& path, int64_t* offset, int64_t* frames)
{
    CAiffFileRead reader;
    if (reader.OpenFile(path.c_str()) != kAudioFileOpened || reader.GetSampleRate() != kSampleRate ||
        reader.GetNumChannels() != kChannels || reader.GetBitsPerSample() != kBits)
        return false;
    const int64_t count = reader.GetNumSamples();
    reader.CloseFile();

    const int fd = CRegularFile::OpenForReading(juce::String(path.c_str()).toStdString());
    if (fd < 0)
        return false;
    struct stat st = {};
    const int64_t fileSize = ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    const int64_t start = FindSsndSamples(fd, fileSize);
    ::close(fd);
    if (start < 0 || start + count * 4 > fileSize)
        return false;
    *offset = start;
    *frames = count;
    return true;
}

bool CAudioCDTempFileCreator::OpenDisc(const wchar_t* folder)
{
    Remove();
    m_folder.clear();
    if (folder == nullptr || folder[0] == 0)
        return false;
    m_folder = folder;
    if (m_folder.back() != CFileUtil::m_iPathDelimiter)
        m_folder += CFileUtil::m_sPathDelimiter;
    return true;
}

bool CAudioCDTempFileCreator::OpenAlbum(const wchar_t* title, const wchar_t* performer)
{
    if (m_folder.empty())
        return false;
    Remove();
    m_album.title = title != nullptr ? title : L"";
    m_album.performer = performer != nullptr ? performer : L"";
    m_bAlbumOpen = true;
    return true;
}

bool CAudioCDTempFileCreator::OpenNewTrack(uint32_t preGapFrames, uint32_t silenceBlocks)
{
    if (!CloseTrack(false) || !m_bAlbumOpen)
        return false;

    AudioCDTrackInfo track;
    track.path = m_folder + TrackFileName(m_album.tracks.size() + 1);
    track.preGap = preGapFrames;
    auto writer = std::make_unique<CAiffFileWrite>();
    if (writer->OpenFile(track.path.c_str(), kSampleRate, kBits, kChannels, 0) != kAudioFileOpened)
        return false;
    m_album.tracks.push_back(track);
    m_writer = std::move(writer);
    m_silenceBlocks = silenceBlocks;
    m_bTrackFailed = false;
    return true;
}

bool CAudioCDTempFileCreator::Fail()
{
    m_bTrackFailed = true;
    m_bWriteFailed = true;
    return false;
}

bool CAudioCDTempFileCreator::WriteBlocks(int32_t* const* frames, uint32_t offset, uint32_t n)
{
    int32_t* channels[kChannels] = {frames[0] + offset, frames[1] + offset};
    return m_writer->WriteAudioData(channels, n) == n || Fail();
}

bool CAudioCDTempFileCreator::WriteSilence(int64_t frames)
{
    int32_t* zeros[kChannels] = {g_zeros, g_zeros};
    while (frames > 0)
    {
        const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(frames, kZeroFrames));
        if (!WriteBlocks(zeros, 0, n))
            return false;
        frames -= n;
    }
    return true;
}

uint32_t CAudioCDTempFileCreator::WriteAudioData(int32_t** frames, uint32_t n)
{
    if (m_writer == nullptr || m_bTrackFailed || frames == nullptr)
        return 0;
    uint32_t done = 0;
    while (done < n)
    {
        // Whole blocks go straight to the file while nothing is held.
        if (m_blockFrames == 0 && n - done >= kFramesPerBlock)
        {
            const uint32_t whole = (n - done) / kFramesPerBlock * kFramesPerBlock;
            if (!WriteBlocks(frames, done, whole))
                return 0;
            done += whole;
            continue;
        }
        const uint32_t take = std::min(kFramesPerBlock - m_blockFrames, n - done);
        CPcmUtil::Copy(frames, m_blockPtrs, take, kChannels, done, m_blockFrames);
        m_blockFrames += take;
        done += take;
        if (m_blockFrames == kFramesPerBlock)
        {
            m_blockFrames = 0;
            if (!WriteBlocks(m_blockPtrs, 0, kFramesPerBlock))
                return 0;
        }
    }
    return n;
}

bool CAudioCDTempFileCreator::CloseTrack(bool gapless)
{
    if (m_writer == nullptr)
    {
        m_silenceBlocks = 0;
        return true;
    }
    bool ok = !m_bTrackFailed;
    const bool carry = gapless && m_silenceBlocks == 0 && m_writer->GetCurSamplePosition() >= kMinTrackFrames;
    if (!carry && ok)
    {
        ok = m_blockFrames == 0 || WriteBlocks(m_blockPtrs, 0, m_blockFrames);
        std::memset(m_block, 0, sizeof(m_block));
        m_blockFrames = 0;
        const int64_t partial = m_writer->GetCurSamplePosition() % kFramesPerBlock;
        const int64_t pad = partial == 0 ? 0 : kFramesPerBlock - partial;
        ok = ok && WriteSilence(pad + kFramesPerBlock * (1 + static_cast<int64_t>(m_silenceBlocks)));
        ok = ok && WriteSilence(kMinTrackFrames - m_writer->GetCurSamplePosition());
    }
    FinishRecord();
    ok = m_writer->CloseFile() && ok;
    m_writer.reset();
    m_silenceBlocks = 0;
    return ok || Fail();
}

void CAudioCDTempFileCreator::FinishRecord()
{
    AudioCDTrackInfo& track = m_album.tracks.back();
    CAudioMetaData* meta = m_writer->GetMetaDataPtr();
    track.title = meta->GetStringPtr(CAudioMetaData::kTitle)->GetReadPtrWChar();
    track.performer = meta->GetStringPtr(CAudioMetaData::kArtist)->GetReadPtrWChar();
    track.samples = m_writer->GetCurSamplePosition();
}

CMarker* CAudioCDTempFileCreator::GetMarkerPtrCurrentTrack()
{
    return m_writer != nullptr ? m_writer->GetMarkerPtr() : nullptr;
}

CAudioMetaData* CAudioCDTempFileCreator::GetMetaDataPtrCurrentTrack()
{
    return m_writer != nullptr ? m_writer->GetMetaDataPtr() : nullptr;
}

void CAudioCDTempFileCreator::Remove()
{
    if (m_writer != nullptr)
    {
        m_writer->RemoveFile();
        m_writer.reset();
    }
    for (const AudioCDTrackInfo& track : m_album.tracks)
        CFileUtil::RemoveFile(track.path.c_str());
    m_album = AudioCDAlbumTrackList();
    std::memset(m_block, 0, sizeof(m_block));
    m_blockFrames = 0;
    m_bAlbumOpen = false;
    m_bTrackFailed = false;
    m_bWriteFailed = false;
    m_silenceBlocks = 0;
}

void CAudioCDTempFileCreator::CloseDisc()
{
    Remove();
    m_folder.clear();
}

#include "common/file/CTrackRead.h"

#include "common/file/CAudioCDRead.h"
#include "common/file/CAudioCDReadWorkAroundLinux.h"
#include "common/file/CAudioDecodeTempFileManager.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/VextalFileUtil.h"
#include "library/util/CDsdUtil.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace
{
constexpr uint32_t kDefaultRate = 44100;
constexpr uint16_t kDefaultBits = 16;

void FillSilence(float** bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    CPcmUtil::FillSilence(bufs, n, channels, offset);
}

void FillSilence(int32_t** bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    CPcmUtil::FillSilence(bufs, n, channels, offset);
}

// 1-bit buffers: n and offset count samples, eight to a byte.
void FillSilence(uint8_t** bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    CDsdUtil::FillSilence(bufs, n / 8, channels, offset / 8, false);
}

// Whether a source holds the kind of samples a read asks for: a PCM source
// asked for 1-bit audio (or the reverse) delivers nothing by design, which is
// no sign of its audio ending.
template <typename T>
bool HoldsSamplesOfKind(CAudioPlayerInput* source)
{
    const bool oneBit = source->GetBitsPerSample() == 1;
    return std::is_same<T, uint8_t>::value ? oneBit : !oneBit;
}
} // namespace

CTrackRead::CTrackRead() = default;

CTrackRead::~CTrackRead()
{
    EjectAllFiles();
}

int64_t CTrackRead::SecondsToSample(double seconds, uint32_t rate)
{
    const double frame = std::trunc(seconds * static_cast<double>(rate));
    if (std::isnan(frame))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it is out of range.
    const double limit = 9223372036854775808.0;
    if (frame >= limit)
        return std::numeric_limits<int64_t>::max();
    if (frame <= -limit)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(frame);
}

uint32_t CTrackRead::GetSampleRate()
{
    return m_files.empty() ? kDefaultRate : m_files.front().reader->GetSampleRate();
}

uint16_t CTrackRead::GetBitsPerSample()
{
    return m_files.empty() ? kDefaultBits : m_files.front().reader->GetBitsPerSample();
}

uint16_t CTrackRead::GetNumChannels()
{
    uint16_t channels = 0;
    for (const File& f : m_files)
        channels = std::max(channels, f.reader->GetNumChannels());
    return channels;
}

uint32_t CTrackRead::GetBitRate()
{
    if (m_files.empty())
        return kDefaultRate * kDefaultBits;
    return m_files.front().reader->GetBitRate();
}

bool CTrackRead::IsLossless()
{
    return m_files.empty() || m_files.front().reader->IsLossless();
}

bool CTrackRead::IsCompressed()
{
    return !m_files.empty() && m_files.front().reader->IsCompressed();
}

bool CTrackRead::IsVBR()
{
    return !m_files.empty() && m_files.front().reader->IsVBR();
}

bool CTrackRead::IsFloatingPoint()
{
    return !m_files.empty() && m_files.front().reader->IsFloatingPoint();
}

int64_t CTrackRead::FileLength(size_t i)
{
    const File& f = m_files[i];
    const int64_t declared = std::max<int64_t>(0, f.reader->GetNumSamples());
    return f.endFound < 0 ? declared : std::min(declared, f.endFound);
}

int64_t CTrackRead::FilePosition(size_t i)
{
    return std::clamp<int64_t>(m_files[i].reader->GetCurSamplePosition(), 0, FileLength(i));
}

int64_t CTrackRead::GetNumSamples()
{
    int64_t total = 0;
    for (size_t i = 0; i < m_files.size(); ++i)
        total += FileLength(i);
    return total;
}

int64_t CTrackRead::GetCurSamplePosition()
{
    if (m_files.empty())
        return 0;
    int64_t pos = 0;
    for (size_t i = 0; i < m_currentFile; ++i)
        pos += FileLength(i);
    return pos + FilePosition(m_currentFile);
}

void CTrackRead::SetCurSamplePosition(int64_t frame)
{
    if (m_files.empty())
        return;
    int64_t pos = std::max<int64_t>(frame, 0);
    size_t i = 0;
    for (;; ++i)
    {
        const int64_t n = FileLength(i);
        if (n >= pos)
            break;
        if (i + 1 == m_files.size())
        {
            // Past the end: the end of the last file.
            pos = n;
            break;
        }
        pos -= n;
    }
    m_currentFile = static_cast<uint32_t>(i);
    m_files[i].reader->SetCurSamplePosition(pos);
    for (size_t j = i + 1; j < m_files.size(); ++j)
        m_files[j].reader->SetCurSamplePosition(0);
}

template <typename T>
uint32_t CTrackRead::Read(T** bufs, uint32_t n, uint32_t dstOffset)
{
    if (m_files.empty() || bufs == nullptr)
        return 0;
    uint32_t got = 0;
    while (got < n)
    {
        const size_t i = m_currentFile;
        CAudioFileReadBase* reader = m_files[i].reader;
        const int64_t left = FileLength(i) - FilePosition(i);
        if (left > 0)
        {
            const uint32_t ask = static_cast<uint32_t>(std::min<int64_t>(n - got, left));
            const uint32_t read = std::min(reader->ReadAudioData(bufs, ask, dstOffset + got), ask);
            got += read;
            if (got >= n)
                break;
            // A read error, audio still being prepared or a request for a kind
            // of samples the file does not hold end the call inside the file.
            if (read < ask && (reader->AudioDataReadErrorOccured() || reader->IsProcessingInternally() ||
                               !HoldsSamplesOfKind<T>(reader)))
                break;
            // Otherwise a file that still claims frames has delivered all it
            // has: its audio ends here.
            if (FileLength(i) - FilePosition(i) > 0)
                m_files[i].endFound = FilePosition(i);
        }
        if (i + 1 >= m_files.size())
            break;
        ++m_currentFile;
    }
    if (got < n)
        FillSilence(bufs, n - got, GetNumChannels(), dstOffset + got);
    return got;
}

uint32_t CTrackRead::ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset);
}

uint32_t CTrackRead::ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset);
}

uint32_t CTrackRead::ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset);
}

CAudioMetaData* CTrackRead::GetMetaDataPtr()
{
    return m_files.empty() ? CAudioPlayerInput::GetMetaDataPtr() : m_files.front().reader->GetMetaDataPtr();
}

bool CTrackRead::AudioDataReadErrorOccured()
{
    return !m_files.empty() && m_files[m_currentFile].reader->AudioDataReadErrorOccured();
}

bool CTrackRead::IsProcessingInternally()
{
    for (const File& f : m_files)
    {
        if (f.reader->IsProcessingInternally())
            return true;
    }
    return false;
}

void CTrackRead::GiveInternalProcessPriority()
{
    for (auto it = m_files.rbegin(); it != m_files.rend(); ++it)
        it->reader->GiveInternalProcessPriority();
}

double CTrackRead::GetInternalProcessPercent()
{
    double sum = 0.0;
    int count = 0;
    for (const File& f : m_files)
    {
        if (f.reader->IsProcessingInternally())
        {
            sum += f.reader->GetInternalProcessPercent();
            ++count;
        }
    }
    return count == 0 ? 0.0 : sum / count;
}

const char* CTrackRead::GetFormatUniqueID()
{
    return m_files.empty() ? "" : m_files.front().reader->GetFormatUniqueID();
}

bool CTrackRead::OpenTrack(const CPlaylistTrack* track)
{
    EjectAllFiles();
    if (track == nullptr)
        return false;
    for (int i = 0; i < track->GetNumFiles(); ++i)
    {
        const CPlaylistFile* part = track->GetFilePtr(static_cast<unsigned>(i));
        if (!AddAudioFile(part->GetFilePath(), part->GetAbsStartSample(), part->GetAbsStopSample(),
                          part->GetMediaUniqueID()))
        {
            EjectAllFiles();
            return false;
        }
    }
    return true;
}

CAudioFileReadBase* CTrackRead::CreateFileReader(const wchar_t* path)
{
    return VextalFileUtil::CreateAudioFileReadObject(path, true);
}

CAudioFileReadBase* CTrackRead::OpenCDTrack(CAudioFileReadBase* reader, const wchar_t* path, int64_t absStart)
{
    auto* disc = static_cast<CAudioCDRead*>(reader);
    const int track = disc->GetTrackNumber(absStart);
    const int64_t trackStart = disc->GetTrackStartPosition(track);
    delete reader;

    auto* trackReader = new CAudioCDReadWorkAroundLinux(false);
    if (trackReader->OpenTrack(path, track, trackStart) != kAudioFileOpened)
    {
        delete trackReader;
        return nullptr;
    }
    return trackReader;
}

bool CTrackRead::AddAudioFile(const wchar_t* path, int64_t absStart, int64_t absStop, int mediaId)
{
    if (path == nullptr)
        return false;
    CAudioFileReadBase* reader = CreateFileReader(path);
    if (reader == nullptr)
        return false;

    bool fits = mediaId == 0 || reader->GetMediaUniqueID() == mediaId;
    if (fits && !m_files.empty())
    {
        CAudioFileReadBase* first = m_files.front().reader;
        fits = reader->GetSampleRate() == first->GetSampleRate() &&
               reader->GetNumChannels() == first->GetNumChannels();
    }
    if (!fits)
    {
        ReleaseReader(reader);
        return false;
    }

    // A song that plays from an audio CD reads the disc one track at a time.
    if (dynamic_cast<CAudioCDRead*>(reader) != nullptr)
    {
        reader = OpenCDTrack(reader, path, absStart);
        if (reader == nullptr)
            return false;
    }

    reader->ExtractData(absStart, absStop);

    // The new file's markers move by the duration of the files before it.
    const int64_t framesBefore = GetNumSamples();
    m_files.push_back({reader, path, -1});
    const uint32_t rate = GetSampleRate();
    const double offset = rate == 0 ? 0.0 : static_cast<double>(framesBefore) / rate;
    const CMarker* markers = reader->GetMarkerPtr();
    for (int i = 0; i < markers->GetNumMarkers(); ++i)
        m_markers.Add(markers->GetMarkerTimeSecond(i) + offset);
    return true;
}

void CTrackRead::ReleaseReader(CAudioFileReadBase* reader)
{
    // A reader still preparing its audio in the background may not be
    // destroyed yet; the decode manager deletes it once it is done.
    if (reader->IsProcessingInternally())
        CAudioDecodeTempFileManager::GetInstance()->Delete(reader);
    else
        delete reader;
}

void CTrackRead::EjectAllFiles()
{
    for (File& f : m_files)
        ReleaseReader(f.reader);
    m_files.clear();
    m_currentFile = 0;
}

void CTrackRead::DividePlaylist(CPlaylistTrack* first, CPlaylistTrack* second, double seconds)
{
    DividePlaylistAtSample(first, second, SecondsToSample(seconds, GetSampleRate()));
}

void CTrackRead::DividePlaylistAtSample(CPlaylistTrack* first, CPlaylistTrack* second, int64_t frame)
{
    if (first != nullptr)
        first->DeleteAll();
    if (second != nullptr)
        second->DeleteAll();

    int64_t pos = frame;
    // 1-bit audio is cut on a byte of eight samples.
    if (GetBitsPerSample() == 1)
        pos &= ~int64_t{7};

    for (size_t i = 0; i < m_files.size(); ++i)
    {
        CAudioFileReadBase* reader = m_files[i].reader;
        const wchar_t* path = m_files[i].path.c_str();
        const int64_t n = FileLength(i);
        const int64_t s = reader->GetAbsStartSample();
        const int id = reader->GetMediaUniqueID();
        if (pos >= n)
        {
            if (first != nullptr)
                first->CreateNewFile()->SetFile(path, s, s + n, id);
        }
        else if (pos > 0)
        {
            if (first != nullptr)
                first->CreateNewFile()->SetFile(path, s, s + pos, id);
            if (second != nullptr)
                second->CreateNewFile()->SetFile(path, s + pos, s + n, id);
        }
        else if (second != nullptr)
        {
            second->CreateNewFile()->SetFile(path, s, s + n, id);
        }
        // Stays far from overflow: n never exceeds the file's frames.
        if (pos > std::numeric_limits<int64_t>::min() + n)
            pos -= n;
    }
}

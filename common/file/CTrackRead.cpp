#include "common/file/CTrackRead.h"

#include "common/file/CAudioCDRead.h"
#include "common/file/CAudioCDReadWorkAroundLinux.h"
#include "common/file/CAudioDecodeTempFileManager.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/VextalFileUtil.h"

#include <cmath>
#include <limits>

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

const char* CTrackRead::GetFormatUniqueID()
{
    return GetNumParts() == 0 ? "" : GetReader(0)->GetFormatUniqueID();
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

std::unique_ptr<CAudioFileReadBase> CTrackRead::CreateFileReader(const wchar_t* path)
{
    return std::unique_ptr<CAudioFileReadBase>(VextalFileUtil::CreateAudioFileReadObject(path, true));
}

std::unique_ptr<CAudioFileReadBase> CTrackRead::OpenCDTrack(std::unique_ptr<CAudioFileReadBase> disc,
                                                            const wchar_t* path, int64_t absStart)
{
    auto* cd = static_cast<CAudioCDRead*>(disc.get());
    const int track = cd->GetTrackNumber(absStart);
    const int64_t trackStart = cd->GetTrackStartPosition(track);
    disc.reset();

    auto trackReader = std::make_unique<CAudioCDReadWorkAroundLinux>(false);
    if (trackReader->OpenTrack(path, track, trackStart) != kAudioFileOpened)
        return nullptr;
    return trackReader;
}

bool CTrackRead::AddAudioFile(const wchar_t* path, int64_t absStart, int64_t absStop, int mediaId)
{
    if (path == nullptr)
        return false;
    std::unique_ptr<CAudioFileReadBase> reader = CreateFileReader(path);
    if (reader == nullptr)
        return false;

    bool fits = mediaId == 0 || reader->GetMediaUniqueID() == mediaId;
    if (fits && GetNumParts() > 0)
    {
        CAudioFileReadBase* first = GetReader(0);
        fits = reader->GetSampleRate() == first->GetSampleRate() &&
               reader->GetNumChannels() == first->GetNumChannels();
    }
    if (!fits)
    {
        DisposePart(std::move(reader));
        return false;
    }

    // A song that plays from an audio CD reads the disc one track at a time.
    if (dynamic_cast<CAudioCDRead*>(reader.get()) != nullptr)
    {
        reader = OpenCDTrack(std::move(reader), path, absStart);
        if (reader == nullptr)
            return false;
    }

    reader->ExtractData(absStart, absStop);

    // The new file's markers move by the duration of the files before it.
    const int64_t framesBefore = GetNumSamples();
    const CMarker* markers = reader->GetMarkerPtr();
    AppendPart(std::move(reader));
    m_paths.emplace_back(path);
    const uint32_t rate = GetSampleRate();
    const double offset = rate == 0 ? 0.0 : static_cast<double>(framesBefore) / rate;
    for (int i = 0; i < markers->GetNumMarkers(); ++i)
        m_markers.Add(markers->GetMarkerTimeSecond(i) + offset);
    return true;
}

void CTrackRead::DisposePart(std::unique_ptr<CAudioPlayerInput> part)
{
    // A reader still preparing its audio in the background may not be
    // destroyed yet; the decode manager deletes it once it is done.
    if (part != nullptr && part->IsProcessingInternally())
        CAudioDecodeTempFileManager::GetInstance()->Delete(static_cast<CAudioFileReadBase*>(part.release()));
}

void CTrackRead::EjectAllFiles()
{
    ClearParts();
    m_paths.clear();
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

    for (size_t i = 0; i < GetNumParts(); ++i)
    {
        CAudioFileReadBase* reader = GetReader(i);
        const wchar_t* path = m_paths[i].c_str();
        const int64_t n = GetPartLength(i);
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

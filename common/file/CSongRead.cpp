#include "common/file/CSongRead.h"

#include "common/file/CChannelGroupRead.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/CTrackRead.h"

#include <limits>

CSongRead::CSongRead() = default;

CSongRead::~CSongRead()
{
    EjectAllFiles();
}

CChannelGroupRead* CSongRead::GetSection(size_t i) const
{
    return static_cast<CChannelGroupRead*>(GetPart(i));
}

const char* CSongRead::GetFormatUniqueID()
{
    return GetNumParts() == 0 ? "" : GetSection(0)->GetFormatUniqueID();
}

std::unique_ptr<CChannelGroupRead> CSongRead::CreateSectionStream()
{
    return std::make_unique<CChannelGroupRead>();
}

bool CSongRead::OpenSong(const CPlaylistSong* song, bool markersFromFiles)
{
    EjectAllFiles();
    if (song == nullptr)
        return false;
    for (int i = 0; i < song->GetNumSections(); ++i)
    {
        std::unique_ptr<CChannelGroupRead> created = CreateSectionStream();
        CChannelGroupRead* group = created.get();
        AppendPart(std::move(created));
        group->SetOutputBufferChannels(m_outputChannels);
        if (!group->OpenSection(song->GetSectionPtr(static_cast<unsigned>(i))))
        {
            EjectAllFiles();
            return false;
        }
    }
    for (size_t i = 0; i < GetNumParts(); ++i)
    {
        if (GetSection(i)->GetSampleRate() != GetSampleRate())
        {
            EjectAllFiles();
            return false;
        }
    }

    if (markersFromFiles)
    {
        double offset = 0.0;
        for (size_t i = 0; i < GetNumParts(); ++i)
        {
            const CMarker* markers = GetSection(i)->GetMarkerPtr();
            for (int m = 0; m < markers->GetNumMarkers(); ++m)
                m_markers.Add(markers->GetMarkerTimeSecond(m) + offset);
            offset += GetSection(i)->GetTotalTimeSecond();
        }
    }
    else
    {
        m_markers.CopyAll(song->GetMarkerPtr());
    }
    return true;
}

void CSongRead::EjectAllFiles()
{
    ClearParts();
    m_markers.DeleteAll();
}

uint16_t CSongRead::SetOutputBufferChannels(uint16_t n)
{
    m_outputChannels = n;
    for (size_t i = 0; i < GetNumParts(); ++i)
        GetSection(i)->SetOutputBufferChannels(n);
    return n;
}

void CSongRead::DividePlaylist(CPlaylistSong* first, CPlaylistSong* second, double seconds)
{
    if (first == nullptr || second == nullptr)
        return;
    first->DeleteAll();
    second->DeleteAll();

    // The cut is counted in frames of the stream, so that no rounding of
    // section durations moves it.
    int64_t pos = CTrackRead::SecondsToSample(seconds, GetSampleRate());
    for (size_t i = 0; i < GetNumParts(); ++i)
    {
        CPlaylistSection* before = first->CreateNewSection();
        CPlaylistSection* after = second->CreateNewSection();
        GetSection(i)->DividePlaylistAtSample(before, after, pos);
        const int64_t n = GetPartLength(i);
        if (pos > std::numeric_limits<int64_t>::min() + n)
            pos -= n;
        if (before->GetNumTracks() == 0)
            first->DeleteLast();
        if (after->GetNumTracks() == 0)
            second->DeleteLast();
    }
    m_markers.DivideMarkerList(first->GetMarkerPtr(), second->GetMarkerPtr(), seconds);
}

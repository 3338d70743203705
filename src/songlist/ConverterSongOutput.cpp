#include "src/songlist/ConverterSongOutput.h"

#include "common/disc/CAudioDiscBurnBase.h"
#include "common/file/CSongWrite.h"

namespace Vextal
{
// ---------------------------------------------------------------------------
// File export

ConverterFileOutput::ConverterFileOutput(int songIndex, std::unique_ptr<CSongWrite> writer)
    : ConverterSongOutput(songIndex), m_writer(std::move(writer))
{
}

ConverterFileOutput::~ConverterFileOutput() = default;

CAudioRecorderOutput& ConverterFileOutput::Sink()
{
    return *m_writer;
}

bool ConverterFileOutput::Complete()
{
    return m_writer->EjectAllFiles();
}

void ConverterFileOutput::Discard()
{
    m_writer->RemoveFile();
}

// ---------------------------------------------------------------------------
// Disc burn

ConverterBurnerTrack::ConverterBurnerTrack(int songIndex, CAudioDiscBurnBase& burner, const Track& track)
    : ConverterSongOutput(songIndex), m_burner(burner), m_track(track)
{
}

ConverterBurnerTrack::~ConverterBurnerTrack() = default;

bool ConverterBurnerTrack::Complete()
{
    return Open();
}

uint32_t ConverterBurnerTrack::GetSampleRate()
{
    return m_burner.GetSampleRate();
}

uint16_t ConverterBurnerTrack::GetNumChannels()
{
    return m_burner.GetNumChannels();
}

uint16_t ConverterBurnerTrack::GetBitsPerSample()
{
    return m_burner.GetBitsPerSample();
}

bool ConverterBurnerTrack::IsFloatingPoint()
{
    return m_burner.IsFloatingPoint();
}

bool ConverterBurnerTrack::CanDoGapless()
{
    return m_burner.CanDoGapless();
}

uint32_t ConverterBurnerTrack::WriteAudioData(float** bufs, uint32_t n)
{
    return Open() ? m_burner.WriteAudioData(bufs, n) : 0;
}

uint32_t ConverterBurnerTrack::WriteAudioData(int32_t** bufs, uint32_t n)
{
    return Open() ? m_burner.WriteAudioData(bufs, n) : 0;
}

uint32_t ConverterBurnerTrack::WriteAudioData(uint8_t** bufs, uint32_t n)
{
    return Open() ? m_burner.WriteAudioData(bufs, n) : 0;
}

void ConverterBurnerTrack::SetMetaDataFixed()
{
    m_metaDataFixed = true;
    if (m_open)
        HandMetaData();
}

bool ConverterBurnerTrack::Open()
{
    if (m_tried)
        return m_open;
    m_tried = true;
    m_open = m_burner.OpenTrack(m_track.title.toWideCharPointer(), m_track.connectedFromPrevious,
                                m_track.isLast, m_track.gapSeconds, m_track.secondGapSeconds) == 0;
    if (m_open && m_metaDataFixed)
        HandMetaData();
    return m_open;
}

void ConverterBurnerTrack::HandMetaData()
{
    m_burner.GetMetaDataPtr()->CopyAll(&m_metaData);
    m_burner.GetMarkerPtr()->CopyAll(&m_markers);
    m_burner.SetMetaDataFixed();
}
} // namespace Vextal

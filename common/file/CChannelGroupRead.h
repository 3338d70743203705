#pragma once

#include "common/file/CAudioPlayerInput.h"

#include <cstdint>
#include <memory>
#include <vector>

class CPlaylistSection;
class CTrackRead;

// One section of the song model opened as a single audio source: one track
// stream per track, their channels side by side in track order and fitted to
// the channel count the consumer's buffers have.
//
// Fitting: channels beyond the output count are read and dropped; a mono
// section is duplicated into output channel 1; any output channel no track
// fills is silence. A shorter track's channels are silence after its end.
//
// Every track must have track 0's sample rate; channel counts, bit depths and
// lengths may differ. While no track is open the group reports 44100 Hz,
// 16 bits, 0 channels, 0 frames and lossless, and reads deliver silence.
class CChannelGroupRead : public CAudioPlayerInput
{
public:
    CChannelGroupRead();
    ~CChannelGroupRead() override;

    uint32_t GetSampleRate() override;
    uint16_t GetBitsPerSample() override;
    // The sum of the tracks' channel counts (before fitting).
    uint16_t GetNumChannels() override;
    uint32_t GetBitRate() override;
    bool IsLossless() override;
    bool IsCompressed() override;
    bool IsVBR() override;
    bool IsFloatingPoint() override;
    // The longest track's length and position.
    int64_t GetNumSamples() override;
    int64_t GetCurSamplePosition() override;
    // Every track seeks to the frame.
    void SetCurSamplePosition(int64_t frame) override;

    // bufs holds one buffer per output channel; the returned count is the
    // largest any track delivered.
    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override;
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override;
    uint32_t ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset) override;

    // Track 0's markers and song information while a track is open.
    CMarker* GetMarkerPtr() override;
    CAudioMetaData* GetMetaDataPtr() override;
    bool AudioDataReadErrorOccured() override;
    bool IsProcessingInternally() override;
    void GiveInternalProcessPriority() override;
    double GetInternalProcessPercent() override;

    // Track 0's format id; empty while no track is open.
    const char* GetFormatUniqueID();

    // The channel count of the buffers given to ReadAudioData (2 by default);
    // returns n. It survives reopening.
    uint16_t SetOutputBufferChannels(uint16_t n);
    uint16_t GetOutputBufferChannels() const { return m_outputChannels; }

    // Opens every track of the section; false, with nothing left open, when
    // a track fails, the tracks' rates differ or the section has no track.
    bool OpenSection(const CPlaylistSection* section);
    void EjectAllFiles();

    // Writes into two section models the tracks before and after a time of
    // the group. A track wholly on one side appears only in that side's
    // section, so the two can have different track counts.
    void DividePlaylist(CPlaylistSection* first, CPlaylistSection* second, double seconds);
    // The same at a frame of the group.
    void DividePlaylistAtSample(CPlaylistSection* first, CPlaylistSection* second, int64_t frame);

protected:
    // Creates the stream of one track.
    virtual std::unique_ptr<CTrackRead> CreateTrackStream();

private:
    template <typename T>
    uint32_t Read(T** bufs, uint32_t n, uint32_t dstOffset, std::vector<T*>& channelPtrs);

    std::vector<std::unique_ptr<CTrackRead>> m_tracks;
    // Per-track views of the output buffers, one entry per channel of the
    // widest track.
    std::vector<float*> m_floatPtrs;
    std::vector<int32_t*> m_intPtrs;
    std::vector<uint8_t*> m_bitPtrs;
    uint16_t m_outputChannels = 2;
};

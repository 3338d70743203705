#pragma once

#include "common/file/CAudioPlayerInput.h"

#include <cstdint>
#include <vector>

class CChannelGroupRead;
class CPlaylistSong;

// A whole song of the song model opened as one audio source: its sections
// play one after another, and positions, length, markers and reads run across
// the section joins. Every read delivers exactly the output channel count
// (2 by default).
//
// All sections must share section 0's sample rate; their channel counts may
// differ. A section that delivers fewer frames than it declared is taken to
// end where its audio ended, so that the song always reaches its end.
//
// While no section is open the song reports 44100 Hz, 16 bits, 0 channels,
// 0 frames and lossless, and reads deliver silence.
class CSongRead : public CAudioPlayerInput
{
public:
    CSongRead();
    ~CSongRead() override;

    uint32_t GetSampleRate() override;
    uint16_t GetBitsPerSample() override;
    // The largest channel count of the sections (before fitting).
    uint16_t GetNumChannels() override;
    uint32_t GetBitRate() override;
    bool IsLossless() override;
    bool IsCompressed() override;
    bool IsVBR() override;
    bool IsFloatingPoint() override;
    int64_t GetNumSamples() override;
    int64_t GetCurSamplePosition() override;
    // A position past the end goes to the end of the last section; a position
    // exactly at a join selects the earlier section at its end.
    void SetCurSamplePosition(int64_t frame) override;

    // bufs holds one buffer per output channel. A read that crosses a join
    // continues into the next section in the same call.
    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override;
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override;
    uint32_t ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset) override;

    // Section 0's song information (the song's first file's) while open.
    CAudioMetaData* GetMetaDataPtr() override;
    bool AudioDataReadErrorOccured() override;
    bool IsProcessingInternally() override;
    void GiveInternalProcessPriority() override;
    double GetInternalProcessPercent() override;

    // The format id of the song's first file; empty while nothing is open.
    const char* GetFormatUniqueID();
    int GetNumSections() const { return static_cast<int>(m_sections.size()); }

    // Opens every section of the song; false, with nothing left open, when a
    // section fails or the sections' rates differ. The markers are the
    // files' (markersFromFiles) or a copy of the song model's. The model is
    // read only during the call. A song without sections opens empty.
    bool OpenSong(const CPlaylistSong* song, bool markersFromFiles);
    // Releases every section and deletes the markers.
    void EjectAllFiles();
    // Stores n and hands it to every open section; returns n.
    uint16_t SetOutputBufferChannels(uint16_t n);

    // Writes into two song models everything before and everything from a
    // time of the stream, with the markers split at that time.
    void DividePlaylist(CPlaylistSong* first, CPlaylistSong* second, double seconds);

protected:
    // Creates the stream of one section.
    virtual CChannelGroupRead* CreateSectionStream();

private:
    struct Section
    {
        CChannelGroupRead* group;
        // Where the section's audio turned out to end; -1 while unknown.
        int64_t endFound;
    };

    int64_t SectionLength(size_t i);
    int64_t SectionPosition(size_t i);

    template <typename T>
    uint32_t Read(T** bufs, uint32_t n, uint32_t dstOffset);

    std::vector<Section> m_sections;
    uint32_t m_currentSection = 0;
    uint16_t m_outputChannels = 2;
};

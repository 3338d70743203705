#pragma once

#include "common/file/CSequenceReadBase.h"

#include <memory>

#include <cstdint>

class CChannelGroupRead;
class CPlaylistSong;

// A whole song of the song model opened as one audio source: its sections
// play one after another, and positions, length, markers and reads run across
// the section joins (the sequence base, one part per section). Every read
// delivers exactly the output channel count (2 by default): bufs holds one
// buffer per output channel, and GetNumChannels() is the largest channel
// count of the sections before fitting.
//
// All sections must share section 0's sample rate; their channel counts may
// differ. A section that delivers fewer frames than it declared is taken to
// end where its audio ended, so that the song always reaches its end.
//
// While no section is open the song reports 44100 Hz, 16 bits, 0 channels,
// 0 frames and lossless, and reads deliver silence.
class CSongRead : public CSequenceReadBase
{
public:
    CSongRead();
    ~CSongRead() override;

    // The format id of the song's first file; empty while nothing is open.
    // (GetMetaDataPtr() likewise gives the song's first file's information.)
    const char* GetFormatUniqueID();
    int GetNumSections() const { return static_cast<int>(GetNumParts()); }

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
    virtual std::unique_ptr<CChannelGroupRead> CreateSectionStream();
    // Silence fills every output channel.
    uint16_t GetSilenceChannels() override { return m_outputChannels; }

private:
    // The stream of section i (every part is one).
    CChannelGroupRead* GetSection(size_t i) const;

    uint16_t m_outputChannels = 2;
};

#pragma once

#include "src/songlist/TrackReader.h"

#include <juce_core/juce_core.h>

#include <memory>

class CAudioCDRead;
class CCddbReadImp;

namespace Vextal
{
// One song per audio track of an audio CD, named by its volume path (a drive
// or a disc image, see CAudioCDPath): each song plays its track from the
// disc, with the track's CD-Text, and the disc's title reader fills the
// texts CD-Text left empty. A song is named after its title, else
// "DiscOpen_SongNamePrefix" and the track number in two digits. A path that
// names no audio CD yields nothing.
class AudioCDTrackReader : public TrackReader
{
public:
    // The size of the text buffers of the title reader, in characters.
    static constexpr int kTextBufferSize = 1024;

    explicit AudioCDTrackReader(const juce::String& volumePath);
    ~AudioCDTrackReader() override;

    bool isReady() const override;
    std::unique_ptr<TrackInfo> next() override;
    double getCurrentProgress() const override;

private:
    void fillTitles(TrackInfo& song, int track);

    std::unique_ptr<CAudioCDRead> m_cd;
    std::unique_ptr<CCddbReadImp> m_titles;
    int m_index = 0;
    juce::String m_albumTitle;
    juce::String m_albumArtist;
};
} // namespace Vextal

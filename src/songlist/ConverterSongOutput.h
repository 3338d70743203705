#pragma once

#include "common/file/CAudioRecorderOutput.h"

#include <juce_core/juce_core.h>

#include <cstdint>
#include <memory>

class CAudioDiscBurnBase;
class CSongWrite;

namespace Vextal
{
// What the converter thread renders one song into: the sink the export
// converter writes, and how the song's output is completed or discarded.
// The thread keeps it while the converter may still write to it (a song
// joined to the next one without a gap is owed its last frames until the
// next songs have fed enough input).
//
// Threads. Created, written, completed and discarded on the converter
// thread only.
class ConverterSongOutput
{
public:
    explicit ConverterSongOutput(int songIndex) : m_songIndex(songIndex) {}
    virtual ~ConverterSongOutput() = default;

    ConverterSongOutput(const ConverterSongOutput&) = delete;
    ConverterSongOutput& operator=(const ConverterSongOutput&) = delete;

    // The songlist index of the song.
    int GetSongIndex() const { return m_songIndex; }
    virtual CAudioRecorderOutput& Sink() = 0;
    // Puts the completed output in place; false when that fails.
    virtual bool Complete() = 0;
    // Takes away what was written (an incomplete output).
    virtual void Discard() = 0;

private:
    const int m_songIndex;
};

// The output of a file export: a song writer (its file or files). Complete
// is the writer's final close, which puts the files in place; Discard removes
// them and leaves every existing file as it was.
class ConverterFileOutput final : public ConverterSongOutput
{
public:
    ConverterFileOutput(int songIndex, std::unique_ptr<CSongWrite> writer);
    ~ConverterFileOutput() override;

    CAudioRecorderOutput& Sink() override;
    bool Complete() override;
    void Discard() override;

private:
    std::unique_ptr<CSongWrite> m_writer;
};

// The output of a disc burn: one track of the burner (borrowed), seen as a
// sink of its own. The burner has one open track at a time, and a song
// joined without a gap to the one before it receives that song's last
// frames first; so the track is opened (OpenTrack) only when the song's own
// first frame arrives, or when the song is completed without any. The song's
// markers and information reach the burner's new track when it opens.
//
// Discard leaves the burner as it is: the staged disc belongs to the burn
// session, which throws it away.
class ConverterBurnerTrack final : public ConverterSongOutput, public CAudioRecorderOutput
{
public:
    // What OpenTrack is given.
    struct Track
    {
        juce::String title;
        bool connectedFromPrevious = false;
        bool isLast = false;
        float gapSeconds = 0.0f;
        float secondGapSeconds = 0.0f;
    };

    ConverterBurnerTrack(int songIndex, CAudioDiscBurnBase& burner, const Track& track);
    ~ConverterBurnerTrack() override;

    CAudioRecorderOutput& Sink() override { return *this; }
    // Opens the track if no frame did; false when it could not be opened.
    bool Complete() override;
    void Discard() override {}

    // The sink: the burner's format; writes open the track first and write
    // nothing when it cannot be opened.
    void RemoveFile() override {}
    uint32_t GetSampleRate() override;
    uint16_t GetNumChannels() override;
    uint16_t GetBitsPerSample() override;
    bool IsFloatingPoint() override;
    bool CanDoGapless() override;
    uint32_t WriteAudioData(float** bufs, uint32_t n) override;
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override;
    uint32_t WriteAudioData(uint8_t** bufs, uint32_t n) override;
    void SetMetaDataFixed() override;

private:
    // Opens the track once; whether it is open.
    bool Open();
    // Hands the song's markers and information to the open track.
    void HandMetaData();

    CAudioDiscBurnBase& m_burner;
    const Track m_track;
    bool m_tried = false;
    bool m_open = false;
    bool m_metaDataFixed = false;
};
} // namespace Vextal

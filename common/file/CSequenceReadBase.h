#pragma once

#include "common/file/CAudioPlayerInput.h"

#include <cstdint>
#include <memory>
#include <vector>

// An audio source made of parts, other sources that play back to back:
// positions, length and reads run straight across the joins. The format
// (rate, bits, bit rate, lossless and so on) and the song information are
// part 0's.
//
// A part that delivers fewer frames than it declared (a read that comes up
// short without a read error, without audio still being prepared and while
// the part holds the kind of samples asked for) is taken to end where its
// audio ended: the stream's length shrinks by the missing frames and reading
// goes on with the next part, so that the stream always reaches its end.
//
// While there are no parts the stream reports 44100 Hz, 16 bits, 0 channels,
// 0 frames and lossless.
//
// The stream owns its parts. The derived class creates them and decides how
// each is released (DisposePart); it must clear the parts in its own
// destructor, while its DisposePart is still the one that runs.
class CSequenceReadBase : public CAudioPlayerInput
{
public:
    ~CSequenceReadBase() override;

    uint32_t GetSampleRate() override;
    uint16_t GetBitsPerSample() override;
    // The largest channel count of the parts.
    uint16_t GetNumChannels() override;
    uint32_t GetBitRate() override;
    bool IsLossless() override;
    bool IsCompressed() override;
    bool IsVBR() override;
    bool IsFloatingPoint() override;
    int64_t GetNumSamples() override;
    int64_t GetCurSamplePosition() override;
    // A position past the end goes to the end of the last part; a position
    // exactly at a join selects the earlier part at its end.
    void SetCurSamplePosition(int64_t frame) override;

    // The buffers are written from dstOffset on; a read that crosses a join
    // continues into the next part in the same call. Frames the parts cannot
    // deliver are silence in GetSilenceChannels() channels.
    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override;
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override;
    uint32_t ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset) override;

    CAudioMetaData* GetMetaDataPtr() override;
    // The current part's read error.
    bool AudioDataReadErrorOccured() override;
    bool IsProcessingInternally() override;
    void GiveInternalProcessPriority() override;
    // The mean over the parts still preparing their audio.
    double GetInternalProcessPercent() override;

protected:
    CSequenceReadBase();

    // The channel count of the buffers a read fills with silence.
    virtual uint16_t GetSilenceChannels() { return GetNumChannels(); }

    size_t GetNumParts() const { return m_parts.size(); }
    CAudioPlayerInput* GetPart(size_t i) const { return m_parts[i].source.get(); }
    // Appends a part after the last one and takes it over.
    void AppendPart(std::unique_ptr<CAudioPlayerInput> source);
    // Releases every part through DisposePart and goes back to the start.
    void ClearParts();
    // Releases one part; by default it is destroyed.
    virtual void DisposePart(std::unique_ptr<CAudioPlayerInput> part) { part.reset(); }
    // The frames of part i, as far as they can be read.
    int64_t GetPartLength(size_t i);

private:
    struct Part
    {
        std::unique_ptr<CAudioPlayerInput> source;
        // Where the part's audio turned out to end; -1 while it is unknown
        // (the declared length holds).
        int64_t endFound;
    };

    // Part i's position, at most its length.
    int64_t GetPartPosition(size_t i);

    template <typename T>
    uint32_t Read(T** bufs, uint32_t n, uint32_t dstOffset);

    std::vector<Part> m_parts;
    uint32_t m_currentPart = 0;
};

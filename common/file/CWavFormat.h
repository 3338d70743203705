#pragma once

#include <cstdint>

// The header fields of a RIFF WAVE file with a plain 16-byte format chunk.
// The setters keep the derived values (block align, average bytes per second)
// current.
class CWavFormat
{
public:
    static constexpr uint16_t kTagPcm = 1;
    static constexpr uint16_t kTagFloat = 3;
    static constexpr uint32_t kHeaderSize = 44;

    CWavFormat();
    virtual ~CWavFormat();

    // "RIFF", 36, "WAVE", "fmt ", 16, tag 1, 2 channels, 44100 Hz, 16 bits,
    // "data", 0.
    void Initialize();

    // (bits / 8) x channels, truncated to 16 bits.
    uint16_t CalcBlockAlign() const;
    // (bits / 8) x rate x channels, truncated to 32 bits.
    uint32_t CalcAvgBytesPerSec() const;
    // Whole frames in the data chunk; 0 while the block align is 0.
    int64_t GetNumSamples() const;

    void SetSampleRate(uint32_t rate);
    // Also sets the tag: 1 below 32 bits, 3 (float) at 32 bits.
    void SetBitsPerSample(uint16_t bits);
    void SetNumChannels(uint16_t channels);

    uint32_t GetSampleRate() const { return m_sampleRate; }
    uint16_t GetBitsPerSample() const { return m_bitsPerSample; }
    uint16_t GetNumChannels() const { return m_channels; }
    uint16_t GetFormatTag() const { return m_formatTag; }
    uint16_t GetBlockAlign() const { return m_blockAlign; }
    uint32_t GetAvgBytesPerSec() const { return m_avgBytesPerSec; }

    // Whether the fields describe audio this system reads: consistent block
    // align and byte rate, one of the rates 44100 .. 192000, 16 or 24 bits of
    // integer PCM or 32 bits of float, and one or two channels.
    bool IsSupportedFormat() const;

protected:
    char m_riffID[4];
    uint32_t m_riffSize;
    char m_formType[4];
    char m_fmtID[4];
    uint32_t m_fmtSize;
    uint16_t m_formatTag;
    uint16_t m_channels;
    uint32_t m_sampleRate;
    uint32_t m_avgBytesPerSec;
    uint16_t m_blockAlign;
    uint16_t m_bitsPerSample;
    char m_dataID[4];
    uint32_t m_dataSize;
};

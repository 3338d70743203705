#pragma once

#include <cstdint>

// The header fields of a FORM/AIFF file: the COMM chunk (channels, frames,
// bits and the sample rate as a 10-byte extended float) and the head of the
// SSND chunk. All integers are big-endian in the file.
class CAiffFormat
{
public:
    static constexpr uint32_t kRateBytes = 10;
    // "FORM", size, "AIFF", the COMM chunk of 18 bytes and the SSND header
    // with its offset and block size.
    static constexpr uint32_t kHeaderSize = 54;
    static constexpr uint32_t kCommBodySize = 18;

    CAiffFormat();
    virtual ~CAiffFormat();

    // FORM size 46, COMM size 18, 2 channels, 0 frames, 16 bits, 44100 Hz,
    // SSND size 8, offset 0, block size 0.
    void Initialize();

    // channels x (bits / 8).
    uint16_t GetBlockAlign() const;

    // The rate the 10 bytes describe, in whole Hz (fractions are dropped); 0
    // for a value that is not a positive number from 2 Hz to below 2^30 Hz.
    static uint32_t ExtendedToRate(const uint8_t* bytes);
    // The exact extended value of one of the rates 44100, 48000, 88200,
    // 96000, 176400 and 192000; false, with ten zero bytes, for any other.
    static bool RateToExtended(uint32_t rate, uint8_t* bytes);
    // Whether the rate is one of the six above.
    static bool IsSupportedSampleRate(uint32_t rate);

    uint32_t GetSampleRate() const { return ExtendedToRate(m_sampleRate); }
    // False for a rate RateToExtended cannot encode (the rate then reads as 0).
    bool SetSampleRate(uint32_t rate) { return RateToExtended(rate, m_sampleRate); }
    uint16_t GetBitsPerSample() const { return m_bitsPerSample; }
    uint16_t GetNumChannels() const { return m_channels; }
    uint32_t GetNumSampleFrames() const { return m_sampleFrames; }
    const uint8_t* GetSampleRateBytes() const { return m_sampleRate; }

    // Whether the fields describe audio this system reads: one of the six
    // rates, 16 or 24 bits and one or two channels.
    bool IsSupportedFormat() const;

protected:
    char m_formID[4];
    uint32_t m_formSize;
    char m_formType[4];
    char m_commID[4];
    uint32_t m_commSize;
    uint16_t m_channels;
    uint32_t m_sampleFrames;
    uint16_t m_bitsPerSample;
    uint8_t m_sampleRate[kRateBytes];
    char m_ssndID[4];
    uint32_t m_ssndSize;
    uint32_t m_ssndOffset;
    uint32_t m_ssndBlockSize;
};

#pragma once

#include "common/file/CAudioRecorderOutput.h"

#include <cstdint>
#include <vector>

// The word-length stage of an export.
enum eOutputProcessType : int32_t
{
    kOutputProcessNone = 0,
    kOutputProcessTpdfDither = 1,
    kOutputProcessNoiseShapedDither = 2,
};

// The last stage of an export: takes converted blocks and writes them to the
// sink, reducing their word length to the sink's on the way (or not). Every
// write returns what the sink's write returns: the frames written, fewer than
// asked when the sink failed, and 0 when no sink is set.
class CAudioRecorderOutputProcessBase
{
public:
    CAudioRecorderOutputProcessBase() = default;
    virtual ~CAudioRecorderOutputProcessBase();

    CAudioRecorderOutputProcessBase(const CAudioRecorderOutputProcessBase&) = delete;
    CAudioRecorderOutputProcessBase& operator=(const CAudioRecorderOutputProcessBase&) = delete;

    // The sink to write to (borrowed); the stage configures itself for the
    // sink's rate, word length and channel count.
    virtual void SetAudioRecorderOutput(CAudioRecorderOutput* output);
    // Forgets the state carried from block to block (for a new song).
    virtual void Reset() {}
    // Blocks hold the sink's channel count; the buffers may be changed.
    virtual uint32_t WriteAudioData(float** bufs, uint32_t n) = 0;
    virtual uint32_t WriteAudioData(int32_t** bufs, uint32_t n) = 0;
    virtual uint32_t WriteAudioData(uint8_t** bufs, uint32_t n) = 0;
    // Reduces the word length of a float block and writes it.
    virtual uint32_t ProcessAndWriteAudioData(float** bufs, uint32_t n) = 0;

    // The word length of the song's source (16 until set).
    void SetInputOriginalBitsPerSample(uint16_t bits) { m_sourceBitsPerSample = bits; }
    uint16_t GetInputOriginalBitsPerSample() const { return m_sourceBitsPerSample; }
    CAudioRecorderOutput* GetAudioRecorderOutput() const { return m_output; }

protected:
    CAudioRecorderOutput* m_output = nullptr;
    uint16_t m_sourceBitsPerSample = 16;
};

// No word-length reduction of its own: every block goes to the sink as it is.
class CAudioRecorderOutputProcessNone : public CAudioRecorderOutputProcessBase
{
public:
    uint32_t WriteAudioData(float** bufs, uint32_t n) override;
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override;
    uint32_t WriteAudioData(uint8_t** bufs, uint32_t n) override;
    uint32_t ProcessAndWriteAudioData(float** bufs, uint32_t n) override;
};

// Triangular (TPDF) dither of one step of the sink's word length, added to
// float blocks before the sink quantizes them. Floating-point sinks, integer
// blocks no wider than the sink and 1-bit blocks pass unchanged.
class CAudioRecorderOutputProcessTpdfDither : public CAudioRecorderOutputProcessBase
{
public:
    static constexpr uint32_t kSeed1 = 22222;
    static constexpr uint32_t kSeed2 = 5555555;

    void SetAudioRecorderOutput(CAudioRecorderOutput* output) override;
    uint32_t WriteAudioData(float** bufs, uint32_t n) override;
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override;
    uint32_t WriteAudioData(uint8_t** bufs, uint32_t n) override;
    uint32_t ProcessAndWriteAudioData(float** bufs, uint32_t n) override;

    // Draws the next frame's dither value (float sample scale): the sum of
    // two uniform 32-bit values times 2^-(bits + 31), a triangular density
    // spanning -1 .. +1 step of the sink's word length.
    float NextDitherValue();
    // The next n values, as n calls of NextDitherValue would draw them.
    void FillDitherValues(float* values, uint32_t n);
    double GetDitherScale() const { return m_ditherScale; }

protected:
    uint32_t m_state1 = kSeed1;
    uint32_t m_state2 = kSeed2;
    double m_ditherScale = 0.0;
};

// Quantizes float blocks to the sink's word length itself, with TPDF dither
// and an error-feedback filter chosen by the sink's rate that moves the
// quantization noise away from the frequencies the ear is most sensitive to.
// The block is written to the sink as left-justified integers.
class CAudioRecorderOutputProcessNoiseShapedDither : public CAudioRecorderOutputProcessTpdfDither
{
public:
    static constexpr uint32_t kHistoryLength = 16;

    CAudioRecorderOutputProcessNoiseShapedDither();

    void SetAudioRecorderOutput(CAudioRecorderOutput* output) override;
    // Clears the error history.
    void Reset() override;
    uint32_t ProcessAndWriteAudioData(float** bufs, uint32_t n) override;

    // The feedback table in use and its length (0 for rates without shaping).
    const float* GetCoefficients() const { return m_coeffs; }
    uint32_t GetNumCoefficients() const { return m_numCoeffs; }
    // Half a step of the sink's word length in left-justified 32-bit units.
    int64_t GetRoundingOffset() const { return m_roundingOffset; }

    // The table for a sink rate and its length.
    static const float* CoefficientsForRate(uint32_t rate, uint32_t* count);

    static const float sm_afVextalMIST_44kHz[9];
    static const float sm_afVextalMIST_48kHz[9];
    static const float sm_afVextalMIST_88kHz[7];
    static const float sm_afVextalMIST_96kHz[7];
    static const float sm_afNoNoiseShaperCoeff[2];
    static constexpr double m_fCoeffFloatToInt = 2147483648.0;
    static constexpr double m_fCoeffIntToFloat = 4.656612873077393e-10;

private:
    // kHistoryLength errors per sink channel, channel after channel.
    std::vector<float> m_errors;
    uint32_t m_numErrorChannels = 0;
    uint32_t m_historyIndex = 0;
    uint32_t m_numCoeffs = 0;
    const float* m_coeffs = sm_afNoNoiseShaperCoeff;
    int64_t m_roundingOffset = 0;
};

#pragma once

#include "common/dsp/CFirLpfBase.h"

#include <cstdint>
#include <vector>

// State of the decimating filter.
struct DecimationFilterRam
{
    static constexpr uint32_t kRingSize = 512;
    static constexpr uint32_t kMaxTaps = 511;

    float coeffs[kRingSize] = {};
    // Per channel a ring of 512 samples, each written twice (at i and at
    // i + 512), so that the newest `taps` samples are always contiguous.
    std::vector<float> history[CFirLpfBase::kMaxChannels];
    uint32_t numChannels = 0;
    uint32_t writeIndex = 0;      // inputs taken since the reset
    uint32_t nextOutputIndex = 0; // input count at which the next output is due
    uint32_t ringMask = kRingSize - 1;
    uint32_t taps = 0;
    uint32_t decimation = 0; // 0 until set: Process writes nothing

    // A half-band filter by 2 (a quarter of the rate cut-off): the taps at an
    // even distance from the centre are zeros of the sinc. Its vector form
    // keeps the inputs of even and of odd index in rings of their own (ring
    // q at parity[channel][2 q kParitySize]), each written twice like the
    // history, so that the odd-distance taps run over one of them as a
    // contiguous window.
    static constexpr uint32_t kParitySize = 512;
    bool halfBand = false;
    float denseTaps[kRingSize / 2] = {}; // the odd-distance taps, oldest input first
    uint32_t numDenseTaps = 0;
    std::vector<float> parity[CFirLpfBase::kMaxChannels];
};

// Decimating FIR filter: the first output follows the first input after a
// reset, then one output follows every M-th input. Taps are symmetric and
// their count is 8k + 1, at most 505. A half-band design by 2 keeps its
// sinc's zeros as exact zeros (the design's rounding leaves them near
// 1e-17), and its vector form computes only the taps that are not.
class CDecimationFilter : public CFirLpfBase
{
public:
    explicit CDecimationFilter(int channels);
    ~CDecimationFilter() override;

    int GetDecimationRate() const override { return static_cast<int>(m_ram.decimation); }
    void Reset() override;

    // in and out may be the same buffers. The vector form uses AVX2 with FMA
    // where the processor has them, else SSE.
    int Process(const float* const* in, float* const* out, int numInputFrames) override;
    int ProcessSSE(const float* const* in, float* const* out, int numInputFrames);
    int ProcessScalar(const float* const* in, float* const* out, int numInputFrames);

    using CFirLpfBase::SetFilterCoeffs;
    // taps := (min(N, 511) rounded down to a multiple of 8) + 1; M below 1 is
    // taken as 1. Resets.
    void SetFilterCoeffs(int length, int sampleRate, int cutoffHz, int M, double gaindB);

    int GetOutputFrameCount(int numInputFrames) const override;
    void AlignOutputs(int frames) override;

    int GetNumChannels() const { return static_cast<int>(m_ram.numChannels); }
    int GetNumTaps() const { return static_cast<int>(m_ram.taps); }
    const float* GetTaps() const { return m_ram.coeffs; }

private:
    // The dot products: plain, SSE, or AVX2 with FMA where the processor has
    // them.
    enum eKernel
    {
        kScalarKernel,
        kSseKernel,
        kAvxKernel,
    };
    template <int kKernel>
    int Run(const float* const* in, float* const* out, int n);
    // One channel from the saved state; returns its outputs.
    template <int kKernel>
    int RunChannel(uint32_t channel, const float* src, float* dst, uint32_t n);
    // The same for a half-band filter by 2 with vector runs.
    int RunHalfBandChannel(uint32_t channel, const float* src, float* dst, uint32_t n);
    // Stores inputs first .. first + count - 1 (counted since the reset) in
    // the channel's parity rings.
    void StoreParity(uint32_t channel, const float* src, uint32_t first, uint32_t count);

    DecimationFilterRam m_ram;
};

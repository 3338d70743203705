#pragma once

#include "common/dsp/CFirLpfBase.h"

#include <cstdint>
#include <vector>

// State of a polyphase stage.
//
// Positions are counted in the upsampled domain: an input sample spans
// `oversampling << fractionBits` positions and every output advances
// `positionStep` positions. With fractionBits 0 a position is one phase; the
// variable-ratio interpolator keeps 14 fraction bits between phases.
struct FsConverterRam
{
    // (L + 1) phase arrays of tapsPerPhase floats each. Phase p holds the
    // prototype taps p, p + L, p + 2L, ..., stored oldest-input first so that
    // they line up with a contiguous history window. Phase L is phase 0
    // advanced by one input sample.
    std::vector<float> phaseCoeffs;
    // Per channel a ring of ringMask + 1 samples, each sample written twice
    // (at i and at i + ring size), so that the newest tapsPerPhase samples are
    // always contiguous.
    std::vector<float> history[CFirLpfBase::kMaxChannels];
    uint32_t numChannels = 0;
    uint32_t writeIndex = 0;    // ring index of the newest input
    uint32_t phasePosition = 0; // carried from block to block
    uint32_t ringMask = 1023;
    uint32_t tapsPerPhase = 4;
    uint32_t oversampling = 1; // L
    uint32_t decimation = 1;   // M
    uint32_t fractionBits = 0;
    uint32_t positionStep = 1;
};

// The two phases of a 2x half-band oversampling filter (a prototype of odd
// length cut off at a quarter of the rate it is designed at): the taps at an
// even distance from the centre are zeros of the sinc, so one phase is the
// centre tap alone and the other holds every odd-distance tap.
struct HalfBandPhases
{
    bool active = false;
    uint32_t densePhase = 1;   // the phase of the odd-distance taps
    uint32_t denseOffset = 0;  // where its taps start in its phase array
    uint32_t denseTaps = 0;    // how many there are
    uint32_t centreOffset = 0; // the centre tap's place in the other phase's array
    float centreTap = 0.0f;
};

// Base of the polyphase stages. The designer is a COversamplingFilterCoeffs:
// it designs at fs x L, scales the taps by L and reports its delay in input
// samples.
class CFscBase : public CFirLpfBase
{
public:
    static constexpr int kMaxOversampling = 511;
    static constexpr uint32_t kMinRingSize = 1024;
    // The most outputs of one phase a tile computes together, and the ring
    // size up to which the ring grows to hold a tile's history.
    static constexpr uint32_t kMaxTileGroup = 4;
    static constexpr uint32_t kMaxTileRingSize = 16384;

    explicit CFscBase(int channels);
    ~CFscBase() override;

    int GetOversamplingRate() const override { return static_cast<int>(m_ram.oversampling); }
    int GetDecimationRate() const override { return static_cast<int>(m_ram.decimation); }
    // Zeroes the history; write index and phase position 0.
    void Reset() override;

    using CFirLpfBase::SetFilterCoeffs;
    // Designs an N-tap prototype at fs x L (L limited to 1 .. 511, M at
    // least 1) and splits it into L + 1 phases of T taps, T = ceil(N / L)
    // rounded up to a multiple of 4. A 2x half-band design keeps its sinc's
    // zeros as exact zeros (the design's rounding leaves them near 1e-17),
    // and its vector form computes only the taps that are not. Resets.
    // False, and nothing changes, for a rate below 1.
    virtual bool SetFilterCoeffs(int length, int sampleRate, int cutoffHz, int L, int M, double gaindB);

    int GetOutputFrameCount(int numInputFrames) const override;
    void AlignOutputs(int frames) override;

    int GetNumChannels() const { return static_cast<int>(m_ram.numChannels); }
    int GetTapsPerPhase() const { return static_cast<int>(m_ram.tapsPerPhase); }
    int GetNumPhaseArrays() const { return static_cast<int>(m_ram.oversampling) + 1; }
    bool IsHalfBand() const { return m_halfBand.active; }
    uint32_t GetPositionStep() const { return m_ram.positionStep; }
    uint64_t GetPositionsPerInput() const
    {
        return static_cast<uint64_t>(m_ram.oversampling) << m_ram.fractionBits;
    }

protected:
    COversamplingFilterCoeffs& Designer();

    // The processing loops; `sse` picks the vector dot products. The caller
    // sets the control word.
    int RunConverter(const float* const* in, float* const* out, int n, bool sse);
    int RunInterpolation(const float* const* in, float* const* out, int n, bool sse);
    int RunOversampling(const float* const* in, float* const* out, int n, bool sse);

    FsConverterRam m_ram;
    HalfBandPhases m_halfBand;

private:
    // The dot products: plain, SSE, or AVX2 with FMA (where the processor
    // has them; not for the variable-ratio interpolation).
    enum eKernel
    {
        kScalarKernel,
        kSseKernel,
        kAvxKernel,
    };

    template <int kKernel, bool kInterpolate>
    int RunPolyphase(const float* const* in, float* const* out, int n);
    template <int kKernel>
    int RunOversamplingLoop(const float* const* in, float* const* out, int n);
    // Every phase of every input, one output at a time.
    template <int kKernel>
    void RunPhasesLoop(const float* const* in, float* const* out, int n);
    // The vector form of a half-band doubler: inputs are stored a stretch at
    // a time, and each phase's outputs over the stretch computed in one run.
    void RunHalfBandDoubling(const float* const* in, float* const* out, int n);
    // Output `index` of every channel: the phase taps c over the history
    // window that starts at ring index start.
    template <int kKernel>
    void DotFrame(const float* c, uint32_t start, float* const* out, size_t index);
    // A tile of g x L outputs of a stereo rational converter from position t
    // on (g up to kMaxTileGroup, as many whole rows of L as remain): outputs
    // j, j + L, j + 2L, ... share a phase, whose taps are read once for all
    // of them. Every output equals the one DotFrame computes. Takes the inputs the tile needs (u and next
    // as in RunPolyphase) and writes the outputs from index `produced` on.
    // Returns the outputs written; 0 where the tile does not apply.
    int RunPhaseTile(const float* const* in, float* const* out, int produced, uint64_t t, uint64_t total,
                     uint64_t& u, int& next);
    template <uint32_t kGroup>
    void DotPhaseTile(float* const* out, int produced, uint64_t t, int next);

    void PushInput(const float* const* in, int index);
    void ResizeRings(uint32_t ringSize);
};

#include "common/dsp/CFscBase.h"

#include "common/dsp/FirKernels.h"

#include <algorithm>
#include <limits>

namespace
{
// The dot products of the taps c over kWindows windows, with AVX-512 where
// `wide`, else with AVX2 (which takes up to 4 windows at a time).
template <uint32_t kWindows>
void DotWindows(bool wide, const float* c, const float* const* x, uint32_t taps, float* y)
{
    if constexpr (kWindows <= 4)
    {
        if (!wide)
        {
            FirKernels::DotWindowsAvx<kWindows>(c, x, taps, y);
            return;
        }
    }
    FirKernels::DotWindowsAvx512<kWindows>(c, x, taps, y);
}
} // namespace

CFscBase::CFscBase(int channels) : CFirLpfBase(std::make_unique<COversamplingFilterCoeffs>())
{
    m_ram.numChannels = static_cast<uint32_t>(ClampChannels(channels));
    m_ram.phaseCoeffs.assign(2 * m_ram.tapsPerPhase, 0.0f);
    ResizeRings(kMinRingSize);
    Reset();
}

CFscBase::~CFscBase() = default;

COversamplingFilterCoeffs& CFscBase::Designer()
{
    return static_cast<COversamplingFilterCoeffs&>(*m_coeffs);
}

void CFscBase::ResizeRings(uint32_t ringSize)
{
    m_ram.ringMask = ringSize - 1;
    for (uint32_t c = 0; c < m_ram.numChannels; ++c)
        m_ram.history[c].assign(2 * static_cast<size_t>(ringSize), 0.0f);
}

void CFscBase::Reset()
{
    for (uint32_t c = 0; c < m_ram.numChannels; ++c)
        std::fill(m_ram.history[c].begin(), m_ram.history[c].end(), 0.0f);
    m_ram.writeIndex = 0;
    m_ram.phasePosition = 0;
}

bool CFscBase::SetFilterCoeffs(int length, int sampleRate, int cutoffHz, int L, int M, double gaindB)
{
    if (sampleRate < 1)
        return false;
    L = std::clamp(L, 1, kMaxOversampling);
    M = std::max(M, 1);

    COversamplingFilterCoeffs& designer = Designer();
    designer.SetSampleRate(sampleRate);
    designer.SetOversamplingRate(L);
    designer.SetFilterLength(length);
    designer.SetCutoffFreq(cutoffHz);
    designer.SetGain(gaindB);

    const uint32_t taps = static_cast<uint32_t>(designer.GetFilterLength());
    const uint32_t phases = static_cast<uint32_t>(L);
    uint32_t tapsPerPhase = (taps + phases - 1) / phases;
    tapsPerPhase = std::max<uint32_t>(4, (tapsPerPhase + 3) & ~3u);

    // The ring must hold a whole phase of history, and where it can, the
    // history a whole tile of outputs spans (see RunPhaseTile).
    uint32_t ringSize = kMinRingSize;
    const uint64_t tileSpan = uint64_t{tapsPerPhase} + uint64_t{kMaxTileGroup} * static_cast<uint64_t>(M) + 2;
    const uint64_t wanted = std::max<uint64_t>(tapsPerPhase, std::min<uint64_t>(tileSpan, kMaxTileRingSize));
    while (ringSize < wanted)
        ringSize *= 2;
    if (ringSize != m_ram.ringMask + 1)
        ResizeRings(ringSize);

    m_ram.tapsPerPhase = tapsPerPhase;
    m_ram.oversampling = phases;
    m_ram.decimation = static_cast<uint32_t>(M);
    m_ram.fractionBits = 0;
    m_ram.positionStep = static_cast<uint32_t>(M);
    // A sinc cut off at a quarter of the design rate is zero at every even
    // distance from its centre.
    const bool halfBand = phases == 2 && M == 1 && taps % 2 == 1 &&
                          uint64_t{static_cast<uint32_t>(std::max(cutoffHz, 0))} * 4 ==
                              uint64_t{static_cast<uint32_t>(sampleRate)} * phases;
    const uint32_t centre = (taps - 1) / 2;
    m_ram.phaseCoeffs.assign(static_cast<size_t>(phases + 1) * tapsPerPhase, 0.0f);
    for (uint32_t p = 0; p <= phases; ++p)
    {
        float* phase = &m_ram.phaseCoeffs[static_cast<size_t>(p) * tapsPerPhase];
        for (uint32_t j = 0; j < tapsPerPhase && p + j * phases < taps; ++j)
        {
            const uint32_t i = p + j * phases;
            const bool sincZero = halfBand && i != centre && (i - centre) % 2 == 0;
            phase[tapsPerPhase - 1 - j] =
                sincZero ? 0.0f : static_cast<float>(designer.GetFilterCoeff(static_cast<int>(i)));
        }
    }
    m_halfBand = HalfBandPhases();
    if (halfBand)
    {
        // Phase p holds the taps p, p + 2, ..., the j-th at T - 1 - j.
        const uint32_t centrePhase = centre % 2;
        m_halfBand.active = true;
        m_halfBand.densePhase = 1 - centrePhase;
        m_halfBand.denseTaps = (taps - m_halfBand.densePhase + 1) / 2;
        m_halfBand.denseOffset = tapsPerPhase - m_halfBand.denseTaps;
        m_halfBand.centreOffset = tapsPerPhase - 1 - centre / 2;
        m_halfBand.centreTap =
            m_ram.phaseCoeffs[static_cast<size_t>(centrePhase) * tapsPerPhase + m_halfBand.centreOffset];
    }
    Reset();
    return true;
}

int CFscBase::GetOutputFrameCount(int numInputFrames) const
{
    if (numInputFrames <= 0)
        return 0;
    const uint64_t total = static_cast<uint64_t>(numInputFrames) * GetPositionsPerInput();
    const uint64_t t = m_ram.phasePosition;
    if (t >= total)
        return 0;
    const uint64_t step = m_ram.positionStep;
    const uint64_t count = (total - t + step - 1) / step;
    return static_cast<int>(std::min<uint64_t>(count, std::numeric_limits<int>::max()));
}

void CFscBase::AlignOutputs(int frames)
{
    // Outputs fall on phasePosition + k x step, counted from the first input.
    const uint64_t target = static_cast<uint64_t>(std::max(frames, 0)) * GetPositionsPerInput();
    m_ram.phasePosition = static_cast<uint32_t>(target % m_ram.positionStep);
}

void CFscBase::PushInput(const float* const* in, int index)
{
    const uint32_t w = (m_ram.writeIndex + 1) & m_ram.ringMask;
    const uint32_t ringSize = m_ram.ringMask + 1;
    for (uint32_t c = 0; c < m_ram.numChannels; ++c)
    {
        float* h = m_ram.history[c].data();
        h[w] = h[w + ringSize] = in[c][index];
    }
    m_ram.writeIndex = w;
}

template <int kKernel>
void CFscBase::DotFrame(const float* c, uint32_t start, float* const* out, size_t index)
{
    const uint32_t taps = m_ram.tapsPerPhase;
    if (kKernel == kAvxKernel && FirKernels::HasAvx512())
    {
        // In the order of the tiles' sums (RunPhaseTile), so that an output
        // does not depend on whether a tile or a single step computed it.
        if (m_ram.numChannels == 2 && out[0] != nullptr && out[1] != nullptr)
        {
            const float* x[2] = {m_ram.history[0].data() + start, m_ram.history[1].data() + start};
            float y[2];
            FirKernels::DotWindowsAvx512<2>(c, x, taps, y);
            out[0][index] = y[0];
            out[1][index] = y[1];
            return;
        }
        for (uint32_t ch = 0; ch < m_ram.numChannels; ++ch)
        {
            if (out[ch] == nullptr)
                continue;
            const float* x = m_ram.history[ch].data() + start;
            FirKernels::DotWindowsAvx512<1>(c, &x, taps, &out[ch][index]);
        }
        return;
    }
    if (kKernel == kAvxKernel && m_ram.numChannels == 2 && out[0] != nullptr && out[1] != nullptr)
    {
        FirKernels::DotStereoAvx(c, m_ram.history[0].data() + start, m_ram.history[1].data() + start, taps,
                                 out[0][index], out[1][index]);
        return;
    }
    for (uint32_t ch = 0; ch < m_ram.numChannels; ++ch)
    {
        if (out[ch] == nullptr)
            continue;
        const float* x = m_ram.history[ch].data() + start;
        if (kKernel == kAvxKernel)
            out[ch][index] = FirKernels::DotAvx(c, x, taps);
        else if (kKernel == kSseKernel)
            out[ch][index] = FirKernels::DotSSE(c, x, taps);
        else
            out[ch][index] = FirKernels::DotScalar(c, x, taps);
    }
}

template <uint32_t kGroup>
void CFscBase::DotPhaseTile(float* const* out, int produced, uint64_t t, int next)
{
    const uint32_t taps = m_ram.tapsPerPhase;
    const uint32_t ringSize = m_ram.ringMask + 1;
    const uint64_t perInput = GetPositionsPerInput();
    const uint64_t step = m_ram.positionStep;
    const uint32_t L = m_ram.oversampling;
    const bool wide = FirKernels::HasAvx512();
    for (uint32_t j = 0; j < L; ++j)
    {
        // Window 2g + channel: the output g x L after output j.
        const float* x[2 * kGroup];
        uint32_t phase = 0;
        for (uint32_t g = 0; g < kGroup; ++g)
        {
            // The output's position, its newest input (counted in this
            // block) and how far that lies behind the newest input taken.
            const uint64_t p = t + (j + uint64_t{g} * L) * step;
            const uint64_t newest = p / perInput;
            phase = static_cast<uint32_t>(p - newest * perInput);
            const uint32_t back = static_cast<uint32_t>(static_cast<uint64_t>(next) - 1 - newest);
            const uint32_t start = ((m_ram.writeIndex - back) & m_ram.ringMask) + ringSize + 1 - taps;
            x[2 * g] = m_ram.history[0].data() + start;
            x[2 * g + 1] = m_ram.history[1].data() + start;
        }
        float y[2 * kGroup];
        DotWindows<2 * kGroup>(wide, m_ram.phaseCoeffs.data() + static_cast<size_t>(phase) * taps, x, taps,
                               y);
        for (uint32_t g = 0; g < kGroup; ++g)
        {
            const size_t index = static_cast<size_t>(produced) + j + static_cast<size_t>(g) * L;
            out[0][index] = y[2 * g];
            out[1][index] = y[2 * g + 1];
        }
    }
}

int CFscBase::RunPhaseTile(const float* const* in, float* const* out, int produced, uint64_t t,
                           uint64_t total, uint64_t& u, int& next)
{
    const uint64_t L = m_ram.oversampling;
    const uint64_t step = m_ram.positionStep;
    const uint64_t perInput = GetPositionsPerInput();
    if (m_ram.numChannels != 2 || out[0] == nullptr || out[1] == nullptr || m_ram.fractionBits != 0 || L < 2)
        return 0;
    // Outputs of the same phase lie L outputs (M inputs) apart.
    const uint64_t remaining = (total - t + step - 1) / step;
    // AVX2 has registers for the partial sums of two stereo outputs.
    const uint64_t largest = FirKernels::HasAvx512() ? kMaxTileGroup : 2;
    uint64_t group = std::min<uint64_t>(largest, remaining / L);
    // The first output's window must still be in the ring when the last
    // output's inputs have been taken.
    const uint64_t ringSize = m_ram.ringMask + 1;
    while (group > 0 && (group * L * step) / perInput + 2 + m_ram.tapsPerPhase > ringSize)
        --group;
    if (group == 0)
        return 0;
    const uint64_t count = group * L;
    const uint64_t last = t + (count - 1) * step;
    while (u <= last)
    {
        PushInput(in, next++);
        u += perInput;
    }
    switch (group)
    {
    case 1:
        DotPhaseTile<1>(out, produced, t, next);
        break;
    case 2:
        DotPhaseTile<2>(out, produced, t, next);
        break;
    case 3:
        DotPhaseTile<3>(out, produced, t, next);
        break;
    default:
        DotPhaseTile<4>(out, produced, t, next);
        break;
    }
    return static_cast<int>(count);
}

template <int kKernel, bool kInterpolate>
int CFscBase::RunPolyphase(const float* const* in, float* const* out, int n)
{
    if (n <= 0)
        return 0;
    const uint32_t channels = m_ram.numChannels;
    const uint32_t taps = m_ram.tapsPerPhase;
    const uint32_t ringSize = m_ram.ringMask + 1;
    const uint32_t fractionBits = m_ram.fractionBits;
    const uint32_t fractionMask = (1u << fractionBits) - 1;
    const float fractionScale = 1.0f / static_cast<float>(1u << fractionBits);
    const uint64_t perInput = GetPositionsPerInput();
    const uint64_t step = m_ram.positionStep;
    const uint64_t total = static_cast<uint64_t>(n) * perInput;
    const float* coeffs = m_ram.phaseCoeffs.data();

    uint64_t t = m_ram.phasePosition;
    uint64_t u = 0; // upsampled position just past the newest input taken
    int next = 0;   // next input frame
    int produced = 0;
    // Tiles while whole ones remain, then single outputs.
    bool tiles = kKernel == kAvxKernel && !kInterpolate;
    while (t < total)
    {
        if (tiles)
        {
            const int tile = RunPhaseTile(in, out, produced, t, total, u, next);
            produced += tile;
            t += static_cast<uint64_t>(tile) * step;
            tiles = tile > 0;
            continue;
        }
        while (u <= t)
        {
            PushInput(in, next++);
            u += perInput;
        }
        const uint64_t d = t - (u - perInput);
        const uint32_t phase = static_cast<uint32_t>(d >> fractionBits);
        const float* c0 = coeffs + static_cast<size_t>(phase) * taps;
        const uint32_t start = m_ram.writeIndex + ringSize + 1 - taps;
        if (kInterpolate && (d & fractionMask) != 0)
        {
            const float f = static_cast<float>(d & fractionMask) * fractionScale;
            const float g = 1.0f - f;
            for (uint32_t c = 0; c < channels; ++c)
            {
                if (out[c] == nullptr)
                    continue;
                const float* x = m_ram.history[c].data() + start;
                float y0, y1;
                if (kKernel != kScalarKernel)
                    FirKernels::Dot2SSE(c0, c0 + taps, x, taps, y0, y1);
                else
                {
                    y0 = FirKernels::DotScalar(c0, x, taps);
                    y1 = FirKernels::DotScalar(c0 + taps, x, taps);
                }
                out[c][produced] = g * y0 + f * y1;
            }
        }
        else
        {
            // On a phase exactly the second product has weight 0.
            DotFrame<kKernel>(c0, start, out, static_cast<size_t>(produced));
        }
        ++produced;
        t += step;
    }
    while (next < n)
        PushInput(in, next++);
    m_ram.phasePosition = static_cast<uint32_t>(t - total);
    return produced;
}

void CFscBase::RunHalfBandDoubling(const float* const* in, float* const* out, int n)
{
    const uint32_t taps = m_ram.tapsPerPhase;
    const uint32_t ringSize = m_ram.ringMask + 1;
    const HalfBandPhases& hb = m_halfBand;
    const float* dense =
        m_ram.phaseCoeffs.data() + static_cast<size_t>(hb.densePhase) * taps + hb.denseOffset;
    for (int i = 0; i < n;)
    {
        // A stretch ends where the ring wraps, so that the windows of its
        // inputs follow one another, and leaves its first input's window in
        // the ring.
        const uint32_t first = (m_ram.writeIndex + 1) & m_ram.ringMask;
        const uint32_t count = std::min({static_cast<uint32_t>(n - i), ringSize - taps, ringSize - first});
        const uint32_t start = first + ringSize + 1 - taps;
        for (uint32_t c = 0; c < m_ram.numChannels; ++c)
        {
            float* h = m_ram.history[c].data();
            const float* src = in[c] + i;
            for (uint32_t k = 0; k < count; ++k)
                h[first + k] = h[first + k + ringSize] = src[k];
            if (out[c] != nullptr)
                FirKernels::HalfBandRun<FirKernels::kHalfBandDouble>(
                    dense, hb.denseTaps, h + start + hb.denseOffset, hb.centreTap,
                    h + start + hb.centreOffset, count, hb.densePhase, out[c] + 2 * static_cast<size_t>(i));
        }
        m_ram.writeIndex = (first + count - 1) & m_ram.ringMask;
        i += static_cast<int>(count);
    }
}

template <int kKernel>
int CFscBase::RunOversamplingLoop(const float* const* in, float* const* out, int n)
{
    if (n <= 0)
        return 0;
    if (kKernel == kAvxKernel && m_halfBand.active)
    {
        RunHalfBandDoubling(in, out, n);
    }
    else
    {
        RunPhasesLoop<kKernel>(in, out, n);
    }
    const uint64_t count = static_cast<uint64_t>(n) * m_ram.oversampling;
    return static_cast<int>(std::min<uint64_t>(count, std::numeric_limits<int>::max()));
}

template <int kKernel>
void CFscBase::RunPhasesLoop(const float* const* in, float* const* out, int n)
{
    const uint32_t taps = m_ram.tapsPerPhase;
    const uint32_t phases = m_ram.oversampling;
    const uint32_t ringSize = m_ram.ringMask + 1;
    const float* coeffs = m_ram.phaseCoeffs.data();
    // With AVX-512, stereo phases go two at a time over the window they
    // share, each output equal to DotFrame's.
    const bool pairs = kKernel == kAvxKernel && FirKernels::HasAvx512() && m_ram.numChannels == 2 &&
                       out[0] != nullptr && out[1] != nullptr;
    for (int i = 0; i < n; ++i)
    {
        PushInput(in, i);
        const uint32_t start = m_ram.writeIndex + ringSize + 1 - taps;
        const size_t first = static_cast<size_t>(i) * phases;
        uint32_t p = 0;
        for (; pairs && p + 2 <= phases; p += 2)
        {
            const float* c[2] = {coeffs + static_cast<size_t>(p) * taps,
                                 coeffs + static_cast<size_t>(p + 1) * taps};
            const float* x[2] = {m_ram.history[0].data() + start, m_ram.history[1].data() + start};
            float y[4];
            FirKernels::DotGridAvx512<2, 2>(c, x, taps, y);
            out[0][first + p] = y[0];
            out[1][first + p] = y[1];
            out[0][first + p + 1] = y[2];
            out[1][first + p + 1] = y[3];
        }
        for (; p < phases; ++p)
            DotFrame<kKernel>(coeffs + static_cast<size_t>(p) * taps, start, out, first + p);
    }
}

int CFscBase::RunConverter(const float* const* in, float* const* out, int n, bool sse)
{
    if (!sse)
        return RunPolyphase<kScalarKernel, false>(in, out, n);
    return FirKernels::HasAvx2Fma() ? RunPolyphase<kAvxKernel, false>(in, out, n)
                                    : RunPolyphase<kSseKernel, false>(in, out, n);
}

int CFscBase::RunInterpolation(const float* const* in, float* const* out, int n, bool sse)
{
    return sse ? RunPolyphase<kSseKernel, true>(in, out, n) : RunPolyphase<kScalarKernel, true>(in, out, n);
}

int CFscBase::RunOversampling(const float* const* in, float* const* out, int n, bool sse)
{
    if (!sse)
        return RunOversamplingLoop<kScalarKernel>(in, out, n);
    return FirKernels::HasAvx2Fma() ? RunOversamplingLoop<kAvxKernel>(in, out, n)
                                    : RunOversamplingLoop<kSseKernel>(in, out, n);
}

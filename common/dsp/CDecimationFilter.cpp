#include "common/dsp/CDecimationFilter.h"

#include "common/dsp/FirKernels.h"
#include "library/util/CSystemUtil.h"

#include <algorithm>

namespace
{
// Symmetric filter of 2H + 1 taps (H a multiple of 4) over the window x,
// oldest sample first: mirrored samples are added before the multiplication.
float FoldedDotSSE(const float* c, const float* x, uint32_t taps)
{
    const uint32_t half = (taps - 1) / 2;
    __m128 acc = _mm_setzero_ps();
    for (uint32_t j = 0; j < half; j += 4)
    {
        const __m128 head = _mm_loadu_ps(x + j);
        __m128 tail = _mm_loadu_ps(x + taps - 4 - j);
        tail = _mm_shuffle_ps(tail, tail, _MM_SHUFFLE(0, 1, 2, 3));
        acc = _mm_add_ps(acc, _mm_mul_ps(_mm_add_ps(head, tail), _mm_loadu_ps(c + j)));
    }
    return FirKernels::HorizontalSum(acc) + c[half] * x[half];
}

// The same sum without vector instructions, in the same order.
float FoldedDotScalar(const float* c, const float* x, uint32_t taps)
{
    const uint32_t half = (taps - 1) / 2;
    float s[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (uint32_t j = 0; j < half; j += 4)
        for (uint32_t lane = 0; lane < 4; ++lane)
            s[lane] += (x[j + lane] + x[taps - 1 - j - lane]) * c[j + lane];
    return ((s[1] + s[3]) + (s[0] + s[2])) + c[half] * x[half];
}
} // namespace

CDecimationFilter::CDecimationFilter(int channels) : CFirLpfBase(std::make_unique<CFirLpfCoeffs>())
{
    m_ram.numChannels = static_cast<uint32_t>(ClampChannels(channels));
    for (uint32_t c = 0; c < m_ram.numChannels; ++c)
        m_ram.history[c].assign(2 * DecimationFilterRam::kRingSize, 0.0f);
    Reset();
}

CDecimationFilter::~CDecimationFilter() = default;

void CDecimationFilter::Reset()
{
    for (uint32_t c = 0; c < m_ram.numChannels; ++c)
        std::fill(m_ram.history[c].begin(), m_ram.history[c].end(), 0.0f);
    m_ram.writeIndex = 0;
    m_ram.nextOutputIndex = 0;
}

void CDecimationFilter::SetFilterCoeffs(int length, int sampleRate, int cutoffHz, int M, double gaindB)
{
    m_ram.decimation = static_cast<uint32_t>(std::max(M, 1));
    const int limited = std::clamp(length, 0, static_cast<int>(DecimationFilterRam::kMaxTaps));
    const int taps = (limited & ~7) + 1;
    CFirLpfBase::SetFilterCoeffs(taps, sampleRate, cutoffHz, gaindB);
    m_ram.taps = static_cast<uint32_t>(taps);
    std::fill(std::begin(m_ram.coeffs), std::end(m_ram.coeffs), 0.0f);
    for (int i = 0; i < taps; ++i)
        m_ram.coeffs[i] = static_cast<float>(m_coeffs->GetFilterCoeff(i));
    Reset();
}

int CDecimationFilter::GetOutputFrameCount(int numInputFrames) const
{
    if (numInputFrames <= 0 || m_ram.decimation == 0)
        return 0;
    // The next output is due after this many more inputs (0 .. M - 1).
    const uint32_t first = m_ram.nextOutputIndex - m_ram.writeIndex;
    if (first >= static_cast<uint32_t>(numInputFrames))
        return 0;
    return static_cast<int>(1 + (static_cast<uint32_t>(numInputFrames) - 1 - first) / m_ram.decimation);
}

void CDecimationFilter::AlignOutputs(int frames)
{
    if (m_ram.decimation > 0)
        m_ram.nextOutputIndex =
            m_ram.writeIndex + static_cast<uint32_t>(std::max(frames, 0)) % m_ram.decimation;
}

template <bool kSSE>
int CDecimationFilter::Run(const float* const* in, float* const* out, int n)
{
    if (n <= 0 || m_ram.decimation == 0)
        return 0;
    const uint32_t taps = m_ram.taps;
    const uint32_t mask = m_ram.ringMask;
    const uint32_t ringSize = DecimationFilterRam::kRingSize;
    const float* coeffs = m_ram.coeffs;
    uint32_t writeIndex = m_ram.writeIndex;
    uint32_t nextOutput = m_ram.nextOutputIndex;
    int produced = 0;
    for (uint32_t c = 0; c < m_ram.numChannels; ++c)
    {
        // Every channel starts from the saved state and ends in the same one.
        writeIndex = m_ram.writeIndex;
        nextOutput = m_ram.nextOutputIndex;
        produced = 0;
        const float* src = in[c];
        float* dst = out[c];
        float* h = m_ram.history[c].data();
        for (int i = 0; i < n; ++i)
        {
            const uint32_t w = writeIndex & mask;
            h[w] = h[w + ringSize] = src[i];
            if (writeIndex == nextOutput)
            {
                const float* x = h + w + ringSize + 1 - taps;
                const float y = kSSE ? FoldedDotSSE(coeffs, x, taps) : FoldedDotScalar(coeffs, x, taps);
                if (dst != nullptr)
                    dst[produced] = y;
                ++produced;
                nextOutput += m_ram.decimation;
            }
            ++writeIndex;
        }
    }
    if (m_ram.numChannels == 0)
    {
        produced = GetOutputFrameCount(n);
        writeIndex = m_ram.writeIndex + static_cast<uint32_t>(n);
        nextOutput = m_ram.nextOutputIndex + static_cast<uint32_t>(produced) * m_ram.decimation;
    }
    m_ram.writeIndex = writeIndex;
    m_ram.nextOutputIndex = nextOutput;
    return produced;
}

int CDecimationFilter::Process(const float* const* in, float* const* out, int numInputFrames)
{
    return CSystemUtil::HasSSE() ? ProcessSSE(in, out, numInputFrames)
                                 : ProcessScalar(in, out, numInputFrames);
}

int CDecimationFilter::ProcessSSE(const float* const* in, float* const* out, int numInputFrames)
{
    CScopedPreferredMxcsr mxcsr;
    return Run<true>(in, out, numInputFrames);
}

int CDecimationFilter::ProcessScalar(const float* const* in, float* const* out, int numInputFrames)
{
    CScopedPreferredMxcsr mxcsr;
    return Run<false>(in, out, numInputFrames);
}

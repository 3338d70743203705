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

// The same sum eight mirrored pairs at a time in two partial sums, with fused
// multiply-adds; only where FirKernels::HasAvx2Fma().
__attribute__((target("avx2,fma"))) float FoldedDotAvx(const float* c, const float* x, uint32_t taps)
{
    const uint32_t half = (taps - 1) / 2;
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    __m256 a0 = _mm256_setzero_ps(), a1 = _mm256_setzero_ps();
    uint32_t j = 0;
    for (; j + 16 <= half; j += 16)
    {
        const __m256 t0 = _mm256_permutevar8x32_ps(_mm256_loadu_ps(x + taps - 8 - j), reverse);
        const __m256 t1 = _mm256_permutevar8x32_ps(_mm256_loadu_ps(x + taps - 16 - j), reverse);
        a0 = _mm256_fmadd_ps(_mm256_add_ps(_mm256_loadu_ps(x + j), t0), _mm256_loadu_ps(c + j), a0);
        a1 = _mm256_fmadd_ps(_mm256_add_ps(_mm256_loadu_ps(x + j + 8), t1), _mm256_loadu_ps(c + j + 8), a1);
    }
    if (j + 8 <= half)
    {
        const __m256 t0 = _mm256_permutevar8x32_ps(_mm256_loadu_ps(x + taps - 8 - j), reverse);
        a0 = _mm256_fmadd_ps(_mm256_add_ps(_mm256_loadu_ps(x + j), t0), _mm256_loadu_ps(c + j), a0);
        j += 8;
    }
    const __m256 a = _mm256_add_ps(a0, a1);
    __m128 s = _mm_add_ps(_mm256_castps256_ps128(a), _mm256_extractf128_ps(a, 1));
    if (j < half)
    {
        __m128 tail = _mm_loadu_ps(x + taps - 4 - j);
        tail = _mm_shuffle_ps(tail, tail, _MM_SHUFFLE(0, 1, 2, 3));
        s = _mm_fmadd_ps(_mm_add_ps(_mm_loadu_ps(x + j), tail), _mm_loadu_ps(c + j), s);
    }
    return FirKernels::HorizontalSum(s) + c[half] * x[half];
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

template <int kKernel>
int CDecimationFilter::Run(const float* const* in, float* const* out, int n)
{
    if (n <= 0 || m_ram.decimation == 0)
        return 0;
    int produced = 0;
    for (uint32_t c = 0; c < m_ram.numChannels; ++c)
        produced = RunChannel<kKernel>(c, in[c], out[c], static_cast<uint32_t>(n));
    if (m_ram.numChannels == 0)
        produced = GetOutputFrameCount(n);
    // Every channel starts from the saved state and ends in the same one.
    m_ram.nextOutputIndex += static_cast<uint32_t>(produced) * m_ram.decimation;
    m_ram.writeIndex += static_cast<uint32_t>(n);
    return produced;
}

template <int kKernel>
int CDecimationFilter::RunChannel(uint32_t channel, const float* src, float* dst, uint32_t n)
{
    const uint32_t taps = m_ram.taps;
    const uint32_t mask = m_ram.ringMask;
    const uint32_t ringSize = DecimationFilterRam::kRingSize;
    const float* coeffs = m_ram.coeffs;
    float* h = m_ram.history[channel].data();
    uint32_t writeIndex = m_ram.writeIndex;
    uint32_t nextOutput = m_ram.nextOutputIndex;
    // Inputs are stored a stretch at a time before the outputs among them are
    // computed, so that no sum waits on a store just made; a stretch leaves
    // the window of its first output in the ring.
    const uint32_t stretch = std::max(ringSize - taps, 1u);
    int produced = 0;
    for (uint32_t i = 0; i < n;)
    {
        const uint32_t count = std::min(stretch, n - i);
        for (uint32_t k = 0; k < count; ++k)
        {
            const uint32_t w = (writeIndex + k) & mask;
            h[w] = h[w + ringSize] = src[i + k];
        }
        const uint32_t end = writeIndex + count;
        for (; nextOutput - writeIndex < count; nextOutput += m_ram.decimation)
        {
            const float* x = h + (nextOutput & mask) + ringSize + 1 - taps;
            const float y = kKernel == kAvxKernel   ? FoldedDotAvx(coeffs, x, taps)
                            : kKernel == kSseKernel ? FoldedDotSSE(coeffs, x, taps)
                                                    : FoldedDotScalar(coeffs, x, taps);
            if (dst != nullptr)
                dst[produced] = y;
            ++produced;
        }
        writeIndex = end;
        i += count;
    }
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
    return FirKernels::HasAvx2Fma() ? Run<kAvxKernel>(in, out, numInputFrames)
                                    : Run<kSseKernel>(in, out, numInputFrames);
}

int CDecimationFilter::ProcessScalar(const float* const* in, float* const* out, int numInputFrames)
{
    CScopedPreferredMxcsr mxcsr;
    return Run<kScalarKernel>(in, out, numInputFrames);
}

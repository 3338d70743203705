#include "common/dsp/CDecimationFilter.h"

#include "common/dsp/FirKernels.h"
#include "library/util/CSystemUtil.h"

#include <algorithm>
#include <cstring>

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
    {
        m_ram.history[c].assign(2 * DecimationFilterRam::kRingSize, 0.0f);
        m_ram.parity[c].assign(4 * DecimationFilterRam::kParitySize, 0.0f);
    }
    Reset();
}

CDecimationFilter::~CDecimationFilter() = default;

void CDecimationFilter::Reset()
{
    for (uint32_t c = 0; c < m_ram.numChannels; ++c)
    {
        std::fill(m_ram.history[c].begin(), m_ram.history[c].end(), 0.0f);
        std::fill(m_ram.parity[c].begin(), m_ram.parity[c].end(), 0.0f);
    }
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
    // A sinc cut off at a quarter of the rate is zero at every even distance
    // from its centre (taps is odd, its centre an index).
    const int centre = (taps - 1) / 2;
    m_ram.halfBand =
        m_ram.decimation == 2 && taps > 1 && cutoffHz > 0 && int64_t{cutoffHz} * 4 == int64_t{sampleRate};
    for (int i = 0; i < taps; ++i)
    {
        const bool sincZero = m_ram.halfBand && i != centre && (i - centre) % 2 == 0;
        m_ram.coeffs[i] = sincZero ? 0.0f : static_cast<float>(m_coeffs->GetFilterCoeff(i));
    }
    // The odd-distance taps, at the odd places of the window.
    m_ram.numDenseTaps = m_ram.halfBand ? static_cast<uint32_t>(centre) : 0;
    std::fill(std::begin(m_ram.denseTaps), std::end(m_ram.denseTaps), 0.0f);
    for (uint32_t k = 0; k < m_ram.numDenseTaps; ++k)
        m_ram.denseTaps[k] = m_ram.coeffs[2 * k + 1];
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
        produced = kKernel == kAvxKernel && m_ram.halfBand
                       ? RunHalfBandChannel(c, in[c], out[c], static_cast<uint32_t>(n))
                       : RunChannel<kKernel>(c, in[c], out[c], static_cast<uint32_t>(n));
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
        // Kept for the vector form, should the two take turns.
        if (m_ram.halfBand)
            StoreParity(channel, src + i, writeIndex, count);
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

void CDecimationFilter::StoreParity(uint32_t channel, const float* src, uint32_t first, uint32_t count)
{
    constexpr uint32_t size = DecimationFilterRam::kParitySize;
    float* even = m_ram.parity[channel].data();
    float* odd = even + 2 * size;
    const auto store = [](float* ring, uint32_t index, float v)
    {
        const uint32_t at = (index >> 1) & (size - 1);
        ring[at] = ring[at + size] = v;
    };
    uint32_t k = 0;
    if (count > 0 && (first & 1) != 0)
        store(odd, first, src[k++]);
    // Pairs of an even and an odd input share their place in the rings.
    while (count - k >= 2)
    {
        const uint32_t at = ((first + k) >> 1) & (size - 1);
        const uint32_t pairs = std::min((count - k) / 2, size - at);
        const float* pair = src + k;
        for (uint32_t j = 0; j < pairs; ++j)
        {
            even[at + j] = even[at + j + size] = pair[2 * j];
            odd[at + j] = odd[at + j + size] = pair[2 * j + 1];
        }
        k += 2 * pairs;
    }
    if (k < count)
        store(even, first + k, src[k]);
}

int CDecimationFilter::RunHalfBandChannel(uint32_t channel, const float* src, float* dst, uint32_t n)
{
    constexpr uint32_t size = DecimationFilterRam::kParitySize;
    constexpr uint32_t ringSize = DecimationFilterRam::kRingSize;
    const uint32_t taps = m_ram.taps;
    const uint32_t centre = (taps - 1) / 2;
    const uint32_t dense = m_ram.numDenseTaps;
    const float centreTap = m_ram.coeffs[centre];
    float* h = m_ram.history[channel].data();
    const float* rings = m_ram.parity[channel].data();
    uint32_t writeIndex = m_ram.writeIndex;
    uint32_t nextOutput = m_ram.nextOutputIndex;
    // A stretch leaves the window of its first output in both kinds of ring.
    const uint32_t stretch = std::min(ringSize - taps, 2 * (size - dense - 2));
    int produced = 0;
    for (uint32_t i = 0; i < n;)
    {
        const uint32_t count = std::min(stretch, n - i);
        // The history as the other forms keep it, should they take turns.
        const uint32_t w = writeIndex & m_ram.ringMask;
        const uint32_t head = std::min(count, ringSize - w);
        for (float* copy : {h, h + ringSize})
        {
            std::memcpy(copy + w, src + i, head * sizeof(float));
            std::memcpy(copy, src + i + head, (count - head) * sizeof(float));
        }
        StoreParity(channel, src + i, writeIndex, count);
        // The outputs due in the stretch, in runs that end where a ring
        // wraps. Output n takes the odd-distance taps over the inputs of the
        // other parity up to n - 1, and the centre tap on input n - centre
        // (centre is even).
        const uint32_t due = nextOutput - writeIndex;
        uint32_t left = due < count ? 1 + (count - 1 - due) / 2 : 0;
        while (left > 0)
        {
            const uint32_t newest = ((nextOutput - 1) >> 1) & (size - 1);
            const uint32_t middle = ((nextOutput - centre) >> 1) & (size - 1);
            const uint32_t run = std::min({left, size - newest, size - middle});
            const float* x = rings + 2 * size * ((nextOutput - 1) & 1) + newest + size + 1 - dense;
            const float* xc = rings + 2 * size * (nextOutput & 1) + middle + size;
            if (dst != nullptr)
                FirKernels::HalfBandRun<FirKernels::kHalfBandDecimate>(m_ram.denseTaps, dense, x, centreTap,
                                                                       xc, run, 0, dst + produced);
            produced += static_cast<int>(run);
            nextOutput += 2 * run;
            left -= run;
        }
        writeIndex += count;
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

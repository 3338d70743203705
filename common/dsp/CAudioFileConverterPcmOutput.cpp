#include "common/dsp/CAudioFileConverterPcmOutput.h"

#include "common/dsp/ConverterSet/CConverterSet.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace
{
std::unique_ptr<CAudioRecorderOutputProcessBase> MakeOutputProcess(int type)
{
    switch (type)
    {
    case kOutputProcessTpdfDither:
        return std::make_unique<CAudioRecorderOutputProcessTpdfDither>();
    case kOutputProcessNoiseShapedDither:
        return std::make_unique<CAudioRecorderOutputProcessNoiseShapedDither>();
    default:
        return std::make_unique<CAudioRecorderOutputProcessNone>();
    }
}

// The first mode index of every input rate, by its index in kExportRates.
constexpr int kModeBase[kNumExportRates] = {0, 6, 10, 14};
} // namespace

CAudioFileConverterPcmOutput::CAudioFileConverterPcmOutput(int numChannels)
    : CAudioFileConverterBase(numChannels), m_outputBuffer(kOutputBufferFrames, kMaxChannels),
      m_intStorage(new int32_t[static_cast<size_t>(kOutputBufferFrames) * kMaxChannels]()),
      m_outputProcess(MakeOutputProcess(kOutputProcessNone))
{
    for (uint16_t c = 0; c < kMaxChannels; ++c)
        m_intBuffers[c] = m_intStorage.get() + static_cast<size_t>(c) * kOutputBufferFrames;
}

CAudioFileConverterPcmOutput::~CAudioFileConverterPcmOutput() = default;

int CAudioFileConverterPcmOutput::GetConvertModeIndex(uint32_t inRate, uint32_t outRate)
{
    const int in = GetExportRateIndex(inRate);
    const int out = GetExportRateIndex(outRate);
    return in < 0 || out < 0 ? -1 : kModeBase[in] + out;
}

int CAudioFileConverterPcmOutput::SetOutputProcessType(int type)
{
    if (type != m_outputProcessType)
    {
        // A new stage starts from its initial state, as for a new export.
        m_outputProcessType = type;
        const uint16_t sourceBits = m_outputProcess->GetInputOriginalBitsPerSample();
        m_outputProcess = MakeOutputProcess(type);
        m_outputProcess->SetInputOriginalBitsPerSample(sourceBits);
        m_outputProcess->SetAudioRecorderOutput(m_writeTarget);
    }
    return m_outputProcessType;
}

int CAudioFileConverterPcmOutput::SetDsdOutbandFilterType(int type)
{
    m_dsdOutbandFilterType = type;
    return m_dsdOutbandFilterType;
}

void CAudioFileConverterPcmOutput::GetPeakLeveldB(float* levels, int* clipState)
{
    if (levels == nullptr)
        return;
    const int channels = GetNumChannels();
    if (clipState != nullptr)
        *clipState = 0;
    if (Input() == nullptr || Output() == nullptr)
    {
        std::fill(levels, levels + channels, CDynamicControl::kNoPeakLevel);
        return;
    }
    if (IsDirectProcessMode())
    {
        std::fill(levels, levels + channels, 0.0f);
        return;
    }
    CDynamicControl& control = ActiveControl();
    const int measured = std::min<int>(control.GetNumChannels(), channels);
    float highest = -200.0f;
    for (int c = 0; c < channels; ++c)
    {
        levels[c] = c < measured ? control.GetPeakLeveldB(c) : levels[0];
        highest = std::max(highest, levels[c]);
    }
    if (clipState != nullptr && !m_sinkIsFloat.load(std::memory_order_acquire) && highest > 0.0f)
        *clipState = 2;
}

bool CAudioFileConverterPcmOutput::SetupConverter()
{
    CAudioPlayerInput* input = Input();
    CAudioRecorderOutput* output = Output();
    if (input == nullptr || output == nullptr)
        return false;

    SetWriteTarget(output);
    m_sinkIsFloat.store(output->IsFloatingPoint(), std::memory_order_release);
    m_outputProcess->SetInputOriginalBitsPerSample(input->GetBitsPerSample());

    const int index = GetConvertModeIndex(input->GetSampleRate(), output->GetSampleRate());
    const int channels = input->GetNumChannels();
    if (m_converter != nullptr && index >= 0 && index == m_convertModeIndex &&
        m_converter->GetNumChannels() == channels)
    {
        if (!m_connectedFromPrevious)
        {
            m_converter->Reset();
            m_outputProcess->Reset();
        }
        return true;
    }

    m_connectedFromPrevious = false;
    m_converter.reset();
    m_outputProcess->Reset();
    m_convertModeIndex = -1;
    if (index < 0)
        return false;
    m_converter = CreateConverterForRates(input->GetSampleRate(), output->GetSampleRate(), channels, false);
    if (m_converter == nullptr)
        return false;
    m_convertModeIndex = index;
    return true;
}

void CAudioFileConverterPcmOutput::SetupDynamicControl()
{
    CAudioPlayerInput* input = Input();
    CAudioRecorderOutput* output = Output();
    if (input == nullptr || output == nullptr)
        return;
    // The song's length in output frames, given as a time half a frame
    // longer, so that the fades' truncation to frames gives exactly this
    // length whatever the rounding of the division.
    const uint32_t inRate = input->GetSampleRate();
    const uint32_t outRate = output->GetSampleRate();
    const int64_t frames = std::max<int64_t>(input->GetNumSamples(), 0);
    if (inRate == 0 || outRate == 0)
    {
        m_controls.SetRateAndLength(outRate, input->GetTotalTimeSecond());
        return;
    }
    const int64_t outputFrames = frames / inRate * outRate + frames % inRate * outRate / inRate;
    m_controls.SetRateAndLength(outRate, (static_cast<double>(outputFrames) + 0.5) / outRate);
}

uint32_t CAudioFileConverterPcmOutput::GetBufferInputSamples()
{
    if (m_converter == nullptr)
        return 0;
    const uint64_t down = static_cast<uint64_t>(std::max(m_converter->GetDecimationRate(), 1));
    const uint64_t up = static_cast<uint64_t>(std::max(m_converter->GetOversamplingRate(), 1));
    const uint64_t frames = uint64_t{kOutputBufferFrames} * down / up;
    return static_cast<uint32_t>(std::clamp<uint64_t>(frames, 1, kInputBufferFrames));
}

uint16_t CAudioFileConverterPcmOutput::SourceChannels() const
{
    // The converter is built for the song's channel count; the source object
    // itself may already hold the next song when a tail is finished.
    return m_converter != nullptr ? static_cast<uint16_t>(m_converter->GetNumChannels()) : 0;
}

uint32_t CAudioFileConverterPcmOutput::FittingBlock(uint32_t wanted) const
{
    uint32_t n = std::min({wanted, m_blockLength, kInputBufferFrames});
    if (m_converter == nullptr)
        return n;
    // The block length is chosen to fit; this only guards against a
    // converter whose phase would give one frame more.
    while (n > 0 && m_converter->GetOutputFrameCount(n) > kOutputBufferFrames)
        --n;
    return n;
}

template <typename T>
bool CAudioFileConverterPcmOutput::FillAndWrite(T** bufs, uint32_t n)
{
    if (n == 0 || m_writeTarget == nullptr)
        return true;
    const uint16_t from = SourceChannels();
    const uint16_t to = std::min<uint16_t>(m_writeTarget->GetNumChannels(), kMaxChannels);
    for (uint16_t c = from; c < to; ++c)
        std::memcpy(bufs[c], bufs[0], sizeof(T) * n);
    if (m_outputProcess->WriteAudioData(bufs, n) != n)
    {
        Fail(kConvertWriteFailed);
        return false;
    }
    return true;
}

template <typename T>
uint32_t CAudioFileConverterPcmOutput::CopyBlock(T** bufs, uint32_t n)
{
    const uint32_t got = ReadInput(bufs, n);
    return got > 0 && FillAndWrite(bufs, got) ? got : 0;
}

bool CAudioFileConverterPcmOutput::ConvertAndWrite(uint32_t n, TailFade* fade)
{
    uint32_t done = 0;
    while (done < n)
    {
        // Every piece's output belongs to one song.
        const uint32_t piece = std::min(n - done, FramesUntilPaid());
        if (!ConvertPiece(done, piece, fade))
            return false;
        done += piece;
        Fed(piece);
    }
    return true;
}

bool CAudioFileConverterPcmOutput::ConvertPiece(uint32_t first, uint32_t n, TailFade* fade)
{
    float* in[kMaxChannels];
    float** buffers = m_inputBuffer.GetBufferPointer();
    for (uint16_t c = 0; c < kMaxChannels; ++c)
        in[c] = buffers[c] + first;
    float** out = m_outputBuffer.GetBufferPointer();
    const uint32_t m = m_converter->Process(in, out, n);
    if (m == 0)
        return true;
    ActiveControl().Process(out, m);
    if (fade != nullptr)
    {
        // The end of the chain leaves the filter faded out to silence.
        CPcmUtil::FadeOut(out, out, m, SourceChannels(), fade->length, fade->written, 0);
        fade->written += m;
    }
    SetWriteTarget(RouteTarget());
    return FillAndWrite(out, m);
}

bool CAudioFileConverterPcmOutput::PreProcess()
{
    if (m_converter == nullptr || Input() == nullptr)
        return false;
    const uint32_t delay = static_cast<uint32_t>(std::max(m_converter->GetDelayOffsetInputSamples(), 0));
    const uint16_t channels = SourceChannels();
    float** in = m_inputBuffer.GetBufferPointer();
    float** out = m_outputBuffer.GetBufferPointer();
    uint32_t fed = 0;
    while (!IsCancelled() && fed < delay)
    {
        const uint32_t got = ReadInput(FittingBlock(delay - fed));
        if (got == 0)
            break;
        // The filter's history fills with the song's first frames faded in
        // from silence; what comes out meanwhile lies before the song.
        CPcmUtil::FadeIn(in, in, got, channels, delay, fed, 0);
        m_converter->Process(in, out, got);
        Fed(got);
        fed += got;
        WaitWhilePaused();
    }
    return GetFailure() == kConvertDone && !IsCancelled();
}

uint32_t CAudioFileConverterPcmOutput::MainProcessSingleLoop()
{
    if (m_converter == nullptr || Input() == nullptr || GetFailure() != kConvertDone)
        return 0;
    const uint32_t got = ReadInput(FittingBlock(m_blockLength));
    if (got == 0)
        return 0;
    return ConvertAndWrite(got) ? got : 0;
}

bool CAudioFileConverterPcmOutput::PostProcess()
{
    if (m_converter == nullptr)
        return false;
    const uint64_t delay = static_cast<uint64_t>(std::max(m_converter->GetDelayOffsetInputSamples(), 0));
    const uint64_t up = static_cast<uint64_t>(std::max(m_converter->GetOversamplingRate(), 1));
    const uint64_t down = static_cast<uint64_t>(std::max(m_converter->GetDecimationRate(), 1));
    TailFade fade{static_cast<uint32_t>(delay * up / down), 0};

    m_inputBuffer.Reset();
    uint64_t fed = 0;
    while (!IsCancelled() && fed < delay)
    {
        const uint32_t n = FittingBlock(static_cast<uint32_t>(delay - fed));
        if (!ConvertAndWrite(n, &fade))
            return false;
        fed += n;
        WaitWhilePaused();
    }
    return GetFailure() == kConvertDone && !IsCancelled();
}

bool CAudioFileConverterPcmOutput::HandOverToPreviousOutput()
{
    if (m_converter == nullptr)
        return true;
    SettleOwedSongs();
    while (!IsCancelled() && FramesUntilPaid() != UINT32_MAX)
    {
        // A song that ends first leaves the rest to the songs after it.
        const uint32_t got = ReadInput(FittingBlock(FramesUntilPaid()));
        if (got == 0 || !ConvertAndWrite(got))
            break;
        WaitWhilePaused();
    }
    return GetFailure() == kConvertDone && !IsCancelled();
}

uint32_t CAudioFileConverterPcmOutput::DirectFloatBlock(uint32_t n, bool withControls)
{
    const uint32_t got = ReadInput(std::min(n, kOutputBufferFrames));
    if (got == 0)
        return 0;
    float** in = m_inputBuffer.GetBufferPointer();
    float** out = m_outputBuffer.GetBufferPointer();
    if (withControls)
        ActiveControl().Process(in, out, got);
    else
        CPcmUtil::Copy(in, out, got, SourceChannels(), 0, 0);
    return FillAndWrite(out, got) ? got : 0;
}

bool CAudioFileConverterPcmOutput::DirectProcess()
{
    CAudioPlayerInput* input = Input();
    CAudioRecorderOutput* output = Output();
    if (input == nullptr || output == nullptr)
        return false;
    CDynamicControl& control = ActiveControl();
    const uint32_t block = std::min(std::max(m_blockLength, 1u), kOutputBufferFrames);

    // The fades in effect: a fade-out of length 0 leaves every frame after
    // the fade-in to the copy.
    int fadeOutType = 0;
    float fadeOutSeconds = 0.0f;
    control.GetFadeParams(nullptr, nullptr, &fadeOutType, &fadeOutSeconds);
    const int64_t fadeInStop = control.GetFadeInStopSample();
    const int64_t fadeOutStart = fadeOutType > 0 && fadeOutSeconds > 0.0f
                                     ? control.GetFadeOutStartSample()
                                     : std::numeric_limits<int64_t>::max();
    int64_t position = 0;

    // Fade-in: every frame goes through the controls, the last block cut at
    // the fade's end.
    while (!IsCancelled() && position < fadeInStop)
    {
        const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(block, fadeInStop - position));
        const uint32_t got = DirectFloatBlock(n, true);
        if (got == 0)
            return GetFailure() == kConvertDone;
        position += got;
        WaitWhilePaused();
    }

    // Between the fades: the samples as they are, up to the frame before the
    // fade-out (or to the end of the song).
    const bool integers = !input->IsFloatingPoint() && !output->IsFloatingPoint();
    float** floats = m_outputBuffer.GetBufferPointer();
    while (!IsCancelled() && position < fadeOutStart)
    {
        const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(block, fadeOutStart - position));
        const uint32_t got = integers ? CopyBlock(m_intBuffers, n) : CopyBlock(floats, n);
        if (got == 0)
            return GetFailure() == kConvertDone;
        position += got;
        WaitWhilePaused();
    }

    // Fade-out: through the controls, placed at the frame reached.
    SetControlPosition(position);
    while (!IsCancelled())
    {
        if (DirectFloatBlock(block, true) == 0)
            return GetFailure() == kConvertDone;
        WaitWhilePaused();
    }
    return GetFailure() == kConvertDone;
}

bool CAudioFileConverterPcmOutput::CanContinueInto(CAudioPlayerInput* input, CAudioRecorderOutput* output)
{
    if (m_converter == nullptr || m_convertModeIndex < 0 || input == nullptr || output == nullptr)
        return false;
    return GetConvertModeIndex(input->GetSampleRate(), output->GetSampleRate()) == m_convertModeIndex &&
           m_converter->GetNumChannels() == input->GetNumChannels();
}

void CAudioFileConverterPcmOutput::ResetOutputStage()
{
    m_outputProcess->Reset();
}

void CAudioFileConverterPcmOutput::SetWriteTarget(CAudioRecorderOutput* output)
{
    if (m_writeTarget == output && m_outputProcess->GetAudioRecorderOutput() == output)
        return;
    m_writeTarget = output;
    m_outputProcess->SetAudioRecorderOutput(output);
}

#include "common/dsp/CAudioFileConverterBase.h"

#include "library/util/CDataUtil.h"

#include <algorithm>

namespace
{
int LimitChannels(int channels)
{
    return std::clamp(channels, 1, static_cast<int>(CAudioFileConverterBase::kMaxChannels));
}
} // namespace

// ---------------------------------------------------------------------------
// Controls

template <typename T, typename Forward>
T CAudioFileConverterBase::Controls::Set(T Values::*field, T value, Forward forward)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_values.*field = value;
    if (m_target != nullptr && !m_held)
        return forward(*m_target);
    return value;
}

template <typename T>
T CAudioFileConverterBase::Controls::Get(T Values::*field) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_values.*field;
}

float CAudioFileConverterBase::Controls::SetGaindB(float dB)
{
    return Set(&Values::gaindB, dB, [dB](CDynamicControl& chain) { return chain.SetGaindB(dB); });
}

float CAudioFileConverterBase::Controls::SetPan(float pan)
{
    return Set(&Values::pan, pan, [pan](CDynamicControl& chain) { return chain.SetPan(pan); });
}

int CAudioFileConverterBase::Controls::SetDcCutMode(int mode)
{
    return Set(&Values::dcCutMode, mode,
               [mode](CDynamicControl& chain)
               {
                   chain.SetDcCutMode(mode);
                   return mode;
               });
}

void CAudioFileConverterBase::Controls::SetFadeParams(int fadeInType, float fadeInSeconds, int fadeOutType,
                                                      float fadeOutSeconds)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_values.fadeInType = fadeInType;
    m_values.fadeInSeconds = fadeInSeconds;
    m_values.fadeOutType = fadeOutType;
    m_values.fadeOutSeconds = fadeOutSeconds;
    if (m_target != nullptr && !m_held)
        m_target->SetFadeParams(fadeInType, fadeInSeconds, fadeOutType, fadeOutSeconds);
}

float CAudioFileConverterBase::Controls::GetGaindB() const
{
    return Get(&Values::gaindB);
}

float CAudioFileConverterBase::Controls::GetPan() const
{
    return Get(&Values::pan);
}

int CAudioFileConverterBase::Controls::GetDcCutMode() const
{
    return Get(&Values::dcCutMode);
}

void CAudioFileConverterBase::Controls::GetFadeParams(int* fadeInType, float* fadeInSeconds, int* fadeOutType,
                                                      float* fadeOutSeconds) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (fadeInType != nullptr)
        *fadeInType = m_values.fadeInType;
    if (fadeInSeconds != nullptr)
        *fadeInSeconds = m_values.fadeInSeconds;
    if (fadeOutType != nullptr)
        *fadeOutType = m_values.fadeOutType;
    if (fadeOutSeconds != nullptr)
        *fadeOutSeconds = m_values.fadeOutSeconds;
}

void CAudioFileConverterBase::Controls::SetTarget(CDynamicControl* target)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_target = target;
    if (!m_held)
        ApplyLocked(m_values);
}

void CAudioFileConverterBase::Controls::SetRateAndLength(uint32_t rate, double totalSeconds)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_values.rate = rate;
    m_values.totalSeconds = totalSeconds;
    if (m_target != nullptr && !m_held)
    {
        m_target->SetSampleRate(rate);
        m_target->SetTotalTimeSecond(totalSeconds);
    }
}

void CAudioFileConverterBase::Controls::Hold()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_held = true;
}

void CAudioFileConverterBase::Controls::Release()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_held)
        return;
    m_held = false;
    ApplyLocked(m_values);
}

CAudioFileConverterBase::Controls::Values CAudioFileConverterBase::Controls::Snapshot() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_values;
}

void CAudioFileConverterBase::Controls::ApplyHeld(const Values& values)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_held)
        ApplyLocked(values);
}

bool CAudioFileConverterBase::Controls::LeaveSamplesUntouched() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_values.gaindB == 0.0f && m_values.pan == 0.0f && m_values.dcCutMode == 0;
}

void CAudioFileConverterBase::Controls::ApplyLocked(const Values& values)
{
    if (m_target == nullptr)
        return;
    // The requested values as they were given, so that the chain shortens the
    // fades exactly as it would have on the first setting.
    m_target->SetGaindB(values.gaindB);
    m_target->SetPan(values.pan);
    m_target->SetDcCutMode(values.dcCutMode);
    if (values.rate != 0)
        m_target->SetSampleRate(values.rate);
    m_target->SetTotalTimeSecond(values.totalSeconds);
    m_target->SetFadeParams(values.fadeInType, values.fadeInSeconds, values.fadeOutType,
                            values.fadeOutSeconds);
}

// ---------------------------------------------------------------------------
// Converter

CAudioFileConverterBase::CAudioFileConverterBase(int numChannels)
    : m_inputBuffer(kInputBufferFrames, kMaxChannels), m_numChannels(LimitChannels(numChannels)),
      m_monoControl(1), m_stereoControl(2),
      m_activeControl(numChannels == 1 ? &m_monoControl : &m_stereoControl)
{
    m_controls.SetTarget(m_activeControl.load());
}

CAudioFileConverterBase::~CAudioFileConverterBase() = default;

int64_t CAudioFileConverterBase::GetExportDataSize(int64_t numSamples, int inRate, int outRate, int bits,
                                                   int channels, int bitRate)
{
    if (inRate <= 0)
        return 0;
    const int64_t bitsPerSecond =
        bitRate > 0 ? bitRate : static_cast<int64_t>(outRate) * static_cast<int64_t>(bits) * channels;
    return (numSamples >> 3) * bitsPerSecond / inRate + 2048;
}

bool CAudioFileConverterBase::SetAudioFiles(CAudioPlayerInput* input, CAudioRecorderOutput* output,
                                            bool connectsToNext)
{
    m_directMode.store(false, std::memory_order_release);
    m_directCandidate = false;
    m_failure = kConvertDone;

    // A chain from the previous song goes on only into a song the converter
    // can take as it is; otherwise the previous song gets its tail now, while
    // its converter and its output are still there.
    const bool valid = input != nullptr && output != nullptr && input->GetNumChannels() >= 1 &&
                       input->GetNumChannels() <= kMaxChannels && output->GetNumChannels() >= 1 &&
                       output->GetNumChannels() <= kMaxChannels &&
                       output->GetNumChannels() >= input->GetNumChannels();
    const bool pending = !m_owed.empty();
    const bool continues = pending && !IsCancelled() && valid && CanContinueInto(input, output);
    if (pending && !continues)
        m_previousSongFailure = FinishPreviousSong();

    m_input.store(input, std::memory_order_release);
    m_output.store(output, std::memory_order_release);
    m_connectedFromPrevious = continues;
    m_connectsToNext.store(connectsToNext && !IsCancelled(), std::memory_order_release);
    ResetPosition(0);
    m_inputRate.store(valid ? input->GetSampleRate() : 0, std::memory_order_release);
    m_inputLength.store(valid ? input->GetNumSamples() : 0, std::memory_order_release);

    if (!valid)
    {
        m_connectedFromPrevious = false;
        m_connectsToNext.store(false, std::memory_order_release);
        m_input.store(nullptr, std::memory_order_release);
        m_output.store(nullptr, std::memory_order_release);
        return false;
    }

    CDynamicControl* wanted = input->GetNumChannels() == 1 ? &m_monoControl : &m_stereoControl;
    if (wanted != m_activeControl.load(std::memory_order_acquire))
    {
        m_connectedFromPrevious = false;
        m_activeControl.store(wanted, std::memory_order_release);
        m_controls.SetTarget(wanted);
    }

    SetupDynamicControl();
    if (!m_connectedFromPrevious)
        ActiveControl().Reset();

    if (!SetupConverter())
    {
        m_connectedFromPrevious = false;
        m_connectsToNext.store(false, std::memory_order_release);
        m_converter.reset();
        return false;
    }
    m_blockLength = GetBufferInputSamples();

    m_directCandidate = input->GetSampleRate() == output->GetSampleRate() && input->IsLossless();
    UpdateDirectMode();
    return true;
}

int CAudioFileConverterBase::EjectAudioFiles()
{
    int result = kConvertDone;
    if (!m_owed.empty())
        result = FinishPreviousSong();
    m_input.store(nullptr, std::memory_order_release);
    m_output.store(nullptr, std::memory_order_release);
    m_connectedFromPrevious = false;
    m_connectsToNext.store(false, std::memory_order_release);
    m_directMode.store(false, std::memory_order_release);
    m_inputRate.store(0, std::memory_order_release);
    m_inputLength.store(0, std::memory_order_release);
    m_position.store(0, std::memory_order_release);
    m_previousSongFailure = kConvertDone;
    return result;
}

int CAudioFileConverterBase::FinishPreviousSong()
{
    int result = kConvertDone;
    if (IsCancelled())
        result = kConvertCancelled;
    else if (m_converter != nullptr)
    {
        // The tail feeds the converter's delay: just what the last owed song
        // still needs.
        m_failure = kConvertDone;
        SettleOwedSongs();
        if (!PostProcess())
            result = m_failure != kConvertDone ? m_failure : kConvertWriteFailed;
        else if (IsCancelled())
            result = kConvertCancelled;
        SetWriteTarget(Output());
    }
    m_owed.clear();
    m_connectedFromPrevious = false;
    m_controls.Release();
    return result;
}

void CAudioFileConverterBase::OweRestOfSong(CAudioRecorderOutput* output)
{
    const int64_t delay = m_converter != nullptr ? std::max(m_converter->GetDelayOffsetInputSamples(), 0) : 0;
    m_owed.push_back({output, m_controls.Snapshot(), m_fed + delay});
    m_controls.Hold();
}

bool CAudioFileConverterBase::OwesFramesTo(const CAudioRecorderOutput* output) const
{
    return std::any_of(m_owed.begin(), m_owed.end(),
                       [output](const OwedSong& s) { return s.output == output; });
}

uint32_t CAudioFileConverterBase::FramesUntilPaid() const
{
    if (m_owed.empty())
        return UINT32_MAX;
    return static_cast<uint32_t>(std::clamp<int64_t>(m_owed.front().paidAt - m_fed, 0, UINT32_MAX));
}

CAudioRecorderOutput* CAudioFileConverterBase::RouteTarget() const
{
    return m_owed.empty() ? Output() : m_owed.front().output;
}

void CAudioFileConverterBase::Fed(uint32_t n)
{
    m_fed += n;
    SettleOwedSongs();
}

void CAudioFileConverterBase::SettleOwedSongs()
{
    while (!m_owed.empty() && m_owed.front().paidAt <= m_fed)
    {
        m_owed.erase(m_owed.begin());
        // The next frames are the next song's first ones, with its controls.
        if (!m_owed.empty())
            m_controls.ApplyHeld(m_owed.front().controls);
        else
            m_controls.Release();
        SetWriteTarget(RouteTarget());
        SetControlPosition(0);
    }
}

void CAudioFileConverterBase::Cancel()
{
    {
        const std::lock_guard<std::mutex> lock(m_pauseLock);
        m_cancel.store(true, std::memory_order_release);
        m_pause.store(false, std::memory_order_release);
    }
    m_connectsToNext.store(false, std::memory_order_release);
    m_pauseEnded.notify_all();
}

void CAudioFileConverterBase::ClearCancel()
{
    m_cancel.store(false, std::memory_order_release);
}

void CAudioFileConverterBase::Pause()
{
    m_pause.store(true, std::memory_order_release);
}

void CAudioFileConverterBase::Resume()
{
    {
        const std::lock_guard<std::mutex> lock(m_pauseLock);
        m_pause.store(false, std::memory_order_release);
    }
    m_pauseEnded.notify_all();
}

void CAudioFileConverterBase::GetCurTime(int* hours, int* minutes, float* seconds) const
{
    const uint32_t rate = m_inputRate.load(std::memory_order_acquire);
    const double t = rate > 0 ? static_cast<double>(m_position.load(std::memory_order_acquire)) / rate : 0.0;
    CDataUtil::SecondToTime(t, hours, minutes, seconds);
}

double CAudioFileConverterBase::GetCurPositionPercent() const
{
    const int64_t length = m_inputLength.load(std::memory_order_acquire);
    if (length <= 0)
        return 0.0;
    return 100.0 * static_cast<double>(m_position.load(std::memory_order_acquire)) /
           static_cast<double>(length);
}

void CAudioFileConverterBase::ResetPosition(int64_t frame)
{
    m_position.store(frame, std::memory_order_release);
}

void CAudioFileConverterBase::UpdateDirectMode()
{
    m_directMode.store(m_directCandidate && m_controls.LeaveSamplesUntouched(), std::memory_order_release);
}

std::unique_ptr<CConverterPcmOutputDspBase>
CAudioFileConverterBase::ReplaceConverter(std::unique_ptr<CConverterPcmOutputDspBase> converter)
{
    std::swap(converter, m_converter);
    return converter;
}

void CAudioFileConverterBase::SetControlPosition(int64_t outputFrame)
{
    // The chain turns seconds into frames by truncation; half a frame more
    // lands exactly on the frame whatever the rounding of the division.
    const uint32_t rate = Output() != nullptr ? Output()->GetSampleRate() : 0;
    if (rate == 0)
        return;
    ActiveControl().SetCurTimeSecond((static_cast<double>(outputFrame) + 0.5) / rate);
}

bool CAudioFileConverterBase::PrepareRender(int64_t startFrame)
{
    CAudioPlayerInput* input = Input();
    if (input == nullptr || Output() == nullptr || m_converter == nullptr || startFrame < 0)
        return false;
    const int64_t up = m_converter->GetOversamplingRate();
    const int64_t down = m_converter->GetDecimationRate();
    if (up <= 0 || down <= 0 || startFrame % down != 0)
        return false;
    m_failure = kConvertDone;
    input->SetCurSamplePosition(startFrame);
    ResetPosition(startFrame);
    m_fed = 0;
    m_converter->Reset();
    // The pre-roll of the converter's delay then ends exactly on startFrame.
    m_converter->AlignOutputs(m_converter->GetDelayOffsetInputSamples());
    ResetOutputStage();
    ActiveControl().Reset();
    SetControlPosition(startFrame / down * up);
    return true;
}

int CAudioFileConverterBase::Process()
{
    CAudioPlayerInput* input = Input();
    CAudioRecorderOutput* output = Output();
    if (m_previousSongFailure != kConvertDone)
    {
        // The previous song could not be finished when this one was bound.
        const int failure = m_previousSongFailure;
        m_previousSongFailure = kConvertDone;
        return failure == kConvertCancelled ? kConvertCancelled : kConvertPreviousSongFailed;
    }
    if (input == nullptr || output == nullptr || m_converter == nullptr)
        return kConvertNotReady;
    if (IsCancelled())
        return kConvertCancelled;

    const bool connected = m_connectedFromPrevious && !m_owed.empty();
    m_failure = kConvertDone;
    if (connected)
    {
        input->SetCurSamplePosition(0);
        ResetPosition(0);
    }
    else
    {
        PrepareRender(0);
    }

    // Markers first: a sink hands both on to its inner writers when told the
    // information is complete.
    output->GetMetaDataPtr()->CopyAll(input->GetMetaDataPtr());
    output->GetMarkerPtr()->CopyAll(input->GetMarkerPtr());
    output->SetMetaDataFixed();

    // The earlier songs' last frames come out of the converter while this
    // song's first frames go in; they go to their own outputs with their own
    // controls.
    if (connected && !HandOverToPreviousOutput())
    {
        if (IsCancelled())
            return kConvertCancelled;
        // A read failure is this song's own; a write failure is an earlier
        // song's output.
        return m_failure == kConvertReadFailed ? kConvertReadFailed : kConvertPreviousSongFailed;
    }

    UpdateDirectMode();
    if (IsDirectProcessMode())
    {
        const bool ok = DirectProcess();
        if (!ok || m_failure != kConvertDone)
            return m_failure != kConvertDone ? m_failure : kConvertWriteFailed;
        if (IsCancelled())
            return kConvertCancelled;
        // Nothing is delayed in direct mode; the chain only keeps the state.
        if (ConnectsToNext())
            OweRestOfSong(output);
        return kConvertDone;
    }

    if (!connected && !PreProcess())
        return m_failure != kConvertDone ? m_failure : kConvertCancelled;

    while (!IsCancelled())
    {
        if (MainProcessSingleLoop() == 0)
            break;
        WaitWhilePaused();
    }
    if (m_failure != kConvertDone)
        return m_failure;
    if (IsCancelled())
        return kConvertCancelled;

    if (ConnectsToNext())
    {
        // The tail stays in the converter; the next songs deliver it.
        OweRestOfSong(output);
        return kConvertDone;
    }
    if (!PostProcess())
        return m_failure != kConvertDone ? m_failure : kConvertCancelled;
    return IsCancelled() ? kConvertCancelled : kConvertDone;
}

uint32_t CAudioFileConverterBase::ReadInput(uint32_t n)
{
    return ReadInput(m_inputBuffer.GetBufferPointer(), n);
}

template <typename T>
uint32_t CAudioFileConverterBase::ReadInputSamples(T** bufs, uint32_t n)
{
    CAudioPlayerInput* input = Input();
    if (input == nullptr || n == 0)
        return 0;
    uint32_t got = input->ReadAudioData(bufs, n, 0);
    got = std::min(got, n);
    const int64_t position = m_position.load(std::memory_order_relaxed) + got;
    m_position.store(position, std::memory_order_release);
    if (input->AudioDataReadErrorOccured() || (got == 0 && position < input->GetNumSamples()))
    {
        Fail(kConvertReadFailed);
        return 0;
    }
    return got;
}

uint32_t CAudioFileConverterBase::ReadInput(float** bufs, uint32_t n)
{
    return ReadInputSamples(bufs, n);
}

uint32_t CAudioFileConverterBase::ReadInput(int32_t** bufs, uint32_t n)
{
    return ReadInputSamples(bufs, n);
}

void CAudioFileConverterBase::WaitWhilePaused() const
{
    if (!IsPaused())
        return;
    std::unique_lock<std::mutex> lock(m_pauseLock);
    m_pauseEnded.wait(lock, [this] { return !IsPaused() || IsCancelled(); });
}

void CAudioFileConverterBase::Fail(int result)
{
    if (m_failure == kConvertDone)
        m_failure = result;
}

#include "common/dsp/CAudioFilePlayer.h"

#include "library/util/CPcmUtil.h"
#include "library/util/CSystemUtil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

static_assert(std::atomic<double>::is_always_lock_free, "the player's times must be lock-free");
static_assert(std::atomic<int64_t>::is_always_lock_free, "the played frames must be lock-free");
static_assert(std::atomic<float>::is_always_lock_free, "the output rate must be lock-free");

namespace
{
constexpr double kNoSeek = std::numeric_limits<double>::quiet_NaN();
// SeekInState's state for a seek that leaves the transport state alone.
constexpr int kKeepState = -1;

// Cue play: pieces of this length are heard, and the song jumps by
// kCueJumpSeconds after each.
constexpr double kCuePieceSeconds = 0.5;
constexpr double kCueJumpSeconds = 3.0;
constexpr double kFastForwardStartSeconds = 2.0;
constexpr double kRewindStartSeconds = 3.0;
constexpr double kPreviewSeconds = 2.0;
// Within this time after a marker, "previous marker" goes to the one before.
constexpr double kPreviousMarkerGraceSeconds = 1.0;
constexpr double kPreviousMarkerIdleTolerance = 0.0005;
constexpr double kWantsPreviousSongSeconds = 1.0;

// Fades over the first and last frames of a 1-bit source after every start
// or seek, which hide the clicks of its converted stream.
constexpr uint32_t kOneBitFadeFrames = 512;

constexpr int kStopBudgetMs = 5000;
// The reader asks for room for more than this many frames before it reads.
constexpr uint32_t kMinimumFreeFrames = 128;

uint16_t LimitChannels(uint16_t channels)
{
    if (channels == 0)
        return 1;
    return channels > CSimpleBufferPcm::kMaxChannels ? CSimpleBufferPcm::kMaxChannels : channels;
}

double Limit(double t, double low, double high)
{
    if (std::isnan(t) || t < low)
        return low;
    return t > high ? high : t;
}
} // namespace

// ---------------------------------------------------------------------------
// CAudioFilePlayerBase

CAudioFilePlayerBase::CAudioFilePlayerBase(uint16_t channels)
    : m_dynamicControl(std::make_unique<CDynamicControl>(LimitChannels(channels))),
      m_channels(LimitChannels(channels)), m_previewEndSeek(kNoSeek)
{
}

CAudioFilePlayerBase::~CAudioFilePlayerBase() = default;

void CAudioFilePlayerBase::SetPlayerInput(CAudioPlayerInput* source)
{
    m_transportState.store(kTransportIdle, std::memory_order_release);
    // Also joins a reader that ended by itself after a read error.
    StopThread(kStopBudgetMs);
    ReplaceSource(nullptr);
    m_previewEndSeek.store(kNoSeek, std::memory_order_release);
    m_previewEndNotice.store(false, std::memory_order_release);
    if (source == nullptr)
        return;

    source->GiveInternalProcessPriority();
    SourceFacts facts;
    facts.sampleRate = source->GetSampleRate();
    facts.bitsPerSample = source->GetBitsPerSample();
    facts.channels = source->GetNumChannels();
    facts.totalTime = source->GetTotalTimeSecond();
    if (facts.sampleRate == 0)
        return;
    if (!std::isfinite(facts.totalTime) || facts.totalTime < 0.0)
        facts.totalTime = 0.0;
    m_facts = facts;
    m_totalTime.store(facts.totalTime, std::memory_order_release);
    m_sourceRate = facts.sampleRate;
    OnSourceBound();
    ReplaceSource(source);

    SetupConverter();
    m_dynamicControl->SetTotalTimeSecond(facts.totalTime);
    m_dynamicControl->SetPanBypassed(facts.channels == 1);
    SetCurTimeSecond(0.0);
    StartThread(GetThreadPriority());
}

void CAudioFilePlayerBase::EjectInputFile()
{
    m_transportState.store(kTransportIdle, std::memory_order_release);
    StopThread(kStopBudgetMs);
    ReplaceSource(nullptr);
    m_previewEndSeek.store(kNoSeek, std::memory_order_release);
    m_previewEndNotice.store(false, std::memory_order_release);
}

float CAudioFilePlayerBase::SetOutputSampleRate(float rate)
{
    const float current = m_outputRate.load(std::memory_order_acquire);
    if (rate == current || !(rate > 0.0f) || !std::isfinite(rate))
        return current;
    m_transportState.store(kTransportIdle, std::memory_order_release);
    StopThread(kStopBudgetMs);
    m_outputRate.store(rate, std::memory_order_release);
    m_dynamicControl->SetSampleRate(static_cast<uint32_t>(rate));
    SetupConverter();
    SetCurTimeSecond(0.0);
    StartThread(GetThreadPriority());
    return rate;
}

void CAudioFilePlayerBase::Play()
{
    if (GetPlayerInput() == nullptr)
        return;
    SettlePreviewEnd();
    const int state = m_transportState.load(std::memory_order_acquire);
    if (state == kTransportCueForward || state == kTransportCueBackward)
        SeekInState(GetCurTimeSecond(), kTransportPlaying);
    else
        m_transportState.store(kTransportPlaying, std::memory_order_release);
}

void CAudioFilePlayerBase::Pause()
{
    SettlePreviewEnd();
    if (m_transportState.load(std::memory_order_acquire) == kTransportIdle)
        return;
    m_transportState.store(kTransportIdle, std::memory_order_release);
    SetCurTimeSecond(GetCurTimeSecond());
}

void CAudioFilePlayerBase::Stop()
{
    SettlePreviewEnd();
    m_transportState.store(kTransportIdle, std::memory_order_release);
    if (GetCurTimeSecond() > 0.0)
        SetCurTimeSecond(0.0);
    m_dynamicControl->ResetPeakLeveldB();
}

void CAudioFilePlayerBase::FastForward()
{
    if (GetPlayerInput() == nullptr ||
        m_transportState.load(std::memory_order_acquire) == kTransportCueForward)
        return;
    SettlePreviewEnd();
    const double t = GetCurTimeSecond();
    // The seek also restarts both cue counts.
    SeekInState(t > 0.0 ? t + kFastForwardStartSeconds : 0.0, kTransportCueForward);
}

void CAudioFilePlayerBase::Rewind()
{
    if (GetPlayerInput() == nullptr ||
        m_transportState.load(std::memory_order_acquire) == kTransportCueBackward)
        return;
    SettlePreviewEnd();
    SeekInState(GetCurTimeSecond() - kRewindStartSeconds, kTransportCueBackward);
}

void CAudioFilePlayerBase::PlayFrom()
{
    if (GetPlayerInput() == nullptr)
        return;
    SettlePreviewEnd();
    if (m_transportState.load(std::memory_order_acquire) != kTransportIdle)
        return;
    const double start = GetCurTimeSecond();
    m_previewStart.store(start, std::memory_order_release);
    const double length = Limit(GetTotalTime() - start, 0.0, kPreviewSeconds);
    m_previewRemaining.store(static_cast<uint32_t>(length * m_outputRate.load(std::memory_order_acquire)),
                             std::memory_order_release);
    // No seek: the ring already holds the material from the current time.
    m_transportState.store(kTransportPlayFrom, std::memory_order_release);
}

void CAudioFilePlayerBase::PlayTo()
{
    if (GetPlayerInput() == nullptr)
        return;
    SettlePreviewEnd();
    if (m_transportState.load(std::memory_order_acquire) != kTransportIdle)
        return;
    const double t = GetCurTimeSecond();
    const double reached = SetCurTimeSecond(t - kPreviewSeconds);
    const double length = t - reached;
    m_previewRemaining.store(
        length > 0.0 ? static_cast<uint32_t>(length * m_outputRate.load(std::memory_order_acquire)) : 0,
        std::memory_order_release);
    m_transportState.store(kTransportPlayTo, std::memory_order_release);
}

double CAudioFilePlayerBase::SetCurPositionPercent(double percent)
{
    const double total = GetPlayerInput() != nullptr ? GetTotalTime() : 0.0;
    SetCurTimeSecond(total * percent * 0.01);
    return GetCurPositionPercent();
}

bool CAudioFilePlayerBase::SetContinuousPlayback(bool on)
{
    m_continuousPlayback.store(on, std::memory_order_release);
    return GetContinuousPlayback();
}

bool CAudioFilePlayerBase::GetContinuousPlayback()
{
    return m_continuousPlayback.load(std::memory_order_acquire);
}

CDynamicControlParams* CAudioFilePlayerBase::GetDynamicControlParamsPtr()
{
    return m_dynamicControl.get();
}

void CAudioFilePlayerBase::SetTimeOrigin(double seekBase)
{
    const uint32_t s = m_timeSequence.load(std::memory_order_relaxed);
    m_timeSequence.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    m_seekBase.store(seekBase, std::memory_order_relaxed);
    m_playedFrames.store(0, std::memory_order_relaxed);
    m_timeSequence.store(s + 2, std::memory_order_release);
}

void CAudioFilePlayerBase::AddPlayedFrames(int64_t frames)
{
    const uint32_t s = m_timeSequence.load(std::memory_order_relaxed);
    m_timeSequence.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    m_playedFrames.store(m_playedFrames.load(std::memory_order_relaxed) + frames, std::memory_order_relaxed);
    m_timeSequence.store(s + 2, std::memory_order_release);
}

void CAudioFilePlayerBase::ReadTime(double* seekBase, int64_t* played) const
{
    for (;;)
    {
        const uint32_t before = m_timeSequence.load(std::memory_order_acquire);
        if ((before & 1u) != 0)
        {
            std::this_thread::yield();
            continue;
        }
        *seekBase = m_seekBase.load(std::memory_order_relaxed);
        *played = m_playedFrames.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (m_timeSequence.load(std::memory_order_relaxed) == before)
            return;
    }
}

double CAudioFilePlayerBase::GetCurTimeSecond()
{
    if (GetPlayerInput() == nullptr)
        return 0.0;
    double seekBase = 0.0;
    int64_t played = 0;
    ReadTime(&seekBase, &played);
    const double t = seekBase + static_cast<double>(played) / m_outputRate.load(std::memory_order_acquire);
    return Limit(t, 0.0, GetTotalTime());
}

double CAudioFilePlayerBase::GetCurPositionPercent()
{
    const double total = GetTotalTime();
    if (GetPlayerInput() == nullptr || !(total > 0.0))
        return 0.0;
    return Limit(GetCurTimeSecond() / total * 100.0, 0.0, 100.0);
}

void CAudioFilePlayerBase::GetPeakLeveldB(float* levels)
{
    if (levels == nullptr)
        return;
    for (uint16_t c = 0; c < m_channels; ++c)
        levels[c] = m_dynamicControl->GetPeakLeveldB(c);
}

bool CAudioFilePlayerBase::WantsNextSong()
{
    return GetContinuousPlayback() && ReachedEndOfAudioFile();
}

bool CAudioFilePlayerBase::WantsPreviousSong()
{
    return GetContinuousPlayback() &&
           m_transportState.load(std::memory_order_acquire) == kTransportCueBackward &&
           GetPlayerInput() != nullptr && GetCurTimeSecond() <= kWantsPreviousSongSeconds;
}

CMarker* CAudioFilePlayerBase::GetMarkerPtr()
{
    CAudioPlayerInput* source = GetPlayerInput();
    return source != nullptr ? source->GetMarkerPtr() : nullptr;
}

bool CAudioFilePlayerBase::JumpToMarker(int index)
{
    if (GetPlayerInput() == nullptr)
        return false;
    if (index < 0)
    {
        SetCurTimeSecond(0.0);
        m_markerJumpTime.store(0.0, std::memory_order_release);
        return true;
    }
    const CMarker* markers = GetMarkerPtr();
    if (markers == nullptr || index >= markers->GetNumMarkers())
        return false;
    const double t = markers->GetMarkerTimeSecond(index);
    SetCurTimeSecond(t);
    m_markerJumpTime.store(t, std::memory_order_release);
    return true;
}

bool CAudioFilePlayerBase::JumpToNextMarker()
{
    if (GetPlayerInput() == nullptr)
        return false;
    return JumpToMarker(GetCurrentMarkerIndex() + 1);
}

bool CAudioFilePlayerBase::JumpToPreviousMarker()
{
    if (GetPlayerInput() == nullptr)
        return false;
    const CMarker* markers = GetMarkerPtr();
    auto markerTime = [markers](int i) { return markers != nullptr ? markers->GetMarkerTimeSecond(i) : 0.0; };
    int i = GetCurrentMarkerIndex();
    if (m_transportState.load(std::memory_order_acquire) != kTransportIdle)
    {
        // Within the first second after a marker the jump goes to the marker
        // before it; later it goes back to the start of the current one.
        if (i >= 0 && markerTime(i) >= GetCurTimeSecond() - kPreviousMarkerGraceSeconds)
        {
            while (i >= 0 && markerTime(i) >= GetCurTimeSecond() - kPreviousMarkerGraceSeconds)
                --i;
        }
    }
    else if (GetCurTimeSecond() - kPreviousMarkerIdleTolerance <= markerTime(i))
    {
        --i;
    }
    return JumpToMarker(i);
}

int CAudioFilePlayerBase::GetCurrentMarkerIndex()
{
    const double jumpTime = m_markerJumpTime.load(std::memory_order_acquire);
    if (jumpTime < 0.0)
        return CAudioFileTransport::GetCurrentMarkerIndex();
    const CMarker* markers = GetMarkerPtr();
    if (markers == nullptr)
        return 0;
    const double t = m_transportState.load(std::memory_order_acquire) != kTransportIdle
                         ? std::max(GetCurTimeSecond(), jumpTime)
                         : jumpTime;
    return markers->TimeToMarkerIndex(t);
}

int CAudioFilePlayerBase::Process(const float* const* in, float* const* out, uint32_t n)
{
    (void)in;
    if (out == nullptr)
        return 0;
    const int state = m_transportState.load(std::memory_order_acquire);
    if (!IsThreadRunning() || m_buffering.load(std::memory_order_acquire) || state > kTransportPlayTo ||
        state == kTransportIdle || state == kTransportReserved2 || state == kTransportReserved3)
    {
        FillSilence(out, n, 0);
        return 0;
    }
    switch (state)
    {
    case kTransportPlaying:
        return static_cast<int>(ProcessPlay(out, n));
    case kTransportCueForward:
    case kTransportCueBackward:
    {
        m_dynamicControl->SetCurTimeSecond(GetCurTimeSecond());
        const uint32_t r = ProcessPlay(out, n);
        const float rate = m_outputRate.load(std::memory_order_acquire);
        const double piece = kCuePieceSeconds * rate;
        const uint32_t played = m_cuePlayed.load(std::memory_order_relaxed);
        if (played > piece)
        {
            m_cuePlayed.store(played - static_cast<uint32_t>(piece), std::memory_order_relaxed);
            const int64_t jump = static_cast<int64_t>(kCueJumpSeconds * rate);
            AddPlayedFrames(state == kTransportCueForward ? jump : -jump);
        }
        return static_cast<int>(r);
    }
    default: // kTransportPlayFrom or kTransportPlayTo
        return static_cast<int>(ProcessPreview(out, n, state));
    }
}

uint32_t CAudioFilePlayerBase::ProcessPreview(float* const* out, uint32_t n, int previewState)
{
    const uint32_t remaining = m_previewRemaining.load(std::memory_order_acquire);
    if (remaining > n)
    {
        const uint32_t r = ProcessPlay(out, n);
        m_previewRemaining.store(remaining - n, std::memory_order_release);
        return r;
    }
    const uint32_t r = ProcessPlay(out, remaining);
    FillSilence(out, n - remaining, remaining);
    m_previewRemaining.store(0, std::memory_order_release);
    EndPreview(previewState);
    return r;
}

// The end of a preview, in the callback: the player goes idle and shows the
// time it returns to at once (a play-from preview goes back to where it began,
// a play-to preview stays where it was asked for); the seek that refills the
// ring and the notice are left to the reader thread.
void CAudioFilePlayerBase::EndPreview(int previewState)
{
    int expected = previewState;
    if (!m_transportState.compare_exchange_strong(expected, kTransportIdle, std::memory_order_acq_rel))
        return; // a command changed the state meanwhile
    const double target = previewState == kTransportPlayFrom ? m_previewStart.load(std::memory_order_acquire)
                                                             : GetCurTimeSecond();
    SetTimeOrigin(target);
    m_buffering.store(true, std::memory_order_release);
    m_previewEndSeek.store(target, std::memory_order_release);
    m_previewEndNotice.store(true, std::memory_order_release);
}

// ---------------------------------------------------------------------------
// CAudioFilePlayerPcmOutput

CAudioFilePlayerPcmOutput::CAudioFilePlayerPcmOutput(uint16_t channels)
    : CAudioFilePlayerBase(channels), m_ring(std::make_unique<CRingBufferPcm>(kRingFrames, m_channels)),
      m_readBuffer(std::make_unique<CSimpleBufferPcm>(kReadFrames, m_channels)),
      m_conversionBuffer(std::make_unique<CSimpleBufferPcm>(kConversionFrames, m_channels)),
      m_converter(std::make_unique<CRealTimeFsConverterPcmOutput>(m_channels))
{
    OnSourceBound();
    SetupConverter();
}

CAudioFilePlayerPcmOutput::~CAudioFilePlayerPcmOutput()
{
    StopThread(kStopBudgetMs);
}

void CAudioFilePlayerPcmOutput::ReplaceSource(CAudioPlayerInput* source)
{
    CScopedCriticalSection input(m_inputLock);
    m_source.store(source, std::memory_order_release);
}

void CAudioFilePlayerPcmOutput::OnSourceBound()
{
    // A source may have more channels than the player; it writes the extra
    // ones into scratch runs that are never played.
    const uint16_t sourceChannels = GetSourceFacts().channels;
    const size_t count = std::max<size_t>(sourceChannels, m_channels);
    const size_t extra = count - m_channels;
    m_extraChannelStorage.assign(extra * kReadFrames, 0.0f);
    m_readChannels.assign(count, nullptr);
    float** own = m_readBuffer->GetBufferPointer();
    for (uint16_t c = 0; c < m_channels; ++c)
        m_readChannels[c] = own[c];
    for (size_t c = 0; c < extra; ++c)
        m_readChannels[m_channels + c] = m_extraChannelStorage.data() + c * kReadFrames;
}

void CAudioFilePlayerPcmOutput::SetupConverter()
{
    const uint32_t outputRate = static_cast<uint32_t>(m_outputRate.load(std::memory_order_acquire));
    if (!m_converter->SetSampleRates(m_sourceRate, outputRate))
        return;
    m_rateRatio = static_cast<double>(m_sourceRate) / outputRate;
    m_dynamicControl->SetDelayOffsetSeconds(m_converter->GetDelayOffsetSeconds());
}

double CAudioFilePlayerPcmOutput::SetCurTimeSecond(double seconds)
{
    return SeekInState(seconds, kKeepState);
}

double CAudioFilePlayerPcmOutput::SeekInState(double seconds, int state)
{
    {
        CScopedCriticalSection input(m_inputLock);
        // Any seek supersedes the pending seek of a preview that just ended.
        m_previewEndSeek.store(kNoSeek, std::memory_order_release);
        CAudioPlayerInput* source = GetPlayerInput();
        if (source != nullptr)
        {
            const double reached = source->SetCurTimeSecond(Limit(seconds, 0.0, GetTotalTime()));
            m_converter->Reset();
            m_cueWritten.store(0, std::memory_order_relaxed);
            {
                std::lock_guard<std::mutex> output(m_outputLock);
                m_buffering.store(true, std::memory_order_release);
                m_ring->QuickReset();
                SetTimeOrigin(reached);
                m_cuePlayed.store(0, std::memory_order_relaxed);
                // The fades follow the material, which starts where the
                // source landed.
                m_dynamicControl->SetCurTimeSecond(reached);
                if (state != kKeepState)
                    m_transportState.store(state, std::memory_order_release);
            }
            m_framesRead = 0;
            m_sourceExhausted.store(source->GetNumSamplesLeft() <= 0, std::memory_order_release);
        }
        else if (state != kKeepState)
        {
            m_transportState.store(state, std::memory_order_release);
        }
    }
    m_markerJumpTime.store(-1.0, std::memory_order_release);
    return GetCurTimeSecond();
}

double CAudioFilePlayerPcmOutput::GetBufferFilledPercent()
{
    return m_ring->GetBufferFilledPercent();
}

int CAudioFilePlayerPcmOutput::Process(const float* const* in, float* const* out, uint32_t n)
{
    if (out == nullptr)
        return 0;
    CScopedPreferredMxcsr mxcsr;
    std::unique_lock<std::mutex> output(m_outputLock, std::try_to_lock);
    if (!output.owns_lock())
    {
        // A seek is moving the ring's indices: this block is silent.
        FillSilence(out, n, 0);
        return 0;
    }
    return CAudioFilePlayerBase::Process(in, out, n);
}

uint32_t CAudioFilePlayerPcmOutput::ProcessPlay(float* const* out, uint32_t n)
{
    const uint32_t r = m_ring->ReadFromBuffer(out, n);
    m_dynamicControl->Process(out, r);
    AddPlayedFrames(r);
    m_cuePlayed.fetch_add(r, std::memory_order_relaxed);
    if (r < n)
        m_buffering.store(true, std::memory_order_release); // underrun
    return r;
}

void CAudioFilePlayerPcmOutput::FillSilence(float* const* out, uint32_t n, uint32_t offset)
{
    CPcmUtil::FillSilence(out, n, m_channels, offset);
}

bool CAudioFilePlayerPcmOutput::ReachedEndOfAudioFile()
{
    if (GetPlayerInput() == nullptr || m_ring->GetBufferFilledSamples() > 1)
        return false;
    const int state = m_transportState.load(std::memory_order_acquire);
    return (state == kTransportPlaying || state == kTransportCueForward) &&
           m_sourceExhausted.load(std::memory_order_acquire);
}

bool CAudioFilePlayerPcmOutput::StartThread(int priority)
{
    if (GetPlayerInput() == nullptr || IsThreadRunning())
        return false;
    {
        std::lock_guard<std::mutex> output(m_outputLock);
        m_buffering.store(true, std::memory_order_release);
        m_ring->QuickReset();
        m_cuePlayed.store(0, std::memory_order_relaxed);
    }
    m_converter->Reset();
    m_cueWritten.store(0, std::memory_order_relaxed);
    m_framesRead = 0;
    return CThread::StartThread(priority);
}

void CAudioFilePlayerPcmOutput::SettlePreviewEnd()
{
    CScopedCriticalSection input(m_inputLock);
    const double t = m_previewEndSeek.exchange(kNoSeek, std::memory_order_acq_rel);
    if (!std::isnan(t))
        SetCurTimeSecond(t);
}

void CAudioFilePlayerPcmOutput::ServicePreviewEnd()
{
    SettlePreviewEnd();
    if (m_previewEndNotice.exchange(false, std::memory_order_acq_rel))
        NotifyAudioFileTransportStopped();
}

bool CAudioFilePlayerPcmOutput::SourceIsPreparing()
{
    CScopedCriticalSection input(m_inputLock);
    CAudioPlayerInput* source = GetPlayerInput();
    return source != nullptr && source->IsProcessingInternally();
}

bool CAudioFilePlayerPcmOutput::SourceReportsError()
{
    CScopedCriticalSection input(m_inputLock);
    CAudioPlayerInput* source = GetPlayerInput();
    return source != nullptr && source->AudioDataReadErrorOccured();
}

void CAudioFilePlayerPcmOutput::Run()
{
    while (!ThreadShouldExit() && SourceIsPreparing())
    {
        ServicePreviewEnd();
        Sleep(1);
    }
    while (!ThreadShouldExit())
    {
        ServicePreviewEnd();
        bool exitRequested = false;
        while (ReachedEndOfAudioFile())
        {
            SongEndProcess();
            if (ThreadShouldExit())
            {
                exitRequested = true;
                break;
            }
        }
        if (exitRequested)
            break;
        if (GetPlayerInput() == nullptr)
        {
            // Dropped by a listener on this thread; the owner joins us.
            Sleep(1);
            continue;
        }
        if (SourceReportsError())
        {
            SongErrorProcess();
            break;
        }
        if (!m_ring->BufferWriteReady(kMinimumFreeFrames))
        {
            // The reader looks for room every millisecond instead of being
            // woken by the callback: a wake would put a system call into the
            // audio callback, which raises its slowest times
            // (PlayerReaderWakeBench).
            Sleep(1);
            continue;
        }
        if (!m_sourceExhausted.load(std::memory_order_acquire))
        {
            if (!WriteToBuffer())
                Sleep(1);
            continue;
        }
        {
            // Nothing more to come: let the callback play out what is
            // buffered. Asked again under the input lock, so that a seek that
            // has just moved the source keeps its buffering, and a source
            // whose length was not known yet is read once it is.
            CScopedCriticalSection input(m_inputLock);
            CAudioPlayerInput* source = GetPlayerInput();
            const bool exhausted = source == nullptr || source->GetNumSamplesLeft() <= 0;
            m_sourceExhausted.store(exhausted, std::memory_order_release);
            if (exhausted)
                m_buffering.store(false, std::memory_order_release);
        }
        Sleep(1);
    }
    std::lock_guard<std::mutex> output(m_outputLock);
    m_ring->QuickReset();
}

void CAudioFilePlayerPcmOutput::SongEndProcess()
{
    if (GetContinuousPlayback())
    {
        // Idle with the ring drained until the owner loads the next song.
        Sleep(10);
        return;
    }
    Stop();
    NotifyAudioFileTransportStopped();
}

void CAudioFilePlayerPcmOutput::SongErrorProcess()
{
    m_transportState.store(kTransportIdle, std::memory_order_release);
    ReplaceSource(nullptr);
    NotifyAudioFileTransportErrorOccured();
}

bool CAudioFilePlayerPcmOutput::WriteToBuffer()
{
    CScopedCriticalSection input(m_inputLock);
    CAudioPlayerInput* source = GetPlayerInput();
    if (source == nullptr)
        return false;

    // Cue play: after every half second of material written, the source
    // jumps by three seconds, forward or backward, without a ring reset.
    const int state = m_transportState.load(std::memory_order_acquire);
    const float outputRate = m_outputRate.load(std::memory_order_acquire);
    const double piece = kCuePieceSeconds * outputRate;
    if (state == kTransportCueForward || state == kTransportCueBackward)
    {
        const uint32_t written = m_cueWritten.load(std::memory_order_relaxed);
        if (written > piece)
        {
            const double step = state == kTransportCueForward ? kCueJumpSeconds : -kCueJumpSeconds;
            source->SetCurTimeSecond(Limit(source->GetCurTimeSecond() + step, 0.0, GetTotalTime()));
            m_cueWritten.store(written - static_cast<uint32_t>(piece), std::memory_order_relaxed);
        }
    }

    // Plan at most kMaxBlockOutput device-rate frames and kReadFrames source
    // frames.
    const uint32_t limit = std::min(m_ring->GetBufferWriteReadySamples(), kMaxBlockOutput);
    uint32_t m = static_cast<uint32_t>(std::min<double>(kReadFrames, std::floor(limit * m_rateRatio)));
    const bool convert = m_converter->IsProcessRequired();
    if (convert)
    {
        const uint32_t step = std::max<uint32_t>(1, static_cast<uint32_t>(m_rateRatio));
        while (m > 0 && static_cast<uint32_t>(m_converter->GetOutputFrameCount(static_cast<int>(m))) > limit)
            m = m > step ? m - step : 0;
    }
    if (m == 0)
        return false;

    const uint32_t r = source->ReadAudioData(m_readChannels.data(), m, 0);
    if (r == 0)
    {
        m_sourceExhausted.store(source->GetNumSamplesLeft() <= 0, std::memory_order_release);
        return false;
    }

    float* const* read = m_readBuffer->GetBufferPointer();
    const uint16_t sourceChannels = GetSourceFacts().channels;
    for (uint16_t c = sourceChannels; c < m_channels; ++c)
    {
        // A mono song plays on both channels; a source without channels is
        // silent.
        if (sourceChannels == 1)
            std::memcpy(read[c], read[0], size_t{r} * sizeof(float));
        else
            std::memset(read[c], 0, size_t{r} * sizeof(float));
    }

    if (GetSourceFacts().bitsPerSample == 1)
    {
        if (m_framesRead < kOneBitFadeFrames)
        {
            const uint32_t n = std::min(static_cast<uint32_t>(kOneBitFadeFrames - m_framesRead), r);
            CPcmUtil::FadeIn(read, read, n, m_channels, kOneBitFadeFrames, m_framesRead, 0);
        }
        const int64_t left = source->GetNumSamplesLeft();
        if (left < kOneBitFadeFrames)
            CPcmUtil::FadeOut(read, read, r, m_channels, kOneBitFadeFrames,
                              static_cast<int64_t>(kOneBitFadeFrames) - left - r, 0);
    }
    m_framesRead += r;

    uint32_t w = r;
    if (convert)
    {
        CScopedPreferredMxcsr mxcsr;
        float* const* converted = m_conversionBuffer->GetBufferPointer();
        w = static_cast<uint32_t>(std::max(0, m_converter->Process(read, converted, static_cast<int>(r))));
        m_ring->WriteToBuffer(converted, w);
    }
    else
    {
        m_ring->WriteToBuffer(read, r);
    }
    m_cueWritten.fetch_add(w, std::memory_order_relaxed);

    const bool exhausted = source->GetNumSamplesLeft() <= 0;
    m_sourceExhausted.store(exhausted, std::memory_order_release);
    if (m_ring->GetBufferFilledSamples() > kStartThreshold || exhausted)
        m_buffering.store(false, std::memory_order_release);
    return true;
}

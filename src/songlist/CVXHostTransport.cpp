// The playback side of the host: transport requests, loading the current
// song, moving through the songlist by play mode, the device callback and the
// 50 ms tick with its meters and automatic moves.

#include "src/songlist/CVXHost.h"

#include "common/disc/CVolumePath.h"
#include "common/dsp/CAudioFilePlayer.h"
#include "common/file/CMarker.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/CSongRead.h"
#include "library/util/CCheckUtil.h"
#include "library/util/CDataUtil.h"
#include "src/songlist/Output/ExportManager.h"

#include <algorithm>
#include <cstring>

using Vextal::TrackInfo;

namespace
{
// The wheel's unit: a tenth of a second, in single precision.
constexpr double kWheelUnitSeconds = static_cast<double>(0.1f);
// Cueing while paused moves this many wheel units per tick (1 s).
constexpr double kCueWheelUnitsPerTick = 10.0;
// Backward cueing into the previous song continues this long before its end.
constexpr double kCueBackIntoSongSeconds = 2.0;
constexpr float kLevelFloordB = -100.0f;
constexpr float kClipdB = 0.0f;
constexpr float kHardClipdB = 3.0f;
} // namespace

int CVXHost::ClipStateForPeak(float peakdB)
{
    if (peakdB >= kHardClipdB)
        return 2;
    return peakdB > kClipdB ? 1 : 0;
}

bool CVXHost::IsDeviceRunning() const
{
    const CVXAudioDeviceManager* devices = m_services.deviceManager;
    return devices != nullptr && devices->GetCurrentDevice() != nullptr && devices->IsRunning();
}

double CVXHost::GetLoadedSongSeconds() const
{
    return m_songReader->GetTotalTimeSecond();
}

// ---------------------------------------------------------------------------
// Transport requests

void CVXHost::SetPlayerStatus(int status)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (!VX_CHECK(status >= kStatusPlaying && status <= kStatusStopped))
        return;
    if (status != kStatusStopped)
    {
        if (!IsDeviceRunning())
            status = kStatusStopped;
        else if (m_songReader->GetNumSections() == 0 && !loadCurrentSong())
            status = kStatusStopped;
    }
    m_playerStatus.store(status, std::memory_order_release);
    switch (status)
    {
    case kStatusPaused:
        SetPlayerSpeedStatus(0);
        m_player->Pause();
        m_wheelOffset = 0.0;
        m_scrubbing = true;
        break;
    case kStatusStopped:
        SetFromToPlayStatus(0);
        m_player->Stop();
        break;
    default:
        // A pending wheel offset is applied first.
        SkipByWheel(m_wheelOffset, false);
        m_wheelOffset = 0.0;
        m_scrubbing = false;
        m_player->Play();
        break;
    }
    NotifyListeners([this, status](CVXHostListener& l) { l.OnVXHostPlayerStatusChanged(this, status); });
}

void CVXHost::SetPlayerSpeedStatus(int speed)
{
    VX_ASSERT_MESSAGE_THREAD();
    m_speedStatus = speed;
    const int status = GetPlayerStatus();
    if (status == kStatusPlaying)
    {
        if (speed == 1)
            m_player->FastForward();
        else if (speed == 2)
            m_player->Rewind();
        else
            m_player->Play();
    }
    else if (status == kStatusStopped && speed != 0)
    {
        // Cueing from a stop pauses; the pause sets the speed back to normal,
        // and so does a pause that could not happen.
        SetPlayerStatus(kStatusPaused);
        if (GetPlayerStatus() != kStatusPaused)
            m_speedStatus = 0;
    }
    const int now = m_speedStatus;
    NotifyListeners([this, now](CVXHostListener& l) { l.OnVXHostPlayerSpeedStatusChanged(this, now); });
}

void CVXHost::SetFromToPlayStatus(int status)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (status == m_fromToStatus)
        return;
    m_fromToStatus = status;
    if (status == 1)
        m_player->PlayFrom();
    else if (status == 2)
        m_player->PlayTo();
    postMessage(new HostMessage(kFromToStatusMessage, status));
}

void CVXHost::setPlayerMode(int mode)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (!VX_CHECK(mode >= kPlayOneSong && mode <= kPlayShuffle))
        return;
    m_playMode = static_cast<ePlayerMode>(mode);
    m_player->SetContinuousPlayback(m_repeat || m_playMode != kPlayOneSong);
    refreshShuffledList();
}

void CVXHost::setRepeat(bool on)
{
    VX_ASSERT_MESSAGE_THREAD();
    m_repeat = on;
    m_player->SetContinuousPlayback(on || m_playMode != kPlayOneSong);
}

// ---------------------------------------------------------------------------
// The current song

bool CVXHost::SetCurPlayTrack(int index, bool load, bool reshuffle)
{
    VX_ASSERT_MESSAGE_THREAD();
    bool result = true;
    if (m_hostMode == 1)
    {
        m_exportedSong = index;
        NotifyListeners([this, index](CVXHostListener& l) { l.OnVXHostCurPlayTrackChanged(this, index); });
    }
    else if (m_hostMode == 0)
    {
        SetCurrentIndex(index);
        if (load)
        {
            SetPlayerStatus(kStatusStopped);
            m_player->Stop();
            if (IsValidIndex(index))
            {
                MarkCurrentRecord(GetSong(index));
                result = loadCurrentSong();
            }
            NotifyListeners([this, index](CVXHostListener& l)
                            { l.OnVXHostCurPlayTrackChanged(this, index); });
        }
    }
    if (reshuffle)
        refreshShuffledList();
    return result;
}

void CVXHost::EjectCurrentSong()
{
    m_player->EjectInputFile();
    m_songReader->EjectAllFiles();
    // A read error still on its way concerns the song just closed.
    m_loadGeneration.fetch_add(1, std::memory_order_acq_rel);
}

bool CVXHost::loadCurrentSong()
{
    VX_ASSERT_MESSAGE_THREAD();
    EjectCurrentSong();
    TrackInfo* song = GetCurrentSong();
    if (song == nullptr)
        return false;
    bool replaced = false;
    const bool present = song->loadSong(m_songReader.get(), true, &replaced);
    if (replaced)
    {
        // Every song of that disc follows it to its new place.
        for (const auto& other : m_songs)
            if (other.get() != song && other->getFormatID() == "CD")
                other->replacePathsByMediaIDs();
    }
    if (!present)
        return false;
    ApplyCurrentSongToPlayer(song);
    return true;
}

void CVXHost::ApplyCurrentSongToPlayer(TrackInfo* song)
{
    m_player->SetPlayerInput(m_songReader.get());
    if (CMarker* markers = m_player->GetMarkerPtr())
        markers->CopyAll(song->getMarkers());
    song->copyControlsTo(m_player->GetDynamicControlParamsPtr(), false);
}

// ---------------------------------------------------------------------------
// Moving through the songlist

// The songs SkipSong tries, in order, counted without building the list.
// Positions are song indices, or places in the shuffle order in play mode 2.
// Next: the positions after the current one; with wrap-around (repeat in
// play modes 1 and 2) then those before it and last the current song itself.
// Previous: the positions before it, nearest first; with wrap-around then
// those after it from the end backwards, and the current song last.
CVXHost::SkipPlan CVXHost::MakeSkipPlan(bool next) const
{
    EnsureShuffleOrder();
    SkipPlan plan{};
    plan.next = next;
    plan.shuffle = m_playMode == kPlayShuffle;
    plan.current = GetCurPlayTrack(m_hostMode);
    plan.count = GetNumSongs();
    plan.position = juce::jlimit(-1, plan.count, plan.shuffle ? m_shufflePosition : plan.current);
    plan.after = std::max(0, plan.count - plan.position - 1);
    plan.before = juce::jlimit(0, plan.count, plan.position);
    if (m_repeat && m_playMode != kPlayOneSong)
        plan.size = plan.after + plan.before + (IsValidIndex(plan.current) ? 1 : 0);
    else
        plan.size = next ? plan.after : plan.before;
    return plan;
}

int CVXHost::CandidateSong(const SkipPlan& plan, int k) const
{
    if (k >= plan.after + plan.before)
        return plan.current;
    int place = 0;
    if (plan.next)
        place = k < plan.after ? plan.position + 1 + k : k - plan.after;
    else
        place = k < plan.before ? plan.position - 1 - k : plan.count - 1 - (k - plan.before);
    if (!plan.shuffle)
        return place;
    return place < static_cast<int>(m_shuffleOrder.size()) ? m_shuffleOrder[static_cast<size_t>(place)] : -1;
}

bool CVXHost::SkipSong(bool next, bool tryUntilLoaded)
{
    VX_ASSERT_MESSAGE_THREAD();
    const SkipPlan plan = MakeSkipPlan(next);
    if (plan.size == 0)
        return false;
    const int status = GetPlayerStatus();
    const int speed = m_speedStatus;
    int made = -1;
    if (tryUntilLoaded)
    {
        for (int k = 0; k < plan.size && made < 0; ++k)
            if (SetCurPlayTrack(CandidateSong(plan, k), true, false))
                made = k;
    }
    else
    {
        SetCurPlayTrack(CandidateSong(plan, 0), true, false);
        made = 0;
    }
    if (made >= 0)
    {
        m_player->SetCurTimeSecond(0.0);
        const int count = plan.count;
        if (plan.shuffle && count > 0)
            m_shufflePosition = next ? (m_shufflePosition + made + 1) % count
                                     : ((m_shufflePosition + count - made - 1) % count + count) % count;
    }
    // A playing song keeps playing in the new song, or stops when nothing
    // could be loaded.
    SetPlayerStatus(status);
    SetPlayerSpeedStatus(speed);
    return true;
}

void CVXHost::SkipByWheel(double delta, bool stayInSong)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (delta == 0.0)
        return;
    const double total = GetLoadedSongSeconds();
    double t = m_player->GetCurTimeSecond() + delta * kWheelUnitSeconds;
    if ((m_playMode == kPlayAllSongs || m_playMode == kPlayShuffle) && !stayInSong)
    {
        if (t < 0.0)
            t = SkipSong(false, true) ? GetLoadedSongSeconds() : 0.0;
        else if (t > total)
            t = SkipSong(true, true) ? 0.0 : total;
    }
    else
    {
        t = juce::jlimit(0.0, std::max(total, 0.0), t);
    }
    m_player->SetCurTimeSecond(t);
    // Moving the wheel while stopped pauses at the new place.
    if (GetPlayerStatus() == kStatusStopped && t > 0.0)
        SetPlayerStatus(kStatusPaused);
}

void CVXHost::SetSkipByIdleLoop(bool on)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (!on)
        SkipByWheel(m_wheelOffset, false);
    m_wheelOffset = 0.0;
    m_scrubbing = on;
}

void CVXHost::SkipByTimeBar(double position)
{
    VX_ASSERT_MESSAGE_THREAD();
    m_player->SetCurPositionPercent(static_cast<double>(static_cast<float>(position)) * 100.0);
}

void CVXHost::SetDraggingValue(double value, int kind)
{
    if (kind == 1)
        m_wheelOffset = value;
    else if (kind == 2)
        m_barDragPosition = value;
}

// ---------------------------------------------------------------------------
// Time, divide availability, volumes

void CVXHost::GetCurTime(int* hours, int* minutes, float* seconds)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (m_hostMode == 1)
    {
        if (const Vextal::ExportSession* session = GetRunningSession())
            session->getCurTime(hours, minutes, seconds);
        return;
    }
    const double total = GetLoadedSongSeconds();
    if (m_dragKind == 1)
    {
        const double t = juce::jlimit(0.0, std::max(total, 0.0),
                                      m_player->GetCurTimeSecond() + kWheelUnitSeconds * m_wheelOffset);
        CDataUtil::SecondToTime(t, hours, minutes, seconds);
        m_lastBarPosition = total > 0.0 ? static_cast<float>(juce::jlimit(0.0, 1.0, t / total)) : 0.0f;
    }
    else if (m_dragKind == 2)
    {
        m_barDragPosition = juce::jlimit(0.0, 1.0, m_barDragPosition);
        CDataUtil::SecondToTime(total * m_barDragPosition, hours, minutes, seconds);
    }
    else
    {
        m_player->GetCurTime(hours, minutes, seconds);
    }
}

float CVXHost::GetCurTimeBarPosition()
{
    VX_ASSERT_MESSAGE_THREAD();
    if (m_hostMode == 1)
    {
        const Vextal::ExportSession* session = GetRunningSession();
        return session != nullptr ? static_cast<float>(session->getCurPositionPercent() * 0.01) : 0.0f;
    }
    switch (m_dragKind)
    {
    case 0:
        return static_cast<float>(m_player->GetCurPositionPercent() * 0.01);
    case 1:
    {
        const float position = m_lastBarPosition;
        m_lastBarPosition = 0.0f;
        return position;
    }
    case 2:
        return static_cast<float>(m_barDragPosition);
    default:
        return 0.0f;
    }
}

bool CVXHost::canDivide(double seconds) const
{
    if (m_hostMode == 1 || m_fromToStatus != 0 || !(seconds > 0.0))
        return false;
    return seconds < GetLoadedSongSeconds();
}

bool CVXHost::canDivide() const
{
    return canDivide(m_player->GetCurTimeSecond());
}

void CVXHost::releaseFileIfCurrentlyUsed(const juce::String& path)
{
    VX_ASSERT_MESSAGE_THREAD();
    const TrackInfo* song = GetCurrentSong();
    if (song == nullptr || m_songReader->GetNumSections() == 0 || path.isEmpty())
        return;
    // The volume is named as the system reports it, the song's files as the
    // user chose them: both are compared resolved, by whole path components.
    const juce::String volume = CVolumePath::Canonical(path);
    juce::Array<CPlaylistFile*> files;
    song->getAllFiles(files);
    for (const CPlaylistFile* file : files)
    {
        const juce::String filePath(file->GetFilePath());
        if (CVolumePath::IsOnVolume(filePath, path) ||
            CVolumePath::IsOnVolume(CVolumePath::Canonical(filePath), volume))
        {
            SetPlayerStatus(kStatusStopped);
            m_player->Stop();
            EjectCurrentSong();
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// The tick

void CVXHost::UpdateLevelAndClip()
{
    float levels[2] = {kLevelFloordB, kLevelFloordB};
    int clipState = 0;
    if (m_hostMode == 0)
    {
        m_player->GetPeakLeveldB(levels);
        clipState = ClipStateForPeak(std::max({kLevelFloordB, levels[0], levels[1]}));
    }
    else if (m_hostMode == 1)
    {
        if (const Vextal::ExportSession* session = GetRunningSession())
            session->getLeveldB(levels, &clipState);
    }
    for (int channel = 0; channel < 2; ++channel)
    {
        const double level = std::max(kLevelFloordB, levels[channel]);
        NotifyListeners([this, channel, level](CVXHostListener& l)
                        { l.OnVXHostMeterLevelChanged(this, channel, level); });
    }
    NotifyListeners([this, clipState](CVXHostListener& l) { l.OnVXHostMeterClipChanged(this, clipState); });
}

void CVXHost::timerCallback()
{
    VX_ASSERT_MESSAGE_THREAD();
    if (m_tickCounter >= 2)
    {
        const bool divide = canDivide();
        if (divide != m_lastCanDivide)
        {
            m_lastCanDivide = divide;
            NotifyListeners([this, divide](CVXHostListener& l)
                            { l.OnVXHostDividabilityChanged(this, divide); });
        }
        m_tickCounter = 0;
    }
    UpdateLevelAndClip();
    NotifyListeners([this](CVXHostListener& l) { l.OnVXHostTimerCallback(this); });
    CueWhilePaused();
    if (CurrentSongCanBeChanged())
        MoveOnAtSongEnd();
    ++m_tickCounter;
}

void CVXHost::CueWhilePaused()
{
    if (GetPlayerStatus() != kStatusPaused || m_dragKind != 0)
        return;
    // Cueing while paused moves a second per tick, across songs in play
    // modes 1 and 2.
    if (m_speedStatus == 1)
        SkipByWheel(kCueWheelUnitsPerTick, false);
    else if (m_speedStatus == 2)
        SkipByWheel(-kCueWheelUnitsPerTick, false);
}

bool CVXHost::CurrentSongCanBeChanged()
{
    bool canChange = true;
    NotifyListeners(
        [this, &canChange](CVXHostListener& l)
        {
            if (canChange)
                canChange = l.currentSongCanBeChanged(this);
        });
    return canChange;
}

void CVXHost::MoveOnAtSongEnd()
{
    if (m_player->WantsNextSong())
    {
        if (m_playMode == kPlayOneSong)
        {
            if (m_repeat)
            {
                m_player->SetCurTimeSecond(0.0);
            }
            else
            {
                SetPlayerStatus(kStatusStopped);
                m_player->Stop();
            }
        }
        else if (!SkipSong(true, true) && m_player->IsPlaying())
        {
            // The list ends on its first song, stopped.
            SetCurPlayTrack(0, true, false);
        }
        return;
    }
    if (!m_player->WantsPreviousSong())
        return;
    const bool moved = m_playMode == kPlayOneSong ? m_repeat : SkipSong(false, true);
    if (moved)
        m_player->SetCurTimeSecond(GetLoadedSongSeconds() - kCueBackIntoSongSeconds);
}

// ---------------------------------------------------------------------------
// Device and transport notices

void CVXHost::OnVXAudioDeviceAboutToStart(CVXAudioDeviceManager*, double rate, int)
{
    if (!(rate > 0.0))
        return;
    const double t = m_player->GetCurTimeSecond();
    m_player->SetOutputSampleRate(static_cast<float>(rate));
    // The status is applied again: it falls back to a stop when no song can
    // be loaded.
    SetPlayerStatus(GetPlayerStatus());
    SetPlayerSpeedStatus(0);
    SetFromToPlayStatus(0);
    m_player->SetCurTimeSecond(t);
}

void CVXHost::OnVXAudioDeviceStopped(CVXAudioDeviceManager*) {}

void CVXHost::OnVXAudioDeviceIOCallback(const float* const*, int, float* const* out, int numOut,
                                        int numSamples)
{
    if (out == nullptr || numSamples <= 0)
        return;
    if (numOut >= 2)
    {
        m_player->Process(nullptr, out, static_cast<uint32_t>(numSamples));
        return;
    }
    // The player plays a pair: a single output stays silent.
    for (int ch = 0; ch < numOut; ++ch)
        if (out[ch] != nullptr)
            std::memset(out[ch], 0, sizeof(float) * static_cast<size_t>(numSamples));
}

void CVXHost::OnAudioFileTransportStopped(CAudioFileTransport*)
{
    postMessage(new HostMessage(kPlayerStoppedMessage, 0));
}

void CVXHost::OnAudioFileTransportErrorOccured(CAudioFileTransport*)
{
    postMessage(new HostMessage(kReadErrorMessage,
                                static_cast<int>(m_loadGeneration.load(std::memory_order_acquire))));
}

void CVXHost::HandlePlayerStopped()
{
    const int status = GetPlayerStatus();
    if (status == kStatusPaused)
    {
        // A preview ended while paused.
        SetFromToPlayStatus(0);
        return;
    }
    // Playing again since: a request came after the stop.
    if (status == kStatusPlaying && m_player->IsPlaying())
        return;
    m_playerStatus.store(kStatusStopped, std::memory_order_release);
    NotifyListeners([this](CVXHostListener& l) { l.OnVXHostPlayerStatusChanged(this, kStatusStopped); });
}

void CVXHost::HandleReadError(uint32_t generation)
{
    if (generation != m_loadGeneration.load(std::memory_order_acquire))
        return;
    // The song stays current and can be tried again.
    SetPlayerStatus(kStatusStopped);
    m_player->Stop();
    EjectCurrentSong();
}

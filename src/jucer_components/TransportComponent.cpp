#include "src/jucer_components/TransportComponent.h"

#include "common/dsp/CAudioFilePlayer.h"
#include "library/util/CCheckUtil.h"
#include "src/Resource/CVXResourceManager.h"

namespace
{
// The spots beside the time bar whose presses go to the bar.
const juce::Rectangle<int> kLeftSpot(15, 70, 10, 10);
const juce::Rectangle<int> kRightSpot(670, 70, 10, 10);

// Strips of five frames: 0 off, 1 on, 2 off and pressed, 3 on and pressed,
// 4 disabled (drawn at full opacity).
void InitializeTransportButton(juce::FourStateImageButton& button, Vextal::ImageIndex image)
{
    button.initialize(CVXResourceManager::Get(image), 5, 1, 0, 2, 3, 4, 1.0f);
}
} // namespace

// ---------------------------------------------------------------------------
// CueButton

TransportComponent::CueButton::CueButton(const juce::String& name, const Vextal::ViewClock& clock)
    : juce::FourStateImageButton(name), m_clock(clock)
{
}

int64_t TransportComponent::CueButton::getHeldMilliseconds() const
{
    return m_held ? m_clock() - m_pressTime : 0;
}

void TransportComponent::CueButton::mouseDown(const juce::MouseEvent& e)
{
    m_held = true;
    m_pressTime = m_clock();
    if (onPress != nullptr)
        onPress();
    juce::FourStateImageButton::mouseDown(e);
}

void TransportComponent::CueButton::mouseUp(const juce::MouseEvent& e)
{
    m_held = false;
    juce::FourStateImageButton::mouseUp(e);
}

// ---------------------------------------------------------------------------
// TransportComponent

TransportComponent::TransportComponent(CVXHost& host, juce::ApplicationCommandManager* commands,
                                       Vextal::ViewClock clock)
    : m_host(host), m_commands(commands), m_clock(Vextal::viewClockOrSystem(std::move(clock))),
      m_rewind("Rewind", m_clock), m_fastForward("FastForward", m_clock), m_timeBar(host), m_information(host)
{
    InitializeTransportButton(m_rewind, Vextal::kImageButtonRew);
    InitializeTransportButton(m_fastForward, Vextal::kImageButtonFF);
    InitializeTransportButton(m_play, Vextal::kImageButtonPlay);
    // A cue left set by a press released outside its button is stale at the
    // next press.
    m_rewind.onPress = [this] { m_cueingBack = false; };
    m_fastForward.onPress = [this] { m_cueingForward = false; };
    for (juce::Button* button :
         {static_cast<juce::Button*>(&m_rewind), static_cast<juce::Button*>(&m_fastForward),
          static_cast<juce::Button*>(&m_play)})
    {
        button->addListener(this);
        addAndMakeVisible(button);
    }
    m_rewind.setRepeatSpeed(kCueDelayMs, kCueDelayMs);
    m_fastForward.setRepeatSpeed(kCueDelayMs, kCueDelayMs);
    addAndMakeVisible(m_timeBar);
    addAndMakeVisible(m_information);
    UpdateEnablement(m_host.GetMode(), m_host.GetNumSongs());
    setSize(699, 94);
    const juce::ScopedLock sl(m_host.ObtainCriticalSection());
    m_host.AddListener(this);
}

TransportComponent::~TransportComponent()
{
    const juce::ScopedLock sl(m_host.ObtainCriticalSection());
    m_host.RemoveListener(this);
}

void TransportComponent::resized()
{
    m_rewind.setBounds(24, 29, 26, 26);
    m_fastForward.setBounds(86, 29, 26, 26);
    m_play.setBounds(53, 27, 30, 30);
    m_timeBar.setBounds(25, 71, 644, 30);
    m_information.setBounds(116, 20, 480, 45);
}

// ---------------------------------------------------------------------------
// The spots beside the bar

void TransportComponent::ForwardToBar(const juce::MouseEvent& e,
                                      void (TimeBar::*handler)(const juce::MouseEvent&))
{
    juce::Point<float> at;
    if (kLeftSpot.contains(e.getPosition()))
        at = {0.0f, 0.0f};
    else if (kRightSpot.contains(e.getMouseDownPosition()))
        at = {static_cast<float>(TimeBar::BarLength), 0.0f};
    else
        return;
    const juce::MouseEvent forBar(e.source, at, e.mods, e.pressure, e.orientation, e.rotation, e.tiltX,
                                  e.tiltY, &m_timeBar, e.originalComponent, e.eventTime, at, e.mouseDownTime,
                                  e.getNumberOfClicks(), e.mouseWasDraggedSinceMouseDown());
    (m_timeBar.*handler)(forBar);
}

void TransportComponent::mouseDown(const juce::MouseEvent& e)
{
    ForwardToBar(e, &TimeBar::mouseDown);
}

void TransportComponent::mouseUp(const juce::MouseEvent& e)
{
    ForwardToBar(e, &TimeBar::mouseUp);
}

// ---------------------------------------------------------------------------
// Buttons

void TransportComponent::buttonClicked(juce::Button* button)
{
    if (button == &m_play)
    {
        if (m_commands != nullptr)
            m_commands->invokeDirectly(kPlayCommand, false);
    }
    else if (button == &m_rewind)
    {
        if (m_rewind.isHeld())
            CueButtonRepeated(m_rewind, m_cueingBack, 2);
        else
            RewindReleased();
    }
    else if (button == &m_fastForward)
    {
        if (m_fastForward.isHeld())
            CueButtonRepeated(m_fastForward, m_cueingForward, 1);
        else
            FastForwardReleased();
    }
}

void TransportComponent::CueButtonRepeated(CueButton& button, bool& cueing, int speed)
{
    if (cueing || button.getHeldMilliseconds() < kCueDelayMs)
        return;
    cueing = true;
    button.setToggleState(true, juce::dontSendNotification);
    if (m_host.GetPlayerStatus() == CVXHost::kStatusStopped)
        m_host.SetPlayerStatus(CVXHost::kStatusPaused);
    m_host.SetPlayerSpeedStatus(speed);
}

void TransportComponent::RewindReleased()
{
    if (m_cueingBack)
    {
        m_cueingBack = false;
        return;
    }
    CAudioFilePlayerPcmOutput* player = m_host.GetPlayer();
    if (m_host.GetPlayerStatus() != CVXHost::kStatusStopped && player->GetCurTimeSecond() >= kRestartSeconds)
        player->SetCurPositionPercent(0.0);
    else
        m_host.SkipBack(false);
}

void TransportComponent::FastForwardReleased()
{
    if (m_cueingForward)
    {
        m_cueingForward = false;
        return;
    }
    m_host.SkipNext(false);
}

void TransportComponent::buttonStateChanged(juce::Button* button)
{
    if (button == &m_rewind)
        EndCue(m_rewind, m_cueingBack);
    else if (button == &m_fastForward)
        EndCue(m_fastForward, m_cueingForward);
}

// The cue ends at the first change of its button's state once it runs (the
// release, or the pointer leaving the button); the flag itself is cleared by
// the release click, so that the release does not skip.
void TransportComponent::EndCue(CueButton& button, bool& cueing)
{
    if (!cueing || !button.getToggleState())
        return;
    button.setToggleState(false, juce::dontSendNotification);
    if (m_host.GetPlayerSpeedStatus() != 0)
    {
        m_host.SetSkipByIdleLoop(false);
        m_host.SetPlayerSpeedStatus(0);
    }
}

// ---------------------------------------------------------------------------
// Host notices

void TransportComponent::UpdateEnablement(int mode, int count)
{
    const bool enabled = mode == 0 && count != 0;
    m_rewind.setEnabled(enabled);
    m_fastForward.setEnabled(enabled);
    m_play.setEnabled(enabled);
}

void TransportComponent::OnVXHostModeChanged(CVXHost*, int mode)
{
    VX_ASSERT_MESSAGE_THREAD();
    UpdateEnablement(mode, m_host.GetNumSongs());
}

void TransportComponent::OnVXHostNumTracksChanged(CVXHost*, int count)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    UpdateEnablement(m_host.GetMode(), count);
}

void TransportComponent::OnVXHostPlayerStatusChanged(CVXHost*, int status)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    const Vextal::TrackInfo* song = m_host.GetSong(m_host.GetCurPlayTrack(0));
    if (song == nullptr || !song->isPresent() || m_host.GetMode() != 0)
    {
        m_play.setToggleState(false, juce::dontSendNotification);
        return;
    }
    m_play.setToggleState(status == CVXHost::kStatusPlaying, juce::dontSendNotification);
    ShowSpeed(m_host.GetPlayerSpeedStatus());
}

void TransportComponent::OnVXHostPlayerSpeedStatusChanged(CVXHost*, int speed)
{
    VX_ASSERT_MESSAGE_THREAD();
    ShowSpeed(speed);
}

void TransportComponent::ShowSpeed(int speed)
{
    if (speed < 0 || speed > 2)
        return;
    m_fastForward.setToggleState(speed == 1, juce::dontSendNotification);
    m_rewind.setToggleState(speed == 2, juce::dontSendNotification);
}

#include "src/jucer_components/LevelMeter.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/Resource/CVXResourceManager.h"

namespace
{
// The level (dB) each segment needs to exceed to light, top segment first:
// 1.5 dB steps down to -12 dB, then 3 dB steps.
const float s_afMeterGain[Vextal::kLevelMeterSegmentCount] = {
    -1.5f,  -3.0f,  -4.5f,  -6.0f,  -7.5f,  -9.0f,  -10.5f, -12.0f, -15.0f, -18.0f, -21.0f,
    -24.0f, -27.0f, -30.0f, -33.0f, -36.0f, -39.0f, -42.0f, -45.0f, -48.0f, -51.0f};

// The menu's Cancel item, which does nothing.
constexpr int kCancelItemId = 0x7fff0000;
} // namespace

const LevelMeter::MeterParam LevelMeter::sm_amMeterParam[2] = {
    {21, 30, Vextal::kImageLevelMeterAllOff, Vextal::kImageLevelMeterAllOn, Vextal::kLevelMeterSegmentCount,
     Vextal::kLevelMeterSegmentTops, s_afMeterGain},
    {65, 30, Vextal::kImageLevelMeterAllOff, Vextal::kImageLevelMeterAllOn, Vextal::kLevelMeterSegmentCount,
     Vextal::kLevelMeterSegmentTops, s_afMeterGain},
};

LevelMeter::LevelMeter(CVXHost& host, juce::ApplicationCommandManager* commands, Vextal::ViewClock clock)
    : m_host(host), m_commands(commands), m_clock(Vextal::viewClockOrSystem(std::move(clock))),
      m_clipTime(m_clock()), m_bars{{CVXCtrlLevelMeter(m_clock), CVXCtrlLevelMeter(m_clock)}},
      m_scale(CVXResourceManager::Get(Vextal::kImageLevelMeterLevel))
{
    m_clipButton.initialize(CVXResourceManager::Get(Vextal::kImageButtonClip), 4, 1, 0, 2, 3, 0, 0.1f);
    m_clipButton.setToggleState(false, juce::dontSendNotification);
    m_clipButton.addListener(this);
    m_clipButton.onMouseDown = [this](juce::FourStateImageButton&, const juce::MouseEvent& e)
    { mouseDown(e.getEventRelativeTo(this)); };
    addAndMakeVisible(m_clipButton);
    for (size_t i = 0; i < m_bars.size(); ++i)
    {
        const MeterParam& param = sm_amMeterParam[i];
        CVXCtrlLevelMeter& bar = m_bars[i];
        bar.setName("Meter");
        bar.SetImage(CVXResourceManager::Get(param.offImage), CVXResourceManager::Get(param.onImage), true);
        bar.SetSegments(param.pixels, param.thresholds, param.segmentCount);
        bar.setEnabled(true);
        bar.SetListener(this);
        addAndMakeVisible(bar);
    }
    setSize(110, 220);
    const juce::ScopedLock sl(m_host.ObtainCriticalSection());
    m_host.AddListener(this);
}

LevelMeter::~LevelMeter()
{
    const juce::ScopedLock sl(m_host.ObtainCriticalSection());
    m_host.RemoveListener(this);
}

void LevelMeter::paint(juce::Graphics& g)
{
    if (m_scale.isValid())
        g.drawImageAt(m_scale, 47, 30);
}

void LevelMeter::resized()
{
    m_clipButton.setBounds(31, 0, 47, 19);
    for (size_t i = 0; i < m_bars.size(); ++i)
        m_bars[i].setTopLeftPosition(sm_amMeterParam[i].x, sm_amMeterParam[i].y);
}

// ---------------------------------------------------------------------------
// Clicks and the menu

void LevelMeter::mouseDown(const juce::MouseEvent& e)
{
    if (e.mods.isRightButtonDown() || e.mods.isCtrlDown())
    {
        showHoldTimeMenu(e.getScreenX(), e.getScreenY());
        return;
    }
    ClearClip();
}

bool LevelMeter::OnZfcComponentMouseDown(CZfcComponent*, const juce::MouseEvent& e)
{
    mouseDown(e.getEventRelativeTo(this));
    return true;
}

void LevelMeter::buttonClicked(juce::Button* button)
{
    if (button != &m_clipButton)
        return;
    if (m_clipButton.getToggleState())
        m_clipButton.setToggleState(false, juce::sendNotification);
    ClearClip();
}

void LevelMeter::ClearClip()
{
    m_clipState = 0;
    m_clipButton.setToggleState(false, juce::dontSendNotification);
    for (auto& bar : m_bars)
        bar.ResetPeak();
}

juce::PopupMenu LevelMeter::createHoldTimeMenu() const
{
    juce::PopupMenu peakHold, clipHold;
    if (m_commands != nullptr)
    {
        for (int i = 0; i < kNumHoldCommands; ++i)
        {
            peakHold.addCommandItem(m_commands, kFirstPeakHoldCommand + i);
            clipHold.addCommandItem(m_commands, kFirstClipHoldCommand + i);
        }
    }
    juce::PopupMenu menu;
    menu.addSubMenu(CZJEResource::GetText("Menu_Item_PeakHold"), peakHold);
    menu.addSubMenu(CZJEResource::GetText("Menu_Item_ClipHold"), clipHold);
    menu.addSeparator();
    menu.addItem(kCancelItemId, CZJEResource::GetText("Button_Cancel"));
    return menu;
}

void LevelMeter::showHoldTimeMenu(int screenX, int screenY)
{
    createHoldTimeMenu().showMenuAsync(
        juce::PopupMenu::Options().withTargetScreenArea(juce::Rectangle<int>(screenX, screenY, 1, 1)));
}

// ---------------------------------------------------------------------------
// Host notices

void LevelMeter::OnVXHostMeterLevelChanged(CVXHost*, int channel, double levelDb)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (channel != 0 && channel != 1)
        return;
    CVXCtrlLevelMeter& bar = m_bars[static_cast<size_t>(channel)];
    bar.SetPeakHoldTime(m_host.GetPeakHoldLevelMs());
    bar.SetValue(levelDb);
}

void LevelMeter::OnVXHostMeterClipChanged(CVXHost*, int clip)
{
    VX_ASSERT_MESSAGE_THREAD();
    const int hold = m_host.GetPeakHoldClipMs();
    const int64_t now = m_clock();
    if (clip >= m_clipState)
        m_clipTime = now;
    if (clip <= m_clipState && (hold < 0 || clip == m_clipState || now - m_clipTime < hold))
        return;
    m_clipState = clip;
    m_clipButton.setToggleState(clip != 0, juce::dontSendNotification);
}

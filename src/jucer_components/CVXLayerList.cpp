#include "src/jucer_components/CVXLayerList.h"

#include "src/CVXLookAndFeel.h"
#include "src/Resource/CVXResourceManager.h"
#include "src/jucer_components/CVXListItem.h"
#include "src/songlist/Action/CVXActionChangeValue.h"
#include "src/songlist/Action/SelectionRetriever.h"
#include "src/songlist/CommandManager.h"

#include <algorithm>

using Vextal::TrackInfo;

namespace
{
struct ButtonParam
{
    int x, y, frames;
    Vextal::ImageIndex image;
    int command;
};
// The command buttons, by CVXLayerList::CommandButton: add songs, remove
// songs, combine, channel link, divide.
const ButtonParam sm_amButtonParam[CVXLayerList::kNumCommandButtons] = {
    {18, 11, 3, Vextal::kImageButtonAdd, 6},           {70, 11, 3, Vextal::kImageButtonRemove, 8},
    {126, 11, 3, Vextal::kImageButtonCombine, 13},     {230, 11, 3, Vextal::kImageButtonChLink, 14},
    {178, 11, 3, Vextal::kImageButtonDivideForVX, 12},
};

struct ToggleParam
{
    int x, y, states;
    Vextal::ImageIndex image;
};
const ToggleParam sm_amToggleButtonParam[2] = {
    {468, 100, 4, Vextal::kImageButtonFadeIn},
    {468, 125, 4, Vextal::kImageButtonFadeOut},
};

struct LabelParam
{
    int x, y, width, height;
    juce::Justification justification;
    const char* text;
    bool editable;
};
const LabelParam sm_amLabelParam[CVXLayerList::kNumLabels] = {
    {467, 51, 44, 15, juce::Justification::centredRight, "", true},
    {467, 77, 62, 14, juce::Justification::centred, "", true},
    {489, 102, 32, 15, juce::Justification::centredRight, "", true},
    {489, 127, 32, 15, juce::Justification::centredRight, "", true},
    {507, 52, 24, 13, juce::Justification::centredLeft, "dB", false},
    {517, 102, 12, 15, juce::Justification::centredLeft, "s", false},
    {517, 127, 12, 15, juce::Justification::centredLeft, "s", false},
};
// What a value label edits: its control, the characters it takes, the step
// of one pixel of dragging and the name of its change.
struct ValueParam
{
    int controlId;
    const char* characters;
    float step;
    const char* target;
};
const ValueParam kValueParam[CVXLayerList::kNumValueLabels] = {
    {TrackInfo::kGain, "+-0123456789.", 0.1f, "ChangeTarget_Gain"},
    {TrackInfo::kBalance, "lLcCrR+-0123456789", 0.01f, "ChangeTarget_Balance"},
    {TrackInfo::kFadeInTime, "0123456789.", 0.1f, "ChangeTarget_FadeInTime"},
    {TrackInfo::kFadeOutTime, "0123456789.", 0.1f, "ChangeTarget_FadeOutTime"},
};
const juce::Rectangle<int> kValueContainerBounds(0, 0, 529, 142);
// The column edges of the rows that the panel draws over the list.
const int kColumnSeparatorTop = 36;

const char* TargetOfControl(int controlId)
{
    switch (controlId)
    {
    case TrackInfo::kGain:
        return "ChangeTarget_Gain";
    case TrackInfo::kFadeInType:
        return "ChangeTarget_FadeInType";
    case TrackInfo::kFadeInTime:
        return "ChangeTarget_FadeInTime";
    case TrackInfo::kFadeOutType:
        return "ChangeTarget_FadeOutType";
    case TrackInfo::kFadeOutTime:
        return "ChangeTarget_FadeOutTime";
    case TrackInfo::kBalance:
        return "ChangeTarget_Balance";
    default:
        return "ChangeTarget_DcCut";
    }
}

void Beep()
{
    juce::LookAndFeel::getDefaultLookAndFeel().playAlertSound();
}

// "[+-]digits" at the start of text; none without a digit.
std::optional<int> LeadingInteger(const juce::String& text)
{
    auto p = text.getCharPointer();
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = p.getAndAdvance() == '-';
    if (!juce::CharacterFunctions::isDigit(*p))
        return std::nullopt;
    int64_t value = 0;
    while (juce::CharacterFunctions::isDigit(*p))
        value = std::min<int64_t>(value * 10 + (p.getAndAdvance() - '0'), 1000000000);
    return static_cast<int>(negative ? -value : value);
}
} // namespace

// ---------------------------------------------------------------------------
// Value texts

juce::String CVXLayerList::GainText(float gain)
{
    // A gain that shows as zero (-0.0 among them) shows without a sign.
    const juce::String text = juce::String::formatted("%.1f", static_cast<double>(gain));
    if (text == "0.0" || text == "-0.0")
        return "0.0";
    return (gain > 0.0f ? "+" : "") + text;
}

juce::String CVXLayerList::BalanceText(float balance)
{
    if (balance == 0.0f)
        return "C";
    if (balance > 0.0f)
        return "R" + juce::String(static_cast<int>(balance * 100.0f + 0.5f));
    return "L" + juce::String(static_cast<int>(-balance * 100.0f + 0.5f));
}

juce::String CVXLayerList::TimeText(float seconds)
{
    return juce::String::formatted("%.1f", static_cast<double>(seconds));
}

std::optional<float> CVXLayerList::convertBalanceTextToFloat(const juce::String& text)
{
    const juce::String trimmed = text.trim();
    if (trimmed.equalsIgnoreCase("C"))
        return 0.0f;
    const juce::String signedText = trimmed.replace("L", "-", true).removeCharacters("rR");
    if (const auto percent = LeadingInteger(signedText))
        return static_cast<float>(*percent) * 0.01f;
    return std::nullopt;
}

std::optional<float> CVXLayerList::convertDecimalTextToFloat(const juce::String& text)
{
    const juce::String trimmed = text.trim();
    auto p = trimmed.getCharPointer();
    if (*p == '+' || *p == '-')
        ++p;
    if (*p == '.')
        ++p;
    if (!juce::CharacterFunctions::isDigit(*p))
        return std::nullopt;
    return static_cast<float>(trimmed.getDoubleValue());
}

int CVXLayerList::NextFadeType(int shownState)
{
    return shownState == kMixedFade ? 0 : (shownState + 1) % 3;
}

// ---------------------------------------------------------------------------
// Construction

CVXLayerList::CVXLayerList(CVXHost* host, Vextal::CommandManager& commands)
    : m_host(*host), m_commands(commands), m_backTop(CVXResourceManager::Get(Vextal::kImageLayerListBackTop)),
      m_back(CVXResourceManager::Get(Vextal::kImageLayerListBack)),
      m_backBottom(CVXResourceManager::Get(Vextal::kImageLayerListBackBottom)),
      m_fadeInImage(CVXResourceManager::Get(Vextal::kImageButtonFadeIn)),
      m_fadeOutImage(CVXResourceManager::Get(Vextal::kImageButtonFadeOut))
{
    BuildCommandButtons();
    BuildToggles();
    BuildLabels();
    BuildListBox();
    setSize(m_back.isValid() ? m_back.getWidth()
                             : Vextal::kImageTable[Vextal::kImageLayerListBack].GetWidth(),
            1);
    setWantsKeyboardFocus(true);
    m_commandButtons[kAddButton]->setEnabled(true);
    {
        const juce::ScopedLock sl(m_host.ObtainCriticalSection());
        m_host.AddListener(this);
    }
    m_host.addTrackInfoListener(this, -1);
    UpdateTrackInfo();
    RefreshButtons();
}

CVXLayerList::~CVXLayerList()
{
    m_host.removeTrackInfoListener(this);
    {
        const juce::ScopedLock sl(m_host.ObtainCriticalSection());
        m_host.RemoveListener(this);
    }
    m_listBox->getVerticalScrollBar().removeComponentListener(this);
    for (auto& label : m_labels)
        label->removeMouseListener(this);
}

void CVXLayerList::BuildCommandButtons()
{
    for (int i = 0; i < kNumCommandButtons; ++i)
    {
        const ButtonParam& param = sm_amButtonParam[i];
        auto& button = m_commandButtons[static_cast<size_t>(i)];
        // Frame 0 normal and hover, 1 disabled, 2 pressed.
        button = std::make_unique<juce::SimpleImageButton>(
            "ListLayerButton", CVXResourceManager::Get(param.image), param.frames, 0, 2, 1, 0, 1.0f);
        button->setTopLeftPosition(param.x, param.y);
        const int command = param.command;
        button->onClick = [this, command] { m_commands.invokeDirectly(command, false); };
        button->setEnabled(false);
        addAndMakeVisible(*button);
    }
    m_repeatButton = std::make_unique<MatrixImageButton>(
        "RepeatButton", CVXResourceManager::Get(Vextal::kImageButtonRepeat), 2, 3, 1, 2);
    m_repeatButton->setTopLeftPosition(427, 11);
    m_repeatButton->setStateIndex(m_host.IsRepeat() ? 1 : 0);
    m_playModeButton = std::make_unique<MatrixImageButton>(
        "PlayModeButton", CVXResourceManager::Get(Vextal::kImageButtonPlayMode), 3, 3, 1, 2);
    m_playModeButton->setTopLeftPosition(479, 11);
    m_playModeButton->setStateIndex(m_host.GetPlayerMode());
    for (auto* button : {m_repeatButton.get(), m_playModeButton.get()})
    {
        button->addListener(this);
        addAndMakeVisible(*button);
    }
}

void CVXLayerList::BuildToggles()
{
    juce::Image* images[2] = {&m_fadeInImage, &m_fadeOutImage};
    for (int i = 0; i < 2; ++i)
    {
        const ToggleParam& param = sm_amToggleButtonParam[i];
        auto& toggle = m_fadeToggles[static_cast<size_t>(i)];
        toggle = std::make_unique<CZfcCtrlButton>("Button");
        toggle->SetImage(images[i], param.states, false, true, 0, 0);
        toggle->setTopLeftPosition(param.x, param.y);
        toggle->SetActionTiming(CZfcCtrlButton::kActionOnPress);
        toggle->SetKind(0);
        toggle->SetId(i);
        toggle->SetListener(this);
        toggle->setEnabled(false);
        addAndMakeVisible(*toggle);
    }
}

void CVXLayerList::BuildLabels()
{
    const CVXLookAndFeel* look = CZJESingleton<CVXLookAndFeel>::GetInstance();
    m_valueContainer.setBounds(kValueContainerBounds);
    m_valueContainer.setInterceptsMouseClicks(false, true);
    m_valueContainer.setFocusContainerType(FocusContainerType::keyboardFocusContainer);
    addAndMakeVisible(m_valueContainer);
    for (int i = 0; i < kNumLabels; ++i)
    {
        const LabelParam& param = sm_amLabelParam[i];
        auto& label = m_labels[static_cast<size_t>(i)];
        label = std::make_unique<LabelWithInlineEditor>("Label", param.text, true);
        label->setBounds(param.x, param.y, param.width, param.height);
        label->setJustificationType(param.justification);
        // Three pixels either side, so that a value set flush right never
        // runs into its unit label, which begins four pixels inside it.
        label->setBorderSize({1, 3, 1, 3});
        if (look != nullptr)
            look->applyAsciiFontToLabel(*label);
        label->setColour(juce::Label::textColourId, juce::Colours::black);
        label->setColour(juce::Label::backgroundColourId, juce::Colours::transparentBlack);
        label->setColour(juce::Label::outlineColourId, juce::Colours::transparentBlack);
        label->setColour(juce::TextEditor::textColourId, juce::Colours::black);
        label->setColour(juce::TextEditor::highlightedTextColourId, juce::Colours::black);
        label->setColour(juce::TextEditor::highlightColourId, juce::Colour(0x400111EE));
        label->setColour(juce::TextEditor::focusedOutlineColourId, juce::Colours::transparentBlack);
        label->setColour(juce::TextEditor::shadowColourId, juce::Colours::transparentBlack);
        if (param.editable)
        {
            label->setEditable(false, true, true);
            label->setInputRestrictions(0, kValueParam[i].characters,
                                        LabelWithInlineEditor::kInputMethodDisabled);
            label->setEditorListener(this);
            label->addMouseListener(this, false);
            m_valueContainer.addAndMakeVisible(*label);
        }
        else
        {
            addAndMakeVisible(*label);
        }
    }
    const float height = GetLabel(kGainLabel).getFont().getHeight();
    const float unitHeight = GetLabel(kGainUnitLabel).getFont().getHeight();
    m_gainFont = look != nullptr ? look->getAsciiFont(height) : juce::Font(height);
    m_gainFontBold =
        look != nullptr ? look->getAsciiFont(height, juce::Font::bold) : juce::Font(height).boldened();
    m_unitFont = look != nullptr ? look->getAsciiFont(unitHeight) : juce::Font(unitHeight);
    m_unitFontBold = look != nullptr ? look->getAsciiFont(unitHeight, juce::Font::bold)
                                     : juce::Font(unitHeight).boldened();
}

void CVXLayerList::BuildListBox()
{
    m_listBox = std::make_unique<CVXListBox>(&m_host, m_commands, "ListBox", 3, 0);
    m_listBox->setMultipleSelectionEnabled(true);
    m_listBox->SetListener(this);
    m_listBox->setBounds(kListX, kListY, kListWidth, kListHeight);
    m_listBox->getVerticalScrollBar().setAutoHide(false);
    m_listBox->getVerticalScrollBar().addComponentListener(this);
    addAndMakeVisible(*m_listBox);
    m_listBox->updateContent();
}

// ---------------------------------------------------------------------------
// Commands of the main content

void CVXLayerList::selectAllSongs()
{
    const int rows = m_listBox->getNumRows();
    if (rows > 0)
        m_listBox->selectRangeOfRows(0, rows - 1, true);
}

void CVXLayerList::editSongName()
{
    m_listBox->editSongName();
}

// ---------------------------------------------------------------------------
// Showing the selection

Vextal::TrackInfo* CVXLayerList::FirstSelectedSong() const
{
    const int first = m_listBox->getSelectedRow(0);
    return first >= 0 ? m_host.GetSong(first) : nullptr;
}

void CVXLayerList::ClearValues()
{
    for (int i = 0; i < kNumValueLabels; ++i)
    {
        GetLabel(i).setText({}, juce::dontSendNotification);
        GetLabel(i).setEnabled(false);
    }
    for (auto& toggle : m_fadeToggles)
        toggle->setEnabled(false);
    GetLabel(kGainUnitLabel).setFont(m_unitFont);
}

void CVXLayerList::UpdateTrackInfo()
{
    const juce::SparseSet<int> rows = m_listBox->getSelectedRows();
    TrackInfo* first = FirstSelectedSong();
    if (rows.isEmpty() || first == nullptr)
    {
        ClearValues();
        return;
    }
    const float gain = first->getControlFloat(TrackInfo::kGain);
    const float normalizedGain = first->getNormalizedGain();
    const int fadeInType = first->getControlInt(TrackInfo::kFadeInType);
    const int fadeOutType = first->getControlInt(TrackInfo::kFadeOutType);
    const float fadeInTime = first->getControlFloat(TrackInfo::kFadeInTime);
    const float fadeOutTime = first->getControlFloat(TrackInfo::kFadeOutTime);
    const float balance = first->getControlFloat(TrackInfo::kBalance);
    bool same[7] = {true, true, true, true, true, true, true};
    bool stereo = first->getNumChannels() == 2;
    bool normalized = first->isNormalize();
    for (int r = 0; r < rows.getNumRanges(); ++r)
    {
        const auto range = rows.getRange(r);
        for (int row = range.getStart(); row < range.getEnd(); ++row)
        {
            const TrackInfo* song = m_host.GetSong(row);
            if (song == nullptr || song == first)
                continue;
            same[0] = same[0] && song->getControlFloat(TrackInfo::kGain) == gain;
            same[1] = same[1] && song->getNormalizedGain() == normalizedGain;
            same[2] = same[2] && song->getControlInt(TrackInfo::kFadeInType) == fadeInType;
            same[3] = same[3] && song->getControlInt(TrackInfo::kFadeOutType) == fadeOutType;
            same[4] = same[4] && song->getControlFloat(TrackInfo::kFadeInTime) == fadeInTime;
            same[5] = same[5] && song->getControlFloat(TrackInfo::kFadeOutTime) == fadeOutTime;
            same[6] = same[6] && song->getControlFloat(TrackInfo::kBalance) == balance;
            stereo = stereo && song->getNumChannels() == 2;
            normalized = normalized || song->isNormalize();
        }
    }
    for (int i : {kGainLabel, kFadeInTimeLabel, kFadeOutTimeLabel})
        GetLabel(i).setEnabled(true);
    for (auto& toggle : m_fadeToggles)
        toggle->setEnabled(true);
    GetLabel(kBalanceLabel).setEnabled(stereo);

    if (m_host.GetMode() == 0)
    {
        if (same[0])
            SetGainText(gain, false);
        else
            GetLabel(kGainLabel).setText({}, juce::dontSendNotification);
    }
    else if (same[1])
    {
        SetGainText(normalizedGain, normalized);
    }
    else
    {
        // Differing normalized gains: no value, in the plain look.
        SetGainText(0.0f, false);
        GetLabel(kGainLabel).setText({}, juce::dontSendNotification);
    }
    m_fadeToggles[kFadeInToggle]->SetState(same[2] ? fadeInType : kMixedFade, false, false);
    m_fadeToggles[kFadeOutToggle]->SetState(same[3] ? fadeOutType : kMixedFade, false, false);
    GetLabel(kFadeInTimeLabel)
        .setText(same[4] ? TimeText(fadeInTime) : juce::String(), juce::dontSendNotification);
    GetLabel(kFadeOutTimeLabel)
        .setText(same[5] ? TimeText(fadeOutTime) : juce::String(), juce::dontSendNotification);
    if (same[6])
        SetBalanceText(balance);
    else
        GetLabel(kBalanceLabel).setText({}, juce::dontSendNotification);
}

void CVXLayerList::SetGainText(float gain, bool highlight)
{
    const juce::Colour colour = highlight ? juce::Colour(kHighlightColour) : juce::Colours::black;
    auto& value = GetLabel(kGainLabel);
    auto& unit = GetLabel(kGainUnitLabel);
    value.setText(GainText(gain), juce::dontSendNotification);
    value.setColour(juce::Label::textColourId, colour);
    unit.setColour(juce::Label::textColourId, colour);
    value.setFont(highlight ? m_gainFontBold : m_gainFont);
    unit.setFont(highlight ? m_unitFontBold : m_unitFont);
}

void CVXLayerList::SetBalanceText(float balance)
{
    GetLabel(kBalanceLabel).setText(BalanceText(balance), juce::dontSendNotification);
}

void CVXLayerList::RefreshButtons()
{
    if (m_host.GetMode() != 0)
    {
        for (auto& button : m_commandButtons)
            button->setEnabled(false);
        return;
    }
    m_commandButtons[kAddButton]->setEnabled(true);
    m_commandButtons[kRemoveButton]->setEnabled(m_listBox->getNumSelectedRows() > 0);
    m_commandButtons[kCombineButton]->setEnabled(m_host.CanCombine());
    m_commandButtons[kChannelLinkButton]->setEnabled(m_host.CanLink());
}

// ---------------------------------------------------------------------------
// Edits

void CVXLayerList::changeValue(int controlId, float value, bool undoable)
{
    const juce::SparseSet<int> rows = m_listBox->getSelectedRows();
    if (rows.isEmpty())
        return;
    if (undoable)
        m_commands.stackActionInUndoList(
            std::make_unique<Vextal::SelectionRetriever>(m_host, false), true,
            Vextal::CommandManager::transactionName("Action_Change", TargetOfControl(controlId)));
    for (int r = 0; r < rows.getNumRanges(); ++r)
    {
        const auto range = rows.getRange(r);
        for (int row = range.getStart(); row < range.getEnd(); ++row)
        {
            auto action = std::make_unique<CVXActionChangeValue>(&m_host);
            action->SetValue(row, controlId, value);
            const bool done =
                undoable ? m_commands.stackActionInUndoList(std::move(action), false, {}) : action->perform();
            if (!done)
                Beep();
        }
    }
}

void CVXLayerList::changeValue(int controlId, int value)
{
    changeValue(controlId, static_cast<float>(value), true);
}

void CVXLayerList::OnLabelEditorReturnKeyPressed(LabelWithInlineEditor& label)
{
    for (int i = 0; i < kNumValueLabels; ++i)
    {
        if (&label != &GetLabel(i))
            continue;
        const juce::String text = label.getText();
        const auto value =
            i == kBalanceLabel ? convertBalanceTextToFloat(text) : convertDecimalTextToFloat(text);
        // A text that holds no value changes nothing; the songs' values show
        // again.
        if (value)
            changeValue(kValueParam[i].controlId, *value, true);
        else
            UpdateTrackInfo();
        return;
    }
}

int CVXLayerList::ValueLabelOf(const juce::MouseEvent& e) const
{
    for (int i = 0; i < kNumValueLabels; ++i)
    {
        if (e.eventComponent == m_labels[static_cast<size_t>(i)].get())
            return i;
    }
    return -1;
}

float CVXLayerList::CurrentValue(int labelIndex) const
{
    const juce::String text = m_labels[static_cast<size_t>(labelIndex)]->getText();
    const auto value =
        labelIndex == kBalanceLabel ? convertBalanceTextToFloat(text) : convertDecimalTextToFloat(text);
    return value.value_or(0.0f);
}

void CVXLayerList::mouseDown(const juce::MouseEvent& e)
{
    const int i = ValueLabelOf(e);
    if (i < 0 || e.mods.isRightButtonDown())
        return;
    m_dragStart[static_cast<size_t>(i)] = CurrentValue(i);
    m_dragging[static_cast<size_t>(i)] = false;
}

void CVXLayerList::mouseDrag(const juce::MouseEvent& e)
{
    const int i = ValueLabelOf(e);
    if (i < 0 || e.mods.isRightButtonDown() || !m_listBox->isEnabled() || !GetLabel(i).isEnabled())
        return;
    auto& dragging = m_dragging[static_cast<size_t>(i)];
    const int distance = e.getDistanceFromDragStartY();
    if (distance == 0 && !dragging)
        return;
    const float value =
        m_dragStart[static_cast<size_t>(i)] - static_cast<float>(distance) * kValueParam[i].step;
    changeValue(kValueParam[i].controlId, value, !dragging);
    dragging = true;
}

void CVXLayerList::mouseUp(const juce::MouseEvent& e)
{
    const int i = ValueLabelOf(e);
    if (i >= 0 && !e.mods.isRightButtonDown())
        m_dragging[static_cast<size_t>(i)] = false;
}

bool CVXLayerList::IsDragging() const
{
    return std::any_of(m_dragging.begin(), m_dragging.end(), [](bool d) { return d; });
}

void CVXLayerList::OnZfcComponentButtonAction(CZfcComponent* component)
{
    if (component == nullptr || component->GetKind() != 0)
        return;
    const int which = component->GetId();
    if (which != kFadeInToggle && which != kFadeOutToggle)
        return;
    const int type = NextFadeType(m_fadeToggles[static_cast<size_t>(which)]->GetState());
    changeValue(which == kFadeInToggle ? TrackInfo::kFadeInType : TrackInfo::kFadeOutType, type);
}

void CVXLayerList::buttonClicked(juce::Button* button)
{
    if (button == m_repeatButton.get())
    {
        m_repeatButton->toggleState();
        m_host.setRepeat(m_repeatButton->getStateIndex() == 1);
    }
    else if (button == m_playModeButton.get())
    {
        m_playModeButton->toggleState();
        m_host.setPlayerMode(m_playModeButton->getStateIndex());
    }
}

// ---------------------------------------------------------------------------
// Notices

void CVXLayerList::OnZfcComponentListBoxSelectedRowsChanged(CZfcComponent*, int)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    m_host.SetSelectedSongs(m_listBox->getSelectedRows(), false);
    UpdateTrackInfo();
    RefreshButtons();
}

void CVXLayerList::OnVXHostNumTracksChanged(CVXHost*, int)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    m_listBox->updateContent();
}

void CVXLayerList::OnVXHostSelectedSongsChanged(CVXHost*, const juce::SparseSet<int>& selection, bool scroll)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    m_listBox->setSelectedRows(selection);
    if (scroll && !selection.isEmpty())
        m_listBox->scrollToEnsureRowIsOnscreen(selection.getRange(selection.getNumRanges() - 1).getEnd() - 1);
}

void CVXLayerList::ShowCurrentSong(int index)
{
    if (index >= 0 && index < m_listBox->getNumRows())
        m_listBox->selectRow(index);
    m_listBox->updateContent();
    UpdateTrackInfo();
}

void CVXLayerList::OnVXHostCurPlayTrackChanged(CVXHost*, int index)
{
    if (m_host.GetMode() == 0)
    {
        ShowCurrentSong(index);
        return;
    }
    juce::Component::SafePointer<CVXLayerList> self(this);
    juce::MessageManager::callAsync(
        [self, index]
        {
            if (self != nullptr)
                self->ShowCurrentSong(index);
        });
}

void CVXLayerList::OnVXHostPlayerStatusChanged(CVXHost*, int)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    m_listBox->repaint();
}

void CVXLayerList::OnVXHostModeChanged(CVXHost*, int mode)
{
    const bool normal = mode == 0;
    for (auto& toggle : m_fadeToggles)
        toggle->setInterceptsMouseClicks(normal, normal);
    for (auto& label : m_labels)
        label->setInterceptsMouseClicks(normal, normal);
    // The scroll bar still scrolls; the rows take no clicks.
    m_listBox->getViewport()->getViewedComponent()->setInterceptsMouseClicks(normal, normal);
    m_listBox->updateContent();
    RefreshButtons();
    m_repeatButton->setEnabled(normal);
    m_playModeButton->setEnabled(normal);
}

void CVXLayerList::OnVXHostDividabilityChanged(CVXHost*, bool canDivide)
{
    m_commandButtons[kDivideButton]->setEnabled(canDivide && m_host.GetMode() == 0);
}

bool CVXLayerList::currentSongCanBeChanged(CVXHost*)
{
    return !IsDragging();
}

void CVXLayerList::OnVXHostFromToPlayStatusChanged(CVXHost*, int)
{
    OnVXHostDividabilityChanged(&m_host, m_host.canDivide());
}

void CVXLayerList::OnVXHostTimerCallback(CVXHost*)
{
    OnVXHostDividabilityChanged(&m_host, m_host.canDivide());
}

void CVXLayerList::songControlChanged(TrackInfo* song, int controlId)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    if (song == nullptr || song != FirstSelectedSong())
        return;
    switch (controlId)
    {
    case TrackInfo::kGain:
        SetGainText(song->getControlFloat(TrackInfo::kGain), false);
        break;
    case TrackInfo::kFadeInType:
        m_fadeToggles[kFadeInToggle]->SetState(song->getControlInt(controlId), false, false);
        break;
    case TrackInfo::kFadeOutType:
        m_fadeToggles[kFadeOutToggle]->SetState(song->getControlInt(controlId), false, false);
        break;
    case TrackInfo::kFadeInTime:
        GetLabel(kFadeInTimeLabel)
            .setText(TimeText(song->getControlFloat(controlId)), juce::dontSendNotification);
        break;
    case TrackInfo::kFadeOutTime:
        GetLabel(kFadeOutTimeLabel)
            .setText(TimeText(song->getControlFloat(controlId)), juce::dontSendNotification);
        break;
    case TrackInfo::kBalance:
        SetBalanceText(song->getControlFloat(controlId));
        break;
    default:
        break;
    }
}

void CVXLayerList::componentVisibilityChanged(juce::Component& component)
{
    if (&component == &m_listBox->getVerticalScrollBar() && !component.isVisible())
        component.setVisible(true);
}

// ---------------------------------------------------------------------------
// Drawing and layout

void CVXLayerList::paint(juce::Graphics& g)
{
    const int bottomHeight = m_backBottom.getHeight();
    if (m_backTop.isValid())
        g.drawImageAt(m_backTop, 0, 0);
    const int top = m_backTop.getHeight();
    if (m_back.isValid() && getHeight() - bottomHeight > top)
    {
        // The one-pixel row repeated down the middle.
        g.setTiledImageFill(m_back, 0, 0, 1.0f);
        g.fillRect(0, top, m_back.getWidth(), getHeight() - bottomHeight - top);
    }
    if (m_backBottom.isValid())
        g.drawImageAt(m_backBottom, 0, getHeight() - bottomHeight);
}

void CVXLayerList::paintOverChildren(juce::Graphics& g)
{
    const juce::Rectangle<int> list = m_listBox->getBounds();
    g.setColour(juce::Colour(kColumnColour));
    for (const int edge : CVXListItem::kColumnRightEdges)
    {
        const float x = static_cast<float>(list.getX() + edge);
        g.drawLine(x, static_cast<float>(kColumnSeparatorTop), x, static_cast<float>(list.getBottom()));
    }
    g.setColour(juce::Colours::black);
    g.drawLine(static_cast<float>(list.getX() - 1), static_cast<float>(list.getY() - 1),
               static_cast<float>(list.getRight() + 1), static_cast<float>(list.getY() - 1));
}

bool CVXLayerList::keyPressed(const juce::KeyPress& key)
{
    return m_listBox->keyPressed(key);
}

void CVXLayerList::resized()
{
    const int bottomHeight = m_backBottom.isValid() ? m_backBottom.getHeight() : 0;
    m_listBox->setBounds(kListX, kListY, kListWidth, juce::jmax(0, getHeight() - kListY - bottomHeight));
    m_listBox->updateContent();
}

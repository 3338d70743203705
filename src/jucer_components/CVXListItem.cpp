#include "src/jucer_components/CVXListItem.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/CVXLookAndFeel.h"
#include "src/CommandIDs.h"
#include "src/Resource/CVXResourceManager.h"
#include "src/jucer_components/CVXListBox.h"
#include "src/songlist/Action/CVXActionRename.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/Output/ExportManager.h"
#include "src/songlist/VXUtil.h"

namespace
{
struct LabelParam
{
    int x, y, width, height;
    juce::Justification justification;
};
// The labels of a row, by CVXListItem::LabelIndex.
const LabelParam sm_amLabelParam[CVXListItem::kNumLabels] = {
    {0, 1, 40, 22, juce::Justification::centredRight},
    {41, 1, 176, 22, juce::Justification::centredLeft},
    {218, 1, 58, 22, juce::Justification::centredRight},
    {277, 1, 88, 22, juce::Justification::centredLeft},
};
// The icon: x, y and the frames of its strip.
constexpr int kIconX = 4;
constexpr int kIconY = 7;
constexpr int kIconFrames = 6;
// A pending rename is cancelled by a move this far sideways (or any
// distance up or down).
constexpr int kRenameSlack = 4;

// The commands of the row's menu, in groups.
const int kMenuCommandGroups[][2] = {
    {Vextal::ContentCommandIDs::kSelectAll, Vextal::ContentCommandIDs::kInvertSelection},
    {8, 9},   // remove, crop
    {13, 14}, // combine, channel link
    {Vextal::ContentCommandIDs::kEditSongInformation, 0},
    {Vextal::ContentCommandIDs::kSongProperty, 0}};
constexpr int kPlayThisSongItem = 1;

void SetUpLabel(LabelWithInlineEditor& label, const LabelParam& param)
{
    label.setBounds(param.x, param.y, param.width, param.height);
    label.setJustificationType(param.justification);
    label.setEditable(false, false, false);
    label.setColour(juce::Label::textColourId, juce::Colours::black);
    label.setColour(juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    label.setColour(juce::Label::outlineColourId, juce::Colours::transparentBlack);
    label.setColour(juce::TextEditor::textColourId, juce::Colours::black);
    label.setColour(juce::TextEditor::backgroundColourId, juce::Colours::white);
    label.setColour(juce::TextEditor::highlightColourId, juce::Colour(0x400111EE));
    label.setColour(juce::TextEditor::focusedOutlineColourId, juce::Colours::transparentBlack);
    label.setColour(juce::TextEditor::shadowColourId, juce::Colours::transparentBlack);
}
} // namespace

CVXListItem::CVXListItem(CVXHost* host, CVXListBox* list)
    : juce::Component("ListItem"), m_host(*host), m_list(*list),
      m_animation(CVXResourceManager::Get(Vextal::kImageConvertingAnimation))
{
    const CVXLookAndFeel* look = CZJESingleton<CVXLookAndFeel>::GetInstance();
    for (int i = 0; i < kNumLabels; ++i)
    {
        auto& label = m_labels[static_cast<size_t>(i)];
        label = std::make_unique<LabelWithInlineEditor>("Label", juce::String(), true);
        SetUpLabel(*label, sm_amLabelParam[i]);
        if (look != nullptr)
        {
            if (i == kNameLabel)
                look->applyLocalTextFontToLabel(*label);
            else
                look->applyAsciiFontToLabel(*label);
        }
        label->addMouseListener(this, false);
        addAndMakeVisible(*label);
    }
    auto& name = GetLabel(kNameLabel);
    name.setWantsKeyboardFocus(true);
    name.setFocusContainerType(FocusContainerType::focusContainer);
    name.addListener(this);

    m_icon.SetImage(&m_animation, kIconFrames);
    m_icon.setTopLeftPosition(kIconX, kIconY);
    addChildComponent(m_icon);
    setSize(300, 25);
}

CVXListItem::~CVXListItem()
{
    stopTimer();
    m_host.removeTrackInfoListener(this);
    for (auto& label : m_labels)
        label->removeMouseListener(this);
}

juce::String CVXListItem::DescribeRows(const juce::SparseSet<int>& rows)
{
    juce::String text;
    for (int r = 0; r < rows.getNumRanges(); ++r)
    {
        const auto range = rows.getRange(r);
        for (int row = range.getStart(); row < range.getEnd(); ++row)
            text << row << ' ';
    }
    return text;
}

void CVXListItem::Update(int row)
{
    m_row = row;
    m_host.removeTrackInfoListener(this);
    m_host.addTrackInfoListener(this, row);
    Update();
}

void CVXListItem::Update()
{
    Vextal::TrackInfo* song = m_host.GetSong(m_row);
    if (song == nullptr)
        return;
    GetLabel(kNameLabel).setText(song->getText(Vextal::TrackInfo::kSongName), juce::dontSendNotification);
    songReloaded(song);
    GetLabel(kNumberLabel).setText(juce::String(m_row + 1), juce::dontSendNotification);
    UpdateIcon();
}

void CVXListItem::UpdateIcon()
{
    if (m_host.GetMode() != 1)
    {
        m_icon.StopAnimation();
        m_icon.SetInitialState();
        m_icon.setVisible(false);
        return;
    }
    auto* manager = Vextal::ExportManager::GetInstance();
    Vextal::ExportSession* session = manager != nullptr ? manager->getCurrentSession() : nullptr;
    if (session == nullptr || !session->getTargetSongs().contains(m_row))
    {
        m_icon.StopAnimation();
        m_icon.setVisible(false);
        return;
    }
    m_icon.setVisible(true);
    if (m_row == m_host.GetCurPlayTrack(1) && session->isConverting())
        m_icon.StartAnimation();
    else
        m_icon.StopAnimation();
}

void CVXListItem::songTextChanged(Vextal::TrackInfo* song, int id)
{
    if (id != Vextal::TrackInfo::kSongName || song == nullptr)
        return;
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    GetLabel(kNameLabel).setText(song->getText(Vextal::TrackInfo::kSongName), juce::dontSendNotification);
}

void CVXListItem::songReloaded(Vextal::TrackInfo* song)
{
    if (song == nullptr)
        return;
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    GetLabel(kTimeLabel)
        .setText(Vextal::convertTimeToString(song->getTotalTimeSecond(), 1), juce::dontSendNotification);
    GetLabel(kRateLabel)
        .setText(song->getFormatID() + " (" +
                     Vextal::convertSampleRateToString(song->getSampleRate(), false) + ")",
                 juce::dontSendNotification);
    const juce::Colour colour = song->isPresent() ? juce::Colours::black : juce::Colour(kMissingColour);
    for (auto& label : m_labels)
        label->setColour(juce::Label::textColourId, colour);
}

// ---------------------------------------------------------------------------
// Mouse

bool CVXListItem::Handles(const juce::MouseEvent& e) const
{
    return e.eventComponent == nullptr || e.eventComponent->isEnabled();
}

bool CVXListItem::IsSelected() const
{
    return m_list.isRowSelected(m_row);
}

bool CVXListItem::IsDragActive() const
{
    return m_list.isDragAndDropActive();
}

void CVXListItem::SelectAlone()
{
    m_list.selectRow(m_row, true, true);
}

void CVXListItem::SelectRangeTo()
{
    const juce::SparseSet<int> selected = m_list.getSelectedRows();
    int low = m_row;
    int high = m_row;
    if (!selected.isEmpty())
    {
        low = juce::jmin(low, selected.getRange(0).getStart());
        high = juce::jmax(high, selected.getRange(selected.getNumRanges() - 1).getEnd() - 1);
    }
    // The range ends at this row, so that it is the last selected.
    m_list.selectRangeOfRows(m_row == low ? high : low, m_row, true);
}

void CVXListItem::StopRename()
{
    stopTimer();
    m_renameClick.reset();
}

void CVXListItem::mouseDown(const juce::MouseEvent& e)
{
    if (!Handles(e) || e.mods.isRightButtonDown() || m_row < 0)
        return;
    StopRename();
    m_selectedAtDown = IsSelected();
    if (e.mods.isCommandDown())
    {
        if (IsSelected())
            m_list.deselectRow(m_row);
        else
            m_list.selectRow(m_row, true, false);
    }
    else if (e.mods.isShiftDown())
    {
        SelectRangeTo();
    }
    else if (!IsSelected())
    {
        // A selected row keeps the selection, so that a drag takes it all.
        SelectAlone();
    }
}

void CVXListItem::mouseUp(const juce::MouseEvent& e)
{
    if (!Handles(e) || m_row < 0)
        return;
    if (e.mods.isPopupMenu())
    {
        if (!IsSelected())
            m_list.selectRow(m_row, true, !e.mods.isCommandDown());
        showContextMenu(e.getScreenX(), e.getScreenY());
        return;
    }
    if (e.mods.isAnyModifierKeyDown())
        return;
    if (m_list.getNumSelectedRows() > 1 && !IsDragActive())
        SelectAlone();
    auto& name = GetLabel(kNameLabel);
    if (e.eventComponent != &name || !m_selectedAtDown || IsDragActive())
        return;
    const int textWidth = name.getFont().getStringWidth(name.getText()) + 3;
    if (e.x >= 0 && e.x < textWidth)
    {
        m_renameClick = e.getEventRelativeTo(this).getPosition();
        startTimer(kRenameDelayMs);
    }
}

void CVXListItem::mouseMove(const juce::MouseEvent& e)
{
    if (!m_renameClick)
        return;
    const auto at = e.getEventRelativeTo(this).getPosition();
    if (std::abs(at.x - m_renameClick->x) >= kRenameSlack || at.y != m_renameClick->y)
        StopRename();
}

void CVXListItem::mouseExit(const juce::MouseEvent&)
{
    stopTimer();
}

void CVXListItem::timerCallback()
{
    StopRename();
    GetLabel(kNameLabel).showEditor();
}

void CVXListItem::mouseDoubleClick(const juce::MouseEvent& e)
{
    if (!Handles(e) || e.mods.isRightButtonDown() || !isEnabled() || m_row < 0 ||
        m_host.GetFromToPlayStatus() != 0 || e.mods.isAnyModifierKeyDown())
        return;
    StopRename();
    if (m_host.SetCurPlayTrack(m_row, true, true))
        m_host.SetPlayerStatus(CVXHost::kStatusPlaying);
    else
        m_host.SetPlayerStatus(CVXHost::kStatusStopped);
}

void CVXListItem::mouseDrag(const juce::MouseEvent& e)
{
    if (!Handles(e) || e.mods.isRightButtonDown() || IsDragActive() || e.mods.isAnyModifierKeyDown() ||
        m_host.GetMode() != 0 || m_row < 0)
        return;
    if (e.getLengthOfMousePress() <= kDragStartMs &&
        std::abs(e.getDistanceFromDragStartY()) <= kDragStartDistance)
        return;
    StartDrag();
}

void CVXListItem::StartDrag()
{
    StopRename();
    const juce::SparseSet<int> rows = m_list.getSelectedRows();
    if (rows.isEmpty())
        return;
    int x = 0;
    int y = 0;
    juce::ScaledImage snapshot = m_list.createSnapshotOfRows(rows, x, y);
    juce::Image image = snapshot.getImage();
    if (image.isValid())
        image.multiplyAllAlphas(0.9f);
    m_list.startDragging(DescribeRows(rows), &m_list, juce::ScaledImage(image, snapshot.getScale()), false);
}

void CVXListItem::focusOfChildComponentChanged(FocusChangeType cause)
{
    auto& name = GetLabel(kNameLabel);
    if (cause != focusChangedByTabKey || !name.hasKeyboardFocus(false) || m_row < 0)
        return;
    m_list.selectRow(m_row, false, true);
    name.showEditor();
}

// ---------------------------------------------------------------------------
// Renaming and the menu

void CVXListItem::labelTextChanged(juce::Label* label)
{
    if (label == &GetLabel(kNameLabel))
        Rename();
}

void CVXListItem::Rename()
{
    Vextal::TrackInfo* song = m_host.GetSong(m_row);
    const juce::String text = GetLabel(kNameLabel).getText();
    if (song == nullptr || text == song->getText(Vextal::TrackInfo::kSongName))
        return;
    const bool done = m_list.GetCommands().stackActionInUndoList(
        std::make_unique<CVXActionRename>(m_host, m_row, Vextal::TrackInfo::kSongName, text, false), true,
        Vextal::CommandManager::transactionName("Action_Change", "ChangeTarget_SongName"));
    // A name made unique, or a refused one, shows at once.
    if (Vextal::TrackInfo* now = m_host.GetSong(m_row))
        songTextChanged(now, Vextal::TrackInfo::kSongName);
    if (!done)
        juce::LookAndFeel::getDefaultLookAndFeel().playAlertSound();
}

void CVXListItem::showContextMenu(int screenX, int screenY)
{
    juce::PopupMenu menu;
    menu.addItem(
        kPlayThisSongItem,
        CZJEResource::GetText("Menu_Item_PlayThisSong").replace("%1", GetLabel(kNameLabel).getText()));
    auto& commands = m_list.GetCommands();
    for (const auto& group : kMenuCommandGroups)
    {
        menu.addSeparator();
        for (const int command : group)
        {
            if (command != 0)
                menu.addCommandItem(&commands, command);
        }
    }
    const int row = m_row;
    juce::Component::SafePointer<CVXListBox> list(&m_list);
    menu.showMenuAsync(juce::PopupMenu::Options().withTargetScreenArea({screenX, screenY, 1, 1}),
                       [list, row](int result)
                       {
                           if (result != kPlayThisSongItem || list == nullptr)
                               return;
                           CVXHost& host = list->GetHost();
                           if (host.SetCurPlayTrack(row, true, false))
                               host.SetPlayerStatus(CVXHost::kStatusPlaying);
                           else
                               host.SetPlayerStatus(CVXHost::kStatusStopped);
                       });
}

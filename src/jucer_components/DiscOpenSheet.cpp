#include "src/jucer_components/DiscOpenSheet.h"

#include "common/disc/DeviceChangeBroadcaster.h"
#include "library/vextal_juce/CZJEText.h"
#include "src/AddSongThreadWithProgressWindow.h"
#include "src/CVXLookAndFeel.h"
#include "src/songlist/AddSongAction.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/VXUtil.h"

#include <memory>

namespace Vextal
{
namespace
{
constexpr int kWaitSliceMs = 1000;
constexpr float kLabelFontHeight = 15.0f;
constexpr int kMinTitleWidth = 40;

enum ColumnId
{
    kColumnDrive = 1,
    kColumnType = 2,
    kColumnTitle = 3,
    kColumnTracks = 4,
    kColumnTime = 5
};

struct ColumnSpec
{
    int id;
    const char* headerKey;
    int width;
};

const ColumnSpec kColumns[] = {{kColumnDrive, "DiscOpen_DriveName", 38},
                               {kColumnType, "DiscOpen_DiscType", 64},
                               {kColumnTitle, "DiscOpen_Title", 214},
                               {kColumnTracks, "DiscOpen_NumTracks", 40},
                               {kColumnTime, "DiscOpen_TotalTime", 48}};

using CZJEText::Text;

void SetupLabel(juce::Label& label)
{
    label.setFont(juce::Font(kLabelFontHeight, juce::Font::plain));
    label.setJustificationType(juce::Justification::centred);
    label.setColour(juce::Label::textColourId, juce::Colours::black);
}
} // namespace

DiscOpenSheet::DiscOpenSheet(CVXHost& host, CommandManager& commands, DeviceChangeBroadcaster* broadcaster)
    : juce::Thread("Disc Reload Thread"), m_host(host), m_commands(commands), m_broadcaster(broadcaster),
      m_table("DiscList", this)
{
    m_title.setText(Text("Menu_Item_OpenDisc"), juce::dontSendNotification);
    m_noDisc.setText(Text("DiscOpen_NoDisc"), juce::dontSendNotification);
    SetupLabel(m_title);
    SetupLabel(m_noDisc);

    m_table.setHeaderHeight(24);
    m_table.setRowHeight(kRowHeight);
    m_table.setMultipleSelectionEnabled(true);
    m_table.setOutlineThickness(1);
    m_table.setColour(juce::ListBox::backgroundColourId, juce::Colour(kBackgroundColour));
    m_table.setColour(juce::ListBox::outlineColourId, juce::Colour(kOutlineColour));
    // The columns are wider together than the table: the title column gives
    // up what is missing (and room for the scroll bar), so that the table
    // never scrolls sideways and every column shows.
    for (const ColumnSpec& column : kColumns)
        m_table.getHeader().addColumn(Text(column.headerKey), column.id, column.width,
                                      column.id == kColumnTitle ? kMinTitleWidth : column.width, column.width,
                                      juce::TableHeaderComponent::visible);
    m_table.getHeader().setStretchToFitActive(true);

    m_open.setButtonText(Text("Button_Ok"));
    m_cancel.setButtonText(Text("Button_Cancel"));
    m_open.setEnabled(false);
    for (juce::Button* b : {&m_open, &m_cancel})
        b->addListener(this);

    addAndMakeVisible(m_title);
    addAndMakeVisible(m_noDisc);
    addChildComponent(m_table);
    addAndMakeVisible(m_open);
    addAndMakeVisible(m_cancel);
    setSize(kWidth, kMaxHeight);
}

DiscOpenSheet::~DiscOpenSheet()
{
    if (m_broadcaster != nullptr)
        m_broadcaster->removeMessageListener(this);
    stopTimer();
    stopReloadThread();
    cancelPendingUpdate();
    m_table.setModel(nullptr);
}

int DiscOpenSheet::heightForDiscs(int numDiscs)
{
    return juce::jmin(kBaseHeight + kRowHeight * juce::jmax(0, numDiscs), kMaxHeight);
}

int DiscOpenSheet::heightStep(int from, int to)
{
    const int step = (to - from) / 10;
    if (step != 0 || to == from)
        return step;
    return to > from ? 1 : -1;
}

void DiscOpenSheet::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colour(kSheetColour));
}

void DiscOpenSheet::resized()
{
    const int w = getWidth();
    const int h = getHeight();
    m_title.setBounds(16, 16, w - 32, 24);
    m_noDisc.setBounds(16, 56, w - 32, h - 112);
    m_table.setBounds(16, 56, w - 32, h - 112);
    m_open.setBounds(w / 2 + 44, h - 40, 96, 24);
    m_cancel.setBounds(w / 2 - 140, h - 40, 96, 24);
}

//==============================================================================
void DiscOpenSheet::DoBeforeOpen()
{
    stopReloadThread();
    cancelPendingUpdate();
    stopTimer();
    m_shown.clear();
    m_scanned.clear();
    {
        const juce::ScopedValueSetter<bool> keep(m_settingSelection, true);
        m_table.updateContent();
        m_table.selectRow(0);
    }
    updateVisibility();
    setSize(getWidth(), heightForDiscs(getNumRows()));
    m_scanning = true;
    m_targetHeight = getHeight();
    m_heightStep = 0;
    m_shownEvent.reset();
    m_rescan.signal();
    startThread();
    if (m_broadcaster != nullptr)
        m_broadcaster->addMessageListener(this, kBroadcastId);
    m_open.addShortcut(
        juce::KeyPress('o', juce::ModifierKeys::commandModifier | juce::ModifierKeys::altModifier, 0));
    m_cancel.addShortcut(juce::KeyPress(juce::KeyPress::escapeKey));
}

void DiscOpenSheet::DoAfterOpen()
{
    // Return and the arrow keys work in the list from the start.
    if (m_table.isShowing())
        m_table.grabKeyboardFocus();
}

void DiscOpenSheet::DoBeforeClose()
{
    m_open.clearShortcuts();
    m_cancel.clearShortcuts();
    if (m_broadcaster != nullptr)
        m_broadcaster->removeMessageListener(this);
    stopTimer();
    m_scanning = false;
    signalThreadShouldExit();
    m_rescan.signal();
    m_shownEvent.signal();
}

void DiscOpenSheet::stopReloadThread()
{
    m_scanning = false;
    signalThreadShouldExit();
    m_rescan.signal();
    m_shownEvent.signal();
    // Never a kill: the scan ends by its own code, releasing what it holds.
    waitForThreadToExit(-1);
    m_rescan.reset();
    m_shownEvent.reset();
}

//==============================================================================
void DiscOpenSheet::run()
{
    while (!threadShouldExit() && m_scanning)
    {
        if (!m_rescan.wait(kWaitSliceMs))
            continue;
        if (threadShouldExit())
            break;
        m_finder.scan(m_scanned);
        if (threadShouldExit())
            break;
        // The message thread resizes the sheet when the count changed, then
        // copies the list; the list is not touched here until it has.
        triggerAsyncUpdate();
        while (!threadShouldExit() && !m_shownEvent.wait(kWaitSliceMs))
        {
        }
    }
}

void DiscOpenSheet::handleAsyncUpdate()
{
    const int target = heightForDiscs(m_scanned.size());
    if (m_scanning && m_scanned.size() != m_shown.size() && target != getHeight())
    {
        m_targetHeight = target;
        m_heightStep = heightStep(getHeight(), target);
        startTimer(kAnimationIntervalMs);
        return;
    }
    showScannedList();
}

void DiscOpenSheet::timerCallback()
{
    if (!isVisible() || getParentComponent() == nullptr)
        return;
    const int current = getHeight();
    int next = current + m_heightStep;
    if ((m_heightStep > 0 && next > m_targetHeight) || (m_heightStep < 0 && next < m_targetHeight) ||
        m_heightStep == 0)
        next = m_targetHeight;
    setSize(getWidth(), next);
    if (next == m_targetHeight)
    {
        stopTimer();
        showScannedList();
    }
}

void DiscOpenSheet::showScannedList()
{
    m_shown.clear();
    for (const DiscOpenManager::DiscInfo* disc : m_scanned)
        m_shown.add(new DiscOpenManager::DiscInfo(*disc));
    m_shownEvent.signal();

    updateVisibility();
    {
        const juce::ScopedValueSetter<bool> keep(m_settingSelection, true);
        m_table.updateContent();
        m_table.deselectAllRows();
        bool any = false;
        for (int row = 0; row < m_shown.size(); ++row)
        {
            if (m_remembered.contains(m_shown[row]->paths[0]))
            {
                m_table.selectRow(row, true, !any);
                any = true;
            }
        }
        if (!any)
            m_table.selectRow(0);
    }
    selectionChanged();
    m_table.repaint();
}

void DiscOpenSheet::updateVisibility()
{
    const bool hasRows = getNumRows() > 0;
    m_noDisc.setVisible(!hasRows);
    m_table.setVisible(hasRows);
}

//==============================================================================
int DiscOpenSheet::getNumRows()
{
    return m_shown.size();
}

void DiscOpenSheet::paintRowBackground(juce::Graphics& g, int row, int width, int height, bool selected)
{
    if (selected)
        g.fillAll(juce::Colour(kSelectionColour));
    if (row < getNumRows() - 1)
    {
        g.setColour(juce::Colour(kOutlineColour));
        g.fillRect(0, height - 1, width, 1);
    }
}

void DiscOpenSheet::paintCell(juce::Graphics& g, int row, int columnId, int width, int height, bool)
{
    const DiscOpenManager::DiscInfo* disc = m_shown[row];
    if (disc == nullptr)
        return;
    const float fontHeight = static_cast<float>(height) * 0.6f;
    juce::String text;
    int fontId = CVXLookAndFeel::kFontLocalText;
    auto justification = juce::Justification::centredLeft;
    switch (columnId)
    {
    case kColumnDrive:
        text = disc->path;
        break;
    case kColumnType:
        text = Text(disc->type);
        fontId = CVXLookAndFeel::kFontLocalUI;
        break;
    case kColumnTitle:
        text = disc->title;
        break;
    case kColumnTracks:
        text = juce::String(disc->tracks);
        fontId = CVXLookAndFeel::kFontAscii;
        justification = juce::Justification::centredRight;
        break;
    case kColumnTime:
        text = convertTimeToString(disc->seconds, 1);
        fontId = CVXLookAndFeel::kFontAscii;
        justification = juce::Justification::centredRight;
        break;
    default:
        break;
    }
    g.setColour(juce::Colours::black);
    g.setFont(CVXLookAndFeel::GetFontOrDefault(fontId, fontHeight));
    g.drawFittedText(text, 2, 0, width - 4, height, justification, 1, 0.7f);
    g.setColour(juce::Colour(kOutlineColour));
    g.fillRect(width - 1, 0, 1, height);
}

void DiscOpenSheet::selectedRowsChanged(int)
{
    if (!m_settingSelection)
        selectionChanged();
}

void DiscOpenSheet::selectionChanged()
{
    const int numSelected = m_table.getNumSelectedRows();
    m_open.setEnabled(numSelected > 0);
    m_remembered.clearQuick();
    for (int i = 0; i < numSelected; ++i)
        if (const DiscOpenManager::DiscInfo* disc = m_shown[m_table.getSelectedRow(i)])
            m_remembered.add(disc->paths[0]);
}

void DiscOpenSheet::returnKeyPressed(int)
{
    if (m_table.getNumSelectedRows() < 1)
        return;
    openSelectedDiscs();
}

void DiscOpenSheet::buttonClicked(juce::Button* button)
{
    if (button == &m_open)
        openSelectedDiscs();
    else if (button == &m_cancel)
        Close();
}

void DiscOpenSheet::openSelectedDiscs()
{
    juce::StringArray paths;
    const juce::SparseSet<int> rows = m_table.getSelectedRows();
    for (int i = 0; i < rows.size(); ++i)
        if (const DiscOpenManager::DiscInfo* disc = m_shown[rows[i]])
            paths.addArray(disc->paths);
    if (!paths.isEmpty())
        m_commands.stackActionInUndoList(
            std::make_unique<AddSongAction>(m_host, paths, AddSongAction::kAppend,
                                            AddSongThreadWithProgressWindow::runWithWindow),
            true, Text("Action_OpenDisc"));
    Close();
}

void DiscOpenSheet::handleMessage(const juce::Message& message)
{
    const auto* notice = dynamic_cast<const DeviceChangeMessage*>(&message);
    if (notice == nullptr || notice->intParameter1 != kBroadcastId)
        return;
    if (notice->intParameter2 == kDeviceChangeVolumeMounted ||
        notice->intParameter2 == kDeviceChangeVolumeUnmounted)
        m_rescan.signal();
}
} // namespace Vextal

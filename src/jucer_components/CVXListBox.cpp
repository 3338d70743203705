#include "src/jucer_components/CVXListBox.h"

#include "src/AddSongThreadWithProgressWindow.h"
#include "src/Resource/CVXResourceManager.h"
#include "src/jucer_components/CVXListItem.h"
#include "src/songlist/Action/PermutateAction.h"
#include "src/songlist/AddSongAction.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CommandManager.h"

namespace
{
// A drag within this many pixels of the top or bottom edge scrolls.
constexpr int kEdgeBand = 5;
// A drop within this many pixels of the list's bottom inserts after the row
// under the pointer.
constexpr int kBottomBand = 10;

// Tab from a song name goes to the name of the next row (Shift+Tab the
// previous), the rows clamped to the list; everything else keeps the
// framework's order.
class SongNameFocusTraverser : public juce::KeyboardFocusTraverser
{
public:
    explicit SongNameFocusTraverser(CVXListBox& list) : m_list(list) {}

    juce::Component* getNextComponent(juce::Component* current) override
    {
        if (auto* name = NameOfRowBeside(current, 1))
            return name;
        return juce::KeyboardFocusTraverser::getNextComponent(current);
    }
    juce::Component* getPreviousComponent(juce::Component* current) override
    {
        if (auto* name = NameOfRowBeside(current, -1))
            return name;
        return juce::KeyboardFocusTraverser::getPreviousComponent(current);
    }

private:
    juce::Component* NameOfRowBeside(juce::Component* current, int step)
    {
        auto* item = current != nullptr ? dynamic_cast<CVXListItem*>(current->getParentComponent()) : nullptr;
        const int numRows = m_list.getNumRows();
        if (item == nullptr || item->GetRow() < 0 || numRows == 0)
            return nullptr;
        const int target = juce::jlimit(0, numRows - 1, item->GetRow() + step);
        m_list.scrollToEnsureRowIsOnscreen(target);
        if (auto* next = m_list.GetItem(target))
            return &next->GetLabel(CVXListItem::kNameLabel);
        return nullptr;
    }

    CVXListBox& m_list;
};
} // namespace

CVXListBox::InsertPosition CVXListBox::ComputeInsertPosition(int rowAt, int y, int height, int numSongs)
{
    if (rowAt < 0)
        return {numSongs, true};
    if (y > height - kBottomBand)
        return {rowAt + 1, true};
    return {rowAt, false};
}

std::optional<juce::SparseSet<int>> CVXListBox::ParseRows(const juce::String& description, int numSongs)
{
    juce::StringArray tokens;
    tokens.addTokens(description, " \t\r\n", "");
    tokens.removeEmptyStrings();
    juce::SparseSet<int> rows;
    for (const auto& token : tokens)
    {
        if (!token.containsOnly("0123456789") || token.length() > 9)
            return std::nullopt;
        const int row = token.getIntValue();
        if (row >= numSongs)
            return std::nullopt;
        rows.addRange({row, row + 1});
    }
    if (rows.isEmpty())
        return std::nullopt;
    return rows;
}

bool CVXListBox::IsDropInPlace(const juce::SparseSet<int>& rows, int insertRow)
{
    if (rows.getNumRanges() != 1)
        return false;
    const juce::Range<int> block = rows.getRange(0);
    return insertRow >= block.getStart() && insertRow <= block.getEnd();
}

CVXListBox::CVXListBox(CVXHost* host, Vextal::CommandManager& commands, const juce::String& name, int kind,
                       int id)
    : CZfcCtrlListBox(name), m_host(*host), m_commands(commands),
      m_speaker(CVXResourceManager::Get(Vextal::kImageTinySpeaker))
{
    SetKind(kind);
    SetId(id);
    setColour(juce::ListBox::backgroundColourId, juce::Colour(0x00000000));
    setRowHeight(kRowHeight);
    setFocusContainerType(FocusContainerType::keyboardFocusContainer);
    setWantsKeyboardFocus(false);
}

CVXListBox::~CVXListBox()
{
    stopTimer();
}

CVXListItem* CVXListBox::GetItem(int row) const
{
    return dynamic_cast<CVXListItem*>(getComponentForRowNumber(row));
}

bool CVXListBox::IsNormalMode() const
{
    return m_host.GetMode() == 0;
}

int CVXListBox::getNumRows()
{
    return m_host.GetNumSongs();
}

void CVXListBox::paintListBoxItem(int row, juce::Graphics& g, int, int height, bool selected)
{
    if (selected)
    {
        g.setColour(juce::Colour(kSelectedColour));
        g.fillRect(0, 0, kRowWidth, height);
    }
    g.setColour(juce::Colour(kSeparatorColour));
    g.drawLine(0.0f, static_cast<float>(height), static_cast<float>(kRowWidth), static_cast<float>(height),
               2.0f);

    if (IsNormalMode() && row == m_host.GetCurPlayTrack(0) && m_speaker.isValid())
    {
        const int half = m_speaker.getHeight() / 2;
        const int frame = m_host.GetPlayerStatus() == CVXHost::kStatusPlaying ? 1 : 0;
        g.drawImage(m_speaker, 1, 7, m_speaker.getWidth(), half, 0, frame * half, m_speaker.getWidth(), half);
    }

    if ((isDragAndDropActive() || m_fileDrag) && m_insert.row >= 0)
    {
        const bool markerHere = m_insert.after ? row == m_insert.row - 1 : row == m_insert.row;
        if (markerHere)
        {
            const float y = m_insert.after ? static_cast<float>(height - 2) : 1.0f;
            g.setColour(juce::Colour(kMarkerColour));
            g.drawLine(0.0f, y, static_cast<float>(kRowWidth), y, 3.0f);
        }
    }
}

juce::Component* CVXListBox::refreshComponentForRow(int row, bool, juce::Component* existing)
{
    // Rows without a song stay empty.
    if (row < 0 || row >= getNumRows())
    {
        delete existing;
        return nullptr;
    }
    auto* item = dynamic_cast<CVXListItem*>(existing);
    if (item == nullptr)
    {
        delete existing;
        item = new CVXListItem(&m_host, this);
    }
    // An open name editor closes without renaming: the rebound row shows
    // its song's name.
    auto& name = item->GetLabel(CVXListItem::kNameLabel);
    if (name.isBeingEdited())
        name.hideEditor(true);
    item->Update(row);
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (lock.lockWasGained())
        item->repaint();
    return item;
}

void CVXListBox::selectedRowsChanged(int lastRow)
{
    if (auto* listener = GetListener())
        listener->OnZfcComponentListBoxSelectedRowsChanged(this, lastRow);
    if (!hasKeyboardFocus(true) || !IsNormalMode())
        return;
    if (auto* item = GetItem(lastRow))
        item->grabKeyboardFocus();
}

void CVXListBox::backgroundClicked(const juce::MouseEvent&)
{
    if (isEnabled())
        deselectAllRows();
}

void CVXListBox::deleteKeyPressed(int)
{
    m_commands.invokeDirectly(kRemoveSongsCommand, false);
}

void CVXListBox::returnKeyPressed(int row)
{
    if (!IsNormalMode())
        return;
    if (m_host.SetCurPlayTrack(row, true, false))
        m_host.SetPlayerStatus(CVXHost::kStatusPlaying);
}

bool CVXListBox::keyPressed(const juce::KeyPress& key)
{
    if (key.isKeyCode(juce::KeyPress::returnKey) && key.getModifiers().isCommandDown())
    {
        editSongName();
        return true;
    }
    return juce::ListBox::keyPressed(key);
}

void CVXListBox::editSongName()
{
    if (!IsNormalMode() || getNumSelectedRows() == 0)
        return;
    int row = getLastRowSelected();
    if (row < 0)
        row = getSelectedRow(0);
    scrollToEnsureRowIsOnscreen(row);
    if (auto* item = GetItem(row))
        item->GetLabel(CVXListItem::kNameLabel).showEditor();
}

std::unique_ptr<juce::ComponentTraverser> CVXListBox::createKeyboardFocusTraverser()
{
    return std::make_unique<SongNameFocusTraverser>(*this);
}

// ---------------------------------------------------------------------------
// Dragging rows and files

bool CVXListBox::isInterestedInDragSource(const SourceDetails& details)
{
    // Only this list's own rows: a description from anywhere else could name
    // anything.
    return details.sourceComponent.get() == this;
}

void CVXListBox::itemDragMove(const SourceDetails& details)
{
    DragMoved(details.localPosition.x, details.localPosition.y);
}

void CVXListBox::itemDragExit(const SourceDetails&)
{
    EndDrag();
}

void CVXListBox::itemDropped(const SourceDetails& details)
{
    stopTimer();
    UpdateInsertPosition(details.localPosition.x, details.localPosition.y);
    const int insertRow = m_insert.row;
    EndDrag();
    if (details.sourceComponent.get() != this || !IsNormalMode())
        return;
    const auto rows = ParseRows(details.description.toString(), getNumRows());
    if (!rows || IsDropInPlace(*rows, insertRow))
        return;
    m_commands.stackActionInUndoList(std::make_unique<Vextal::PermutateAction>(m_host, *rows, insertRow),
                                     true, Vextal::CommandManager::transactionName("Action_RearrangeSongs"));
}

bool CVXListBox::isInterestedInFileDrag(const juce::StringArray&)
{
    return IsNormalMode() && getNumRows() > 0;
}

void CVXListBox::fileDragEnter(const juce::StringArray&, int, int)
{
    m_fileDrag = true;
}

void CVXListBox::fileDragMove(const juce::StringArray&, int x, int y)
{
    DragMoved(x, y);
}

void CVXListBox::fileDragExit(const juce::StringArray&)
{
    EndDrag();
    m_fileDrag = false;
}

void CVXListBox::filesDropped(const juce::StringArray& files, int x, int y)
{
    stopTimer();
    m_fileDrag = false;
    UpdateInsertPosition(x, y);
    const int insertRow = m_insert.row;
    EndDrag();
    if (!IsNormalMode())
        return;
    m_commands.stackActionInUndoList(
        std::make_unique<Vextal::AddSongAction>(m_host, files, insertRow,
                                                Vextal::AddSongThreadWithProgressWindow::runWithWindow),
        true, Vextal::CommandManager::transactionName("Action_AddAudioFiles"));
}

void CVXListBox::DragMoved(int x, int y)
{
    m_lastX = x;
    m_lastY = y;
    if (y > getHeight() - kEdgeBand)
    {
        m_scrollUp = false;
        if (!isTimerRunning())
            startTimer(kEdgeScrollMs);
    }
    else if (y <= kEdgeBand - 1)
    {
        m_scrollUp = true;
        if (!isTimerRunning())
            startTimer(kEdgeScrollMs);
    }
    else
    {
        stopTimer();
    }
    UpdateInsertPosition(x, y);
    RepaintLocked();
}

void CVXListBox::EndDrag()
{
    stopTimer();
    m_insert = {};
    RepaintLocked();
}

void CVXListBox::timerCallback()
{
    if (m_scrollUp)
    {
        const int row = getRowContainingPosition(0, kEdgeBand);
        if (row - 1 >= 0)
            scrollToEnsureRowIsOnscreen(row - 1);
    }
    else
    {
        const int row = getRowContainingPosition(0, getHeight() - kEdgeBand);
        if (row >= 0 && row + 1 < getNumRows())
            scrollToEnsureRowIsOnscreen(row + 1);
    }
    UpdateInsertPosition(m_lastX, m_lastY);
    RepaintLocked();
}

void CVXListBox::UpdateInsertPosition(int x, int y)
{
    m_insert = ComputeInsertPosition(getRowContainingPosition(x, y), y, getHeight(), getNumRows());
}

void CVXListBox::RepaintLocked()
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    repaint();
}

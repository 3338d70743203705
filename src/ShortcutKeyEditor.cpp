#include "src/ShortcutKeyEditor.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/CVXLookAndFeel.h"
#include "src/MenuBarManager.h"
#include "src/jucer_components/ComponentDresser.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/VXUtil.h"

#include <algorithm>

namespace Vextal
{
namespace
{
constexpr int kQuitCommand = juce::StandardApplicationCommandIDs::quit;
// The commands of the main window's targets that may stand outside the menus.
constexpr int kLastWindowCommand = 41;

const juce::Colour kBackground(0xCC060606u);

// Layout of the two columns.
constexpr int kMargin = 10;
constexpr int kHeadingHeight = 14;
constexpr int kFirstRowOffset = 24;
constexpr int kRowPitch = 16;
constexpr int kRowHeight = 12;
constexpr int kRowIndent = 8;
constexpr int kGroupGap = 8;
constexpr int kKeyGap = 6;
constexpr float kHeadingFontHeight = 18.0f;
constexpr float kRowFontHeight = 14.0f;

bool holds(const std::vector<int>& ids, int id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}
} // namespace

ShortcutKeyEditor* ShortcutKeyEditor::showModal(juce::Component* parent)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (parent == nullptr)
        return nullptr;
    auto* editor = new ShortcutKeyEditor(CommandManager::GetInstance());
    parent->addAndMakeVisible(editor);
    editor->centreWithSize(kWidth, kHeight);
    editor->enterModalState(true, nullptr, false);
    ComponentDresser::fadeIn(editor, kFadeMs, 0, 0, 1.0f);
    return editor;
}

ShortcutKeyEditor::ShortcutKeyEditor(juce::ApplicationCommandManager* commands)
    : m_commands(commands), m_shadow(juce::DropShadow(juce::Colours::black.withAlpha(0.5f), 10, {1, 5}))
{
    setOpaque(false);
    setWantsKeyboardFocus(true);
    setSize(kWidth, kHeight);
    buildGroups();
    m_shadow.setOwner(this);
}

ShortcutKeyEditor::~ShortcutKeyEditor() = default;

bool ShortcutKeyEditor::isListable(int commandID) const
{
    const juce::ApplicationCommandInfo* info = m_commands->getCommandForID(commandID);
    return info != nullptr && (info->flags & juce::ApplicationCommandInfo::hiddenFromKeyEditor) == 0 &&
           !m_commands->getKeyMappings()->getKeyPressesAssignedToCommand(commandID).isEmpty();
}

void ShortcutKeyEditor::buildGroups()
{
    m_groupNames.add(kApplicationTitle);
    m_groups.emplace_back();
    if (m_commands == nullptr)
        return;
    // The application menu of other systems: Preferences and Quit.
    for (int id : {kPreferencesCommand, kQuitCommand})
        if (m_commands->getCommandForID(id) != nullptr)
            m_groups[0].push_back(id);

    MenuBarManager menuBar(nullptr, nullptr);
    const juce::StringArray menuNames = menuBar.getMenuBarNames();
    for (int index = 0; index < menuNames.size(); ++index)
    {
        std::vector<int> group;
        const juce::PopupMenu menu = menuBar.getMenuForIndex(index, menuNames[index]);
        for (juce::PopupMenu::MenuItemIterator it(menu, true); it.next();)
        {
            const juce::PopupMenu::Item& item = it.getItem();
            if (item.commandManager == nullptr || item.itemID == 0 || holds(m_groups[0], item.itemID) ||
                holds(group, item.itemID) || !isListable(item.itemID))
                continue;
            group.push_back(item.itemID);
        }
        m_groupNames.add(menuNames[index]);
        m_groups.push_back(std::move(group));
    }

    // Commands with a key that stand in no menu join the group of their
    // category.
    for (int id = 1; id <= kLastWindowCommand; ++id)
    {
        const bool listed = std::any_of(m_groups.begin(), m_groups.end(),
                                        [id](const std::vector<int>& group) { return holds(group, id); });
        if (listed || !isListable(id))
            continue;
        const int group = m_groupNames.indexOf(m_commands->getCommandForID(id)->categoryName);
        if (group >= 0)
            m_groups[static_cast<size_t>(group)].push_back(id);
    }
}

juce::String ShortcutKeyEditor::nameOf(int commandID) const
{
    if (commandID == kQuitCommand)
        return CZJEResource::GetText("Menu_Item_Exit");
    return m_commands != nullptr ? m_commands->getNameOfCommand(commandID) : juce::String();
}

juce::Font ShortcutKeyEditor::font(float height) const
{
    if (auto* look = dynamic_cast<CVXLookAndFeel*>(&getLookAndFeel()))
        return look->getLocalUIFont(height);
    return CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontLocalUI, height);
}

std::vector<ShortcutKeyEditor::Line> ShortcutKeyEditor::layOut() const
{
    std::vector<Line> lines;
    const int width = getWidth();
    const int column = width / 2 - 2 * kMargin;
    const juce::Font rowFont = font(kRowFontHeight);
    int x = kMargin;
    int y = kMargin;
    bool secondColumn = false;
    for (size_t index = 0; index < m_groups.size(); ++index)
    {
        const std::vector<int>& group = m_groups[index];
        if (group.empty())
            continue;
        // The Edit group (or the first group after it) opens the second
        // column.
        if (index >= 2 && !secondColumn)
        {
            secondColumn = true;
            x = width / 2 + kMargin;
            y = kMargin;
        }
        lines.push_back({m_groupNames[static_cast<int>(index)], {x, y, column, kHeadingHeight}, true});
        int row = y + kFirstRowOffset;
        for (int id : group)
        {
            juce::Rectangle<int> box(x + kRowIndent, row, column - kRowIndent, kRowHeight);
            const auto keys = m_commands->getKeyMappings()->getKeyPressesAssignedToCommand(id);
            if (!keys.isEmpty())
            {
                // The key at the right; the name ends short of it.
                const juce::String key = fixShortcutKeyText(keys.getReference(0).getTextDescription());
                lines.push_back({key, box, false, juce::Justification::centredRight});
                box.removeFromRight(rowFont.getStringWidth(key) + kKeyGap);
            }
            lines.push_back({nameOf(id), box, false});
            row += kRowPitch;
        }
        y = row - kRowPitch + kRowHeight + kGroupGap;
    }
    return lines;
}

void ShortcutKeyEditor::paint(juce::Graphics& g)
{
    g.fillAll(kBackground);
    g.setColour(juce::Colours::white);
    for (const Line& line : layOut())
    {
        g.setFont(getLineFont(line));
        // A long name is narrowed a little rather than cut.
        g.drawFittedText(line.text, line.box, line.justification, 1, kMinimumHorizontalScale);
    }
}

juce::Font ShortcutKeyEditor::getLineFont(const Line& line) const
{
    return font(line.heading ? kHeadingFontHeight : kRowFontHeight);
}

void ShortcutKeyEditor::close(bool deleteSelf)
{
    if (!isVisible())
        return;
    juce::Desktop::getInstance().getAnimator().fadeOut(this, kFadeMs);
    if (auto* parent = getParentComponent())
        parent->removeChildComponent(this);
    exitModalState(0);
    if (m_commands != nullptr)
        m_commands->commandStatusChanged();
    if (deleteSelf)
    {
        // Deleted once the event that closed it has been handled.
        juce::Component::SafePointer<juce::Component> self(this);
        juce::MessageManager::callAsync([self] { delete self.getComponent(); });
    }
}

bool ShortcutKeyEditor::keyPressed(const juce::KeyPress&)
{
    close(true);
    // The key only closes the overview: it reaches no command.
    return true;
}

void ShortcutKeyEditor::inputAttemptWhenModal()
{
    close(true);
}

void ShortcutKeyEditor::mouseDown(const juce::MouseEvent&)
{
    close(true);
}
} // namespace Vextal

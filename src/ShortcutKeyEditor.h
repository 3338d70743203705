#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

namespace Vextal
{
// The overview of the shortcut keys: a modal panel over the main window that
// lists, menu by menu, every command that has a key, with its key, on a
// translucent dark background. The keys are the commands' default keys;
// nothing here changes them. Any key or click, on the panel or beside it,
// closes it.
//
// The first group, named after the application, holds Preferences and Quit
// (the application menu of other systems); then one group per menu of the
// menu bar. Commands that have a key but stand in no menu (Skip, Rewind and
// their 1 ms and 1 s steps) join the group named by their category.
//
// Threads. Message thread only.
class ShortcutKeyEditor : public juce::Component
{
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 520;
    static constexpr int kFadeMs = 50;
    static constexpr int kPreferencesCommand = 39;
    static constexpr const char* kApplicationTitle = "Vextal";
    // How far a text that does not fit its box may be narrowed.
    static constexpr float kMinimumHorizontalScale = 0.8f;

    // One text the overview draws: a group's heading, a command's name or
    // its key, in its box.
    struct Line
    {
        juce::String text;
        juce::Rectangle<int> box;
        bool heading;
        juce::Justification justification = juce::Justification::centredLeft;
    };

    // Opens the overview over parent (nothing when parent is null): a child
    // of it, centred, modal with the keyboard focus, fading in. The returned
    // pointer is only for looking at it: the overview deletes itself when it
    // closes.
    static ShortcutKeyEditor* showModal(juce::Component* parent);

    // The groups of the commands of the manager (none: empty groups).
    explicit ShortcutKeyEditor(juce::ApplicationCommandManager* commands);
    ~ShortcutKeyEditor() override;

    // Only while visible: fades out, leaves the parent and the modal state,
    // tells the command manager that command states may have changed, and
    // (deleteSelf) deletes the overview soon after.
    void close(bool deleteSelf);

    const juce::StringArray& getGroupNames() const { return m_groupNames; }
    const std::vector<std::vector<int>>& getGroups() const { return m_groups; }
    // The texts as drawn, in two columns, and the font of each.
    std::vector<Line> layOut() const;
    juce::Font getLineFont(const Line& line) const;

    void paint(juce::Graphics& g) override;
    bool keyPressed(const juce::KeyPress& key) override;
    void inputAttemptWhenModal() override;
    void mouseDown(const juce::MouseEvent& event) override;

private:
    void buildGroups();
    bool isListable(int commandID) const;
    juce::String nameOf(int commandID) const;
    juce::Font font(float height) const;

    juce::ApplicationCommandManager* const m_commands;
    juce::StringArray m_groupNames;
    std::vector<std::vector<int>> m_groups;
    juce::DropShadower m_shadow;

    JUCE_DECLARE_NON_COPYABLE(ShortcutKeyEditor)
};
} // namespace Vextal

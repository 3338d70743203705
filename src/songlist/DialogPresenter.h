#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>
#include <vector>

namespace Vextal
{
// One button of a box: its text, the result it answers, and up to two keys
// that press it (an invalid key is no key).
struct DialogButton
{
    juce::String text;
    int result = 0;
    juce::KeyPress key1;
    juce::KeyPress key2;

    bool answersTo(const juce::KeyPress& key) const;
};

// A check box below a box's message, for a choice that goes with the answer
// (a quick erase, not to warn again): its text and whether it starts ticked.
struct DialogCheckBox
{
    juce::String text;
    bool ticked = false;
};

// A box to show: a message with buttons from left to right, an optional
// detail shown as a separate read-only block below the message, and an
// optional check box below both.
struct DialogBox
{
    juce::MessageBoxIconType icon = juce::MessageBoxIconType::NoIcon;
    juce::String title;
    juce::String message;
    juce::String detail;
    std::vector<DialogButton> buttons;
    std::optional<DialogCheckBox> checkBox;

    // The button a key press answers with; null when no button has the key.
    const DialogButton* buttonForKey(const juce::KeyPress& key) const;
};

// The user's answer to a box: the result of the button chosen and, for a box
// with a check box, whether the user left it ticked (false without one).
struct DialogAnswer
{
    int result = 0;
    bool ticked = false;
};

// What a file chooser asks for.
enum class ChooserMode
{
    openFile,
    openFiles,
    chooseFolder,
    saveFile
};

struct DialogChooser
{
    ChooserMode mode = ChooserMode::openFile;
    juce::String title;
    // Patterns separated by ";" ("*.vxsl"); empty for folders.
    juce::String filter;
    // Where the chooser starts: a folder, a file (for saving), or File() for
    // the platform's default place.
    juce::File start;
    // Show the picture of the selected file beside the list.
    bool picturePreview = false;
};

// Shows what the dialog manager asks: in windows (JuceDialogPresenter) or
// from a script in tests (ScriptedDialogPresenter). Each call returns when
// the user has answered.
//
// Message thread only.
class DialogPresenter
{
public:
    virtual ~DialogPresenter() = default;

    virtual DialogAnswer runBox(const DialogBox& box) = 0;
    // True with the chosen files or folders (in the chooser's order) in
    // chosen; false, with chosen untouched, when the user cancelled.
    virtual bool runChooser(const DialogChooser& chooser, juce::Array<juce::File>& chosen) = 0;
    // Shows content (owned by the caller) in a modal window with title,
    // centred over centreAround (the screen when null); returns the modal
    // loop's result, 0 for the close button.
    virtual int runDialog(const juce::String& title, juce::Component& content,
                          juce::Component* centreAround) = 0;
};
} // namespace Vextal

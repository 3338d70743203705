#pragma once

#include "library/vextal_juce/CZJESingleton.h"
#include "src/songlist/DialogPresenter.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

namespace Vextal
{
// The one place through which the application asks the user something: a
// component in a modal dialog window, a message box, an OK/Cancel box, a
// Yes/No/Cancel box, the open choosers for songlists, audio files, folders and
// pictures, and the save chooser for songlists.
//
// Boxes: buttons from left to right Cancel, (No), OK or Yes. Escape answers
// Cancel, Return OK or Yes, Backspace No; each button also answers to the
// first letter of its text (lower case) unless a button that wins the clash
// uses that letter: OK over Cancel, Yes over No and Cancel, No over Cancel.
// Empty button texts become the localized "Button_Ok", "Button_Cancel",
// "Button_Yes" and "Button_No".
//
// Choosers remember, per category, the last place chosen; the places are read
// from the preferences ("FileChooser_InitialPath_0" to "_3") when the
// manager is created and written back when it is released. The operations
// work without a manager too; nothing is remembered then.
//
// Every operation is static, runs a modal loop on the message thread and
// returns when the user has answered; timers and posted messages run
// meanwhile, so callers must expect their own state to change across a call.
//
// Presenting: the boxes and choosers are shown by the installed presenter,
// by default the windows of the interface (JuceDialogPresenter, which the
// interface installs as the window presenter; without it every box is
// cancelled and every chooser chooses nothing). Tests of any subsystem
// install a scripted one without a display:
//
//     Vextal::ScopedScriptedDialogs dialogs;     // ScriptedDialogPresenter.h
//     dialogs->answerNextBox(1);                 // the next box answers OK/Yes
//     dialogs->chooseNext({songlistFile});       // the next chooser picks a file
//     ... code under test ...
//     EXPECT_EQ(dialogs->getShownBoxes().size(), 1u);
class DialogManager : public CZJESingleton<DialogManager>
{
public:
    // The kinds of open chooser; the value is the index of the remembered
    // place and the suffix of its preference key.
    enum FileChooserCategory
    {
        kSonglistFile = 0,
        kAudioFiles = 1,
        kFolder = 2,
        kPictureFile = 3
    };
    static constexpr int kNumCategories = 4;
    // The preference key of a category: kInitialPathKey + "_" + category.
    static const char* const kInitialPathKey;
    static juce::String preferenceKey(int category);

    static int showModalDialog(const juce::String& title, juce::Component* content,
                               juce::Component* centreAround);
    static void showMessageBox(juce::MessageBoxIconType icon, const juce::String& title,
                               const juce::String& message, const juce::String& buttonText = {},
                               const juce::String& detail = {});
    // True when the user chose OK.
    static bool showOkCancelBox(juce::MessageBoxIconType icon, const juce::String& title,
                                const juce::String& message, const juce::String& okText = {},
                                const juce::String& cancelText = {}, const juce::String& detail = {});
    // 1 Yes, 2 No, 0 Cancel.
    static int showYesNoCancelBox(juce::MessageBoxIconType icon, const juce::String& title,
                                  const juce::String& message, const juce::String& yesText = {},
                                  const juce::String& noText = {}, const juce::String& cancelText = {},
                                  const juce::String& detail = {});
    // A box made by one of the make functions below and changed by the
    // caller (a check box added, say): the button chosen and the check box.
    static DialogAnswer showBox(const DialogBox& box);

    // Appends the full path of every chosen item to results and returns true;
    // on cancel (or an unknown category) clears results and returns false.
    static bool browseToOpen(juce::StringArray& results, int category);
    // The first chosen path in path, or the empty text on cancel.
    static bool browseToOpen(juce::String& path, int category);
    // The save chooser of songlists: path receives the chosen file with the
    // extension "vxsl" put in place of (or added to) its own. When that file
    // exists the user is asked whether to replace it, and the answer is the
    // result. On cancel path is emptied and the result is false.
    // askToReplace is not consulted: the chooser never warns of an existing
    // file itself, so the question is always asked.
    static bool browseToSave(juce::String& path, bool askToReplace);

    // The boxes as shown: buttons, keys and texts.
    static DialogBox makeMessageBox(juce::MessageBoxIconType icon, const juce::String& title,
                                    const juce::String& message, const juce::String& buttonText,
                                    const juce::String& detail);
    static DialogBox makeOkCancelBox(juce::MessageBoxIconType icon, const juce::String& title,
                                     const juce::String& message, const juce::String& okText,
                                     const juce::String& cancelText, const juce::String& detail);
    static DialogBox makeYesNoCancelBox(juce::MessageBoxIconType icon, const juce::String& title,
                                        const juce::String& message, const juce::String& yesText,
                                        const juce::String& noText, const juce::String& cancelText,
                                        const juce::String& detail);
    // The chooser of a category (before its start place is found); false for
    // an unknown category.
    static bool makeOpenChooser(int category, DialogChooser& chooser);
    // Where a chooser starts for a remembered place: a folder as it is, a
    // file's folder, File() when that folder does not exist.
    static juce::File startFolderFor(const juce::String& place);

    // Replaces the presenter; null goes back to windows.
    static void setPresenter(std::unique_ptr<DialogPresenter> presenter);
    // How the windows are made when no presenter is installed; the
    // interface installs its own at start.
    static void setWindowPresenterFactory(std::function<std::unique_ptr<DialogPresenter>()> factory);
    // Removes the installed presenter and hands it over (null when the
    // windows are shown by default).
    static std::unique_ptr<DialogPresenter> takePresenter();
    static DialogPresenter& getPresenter();

    // The current songlist's file (File() when untitled), which the songlist
    // choosers start from; the host installs it. None by default.
    static void setCurrentSonglistFileSource(std::function<juce::File()> source);

    // The remembered place of a category; empty when none.
    juce::String getRememberedPlace(int category) const;

private:
    friend class CZJESingleton<DialogManager>;

    DialogManager();
    ~DialogManager();

    static bool isCategory(int category);
    static void remember(int category, const juce::String& place);
    static juce::String rememberedPlace(int category);

    juce::StringArray m_places;
};
} // namespace Vextal

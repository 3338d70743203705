#include "src/songlist/DialogManager.h"

#include "library/vextal_juce/CZJEText.h"
#include "src/CustomAlertWindow.h"
#include "src/JuceDialogPresenter.h"
#include "src/TempDialogWindow.h"
#include "src/jucer_components/EmbeddedImagePreviewComponent.h"
#include "tests/common/file/RiffTestFiles.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"

#include <gtest/gtest.h>

namespace
{
using Vextal::DialogManager;
using Icon = juce::MessageBoxIconType;
using uitest::ModalDriver;

const juce::KeyPress kEscape(juce::KeyPress::escapeKey);
const juce::KeyPress kReturn(juce::KeyPress::returnKey);
const juce::KeyPress kBackspace(juce::KeyPress::backspaceKey);

using CZJEText::Text;

// Waits for a modal alert, saves its picture as name and checks it is drawn,
// then presses key in it.
ModalDriver::Step SnapshotAlert(const juce::String& name)
{
    return [name]
    {
        auto* alert = uitest::ModalOfType<Vextal::CustomAlertWindow>();
        if (alert == nullptr || !alert->isShowing())
            return false;
        const juce::Image picture = uitest::Snapshot(*alert);
        EXPECT_TRUE(uitest::IsDrawn(picture)) << name;
        uitest::SavePng(picture, name);
        return true;
    };
}

ModalDriver::Step PressInAlert(const juce::KeyPress& key)
{
    return [key]
    {
        auto* alert = uitest::ModalOfType<Vextal::CustomAlertWindow>();
        if (alert == nullptr)
            return false;
        uitest::PressKey(*alert, key);
        return true;
    };
}

// Checks that no button of the modal box is one of the framework's shortcut
// buttons for a key of box. Such a button asks the keyboard map whether its
// key is held; a Japanese letter has no key in it, so a stray bit answered,
// and when it read "held" the button swallowed every key press: the box
// never answered Return.
ModalDriver::Step ExpectNoShortcutButtons(const Vextal::DialogBox& box)
{
    return [box]
    {
        auto* alert = uitest::ModalOfType<Vextal::CustomAlertWindow>();
        if (alert == nullptr)
            return false;
        for (auto* child : alert->getChildren())
        {
            auto* button = dynamic_cast<juce::Button*>(child);
            if (button == nullptr)
                continue;
            for (const auto& answer : box.buttons)
            {
                for (const auto& key : {answer.key1, answer.key2})
                    EXPECT_FALSE(key.isValid() && button->isRegisteredForShortcut(key))
                        << button->getButtonText() << ": " << key.getTextDescription();
            }
        }
        return true;
    };
}

// The framework's file browser in the modal chooser, once it shows.
juce::FileBrowserComponent* ModalBrowser()
{
    auto* box = uitest::ModalOfType<juce::FileChooserDialogBox>();
    return box != nullptr && box->isShowing() ? uitest::FindComponent<juce::FileBrowserComponent>(box)
                                              : nullptr;
}

// Clicks the chooser's action button (Open, Save).
bool ClickAction()
{
    auto* browser = ModalBrowser();
    auto* button = uitest::FindButton(uitest::ModalOfType<juce::FileChooserDialogBox>(),
                                      browser != nullptr ? browser->getActionVerb() : juce::String());
    if (button == nullptr)
        return false;
    button->triggerClick();
    return true;
}

class DialogManagerWindows : public testing::TestWithParam<const char*>
{
protected:
    DialogManagerWindows() : ui(GetParam())
    {
        DialogManager::setPresenter(std::make_unique<Vextal::JuceDialogPresenter>(false));
    }
    ~DialogManagerWindows() override { DialogManager::setPresenter(nullptr); }

    juce::String Name(const juce::String& what) const { return "Dialog_" + what + "_" + GetParam(); }

    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui;
};
} // namespace

// The boxes as windows, answered with the real keys: Escape Cancel, Return OK
// or Yes, Backspace No, and the letters.
TEST_P(DialogManagerWindows, BoxesAnswerToTheirKeys)
{
    {
        const juce::String title = Text("Common_ConfirmationDialogTitle");
        const juce::String message = Text("Songlist_SaveBeforeOpening");
        const juce::String yes = Text("Button_Save"), no = Text("Button_DontSave"),
                           cancel = Text("Button_Cancel");
        ModalDriver driver({SnapshotAlert(Name("YesNoCancel")),
                            ExpectNoShortcutButtons(DialogManager::makeYesNoCancelBox(
                                Icon::QuestionIcon, title, message, yes, no, cancel, {})),
                            PressInAlert(kBackspace)});
        EXPECT_EQ(DialogManager::showYesNoCancelBox(Icon::QuestionIcon, title, message, yes, no, cancel), 2);
        EXPECT_TRUE(driver.succeeded()) << driver.failedStep();
    }
    struct Case
    {
        juce::KeyPress key;
        int result;
    };
    for (const auto& c : {Case{kEscape, 0}, Case{kReturn, 1}, Case{juce::KeyPress('y', 0, 0), 1},
                          Case{juce::KeyPress('n', 0, 0), 2}, Case{juce::KeyPress('c', 0, 0), 0}})
    {
        SCOPED_TRACE(c.key.getTextDescription());
        ModalDriver driver({PressInAlert(c.key)});
        EXPECT_EQ(
            DialogManager::showYesNoCancelBox(Icon::QuestionIcon, "Title", "Message", "Yes", "No", "Cancel"),
            c.result);
        EXPECT_TRUE(driver.succeeded());
    }
    for (const auto& c : {Case{kEscape, 0}, Case{kReturn, 1}, Case{juce::KeyPress('r', 0, 0), 1}})
    {
        SCOPED_TRACE(c.key.getTextDescription());
        ModalDriver driver({PressInAlert(c.key)});
        EXPECT_EQ(DialogManager::showOkCancelBox(Icon::WarningIcon, "Title", "Message", "Replace", "Cancel")
                      ? 1
                      : 0,
                  c.result);
        EXPECT_TRUE(driver.succeeded());
    }
    {
        // Both texts begin with "R": only Replace answers to it.
        ModalDriver driver({PressInAlert(juce::KeyPress('r', 0, 0))});
        EXPECT_TRUE(
            DialogManager::showOkCancelBox(Icon::WarningIcon, "Title", "Message", "Replace", "Return"));
        EXPECT_TRUE(driver.succeeded());
    }
}

// A detail shows as its own read-only block below the message, and the box is
// at least as wide as for message and detail together.
TEST_P(DialogManagerWindows, AMessageBoxShowsItsDetailAsASeparateBlock)
{
    const juce::String message = Text("Songlist_ReadAudioData");
    const juce::String detail =
        "/home/user/Music/Live at the Hall/01 Opening.wav\n/home/user/Music/02 Night.aiff";
    int width = 0;
    bool hasBlock = false;
    ModalDriver driver({SnapshotAlert(Name("MessageBoxWithDetail")),
                        [&]
                        {
                            auto* alert = uitest::ModalOfType<Vextal::CustomAlertWindow>();
                            width = alert->getWidth();
                            auto* block = uitest::FindComponent<juce::TextEditor>(alert);
                            hasBlock = block != nullptr && block->isReadOnly() && block->getText() == detail;
                            return true;
                        },
                        PressInAlert(kReturn)});
    DialogManager::showMessageBox(Icon::InfoIcon, Text("Common_ApplicationName"), message, {}, detail);
    EXPECT_TRUE(driver.succeeded());
    EXPECT_TRUE(hasBlock);
    juce::AlertWindow joined("t", message + "\n\n" + detail, Icon::InfoIcon);
    EXPECT_GE(width, joined.getWidth());

    ModalDriver escape({SnapshotAlert(Name("MessageBox")), PressInAlert(kEscape)});
    DialogManager::showMessageBox(Icon::WarningIcon, Text("Common_WarningDialogTitle"), message);
    EXPECT_TRUE(escape.succeeded());
}

// A box's check box shows below the message, whole, as it starts; the answer
// carries the tick the user left (clicked here with the mouse), and the
// button chosen.
TEST_P(DialogManagerWindows, ABoxsCheckBoxComesBackWithTheAnswer)
{
    struct Case
    {
        const char* name;
        Vextal::DialogBox box;
        juce::KeyPress key;
        Vextal::DialogAnswer expected;
    };
    Case cases[] = {
        {"EraseConfirmation",
         DialogManager::makeOkCancelBox(Icon::QuestionIcon, Text("DiscErase_Title"),
                                        Text("DiscErase_Confirmation"), Text("Button_Erase"), {}, {}),
         kReturn,
         {1, false}},
        {"PreGapWarning",
         DialogManager::makeMessageBox(Icon::WarningIcon, Text("Common_WarningDialogTitle"),
                                       Text("DiscBurn_AudioCdGapSettingsMayFail"), {}, {}),
         kEscape,
         {0, true}},
    };
    cases[0].box.checkBox = Vextal::DialogCheckBox{Text("DiscErase_Quick"), true};
    cases[1].box.checkBox =
        Vextal::DialogCheckBox{Text("DiscBurn_AudioCdGapSettingsMayFail_CheckBox"), false};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        bool shownAsAsked = false;
        juce::ToggleButton* check = nullptr;
        ModalDriver driver(
            {SnapshotAlert(Name(c.name)),
             [&]
             {
                 auto* alert = uitest::ModalOfType<Vextal::CustomAlertWindow>();
                 check = uitest::FindComponent<juce::ToggleButton>(alert);
                 if (check == nullptr)
                     return false;
                 // Its text once, on the button (the box writes a custom
                 // component's name above it).
                 shownAsAsked = check->getButtonText() == c.box.checkBox->text &&
                                check->getName().isEmpty() &&
                                check->getToggleState() == c.box.checkBox->ticked &&
                                alert->getLocalBounds().contains(check->getBoundsInParent());
                 uitest::ClickAt(*alert, alert->getLocalPoint(check, check->getLocalBounds().getCentre()));
                 return true;
             },
             [&] { return check->getToggleState() != c.box.checkBox->ticked; }, PressInAlert(c.key)});
        const Vextal::DialogAnswer answer = DialogManager::showBox(c.box);
        EXPECT_TRUE(driver.succeeded()) << driver.failedStep();
        EXPECT_TRUE(shownAsAsked);
        EXPECT_EQ(answer.result, c.expected.result);
        EXPECT_EQ(answer.ticked, c.expected.ticked);
    }
}

// The save chooser is the framework's file browser here; a name typed without
// the extension comes back with it, and an existing songlist brings up the
// replace question.
TEST_P(DialogManagerWindows, TheSaveChooserAndTheReplaceQuestion)
{
    rifftest::TempFolder folder;
    const juce::File root(folder.Path().string());
    ASSERT_TRUE(root.getChildFile("evening.vxsl").create());
    DialogManager::setCurrentSonglistFileSource([&] { return root.getChildFile("current.vxsl"); });
    ModalDriver driver({[&]
                        {
                            auto* browser = ModalBrowser();
                            if (browser == nullptr)
                                return false;
                            browser->setFileName("evening");
                            return true;
                        },
                        [&]
                        {
                            auto* box = uitest::ModalOfType<juce::FileChooserDialogBox>();
                            const juce::Image picture = uitest::Snapshot(*box);
                            EXPECT_TRUE(uitest::IsDrawn(picture));
                            uitest::SavePng(picture, Name("SaveChooser"));
                            return true;
                        },
                        ClickAction, SnapshotAlert(Name("ReplaceQuestion")), PressInAlert(kReturn)});
    juce::String path;
    EXPECT_TRUE(DialogManager::browseToSave(path, false));
    EXPECT_TRUE(driver.succeeded()) << driver.failedStep();
    EXPECT_EQ(path, root.getChildFile("evening.vxsl").getFullPathName());
    DialogManager::setCurrentSonglistFileSource(nullptr);
}

// The picture chooser shows the selected picture beside the list.
TEST_P(DialogManagerWindows, ThePictureChooserShowsThePreview)
{
    rifftest::TempFolder folder;
    const juce::File root(folder.Path().string());
    const juce::File picture = root.getChildFile("cover.png");
    {
        juce::Image image(juce::Image::RGB, 300, 300, true);
        juce::Graphics g(image);
        g.fillAll(juce::Colours::darkslateblue);
        g.setColour(juce::Colours::orange);
        g.fillEllipse(40.0f, 40.0f, 220.0f, 220.0f);
        juce::FileOutputStream out(picture);
        juce::PNGImageFormat().writeImageToStream(image, out);
    }
    ModalDriver driver({[&]
                        {
                            auto* browser = ModalBrowser();
                            if (browser == nullptr)
                                return false;
                            browser->setRoot(root);
                            return true;
                        },
                        [&]
                        {
                            // Selects the picture once the folder's list has loaded.
                            auto* browser = ModalBrowser();
                            if (browser->getNumSelectedFiles() > 0 && browser->getSelectedFile(0) == picture)
                                return true;
                            browser->getDisplayComponent()->setSelectedFile(picture);
                            return false;
                        },
                        [&]
                        {
                            auto* box = uitest::ModalOfType<juce::FileChooserDialogBox>();
                            auto* preview = uitest::FindComponent<EmbeddedImagePreviewComponent>(box);
                            if (preview == nullptr || !preview->getThumbnail().isValid())
                                return false;
                            const juce::Image shot = uitest::Snapshot(*box);
                            EXPECT_TRUE(uitest::IsDrawn(shot));
                            uitest::SavePng(shot, Name("PictureChooser"));
                            return true;
                        },
                        ClickAction});
    juce::String path;
    EXPECT_TRUE(DialogManager::browseToOpen(path, DialogManager::kPictureFile));
    EXPECT_TRUE(driver.succeeded()) << driver.failedStep();
    EXPECT_EQ(path, picture.getFullPathName());
}

// The open choosers of songlists, audio files (several at once) and folders
// return what is selected in them.
TEST_P(DialogManagerWindows, TheOpenChoosersReturnTheSelection)
{
    rifftest::TempFolder folder;
    const juce::File root(folder.Path().string());
    for (const char* name : {"a.wav", "b.wav", "list.vxsl", "notes.txt"})
        ASSERT_TRUE(root.getChildFile(name).create());
    ASSERT_TRUE(root.getChildFile("live").createDirectory());
    struct Case
    {
        int category;
        std::function<bool(juce::FileBrowserComponent&)> select;
        juce::StringArray expected;
    };
    const auto selectSonglist = [&](juce::FileBrowserComponent& browser)
    {
        browser.getDisplayComponent()->setSelectedFile(root.getChildFile("list.vxsl"));
        return browser.getNumSelectedFiles() == 1;
    };
    const auto selectAll = [&](juce::FileBrowserComponent& browser)
    {
        auto* list = dynamic_cast<juce::ListBox*>(browser.getDisplayComponent());
        list->selectRangeOfRows(0, list->getModel()->getNumRows() - 1);
        return browser.getNumSelectedFiles() == 3;
    };
    const auto selectNothing = [](juce::FileBrowserComponent&) { return true; };
    const Case cases[] = {
        {DialogManager::kSonglistFile, selectSonglist, {root.getChildFile("list.vxsl").getFullPathName()}},
        {DialogManager::kAudioFiles,
         selectAll,
         {root.getChildFile("a.wav").getFullPathName(), root.getChildFile("b.wav").getFullPathName(),
          root.getChildFile("list.vxsl").getFullPathName()}},
        {DialogManager::kFolder, selectNothing, {root.getFullPathName()}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.category);
        ModalDriver driver({[&]
                            {
                                auto* browser = ModalBrowser();
                                if (browser == nullptr)
                                    return false;
                                browser->setRoot(root);
                                return true;
                            },
                            [&] { return c.select(*ModalBrowser()); },
                            [&]
                            {
                                auto* box = uitest::ModalOfType<juce::FileChooserDialogBox>();
                                const juce::Image shot = uitest::Snapshot(*box);
                                EXPECT_TRUE(uitest::IsDrawn(shot));
                                uitest::SavePng(shot, Name("OpenChooser" + juce::String(c.category)));
                                return true;
                            },
                            ClickAction});
        juce::StringArray results;
        EXPECT_TRUE(DialogManager::browseToOpen(results, c.category));
        EXPECT_TRUE(driver.succeeded()) << driver.failedStep();
        results.sort(false);
        EXPECT_EQ(results, c.expected);
    }
}

// A component shown in a dialog window ends it with its own result, or with 0
// from the close button (Escape); the component survives the window.
TEST_P(DialogManagerWindows, AModalDialogEndsWithTheContentsResultOrZero)
{
    juce::Component content;
    content.setSize(320, 120);
    juce::TextButton done(Text("Button_Ok"));
    done.setBounds(220, 80, 88, 24);
    done.onClick = [&] { content.findParentComponentOfClass<juce::DialogWindow>()->exitModalState(5); };
    content.addAndMakeVisible(done);
    juce::Label label({}, Text("Songlist_SaveBeforeOpening"));
    label.setBounds(10, 10, 300, 40);
    content.addAndMakeVisible(label);

    ModalDriver finish({[&]
                        {
                            auto* window = uitest::ModalOfType<Vextal::TempDialogWindow>();
                            if (window == nullptr || !window->isShowing())
                                return false;
                            const juce::Image shot = uitest::Snapshot(*window);
                            EXPECT_TRUE(uitest::IsDrawn(shot));
                            uitest::SavePng(shot, Name("ModalDialog"));
                            done.triggerClick();
                            return true;
                        }});
    EXPECT_EQ(DialogManager::showModalDialog(Text("Common_ApplicationName"), &content, nullptr), 5);
    EXPECT_TRUE(finish.succeeded());
    EXPECT_EQ(content.getParentComponent(), nullptr);

    ModalDriver close({[&]
                       {
                           auto* window = uitest::ModalOfType<Vextal::TempDialogWindow>();
                           if (window == nullptr || !window->isShowing())
                               return false;
                           uitest::PressKey(*window, kEscape);
                           return true;
                       }});
    EXPECT_EQ(DialogManager::showModalDialog(Text("Common_ApplicationName"), &content, nullptr), 0);
    EXPECT_TRUE(close.succeeded());
    EXPECT_EQ(content.getParentComponent(), nullptr);
    EXPECT_EQ(content.getWidth(), 320);
}

// While a box is modal, input reaches only top-level windows outside it.
TEST(CustomAlertWindow, LetsInputReachOnlyTopLevelWindows)
{
    juce::ScopedJuceInitialiser_GUI gui;
    Vextal::CustomAlertWindow alert("t", "m", Icon::NoIcon);
    juce::DocumentWindow window("w", juce::Colours::grey, 0, false);
    juce::Component plain;
    EXPECT_TRUE(alert.canModalEventBeSentToComponent(&window));
    EXPECT_FALSE(alert.canModalEventBeSentToComponent(&plain));
    EXPECT_FALSE(alert.canModalEventBeSentToComponent(nullptr));
    Vextal::TempDialogWindow dialog("d");
    EXPECT_TRUE(dialog.canModalEventBeSentToComponent(&window));
    EXPECT_FALSE(dialog.canModalEventBeSentToComponent(&plain));
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogManagerWindows, testing::ValuesIn(uitest::kInterfaceLanguages));

#include "src/songlist/DialogManager.h"

#include "src/songlist/CVXPreferences.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "src/songlist/VXUtil.h"
#include "tests/common/file/RiffTestFiles.h"
#include "tests/src/ScopedInterface.h"

#include <gtest/gtest.h>

#include <optional>

namespace
{
using Vextal::ChooserMode;
using Vextal::DialogAnswer;
using Vextal::DialogBox;
using Vextal::DialogManager;
using Icon = juce::MessageBoxIconType;

const juce::KeyPress kEscape(juce::KeyPress::escapeKey);
const juce::KeyPress kReturn(juce::KeyPress::returnKey);
const juce::KeyPress kBackspace(juce::KeyPress::backspaceKey);

juce::KeyPress Letter(char c)
{
    return juce::KeyPress(c, 0, 0);
}

// The letter key of each button, left to right ('-' for none).
std::string LettersOf(const DialogBox& box)
{
    std::string letters;
    for (const auto& button : box.buttons)
        letters += button.key2.isValid() ? static_cast<char>(button.key2.getKeyCode()) : '-';
    return letters;
}

// The results of each button, left to right.
std::vector<int> ResultsOf(const DialogBox& box)
{
    std::vector<int> results;
    for (const auto& button : box.buttons)
        results.push_back(button.result);
    return results;
}

int ResultForKey(const DialogBox& box, const juce::KeyPress& key)
{
    const auto* button = box.buttonForKey(key);
    return button != nullptr ? button->result : -1;
}

// A scratch folder, a preferences store on a file in it, and the
// interface's texts.
class DialogManagerTest : public testing::Test
{
protected:
    DialogManagerTest()
        : root(folder.Path().string()),
          config("XDG_CONFIG_HOME", root.getChildFile("config").getFullPathName())
    {
        CZJESingleton<CVXResourceManager>::CreateInstance();
        CZfcSingleton<CVXPreferences>::CreateInstance();
    }
    ~DialogManagerTest() override
    {
        DialogManager::setCurrentSonglistFileSource(nullptr);
        CZfcSingleton<CVXPreferences>::DestroyInstance();
        CZJESingleton<CVXResourceManager>::DestroyInstance();
    }

    juce::File MakeFile(const juce::String& relativePath)
    {
        const juce::File file = root.getChildFile(relativePath);
        file.create();
        return file;
    }

    juce::ScopedJuceInitialiser_GUI gui;
    rifftest::TempFolder folder;
    juce::File root;
    uitest::ScopedEnvironment config;
    Vextal::ScopedScriptedDialogs dialogs;
};
} // namespace

// Buttons left to right Cancel, (No), OK or Yes; letter clashes resolved in
// favour of OK and Yes, then No; letters compared without regard to case.
TEST(DialogManagerBoxes, ButtonLetterClashTable)
{
    struct OkCancelCase
    {
        const char* ok;
        const char* cancel;
        const char* letters; // Cancel, OK
    };
    for (const auto& c : {OkCancelCase{"OK", "Cancel", "co"}, OkCancelCase{"Overwrite", "omit", "-o"},
                          OkCancelCase{"Save", "Skip", "-s"}, OkCancelCase{"Replace", "Cancel", "cr"}})
    {
        SCOPED_TRACE(testing::Message() << c.ok << " / " << c.cancel);
        const DialogBox box = DialogManager::makeOkCancelBox(Icon::NoIcon, "t", "m", c.ok, c.cancel, {});
        EXPECT_EQ(LettersOf(box), c.letters);
        EXPECT_EQ(ResultsOf(box), (std::vector<int>{0, 1}));
        EXPECT_EQ(ResultForKey(box, Letter(c.ok[0])), 1);
    }

    struct YesNoCancelCase
    {
        const char* yes;
        const char* no;
        const char* cancel;
        const char* letters; // Cancel, No, Yes
    };
    for (const auto& c :
         {YesNoCancelCase{"Yes", "No", "Cancel", "cny"}, YesNoCancelCase{"Save", "Skip", "Stop", "--s"},
          YesNoCancelCase{"Save", "Don't Save", "Cancel", "cds"},
          YesNoCancelCase{"Yes", "Keep", "keep going", "-ky"},
          YesNoCancelCase{"Yes", "yield", "Cancel", "c-y"},
          YesNoCancelCase{"Replace", "Rename", "Return", "--r"}})
    {
        SCOPED_TRACE(testing::Message() << c.yes << " / " << c.no << " / " << c.cancel);
        const DialogBox box =
            DialogManager::makeYesNoCancelBox(Icon::NoIcon, "t", "m", c.yes, c.no, c.cancel, {});
        EXPECT_EQ(LettersOf(box), c.letters);
        EXPECT_EQ(ResultsOf(box), (std::vector<int>{0, 2, 1}));
        // The fixed keys answer whatever the letters: Escape Cancel,
        // Backspace No, Return Yes.
        EXPECT_EQ(ResultForKey(box, kEscape), 0);
        EXPECT_EQ(ResultForKey(box, kBackspace), 2);
        EXPECT_EQ(ResultForKey(box, kReturn), 1);
        EXPECT_EQ(ResultForKey(box, Letter(c.yes[0])), 1);
    }
}

// A message box has one button that both Escape and Return press, without a
// letter; empty button texts become the localized defaults.
TEST_F(DialogManagerTest, EmptyButtonTextsAreLocalizedAndTheMessageBoxAnswersEscapeAndReturn)
{
    const DialogBox message = DialogManager::makeMessageBox(Icon::InfoIcon, "t", "m", {}, {});
    ASSERT_EQ(message.buttons.size(), 1u);
    EXPECT_EQ(message.buttons[0].text, CZJEResource::GetText("Button_Ok"));
    EXPECT_EQ(ResultForKey(message, kEscape), 0);
    EXPECT_EQ(ResultForKey(message, kReturn), 0);
    EXPECT_EQ(ResultForKey(message, Letter('o')), -1);

    const DialogBox ync = DialogManager::makeYesNoCancelBox(Icon::QuestionIcon, "t", "m", {}, {}, {}, {});
    EXPECT_EQ(ync.buttons[0].text, CZJEResource::GetText("Button_Cancel"));
    EXPECT_EQ(ync.buttons[1].text, CZJEResource::GetText("Button_No"));
    EXPECT_EQ(ync.buttons[2].text, CZJEResource::GetText("Button_Yes"));
    EXPECT_EQ(DialogManager::makeOkCancelBox(Icon::NoIcon, "t", "m", {}, {}, {}).buttons[1].text,
              CZJEResource::GetText("Button_Ok"));
}

// The static operations go through the installed presenter; the scripted one
// answers by result or by key and records what was shown.
TEST_F(DialogManagerTest, TheScriptedFormAnswersByKeyOrResultAndRecordsTheBoxes)
{
    dialogs->pressKeyInNextBox(kBackspace);
    dialogs->pressKeyInNextBox(Letter('y'));
    dialogs->pressKeyInNextBox(kEscape);
    dialogs->answerNextBox(1);
    EXPECT_EQ(DialogManager::showYesNoCancelBox(Icon::QuestionIcon, "Title", "Save?", "Yes", "No", "Cancel"),
              2);
    EXPECT_EQ(DialogManager::showYesNoCancelBox(Icon::QuestionIcon, "Title", "Save?", "Yes", "No", "Cancel"),
              1);
    EXPECT_FALSE(DialogManager::showOkCancelBox(Icon::WarningIcon, "Title", "Go on?"));
    EXPECT_TRUE(DialogManager::showOkCancelBox(Icon::WarningIcon, "Title", "Go on?"));
    DialogManager::showMessageBox(Icon::InfoIcon, "Done", "Finished", {}, "Details here");
    EXPECT_EQ(dialogs->getUnansweredCount(), 1);

    ASSERT_EQ(dialogs->getShownBoxes().size(), 5u);
    const DialogBox& last = dialogs->getShownBoxes().back();
    EXPECT_EQ(last.title, "Done");
    EXPECT_EQ(last.message, "Finished");
    EXPECT_EQ(last.detail, "Details here");
    EXPECT_EQ(last.icon, Icon::InfoIcon);

    juce::Component content;
    dialogs->answerNextDialog(5);
    EXPECT_EQ(DialogManager::showModalDialog("Options", &content, nullptr), 5);
    EXPECT_EQ(DialogManager::showModalDialog("Options", nullptr, nullptr), 0);
    EXPECT_EQ(dialogs->getShownDialogTitles(), juce::StringArray("Options"));
    EXPECT_EQ(dialogs->getPendingCount(), 0u);
}

// A box's check box comes back as the script leaves it, or as it started when
// the script does not say (a key, no answer at all); a box without one is
// never ticked.
TEST_F(DialogManagerTest, TheScriptedFormLeavesTheCheckBoxAsTold)
{
    enum Script
    {
        kResultTicked,
        kResultUnticked,
        kResultAlone,
        kKey,
        kNoAnswer
    };
    const struct
    {
        std::optional<bool> startsTicked; // none: no check box
        Script script;
        DialogAnswer expected;
    } cases[] = {
        {false, kResultTicked, {1, true}},
        {true, kResultUnticked, {1, false}},
        {true, kResultAlone, {1, true}},
        {false, kResultAlone, {1, false}},
        {true, kKey, {1, true}},
        {true, kNoAnswer, {0, true}},
        {std::nullopt, kResultTicked, {1, false}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << "starts " << (c.startsTicked ? int(*c.startsTicked) : -1) << ", script " << c.script);
        DialogBox box =
            DialogManager::makeOkCancelBox(Icon::QuestionIcon, "Erase", "Erase the disc?", "Erase", {}, {});
        if (c.startsTicked.has_value())
            box.checkBox = Vextal::DialogCheckBox{"Quick", *c.startsTicked};
        if (c.script == kResultTicked || c.script == kResultUnticked)
            dialogs->answerNextBox(1, c.script == kResultTicked);
        else if (c.script == kResultAlone)
            dialogs->answerNextBox(1);
        else if (c.script == kKey)
            dialogs->pressKeyInNextBox(kReturn);
        const DialogAnswer answer = DialogManager::showBox(box);
        EXPECT_EQ(answer.result, c.expected.result);
        EXPECT_EQ(answer.ticked, c.expected.ticked);
        ASSERT_FALSE(dialogs->getShownBoxes().empty());
        EXPECT_EQ(dialogs->getShownBoxes().back().checkBox.has_value(), c.startsTicked.has_value());
    }
}

// Each category has its title, filter and mode; only the picture chooser has
// the preview; another category shows nothing and answers false.
TEST_F(DialogManagerTest, EachCategoryHasItsChooser)
{
    struct Case
    {
        int category;
        const char* titleKey;
        juce::String filter;
        ChooserMode mode;
        bool preview;
    };
    const Case cases[] = {
        {0, "Menu_Item_Open", "*.vxsl", ChooserMode::openFile, false},
        {1, "Menu_Item_Add", Vextal::getAudioFileWildcard(), ChooserMode::openFiles, false},
        {2, "Menu_Item_OpenFolder", "", ChooserMode::chooseFolder, false},
        {3, "Menu_Item_SelectPicture", Vextal::getImageFileWildcard(true), ChooserMode::openFile, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.category);
        dialogs->cancelNextChooser();
        juce::StringArray results{"stale"};
        EXPECT_FALSE(DialogManager::browseToOpen(results, c.category));
        EXPECT_TRUE(results.isEmpty());
        const auto& shown = dialogs->getShownChoosers().back();
        EXPECT_EQ(shown.title, CZJEResource::GetText(c.titleKey));
        EXPECT_EQ(shown.filter, c.filter);
        EXPECT_EQ(shown.mode, c.mode);
        EXPECT_EQ(shown.picturePreview, c.preview);
    }
    EXPECT_TRUE(Vextal::getImageFileWildcard(true).startsWith("*.jpg;*.jpeg;*.png;*.aif;*.aiff;"));
    // The Add Songs chooser offers songs, songlists and disc images (a cue
    // sheet stands for an audio CD).
    const juce::WildcardFileFilter addFilter(Vextal::getAudioFileWildcard(), "*", "songs");
    for (const char* name : {"a.wav", "a.aiff", "Album.cue", "list.vxsl"})
        EXPECT_TRUE(addFilter.isFileSuitable(juce::File("/music").getChildFile(name))) << name;
    EXPECT_FALSE(addFilter.isFileSuitable(juce::File("/music/Album.bin")));

    juce::StringArray results{"stale"};
    EXPECT_FALSE(DialogManager::browseToOpen(results, 4));
    EXPECT_TRUE(results.isEmpty());
    EXPECT_EQ(dialogs->getShownChoosers().size(), 4u);
}

// The remembered place of a category is the first chosen item; the next
// chooser starts in its folder, also after a restart (stored when the manager
// is released). A cancelled chooser changes nothing.
TEST_F(DialogManagerTest, RememberedFoldersSurviveARestart)
{
    const juce::File a = MakeFile("music/a.wav");
    const juce::File b = MakeFile("music/b.wav");
    const juce::File picture = MakeFile("pictures/cover.png");
    CZJESingleton<DialogManager>::CreateInstance();

    dialogs->cancelNextChooser();
    juce::StringArray results;
    EXPECT_FALSE(DialogManager::browseToOpen(results, DialogManager::kAudioFiles));
    EXPECT_EQ(dialogs->getShownChoosers().back().start, juce::File());

    dialogs->chooseNext({a, b});
    results = {"kept"};
    ASSERT_TRUE(DialogManager::browseToOpen(results, DialogManager::kAudioFiles));
    const juce::StringArray expected{juce::String("kept"), a.getFullPathName(), b.getFullPathName()};
    EXPECT_EQ(results, expected);
    dialogs->chooseNext({picture});
    juce::String path;
    ASSERT_TRUE(DialogManager::browseToOpen(path, DialogManager::kPictureFile));
    EXPECT_EQ(path, picture.getFullPathName());
    dialogs->chooseNext({root.getChildFile("music")});
    ASSERT_TRUE(DialogManager::browseToOpen(path, DialogManager::kFolder));

    dialogs->cancelNextChooser();
    EXPECT_FALSE(DialogManager::browseToOpen(path, DialogManager::kAudioFiles));
    EXPECT_EQ(path, "");
    EXPECT_EQ(dialogs->getShownChoosers().back().start, a.getParentDirectory());

    // Restart: the places are written when the manager goes and read anew.
    CZJESingleton<DialogManager>::DestroyInstance();
    CZfcSingleton<CVXPreferences>::DestroyInstance();
    CZfcSingleton<CVXPreferences>::CreateInstance();
    auto* manager = CZJESingleton<DialogManager>::CreateInstance();
    EXPECT_EQ(manager->getRememberedPlace(DialogManager::kAudioFiles), a.getFullPathName());
    EXPECT_EQ(manager->getRememberedPlace(DialogManager::kFolder),
              root.getChildFile("music").getFullPathName());
    EXPECT_EQ(manager->getRememberedPlace(DialogManager::kSonglistFile), "");
    for (const auto& [category, start] :
         {std::pair<int, juce::File>{DialogManager::kAudioFiles, a.getParentDirectory()},
          {DialogManager::kPictureFile, picture.getParentDirectory()},
          {DialogManager::kFolder, root.getChildFile("music")}})
    {
        SCOPED_TRACE(category);
        dialogs->cancelNextChooser();
        DialogManager::browseToOpen(path, category);
        EXPECT_EQ(dialogs->getShownChoosers().back().start, start);
    }

    // A place whose folder is gone falls back to the platform's default.
    ASSERT_TRUE(root.getChildFile("pictures").deleteRecursively());
    dialogs->cancelNextChooser();
    DialogManager::browseToOpen(path, DialogManager::kPictureFile);
    EXPECT_EQ(dialogs->getShownChoosers().back().start, juce::File());
    CZJESingleton<DialogManager>::DestroyInstance();
}

// The songlist chooser starts in the current songlist's folder, even when
// another folder was remembered.
TEST_F(DialogManagerTest, TheSonglistChooserStartsAtTheCurrentSonglist)
{
    const juce::File other = MakeFile("other/old.vxsl");
    const juce::File current = MakeFile("lists/current.vxsl");
    CZJESingleton<DialogManager>::CreateInstance();
    dialogs->chooseNext({other});
    juce::String path;
    ASSERT_TRUE(DialogManager::browseToOpen(path, DialogManager::kSonglistFile));

    DialogManager::setCurrentSonglistFileSource([&] { return current; });
    dialogs->cancelNextChooser();
    DialogManager::browseToOpen(path, DialogManager::kSonglistFile);
    EXPECT_EQ(dialogs->getShownChoosers().back().start, current.getParentDirectory());
    dialogs->cancelNextChooser();
    EXPECT_FALSE(DialogManager::browseToSave(path, true));
    EXPECT_EQ(dialogs->getShownChoosers().back().start, current);
    EXPECT_EQ(dialogs->getShownChoosers().back().mode, ChooserMode::saveFile);
    EXPECT_EQ(dialogs->getShownChoosers().back().title, CZJEResource::GetText("Menu_Item_SaveAs"));
    CZJESingleton<DialogManager>::DestroyInstance();
}

// Saving adds the songlist extension or puts it in place of another one.
TEST_F(DialogManagerTest, SaveAddsOrReplacesTheExtension)
{
    for (const auto& [typed, saved] : {std::pair<const char*, const char*>{"mix", "mix.vxsl"},
                                       {"mix.txt", "mix.vxsl"},
                                       {"mix.vxsl", "mix.vxsl"},
                                       {"live.2024", "live.vxsl"}})
    {
        SCOPED_TRACE(typed);
        dialogs->chooseNext({root.getChildFile(typed)});
        juce::String path;
        EXPECT_TRUE(DialogManager::browseToSave(path, true));
        EXPECT_EQ(path, root.getChildFile(saved).getFullPathName());
    }
    EXPECT_TRUE(dialogs->getShownBoxes().empty());
    dialogs->cancelNextChooser();
    juce::String path = "before";
    EXPECT_FALSE(DialogManager::browseToSave(path, true));
    EXPECT_EQ(path, "");
}

// Saving onto an existing songlist asks whether to replace it, whatever the
// caller's flag: the chooser itself never warns.
TEST_F(DialogManagerTest, SavingOverAnExistingSonglistAlwaysAsks)
{
    const juce::File existing = MakeFile("lists/evening.vxsl");
    for (const bool askToReplace : {true, false})
    {
        for (const int answer : {0, 1})
        {
            SCOPED_TRACE(testing::Message() << "flag " << askToReplace << " answer " << answer);
            dialogs->chooseNext({root.getChildFile("lists/evening")});
            dialogs->answerNextBox(answer);
            juce::String path;
            EXPECT_EQ(DialogManager::browseToSave(path, askToReplace), answer == 1);
            EXPECT_EQ(path, existing.getFullPathName());
            const DialogBox& box = dialogs->getShownBoxes().back();
            EXPECT_EQ(box.icon, Icon::WarningIcon);
            EXPECT_EQ(box.title, CZJEResource::GetText("Common_WarningDialogTitle"));
            EXPECT_TRUE(box.message.contains("evening.vxsl"));
            EXPECT_TRUE(box.message.contains("lists"));
            EXPECT_FALSE(box.message.contains("%1"));
            ASSERT_EQ(box.buttons.size(), 2u);
            EXPECT_EQ(box.buttons[1].text, CZJEResource::GetText("Button_Replace"));
            EXPECT_EQ(box.buttons[0].text, CZJEResource::GetText("Button_Cancel"));
        }
    }
    EXPECT_EQ(dialogs->getShownBoxes().size(), 4u);
}

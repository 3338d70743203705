#include "src/CVXLookAndFeel.h"

#include "src/ComboBoxLookAndFeel.h"
#include "src/jucer_components/LabelWithInlineEditor.h"
#include "src/linux/CVXFontFaces.h"
#include "tests/src/ScopedInterface.h"

#include <gtest/gtest.h>

namespace
{
// A Japanese song name: kanji, hiragana, katakana and a long vowel mark.
const juce::String kJapaneseSongName =
    juce::CharPointer_UTF8("\xe5\xa4\x9c\xe6\x98\x8e\xe3\x81\x91\xe3\x81\xae\xe3\x82\xb9\xe3\x82\xad\xe3\x83"
                           "\xa3\xe3\x83\x83\xe3\x83\x88"
                           "\xe3\x83\xbc");

// One character drawn in font, black on white.
juce::Image DrawCharacter(const juce::Font& font, juce::juce_wchar c)
{
    juce::Image image(juce::Image::RGB, 48, 48, true);
    juce::Graphics g(image);
    g.fillAll(juce::Colours::white);
    g.setColour(juce::Colours::black);
    g.setFont(font);
    g.drawSingleLineText(juce::String::charToString(c), 8, 36);
    return image;
}

bool SamePixels(const juce::Image& a, const juce::Image& b)
{
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt(x, y) != b.getPixelAt(x, y))
                return false;
    return true;
}

// The characters of text that draw as the font's missing-glyph shape (or as
// nothing at all).
juce::String CharactersDrawnAsBoxes(const juce::Font& font, const juce::String& text)
{
    const juce::Image missing = DrawCharacter(font, CVXFontFaces::kMissingCharacter);
    juce::String boxes;
    for (auto p = text.getCharPointer(); !p.isEmpty();)
    {
        const juce::juce_wchar c = p.getAndAdvance();
        const juce::Image drawn = DrawCharacter(font, c);
        if (SamePixels(drawn, missing) || uitest::CountColours(drawn, 2) < 2)
            boxes += juce::String::charToString(c);
    }
    return boxes;
}

// A picture of the font table: id, face, height and a sample with the song
// name, one row per font id.
juce::Image DrawFontTable(CVXLookAndFeel& look)
{
    juce::Image image(juce::Image::RGB, 640, 200, true);
    juce::Graphics g(image);
    g.fillAll(juce::Colours::white);
    g.setColour(juce::Colours::black);
    for (int id = 0; id <= 4; ++id)
    {
        const juce::Font font = look.getFont(id, 18.0f);
        const int y = 10 + id * 36;
        g.setFont(look.getAsciiFont(13.0f));
        g.drawText(juce::String(id) + "  " + font.getTypefaceName(), 10, y, 200, 24,
                   juce::Justification::centredLeft);
        g.setFont(font);
        g.drawText("12:34.5 Song " + (id == 1 || id == 2 ? kJapaneseSongName : juce::String()), 220, y, 410,
                   24, juce::Justification::centredLeft);
    }
    return image;
}

struct LanguageCase
{
    const char* resourceLanguage;
    juce::StringArray preferred;
    bool japaneseInterface;
};
} // namespace

// The face choice is checked, not assumed: the text face has Latin and
// Japanese glyphs, the Latin face Latin ones; a face that lacks kana fails the
// check.
TEST(CVXFontFaces, ChoosesInstalledFacesThatHaveTheGlyphs)
{
    juce::ScopedJuceInitialiser_GUI gui;
    const juce::String text = CVXFontFaces::GetTextFace();
    const juce::String latin = CVXFontFaces::GetLatinFace();
    EXPECT_TRUE(juce::Font::findAllTypefaceNames().contains(text)) << text;
    EXPECT_TRUE(CVXFontFaces::HasGlyphs(text, CVXFontFaces::kTextSample)) << text;
    EXPECT_TRUE(CVXFontFaces::HasGlyphs(text, kJapaneseSongName)) << text;
    EXPECT_TRUE(CVXFontFaces::HasGlyphs(latin, CVXFontFaces::kLatinSample)) << latin;
    EXPECT_FALSE(CVXFontFaces::HasGlyphs("DejaVu Sans", kJapaneseSongName));
    EXPECT_FALSE(CVXFontFaces::HasGlyphs("No Such Face", "A"));
}

// The font table by language: in both languages the text and interface fonts
// are the text face (a Japanese song name shows in either), the ASCII and time
// fonts the Latin face; the time font comes with and without extra kerning.
TEST(CVXLookAndFeel, FontTableByLanguage)
{
    juce::ScopedJuceInitialiser_GUI gui;
    for (const char* language : uitest::kInterfaceLanguages)
    {
        SCOPED_TRACE(language);
        uitest::ScopedInterface ui(language);
        CVXLookAndFeel& look = ui.look();
        EXPECT_EQ(look.isJapaneseInterface(), juce::String(language) == "ja");
        const juce::String text = CVXFontFaces::GetTextFace();
        const juce::String latin = CVXFontFaces::GetLatinFace();
        struct Row
        {
            int id;
            juce::String face;
            float kerning;
        };
        for (const Row& row : {Row{0, latin, 0.0f}, Row{1, text, 0.0f}, Row{2, text, 0.0f},
                               Row{3, latin, 0.0f}, Row{4, latin, 0.15f}, Row{7, text, 0.0f}})
        {
            SCOPED_TRACE(row.id);
            const juce::Font font = look.getFont(row.id, 20.0f, juce::Font::bold);
            EXPECT_EQ(font.getTypefaceName(), row.face);
            EXPECT_FLOAT_EQ(font.getHeight(), 20.0f);
            EXPECT_TRUE(font.isBold());
            EXPECT_FLOAT_EQ(font.getExtraKerningFactor(), row.kerning);
        }
        EXPECT_TRUE(CVXFontFaces::HasGlyphs(look.getLocalTextFontName(), kJapaneseSongName));
        EXPECT_EQ(look.getPopupMenuFont().getTypefaceName(), text);

        const juce::Image table = DrawFontTable(look);
        EXPECT_TRUE(uitest::IsDrawn(table));
        uitest::SavePng(table, juce::String("FontTable_") + language);
    }
}

// Every character of a Japanese song name draws as a glyph of its own, not as
// the face's missing-glyph box; the same check finds the boxes a Latin face
// draws for it.
TEST(CVXLookAndFeel, AJapaneseSongNameDrawsWithRealGlyphs)
{
    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui("en");
    const juce::Font font = ui.look().getLocalTextFont(28.0f);
    EXPECT_EQ(CharactersDrawnAsBoxes(font, kJapaneseSongName), "");
    EXPECT_EQ(CharactersDrawnAsBoxes(juce::Font("DejaVu Sans", 28.0f, juce::Font::plain), kJapaneseSongName),
              kJapaneseSongName);

    juce::Label label("name", kJapaneseSongName);
    label.setSize(360, 40);
    ui.look().applyLocalTextFontToLabel(label);
    EXPECT_EQ(label.getFont().getTypefaceName(), CVXFontFaces::GetTextFace());
    label.setFont(ui.look().getLocalTextFont(24.0f));
    const juce::Image drawn = label.createComponentSnapshot(label.getLocalBounds());
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    uitest::SavePng(drawn, "JapaneseSongName");
}

// The Japanese-interface flag follows the first "ja" or "en" among the
// preferred languages, else the resource's language.
TEST(CVXLookAndFeel, TheJapaneseInterfaceFollowsTheFirstOfJapaneseOrEnglish)
{
    juce::ScopedJuceInitialiser_GUI gui;
    const LanguageCase cases[] = {
        {"en", {"fr", "ja"}, true}, {"ja", {"de", "en", "ja"}, false}, {"ja", {}, true},
        {"en", {}, false},          {"ja", {"zh-Hant-TW"}, true},      {"en", {"ja-JP"}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.resourceLanguage << " / " << c.preferred.joinIntoString(","));
        CVXLookAndFeel look(c.resourceLanguage, c.preferred);
        EXPECT_EQ(look.isJapaneseInterface(), c.japaneseInterface);
        EXPECT_FLOAT_EQ(look.getTextSizeRatio(), 1.0f);
        EXPECT_FLOAT_EQ(look.getInterfaceSizeRatio(), 1.0f);
    }
    EXPECT_FLOAT_EQ(LabelWithInlineEditor::getFontSizeRatio(), 1.0f);
    juce::LocalisedStrings::setCurrentMappings(nullptr);
}

// A combo box 40 pixels high gets a 15-point font, one 12 pixels high 10.2;
// its text is a label edited in place without the input method.
TEST(ComboBoxLookAndFeel, SizesTheFontToTheControl)
{
    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui("en");
    juce::ComboBox box;
    Vextal::ComboBoxLookAndFeel comboLook(&box, CVXLookAndFeel::kFontLocalText);
    for (const auto& [height, expected] : {std::pair<int, float>{40, 15.0f}, {12, 10.2f}})
    {
        box.setSize(120, height);
        const juce::Font font = comboLook.getComboBoxFont(box);
        EXPECT_NEAR(font.getHeight(), expected, 1e-4f) << height;
        EXPECT_EQ(font.getTypefaceName(), CVXFontFaces::GetTextFace());
        EXPECT_NEAR(comboLook.getPopupMenuFont().getHeight(), expected, 1e-4f) << height;
    }
    std::unique_ptr<juce::Label> text(comboLook.createComboBoxTextBox(box));
    auto* editable = dynamic_cast<LabelWithInlineEditor*>(text.get());
    ASSERT_NE(editable, nullptr);
    EXPECT_EQ(editable->getInputType(), LabelWithInlineEditor::kInputMethodDisabled);

    juce::FilenameComponent chooser("file", {}, true, false, false, "*", {}, "");
    chooser.setSize(200, 20);
    Vextal::ComboBoxLookAndFeel chooserLook(&chooser, CVXLookAndFeel::kFontLocalUI);
    EXPECT_NEAR(chooserLook.getPopupMenuFont().getHeight(), 15.0f, 1e-4f);
}

// The framework's own texts are translated; the file-name chooser's title
// shows the text of the last call only, and the other translations stay.
TEST(CVXLookAndFeel, TranslatesTheFrameworksTexts)
{
    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui("ja");
    EXPECT_EQ(TRANS("Open"), CZJEResource::GetText("Juce_Open"));
    EXPECT_NE(TRANS("Open"), "Open");
    EXPECT_EQ(TRANS("(no recently selected files)"), CZJEResource::GetText("Juce_NoRecentlySelectedFiles"));
    EXPECT_EQ(TRANS("Home folder"),
              juce::File::getSpecialLocation(juce::File::userHomeDirectory).getFileName());
    EXPECT_TRUE(ui.look().getTranslationText().startsWith("language: "));

    ui.look().setFilenameComponentDialogMessage("First \"quoted\" title", false);
    EXPECT_EQ(TRANS("Choose a new file"), "First \"quoted\" title");
    ui.look().setFilenameComponentDialogMessage("Second title", false);
    EXPECT_EQ(TRANS("Choose a new file"), "Second title");
    EXPECT_EQ(TRANS("Open"), CZJEResource::GetText("Juce_Open"));
    ui.look().setFilenameComponentDialogMessage("Folder title", true);
    EXPECT_EQ(TRANS("Choose a new directory"), "Folder title");
    EXPECT_EQ(TRANS("Choose a new file"), "Choose a new file");
}

namespace
{
// The texts a component and its children show: button texts, label texts
// and combo-box items.
juce::StringArray ShownTexts(juce::Component& component)
{
    juce::StringArray texts;
    if (auto* button = dynamic_cast<juce::Button*>(&component))
        texts.add(button->getButtonText());
    if (auto* label = dynamic_cast<juce::Label*>(&component))
        texts.add(label->getText());
    if (auto* box = dynamic_cast<juce::ComboBox*>(&component))
    {
        for (int i = 0; i < box->getNumItems(); ++i)
            texts.add(box->getItemText(i));
    }
    for (auto* child : component.getChildren())
        texts.addArray(ShownTexts(*child));
    texts.removeEmptyStrings();
    return texts;
}
} // namespace

// The framework's file chooser in Japanese, as Save shows it: its buttons,
// labels and places are in Japanese; none shows the framework's English.
TEST(CVXLookAndFeel, TheFileChooserShowsItsTextsInJapanese)
{
    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui("ja");
    juce::FileBrowserComponent browser(
        juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles,
        juce::File::getSpecialLocation(juce::File::tempDirectory), nullptr, nullptr);
    juce::FileChooserDialogBox dialog("Songlist", {}, browser, true, juce::Colours::lightgrey);
    dialog.setSize(600, 420);
    const juce::StringArray shown = ShownTexts(dialog);
    for (const char* english : {"New Folder", "Save", "Cancel", "file:", "Home folder", "Desktop",
                                "Documents", "Music", "Pictures"})
        EXPECT_FALSE(shown.contains(english))
            << english << " in " << shown.joinIntoString(" | ").toStdString();
    for (const char* key : {"Juce_NewFolder", "Juce_Save", "Juce_Cancel", "Juce_File"})
        EXPECT_TRUE(shown.contains(CZJEResource::GetText(key))) << key;
    EXPECT_NE(TRANS("Overwrite"), "Overwrite");
    EXPECT_NE(TRANS("Go up to parent directory"), "Go up to parent directory");
    const juce::Image drawn = dialog.createComponentSnapshot(dialog.getLocalBounds());
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    uitest::SavePng(drawn, "FileChooser_ja");
}

// An alert without icon draws no picture at all; a warning, a question and
// an information draw their own icon whole in the top-left corner: nothing
// of it on the top rows, where the box's edge would cut it.
TEST(CVXLookAndFeel, DrawsAlertsWithTheirOwnIconWhole)
{
    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui("en");
    for (const auto icon : {juce::MessageBoxIconType::NoIcon, juce::MessageBoxIconType::WarningIcon,
                            juce::MessageBoxIconType::QuestionIcon, juce::MessageBoxIconType::InfoIcon})
    {
        SCOPED_TRACE(static_cast<int>(icon));
        juce::AlertWindow alert("Title", "A message of the alert", icon);
        alert.addButton("OK", 1);
        const juce::Image drawn = alert.createComponentSnapshot(alert.getLocalBounds());
        uitest::SavePng(drawn, "AlertIcon_" + juce::String(static_cast<int>(icon)));
        EXPECT_TRUE(uitest::IsDrawn(drawn));
        const juce::Colour background = alert.findColour(juce::AlertWindow::backgroundColourId);
        const auto marked = [&](juce::Rectangle<int> area)
        {
            int n = 0;
            for (int y = area.getY(); y < area.getBottom(); ++y)
                for (int x = area.getX(); x < area.getRight(); ++x)
                    n += drawn.getPixelAt(x, y) != background ? 1 : 0;
            return n;
        };
        // Inside the one-pixel outline: the top rows over the icon, and the
        // strip left of the text.
        EXPECT_EQ(marked({1, 1, 79, 6}), 0) << "an icon cut at the top edge";
        if (icon == juce::MessageBoxIconType::NoIcon)
            EXPECT_EQ(marked({1, 1, 8, 60}), 0) << "a picture where there is no icon";
        else
            EXPECT_GT(marked({1, 1, 79, 79}), 300) << "no icon drawn";
    }
}

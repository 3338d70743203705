#pragma once

#include "library/vextal_juce/CZJESingleton.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The application-wide look: it chooses the fonts from the user's languages,
// translates the texts the framework itself shows (file-browser labels and
// buttons), and draws buttons, toggle buttons, tab texts, table headers,
// popup-menu items and alert boxes in those fonts. In every other respect it
// is the framework's classic look. Every view takes its fonts from here
// (getFont, getLocalUIFont, applyLocalUIFontToLabel and the like) and never
// names a font face itself.
//
// Fonts on this platform (see CVXFontFaces): the text and interface fonts are
// the text face, which has Latin and Japanese glyphs, for every language, so
// that a Japanese song name shows in any interface language; the ASCII and
// time fonts are the Latin face. The languages decide the Japanese-interface
// flag and the size ratios.
//
// A reference-counted singleton, created after the image resource manager and
// the preferences; the main window makes it the framework's default look.
// Message thread only, except the font getters, which only read.
class CVXLookAndFeel : public juce::LookAndFeel_V2, public CZJESingleton<CVXLookAndFeel>
{
public:
    // The font ids of getFont; any other id is taken as kFontLocalText.
    enum eFontID
    {
        kFontAscii = 0,
        kFontLocalText = 1,
        kFontLocalUI = 2,
        kFontTime = 3,
        kFontTimeKerned = 4
    };

    // A look for the given resource language (the localized "Common_Language")
    // and the user's preferred languages, most preferred first.
    CVXLookAndFeel(const juce::String& resourceLanguage, const juce::StringArray& preferredLanguages);
    ~CVXLookAndFeel() override;

    juce::Font getFont(int id, float height, int style = juce::Font::plain) const;
    juce::Font getLocalTextFont(float height, int style = juce::Font::plain) const;
    juce::Font getLocalTextFont(const juce::Font& font) const;
    juce::Font getLocalUIFont(float height, int style = juce::Font::plain) const;
    juce::Font getAsciiFont(float height, int style = juce::Font::plain) const;
    juce::Font getAsciiFont(const juce::Font& font) const;
    juce::Font getTimeFont(bool noKerning, float height, int style = juce::Font::plain) const;

    // Replace the label's font by the named font at the same height and style.
    void applyLocalUIFontToLabel(juce::Label& label) const;
    void applyLocalTextFontToLabel(juce::Label& label) const;
    void applyAsciiFontToLabel(juce::Label& label) const;

    // Fills with the editor's background colour (for editors that paint their
    // own background).
    static void drawTextEditorBackground(juce::Graphics& g, int width, int height, juce::TextEditor& editor);

    // Makes the title of the framework's file-name chooser ("Choose a new
    // directory" or "Choose a new file") show text; each call replaces the
    // previous one, the other translations stay.
    void setFilenameComponentDialogMessage(const juce::String& text, bool directory);

    bool isJapaneseInterface() const { return m_japaneseInterface; }
    float getTextSizeRatio() const { return m_textSizeRatio; }
    float getInterfaceSizeRatio() const { return m_interfaceSizeRatio; }
    const juce::String& getLocalTextFontName() const { return m_localTextFontName; }
    const juce::String& getTranslationText() const { return m_translationText; }

    // The current look's font, or a plain font of that height while none
    // exists.
    static juce::Font GetFontOrDefault(int id, float height, int style = juce::Font::plain);

    void drawButtonText(juce::Graphics& g, juce::TextButton& button, bool isMouseOver, bool isDown) override;
    void drawToggleButton(juce::Graphics& g, juce::ToggleButton& button, bool isMouseOver,
                          bool isDown) override;
    // An alert box shows its own icon (the warning triangle, the question or
    // the information mark) whole in its top-left corner, or none.
    void drawAlertBox(juce::Graphics& g, juce::AlertWindow& alert, const juce::Rectangle<int>& textArea,
                      juce::TextLayout& textLayout) override;
    void drawScrollbarButton(juce::Graphics& g, juce::ScrollBar& scrollbar, int width, int height,
                             int buttonDirection, bool isScrollbarVertical, bool isMouseOver,
                             bool isButtonDown) override;
    void drawScrollbar(juce::Graphics& g, juce::ScrollBar& scrollbar, int x, int y, int width, int height,
                       bool isScrollbarVertical, int thumbStartPosition, int thumbSize, bool isMouseOver,
                       bool isMouseDown) override;
    void drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator,
                           bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                           const juce::String& text, const juce::String& shortcutKeyText,
                           const juce::Drawable* icon, const juce::Colour* textColour) override;
    juce::Font getPopupMenuFont() override;
    juce::Font getMenuBarFont(juce::MenuBarComponent& menuBar, int itemIndex,
                              const juce::String& itemText) override;
    void drawTabButtonText(juce::TabBarButton& button, juce::Graphics& g, bool isMouseOver,
                           bool isMouseDown) override;
    void drawTableHeaderColumn(juce::Graphics& g, juce::TableHeaderComponent& header,
                               const juce::String& columnName, int columnId, int width, int height,
                               bool isMouseOver, bool isMouseDown, int columnFlags) override;

private:
    friend class CZJESingleton<CVXLookAndFeel>;

    // The look of the shipped resources and the user's languages.
    CVXLookAndFeel();

    void chooseLanguage(const juce::String& resourceLanguage, const juce::StringArray& preferredLanguages);
    void setColours();
    void buildTranslations();
    void drawAlertIcon(juce::Graphics& g, juce::AlertWindow& alert, juce::Rectangle<int> square);

    bool m_japaneseInterface = false;
    float m_textSizeRatio = 1.0f;
    float m_interfaceSizeRatio = 1.0f;
    juce::Font m_menuBarFont;
    juce::Font m_popupMenuFont;
    juce::String m_localTextFontName;
    juce::String m_latinFontName;
    juce::String m_translationText;
    juce::LookAndFeel_V1 m_oldSchool;
};

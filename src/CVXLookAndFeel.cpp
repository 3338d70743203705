#include "src/CVXLookAndFeel.h"

#include "library/util/linux/CLinuxUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/jucer_components/LabelWithInlineEditor.h"
#include "src/linux/CVXFontFaces.h"
#include "src/songlist/VXUtil.h"

#include <algorithm>

namespace
{
// The framework's texts the look translates, with the message keys of their
// translations: those of its file browser and file chooser dialog (buttons,
// places, the new-folder and overwrite questions). A text here must be the
// framework's own, letter for letter.
const std::pair<const char*, const char*> kFrameworkTexts[] = {
    {"(no recently selected files)", "Juce_NoRecentlySelectedFiles"},
    {"Open", "Juce_Open"},
    {"Cancel", "Juce_Cancel"},
    {"Documents", "Juce_Documents"},
    {"Desktop", "Juce_Desktop"},
    {"file:", "Juce_File"},
    {"Save", "Juce_Save"},
    {"Choose", "Juce_Choose"},
    {"New Folder", "Juce_NewFolder"},
    {"Go up to parent directory", "Juce_GoUp"},
    {"Hard Drive", "Juce_HardDrive"},
    {"CD/DVD drive", "Juce_CdDvdDrive"},
    {"Music", "Juce_Music"},
    {"Pictures", "Juce_Pictures"},
    {"File already exists", "Juce_FileAlreadyExists"},
    {"There's already a file called: FLNM", "Juce_AlreadyAFileCalled"},
    {"Are you sure you want to overwrite it?", "Juce_SureToOverwrite"},
    {"Overwrite", "Juce_Overwrite"},
    {"Please enter the name for the folder", "Juce_EnterFolderName"},
    {"Create Folder", "Juce_CreateFolder"},
    {"Couldn't create the folder!", "Juce_CannotCreateFolder"},
};

// The icon of an alert box: its side and its distance from the box's top
// and left edges; the text starts this far right of the text area's left.
constexpr int kAlertIconSide = 56;
constexpr int kAlertIconMargin = 12;
constexpr int kAlertIconSpace = 80;

// text as a quoted string of a translation file.
juce::String Quoted(const juce::String& text)
{
    return "\"" +
           text.replace("\\", "\\\\")
               .replace("\"", "\\\"")
               .replace("\n", "\\n")
               .replace("\r", "\\r")
               .replace("\t", "\\t") +
           "\"";
}

juce::String Mapping(const juce::String& original, const juce::String& translation)
{
    return Quoted(original) + " = " + Quoted(translation) + "\n";
}

void UseTranslations(const juce::String& text)
{
    juce::LocalisedStrings::setCurrentMappings(new juce::LocalisedStrings(text, false));
}

juce::String ResourceLanguage()
{
    return CZJEResource::GetText("Common_Language");
}

juce::StringArray UserLanguages()
{
    juce::StringArray languages;
    CLinuxUtil::GetUserLanguages(languages);
    return languages;
}

} // namespace

CVXLookAndFeel::CVXLookAndFeel() : CVXLookAndFeel(ResourceLanguage(), UserLanguages()) {}

CVXLookAndFeel::CVXLookAndFeel(const juce::String& resourceLanguage,
                               const juce::StringArray& preferredLanguages)
{
    chooseLanguage(resourceLanguage, preferredLanguages);
    m_latinFontName = CVXFontFaces::GetLatinFace();
    m_localTextFontName = CVXFontFaces::GetTextFace();
    setDefaultSansSerifTypefaceName(m_localTextFontName);
    m_popupMenuFont = LookAndFeel_V2::getPopupMenuFont();
    m_popupMenuFont.setTypefaceName(m_localTextFontName);
    m_menuBarFont = m_popupMenuFont;
    setColours();
    buildTranslations();
}

CVXLookAndFeel::~CVXLookAndFeel()
{
    // The framework's default look must not outlive this.
    if (juce::MessageManager::getInstanceWithoutCreating() != nullptr &&
        &juce::LookAndFeel::getDefaultLookAndFeel() == this)
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
}

void CVXLookAndFeel::chooseLanguage(const juce::String& resourceLanguage,
                                    const juce::StringArray& preferredLanguages)
{
    m_japaneseInterface = resourceLanguage == "ja";
    for (const auto& language : preferredLanguages)
    {
        if (language == "ja")
        {
            m_japaneseInterface = true;
            m_interfaceSizeRatio = 1.0f;
            break;
        }
        if (language == "en")
        {
            m_japaneseInterface = false;
            break;
        }
    }
    if (preferredLanguages[0] == "ja")
    {
        m_textSizeRatio = 1.0f;
        LabelWithInlineEditor::setFontSizeRatio(1.0f);
    }
}

void CVXLookAndFeel::setColours()
{
    for (const int id : {juce::ScrollBar::backgroundColourId, juce::ScrollBar::thumbColourId})
        setColour(id, m_oldSchool.findColour(id));
    setColour(juce::ProgressBar::backgroundColourId, juce::Colours::white);
    setColour(juce::ProgressBar::foregroundColourId, juce::Colours::lightblue);
}

void CVXLookAndFeel::buildTranslations()
{
    m_translationText = "language: " + CZJEResource::GetText("Common_LanguageName") +
                        "\ncountries: " + CZJEResource::GetText("Common_Language") + "\n\n";
    for (const auto& [original, key] : kFrameworkTexts)
        m_translationText << Mapping(original, CZJEResource::GetText(key));
    m_translationText << Mapping("Home folder",
                                 juce::File::getSpecialLocation(juce::File::userHomeDirectory).getFileName());
    UseTranslations(m_translationText);
}

void CVXLookAndFeel::setFilenameComponentDialogMessage(const juce::String& text, bool directory)
{
    UseTranslations(m_translationText +
                    Mapping(directory ? "Choose a new directory" : "Choose a new file", text));
}

juce::Font CVXLookAndFeel::getFont(int id, float height, int style) const
{
    switch (id)
    {
    case kFontAscii:
        return getAsciiFont(height, style);
    case kFontLocalUI:
        return getLocalUIFont(height, style);
    case kFontTime:
        return getTimeFont(true, height, style);
    case kFontTimeKerned:
        return getTimeFont(false, height, style);
    default:
        return getLocalTextFont(height, style);
    }
}

juce::Font CVXLookAndFeel::getLocalTextFont(float height, int style) const
{
    return juce::Font(m_localTextFontName, height * m_textSizeRatio, style);
}

juce::Font CVXLookAndFeel::getLocalTextFont(const juce::Font& font) const
{
    return getLocalTextFont(font.getHeight(), font.getStyleFlags());
}

juce::Font CVXLookAndFeel::getLocalUIFont(float height, int style) const
{
    return juce::Font(m_localTextFontName, height * m_interfaceSizeRatio, style);
}

juce::Font CVXLookAndFeel::getAsciiFont(float height, int style) const
{
    return juce::Font(m_latinFontName, height, style);
}

juce::Font CVXLookAndFeel::getAsciiFont(const juce::Font& font) const
{
    return getAsciiFont(font.getHeight(), font.getStyleFlags());
}

juce::Font CVXLookAndFeel::getTimeFont(bool noKerning, float height, int style) const
{
    juce::Font font(m_latinFontName, height, style);
    font.setExtraKerningFactor(noKerning ? 0.0f : 0.15f);
    return font;
}

void CVXLookAndFeel::applyLocalUIFontToLabel(juce::Label& label) const
{
    label.setFont(getLocalUIFont(label.getFont().getHeight(), label.getFont().getStyleFlags()));
}

void CVXLookAndFeel::applyLocalTextFontToLabel(juce::Label& label) const
{
    label.setFont(getLocalTextFont(label.getFont()));
}

void CVXLookAndFeel::applyAsciiFontToLabel(juce::Label& label) const
{
    label.setFont(getAsciiFont(label.getFont()));
}

void CVXLookAndFeel::drawTextEditorBackground(juce::Graphics& g, int width, int height,
                                              juce::TextEditor& editor)
{
    g.setColour(editor.findColour(juce::TextEditor::backgroundColourId));
    g.fillRect(0, 0, width, height);
}

juce::Font CVXLookAndFeel::GetFontOrDefault(int id, float height, int style)
{
    const juce::ScopedLock sl(sm_mCritical);
    return sm_pInstance != nullptr ? sm_pInstance->getFont(id, height, style) : juce::Font(height, style);
}

void CVXLookAndFeel::drawButtonText(juce::Graphics& g, juce::TextButton& button, bool, bool)
{
    const juce::Font own = getTextButtonFont(button, button.getHeight());
    const juce::Font font = getLocalUIFont(own.getHeight(), own.getStyleFlags());
    g.setFont(font);
    g.setColour(button
                    .findColour(button.getToggleState() ? juce::TextButton::textColourOnId
                                                        : juce::TextButton::textColourOffId)
                    .withAlpha(button.isEnabled() ? 1.0f : 0.5f));
    const int yIndent = std::min(4, button.proportionOfHeight(0.3f));
    const int cornerSize = std::min(button.getHeight(), button.getWidth()) / 2;
    const int fontHeight = juce::roundToInt(font.getHeight() * 0.6f);
    const int leftIndent = std::min(fontHeight, 2 + cornerSize / (button.isConnectedOnLeft() ? 4 : 2));
    const int rightIndent = std::min(fontHeight, 2 + cornerSize / (button.isConnectedOnRight() ? 4 : 2));
    const int textWidth = button.getWidth() - leftIndent - rightIndent;
    if (textWidth > 0)
        g.drawFittedText(button.getButtonText(), leftIndent, yIndent, textWidth,
                         button.getHeight() - yIndent * 2, juce::Justification::centred, 2, 0.7f);
}

void CVXLookAndFeel::drawToggleButton(juce::Graphics& g, juce::ToggleButton& button, bool isMouseOver,
                                      bool isDown)
{
    if (button.hasKeyboardFocus(true))
    {
        g.setColour(button.findColour(juce::TextEditor::focusedOutlineColourId));
        g.drawRect(0, 0, button.getWidth(), button.getHeight());
    }
    const float boxSize = std::min(15.0f, static_cast<float>(button.getHeight()) * 0.75f);
    const float tickWidth = boxSize * 1.1f;
    drawTickBox(g, button, 4.0f, (static_cast<float>(button.getHeight()) - tickWidth) * 0.5f, tickWidth,
                tickWidth, button.getToggleState(), button.isEnabled(), isMouseOver, isDown);
    g.setColour(button.findColour(juce::ToggleButton::textColourId));
    g.setFont(getLocalUIFont(std::min(0.6f * static_cast<float>(button.getHeight()), 15.0f)));
    if (!button.isEnabled())
        g.setOpacity(0.5f);
    g.drawFittedText(
        button.getButtonText(),
        button.getLocalBounds().withTrimmedLeft(juce::roundToInt(tickWidth) + 5).withTrimmedRight(2),
        juce::Justification::centredLeft, 10);
}

void CVXLookAndFeel::drawAlertIcon(juce::Graphics& g, juce::AlertWindow& alert, juce::Rectangle<int> square)
{
    const juce::Colour background = alert.findColour(juce::AlertWindow::backgroundColourId);
    const auto type = alert.getAlertType();
    const float side = static_cast<float>(square.getHeight());
    const juce::Font bold(m_latinFontName, 0.9f * side, juce::Font::bold);
    if (type == juce::MessageBoxIconType::WarningIcon)
    {
        juce::Path triangle;
        triangle.addTriangle(static_cast<float>(square.getCentreX()), static_cast<float>(square.getY()),
                             static_cast<float>(square.getRight()), static_cast<float>(square.getBottom()),
                             static_cast<float>(square.getX()), static_cast<float>(square.getBottom()));
        g.setColour(background.overlaidWith(juce::Colour(0x33FF0000u)));
        g.fillPath(triangle.createPathWithRoundedCorners(5.0f));
        g.setColour(background);
        g.setFont(bold);
        g.drawText("!", square.getX(), square.getY() + square.getHeight() / 16, square.getWidth(),
                   square.getHeight() + square.getHeight() / 8, juce::Justification::centred, false);
        return;
    }
    const bool question = type == juce::MessageBoxIconType::QuestionIcon;
    g.setColour(background.overlaidWith(question ? juce::Colours::gold.darker(0.4f).withAlpha(0.25f)
                                                 : juce::Colour(0x280000FFu)));
    g.fillEllipse(square.toFloat());
    g.setColour(background);
    g.setFont(bold);
    g.drawText(question ? "?" : "i", square, juce::Justification::centred, false);
}

void CVXLookAndFeel::drawAlertBox(juce::Graphics& g, juce::AlertWindow& alert,
                                  const juce::Rectangle<int>& textArea, juce::TextLayout& textLayout)
{
    g.fillAll(alert.findColour(juce::AlertWindow::backgroundColourId));
    int iconSpace = 0;
    if (alert.getAlertType() != juce::MessageBoxIconType::NoIcon)
    {
        // The icon whole inside the box, in the space left of the text.
        const int side = std::min(kAlertIconSide, alert.getHeight() - 2 * kAlertIconMargin);
        if (side > 0)
            drawAlertIcon(g, alert, {kAlertIconMargin, kAlertIconMargin, side, side});
        iconSpace = kAlertIconSpace;
    }
    g.setColour(alert.findColour(juce::AlertWindow::textColourId));
    textLayout.draw(g, textArea.withTrimmedLeft(iconSpace).toFloat());
    g.setColour(alert.findColour(juce::AlertWindow::outlineColourId));
    g.drawRect(0, 0, alert.getWidth(), alert.getHeight());
}

void CVXLookAndFeel::drawScrollbarButton(juce::Graphics& g, juce::ScrollBar& scrollbar, int width, int height,
                                         int buttonDirection, bool isScrollbarVertical, bool isMouseOver,
                                         bool isButtonDown)
{
    m_oldSchool.drawScrollbarButton(g, scrollbar, width, height, buttonDirection, isScrollbarVertical,
                                    isMouseOver, isButtonDown);
}

void CVXLookAndFeel::drawScrollbar(juce::Graphics& g, juce::ScrollBar& scrollbar, int x, int y, int width,
                                   int height, bool isScrollbarVertical, int thumbStartPosition,
                                   int thumbSize, bool isMouseOver, bool isMouseDown)
{
    m_oldSchool.drawScrollbar(g, scrollbar, x, y, width, height, isScrollbarVertical, thumbStartPosition,
                              thumbSize, isMouseOver, isMouseDown);
}

void CVXLookAndFeel::drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator,
                                       bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                                       const juce::String& text, const juce::String& shortcutKeyText,
                                       const juce::Drawable* icon, const juce::Colour* textColour)
{
    LookAndFeel_V2::drawPopupMenuItem(g, area, isSeparator, isActive, isHighlighted, isTicked, hasSubMenu,
                                      text, {}, icon, textColour);
    if (isSeparator || shortcutKeyText.isEmpty())
        return;
    juce::Colour colour = textColour != nullptr ? *textColour : findColour(juce::PopupMenu::textColourId);
    if (isHighlighted)
        colour = findColour(juce::PopupMenu::highlightedTextColourId);
    g.setColour(isActive ? colour : colour.withMultipliedAlpha(0.3f));
    juce::Font font = getPopupMenuFont();
    font.setHeight(std::min(font.getHeight(), static_cast<float>(area.getHeight()) / 1.3f));
    g.setFont(font);
    g.drawText(Vextal::fixShortcutKeyText(shortcutKeyText), area.reduced(1).withTrimmedRight(7),
               juce::Justification::centredRight, true);
}

juce::Font CVXLookAndFeel::getPopupMenuFont()
{
    return m_popupMenuFont;
}

juce::Font CVXLookAndFeel::getMenuBarFont(juce::MenuBarComponent&, int, const juce::String&)
{
    return m_menuBarFont;
}

void CVXLookAndFeel::drawTabButtonText(juce::TabBarButton& button, juce::Graphics& g, bool isMouseOver,
                                       bool isMouseDown)
{
    const auto area = button.getTextArea().toFloat();
    float length = area.getWidth();
    float depth = area.getHeight();
    const bool vertical = button.getTabbedButtonBar().isVertical();
    if (vertical)
        std::swap(length, depth);
    juce::Font font = getLocalUIFont(0.6f * depth);
    font.setUnderline(button.hasKeyboardFocus(false));

    juce::AffineTransform t;
    switch (button.getTabbedButtonBar().getOrientation())
    {
    case juce::TabbedButtonBar::TabsAtLeft:
        t = t.rotated(juce::MathConstants<float>::pi * -0.5f).translated(area.getX(), area.getBottom());
        break;
    case juce::TabbedButtonBar::TabsAtRight:
        t = t.rotated(juce::MathConstants<float>::pi * 0.5f).translated(area.getRight(), area.getY());
        break;
    default:
        t = t.translated(area.getX(), area.getY());
        break;
    }

    juce::Colour colour;
    if (button.isFrontTab() && (button.isColourSpecified(juce::TabbedButtonBar::frontTextColourId) ||
                                isColourSpecified(juce::TabbedButtonBar::frontTextColourId)))
        colour = findColour(juce::TabbedButtonBar::frontTextColourId);
    else if (button.isColourSpecified(juce::TabbedButtonBar::tabTextColourId) ||
             isColourSpecified(juce::TabbedButtonBar::tabTextColourId))
        colour = findColour(juce::TabbedButtonBar::tabTextColourId);
    else
        colour = button.getTabBackgroundColour().contrasting();
    const float alpha = button.isEnabled() ? ((isMouseOver || isMouseDown) ? 1.0f : 0.8f) : 0.3f;

    g.setColour(colour.withMultipliedAlpha(alpha));
    g.setFont(font);
    g.addTransform(t);
    g.drawFittedText(button.getButtonText().trim(), 0, 0, static_cast<int>(length), static_cast<int>(depth),
                     juce::Justification::centred, std::max(1, static_cast<int>(depth) / 12));
}

void CVXLookAndFeel::drawTableHeaderColumn(juce::Graphics& g, juce::TableHeaderComponent&,
                                           const juce::String& columnName, int, int width, int height,
                                           bool isMouseOver, bool isMouseDown, int columnFlags)
{
    if (isMouseDown)
        g.fillAll(juce::Colour(0x8899AADDu));
    else if (isMouseOver)
        g.fillAll(juce::Colour(0x5599AADDu));

    const float h = static_cast<float>(height);
    const float arrowX = static_cast<float>(width) - 4.0f - 0.625f * h;
    const bool sorted = (columnFlags & (juce::TableHeaderComponent::sortedForwards |
                                        juce::TableHeaderComponent::sortedBackwards)) != 0;
    if (sorted)
    {
        const bool forwards = (columnFlags & juce::TableHeaderComponent::sortedForwards) != 0;
        const float w = 0.5f * h;
        const float top = h * 0.35f;
        const float bottom = h * 0.65f;
        juce::Path arrow;
        if (forwards)
            arrow.addTriangle(arrowX, bottom, arrowX + w * 0.5f, top, arrowX + w, bottom);
        else
            arrow.addTriangle(arrowX, top, arrowX + w * 0.5f, bottom, arrowX + w, top);
        g.setColour(juce::Colour(0x99000000u));
        g.fillPath(arrow);
    }
    g.setColour(juce::Colours::black);
    g.setFont(getLocalUIFont(0.6f * h, juce::Font::bold));
    const int right = sorted ? static_cast<int>(arrowX) : width;
    g.drawFittedText(columnName, 4, 0, std::max(0, right - 4), height, juce::Justification::centredLeft, 1,
                     0.7f);
}

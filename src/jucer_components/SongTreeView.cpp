#include "src/jucer_components/SongTreeView.h"

#include "library/vextal_juce/CZJEResource.h"

namespace Vextal
{
namespace
{
const juce::Colour kFrameColour(0xFFA0A0A0);
const juce::Colour kSelectedColour(0x991111AA);
const juce::Colour kSelectedMissingColour(0x99AA1111);
constexpr int kTextX = 4;
constexpr int kWidthMargin = 8;
} // namespace

SongTreeView::SongTreeView()
{
    setColour(juce::TreeView::linesColourId, juce::Colours::black);
    setColour(juce::TreeView::backgroundColourId, juce::Colours::transparentBlack);
    setRootItemVisible(false);
    setDefaultOpenness(true);
}

void SongTreeView::paintOverChildren(juce::Graphics& g)
{
    juce::Viewport* viewport = getViewport();
    int width = getWidth(), height = getHeight();
    if (viewport != nullptr)
    {
        if (viewport->getVerticalScrollBar().isVisible())
            width -= viewport->getScrollBarThickness();
        if (viewport->getHorizontalScrollBar().isVisible())
            height -= viewport->getScrollBarThickness();
    }
    g.setColour(kFrameColour);
    g.drawRect(0, 0, width, height, 1);
}

SongTreeViewItem::SongTreeViewItem(const juce::String& text, bool container, bool missing,
                                   const juce::Font& font)
    : m_text(text), m_textWidth(font.getStringWidth(text)), m_container(container), m_missing(missing),
      m_font(font)
{
}

int SongTreeViewItem::getItemWidth() const
{
    return m_textWidth + kWidthMargin;
}

void SongTreeViewItem::paintItem(juce::Graphics& g, int width, int height)
{
    if (isSelected())
    {
        g.setColour(m_missing ? kSelectedMissingColour : kSelectedColour);
        g.fillRect(juce::Rectangle<int>(width, height).reduced(1));
        g.setColour(juce::Colours::white);
    }
    else
    {
        g.setColour(m_missing ? juce::Colours::red : juce::Colours::black);
    }
    g.setFont(m_font);
    g.drawText(m_text, kTextX, 0, m_textWidth, height, juce::Justification::centredLeft, false);
}

void SongTreeViewItem::itemClicked(const juce::MouseEvent& e)
{
    if (m_container || !(e.mods.isRightButtonDown() || e.mods.isCtrlDown()))
        return;
    const juce::String path = m_text;
    const auto at = e.getMouseDownScreenPosition();
    makeMenu().showMenuAsync(juce::PopupMenu::Options().withTargetScreenArea({at.x, at.y, 1, 1}),
                             [path](int result) { performMenuItem(result, path); });
}

juce::PopupMenu SongTreeViewItem::makeMenu()
{
    juce::PopupMenu menu;
    menu.addItem(kCopyFilePath, CZJEResource::GetText("Menu_Item_CopyFilePath"));
    menu.addItem(kOpenParentFolder, CZJEResource::GetText("Menu_Item_OpenParentFolder"));
    menu.addSeparator();
    menu.addItem(kCancel, CZJEResource::GetText("Button_Cancel"));
    return menu;
}

void SongTreeViewItem::performMenuItem(int result, const juce::String& path)
{
    if (result == kCopyFilePath)
        juce::SystemClipboard::copyTextToClipboard(path);
    else if (result == kOpenParentFolder)
        juce::File(path).getParentDirectory().startAsProcess();
}
} // namespace Vextal

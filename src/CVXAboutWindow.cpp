#include "src/CVXAboutWindow.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/CVXLookAndFeel.h"
#include "src/Resource/CVXResourceManager.h"
#include "src/jucer_components/ComponentDresser.h"

namespace
{
constexpr int kFadeMs = 400;

// A line of text with its shadow: black at alpha 0xDD one right and two down,
// then white.
void DrawShadowedText(juce::Graphics& g, const juce::String& text, int x, int y)
{
    g.setColour(juce::Colour(0xDD000000u));
    g.drawSingleLineText(text, x + 1, y + 2);
    g.setColour(juce::Colours::white);
    g.drawSingleLineText(text, x, y);
}
} // namespace

CVXAboutWindow::CVXAboutWindow(std::function<void()> onClosed)
    : m_picture(CVXResourceManager::Get(Vextal::kImageVextalAbout)),
      m_shadow(juce::DropShadow(juce::Colours::black.withAlpha(0.5f), 10, {1, 5})),
      m_onClosed(std::move(onClosed))
{
    setOpaque(false);
    setWantsKeyboardFocus(true);
    setSize(m_picture.getWidth() + 10, m_picture.getHeight() + 60);
    m_shadow.setOwner(this);
}

CVXAboutWindow* CVXAboutWindow::show(juce::Component* parent, std::function<void()> onClosed)
{
    if (parent == nullptr)
        return nullptr;
    auto* window = new CVXAboutWindow(std::move(onClosed));
    parent->addAndMakeVisible(window);
    window->centreWithSize(window->getWidth(), window->getHeight());
    window->enterModalState(true, nullptr, true);
    ComponentDresser::fadeIn(window, kFadeMs, 0, 0, 1.0f);
    return window;
}

void CVXAboutWindow::close()
{
    if (!isVisible())
        return;
    juce::Desktop::getInstance().getAnimator().fadeOut(this, kFadeMs);
    if (auto* parent = getParentComponent())
        parent->removeChildComponent(this);
    auto onClosed = std::move(m_onClosed);
    // The modal state's end deletes the window.
    exitModalState(0);
    if (onClosed != nullptr)
        onClosed();
}

juce::String CVXAboutWindow::buildNote()
{
    return juce::SystemStats::hasSSE2() ? CZJEResource::GetText("Other_SSE2Optimized") : juce::String();
}

void CVXAboutWindow::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colour(0xFF282828u));
    g.drawImageAt(m_picture, 5, 5);
    g.setFont(CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontLocalUI, 15.0f));
    const int b = m_picture.getHeight() - 20;
    DrawShadowedText(g, CZJEResource::GetText("Common_ApplicationName"), 20, b);
    DrawShadowedText(g, CZJEResource::GetText("Common_Version") + " : " + kVersionText, 20, b + 20);
    DrawShadowedText(g, buildNote(), 20, b + 40);
    DrawShadowedText(g, kNotice, 20, b + 60);
}

bool CVXAboutWindow::keyPressed(const juce::KeyPress&)
{
    close();
    return false;
}

void CVXAboutWindow::inputAttemptWhenModal()
{
    close();
}

void CVXAboutWindow::mouseDown(const juce::MouseEvent&)
{
    close();
}

void CVXAboutWindow::handleCommandMessage(int commandId)
{
    if (commandId == ComponentDresser::FadeInEndMessage && isShowing())
        grabKeyboardFocus();
}

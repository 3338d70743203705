#include "src/jucer_components/ComponentDresser.h"

#include "src/jucer_components/FadeInProxyComponent.h"

#include <memory>

const juce::Identifier ComponentDresser::isCurrentlyFadingIn("isCurrentlyFadingIn");

void ComponentDresser::flash(juce::Component* component, int ms, juce::Colour colour)
{
    if (component == nullptr || !component->isShowing())
        return;
    auto overlay = std::make_unique<juce::Label>();
    overlay->setColour(juce::Label::backgroundColourId, colour);
    overlay->setBounds(component->getLocalBounds());
    component->addAndMakeVisible(overlay.get());
    overlay->toFront(false);
    juce::Desktop::getInstance().getAnimator().fadeOut(overlay.get(), ms);
    component->removeChildComponent(overlay.get());
}

void ComponentDresser::fadeIn(juce::Component* component, int ms, int dx, int dy, float startScale)
{
    if (component == nullptr || component->getProperties()[isCurrentlyFadingIn])
        return;
    component->getProperties().set(isCurrentlyFadingIn, true);
    if (component->getParentComponent() == nullptr)
    {
        component->setVisible(true);
        component->getProperties().set(isCurrentlyFadingIn, false);
        component->postCommandMessage(FadeInEndMessage);
        return;
    }
    // The proxy deletes itself when the fade has ended.
    new FadeInProxyComponent(*component, ms, dx, dy, startScale);
}

int ComponentDresser::fadeInInterval(int dx, int dy)
{
    return (dx != 0 || dy != 0) ? 20 : 33;
}

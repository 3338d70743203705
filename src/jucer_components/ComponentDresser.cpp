#include "src/jucer_components/ComponentDresser.h"

#include <memory>

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
    CZfcFadeIn::Start(component, ms, dx, dy, startScale);
}

int ComponentDresser::fadeInInterval(int dx, int dy)
{
    return CZfcFadeIn::Interval(dx, dy);
}

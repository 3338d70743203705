#include "library/zfc/CZfcFadeIn.h"

#include "library/zfc/CZfcFadeInProxy.h"

const juce::Identifier CZfcFadeIn::isCurrentlyFadingIn("isCurrentlyFadingIn");

void CZfcFadeIn::Start(juce::Component* component, int ms, int dx, int dy, float startScale)
{
    if (component == nullptr || IsFadingIn(*component))
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
    new CZfcFadeInProxy(*component, ms, dx, dy, startScale);
}

int CZfcFadeIn::Interval(int dx, int dy)
{
    return (dx != 0 || dy != 0) ? 20 : 33;
}

bool CZfcFadeIn::IsFadingIn(const juce::Component& component)
{
    return static_cast<bool>(component.getProperties()[isCurrentlyFadingIn]);
}

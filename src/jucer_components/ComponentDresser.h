#pragma once

#include "library/zfc/CZfcFadeIn.h"

#include <juce_gui_basics/juce_gui_basics.h>

// Small visual effects on components: a colour flash over a control, and the
// fade-in with which sheets, the about window and other panels appear.
//
// Message thread only.
class ComponentDresser
{
public:
    // The component property that is true while a fade-in runs on a component.
    static inline const juce::Identifier& isCurrentlyFadingIn = CZfcFadeIn::isCurrentlyFadingIn;

    // The command message posted to a component when its fade-in has ended
    // (it arrives in handleCommandMessage).
    static constexpr int FadeInEndMessage = CZfcFadeIn::FadeInEndMessage;

    // Lays the colour over the component's whole area and fades it out over
    // ms. Nothing happens when the component is null or not showing. Nothing
    // stays on the component after the call: the fading picture belongs to the
    // framework's animator.
    static void flash(juce::Component* component, int ms, juce::Colour colour);

    // Fades the component in over ms: a picture of it (with its children)
    // starts offset by (-dx, -dy) at startScale and moves into place, growing
    // to full size while its opacity rises from 0. Meanwhile the component is
    // made visible but fully transparent (not hidden: a modal component that
    // is hidden leaves its modal state), so it keeps its modal state and the
    // keyboard focus; at the end it is opaque, its property
    // isCurrentlyFadingIn is cleared and FadeInEndMessage is posted to it.
    // Nothing happens while a fade-in of the component runs already. A
    // component without a parent is shown at once (with the same end). The
    // caller keeps the component alive until the fade-in ends. The modal sheet
    // of the support library runs the same fade-in (CZfcFadeIn).
    static void fadeIn(juce::Component* component, int ms, int dx, int dy, float startScale);

    // The timer interval of a fade-in: 20 ms when it moves, 33 ms otherwise.
    static int fadeInInterval(int dx, int dy);
};

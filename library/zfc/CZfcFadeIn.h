#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The fade-in with which sheets, the about window and other panels appear: a
// picture of the component (with its children) starts offset by (-dx, -dy) at
// startScale and moves into place, growing to full size while its opacity
// rises from 0. Meanwhile the component is made visible but fully transparent
// (not hidden: a modal component that is hidden leaves its modal state), so it
// keeps its modal state and the keyboard focus; at the end it is opaque, its
// property isCurrentlyFadingIn is cleared and FadeInEndMessage is posted to it.
//
// Message thread only.
class CZfcFadeIn
{
public:
    // The component property that is true while a fade-in runs on a component.
    static const juce::Identifier isCurrentlyFadingIn;

    // The command message posted to a component when its fade-in has ended
    // (it arrives in handleCommandMessage).
    static constexpr int FadeInEndMessage = 0x56584649;

    // Fades the component in over ms. Nothing happens while a fade-in of the
    // component runs already. A component without a parent is shown at once
    // (with the same end). The caller keeps the component alive until the
    // fade-in ends.
    static void Start(juce::Component* component, int ms, int dx, int dy, float startScale);

    // The timer interval of a fade-in: 20 ms when it moves, 33 ms otherwise.
    static int Interval(int dx, int dy);

    // True while a fade-in runs on the component.
    static bool IsFadingIn(const juce::Component& component);
};

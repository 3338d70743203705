#pragma once

// The player panel's views under test: the host of HostTest with the image
// resources and the look of one interface language, a clock the test sets,
// and mouse events handed to a component's handlers directly (so that no
// test depends on where the real pointer is or on the keyboard focus).

#include "src/jucer_components/ViewClock.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"
#include "tests/support/HostTestSupport.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <optional>

namespace paneltest
{
const juce::ModifierKeys kLeft(juce::ModifierKeys::leftButtonModifier);
const juce::ModifierKeys kRight(juce::ModifierKeys::rightButtonModifier);

// A mouse event on component at a point of it, with the buttons of mods;
// downAt is where the button went down (the point itself when not given).
inline juce::MouseEvent MouseEventAt(juce::Component& component, juce::Point<int> at, juce::ModifierKeys mods,
                                     std::optional<juce::Point<int>> downAt = std::nullopt)
{
    const juce::Time now = juce::Time::getCurrentTime();
    return juce::MouseEvent(juce::Desktop::getInstance().getMainMouseSource(), at.toFloat(), mods,
                            juce::MouseInputSource::defaultPressure,
                            juce::MouseInputSource::defaultOrientation,
                            juce::MouseInputSource::defaultRotation, juce::MouseInputSource::defaultTiltX,
                            juce::MouseInputSource::defaultTiltY, &component, &component, now,
                            downAt.value_or(at).toFloat(), now, 1, false);
}

// A press and a release of the left button at a point of component.
inline void Click(juce::Component& component, juce::Point<int> at)
{
    component.mouseDown(MouseEventAt(component, at, kLeft));
    component.mouseUp(MouseEventAt(component, at, kLeft));
}

// A clock that moves only when the test moves it.
class TestClock
{
public:
    Vextal::ViewClock clock()
    {
        return [this] { return now; };
    }
    void advance(int64_t ms) { now += ms; }

    int64_t now = 100000;
};

// HostTest with the interface singletons of one language.
class PanelTest : public hosttest::HostTest
{
protected:
    explicit PanelTest(const char* language = "en") : m_ui(language) {}

    // A song of seconds (stereo, 44100 Hz) appended to the list.
    Vextal::TrackInfo* AddSongOfSeconds(const std::string& name, double seconds)
    {
        return AddSong(WriteSong(name + ".wav", static_cast<int64_t>(seconds * 44100.0)));
    }

    uitest::ScopedInterface m_ui;
    TestClock m_clock;
};
} // namespace paneltest

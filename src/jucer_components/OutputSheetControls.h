#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

class CVXHost;

namespace Vextal
{
// What the export sheet and the disc-burn sheet share in building their
// controls: captions and choice boxes of one look, and the question whether
// the songlist has selected songs (which offers "Selected Songs" as the
// source).
namespace OutputSheetControls
{
// A caption in the sheet's plain 15-point face (the local interface font for
// Japanese), black on nothing, placed and shown in parent.
void setUpCaption(juce::Component& parent, juce::Label& label, juce::Rectangle<int> bounds);

// A choice box that shows nothing until a choice is made, drawn with look
// (not owned) and reporting to listener, placed and shown in parent.
void setUpChoiceBox(juce::Component& parent, juce::ComboBox& box, juce::Rectangle<int> bounds,
                    juce::LookAndFeel* look, juce::ComboBox::Listener* listener);

// Whether the host (the application's when null) has selected songs, asked
// each time the function is called.
std::function<bool()> hasSelectedSongs(CVXHost* host);
} // namespace OutputSheetControls
} // namespace Vextal

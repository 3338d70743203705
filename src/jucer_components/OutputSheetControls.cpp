#include "src/jucer_components/OutputSheetControls.h"

#include "src/CVXLookAndFeel.h"
#include "src/songlist/CVXHost.h"

namespace Vextal
{
namespace OutputSheetControls
{
namespace
{
constexpr float kCaptionFontHeight = 15.0f;
}

void setUpCaption(juce::Component& parent, juce::Label& label, juce::Rectangle<int> bounds)
{
    label.setFont(juce::Font(kCaptionFontHeight, juce::Font::plain));
    label.setJustificationType(juce::Justification::centredLeft);
    label.setEditable(false, false, false);
    label.setColour(juce::Label::textColourId, juce::Colours::black);
    label.setColour(juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    if (const CVXLookAndFeel* look = CVXLookAndFeel::GetInstance())
        look->applyLocalUIFontToLabel(label);
    label.setBounds(bounds);
    parent.addAndMakeVisible(label);
}

void setUpChoiceBox(juce::Component& parent, juce::ComboBox& box, juce::Rectangle<int> bounds,
                    juce::LookAndFeel* look, juce::ComboBox::Listener* listener)
{
    box.setEditableText(false);
    box.setJustificationType(juce::Justification::centredLeft);
    box.setTextWhenNothingSelected(juce::String());
    box.setTextWhenNoChoicesAvailable("(no choices)");
    box.setLookAndFeel(look);
    box.addListener(listener);
    box.setBounds(bounds);
    parent.addAndMakeVisible(box);
}

std::function<bool()> hasSelectedSongs(CVXHost* host)
{
    return [host]
    {
        const CVXHost* h = host != nullptr ? host : CVXHost::GetInstance();
        return h != nullptr && !h->GetSelection().isEmpty();
    };
}
} // namespace OutputSheetControls
} // namespace Vextal

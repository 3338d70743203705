#include "library/util/ImeUtil.h"

namespace ImeUtil
{
void setEnabled(juce::Component*, bool) {}

void setOnOff(juce::Component*, bool) {}

void setFont(juce::Component*, const juce::Font&) {}

void clearInputString(juce::Component*) {}
} // namespace ImeUtil

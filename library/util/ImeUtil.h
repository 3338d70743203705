#pragma once

namespace juce
{
class Component;
class Font;
} // namespace juce

// Input-method control of text components. The platform's input methods
// need no control from the application, so these do nothing.
namespace ImeUtil
{
void setEnabled(juce::Component* component, bool enabled);
void setOnOff(juce::Component* component, bool on);
void setFont(juce::Component* component, const juce::Font& font);
void clearInputString(juce::Component* component);
} // namespace ImeUtil

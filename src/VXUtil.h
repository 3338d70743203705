#pragma once

#include <juce_core/juce_core.h>

// Text functions shared by the views: the file patterns of the choosers and
// the key descriptions shown in menus.
namespace Vextal
{
// The pattern of the audio-file chooser: "*.wav;*.aif;*.aiff;", then
// "*.mp3;*.m4a;*.wma;" when the compressed-file decoder is available, then
// "*.cda;*.vxsl" (songlists are added like audio files).
juce::String getAudioFileWildcard();

// "jpg", "jpeg", "png"; with withAudioFiles also the audio files that can carry
// a picture: "aif", "aiff", and "mp3", "m4a" when the compressed-file decoder
// is available.
juce::StringArray getImageFileExtensions(bool withAudioFiles);

// "*.<extension>;" for every extension of getImageFileExtensions, in order.
juce::String getImageFileWildcard(bool withAudioFiles);

// The framework's description of a key press as menus show it: ", backspace"
// (a second key) removed, "spacebar" as the localized "Menu_Key_Space",
// "shortcut:" and apostrophes removed, "cursor left" and "cursor right" as the
// localized "Symbol_Left" and "Symbol_Right". Every match is case-sensitive.
juce::String fixShortcutKeyText(const juce::String& text);
} // namespace Vextal

#pragma once

#include <juce_core/juce_core.h>

// Text functions shared by the views and sessions: the file patterns of the
// choosers, the key descriptions shown in menus, and sample rates, sizes and
// times in one form.
namespace Vextal
{
// The pattern of the audio-file chooser: "*.wav;*.aif;*.aiff;", then
// "*.mp3;*.m4a;*.wma;" when the compressed-file decoder is available, then
// "*.cda;*.cue;*.vxsl" (songlists are added like audio files, a disc image
// like the audio CD it holds).
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

// A rate with exactly one decimal, cut rather than rounded, in Hz, kHz (from
// 1000) or MHz (from 1,000,000): 44100 gives "44.1 kHz", 999 "999.0 Hz";
// without spaceBeforeUnit "44.1kHz".
juce::String convertSampleRateToString(double rate, bool spaceBeforeUnit);

// A size: "1 byte" for exactly one byte and "<n> bytes" below one unit step
// (1000 with thousands, else 1024), both units localized; then KB, MB and GB
// with the given number of decimal places (0 to 10).
juce::String descriptionOfSizeInBytes(juce::int64 bytes, bool thousands, int decimals);

// A time, first rounded to the millisecond (so 59.9996 s reads as one
// minute). Style 1: "m:ss", or "h:mm:ss" from one hour; any other style
// "hh:mm:ss.mmm".
juce::String convertTimeToString(int hours, int minutes, float seconds, int style);
juce::String convertTimeToString(double seconds, int style);
} // namespace Vextal

#pragma once

#include <juce_core/juce_core.h>

// How volume paths are compared. The system names one volume in several
// ways ("/media/disc/", "/media//disc", "/dev/cdrom" beside "/dev/sr0"), so
// every comparison of a volume path with another path goes through these.
class CVolumePath
{
public:
    CVolumePath() = delete;

    // The path in one form: separators collapsed, "." and ".." resolved
    // within the path (never above "/"), no trailing "/" except for the root.
    // Looks at the text only; a relative or empty path gives the empty text.
    static juce::String Normalise(const juce::String& path);

    // Normalise, then every symbolic link resolved where the path exists
    // (a device link such as "/dev/cdrom" becomes "/dev/sr0").
    static juce::String Canonical(const juce::String& path);

    // Whether path is the volume's root or lies under it, compared in
    // normalised form by whole path components ("/media/disc2" is not on
    // "/media/disc"). False when either is not an absolute path.
    static bool IsOnVolume(const juce::String& path, const juce::String& volume);
};

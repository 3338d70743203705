#pragma once

#include <juce_core/juce_core.h>

// Lists the audio CDs that can be opened now, with what the disc-open sheet
// shows of each: the volume path, the kind of disc, a title, the number of
// tracks and the total playing time. The CDs are those in the system's
// drives and the BIN/CUE disc images the user opened (see CAudioCDPath for
// how both are named), which stand in for mounted discs.
//
// Threads. A scan may run on any thread (the disc-open sheet scans on its
// own); it keeps no state but the list of opened images, which is guarded by
// its own lock.
class DiscOpenManager
{
public:
    static constexpr char kDiscTypeAudioCDKey[] = "DiscOpen_DiscType_AudioCD";
    // The most characters of a title.
    static constexpr int kMaxTitleLength = 1024;

    // One audio CD.
    class DiscInfo
    {
    public:
        virtual ~DiscInfo() = default;

        // A message key; the sheet shows its localized text.
        const char* type = kDiscTypeAudioCDKey;
        // The volume path.
        juce::String path;
        juce::String title;
        int tracks = 0;
        double seconds = 0.0;
        // What to add when the disc is opened: the volume path.
        juce::StringArray paths;
    };

    // Deletes every entry of the list, then adds one per audio CD: those of
    // the drives in the order the system lists them, then the opened images
    // in the order they were opened (an image no longer readable is left
    // out).
    void scan(juce::OwnedArray<DiscInfo>& list);

    // Adds an entry when the volume is an audio CD with at least one track.
    // True when it opened as an audio CD; false when it is no CD volume, does
    // not exist or did not open. The title is the disc's CD-Text title, else
    // its volume name (an image's name), else the localized disc type, with
    // full-width letters made plain.
    bool addIfAudioCD(const juce::File& volume, juce::OwnedArray<DiscInfo>& list);

    // The disc images the user opened, by the path of their cue sheet
    // (normalised; an image is listed once). Removing one not listed does
    // nothing.
    static void addOpenedImage(const juce::String& cuePath);
    static void removeOpenedImage(const juce::String& cuePath);
    static juce::StringArray getOpenedImages();
};

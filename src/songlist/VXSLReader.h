#pragma once

#include "src/songlist/TrackReader.h"

#include <juce_core/juce_core.h>

#include <memory>
#include <vector>

namespace Vextal
{
// The songs of a songlist file, one record per Track element in document
// order; relative paths resolve against the songlist's folder. A file that is
// missing or not a songlist yields no songs and the localized
// "Songlist_Invalid", one of a newer format the localized
// "Songlist_NewerVersion", as error message.
class VXSLReader : public TrackReader
{
public:
    explicit VXSLReader(const juce::String& path);
    ~VXSLReader() override;

    bool isReady() const override;
    // Also when parts of the song were missing; the error message then tells
    // which.
    std::unique_ptr<TrackInfo> next() override;
    double getCurrentProgress() const override;

    int getNumSongs() const { return static_cast<int>(m_tracks.size()); }
    const juce::String& getErrorMessage() const { return m_error; }

private:
    juce::File m_folder;
    std::unique_ptr<juce::XmlElement> m_document;
    std::vector<const juce::XmlElement*> m_tracks;
    int m_index = 0;
    juce::String m_error;
};
} // namespace Vextal

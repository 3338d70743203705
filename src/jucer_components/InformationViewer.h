#pragma once

#include "src/jucer_components/SongInfoViewers.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The text area of the player panel: the current song's name, its elapsed
// time and, after a "/", its total time. It only lays the viewers out; each
// viewer keeps itself current from the host's notices.
//
// Message thread only.
class InformationViewer : public juce::Component
{
public:
    explicit InformationViewer(CVXHost& host);
    ~InformationViewer() override;

    void paint(juce::Graphics&) override {}

    const SongNameViewer& getNameViewer() const { return m_name; }
    const SongTimeCounter& getTimeCounter() const { return m_time; }
    const SongTimeViewer& getTotalTimeViewer() const { return m_total; }

private:
    SongNameViewer m_name;
    SongTimeCounter m_time;
    SongTimeViewer m_total;
    juce::Label m_separator;

    JUCE_DECLARE_NON_COPYABLE(InformationViewer)
};

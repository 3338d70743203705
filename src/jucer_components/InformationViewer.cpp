#include "src/jucer_components/InformationViewer.h"

#include "src/CVXLookAndFeel.h"

InformationViewer::InformationViewer(CVXHost& host)
    : m_name(host), m_time(host), m_total(host), m_separator("Separator", "/")
{
    m_separator.setFont(CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontTime, 18.0f, juce::Font::bold));
    m_separator.setColour(juce::Label::textColourId, juce::Colours::white);
    addAndMakeVisible(m_name);
    addAndMakeVisible(m_time);
    addAndMakeVisible(m_total);
    addAndMakeVisible(m_separator);
    m_name.setBounds(10, 6, 220, 30);
    m_time.setBounds(260, 8, 107, 30);
    m_total.setBounds(364, 8, 107, 30);
    m_separator.setBounds(358, 11, 20, 24);
    setSize(480, 45);
}

InformationViewer::~InformationViewer() = default;

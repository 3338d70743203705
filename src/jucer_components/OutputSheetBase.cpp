#include "src/jucer_components/OutputSheetBase.h"

#include "library/vextal_juce/CZJEText.h"
#include "src/CVXLookAndFeel.h"
#include "src/ComboBoxLookAndFeel.h"
#include "src/Output/ExportParameter/ExportParameterComponentBinder.h"
#include "src/Output/ExportParameter/ExportParameterDisplay.h"
#include "src/songlist/CVXHost.h"

namespace Vextal
{
namespace
{
constexpr float kCaptionFontHeight = 15.0f;
constexpr int kOptionRowHeight = 16;

using CZJEText::Text;

// Whether the host (the application's when null) has selected songs, asked
// each time the function is called.
std::function<bool()> HasSelectedSongs(CVXHost* host)
{
    return [host]
    {
        const CVXHost* h = host != nullptr ? host : CVXHost::GetInstance();
        return h != nullptr && !h->GetSelection().isEmpty();
    };
}
} // namespace

OutputSheetBase::OutputSheetBase(const juce::String& cancelPropertyName, CVXHost* host,
                                 std::unique_ptr<ExportParameter> own, const Layout& layout)
    : m_cancelPropertyName(cancelPropertyName), m_host(host), m_common(HasSelectedSongs(host)),
      m_own(std::move(own)), m_sourceCaption("Export_Source", "Songs"), m_source("Source"),
      m_cancel("Cancel"), m_optionGroup("Option", "Option"),
      m_optionTable(std::make_unique<ExportParameterDisplay>(kOptionRowHeight, layout.optionCaptionWidth,
                                                             layout.optionValueWidth, 0)),
      m_edit("Edit")
{
    m_comboLook = std::make_unique<ComboBoxLookAndFeel>(&m_source, CVXLookAndFeel::kFontLocalUI);

    setUpCaption(m_sourceCaption, {16, 16, 150, 24});
    setUpChoiceBox(m_source, {128, 16, 216, 24});
    m_cancel.setBounds(layout.cancel);
    m_optionGroup.setBounds(layout.optionGroup);
    addAndMakeVisible(m_optionGroup);
    m_optionTable->setBounds(layout.optionTable);
    addAndMakeVisible(*m_optionTable);
    m_edit.setBounds(layout.edit);
    for (juce::Button* b : {&m_cancel, &m_edit})
    {
        b->addListener(this);
        addAndMakeVisible(b);
    }

    m_sourceCaption.setText(Text("Export_Source"), juce::dontSendNotification);
    m_cancel.setButtonText(Text("Button_Cancel"));
    m_optionGroup.setText(Text("Export_Option"));
    m_edit.setButtonText(Text("Export_Edit"));

    bindComponent(m_common, CommonExportParameter::kSource, &m_source);
    for (ExportParameter* set : {static_cast<ExportParameter*>(&m_common), m_own.get()})
    {
        const juce::ScopedLock lock(set->ObtainCriticalSection());
        set->AddListener(this);
    }
    setSize(kWidth, layout.height);
}

OutputSheetBase::~OutputSheetBase()
{
    for (ExportParameter* set : {static_cast<ExportParameter*>(&m_common), m_own.get()})
    {
        const juce::ScopedLock lock(set->ObtainCriticalSection());
        set->RemoveListener(this);
    }
    m_optionTable.reset();
    m_common.unbindComponent(&m_source);
    m_source.setLookAndFeel(nullptr);
}

void OutputSheetBase::setUpCaption(juce::Label& label, juce::Rectangle<int> bounds)
{
    label.setFont(juce::Font(kCaptionFontHeight, juce::Font::plain));
    label.setJustificationType(juce::Justification::centredLeft);
    label.setEditable(false, false, false);
    label.setColour(juce::Label::textColourId, juce::Colours::black);
    label.setColour(juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    if (const CVXLookAndFeel* look = CVXLookAndFeel::GetInstance())
        look->applyLocalUIFontToLabel(label);
    label.setBounds(bounds);
    addAndMakeVisible(label);
}

void OutputSheetBase::setUpChoiceBox(juce::ComboBox& box, juce::Rectangle<int> bounds)
{
    box.setEditableText(false);
    box.setJustificationType(juce::Justification::centredLeft);
    box.setTextWhenNothingSelected(juce::String());
    box.setTextWhenNoChoicesAvailable("(no choices)");
    box.setLookAndFeel(m_comboLook.get());
    box.addListener(this);
    box.setBounds(bounds);
    addAndMakeVisible(box);
}

void OutputSheetBase::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colour(kBackgroundColour));
}

void OutputSheetBase::resized() {}

void OutputSheetBase::comboBoxChanged(juce::ComboBox*) {}

void OutputSheetBase::resetCommonParameter()
{
    m_common.copyValue(CommonExportParameter(HasSelectedSongs(m_host)));
}

void OutputSheetBase::setCancelled(bool cancelled)
{
    getProperties().set(m_cancelPropertyName, cancelled);
}
} // namespace Vextal

#include "src/jucer_components/ExportSheet.h"
#include "src/Output/ExportParameter/ExportParameterComponentBinder.h"
#include "src/jucer_components/OutputSheetControls.h"

#include "library/vextal_juce/CZJEText.h"
#include "src/CVXLookAndFeel.h"
#include "src/ComboBoxLookAndFeel.h"
#include "src/Output/ExportParameter/ExportParameterDialog.h"
#include "src/Output/ExportParameter/ExportParameterDisplay.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/Output/ExportManager.h"
#include "src/songlist/Output/FileExportSession.h"

namespace Vextal
{
namespace
{
constexpr const char* kOkShortcut = "ctrl + shift + E";
constexpr const char* kCancelShortcut = "escape";

using CZJEText::Text;

} // namespace

ExportSheet::ExportSheet(const juce::String& cancelPropertyName, CVXHost* host, CommandManager* commands)
    : m_cancelPropertyName(cancelPropertyName), m_host(host), m_commands(commands),
      m_common(OutputSheetControls::hasSelectedSongs(host)), m_sourceCaption("Export_Source", "Songs"),
      m_source("Source"), m_destinationCaption("Export_Destination", "Destination"),
      m_destination("Destination", juce::File(), true, true, false, juce::String(), juce::String(),
                    juce::String()),
      m_formatCaption("Export_FileFormat", "Format"), m_format("Format"),
      m_typeCaption("Export_FileType", "Type"), m_type("Type"),
      m_sampleRateCaption("Export_SampleRate", "Sample Rate"), m_sampleRate("SampleRate"),
      m_bitDepthCaption("Export_BitDepth", "Bit Depth"), m_bitDepth("BitDepth"),
      m_bitRateCaption("Export_BitRate", "Bit Rate"), m_bitRate("BitRate"), m_cancel("Cancel"), m_ok("OK"),
      m_optionGroup("Option", "Option"),
      m_optionTable(std::make_unique<ExportParameterDisplay>(16, 120, 176, 0)), m_edit("Edit")
{
    m_comboLook = std::make_unique<ComboBoxLookAndFeel>(&m_source, CVXLookAndFeel::kFontLocalUI);
    m_chooserLook = std::make_unique<ComboBoxLookAndFeel>(&m_source, CVXLookAndFeel::kFontLocalText);

    setupLabel(m_sourceCaption, {16, 16, 150, 24});
    setupComboBox(m_source, {128, 16, 216, 24});
    setupLabel(m_destinationCaption, {16, 48, 150, 24});
    m_destination.setBounds(16, 72, 328, 24);
    m_destination.setLookAndFeel(m_chooserLook.get());
    addAndMakeVisible(m_destination);
    setupLabel(m_formatCaption, {16, 112, 104, 24});
    setupComboBox(m_format, {128, 112, 216, 24});
    setupLabel(m_typeCaption, {16, 144, 104, 24});
    setupComboBox(m_type, {128, 144, 216, 24});
    setupLabel(m_sampleRateCaption, {16, 176, 104, 24});
    setupComboBox(m_sampleRate, {128, 176, 216, 24});
    setupLabel(m_bitDepthCaption, {16, 208, 104, 24});
    setupComboBox(m_bitDepth, {128, 208, 216, 24});
    setupLabel(m_bitRateCaption, {16, 208, 104, 24});
    setupComboBox(m_bitRate, {128, 208, 216, 24});

    m_cancel.setBounds(48, 248, 96, 24);
    m_ok.setBounds(216, 248, 96, 24);
    m_optionGroup.setBounds(16, 288, 328, 104);
    addAndMakeVisible(m_optionGroup);
    m_optionTable->setBounds(32, 312, 296, 48);
    addAndMakeVisible(*m_optionTable);
    m_edit.setBounds(280, 360, 54, 24);
    for (juce::Button* b : {&m_cancel, &m_ok, &m_edit})
    {
        b->addListener(this);
        addAndMakeVisible(b);
    }

    localize();

    bindComponent(m_common, CommonExportParameter::kSource, &m_source);
    bindComponent(m_file, FileExportParameter::kOutputPath, &m_destination);
    bindComponent(m_file, FileExportParameter::kFormat, &m_format);
    bindComponent(m_file, FileExportParameter::kType, &m_type);
    bindComponent(m_file, FileExportParameter::kSampleRate, &m_sampleRate);
    bindComponent(m_file, FileExportParameter::kBitDepth, &m_bitDepth);
    bindComponent(m_file, FileExportParameter::kQualityOption, &m_bitRate);

    m_optionTable->add(m_common, CommonExportParameter::kDsdFilter, Text("Export_Filter") + ":", false);
    m_optionTable->add(m_common, CommonExportParameter::kNormalizeMode, Text("Export_Normalize") + ":",
                       false);
    m_optionTable->add(m_common, CommonExportParameter::kDitherType, Text("Export_Dither") + ":", false);
    updateBitVisibility();
    hideUnusedOptions();
    m_optionTable->updateLayout();

    for (ExportParameter* set :
         {static_cast<ExportParameter*>(&m_common), static_cast<ExportParameter*>(&m_file)})
    {
        const juce::ScopedLock lock(set->ObtainCriticalSection());
        set->AddListener(this);
    }
    setSize(kWidth, kHeight);
}

ExportSheet::~ExportSheet()
{
    for (ExportParameter* set :
         {static_cast<ExportParameter*>(&m_common), static_cast<ExportParameter*>(&m_file)})
    {
        const juce::ScopedLock lock(set->ObtainCriticalSection());
        set->RemoveListener(this);
    }
    m_optionTable.reset();
    for (juce::Component* c : std::initializer_list<juce::Component*>{
             &m_source, &m_destination, &m_format, &m_type, &m_sampleRate, &m_bitDepth, &m_bitRate})
    {
        m_common.unbindComponent(c);
        m_file.unbindComponent(c);
        c->setLookAndFeel(nullptr);
    }
}

void ExportSheet::setupLabel(juce::Label& label, juce::Rectangle<int> bounds)
{
    OutputSheetControls::setUpCaption(*this, label, bounds);
}

void ExportSheet::setupComboBox(juce::ComboBox& box, juce::Rectangle<int> bounds)
{
    OutputSheetControls::setUpChoiceBox(*this, box, bounds, m_comboLook.get(), this);
}

void ExportSheet::localize()
{
    m_sourceCaption.setText(Text("Export_Source"), juce::dontSendNotification);
    m_destinationCaption.setText(Text("Export_Destination"), juce::dontSendNotification);
    m_formatCaption.setText(Text("Export_FileFormat"), juce::dontSendNotification);
    m_typeCaption.setText(Text("Export_FileType"), juce::dontSendNotification);
    m_sampleRateCaption.setText(Text("Export_SampleRate"), juce::dontSendNotification);
    m_bitDepthCaption.setText(Text("Export_BitDepth"), juce::dontSendNotification);
    m_bitRateCaption.setText(Text("Export_BitRate"), juce::dontSendNotification);
    m_cancel.setButtonText(Text("Button_Cancel"));
    m_ok.setButtonText(Text("Button_Ok"));
    m_optionGroup.setText(Text("Export_Option"));
    m_edit.setButtonText(Text("Export_Edit"));
}

void ExportSheet::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colour(kBackgroundColour));
}

void ExportSheet::resized() {}

void ExportSheet::DoBeforeOpen()
{
    m_common.updateEnablements(CommonExportParameter::kSource);
    // The choices of an earlier opening that was cancelled go: a value that
    // was never stored reads back as the default, not as that choice.
    m_common.copyValue(CommonExportParameter(OutputSheetControls::hasSelectedSongs(m_host)));
    const FileExportParameter defaults;
    m_file.copyValue(defaults);
    m_file.rememberedQuality = defaults.rememberedQuality;
    m_common.readPreferences();
    m_file.readPreferences();
    m_destination.setRecentlyUsedFilenames(m_file.outputPathHistory);
    if (CVXLookAndFeel* look = CVXLookAndFeel::GetInstance())
        look->setFilenameComponentDialogMessage(Text("Export_Destination"), true);
    m_ok.addShortcut(juce::KeyPress::createFromDescription(kOkShortcut));
    m_cancel.addShortcut(juce::KeyPress::createFromDescription(kCancelShortcut));
}

void ExportSheet::DoBeforeClose()
{
    m_ok.clearShortcuts();
    m_cancel.clearShortcuts();
}

void ExportSheet::comboBoxChanged(juce::ComboBox*) {}

void ExportSheet::buttonClicked(juce::Button* button)
{
    if (button == &m_cancel)
    {
        setCancelled(true);
        Close();
    }
    else if (button == &m_ok)
    {
        startExport();
    }
    else if (button == &m_edit)
    {
        showOptionDialog();
    }
}

void ExportSheet::exportParameterChanged(ExportParameter*, int)
{
    if (hideUnusedOptions())
        m_optionTable->updateLayout();
}

void ExportSheet::exportBoundComponentChangedInternally(ExportParameter*, int, juce::Component* component)
{
    if (component == nullptr || component->getParentComponent() != this)
        return;
    if (component == &m_bitRate)
    {
        updateBitVisibility();
        if (m_bitDepth.isVisible())
            flashChangedComponent(&m_bitDepth);
    }
    if (auto* box = dynamic_cast<juce::ComboBox*>(component); box != nullptr && box->isEnabled())
        flashChangedComponent(box);
}

void ExportSheet::showOptionDialog()
{
    ExportParameterDialog dialog(Text("Export_Title"), Text("Export_Option"));
    dialog.addParameterComboBox(m_common, CommonExportParameter::kNormalizeMode, Text("Export_Normalize"));
    if (!dialog.show())
        dialog.undo();
}

std::unique_ptr<ExportSession> ExportSheet::makeSession()
{
    return std::make_unique<FileExportSession>(m_common, m_file, m_host, m_commands);
}

void ExportSheet::updateBitVisibility()
{
    const bool compressed = m_bitRate.isEnabled();
    m_bitRateCaption.setVisible(compressed);
    m_bitRate.setVisible(compressed);
    m_bitDepthCaption.setVisible(!compressed);
    m_bitDepth.setVisible(!compressed);
}

bool ExportSheet::hideUnusedOptions()
{
    const bool filter =
        m_optionTable->setParameterVisible(m_common, CommonExportParameter::kDsdFilter, false, false);
    const bool dither =
        m_optionTable->setParameterVisible(m_common, CommonExportParameter::kDitherType, false, false);
    return filter || dither;
}

void ExportSheet::startExport()
{
    ExportManager* manager = ExportManager::GetInstance();
    if (manager == nullptr)
        return;
    std::unique_ptr<ExportSession> session = makeSession();
    // A refused session stays here and goes with this scope (one whose start
    // failed has been deleted by the manager already).
    if (!manager->start(session))
        return;
    m_common.writePreferences();
    m_file.outputPathHistory = m_destination.getRecentlyUsedFilenames();
    m_file.writePreferences();
    setCancelled(false);
}

void ExportSheet::setCancelled(bool cancelled)
{
    getProperties().set(m_cancelPropertyName, cancelled);
}
} // namespace Vextal

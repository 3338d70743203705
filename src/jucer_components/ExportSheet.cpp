#include "src/jucer_components/ExportSheet.h"
#include "src/Output/ExportParameter/ExportParameterComponentBinder.h"

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

using CZJEText::Text;

const OutputSheetBase::Layout kLayout = {
    ExportSheet::kHeight,
    /* cancel */ {48, 248, 96, 24},
    /* optionGroup */ {16, 288, 328, 104},
    /* optionTable */ {32, 312, 296, 48},
    /* optionCaptionWidth */ 120,
    /* optionValueWidth */ 176,
    /* edit */ {280, 360, 54, 24},
};
} // namespace

ExportSheet::ExportSheet(const juce::String& cancelPropertyName, CVXHost* host, CommandManager* commands)
    : OutputSheetBase(cancelPropertyName, host, std::make_unique<FileExportParameter>(), kLayout),
      m_commands(commands), m_file(static_cast<FileExportParameter&>(getOwnParameter())),
      m_destinationCaption("Export_Destination", "Destination"),
      m_destination("Destination", juce::File(), true, true, false, juce::String(), juce::String(),
                    juce::String()),
      m_formatCaption("Export_FileFormat", "Format"), m_format("Format"),
      m_typeCaption("Export_FileType", "Type"), m_type("Type"),
      m_sampleRateCaption("Export_SampleRate", "Sample Rate"), m_sampleRate("SampleRate"),
      m_bitDepthCaption("Export_BitDepth", "Bit Depth"), m_bitDepth("BitDepth"),
      m_bitRateCaption("Export_BitRate", "Bit Rate"), m_bitRate("BitRate"), m_ok("OK")
{
    m_chooserLook = std::make_unique<ComboBoxLookAndFeel>(&getSourceBox(), CVXLookAndFeel::kFontLocalText);

    setUpCaption(m_destinationCaption, {16, 48, 150, 24});
    m_destination.setBounds(16, 72, 328, 24);
    m_destination.setLookAndFeel(m_chooserLook.get());
    addAndMakeVisible(m_destination);
    setUpCaption(m_formatCaption, {16, 112, 104, 24});
    setUpChoiceBox(m_format, {128, 112, 216, 24});
    setUpCaption(m_typeCaption, {16, 144, 104, 24});
    setUpChoiceBox(m_type, {128, 144, 216, 24});
    setUpCaption(m_sampleRateCaption, {16, 176, 104, 24});
    setUpChoiceBox(m_sampleRate, {128, 176, 216, 24});
    setUpCaption(m_bitDepthCaption, {16, 208, 104, 24});
    setUpChoiceBox(m_bitDepth, {128, 208, 216, 24});
    setUpCaption(m_bitRateCaption, {16, 208, 104, 24});
    setUpChoiceBox(m_bitRate, {128, 208, 216, 24});

    m_ok.setBounds(216, 248, 96, 24);
    m_ok.addListener(this);
    addAndMakeVisible(m_ok);

    localize();

    bindComponent(m_file, FileExportParameter::kOutputPath, &m_destination);
    bindComponent(m_file, FileExportParameter::kFormat, &m_format);
    bindComponent(m_file, FileExportParameter::kType, &m_type);
    bindComponent(m_file, FileExportParameter::kSampleRate, &m_sampleRate);
    bindComponent(m_file, FileExportParameter::kBitDepth, &m_bitDepth);
    bindComponent(m_file, FileExportParameter::kQualityOption, &m_bitRate);

    CommonExportParameter& common = getCommonParameter();
    ExportParameterDisplay& options = getOptionTable();
    options.add(common, CommonExportParameter::kDsdFilter, Text("Export_Filter") + ":", false);
    options.add(common, CommonExportParameter::kNormalizeMode, Text("Export_Normalize") + ":", false);
    options.add(common, CommonExportParameter::kDitherType, Text("Export_Dither") + ":", false);
    updateBitVisibility();
    hideUnusedOptions();
    options.updateLayout();
}

ExportSheet::~ExportSheet() = default;

void ExportSheet::localize()
{
    m_destinationCaption.setText(Text("Export_Destination"), juce::dontSendNotification);
    m_formatCaption.setText(Text("Export_FileFormat"), juce::dontSendNotification);
    m_typeCaption.setText(Text("Export_FileType"), juce::dontSendNotification);
    m_sampleRateCaption.setText(Text("Export_SampleRate"), juce::dontSendNotification);
    m_bitDepthCaption.setText(Text("Export_BitDepth"), juce::dontSendNotification);
    m_bitRateCaption.setText(Text("Export_BitRate"), juce::dontSendNotification);
    m_ok.setButtonText(Text("Button_Ok"));
}

void ExportSheet::DoBeforeOpen()
{
    CommonExportParameter& common = getCommonParameter();
    common.updateEnablements(CommonExportParameter::kSource);
    // The choices of an earlier opening that was cancelled go: a value that
    // was never stored reads back as the default, not as that choice.
    resetCommonParameter();
    const FileExportParameter defaults;
    m_file.copyValue(defaults);
    m_file.rememberedQuality = defaults.rememberedQuality;
    common.readPreferences();
    m_file.readPreferences();
    m_destination.setRecentlyUsedFilenames(m_file.outputPathHistory);
    if (CVXLookAndFeel* look = CVXLookAndFeel::GetInstance())
        look->setFilenameComponentDialogMessage(Text("Export_Destination"), true);
    m_ok.addShortcut(juce::KeyPress::createFromDescription(kOkShortcut));
    getCancelButton().addShortcut(juce::KeyPress::createFromDescription(kCancelShortcut));
}

void ExportSheet::DoBeforeClose()
{
    m_ok.clearShortcuts();
    getCancelButton().clearShortcuts();
}

void ExportSheet::buttonClicked(juce::Button* button)
{
    if (button == &getCancelButton())
    {
        setCancelled(true);
        Close();
    }
    else if (button == &m_ok)
    {
        startExport();
    }
    else if (button == &getEditButton())
    {
        showOptionDialog();
    }
}

void ExportSheet::exportParameterChanged(ExportParameter*, int)
{
    if (hideUnusedOptions())
        getOptionTable().updateLayout();
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
    dialog.addParameterComboBox(getCommonParameter(), CommonExportParameter::kNormalizeMode,
                                Text("Export_Normalize"));
    if (!dialog.show())
        dialog.undo();
}

std::unique_ptr<ExportSession> ExportSheet::makeSession()
{
    return std::make_unique<FileExportSession>(getCommonParameter(), m_file, getHost(), m_commands);
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
    CommonExportParameter& common = getCommonParameter();
    const bool filter =
        getOptionTable().setParameterVisible(common, CommonExportParameter::kDsdFilter, false, false);
    const bool dither =
        getOptionTable().setParameterVisible(common, CommonExportParameter::kDitherType, false, false);
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
    getCommonParameter().writePreferences();
    m_file.outputPathHistory = m_destination.getRecentlyUsedFilenames();
    m_file.writePreferences();
    setCancelled(false);
}
} // namespace Vextal

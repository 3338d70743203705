#include "src/jucer_components/DiscBurnSheet.h"
#include "src/Output/ExportParameter/ExportParameterComponentBinder.h"
#include "src/jucer_components/OutputSheetControls.h"

#include "common/disc/CAudioDiscBurnProxy.h"
#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/CVXLookAndFeel.h"
#include "src/ComboBoxLookAndFeel.h"
#include "src/Output/ExportParameter/ExportParameterDialog.h"
#include "src/Output/ExportParameter/ExportParameterDisplay.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/DialogManager.h"
#include "src/songlist/Output/DiscBurnSession.h"
#include "src/songlist/Output/DiscEraseSession.h"
#include "src/songlist/Output/ExportManager.h"
#include "src/songlist/TrackInfo.h"

namespace Vextal
{
namespace
{
constexpr const char* kBurnShortcut = "ctrl + shift + B";
constexpr const char* kCancelShortcut = "escape";
constexpr int kToggleHeight = 24;

juce::String Text(const char* key)
{
    return CZJEResource::GetText(key);
}

CAudioDiscBurnProxy& BurnerOf(CAudioDiscBurnProxy* burner)
{
    if (burner != nullptr)
        return *burner;
    ExportManager* manager = ExportManager::GetInstance();
    VX_CHECK(manager != nullptr);
    return manager->getDiscBurner();
}
} // namespace

DiscBurnSheet::DiscBurnSheet(const juce::String& cancelPropertyName, CVXHost* host,
                             CAudioDiscBurnProxy* burner)
    : m_cancelPropertyName(cancelPropertyName), m_host(host), m_burner(BurnerOf(burner)),
      m_common(OutputSheetControls::hasSelectedSongs(host)), m_burnParam(m_burner),
      m_sourceCaption("Export_Source", "Songs"), m_source("Source"),
      m_discFormatCaption("DiscBurn_DiscFormat", "Disc Format"), m_discFormat("DiscFormat"),
      m_driveCaption("DiscBurn_Drive", "Drive"), m_drive("Drive"), m_discState("DiscState", "No disc"),
      m_eject("Eject"), m_writeSpeedCaption("DiscBurn_WriteSpeed", "Write Speed"), m_writeSpeed("WriteSpeed"),
      m_cancel("Cancel"), m_erase("Erase"), m_burn("Burn"), m_optionGroup("Option", "Option"),
      m_optionTable(std::make_unique<ExportParameterDisplay>(16, 136, 160, 0)), m_edit("Edit")
{
    m_comboLook = std::make_unique<ComboBoxLookAndFeel>(&m_source, CVXLookAndFeel::kFontLocalUI);

    setupLabel(m_sourceCaption, {16, 16, 150, 24});
    setupComboBox(m_source, {128, 16, 216, 24});
    setupLabel(m_discFormatCaption, {16, 56, 150, 24});
    setupComboBox(m_discFormat, {128, 56, 216, 24});
    setupLabel(m_driveCaption, {16, 96, 102, 24});
    setupComboBox(m_drive, {128, 96, 216, 24});
    setupLabel(m_discState, {128, 120, 152, 24});
    m_discState.setColour(juce::Label::outlineColourId, juce::Colours::transparentBlack);
    setupLabel(m_writeSpeedCaption, {16, 160, 112, 24});
    setupComboBox(m_writeSpeed, {128, 160, 216, 24});

    m_eject.setBounds(288, 120, 56, 24);
    m_eject.setConnectedEdges(juce::Button::ConnectedOnTop);
    m_cancel.setBounds(16, 200, 88, 24);
    m_erase.setBounds(168, 200, 88, 24);
    m_erase.setConnectedEdges(juce::Button::ConnectedOnRight);
    m_burn.setBounds(256, 200, 88, 24);
    m_burn.setConnectedEdges(juce::Button::ConnectedOnLeft);
    m_burn.setColour(juce::TextButton::buttonColourId, juce::Colour(kBurnButtonColour));
    m_optionGroup.setBounds(16, 240, 328, 136);
    addAndMakeVisible(m_optionGroup);
    m_optionTable->setBounds(32, 264, 296, 80);
    addAndMakeVisible(*m_optionTable);
    m_edit.setBounds(272, 344, 62, 24);
    for (juce::Button* b : {&m_eject, &m_cancel, &m_erase, &m_burn, &m_edit})
    {
        b->addListener(this);
        addAndMakeVisible(b);
    }

    localize();

    bindComponent(m_common, CommonExportParameter::kSource, &m_source);
    bindComponent(m_burnParam, DiscBurnParameter::kDiscFormat, &m_discFormat);
    bindComponent(m_burnParam, DiscBurnParameter::kDrive, &m_drive);
    bindComponent(m_burnParam, DiscBurnParameter::kWriteSpeed, &m_writeSpeed);

    m_optionTable->add(m_burnParam, DiscBurnParameter::kAlbumTitle, Text("DiscBurn_AlbumTitle") + ":", false);
    m_optionTable->add(m_burnParam, DiscBurnParameter::kAlbumArtist, Text("DiscBurn_AlbumArtist") + ":",
                       false);
    m_optionTable->add(m_burnParam, DiscBurnParameter::kGapBetweenSongs,
                       Text("DiscBurn_GapBetweenSongs") + ":", false);
    m_optionTable->add(m_common, CommonExportParameter::kNormalizeMode, Text("Export_Normalize") + ":",
                       false);
    updateOptionVisibility();
    m_optionTable->updateLayout();

    for (ExportParameter* set :
         {static_cast<ExportParameter*>(&m_common), static_cast<ExportParameter*>(&m_burnParam)})
    {
        const juce::ScopedLock lock(set->ObtainCriticalSection());
        set->AddListener(this);
    }
    m_poller = std::make_unique<DiscDrivePoller>(
        [this] { return this->burner(); },
        [](CAudioDiscBurnBase* b)
        {
            DiscDrivePoller::Observation seen;
            seen.stateText = b != nullptr ? discStateText(*b) : Text("DiscBurn_NoDisc");
            if (b != nullptr)
            {
                seen.discType = b->GetInsertedDiscType();
                seen.writeSpeedsKbps = b->GetAvailableWriteSpeedsKbps();
            }
            return seen;
        },
        [this](const DiscDrivePoller::Observation& seen) { showObservation(seen); }, kPollMs);
    setSize(kWidth, kHeight);
}

DiscBurnSheet::~DiscBurnSheet()
{
    stopPolling();
    addAsSessionListener(false);
    for (ExportParameter* set :
         {static_cast<ExportParameter*>(&m_common), static_cast<ExportParameter*>(&m_burnParam)})
    {
        const juce::ScopedLock lock(set->ObtainCriticalSection());
        set->RemoveListener(this);
    }
    m_optionTable.reset();
    for (juce::ComboBox* box : {&m_source, &m_discFormat, &m_drive, &m_writeSpeed})
    {
        m_common.unbindComponent(box);
        m_burnParam.unbindComponent(box);
        box->setLookAndFeel(nullptr);
    }
}

juce::String DiscBurnSheet::discStateText(CAudioDiscBurnBase& burner)
{
    burner.ReloadDisc();
    const eDiscType type = burner.GetInsertedDiscType();
    switch (type)
    {
    case kDiscTypeNone:
        return Text("DiscBurn_NoDisc");
    case kDiscTypeInTransition:
        return Text("DiscBurn_InTransition");
    case kDiscTypeUnknown:
        return Text("DiscBurn_Unknown");
    default:
        break;
    }
    if (type < 0 || type >= kNumDiscTypeNames)
        return Text("DiscBurn_Unknown");
    return juce::String(kDiscTypeNames[type]) +
           Text(burner.IsBlankDisc() ? "DiscBurn_Disc_Blank" : "DiscBurn_Disc_Used");
}

void DiscBurnSheet::setupLabel(juce::Label& label, juce::Rectangle<int> bounds)
{
    OutputSheetControls::setUpCaption(*this, label, bounds);
}

void DiscBurnSheet::setupComboBox(juce::ComboBox& box, juce::Rectangle<int> bounds)
{
    OutputSheetControls::setUpChoiceBox(*this, box, bounds, m_comboLook.get(), this);
}

void DiscBurnSheet::localize()
{
    m_sourceCaption.setText(Text("Export_Source"), juce::dontSendNotification);
    m_discFormatCaption.setText(Text("DiscBurn_DiscFormat"), juce::dontSendNotification);
    m_driveCaption.setText(Text("DiscBurn_Drive"), juce::dontSendNotification);
    m_discState.setText(Text("DiscBurn_NoDisc"), juce::dontSendNotification);
    m_writeSpeedCaption.setText(Text("DiscBurn_WriteSpeed"), juce::dontSendNotification);
    m_eject.setButtonText(Text("Button_Eject"));
    m_cancel.setButtonText(Text("Button_Cancel"));
    m_erase.setButtonText(Text("Button_Erase"));
    m_burn.setButtonText(Text("Button_Burn"));
    m_optionGroup.setText(Text("Export_Option"));
    m_edit.setButtonText(Text("Export_Edit"));
}

CAudioDiscBurnBase* DiscBurnSheet::burner()
{
    return m_burner.GetInstance();
}

void DiscBurnSheet::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colour(kBackgroundColour));
}

void DiscBurnSheet::resized() {}

void DiscBurnSheet::DoBeforeOpen()
{
    stopPolling();
    m_common.updateEnablements(CommonExportParameter::kSource);
    m_common.readPreferences();
    if (CAudioDiscBurnBase* b = burner())
        b->RefreshCDDriveList();
    m_burnParam.refreshDriveList();
    m_burnParam.readPreferences();
    m_burnParam.setMetaDataFromSonglist(m_common.getParameterValue(CommonExportParameter::kSource) ==
                                            CommonExportParameter::kSourceSelected,
                                        m_host);
    startPolling();
    addAsSessionListener(true);
    m_burn.addShortcut(juce::KeyPress::createFromDescription(kBurnShortcut));
    m_cancel.addShortcut(juce::KeyPress::createFromDescription(kCancelShortcut));
}

void DiscBurnSheet::DoAfterOpen()
{
    showPreGapWarningIfNeeded();
}

void DiscBurnSheet::DoBeforeClose()
{
    m_burn.clearShortcuts();
    m_cancel.clearShortcuts();
    addAsSessionListener(false);
}

void DiscBurnSheet::addAsSessionListener(bool add)
{
    ExportManager* manager = ExportManager::GetInstance();
    if (manager == nullptr)
        return;
    const juce::ScopedLock lock(manager->ObtainCriticalSection());
    if (add)
        manager->AddListener(this);
    else
        manager->RemoveListener(this);
}

void DiscBurnSheet::comboBoxChanged(juce::ComboBox*) {}

void DiscBurnSheet::buttonClicked(juce::Button* button)
{
    if (button == &m_cancel)
        cancel();
    else if (button == &m_burn)
        startBurn();
    else if (button == &m_erase)
        startErase();
    else if (button == &m_eject)
        ejectDisc();
    else if (button == &m_edit)
        showOptionDialog();
}

void DiscBurnSheet::ejectDisc()
{
    CAudioDiscBurnBase* b = burner();
    if (b == nullptr)
        return;
    // The drive may be slow to answer: the eject runs on the burner's drive
    // worker and the button comes back when it is done.
    m_eject.setEnabled(false);
    b->EjectDiscLater(
        [safe = juce::Component::SafePointer<DiscBurnSheet>(this)]
        {
            if (safe != nullptr)
                safe->m_eject.setEnabled(true);
        });
}

void DiscBurnSheet::startBurn()
{
    stopPolling();
    ExportManager* manager = ExportManager::GetInstance();
    std::unique_ptr<ExportSession> session =
        std::make_unique<DiscBurnSession>(m_burner, m_common, m_burnParam, m_host);
    if (manager == nullptr || !manager->start(session))
    {
        startPolling();
        return;
    }
    m_common.writePreferences();
    m_burnParam.writePreferences();
    setCancelled(false);
}

void DiscBurnSheet::startErase()
{
    CAudioDiscBurnBase* b = burner();
    ExportManager* manager = ExportManager::GetInstance();
    if (b == nullptr || manager == nullptr)
        return;
    auto trial = std::make_unique<DiscEraseSession>(b, m_burnParam.getWriteSpeed(),
                                                    m_burnParam.getEraseMode(), m_host);
    juce::SparseSet<int> songs;
    if (const char* key = trial->getPotentialErrorKey(songs))
    {
        juce::StringArray names;
        if (const CVXHost* host = m_host != nullptr ? m_host : CVXHost::GetInstance())
        {
            for (int i = 0; i < host->GetNumSongs(); ++i)
                if (songs.contains(i))
                    names.add(host->GetSong(i)->getText(TrackInfo::kSongName));
        }
        DialogManager::showMessageBox(juce::MessageBoxIconType::WarningIcon, Text("Common_ErrorDialogTitle"),
                                      Text(key), {}, names.joinIntoString("\n"));
        return;
    }

    juce::AlertWindow confirm(Text("DiscErase_Title"), Text("DiscErase_Confirmation"),
                              juce::MessageBoxIconType::QuestionIcon);
    juce::ToggleButton quick(Text("DiscErase_Quick"));
    quick.setSize(0, kToggleHeight);
    quick.changeWidthToFitText();
    quick.setToggleState(m_burnParam.getEraseMode() == 0, juce::dontSendNotification);
    confirm.addCustomComponent(&quick);
    confirm.addButton(Text("Button_Cancel"), 0, juce::KeyPress(), juce::KeyPress());
    confirm.addButton(Text("Button_Erase"), 1, juce::KeyPress(), juce::KeyPress());
    const int chosen = confirm.runModalLoop();
    trial.reset();
    if (chosen != 1)
        return;

    stopPolling();
    m_burnParam.setParameterValue(DiscBurnParameter::kEraseMode, quick.getToggleState() ? 0 : 1, true);
    m_burnParam.writePreference(DiscBurnParameter::kEraseMode);
    std::unique_ptr<ExportSession> session = std::make_unique<DiscEraseSession>(
        b, m_burnParam.getWriteSpeed(), m_burnParam.getEraseMode(), m_host);
    if (!manager->start(session))
        startPolling();
}

void DiscBurnSheet::showOptionDialog()
{
    ExportParameterDialog dialog(Text("DiscBurn_Title"), Text("Export_Option"));
    if (showsAlbumTexts())
    {
        dialog.addParameterLabel(m_burnParam, DiscBurnParameter::kAlbumTitle, Text("DiscBurn_AlbumTitle"));
        dialog.addParameterLabel(m_burnParam, DiscBurnParameter::kAlbumArtist, Text("DiscBurn_AlbumArtist"));
    }
    if (showsGap())
        dialog.addParameterComboBox(m_burnParam, DiscBurnParameter::kGapBetweenSongs,
                                    Text("DiscBurn_GapBetweenSongs"));
    dialog.addParameterComboBox(m_common, CommonExportParameter::kNormalizeMode, Text("Export_Normalize"));
    if (!dialog.show())
        dialog.undo();
}

bool DiscBurnSheet::showsGap()
{
    return m_burnParam.getParameterIndex(DiscBurnParameter::kDiscFormat) == 0;
}

bool DiscBurnSheet::showsAlbumTexts()
{
    if (!showsGap())
        return true;
    CAudioDiscBurnBase* b = burner();
    return b != nullptr && b->CanBurnCDText();
}

bool DiscBurnSheet::updateOptionVisibility()
{
    const bool album = showsAlbumTexts();
    bool changed =
        m_optionTable->setParameterVisible(m_burnParam, DiscBurnParameter::kAlbumTitle, album, false);
    changed =
        m_optionTable->setParameterVisible(m_burnParam, DiscBurnParameter::kAlbumArtist, album, false) ||
        changed;
    changed = m_optionTable->setParameterVisible(m_burnParam, DiscBurnParameter::kGapBetweenSongs, showsGap(),
                                                 false) ||
              changed;
    changed =
        m_optionTable->setParameterVisible(m_common, CommonExportParameter::kNormalizeMode, true, false) ||
        changed;
    return changed;
}

void DiscBurnSheet::showPreGapWarningIfNeeded()
{
    if (!isVisible() || !m_burnParam.shouldShowPreGapWarning())
        return;
    juce::AlertWindow warning(Text("Common_WarningDialogTitle"), Text("DiscBurn_AudioCdGapSettingsMayFail"),
                              juce::MessageBoxIconType::WarningIcon);
    juce::ToggleButton hide(Text("DiscBurn_AudioCdGapSettingsMayFail_CheckBox"));
    hide.setSize(0, kToggleHeight);
    hide.changeWidthToFitText();
    warning.addCustomComponent(&hide);
    warning.addButton(Text("Button_Ok"), 0, juce::KeyPress(juce::KeyPress::returnKey));
    warning.runModalLoop();
    if (hide.getToggleState())
        m_burnParam.setCurrentDriveShowsPreGapWarning(false);
}

void DiscBurnSheet::exportParameterChanged(ExportParameter* set, int index)
{
    if (updateOptionVisibility())
        m_optionTable->updateLayout();
    if (set == &m_burnParam &&
        (index == DiscBurnParameter::kDiscFormat || index == DiscBurnParameter::kDrive))
        showPreGapWarningIfNeeded();
}

void DiscBurnSheet::cancel()
{
    setCancelled(true);
    stopPolling();
    if (CAudioDiscBurnBase* b = burner())
        b->CloseDrive();
    Close();
}

void DiscBurnSheet::setCancelled(bool cancelled)
{
    getProperties().set(juce::Identifier(m_cancelPropertyName), cancelled);
}

void DiscBurnSheet::exportBoundComponentChangedInternally(ExportParameter*, int, juce::Component* component)
{
    if (dynamic_cast<juce::ComboBox*>(component) != nullptr && component->getParentComponent() == this)
        flashChangedComponent(component);
}

void DiscBurnSheet::exportAboutToStart(ExportSession* session)
{
    stopPolling();
    if (session != nullptr && session->getSessionNameKey() == ExportSessionNames::kDiscErase)
        m_cancel.clearShortcuts();
}

void DiscBurnSheet::exportEnded(ExportSession* session, bool)
{
    if (!isVisible())
        return;
    if (CAudioDiscBurnBase* b = burner(); b != nullptr && m_burnParam.getDriveIndex() >= 0)
        b->OpenDrive(static_cast<uint32_t>(m_burnParam.getDriveIndex()));
    startPolling();
    if (session != nullptr && session->getSessionNameKey() == ExportSessionNames::kDiscErase)
        m_cancel.addShortcut(juce::KeyPress::createFromDescription(kCancelShortcut));
}

void DiscBurnSheet::stopPolling()
{
    m_poller->stop();
}

void DiscBurnSheet::startPolling()
{
    m_poller->start();
}

void DiscBurnSheet::showObservation(const DiscDrivePoller::Observation& seen)
{
    m_discState.setText(seen.stateText, juce::dontSendNotification);
    // The speeds offered follow the disc in the drive.
    m_burnParam.setObservedMedium(seen.discType, seen.writeSpeedsKbps);
}
} // namespace Vextal

#include "src/jucer_components/DiscBurnSheet.h"
#include "src/Output/ExportParameter/ExportParameterComponentBinder.h"

#include "common/disc/CAudioDiscBurnProxy.h"
#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEText.h"
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

using CZJEText::Text;

CAudioDiscBurnProxy& BurnerOf(CAudioDiscBurnProxy* burner)
{
    if (burner != nullptr)
        return *burner;
    ExportManager* manager = ExportManager::GetInstance();
    VX_CHECK(manager != nullptr);
    return manager->getDiscBurner();
}

const OutputSheetBase::Layout kLayout = {
    DiscBurnSheet::kHeight,
    /* cancel */ {16, 200, 88, 24},
    /* optionGroup */ {16, 240, 328, 136},
    /* optionTable */ {32, 264, 296, 80},
    /* optionCaptionWidth */ 136,
    /* optionValueWidth */ 160,
    /* edit */ {272, 344, 62, 24},
};
} // namespace

DiscBurnSheet::DiscBurnSheet(const juce::String& cancelPropertyName, CVXHost* host,
                             CAudioDiscBurnProxy* burner)
    : DiscBurnSheet(cancelPropertyName, host, BurnerOf(burner))
{
}

DiscBurnSheet::DiscBurnSheet(const juce::String& cancelPropertyName, CVXHost* host,
                             CAudioDiscBurnProxy& burner)
    : OutputSheetBase(cancelPropertyName, host, std::make_unique<DiscBurnParameter>(burner), kLayout),
      m_burner(burner), m_burnParam(static_cast<DiscBurnParameter&>(getOwnParameter())),
      m_discFormatCaption("DiscBurn_DiscFormat", "Disc Format"), m_discFormat("DiscFormat"),
      m_driveCaption("DiscBurn_Drive", "Drive"), m_drive("Drive"), m_discState("DiscState", "No disc"),
      m_eject("Eject"), m_writeSpeedCaption("DiscBurn_WriteSpeed", "Write Speed"), m_writeSpeed("WriteSpeed"),
      m_erase("Erase"), m_burn("Burn")
{
    setUpCaption(m_discFormatCaption, {16, 56, 150, 24});
    setUpChoiceBox(m_discFormat, {128, 56, 216, 24});
    setUpCaption(m_driveCaption, {16, 96, 102, 24});
    setUpChoiceBox(m_drive, {128, 96, 216, 24});
    setUpCaption(m_discState, {128, 120, 152, 24});
    m_discState.setColour(juce::Label::outlineColourId, juce::Colours::transparentBlack);
    setUpCaption(m_writeSpeedCaption, {16, 160, 112, 24});
    setUpChoiceBox(m_writeSpeed, {128, 160, 216, 24});

    m_eject.setBounds(288, 120, 56, 24);
    m_eject.setConnectedEdges(juce::Button::ConnectedOnTop);
    m_erase.setBounds(168, 200, 88, 24);
    m_erase.setConnectedEdges(juce::Button::ConnectedOnRight);
    m_burn.setBounds(256, 200, 88, 24);
    m_burn.setConnectedEdges(juce::Button::ConnectedOnLeft);
    m_burn.setColour(juce::TextButton::buttonColourId, juce::Colour(kBurnButtonColour));
    for (juce::Button* b : {&m_eject, &m_erase, &m_burn})
    {
        b->addListener(this);
        addAndMakeVisible(b);
    }

    localize();

    bindComponent(m_burnParam, DiscBurnParameter::kDiscFormat, &m_discFormat);
    bindComponent(m_burnParam, DiscBurnParameter::kDrive, &m_drive);
    bindComponent(m_burnParam, DiscBurnParameter::kWriteSpeed, &m_writeSpeed);

    ExportParameterDisplay& options = getOptionTable();
    options.add(m_burnParam, DiscBurnParameter::kAlbumTitle, Text("DiscBurn_AlbumTitle") + ":", false);
    options.add(m_burnParam, DiscBurnParameter::kAlbumArtist, Text("DiscBurn_AlbumArtist") + ":", false);
    options.add(m_burnParam, DiscBurnParameter::kGapBetweenSongs, Text("DiscBurn_GapBetweenSongs") + ":",
                false);
    options.add(getCommonParameter(), CommonExportParameter::kNormalizeMode, Text("Export_Normalize") + ":",
                false);
    updateOptionVisibility();
    options.updateLayout();

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
}

DiscBurnSheet::~DiscBurnSheet()
{
    stopPolling();
    addAsSessionListener(false);
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

void DiscBurnSheet::localize()
{
    m_discFormatCaption.setText(Text("DiscBurn_DiscFormat"), juce::dontSendNotification);
    m_driveCaption.setText(Text("DiscBurn_Drive"), juce::dontSendNotification);
    m_discState.setText(Text("DiscBurn_NoDisc"), juce::dontSendNotification);
    m_writeSpeedCaption.setText(Text("DiscBurn_WriteSpeed"), juce::dontSendNotification);
    m_eject.setButtonText(Text("Button_Eject"));
    m_erase.setButtonText(Text("Button_Erase"));
    m_burn.setButtonText(Text("Button_Burn"));
}

CAudioDiscBurnBase* DiscBurnSheet::burner()
{
    return m_burner.GetInstance();
}

void DiscBurnSheet::DoBeforeOpen()
{
    stopPolling();
    CommonExportParameter& common = getCommonParameter();
    common.updateEnablements(CommonExportParameter::kSource);
    common.readPreferences();
    if (CAudioDiscBurnBase* b = burner())
        b->RefreshCDDriveList();
    m_burnParam.refreshDriveList();
    m_burnParam.readPreferences();
    m_burnParam.setMetaDataFromSonglist(common.getParameterValue(CommonExportParameter::kSource) ==
                                            CommonExportParameter::kSourceSelected,
                                        getHost());
    startPolling();
    addAsSessionListener(true);
    m_burn.addShortcut(juce::KeyPress::createFromDescription(kBurnShortcut));
    getCancelButton().addShortcut(juce::KeyPress::createFromDescription(kCancelShortcut));
}

void DiscBurnSheet::DoAfterOpen()
{
    showPreGapWarningIfNeeded();
}

void DiscBurnSheet::DoBeforeClose()
{
    m_burn.clearShortcuts();
    getCancelButton().clearShortcuts();
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

void DiscBurnSheet::buttonClicked(juce::Button* button)
{
    if (button == &getCancelButton())
        cancel();
    else if (button == &m_burn)
        startBurn();
    else if (button == &m_erase)
        startErase();
    else if (button == &m_eject)
        ejectDisc();
    else if (button == &getEditButton())
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
    // The session takes its drive from the burner's list, which waits for a
    // running scan: the burn starts when the scan has ended, the button
    // disabled meanwhile.
    if (CAudioDiscBurnBase* b = burner(); b != nullptr && !b->AreDrivesKnown())
    {
        m_burn.setEnabled(false);
        b->WhenDrivesKnown(
            [safe = juce::Component::SafePointer<DiscBurnSheet>(this)]
            {
                if (safe == nullptr)
                    return;
                safe->m_burn.setEnabled(true);
                if (safe->isVisible())
                    safe->startBurn();
            });
        return;
    }
    stopPolling();
    ExportManager* manager = ExportManager::GetInstance();
    std::unique_ptr<ExportSession> session =
        std::make_unique<DiscBurnSession>(m_burner, getCommonParameter(), m_burnParam, getHost());
    if (manager == nullptr || !manager->start(session))
    {
        startPolling();
        return;
    }
    getCommonParameter().writePreferences();
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
                                                    m_burnParam.getEraseMode(), getHost());
    juce::SparseSet<int> songs;
    if (const char* key = trial->getPotentialErrorKey(songs))
    {
        juce::StringArray names;
        if (const CVXHost* host = getHost() != nullptr ? getHost() : CVXHost::GetInstance())
        {
            for (int i = 0; i < host->GetNumSongs(); ++i)
                if (songs.contains(i))
                    names.add(host->GetSong(i)->getText(TrackInfo::kSongName));
        }
        DialogManager::showMessageBox(juce::MessageBoxIconType::WarningIcon, Text("Common_ErrorDialogTitle"),
                                      Text(key), {}, names.joinIntoString("\n"));
        return;
    }

    DialogBox confirm =
        DialogManager::makeOkCancelBox(juce::MessageBoxIconType::QuestionIcon, Text("DiscErase_Title"),
                                       Text("DiscErase_Confirmation"), Text("Button_Erase"), {}, {});
    confirm.checkBox = DialogCheckBox{Text("DiscErase_Quick"), m_burnParam.getEraseMode() == 0};
    const DialogAnswer answer = DialogManager::showBox(confirm);
    trial.reset();
    if (answer.result == 0)
        return;

    stopPolling();
    m_burnParam.setParameterValue(DiscBurnParameter::kEraseMode, answer.ticked ? 0 : 1, true);
    m_burnParam.writePreference(DiscBurnParameter::kEraseMode);
    std::unique_ptr<ExportSession> session = std::make_unique<DiscEraseSession>(
        b, m_burnParam.getWriteSpeed(), m_burnParam.getEraseMode(), getHost());
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
    dialog.addParameterComboBox(getCommonParameter(), CommonExportParameter::kNormalizeMode,
                                Text("Export_Normalize"));
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
    ExportParameterDisplay& options = getOptionTable();
    const bool album = showsAlbumTexts();
    bool changed = options.setParameterVisible(m_burnParam, DiscBurnParameter::kAlbumTitle, album, false);
    changed =
        options.setParameterVisible(m_burnParam, DiscBurnParameter::kAlbumArtist, album, false) || changed;
    changed =
        options.setParameterVisible(m_burnParam, DiscBurnParameter::kGapBetweenSongs, showsGap(), false) ||
        changed;
    changed = options.setParameterVisible(getCommonParameter(), CommonExportParameter::kNormalizeMode, true,
                                          false) ||
              changed;
    return changed;
}

void DiscBurnSheet::showPreGapWarningIfNeeded()
{
    if (!isVisible() || !m_burnParam.shouldShowPreGapWarning())
        return;
    DialogBox warning = DialogManager::makeMessageBox(juce::MessageBoxIconType::WarningIcon,
                                                      Text("Common_WarningDialogTitle"),
                                                      Text("DiscBurn_AudioCdGapSettingsMayFail"), {}, {});
    warning.checkBox = DialogCheckBox{Text("DiscBurn_AudioCdGapSettingsMayFail_CheckBox"), false};
    if (DialogManager::showBox(warning).ticked)
        m_burnParam.setCurrentDriveShowsPreGapWarning(false);
}

void DiscBurnSheet::exportParameterChanged(ExportParameter* set, int index)
{
    if (updateOptionVisibility())
        getOptionTable().updateLayout();
    if (set == &m_burnParam &&
        (index == DiscBurnParameter::kDiscFormat || index == DiscBurnParameter::kDrive))
        showPreGapWarningLater();
}

void DiscBurnSheet::showPreGapWarningLater()
{
    // A change while the sheet is hidden (as it opens) is left to the
    // opening's own warning.
    if (m_bPreGapWarningPosted || !isVisible())
        return;
    m_bPreGapWarningPosted = true;
    juce::MessageManager::callAsync(
        [safe = juce::Component::SafePointer<DiscBurnSheet>(this)]
        {
            if (safe == nullptr)
                return;
            safe->m_bPreGapWarningPosted = false;
            safe->showPreGapWarningIfNeeded();
        });
}

void DiscBurnSheet::cancel()
{
    setCancelled(true);
    stopPolling();
    if (CAudioDiscBurnBase* b = burner())
        b->CloseDrive();
    Close();
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
        getCancelButton().clearShortcuts();
}

void DiscBurnSheet::exportEnded(ExportSession* session, bool)
{
    if (!isVisible())
        return;
    if (CAudioDiscBurnBase* b = burner(); b != nullptr && m_burnParam.getDriveIndex() >= 0)
        b->OpenDrive(static_cast<uint32_t>(m_burnParam.getDriveIndex()));
    startPolling();
    if (session != nullptr && session->getSessionNameKey() == ExportSessionNames::kDiscErase)
        getCancelButton().addShortcut(juce::KeyPress::createFromDescription(kCancelShortcut));
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

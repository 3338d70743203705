#include "src/jucer_components/MainComponent.h"

#include "common/disc/DeviceChangeBroadcaster.h"
#include "library/vextal_juce/CZJEText.h"
#include "library/zfc/CZfcSheet.h"
#include "src/CVXLookAndFeel.h"
#include "src/InternalProcessProgressWindow.h"
#include "src/Output/DiscBurnProgressWindow.h"
#include "src/Output/DiscEraseProgressWindow.h"
#include "src/Output/ExportProgressWindow.h"
#include "src/Resource/CVXResourceManager.h"
#include "src/Resource/VXImageTable.h"
#include "src/SemiModalAlertWindow.h"
#include "src/ShortcutKeyEditor.h"
#include "src/jucer_components/BackGroundComponent.h"
#include "src/jucer_components/CVXLayerList.h"
#include "src/jucer_components/ComponentDresser.h"
#include "src/jucer_components/DiscBurnSheet.h"
#include "src/jucer_components/DiscOpenSheet.h"
#include "src/jucer_components/ExportAndBurnCD.h"
#include "src/jucer_components/ExportSheet.h"
#include "src/jucer_components/InfoEditorSheet.h"
#include "src/jucer_components/LevelMeter.h"
#include "src/jucer_components/PreferencesSheet.h"
#include "src/jucer_components/SongPropertyViewer.h"
#include "src/jucer_components/TransportComponent.h"
#include "src/songlist/CVXAudioDeviceManager.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/DialogManager.h"
#include "src/songlist/Output/ExportManager.h"

namespace Vextal
{
namespace
{
constexpr int kStripImage = 52;  // "BackGround_cont"
constexpr int kBottomImage = 53; // "BackGround_bottom"

constexpr int kSongListX = 43;
constexpr int kSongListY = 99;
constexpr int kSongListBottomMargin = 12;
constexpr int kNumberLabelHeight = 80;
constexpr int kNameLabelHeight = 40;
constexpr juce::uint32 kLabelTextColour = 0xA0FFFFFF;
constexpr juce::uint32 kLabelBackColour = 0xD0000000;
constexpr int kLabelFadeInMs = 200;
constexpr int kLabelFadeOutMs = 500;
// The property the export and disc-burn sheets set when cancelled.
constexpr const char* kCancelledProperty = "isCancelled";

using CZJEText::Text;

juce::ApplicationCommandManager* commandManager()
{
    return CommandManager::GetInstance();
}

int currentSessionClass()
{
    ExportManager* manager = ExportManager::GetInstance();
    return manager != nullptr ? manager->getCurrentSessionClass() : ExportManager::kNoSession;
}

ExportSession* currentSession()
{
    ExportManager* manager = ExportManager::GetInstance();
    return manager != nullptr && manager->isBusy() ? manager->getCurrentSession() : nullptr;
}

bool isExportManagerBusy()
{
    ExportManager* manager = ExportManager::GetInstance();
    return manager != nullptr && manager->isBusy();
}
} // namespace

MainComponent::MainComponent(CVXHost& host) : m_host(host)
{
    m_backgroundStrip = CVXResourceManager::Get(kStripImage);
    m_backgroundBottom = CVXResourceManager::Get(kBottomImage);

    juce::ApplicationCommandManager* commands = commandManager();
    m_background = std::make_unique<BackGroundComponent>();
    m_exportAndBurn = std::make_unique<ExportAndBurnCD>(commands);
    m_levelMeter = std::make_unique<LevelMeter>(m_host, commands);
    m_transport = std::make_unique<TransportComponent>(m_host, commands);
    if (CommandManager* undoCommands = CommandManager::GetInstance())
        m_songListPanel = std::make_unique<CVXLayerList>(&m_host, *undoCommands);

    addAndMakeVisible(*m_background);
    m_background->setTopLeftPosition(0, 0);
    if (m_songListPanel != nullptr)
    {
        addAndMakeVisible(*m_songListPanel);
        m_songListPanel->setTopLeftPosition(kSongListX, kSongListY);
    }
    addAndMakeVisible(*m_exportAndBurn);
    m_exportAndBurn->setBounds(604, 337, 80, 44);
    addAndMakeVisible(*m_levelMeter);
    m_levelMeter->setBounds(590, 108, 110, 220);
    addAndMakeVisible(*m_transport);
    m_transport->setBounds(0, 0, kWidth, 94);

    const juce::Colour textColour(kLabelTextColour);
    const juce::Colour backColour(kLabelBackColour);
    m_songNumber.setJustificationType(juce::Justification::centred);
    if (auto* lookAndFeel = dynamic_cast<CVXLookAndFeel*>(&getLookAndFeel()))
        m_songNumber.setFont(lookAndFeel->getAsciiFont(static_cast<float>(kNumberLabelHeight)));
    else
        m_songNumber.setFont(juce::Font(static_cast<float>(kNumberLabelHeight)));
    m_songNumber.setColour(juce::Label::textColourId, textColour);
    m_songNumber.setColour(juce::Label::backgroundColourId, backColour);
    m_songNumber.addListener(this);
    m_songNumber.addComponentListener(this);
    m_songName.setJustificationType(juce::Justification::centred);
    m_songName.setFont(juce::Font(32.0f));
    m_songName.setColour(juce::Label::textColourId, textColour);
    m_songName.setColour(juce::Label::backgroundColourId, backColour);
    m_songName.setInterceptsMouseClicks(false, false);
    m_songName.addComponentListener(this);
    addChildComponent(m_songNumber);
    addChildComponent(m_songName);
    setWantsKeyboardFocus(true);
    setSize(kWidth, kHeight);

    m_internalProgress = std::make_unique<InternalProcessProgressWindow>(m_host);
    if (ExportManager* manager = ExportManager::GetInstance())
    {
        const juce::ScopedLock sl(manager->ObtainCriticalSection());
        manager->AddListener(this);
    }
}

MainComponent::~MainComponent()
{
    if (ExportManager* manager = ExportManager::GetInstance())
    {
        const juce::ScopedLock sl(manager->ObtainCriticalSection());
        manager->RemoveListener(this);
    }
    m_songNumber.removeListener(this);
    m_songNumber.removeComponentListener(this);
    m_songName.removeComponentListener(this);
    m_preferencesSheet.reset();
    m_exportSheet.reset();
    m_discBurnSheet.reset();
    m_discOpenSheet.reset();
    m_infoEditorSheet.reset();
    m_outputProgress.reset();
    m_internalProgress.reset();
}

// ---------------------------------------------------------------------------
// Layout

void MainComponent::paint(juce::Graphics& g)
{
    if (m_backgroundStrip.isValid())
        for (int y = 0; y < getHeight(); ++y)
            g.drawImageAt(m_backgroundStrip, 0, y);
    if (m_backgroundBottom.isValid())
        g.drawImageAt(m_backgroundBottom, 0, getHeight() - m_backgroundBottom.getHeight());
}

void MainComponent::resized()
{
    if (m_songListPanel != nullptr)
        m_songListPanel->setSize(m_songListPanel->getWidth(),
                                 juce::jmax(0, getHeight() - kSongListY - kSongListBottomMargin));
    placeLabels();
}

void MainComponent::placeLabels()
{
    if (m_songNumber.getText().isNotEmpty())
    {
        for (juce::Label* label : {&m_songNumber, &m_songName})
            if (!label->isVisible())
                ComponentDresser::fadeIn(label, kLabelFadeInMs, 0, 0, 1.0f);
    }
    else
    {
        m_songNumber.setVisible(false);
        m_songName.setVisible(false);
    }
    m_songNumber.setBounds(0, (getHeight() - kNumberLabelHeight) / 2, getWidth(), kNumberLabelHeight);
    m_songName.setBounds(0, m_songNumber.getBottom(), getWidth(), kNameLabelHeight);
}

// ---------------------------------------------------------------------------
// The song-number type-ahead

bool MainComponent::isModalElsewhere() const
{
    juce::Component* modal = juce::Component::getCurrentlyModalComponent();
    return modal != nullptr && !modal->canModalEventBeSentToComponent(this);
}

int MainComponent::typedNumber() const
{
    return m_songNumber.getText().getIntValue();
}

void MainComponent::setTypedNumber(const juce::String& number)
{
    m_songNumber.setText(number, juce::sendNotificationSync);
}

void MainComponent::takeFocus()
{
    if (isShowing())
        grabKeyboardFocus();
}

bool MainComponent::keyPressed(const juce::KeyPress& key)
{
    if (isModalElsewhere())
        return false;
    if (key == juce::KeyPress::upKey || key == juce::KeyPress::downKey)
        return m_songListPanel != nullptr && m_songListPanel->keyPressed(key);
    if (m_host.GetMode() != 0)
        return false;

    const juce::juce_wchar c = key.getTextCharacter();
    const bool empty = m_songNumber.getText().isEmpty();
    const int count = m_host.GetNumSongs();
    if (c >= '0' && c <= '9')
    {
        takeFocus();
        if (empty && c == '0')
            return false;
        // The digit is taken only when the number it makes is a song's.
        const juce::String appended = m_songNumber.getText() + juce::String::charToString(c);
        if (appended.getIntValue() <= count)
            setTypedNumber(appended);
        return true;
    }
    if ((c == '+' || c == '-') && !empty)
    {
        takeFocus();
        const int index = juce::jlimit(0, juce::jmax(0, count - 1), typedNumber() - 1 + (c == '+' ? 1 : -1));
        setTypedNumber(juce::String(index + 1));
        return false;
    }
    if (key == juce::KeyPress::deleteKey || key == juce::KeyPress::backspaceKey)
    {
        if (empty)
            return false;
        setTypedNumber(m_songNumber.getText().dropLastCharacters(1));
        return true;
    }
    if (key == juce::KeyPress::escapeKey)
    {
        if (empty)
            return false;
        setTypedNumber({});
        return true;
    }
    if (key == juce::KeyPress::returnKey)
    {
        if (empty)
            return m_songListPanel != nullptr && m_songListPanel->keyPressed(key);
        const int index = juce::jlimit(0, juce::jmax(0, count - 1), typedNumber() - 1);
        const TrackInfo* song = m_host.GetSong(index);
        m_songNumber.setText(juce::String(index + 1), juce::dontSendNotification);
        m_songName.setText(song != nullptr ? song->getText(0) : juce::String(), juce::dontSendNotification);
        m_songNumber.setVisible(true);
        m_songName.setVisible(true);
        auto& animator = juce::Desktop::getInstance().getAnimator();
        animator.fadeOut(&m_songNumber, kLabelFadeOutMs);
        animator.fadeOut(&m_songName, kLabelFadeOutMs);
        m_songNumber.setText({}, juce::dontSendNotification);
        if (song != nullptr)
        {
            m_host.SetCurPlayTrack(index, true, true);
            m_host.SetPlayerStatus(CVXHost::kStatusPlaying);
        }
        return true;
    }
    return false;
}

void MainComponent::labelTextChanged(juce::Label* label)
{
    if (label != &m_songNumber)
        return;
    const TrackInfo* song = m_host.GetSong(typedNumber() - 1);
    m_songName.setText(song != nullptr ? song->getText(0) : juce::String(), juce::dontSendNotification);
    placeLabels();
}

void MainComponent::componentVisibilityChanged(juce::Component& component)
{
    if ((&component == &m_songNumber || &component == &m_songName) && component.isVisible() &&
        m_songNumber.getText().isEmpty())
        component.setVisible(false);
}

void MainComponent::focusLost(FocusChangeType)
{
    if (m_songNumber.getText().isNotEmpty())
        setTypedNumber({});
}

// ---------------------------------------------------------------------------
// Commands

bool MainComponent::shouldBlockCommand(int commandID)
{
    if (commandID == kUsersGuideCommand || commandID == kQuitSafely)
        return false;
    if (CZfcSheet::sm_iNumSheetsOpened > 0)
        return true;
    return isModalElsewhere();
}

juce::ApplicationCommandTarget* MainComponent::getNextCommandTarget()
{
    return findFirstTargetParentComponent();
}

void MainComponent::getAllCommands(juce::Array<juce::CommandID>& commands)
{
    for (int id = kOpenDisc; id <= kSongProperty; ++id)
        commands.add(id);
}

void MainComponent::getCommandInfo(juce::CommandID commandID, juce::ApplicationCommandInfo& result)
{
    bool empty = true, selected = false, normalMode = true;
    m_host.GetBits(&empty, &selected, &normalMode, nullptr, nullptr, nullptr, nullptr, nullptr);
    const int session = currentSessionClass();
    const char* nameKey = nullptr;
    const char* categoryKey = "Menu_Name_Edit";
    bool disabled = false;
    const auto command = juce::ModifierKeys::commandModifier;
    auto addKey = [&result](int keyCode, int modifiers) { result.addDefaultKeypress(keyCode, modifiers); };

    switch (commandID)
    {
    case kOpenDisc:
        nameKey = "Menu_Item_OpenDisc";
        categoryKey = "Menu_Name_File";
        disabled = !normalMode;
        addKey('o', command | juce::ModifierKeys::altModifier);
        break;
    case kExport:
        categoryKey = "Menu_Name_File";
        nameKey = session == ExportManager::kFileExport ? "Menu_Item_ExportCancel" : "Menu_Item_Export";
        disabled = session != ExportManager::kFileExport && (empty || session == ExportManager::kDiscBurn);
        addKey('e', command | juce::ModifierKeys::shiftModifier);
        break;
    case kBurnDisc:
        categoryKey = "Menu_Name_File";
        nameKey = session == ExportManager::kDiscBurn ? "Menu_Item_BurnDiscCancel" : "Menu_Item_BurnDisc";
        disabled = session != ExportManager::kDiscBurn && (empty || session == ExportManager::kFileExport);
        addKey('b', command | juce::ModifierKeys::shiftModifier);
        break;
    case kQuitSafely:
        categoryKey = "Menu_Name_File";
        break;
    case kSelectAll:
        nameKey = "Menu_Item_SelectAll";
        disabled = empty || !normalMode;
        addKey('a', command);
        break;
    case kInvertSelection:
        nameKey = "Menu_Item_InvertSongSelection";
        disabled = empty || !normalMode;
        break;
    case kEditSongName:
        nameKey = "Menu_Item_EditSongName";
        disabled = empty || !normalMode;
        addKey(juce::KeyPress::returnKey, command);
        addKey(juce::KeyPress::F2Key, 0);
        break;
    case kEditSongInformation:
        nameKey = "Menu_Item_BatchEditMetaData";
        disabled = empty || !normalMode;
        addKey('i', command | juce::ModifierKeys::shiftModifier);
        break;
    case kPreferences:
        nameKey = "Menu_Item_Preferences";
        disabled = !normalMode;
        addKey(',', command);
        break;
    case kEditShortcutKeys:
        nameKey = "Menu_Item_EditShortcutKeys";
        break;
    case kSongProperty:
        nameKey = "Menu_Item_Property";
        categoryKey = "Menu_Name_View";
        disabled = !selected;
        break;
    default:
        return;
    }
    const juce::String name = nameKey != nullptr ? Text(nameKey) : juce::String("Quit Safely");
    result.setInfo(name, name, Text(categoryKey), 0);
    result.setActive(!disabled && !shouldBlockCommand(commandID));
}

bool MainComponent::perform(const InvocationInfo& info)
{
    switch (info.commandID)
    {
    case kOpenDisc:
        performOpenDisc();
        return true;
    case kExport:
        performExport();
        return true;
    case kBurnDisc:
        performBurnDisc();
        return true;
    case kQuitSafely:
        performQuitSafely();
        return true;
    case kSelectAll:
        if (m_songListPanel != nullptr)
            m_songListPanel->selectAllSongs();
        else
            m_host.SetSelectedSongs(0, m_host.GetNumSongs(), false);
        return true;
    case kInvertSelection:
        performInvertSelection();
        return true;
    case kEditSongName:
        if (m_songListPanel != nullptr)
            m_songListPanel->editSongName();
        return true;
    case kEditSongInformation:
        performEditSongInformation();
        return true;
    case kPreferences:
        performPreferences();
        return true;
    case kEditShortcutKeys:
        ShortcutKeyEditor::showModal(this);
        return true;
    case kSongProperty:
        performSongProperty();
        return true;
    default:
        return false;
    }
}

void MainComponent::performInvertSelection()
{
    const juce::SparseSet<int> selected = m_host.GetSelection();
    juce::SparseSet<int> inverted;
    for (int i = 0; i < m_host.GetNumSongs(); ++i)
        if (!selected.contains(i))
            inverted.addRange({i, i + 1});
    m_host.SetSelectedSongs(inverted, false);
}

void MainComponent::openSheet(std::unique_ptr<CZfcSheet>& sheet,
                              const std::function<std::unique_ptr<CZfcSheet>()>& make)
{
    if (sheet == nullptr)
    {
        sheet = make();
        if (sheet == nullptr)
            return;
        addChildComponent(*sheet);
    }
    sheet->Open();
}

void MainComponent::performOpenDisc()
{
    CommandManager* commands = CommandManager::GetInstance();
    if (m_host.GetMode() != 0 || CZfcSheet::sm_iNumSheetsOpened > 0 || commands == nullptr)
        return;
    openSheet(m_discOpenSheet,
              [this, commands] {
                  return std::make_unique<DiscOpenSheet>(m_host, *commands,
                                                         DeviceChangeBroadcaster::getInstance());
              });
}

void MainComponent::performEditSongInformation()
{
    CommandManager* commands = CommandManager::GetInstance();
    if (m_host.GetMode() != 0 || CZfcSheet::sm_iNumSheetsOpened > 0 || commands == nullptr)
        return;
    openSheet(m_infoEditorSheet,
              [this, commands] { return std::make_unique<InfoEditorSheet>(m_host, *commands); });
}

void MainComponent::performPreferences()
{
    CVXAudioDeviceManager* devices = CVXAudioDeviceManager::GetInstance();
    if (CZfcSheet::sm_iNumSheetsOpened > 0 || devices == nullptr)
        return;
    if (auto* lookAndFeel = CZJESingleton<CVXLookAndFeel>::GetInstance())
        lookAndFeel->setFilenameComponentDialogMessage(
            Text("Juce_ChooseFolder_Mac").replace("%1", Text("Pref_TempFolder")), true);
    openSheet(m_preferencesSheet,
              [this, devices] { return std::make_unique<PreferencesSheet>(*devices, m_host); });
}

void MainComponent::performSongProperty()
{
    SongPropertyViewer viewer(m_host);
    DialogManager::showModalDialog(Text("Menu_Item_Property"), &viewer, this);
}

void MainComponent::OnZfcSheetClosed(CZfcSheet* sheet)
{
    if (sheet != nullptr && (sheet == m_exportSheet.get() || sheet == m_discBurnSheet.get()))
        if (juce::ApplicationCommandManager* commands = commandManager())
            commands->commandStatusChanged();
}

// ---------------------------------------------------------------------------
// Output sessions

juce::Component* MainComponent::getOutputProgressWindow() const
{
    return m_outputProgress != nullptr ? m_outputProgress->getWindow() : nullptr;
}

void MainComponent::deleteOutputProgressWindow()
{
    m_outputProgress.reset();
}

ExportSession* MainComponent::pauseSession()
{
    ExportSession* session = currentSession();
    if (session != nullptr)
        session->pause();
    if (juce::Component* window = getOutputProgressWindow())
        window->setAlwaysOnTop(false);
    return session;
}

void MainComponent::resumeSession(ExportSession* paused)
{
    // The session may have ended while the question was showing.
    if (paused != nullptr && paused == currentSession())
        paused->resume();
}

void MainComponent::askToCancelSession(const char* messageKey)
{
    ExportSession* paused = pauseSession();
    if (DialogManager::showOkCancelBox(juce::MessageBoxIconType::QuestionIcon,
                                       Text("Common_ConfirmationDialogTitle"), Text(messageKey),
                                       Text("Button_Stop"), Text("Button_Continue")))
        if (ExportManager* manager = ExportManager::GetInstance())
            manager->cancel();
    resumeSession(paused);
}

void MainComponent::performExport()
{
    if (m_host.GetMode() == 0 && CZfcSheet::sm_iNumSheetsOpened == 0)
    {
        if (auto* lookAndFeel = CZJESingleton<CVXLookAndFeel>::GetInstance())
            lookAndFeel->setFilenameComponentDialogMessage(
                Text("Juce_ChooseFolder_Mac").replace("%1", Text("Export_Destination")), true);
        openSheet(m_exportSheet,
                  [this]
                  {
                      auto sheet = std::make_unique<ExportSheet>(kCancelledProperty);
                      sheet->AddListener(this);
                      return sheet;
                  });
        return;
    }
    if (currentSession() != nullptr)
        askToCancelSession("Export_Cancel");
}

void MainComponent::performBurnDisc()
{
    if (m_host.GetMode() == 0 && CZfcSheet::sm_iNumSheetsOpened == 0)
    {
        ExportManager* manager = ExportManager::GetInstance();
        const ExportManager::BurnDriveAnswer drives =
            manager != nullptr ? manager->canBurnDisc() : ExportManager::kNoBurnDrive;
        if (drives == ExportManager::kDrivesNotKnownYet)
        {
            // The sheet opens when the scan has ended, never by waiting for
            // it here.
            if (!m_bBurnWaitsForDrives)
            {
                m_bBurnWaitsForDrives = true;
                manager->whenDrivesKnown(
                    [safe = juce::Component::SafePointer<MainComponent>(this)]
                    {
                        if (safe == nullptr)
                            return;
                        safe->m_bBurnWaitsForDrives = false;
                        // Only while nothing else has begun meanwhile: a late
                        // answer never asks to cancel a session.
                        if (safe->m_host.GetMode() == 0 && CZfcSheet::sm_iNumSheetsOpened == 0)
                            safe->performBurnDisc();
                    });
            }
            return;
        }
        if (drives != ExportManager::kBurnDriveFound)
        {
            DialogManager::showMessageBox(juce::MessageBoxIconType::WarningIcon,
                                          Text("Common_ErrorDialogTitle"), Text("DiscBurn_DriveNotFound"));
            return;
        }
        openSheet(m_discBurnSheet,
                  [this]
                  {
                      auto sheet = std::make_unique<DiscBurnSheet>(kCancelledProperty);
                      sheet->AddListener(this);
                      return sheet;
                  });
        return;
    }
    if (currentSession() != nullptr)
        askToCancelSession("DiscBurn_Cancel");
}

void MainComponent::performQuitSafely()
{
    if (!isExportManagerBusy())
    {
        juce::JUCEApplicationBase::quit();
        return;
    }
    const int kind = currentSessionClass();
    ExportSession* paused = pauseSession();
    const auto warning = juce::MessageBoxIconType::WarningIcon;
    bool yes = false;
    if (kind == ExportManager::kFileExport)
        yes = DialogManager::showOkCancelBox(warning, Text("Export_Title"), Text("Export_CancelAndShutdown"),
                                             Text("Button_Yes"), Text("Button_No"));
    else if (kind == ExportManager::kDiscBurn)
        yes = DialogManager::showOkCancelBox(warning, Text("DiscBurn_Title"),
                                             Text("DiscBurn_CancelAndShutdown"), Text("Button_Yes"),
                                             Text("Button_No"));
    else if (kind == ExportManager::kDiscErase)
        DialogManager::showMessageBox(warning, Text("DiscErase_Title"), Text("DiscErase_CannotShutdown"));
    tidySheets();
    if (yes)
    {
        if (isExportManagerBusy())
        {
            ExportManager::GetInstance()->cancel();
            m_host.setQuitOnExportEnd(true);
        }
        else
        {
            juce::JUCEApplicationBase::quit();
        }
    }
    resumeSession(paused);
}

void MainComponent::tidySheets()
{
    for (CZfcSheet* sheet : {m_exportSheet.get(), m_discBurnSheet.get()})
        if (sheet != nullptr && sheet->isCurrentlyModal() && !sheet->isVisible())
            sheet->exitModalState(0);
}

juce::String MainComponent::songNamesOf(const juce::SparseSet<int>& songs) const
{
    juce::StringArray names;
    for (int r = 0; r < songs.getNumRanges(); ++r)
    {
        const juce::Range<int> range = songs.getRange(r);
        for (int i = range.getStart(); i < range.getEnd(); ++i)
            if (const TrackInfo* song = m_host.GetSong(i))
                names.add(song->getText(0));
    }
    return names.joinIntoString("\n");
}

void MainComponent::exportAboutToStart(ExportSession* session)
{
    deleteOutputProgressWindow();
    switch (currentSessionClass())
    {
    case ExportManager::kFileExport:
        // Only the normalization pass has a window; the songs' progress
        // shows in the player panel.
        if (session != nullptr && session->doesNormalize())
            m_outputProgress = std::make_unique<ExportProgressWindow>();
        break;
    case ExportManager::kDiscBurn:
        m_outputProgress = std::make_unique<DiscBurnProgressWindow>();
        break;
    case ExportManager::kDiscErase:
        m_outputProgress = std::make_unique<DiscEraseProgressWindow>();
        break;
    default:
        break;
    }
    if (m_outputProgress == nullptr)
        return;
    m_outputProgress->show();
    juce::Component* window = m_outputProgress->getWindow();
    if (window != nullptr && isShowing())
        if (juce::ComponentPeer* peer = getPeer())
        {
            const juce::Rectangle<int> bounds = peer->getBounds();
            window->setCentrePosition(bounds.getX() + bounds.getWidth() / 2,
                                      bounds.getY() + bounds.getHeight() / 2);
        }
}

void MainComponent::exportSongProcessAboutToStart(ExportSession*)
{
    const int kind = currentSessionClass();
    if (kind == ExportManager::kFileExport)
    {
        deleteOutputProgressWindow();
        if (m_exportSheet != nullptr)
            m_exportSheet->Close();
    }
    else if (kind == ExportManager::kDiscBurn && m_discBurnSheet != nullptr)
    {
        m_discBurnSheet->Close();
    }
    tidySheets();
}

void MainComponent::exportEnded(ExportSession* session, bool aborted)
{
    const int kind = currentSessionClass();
    deleteOutputProgressWindow();
    const bool ok = session->isSucceeded();
    juce::String message;
    if (kind == ExportManager::kFileExport && !aborted)
    {
        // A failed export says what went wrong, never that it has finished.
        if (ok)
            message = Text("Export_Completed");
        else if ((message = session->getLastErrorMessage()).isEmpty())
            message = Text("Export_Failed");
    }
    else if (kind == ExportManager::kDiscErase)
    {
        message = ok ? Text("DiscErase_Completed") : session->getLastErrorMessage();
    }

    const juce::String title = Text(session->getSessionNameKey());
    if (!session->hasNormalized())
    {
        if (message.isNotEmpty())
            DialogManager::showMessageBox(ok ? juce::MessageBoxIconType::NoIcon
                                             : juce::MessageBoxIconType::WarningIcon,
                                          title, message);
    }
    else if (DialogManager::showOkCancelBox(juce::MessageBoxIconType::QuestionIcon, title,
                                            message + "\n" + Text("Export_ApplyNormalizedGain"),
                                            Text("Button_Apply"), Text("Button_DontApply")))
    {
        session->applyNormalizedGains();
    }
    tidySheets();
}

void MainComponent::exportErrorOccured(ExportSession*, const char* key, const juce::SparseSet<int>& songs,
                                       const juce::StringArray& args)
{
    if (key == nullptr)
        return;
    const juce::String message = Text(key).replace("%1", args.isEmpty() ? juce::String() : args[0]);
    DialogManager::showMessageBox(juce::MessageBoxIconType::WarningIcon, Text("Common_ErrorDialogTitle"),
                                  message, {}, songNamesOf(songs));
}

bool MainComponent::exportShouldIgnoreWarning(ExportSession*, const char* key,
                                              const juce::SparseSet<int>& songs,
                                              const juce::StringArray& args)
{
    if (key == nullptr)
        return true;
    const juce::String message = Text(key).replace("%1", args.isEmpty() ? juce::String() : args[0]);
    const char* okKey = juce::String(key) == "Export_AlreadyExists" ? "Button_Replace" : "Button_Continue";
    return DialogManager::showOkCancelBox(juce::MessageBoxIconType::WarningIcon,
                                          Text("Common_WarningDialogTitle"), message, Text(okKey),
                                          Text("Button_Stop"), songNamesOf(songs));
}
} // namespace Vextal

#include "src/CVXApp.h"

#include "common/file/CAudioDecodeTempFileManager.h"
#include "common/file/VextalFileUtil.h"
#include "library/util/CCheckUtil.h"
#include "library/util/ImeUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "library/zad/CZadPreferences.h"
#include "library/zfc/CZfcSingleton.h"
#include "src/CVXLookAndFeel.h"
#include "src/CVXMainWindow.h"
#include "src/JuceDialogPresenter.h"
#include "src/Resource/CVXResourceManager.h"
#include "src/jucer_components/LabelWithInlineEditor.h"
#include "src/linux/SingleInstanceLinux.h"
#include "src/songlist/AddSongAction.h"
#include "src/songlist/CVXAudioDeviceManager.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CVXPreferences.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/DialogManager.h"
#include "src/songlist/Output/DiscBurnSession.h"
#include "src/songlist/Output/ExportManager.h"
#include "src/songlist/Output/ExportParameter/CommonExportParameter.h"
#include "src/songlist/SonglistFile.h"

namespace
{
// The application command "Quit Safely".
constexpr int kQuitSafelyCommand = 34;

Vextal::SingleInstance*& HeldInstance()
{
    static Vextal::SingleInstance* instance = nullptr;
    return instance;
}

juce::String Cleaned(const juce::String& token)
{
    if (token.length() >= 2 && token.startsWithChar('"') && token.endsWithChar('"'))
        return token.substring(1, token.length() - 1);
    return token;
}

// The temporary folder of the stored export settings first, then every
// temporary folder they remember (earlier runs may have left decode files in
// any of them).
juce::Array<juce::File> TemporaryFolders(const Vextal::CommonExportParameter& settings)
{
    juce::Array<juce::File> folders;
    juce::StringArray paths(settings.getParameterText(Vextal::CommonExportParameter::kTempDirectory));
    paths.addArray(settings.tempDirectoryHistory);
    for (const juce::String& path : paths)
        if (juce::File::isAbsolutePath(path))
            folders.addIfNotAlreadyThere(juce::File(path));
    return folders;
}
} // namespace

CVXApp::CVXApp() = default;
CVXApp::~CVXApp() = default;

const juce::String CVXApp::getApplicationName()
{
    return "Vextal";
}

const juce::String CVXApp::getApplicationVersion()
{
    return "1.0.0.0";
}

bool CVXApp::moreThanOneInstanceAllowed()
{
    // The single instance is ours (see the class comment).
    return true;
}

void CVXApp::setSingleInstance(Vextal::SingleInstance* instance)
{
    HeldInstance() = instance;
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void CVXApp::initialise(const juce::String&)
{
    CZJESingleton<CVXResourceManager>::CreateInstance();
    CZadPreferences& preferences = *CZfcSingleton<CVXPreferences>::CreateInstance();
    // Temporary files of settings writers that were killed.
    CZadPreferences::RemoveStaleTemporaries();
    m_previousRunCrashed = checkPreviousRunCrashed(preferences);
    juce::LookAndFeel::setDefaultLookAndFeel(CZJESingleton<CVXLookAndFeel>::CreateInstance());
    Vextal::JuceDialogPresenter::installAsWindowPresenter();
    Vextal::DialogManager::CreateInstance();
    VextalFileUtil::InitializeLibraries();
    CVXAudioDeviceManager::CreateInstance()->ReadPreferences();
    Vextal::ExportManager::CreateInstance();
    m_host = CVXHost::CreateInstance();
    m_host->ReadPreferences();
    Vextal::DialogManager::setCurrentSonglistFileSource([host = m_host] { return host->GetSonglistFile(); });
    // Labels edited in place keep no undo history of their own.
    LabelWithInlineEditor::setUndoDisabled(true);
    m_pMainWindow = std::make_unique<CVXMainWindow>(m_host);
    ImeUtil::setEnabled(m_pMainWindow.get(), false);

    Vextal::CommonExportParameter exportSettings;
    exportSettings.readPreferences();
    const juce::Array<juce::File> temporaryFolders = TemporaryFolders(exportSettings);
    if (!temporaryFolders.isEmpty())
        CAudioDecodeTempFileManager::GetInstance()->SetTempDirectoryPath(
            temporaryFolders[0].getFullPathName().toWideCharPointer());
    if (m_previousRunCrashed)
        recoverAfterCrash(*m_host, temporaryFolders);

    handleCommandLine(getCommandLineParameterArray(),
                      juce::File::getCurrentWorkingDirectory().getFullPathName());
    if (Vextal::SingleInstance* instance = HeldInstance())
        instance->setReceiver([this] { triggerAsyncUpdate(); });
    triggerAsyncUpdate();
}

void CVXApp::shutdown()
{
    if (Vextal::SingleInstance* instance = HeldInstance())
        instance->setReceiver(nullptr);
    cancelPendingUpdate();
    stopTimer();
    m_pMainWindow.reset();
    Vextal::DialogManager::setCurrentSonglistFileSource(nullptr);
    if (m_host != nullptr)
    {
        m_host->WritePreferences();
        CVXHost::DestroyInstance();
        m_host = nullptr;
    }
    CAudioDecodeTempFileManager::DestroyInstance();
    if (CVXPreferences* preferences = CZfcSingleton<CVXPreferences>::GetInstance())
        preferences->WriteInteger(kNormallyQuitKey, 1);
    Vextal::ExportManager::DestroyInstance();
    if (CVXAudioDeviceManager* devices = CVXAudioDeviceManager::GetInstance())
    {
        devices->WritePreferences();
        CVXAudioDeviceManager::DestroyInstance();
    }
    VextalFileUtil::UninitializeLibraries();
    Vextal::DialogManager::DestroyInstance();
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    CZJESingleton<CVXLookAndFeel>::DestroyInstance();
    CZfcSingleton<CVXPreferences>::DestroyInstance();
    CZJESingleton<CVXResourceManager>::DestroyInstance();
    juce::Logger::setCurrentLogger(nullptr);
}

void CVXApp::systemRequestedQuit()
{
    Vextal::ExportManager* exports = Vextal::ExportManager::GetInstance();
    if (exports == nullptr || !exports->isBusy())
    {
        quit();
        return;
    }
    if (Vextal::CommandManager* commands = Vextal::CommandManager::GetInstance())
        commands->invokeDirectly(kQuitSafelyCommand, false);
}

// ---------------------------------------------------------------------------
// Crash check

bool CVXApp::checkPreviousRunCrashed(CZadPreferences& preferences)
{
    if (preferences.ReadInteger(kNormallyQuitKey, 1) == 0)
        return true;
    preferences.WriteInteger(kNormallyQuitKey, 0);
    preferences.Synchronize();
    return false;
}

bool CVXApp::recoverAfterCrash(CVXHost& host, const juce::Array<juce::File>& temporaryFolders)
{
    // The decode files of each folder, whatever their counter, and the
    // staging folders of a burn that never ended.
    for (const juce::File& folder : temporaryFolders)
    {
        CAudioDecodeTempFileManager::RemoveLeftoverTempFiles(folder);
        Vextal::DiscBurnSession::deleteTempDirectories(folder.getFullPathName());
    }
    const bool restore = Vextal::DialogManager::showOkCancelBox(
        juce::MessageBoxIconType::QuestionIcon, "Vextal", CZJEResource::GetText("Other_RecentlyCrashed"),
        CZJEResource::GetText("Button_Restore"), CZJEResource::GetText("Button_DontRestore"));
    return restore && host.OpenLastProject();
}

// ---------------------------------------------------------------------------
// Command line

juce::StringArray CVXApp::splitCommandLine(const juce::String& commandLine)
{
    juce::StringArray tokens;
    tokens.addTokens(commandLine, " \t\r\n", "\"");
    if (!tokens.isEmpty() && tokens[0].startsWith("-psn"))
        tokens.remove(0);
    tokens.removeEmptyStrings(false);
    for (juce::String& token : tokens)
        token = Cleaned(token);
    return tokens;
}

CVXApp::CommandLineRequest CVXApp::interpretCommandLine(juce::StringArray tokens,
                                                        const juce::String& workingDirectory)
{
    if (!tokens.isEmpty() && tokens[0].startsWith("-psn"))
        tokens.remove(0);
    tokens.removeEmptyStrings(false);
    const juce::File base = juce::File::isAbsolutePath(workingDirectory)
                                ? juce::File(workingDirectory)
                                : juce::File::getCurrentWorkingDirectory();
    for (juce::String& token : tokens)
        token = base.getChildFile(token).getFullPathName();
    CommandLineRequest request;
    if (tokens.size() == 1 && tokens[0].endsWithIgnoreCase(Vextal::SonglistFile::kExtension))
        request.songlistToOpen = tokens[0];
    else
        request.pathsToAdd = tokens;
    return request;
}

void CVXApp::parseCommandLine(const juce::String& commandLine)
{
    handleCommandLine(splitCommandLine(commandLine),
                      juce::File::getCurrentWorkingDirectory().getFullPathName());
}

void CVXApp::handleCommandLine(const juce::StringArray& tokens, const juce::String& workingDirectory)
{
    const CommandLineRequest request = interpretCommandLine(tokens, workingDirectory);
    if (request.songlistToOpen.isNotEmpty() && m_host != nullptr)
        m_host->OpenProject(juce::File(request.songlistToOpen), true);
    else if (!request.pathsToAdd.isEmpty() && m_pMainWindow != nullptr)
        m_pMainWindow->filesDropped(request.pathsToAdd, 0, 0);
}

void CVXApp::anotherInstanceStarted(const juce::String& commandLine)
{
    parseCommandLine(commandLine);
}

// ---------------------------------------------------------------------------
// Hand-overs of later launches

bool CVXApp::isIdle() const
{
    const Vextal::ExportManager* exports = Vextal::ExportManager::GetInstance();
    return juce::ModalComponentManager::getInstance()->getNumModalComponents() == 0 &&
           (exports == nullptr || !exports->isBusy()) && !Vextal::AddSongAction::isRunning();
}

void CVXApp::handleAsyncUpdate()
{
    if (Vextal::SingleInstance* instance = HeldInstance())
        for (auto& handOver : instance->takeHandOvers())
            m_pendingHandOvers.push_back({handOver.workingDirectory, handOver.arguments});
    handlePendingHandOvers();
}

void CVXApp::timerCallback()
{
    handlePendingHandOvers();
}

void CVXApp::handlePendingHandOvers()
{
    while (!m_pendingHandOvers.empty())
    {
        if (!isIdle())
        {
            startTimer(kHandOverRetryMs);
            return;
        }
        const PendingHandOver next = m_pendingHandOvers.front();
        m_pendingHandOvers.erase(m_pendingHandOvers.begin());
        handleCommandLine(next.arguments, next.workingDirectory);
    }
    stopTimer();
}

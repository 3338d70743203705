#include "src/CVXMainWindow.h"

#include "library/vextal_juce/CZJEResource.h"
#include "library/zad/CZadPreferences.h"
#include "src/AddSongAction.h"
#include "src/CVXLookAndFeel.h"
#include "src/CommandManager.h"
#include "src/SonglistFile.h"
#include "src/jucer_components/MainComponent.h"

namespace
{
const juce::Colour kBackground(0xFF302E32);
constexpr juce::juce_wchar kIdeographicSpace = 0x3000;

CZadPreferences* preferencesOf(const CVXHost* host)
{
    return host != nullptr ? host->GetPreferences() : nullptr;
}

// The tallest work area among the monitors.
int tallestWorkArea(int fallback)
{
    int tallest = 0;
    for (const auto& display : juce::Desktop::getInstance().getDisplays().displays)
        tallest = juce::jmax(tallest, display.userArea.getHeight());
    return tallest > 0 ? tallest : fallback;
}
} // namespace

CVXMainWindow::CVXMainWindow(CVXHost* host)
    : NativeDocumentWindow(titleFor({}) + " ", kBackground, juce::DocumentWindow::allButtons), m_host(host)
{
    setResizable(true, true);
    setUsingNativeTitleBar(true);
    setWantsKeyboardFocus(false);
    if (auto* lookAndFeel = CZJESingleton<CVXLookAndFeel>::GetInstance())
        juce::LookAndFeel::setDefaultLookAndFeel(lookAndFeel);

    Vextal::CommandManager* commands = m_host != nullptr ? Vextal::CommandManager::CreateInstance() : nullptr;
    auto content = m_host != nullptr ? std::make_unique<Vextal::MainComponent>(*m_host) : nullptr;
    m_content = content.get();

    if (commands != nullptr)
    {
        commands->registerAllCommandsForTarget(this);
        commands->registerAllCommandsForTarget(m_content);
        commands->registerAllCommandsForTarget(juce::JUCEApplication::getInstance());
        commands->setFirstCommandTarget(m_content);
        addKeyListener(commands->getKeyMappings());
    }
    if (content != nullptr)
        setContentOwned(content.release(), true);
    else
        setContentNonOwned(nullptr, false);

    const int width = getWidth();
    const int height = getHeight();
    setResizeLimits(width, height, width, tallestWorkArea(height));
    int storedHeight = height;
    if (CZadPreferences* preferences = preferencesOf(m_host))
        storedHeight = preferences->ReadInteger(kHeightKey, height);
    if (const auto* constrainer = getConstrainer())
        storedHeight = juce::jlimit(constrainer->getMinimumHeight(), constrainer->getMaximumHeight(), storedHeight);
    centreWithSize(width, storedHeight, 0);
    resized();

    juce::Desktop::getInstance().addFocusChangeListener(this);
    if (m_host != nullptr)
    {
        const juce::ScopedLock sl(m_host->ObtainCriticalSection());
        m_host->AddListener(this);
    }
    setVisible(true);
    toFront(true);
    if (commands != nullptr)
        commands->commandStatusChanged();
}

CVXMainWindow::~CVXMainWindow()
{
    Vextal::CommandManager* commands = m_host != nullptr ? Vextal::CommandManager::GetInstance() : nullptr;
    if (commands != nullptr)
        commands->setFirstCommandTarget(nullptr);
    if (m_host != nullptr)
    {
        const juce::ScopedLock sl(m_host->ObtainCriticalSection());
        m_host->RemoveListener(this);
    }
    juce::Desktop::getInstance().removeFocusChangeListener(this);
    if (CZadPreferences* preferences = preferencesOf(m_host))
    {
        preferences->WriteInteger(kWidthKey, getWidth());
        preferences->WriteInteger(kHeightKey, getHeight());
    }
    clearContentComponent();
    m_content = nullptr;
    setMenuBar(nullptr);
    if (commands != nullptr)
    {
        removeKeyListener(commands->getKeyMappings());
        Vextal::CommandManager::DestroyInstance();
    }
}

juce::String CVXMainWindow::titleFor(const juce::String& songlistName)
{
    return (songlistName.isEmpty() ? juce::String(kUntitled) : songlistName) + " - " + kApplicationTitle;
}

void CVXMainWindow::showSonglistName(const juce::String& name)
{
    setNameAndModified(titleFor(name), m_host != nullptr && m_host->isVXSLChanged());
    if (juce::ApplicationCommandManager* commands = getCommandManager())
        commands->commandStatusChanged();
}

void CVXMainWindow::songlistNameChanged(CVXHost*, const juce::String& name)
{
    showSonglistName(name);
}

void CVXMainWindow::OnVXHostPlayerStatusChanged(CVXHost*, int)
{
}

void CVXMainWindow::closeButtonPressed()
{
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
}

bool CVXMainWindow::keyPressed(const juce::KeyPress& key)
{
    // The ideographic space of an input method plays and pauses like Space.
    if (key.getTextCharacter() == kIdeographicSpace && m_host != nullptr && m_host->GetMode() == 0)
    {
        if (juce::ApplicationCommandManager* commands = getCommandManager())
            commands->invokeDirectly(kPlayPauseCommand, false);
        return true;
    }
    return false;
}

juce::ApplicationCommandManager* CVXMainWindow::getCommandManager()
{
    return m_host != nullptr ? Vextal::CommandManager::GetInstance() : nullptr;
}

void CVXMainWindow::menuOpening()
{
}

void CVXMainWindow::globalFocusChanged(juce::Component*)
{
}

// ---------------------------------------------------------------------------
// The Window commands

juce::ApplicationCommandTarget* CVXMainWindow::getNextCommandTarget()
{
    return nullptr;
}

void CVXMainWindow::getAllCommands(juce::Array<juce::CommandID>& commands)
{
    commands.addArray({kMinimize, kZoom, kBringAllToFront, kWindowItem});
}

void CVXMainWindow::getCommandInfo(juce::CommandID commandID, juce::ApplicationCommandInfo& result)
{
    const juce::String category = CZJEResource::GetText("Menu_Name_Window");
    auto set = [&](const juce::String& name) { result.setInfo(name, name, category, 0); };
    switch (commandID)
    {
        case kMinimize:
            set(CZJEResource::GetText("Menu_Item_Minimize"));
            result.addDefaultKeypress('m', juce::ModifierKeys::commandModifier);
            result.setActive(isShowing());
            break;
        case kZoom:
            set(CZJEResource::GetText("Menu_Item_Zoom"));
            break;
        case kBringAllToFront:
            set(CZJEResource::GetText("Menu_Item_BringAllToFront"));
            break;
        case kWindowItem:
            set(getName());
            result.setTicked(isShowing());
            break;
        default:
            break;
    }
}

bool CVXMainWindow::perform(const InvocationInfo& info)
{
    switch (info.commandID)
    {
        case kMinimize: minimiseButtonPressed(); break;
        case kZoom: toggleZoom(); break;
        case kBringAllToFront:
        case kWindowItem: bringToFront(); break;
        default: break;
    }
    return true;
}

void CVXMainWindow::bringToFront()
{
    setMinimised(false);
    toFront(true);
}

// ---------------------------------------------------------------------------
// Dropped files

bool CVXMainWindow::isInterestedInFileDrag(const juce::StringArray&)
{
    return m_host != nullptr && m_host->GetMode() == 0;
}

void CVXMainWindow::filesDropped(const juce::StringArray& files, int, int)
{
    if (m_host == nullptr || m_host->GetMode() != 0 || files.isEmpty())
        return;
    if (files.size() == 1 && files[0].endsWithIgnoreCase(Vextal::SonglistFile::kExtension) &&
        m_host->GetNumSongs() == 0)
        m_host->OpenProject(juce::File(files[0]), true);
    else if (Vextal::CommandManager* commands = Vextal::CommandManager::GetInstance())
        commands->stackActionInUndoList(std::make_unique<Vextal::AddSongAction>(*m_host, files), true,
                                        Vextal::CommandManager::transactionName("Action_AddAudioFiles"));
    bringToFront();
}

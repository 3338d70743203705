#include "src/CVXMainWindow.h"

#include "library/vextal_juce/CZJEResource.h"
#include "library/zad/CZadPreferences.h"
#include "src/ActionManager.h"
#include "src/AddSongThreadWithProgressWindow.h"
#include "src/CVXLookAndFeel.h"
#include "src/MenuBarManager.h"
#include "src/jucer_components/MainComponent.h"
#include "src/songlist/AddSongAction.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/SonglistFile.h"

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
    m_actions = std::make_unique<Vextal::ActionManager>(m_host, this);
    auto content = m_host != nullptr ? std::make_unique<Vextal::MainComponent>(*m_host) : nullptr;
    m_content = content.get();
    if (m_content != nullptr)
        m_actions->addBlocker(m_content);

    if (commands != nullptr)
    {
        commands->registerAllCommandsForTarget(m_actions.get());
        commands->registerAllCommandsForTarget(this);
        commands->registerAllCommandsForTarget(m_content);
        commands->registerAllCommandsForTarget(juce::JUCEApplication::getInstance());
        commands->setFirstCommandTarget(m_content);
        addKeyListener(commands->getKeyMappings());
    }
    m_menuBar = std::make_unique<Vextal::MenuBarManager>(this, m_host);
    setMenuBar(m_menuBar.get());
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
        storedHeight =
            juce::jlimit(constrainer->getMinimumHeight(), constrainer->getMaximumHeight(), storedHeight);
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
    if (m_content != nullptr)
        m_actions->removeBlocker(m_content);
    clearContentComponent();
    m_content = nullptr;
    setMenuBar(nullptr);
    if (commands != nullptr)
        removeKeyListener(commands->getKeyMappings());
    m_menuBar.reset();
    if (commands != nullptr)
        Vextal::CommandManager::DestroyInstance();
    m_actions.reset();
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
    // Skip and Rewind want key-up calls only while the player does not
    // pause: registered again, their flags follow the status.
    juce::ApplicationCommandManager* commands = getCommandManager();
    if (commands != nullptr && m_actions != nullptr)
        m_actions->reregisterCueCommands(*commands);
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
    if (m_actions != nullptr)
    {
        m_actions->resetKeyStatus();
        m_actions->emulateKeyUp();
    }
}

void CVXMainWindow::globalFocusChanged(juce::Component*)
{
    // The Left and Right states seen at the last change, shared by every
    // call: a cue key held while the focus moved away is let go.
    static bool leftWasDown = false;
    static bool rightWasDown = false;
    const bool leftDown = juce::KeyPress::isKeyCurrentlyDown(juce::KeyPress::leftKey);
    const bool rightDown = juce::KeyPress::isKeyCurrentlyDown(juce::KeyPress::rightKey);
    const bool buttonDown = juce::ModifierKeys::currentModifiers.isAnyMouseButtonDown();
    if (!buttonDown && isActiveWindow())
    {
        leftWasDown = leftDown;
        rightWasDown = rightDown;
        return;
    }
    if (m_actions != nullptr)
    {
        if (leftWasDown || rightWasDown)
            m_actions->resetKeyStatus();
        m_actions->emulateKeyUp();
    }
    leftWasDown = leftDown;
    rightWasDown = rightDown;
}

// ---------------------------------------------------------------------------
// The Window commands

juce::ApplicationCommandTarget* CVXMainWindow::getNextCommandTarget()
{
    return m_actions.get();
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
    case kMinimize:
        minimiseButtonPressed();
        break;
    case kZoom:
        toggleZoom();
        break;
    case kBringAllToFront:
    case kWindowItem:
        bringToFront();
        break;
    default:
        break;
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
        commands->stackActionInUndoList(
            std::make_unique<Vextal::AddSongAction>(*m_host, files, Vextal::AddSongAction::kAppend,
                                                    Vextal::AddSongThreadWithProgressWindow::runWithWindow),
            true, Vextal::CommandManager::transactionName("Action_AddAudioFiles"));
    bringToFront();
}

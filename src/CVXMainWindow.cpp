#include "src/CVXMainWindow.h"

#include "src/AddSongAction.h"
#include "src/CVXHost.h"
#include "src/CommandManager.h"
#include "src/SonglistFile.h"

namespace
{
constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 560;
} // namespace

CVXMainWindow::CVXMainWindow(const juce::String& title)
    : juce::DocumentWindow(title, juce::Colours::darkgrey, juce::DocumentWindow::allButtons)
{
    setUsingNativeTitleBar(true);
    setResizable(true, false);
    centreWithSize(kDefaultWidth, kDefaultHeight);
}

CVXMainWindow::CVXMainWindow(CVXHost* host) : CVXMainWindow(juce::String("Vextal"))
{
    m_host = host;
    if (m_host != nullptr)
        Vextal::CommandManager::CreateInstance();
    setVisible(true);
}

CVXMainWindow::~CVXMainWindow()
{
    if (m_host != nullptr)
        Vextal::CommandManager::DestroyInstance();
}

void CVXMainWindow::closeButtonPressed()
{
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
}

bool CVXMainWindow::isInterestedInFileDrag(const juce::StringArray&)
{
    return m_host != nullptr;
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
    toFront(true);
}

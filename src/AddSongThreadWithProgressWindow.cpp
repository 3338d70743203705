#include "src/AddSongThreadWithProgressWindow.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/NativeDocumentWindow.h"
#include "src/songlist/TrackInfo.h"

namespace Vextal
{
namespace
{
constexpr int kCancelTimeOutMs = 1000;

// The main windows (the only document windows) take no input while songs are
// added.
void SetMainWindowsEnabled(bool enabled)
{
    for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
        if (auto* window = dynamic_cast<NativeDocumentWindow*>(juce::TopLevelWindow::getTopLevelWindow(i)))
            window->setEnabled(enabled);
}
} // namespace

AddSongThreadWithProgressWindow::AddSongThreadWithProgressWindow(const juce::StringArray& paths)
    : AddSongThreadWithProgressWindow(nullptr, paths)
{
}

AddSongThreadWithProgressWindow::AddSongThreadWithProgressWindow(AddSongWorker* worker,
                                                                 const juce::StringArray& paths)
    : ThreadWithCustomProgressWindow(CZJEResource::GetText("Songlist_AddAudioFiles"), true, true,
                                     kCancelTimeOutMs, CZJEResource::GetText("Button_Cancel")),
      m_ownWorker(worker == nullptr ? std::make_unique<AddSongWorker>(paths) : nullptr),
      m_worker(worker == nullptr ? *m_ownWorker : *worker)
{
    m_label.setName("File Name Label");
    m_label.setSize(284, 15);
    m_label.setJustificationType(juce::Justification::centredLeft);
}

AddSongThreadWithProgressWindow::~AddSongThreadWithProgressWindow()
{
    // The worker must be gone before the members it uses.
    signalThreadShouldExit();
    waitForThreadToExit(-1);
}

void AddSongThreadWithProgressWindow::runWithWindow(AddSongWorker& worker)
{
    SetMainWindowsEnabled(false);
    {
        AddSongThreadWithProgressWindow window(&worker, {});
        window.runThread(juce::Thread::Priority::normal);
    }
    worker.deliverFinishedSongs();
    SetMainWindowsEnabled(true);
}

void AddSongThreadWithProgressWindow::createCustomComponents(juce::Array<juce::Component*>& components)
{
    components.add(&m_label);
}

void AddSongThreadWithProgressWindow::updateCustomComponents()
{
    m_label.setText(m_worker.getCurrentFileName(), juce::dontSendNotification);
    m_worker.deliverFinishedSongs();
}

bool AddSongThreadWithProgressWindow::addFile(const juce::String& path, double progressBase,
                                              double progressStep)
{
    return m_worker.addFile(path, progressBase, progressStep, m_feedback);
}

void AddSongThreadWithProgressWindow::run()
{
    m_worker.run(m_feedback);
}
} // namespace Vextal

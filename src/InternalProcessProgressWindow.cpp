#include "src/InternalProcessProgressWindow.h"

#include "common/file/CSongRead.h"
#include "library/vextal_juce/CZJEResource.h"

namespace Vextal
{
namespace
{
// The host's state, with the stream of its current song.
class HostSource : public InternalProcessProgressWindow::Source
{
public:
    explicit HostSource(CVXHost& host) : m_host(host) {}

    int getHostMode() override { return m_host.GetMode(); }
    int getPlayerStatus() override { return m_host.GetPlayerStatus(); }
    bool isCurrentSongProcessing() override
    {
        auto* stream = m_host.GetSongReader();
        return stream != nullptr && stream->IsProcessingInternally();
    }
    double getCurrentSongProcessPercent() override
    {
        auto* stream = m_host.GetSongReader();
        return stream != nullptr ? stream->GetInternalProcessPercent() : 0.0;
    }

private:
    CVXHost& m_host;
};
} // namespace

InternalProcessProgressWindow::InternalProcessProgressWindow(CVXHost& host)
    : m_hostSource(std::make_unique<HostSource>(host)), m_source(*m_hostSource), m_host(&host),
      m_alert(CZJEResource::GetText("Common_ApplicationName"),
              CZJEResource::GetText("Songlist_ReadAudioData"), juce::MessageBoxIconType::NoIcon)
{
    build();
    m_host->AddListener(this);
}

InternalProcessProgressWindow::InternalProcessProgressWindow(Source& source)
    : m_source(source),
      m_alert(CZJEResource::GetText("Common_ApplicationName"),
              CZJEResource::GetText("Songlist_ReadAudioData"), juce::MessageBoxIconType::NoIcon)
{
    build();
}

InternalProcessProgressWindow::~InternalProcessProgressWindow()
{
    if (m_host != nullptr)
        m_host->RemoveListener(this);
    m_closeButton.removeListener(this);
}

void InternalProcessProgressWindow::build()
{
    // A named custom component gets a caption in the alert: the button has
    // only its text.
    m_closeButton.setButtonText(CZJEResource::GetText("Button_Close"));
    m_closeButton.setSize(88, 24);
    m_closeButton.addShortcut(juce::KeyPress(juce::KeyPress::returnKey));
    m_closeButton.addListener(this);
    m_alert.addProgressBarComponent(m_progress);
    m_alert.addCustomComponent(&m_closeButton);
    m_alert.setVisible(false);
}

void InternalProcessProgressWindow::OnVXHostCurPlayTrackChanged(CVXHost*, int)
{
    showIfProcessing();
}

void InternalProcessProgressWindow::OnVXHostPlayerStatusChanged(CVXHost*, int)
{
    showIfProcessing();
}

void InternalProcessProgressWindow::showIfProcessing()
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    if (m_source.getHostMode() != 0 || m_source.getPlayerStatus() == CVXHost::kStatusStopped)
        return;
    m_progress = m_source.getCurrentSongProcessPercent() * 0.01;
    if (!m_source.isCurrentSongProcessing())
    {
        m_alert.setVisible(false);
        return;
    }
    m_alert.setVisible(true);
    m_alert.toFront(false);
}

void InternalProcessProgressWindow::OnVXHostTimerCallback(CVXHost*)
{
    if (!m_source.isCurrentSongProcessing())
    {
        m_alert.setVisible(false);
        return;
    }
    m_progress = m_source.getCurrentSongProcessPercent() * 0.01;
}

void InternalProcessProgressWindow::buttonClicked(juce::Button* button)
{
    if (button == &m_closeButton)
        m_alert.setVisible(false);
}
} // namespace Vextal

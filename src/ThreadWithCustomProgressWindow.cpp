#include "src/ThreadWithCustomProgressWindow.h"

#include "library/util/CCheckUtil.h"

ThreadWithCustomProgressWindow::ThreadWithCustomProgressWindow(const juce::String& title, bool hasProgressBar,
                                                               bool hasCancelButton,
                                                               int timeOutMsWhenCancelling,
                                                               const juce::String& cancelButtonText)
    : juce::Thread(title),
      m_alert(std::make_unique<juce::AlertWindow>(title, juce::String(), juce::MessageBoxIconType::NoIcon)),
      m_hasProgressBar(hasProgressBar), m_hasCancelButton(hasCancelButton),
      m_timeOutMs(timeOutMsWhenCancelling), m_cancelButtonText(cancelButtonText)
{
    // Only the Cancel button ends the loop from the keyboard: Escape without
    // it would read as the worker having ended.
    m_alert->setEscapeKeyCancels(false);
}

ThreadWithCustomProgressWindow::~ThreadWithCustomProgressWindow()
{
    stopTimer();
    stopWorker();
    m_alert.reset();
}

void ThreadWithCustomProgressWindow::setProgress(double progress)
{
    m_progress.store(progress, std::memory_order_relaxed);
}

void ThreadWithCustomProgressWindow::setStatusMessage(const juce::String& text)
{
    const juce::ScopedLock sl(m_statusLock);
    m_status = text;
}

void ThreadWithCustomProgressWindow::buildAlert()
{
    juce::Array<juce::Component*> components;
    createCustomComponents(components);
    for (auto* component : components)
        m_alert->addCustomComponent(component);
    if (m_hasProgressBar)
        m_alert->addProgressBarComponent(m_shownProgress);
    if (m_hasCancelButton)
        m_alert->addButton(m_cancelButtonText, 1, juce::KeyPress(juce::KeyPress::escapeKey));
    m_alert->setDropShadowEnabled(true);
}

void ThreadWithCustomProgressWindow::showStatus()
{
    m_shownProgress = m_progress.load(std::memory_order_relaxed);
    juce::String status;
    {
        const juce::ScopedLock sl(m_statusLock);
        status = m_status;
    }
    m_alert->setMessage(status);
    updateCustomComponents();
}

bool ThreadWithCustomProgressWindow::runThread(juce::Thread::Priority priority)
{
    VX_ASSERT_MESSAGE_THREAD();
    buildAlert();
    startThread(priority);
    startTimer(100);
    showStatus();
    const int result = m_alert->runModalLoop();
    stopTimer();
    stopWorker();
    m_alert->setVisible(false);
    return result == 0;
}

void ThreadWithCustomProgressWindow::timerCallback()
{
    if (!isThreadRunning())
    {
        m_alert->exitModalState(0);
        return;
    }
    showStatus();
}

void ThreadWithCustomProgressWindow::stopWorker()
{
    signalThreadShouldExit();
    if (!waitForThreadToExit(m_timeOutMs))
        waitForThreadToExit(-1);
}

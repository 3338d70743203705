#include "src/Output/ExportProgressWindow.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "library/zfc/CZfcSheet.h"
#include "src/CustomAlertWindow.h"
#include "src/songlist/Output/ExportManager.h"

namespace Vextal
{
ExportProgressWindow::ExportProgressWindow() : m_cancelButton(std::make_unique<juce::TextButton>())
{
    // An unnamed component gets no caption in the alert.
    m_cancelButton->setButtonText(CZJEResource::GetText("Button_Cancel"));
    m_cancelButton->setSize(88, 24);
    m_cancelButton->addListener(this);
    if (ExportManager* manager = ExportManager::GetInstance())
        manager->AddListener(this);
}

ExportProgressWindow::~ExportProgressWindow()
{
    if (m_window != nullptr && m_window->isCurrentlyModal())
        m_window->exitModalState(0);
    if (ExportManager* manager = ExportManager::GetInstance())
        manager->RemoveListener(this);
    if (m_window != nullptr)
        for (int i = m_window->getNumCustomComponents(); --i >= 0;)
            m_window->removeCustomComponent(i);
    m_cancelButton->removeListener(this);
    m_cancelButton.reset();
    m_window.reset();
}

void ExportProgressWindow::show()
{
    VX_ASSERT_MESSAGE_THREAD();
    if (m_window == nullptr)
    {
        m_window = std::make_unique<SemiModalAlertWindow>(getWindowTitle(), juce::String(),
                                                          juce::MessageBoxIconType::NoIcon);
        m_window->delegate = this;
        m_window->escapeKeyPassesOn = true;
        m_window->addButtonKey(*m_cancelButton, juce::KeyPress(juce::KeyPress::escapeKey));
        m_window->addProgressBarComponent(m_progress);
        addComponentsToWindow(m_window.get());
    }
    m_window->setAlwaysOnTop(false);
    if (!m_window->isCurrentlyModal(false))
        m_window->enterModalState(true);
    m_window->setVisible(true);
    m_window->toFront(true);
}

juce::String ExportProgressWindow::getWindowTitle()
{
    return CZJEResource::GetText(ExportSessionNames::kFileExport);
}

void ExportProgressWindow::addComponentsToWindow(SemiModalAlertWindow* window)
{
    window->addCustomComponent(m_cancelButton.get());
}

void ExportProgressWindow::exportProgressUpdated(ExportSession*, double percent, const char* key,
                                                 const juce::StringArray& args)
{
    m_progress = percent * 0.01;
    if (key != nullptr && m_window != nullptr)
        setMessage(CZJEResource::GetText(key).replace("%1", args.isEmpty() ? juce::String() : args[0]));
}

void ExportProgressWindow::setMessage(const juce::String& message)
{
    if (m_window == nullptr)
        return;
    m_message = message;
    m_window->setMessage(message);
}

void ExportProgressWindow::buttonClicked(juce::Button* button)
{
    if (button != m_cancelButton.get())
        return;
    if (ExportManager* manager = ExportManager::GetInstance())
        manager->cancel();
}

bool ExportProgressWindow::canModalEventBeSentTo(const juce::Component* component, const juce::Component*)
{
    if (CustomAlertWindow::isTopLevelWindow(component))
        return true;
    return CZfcSheet::sm_iNumSheetsOpened < 1;
}
} // namespace Vextal

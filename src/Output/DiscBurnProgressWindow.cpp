#include "src/Output/DiscBurnProgressWindow.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEText.h"

namespace Vextal
{
namespace
{
using CZJEText::Text;
} // namespace

DiscBurnProgressWindow::DiscBurnProgressWindow()
    : m_buttonStrip(std::make_unique<juce::Component>()), m_noButton(std::make_unique<juce::TextButton>()),
      m_yesButton(std::make_unique<juce::TextButton>())
{
    m_buttonStrip->setSize(224, 24);
    m_noButton->setButtonText(Text("Button_No"));
    m_noButton->setBounds(0, 0, 88, 24);
    m_yesButton->setButtonText(Text("Button_Yes"));
    m_yesButton->setBounds(136, 0, 88, 24);
    for (juce::TextButton* button : {m_noButton.get(), m_yesButton.get()})
    {
        button->addListener(this);
        m_buttonStrip->addAndMakeVisible(button);
    }
}

DiscBurnProgressWindow::~DiscBurnProgressWindow()
{
    m_noButton->removeListener(this);
    m_yesButton->removeListener(this);
    // The strip goes before the base takes the window's components away.
    if (m_window != nullptr)
        for (int i = m_window->getNumCustomComponents(); --i >= 0;)
            if (m_window->getCustomComponent(i) == m_buttonStrip.get())
                m_window->removeCustomComponent(i);
    m_buttonStrip->removeAllChildren();
    m_noButton.reset();
    m_yesButton.reset();
    m_buttonStrip.reset();
}

juce::String DiscBurnProgressWindow::getWindowTitle()
{
    return Text(ExportSessionNames::kDiscBurn);
}

void DiscBurnProgressWindow::buttonClicked(juce::Button* button)
{
    if (button == m_yesButton.get() || button == m_noButton.get())
    {
        if (m_window != nullptr)
            m_window->exitModalState(button == m_yesButton.get() ? 1 : 0);
        return;
    }
    ExportProgressWindow::buttonClicked(button);
}

void DiscBurnProgressWindow::showButtons(juce::Component& buttons)
{
    if (m_window->getNumCustomComponents() > 0 && m_window->getCustomComponent(0) == &buttons)
        return;
    if (m_window->getNumCustomComponents() > 0)
        m_window->removeCustomComponent(0);
    m_window->addCustomComponent(&buttons);
}

bool DiscBurnProgressWindow::exportShouldRepeat(ExportSession* session)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (session == nullptr || session->getSessionNameKey() != ExportSessionNames::kDiscBurn)
        return false;
    if (m_window == nullptr)
        show();
    if (!m_keysAdded)
    {
        m_window->addButtonKey(*m_noButton, juce::KeyPress(juce::KeyPress::escapeKey));
        m_window->addButtonKey(*m_noButton, juce::KeyPress('n'));
        m_window->addButtonKey(*m_yesButton, juce::KeyPress(juce::KeyPress::returnKey));
        m_window->addButtonKey(*m_yesButton, juce::KeyPress('y'));
        m_keysAdded = true;
    }

    m_progress = 0.0;
    if (session->isSucceeded())
    {
        setMessage(Text("DiscBurn_Completed"));
        m_window->removeColour(juce::AlertWindow::textColourId);
        m_yesButton->setButtonText(Text("Button_Burn"));
        m_noButton->setButtonText(Text("Button_DontBurn"));
    }
    else
    {
        setMessage(session->getLastErrorMessage() + Text("DiscBurn_Retry"));
        m_window->setColour(juce::AlertWindow::textColourId, juce::Colours::red);
        m_yesButton->setButtonText(Text("Button_BurnRetry"));
        m_noButton->setButtonText(Text("Button_Stop"));
    }
    showButtons(*m_buttonStrip);

    m_window->exitModalState(-1);
    m_asking = true;
    const int answer = m_window->runModalLoop();
    m_asking = false;
    m_window->enterModalState(true);
    m_window->repaint();
    if (answer != 1)
        return false;
    m_window->removeColour(juce::AlertWindow::textColourId);
    showButtons(*m_cancelButton);
    return true;
}
} // namespace Vextal

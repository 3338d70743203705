#include "library/zfc/CZfcSheet.h"

#include "library/util/CCheckUtil.h"
#include "library/zfc/CZfcFadeIn.h"

namespace
{
const juce::DropShadow kSheetShadow(juce::Colours::black.withAlpha(0.5f), 10, {1, 5});
} // namespace

CZfcSheet::CZfcSheet() : m_shadow(kSheetShadow)
{
    setOpaque(true);
    m_shadow.setOwner(this);
    setOpaque(false);
}

CZfcSheet::~CZfcSheet()
{
    if (m_iState == kOpen)
        --sm_iNumSheetsOpened;
}

bool CZfcSheet::Open()
{
    VX_ASSERT_MESSAGE_THREAD();
    auto* parent = getParentComponent();
    if (m_iState != kClosed || parent == nullptr)
        return false;
    DoBeforeOpen();
    // A slide out still running would hide the sheet again at its end.
    juce::Desktop::getInstance().getAnimator().cancelAnimation(this, false);
    setTopLeftPosition((parent->getWidth() - getWidth()) / 2, 0);
    enterModalState(true);
    m_iState = kOpening;
    CZfcFadeIn::Start(this, kFadeMs, 0, getHeight(), 1.0f);
    return true;
}

void CZfcSheet::handleCommandMessage(int commandId)
{
    if (commandId != CZfcFadeIn::FadeInEndMessage)
    {
        juce::Component::handleCommandMessage(commandId);
        return;
    }
    if (m_iState == kOpening && isVisible())
        CompleteOpening();
}

void CZfcSheet::visibilityChanged()
{
    if (m_iState == kOpening && isVisible() && !CZfcFadeIn::IsFadingIn(*this))
        CompleteOpening();
}

void CZfcSheet::CompleteOpening()
{
    m_iState = kOpen;
    ++sm_iNumSheetsOpened;
    grabKeyboardFocus();
    DoAfterOpen();
    CallListeners([this](CZfcSheetListener& listener) { listener.OnZfcSheetOpened(this); });
}

bool CZfcSheet::Close()
{
    VX_ASSERT_MESSAGE_THREAD();
    if (m_iState != kOpen)
        return false;
    m_iState = kClosed;
    DoBeforeClose();
    {
        const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
        if (lock.lockWasGained())
            SlideOut();
    }
    exitModalState(0);
    --sm_iNumSheetsOpened;
    DoAfterClose();
    CallListeners([this](CZfcSheetListener& listener) { listener.OnZfcSheetClosed(this); });
    return true;
}

void CZfcSheet::SlideOut()
{
    if (isShowing())
        juce::Desktop::getInstance().getAnimator().animateComponent(
            this, getBounds().translated(0, -getHeight()), 0.0f, kFadeMs, true, 1.0, 1.0);
    setVisible(false);
}

bool CZfcSheet::canModalEventBeSentToComponent(const juce::Component* target)
{
    return dynamic_cast<const juce::TopLevelWindow*>(target) != nullptr;
}

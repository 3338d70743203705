#include "src/NativeDocumentWindow.h"

namespace
{
constexpr int kModalCheckDelayMs = 50;
const juce::String kModifiedMark("*");
} // namespace

NativeDocumentWindow::NativeDocumentWindow(const juce::String& title, juce::Colour background,
                                           int requiredButtons)
    : juce::DocumentWindow(title, background, requiredButtons), m_title(title)
{
}

NativeDocumentWindow::~NativeDocumentWindow()
{
    stopTimer();
    juce::DocumentWindow::setMenuBar(nullptr);
}

void NativeDocumentWindow::setNameAndModified(const juce::String& title, bool modified)
{
    m_title = title;
    m_modified = modified;
    setName(modified ? kModifiedMark + title : title);
}

void NativeDocumentWindow::setMenuBar(juce::MenuBarModel* model)
{
    if (m_menuModel != nullptr)
        m_menuModel->setApplicationCommandManagerToWatch(nullptr);
    m_menuModel = model;
    if (m_menuModel != nullptr)
        m_menuModel->setApplicationCommandManagerToWatch(getCommandManager());
    juce::DocumentWindow::setMenuBar(model != nullptr ? this : nullptr);
    // The window stops watching with the model too, so that the command
    // manager may be deleted once the menu bar is cleared.
    setApplicationCommandManagerToWatch(model != nullptr ? getCommandManager() : nullptr);
}

juce::StringArray NativeDocumentWindow::getMenuBarNames()
{
    return m_menuModel != nullptr ? m_menuModel->getMenuBarNames() : juce::StringArray();
}

juce::PopupMenu NativeDocumentWindow::getMenuForIndex(int topLevelMenuIndex, const juce::String& menuName)
{
    menuOpening();
    return m_menuModel != nullptr ? m_menuModel->getMenuForIndex(topLevelMenuIndex, menuName)
                                  : juce::PopupMenu();
}

void NativeDocumentWindow::menuItemSelected(int menuItemID, int topLevelMenuIndex)
{
    if (m_menuModel != nullptr)
        m_menuModel->menuItemSelected(menuItemID, topLevelMenuIndex);
}

// ---------------------------------------------------------------------------
// Size and zoom

int NativeDocumentWindow::getTitleBarHeight() const
{
    if (isUsingNativeTitleBar() && isOnDesktop())
        if (juce::ComponentPeer* peer = getPeer())
            if (const auto frame = peer->getFrameSizeIfPresent())
                return frame->getTop();
    return juce::DocumentWindow::getTitleBarHeight();
}

juce::BorderSize<int> NativeDocumentWindow::getBorderThickness()
{
    if (isUsingNativeTitleBar() && isOnDesktop())
        return {};
    return juce::DocumentWindow::getBorderThickness();
}

void NativeDocumentWindow::setResizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight)
{
    m_minWidth = minWidth;
    m_minHeight = minHeight;
    m_maxWidth = maxWidth;
    m_maxHeight = juce::jmax(minHeight, maxHeight - getTitleBarHeight());
    juce::DocumentWindow::setResizeLimits(m_minWidth, m_minHeight, m_maxWidth, m_maxHeight);
}

void NativeDocumentWindow::centreWithSize(int width, int height, int monitorIndex)
{
    const auto& displays = juce::Desktop::getInstance().getDisplays().displays;
    if (displays.isEmpty())
    {
        setSize(width, height);
        return;
    }
    const juce::Rectangle<int> area = displays[juce::jmin(monitorIndex, displays.size() - 1)].userArea;
    setBoundsConstrained({area.getX() + (area.getWidth() - width) / 2,
                          area.getY() + (area.getHeight() - height + getTitleBarHeight()) / 2, width,
                          height});
}

void NativeDocumentWindow::setSizeCentred(int width, int height)
{
    const juce::Rectangle<int> previous = m_lastBounds.isEmpty() ? getBounds() : m_lastBounds;
    const juce::ScopedValueSetter<int> guard(m_resizing, m_resizing + 1);
    setBounds(juce::Rectangle<int>(width, height).withCentre(previous.getCentre()));
    m_lastBounds = getBounds();
}

void NativeDocumentWindow::resized()
{
    juce::DocumentWindow::resized();
    if (m_resizing > 0)
        return;
    const juce::ScopedValueSetter<int> guard(m_resizing, m_resizing + 1);
    const int width = getWidth();
    const int height = getHeight();
    const bool tooWide = m_maxWidth > 0 && width > m_maxWidth;
    const bool tooTall = m_maxHeight > 0 && height > m_maxHeight;
    if (!tooWide && !tooTall)
    {
        m_zoomed = false;
        m_normalWidth = width;
        m_normalHeight = height;
        m_lastBounds = getBounds();
        return;
    }
    // The system enlarged the window (its maximise button): back within the
    // limits, or to the size before when it was zoomed already.
    if (m_zoomed && m_normalWidth > 0 && m_normalHeight > 0)
        setSizeCentred(m_normalWidth, m_normalHeight);
    else
        setSizeCentred(tooWide ? m_maxWidth : width, tooTall ? m_maxHeight : height);
    m_zoomed = !m_zoomed;
}

void NativeDocumentWindow::toggleZoom()
{
    if (!isShowing())
    {
        setMinimised(false);
        return;
    }
    if (!m_zoomed)
    {
        setSizeCentred(getWidth(), m_maxHeight > 0 ? m_maxHeight : getHeight());
        m_zoomed = true;
    }
    else if (m_normalWidth > 0 && m_normalHeight > 0)
    {
        setSizeCentred(m_normalWidth, m_normalHeight);
        m_zoomed = false;
    }
    else
    {
        setFullScreen(false);
    }
}

// ---------------------------------------------------------------------------
// Modal windows of the application in front

void NativeDocumentWindow::activeWindowStatusChanged()
{
    juce::DocumentWindow::activeWindowStatusChanged();
    startTimer(kModalCheckDelayMs);
}

void NativeDocumentWindow::timerCallback()
{
    stopTimer();
    juce::Component* modal = juce::Component::getCurrentlyModalComponent();
    if (modal == nullptr || !modal->isOnDesktop() || modal == this)
        return;
    const bool active = isActiveWindow();
    modal->setAlwaysOnTop(active);
    if (active && !modal->canModalEventBeSentToComponent(this))
    {
        modal->toFront(true);
        modal->grabKeyboardFocus();
    }
}

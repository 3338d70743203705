#include "src/Output/DiscEraseProgressWindow.h"

#include "library/vextal_juce/CZJEResource.h"

namespace Vextal
{
juce::String DiscEraseProgressWindow::getWindowTitle()
{
    return CZJEResource::GetText(ExportSessionNames::kDiscErase);
}

void DiscEraseProgressWindow::addComponentsToWindow(SemiModalAlertWindow* window)
{
    window->setWantsKeyboardFocus(true);
    window->escapeKeyPassesOn = false;
    // Closing by the window system is no way out either.
    window->setEscapeKeyCancels(false);
}
} // namespace Vextal

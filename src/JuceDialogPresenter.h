#pragma once

#include "src/songlist/DialogPresenter.h"

namespace Vextal
{
// Shows the dialog manager's boxes, choosers and dialogs in windows: boxes as
// CustomAlertWindow, dialogs in a TempDialogWindow, choosers through the
// framework's file chooser. The picture chooser always uses the framework's
// own file browser, which shows the picture preview beside the list; the
// other choosers use the desktop's native dialog when asked to and one is
// installed.
//
// Message thread only.
class JuceDialogPresenter : public DialogPresenter
{
public:
    explicit JuceDialogPresenter(bool nativeChoosers);

    // Makes the dialog manager show its boxes and choosers in windows
    // whenever no other presenter is installed.
    static void installAsWindowPresenter();

    DialogAnswer runBox(const DialogBox& box) override;
    bool runChooser(const DialogChooser& chooser, juce::Array<juce::File>& chosen) override;
    int runDialog(const juce::String& title, juce::Component& content,
                  juce::Component* centreAround) override;

    // The size of the picture preview.
    static constexpr int kPreviewWidth = 160;
    static constexpr int kPreviewHeight = 120;

private:
    bool m_nativeChoosers;
};
} // namespace Vextal

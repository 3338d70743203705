#include "src/JuceDialogPresenter.h"

#include "src/songlist/DialogManager.h"

#include "src/CustomAlertWindow.h"
#include "src/TempDialogWindow.h"
#include "src/jucer_components/EmbeddedImagePreviewComponent.h"

#include <memory>

namespace Vextal
{
namespace
{
constexpr int kCheckBoxHeight = 24;

int FlagsOf(ChooserMode mode)
{
    using B = juce::FileBrowserComponent;
    switch (mode)
    {
    case ChooserMode::openFiles:
        return B::openMode | B::canSelectFiles | B::canSelectMultipleItems;
    case ChooserMode::chooseFolder:
        return B::openMode | B::canSelectDirectories;
    case ChooserMode::saveFile:
        return B::saveMode | B::canSelectFiles;
    case ChooserMode::openFile:
    default:
        return B::openMode | B::canSelectFiles;
    }
}

// Puts a long detail below the message as its own read-only block. The box is
// first sized for message and detail together: the framework only ever
// enlarges an alert when its message changes.
void AddDetail(juce::AlertWindow& alert, const DialogBox& box)
{
    if (box.detail.isEmpty())
        return;
    alert.setMessage(box.message + "\n\n" + box.detail);
    alert.addTextBlock(box.detail);
    alert.setMessage(box.message);
}
} // namespace

void JuceDialogPresenter::installAsWindowPresenter()
{
    DialogManager::setWindowPresenterFactory([] { return std::make_unique<JuceDialogPresenter>(true); });
}

JuceDialogPresenter::JuceDialogPresenter(bool nativeChoosers) : m_nativeChoosers(nativeChoosers) {}

DialogAnswer JuceDialogPresenter::runBox(const DialogBox& box)
{
    // Made before the box, which borrows it and goes first.
    std::unique_ptr<juce::ToggleButton> check;
    CustomAlertWindow alert(box.title, box.message, box.icon);
    for (const auto& button : box.buttons)
        alert.addButton(button);
    AddDetail(alert, box);
    if (box.checkBox.has_value())
    {
        check = std::make_unique<juce::ToggleButton>(box.checkBox->text);
        // The box writes a custom component's name above it: the text is
        // the button's alone.
        check->setName({});
        check->setSize(0, kCheckBoxHeight);
        check->changeWidthToFitText();
        check->setToggleState(box.checkBox->ticked, juce::dontSendNotification);
        alert.addCustomComponent(check.get());
    }
    // The box takes every key: a button with the focus would take Return for
    // itself, and the leftmost button is Cancel.
    for (auto* child : alert.getChildren())
    {
        if (auto* button = dynamic_cast<juce::Button*>(child))
            button->setWantsKeyboardFocus(false);
    }
    alert.setWantsKeyboardFocus(true);
    alert.toFront(true);
    const int result = alert.runModalLoop();
    return {result, check != nullptr && check->getToggleState()};
}

bool JuceDialogPresenter::runChooser(const DialogChooser& chooser, juce::Array<juce::File>& chosen)
{
    const bool native = m_nativeChoosers && !chooser.picturePreview;
    juce::FileChooser fileChooser(chooser.title, chooser.start, chooser.filter, native, false, nullptr);
    std::unique_ptr<EmbeddedImagePreviewComponent> preview;
    if (chooser.picturePreview)
    {
        preview = std::make_unique<EmbeddedImagePreviewComponent>();
        preview->setSize(kPreviewWidth, kPreviewHeight);
    }
    if (!fileChooser.showDialog(FlagsOf(chooser.mode), preview.get()))
        return false;
    chosen = fileChooser.getResults();
    return !chosen.isEmpty();
}

int JuceDialogPresenter::runDialog(const juce::String& title, juce::Component& content,
                                   juce::Component* centreAround)
{
    TempDialogWindow window(title);
    window.setUsingNativeTitleBar(true);
    window.setContentNonOwned(&content, true);
    window.centreAroundComponent(centreAround, window.getWidth(), window.getHeight());
    window.setResizable(true, false);
    const int result = window.runModalLoop();
    window.clearContentComponent();
    return result;
}
} // namespace Vextal

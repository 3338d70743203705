#pragma once

#include "library/vextal_juce/CZJEListenerOwner.h"
#include "src/jucer_components/SimpleImageButton.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace Vextal
{
class FileImageComponent;

// Told when the user changed the well's path (dropped, chosen or cleared a
// picture), or when the owner set a path with notification.
class FileImageComponentListener
{
public:
    virtual ~FileImageComponentListener() = default;
    virtual void fileImageComponentChanged(FileImageComponent* well) { (void)well; }
};

// The picture well: shows the picture at a path (a JPEG or PNG file, or the
// picture embedded in an audio file), read on its own thread 100 ms after
// the path was set. The user drops one picture or audio file onto it, clicks
// it to choose a file (the picture chooser of the dialog manager) or clears
// it with the small delete button that shows while the mouse is over the
// picture. The well knows nothing about songs: its owner gives it a path and
// a message and reads the path back.
//
// Display: while a picture is shown it fills the well, proportions kept; the
// placeholder picture ("NoPicture") shows otherwise, with a message over it
// ("Other_NoPicture", "Other_LoadingPicture", "Other_InvalidPicture" or the
// owner's message). setMessage can put the placeholder in place of a loaded
// picture (the owner's "several pictures" case), and the message stays over
// it.
//
// Threads. Every operation, notice and component change is on the message
// thread. The loading thread ("image loading thread") reads the path, decodes
// the picture and hands it back through an asynchronous update; the timer
// never starts a second load while one runs.
//
// Locks. m_lock guards the path, the loaded picture and the path it was
// loaded from, which the loading thread reads and writes. A load that ends
// after the path has changed again is not shown: the update shows only a
// picture loaded from the current path (the newer load follows).
class FileImageComponent : public juce::Component,
                           public CZJEListenerOwner<FileImageComponentListener>,
                           public juce::FileDragAndDropTarget,
                           private juce::Button::Listener,
                           private juce::Timer,
                           private juce::Thread,
                           private juce::AsyncUpdater
{
public:
    // The well's colour id 0: the drag highlight (black at alpha 0.5).
    enum ColourIds
    {
        dragHighlightColourId = 0
    };

    static constexpr int kLoadDelayMs = 100;

    FileImageComponent();
    ~FileImageComponent() override;

    // Shows the picture at path (loaded 100 ms later on the loading thread);
    // an empty path shows no picture. The same non-empty path again changes
    // nothing. With notify, the listeners are told in the order they were
    // added.
    void setFilePath(const juce::String& path, bool notify);
    juce::String getFilePath() const;
    // The label shows text; with replacePicture the placeholder is shown in
    // place of any loaded picture, the text over it.
    void setMessage(const juce::String& text, bool replacePicture);

    // Where the delete button's top-right corner goes for a picture of
    // pictureWidth x pictureHeight shown proportionally fitted in a well of
    // wellWidth x wellHeight: the top-right corner of the picture as drawn.
    static juce::Point<int> deleteButtonCorner(int pictureWidth, int pictureHeight, int wellWidth,
                                               int wellHeight);

    // What the well shows now, for its owner and the tests.
    const juce::Label& getMessageLabel() const { return m_label; }
    bool isShowingPicture() const { return m_pictureButton.isVisible(); }
    juce::Button& getPictureButton() { return m_pictureButton; }
    juce::Button& getPlaceholderButton() { return m_placeholderButton; }
    juce::Button& getDeleteButton() { return m_deleteButton; }

    void resized() override;
    void paintOverChildren(juce::Graphics& g) override;
    void colourChanged() override;
    void mouseEnter(const juce::MouseEvent& e) override;
    void mouseExit(const juce::MouseEvent& e) override;

    bool isInterestedInFileDrag(const juce::StringArray& files) override;
    void fileDragEnter(const juce::StringArray& files, int x, int y) override;
    void fileDragExit(const juce::StringArray& files) override;
    void filesDropped(const juce::StringArray& files, int x, int y) override;

private:
    void buttonClicked(juce::Button* button) override;
    void timerCallback() override;
    void run() override;
    void handleAsyncUpdate() override;

    void showPicture(const juce::Image& picture, bool placeholder);
    void showNoPicture(const juce::String& path);
    void setDragHighlight(bool on);
    void browse();
    void notifyListeners();

    mutable juce::CriticalSection m_lock;
    juce::String m_path;             // guarded by m_lock
    juce::Image m_picture;           // guarded by m_lock
    juce::String m_loadedPath;       // guarded by m_lock: the path m_picture was loaded from
    bool m_placeholderShown = false; // guarded by m_lock: setMessage replaced the picture

    juce::Image m_placeholder;
    bool m_dragHighlight = false;

    juce::ImageButton m_pictureButton;
    juce::ImageButton m_placeholderButton;
    juce::SimpleImageButton m_deleteButton;
    juce::Label m_label;

    JUCE_DECLARE_NON_COPYABLE(FileImageComponent)
};
} // namespace Vextal

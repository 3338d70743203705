#include "src/jucer_components/FileImageComponent.h"

#include "common/file/CImageFileReadBase.h"
#include "common/file/VextalFileUtil.h"
#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "library/vextal_juce/common/CZJEImageLoader.h"
#include "src/Resource/CVXResourceManager.h"
#include "src/songlist/DialogManager.h"
#include "src/songlist/VXUtil.h"

#include <memory>

namespace Vextal
{
namespace
{
constexpr int kLabelHeight = 20;
constexpr float kOverlayAlpha = 0.15f;

// The picture at path, or an invalid image when there is none.
juce::Image LoadPicture(const juce::String& path)
{
    if (path.isEmpty())
        return {};
    std::unique_ptr<CImageFileReadBase> reader(
        VextalFileUtil::CreateImageFileReadObject(path.toWideCharPointer()));
    if (reader == nullptr || reader->LoadImage() == 0)
        return {};
    return CZJEImageLoader::Decode(reader->GetImagePtr(), reader->GetLoadedImageSize());
}

// The picture on an image button: rescaled with the button, proportions
// kept; a white overlay while the mouse is over it, a black one while held.
void SetButtonPicture(juce::ImageButton& button, const juce::Image& picture)
{
    button.setImages(false, true, true, picture, 1.0f, juce::Colours::transparentBlack, picture, 1.0f,
                     juce::Colours::white.withAlpha(kOverlayAlpha), picture, 1.0f,
                     juce::Colours::black.withAlpha(kOverlayAlpha));
}

void PrepareImageButton(juce::ImageButton& button)
{
    button.setWantsKeyboardFocus(false);
    button.setMouseClickGrabsKeyboardFocus(false);
}
} // namespace

FileImageComponent::FileImageComponent()
    : juce::Thread("image loading thread"), m_placeholder(CVXResourceManager::Get(kImageNoPicture)),
      m_pictureButton("picture"), m_placeholderButton("placeholder"),
      m_deleteButton("delete picture", CVXResourceManager::Get(kImageButtonRemovePicture), 3, 1, 2, 0, 0,
                     1.0f)
{
    setColour(dragHighlightColourId, juce::Colours::black.withAlpha(0.5f));
    for (juce::ImageButton* button : {&m_pictureButton, &m_placeholderButton})
    {
        PrepareImageButton(*button);
        button->addListener(this);
        addChildComponent(*button);
    }
    SetButtonPicture(m_placeholderButton, m_placeholder);
    m_placeholderButton.setVisible(true);
    m_deleteButton.setWantsKeyboardFocus(false);
    m_deleteButton.setMouseClickGrabsKeyboardFocus(false);
    m_deleteButton.addListener(this);
    m_pictureButton.addChildComponent(m_deleteButton);
    m_pictureButton.addMouseListener(this, false);
    m_deleteButton.addMouseListener(this, false);

    m_label.setJustificationType(juce::Justification::centred);
    m_label.setEnabled(false);
    m_label.setInterceptsMouseClicks(false, false);
    m_label.setText(CZJEResource::GetText("Other_NoPicture"), juce::dontSendNotification);
    addAndMakeVisible(m_label);
    colourChanged();
}

FileImageComponent::~FileImageComponent()
{
    stopTimer();
    stopThread(-1);
    cancelPendingUpdate();
    m_pictureButton.removeMouseListener(this);
    m_deleteButton.removeMouseListener(this);
}

void FileImageComponent::setFilePath(const juce::String& path, bool notify)
{
    VX_ASSERT_MESSAGE_THREAD();
    {
        const juce::ScopedLock sl(m_lock);
        if (m_path.isNotEmpty() && m_path == path)
            return;
        m_path = path;
        if (path.isEmpty())
        {
            m_picture = {};
            m_loadedPath = {};
            m_placeholderShown = false;
        }
    }
    m_pictureButton.setVisible(false);
    m_deleteButton.setVisible(false);
    m_placeholderButton.setVisible(true);
    if (path.isNotEmpty())
    {
        m_label.setText(CZJEResource::GetText("Other_LoadingPicture"), juce::dontSendNotification);
        startTimer(kLoadDelayMs);
    }
    else
    {
        m_label.setText(CZJEResource::GetText("Other_NoPicture"), juce::dontSendNotification);
    }
    m_label.setVisible(true);
    if (notify)
        notifyListeners();
}

juce::String FileImageComponent::getFilePath() const
{
    const juce::ScopedLock sl(m_lock);
    return m_path;
}

void FileImageComponent::setMessage(const juce::String& text, bool replacePicture)
{
    VX_ASSERT_MESSAGE_THREAD();
    m_label.setText(text, juce::dontSendNotification);
    if (!replacePicture)
        return;
    {
        const juce::ScopedLock sl(m_lock);
        m_placeholderShown = true;
    }
    triggerAsyncUpdate();
}

juce::Point<int> FileImageComponent::deleteButtonCorner(int pictureWidth, int pictureHeight, int wellWidth,
                                                        int wellHeight)
{
    const double w = pictureWidth, h = pictureHeight, W = wellWidth, H = wellHeight;
    if (w * H < h * W)
    {
        const double fittedWidth = h > 0 ? w * H / h : 0.0;
        return {static_cast<int>(W - (W - fittedWidth) / 2.0 - 0.5), 0};
    }
    const double fittedHeight = w > 0 ? h * W / w : 0.0;
    return {wellWidth, static_cast<int>((H - fittedHeight) / 2.0 + 0.5)};
}

void FileImageComponent::resized()
{
    m_pictureButton.setBounds(getLocalBounds());
    m_placeholderButton.setBounds(getLocalBounds());
    m_label.setBounds(0, (getHeight() - kLabelHeight) / 2, getWidth(), kLabelHeight);
    const juce::Image shown = m_pictureButton.getNormalImage();
    if (!shown.isValid())
        return;
    const juce::Point<int> corner =
        deleteButtonCorner(shown.getWidth(), shown.getHeight(), getWidth(), getHeight());
    m_deleteButton.setTopRightPosition(corner.x, corner.y);
}

void FileImageComponent::paintOverChildren(juce::Graphics& g)
{
    if (!m_dragHighlight)
        return;
    g.setColour(findColour(dragHighlightColourId));
    g.drawRect(getLocalBounds(), 2);
}

void FileImageComponent::colourChanged()
{
    m_label.setColour(juce::Label::textColourId, findColour(juce::Label::textColourId));
}

// The delete button shows while the mouse is over the picture or over the
// button itself; moving between the two keeps it.
void FileImageComponent::mouseEnter(const juce::MouseEvent& e)
{
    if (e.eventComponent == &m_pictureButton && m_pictureButton.isVisible())
        m_deleteButton.setVisible(true);
}

void FileImageComponent::mouseExit(const juce::MouseEvent& e)
{
    const juce::Point<int> at = e.getScreenPosition();
    if (e.eventComponent == &m_pictureButton && !m_deleteButton.getScreenBounds().contains(at))
        m_deleteButton.setVisible(false);
    else if (e.eventComponent == &m_deleteButton && !m_pictureButton.getScreenBounds().contains(at))
        m_deleteButton.setVisible(false);
    else
        return;
    m_pictureButton.setState(juce::Button::buttonNormal);
}

bool FileImageComponent::isInterestedInFileDrag(const juce::StringArray& files)
{
    if (files.size() != 1 || !isEnabled())
        return false;
    const juce::File file(files[0]);
    if (!file.existsAsFile())
        return false;
    const juce::String extension = file.getFileExtension().fromFirstOccurrenceOf(".", false, false);
    return getImageFileExtensions(true).contains(extension, true);
}

void FileImageComponent::fileDragEnter(const juce::StringArray&, int, int)
{
    setDragHighlight(true);
}

void FileImageComponent::fileDragExit(const juce::StringArray&)
{
    setDragHighlight(false);
}

void FileImageComponent::filesDropped(const juce::StringArray& files, int, int)
{
    setDragHighlight(false);
    if (files.isEmpty())
        return;
    setFilePath(files[0], true);
    if (auto* window = getTopLevelComponent())
        window->toFront(true);
}

void FileImageComponent::buttonClicked(juce::Button* button)
{
    if (button == &m_deleteButton)
    {
        m_deleteButton.setVisible(false);
        setFilePath({}, true);
    }
    else
    {
        browse();
    }
}

void FileImageComponent::timerCallback()
{
    if (isThreadRunning())
        return;
    stopTimer();
    startThread();
}

void FileImageComponent::run()
{
    const juce::String path = getFilePath();
    juce::Image picture = LoadPicture(path);
    {
        const juce::ScopedLock sl(m_lock);
        m_picture = std::move(picture);
        m_loadedPath = path;
        m_placeholderShown = false;
    }
    triggerAsyncUpdate();
}

void FileImageComponent::handleAsyncUpdate()
{
    juce::String path, loadedPath;
    juce::Image picture;
    bool placeholder = false;
    {
        const juce::ScopedLock sl(m_lock);
        path = m_path;
        loadedPath = m_loadedPath;
        picture = m_picture;
        placeholder = m_placeholderShown;
    }
    if (placeholder)
        showPicture(m_placeholder, true);
    else if (loadedPath != path)
        return; // a newer load follows
    else if (picture.isValid())
        showPicture(picture, false);
    else
        showNoPicture(path);
}

void FileImageComponent::showPicture(const juce::Image& picture, bool placeholder)
{
    SetButtonPicture(m_pictureButton, picture);
    m_pictureButton.setVisible(true);
    m_placeholderButton.setVisible(false);
    m_label.setVisible(placeholder);
    resized();
    repaint();
}

void FileImageComponent::showNoPicture(const juce::String& path)
{
    m_label.setText(CZJEResource::GetText(path.isNotEmpty() ? "Other_InvalidPicture" : "Other_NoPicture"),
                    juce::dontSendNotification);
    m_label.setVisible(true);
    m_deleteButton.setVisible(false);
    m_pictureButton.setVisible(false);
    m_placeholderButton.setVisible(true);
}

void FileImageComponent::setDragHighlight(bool on)
{
    m_dragHighlight = on;
    repaint();
}

void FileImageComponent::browse()
{
    juce::String path;
    if (DialogManager::browseToOpen(path, DialogManager::kPictureFile) && path.isNotEmpty())
        setFilePath(path, true);
}

void FileImageComponent::notifyListeners()
{
    CallListenersLocked([this](FileImageComponentListener& l) { l.fileImageComponentChanged(this); });
}
} // namespace Vextal

#include "src/jucer_components/EmbeddedImagePreviewComponent.h"

#include "common/file/CImageFileReadBase.h"
#include "common/file/VextalFileUtil.h"
#include "library/vextal_juce/common/CZJEImageLoader.h"

#include <algorithm>
#include <memory>

namespace
{
// The name of the picture format of the encoded bytes ("PNG", "JPEG", "GIF").
juce::String FormatName(const void* data, size_t size)
{
    juce::MemoryInputStream stream(data, size, false);
    auto* format = juce::ImageFileFormat::findImageFormatForStream(stream);
    return format != nullptr ? format->getFormatName() : juce::String();
}

juce::String Describe(const juce::Image& picture, const juce::String& format, size_t bytes)
{
    return format + "\n" + juce::String(picture.getWidth()) + " x " + juce::String(picture.getHeight()) +
           " pixels\n" + juce::File::descriptionOfSizeInBytes(static_cast<juce::int64>(bytes));
}
} // namespace

EmbeddedImagePreviewComponent::EmbeddedImagePreviewComponent() = default;
EmbeddedImagePreviewComponent::~EmbeddedImagePreviewComponent() = default;

void EmbeddedImagePreviewComponent::selectedFileChanged(const juce::File& newSelectedFile)
{
    if (newSelectedFile == m_file)
        return;
    m_file = newSelectedFile;
    startTimer(100);
}

void EmbeddedImagePreviewComponent::timerCallback()
{
    stopTimer();
    m_thumbnail = juce::Image();
    m_text.clear();
    repaint();
    load();
}

void EmbeddedImagePreviewComponent::load()
{
    std::unique_ptr<CImageFileReadBase> reader(
        VextalFileUtil::CreateImageFileReadObject(m_file.getFullPathName().toWideCharPointer()));
    if (reader == nullptr || reader->LoadImage() == 0)
        return;
    const size_t size = reader->GetLoadedImageSize();
    const juce::Image picture = CZJEImageLoader::Decode(reader->GetImagePtr(), size);
    if (!picture.isValid())
        return;
    m_text = Describe(picture, FormatName(reader->GetImagePtr(), size), size);
    const auto thumb = thumbnailSize(picture.getWidth(), picture.getHeight(), getWidth(), getHeight());
    m_thumbnail = picture.rescaled(std::max(1, thumb.getWidth()), std::max(1, thumb.getHeight()),
                                   juce::Graphics::mediumResamplingQuality);
    repaint();
}

juce::Rectangle<int> EmbeddedImagePreviewComponent::thumbnailSize(int w, int h, int previewWidth,
                                                                  int previewHeight)
{
    if (w <= 0 || h <= 0)
        return {};
    const double scale = std::min({0.97 * previewWidth / w, (previewHeight - 52.0) / h, 1.0});
    return {juce::roundToInt(w * scale), juce::roundToInt(h * scale)};
}

void EmbeddedImagePreviewComponent::paint(juce::Graphics& g)
{
    if (!m_thumbnail.isValid())
        return;
    const int top = (getHeight() - (m_thumbnail.getHeight() + 43)) / 2;
    g.drawImageWithin(m_thumbnail, 0, top, getWidth(), m_thumbnail.getHeight(),
                      juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize);
    g.setColour(juce::Colours::black);
    g.setFont(juce::Font(13.0f));
    g.drawFittedText(m_text, 0, top + m_thumbnail.getHeight() + 4, getWidth(), 100,
                     juce::Justification::centredTop, 3, 0.7f);
}

#include "common/disc/DiscOpenManager.h"

#include "common/disc/CVolumePath.h"
#include "common/disc/linux/CAudioCDPath.h"
#include "common/disc/linux/CCddbReadImpLinux.h"
#include "common/disc/linux/CCdioDisc.h"
#include "common/file/CAudioCDRead.h"
#include "library/util/CTextUtil.h"
#include "library/vextal_juce/CZJEResource.h"

#include <memory>
#include <vector>

namespace
{
juce::CriticalSection& ImagesLock()
{
    static juce::CriticalSection lock;
    return lock;
}

juce::StringArray& OpenedImages()
{
    static juce::StringArray images;
    return images;
}

// The album title of the title reader: the CD-Text title, else the volume's
// name; empty when the reader does not open.
juce::String SecondChoiceTitle(const wchar_t* path)
{
    CCddbReadImpLinux names;
    if (names.OpenDrive(path) != 0)
        return {};
    wchar_t buffer[DiscOpenManager::kMaxTitleLength] = {};
    names.GetAlbumTitle(buffer, DiscOpenManager::kMaxTitleLength);
    return juce::String(buffer);
}

juce::String PlainLetters(const juce::String& text)
{
    std::vector<wchar_t> letters(text.toWideCharPointer(), text.toWideCharPointer() + text.length() + 1);
    CTextUtil::WideLetterToNormal(letters.data(), letters.data(), false);
    return juce::String(letters.data());
}

juce::String TitleOf(CAudioCDRead& reader, const juce::String& secondChoice)
{
    juce::String title;
    if (CMultiString* text = reader.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kTitle))
        title = juce::String(text->GetReadPtrWChar());
    if (title.isEmpty())
        title = secondChoice;
    if (title.isEmpty())
        title = CZJEResource::GetText(DiscOpenManager::kDiscTypeAudioCDKey);
    return PlainLetters(title.substring(0, DiscOpenManager::kMaxTitleLength));
}
} // namespace

void DiscOpenManager::scan(juce::OwnedArray<DiscInfo>& list)
{
    list.clear();
    for (const std::wstring& drive : CCdioDisc::ListAudioVolumes())
        addIfAudioCD(juce::File(juce::String(drive.c_str())), list);
    for (const juce::String& image : getOpenedImages())
        addIfAudioCD(juce::File(image), list);
}

bool DiscOpenManager::addIfAudioCD(const juce::File& volume, juce::OwnedArray<DiscInfo>& list)
{
    const juce::String path = volume.getFullPathName();
    const wchar_t* widePath = path.toWideCharPointer();
    if (!CAudioCDPath::IsVolumePath(widePath))
        return false;
    const juce::String secondChoice = SecondChoiceTitle(widePath);
    if (!CAudioCDPath::VolumeExists(widePath))
        return false;
    CAudioCDRead reader(true);
    if (reader.OpenFile(widePath) != 0)
        return false;
    if (reader.GetNumTracks() >= 1)
    {
        auto info = std::make_unique<DiscInfo>();
        info->path = path;
        info->title = TitleOf(reader, secondChoice);
        info->tracks = reader.GetNumTracks();
        info->seconds = reader.GetTotalTimeSecond();
        info->paths.add(path);
        list.add(info.release());
    }
    return true;
}

void DiscOpenManager::addOpenedImage(const juce::String& cuePath)
{
    const juce::String image = CVolumePath::Normalise(cuePath);
    if (image.isEmpty())
        return;
    const juce::ScopedLock sl(ImagesLock());
    OpenedImages().addIfNotAlreadyThere(image);
}

void DiscOpenManager::removeOpenedImage(const juce::String& cuePath)
{
    const juce::ScopedLock sl(ImagesLock());
    OpenedImages().removeString(CVolumePath::Normalise(cuePath));
}

juce::StringArray DiscOpenManager::getOpenedImages()
{
    const juce::ScopedLock sl(ImagesLock());
    return OpenedImages();
}

#include "src/VXUtil.h"

#include "common/file/CQuickTimeFileRead.h"
#include "library/vextal_juce/CZJEResource.h"

namespace Vextal
{
juce::String getAudioFileWildcard()
{
    juce::String wildcard = "*.wav;*.aif;*.aiff;";
    if (CQuickTimeFileRead::IsQuickTimeInstalled())
        wildcard << "*.mp3;*.m4a;*.wma;";
    return wildcard + "*.cda;*.vxsl";
}

juce::StringArray getImageFileExtensions(bool withAudioFiles)
{
    juce::StringArray extensions{"jpg", "jpeg", "png"};
    if (!withAudioFiles)
        return extensions;
    extensions.addArray(juce::StringArray{"aif", "aiff"});
    if (CQuickTimeFileRead::IsQuickTimeInstalled())
        extensions.addArray(juce::StringArray{"mp3", "m4a"});
    return extensions;
}

juce::String getImageFileWildcard(bool withAudioFiles)
{
    juce::String wildcard;
    for (const auto& extension : getImageFileExtensions(withAudioFiles))
        wildcard << "*." << extension << ";";
    return wildcard;
}

juce::String fixShortcutKeyText(const juce::String& text)
{
    return text.replace(", backspace", "")
        .replace("spacebar", CZJEResource::GetText("Menu_Key_Space"))
        .replace("shortcut:", "")
        .removeCharacters("'")
        .replace("cursor left", CZJEResource::GetText("Symbol_Left"))
        .replace("cursor right", CZJEResource::GetText("Symbol_Right"));
}
} // namespace Vextal

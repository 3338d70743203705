#include "library/vextal_juce/linux/CZJEResourceFolder.h"

#include "library/util/linux/CLinuxUtil.h"

#include <cstdlib>

namespace
{
const char* const kEnvironmentVariable = "VEXTAL_RESOURCES";
const char* const kFolderName = "Resources";
const char* const kBaseLanguage = "en";

juce::CriticalSection& DefaultRootLock()
{
    static juce::CriticalSection lock;
    return lock;
}

juce::File& DefaultRootOverride()
{
    static juce::File root;
    return root;
}

// A plain file-name part: no separators, no parent or current folder.
bool IsPlainName(const juce::String& part)
{
    return part.isNotEmpty() && part != "." && part != ".." && !part.containsChar('/') &&
           !part.containsChar('\\');
}

juce::File ExistingFile(const juce::File& file)
{
    return file.existsAsFile() ? file : juce::File();
}
} // namespace

CZJEResourceFolder::CZJEResourceFolder()
    : CZJEResourceFolder(GetDefaultRoot(),
                         []
                         {
                             juce::StringArray languages;
                             CLinuxUtil::GetUserLanguages(languages);
                             return languages;
                         }())
{
}

CZJEResourceFolder::CZJEResourceFolder(const juce::File& root, const juce::StringArray& preferredLanguages)
    : m_root(root)
{
    for (const auto& language : preferredLanguages)
    {
        if (IsPlainName(language) && m_root.getChildFile(language).isDirectory())
            m_languages.addIfNotAlreadyThere(language);
    }
    // English is the base language every other one falls back to.
    m_languages.addIfNotAlreadyThere(kBaseLanguage);
}

void CZJEResourceFolder::SetDefaultRoot(const juce::File& root)
{
    const juce::ScopedLock sl(DefaultRootLock());
    DefaultRootOverride() = root;
}

juce::File CZJEResourceFolder::GetDefaultRoot()
{
    {
        const juce::ScopedLock sl(DefaultRootLock());
        if (DefaultRootOverride() != juce::File())
            return DefaultRootOverride();
    }
    const char* variable = std::getenv(kEnvironmentVariable);
    if (variable != nullptr && *variable != '\0')
    {
        const juce::String path = juce::String::fromUTF8(variable);
        if (juce::File::isAbsolutePath(path))
            return juce::File(path);
        return juce::File::getCurrentWorkingDirectory().getChildFile(path);
    }
    return juce::File::getSpecialLocation(juce::File::currentExecutableFile)
        .getParentDirectory()
        .getChildFile(kFolderName);
}

juce::File CZJEResourceFolder::FindLocalizedResource(const juce::String& language, const juce::String& name,
                                                     const juce::String& type) const
{
    if (!IsPlainName(language) || !IsPlainName(name) || (type.isNotEmpty() && !IsPlainName(type)))
        return {};
    const juce::String fileName = type.isEmpty() ? name : name + "." + type;
    return ExistingFile(m_root.getChildFile(language).getChildFile(fileName));
}

juce::File CZJEResourceFolder::FindResource(const juce::String& name, const juce::String& type) const
{
    if (!IsPlainName(name) || (type.isNotEmpty() && !IsPlainName(type)))
        return {};
    for (const auto& language : m_languages)
    {
        const juce::File file = FindLocalizedResource(language, name, type);
        if (file != juce::File())
            return file;
    }
    const juce::String fileName = type.isEmpty() ? name : name + "." + type;
    return ExistingFile(m_root.getChildFile(fileName));
}

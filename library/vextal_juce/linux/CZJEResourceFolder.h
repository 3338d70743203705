#pragma once

#include <juce_core/juce_core.h>

// Where the shipped resources of the application are found: a "Resources"
// folder with one sub-folder per language ("en", "ja", ...) that holds the
// localized files, and the language-independent files (the interface images)
// directly inside it.
//
// A resource name.type is looked up in the language folders in the search
// order, then in the folder itself. The search order is the user's preferred
// languages that have a folder, in order of preference, followed by "en" when
// it is not among them.
class CZJEResourceFolder
{
public:
    // The folder the programs use: the folder set by SetDefaultRoot, else the
    // one named by the environment variable VEXTAL_RESOURCES (when set and not
    // empty), else "Resources" beside the running executable; the preferred
    // languages are the user's (CLinuxUtil::GetUserLanguages).
    CZJEResourceFolder();
    // An explicit folder and list of preferred languages (language codes such
    // as "ja"; an empty list means English only).
    CZJEResourceFolder(const juce::File& root, const juce::StringArray& preferredLanguages);

    // Replaces the folder found by the default constructor; File() goes back to
    // the environment variable and the executable's folder.
    static void SetDefaultRoot(const juce::File& root);
    // The folder the default constructor would use now.
    static juce::File GetDefaultRoot();

    const juce::File& GetRoot() const { return m_root; }
    // The language folders searched, most preferred first; always ends with "en".
    const juce::StringArray& GetLanguages() const { return m_languages; }

    // The file of the resource name.type, or File() when neither a language
    // folder nor the folder itself holds it. Names with path separators or
    // parent references are refused.
    juce::File FindResource(const juce::String& name, const juce::String& type) const;
    // The file of name.type inside the folder of one language, or File().
    juce::File FindLocalizedResource(const juce::String& language, const juce::String& name,
                                     const juce::String& type) const;

private:
    juce::File m_root;
    juce::StringArray m_languages;
};

#include "library/vextal_juce/common/CZJEMessageKeys.h"
#include "library/vextal_juce/CZJEResource.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#ifndef VEXTAL_SOURCE_DIR
#error "VEXTAL_SOURCE_DIR must name the source tree"
#endif

namespace
{
const juce::File kSourceDir(VEXTAL_SOURCE_DIR);

juce::File SourceResources()
{
    return kSourceDir.getChildFile("Resources");
}

// The element names of a string table file, in file order.
juce::StringArray KeysOf(const juce::File& table)
{
    juce::StringArray keys;
    const auto root = juce::parseXML(table);
    if (root != nullptr)
    {
        for (const auto* element : root->getChildIterator())
            keys.add(element->getTagName());
    }
    return keys;
}

// The "%n" placeholders of a text, as a sorted set.
std::set<std::string> PlaceholdersOf(const juce::String& text)
{
    std::set<std::string> found;
    const std::string s = text.toStdString();
    static const std::regex placeholder("%[0-9]");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), placeholder); it != std::sregex_iterator(); ++it)
        found.insert(it->str());
    return found;
}

// The prefixes of message keys.
const char* const kKeyPattern =
    "\"((?:Menu_Name_|Menu_Item_|Menu_Key_|Button_|Common_|Songlist_|Export_|DiscBurn_|DiscErase_|"
    "DiscOpen_|InfoEditor_|Pref_|Action_|ChangeTarget_|Other_|Unit_|Symbol_|Juce_|Mac_)[A-Za-z0-9_]*)\"";

// Preference keys that share the "Export_" prefix; they are not message keys.
bool IsPreferenceKey(const juce::String& key)
{
    for (const char* prefix :
         {"Export_Common_", "Export_File_", "Export_Disc_", "Export_Drive_", "Export_Num_Drives_"})
    {
        if (key.startsWith(prefix))
            return true;
    }
    return false;
}
} // namespace

TEST(CZJEMessageKeys, TheEnglishTableHasATextForExactlyTheKeysOfTheProgram)
{
    const juce::File table = SourceResources().getChildFile("en/LocalizableStrings.xml");
    const juce::StringArray fileKeys = KeysOf(table);
    ASSERT_FALSE(fileKeys.isEmpty()) << table.getFullPathName();

    const juce::StringArray& known = CZJEMessageKeys::GetAll();
    for (const auto& key : known)
        EXPECT_TRUE(fileKeys.contains(key)) << "no English text for " << key;
    for (const auto& key : fileKeys)
        EXPECT_TRUE(CZJEMessageKeys::IsKnown(key)) << "the English table has an unknown key " << key;
    juce::StringArray unique(fileKeys);
    unique.removeDuplicates(false);
    EXPECT_EQ(unique.size(), fileKeys.size()) << "a key appears twice";

    const CZJEResource resource(CZJEResourceFolder(SourceResources(), {}));
    for (const auto& key : known)
        EXPECT_TRUE(resource.GetLocalizedString(key).isNotEmpty()) << "empty English text for " << key;
}

TEST(CZJEMessageKeys, TranslationsUseOnlyKnownKeysWithTheSamePlaceholders)
{
    const CZJEResource english(CZJEResourceFolder(SourceResources(), {}));
    int translations = 0;
    for (const auto& entry :
         juce::RangedDirectoryIterator(SourceResources(), false, "*", juce::File::findDirectories))
    {
        const juce::String language = entry.getFile().getFileName();
        if (language == "en")
            continue;
        ++translations;
        const juce::File table = entry.getFile().getChildFile("LocalizableStrings.xml");
        const juce::StringArray keys = KeysOf(table);
        EXPECT_FALSE(keys.isEmpty()) << "missing or malformed " << table.getFullPathName();

        const CZJEResource translated(CZJEResourceFolder(SourceResources(), {language}));
        EXPECT_EQ(translated.GetStringTableLanguage(), language);
        for (const auto& key : keys)
        {
            EXPECT_TRUE(CZJEMessageKeys::IsKnown(key)) << language << " has an unknown key " << key;
            EXPECT_EQ(PlaceholdersOf(translated.GetLocalizedString(key)),
                      PlaceholdersOf(english.GetLocalizedString(key)))
                << language << ": the arguments of " << key << " differ from English";
        }
    }
    EXPECT_GE(translations, 1);
}

// The key-like texts in the sources under folder that are not known keys, as
// "file: key" entries.
juce::StringArray UnknownKeysIn(const juce::File& folder)
{
    static const std::regex pattern(kKeyPattern);
    juce::StringArray unknown;
    for (const auto& entry : juce::RangedDirectoryIterator(folder, true, "*.cpp;*.h", juce::File::findFiles))
    {
        const std::string text = entry.getFile().loadFileAsString().toStdString();
        for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator();
             ++it)
        {
            const juce::String key((*it)[1].str());
            if (key.endsWith("_") || IsPreferenceKey(key))
                continue; // a prefix that code completes, or a preference key
            if (!CZJEMessageKeys::IsKnown(key))
                unknown.add(entry.getFile().getFileName() + ": " + key);
        }
    }
    return unknown;
}

// Every key-like text in the program's sources must be a known key, so that
// code never asks for a key the English table lacks.
TEST(CZJEMessageKeys, EveryKeyInTheSourcesIsKnown)
{
    for (const char* folder : {"src", "library", "common"})
    {
        ASSERT_TRUE(kSourceDir.getChildFile(folder).isDirectory()) << folder;
        EXPECT_EQ(UnknownKeysIn(kSourceDir.getChildFile(folder)).joinIntoString("\n"), "") << folder;
    }
}

TEST(CZJEMessageKeys, TheSourceScanFindsUnknownKeys)
{
    const vxtest::TempFolder scratch("VextalKeyScan");
    const juce::File folder(scratch.Path().string());
    ASSERT_TRUE(folder.getChildFile("sub").createDirectory());
    folder.getChildFile("sub/Code.cpp")
        .replaceWithText("auto a = res->GetLocalizedString(\"Export_DiskFull\");\n"
                         "auto b = res->GetLocalizedString(\"Export_DiskFul\");\n"
                         "const char* kError = \"DiscBurn_NotAKey\";\n"
                         "prefs.ReadInteger(\"Export_File_Format\", 0);\n"
                         "auto c = res->GetLocalizedString(juce::String(\"ChangeTarget_\") + name);\n");
    folder.getChildFile("Notes.txt").replaceWithText("\"Export_Ignored\"");
    EXPECT_EQ(UnknownKeysIn(folder),
              juce::StringArray({"Code.cpp: Export_DiskFul", "Code.cpp: DiscBurn_NotAKey"}));
}

// The build copies the tables beside the test program, where the default
// folder finds them.
TEST(CZJEMessageKeys, TheShippedCopyHasEveryText)
{
    const CZJEResource shipped(CZJEResourceFolder(CZJEResourceFolder::GetDefaultRoot(), {}));
    EXPECT_EQ(shipped.GetStringTableLanguage(), "en")
        << CZJEResourceFolder::GetDefaultRoot().getFullPathName();
    for (const auto& key : CZJEMessageKeys::GetAll())
        EXPECT_TRUE(shipped.GetLocalizedString(key).isNotEmpty()) << key;
    EXPECT_EQ(shipped.GetLocalizedString("Common_Language"), "en");
}

// Crash safety of songlist writes: a process killed with SIGKILL at any
// moment while it saves a large songlist over an existing one leaves either
// the old or the new file, each complete.

#include "library/vextal_juce/common/CZJEXmlReader.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/SonglistTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int kSongs = 10000;

using Child = vxtest::ChildProcess;

// The songs of a songlist file: its bytes after the saving date and time,
// which differ from one write to the next; empty when the file has none.
std::string SongBytes(const juce::File& file)
{
    juce::MemoryBlock bytes;
    if (!file.loadFileAsData(bytes))
        return {};
    const std::string text(static_cast<const char*>(bytes.getData()), bytes.getSize());
    const size_t properties = text.find("</ProjectProperties>");
    return properties == std::string::npos ? std::string() : text.substr(properties);
}

// The complete songlist of kSongs songs named TAG0, TAG1, ... (read through
// the XML reader once per tag; later files are compared byte for byte).
std::string TagOf(const juce::File& file, std::map<std::string, std::string>& known)
{
    const std::string bytes = SongBytes(file);
    for (const auto& [tag, songs] : known)
        if (bytes == songs)
            return tag;
    const std::unique_ptr<juce::XmlElement> root = CZJEXmlReader::ParseFile(file);
    if (root == nullptr || !root->hasTagName("VextalProject"))
        return {};
    std::string tag;
    int i = 0;
    for (const juce::XmlElement* track : root->getChildWithTagNameIterator("Track"))
    {
        const juce::String name = track->getChildByName("Name")->getAllSubText();
        if (i == 0)
            tag = name.dropLastCharacters(1).toStdString();
        if (name != juce::String(tag) + juce::String(i))
            return {};
        ++i;
    }
    if (i != kSongs || known.count(tag) != 0)
        return {};
    known[tag] = bytes;
    return tag;
}
} // namespace

TEST(SonglistCrashSafety, KillingAWriterLeavesTheOldOrTheNewFileWhole)
{
    songlisttest::TempFolder folder;
    const std::string target = (folder / "list.vxsl").string();
    const std::string child = VEXTAL_SONGLIST_CHILD;
    std::map<std::string, std::string> known;
    // The first write of the first writer makes the old file and tells how
    // long a write takes here (the writer makes its songs first); the kills
    // then land at random moments of a later write.
    long long writeMs = 0;
    std::mt19937 random(12345);
    int seen[2] = {0, 0};
    for (int round = 0; round < 3; ++round)
    {
        SCOPED_TRACE(round);
        Child writer({child, "loop", target, std::to_string(kSongs)});
        ASSERT_EQ(writer.ReadLine(120000), "begin b");
        if (round == 0)
        {
            const auto started = std::chrono::steady_clock::now();
            ASSERT_EQ(writer.ReadLine(120000), "written b");
            writeMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                            started)
                          .count();
            ASSERT_EQ(TagOf(juce::File(target), known), "b");
            ASSERT_EQ(writer.ReadLine(120000), "begin a");
        }
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<long long>(0, writeMs * 6 / 5)(random)));
        writer.Kill();
        const std::string tag = TagOf(juce::File(target), known);
        ASSERT_TRUE(tag == "a" || tag == "b") << "the file is neither the old nor the new songlist";
        ++seen[tag == "a" ? 0 : 1];
    }
    GTEST_LOG_(INFO) << "one write: " << writeMs << " ms; after the kills: " << seen[0] << " a, " << seen[1]
                     << " b";
    // Nothing but the songlist and hidden temporaries of killed writers,
    // which the next write into the folder removes.
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
    {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "list.vxsl" || name.rfind(".list.vxsl.vxtmp.", 0) == 0) << name;
    }
}

#include "common/disc/DiscOpenManager.h"

#include "tests/common/disc/CdTestImages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using cdtest::Image;

namespace
{
// Audio tracks at the given sectors, then the end of the disc.
Image AudioDisc(const std::string& title, std::vector<int> starts, int sectors)
{
    Image image;
    for (const int start : starts)
        image.tracks.emplace_back("AUDIO", start);
    image.sectors = sectors;
    image.title = title;
    return image;
}

juce::File Volume(const std::filesystem::path& cue)
{
    return juce::File(juce::String::fromUTF8(cue.string().c_str()));
}

class DiscOpenManagerTest : public testing::Test
{
protected:
    ~DiscOpenManagerTest() override
    {
        for (const juce::String& image : DiscOpenManager::getOpenedImages())
            DiscOpenManager::removeOpenedImage(image);
    }

    std::filesystem::path Write(const std::string& name, const Image& image)
    {
        return cdtest::WriteImage(m_folder.Path(), name, image);
    }

    // Title and track count of the listed discs that are images of this test
    // (a drive of the machine may hold a disc too).
    std::vector<std::string> ImageTitles(const juce::OwnedArray<DiscOpenManager::DiscInfo>& list) const
    {
        std::vector<std::string> titles;
        for (const DiscOpenManager::DiscInfo* disc : list)
            if (disc->path.startsWith(juce::String(m_folder.Path().string())))
                titles.push_back(disc->title.toStdString() + " " + std::to_string(disc->tracks));
        return titles;
    }

    rifftest::TempFolder m_folder;
    DiscOpenManager m_finder;
};
} // namespace

// An image opens as an audio CD titled by its CD-Text, else by its name with
// full-width letters made plain; tracks count from the first audio track to
// the last, and the length is theirs (75 sectors a second).
TEST_F(DiscOpenManagerTest, ImagesAreListedWithTitleTracksAndLength)
{
    Image enhanced = AudioDisc("", {100, 180}, 300);
    enhanced.tracks.insert(enhanced.tracks.begin(), cdtest::Track("MODE1/2352", 0));
    enhanced.title = "Enhanced";
    struct Case
    {
        std::string name;
        Image image;
        juce::String title;
        int tracks;
        double seconds;
    };
    const Case cases[] = {
        {"album", AudioDisc("Album One", {0, 750, 1500}, 2250), "Album One", 3, 30.0},
        {"My Live Set", AudioDisc("", {0}, 375), "My Live Set", 1, 5.0},
        {"\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3 \xEF\xBC\x91", AudioDisc("", {0}, 75), "ABC 1", 1, 1.0},
        {"enhanced", enhanced, "Enhanced", 2, 200.0 / 75.0},
    };
    juce::OwnedArray<DiscOpenManager::DiscInfo> list;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const juce::File volume = Volume(Write(c.name, c.image));
        list.clear();
        ASSERT_TRUE(m_finder.addIfAudioCD(volume, list));
        ASSERT_EQ(list.size(), 1);
        const DiscOpenManager::DiscInfo& disc = *list[0];
        EXPECT_STREQ(disc.type, DiscOpenManager::kDiscTypeAudioCDKey);
        EXPECT_EQ(disc.path, volume.getFullPathName());
        EXPECT_EQ(disc.title, c.title);
        EXPECT_EQ(disc.tracks, c.tracks);
        EXPECT_NEAR(disc.seconds, c.seconds, 1e-9);
        EXPECT_EQ(disc.paths, juce::StringArray(volume.getFullPathName()));
    }
}

// A data disc, a missing image and a path that names no disc add nothing.
TEST_F(DiscOpenManagerTest, WhatIsNoAudioCDIsLeftOut)
{
    Image data;
    data.tracks = {{"MODE1/2352", 0}};
    data.sectors = 150;
    const std::filesystem::path lost = Write("lost", AudioDisc("Lost", {0}, 75));
    std::filesystem::remove(lost.parent_path() / "lost.bin");
    juce::OwnedArray<DiscOpenManager::DiscInfo> list;
    EXPECT_FALSE(m_finder.addIfAudioCD(Volume(Write("data", data)), list));
    EXPECT_FALSE(m_finder.addIfAudioCD(Volume(lost), list));
    EXPECT_FALSE(m_finder.addIfAudioCD(Volume(m_folder / "song.wav"), list));
    EXPECT_EQ(list.size(), 0);
}

// A scan replaces the list: the opened images in the order they were opened
// (each once, however its path was written), less those gone since.
TEST_F(DiscOpenManagerTest, AScanListsTheOpenedImagesThatAreStillThere)
{
    const std::filesystem::path second = Write("second", AudioDisc("Second", {0, 75}, 150));
    const std::filesystem::path first = Write("first", AudioDisc("First", {0}, 75));
    const std::filesystem::path gone = Write("gone", AudioDisc("Gone", {0}, 75));
    DiscOpenManager::addOpenedImage(juce::String(second.string()));
    DiscOpenManager::addOpenedImage(juce::String(first.string()));
    DiscOpenManager::addOpenedImage(juce::String((m_folder.Path() / "." / "second.cue").string()));
    DiscOpenManager::addOpenedImage(juce::String(gone.string()));
    std::filesystem::remove(gone);
    EXPECT_EQ(DiscOpenManager::getOpenedImages().size(), 3);

    juce::OwnedArray<DiscOpenManager::DiscInfo> list;
    list.add(new DiscOpenManager::DiscInfo());
    m_finder.scan(list);
    EXPECT_EQ(ImageTitles(list), (std::vector<std::string>{"Second 2", "First 1"}));

    DiscOpenManager::removeOpenedImage(juce::String(second.string()) + "/");
    m_finder.scan(list);
    EXPECT_EQ(ImageTitles(list), (std::vector<std::string>{"First 1"}));
}

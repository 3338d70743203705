#include "src/CVXApp.h"

#include "library/zad/CZadPreferences.h"

#include "tests/support/SonglistTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
struct Expected
{
    juce::String open;
    juce::StringArray add;
};

CVXApp::CommandLineRequest FromText(const juce::String& commandLine)
{
    return CVXApp::interpretCommandLine(CVXApp::splitCommandLine(commandLine), "/work");
}
} // namespace

// The command line as one text: a lone "-psn" token, a quoted upper-case
// ".VXSL" path with spaces (opened), the same path twice (added), one WAV
// (added), nothing; relative paths are taken from the working folder.
TEST(CVXAppCommandLine, TextTable)
{
    struct Case
    {
        const char* line;
        Expected expected;
    };
    const Case cases[] = {
        {"-psn_0_1234567", {}},
        {"", {}},
        {"   ", {}},
        {"\"/My Music/Party List.VXSL\"", {"/My Music/Party List.VXSL", {}}},
        {"-psn_0_1 \"/My Music/Party List.VXSL\"", {"/My Music/Party List.VXSL", {}}},
        {"\"/My Music/Party List.VXSL\" \"/My Music/Party List.VXSL\"",
         {{}, {"/My Music/Party List.VXSL", "/My Music/Party List.VXSL"}}},
        {"/music/one.wav", {{}, {"/music/one.wav"}}},
        {"one.wav  \"sub dir/two.aiff\"", {{}, {"/work/one.wav", "/work/sub dir/two.aiff"}}},
        {"/a.wav -psn_0_1", {{}, {"/a.wav", "/work/-psn_0_1"}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.line);
        const CVXApp::CommandLineRequest request = FromText(c.line);
        EXPECT_EQ(request.songlistToOpen, c.expected.open);
        EXPECT_EQ(request.pathsToAdd, c.expected.add);
    }
}

// The command line as a list (the process arguments, a second launch's
// hand-over): never split again, quotes inside names kept.
TEST(CVXAppCommandLine, ListIsTakenAsItIs)
{
    const juce::StringArray tokens{"-psn_0_1", "", "/m/it's \"quoted\".wav", "rel dir/x.wav"};
    const CVXApp::CommandLineRequest request = CVXApp::interpretCommandLine(tokens, "/home/me");
    EXPECT_EQ(request.songlistToOpen, "");
    EXPECT_EQ(request.pathsToAdd, (juce::StringArray{"/m/it's \"quoted\".wav", "/home/me/rel dir/x.wav"}));
    EXPECT_EQ(CVXApp::interpretCommandLine({"/a b.VXSL"}, "/").songlistToOpen, "/a b.VXSL");
}

// The crash flag: missing or 1 is a clean end, written 0 at once; 0 is a
// crash and stays 0 until the shutdown writes 1.
TEST(CVXAppCrashCheck, FlagTable)
{
    songlisttest::TempFolder folder;
    CZadPreferences preferences;
    ASSERT_TRUE(preferences.OpenFile(juce::File((folder / "p.settings").string())));
    EXPECT_FALSE(CVXApp::checkPreviousRunCrashed(preferences)) << "missing";
    EXPECT_EQ(preferences.ReadInteger(CVXApp::kNormallyQuitKey, -1), 0);
    EXPECT_TRUE(CVXApp::checkPreviousRunCrashed(preferences));
    EXPECT_EQ(preferences.ReadInteger(CVXApp::kNormallyQuitKey, -1), 0);
    preferences.WriteInteger(CVXApp::kNormallyQuitKey, 1);
    EXPECT_FALSE(CVXApp::checkPreviousRunCrashed(preferences));

    // Written to the file at once: a kill now still finds 0.
    CZadPreferences again;
    ASSERT_TRUE(again.OpenFile(juce::File((folder / "p.settings").string())));
    EXPECT_EQ(again.ReadInteger(CVXApp::kNormallyQuitKey, -1), 0);
}

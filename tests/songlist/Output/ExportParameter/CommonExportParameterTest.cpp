#include "src/songlist/Output/ExportParameter/CommonExportParameter.h"

#include "common/file/CAudioDecodeTempFileManager.h"
#include "tests/support/ExportParameterTestSupport.h"

using Vextal::CommonExportParameter;

namespace
{
using CommonExportParameterTest = paramtest::ParameterTest;
} // namespace

// "Selected" can be chosen only while songs are selected; asked for without,
// All is stored. The filter is shown Off, Soft, Sharp, with Sharp (value 0)
// the default.
TEST_F(CommonExportParameterTest, SourceFollowsTheSelection)
{
    bool selected = false;
    CommonExportParameter set([&selected] { return selected; });
    EXPECT_TRUE(
        set.setParameterValue(CommonExportParameter::kSource, CommonExportParameter::kSourceSelected, true));
    EXPECT_EQ(set.getParameterValue(CommonExportParameter::kSource), CommonExportParameter::kSourceAll);
    selected = true;
    EXPECT_TRUE(
        set.setParameterValue(CommonExportParameter::kSource, CommonExportParameter::kSourceSelected, true));
    EXPECT_EQ(set.getParameterValue(CommonExportParameter::kSource), CommonExportParameter::kSourceSelected);

    EXPECT_EQ(set.getIntChoices(CommonExportParameter::kDsdFilter), juce::Array<int>({2, 1, 0}));
    EXPECT_EQ(set.getStringChoices(CommonExportParameter::kDsdFilter),
              juce::StringArray({"Off", "Soft", "Sharp"}));
    EXPECT_EQ(set.getParameterIndex(CommonExportParameter::kDsdFilter), 2);
    EXPECT_EQ(set.getParameterValue(CommonExportParameter::kDsdFilter), 0);
}

// A temporary folder that does not exist falls back to the one before it,
// then to the system's; the one written is also where decoding puts its
// temporary files.
TEST_F(CommonExportParameterTest, TemporaryFolderFallsBackAndReachesTheDecoder)
{
    CommonExportParameter set([] { return false; });
    const juce::String system = juce::File::getSpecialLocation(juce::File::tempDirectory).getFullPathName();
    EXPECT_EQ(set.getParameterText(CommonExportParameter::kTempDirectory), system);
    const juce::String scratch = Folder("scratch");
    set.setParameterText(CommonExportParameter::kTempDirectory, scratch, true);
    set.setParameterText(CommonExportParameter::kTempDirectory, scratch + "/gone", true);
    EXPECT_EQ(set.getParameterText(CommonExportParameter::kTempDirectory), scratch);

    set.writePreferences(m_store);
    const juce::String next(CAudioDecodeTempFileManager::GetInstance()->GetNextTempFilePath().c_str());
    CAudioDecodeTempFileManager::DestroyInstance();
    EXPECT_TRUE(next.startsWith(scratch + "/")) << next;
}

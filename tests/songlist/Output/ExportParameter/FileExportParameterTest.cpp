#include "src/songlist/Output/ExportParameter/FileExportParameter.h"

#include "tests/support/ExportParameterTestSupport.h"

using Vextal::FileExportParameter;

namespace
{
constexpr int kWav = 0;
constexpr int kAiff = 2;
constexpr int kMp3 = 4;
constexpr int kAac = 8;

// A format whose writer has no mono (no such writer is built).
class StereoOnlyParameter : public FileExportParameter
{
public:
    juce::BigInteger getEnablements(int index) const override
    {
        juce::BigInteger bits = FileExportParameter::getEnablements(index);
        if (index == kType)
            bits.clearBit(kTypeMono);
        return bits;
    }
};

using FileExportParameterTest = paramtest::ParameterTest;
} // namespace

// A new set is complete: WAV, stereo, 44.1 kHz, 16 bit, no quality; only the
// formats that have a writer are offered (no MP3).
TEST_F(FileExportParameterTest, StartsCompleteWithTheWritableFormatsOnly)
{
    FileExportParameter set;
    EXPECT_EQ(set.getStringChoices(FileExportParameter::kFormat), juce::StringArray({"WAV", "AIFF", "AAC"}));
    EXPECT_EQ(set.getIntChoices(FileExportParameter::kFormat), juce::Array<int>({kWav, kAiff, kAac}));
    EXPECT_EQ(set.getFormatUniqueID(), "WAV");
    EXPECT_EQ(set.getNumChannels(), 2);
    EXPECT_EQ(set.getSampleRate(), 44100u);
    EXPECT_EQ(set.getBitDepth(), 16);
    EXPECT_EQ(set.getQualityOption(), 0);
    EXPECT_EQ(set.getStringChoices(FileExportParameter::kSampleRate),
              juce::StringArray({"44.1 kHz", "48.0 kHz", "88.2 kHz", "96.0 kHz"}));
    EXPECT_EQ(set.getStringChoices(FileExportParameter::kBitDepth), juce::StringArray({"16 bit", "24 bit"}));

    // A format without a writer is not among the values: the choice stays.
    EXPECT_TRUE(set.setParameterValue(FileExportParameter::kFormat, kMp3, true));
    EXPECT_EQ(set.getFormatUniqueID(), "WAV");
}

// The format decides the channels, these the rates, these the depths and
// all of them the qualities; a choice the format's writer does not take is
// corrected as it is made.
TEST_F(FileExportParameterTest, TheFormatCascade)
{
    struct Case
    {
        const char* name;
        int format;
        int index;
        int choice;
        int storedValue;
        uint32_t rate;
        uint16_t bits;
        int quality;
    };
    const Case cases[] = {
        {"WAV takes 96 kHz", kWav, FileExportParameter::kSampleRate, 3, 96000, 96000, 16, 0},
        {"WAV takes 24 bit", kWav, FileExportParameter::kBitDepth, 1, 24, 44100, 24, 0},
        {"AAC refuses 96 kHz", kAac, FileExportParameter::kSampleRate, 3, 44100, 44100, 24, 128000},
        {"AAC takes 48 kHz", kAac, FileExportParameter::kSampleRate, 1, 48000, 48000, 24, 128000},
        {"AAC refuses 16 bit", kAac, FileExportParameter::kBitDepth, 0, 24, 44100, 24, 128000},
        {"AAC takes mono", kAac, FileExportParameter::kType, 0, 0, 44100, 24, 128000},
        {"AIFF takes 88.2 kHz", kAiff, FileExportParameter::kSampleRate, 2, 88200, 88200, 16, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        FileExportParameter set;
        ASSERT_TRUE(set.setParameterValue(FileExportParameter::kFormat, c.format, true));
        ASSERT_TRUE(set.setParameterIndex(c.index, c.choice, true));
        EXPECT_EQ(set.getParameterValue(c.index), c.storedValue);
        EXPECT_EQ(set.getSampleRate(), c.rate);
        EXPECT_EQ(set.getBitDepth(), c.bits);
        EXPECT_EQ(set.getQualityOption(), c.quality);
    }

    FileExportParameter aac;
    aac.setParameterValue(FileExportParameter::kFormat, kAac, true);
    EXPECT_EQ(aac.getEnablements(FileExportParameter::kSampleRate).toString(2), "11");
    EXPECT_EQ(aac.getEnablements(FileExportParameter::kBitDepth).toString(2), "10");
    // The depth shown is the one chosen for WAV; the depth used is AAC's.
    EXPECT_EQ(aac.getParameterValue(FileExportParameter::kBitDepth), 16);
    EXPECT_EQ(aac.getStringChoices(FileExportParameter::kQualityOption)[0], "64 kbps");
}

// With mono disabled by the format, Type moves to stereo.
TEST_F(FileExportParameterTest, MonoDisabledBecomesStereo)
{
    StereoOnlyParameter set;
    EXPECT_TRUE(set.setParameterIndex(FileExportParameter::kType, FileExportParameter::kTypeMono, true));
    EXPECT_EQ(set.getParameterIndex(FileExportParameter::kType), FileExportParameter::kTypeStereo);
    EXPECT_EQ(set.getNumChannels(), 2);
}

// When the quality list changes, the quality is chosen again by the value
// chosen last: the first option at or above it, or the last option when all
// are below it.
TEST_F(FileExportParameterTest, QualityIsChosenAgainByValue)
{
    FileExportParameter set;
    set.setParameterValue(FileExportParameter::kFormat, kAac, true);
    ASSERT_TRUE(set.setParameterValue(FileExportParameter::kQualityOption, 320000, true));
    EXPECT_EQ(set.rememberedQuality, 320000);

    set.setParameterIndex(FileExportParameter::kType, FileExportParameter::kTypeMono, true);
    EXPECT_EQ(set.getQualityOption(), 256000) << "mono tops out at 256 kbps";

    ASSERT_TRUE(set.setParameterValue(FileExportParameter::kQualityOption, 40000, true));
    set.setParameterIndex(FileExportParameter::kType, FileExportParameter::kTypeStereo, true);
    EXPECT_EQ(set.getQualityOption(), 64000) << "the first stereo rate at or above 40 kbps";

    ASSERT_TRUE(set.setParameterValue(FileExportParameter::kQualityOption, 160000, true));
    set.setParameterIndex(FileExportParameter::kType, FileExportParameter::kTypeMono, true);
    EXPECT_EQ(set.getQualityOption(), 160000) << "present in both lists, at another position";
    EXPECT_EQ(set.getParameterText(FileExportParameter::kQualityOption), "160 kbps");

    // Back to WAV and to AAC again: the quality is kept.
    set.setParameterValue(FileExportParameter::kFormat, kWav, true);
    EXPECT_EQ(set.getQualityOption(), 0);
    set.setParameterValue(FileExportParameter::kFormat, kAac, true);
    EXPECT_EQ(set.getQualityOption(), 160000);
}

// An output folder that does not exist falls back to the folder before it,
// then to the music folder.
TEST_F(FileExportParameterTest, OutputFolderFallsBack)
{
    FileExportParameter set;
    const juce::String music =
        juce::File::getSpecialLocation(juce::File::userMusicDirectory).getFullPathName();
    EXPECT_EQ(set.getParameterText(FileExportParameter::kOutputPath), music);
    const juce::String out = Folder("out");
    EXPECT_TRUE(set.setParameterText(FileExportParameter::kOutputPath, out, true));
    EXPECT_EQ(set.getParameterText(FileExportParameter::kOutputPath), out);
    EXPECT_TRUE(set.setParameterText(FileExportParameter::kOutputPath, out + "/missing", true));
    EXPECT_EQ(set.getParameterText(FileExportParameter::kOutputPath), out);
    juce::File(out).deleteRecursively();
    EXPECT_TRUE(set.setParameterText(FileExportParameter::kOutputPath, "relative/path", true));
    EXPECT_EQ(set.getParameterText(FileExportParameter::kOutputPath), music);
}

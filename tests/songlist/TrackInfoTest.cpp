#include "src/songlist/TrackInfo.h"

#include "common/disc/linux/CDiscUtilLinux.h"
#include "common/dsp/CDynamicControl.h"
#include "common/file/CAudioCDRead.h"
#include "common/file/CMarker.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/CSongRead.h"

#include "tests/common/disc/CdTestImages.h"
#include "tests/support/CheckReports.h"
#include "tests/support/SonglistTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

using Vextal::TrackInfo;
using namespace songlisttest;

namespace
{
using songtest::Part;
using songtest::SectionParts;

// The number of consistency-check reports made while body runs.
template <typename F>
int ReportsDuring(F&& body)
{
    TestSupport::ScopedCheckReports reports;
    body();
    return reports.Count();
}

// A source that only carries song information and markers.
class InfoSource : public CAudioPlayerInput
{
public:
    uint32_t GetSampleRate() override { return 44100; }
    uint16_t GetBitsPerSample() override { return 16; }
    uint16_t GetNumChannels() override { return 2; }
    int64_t GetNumSamples() override { return 0; }
    int64_t GetCurSamplePosition() override { return 0; }
    void SetCurSamplePosition(int64_t) override {}

    void Set(int field, const char* text)
    {
        GetMetaDataPtr()->GetStringPtr(field)->SetString(text, -1, false);
    }
    std::string Get(int field) { return GetMetaDataPtr()->GetStringPtr(field)->GetReadPtrChar(); }
};
} // namespace

// Every control is stored in its range and on its grid, as an edit and as a
// value from outside alike; a value that is not a number, or an id of the
// other kind, is reported and changes nothing.
TEST(TrackInfo, SetControlClampsAndRoundsEveryControl)
{
    struct FloatCase
    {
        int id;
        float value;
        float stored;
    };
    const FloatCase floats[] = {
        {TrackInfo::kGain, 0.04f, 0.0f},
        {TrackInfo::kGain, -0.06f, -0.1f},
        {TrackInfo::kGain, 1.25f, 1.3f},
        {TrackInfo::kGain, -1.25f, -1.3f},
        {TrackInfo::kGain, 75.0f, 60.0f},
        {TrackInfo::kGain, -1e30f, -60.0f},
        {TrackInfo::kFadeInTime, -3.0f, 0.0f},
        {TrackInfo::kFadeInTime, 12.34f, 10.0f},
        {TrackInfo::kFadeInTime, 0.04f, 0.0f},
        {TrackInfo::kFadeOutTime, 2.26f, 2.3f},
        {TrackInfo::kFadeOutTime, std::numeric_limits<float>::infinity(), 10.0f},
        {TrackInfo::kBalance, 0.333f, 0.33f},
        {TrackInfo::kBalance, -0.337f, -0.34f},
        {TrackInfo::kBalance, -2.0f, -1.0f},
        {TrackInfo::kBalance, 1.5f, 1.0f},
    };
    for (const FloatCase& c : floats)
    {
        SCOPED_TRACE(testing::Message() << TrackInfo::getControlName(c.id) << " " << c.value);
        TrackInfo song;
        song.setControl(c.id, c.value, false);
        EXPECT_FLOAT_EQ(song.getControlFloat(c.id), c.stored);
    }

    struct IntCase
    {
        int id;
        int value;
        int stored;
    };
    const IntCase ints[] = {
        {TrackInfo::kFadeInType, 7, 2}, {TrackInfo::kFadeInType, -1, 0}, {TrackInfo::kFadeOutType, 1, 1},
        {TrackInfo::kDcCut, -4, 0},     {TrackInfo::kDcCut, 3, 1},       {TrackInfo::kDcCut, 0, 0},
    };
    for (const IntCase& c : ints)
    {
        SCOPED_TRACE(testing::Message() << TrackInfo::getControlName(c.id) << " " << c.value);
        TrackInfo song;
        song.setControl(c.id, c.value, false);
        EXPECT_EQ(song.getControlInt(c.id), c.stored);
    }

    TrackInfo song;
    song.setControl(TrackInfo::kGain, 3.0f, false);
    song.setControl(TrackInfo::kFadeInType, 1, false);
    EXPECT_EQ(ReportsDuring(
                  [&]
                  {
                      song.setControl(TrackInfo::kGain, std::nanf(""), false);
                      song.setControl(TrackInfo::kFadeInType, 0.5f, false);
                      song.setControl(TrackInfo::kGain, 2, false);
                      song.setControl(7, 1.0f, false);
                      EXPECT_EQ(song.getControlInt(TrackInfo::kGain), 0);
                      EXPECT_EQ(song.getControlFloat(TrackInfo::kDcCut), 0.0f);
                  }),
              6);
    EXPECT_FLOAT_EQ(song.getControlFloat(TrackInfo::kGain), 3.0f);
    EXPECT_EQ(song.getControlInt(TrackInfo::kFadeInType), 1);
    EXPECT_STREQ(TrackInfo::getControlName(6), "ChangeTarget_Balance");
    EXPECT_STREQ(TrackInfo::getControlName(7), "");
}

// A control notice goes out only when the stored value changed.
TEST(TrackInfo, ControlNoticesOnlyOnChange)
{
    TrackInfo song;
    RecordingSongListener listener;
    song.addListener(&listener);
    song.addListener(&listener);
    song.setControl(TrackInfo::kGain, 0.04f, true);    // stores 0.0: unchanged
    song.setControl(TrackInfo::kGain, 1.0f, true);     // changed
    song.setControl(TrackInfo::kGain, 1.02f, true);    // stores 1.0 again
    song.setControl(TrackInfo::kFadeOutType, 5, true); // 2
    song.setControl(TrackInfo::kFadeOutType, 2, true); // unchanged
    song.setControl(TrackInfo::kBalance, 0.5f, false); // no notice asked
    EXPECT_EQ(listener.Texts(), (std::vector<std::string>{"control 0", "control 3"}));

    song.removeListener(&listener);
    song.setControl(TrackInfo::kGain, -1.0f, true);
    EXPECT_EQ(listener.notices.size(), 2u);
}

// Names and texts 1 to 5 lose their full-width letters (a name keeps the ones
// no file name may hold); the date and time parts are filtered to digits in
// their ranges, blanks meaning unset.
TEST(TrackInfo, SetTextFiltersEveryText)
{
    struct Case
    {
        int index;
        juce::String text;
        juce::String stored;
    };
    const Case cases[] = {
        {TrackInfo::kTitle, juce::CharPointer_UTF8("\xef\xbc\xa1\xef\xbc\xa2\xef\xbc\x8f\xef\xbc\x91"),
         "AB/1"},
        {TrackInfo::kSongName, juce::CharPointer_UTF8("\xef\xbc\xa1\xef\xbc\xa2\xef\xbc\x8f\xef\xbc\x91"),
         juce::CharPointer_UTF8("AB\xef\xbc\x8f"
                                "1")},
        {TrackInfo::kArtist, "Plain", "Plain"},
        {TrackInfo::kRecYear, "99", "2099"},
        {TrackInfo::kRecYear, "0", "    "},
        {TrackInfo::kRecYear, "", "    "},
        {TrackInfo::kRecYear, " 1x99 ", "2199"},
        {TrackInfo::kRecYear, "1999", "1999"},
        {TrackInfo::kRecYear, "20051", "2005"},
        {TrackInfo::kRecMonth, "13", "12"},
        {TrackInfo::kRecMonth, "7", "07"},
        {TrackInfo::kRecMonth, "00", "  "},
        {TrackInfo::kRecDay, "32", "31"},
        {TrackInfo::kRecDay, "  ", "  "},
        {TrackInfo::kRecHour, "0", "00"},
        {TrackInfo::kRecHour, "25", "23"},
        {TrackInfo::kRecHour, "", "  "},
        {TrackInfo::kRecMinute, "5", "05"},
        {TrackInfo::kRecSecond, "75", "59"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.index << " '" << c.text << "'");
        TrackInfo song;
        song.setText(c.index, c.text, false);
        EXPECT_EQ(song.getText(c.index), c.stored);
    }

    TrackInfo song;
    RecordingSongListener listener;
    song.addListener(&listener);
    song.setText(TrackInfo::kRecMonth, "7", true);
    song.setText(TrackInfo::kRecMonth, "07", true); // the same stored text
    song.setText(TrackInfo::kTitle, "T", true);
    EXPECT_EQ(listener.Texts(), (std::vector<std::string>{"text 7", "text 1"}));
    EXPECT_EQ(ReportsDuring(
                  [&]
                  {
                      song.setText(12, "x", true);
                      EXPECT_EQ(song.getText(12), "");
                  }),
              2);
    EXPECT_STREQ(TrackInfo::getTextName(11), "ChangeTarget_RecTime");
    EXPECT_STREQ(TrackInfo::getTextName(12), "");
}

// The normalized gain adds the offset only with the flag, rounds down to
// 0.1 dB and stays within -60 .. +60; it is what the controls hand the
// engine when asked.
TEST(TrackInfo, NormalizedGain)
{
    struct Case
    {
        bool normalize;
        float gain;
        float offset;
        float expected;
    };
    const Case cases[] = {
        {true, 1.0f, 2.37f, 3.3f},  {true, -1.0f, -0.01f, -1.1f},  {false, 1.0f, 2.37f, 1.0f},
        {true, 59.0f, 5.0f, 60.0f}, {true, -60.0f, -0.5f, -60.0f}, {true, 0.0f, 0.0f, 0.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.gain << " + " << c.offset);
        TrackInfo song;
        song.setControl(TrackInfo::kGain, c.gain, false);
        song.setNormalize(c.normalize);
        song.setNormalizeOffset(c.offset);
        EXPECT_FLOAT_EQ(song.getNormalizedGain(), c.expected);

        CDynamicControl params(2);
        song.copyControlsTo(&params, true);
        EXPECT_FLOAT_EQ(params.GetGaindB(), c.expected);
        song.copyControlsTo(&params, false);
        EXPECT_FLOAT_EQ(params.GetGaindB(), song.getControlFloat(TrackInfo::kGain));
    }
    TrackInfo song;
    song.setNormalizeOffset(2.0f);
    EXPECT_EQ(ReportsDuring([&] { song.setNormalizeOffset(std::nanf("")); }), 1);
    EXPECT_FLOAT_EQ(song.getNormalizeOffset(), 2.0f);
}

// The controls reach the engine whole: gain, both fades, DC cut, balance.
TEST(TrackInfo, CopyControlsToTheEngine)
{
    TrackInfo song;
    song.setControl(TrackInfo::kGain, -2.5f, false);
    song.setControl(TrackInfo::kFadeInType, 1, false);
    song.setControl(TrackInfo::kFadeInTime, 1.5f, false);
    song.setControl(TrackInfo::kFadeOutType, 2, false);
    song.setControl(TrackInfo::kFadeOutTime, 2.0f, false);
    song.setControl(TrackInfo::kDcCut, 1, false);
    song.setControl(TrackInfo::kBalance, -0.25f, false);
    CDynamicControl params(2);
    params.SetTotalTimeSecond(60.0);
    song.copyControlsTo(&params, false);
    int inType = 0, outType = 0;
    float inTime = 0.0f, outTime = 0.0f;
    params.GetFadeParams(&inType, &inTime, &outType, &outTime);
    EXPECT_FLOAT_EQ(params.GetGaindB(), -2.5f);
    EXPECT_EQ(inType, 1);
    EXPECT_FLOAT_EQ(inTime, 1.5f);
    EXPECT_EQ(outType, 2);
    EXPECT_FLOAT_EQ(outTime, 2.0f);
    EXPECT_EQ(params.GetDcCutMode(), 1);
    EXPECT_FLOAT_EQ(params.GetPan(), -0.25f);
}

namespace
{
// Songs of the pair tests. Files at 44100 Hz unless named otherwise: s16,
// s16b (stereo 16-bit, 1000 and 800 frames), s48 (stereo at 48000 Hz), s24
// (stereo 24-bit), m16, m16b (mono 16-bit, 1000 and 700 frames), m48 (mono at
// 48000 Hz), aiff (mono 16-bit AIFF), mono2/mono2b (mono songs of two
// sections), missing (a mono song whose file is gone), mp3/mp3b (compressed
// stereo, when the ffmpeg command can make them).
class SongPairTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto f = [this](const std::string& name) { return m_folder / name; };
        ASSERT_TRUE(WriteRampFile(f("s16.wav"), "wav", 1000, 44100, 2, 1));
        ASSERT_TRUE(WriteRampFile(f("s16b.wav"), "wav", 800, 44100, 2, 3000));
        ASSERT_TRUE(WriteRampFile(f("s48.wav"), "wav", 1000, 48000, 2, 1));
        ASSERT_TRUE(WriteRampFile(f("s24.wav"), "wav", 1000, 44100, 2, 1, 24));
        ASSERT_TRUE(WriteRampFile(f("m16.wav"), "wav", 1000, 44100, 1, 1));
        ASSERT_TRUE(WriteRampFile(f("m16b.wav"), "wav", 700, 44100, 1, 5000));
        ASSERT_TRUE(WriteRampFile(f("m48.wav"), "wav", 1000, 48000, 1, 1));
        ASSERT_TRUE(WriteRampFile(f("m.aiff"), "aiff", 1000, 44100, 1, 1));
        for (const char* name : {"s16", "s16b", "s48", "s24", "m16", "m16b", "m48"})
            m_songs[name] = SongOf(f(std::string(name) + ".wav"));
        m_songs["aiff"] = SongOf(f("m.aiff"));
        const std::wstring m16 = Wide(f("m16.wav"));
        const std::wstring m16b = Wide(f("m16b.wav"));
        m_songs["mono2"] = SongOfParts({{{{m16, 0, 500}}}, {{{m16, 500, 1000}}}});
        m_songs["mono2b"] = SongOfParts({{{{m16b, 0, 300}}}, {{{m16b, 300, 700}}}});
        m_songs["missing"] = SongOf(f("m16.wav"));
        m_songs["missing"]->getSong()->GetSectionPtr(0)->GetTrackPtr(0)->GetFilePtr(0)->SetFile(
            Wide(f("gone.wav")).c_str(), 0, -1, 0);
        m_songs["missing"]->reload(false);
        if (MakeMp3(f("s16.wav"), f("a.mp3")) && MakeMp3(f("s16b.wav"), f("b.mp3")))
        {
            m_songs["mp3"] = SongOf(f("a.mp3"));
            m_songs["mp3b"] = SongOf(f("b.mp3"));
        }
        for (const auto& [name, song] : m_songs)
            ASSERT_NE(song, nullptr) << name;
    }

    const TrackInfo* Song(const std::string& name) const
    {
        const auto it = m_songs.find(name);
        return it != m_songs.end() ? it->second.get() : nullptr;
    }
    bool Have(const std::string& name) const { return m_songs.count(name) != 0; }

    TempFolder m_folder;
    std::map<std::string, std::unique_ptr<TrackInfo>> m_songs;
};
} // namespace

// Combining asks for two present songs of one format, rate, depth and
// channel count (compressed ones only when allowed); linking asks the same of
// two mono songs that are not compressed, with as many sections each.
// Lengths play no part.
TEST_F(SongPairTest, CombineAndLinkTests)
{
    EXPECT_TRUE(Song("mono2")->isPresent());
    EXPECT_FALSE(Song("missing")->isPresent());
    struct Case
    {
        const char* a;
        const char* b;
        bool combine;
        bool combineCompressed;
        bool link;
    };
    const Case cases[] = {
        {"s16", "s16b", true, true, false},      {"s16", "s48", false, false, false},
        {"s16", "s24", false, false, false},     {"s16", "m16", false, false, false},
        {"m16", "s16", false, false, false},     {"m16", "m16b", true, true, true},
        {"m16", "m48", false, false, false},     {"m16", "aiff", false, false, false},
        {"m16", "missing", false, false, false}, {"missing", "m16", false, false, false},
        {"m16", "mono2", true, true, false},     {"mono2", "m16", true, true, false},
        {"mono2", "mono2b", true, true, true},   {"m16", "none", false, false, false},
        {"mp3", "mp3b", false, true, false},     {"s16", "mp3", false, false, false},
    };
    for (const Case& c : cases)
    {
        if ((std::string(c.a).rfind("mp3", 0) == 0 || std::string(c.b).rfind("mp3", 0) == 0) && !Have("mp3"))
            continue;
        SCOPED_TRACE(std::string(c.a) + " with " + c.b);
        const TrackInfo* a = Song(c.a);
        const TrackInfo* b = Song(c.b);
        EXPECT_EQ(a->canCombineWith(b, false), c.combine);
        EXPECT_EQ(a->canCombineWith(b, true), c.combineCompressed);
        EXPECT_EQ(a->canLinkWith(b), c.link);
    }
}

// Two songs play without a gap when the first ends where the second begins
// in the same file, with equal format, gain and balance, no fade-out before
// and no fade-in after the join (a fade of length 0 is no fade).
TEST_F(SongPairTest, ConnectTest)
{
    const std::wstring s16 = Wide(m_folder / "s16.wav");
    const std::wstring s48 = Wide(m_folder / "s48.wav");
    struct Case
    {
        const char* name;
        Part first;
        Part second;
        std::function<void(TrackInfo&, TrackInfo&)> edit;
        bool connects;
    };
    const auto none = [](TrackInfo&, TrackInfo&) {};
    const Case cases[] = {
        {"adjacent windows", {s16, 0, 500}, {s16, 500, 1000}, none, true},
        {"a frame apart", {s16, 0, 500}, {s16, 501, 1000}, none, false},
        {"in reverse", {s16, 500, 1000}, {s16, 0, 500}, none, false},
        {"another rate", {s16, 0, 500}, {s48, 500, 1000}, none, false},
        {"gains differ",
         {s16, 0, 500},
         {s16, 500, 1000},
         [](TrackInfo& a, TrackInfo&) { a.setControl(TrackInfo::kGain, 1.0f, false); },
         false},
        {"balances differ",
         {s16, 0, 500},
         {s16, 500, 1000},
         [](TrackInfo&, TrackInfo& b) { b.setControl(TrackInfo::kBalance, 0.1f, false); },
         false},
        {"fade-out of length 0",
         {s16, 0, 500},
         {s16, 500, 1000},
         [](TrackInfo& a, TrackInfo&) { a.setControl(TrackInfo::kFadeOutType, 1, false); },
         true},
        {"fade-out of 0.1 s",
         {s16, 0, 500},
         {s16, 500, 1000},
         [](TrackInfo& a, TrackInfo&)
         {
             a.setControl(TrackInfo::kFadeOutType, 1, false);
             a.setControl(TrackInfo::kFadeOutTime, 0.1f, false);
         },
         false},
        {"fade-in after",
         {s16, 0, 500},
         {s16, 500, 1000},
         [](TrackInfo&, TrackInfo& b)
         {
             b.setControl(TrackInfo::kFadeInType, 2, false);
             b.setControl(TrackInfo::kFadeInTime, 0.1f, false);
         },
         false},
        {"fade-in time without a type",
         {s16, 0, 500},
         {s16, 500, 1000},
         [](TrackInfo&, TrackInfo& b) { b.setControl(TrackInfo::kFadeInTime, 5.0f, false); },
         true},
        {"DC cut differs",
         {s16, 0, 500},
         {s16, 500, 1000},
         [](TrackInfo& a, TrackInfo&) { a.setControl(TrackInfo::kDcCut, 1, false); },
         true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto first = SongOfParts({{{c.first}}});
        auto second = SongOfParts({{{c.second}}});
        c.edit(*first, *second);
        EXPECT_EQ(first->canConnectTo(second.get()), c.connects);
    }
    auto first = SongOfParts({{{{s16, 0, 500}}}});
    EXPECT_FALSE(first->canConnectTo(nullptr));
    if (Have("mp3"))
    {
        const std::wstring mp3 = Wide(m_folder / "a.mp3");
        auto a = SongOfParts({{{{mp3, 0, 500}}}});
        auto b = SongOfParts({{{{mp3, 500, 1000}}}});
        ASSERT_TRUE(a->isCompressed());
        EXPECT_FALSE(a->canConnectTo(b.get()));
    }
}

// A song read from a reader is the reader's window of one file with the
// reader's format data and song information; its name stays empty.
TEST(TrackInfo, SongFromAReader)
{
    TempFolder folder;
    ASSERT_TRUE(WriteRampFile(folder / "a.wav", "wav", 44100 * 2 + 50, 44100, 2, 1, 24));
    std::unique_ptr<CAudioFileReadBase> reader(
        VextalFileUtil::CreateAudioFileReadObject(Wide(folder / "a.wav").c_str(), true));
    ASSERT_NE(reader, nullptr);
    reader->ExtractData(50, -1);
    reader->GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kTitle)->SetString("Title", -1, false);
    reader->GetMarkerPtr()->Add(0.5);
    TrackInfo song(reader.get());

    juce::Array<CPlaylistFile*> files;
    song.getAllFiles(files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(std::wstring(files[0]->GetFilePath()), Wide(folder / "a.wav"));
    EXPECT_EQ(files[0]->GetAbsStartSample(), 50);
    EXPECT_EQ(files[0]->GetAbsStopSample(), 44100 * 2 + 50);
    EXPECT_TRUE(song.isPresent());
    EXPECT_FALSE(song.isNotYetLoaded());
    EXPECT_EQ(song.getBitsPerSample(), 24);
    EXPECT_EQ(song.getNumChannels(), 2);
    EXPECT_FLOAT_EQ(song.getSampleRate(), 44100.0f);
    EXPECT_EQ(song.getNumSamples(), 44100 * 2);
    EXPECT_DOUBLE_EQ(song.getTotalTimeSecond(), 2.0);
    EXPECT_EQ(song.getFormatID(), "WAV");
    EXPECT_FALSE(song.isCompressed());
    EXPECT_EQ(song.getText(TrackInfo::kTitle), "Title");
    EXPECT_EQ(song.getText(TrackInfo::kSongName), "");
    EXPECT_EQ(song.getMarkers()->GetNumMarkers(), 1);

    // A copy carries the song, not the record's state.
    song.setOrderTag(4);
    song.setCurrentSong(true);
    song.setNormalize(true);
    song.setControl(TrackInfo::kGain, 2.0f, false);
    const TrackInfo copy(song);
    EXPECT_EQ(copy.getOrderTag(), -1);
    EXPECT_FALSE(copy.isCurrentSong());
    EXPECT_FALSE(copy.isNormalize());
    EXPECT_FLOAT_EQ(copy.getControlFloat(TrackInfo::kGain), 2.0f);
    EXPECT_EQ(copy.getText(TrackInfo::kTitle), "Title");
    EXPECT_EQ(copy.getNumSamples(), song.getNumSamples());
    EXPECT_EQ(songtest::PartsOf(copy.getSong()), songtest::PartsOf(song.getSong()));
    EXPECT_NE(copy.getSong(), song.getSong());
}

// Loading reads the format data again; a mono song loses its balance with a
// notice; a song whose files are gone keeps its format data and is absent.
TEST(TrackInfo, LoadSongReadsTheFormatData)
{
    TempFolder folder;
    ASSERT_TRUE(WriteRampFile(folder / "m.wav", "wav", 4410, 44100, 1, 1));
    auto song = SongOfParts({{{{Wide(folder / "m.wav"), 0, -1}}}});
    ASSERT_TRUE(song->isPresent());
    song->setControl(TrackInfo::kBalance, 0.5f, false);
    RecordingSongListener listener;
    song->addListener(&listener);

    CSongRead reader;
    bool replaced = true;
    EXPECT_TRUE(song->loadSong(&reader, true, &replaced));
    EXPECT_FALSE(replaced);
    EXPECT_EQ(song->getControlFloat(TrackInfo::kBalance), 0.0f);
    EXPECT_EQ(listener.Texts(), (std::vector<std::string>{"control 6", "reloaded 0"}));
    EXPECT_EQ(song->getNumChannels(), 1);
    EXPECT_NEAR(song->getTotalTimeSecond(), 0.1, 1e-6);
    EXPECT_EQ(reader.GetNumSections(), 1);
    reader.EjectAllFiles();

    std::filesystem::remove(folder / "m.wav");
    listener.notices.clear();
    EXPECT_FALSE(song->reload(false));
    EXPECT_FALSE(song->isPresent());
    EXPECT_EQ(song->getNumChannels(), 1);
    EXPECT_EQ(song->getNumSamples(), 4410);
    EXPECT_TRUE(listener.notices.empty());
}

namespace
{
// Audio-CD songs read from a disc image that stands in for a disc in a
// drive; the volumes "mounted" are what setAudioVolumeSource gives.
class CDSongTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cdtest::Image image;
        image.tracks = {{"AUDIO", 0}, {"AUDIO", 100}};
        image.sectors = 250;
        m_cue = cdtest::WriteImage(m_folder.Path(), "disc", image);
        m_id = CDiscUtilLinux::GetCDDBID(Wide(m_cue).c_str());
        ASSERT_NE(m_id, 0);
        Mount({});
    }
    void TearDown() override
    {
        TrackInfo::setAudioVolumeSource({});
        TrackInfo::refreshMediaIDToPath();
    }

    void Mount(std::vector<juce::String> volumes)
    {
        TrackInfo::setAudioVolumeSource([volumes] { return volumes; });
        TrackInfo::refreshMediaIDToPath();
    }

    // The disc's second track as a song.
    std::unique_ptr<TrackInfo> TrackSong()
    {
        CAudioCDRead reader(false);
        if (reader.OpenFile(Wide(m_cue).c_str()) != 0 || !reader.SelectTrack(1))
            return nullptr;
        return std::make_unique<TrackInfo>(&reader);
    }

    // Moves the image to another name, as a disc that is mounted elsewhere.
    std::filesystem::path MoveDisc(const std::string& name)
    {
        const auto cue = m_folder / (name + ".cue");
        std::filesystem::rename(m_cue, cue);
        std::filesystem::rename(m_folder / "disc.bin", m_folder / (name + ".bin"));
        return cue;
    }

    static std::vector<Part> Files(const TrackInfo& song)
    {
        std::vector<Part> parts;
        juce::Array<CPlaylistFile*> files;
        song.getAllFiles(files);
        for (const CPlaylistFile* f : files)
            parts.push_back(
                {f->GetFilePath(), f->GetAbsStartSample(), f->GetAbsStopSample(), f->GetMediaUniqueID()});
        return parts;
    }

    TempFolder m_folder;
    std::filesystem::path m_cue;
    int m_id = 0;
};
} // namespace

// An audio-CD song whose disc is now mounted under another path is found by
// the disc's identifier: its files point there and it loads.
TEST_F(CDSongTest, ASongFollowsItsDiscToAnotherPath)
{
    auto song = TrackSong();
    ASSERT_NE(song, nullptr);
    ASSERT_EQ(song->getFormatID(), "CD");
    const std::vector<Part> before = Files(*song);
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0].media, m_id);

    const auto moved = MoveDisc("moved");
    CSongRead reader;
    bool replaced = true;
    EXPECT_FALSE(song->loadSong(&reader, false, &replaced)); // nothing mounted
    EXPECT_FALSE(replaced);
    EXPECT_EQ(Files(*song), before);

    // The map is rebuilt when the first look finds nothing.
    TrackInfo::setAudioVolumeSource([moved] { return std::vector<juce::String>{moved.string()}; });
    RecordingSongListener listener;
    song->addListener(&listener);
    EXPECT_TRUE(song->loadSong(&reader, true, &replaced));
    EXPECT_TRUE(replaced);
    EXPECT_TRUE(song->isPresent());
    const std::vector<Part> after = Files(*song);
    EXPECT_EQ(after, (std::vector<Part>{{Wide(moved), before[0].start, before[0].stop, 0}}));
    EXPECT_EQ(reader.GetNumSamples(), before[0].stop - before[0].start);
    EXPECT_EQ(listener.Texts(), (std::vector<std::string>{"reloaded 0", "reloaded 0"}));
}

// Path replacement is all or nothing: when one missing file finds no disc,
// every file keeps its old path, the song is absent and listeners are told.
// With no disc mounted nothing happens at all.
TEST_F(CDSongTest, AFailedReplacementKeepsTheOldPaths)
{
    auto song = TrackSong();
    ASSERT_NE(song, nullptr);
    song->getSong()->CreateNewSection()->CreateNewTrack()->CreateNewFile()->SetFile(L"/nowhere/other.cue", 0,
                                                                                    588, 12345);
    const std::vector<Part> before = Files(*song);
    const auto moved = MoveDisc("moved");

    RecordingSongListener listener;
    song->addListener(&listener);
    EXPECT_FALSE(TrackInfo::refreshMediaIDToPath());
    EXPECT_FALSE(song->replacePathsByMediaIDs());
    EXPECT_TRUE(listener.notices.empty());

    Mount({moved.string()});
    EXPECT_FALSE(song->replacePathsByMediaIDs());
    EXPECT_EQ(Files(*song), before);
    EXPECT_FALSE(song->isPresent());
    EXPECT_EQ(listener.Texts(), (std::vector<std::string>{"reloaded 0"}));

    // A file that is where it says stays, also when its disc is mounted
    // elsewhere as well.
    auto present = TrackSong();
    EXPECT_EQ(present, nullptr); // the image has moved
    std::filesystem::copy_file(moved, m_cue);
    std::filesystem::copy_file(m_folder / "moved.bin", m_folder / "disc.bin");
    present = TrackSong();
    ASSERT_NE(present, nullptr);
    const std::vector<Part> original = Files(*present);
    EXPECT_TRUE(present->replacePathsByMediaIDs());
    EXPECT_EQ(Files(*present), original);
}

// Song information comes from a source as an edit would set it: the date
// and time parts through their filters, also when the texts are short or out
// of range; the markers come along with a notice, the name is not touched.
TEST(TrackInfo, CopyMetaDataFromFiltersTheDateAndTime)
{
    struct Case
    {
        const char* date;
        const char* time;
        std::vector<juce::String> expected; // year, month, day, hour, minute, second
    };
    const Case cases[] = {
        {"2003-07-15", "12:34:56", {"2003", "07", "15", "12", "34", "56"}},
        {"2003", "12", {"2003", "  ", "  ", "12", "  ", "  "}},
        {"2003-7", "09:5", {"2003", "07", "  ", "09", "05", "  "}},
        {"", "", {"    ", "  ", "  ", "  ", "  ", "  "}},
        {"2003-13-40", "25:61:99", {"2003", "12", "31", "23", "59", "59"}},
        {"abcd-ef-gh", "ab:cd:ef", {"    ", "  ", "  ", "  ", "  ", "  "}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.date) + " " + c.time);
        InfoSource source;
        source.Set(CAudioMetaData::kRecDate, c.date);
        source.Set(CAudioMetaData::kRecTime, c.time);
        TrackInfo song;
        song.copyMetaDataFrom(&source);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(song.getText(TrackInfo::kRecYear + i), c.expected[static_cast<size_t>(i)]) << i;
    }

    InfoSource source;
    source.Set(CAudioMetaData::kTitle, "Title");
    source.Set(CAudioMetaData::kAlbum, "Album");
    source.Set(CAudioMetaData::kArtist, "Artist");
    source.Set(CAudioMetaData::kGenre, "Genre");
    source.Set(CAudioMetaData::kLocation, "Place");
    source.GetMetaDataPtr()->SetAttachedPicture(L"/pictures/cover.jpg");
    source.GetMarkerPtr()->Add(1.0);
    source.GetMarkerPtr()->Add(2.5);
    TrackInfo song;
    song.setText(TrackInfo::kSongName, "Name", false);
    RecordingSongListener listener;
    song.addListener(&listener);
    song.copyMetaDataFrom(&source);
    EXPECT_EQ(song.getText(TrackInfo::kSongName), "Name");
    EXPECT_EQ(song.getText(TrackInfo::kTitle), "Title");
    EXPECT_EQ(song.getText(TrackInfo::kAlbum), "Album");
    EXPECT_EQ(song.getText(TrackInfo::kArtist), "Artist");
    EXPECT_EQ(song.getText(TrackInfo::kGenre), "Genre");
    EXPECT_EQ(song.getText(TrackInfo::kLocation), "Place");
    EXPECT_EQ(song.getAttachedPictureFilePath(), "/pictures/cover.jpg");
    EXPECT_EQ(song.getMarkers()->GetNumMarkers(), 2);
    EXPECT_EQ(listener.Texts(), (std::vector<std::string>{"marker -1"}));
}

// Song information to a source: what is set, the date and time only when
// some part is set, always the encoding software, the picture and markers.
TEST(TrackInfo, CopyMetaDataTo)
{
    TrackInfo song;
    song.setText(TrackInfo::kTitle, "Title", false);
    song.setText(TrackInfo::kGenre, "Genre", false);
    song.setText(TrackInfo::kRecYear, "2003", false);
    song.setAttachedPictureFilePath("/p/c.png", false);
    song.addMarker(0.25, false);
    InfoSource source;
    source.Set(CAudioMetaData::kArtist, "Old");
    song.copyMetaDataTo(&source);
    EXPECT_EQ(source.Get(CAudioMetaData::kTitle), "Title");
    EXPECT_EQ(source.Get(CAudioMetaData::kGenre), "Genre");
    EXPECT_EQ(source.Get(CAudioMetaData::kArtist), "");
    EXPECT_EQ(source.Get(CAudioMetaData::kRecDate), "2003-  -  ");
    EXPECT_EQ(source.Get(CAudioMetaData::kRecTime), "");
    EXPECT_EQ(source.Get(CAudioMetaData::kEncodingSoftware), TrackInfo::kEncodingSoftware);
    EXPECT_EQ(std::wstring(source.GetMetaDataPtr()->GetAttachedPictureFilePath()), L"/p/c.png");
    ASSERT_EQ(source.GetMarkerPtr()->GetNumMarkers(), 1);
    EXPECT_DOUBLE_EQ(source.GetMarkerPtr()->GetMarkerTimeSecond(0), 0.25);

    song.setText(TrackInfo::kRecYear, "", false);
    song.setText(TrackInfo::kRecSecond, "7", false);
    song.copyMetaDataTo(&source);
    EXPECT_EQ(source.Get(CAudioMetaData::kRecDate), "");
    EXPECT_EQ(source.Get(CAudioMetaData::kRecTime), "  :  :07");
}

// Markers, picture and their notices.
TEST(TrackInfo, MarkersAndPicture)
{
    TrackInfo song;
    RecordingSongListener listener;
    song.addListener(&listener);
    EXPECT_TRUE(song.addMarker(1.0, true));
    EXPECT_TRUE(song.addMarker(2.0, true));
    EXPECT_FALSE(song.addMarker(1.0004, true)); // the same millisecond
    CMarker other;
    other.Add(3.0);
    song.copyAllMarkers(&other, true);
    song.setAttachedPictureFilePath("/a.jpg", true);
    song.setAttachedPictureFilePath("/a.jpg", true);
    EXPECT_EQ(listener.Texts(), (std::vector<std::string>{"marker 0", "marker 1", "marker -1", "picture 0"}));
    EXPECT_EQ(song.getMarkers()->GetNumMarkers(), 1);

    TempFolder folder;
    rifftest::WriteBytes(folder / "cover.JPG", rifftest::Bytes(1234, 0xFF));
    const struct
    {
        juce::String path;
        int64_t size;
    } pictures[] = {
        {"", 0},
        {(folder / "cover.JPG").string(), 1234},
        {(folder / "gone.png").string(), 0},
        {(folder / "song.aiff").string(), 0},
    };
    for (const auto& p : pictures)
    {
        SCOPED_TRACE(p.path);
        song.setAttachedPictureFilePath(p.path, false);
        EXPECT_EQ(song.getAttachedPictureSize(), p.size);
    }
}

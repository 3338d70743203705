#include "src/songlist/SonglistFile.h"
#include "src/songlist/TrackInfo.h"
#include "src/songlist/VXSLReader.h"

#include "common/file/CMarker.h"
#include "common/file/CPlaylistSong.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/Resource/CVXResourceManager.h"

#include "tests/support/ReadOnlyFolder.h"
#include "tests/support/SonglistTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using Vextal::SonglistFile;
using Vextal::TrackInfo;
using Vextal::VXSLReader;
using namespace songlisttest;
using songtest::Part;
using songtest::SectionParts;

namespace
{
// A record with every stored value set to something other than its default.
std::unique_ptr<TrackInfo> FullSong(const std::vector<SectionParts>& sections, const juce::String& picture)
{
    auto song = std::make_unique<TrackInfo>();
    songtest::FillSong(song->getSong(), sections);
    const char* texts[] = {"Song", "Title & <more>", "Artist", "Album", "Genre", "K\xc3\xb6ln"};
    for (int i = 0; i < 6; ++i)
        song->setText(i, juce::String::fromUTF8(texts[i]), false);
    song->setText(TrackInfo::kRecYear, "1999", false);
    song->setText(TrackInfo::kRecMonth, "7", false);
    song->setText(TrackInfo::kRecHour, "23", false);
    song->setControl(TrackInfo::kGain, -3.5f, false);
    song->setControl(TrackInfo::kBalance, 0.25f, false);
    song->setControl(TrackInfo::kFadeInType, 1, false);
    song->setControl(TrackInfo::kFadeInTime, 2.5f, false);
    song->setControl(TrackInfo::kFadeOutType, 2, false);
    song->setControl(TrackInfo::kFadeOutTime, 0.1f, false);
    song->setControl(TrackInfo::kDcCut, 1, false);
    song->addMarker(1.2345678, false);
    song->addMarker(61.5, false);
    song->setAttachedPictureFilePath(picture, false);
    return song;
}

// The record of the first Track of a document's text (a fresh record read
// against folder).
std::unique_ptr<TrackInfo> ReadTrack(const juce::String& trackXml, const juce::File& folder,
                                     juce::String* error = nullptr)
{
    const std::unique_ptr<juce::XmlElement> track = juce::parseXML(trackXml);
    EXPECT_NE(track, nullptr);
    auto song = std::make_unique<TrackInfo>();
    juce::String message;
    song->deserializeFromXml(track.get(), message, folder);
    if (error != nullptr)
        *error = message;
    return song;
}

// A Track element with the given control and data-spec children (the rest
// present and empty).
juce::String TrackWith(const juce::String& dataSpec, const juce::String& control,
                       const juce::String& extra = {})
{
    return "<Track><Name type=\"string\">x</Name><TextData/><DataSpec>" + dataSpec + "</DataSpec><Control>" +
           control + "</Control><FileInfo/>" + extra + "</Track>";
}

void ExpectSameSong(const TrackInfo& a, const TrackInfo& b)
{
    for (int i = 0; i < TrackInfo::kNumTexts; ++i)
        EXPECT_EQ(a.getText(i), b.getText(i)) << "text " << i;
    for (int id : {TrackInfo::kGain, TrackInfo::kFadeInTime, TrackInfo::kFadeOutTime, TrackInfo::kBalance})
        EXPECT_FLOAT_EQ(a.getControlFloat(id), b.getControlFloat(id)) << "control " << id;
    for (int id : {TrackInfo::kFadeInType, TrackInfo::kFadeOutType, TrackInfo::kDcCut})
        EXPECT_EQ(a.getControlInt(id), b.getControlInt(id)) << "control " << id;
    EXPECT_EQ(songtest::PartsOf(a.getSong()), songtest::PartsOf(b.getSong()));
    EXPECT_TRUE(
        songtest::SameTimes(songtest::MarkerTimes(a.getMarkers()), songtest::MarkerTimes(b.getMarkers())));
    EXPECT_EQ(a.getAttachedPictureFilePath(), b.getAttachedPictureFilePath());
    EXPECT_EQ(a.getFormatID(), b.getFormatID());
    EXPECT_EQ(a.getBitsPerSample(), b.getBitsPerSample());
    EXPECT_EQ(a.getSampleRate(), b.getSampleRate());
    EXPECT_EQ(a.getNumChannels(), b.getNumChannels());
    EXPECT_NEAR(a.getTotalTimeSecond(), b.getTotalTimeSecond(), 1e-6);
    EXPECT_EQ(a.isCompressed(), b.isCompressed());
    EXPECT_EQ(a.isLossless(), b.isLossless());
}

std::vector<std::unique_ptr<TrackInfo>> ReadAll(const juce::File& file, juce::String* error = nullptr)
{
    VXSLReader reader(file.getFullPathName());
    std::vector<std::unique_ptr<TrackInfo>> songs;
    while (reader.isReady())
        songs.push_back(reader.next());
    if (error != nullptr)
        *error = reader.getErrorMessage();
    return songs;
}

class SonglistFileTest : public testing::Test
{
protected:
    SonglistFileTest() { CZJESingleton<CVXResourceManager>::CreateInstance(); }
    ~SonglistFileTest() override { CZJESingleton<CVXResourceManager>::DestroyInstance(); }

    juce::File Folder(const std::string& name = {}) const
    {
        const juce::File f(name.empty() ? m_folder.Path().string() : (m_folder / name).string());
        f.createDirectory();
        return f;
    }
    std::wstring AudioFile(const std::string& name, int64_t frames = 441)
    {
        std::filesystem::create_directories((m_folder / name).parent_path());
        EXPECT_TRUE(WriteRampFile(m_folder / name, "wav", frames, 44100, 2, 1));
        return Wide(m_folder / name);
    }

    TempFolder m_folder;
};
} // namespace

// What a song holds comes back from its songlist form: texts, controls,
// sections of one track (written twice: as sections and as a flat list, read
// from the sections), sections of two tracks (no flat list), markers, and
// the picture in both path forms.
TEST_F(SonglistFileTest, SongsComeBackFromTheFileAsTheyWereWritten)
{
    const std::wstring a = AudioFile("audio/a.wav"), b = AudioFile("audio/b.wav");
    const juce::String picture = Folder("pictures").getChildFile("cover.jpg").getFullPathName();
    juce::File(picture).replaceWithText("not really a jpeg");
    std::vector<std::unique_ptr<TrackInfo>> songs;
    songs.push_back(FullSong({{{{a, 0, 100, 0}}}, {{{b, 5, -1, 7}}}}, picture));
    songs.push_back(FullSong({{{{a, 0, 441, 0}, {b, 0, 441, 0}}, {{b, 10, 20, 0}}}}, {}));
    songs.push_back(std::make_unique<TrackInfo>());
    songs[1]->setText(TrackInfo::kSongName, "Linked", false);
    const juce::File file = Folder("lists").getChildFile("x.vxsl");
    ASSERT_TRUE(SonglistFile::write({songs[0].get(), songs[1].get(), songs[2].get()}, file));

    const std::unique_ptr<juce::XmlElement> root = juce::parseXML(file);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->getStringAttribute("version"), "1.0.0.0");
    const juce::XmlElement* fileInfo0 = root->getChildByName("Track")->getChildByName("FileInfo");
    EXPECT_EQ(fileInfo0->getNumChildElements(), 2 + 2 + 1) << "two sections, the flat list, the picture";
    const juce::XmlElement* fileInfo1 = root->getChildElement(2)->getChildByName("FileInfo");
    EXPECT_EQ(fileInfo1->getNumChildElements(), 1 + 1) << "no flat list beside a two-track section";
    const juce::XmlElement* pictureElement = fileInfo0->getChildByName("Picture");
    EXPECT_EQ(pictureElement->getChildElement(1)->getAllSubText(), "../pictures/cover.jpg");

    const auto read = ReadAll(file);
    ASSERT_EQ(read.size(), 3u);
    // A song without files comes back as one empty section of one track.
    songs[2]->getSong()->CreateNewSection()->CreateNewTrack();
    for (size_t i = 0; i < read.size(); ++i)
    {
        SCOPED_TRACE(i);
        ExpectSameSong(*songs[i], *read[i]);
        EXPECT_TRUE(read[i]->isNotYetLoaded());
        EXPECT_FALSE(read[i]->isVBR());
    }
    EXPECT_TRUE(read[0]->isPresent());
}

// Format data comes back as the song read it from its files.
TEST_F(SonglistFileTest, FormatDataComesBack)
{
    std::unique_ptr<TrackInfo> song = SongOf(m_folder / "f.wav", "F");
    ASSERT_EQ(song, nullptr) << "no file yet";
    AudioFile("f.wav", 44100 * 3 + 7);
    song = SongOf(m_folder / "f.wav", "F");
    ASSERT_NE(song, nullptr);
    const juce::File file = Folder().getChildFile("f.vxsl");
    ASSERT_TRUE(SonglistFile::write({song.get()}, file));
    const auto read = ReadAll(file);
    ASSERT_EQ(read.size(), 1u);
    ExpectSameSong(*song, *read[0]);
    EXPECT_EQ(read[0]->getFormatID(), "WAV");
    EXPECT_EQ(read[0]->getSampleRate(), 44100.0f);
}

// The relative path wins when it names an existing file, so a songlist
// moved together with its audio keeps working; one moved alone falls back to
// the full paths; with neither, the song is marked absent.
TEST_F(SonglistFileTest, MovedSonglistFindsItsAudio)
{
    const std::wstring original = AudioFile("old/music/song.wav");
    auto song = SongOf(std::filesystem::path(original), "S");
    const juce::File list = Folder("old").getChildFile("list.vxsl");
    ASSERT_TRUE(SonglistFile::write({song.get()}, list));

    // Moved with its audio: the copy next to the moved songlist is used.
    ASSERT_TRUE(Folder("old").copyDirectoryTo(Folder("new")));
    auto moved = ReadAll(Folder("new").getChildFile("list.vxsl"));
    ASSERT_EQ(moved.size(), 1u);
    juce::Array<CPlaylistFile*> files;
    moved[0]->getAllFiles(files);
    EXPECT_EQ(juce::String(files[0]->GetFilePath()), Folder("new").getFullPathName() + "/music/song.wav");
    EXPECT_TRUE(moved[0]->isPresent());

    // Moved alone: the full path is used.
    ASSERT_TRUE(list.copyFileTo(Folder("alone").getChildFile("list.vxsl")));
    auto alone = ReadAll(Folder("alone").getChildFile("list.vxsl"));
    alone[0]->getAllFiles(files);
    EXPECT_EQ(std::wstring(files[0]->GetFilePath()), original);
    EXPECT_TRUE(alone[0]->isPresent());

    // Neither exists: the relative file, marked absent.
    ASSERT_TRUE(juce::File(juce::String(original.c_str())).deleteFile());
    auto lost = ReadAll(Folder("alone").getChildFile("list.vxsl"));
    lost[0]->getAllFiles(files);
    EXPECT_EQ(juce::String(files[0]->GetFilePath()), Folder("alone").getFullPathName() + "/music/song.wav");
    EXPECT_FALSE(lost[0]->isPresent());
}

// An empty relative path does not name the songlist's folder (which exists):
// the full path is used, or the song is absent.
TEST_F(SonglistFileTest, EmptyRelativePathIsNotTheSonglistsFolder)
{
    const juce::File folder = Folder();
    const juce::String xml =
        "<Track><FileInfo><File><FilePath option=\"absolute\">/nonexistent/x.wav</FilePath>"
        "<FilePath option=\"relative\"></FilePath></File>"
        "<Picture><FilePath option=\"absolute\"></FilePath>"
        "<FilePath option=\"relative\"></FilePath></Picture></FileInfo></Track>";
    auto song = ReadTrack(xml, folder);
    juce::Array<CPlaylistFile*> files;
    song->getAllFiles(files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(juce::String(files[0]->GetFilePath()), "");
    EXPECT_FALSE(song->isPresent());
    EXPECT_EQ(song->getAttachedPictureFilePath(), "");

    const std::wstring audio = AudioFile("a.wav");
    const juce::String withAbsolute = "<Track><FileInfo><File><FilePath option=\"absolute\">" +
                                      juce::String(audio.c_str()) +
                                      "</FilePath><FilePath option=\"relative\"/></File></FileInfo></Track>";
    song = ReadTrack(withAbsolute, folder);
    song->getAllFiles(files);
    EXPECT_EQ(std::wstring(files[0]->GetFilePath()), audio);
    EXPECT_TRUE(song->isPresent());
}

// A FileInfo of plain File children reads as one section of one track; a
// missing Picture takes a first file that can carry a picture, an empty one
// gives none.
TEST_F(SonglistFileTest, FlatFileListAndPictureRules)
{
    const juce::File folder = Folder();
    const std::wstring aiff = Wide(m_folder / "p.aiff");
    ASSERT_TRUE(WriteRampFile(m_folder / "p.aiff", "aiff", 100, 44100, 2, 1));
    const juce::String files =
        "<File><FilePath option=\"relative\">p.aiff</FilePath><StartSample>3</StartSample>"
        "<StopSample>90</StopSample><MediaUniqueID>0</MediaUniqueID></File>"
        "<File><FilePath option=\"relative\">p.aiff</FilePath></File>";
    auto flat = ReadTrack("<Track><FileInfo>" + files + "</FileInfo></Track>", folder);
    const std::vector<SectionParts> want = {{{{aiff, 3, 90, 0}, {aiff, 0, 0, 0}}}};
    EXPECT_EQ(songtest::PartsOf(flat->getSong()), want);
    EXPECT_EQ(flat->getAttachedPictureFilePath(), juce::String(aiff.c_str()));

    auto none = ReadTrack("<Track><FileInfo>" + files + "<Picture/></FileInfo></Track>", folder);
    EXPECT_EQ(none->getAttachedPictureFilePath(), "");
}

// Versions: 1.0.0.0, 1, an empty value and no attribute are this format;
// anything above is newer and refused with its message; a document that is
// not a songlist is refused as invalid.
TEST_F(SonglistFileTest, VersionTable)
{
    struct Case
    {
        const char* root;
        bool accepted;
        const char* error;
    };
    const Case cases[] = {
        {"<VextalProject version=\"1.0.0.0\">", true, ""},
        {"<VextalProject version=\"1\">", true, ""},
        {"<VextalProject version=\"\">", true, ""},
        {"<VextalProject>", true, ""},
        {"<VextalProject version=\"v1.0-beta\">", true, ""},
        {"<VextalProject version=\"1.0.0.1\">", false, "Songlist_NewerVersion"},
        {"<VextalProject version=\"2.0\">", false, "Songlist_NewerVersion"},
        {"<VextalProject version=\"0.256\">", true, ""},
        {"<VextalProject version=\"0.257\">", false, "Songlist_NewerVersion"},
        {"<Other version=\"1.0.0.0\">", false, "Songlist_Invalid"},
    };
    const juce::File file = Folder().getChildFile("v.vxsl");
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.root);
        const juce::String rootName = juce::String(c.root)
                                          .fromFirstOccurrenceOf("<", false, false)
                                          .upToFirstOccurrenceOf(" ", false, false)
                                          .upToFirstOccurrenceOf(">", false, false);
        ASSERT_TRUE(
            file.replaceWithText(juce::String(c.root) + "<Track><Name>n</Name></Track></" + rootName + ">"));
        juce::String error;
        const auto songs = ReadAll(file, &error);
        EXPECT_EQ(songs.size(), c.accepted ? 1u : 0u);
        if (!c.accepted)
        {
            EXPECT_EQ(error, CZJEResource::GetText(c.error));
        }
    }
    EXPECT_EQ(SonglistFile::parseVersion("1.2.3.4"), 0x01020304u);
    EXPECT_EQ(SonglistFile::parseVersion("1.2.3.4.5"), 0x01020304u);
    EXPECT_EQ(SonglistFile::parseVersion("99999999999999999999"), 0xFFFFFFFFu);

    for (const char* bad : {"", "not xml", "<VextalProject><Track></VextalProject>"})
    {
        ASSERT_TRUE(file.replaceWithText(bad));
        juce::String error;
        EXPECT_TRUE(ReadAll(file, &error).empty());
        EXPECT_EQ(error, CZJEResource::GetText("Songlist_Invalid"));
    }
    juce::String error;
    EXPECT_TRUE(ReadAll(Folder().getChildFile("missing.vxsl"), &error).empty());
    EXPECT_EQ(error, CZJEResource::GetText("Songlist_Invalid"));
}

// Values as other writers may leave them: a comma as decimal mark, "TRUE",
// missing elements, a two-digit year (kept as written).
TEST_F(SonglistFileTest, LenientValues)
{
    auto song = ReadTrack(TrackWith("<Compressed>TRUE</Compressed><SampleRate>48000,5</SampleRate>",
                                    "<Gain>-3,5</Gain><FadeIn><FadeTime> 1,5 </FadeTime></FadeIn>",
                                    "<TextData><RecDate><Year>07</Year></RecDate></TextData>"),
                          Folder());
    EXPECT_FLOAT_EQ(song->getControlFloat(TrackInfo::kGain), -3.5f);
    EXPECT_FLOAT_EQ(song->getControlFloat(TrackInfo::kFadeInTime), 1.5f);
    EXPECT_FLOAT_EQ(song->getSampleRate(), 48000.5f);
    EXPECT_TRUE(song->isCompressed());
    EXPECT_TRUE(song->isLossless()) << "missing Lossless reads as true";
    EXPECT_EQ(song->getText(TrackInfo::kRecYear), "") << "the first TextData is the one read";

    song = ReadTrack("<Track><TextData><RecDate><Year>07</Year></RecDate><RecTime><Hour>5</Hour></RecTime>"
                     "</TextData></Track>",
                     Folder());
    EXPECT_EQ(song->getText(TrackInfo::kRecYear), "07");
    EXPECT_EQ(song->getText(TrackInfo::kRecHour), "5");
    EXPECT_EQ(song->getText(TrackInfo::kRecMonth), "");
}

// Missing parts are named in the error text; the song is still made.
TEST_F(SonglistFileTest, MissingPartsAreReported)
{
    juce::String error;
    auto song = ReadTrack("<Track/>", Folder(), &error);
    EXPECT_EQ(error, "Track name tag not found.Text data tag not found.Data spec tag not found."
                     "Control tag not found.File info tag not found.");
    EXPECT_TRUE(song->isNotYetLoaded());
    ReadTrack(TrackWith({}, {}), Folder(), &error);
    EXPECT_EQ(error, "");
}

// Values read from a songlist pass the same clamps as edits: numbers that
// are not finite are refused, negative or out-of-range ones limited.
TEST_F(SonglistFileTest, OutOfRangeValuesAreRefusedOrLimited)
{
    struct Case
    {
        const char* control;
        int id;
        float want;
    };
    const Case floats[] = {
        {"<Gain>nan</Gain>", TrackInfo::kGain, 0.0f},
        {"<Gain>inf</Gain>", TrackInfo::kGain, 0.0f},
        {"<Gain>1e400</Gain>", TrackInfo::kGain, 0.0f},
        {"<Gain>-1e30</Gain>", TrackInfo::kGain, -60.0f},
        {"<Gain>3.14159</Gain>", TrackInfo::kGain, 3.1f},
        {"<Balance>5</Balance>", TrackInfo::kBalance, 1.0f},
        {"<FadeIn><FadeTime>-2</FadeTime></FadeIn>", TrackInfo::kFadeInTime, 0.0f},
        {"<FadeOut><FadeTime>99</FadeTime></FadeOut>", TrackInfo::kFadeOutTime, 10.0f},
    };
    for (const Case& c : floats)
    {
        SCOPED_TRACE(c.control);
        EXPECT_FLOAT_EQ(ReadTrack(TrackWith({}, c.control), Folder())->getControlFloat(c.id), c.want);
    }
    const Case ints[] = {
        {"<FadeIn><FadeType>7</FadeType></FadeIn>", TrackInfo::kFadeInType, 2},
        {"<FadeOut><FadeType>-1</FadeType></FadeOut>", TrackInfo::kFadeOutType, 0},
        {"<DCCut>99999999999999999999</DCCut>", TrackInfo::kDcCut, 1},
    };
    for (const Case& c : ints)
    {
        SCOPED_TRACE(c.control);
        EXPECT_EQ(ReadTrack(TrackWith({}, c.control), Folder())->getControlInt(c.id),
                  static_cast<int>(c.want));
    }

    auto song =
        ReadTrack(TrackWith("<Bit>-16</Bit><SampleRate>-44100</SampleRate><Channels>99999999</Channels>"
                            "<Time><Hour>-1</Hour><Minute>75</Minute><Second>nan</Second></Time>",
                            {},
                            "<Marker><Mark><Time>nan</Time></Mark><Mark><Time>-1</Time></Mark>"
                            "<Mark><Time>2,5</Time></Mark><Mark><Time></Time></Mark></Marker>"),
                  Folder());
    EXPECT_EQ(song->getBitsPerSample(), 0);
    EXPECT_EQ(song->getSampleRate(), 0.0f);
    EXPECT_EQ(song->getNumChannels(), 65535);
    int hours = -5, minutes = -5;
    float seconds = -5.0f;
    song->getTotalTime(&hours, &minutes, &seconds);
    EXPECT_EQ(hours, 0);
    EXPECT_EQ(minutes, 59);
    EXPECT_EQ(seconds, 0.0f);
    EXPECT_EQ(songtest::MarkerTimes(song->getMarkers()), std::vector<double>{2.5});

    song = ReadTrack("<Track><FileInfo><File><FilePath option=\"absolute\">/x.wav</FilePath>"
                     "<StartSample>-5</StartSample><StopSample>-9</StopSample></File></FileInfo></Track>",
                     Folder());
    juce::Array<CPlaylistFile*> files;
    song->getAllFiles(files);
    EXPECT_EQ(files[0]->GetAbsStartSample(), 0);
    EXPECT_EQ(files[0]->GetAbsStopSample(), -1) << "-1 is the end of the file";
}

// Numbers are written with "." as decimal mark whatever the locale: the
// file written under German number formatting reads back the same.
TEST_F(SonglistFileTest, WritingUnderAGermanLocale)
{
    const juce::File locales = Folder("locales");
    if (std::system(("localedef -i de_DE -f UTF-8 '" + locales.getFullPathName().toStdString() +
                     "/de_DE.UTF-8' >/dev/null 2>&1")
                        .c_str()) != 0)
        GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 here";
    const char* oldLocPath = std::getenv("LOCPATH");
    const std::string savedLocPath = oldLocPath != nullptr ? oldLocPath : "";
    const std::string savedLocale = std::setlocale(LC_ALL, nullptr);
    setenv("LOCPATH", locales.getFullPathName().toRawUTF8(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char check[32];
    std::snprintf(check, sizeof(check), "%f", 1.5);
    EXPECT_STREQ(check, "1,500000") << "the locale formats numbers the German way";

    auto song = FullSong({{{{AudioFile("a.wav"), 0, -1, 0}}}}, {});
    const juce::File file = Folder().getChildFile("de.vxsl");
    const bool written = SonglistFile::write({song.get()}, file);

    std::setlocale(LC_ALL, savedLocale.c_str());
    if (oldLocPath != nullptr)
        setenv("LOCPATH", savedLocPath.c_str(), 1);
    else
        unsetenv("LOCPATH");
    ASSERT_TRUE(written);
    const juce::String text = file.loadFileAsString();
    EXPECT_TRUE(text.contains("<Gain type=\"float\">-3.500000</Gain>"));
    EXPECT_TRUE(text.contains("<Time type=\"float\">61.5</Time>"));
    EXPECT_FALSE(text.contains(",5"));
    const auto read = ReadAll(file);
    ASSERT_EQ(read.size(), 1u);
    ExpectSameSong(*song, *read[0]);
}

// A failed write leaves the old file as it was: a target in a read-only
// folder, or one that is a folder.
TEST_F(SonglistFileTest, FailedWriteKeepsTheOldFile)
{
    auto song = FullSong({}, {});
    EXPECT_FALSE(SonglistFile::write({song.get()}, Folder("sub")));
    EXPECT_TRUE(Folder("sub").isDirectory());

    // An old file in a folder that then becomes read-only (for root: a
    // read-only file system mounted over the folder, which hides it).
    vxtest::ReadOnlyFolder readOnly(m_folder / "ro");
    if (!readOnly.IsReady())
        GTEST_SKIP() << readOnly.WhyNot();
    const juce::File file = Folder("ro").getChildFile("x.vxsl");
    const bool existed = file.existsAsFile();
    EXPECT_FALSE(SonglistFile::write({song.get()}, file));
    EXPECT_EQ(file.existsAsFile(), existed);
}

// Markers stand in time order whatever order the songlist lists them in;
// the first of one millisecond is kept.
TEST_F(SonglistFileTest, MarkersInAnyOrderReadInTimeOrder)
{
    std::string marks;
    for (int i = 20000; i >= 1; --i)
        marks += "<Mark><Time>" + juce::String(i * 0.01, 2).toStdString() + "</Time></Mark>";
    marks += "<Mark><Time>0.0104</Time></Mark>";
    auto song = ReadTrack(TrackWith({}, {}, "<Marker>" + juce::String(marks) + "</Marker>"), Folder());
    const std::vector<double> times = songtest::MarkerTimes(song->getMarkers());
    ASSERT_EQ(times.size(), 20000u);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_DOUBLE_EQ(times.front(), 0.01);
    EXPECT_DOUBLE_EQ(times.back(), 200.0);
}

// A song of more sections, tracks or file parts than kMaxParts is no song
// the program writes: the whole songlist is refused as invalid before any
// song is made (20,000 sections took gigabytes to load). At the limit it
// reads.
TEST_F(SonglistFileTest, SongOfTooManyPartsRefusesTheSonglist)
{
    const auto repeat = [](const juce::String& text, int count)
    {
        std::string out;
        for (int i = 0; i < count; ++i)
            out += text.toStdString();
        return juce::String(out);
    };
    const juce::String file = "<File><FilePath option=\"absolute\">/gone.wav</FilePath></File>";
    const juce::String section = "<Section><Track>" + file + "</Track></Section>";
    const int limit = CPlaylistSong::kMaxParts;
    const struct
    {
        const char* name;
        juce::String fileInfo;
        bool accepted;
    } cases[] = {
        {"sections at the limit", repeat(section, limit), true},
        {"one section more", repeat(section, limit + 1), false},
        {"20,000 sections", repeat(section, 20000), false},
        {"tracks of one section", "<Section>" + repeat("<Track/>", limit + 1) + "</Section>", false},
        {"files of the plain list", repeat(file, limit + 1), false},
        {"files of one track", "<Section><Track>" + repeat(file, limit + 1) + "</Track></Section>", false},
    };
    const juce::File list = Folder().getChildFile("parts.vxsl");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(list.replaceWithText("<VextalProject><Track><Name>fine</Name></Track><Track><FileInfo>" +
                                         c.fileInfo + "</FileInfo></Track></VextalProject>"));
        juce::String error;
        const auto songs = ReadAll(list, &error);
        EXPECT_EQ(songs.size(), c.accepted ? 2u : 0u);
        if (!c.accepted)
            EXPECT_EQ(error, CZJEResource::GetText("Songlist_Invalid"));
    }
}

// A gain that rounds to zero, or reads as -0, is stored and written as 0,
// never as -0.000000.
TEST_F(SonglistFileTest, ZeroGainIsNeverNegative)
{
    for (const juce::String& gain : {"-0.000000", "-0.04", "0"})
    {
        SCOPED_TRACE(gain);
        auto song = ReadTrack(TrackWith({}, "<Gain>" + gain + "</Gain>"), Folder());
        EXPECT_FALSE(std::signbit(song->getControlFloat(TrackInfo::kGain)));
        song->setControl(TrackInfo::kGain, -0.01f, false);
        EXPECT_FALSE(std::signbit(song->getControlFloat(TrackInfo::kGain)));
        const juce::File file = Folder().getChildFile("zero.vxsl");
        ASSERT_TRUE(SonglistFile::write({song.get()}, file));
        EXPECT_TRUE(file.loadFileAsString().contains("<Gain type=\"float\">0.000000</Gain>"));
    }
}

// A songlist saved elsewhere while its songs and picture are away keeps the
// full paths it read: once they are back where they were, the songlist finds
// them. (It used to write the paths guessed from its own folder.)
TEST_F(SonglistFileTest, SavingWhileSongsAreAwayKeepsTheirPaths)
{
    const std::wstring audio = AudioFile("home/music/song.wav");
    const juce::String picture = Folder("home/music").getChildFile("cover.jpg").getFullPathName();
    ASSERT_TRUE(juce::File(picture).replaceWithText("not really a jpeg"));
    auto song = SongOf(std::filesystem::path(audio), "S");
    ASSERT_NE(song, nullptr);
    song->setAttachedPictureFilePath(picture, false);
    ASSERT_TRUE(SonglistFile::write({song.get()}, Folder("home").getChildFile("list.vxsl")));

    // The songlist moved alone; the songs go away; it is saved where it now is.
    const juce::File moved = Folder("elsewhere").getChildFile("list.vxsl");
    ASSERT_TRUE(Folder("home").getChildFile("list.vxsl").moveFileTo(moved));
    std::filesystem::rename(m_folder / "home" / "music", m_folder / "away");
    auto whileAway = ReadAll(moved);
    ASSERT_EQ(whileAway.size(), 1u);
    EXPECT_FALSE(whileAway[0]->isPresent());
    ASSERT_TRUE(SonglistFile::write({whileAway[0].get()}, moved));

    // Back where they were: found, as is the picture.
    std::filesystem::rename(m_folder / "away", m_folder / "home" / "music");
    auto back = ReadAll(moved);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_TRUE(back[0]->isPresent());
    juce::Array<CPlaylistFile*> files;
    back[0]->getAllFiles(files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(std::wstring(files[0]->GetFilePath()), audio);
    EXPECT_EQ(back[0]->getAttachedPictureFilePath(), picture);
}

// A songlist above the reader's old bound of 64 MiB (here a few songs of
// very long texts) saves and opens again: what we write, we read.
TEST_F(SonglistFileTest, SonglistAboveSixtyFourMebibytesOpensAgain)
{
    const juce::String longText = juce::String::repeatedString("name ", 4 * 1024 * 1024);
    std::vector<std::unique_ptr<TrackInfo>> songs;
    for (int i = 0; i < 4; ++i)
    {
        songs.push_back(std::make_unique<TrackInfo>());
        songs.back()->setText(TrackInfo::kTitle, longText + juce::String(i), false);
    }
    const juce::File file = Folder().getChildFile("large.vxsl");
    bool tooLarge = true;
    ASSERT_TRUE(SonglistFile::write({songs[0].get(), songs[1].get(), songs[2].get(), songs[3].get()}, file,
                                    &tooLarge));
    EXPECT_FALSE(tooLarge);
    ASSERT_GT(file.getSize(), 64 * 1024 * 1024);
    ASSERT_LE(file.getSize(), SonglistFile::kMaxFileBytes);

    juce::String error;
    const auto read = ReadAll(file, &error);
    ASSERT_EQ(read.size(), 4u) << error;
    EXPECT_EQ(read[3]->getText(TrackInfo::kTitle), longText + "3");
}

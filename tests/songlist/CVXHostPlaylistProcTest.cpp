#include "tests/support/CheckReports.h"
#include "tests/support/HostTestSupport.h"

#include "common/file/CMarker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace hosttest;
using Vextal::TrackInfo;

namespace
{
constexpr int64_t kFrames = 2205; // 50 ms

class CVXHostPlaylistProcTest : public HostTest
{
protected:
    // Appends one song per letter of layout: 'S' a stereo song "s<i>", 'M' a
    // mono song "m<i>", each of its own file.
    void AddLayout(const std::string& layout)
    {
        for (size_t i = 0; i < layout.size(); ++i)
        {
            const bool mono = layout[i] == 'M';
            const std::string name = (mono ? "m" : "s") + std::to_string(i);
            AddSong(WriteSong(name + ".wav", kFrames, 1 + 10000 * static_cast<int64_t>(i), mono ? 1 : 2));
        }
    }

    // Appends songs of one file, named as given.
    void AddNamed(const std::vector<std::string>& names)
    {
        const auto path = WriteSong("named.wav", kFrames);
        for (const std::string& name : names)
            m_host->InsertTrack(m_host->GetNumSongs(), songlisttest::SongOf(path, juce::String(name)));
    }

    std::string Names() const
    {
        std::string s;
        for (int i = 0; i < m_host->GetNumSongs(); ++i)
            s += (i > 0 ? "," : "") + m_host->GetSong(i)->getText(TrackInfo::kSongName).toStdString();
        return s;
    }
};
} // namespace

// A taken name gets a dot and the next free number; a number that begins
// with 0 is part of the name; the candidate is made a legal file name first.
TEST_F(CVXHostPlaylistProcTest, SongNameCheckerTable)
{
    struct Case
    {
        std::vector<std::string> present;
        const char* candidate;
        const char* expected;
    };
    const Case cases[] = {
        {{}, "Song", "Song"},
        {{"Song"}, "Song", "Song.1"},
        {{"Song", "Song.1"}, "Song", "Song.2"},
        {{"Song.1", "Song"}, "Song", "Song.2"},
        {{"Song", "Song.5"}, "Song", "Song.6"},
        {{"Song", "Song.5"}, "Song.1", "Song.1"},
        {{"Song.5"}, "Song.5", "Song.6"},
        {{"Song.5"}, "Song", "Song"},
        {{"Song.05"}, "Song.05", "Song.05.1"},
        {{"Song", "Song.05"}, "Song", "Song.1"},
        {{"Song."}, "Song.", "Song.1"},
        {{"Song", "Song."}, "Song", "Song.1"},
        {{"song"}, "Song", "Song"},
        {{"Song"}, "SONG", "SONG"},
        {{}, "", "_"},
        {{"_"}, "  ", "_.1"},
        {{}, "a/b:c?  ", "abc"},
        {{"abc"}, "a/b:c", "abc.1"},
        {{"Song", "Song.x1"}, "Song", "Song.1"},
        // Ten digits are no number: the name the count reaches is taken.
        {{"Song", "Song.999999999", "Song.1000000000"}, "Song", "Song.1000000001"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string("candidate '") + c.candidate + "' among " +
                     std::to_string(c.present.size()));
        MakeHost();
        AddNamed(c.present);
        EXPECT_EQ(m_host->SongNameChecker(c.candidate), juce::String(c.expected));
    }
}

// A rename keeps its own name, is refused a name another song bears (exact
// case), and is made legal.
TEST_F(CVXHostPlaylistProcTest, SongNameCheckerRenameTable)
{
    AddNamed({"A", "B", "Song.1"});
    struct Case
    {
        const char* newName;
        const char* oldName;
        int own;
        const char* expected;
    };
    const Case cases[] = {
        {"A", "A", 0, "A"},     {"B", "A", 0, ""},   {"B ", "A", 0, ""},     {"b", "A", 0, "b"},
        {"C?", "A", 0, "C"},    {"A?", "A", 0, "A"}, {"Song.1", "B", 1, ""}, {"Song.1", "x", 2, "Song.1"},
        {"Song.1", "x", 7, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.newName) + " for " + c.oldName);
        EXPECT_EQ(m_host->SongNameCheckerRename(c.newName, c.oldName, c.own), juce::String(c.expected));
    }
}

// The name index follows renames told by the songs, insertions and removals.
TEST_F(CVXHostPlaylistProcTest, NamesFollowRenamesAndRemovals)
{
    AddNamed({"Song", "Song.1", "Song.2"});
    m_host->GetSong(2)->setText(TrackInfo::kSongName, "Other", true);
    EXPECT_EQ(m_host->SongNameChecker("Song"), "Song.2");
    EXPECT_EQ(m_host->SongNameChecker("Other"), "Other.1");
    m_host->RemoveTrack(0, true, true);
    EXPECT_EQ(m_host->SongNameChecker("Song"), "Song");
    m_host->RemoveTrack(0, true, true);
    EXPECT_EQ(m_host->SongNameChecker("Song.1"), "Song.1");
    m_host->InsertTrack(0, songlisttest::SongOf(m_folder / "named.wav", "Song.7"));
    EXPECT_EQ(m_host->SongNameChecker("Song.7"), "Song.8");
}

// Where the current song and the selection are after each kind of edit: the
// current song stays the same record where it survives, and the edit
// selects what it made.
TEST_F(CVXHostPlaylistProcTest, CurrentSongAndSelectionBookkeeping)
{
    struct Case
    {
        const char* edit;
        const char* layout;
        int current;
        std::function<bool(CVXHost&)> run;
        const char* names;
        int expectedCurrent;
        const char* selection;
        // Whether the current song survives the edit as the same record.
        bool sameRecord;
    };
    CVXHost::TakenSongs taken;
    std::unique_ptr<TrackInfo> divided;
    const Case cases[] = {
        {"insert before the current song", "SSSS", 2,
         [this](CVXHost& h) { return h.InsertTrack(1, songlisttest::SongOf(m_folder / "s0.wav", "new")); },
         "s0,new,s1,s2,s3", 3, "0", true},
        {"insert after the current song", "SSSS", 2,
         [this](CVXHost& h) { return h.InsertTrack(3, songlisttest::SongOf(m_folder / "s0.wav", "new")); },
         "s0,s1,s2,new,s3", 2, "0", true},
        {"remove before the current song", "SSSS", 2,
         [](CVXHost& h) { return h.RemoveTrack(0, true, true) != nullptr; }, "s1,s2,s3", 1, "0", true},
        {"remove the current song", "SSSS", 2,
         [](CVXHost& h) { return h.RemoveTrack(2, true, true) != nullptr; }, "s0,s1,s3", 2, "0", false},
        {"remove {1,2} at once with 2 current", "SSSS", 2,
         [](CVXHost& h) {
             return h.RemoveTracks({1, 2}).size() == 2;
         },
         "s0,s3", 1, "0", false},
        {"remove {2,3} at once with 3 current", "SSSS", 3,
         [](CVXHost& h) {
             return h.RemoveTracks({2, 3, 9}).back() == nullptr;
         },
         "s0,s1", 0, "0", false},
        {"remove {0,3} at once with 2 current", "SSSS", 2,
         [](CVXHost& h) {
             return h.RemoveTracks({0, 3})[1] != nullptr;
         },
         "s1,s2", 1, "0", true},
        {"take {0,2} out and put them back at once", "SSSS", 3,
         [](CVXHost& h)
         {
             CVXHost::TakenSongs taken = h.RemoveTracks({0, 2});
             std::vector<std::pair<int, std::unique_ptr<TrackInfo>>> back;
             back.emplace_back(0, std::move(taken[0]));
             back.emplace_back(2, std::move(taken[1]));
             h.InsertTracks(std::move(back));
             return true;
         },
         "s0,s1,s2,s3", 3, "0", true},
        {"move {1,2} to 4", "SSSSS", 2,
         [](CVXHost& h) {
             return h.PermutateTracks(SetOf({1, 2}), 4);
         },
         "s0,s3,s1,s2,s4", 3, "2-3", true},
        {"move {3,4} to 0", "SSSSS", 0,
         [](CVXHost& h) {
             return h.PermutateTracks(SetOf({3, 4}), 0);
         },
         "s3,s4,s0,s1,s2", 2, "0-1", true},
        {"move {0,3} to the end", "SSSSS", 4,
         [](CVXHost& h) {
             return h.PermutateTracks(SetOf({0, 3}), 5);
         },
         "s1,s2,s4,s0,s3", 2, "3-4", true},
        {"combine {0,5,6} with 7 current", "SSSSSSSS", 7,
         [&taken](CVXHost& h) {
             return h.CombineTracks(SetOf({0, 5, 6}), taken);
         },
         "s0,s1,s2,s3,s4,s7", 5, "0", true},
        {"combine {1,2} with 2 current", "SSSS", 2,
         [&taken](CVXHost& h) {
             return h.CombineTracks(SetOf({1, 2}), taken);
         },
         "s0,s1,s3", 1, "1", false},
        {"combine {2,3} with 0 current", "SSSS", 0,
         [&taken](CVXHost& h) {
             return h.CombineTracks(SetOf({2, 3}), taken);
         },
         "s0,s1,s2", 0, "2", true},
        {"link {2,3} with 4 current", "SSMMS", 4,
         [&taken](CVXHost& h) {
             return h.LinkTracks(SetOf({2, 3}), taken);
         },
         "s0,s1,m2,s4", 3, "0", true},
        {"link {2,3} with 3 current", "SSMMS", 3,
         [&taken](CVXHost& h) {
             return h.LinkTracks(SetOf({2, 3}), taken);
         },
         "s0,s1,m2,s4", 2, "0", false},
        {"link {1,2} with 0 current", "MMMS", 0,
         [&taken](CVXHost& h) {
             return h.LinkTracks(SetOf({1, 2}), taken);
         },
         "m0,m1,s3", 0, "0", true},
        {"divide the current song", "SSS", 1, [&divided](CVXHost& h) { return h.DivideTrack(0.02, divided); },
         "s0,s1,s1.1,s2", 2, "1-2", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.edit);
        MakeHost();
        AddLayout(c.layout);
        m_host->SetCurPlayTrack(c.current, true, false);
        m_host->SetSelectedSongs(0, 1, false);
        TrackInfo* current = m_host->GetSong(c.current);
        ASSERT_TRUE(c.run(*m_host));
        EXPECT_EQ(Names(), c.names);
        EXPECT_EQ(m_host->GetCurPlayTrack(0), c.expectedCurrent);
        EXPECT_EQ(RangesOf(m_host->GetSelection()), c.selection);
        if (c.sameRecord)
        {
            EXPECT_EQ(m_host->GetCurrentSong(), current);
        }
        ASSERT_NE(m_host->GetCurrentSong(), nullptr);
        EXPECT_TRUE(m_host->GetCurrentSong()->isCurrentSong());
        taken.clear();
        divided.reset();
    }
}

// Dividing the song that plays leaves both parts selected and the second
// part current, playing from its start; the divided record goes to the
// caller.
TEST_F(CVXHostPlaylistProcTest, DivideWhilePlaying)
{
    AddSong(WriteSong("Take.wav", 44100));
    m_host->GetSong(0)->setControl(TrackInfo::kFadeInType, 1, false);
    m_host->GetSong(0)->setControl(TrackInfo::kFadeOutType, 2, false);
    m_host->GetSong(0)->addMarker(0.1, false);
    m_host->GetSong(0)->addMarker(0.6, false);
    m_host->SetCurPlayTrack(0, true, false);
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    TrackInfo* song = m_host->GetSong(0);

    std::unique_ptr<TrackInfo> source;
    EXPECT_FALSE(m_host->DivideTrack(1.0, source));
    EXPECT_FALSE(m_host->DivideTrack(0.0, source));
    ASSERT_TRUE(m_host->DivideTrack(0.5, source));
    EXPECT_EQ(source.get(), song);
    EXPECT_EQ(Names(), "Take,Take.1");
    EXPECT_EQ(RangesOf(m_host->GetSelection()), "0-1");
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 1);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPlaying);
    EXPECT_NEAR(Player()->GetCurTimeSecond(), 0.0, 0.05);
    const TrackInfo* first = m_host->GetSong(0);
    const TrackInfo* second = m_host->GetSong(1);
    EXPECT_NEAR(first->getTotalTimeSecond(), 0.5, 1e-3);
    EXPECT_NEAR(second->getTotalTimeSecond(), 0.5, 1e-3);
    EXPECT_EQ(first->getControlInt(TrackInfo::kFadeInType), 1);
    EXPECT_EQ(first->getControlInt(TrackInfo::kFadeOutType), 0);
    EXPECT_EQ(second->getControlInt(TrackInfo::kFadeInType), 0);
    EXPECT_EQ(second->getControlInt(TrackInfo::kFadeOutType), 2);
    EXPECT_EQ(songtest::MarkerTimes(first->getMarkers()), std::vector<double>{0.1});
    ASSERT_EQ(second->getMarkers()->GetNumMarkers(), 1);
    EXPECT_NEAR(second->getMarkers()->GetMarkerTimeSecond(0), 0.1, 1e-9);
}

// Combining mono songs plays all their files back to back in one track;
// stereo songs keep their sections one after another. Later songs' markers
// move by the length before them.
TEST_F(CVXHostPlaylistProcTest, CombinedSongModels)
{
    AddLayout("MMSS");
    m_host->GetSong(1)->addMarker(0.01, false);
    m_host->GetSong(3)->addMarker(0.02, false);
    CVXHost::TakenSongs taken;
    ASSERT_TRUE(m_host->CombineTracks(SetOf({0, 1}), taken));
    ASSERT_EQ(taken.size(), 2u);
    const TrackInfo* mono = m_host->GetSong(0);
    ASSERT_EQ(mono->getSong()->GetNumSections(), 1);
    ASSERT_EQ(mono->getSong()->GetSectionPtr(0)->GetNumTracks(), 1);
    EXPECT_EQ(mono->getSong()->GetSectionPtr(0)->GetTrackPtr(0)->GetNumFiles(), 2);
    EXPECT_NEAR(mono->getTotalTimeSecond(), 0.1, 1e-3);
    ASSERT_EQ(mono->getMarkers()->GetNumMarkers(), 1);
    EXPECT_NEAR(mono->getMarkers()->GetMarkerTimeSecond(0), 0.06, 1e-3);

    taken.clear();
    ASSERT_TRUE(m_host->CombineTracks(SetOf({1, 2}), taken));
    const TrackInfo* stereo = m_host->GetSong(1);
    EXPECT_EQ(stereo->getSong()->GetNumSections(), 2);
    EXPECT_EQ(stereo->getNumChannels(), 2);
    EXPECT_NEAR(stereo->getMarkers()->GetMarkerTimeSecond(0), 0.07, 1e-3);
    // Songs that cannot be combined are refused.
    taken.clear();
    EXPECT_FALSE(m_host->CombineTracks(SetOf({0, 1}), taken));
    EXPECT_FALSE(m_host->CombineTracks(SetOf({1}), taken));
    EXPECT_TRUE(taken.empty());
    EXPECT_EQ(m_host->GetNumSongs(), 2);
}

// Linking puts the second mono song's track beside the first's, with the
// balance centred. Songs of unequal section counts cannot be linked: the
// command is not offered and the operation changes nothing.
TEST_F(CVXHostPlaylistProcTest, LinkNeedsEqualSectionCounts)
{
    AddLayout("MM");
    m_host->GetSong(0)->setControl(TrackInfo::kBalance, 0.5f, false);
    const std::wstring m1 = Wide(m_folder / "m1.wav");
    m_host->InsertTrack(2, songlisttest::SongOfParts({{{{m1, 0, 1000}}}, {{{m1, 1000, -1}}}}));
    m_host->SetSelectedSongs(1, 2, false);
    EXPECT_FALSE(m_host->CanLink());
    CVXHost::TakenSongs taken;
    EXPECT_FALSE(m_host->LinkTracks(SetOf({1, 2}), taken));
    EXPECT_FALSE(m_host->LinkTracks(SetOf({0, 2}), taken));
    EXPECT_TRUE(taken.empty());
    EXPECT_EQ(m_host->GetNumSongs(), 3);

    m_host->SetSelectedSongs(0, 2, false);
    EXPECT_TRUE(m_host->CanLink());
    ASSERT_TRUE(m_host->LinkTracks(SetOf({0, 1}), taken));
    const TrackInfo* linked = m_host->GetSong(0);
    EXPECT_EQ(linked->getNumChannels(), 2);
    EXPECT_EQ(linked->getSong()->GetSectionPtr(0)->GetNumTracks(), 2);
    EXPECT_FLOAT_EQ(linked->getControlFloat(TrackInfo::kBalance), 0.0f);
    EXPECT_EQ(linked->getText(TrackInfo::kSongName), "m0");
    EXPECT_EQ(m_host->GetNumSongs(), 2);
}

// The undo of a move puts the records back, finds the current song by its
// record and tells the list; an order that is not one of the present songs
// is refused.
TEST_F(CVXHostPlaylistProcTest, MoveUndoRestoresTheOrder)
{
    AddLayout("SSSSS");
    m_host->SetCurPlayTrack(1, true, false);
    std::vector<TrackInfo*> order;
    for (int i = 0; i < 5; ++i)
        order.push_back(m_host->GetSong(i));
    ASSERT_TRUE(m_host->PermutateTracks(SetOf({1, 2}), 4));
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 2);
    m_listener.notices.clear();

    std::vector<TrackInfo*> wrong = order;
    wrong[4] = wrong[0];
    {
        TestSupport::ScopedCheckReports reports;
        EXPECT_FALSE(m_host->PermutateTracks_Undo(SetOf({1, 2}), wrong));
        EXPECT_FALSE(m_host->PermutateTracks_Undo(SetOf({1, 2}), {order.begin(), order.end() - 1}));
        EXPECT_GE(reports.Count(), 1);
    }
    EXPECT_EQ(Names(), "s0,s3,s1,s2,s4");

    ASSERT_TRUE(m_host->PermutateTracks_Undo(SetOf({1, 2}), order));
    EXPECT_EQ(Names(), "s0,s1,s2,s3,s4");
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 1);
    EXPECT_EQ(m_host->GetCurrentSong(), order[1]);
    EXPECT_EQ(RangesOf(m_host->GetSelection()), "1-2");
    EXPECT_TRUE(m_listener.Saw("count 5"));
}

// The shuffle order is a permutation with the current song first; with a
// fixed seed it is always the same, and with fewer than three songs it is
// the current song followed by the other. A change of the song count makes
// a new one.
TEST_F(CVXHostPlaylistProcTest, SeededShuffleOrder)
{
    auto services = Services();
    services.shuffleSeed = [] { return 12345u; };
    m_host.reset();
    m_host = std::make_unique<CVXHost>(services);
    m_host->stopTimer();
    AddLayout("SS");
    m_host->SetCurPlayTrack(1, false, true);
    EXPECT_EQ(m_host->GetShuffleOrder(), (std::vector<int>{1, 0}));

    AddLayout("SSSSSSSS");
    m_host->SetCurPlayTrack(6, false, false);
    const std::vector<int> order = m_host->GetShuffleOrder();
    ASSERT_EQ(order.size(), 10u);
    EXPECT_EQ(order[0], 6);
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    m_host->refreshShuffledList();
    EXPECT_EQ(m_host->GetShuffleOrder(), order);
    EXPECT_NE(order, (std::vector<int>{6, 1, 2, 3, 4, 5, 0, 7, 8, 9}));

    m_host->RemoveTrack(9, true, false);
    EXPECT_EQ(m_host->GetShuffleOrder().size(), 9u);
    EXPECT_EQ(m_host->GetShuffleOrder()[0], 6);
    EXPECT_EQ(m_host->GetShufflePosition(), 0);
}

// The modified flag and the songlist's file are told with the file name;
// the recent list keeps a path once, most recent first, ten at most.
TEST_F(CVXHostPlaylistProcTest, SonglistPathAndModifiedFlag)
{
    m_host->setVXSLChanged(false);
    EXPECT_TRUE(m_listener.notices.empty());
    m_host->setVXSLChanged(true);
    m_host->setVXSLChanged(true);
    EXPECT_TRUE(m_host->isVXSLChanged());
    EXPECT_EQ(m_listener.notices, std::vector<std::string>{"name "});

    for (int i = 0; i < 12; ++i)
        m_host->SetVXSLPath(juce::File((m_folder / ("l" + std::to_string(i) + ".vxsl")).string()));
    m_host->SetVXSLPath(juce::File((m_folder / "l5.vxsl").string()));
    EXPECT_EQ(m_listener.notices.back(), "name l5.vxsl");
    const juce::StringArray& recent = m_host->GetRecentSonglists();
    ASSERT_EQ(recent.size(), 10);
    EXPECT_TRUE(recent[0].endsWith("/l5.vxsl"));
    EXPECT_TRUE(recent[1].endsWith("/l11.vxsl"));
    EXPECT_TRUE(recent[9].endsWith("/l2.vxsl"));

    m_listener.notices.clear();
    m_host->SetVXSLPath(juce::File());
    EXPECT_EQ(m_listener.notices, std::vector<std::string>{"name "});
    EXPECT_EQ(m_host->GetSonglistFile(), juce::File());
    EXPECT_EQ(m_host->GetRecentSonglists().size(), 10);
}

// A combined song must stay one the songlist reads back: songs whose parts
// together pass a song's limit are not combined (nor offered for it).
TEST_F(CVXHostPlaylistProcTest, CombinedSongStaysWithinThePartLimit)
{
    AddLayout("SS");
    CPlaylistSong* model = m_host->GetSong(0)->getSong();
    while (model->GetNumSections() < CPlaylistSong::kMaxParts)
        model->CreateNewSection()->CopyAll(model->GetSectionPtr(0));
    m_host->SetSelectedSongs(0, 2, false);
    EXPECT_FALSE(m_host->CanCombine());
    CVXHost::TakenSongs taken;
    EXPECT_FALSE(m_host->CombineTracks(SetOf({0, 1}), taken));
    EXPECT_EQ(m_host->GetNumSongs(), 2);

    model->DeleteLast();
    m_host->SetSelectedSongs(0, 1, false);
    m_host->SetSelectedSongs(0, 2, false);
    EXPECT_TRUE(m_host->CanCombine());
}

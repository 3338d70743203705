#include "src/songlist/Action/CVXActionChangeValue.h"
#include "src/songlist/Action/CVXActionRename.h"
#include "src/songlist/Action/ChangePictureAction.h"
#include "src/songlist/Action/ChannelLinkAction.h"
#include "src/songlist/Action/CombineSongAction.h"
#include "src/songlist/Action/DivideSongAction.h"
#include "src/songlist/Action/PermutateAction.h"
#include "src/songlist/Action/RemoveSongAction.h"
#include "src/songlist/Action/SelectionRetriever.h"
#include "src/songlist/CommandManager.h"

#include "common/file/CMarker.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace hosttest;
using Vextal::TrackInfo;

namespace
{
constexpr int64_t kFrames = 2205; // 50 ms

// Everything of a song that an edit may change: texts, controls, picture,
// markers, channels, length and the shape of its model.
std::string Describe(const TrackInfo& song)
{
    std::ostringstream out;
    for (int t = 0; t < TrackInfo::kNumTexts; ++t)
        out << song.getText(t) << "|";
    // (+ 0.0f: loading a mono song stores its balance as -0.0.)
    for (int c = 0; c < TrackInfo::kNumControls; ++c)
        out << (TrackInfo::isFloatControl(c) ? song.getControlFloat(c) + 0.0f : song.getControlInt(c)) << ",";
    out << song.getAttachedPictureFilePath() << "|" << song.getNumChannels() << "ch|"
        << song.getTotalTimeSecond();
    for (double m : songtest::MarkerTimes(song.getMarkers()))
        out << "|m" << m;
    for (const auto& section : songtest::PartsOf(song.getSong()))
    {
        out << "|s";
        for (const auto& track : section)
            out << track.size();
    }
    return out.str();
}

// The host's songlist as an edit leaves it.
struct State
{
    std::vector<TrackInfo*> records;
    std::vector<std::string> songs;
    std::string selection;
    int current = -1;
    TrackInfo* currentRecord = nullptr;

    std::string Names() const
    {
        std::string s;
        for (const std::string& song : songs)
            s += (s.empty() ? "" : ",") + song.substr(0, song.find('|'));
        return s;
    }
};

State Snap(const CVXHost& host)
{
    State state;
    for (int i = 0; i < host.GetNumSongs(); ++i)
    {
        state.records.push_back(host.GetSong(i));
        state.songs.push_back(Describe(*host.GetSong(i)));
    }
    state.selection = RangesOf(host.GetSelection());
    state.current = host.GetCurPlayTrack(0);
    state.currentRecord = host.GetCurrentSong();
    return state;
}

// The same songs, selection and current song; records that were in the list
// before the edit (original) must be the same records again.
void ExpectSameState(const State& got, const State& want, const std::set<TrackInfo*>& original)
{
    EXPECT_EQ(got.songs, want.songs);
    EXPECT_EQ(got.selection, want.selection);
    EXPECT_EQ(got.current, want.current);
    ASSERT_EQ(got.records.size(), want.records.size());
    for (size_t i = 0; i < want.records.size(); ++i)
    {
        if (original.count(want.records[i]) > 0)
        {
            EXPECT_EQ(got.records[i], want.records[i]) << "song " << i;
        }
    }
}

// The actions of one transaction, in order.
using Transaction = std::vector<std::unique_ptr<juce::UndoableAction>>;

template <typename... A>
Transaction Actions(A*... actions)
{
    Transaction t;
    (t.emplace_back(actions), ...);
    return t;
}

class UndoableActionsTest : public HostTest
{
protected:
    UndoableActionsTest() { CZJEResource::CreateInstance(); }
    ~UndoableActionsTest() override { CZJEResource::DestroyInstance(); }

    void SetUp() override
    {
        HostTest::SetUp();
        MakeFixture();
    }
    void TearDown() override
    {
        m_commands.reset();
        HostTest::TearDown();
    }

    // Five songs: s0 stereo, m1 and m2 mono, s3 and s4 stereo, each with its
    // own gain; s3 and s4 carry markers, s0 a picture. s3 is current, s0
    // selected.
    void MakeFixture()
    {
        m_commands.reset();
        MakeHost();
        const char* layout = "SMMSS";
        for (int i = 0; i < 5; ++i)
        {
            const bool mono = layout[i] == 'M';
            const std::string name = (mono ? "m" : "s") + std::to_string(i);
            TrackInfo* song = AddSong(WriteSong(name + ".wav", kFrames, 1 + 10000 * i, mono ? 1 : 2));
            song->setControl(TrackInfo::kGain, static_cast<float>(i) - 2.0f, false);
        }
        m_host->GetSong(3)->addMarker(0.01, false);
        m_host->GetSong(4)->addMarker(0.03, false);
        m_host->GetSong(0)->setAttachedPictureFilePath("/pictures/cover.png", false);
        m_host->SetCurPlayTrack(3, true, false);
        m_host->SetSelectedSongs(0, 1, false);
        m_commands = std::make_unique<Vextal::CommandManager>(*m_host, [] {});
    }

    // Pushes the actions as one transaction; true when all were performed.
    bool Push(Transaction actions)
    {
        bool first = true;
        for (auto& action : actions)
        {
            if (!m_commands->stackActionInUndoList(std::move(action), first, "Edit"))
                return false;
            first = false;
        }
        return true;
    }

    CVXActionChangeValue* Gain(int index, float value)
    {
        auto* action = new CVXActionChangeValue(m_host.get());
        action->SetValue(index, TrackInfo::kGain, value);
        return action;
    }

    uitest::ScopedLanguage m_english{"en"};
    std::unique_ptr<Vextal::CommandManager> m_commands;
};
} // namespace

// Every kind of edit, as the commands compose it, on the five-song fixture:
// perform gives the expected songs, selection and current song; undo gives
// back the state before (the same records, names, controls, markers,
// selection and current song); redo gives the state after again, and a
// second undo the state before. The manager is dropped with the last redo
// performed, so the records the actions hold are freed then.
TEST_F(UndoableActionsTest, EveryActionUndoesAndRedoes)
{
    struct Case
    {
        const char* edit;
        int currentBefore;
        juce::SparseSet<int> selectionBefore;
        std::function<Transaction(CVXHost&)> actions;
        const char* names;
        int current;
        const char* selection;
        std::function<void(CVXHost&)> check;
    };
    const Case cases[] = {
        {"gain of two selected songs", 3, SetOf({0, 3}),
         [this](CVXHost& h)
         { return Actions(new Vextal::SelectionRetriever(h, false), Gain(0, 2.5f), Gain(3, -7.0f)); },
         "s0,m1,m2,s3,s4", 3, "0,3",
         [](CVXHost& h)
         {
             EXPECT_FLOAT_EQ(h.GetSong(0)->getControlFloat(TrackInfo::kGain), 2.5f);
             EXPECT_FLOAT_EQ(h.GetSong(3)->getControlFloat(TrackInfo::kGain), -7.0f);
         }},
        {"fade-in type", 3, SetOf({1}),
         [this](CVXHost&)
         {
             auto* action = new CVXActionChangeValue(m_host.get());
             action->SetValue(1, TrackInfo::kFadeInType, 2);
             return Actions(action);
         },
         "s0,m1,m2,s3,s4", 3, "1",
         [](CVXHost& h) { EXPECT_EQ(h.GetSong(1)->getControlInt(TrackInfo::kFadeInType), 2); }},
        {"song name in a row",
         3,
         SetOf({1}),
         [](CVXHost& h) { return Actions(new CVXActionRename(h, 1, TrackInfo::kSongName, "first?", false)); },
         "s0,first,m2,s3,s4",
         3,
         "1",
         {}},
        {"taken name made unique in the editor", 3, SetOf({2}),
         [](CVXHost& h)
         {
             return Actions(new Vextal::SelectionRetriever(h, SetOf({2})),
                            new CVXActionRename(h, 2, TrackInfo::kSongName, "s0", true),
                            new CVXActionRename(h, 2, TrackInfo::kAlbum, "Album", false));
         },
         "s0,m1,s0.1,s3,s4", 3, "2",
         [](CVXHost& h) { EXPECT_EQ(h.GetSong(2)->getText(TrackInfo::kAlbum), "Album"); }},
        {"picture", 3, SetOf({0}),
         [](CVXHost& h)
         {
             return Actions(new Vextal::ChangePictureAction(h, 0, {}),
                            new Vextal::ChangePictureAction(h, 1, "/pictures/other.jpg"));
         },
         "s0,m1,m2,s3,s4", 3, "0",
         [](CVXHost& h)
         {
             EXPECT_EQ(h.GetSong(0)->getAttachedPictureFilePath(), "");
             EXPECT_EQ(h.GetSong(1)->getAttachedPictureFilePath(), "/pictures/other.jpg");
         }},
        {"link", 3, SetOf({1, 2}),
         [](CVXHost& h)
         {
             return Actions(new Vextal::SelectionRetriever(h, false),
                            new Vextal::ChannelLinkAction(h, SetOf({1, 2})));
         },
         "s0,m1,s3,s4", 2, "1-2", [](CVXHost& h) { EXPECT_EQ(h.GetSong(1)->getNumChannels(), 2); }},
        {"link of the current song",
         2,
         SetOf({1, 2}),
         [](CVXHost& h)
         {
             return Actions(new Vextal::SelectionRetriever(h, false),
                            new Vextal::ChannelLinkAction(h, SetOf({1, 2})));
         },
         "s0,m1,s3,s4",
         1,
         "1-2",
         {}},
        {"combine with the current song", 3, SetOf({3, 4}),
         [](CVXHost& h) {
             return Actions(new Vextal::CombineSongAction(h, SetOf({3, 4})));
         },
         "s0,m1,m2,s3", 3, "3",
         [](CVXHost& h) { EXPECT_EQ(songtest::MarkerTimes(h.GetSong(3)->getMarkers()).size(), 2u); }},
        {"combine after the current song",
         0,
         SetOf({3, 4}),
         [](CVXHost& h) {
             return Actions(new Vextal::CombineSongAction(h, SetOf({3, 4})));
         },
         "s0,m1,m2,s3",
         0,
         "3",
         {}},
        {"divide a song that is not current",
         3,
         SetOf({3}),
         [](CVXHost& h) { return Actions(new Vextal::DivideSongAction(h, 0, 0.02)); },
         "s0,s0.1,m1,m2,s3,s4",
         1,
         "0-1",
         {}},
        {"move {1,2} to 4",
         3,
         SetOf({1, 2}),
         [](CVXHost& h) {
             return Actions(new Vextal::PermutateAction(h, SetOf({1, 2}), 4));
         },
         "s0,s3,m1,m2,s4",
         1,
         "2-3",
         {}},
        {"remove {1,3} with the current song",
         3,
         SetOf({1, 3}),
         [](CVXHost& h) {
             return Actions(new Vextal::RemoveSongAction(h, SetOf({1, 3})));
         },
         "s0,m2,s4",
         2,
         "1",
         {}},
        {"remove every song",
         3,
         SetOf({0, 1, 2, 3, 4}),
         [](CVXHost& h) {
             return Actions(new Vextal::RemoveSongAction(h, SetOf({0, 1, 2, 3, 4})));
         },
         "",
         -1,
         "",
         {}},
        {"crop to the selection",
         3,
         SetOf({3, 4}),
         [](CVXHost& h)
         {
             return Actions(new Vextal::SelectionRetriever(h, false),
                            new Vextal::RemoveSongAction(h, SetOf({0, 1, 2})));
         },
         "s3,s4",
         0,
         "0",
         {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.edit);
        MakeFixture();
        m_host->SetCurPlayTrack(c.currentBefore, true, false);
        m_host->SetSelectedSongs(c.selectionBefore, false);
        const State before = Snap(*m_host);
        const std::set<TrackInfo*> original(before.records.begin(), before.records.end());

        ASSERT_TRUE(Push(c.actions(*m_host)));
        const State after = Snap(*m_host);
        EXPECT_EQ(after.Names(), c.names);
        EXPECT_EQ(after.current, c.current);
        EXPECT_EQ(after.selection, c.selection);
        EXPECT_NE(after.songs, before.songs);
        if (c.check)
            c.check(*m_host);
        if (after.currentRecord != nullptr)
        {
            EXPECT_TRUE(after.currentRecord->isCurrentSong());
        }

        for (int round = 0; round < 2; ++round)
        {
            ASSERT_TRUE(m_commands->undo());
            ExpectSameState(Snap(*m_host), before, original);
            EXPECT_EQ(m_host->GetCurrentSong(), before.currentRecord);
            EXPECT_FALSE(m_commands->isModified());
            ASSERT_TRUE(m_commands->redo());
            ExpectSameState(Snap(*m_host), after, original);
        }
    }
}

// A rename to a name another song bears is refused with a message in a song
// row and dropped; an empty name is refused silently. Neither counts as an
// edit.
TEST_F(UndoableActionsTest, RefusedRenames)
{
    Vextal::ScopedScriptedDialogs dialogs;
    EXPECT_FALSE(
        m_commands->stackActionInUndoList(new CVXActionRename(*m_host, 1, 0, "s0", false), true, "Edit"));
    ASSERT_EQ(dialogs->getShownBoxes().size(), 1u);
    EXPECT_EQ(dialogs->getShownBoxes()[0].title, "Error");
    EXPECT_EQ(dialogs->getShownBoxes()[0].message, "Another song already has this name.");
    EXPECT_FALSE(
        m_commands->stackActionInUndoList(new CVXActionRename(*m_host, 1, 0, "", false), true, "Edit"));
    EXPECT_FALSE(
        m_commands->stackActionInUndoList(new CVXActionRename(*m_host, 9, 1, "x", false), true, "Edit"));
    EXPECT_EQ(dialogs->getShownBoxes().size(), 1u);
    EXPECT_EQ(m_host->GetSong(1)->getText(0), "m1");
    EXPECT_FALSE(m_commands->isModified());
    EXPECT_FALSE(m_commands->canUndo());
}

// Removing songs selects the song that takes the first one's place, or the
// new last song.
TEST_F(UndoableActionsTest, RemovalSelectsTheNextSong)
{
    ASSERT_TRUE(Push(Actions(new Vextal::RemoveSongAction(*m_host, SetOf({1, 3})))));
    EXPECT_EQ(RangesOf(m_host->GetSelection()), "1");
    EXPECT_EQ(m_host->GetSong(1)->getText(0), "m2");
    ASSERT_TRUE(Push(Actions(new Vextal::RemoveSongAction(*m_host, SetOf({1, 2})))));
    EXPECT_EQ(RangesOf(m_host->GetSelection()), "0");
    EXPECT_FALSE(Push(Actions(new Vextal::RemoveSongAction(*m_host, SetOf({5, 6})))));
    EXPECT_EQ(m_host->GetNumSongs(), 1);
}

// Linking four mono songs in one command gives two linked songs; one undo
// brings the four back with their selection.
TEST_F(UndoableActionsTest, LinkingTwoPairsInOneTransaction)
{
    MakeHost();
    for (int i = 0; i < 4; ++i)
        AddSong(WriteSong("p" + std::to_string(i) + ".wav", kFrames, 1 + 1000 * i, 1));
    m_host->SetSelectedSongs(0, 4, false);
    m_commands = std::make_unique<Vextal::CommandManager>(*m_host, [] {});
    const State before = Snap(*m_host);
    ASSERT_TRUE(Push(Actions(new Vextal::SelectionRetriever(*m_host, false),
                             new Vextal::ChannelLinkAction(*m_host, SetOf({0, 1})),
                             new Vextal::ChannelLinkAction(*m_host, SetOf({1, 2})))));
    EXPECT_EQ(Snap(*m_host).Names(), "p0,p2");
    EXPECT_EQ(m_host->GetSong(1)->getNumChannels(), 2);
    ASSERT_TRUE(m_commands->undo());
    ExpectSameState(Snap(*m_host), before, {before.records.begin(), before.records.end()});
}

// An action whose song is gone fails: perform drops it; an undo that fails
// empties the history and leaves the songlist modified.
TEST_F(UndoableActionsTest, ActionsOnMissingSongsFail)
{
    EXPECT_FALSE(Push(Actions(Gain(7, 1.0f))));
    EXPECT_FALSE(Push(Actions(new Vextal::ChangePictureAction(*m_host, -1, "x"))));
    EXPECT_FALSE(Push(Actions(new Vextal::DivideSongAction(*m_host, 1, 5.0))));
    // The song a failed divide made current stays current.
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 1);

    ASSERT_TRUE(Push(Actions(Gain(4, 1.0f))));
    m_commands->clearNumTransactions();
    // The song the change refers to leaves the list outside the history.
    m_host->RemoveTrack(4, true, true);
    ASSERT_TRUE(m_commands->undo());
    EXPECT_FALSE(m_commands->canUndo());
    EXPECT_FALSE(m_commands->canRedo());
    EXPECT_TRUE(m_commands->isModified());
}

// Dropping actions: those performed free the records they hold, those
// undone hold none and free nothing that the host owns (the address
// sanitizer checks both).
TEST_F(UndoableActionsTest, DroppedActionsFreeWhatTheyHold)
{
    ASSERT_TRUE(Push(Actions(new Vextal::CombineSongAction(*m_host, SetOf({3, 4})))));
    ASSERT_TRUE(Push(Actions(new Vextal::RemoveSongAction(*m_host, SetOf({0})))));
    ASSERT_TRUE(Push(Actions(new Vextal::DivideSongAction(*m_host, 0, 0.02))));
    ASSERT_TRUE(m_commands->undo());
    // The undone divide is dropped by the next edit, the others by the clear.
    ASSERT_TRUE(Push(Actions(new Vextal::ChannelLinkAction(*m_host, SetOf({0, 1})))));
    m_commands->clearUndoHistory();
    EXPECT_EQ(Snap(*m_host).Names(), "m1,s3");
    for (int i = 0; i < m_host->GetNumSongs(); ++i)
        EXPECT_FALSE(Describe(*m_host->GetSong(i)).empty());
    ASSERT_TRUE(Push(Actions(new Vextal::RemoveSongAction(*m_host, SetOf({0, 1})))));
    m_commands.reset();
    EXPECT_EQ(m_host->GetNumSongs(), 0);
}

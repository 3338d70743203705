#include "common/file/CPlaylistSong.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
struct Part
{
    const wchar_t* path;
    int64_t start;
    int64_t stop;
    int media;
};

void AddPart(CPlaylistTrack* track, const Part& p)
{
    track->CreateNewFile()->SetFile(p.path, p.start, p.stop, p.media);
}

// A section with one track per part, each track holding that single part.
void FillSection(CPlaylistSection* section, const std::vector<Part>& parts)
{
    for (const Part& p : parts)
        AddPart(section->CreateNewTrack(), p);
}
} // namespace

TEST(CPlaylistFile, NewPartDefaults)
{
    CPlaylistTrack track;
    const CPlaylistFile* f = track.CreateNewFile();
    EXPECT_STREQ(f->GetFilePath(), L"");
    EXPECT_EQ(f->GetAbsStartSample(), 0);
    EXPECT_EQ(f->GetAbsStopSample(), -1);
    EXPECT_EQ(f->GetMediaUniqueID(), 0);
}

TEST(CPlaylistFile, ContinuesTo)
{
    struct Case
    {
        const char* name;
        Part first;
        Part second;
        bool continues;
    };
    const Case cases[] = {
        {"stop meets start", {L"/a/x.wav", 0, 500, 0}, {L"/a/x.wav", 500, 900, 0}, true},
        {"gap of one frame", {L"/a/x.wav", 0, 500, 0}, {L"/a/x.wav", 501, 900, 0}, false},
        {"overlap", {L"/a/x.wav", 0, 500, 0}, {L"/a/x.wav", 499, 900, 0}, false},
        {"path differs in case", {L"/a/x.wav", 0, 500, 0}, {L"/a/X.wav", 500, 900, 0}, false},
        {"other file", {L"/a/x.wav", 0, 500, 0}, {L"/a/y.wav", 500, 900, 0}, false},
        {"start differs above 32 bits",
         {L"/a/x.wav", 0, 500, 0},
         {L"/a/x.wav", 500 + (int64_t(1) << 32), 900, 0},
         false},
        {"media 0 into 1234", {L"cd", 0, 500, 0}, {L"cd", 500, 900, 1234}, true},
        {"media 1234 into 0", {L"cd", 0, 500, 1234}, {L"cd", 500, 900, 0}, false},
        {"media 5 into 5", {L"cd", 0, 500, 5}, {L"cd", 500, 900, 5}, true},
        {"media 5 into 6", {L"cd", 0, 500, 5}, {L"cd", 500, 900, 6}, false},
        {"to end of file", {L"/a/x.wav", 0, -1, 0}, {L"/a/x.wav", -1, 900, 0}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CPlaylistTrack t;
        AddPart(&t, c.first);
        AddPart(&t, c.second);
        EXPECT_EQ(t.GetFilePtr(0)->ContinuesTo(t.GetFilePtr(1)), c.continues);
    }

    CPlaylistFile lone;
    lone.SetFile(L"/a/x.wav", 0, 500, 0);
    EXPECT_FALSE(lone.ContinuesTo(nullptr));
}

TEST(CPlaylistTrack, ContinuesToUsesLastAndFirstParts)
{
    CPlaylistTrack a, b, empty;
    AddPart(&a, {L"/other.wav", 0, 10, 0});
    AddPart(&a, {L"/x.wav", 0, 500, 0});
    AddPart(&b, {L"/x.wav", 500, 800, 0});
    AddPart(&b, {L"/other.wav", 0, 10, 0});

    EXPECT_TRUE(a.ContinuesTo(&b));
    EXPECT_FALSE(b.ContinuesTo(&a));
    EXPECT_FALSE(a.ContinuesTo(nullptr));
    EXPECT_FALSE(a.ContinuesTo(&empty));
    EXPECT_FALSE(empty.ContinuesTo(&b));
}

TEST(CPlaylistSection, ContinuesToNeedsEveryTrackPairToContinue)
{
    const Part l1{L"/l.wav", 0, 100, 0}, l2{L"/l.wav", 100, 200, 0};
    const Part r1{L"/r.wav", 0, 100, 0}, r2{L"/r.wav", 100, 200, 0}, rGap{L"/r.wav", 150, 200, 0};

    struct Case
    {
        const char* name;
        std::vector<Part> first;
        std::vector<Part> second;
        bool continues;
    };
    const Case cases[] = {
        {"2 into 2, both continue", {l1, r1}, {l2, r2}, true},
        {"2 into 2, second pair broken", {l1, r1}, {l2, rGap}, false},
        {"2 into 2, pairs swapped", {l1, r1}, {r2, l2}, false},
        {"2 into 1", {l1, r1}, {l2}, false},
        {"1 into 2", {l1}, {l2, r2}, false},
        {"empty into 1", {}, {l2}, false},
        {"1 into empty", {l1}, {}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CPlaylistSection a, b;
        FillSection(&a, c.first);
        FillSection(&b, c.second);
        EXPECT_EQ(a.ContinuesTo(&b), c.continues);
    }

    CPlaylistSection one;
    FillSection(&one, {l1});
    EXPECT_FALSE(one.ContinuesTo(nullptr));
}

TEST(CPlaylistSong, ContinuesToUsesLastAndFirstSections)
{
    const Part x1{L"/x.wav", 0, 100, 0}, x2{L"/x.wav", 100, 200, 0}, y{L"/y.wav", 0, 50, 0};

    CPlaylistSong a, b, empty;
    FillSection(a.CreateNewSection(), {y});
    FillSection(a.CreateNewSection(), {x1});
    FillSection(b.CreateNewSection(), {x2});
    FillSection(b.CreateNewSection(), {y});

    EXPECT_TRUE(a.ContinuesTo(&b));
    EXPECT_FALSE(b.ContinuesTo(&a));
    EXPECT_FALSE(a.ContinuesTo(nullptr));
    EXPECT_FALSE(a.ContinuesTo(&empty));
    EXPECT_FALSE(empty.ContinuesTo(&b));
}

TEST(CPlaylistSong, IndexAccessAndDeletion)
{
    CPlaylistSong song;
    EXPECT_EQ(song.GetLastSectionPtr(), nullptr);
    song.DeleteLast(); // nothing to delete

    CPlaylistSection* s0 = song.CreateNewSection();
    CPlaylistSection* s1 = song.CreateNewSection();
    EXPECT_EQ(song.GetSectionPtr(0), s0);
    EXPECT_EQ(song.GetLastSectionPtr(), s1);
    EXPECT_EQ(song.GetSectionPtr(2), nullptr);

    EXPECT_EQ(s1->GetLastTrackPtr(), nullptr);
    CPlaylistTrack* t = s1->CreateNewTrack();
    EXPECT_EQ(s1->GetLastTrackPtr(), t);
    EXPECT_EQ(s1->GetTrackPtr(1), nullptr);
    t->CreateNewFile();
    EXPECT_EQ(t->GetFilePtr(1), nullptr);
    t->DeleteLast();
    t->DeleteLast();
    EXPECT_EQ(t->GetNumFiles(), 0);

    ASSERT_TRUE(song.GetMarkerPtr()->Add(1.0));
    song.DeleteLast();
    EXPECT_EQ(song.GetNumSections(), 1);
    EXPECT_EQ(song.GetMarkerPtr()->GetNumMarkers(), 1) << "DeleteLast keeps the markers";
    song.DeleteAll();
    EXPECT_EQ(song.GetNumSections(), 0);
    EXPECT_EQ(song.GetMarkerPtr()->GetNumMarkers(), 0);
}

TEST(CPlaylistSong, CopyAllIsADeepCopySurvivingTheSource)
{
    auto source = std::make_unique<CPlaylistSong>();
    for (int s = 0; s < 2; ++s)
    {
        CPlaylistSection* section = source->CreateNewSection();
        for (int t = 0; t < 2; ++t)
        {
            CPlaylistTrack* track = section->CreateNewTrack();
            AddPart(track, {t == 0 ? L"/left.wav" : L"/right.wav", s * 1000, s * 1000 + 600, 0});
            AddPart(track, {L"/cd", 7, 9, 42 + t});
        }
    }
    ASSERT_TRUE(source->GetMarkerPtr()->Add(0.25));
    ASSERT_TRUE(source->GetMarkerPtr()->Add(3.0));

    CPlaylistSong copy;
    copy.CreateNewSection()->CreateNewTrack()->CreateNewFile(); // replaced by the copy
    ASSERT_TRUE(copy.GetMarkerPtr()->Add(8.0));
    copy.CopyAll(source.get());
    source.reset();

    ASSERT_EQ(copy.GetNumSections(), 2);
    for (unsigned s = 0; s < 2; ++s)
    {
        const CPlaylistSection* section = copy.GetSectionPtr(s);
        ASSERT_EQ(section->GetNumTracks(), 2);
        for (unsigned t = 0; t < 2; ++t)
        {
            const CPlaylistTrack* track = section->GetTrackPtr(t);
            ASSERT_EQ(track->GetNumFiles(), 2);
            const CPlaylistFile* f = track->GetFilePtr(0);
            EXPECT_STREQ(f->GetFilePath(), t == 0 ? L"/left.wav" : L"/right.wav");
            EXPECT_EQ(f->GetAbsStartSample(), s * 1000);
            EXPECT_EQ(f->GetAbsStopSample(), s * 1000 + 600);
            EXPECT_EQ(track->GetFilePtr(1)->GetMediaUniqueID(), static_cast<int>(42 + t));
        }
    }
    ASSERT_EQ(copy.GetMarkerPtr()->GetNumMarkers(), 2);
    EXPECT_EQ(copy.GetMarkerPtr()->GetMarkerTimeSecond(0), 0.25);
    EXPECT_EQ(copy.GetMarkerPtr()->GetMarkerTimeSecond(1), 3.0);

    copy.CopyAll(&copy);
    EXPECT_EQ(copy.GetNumSections(), 2);
}

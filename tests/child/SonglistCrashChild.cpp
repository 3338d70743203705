// A program the crash-safety tests start and kill at random moments.
//
//   vextal_songlist_child loop TARGET COUNT
//       writes TARGET again and again, songs named "b..." and "a..." in turn,
//       printing "begin TAG" before and "written TAG" after each write, until
//       killed.

#include "src/songlist/SonglistFile.h"
#include "src/songlist/TrackInfo.h"

#include "common/file/CPlaylistSong.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
std::vector<std::unique_ptr<Vextal::TrackInfo>> MakeSongs(int count, const std::string& tag)
{
    std::vector<std::unique_ptr<Vextal::TrackInfo>> songs;
    for (int i = 0; i < count; ++i)
    {
        auto song = std::make_unique<Vextal::TrackInfo>();
        song->setText(Vextal::TrackInfo::kSongName, juce::String(tag) + juce::String(i), false);
        song->setText(Vextal::TrackInfo::kTitle, "A title long enough to make the file realistic", false);
        const juce::String path = "/music/album " + juce::String(i / 12) + "/" + juce::String(i) + ".wav";
        song->getSong()->CreateNewSection()->CreateNewTrack()->CreateNewFile()->SetFile(
            path.toWideCharPointer(), 0, 441000, 0);
        song->addMarker(1.5, false);
        songs.push_back(std::move(song));
    }
    return songs;
}

std::vector<const Vextal::TrackInfo*> Records(const std::vector<std::unique_ptr<Vextal::TrackInfo>>& songs)
{
    std::vector<const Vextal::TrackInfo*> records;
    for (const auto& song : songs)
        records.push_back(song.get());
    return records;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const std::string mode = argv[1];
    const juce::File target(juce::String::fromUTF8(argv[2]));
    const int count = std::atoi(argv[3]);
    if (mode == "loop")
    {
        const auto songs = MakeSongs(count, "b");
        const auto records = Records(songs);
        for (int round = 0;; ++round)
        {
            const char* tag = round % 2 == 0 ? "b" : "a";
            for (int i = 0; i < count; ++i)
                songs[static_cast<size_t>(i)]->setText(Vextal::TrackInfo::kSongName,
                                                       juce::String(tag) + juce::String(i), false);
            std::printf("begin %s\n", tag);
            std::fflush(stdout);
            if (!Vextal::SonglistFile::write(records, target))
                return 1;
            std::printf("written %s\n", tag);
            std::fflush(stdout);
        }
    }
    return 2;
}

#pragma once

// Helpers for the tests of the song records and the host: small audio files
// written in the test (ramps whose samples encode their frame index, in WAV
// and AIFF, and an MP3 made from a WAV by the ffmpeg command), song records
// made from them, and a listener that records a record's notices.

#include "common/file/CAudioFileReadBase.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/VextalFileUtil.h"
#include "src/songlist/TrackInfo.h"

#include "tests/common/file/RiffTestFiles.h"
#include "tests/common/file/SongStreamTestFiles.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace songlisttest
{
using rifftest::TempFolder;
using rifftest::Wide;
using PlanarFloat = std::vector<std::vector<float>>;

// A set of song indices.
inline juce::SparseSet<int> IndexSet(std::initializer_list<int> members)
{
    juce::SparseSet<int> set;
    for (int m : members)
        set.addRange({m, m + 1});
    return set;
}

// Writes a file of the format ("wav", "aiff") whose frame i holds the ramp
// value base + i (songtest::RampSample).
inline bool WriteRampFile(const std::filesystem::path& path, const char* format, int64_t frames,
                          uint32_t rate, uint16_t channels, int64_t base, uint16_t bits = 16)
{
    std::unique_ptr<CAudioFileWriteBase> w(
        VextalFileUtil::CreateAudioFileWriteObject(Wide(path).c_str(), format, rate, bits, channels, 0));
    if (w == nullptr)
        return false;
    std::vector<std::vector<int32_t>> data(channels, std::vector<int32_t>(static_cast<size_t>(frames)));
    std::vector<int32_t*> ptrs;
    for (uint16_t c = 0; c < channels; ++c)
    {
        for (int64_t i = 0; i < frames; ++i)
            data[c][static_cast<size_t>(i)] = songtest::RampSample(base + i, c);
        ptrs.push_back(data[c].data());
    }
    if (w->WriteAudioData(ptrs.data(), static_cast<uint32_t>(frames)) != frames)
        return false;
    return w->CloseFile();
}

// Encodes a WAV file into an MP3 file with the ffmpeg command.
inline bool MakeMp3(const std::filesystem::path& wav, const std::filesystem::path& mp3)
{
    return rifftest::HaveTool("ffmpeg") &&
           rifftest::RunQuietly("ffmpeg -nostdin -hide_banner -loglevel error -y -i '" + wav.string() +
                                "' -c:a libmp3lame -b:a 192k '" + mp3.string() + "'") == 0;
}

// A record of the whole file (null when no reader opens it), named name.
inline std::unique_ptr<Vextal::TrackInfo> SongOf(const std::filesystem::path& path,
                                                 const juce::String& name = {})
{
    std::unique_ptr<CAudioFileReadBase> reader(
        VextalFileUtil::CreateAudioFileReadObject(Wide(path).c_str(), true));
    if (reader == nullptr)
        return nullptr;
    auto song = std::make_unique<Vextal::TrackInfo>(reader.get());
    song->setText(Vextal::TrackInfo::kSongName, name, false);
    return song;
}

// A record of a song model given by its parts, read once.
inline std::unique_ptr<Vextal::TrackInfo> SongOfParts(const std::vector<songtest::SectionParts>& sections)
{
    auto song = std::make_unique<Vextal::TrackInfo>();
    songtest::FillSong(song->getSong(), sections);
    song->reload(false);
    return song;
}

// Every frame of the file as the reader of its kind delivers it, as floats.
inline PlanarFloat DecodeAll(const std::filesystem::path& path)
{
    std::unique_ptr<CAudioFileReadBase> reader(
        VextalFileUtil::CreateAudioFileReadObject(Wide(path).c_str(), true));
    PlanarFloat out;
    if (reader == nullptr)
        return out;
    const uint16_t channels = reader->GetNumChannels();
    out.resize(channels);
    PlanarFloat block(channels, std::vector<float>(4096));
    std::vector<float*> ptrs;
    for (auto& c : block)
        ptrs.push_back(c.data());
    for (;;)
    {
        const uint32_t got = reader->ReadAudioData(ptrs.data(), 4096, 0);
        for (uint16_t c = 0; c < channels; ++c)
            out[c].insert(out[c].end(), block[c].begin(), block[c].begin() + got);
        if (got == 0)
            break;
    }
    return out;
}

// Records the notices of song records as text, in order.
class RecordingSongListener : public Vextal::TrackInfoListener
{
public:
    void songMarkerChanged(Vextal::TrackInfo* song, int index) override { Add(song, "marker", index); }
    void songTextChanged(Vextal::TrackInfo* song, int index) override { Add(song, "text", index); }
    void songPictureChanged(Vextal::TrackInfo* song) override { Add(song, "picture", 0); }
    void songControlChanged(Vextal::TrackInfo* song, int id) override { Add(song, "control", id); }
    void songReloaded(Vextal::TrackInfo* song) override { Add(song, "reloaded", 0); }

    struct Notice
    {
        Vextal::TrackInfo* song;
        std::string text;
        bool operator==(const Notice& o) const { return song == o.song && text == o.text; }
    };
    std::vector<Notice> notices;
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> t;
        for (const Notice& n : notices)
            t.push_back(n.text);
        return t;
    }

private:
    void Add(Vextal::TrackInfo* song, const char* kind, int value)
    {
        notices.push_back({song, std::string(kind) + " " + std::to_string(value)});
    }
};
} // namespace songlisttest

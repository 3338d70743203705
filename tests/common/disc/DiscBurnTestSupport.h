#pragma once

// Helpers for the tests of CD track staging, the burner and the disc back
// ends: songs whose every frame is unique (so a dropped, repeated or moved
// frame shows), staged track files read back, the frames a file should
// hold, and the wait for a job to end.

#include "common/disc/CAudioCDTempFileCreator.h"
#include "common/disc/CDiscBurnImp.h"
#include "common/file/CAiffFileRead.h"
#include "common/file/CAudioMetaData.h"

#include "tests/common/disc/CdTestImages.h"
#include "tests/common/file/PcmTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace disctest
{
using cdtest::Left32;
using cdtest::Right32;
using pcmtest::Planar;

constexpr int64_t kFramesPerBlock = 588;
constexpr int64_t kMinTrackFrames = 176400;

// One frame of the audio as a pair of left-justified 16-bit samples; a frame
// index of -1 stands for silence.
struct Frame
{
    int32_t left;
    int32_t right;
    bool operator==(const Frame& o) const { return left == o.left && right == o.right; }
};

inline Frame RampFrame(int64_t index)
{
    return index < 0 ? Frame{0, 0} : Frame{Left32(index), Right32(index)};
}

// Writes frames first .. first + count - 1 of the ramp into a sink in chunks
// of varying size (so the block buffer is entered at every offset); answers
// the frames the sink took.
inline int64_t WriteRamp(const std::function<uint32_t(int32_t**, uint32_t)>& write, int64_t first,
                         int64_t count)
{
    static const uint32_t kChunks[] = {1000, 37, 588, 4096, 1, 1175, 589};
    Planar buffer(2, std::vector<int32_t>(4096));
    int32_t* ptrs[2] = {buffer[0].data(), buffer[1].data()};
    int64_t done = 0;
    for (size_t k = 0; done < count; ++k)
    {
        const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(kChunks[k % 7], count - done));
        for (uint32_t i = 0; i < n; ++i)
        {
            const Frame f = RampFrame(first + done + i);
            buffer[0][i] = f.left;
            buffer[1][i] = f.right;
        }
        const uint32_t took = write(ptrs, n);
        done += took;
        if (took < n)
            break;
    }
    return done;
}

// The frames of a staged track file; empty when it doesn't open.
inline std::vector<Frame> ReadFrames(const std::filesystem::path& path)
{
    CAiffFileRead reader;
    if (reader.OpenFile(cdtest::Wide(path).c_str()) != 0)
        return {};
    EXPECT_EQ(reader.GetSampleRate(), 44100u);
    EXPECT_EQ(reader.GetNumChannels(), 2u);
    EXPECT_EQ(reader.GetBitsPerSample(), 16u);
    const Planar planar = pcmtest::ReadAll(reader);
    std::vector<Frame> frames(planar[0].size());
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = Frame{planar[0][i], planar[1][i]};
    return frames;
}

// The first frame index at which two runs of frames differ; -1 when equal.
inline int64_t FirstDifference(const std::vector<Frame>& got, const std::vector<Frame>& want)
{
    const size_t n = std::min(got.size(), want.size());
    for (size_t i = 0; i < n; ++i)
    {
        if (!(got[i] == want[i]))
            return static_cast<int64_t>(i);
    }
    return got.size() == want.size() ? -1 : static_cast<int64_t>(n);
}

// Expected content: count ramp frames from first, then silence up to size.
inline std::vector<Frame> RampThenSilence(int64_t first, int64_t count, int64_t size)
{
    std::vector<Frame> frames(static_cast<size_t>(size), Frame{0, 0});
    for (int64_t i = 0; i < count && i < size; ++i)
        frames[static_cast<size_t>(i)] = RampFrame(first + i);
    return frames;
}

// A song to stage: its ramp frames, its pre-gap in CD frames and its texts.
struct SongSpec
{
    int64_t frames;
    uint32_t preGap;
    const wchar_t* title;
    const wchar_t* performer;
};

// Stages songs of one running ramp into folder, each with its pre-gap and
// texts, and answers the staged album.
inline const AudioCDAlbumTrackList& StageAlbum(CAudioCDTempFileCreator& stager,
                                               const std::filesystem::path& folder, const std::wstring& title,
                                               const std::wstring& performer,
                                               const std::vector<SongSpec>& songs)
{
    EXPECT_TRUE(stager.OpenDisc(cdtest::Wide(folder).c_str()));
    EXPECT_TRUE(stager.OpenAlbum(title.c_str(), performer.c_str()));
    int64_t first = 0;
    for (const SongSpec& song : songs)
    {
        EXPECT_TRUE(stager.OpenNewTrack(song.preGap, 0));
        CAudioMetaData* meta = stager.GetMetaDataPtrCurrentTrack();
        meta->GetStringPtr(CAudioMetaData::kTitle)->SetString(song.title, -1, false);
        meta->GetStringPtr(CAudioMetaData::kArtist)->SetString(song.performer, -1, false);
        const auto write = [&stager](int32_t** f, uint32_t n) { return stager.WriteAudioData(f, n); };
        EXPECT_EQ(WriteRamp(write, first, song.frames), song.frames);
        first += song.frames;
    }
    EXPECT_TRUE(stager.CloseTrack(false));
    return stager.GetAlbumTrackList();
}

// Waits for the job of a burner or a back end to end, a minute at the most;
// false after the time-out.
template <typename Job>
bool WaitForEnd(Job& job)
{
    for (int i = 0; i < 12000 && job.IsProcessing(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return !job.IsProcessing();
}

// With no drive open every operation of a back end answers at once, and
// nothing starts.
inline void ExpectNoDriveAnswers(CDiscBurnImp& d, const AudioCDAlbumTrackList& album)
{
    EXPECT_EQ(d.GetCurrentDriveRootPath(), nullptr);
    EXPECT_FALSE(d.CanBurnGaplessAudioCD());
    EXPECT_FALSE(d.CanBurnCDText());
    EXPECT_FALSE(d.CanControlAudioCDPreGaps());
    EXPECT_FALSE(d.AudioCdGapSettingsMayFail());
    EXPECT_EQ(d.ReloadDisc(), 1);
    EXPECT_EQ(d.GetInsertedDiscType(), kDiscTypeNone);
    EXPECT_FALSE(d.IsErasableDisc());
    EXPECT_FALSE(d.IsBlankDisc());
    EXPECT_EQ(d.GetFreeSizeOnDisc(kDiscRecordingModeAudio), 0);
    EXPECT_EQ(d.GetUsedSizeOnDisc(kDiscRecordingModeData), 0);
    EXPECT_TRUE(d.GetAvailableWriteSpeedsKbps().empty());
    EXPECT_EQ(d.SetWriteSpeed(0), 1);
    EXPECT_EQ(d.StartBurnAudioCD(&album), 1);
    EXPECT_EQ(d.StartBurnDataDvd(nullptr), 1);
    EXPECT_EQ(d.StartEraseDisc(true), 1);
    EXPECT_EQ(d.GetCurrentBurnStatus(), kBurnStatusIdle);
    EXPECT_FALSE(d.IsProcessing());
    d.Cancel();
    d.EjectDisc();
    EXPECT_EQ(d.GetBurnProgressPercent(), 0.0f);
    EXPECT_EQ(d.GetEraseProgressPercent(), 0.0f);
    EXPECT_EQ(d.GetLastProcessErrorCode(), 1);
    EXPECT_EQ(d.GetLastProcessErrorMessage(), nullptr);
}
} // namespace disctest

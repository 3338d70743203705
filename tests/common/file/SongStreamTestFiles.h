#pragma once

// Helpers for the tests of the track, channel-group and song streams: WAV
// files whose samples encode their own frame index (a ramp), planar buffers
// with a sentinel, the expected content of a stream made of pieces of such
// files, and a source that declares more frames than it delivers.

#include "common/file/CAudioFileReadBase.h"
#include "common/file/CChannelGroupRead.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/CSongRead.h"
#include "common/file/CTrackRead.h"
#include "common/file/CWavFileRead.h"
#include "common/file/CWavFileWrite.h"
#include "library/util/CPcmUtil.h"

#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace songtest
{
using rifftest::TempFolder;
using rifftest::Wide;

// Never produced by a 16- or 24-bit sample: its low bits are set.
constexpr int32_t kSentinel = 0x12345677;

// The sample of channel c for ramp value v: v in the top 16 bits, negated on
// channel 1 so that the channels differ.
inline int32_t RampSample(int64_t v, int c)
{
    const int16_t s = static_cast<int16_t>(c == 1 ? -v : v);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(s)) << 16);
}

// Writes frames frames whose value at frame i is base + i.
inline bool WriteRampWav(const std::filesystem::path& path, int64_t frames, uint32_t rate, uint16_t channels,
                         int64_t base, std::initializer_list<double> markers = {}, uint16_t bits = 16)
{
    CWavFileWrite w;
    if (w.OpenFile(Wide(path).c_str(), rate, bits, channels, 0) != 0)
        return false;
    for (double t : markers)
        w.GetMarkerPtr()->Add(t);
    std::vector<std::vector<int32_t>> data(channels, std::vector<int32_t>(static_cast<size_t>(frames)));
    std::vector<int32_t*> ptrs;
    for (uint16_t c = 0; c < channels; ++c)
    {
        for (int64_t i = 0; i < frames; ++i)
            data[c][static_cast<size_t>(i)] = RampSample(base + i, c);
        ptrs.push_back(data[c].data());
    }
    if (w.WriteAudioData(ptrs.data(), static_cast<uint32_t>(frames)) != frames)
        return false;
    return w.CloseFile();
}

// Ramp starts of the fixture files; every value is above 0, so that no frame
// of a file reads as silence.
constexpr int64_t kA = 1;
constexpr int64_t kB = 10001;
constexpr int64_t kM = 20001;
constexpr int64_t kShort = 30001;

constexpr uint32_t kRate = 44100;

// Seconds that convert back to exactly `frames` frames at kRate (a quarter
// frame later, so that truncation cannot land one frame early).
inline double Sec(int64_t frames)
{
    return (static_cast<double>(frames) + 0.25) / kRate;
}

// The fixture files at 44100 Hz: a: 1000 stereo 16-bit frames with a marker at
// 5 ms; b: 500 stereo 24-bit frames with a marker at 2 ms; m: 500 mono 16-bit
// frames with a marker at 4 ms; r48: 100 stereo frames at 48000 Hz.
struct RampFiles
{
    RampFiles()
    {
        ok = WriteRampWav(dir / "a.wav", 1000, kRate, 2, kA, {0.005}) &&
             WriteRampWav(dir / "b.wav", 500, kRate, 2, kB, {0.002}, 24) &&
             WriteRampWav(dir / "m.wav", 500, kRate, 1, kM, {0.004}) &&
             WriteRampWav(dir / "r48.wav", 100, 48000, 2, 1);
    }
    TempFolder dir;
    bool ok = false;
    const std::wstring a = Wide(dir / "a.wav");
    const std::wstring b = Wide(dir / "b.wav");
    const std::wstring m = Wide(dir / "m.wav");
    const std::wstring r48 = Wide(dir / "r48.wav");
};

// The marker times of a window of a file as the WAV reader delivers them.
inline std::vector<double> FileMarkers(const std::wstring& path, int64_t start = 0, int64_t stop = -1)
{
    CWavFileRead r;
    std::vector<double> times;
    if (r.OpenFile(path.c_str()) != 0)
        return times;
    r.ExtractData(start, stop);
    for (int i = 0; i < r.GetMarkerPtr()->GetNumMarkers(); ++i)
        times.push_back(r.GetMarkerPtr()->GetMarkerTimeSecond(i));
    return times;
}

inline ::testing::AssertionResult SameTimes(const std::vector<double>& got, const std::vector<double>& want)
{
    if (got.size() != want.size())
        return ::testing::AssertionFailure() << got.size() << " markers, want " << want.size();
    for (size_t i = 0; i < got.size(); ++i)
    {
        if (std::fabs(got[i] - want[i]) > 1e-9)
            return ::testing::AssertionFailure()
                   << "marker " << i << " at " << got[i] << ", want " << want[i];
    }
    return ::testing::AssertionSuccess();
}

// One part of a track model.
struct Part
{
    std::wstring path;
    int64_t start = 0;
    int64_t stop = -1;
    int media = 0;
    bool operator==(const Part& o) const
    {
        return path == o.path && start == o.start && stop == o.stop && media == o.media;
    }
};

inline std::ostream& operator<<(std::ostream& os, const Part& p)
{
    return os << std::filesystem::path(p.path).filename().string() << "[" << p.start << ".." << p.stop << "]";
}

inline void FillTrack(CPlaylistTrack* track, const std::vector<Part>& parts)
{
    for (const Part& p : parts)
        track->CreateNewFile()->SetFile(p.path.c_str(), p.start, p.stop, p.media);
}

inline std::vector<Part> PartsOf(const CPlaylistTrack* track)
{
    std::vector<Part> parts;
    for (int i = 0; i < track->GetNumFiles(); ++i)
    {
        const CPlaylistFile* f = track->GetFilePtr(static_cast<unsigned>(i));
        parts.push_back(
            {f->GetFilePath(), f->GetAbsStartSample(), f->GetAbsStopSample(), f->GetMediaUniqueID()});
    }
    return parts;
}

// A section of the song model: one part list per track.
using SectionParts = std::vector<std::vector<Part>>;

inline void FillSection(CPlaylistSection* section, const SectionParts& tracks)
{
    for (const auto& parts : tracks)
        FillTrack(section->CreateNewTrack(), parts);
}

inline SectionParts PartsOf(const CPlaylistSection* section)
{
    SectionParts tracks;
    for (int i = 0; i < section->GetNumTracks(); ++i)
        tracks.push_back(PartsOf(section->GetTrackPtr(static_cast<unsigned>(i))));
    return tracks;
}

inline void FillSong(CPlaylistSong* song, const std::vector<SectionParts>& sections)
{
    for (const auto& s : sections)
        FillSection(song->CreateNewSection(), s);
}

inline std::vector<SectionParts> PartsOf(const CPlaylistSong* song)
{
    std::vector<SectionParts> sections;
    for (int i = 0; i < song->GetNumSections(); ++i)
        sections.push_back(PartsOf(song->GetSectionPtr(static_cast<unsigned>(i))));
    return sections;
}

inline std::vector<double> MarkerTimes(const CMarker* markers)
{
    std::vector<double> times;
    for (int i = 0; i < markers->GetNumMarkers(); ++i)
        times.push_back(markers->GetMarkerTimeSecond(i));
    return times;
}

// Planar buffers filled with the sentinel.
template <typename T = int32_t>
struct Planar
{
    Planar(size_t channels, size_t frames, T fill = static_cast<T>(kSentinel))
        : data(channels, std::vector<T>(frames, fill))
    {
        for (auto& d : data)
            ptrs.push_back(d.data());
    }
    T** Bufs() { return ptrs.data(); }
    std::vector<std::vector<T>> data;
    std::vector<T*> ptrs;
};

// A span of ramp values in a stream: count frames of values first, first + 1,
// ...; a mono span appears on both output channels unnegated.
struct Span
{
    int64_t first;
    int64_t count;
    bool mono = false;
};

// The ramp value at stream frame g, or -1 past the spans; mono tells whether
// its run is mono.
inline int64_t ValueAt(const std::vector<Span>& spans, int64_t g, bool* mono = nullptr)
{
    for (const Span& r : spans)
    {
        if (g < r.count)
        {
            if (mono != nullptr)
                *mono = r.mono;
            return r.first + g;
        }
        g -= r.count;
    }
    return -1;
}

// Checks that buffers hold, from index offset, got frames of the stream from
// frame start on (given as spans), then silence up to offset + n, on the first
// `channels` channels; the frames before offset must still be the sentinel.
inline ::testing::AssertionResult HoldsStream(const Planar<int32_t>& p, size_t channels, uint32_t offset,
                                              uint32_t got, uint32_t n, const std::vector<Span>& spans,
                                              int64_t start)
{
    for (size_t c = 0; c < channels; ++c)
    {
        const std::vector<int32_t>& d = p.data[c];
        for (uint32_t i = 0; i < offset; ++i)
        {
            if (d[i] != kSentinel)
                return ::testing::AssertionFailure() << "channel " << c << " index " << i << " overwritten";
        }
        for (uint32_t i = 0; i < n; ++i)
        {
            int32_t want = 0;
            if (i < got)
            {
                bool mono = false;
                const int64_t v = ValueAt(spans, start + i, &mono);
                if (v < 0)
                    return ::testing::AssertionFailure() << "frame " << start + i << " lies past the stream";
                want = RampSample(v, mono ? 0 : static_cast<int>(c));
            }
            if (d[offset + i] != want)
                return ::testing::AssertionFailure()
                       << "channel " << c << " stream frame " << start + i << ": got "
                       << (d[offset + i] >> 16) << " (0x" << std::hex << d[offset + i] << std::dec
                       << "), want " << (want >> 16);
        }
    }
    return ::testing::AssertionSuccess();
}

// The number of open file descriptors of the process.
inline size_t OpenDescriptors()
{
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
    {
        (void)e;
        ++n;
    }
    return n;
}

// A stereo source at 44100 Hz that declares `declared` frames but delivers
// only the first `delivered` (ramp values from base), then nothing more,
// without reporting a read error: a decoder that overestimated its length.
class ShortSource : public CAudioFileReadBase
{
public:
    ShortSource(int64_t declared, int64_t delivered, int64_t base)
        : m_declared(declared), m_delivered(delivered), m_base(base)
    {
    }

    int OpenFile(const wchar_t*) override { return 0; }
    void CloseFile() override {}
    const char* GetFormatUniqueID() override { return "SHORT"; }
    uint32_t GetSampleRate() override { return kRate; }
    uint16_t GetBitsPerSample() override { return 16; }
    uint16_t GetNumChannels() override { return 2; }
    int64_t GetNumSamples() override { return m_declared; }
    int64_t GetCurSamplePosition() override { return m_pos; }
    void SetCurSamplePosition(int64_t frame) override { m_pos = std::clamp<int64_t>(frame, 0, m_declared); }
    void ExtractData(int64_t, int64_t) override {}
    int64_t GetAbsStartSample() override { return 0; }

    using CAudioFileReadBase::ReadAudioData;
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override
    {
        const uint32_t got = static_cast<uint32_t>(std::clamp<int64_t>(m_delivered - m_pos, 0, n));
        for (uint16_t c = 0; c < 2; ++c)
        {
            if (bufs[c] == nullptr)
                continue;
            for (uint32_t i = 0; i < got; ++i)
                bufs[c][dstOffset + i] = RampSample(m_base + m_pos + i, c);
        }
        CPcmUtil::FillSilence(bufs, n - got, 2, dstOffset + got);
        m_pos += got;
        return got;
    }

private:
    int64_t m_declared;
    int64_t m_delivered;
    int64_t m_base;
    int64_t m_pos = 0;
};

// Streams that open "short:<declared>:<delivered>:<base>" as a ShortSource
// and every other path as usual.
class TestTrackRead : public CTrackRead
{
protected:
    std::unique_ptr<CAudioFileReadBase> CreateFileReader(const wchar_t* path) override
    {
        long long declared = 0, delivered = 0, base = 0;
        if (std::swscanf(path, L"short:%lld:%lld:%lld", &declared, &delivered, &base) == 3)
            return std::make_unique<ShortSource>(declared, delivered, base);
        return CTrackRead::CreateFileReader(path);
    }
};

class TestGroupRead : public CChannelGroupRead
{
protected:
    std::unique_ptr<CTrackRead> CreateTrackStream() override { return std::make_unique<TestTrackRead>(); }
};

class TestSongRead : public CSongRead
{
protected:
    std::unique_ptr<CChannelGroupRead> CreateSectionStream() override
    {
        return std::make_unique<TestGroupRead>();
    }
};

// Reads a whole stream from its position in blocks of `block` frames until a
// read returns 0, at most `maxReads` reads. Returns the frames read and checks
// them against spans (from frame start).
inline ::testing::AssertionResult ReadsToTheEnd(CAudioPlayerInput& s, size_t outChannels, uint32_t block,
                                                const std::vector<Span>& spans, int64_t start,
                                                int64_t expectTotal, int maxReads = 100)
{
    int64_t total = 0;
    for (int reads = 0; reads < maxReads; ++reads)
    {
        Planar<int32_t> p(outChannels, block);
        const uint32_t got = s.ReadAudioData(p.Bufs(), block, 0);
        ::testing::AssertionResult r = HoldsStream(p, outChannels, 0, got, block, spans, start + total);
        if (!r)
            return r;
        total += got;
        if (got == 0)
        {
            if (total != expectTotal)
                return ::testing::AssertionFailure() << "ended after " << total << " frames";
            if (s.GetNumSamplesLeft() != 0)
                return ::testing::AssertionFailure()
                       << "ended with " << s.GetNumSamplesLeft() << " frames left";
            return ::testing::AssertionSuccess();
        }
    }
    return ::testing::AssertionFailure() << "no end after " << maxReads << " reads (" << total << " frames)";
}
} // namespace songtest

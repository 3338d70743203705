#pragma once

// Helpers for tests of the PCM file readers and writers: sample sets, their
// bytes as a file stores them, and whole-file reads and writes.

#include "common/file/CAudioFileReadBase.h"
#include "common/file/CAudioMetaData.h"
#include "common/file/CAudioPlayerInput.h"
#include "common/file/CAudioRecorderOutput.h"
#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace pcmtest
{
using Planar = std::vector<std::vector<int32_t>>;
using PlanarFloat = std::vector<std::vector<float>>;

// Left-justified samples of the given width from a fixed pseudo-random
// sequence; for 32 bits the bit patterns of floats in -1 .. 1 on a 2^-23 grid
// (which every float path keeps exactly).
inline Planar MakeSamples(uint16_t channels, uint32_t frames, uint16_t bits, uint32_t seed)
{
    Planar out(channels, std::vector<int32_t>(frames));
    uint32_t state = seed * 2654435761u + 12345u;
    for (uint16_t c = 0; c < channels; ++c)
        for (uint32_t i = 0; i < frames; ++i)
        {
            state = state * 1664525u + 1013904223u;
            if (bits == 32)
            {
                const float v = static_cast<float>(static_cast<int32_t>(state) >> 8) / 8388608.0f;
                std::memcpy(&out[c][i], &v, 4);
            }
            else
            {
                out[c][i] = static_cast<int32_t>(state & ~((1u << (32 - bits)) - 1));
            }
        }
    return out;
}

inline std::vector<int32_t*> Pointers(Planar& p)
{
    std::vector<int32_t*> ptrs;
    for (auto& c : p)
        ptrs.push_back(c.data());
    return ptrs;
}

inline std::vector<float*> FloatPointers(PlanarFloat& p)
{
    std::vector<float*> ptrs;
    for (auto& c : p)
        ptrs.push_back(c.data());
    return ptrs;
}

// The interleaved samples at the given width, least significant byte first
// unless little is false.
inline rifftest::Bytes Interleave(const Planar& p, uint16_t bits, bool little = true)
{
    const int bytes = bits / 8;
    rifftest::Bytes out;
    for (size_t i = 0; i < p[0].size(); ++i)
        for (const auto& ch : p)
            for (int k = 0; k < bytes; ++k)
            {
                const int shift = little ? 32 - 8 * bytes + 8 * k : 24 - 8 * k;
                out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(ch[i]) >> shift));
            }
    return out;
}

// Reads the whole window through the integer entry in blocks of 1000 frames.
inline Planar ReadAll(CAudioPlayerInput& r)
{
    const uint16_t channels = r.GetNumChannels();
    Planar out(channels);
    Planar block(channels, std::vector<int32_t>(1000));
    auto ptrs = Pointers(block);
    for (;;)
    {
        const uint32_t got = r.ReadAudioData(ptrs.data(), 1000, 0);
        for (uint16_t c = 0; c < channels; ++c)
            out[c].insert(out[c].end(), block[c].begin(), block[c].begin() + got);
        if (got < 1000)
            break;
    }
    return out;
}

// Checks the window and the positions of a reader opened on 1000 frames of
// mono 16-bit samples in which frame i holds i: the window from frame 100 on,
// positions outside it, and windows of every kind.
inline void ExpectWindowsOfRamp(CAudioFileReadBase& r)
{
    r.ExtractData(100, -1);
    EXPECT_EQ(r.GetNumSamples(), 900);
    EXPECT_EQ(r.GetAbsStartSample(), 100);
    EXPECT_EQ(r.GetAbsStopSample(), 1000);
    EXPECT_EQ(r.GetCurSamplePosition(), 0);
    int32_t first[3];
    int32_t* ptr[1] = {first};
    ASSERT_EQ(r.ReadAudioData(ptr, 3, 0), 3u);
    EXPECT_EQ(first[0], 100 << 16);
    EXPECT_EQ(first[2], 102 << 16);
    EXPECT_EQ(r.GetCurSamplePosition(), 3);
    EXPECT_EQ(r.GetCurAbsSamplePosition(), 103);

    r.SetCurSamplePosition(-5);
    EXPECT_EQ(r.GetCurSamplePosition(), 0);
    r.SetCurSamplePosition(5000);
    EXPECT_EQ(r.GetCurSamplePosition(), 900);
    EXPECT_EQ(r.ReadAudioData(ptr, 3, 0), 0u);
    EXPECT_EQ(first[0], 0);

    struct Window
    {
        int64_t start, end, frames, absStart;
    };
    for (const Window& w : {Window{200, 300, 100, 200}, Window{-5, 5000, 1000, 0}, Window{2000, -1, 0, 1000},
                            Window{500, 200, 0, 500}, Window{999, 1000, 1, 999}})
    {
        SCOPED_TRACE(testing::Message() << w.start << ".." << w.end);
        r.ExtractData(w.start, w.end);
        EXPECT_EQ(r.GetNumSamples(), w.frames);
        EXPECT_EQ(r.GetAbsStartSample(), w.absStart);
        const Planar got = ReadAll(r);
        ASSERT_EQ(got[0].size(), static_cast<size_t>(w.frames));
        if (w.frames > 0)
        {
            EXPECT_EQ(got[0][0], static_cast<int32_t>(w.absStart << 16));
        }
    }
}

// Checks a reader opened on path, a file of 5000 or more stereo 16-bit frames
// from byte dataStart on: once the file is cut short after 1000 and a half
// frames, a read delivers the 1000 frames and silence behind them, and the
// error flag stays up until the next seek.
inline void ExpectShortRead(CAudioFileReadBase& r, const std::filesystem::path& path, int64_t dataStart)
{
    ASSERT_EQ(::truncate(path.c_str(), dataStart + 4 * 1000 + 2), 0);
    Planar block(2, std::vector<int32_t>(5000, 7));
    auto ptrs = Pointers(block);
    EXPECT_EQ(r.ReadAudioData(ptrs.data(), 5000, 0), 1000u);
    EXPECT_TRUE(r.AudioDataReadErrorOccured());
    EXPECT_EQ(block[1][1000], 0);
    EXPECT_EQ(block[1][4999], 0);
    r.SetCurSamplePosition(10);
    EXPECT_FALSE(r.AudioDataReadErrorOccured());
    EXPECT_EQ(r.ReadAudioData(ptrs.data(), 10, 0), 10u);
}

// Which writer entry WriteInBlocks hands the samples to.
enum class WriteEntry
{
    // The integer entry.
    kInteger,
    // The float entry with the samples' bit patterns (32-bit float files).
    kFloatBits,
    // The integer and the float entry (samples scaled by 2^-31) by turns; the
    // caller's float buffers must stay as they were.
    kAlternate
};

// Writes the samples in blocks of uneven length; false when a block was not
// taken whole.
inline bool WriteInBlocks(CAudioRecorderOutput& w, Planar samples, WriteEntry entry)
{
    const size_t channels = samples.size();
    const uint32_t frames = static_cast<uint32_t>(samples[0].size());
    uint32_t done = 0;
    bool useFloat = entry == WriteEntry::kFloatBits;
    while (done < frames)
    {
        const uint32_t n = std::min<uint32_t>(frames - done, 7777);
        uint32_t written;
        if (useFloat)
        {
            PlanarFloat floats(channels, std::vector<float>(n));
            for (size_t c = 0; c < channels; ++c)
                for (uint32_t i = 0; i < n; ++i)
                {
                    if (entry == WriteEntry::kFloatBits)
                        std::memcpy(&floats[c][i], &samples[c][done + i], 4);
                    else
                        floats[c][i] = static_cast<float>(samples[c][done + i]) / 2147483648.0f;
                }
            const PlanarFloat original = floats;
            auto src = FloatPointers(floats);
            written = w.WriteAudioData(src.data(), n);
            EXPECT_EQ(floats, original);
        }
        else
        {
            std::vector<int32_t*> src;
            for (auto& c : samples)
                src.push_back(c.data() + done);
            written = w.WriteAudioData(src.data(), n);
        }
        if (written != n)
            return false;
        done += n;
        if (entry == WriteEntry::kAlternate)
            useFloat = !useFloat;
    }
    return true;
}

// Checks that a writer leaves the file at path (which must exist) as it was
// while it writes, when it is discarded, when it is destroyed without a close
// (an early return, an exception), and when the disk fills up (the write
// comes up short, later writes take nothing and the close fails), and that it
// leaves nothing else behind. prepare, when given, is called on each writer
// once it is open.
template <class Writer>
void ExpectTargetKeptOnFailure(const rifftest::TempFolder& folder, const std::string& name,
                               const std::function<void(Writer&)>& prepare = {})
{
    const auto path = folder / name;
    const rifftest::Bytes old = rifftest::ReadBytes(path);
    Planar samples = MakeSamples(2, 50000, 16, 7);
    auto ptrs = Pointers(samples);

    const auto open = [&](Writer& w)
    {
        ASSERT_EQ(w.OpenFile(rifftest::Wide(path).c_str(), 44100, 16, 2, 0), 0);
        if (prepare)
            prepare(w);
    };
    const auto expectOldFileOnly = [&]
    {
        EXPECT_EQ(rifftest::ReadBytes(path), old);
        EXPECT_EQ(rifftest::FolderEntries(folder.Path()), std::vector<std::string>{name});
    };

    // Discarded.
    {
        Writer w;
        ASSERT_NO_FATAL_FAILURE(open(w));
        EXPECT_EQ(w.WriteAudioData(ptrs.data(), 50000), 50000u);
        EXPECT_EQ(rifftest::ReadBytes(path), old);
        w.RemoveFile();
        EXPECT_FALSE(w.IsFileOpen());
    }
    expectOldFileOnly();

    // Destroyed without a close.
    {
        Writer w;
        ASSERT_NO_FATAL_FAILURE(open(w));
        EXPECT_EQ(w.WriteAudioData(ptrs.data(), 22050), 22050u);
    }
    expectOldFileOnly();

    // A full disk.
    {
        Writer w;
        ASSERT_NO_FATAL_FAILURE(open(w));
        rifftest::FileSizeLimit full(100000);
        EXPECT_LT(w.WriteAudioData(ptrs.data(), 50000), 50000u);
        EXPECT_EQ(w.WriteAudioData(ptrs.data(), 10), 0u);
        EXPECT_FALSE(w.CloseFile());
    }
    expectOldFileOnly();
}

// A text of the song information.
struct TextField
{
    int field;
    const char* text;
};

inline void SetTexts(CAudioMetaData* meta, const std::vector<TextField>& texts)
{
    for (const TextField& t : texts)
        meta->GetStringPtr(t.field)->SetString(t.text, -1, false);
}

inline void ExpectTexts(CAudioMetaData* meta, const std::vector<TextField>& texts)
{
    for (const TextField& t : texts)
        EXPECT_STREQ(meta->GetStringPtr(t.field)->GetReadPtrChar(), t.text) << "field " << t.field;
}

// A writer whose size limit a test may lower.
template <class Writer>
class WriterWithLimit : public Writer
{
public:
    using Writer::LimitDataSize;
};
} // namespace pcmtest

#include "common/dsp/CAudioFileConverterPcmOutput.h"
#include "common/dsp/ConverterSet/CConverterSet.h"
#include "common/file/CWavFileRead.h"
#include "common/file/CWavFileWrite.h"

#include "tests/common/dsp/DspTestSupport.h"
#include "tests/common/dsp/ExportTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using ExportTest::Channels;
using ExportTest::MemorySink;
using ExportTest::MemorySource;

namespace
{

struct TempFolder
{
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vxconv.XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::wstring Wide(const char* name) const
    {
        const std::string s = (path / name).string();
        return std::wstring(s.begin(), s.end());
    }
    std::filesystem::path path;
};

// The output frames a song of n frames gives through a converter with
// pre-roll and tail, or as the first n frames of a gapless chain: ceil(n L /
// M), the first standing for the song's first frame.
int64_t ExpectedFrames(int64_t n, uint32_t inRate, uint32_t outRate)
{
    auto converter = CreateConverterForRates(inRate, outRate, 1, false);
    const int64_t up = converter->GetOversamplingRate();
    const int64_t down = converter->GetDecimationRate();
    return (n * up + down - 1) / down;
}

// Renders a song and returns the result of Process.
int Render(CAudioFileConverterPcmOutput& converter, MemorySource& source, MemorySink& sink,
           bool connectsToNext = false)
{
    if (!converter.SetAudioFiles(&source, &sink, connectsToNext))
        return -1;
    return converter.Process();
}

Channels Slice(const Channels& all, size_t from, size_t to)
{
    Channels out;
    for (const auto& c : all)
        out.emplace_back(c.begin() + static_cast<long>(from), c.begin() + static_cast<long>(to));
    return out;
}
} // namespace

TEST(CAudioFileConverter, SizesIndicesAndConverterChoice)
{
    EXPECT_EQ(CAudioFileConverterBase::GetExportDataSize(2646000, 44100, 44100, 16, 2, 0), 10586048);
    // A bit rate replaces rate x bits x channels.
    EXPECT_EQ(CAudioFileConverterBase::GetExportDataSize(44100 * 8, 44100, 48000, 16, 2, 128000),
              128000 + 2048);

    const int expected[4][4] = {{0, 1, 2, 3}, {6, 7, 8, 9}, {10, 11, 12, 13}, {14, 15, 16, 17}};
    for (int i = 0; i < 4; ++i)
        for (int o = 0; o < 4; ++o)
            EXPECT_EQ(CAudioFileConverterPcmOutput::GetConvertModeIndex(kExportRates[i], kExportRates[o]),
                      expected[i][o]);
    EXPECT_EQ(CAudioFileConverterPcmOutput::GetConvertModeIndex(32000, 48000), -1);
    EXPECT_EQ(CAudioFileConverterPcmOutput::GetConvertModeIndex(44100, 22050), -1);

    CAudioFileConverterPcmOutput converter(2);
    MemorySource song44(44100, 16, ExportTest::Noise(2, 100, 1));
    MemorySource song96(96000, 16, ExportTest::Noise(2, 100, 1));
    MemorySink sink48(48000, 2);
    ASSERT_TRUE(converter.SetAudioFiles(&song44, &sink48, false));
    EXPECT_NE(dynamic_cast<CConverter44_1kHz_To_48kHz*>(converter.GetConverter()), nullptr);
    ASSERT_TRUE(converter.SetAudioFiles(&song96, &sink48, false));
    EXPECT_NE(dynamic_cast<CConverter88_2kHz_To_44_1kHz*>(converter.GetConverter()), nullptr);
    EXPECT_EQ(converter.GetConvertModeIndexInUse(), 15);
}

// Equal rates and untouched controls: the samples reach a real WAV file bit
// for bit, up to the last frame of a partial last block, whatever the dither
// (the source is no wider than the sink), and a mono song fills both channels.
TEST(CAudioFileConverter, DirectModeCopiesBitExactToTheLastPartialBlock)
{
    struct Case
    {
        uint16_t bits;
        int dither;
        uint16_t sourceChannels;
    };
    const Case cases[] = {{16, kOutputProcessNone, 2},
                          {16, kOutputProcessTpdfDither, 2},
                          {16, kOutputProcessNoiseShapedDither, 2},
                          {24, kOutputProcessNone, 2},
                          {24, kOutputProcessTpdfDither, 2},
                          {24, kOutputProcessNoiseShapedDither, 2},
                          {24, kOutputProcessTpdfDither, 1}};
    const size_t frames = 3 * 4096 + 123;
    TempFolder folder;
    for (const Case& c : cases)
    {
        SCOPED_TRACE("bits " + std::to_string(c.bits) + " dither " + std::to_string(c.dither) + " channels " +
                     std::to_string(c.sourceChannels));
        const Channels samples = ExportTest::Noise(c.sourceChannels, frames, 7, 0.9f);
        MemorySource original(44100, c.bits, samples);
        {
            CWavFileWrite w;
            ASSERT_EQ(w.OpenFile(folder.Wide("in.wav").c_str(), 44100, c.bits, c.sourceChannels, 0), 0);
            std::vector<int32_t*> p;
            for (uint16_t ch = 0; ch < c.sourceChannels; ++ch)
                p.push_back(const_cast<int32_t*>(original.Ints(ch).data()));
            ASSERT_EQ(w.WriteAudioData(p.data(), frames), frames);
            ASSERT_TRUE(w.CloseFile());
        }
        CWavFileRead in;
        ASSERT_EQ(in.OpenFile(folder.Wide("in.wav").c_str()), 0);
        CWavFileWrite out;
        ASSERT_EQ(out.OpenFile(folder.Wide("out.wav").c_str(), 44100, c.bits, 2, 0), 0);

        CAudioFileConverterPcmOutput converter(2);
        converter.SetOutputProcessType(c.dither);
        ASSERT_TRUE(converter.SetAudioFiles(&in, &out, false));
        EXPECT_TRUE(converter.IsDirectProcessMode());
        EXPECT_EQ(converter.Process(), kConvertDone);
        ASSERT_TRUE(out.CloseFile());

        CWavFileRead back;
        ASSERT_EQ(back.OpenFile(folder.Wide("out.wav").c_str()), 0);
        ASSERT_EQ(back.GetNumSamples(), static_cast<int64_t>(frames));
        std::vector<int32_t> left(frames), right(frames);
        int32_t* bufs[2] = {left.data(), right.data()};
        ASSERT_EQ(back.ReadAudioData(bufs, frames, 0), frames);
        EXPECT_EQ(left, original.Ints(0));
        EXPECT_EQ(right, original.Ints(c.sourceChannels - 1));
    }
}

// With fades, direct mode processes only the fades: the frames between them
// are the source's, the first is silenced and the fade-out ends in silence.
TEST(CAudioFileConverter, DirectModeProcessesOnlyTheFades)
{
    const size_t frames = 5 * 44100 + 77;
    const Channels samples = ExportTest::Noise(2, frames, 3, 0.8f);
    MemorySource source(44100, 24, samples);
    MemorySink sink(44100, 2, 24, false);
    CAudioFileConverterPcmOutput converter(2);
    converter.SetOutputProcessType(kOutputProcessTpdfDither);
    converter.GetDynamicControlParamsPtr()->SetFadeParams(1, 1.0f, 1, 1.5f);
    ASSERT_EQ(Render(converter, source, sink), kConvertDone);
    EXPECT_TRUE(converter.IsDirectProcessMode());
    ASSERT_EQ(sink.Frames(), static_cast<int64_t>(frames));
    const size_t fadeInEnd = 44100;
    const size_t fadeOutStart = frames - 66150;
    for (int c = 0; c < 2; ++c)
    {
        const std::vector<int32_t> middle(source.Ints(c).begin() + fadeInEnd,
                                          source.Ints(c).begin() + fadeOutStart);
        const auto mismatch = std::mismatch(middle.begin(), middle.end(), sink.Ints(c).begin() + fadeInEnd);
        EXPECT_EQ(mismatch.first - middle.begin(), middle.end() - middle.begin());
        // Dither of one step at most on silence.
        EXPECT_LE(std::abs(sink.Ints(c)[0]), 1 << 8);
        EXPECT_LE(std::abs(sink.Ints(c).back()), 1 << 8);
        EXPECT_NE(sink.Ints(c)[fadeInEnd / 2], source.Ints(c)[fadeInEnd / 2]);
    }
}

// Every pair of rates: a song of N frames gives N x L / M frames within one,
// and an impulse in the middle comes out where its time says.
TEST(CAudioFileConverter, EveryRatePairKeepsLengthAndAlignment)
{
    const size_t frames = 24000;
    const size_t impulseAt = 12007;
    for (uint32_t inRate : kExportRates)
        for (uint32_t outRate : kExportRates)
        {
            SCOPED_TRACE(std::to_string(inRate) + " to " + std::to_string(outRate));
            Channels samples(1, std::vector<float>(frames, 0.0f));
            samples[0][impulseAt] = 0.5f;
            MemorySource source(inRate, 32, samples);
            MemorySink sink(outRate, 1);
            CAudioFileConverterPcmOutput converter(1);
            ASSERT_EQ(Render(converter, source, sink), kConvertDone);
            const double exact = static_cast<double>(frames) * outRate / inRate;
            EXPECT_NEAR(static_cast<double>(sink.Frames()), exact, 1.0);
            const std::vector<float>& y = sink.Floats(0);
            const size_t peak = static_cast<size_t>(
                std::max_element(y.begin(), y.end(),
                                 [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
                y.begin());
            EXPECT_NEAR(static_cast<double>(peak), static_cast<double>(impulseAt) * outRate / inRate, 1.0);
            EXPECT_GT(std::fabs(y[peak]), 0.1f);
        }
}

// The first output frame stands for the song's first frame, to a tiny
// fraction of a frame, for every pair of rates: a tone comes out with the
// phase it went in with (the pre-roll drops whole output frames only where
// they fall before the song).
TEST(CAudioFileConverter, EveryRatePairStartsOnTheSongsFirstFrame)
{
    const double frequency = 1000.0;
    for (uint32_t inRate : kExportRates)
        for (uint32_t outRate : kExportRates)
        {
            SCOPED_TRACE(std::to_string(inRate) + " to " + std::to_string(outRate));
            const Channels samples{ExportTest::Sine(inRate / 2, frequency, inRate, 0.5)};
            MemorySource source(inRate, 32, samples);
            MemorySink sink(outRate, 1);
            CAudioFileConverterPcmOutput converter(1);
            converter.GetDynamicControlParamsPtr()->SetGaindB(-1.0f); // not a copy
            ASSERT_EQ(Render(converter, source, sink), kConvertDone);
            const DspTest::SineFit fit =
                DspTest::FitSine(sink.Floats(0), outRate / 10, outRate / 4, frequency / outRate);
            const double offsetMicroseconds = fit.phase / (2.0 * ExportTest::kPi * frequency) * 1e6;
            EXPECT_NEAR(offsetMicroseconds, 0.0, 0.01);
            EXPECT_EQ(sink.Frames(), ExpectedFrames(inRate / 2, inRate, outRate));
        }
}

// Sources that deliver 1 to 3 frames per read give the same output as full
// reads, also where one frame in gives no frame out.
TEST(CAudioFileConverter, ShortReadsKeepTheFullOutput)
{
    const std::pair<uint32_t, uint32_t> pairs[] = {
        {44100, 48000}, {48000, 44100}, {96000, 44100}, {88200, 44100}};
    for (const auto& [inRate, outRate] : pairs)
    {
        SCOPED_TRACE(std::to_string(inRate) + " to " + std::to_string(outRate));
        const Channels samples = ExportTest::Noise(2, 3001, 11);
        MemorySource whole(inRate, 24, samples);
        MemorySource trickle(inRate, 24, samples);
        trickle.SetShortReads(3);
        MemorySink a(outRate, 2), b(outRate, 2);
        CAudioFileConverterPcmOutput first(2), second(2);
        first.GetDynamicControlParamsPtr()->SetDcCutMode(1);
        second.GetDynamicControlParamsPtr()->SetDcCutMode(1);
        ASSERT_EQ(Render(first, whole, a), kConvertDone);
        ASSERT_EQ(Render(second, trickle, b), kConvertDone);
        EXPECT_EQ(b.Frames(), ExpectedFrames(3001, inRate, outRate));
        EXPECT_EQ(a.Floats(0), b.Floats(0));
        EXPECT_EQ(a.Floats(1), b.Floats(1));
    }
}

// Two songs joined without a gap give, together, what one render of both
// gives; each song's frames land in its own sink, with its own controls.
TEST(CAudioFileConverter, GaplessSongsEqualOneRenderOfThePair)
{
    struct Case
    {
        const char* name;
        float gainA;
        float gainB;
        int dcCut;
        int dither;
        bool integerSink;
    };
    const Case cases[] = {
        {"plain", 0.0f, 0.0f, 0, kOutputProcessNone, false},
        {"DC cut runs on", 0.0f, 0.0f, 1, kOutputProcessNone, false},
        {"own gains", -6.0f, 2.5f, 1, kOutputProcessNone, false},
        {"noise-shaped dither runs on", 0.0f, 0.0f, 1, kOutputProcessNoiseShapedDither, true},
    };
    const size_t framesA = 20011, framesB = 15013;
    const Channels all = ExportTest::Noise(2, framesA + framesB, 5, 0.4f);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto sinkFor = [&]() { return MemorySink(48000, 2, c.integerSink ? 24 : 32, !c.integerSink); };
        const auto renderPair = [&](float gain, MemorySink& sink)
        {
            CAudioFileConverterPcmOutput converter(2);
            converter.SetOutputProcessType(c.dither);
            converter.GetDynamicControlParamsPtr()->SetGaindB(gain);
            converter.GetDynamicControlParamsPtr()->SetDcCutMode(c.dcCut);
            MemorySource pair(44100, 24, all);
            return Render(converter, pair, sink);
        };
        MemorySink refA = sinkFor(), refB = sinkFor();
        ASSERT_EQ(renderPair(c.gainA, refA), kConvertDone);
        ASSERT_EQ(renderPair(c.gainB, refB), kConvertDone);

        CAudioFileConverterPcmOutput converter(2);
        converter.SetOutputProcessType(c.dither);
        MemorySource songA(44100, 24, Slice(all, 0, framesA));
        MemorySource songB(44100, 24, Slice(all, framesA, framesA + framesB));
        MemorySink sinkA = sinkFor(), sinkB = sinkFor();
        CDynamicControlParams* controls = converter.GetDynamicControlParamsPtr();
        controls->SetGaindB(c.gainA);
        controls->SetDcCutMode(c.dcCut);
        ASSERT_EQ(Render(converter, songA, sinkA, true), kConvertDone);
        controls->SetGaindB(c.gainB);
        ASSERT_TRUE(converter.SetAudioFiles(&songB, &sinkB, false));
        EXPECT_TRUE(converter.IsConnectedFromPrevious());
        ASSERT_EQ(converter.Process(), kConvertDone);

        const int64_t lengthA = ExpectedFrames(framesA, 44100, 48000);
        ASSERT_EQ(sinkA.Frames(), lengthA);
        ASSERT_EQ(sinkA.Frames() + sinkB.Frames(), refA.Frames());
        for (int ch = 0; ch < 2; ++ch)
        {
            if (c.integerSink)
            {
                EXPECT_TRUE(std::equal(sinkA.Ints(ch).begin(), sinkA.Ints(ch).end(), refA.Ints(ch).begin()));
                EXPECT_TRUE(std::equal(sinkB.Ints(ch).begin(), sinkB.Ints(ch).end(),
                                       refB.Ints(ch).begin() + lengthA));
            }
            else
            {
                EXPECT_TRUE(
                    std::equal(sinkA.Floats(ch).begin(), sinkA.Floats(ch).end(), refA.Floats(ch).begin()));
                EXPECT_TRUE(std::equal(sinkB.Floats(ch).begin(), sinkB.Floats(ch).end(),
                                       refB.Floats(ch).begin() + lengthA));
            }
        }
    }
}

// A song shorter than the converter's delay in the middle of a chain: every
// song's file holds its own frames and only those, with its own controls, as
// many as it would have as the start of a chain; together they are one render
// of the three songs.
TEST(CAudioFileConverter, ShortSongInAChainKeepsOnlyItsOwnFrames)
{
    const std::pair<uint32_t, uint32_t> pairs[] = {{44100, 48000}, {48000, 44100}, {96000, 44100}};
    const size_t framesA = 5003, framesB = 37, framesC = 4001;
    const float gains[3] = {-3.0f, 4.0f, -1.0f};
    const Channels all = ExportTest::Noise(2, framesA + framesB + framesC, 21, 0.4f);
    for (const auto& [inRate, outRate] : pairs)
    {
        SCOPED_TRACE(std::to_string(inRate) + " to " + std::to_string(outRate));
        // One render of the three songs with each song's gain.
        std::vector<std::unique_ptr<MemorySink>> references;
        for (float gain : gains)
        {
            references.push_back(std::make_unique<MemorySink>(outRate, 2));
            CAudioFileConverterPcmOutput converter(2);
            converter.GetDynamicControlParamsPtr()->SetGaindB(gain);
            MemorySource whole(inRate, 32, all);
            ASSERT_EQ(Render(converter, whole, *references.back()), kConvertDone);
        }

        const size_t bounds[4] = {0, framesA, framesA + framesB, framesA + framesB + framesC};
        std::vector<std::unique_ptr<MemorySource>> songs;
        std::vector<std::unique_ptr<MemorySink>> sinks;
        for (int s = 0; s < 3; ++s)
        {
            songs.push_back(std::make_unique<MemorySource>(inRate, 32, Slice(all, bounds[s], bounds[s + 1])));
            sinks.push_back(std::make_unique<MemorySink>(outRate, 2));
        }
        CAudioFileConverterPcmOutput converter(2);
        for (int s = 0; s < 3; ++s)
        {
            converter.GetDynamicControlParamsPtr()->SetGaindB(gains[s]);
            ASSERT_EQ(Render(converter, *songs[s], *sinks[s], s < 2), kConvertDone);
        }
        int64_t first = 0;
        for (int s = 0; s < 3; ++s)
        {
            SCOPED_TRACE("song " + std::to_string(s));
            const int64_t end = ExpectedFrames(static_cast<int64_t>(bounds[s + 1]), inRate, outRate);
            ASSERT_EQ(sinks[s]->Frames(), end - first);
            for (int ch = 0; ch < 2; ++ch)
                EXPECT_TRUE(std::equal(sinks[s]->Floats(ch).begin(), sinks[s]->Floats(ch).end(),
                                       references[s]->Floats(ch).begin() + first));
            first = end;
        }
    }
}

// A song that connects to the next but gets none (the chain breaks, or the
// export ends) still receives its tail: the same frames as a render alone.
TEST(CAudioFileConverter, BrokenChainFinishesThePreviousSong)
{
    const Channels samples = ExportTest::Noise(2, 9000, 9);
    MemorySource song(44100, 16, samples);
    MemorySink alone(48000, 2);
    {
        CAudioFileConverterPcmOutput converter(2);
        ASSERT_EQ(Render(converter, song, alone), kConvertDone);
    }
    for (int ending = 0; ending < 2; ++ending)
    {
        SCOPED_TRACE(ending == 0 ? "next song at another rate" : "ejected");
        CAudioFileConverterPcmOutput converter(2);
        MemorySink sink(48000, 2);
        ASSERT_EQ(Render(converter, song, sink, true), kConvertDone);
        EXPECT_LT(sink.Frames(), alone.Frames());
        if (ending == 0)
        {
            MemorySource other(96000, 16, samples);
            MemorySink otherSink(48000, 2);
            ASSERT_TRUE(converter.SetAudioFiles(&other, &otherSink, false));
            EXPECT_FALSE(converter.IsConnectedFromPrevious());
            EXPECT_EQ(converter.Process(), kConvertDone);
        }
        else
        {
            EXPECT_EQ(converter.EjectAudioFiles(), kConvertDone);
        }
        EXPECT_EQ(sink.Floats(0), alone.Floats(0));
        EXPECT_EQ(sink.Floats(1), alone.Floats(1));
    }
}

// The sink of a song that connects to the next one is owed its last frames
// until the next song has fed enough input. A read failure of the next song
// while they come out is that song's own; the previous song then gets its
// tail when the chain ends, the same frames as a render alone.
TEST(CAudioFileConverter, OwedSinksLiveUntilPaid)
{
    const Channels samples = ExportTest::Noise(2, 9000, 9);
    MemorySource song(44100, 16, samples);
    MemorySink alone(48000, 2);
    {
        CAudioFileConverterPcmOutput converter(2);
        ASSERT_EQ(Render(converter, song, alone), kConvertDone);
    }
    for (bool nextFails : {false, true})
    {
        SCOPED_TRACE(nextFails ? "next song fails at once" : "next song pays");
        CAudioFileConverterPcmOutput converter(2);
        MemorySink sink(48000, 2), nextSink(48000, 2);
        ASSERT_EQ(Render(converter, song, sink, true), kConvertDone);
        EXPECT_TRUE(converter.OwesFramesTo(&sink));
        EXPECT_FALSE(converter.OwesFramesTo(&nextSink));

        MemorySource next(44100, 16, ExportTest::Noise(2, 9000, 10));
        if (nextFails)
            next.StopAt(0);
        ASSERT_TRUE(converter.SetAudioFiles(&next, &nextSink, false));
        EXPECT_EQ(converter.Process(), nextFails ? kConvertReadFailed : kConvertDone);
        EXPECT_EQ(converter.OwesFramesTo(&sink), nextFails);
        EXPECT_EQ(converter.EjectAudioFiles(), kConvertDone);
        EXPECT_FALSE(converter.OwesFramesTo(&sink));
        if (nextFails)
        {
            EXPECT_EQ(sink.Floats(0), alone.Floats(0));
            EXPECT_EQ(nextSink.Frames(), 0);
        }
        else
        {
            EXPECT_EQ(sink.Frames(), ExpectedFrames(9000, 44100, 48000));
        }
    }
}

TEST(CAudioFileConverter, CancelBeforeTheRunStays)
{
    MemorySource song(44100, 16, ExportTest::Noise(2, 5000, 2));
    MemorySink sink(48000, 2);
    CAudioFileConverterPcmOutput converter(2);
    converter.Cancel();
    ASSERT_TRUE(converter.SetAudioFiles(&song, &sink, true));
    EXPECT_FALSE(converter.ConnectsToNext());
    EXPECT_EQ(converter.Process(), kConvertCancelled);
    EXPECT_EQ(sink.Frames(), 0);
    converter.ClearCancel();
    EXPECT_EQ(converter.Process(), kConvertDone);
    EXPECT_EQ(sink.Frames(), ExpectedFrames(5000, 44100, 48000));
}

TEST(CAudioFileConverter, CancelWhilePausedWritesNothingMore)
{
    MemorySource song(44100, 16, ExportTest::Noise(2, 200000, 4));
    MemorySink sink(48000, 2);
    std::atomic<int64_t> written{0};
    std::atomic<int> reads{0};
    sink.onWrite = [&](int64_t frames) { written.store(frames); };
    song.onRead = [&](int64_t) { reads.fetch_add(1); };
    CAudioFileConverterPcmOutput converter(2);
    ASSERT_TRUE(converter.SetAudioFiles(&song, &sink, false));
    converter.Pause();
    std::atomic<int> result{-1};
    std::thread worker([&] { result.store(converter.Process()); });
    // The run takes one block and then waits.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reads.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(reads.load(), 1);
    const int64_t before = written.load();
    EXPECT_TRUE(converter.IsPaused());
    converter.Cancel();
    EXPECT_FALSE(converter.IsPaused());
    worker.join();
    EXPECT_EQ(result.load(), kConvertCancelled);
    EXPECT_EQ(written.load(), before);
}

TEST(CAudioFileConverter, CancelMidSongStopsAtTheBlock)
{
    for (bool direct : {false, true})
    {
        SCOPED_TRACE(direct ? "direct" : "converted");
        MemorySource song(44100, 16, ExportTest::Noise(2, 100000, 4));
        MemorySink sink(direct ? 44100 : 48000, 2);
        CAudioFileConverterPcmOutput converter(2);
        int64_t atCancel = -1;
        sink.onWrite = [&](int64_t frames)
        {
            if (frames >= 20000 && atCancel < 0)
            {
                converter.Cancel();
                atCancel = frames;
            }
        };
        ASSERT_EQ(Render(converter, song, sink, true), kConvertCancelled);
        EXPECT_EQ(converter.IsDirectProcessMode(), direct);
        EXPECT_EQ(sink.Frames(), atCancel);
        // The cancelled song connects to nothing.
        EXPECT_EQ(converter.EjectAudioFiles(), kConvertDone);
        EXPECT_EQ(sink.Frames(), atCancel);
    }
}

// Failures are reported, never a short output counted as done.
TEST(CAudioFileConverter, FailuresAreReported)
{
    {
        MemorySource song(32000, 16, ExportTest::Noise(2, 1000, 1));
        MemorySink sink(48000, 2);
        CAudioFileConverterPcmOutput converter(2);
        EXPECT_FALSE(converter.SetAudioFiles(&song, &sink, false));
        EXPECT_EQ(converter.Process(), kConvertNotReady);
        EXPECT_EQ(sink.Frames(), 0);
    }
    for (uint32_t outRate : {44100u, 48000u})
    {
        SCOPED_TRACE(outRate);
        MemorySource song(44100, 16, ExportTest::Noise(2, 30000, 1));
        song.StopAt(12345);
        MemorySink sink(outRate, 2);
        CAudioFileConverterPcmOutput converter(2);
        EXPECT_EQ(Render(converter, song, sink), kConvertReadFailed);

        MemorySource whole(44100, 16, ExportTest::Noise(2, 30000, 1));
        MemorySink full(outRate, 2);
        full.FailAfter(10000);
        EXPECT_EQ(Render(converter, whole, full), kConvertWriteFailed);
        EXPECT_EQ(full.Frames(), 10000);
        EXPECT_EQ(full.callsAfterFailure, 0);
    }
    {
        // A stereo song into a mono sink would lose a channel.
        MemorySource song(44100, 16, ExportTest::Noise(2, 1000, 1));
        MemorySink mono(44100, 1);
        CAudioFileConverterPcmOutput converter(2);
        EXPECT_FALSE(converter.SetAudioFiles(&song, &mono, false));
    }
}

TEST(CAudioFileConverter, MarkersAreCompleteWhenTheSinkIsTold)
{
    MemorySource song(44100, 16, ExportTest::Noise(2, 44100, 1));
    song.GetMarkerPtr()->Add(0.25);
    song.GetMarkerPtr()->Add(0.5);
    MemorySink sink(48000, 2);
    CAudioFileConverterPcmOutput converter(2);
    ASSERT_EQ(Render(converter, song, sink), kConvertDone);
    EXPECT_EQ(sink.markersWhenFixed, 2);
}

TEST(CAudioFileConverter, LevelsForTheProgressDisplay)
{
    CAudioFileConverterPcmOutput converter(2);
    float levels[2];
    int clip = -1;
    converter.GetPeakLeveldB(levels, &clip);
    EXPECT_EQ(levels[0], -200.0f);
    EXPECT_EQ(levels[1], -200.0f);
    EXPECT_EQ(clip, 0);

    // A mono song above full scale into an integer sink: both channels show
    // the song's level, and the clip state is set.
    MemorySource loud(44100, 32, Channels{ExportTest::Sine(44100, 440.0, 44100, 1.3)});
    MemorySink sink(48000, 2, 24, false);
    ASSERT_EQ(Render(converter, loud, sink), kConvertDone);
    converter.GetPeakLeveldB(levels, &clip);
    EXPECT_GT(levels[0], 0.0f);
    EXPECT_EQ(levels[1], levels[0]);
    EXPECT_EQ(clip, 2);
    EXPECT_EQ(sink.Ints(0), sink.Ints(1));

    MemorySource song(44100, 16, ExportTest::Noise(2, 1000, 1));
    MemorySink same(44100, 2);
    ASSERT_EQ(Render(converter, song, same), kConvertDone);
    ASSERT_TRUE(converter.IsDirectProcessMode());
    converter.GetPeakLeveldB(levels, &clip);
    EXPECT_EQ(levels[0], 0.0f);
    EXPECT_EQ(clip, 0);
}

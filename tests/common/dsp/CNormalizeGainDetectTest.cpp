#include "common/dsp/CNormalizeGainDetect.h"

#include "tests/common/dsp/ExportTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using ExportTest::Channels;
using ExportTest::MemorySink;
using ExportTest::MemorySource;

namespace
{
struct Controls
{
    float gaindB = 0.0f;
    float pan = 0.0f;
    int dcCut = 0;
    int fadeIn = 0;
};

void Apply(CDynamicControlParams* params, const Controls& c)
{
    params->SetGaindB(c.gaindB);
    params->SetPan(c.pan);
    params->SetDcCutMode(c.dcCut);
    params->SetFadeParams(c.fadeIn, 0.5f, 0, 0.0f);
}

// The largest absolute frame the export itself writes (before dither).
float ExportPeak(MemorySource& source, uint32_t outRate, const Controls& controls)
{
    MemorySink sink(outRate, source.GetNumChannels());
    CAudioFileConverterPcmOutput converter(source.GetNumChannels());
    Apply(converter.GetDynamicControlParamsPtr(), controls);
    EXPECT_TRUE(converter.SetAudioFiles(&source, &sink, false));
    EXPECT_EQ(converter.Process(), kConvertDone);
    source.SetCurSamplePosition(0);
    float peak = 0.0f;
    for (int c = 0; c < source.GetNumChannels(); ++c)
        peak = std::max(peak, ExportTest::AbsMax(sink.Floats(c)));
    return peak;
}

// The peak the quick filter's pass finds when it simply takes the export
// converter's place, and the frame where it lies.
std::pair<float, size_t> QuickPassPeak(MemorySource& source, uint32_t outRate)
{
    MemorySink sink(outRate, source.GetNumChannels());
    CAudioFileConverterPcmOutput converter(source.GetNumChannels());
    EXPECT_TRUE(converter.SetAudioFiles(&source, &sink, false));
    converter.ReplaceConverter(CNormalizeGainDetectPcmFsConversion::CreateConvertPeakDetector(
        source.GetSampleRate(), outRate, source.GetNumChannels()));
    EXPECT_EQ(converter.Process(), kConvertDone);
    source.SetCurSamplePosition(0);
    const std::vector<float>& y = sink.Floats(0);
    const auto it =
        std::max_element(y.begin(), y.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
    return {std::fabs(*it), static_cast<size_t>(it - y.begin())};
}

size_t PeakFrame(MemorySource& source, uint32_t outRate)
{
    MemorySink sink(outRate, 1);
    CAudioFileConverterPcmOutput converter(1);
    EXPECT_TRUE(converter.SetAudioFiles(&source, &sink, false));
    EXPECT_EQ(converter.Process(), kConvertDone);
    source.SetCurSamplePosition(0);
    const std::vector<float>& y = sink.Floats(0);
    return static_cast<size_t>(
        std::max_element(y.begin(), y.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
        y.begin());
}

// Puts samples into a song at a frame, with smooth raised-cosine edges of
// 2000 frames so that no filter rings at their ends.
void Place(std::vector<float>& song, size_t at, std::vector<float> part)
{
    const size_t edge = 2000;
    for (size_t i = 0; i < edge && i < part.size(); ++i)
    {
        const float g = static_cast<float>(0.5 - 0.5 * std::cos(ExportTest::kPi * i / edge));
        part[i] *= g;
        part[part.size() - 1 - i] *= g;
    }
    std::copy(part.begin(), part.end(), song.begin() + static_cast<long>(at));
}
} // namespace

TEST(CNormalizeGainDetect, GainFromThePeakAtTheSameRate)
{
    EXPECT_NEAR(CNormalizeGainDetectProcessBase::AbsPeakValueToNormalizeGaindB(0.5f), 5.7706, 1e-4);
    EXPECT_EQ(CNormalizeGainDetectProcessBase::AbsPeakValueToNormalizeGaindB(0.0f), 0.0f);
    struct Case
    {
        float peak;
        double gain;
    };
    // 0.99 lies between the target and full scale: left as it is.
    const Case cases[] = {{0.5f, 5.7706}, {0.0f, 0.0}, {0.99f, 0.0}, {1.2f, -1.8336}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.peak);
        std::vector<float> song = ExportTest::Sine(44100, 441.0, 44100, c.peak * 0.5);
        song[30000] = -c.peak;
        MemorySource source(44100, 32, Channels{song, song});
        CNormalizeGainDetect detect;
        ASSERT_TRUE(detect.SetInputFile(&source, 44100));
        EXPECT_NE(dynamic_cast<CNormalizeGainDetectPcm*>(detect.GetDetector()), nullptr);
        EXPECT_NEAR(detect.StartDetection(), c.gain, 1e-4);
        EXPECT_EQ(detect.GetDetectionResult(), kNormalizeDetectMeasured);
        EXPECT_FLOAT_EQ(detect.GetDetectedPeak(), c.peak);
        EXPECT_EQ(source.GetCurSamplePosition(), 0);
    }
}

// Across a rate conversion the measured peak is exactly the largest frame the
// export writes: also when it lies between the song's samples, when the quick
// filter ranks two loud passages the wrong way round, and with the song's
// controls.
TEST(CNormalizeGainDetect, MeasuresTheExportsOwnPeak)
{
    struct Case
    {
        const char* name;
        uint32_t inRate;
        uint32_t outRate;
        Controls controls;
        std::function<Channels()> song;
        float atLeast;
    };
    const auto betweenSamples = []
    {
        // A quarter of the rate at 45 degrees: every sample at 0.707 of the crest.
        std::vector<float> song(44100 * 4, 0.0f);
        Place(song, 60000, ExportTest::Sine(20000, 11025.0, 44100, 0.6, ExportTest::kPi / 4));
        return Channels{song};
    };
    const auto twoPassages = []
    {
        std::vector<float> song(44100 * 4, 0.0f);
        // The quick filter passes a 19 kHz tone some 10 % too loud.
        Place(song, 20000, ExportTest::Sine(22050, 997.0, 44100, 0.9));
        Place(song, 120000, ExportTest::Sine(22050, 19000.0, 44100, 0.85));
        return Channels{song};
    };
    const auto noise = [](uint32_t rate)
    {
        return [rate]
        {
            Channels song = ExportTest::Noise(2, rate * 3, 21, 0.3f);
            song[1][rate] = 0.97f;
            return song;
        };
    };
    const Case cases[] = {
        {"peak between samples", 44100, 48000, {}, betweenSamples, 0.58f},
        {"quick filter misjudges", 44100, 48000, {}, twoPassages, 0.89f},
        {"gain, balance and fade", 44100, 96000, {-3.0f, 0.4f, 0, 1}, noise(44100), 0.5f},
        {"96 kHz to 44.1 kHz", 96000, 44100, {}, noise(96000), 0.4f},
        {"DC cut", 48000, 44100, {0.0f, 0.0f, 1, 0}, noise(48000), 0.5f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MemorySource source(c.inRate, 32, c.song());
        const float expected = ExportPeak(source, c.outRate, c.controls);
        ASSERT_GE(expected, c.atLeast);

        CNormalizeGainDetect detect;
        ASSERT_TRUE(detect.SetInputFile(&source, c.outRate));
        ASSERT_NE(dynamic_cast<CNormalizeGainDetectPcmFsConversion*>(detect.GetDetector()), nullptr);
        Apply(detect.GetConverterPtr()->GetDynamicControlParamsPtr(), c.controls);
        const double gain = detect.StartDetection();
        EXPECT_EQ(detect.GetDetectionResult(), kNormalizeDetectMeasured);
        EXPECT_EQ(detect.GetDetectedPeak(), expected);
        EXPECT_DOUBLE_EQ(gain, CNormalizeGainDetectProcessBase::AbsPeakValueToNormalizeGaindB(expected));
        EXPECT_EQ(source.GetCurSamplePosition(), 0);
    }

    // The second case does catch a search that trusts the quick filter's
    // loudest place: there it points at the wrong passage.
    MemorySource source(44100, 32, twoPassages());
    const auto quick = QuickPassPeak(source, 48000);
    const size_t exactAt = PeakFrame(source, 48000);
    EXPECT_GT(quick.second, 120000u * 48000 / 44100);
    EXPECT_LT(exactAt, 60000u * 48000 / 44100);
}

// A cancelled scan says so; a silent song measures 0.0 and needs no change.
TEST(CNormalizeGainDetect, CancelledScanIsToldApart)
{
    for (uint32_t outRate : {44100u, 48000u})
    {
        SCOPED_TRACE(outRate);
        MemorySource silence(44100, 16, Channels(2, std::vector<float>(44100 * 2, 0.0f)));
        CNormalizeGainDetect detect;
        ASSERT_TRUE(detect.SetInputFile(&silence, outRate));
        EXPECT_EQ(detect.StartDetection(), 0.0);
        EXPECT_EQ(detect.GetDetectionResult(), kNormalizeDetectMeasured);

        // Cancelled while scanning.
        MemorySource song(44100, 16, ExportTest::Noise(2, 44100 * 10, 3));
        song.onRead = [&](int64_t position)
        {
            if (position > 44100 * 3)
                detect.Cancel();
        };
        ASSERT_TRUE(detect.SetInputFile(&song, outRate));
        EXPECT_EQ(detect.StartDetection(), 0.0);
        EXPECT_EQ(detect.GetDetectionResult(), kNormalizeDetectCancelled);
        EXPECT_EQ(song.GetCurSamplePosition(), 0);
        EXPECT_LT(detect.GetProgressPercent(), 100.0);

        // The cancel stays for the next song until cleared.
        song.onRead = nullptr;
        ASSERT_TRUE(detect.SetInputFile(&song, outRate));
        EXPECT_EQ(detect.StartDetection(), 0.0);
        EXPECT_EQ(detect.GetDetectionResult(), kNormalizeDetectCancelled);
        detect.ClearCancel();
        ASSERT_TRUE(detect.SetInputFile(&song, outRate));
        EXPECT_GT(detect.StartDetection(), 0.0);
        EXPECT_EQ(detect.GetDetectionResult(), kNormalizeDetectMeasured);
    }
}

TEST(CNormalizeGainDetect, DetectorByRatesAndFailures)
{
    CNormalizeGainDetect detect;
    MemorySource oneBit(2822400, 32, Channels(1, std::vector<float>(100)));
    EXPECT_FALSE(detect.SetInputFile(&oneBit, 44100));
    EXPECT_EQ(detect.GetDetector(), nullptr);
    EXPECT_EQ(detect.StartDetection(), 0.0);
    EXPECT_EQ(detect.GetDetectionResult(), kNormalizeDetectFailed);
    EXPECT_FALSE(detect.SetInputFile(nullptr, 44100));

    MemorySource vbr(44100, 16, ExportTest::Noise(1, 1000, 1));
    vbr.SetVbr(true);
    ASSERT_TRUE(detect.SetInputFile(&vbr, 48000));
    EXPECT_EQ(dynamic_cast<CNormalizeGainDetectPcmFsConversion*>(detect.GetDetector()), nullptr);
    EXPECT_EQ(detect.GetDetector()->GetRate(), 48000u);

    MemorySource odd(32000, 16, ExportTest::Noise(1, 1000, 1));
    EXPECT_FALSE(detect.SetInputFile(&odd, 48000));

    // A source that ends early is a failure, not a song that needs no change.
    MemorySource broken(44100, 16, ExportTest::Noise(1, 44100, 1));
    broken.StopAt(1000);
    for (uint32_t outRate : {44100u, 48000u})
    {
        ASSERT_TRUE(detect.SetInputFile(&broken, outRate));
        EXPECT_EQ(detect.StartDetection(), 0.0);
        EXPECT_EQ(detect.GetDetectionResult(), kNormalizeDetectFailed);
    }
}

#include "common/file/CAiffFileRead.h"
#include "common/file/CAiffFileWrite.h"
#include "common/file/CAiffFormat.h"
#include "common/file/CID3v2_3Create.h"

#include "tests/common/file/PcmTestFiles.h"
#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using pcmtest::Interleave;
using pcmtest::Planar;
using pcmtest::Pointers;
using pcmtest::ReadAll;
using rifftest::Bytes;
using rifftest::GetBe16;
using rifftest::GetBe32;
using rifftest::PutBe16;
using rifftest::PutBe32;
using rifftest::RunCapture;
using rifftest::RunQuietly;
using rifftest::Wide;

namespace
{
std::string IdAt(const Bytes& b, size_t at)
{
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                       b.begin() + static_cast<std::ptrdiff_t>(at) + 4);
}

// The IEEE 754 extended value of a positive integer, computed bit by bit.
Bytes Extended(uint64_t value)
{
    int top = 63;
    while (((value >> top) & 1) == 0)
        --top;
    const uint64_t mantissa = value << (63 - top);
    Bytes b;
    PutBe16(b, 16383 + top);
    for (int i = 7; i >= 0; --i)
        b.push_back(static_cast<uint8_t>(mantissa >> (8 * i)));
    return b;
}

// A chunk with a big-endian size (the body's length unless given) and the pad
// byte after an odd body unless pad is false.
Bytes Chunk(const char* id, const Bytes& body, bool pad = true, int64_t size = -1)
{
    return rifftest::Chunk(id, body, pad, size, true);
}

Bytes Form(std::initializer_list<Bytes> chunks, const char* type = "AIFF", const char* form = "FORM")
{
    return rifftest::Container(form, type, chunks, true);
}

Bytes CommBody(uint16_t channels, uint32_t frames, uint16_t bits, const Bytes& rate)
{
    Bytes b;
    PutBe16(b, channels);
    PutBe32(b, frames);
    PutBe16(b, bits);
    b.insert(b.end(), rate.begin(), rate.end());
    return b;
}

// The AIFC form: the compression type and its name as a padded Pascal string.
Bytes AifcCommBody(uint16_t channels, uint32_t frames, uint16_t bits, uint32_t rate, const char* compression,
                   const char* name = "")
{
    Bytes b = CommBody(channels, frames, bits, Extended(rate));
    rifftest::PutID(b, compression);
    const size_t length = std::strlen(name);
    b.push_back(static_cast<uint8_t>(length));
    b.insert(b.end(), name, name + length);
    if ((length & 1) == 0)
        b.push_back(0);
    return b;
}

Bytes SsndBody(const Bytes& samples, uint32_t offset = 0)
{
    Bytes b;
    PutBe32(b, offset);
    PutBe32(b, 0);
    b.insert(b.end(), offset, 0xEE);
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

Planar MakeSamples(uint16_t channels, uint32_t frames, uint16_t bits, uint32_t seed)
{
    Planar out = pcmtest::MakeSamples(channels, frames, bits, seed);
    // Full scale at both ends.
    if (frames > 2)
    {
        out[0][1] = INT32_MIN;
        out[0][2] = static_cast<int32_t>(0xFFFFFFFFu << (32 - bits)) & INT32_MAX;
    }
    return out;
}

// The texts an ID3 chunk carries; one outside ASCII, written as UTF-16.
const std::vector<pcmtest::TextField> kTexts = {
    {CAudioMetaData::kAlbum, "Album \xC3\xA9t\xC3\xA9"},
    {CAudioMetaData::kTitle, "Night Song"},
    {CAudioMetaData::kAlbumArtist, "Various"},
    {CAudioMetaData::kArtist, "The Band"},
    {CAudioMetaData::kGenre, "Ambient"},
    {CAudioMetaData::kRecDate, "2024-05-06"},
    {CAudioMetaData::kRecTime, "21:13:00"},
    {CAudioMetaData::kEncodingSoftware, "Vextal test"},
};

// The texts, and a location the tag does not carry.
void SetTexts(CAudioMetaData* meta)
{
    pcmtest::SetTexts(meta, kTexts);
    meta->GetStringPtr(CAudioMetaData::kLocation)->SetString("not written", -1, false);
}

void ExpectTexts(CAudioMetaData* meta)
{
    pcmtest::ExpectTexts(meta, kTexts);
    EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kLocation)->GetReadPtrChar(), "");
}

// Writes the samples in blocks of uneven length, alternately through the
// integer and the float entry; the caller's float buffers must stay as they
// were.
bool WriteAiff(const std::filesystem::path& path, uint32_t rate, uint16_t bits, const Planar& samples,
               bool withTexts, const std::filesystem::path& picture = {})
{
    CAiffFileWrite w;
    const uint16_t channels = static_cast<uint16_t>(samples.size());
    if (w.OpenFile(Wide(path).c_str(), rate, bits, channels, 0) != 0)
        return false;
    if (withTexts)
        SetTexts(w.GetMetaDataPtr());
    if (!picture.empty())
        w.GetMetaDataPtr()->SetAttachedPicture(Wide(picture).c_str());
    if (!pcmtest::WriteInBlocks(w, samples, pcmtest::WriteEntry::kAlternate))
        return false;
    EXPECT_EQ(w.GetCurSamplePosition(), static_cast<int64_t>(samples[0].size()));
    return w.CloseFile();
}

// A small picture file: a JPEG start of image and a JFIF segment, or the PNG
// signature, followed by some bytes.
Bytes Picture(bool png, size_t size)
{
    Bytes b = png ? Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A} : Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16};
    while (b.size() < size)
        b.push_back(static_cast<uint8_t>(b.size() * 7));
    return b;
}

using CAiffFileWriteWithLimit = pcmtest::WriterWithLimit<CAiffFileWrite>;
} // namespace

TEST(CAiffFile, SampleRateTableIsExact)
{
    const uint32_t rates[] = {44100, 48000, 88200, 96000, 176400, 192000};
    for (const uint32_t rate : rates)
    {
        SCOPED_TRACE(rate);
        uint8_t bytes[10];
        ASSERT_TRUE(CAiffFormat::RateToExtended(rate, bytes));
        EXPECT_EQ(Bytes(bytes, bytes + 10), Extended(rate));
        EXPECT_EQ(CAiffFormat::ExtendedToRate(bytes), rate);
        EXPECT_TRUE(CAiffFormat::IsSupportedSampleRate(rate));
    }
    EXPECT_EQ(CAiffFileWrite::GetPossibleSampleRates(),
              std::vector<uint32_t>(std::begin(rates), std::end(rates)));

    // Rates outside the table are not encoded.
    for (const uint32_t rate : {0u, 22050u, 32000u, 44101u, 384000u})
    {
        SCOPED_TRACE(rate);
        uint8_t bytes[10];
        std::memset(bytes, 0xAA, sizeof(bytes));
        EXPECT_FALSE(CAiffFormat::RateToExtended(rate, bytes));
        EXPECT_EQ(Bytes(bytes, bytes + 10), Bytes(10, 0));
        EXPECT_EQ(CAiffFormat::ExtendedToRate(bytes), 0u);
    }

    // Decoding: other rates within range decode to their integer part; values
    // below 2 Hz, from 2^30 Hz on, and negative ones decode to 0.
    struct Case
    {
        Bytes bytes;
        uint32_t rate;
    };
    Bytes fractional = Extended(44100);
    fractional[5] = 0x80; // 44100.5
    Bytes negative = Extended(44100);
    negative[0] |= 0x80;
    Bytes unnormalized = {0x40, 0x0F, 0x56, 0x22, 0, 0, 0, 0, 0, 0}; // 44100 with a 0 leading bit
    const Case cases[] = {
        {Extended(22050), 22050},       {Extended(8000), 8000},  {Extended(2), 2},    {Extended(1), 0},
        {Extended(1u << 29), 1u << 29}, {Extended(1u << 30), 0}, {fractional, 44100}, {negative, 0},
        {unnormalized, 44100},          {Bytes(10, 0), 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "expected " << c.rate);
        EXPECT_EQ(CAiffFormat::ExtendedToRate(c.bytes.data()), c.rate);
    }
}

TEST(CAiffFile, RoundTripsBitExactAndSoxReadsTheFiles)
{
    rifftest::TempFolder folder;
    const bool haveSox = rifftest::HaveTool("sox");
    if (!haveSox)
        std::fprintf(stderr, "sox is missing: the files are not checked with it\n");
    struct Case
    {
        uint32_t rate;
        uint16_t bits;
        uint16_t channels;
        uint32_t frames;
    };
    // Every rate of the table; odd frame counts, some over several buffers.
    const Case cases[] = {{44100, 16, 1, 1001},  {48000, 16, 2, 40001}, {88200, 24, 1, 1001},
                          {96000, 24, 2, 33333}, {176400, 16, 2, 3},    {192000, 24, 1, 17001}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << c.rate << " Hz, " << c.bits << " bits, " << c.channels << " channels");
        const auto path = folder / "round.aif";
        const Planar samples = MakeSamples(c.channels, c.frames, c.bits, c.frames);
        ASSERT_TRUE(WriteAiff(path, c.rate, c.bits, samples, true));

        // Layout: header fields, the samples, the pad byte after odd data and
        // the "ID3 " chunk behind it.
        const Bytes file = rifftest::ReadBytes(path);
        const uint32_t dataSize = c.frames * c.channels * (c.bits / 8);
        ASSERT_GT(file.size(), 54u + dataSize + 8);
        EXPECT_EQ(IdAt(file, 0), "FORM");
        EXPECT_EQ(GetBe32(file, 4), file.size() - 8);
        EXPECT_EQ(IdAt(file, 8), "AIFF");
        EXPECT_EQ(IdAt(file, 12), "COMM");
        EXPECT_EQ(GetBe32(file, 16), 18u);
        EXPECT_EQ(GetBe16(file, 20), c.channels);
        EXPECT_EQ(GetBe32(file, 22), c.frames);
        EXPECT_EQ(GetBe16(file, 26), c.bits);
        EXPECT_EQ(Bytes(file.begin() + 28, file.begin() + 38), Extended(c.rate));
        EXPECT_EQ(IdAt(file, 38), "SSND");
        EXPECT_EQ(GetBe32(file, 42), dataSize + 8);
        EXPECT_EQ(GetBe32(file, 46), 0u);
        EXPECT_EQ(GetBe32(file, 50), 0u);
        EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 54 + dataSize), Interleave(samples, c.bits, false));
        const size_t id3At = 54 + dataSize + (dataSize & 1);
        if (dataSize & 1)
        {
            EXPECT_EQ(file[54 + dataSize], 0);
        }
        EXPECT_EQ(IdAt(file, id3At), "ID3 ");
        const uint32_t tagSize = GetBe32(file, id3At + 4);
        EXPECT_EQ(id3At + 8 + tagSize + (tagSize & 1), file.size());
        EXPECT_EQ(IdAt(file, id3At + 8), std::string("ID3\x03", 4));

        CAiffFileRead r;
        ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
        EXPECT_STREQ(r.GetFormatUniqueID(), "AIFF");
        EXPECT_EQ(r.GetSampleRate(), c.rate);
        EXPECT_EQ(r.GetBitsPerSample(), c.bits);
        EXPECT_EQ(r.GetNumChannels(), c.channels);
        EXPECT_EQ(r.GetNumSamples(), c.frames);
        EXPECT_EQ(ReadAll(r), samples);
        EXPECT_EQ(r.GetCurSamplePosition(), c.frames);
        EXPECT_FALSE(r.AudioDataReadErrorOccured());
        ExpectTexts(r.GetMetaDataPtr());
        EXPECT_EQ(r.GetAttachedPictureSize(), 0u);

        // The float entry: the samples scaled by 2^-31, silence behind them.
        r.SetCurSamplePosition(0);
        std::vector<std::vector<float>> floats(c.channels, std::vector<float>(c.frames + 6, -9.0f));
        std::vector<float*> fptrs;
        for (auto& f : floats)
            fptrs.push_back(f.data());
        EXPECT_EQ(r.ReadAudioData(fptrs.data(), c.frames + 3, 2), c.frames);
        for (uint16_t ch = 0; ch < c.channels; ++ch)
        {
            EXPECT_EQ(floats[ch][1], -9.0f);
            for (uint32_t i = 0; i < c.frames; ++i)
                ASSERT_EQ(floats[ch][i + 2], static_cast<float>(samples[ch][i]) / 2147483648.0f)
                    << "frame " << i;
            EXPECT_EQ(floats[ch][c.frames + 4], 0.0f);
            EXPECT_EQ(floats[ch][c.frames + 5], -9.0f);
        }

        CAifcSowtFileRead aifc;
        EXPECT_EQ(aifc.OpenFile(Wide(path).c_str()), 4);

        if (haveSox)
        {
            const auto raw = folder / "out.raw";
            std::filesystem::remove(raw);
            ASSERT_EQ(RunQuietly("sox -D " + path.string() + " -L -t raw " + raw.string()), 0);
            EXPECT_EQ(rifftest::ReadBytes(raw), Interleave(samples, c.bits, true));
            const std::string rate = RunCapture("sox --i -r " + path.string());
            EXPECT_EQ(rate, std::to_string(c.rate) + "\n");
        }
    }
}

TEST(CAiffFile, WritesTheBareLayoutWithoutSongInformation)
{
    rifftest::TempFolder folder;
    const auto path = folder / "bare.aif";
    const Planar samples = MakeSamples(2, 1000, 16, 5);
    ASSERT_TRUE(WriteAiff(path, 44100, 16, samples, false));
    const Bytes file = rifftest::ReadBytes(path);
    ASSERT_EQ(file.size(), 54u + 4000u);
    EXPECT_EQ(GetBe32(file, 4), 4046u);
    EXPECT_EQ(GetBe32(file, 22), 1000u);
    EXPECT_EQ(GetBe32(file, 42), 4008u);

    // Without a recording date in the file the reader takes the file's time.
    CAiffFileRead r;
    ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
    EXPECT_TRUE(r.GetMetaDataPtr()->IsRecDateAvailable());
    EXPECT_TRUE(r.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kTitle)->IsEmpty());
    EXPECT_EQ(ReadAll(r), samples);
}

TEST(CAiffFile, ReadsAifcAndFilesOfOtherTools)
{
    rifftest::TempFolder folder;
    const bool haveSox = rifftest::HaveTool("sox");
    const bool haveFfmpeg = rifftest::HaveTool("ffmpeg");
    const auto raw = (folder / "in.raw").string();
    const auto out = (folder / "tool.aif").string();
    enum Maker
    {
        kBytes,
        kSox,
        kFfmpeg
    };
    struct Case
    {
        const char* name;
        Maker maker;
        uint16_t bits;
        uint16_t channels;
        uint32_t rate;
        uint32_t frames;
        // Built files: AIFC with this compression type; tools: the command
        // (input and output appended).
        std::string how;
        int aiffResult;
        int aifcResult;
        bool littleEndian;
    };
    const Case cases[] = {
        {"AIFC sowt 24-bit stereo", kBytes, 24, 2, 96000, 2001, "sowt", 4, 0, true},
        {"AIFC sowt 24-bit mono", kBytes, 24, 1, 48000, 2001, "sowt", 4, 0, true},
        {"AIFC sowt 16-bit mono", kBytes, 16, 1, 44100, 3, "sowt", 4, 0, true},
        {"AIFC NONE 16-bit stereo", kBytes, 16, 2, 192000, 2001, "NONE", 4, 0, false},
        {"sox AIFF 16-bit stereo", kSox, 16, 2, 44100, 2001, "-t aiff", 0, 4, false},
        {"sox AIFF 24-bit mono", kSox, 24, 1, 88200, 2001, "-t aiff", 0, 4, false},
        {"sox AIFC NONE 16-bit stereo", kSox, 16, 2, 48000, 2001, "-t aifc", 4, 0, false},
        {"sox AIFC NONE 24-bit mono", kSox, 24, 1, 176400, 2001, "-t aifc", 4, 0, false},
        {"ffmpeg AIFC sowt 16-bit stereo", kFfmpeg, 16, 2, 44100, 2001, "-c:a pcm_s16le", 4, 0, true},
        {"ffmpeg AIFF 24-bit stereo with ID3", kFfmpeg, 24, 2, 48000, 2001,
         "-c:a pcm_s24be -write_id3v2 1 -metadata title=Me -metadata artist=Odd -metadata album=Pile", 0, 4,
         false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        if ((c.maker == kSox && !haveSox) || (c.maker == kFfmpeg && !haveFfmpeg))
        {
            std::fprintf(stderr, "skipped (tool missing): %s\n", c.name);
            continue;
        }
        const Planar samples = MakeSamples(c.channels, c.frames, c.bits, c.frames + c.bits + c.channels);
        std::filesystem::remove(out);
        if (c.maker == kBytes)
        {
            rifftest::WriteBytes(
                out,
                Form({Chunk("FVER", {0xA2, 0x80, 0x51, 0x40}),
                      Chunk("COMM", AifcCommBody(c.channels, c.frames, c.bits, c.rate, c.how.c_str(), "x")),
                      Chunk("SSND", SsndBody(Interleave(samples, c.bits, c.littleEndian)))},
                     "AIFC"));
        }
        else
        {
            rifftest::WriteBytes(raw, Interleave(samples, c.bits, true));
            const std::string enc = "-r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels);
            const std::string cmd = c.maker == kSox
                                        ? "sox -D -t raw " + enc + " -e signed -b " + std::to_string(c.bits) +
                                              " -L " + raw + " " + c.how + " " + out
                                        : "ffmpeg -v error -y -f s" + std::to_string(c.bits) + "le -ar " +
                                              std::to_string(c.rate) + " -ac " + std::to_string(c.channels) +
                                              " -i " + raw + " " + c.how + " -f aiff " + out;
            ASSERT_EQ(RunQuietly(cmd), 0) << cmd;
        }

        CAiffFileRead aiff;
        CAifcSowtFileRead aifc;
        EXPECT_EQ(aiff.OpenFile(Wide(out).c_str()), c.aiffResult);
        EXPECT_EQ(aifc.OpenFile(Wide(out).c_str()), c.aifcResult);
        CAiffFileRead& r = c.aiffResult == 0 ? aiff : aifc;
        EXPECT_STREQ(r.GetFormatUniqueID(), "AIFF");
        EXPECT_EQ(r.GetSampleRate(), c.rate);
        EXPECT_EQ(r.GetBitsPerSample(), c.bits);
        EXPECT_EQ(r.GetNumChannels(), c.channels);
        EXPECT_EQ(r.GetNumSamples(), c.frames);
        EXPECT_EQ(ReadAll(r), samples);
        EXPECT_FALSE(r.AudioDataReadErrorOccured());
        if (c.how.find("title=") != std::string::npos)
        {
            CAudioMetaData* meta = r.GetMetaDataPtr();
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kTitle)->GetReadPtrChar(), "Me");
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kArtist)->GetReadPtrChar(), "Odd");
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kAlbum)->GetReadPtrChar(), "Pile");
        }

        // The files built here are checked against sox as well.
        if (c.maker == kBytes && haveSox)
        {
            const auto soxRaw = folder / "sox.raw";
            std::filesystem::remove(soxRaw);
            ASSERT_EQ(RunQuietly("sox -D " + out + " -L -t raw " + soxRaw.string()), 0);
            EXPECT_EQ(rifftest::ReadBytes(soxRaw), Interleave(samples, c.bits, true));
        }
    }
}

TEST(CAiffFile, MalformedFiles)
{
    rifftest::TempFolder folder;
    const Bytes rate = Extended(44100);
    const Bytes comm = CommBody(2, 100, 16, rate);
    Bytes data; // 100 stereo frames: frame i holds i and -i
    for (uint32_t i = 0; i < 100; ++i)
    {
        PutBe16(data, i);
        PutBe16(data, 0x10000 - i);
    }
    const Bytes ssnd = SsndBody(data);
    auto rateBytes = [](std::initializer_list<uint8_t> head)
    {
        Bytes b(head);
        b.resize(10, 0);
        return b;
    };
    Bytes halfData(data.begin(), data.begin() + 200);
    Bytes partialFrame = data;
    partialFrame.push_back(1);
    partialFrame.push_back(2);
    Bytes farOffset = ssnd;
    farOffset[0] = 0x7F;
    Bytes tagGarbage = rifftest::Text("ID3\x03 garbage that is not a tag");
    // A tag whose frame claims far more than the chunk holds.
    Bytes tagHuge = {'I', 'D', '3', 3,    0,    0,    0x7F, 0x7F, 0x7F, 0x7F, 'T',
                     'I', 'T', '2', 0xFF, 0xFF, 0xFF, 0xF0, 0,    0,    0};

    enum
    {
        kAiff,
        kAifc
    };
    struct Case
    {
        const char* name;
        int reader;
        Bytes file;
        int result;
        int64_t frames;
        int32_t firstSample; // left channel of frame 1
    };
    const int32_t one = 1 << 16;
    const Case cases[] = {
        {"plain", kAiff, Form({Chunk("COMM", comm), Chunk("SSND", ssnd)}), 0, 100, one},
        {"SSND before COMM", kAiff, Form({Chunk("SSND", ssnd), Chunk("COMM", comm)}), 0, 100, one},
        {"COMM body of 16 bytes", kAiff,
         Form({Chunk("COMM", Bytes(comm.begin(), comm.begin() + 16)), Chunk("SSND", ssnd)}), 3, 0, 0},
        {"COMM size past the end", kAiff,
         Form({Chunk("SSND", ssnd), Chunk("COMM", Bytes(comm.begin(), comm.begin() + 12), true, 18)}), 3, 0,
         0},
        {"no COMM", kAiff, Form({Chunk("SSND", ssnd)}), 3, 0, 0},
        {"rate bytes zero", kAiff,
         Form({Chunk("COMM", CommBody(2, 100, 16, Bytes(10, 0))), Chunk("SSND", ssnd)}), 3, 0, 0},
        {"rate below 2 Hz", kAiff,
         Form({Chunk("COMM", CommBody(2, 100, 16, rateBytes({0x3F, 0xFF, 0x80}))), Chunk("SSND", ssnd)}), 3,
         0, 0},
        {"rate exponent above 28", kAiff,
         Form(
             {Chunk("COMM", CommBody(2, 100, 16, rateBytes({0x40, 0x1D, 0xAC, 0x44}))), Chunk("SSND", ssnd)}),
         3, 0, 0},
        {"negative rate", kAiff,
         Form(
             {Chunk("COMM", CommBody(2, 100, 16, rateBytes({0xC0, 0x0E, 0xAC, 0x44}))), Chunk("SSND", ssnd)}),
         3, 0, 0},
        {"22050 Hz", kAiff, Form({Chunk("COMM", CommBody(2, 100, 16, Extended(22050))), Chunk("SSND", ssnd)}),
         3, 0, 0},
        {"8-bit", kAiff, Form({Chunk("COMM", CommBody(2, 100, 8, rate)), Chunk("SSND", ssnd)}), 3, 0, 0},
        {"32-bit", kAiff, Form({Chunk("COMM", CommBody(2, 100, 32, rate)), Chunk("SSND", ssnd)}), 3, 0, 0},
        {"6 channels", kAiff, Form({Chunk("COMM", CommBody(6, 100, 16, rate)), Chunk("SSND", ssnd)}), 3, 0,
         0},
        {"0 channels", kAiff, Form({Chunk("COMM", CommBody(0, 100, 16, rate)), Chunk("SSND", ssnd)}), 3, 0,
         0},
        {"no SSND", kAiff, Form({Chunk("COMM", comm)}), 4, 0, 0},
        {"SSND body of 4 bytes", kAiff, Form({Chunk("COMM", comm), Chunk("SSND", Bytes(4, 0))}), 4, 0, 0},
        {"SSND size past the end", kAiff, Form({Chunk("COMM", comm), Chunk("SSND", ssnd, true, 0xFFFFFFF0)}),
         0, 100, one},
        {"SSND shorter than COMM, a chunk behind it", kAiff,
         Form({Chunk("COMM", comm), Chunk("SSND", SsndBody(halfData)), Chunk("APPL", Bytes(400, 0x55))}), 0,
         50, one},
        {"file shorter than COMM", kAiff,
         Form({Chunk("COMM", comm), Chunk("SSND", SsndBody(halfData), true, 408)}), 0, 50, one},
        {"SSND longer than COMM", kAiff,
         Form({Chunk("COMM", CommBody(2, 60, 16, rate)), Chunk("SSND", ssnd)}), 0, 60, one},
        {"SSND offset 4", kAiff, Form({Chunk("COMM", comm), Chunk("SSND", SsndBody(data, 4))}), 0, 100, one},
        {"SSND offset past the chunk", kAiff,
         Form({Chunk("COMM", comm), Chunk("SSND", farOffset), Chunk("APPL", Bytes(400, 0x55))}), 0, 0, 0},
        {"partial frame at the end", kAiff,
         Form({Chunk("COMM", CommBody(2, 101, 16, rate)), Chunk("SSND", SsndBody(partialFrame))}), 0, 100,
         one},
        {"0 frames", kAiff, Form({Chunk("COMM", CommBody(2, 0, 16, rate)), Chunk("SSND", ssnd)}), 0, 0, 0},
        {"0-size chunk before COMM", kAiff,
         Form({Chunk("NAME", {}), Chunk("COMM", comm), Chunk("SSND", ssnd)}), 0, 100, one},
        {"padded odd chunk before COMM", kAiff,
         Form({Chunk("NAME", rifftest::Text("odd")), Chunk("COMM", comm), Chunk("SSND", ssnd)}), 0, 100, one},
        {"unpadded odd chunk before COMM", kAiff,
         Form({Chunk("NAME", rifftest::Text("odd"), false), Chunk("COMM", comm), Chunk("SSND", ssnd)}), 0,
         100, one},
        {"huge chunk before SSND", kAiff,
         Form({Chunk("COMM", comm), Chunk("APPL", Bytes(8, 0), true, 0xFFFFFFF0), Chunk("SSND", ssnd)}), 4, 0,
         0},
        {"ID3 chunk that is no tag", kAiff,
         Form({Chunk("COMM", comm), Chunk("SSND", ssnd), Chunk("ID3 ", tagGarbage)}), 0, 100, one},
        {"ID3 chunk with a huge frame", kAiff,
         Form({Chunk("COMM", comm), Chunk("SSND", ssnd), Chunk("ID3 ", tagHuge)}), 0, 100, one},
        {"ID3 chunk size past the end", kAiff,
         Form({Chunk("COMM", comm), Chunk("SSND", ssnd), Chunk("ID3 ", tagHuge, true, 0xFFFFFFF0)}), 0, 100,
         one},
        {"not FORM", kAiff, Form({Chunk("COMM", comm), Chunk("SSND", ssnd)}, "AIFF", "RIFF"), 4, 0, 0},
        {"FORM of another type", kAiff, Form({Chunk("COMM", comm), Chunk("SSND", ssnd)}, "8SVX"), 4, 0, 0},
        {"AIFC given to the AIFF reader", kAiff,
         Form({Chunk("COMM", AifcCommBody(2, 100, 16, 44100, "NONE")), Chunk("SSND", ssnd)}, "AIFC"), 4, 0,
         0},
        {"truncated header", kAiff, Bytes{'F', 'O', 'R', 'M', 0, 0, 0, 4}, 4, 0, 0},
        {"empty file", kAiff, Bytes{}, 4, 0, 0},
        {"AIFC NONE", kAifc,
         Form({Chunk("COMM", AifcCommBody(2, 100, 16, 44100, "NONE", "not compressed")), Chunk("SSND", ssnd)},
              "AIFC"),
         0, 100, one},
        {"AIFC sowt", kAifc,
         Form({Chunk("COMM", AifcCommBody(2, 100, 16, 44100, "sowt")), Chunk("SSND", ssnd)}, "AIFC"), 0, 100,
         1 << 24},
        {"AIFC fl32", kAifc,
         Form({Chunk("COMM", AifcCommBody(2, 100, 16, 44100, "fl32")), Chunk("SSND", ssnd)}, "AIFC"), 3, 0,
         0},
        {"AIFC ulaw", kAifc,
         Form({Chunk("COMM", AifcCommBody(2, 100, 16, 44100, "ulaw")), Chunk("SSND", ssnd)}, "AIFC"), 3, 0,
         0},
        {"AIFC COMM without compression type", kAifc,
         Form({Chunk("COMM", comm), Chunk("SSND", ssnd)}, "AIFC"), 3, 0, 0},
        {"AIFF given to the AIFC reader", kAifc, Form({Chunk("COMM", comm), Chunk("SSND", ssnd)}), 4, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto path = folder / "bad.aif";
        rifftest::WriteBytes(path, c.file);
        std::unique_ptr<CAiffFileRead> r;
        if (c.reader == kAiff)
            r = std::make_unique<CAiffFileRead>();
        else
            r = std::make_unique<CAifcSowtFileRead>();
        ASSERT_EQ(r->OpenFile(Wide(path).c_str()), c.result);
        if (c.result != 0)
        {
            EXPECT_EQ(r->GetNumSamples(), 0);
            continue;
        }
        EXPECT_EQ(r->GetNumSamples(), c.frames);
        const Planar got = ReadAll(*r);
        EXPECT_EQ(got[0].size(), static_cast<size_t>(c.frames));
        if (c.frames > 1 && got[0].size() > 1)
        {
            EXPECT_EQ(got[0][1], c.firstSample);
        }
        EXPECT_FALSE(r->AudioDataReadErrorOccured());
        EXPECT_TRUE(r->GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kTitle)->IsEmpty());
        EXPECT_EQ(r->GetAttachedPictureSize(), 0u);
    }

    CAiffFileRead r;
    EXPECT_EQ(r.OpenFile(Wide(folder / "missing.aif").c_str()), 2);
    EXPECT_EQ(r.OpenFile(Wide(folder.Path()).c_str()), 2);
}

// An odd-sized chunk may or may not be followed by its pad byte; every chunk
// behind it is found either way, also where a size's first byte (big-endian:
// the highest) is printable.
TEST(CAiffFile, FindsEveryChunkBehindOddChunksWithOrWithoutThePadByte)
{
    rifftest::TempFolder folder;
    const Bytes rate = Extended(48000);
    const Bytes odd = rifftest::Text("odd");
    CID3v2_3Create tag;
    tag.SetTitle(L"Odd"); // 25 bytes
    const Bytes id3(tag.GetBufferPtr(), tag.GetBufferPtr() + tag.GetBufFilledSize());
    ASSERT_EQ(id3.size() % 2, 1u);

    struct Case
    {
        std::string name;
        Bytes file;
        int64_t frames;
        const char* title;
    };
    std::vector<Case> cases;
    for (const bool pad : {true, false})
    {
        const std::string how = pad ? "padded" : "unpadded";
        cases.push_back({how + " odd chunk before COMM and SSND",
                         Form({Chunk("NAME", odd, pad), Chunk("COMM", CommBody(2, 16, 16, rate)),
                               Chunk("ANNO", odd, pad), Chunk("SSND", SsndBody(Bytes(64, 0x22)))}),
                         16, ""});
        // 11 frames of 24-bit mono: an SSND body of 41 bytes.
        cases.push_back({how + " odd SSND before an odd ID3 chunk",
                         Form({Chunk("COMM", CommBody(1, 11, 24, rate)),
                               Chunk("SSND", SsndBody(Bytes(33, 0x33)), pad), Chunk("ID3 ", id3, pad)}),
                         11, "Odd"});
        cases.push_back({how + " odd ID3 chunk before SSND",
                         Form({Chunk("COMM", CommBody(1, 11, 24, rate)), Chunk("ID3 ", id3, pad),
                               Chunk("SSND", SsndBody(Bytes(33, 0x33)))}),
                         11, "Odd"});
    }
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto path = folder / "odd.aif";
        rifftest::WriteBytes(path, c.file);
        CAiffFileRead r;
        ASSERT_EQ(r.OpenFile(Wide(path).c_str()), kAudioFileOpened);
        EXPECT_EQ(r.GetNumSamples(), c.frames);
        EXPECT_STREQ(r.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kTitle)->GetReadPtrChar(), c.title);
        EXPECT_EQ(ReadAll(r)[0].size(), static_cast<size_t>(c.frames));
        EXPECT_FALSE(r.AudioDataReadErrorOccured());
    }
}

// A date the tag carries comes back, also one without a year; only a file
// without any date gives its time stamp.
TEST(CAiffFile, PartialDatesComeBack)
{
    rifftest::TempFolder folder;
    const auto path = folder / "dated.aif";
    const struct
    {
        const char* date;
        const char* time;
        const char* dateBack;
        const char* timeBack;
    } cases[] = {
        {"2009-03-05", "07:08:09", "2009-03-05", "07:08:00"},
        {"2009-  -  ", "", "2009-  -  ", ""},
        {"    -03-05", "07:08:09", "    -03-05", "07:08:00"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.date);
        {
            CAiffFileWrite w;
            ASSERT_EQ(w.OpenFile(Wide(path).c_str(), 44100, 16, 1, 0), 0);
            w.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kRecDate)->SetString(c.date, -1, false);
            w.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kRecTime)->SetString(c.time, -1, false);
            ASSERT_TRUE(w.CloseFile());
        }
        CAiffFileRead r;
        ASSERT_EQ(r.OpenFile(Wide(path).c_str()), kAudioFileOpened);
        EXPECT_STREQ(r.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kRecDate)->GetReadPtrChar(),
                     c.dateBack);
        EXPECT_STREQ(r.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kRecTime)->GetReadPtrChar(),
                     c.timeBack);
    }
}

TEST(CAiffFile, WriterRefusesWhatItCannotWriteAndCreatesNothing)
{
    rifftest::TempFolder folder;
    const auto path = folder / "x.aif";
    struct Case
    {
        uint32_t rate;
        uint16_t bits;
        uint16_t channels;
        int result;
    };
    for (const Case& c :
         {Case{22050, 16, 2, 3}, Case{44101, 16, 2, 3}, Case{0, 16, 2, 3}, Case{384000, 24, 2, 3},
          Case{44100, 8, 2, 3}, Case{44100, 32, 2, 3}, Case{44100, 16, 3, 3}, Case{44100, 16, 0, 3}})
    {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.bits << " bits " << c.channels << " ch");
        CAiffFileWrite w;
        EXPECT_EQ(w.OpenFile(Wide(path).c_str(), c.rate, c.bits, c.channels, 0), c.result);
        EXPECT_EQ(w.GetCurSamplePosition(), 0);
        EXPECT_FALSE(w.CloseFile());
    }
    EXPECT_TRUE(rifftest::FolderEntries(folder.Path()).empty());

    CAiffFileWrite w;
    EXPECT_EQ(w.OpenFile(Wide(folder / "no-folder" / "x.aif").c_str(), 44100, 16, 2, 0), 2);
    EXPECT_FALSE(w.CloseFile());
    EXPECT_EQ(CAiffFileWrite::GetPossibleBitsPerSamples(), (std::vector<uint16_t>{16, 24}));
    EXPECT_EQ(CAiffFileWrite::GetPossibleNumChannels(), (std::vector<uint16_t>{1, 2}));
    EXPECT_TRUE(CAiffFileWrite::GetPossibleQualityOptions().empty());
}

TEST(CAiffFile, WriterKeepsTheTargetUntilItSucceedsAndStopsAtItsLimit)
{
    rifftest::TempFolder folder;
    const auto path = folder / "song.aif";
    const Bytes old = rifftest::Text("the old file");
    rifftest::WriteBytes(path, old);
    Planar samples = MakeSamples(2, 50000, 16, 7);
    auto ptrs = Pointers(samples);

    pcmtest::ExpectTargetKeptOnFailure<CAiffFileWrite>(
        folder, "song.aif", [](CAiffFileWrite& w) { SetTexts(w.GetMetaDataPtr()); });

    // The size limit: frames beyond it are refused, the file stays readable
    // and carries its tag.
    {
        CAiffFileWriteWithLimit w;
        w.LimitDataSize(1001);
        ASSERT_EQ(w.OpenFile(Wide(path).c_str(), 48000, 24, 1, 0), 0);
        SetTexts(w.GetMetaDataPtr());
        EXPECT_EQ(w.WriteAudioData(ptrs.data(), 200), 200u);
        EXPECT_EQ(w.WriteAudioData(ptrs.data(), 200), 133u);
        EXPECT_EQ(w.WriteAudioData(ptrs.data(), 1), 0u);
        EXPECT_TRUE(w.CloseFile());
    }
    CAiffFileRead r;
    ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
    EXPECT_EQ(r.GetNumSamples(), 333);
    ExpectTexts(r.GetMetaDataPtr());
}

TEST(CAiffFile, ReadWindowAndShortReads)
{
    rifftest::TempFolder folder;
    const auto path = folder / "window.aif";
    Bytes data;
    for (uint32_t i = 0; i < 1000; ++i)
        PutBe16(data, i);
    rifftest::WriteBytes(path, Form({Chunk("COMM", CommBody(1, 1000, 16, Extended(48000))),
                                     Chunk("SSND", SsndBody(data, 2))}));
    CAiffFileRead r;
    ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
    pcmtest::ExpectWindowsOfRamp(r);

    // A file cut short after opening: silence and the error flag until the
    // next seek.
    ASSERT_TRUE(WriteAiff(path, 44100, 16, MakeSamples(2, 100000, 16, 9), false));
    ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
    pcmtest::ExpectShortRead(r, path, 54);
}

TEST(CAiffFile, Id3ChunkCarriesTextsAndFrontCover)
{
    rifftest::TempFolder folder;
    const Planar samples = MakeSamples(2, 3001, 24, 4);
    // The picture file is read as the song's picture is shown: by its
    // name's extension and its signature.
    struct Case
    {
        const char* name;
        Bytes picture;
        bool embedded;
    };
    const Case cases[] = {
        {"cover.jpg", Picture(false, 3001), true},
        {"cover.png", Picture(true, 20000), true},
        {"cover", Picture(false, 5000), true},
        {"gif.png", rifftest::Text("GIF89a and some more bytes"), false},
        {"png.jpg", Picture(true, 400), false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto picture = folder / c.name;
        const auto path = folder / "with-cover.aif";
        rifftest::WriteBytes(picture, c.picture);
        ASSERT_TRUE(WriteAiff(path, 44100, 24, samples, true, picture));

        CAiffFileRead r;
        ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
        ExpectTexts(r.GetMetaDataPtr());
        if (!c.embedded)
        {
            EXPECT_EQ(r.GetAttachedPictureSize(), 0u);
            EXPECT_STREQ(r.GetMetaDataPtr()->GetAttachedPictureFilePath(), L"");
            continue;
        }
        const uint32_t size = static_cast<uint32_t>(c.picture.size());
        EXPECT_EQ(r.GetAttachedPictureSize(), size);
        EXPECT_EQ(std::wstring(r.GetMetaDataPtr()->GetAttachedPictureFilePath()), Wide(path));

        // Reading the picture between audio reads keeps the read position.
        Planar block(2, std::vector<int32_t>(1000));
        auto ptrs = Pointers(block);
        ASSERT_EQ(r.ReadAudioData(ptrs.data(), 1000, 0), 1000u);
        Bytes bytes(size + 10, 0xAA);
        EXPECT_EQ(r.ReadAttachedPicture(bytes.data(), size + 10), size);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + size), c.picture);
        Bytes small(size - 1, 0xAA);
        EXPECT_EQ(r.ReadAttachedPicture(small.data(), size - 1), 0u);
        EXPECT_EQ(small, Bytes(size - 1, 0));
        ASSERT_EQ(r.ReadAudioData(ptrs.data(), 1000, 0), 1000u);
        EXPECT_EQ(block[1][0], samples[1][1000]);
        EXPECT_EQ(block[0][999], samples[0][1999]);

        // A song whose picture is an AIFF file's own cover passes it on.
        const auto copy = folder / "copy.aif";
        ASSERT_TRUE(WriteAiff(copy, 48000, 16, MakeSamples(1, 11, 16, 1), false, path));
        CAiffFileRead again;
        ASSERT_EQ(again.OpenFile(Wide(copy).c_str()), 0);
        ASSERT_EQ(again.GetAttachedPictureSize(), size);
        EXPECT_EQ(again.ReadAttachedPicture(bytes.data(), size), size);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + size), c.picture);
        EXPECT_TRUE(again.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kTitle)->IsEmpty());
    }

    // Another reader of the tag sees the same texts.
    if (rifftest::HaveTool("ffprobe"))
    {
        const auto path = folder / "with-cover.aif";
        const std::string format = RunCapture("ffprobe -v error -show_format " + path.string());
        EXPECT_NE(format.find("TAG:title=Night Song\n"), std::string::npos) << format;
        EXPECT_NE(format.find("TAG:artist=The Band\n"), std::string::npos) << format;
        EXPECT_NE(format.find("TAG:album=Album \xC3\xA9t\xC3\xA9\n"), std::string::npos) << format;
        EXPECT_NE(format.find("TAG:genre=Ambient\n"), std::string::npos) << format;
    }
}

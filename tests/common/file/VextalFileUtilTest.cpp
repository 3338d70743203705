#include "common/file/VextalFileUtil.h"

#include "common/file/CAiffFileRead.h"
#include "common/file/CAudioCDRead.h"
#include "common/file/CCdaFileRead.h"
#include "common/file/CID3v2Read.h"
#include "common/file/CQuickTimeFileRead.h"
#include "common/file/CWavFileRead.h"

#include "tests/common/disc/CdTestImages.h"
#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

using rifftest::Bytes;
using rifftest::TempFolder;
using rifftest::Wide;

namespace
{
bool RunFfmpeg(const std::string& args)
{
    const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// One second of a stereo tone at rate, as the ffmpeg command's input.
std::string Tone(uint32_t rate)
{
    return "-f lavfi -i 'sine=frequency=440:sample_rate=" + std::to_string(rate) + ":duration=1' -ac 2";
}

// A 16-bit stereo PCM WAV file of 100 silent frames.
Bytes Wav(uint32_t rate)
{
    return rifftest::Riff(
        {rifftest::Chunk("fmt ", rifftest::FmtBody(1, 2, rate, 16)), rifftest::Chunk("data", Bytes(400, 0))});
}

void PutBE(Bytes& b, uint64_t v, int n)
{
    for (int i = n - 1; i >= 0; --i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The 80-bit extended float of an integer rate.
void PutExtended(Bytes& b, uint32_t rate)
{
    int exponent = 31;
    while ((rate & 0x80000000u) == 0)
    {
        rate <<= 1;
        --exponent;
    }
    PutBE(b, 16383 + exponent, 2);
    PutBE(b, static_cast<uint64_t>(rate) << 32, 8);
}

// A FORM/AIFC file with "sowt" (little-endian) 16-bit stereo samples, 100
// silent frames.
Bytes AifcSowt(uint32_t rate)
{
    Bytes comm;
    PutBE(comm, 2, 2);
    PutBE(comm, 100, 4);
    PutBE(comm, 16, 2);
    PutExtended(comm, rate);
    comm.insert(comm.end(), {'s', 'o', 'w', 't', 0, 0});
    Bytes body = {'A', 'I', 'F', 'C', 'F', 'V', 'E', 'R', 0, 0, 0, 4, 0xA2, 0x80, 0x51, 0x40};
    body.insert(body.end(), {'C', 'O', 'M', 'M'});
    PutBE(body, comm.size(), 4);
    body.insert(body.end(), comm.begin(), comm.end());
    body.insert(body.end(), {'S', 'S', 'N', 'D'});
    PutBE(body, 8 + 400, 4);
    body.resize(body.size() + 8 + 400, 0);
    Bytes file = {'F', 'O', 'R', 'M'};
    PutBE(file, body.size(), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::wstring Text(CAudioFileReadBase* reader, int field)
{
    return reader->GetMetaDataPtr()->GetStringPtr(field)->GetReadPtrWChar();
}

class VextalFileUtilTest : public rifftest::FolderTest
{
};
} // namespace

// Which class opens a file, by extension and then by content.
TEST_F(VextalFileUtilTest, ReaderByExtension)
{
    struct Case
    {
        const char* name;
        Bytes content;
        const std::type_info* reader; // null: no reader
        const char* formatId;
    };
    const Case cases[] = {
        {"Song.wav", Wav(44100), &typeid(CWavFileRead), "WAV"},
        // The extension is compared in lower case.
        {"Song.WAV", Wav(44100), &typeid(CWavFileRead), "WAV"},
        // No extension: every reader is tried in turn.
        {"Song", Wav(44100), &typeid(CWavFileRead), "WAV"},
        {"SowtNoExtension", AifcSowt(44100), &typeid(CAifcSowtFileRead), "AIFF"},
        // The plain AIFF reader refuses an AIFC file; the second one opens it.
        {"Sowt.aif", AifcSowt(48000), &typeid(CAifcSowtFileRead), "AIFF"},
        {"Sowt.AIFF", AifcSowt(48000), &typeid(CAifcSowtFileRead), "AIFF"},
        // Only the extension's readers are asked.
        {"Song.ogg", Wav(44100), nullptr, nullptr},
        {"WavContent.aif", Wav(44100), nullptr, nullptr},
        {"SowtContent.wav", AifcSowt(44100), nullptr, nullptr},
        {"Empty.wav", Bytes(), nullptr, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::wstring path = Write(c.name, c.content);
        std::unique_ptr<CAudioFileReadBase> reader(
            VextalFileUtil::CreateAudioFileReadObjectNoLimit(path.c_str(), true));
        if (c.reader == nullptr)
        {
            EXPECT_EQ(reader, nullptr);
            continue;
        }
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(typeid(*reader), *c.reader);
        EXPECT_STREQ(reader->GetFormatUniqueID(), c.formatId);
        EXPECT_EQ(reader->GetNumSamples(), 100);
    }

    EXPECT_EQ(VextalFileUtil::CreateAudioFileReadObjectNoLimit(nullptr, true), nullptr);
    EXPECT_EQ(VextalFileUtil::CreateAudioFileReadObjectNoLimit(L"", true), nullptr);
    EXPECT_EQ(VextalFileUtil::CreateAudioFileReadObject(Wide(m_folder / "missing.wav").c_str(), true),
              nullptr);
}

// Rates above 96000 Hz are refused by the limited variant only.
TEST_F(VextalFileUtilTest, LimitedVariantRefusesHighRates)
{
    const struct
    {
        const char* name;
        Bytes content;
        bool limitedOpens;
    } cases[] = {
        {"r96.wav", Wav(96000), true},      {"r176.wav", Wav(176400), false},
        {"r192.wav", Wav(192000), false},   {"r192.aif", AifcSowt(192000), false},
        {"r44.aif", AifcSowt(44100), true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::wstring path = Write(c.name, c.content);
        std::unique_ptr<CAudioFileReadBase> any(
            VextalFileUtil::CreateAudioFileReadObjectNoLimit(path.c_str(), true));
        EXPECT_NE(any, nullptr);
        std::unique_ptr<CAudioFileReadBase> limited(
            VextalFileUtil::CreateAudioFileReadObject(path.c_str(), true));
        EXPECT_EQ(limited != nullptr, c.limitedOpens);
    }
}

// Compressed files through the decoder; lossless ones are refused by the
// limited variant.
TEST_F(VextalFileUtilTest, CompressedFiles)
{
    if (!rifftest::HaveTool("ffmpeg") || !CQuickTimeFileRead::IsQuickTimeInstalled())
        GTEST_SKIP() << "ffmpeg and the decoder libraries are needed";
    const std::string dir = m_folder.Path().string() + "/";
    const struct
    {
        const char* name;
        std::string codec;
        const char* formatId;
        bool limitedOpens;
    } cases[] = {
        {"aac.m4a", "-c:a aac -b:a 128k", "AAC", true},
        {"AAC.M4A", "-c:a aac -b:a 128k", "AAC", true},
        {"song.mp3", "-c:a libmp3lame -b:a 128k", "MP3", true},
        {"alac.m4a", "-c:a alac", "ALAC", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(RunFfmpeg(Tone(44100) + " " + c.codec + " '" + dir + c.name + "'"));
        const std::wstring path = Wide(m_folder / c.name);
        std::unique_ptr<CAudioFileReadBase> any(
            VextalFileUtil::CreateAudioFileReadObjectNoLimit(path.c_str(), true));
        ASSERT_NE(any, nullptr);
        EXPECT_EQ(typeid(*any), typeid(CQuickTimeFileRead));
        EXPECT_STREQ(any->GetFormatUniqueID(), c.formatId);
        std::unique_ptr<CAudioFileReadBase> limited(
            VextalFileUtil::CreateAudioFileReadObject(path.c_str(), true));
        EXPECT_EQ(limited != nullptr, c.limitedOpens);
    }

    // A compressed file without an extension is found by content.
    std::filesystem::copy_file(m_folder / "song.mp3", m_folder / "song");
    std::unique_ptr<CAudioFileReadBase> bare(
        VextalFileUtil::CreateAudioFileReadObject(Wide(m_folder / "song").c_str(), true));
    ASSERT_NE(bare, nullptr);
    EXPECT_STREQ(bare->GetFormatUniqueID(), "MP3");
    // The extension of a decodable file decides: a ".wav" holding MP3 is not
    // handed to the decoder.
    std::filesystem::copy_file(m_folder / "song.mp3", m_folder / "mp3.wav");
    EXPECT_EQ(VextalFileUtil::CreateAudioFileReadObject(Wide(m_folder / "mp3.wav").c_str(), true), nullptr);
}

// Disc images named by their cue sheet, their tracks, and ".cda" pointers.
TEST_F(VextalFileUtilTest, AudioCdPaths)
{
    cdtest::Image image;
    image.tracks = {{"AUDIO", 0, -1, "First"}, {"AUDIO", 100, -1, "Second"}};
    image.sectors = 150;
    image.title = "Album";
    const std::filesystem::path cue = cdtest::WriteImage(m_folder.Path(), "disc", image);

    // The volume path ends in ".cue" yet is a CD.
    std::unique_ptr<CAudioFileReadBase> disc(
        VextalFileUtil::CreateAudioFileReadObject(Wide(cue).c_str(), false));
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(typeid(*disc), typeid(CAudioCDRead));
    EXPECT_STREQ(disc->GetFormatUniqueID(), "CD");
    EXPECT_EQ(disc->GetNumSamples(), 150 * cdtest::kFramesPerSector);
    EXPECT_EQ(Text(disc.get(), CAudioMetaData::kAlbum), L"Album");

    // noCdText leaves the song information empty.
    std::unique_ptr<CAudioFileReadBase> plain(
        VextalFileUtil::CreateAudioFileReadObject(Wide(cue).c_str(), true));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(Text(plain.get(), CAudioMetaData::kAlbum), L"");

    // A track path has no extension.
    const std::wstring track = Wide(cue) + L"/Track 02";
    std::unique_ptr<CAudioFileReadBase> second(
        VextalFileUtil::CreateAudioFileReadObject(track.c_str(), true));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetNumSamples(), 50 * cdtest::kFramesPerSector);

    // A cue sheet whose image is missing opens nothing.
    std::filesystem::remove(m_folder / "disc.bin");
    EXPECT_EQ(VextalFileUtil::CreateAudioFileReadObject(Wide(cue).c_str(), true), nullptr);
    cdtest::WriteImage(m_folder.Path(), "disc", image);

    // A ".cda" pointer to track 2 (sector 100), with and without its
    // extension: without, every other reader refuses it first. It always
    // reads CD-Text.
    Bytes fmt(24, 0);
    fmt[0] = 1;
    fmt[2] = 2;
    fmt[8] = 100;
    const Bytes cda = rifftest::Riff({rifftest::Chunk("fmt ", fmt)}, "CDDA");
    for (const char* name : {"Track02.cda", "Track02"})
    {
        SCOPED_TRACE(name);
        const std::wstring path = Write(name, cda);
        std::unique_ptr<CAudioFileReadBase> reader(
            VextalFileUtil::CreateAudioFileReadObject(path.c_str(), true));
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(typeid(*reader), typeid(CCdaFileRead));
        EXPECT_EQ(reader->GetNumSamples(), 50 * cdtest::kFramesPerSector);
        EXPECT_EQ(Text(reader.get(), CAudioMetaData::kTitle), L"Second");
    }
}

// Writers by id: each returned writer is open and its file reads back.
TEST_F(VextalFileUtilTest, WriterById)
{
    const bool haveAac = CQuickTimeFileRead::IsQuickTimeInstalled();
    const struct
    {
        const char* id;
        const char* formatId; // null: no writer
        uint16_t bits;
    } cases[] = {
        {"wav", "WAV", 16},   {"WAVE", "WAV", 24}, {"aif", "AIFF", 16},   {"AIFF", "AIFF", 24},
        {"aac", "AAC", 24},   {"AAC", "AAC", 24},  {"mp3", nullptr, 16},  {"alac", nullptr, 16},
        {"ogg", nullptr, 16}, {"", nullptr, 16},   {"wav ", nullptr, 16},
    };
    int n = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.id);
        if (c.formatId != nullptr && std::string(c.formatId) == "AAC" && !haveAac)
            continue;
        const std::wstring ext = VextalFileUtil::FormatUniqueIDToFileExtension(c.id);
        const std::filesystem::path path =
            m_folder / ("out" + std::to_string(n++) + (ext.empty() ? ".x" : ""));
        const std::wstring target = Wide(path) + ext;
        std::unique_ptr<CAudioFileWriteBase> writer(
            VextalFileUtil::CreateAudioFileWriteObject(target.c_str(), c.id, 44100, c.bits, 2, 0));
        if (c.formatId == nullptr)
        {
            EXPECT_EQ(writer, nullptr);
            EXPECT_TRUE(rifftest::FolderEntries(m_folder.Path()).empty());
            continue;
        }
        ASSERT_NE(writer, nullptr);
        EXPECT_TRUE(writer->IsFileOpen());
        EXPECT_STREQ(writer->GetFormatUniqueID(), c.formatId);
        std::vector<float> left(4410), right(4410);
        for (size_t i = 0; i < left.size(); ++i)
            left[i] = right[i] = 0.5f * std::sin(static_cast<float>(i) * 0.0627f);
        float* bufs[2] = {left.data(), right.data()};
        EXPECT_EQ(writer->WriteAudioData(bufs, 4410), 4410u);
        EXPECT_TRUE(writer->CloseFile());
        writer.reset();

        std::unique_ptr<CAudioFileReadBase> reader(
            VextalFileUtil::CreateAudioFileReadObject(target.c_str(), true));
        ASSERT_NE(reader, nullptr);
        EXPECT_STREQ(reader->GetFormatUniqueID(), c.formatId);
        EXPECT_EQ(reader->GetSampleRate(), 44100u);
        EXPECT_EQ(reader->GetNumChannels(), 2u);
        EXPECT_EQ(reader->GetNumSamples(), 4410);
        reader.reset();
        std::filesystem::remove(target);
    }

    // A writer that cannot open is destroyed and creates nothing.
    const std::wstring missing = Wide(m_folder / "no folder" / "out.wav");
    EXPECT_EQ(VextalFileUtil::CreateAudioFileWriteObject(missing.c_str(), "wav", 44100, 16, 2, 0), nullptr);
    const std::wstring aiff = Wide(m_folder / "rate.aif");
    EXPECT_EQ(VextalFileUtil::CreateAudioFileWriteObject(aiff.c_str(), "aiff", 22050, 16, 2, 0), nullptr);
    EXPECT_EQ(VextalFileUtil::CreateAudioFileWriteObject(L"", "wav", 44100, 16, 2, 0), nullptr);
    EXPECT_EQ(VextalFileUtil::CreateAudioFileWriteObject(aiff.c_str(), nullptr, 44100, 16, 2, 0), nullptr);
    EXPECT_TRUE(rifftest::FolderEntries(m_folder.Path()).empty());
}

TEST(VextalFileUtilTables, FormatIdToExtension)
{
    const struct
    {
        const char* id;
        const wchar_t* ext;
    } cases[] = {
        {"WAV", L".wav"},    {"wave", L".wav"},  {"BWF", L".wav"},   {"aif", L".aif"}, {"AIFF", L".aif"},
        {"dsdiff", L".dff"}, {"DFF", L".dff"},   {"dsf", L".dsf"},   {"wsd", L".wsd"}, {"FLAC", L".flac"},
        {"wma", L".wma"},    {"WMA-L", L".wma"}, {"wma-p", L".wma"}, {"MP3", L".mp3"}, {"aac", L".m4a"},
        {"ALAC", L".m4a"},   {"CD", L""},        {"ogg", L""},       {"", L""},        {nullptr, L""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.id != nullptr ? c.id : "(null)");
        wchar_t out[8];
        std::fill(std::begin(out), std::end(out), L'#');
        EXPECT_EQ(VextalFileUtil::FormatUniqueIDToFileExtension(c.id, out, 8), out);
        EXPECT_STREQ(out, c.ext);
        EXPECT_EQ(VextalFileUtil::FormatUniqueIDToFileExtension(c.id), c.ext);
    }

    // A short buffer keeps the terminator; a size of 0 writes nothing.
    wchar_t small[4] = {L'#', L'#', L'#', L'#'};
    VextalFileUtil::FormatUniqueIDToFileExtension("flac", small, 4);
    EXPECT_STREQ(small, L".fl");
    wchar_t none[1] = {L'#'};
    VextalFileUtil::FormatUniqueIDToFileExtension("wav", none, 0);
    EXPECT_EQ(none[0], L'#');
}

TEST(VextalFileUtilTables, CanEmbedPicture)
{
    EXPECT_TRUE(VextalFileUtil::CanEmbedPicture("AIFF"));
    EXPECT_TRUE(VextalFileUtil::CanEmbedPicture("aif"));
    for (const char* id : {"wav", "WAVE", "aac", "mp3", "alac", "", "aiffx"})
        EXPECT_FALSE(VextalFileUtil::CanEmbedPicture(id)) << id;
    EXPECT_FALSE(VextalFileUtil::CanEmbedPicture(nullptr));
}

TEST(VextalFileUtilTables, WriterOptions)
{
    using R = std::vector<uint32_t>;
    using U = std::vector<uint16_t>;
    using Q = std::vector<int>;
    const R pcmRates = {44100, 48000, 88200, 96000, 176400, 192000};
    const Q stereoAac = {64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000, 256000, 320000};
    const Q monoAac = {32000,  40000,  48000,  56000,  64000,  80000, 96000,
                       112000, 128000, 160000, 192000, 224000, 256000};
    const struct
    {
        const char* id;
        uint16_t channels;
        U numChannels;
        U bits;
        R rates;
        Q quality;
    } cases[] = {
        {"wav", 2, {1, 2}, {16, 24, 32}, pcmRates, {}},
        {"WAVE", 1, {1, 2}, {16, 24, 32}, pcmRates, {}},
        {"aiff", 2, {1, 2}, {16, 24}, pcmRates, {}},
        {"AIF", 1, {1, 2}, {16, 24}, pcmRates, {}},
        {"aac", 2, {1, 2}, {24}, {44100, 48000}, stereoAac},
        {"AAC", 1, {1, 2}, {24}, {44100, 48000}, monoAac},
        {"aac", 6, {1, 2}, {24}, {44100, 48000}, stereoAac},
        // Formats without a writer are offered nothing.
        {"mp3", 2, {}, {}, {}, {}},
        {"alac", 2, {}, {}, {}, {}},
        {"ogg", 2, {}, {}, {}, {}},
        {"", 2, {}, {}, {}, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.id) + " " + std::to_string(c.channels));
        EXPECT_EQ(VextalFileUtil::GetPossibleNumChannels(c.id), c.numChannels);
        EXPECT_EQ(VextalFileUtil::GetPossibleBitsPerSamples(c.id, c.channels, 44100), c.bits);
        EXPECT_EQ(VextalFileUtil::GetPossibleSampleRates(c.id, c.channels), c.rates);
        EXPECT_EQ(VextalFileUtil::GetPossibleQualityOptions(c.id, c.channels, 44100, 24), c.quality);
    }
    EXPECT_TRUE(VextalFileUtil::GetPossibleNumChannels(nullptr).empty());
}

// The reader matches the tag's version.
TEST_F(VextalFileUtilTest, ID3v2ReaderByVersion)
{
    const auto tag = [](uint8_t major)
    {
        // A tag of one title frame behind 4 bytes of something else.
        Bytes b = {'x', 'x', 'x', 'x', 'I', 'D', '3', major, 0, 0};
        Bytes frame;
        if (major == 2)
            frame = {'T', 'T', '2', 0, 0, 3, 0, 'H', 'i'};
        else
            frame = {'T', 'I', 'T', '2', 0, 0, 0, 3, 0, 0, 0, 'H', 'i'};
        b.insert(b.end(), {0, 0, 0, static_cast<uint8_t>(frame.size())});
        b.insert(b.end(), frame.begin(), frame.end());
        return b;
    };
    const struct
    {
        uint8_t major;
        const std::type_info* reader;
    } cases[] = {{2, &typeid(CID3v2Read)}, {3, &typeid(CID3v2_3Read)}, {4, &typeid(CID3v2_4Read)}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.major));
        const std::wstring path = Write("tag" + std::to_string(c.major), tag(c.major));
        std::unique_ptr<CID3v2Read> reader(VextalFileUtil::CreateID3v2ReadObject(path.c_str(), 4));
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(typeid(*reader), *c.reader);
        EXPECT_EQ(reader->GetID3v2Version() >> 8, c.major);
        EXPECT_EQ(VextalFileUtil::CreateID3v2ReadObject(path.c_str(), 0), nullptr);
    }
    EXPECT_EQ(VextalFileUtil::CreateID3v2ReadObject(Wide(m_folder / "missing").c_str(), 0), nullptr);
}

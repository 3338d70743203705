#include "common/file/CAudioFileAttachedPictureRead.h"
#include "common/file/CImageFileReadBase.h"
#include "common/file/CJpegFileRead.h"
#include "common/file/CPngFileRead.h"
#include "common/file/VextalFileUtil.h"

#include "common/file/CAiffFileWrite.h"
#include "common/file/CQuickTimeFileRead.h"

#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

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
// Picture files are never decoded: a signature and some bytes will do.
Bytes Jpeg(size_t size, uint8_t marker = 0xE0)
{
    Bytes b = {0xFF, 0xD8, 0xFF, marker, 0x00, 0x10, 'J', 'F', 'I', 'F'};
    while (b.size() < size)
        b.push_back(static_cast<uint8_t>(b.size() * 13));
    b.resize(size);
    return b;
}

Bytes Png(size_t size, uint8_t first = 0x89)
{
    Bytes b = {first, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    while (b.size() < size)
        b.push_back(static_cast<uint8_t>(b.size() * 7));
    b.resize(size);
    return b;
}

Bytes Loaded(CImageFileReadBase& reader)
{
    const uint8_t* p = reader.GetImagePtr();
    return p == nullptr ? Bytes() : Bytes(p, p + reader.GetLoadedImageSize());
}

bool RunFfmpeg(const std::string& args)
{
    const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// A short stereo AIFF file; its song information names picture when given.
bool WriteAiff(const std::filesystem::path& path, const std::filesystem::path& picture)
{
    CAiffFileWrite w;
    if (w.OpenFile(Wide(path).c_str(), 44100, 16, 2, 0) != 0)
        return false;
    if (!picture.empty())
        w.GetMetaDataPtr()->SetAttachedPicture(Wide(picture).c_str());
    std::vector<int32_t> left(1000, 1 << 20), right(1000, -(1 << 20));
    int32_t* bufs[2] = {left.data(), right.data()};
    return w.WriteAudioData(bufs, 1000) == 1000 && w.CloseFile();
}

class CImageFileReadTest : public rifftest::FolderTest
{
};
} // namespace

// The factory picks the reader by extension, and the reader checks the
// content; the bytes loaded are the file's.
TEST_F(CImageFileReadTest, PictureFilesByExtensionAndContent)
{
    const struct
    {
        const char* name;
        Bytes content;
        const std::type_info* reader; // null: refused
    } cases[] = {
        {"a.jpg", Jpeg(300), &typeid(CJpegFileRead)},
        {"b.JPEG", Jpeg(301, 0xE1), &typeid(CJpegFileRead)},
        // A JPEG that begins with any other segment is a picture as well.
        {"quant.jpg", Jpeg(302, 0xDB), &typeid(CJpegFileRead)},
        {"frame.jpg", Jpeg(303, 0xC0), &typeid(CJpegFileRead)},
        {"jpeg-no-extension", Jpeg(304), &typeid(CJpegFileRead)},
        {"c.png", Png(500), &typeid(CPngFileRead)},
        {"d.PNG", Png(501), &typeid(CPngFileRead)},
        // Only bytes 1-3 of a PNG signature are tested.
        {"damaged.png", Png(502, 0x00), &typeid(CPngFileRead)},
        {"png-no-extension", Png(503), &typeid(CPngFileRead)},
        // The extension decides which readers are asked.
        {"png-content.jpg", Png(504), nullptr},
        {"jpeg-content.png", Jpeg(505), nullptr},
        {"e.gif", Jpeg(506), nullptr},
        // Not JPEG: a file of 9 bytes, no marker after FF D8 FF, no start of image.
        {"nine.jpg", Jpeg(9), nullptr},
        {"no-marker.jpg", Bytes{0xFF, 0xD8, 0xFF, 0x00, 1, 2, 3, 4, 5, 6, 7}, nullptr},
        {"fill.jpg", Bytes{0xFF, 0xD8, 0x00, 0xE0, 1, 2, 3, 4, 5, 6, 7}, nullptr},
        {"three.png", Png(3), nullptr},
        {"empty.jpg", Bytes(), nullptr},
        {"text", rifftest::Text("just some text"), nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::wstring path = Write(c.name, c.content);
        std::unique_ptr<CImageFileReadBase> reader(VextalFileUtil::CreateImageFileReadObject(path.c_str()));
        if (c.reader == nullptr)
        {
            EXPECT_EQ(reader, nullptr);
            continue;
        }
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(typeid(*reader), *c.reader);
        EXPECT_EQ(reader->GetImageSize(), c.content.size());
        EXPECT_EQ(reader->GetImagePtr(), nullptr);
        EXPECT_EQ(reader->LoadImage(), c.content.size());
        EXPECT_EQ(Loaded(*reader), c.content);
    }
    EXPECT_EQ(VextalFileUtil::CreateImageFileReadObject(Wide(m_folder / "missing.jpg").c_str()), nullptr);
    EXPECT_EQ(VextalFileUtil::CreateImageFileReadObject(L""), nullptr);
    EXPECT_EQ(VextalFileUtil::CreateImageFileReadObject(nullptr), nullptr);
}

// The readers themselves: a refused file leaves the reader closed; loading
// again replaces what was loaded; closing frees it.
TEST_F(CImageFileReadTest, ReaderLifecycle)
{
    const Bytes first = Jpeg(1000);
    const Bytes second = Jpeg(2000, 0xE1);
    const std::wstring firstPath = Write("first.jpg", first);
    const std::wstring secondPath = Write("second.jpg", second);

    CJpegFileRead jpeg;
    EXPECT_EQ(jpeg.GetImageSize(), 0u);
    EXPECT_EQ(jpeg.LoadImage(), 0u);
    ASSERT_EQ(jpeg.OpenFile(firstPath.c_str()), 0);
    EXPECT_EQ(jpeg.LoadImage(), 1000u);
    EXPECT_EQ(jpeg.LoadImage(), 1000u);
    EXPECT_EQ(Loaded(jpeg), first);

    // Opening another file drops the first one's bytes.
    ASSERT_EQ(jpeg.OpenFile(secondPath.c_str()), 0);
    EXPECT_EQ(jpeg.GetImagePtr(), nullptr);
    EXPECT_EQ(jpeg.LoadImage(), 2000u);
    EXPECT_EQ(Loaded(jpeg), second);

    // A refused file leaves nothing open.
    EXPECT_EQ(jpeg.OpenFile(Write("png.jpg", Png(100)).c_str()), 2);
    EXPECT_EQ(jpeg.GetImagePtr(), nullptr);
    EXPECT_EQ(jpeg.GetImageSize(), 0u);
    EXPECT_EQ(jpeg.LoadImage(), 0u);

    // The size follows the file: one cut short after opening loads what is
    // left, whole.
    ASSERT_EQ(jpeg.OpenFile(firstPath.c_str()), 0);
    std::filesystem::resize_file(m_folder / "first.jpg", 600);
    EXPECT_EQ(jpeg.GetImageSize(), 600u);
    EXPECT_EQ(jpeg.LoadImage(), 600u);
    EXPECT_EQ(Loaded(jpeg), Bytes(first.begin(), first.begin() + 600));
    jpeg.CloseFile();
    EXPECT_EQ(jpeg.GetImagePtr(), nullptr);

    CPngFileRead png;
    EXPECT_EQ(png.OpenFile(firstPath.c_str()), 2);
    EXPECT_EQ(png.OpenFile(Wide(m_folder / "missing.png").c_str()), 2);
    EXPECT_EQ(png.OpenFile(nullptr), 2);
}

// Pictures above 16 MiB are not read.
TEST_F(CImageFileReadTest, OversizedPicture)
{
    const uint32_t cap = CImageFileReadBase::kMaxImageSize;
    EXPECT_EQ(cap, 16u * 1024 * 1024);
    for (const uint64_t size : {static_cast<uint64_t>(cap), static_cast<uint64_t>(cap) + 1})
    {
        SCOPED_TRACE(size);
        const std::wstring path = Write("big.png", Png(64));
        std::filesystem::resize_file(m_folder / "big.png", size);
        std::unique_ptr<CImageFileReadBase> reader(VextalFileUtil::CreateImageFileReadObject(path.c_str()));
        ASSERT_NE(reader, nullptr);
        const uint32_t expected = size <= cap ? static_cast<uint32_t>(size) : 0;
        EXPECT_EQ(reader->GetImageSize(), expected);
        EXPECT_EQ(reader->LoadImage(), expected);
        EXPECT_EQ(reader->GetImagePtr() != nullptr, expected != 0);
    }
}

// The front cover of an AIFF file, embedded by the AIFF writer, reads back
// byte for byte; a file without one opens with no picture.
TEST_F(CImageFileReadTest, PictureEmbeddedInAiff)
{
    const Bytes cover = Png(20001);
    Write("cover.png", cover);
    ASSERT_TRUE(WriteAiff(m_folder / "with.aif", m_folder / "cover.png"));
    ASSERT_TRUE(WriteAiff(m_folder / "without.aiff", {}));
    const std::wstring with = Wide(m_folder / "with.aif");

    CAudioFileAttachedPictureRead reader;
    EXPECT_EQ(reader.GetImageSize(), 0u);
    ASSERT_EQ(reader.OpenFile(with.c_str()), 0);
    EXPECT_EQ(reader.GetImageSize(), cover.size());
    EXPECT_EQ(reader.LoadImage(), cover.size());
    EXPECT_EQ(Loaded(reader), cover);
    EXPECT_EQ(reader.LoadImage(), cover.size());
    EXPECT_EQ(Loaded(reader), cover);

    // The factory asks the embedded-picture reader first.
    std::unique_ptr<CImageFileReadBase> made(VextalFileUtil::CreateImageFileReadObject(with.c_str()));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(typeid(*made), typeid(CAudioFileAttachedPictureRead));
    EXPECT_EQ(made->LoadImage(), cover.size());
    EXPECT_EQ(Loaded(*made), cover);

    ASSERT_EQ(reader.OpenFile(Wide(m_folder / "without.aiff").c_str()), 0);
    EXPECT_EQ(reader.GetImagePtr(), nullptr);
    EXPECT_EQ(reader.GetImageSize(), 0u);
    EXPECT_EQ(reader.LoadImage(), 0u);
    EXPECT_EQ(reader.GetImagePtr(), nullptr);

    // A WAV file is never asked for a picture.
    const Bytes wav = rifftest::Riff(
        {rifftest::Chunk("fmt ", rifftest::FmtBody(1, 2, 44100, 16)), rifftest::Chunk("data", Bytes(400))});
    EXPECT_EQ(reader.OpenFile(Write("song.wav", wav).c_str()), 2);
    EXPECT_EQ(reader.GetImageSize(), 0u);
    EXPECT_EQ(VextalFileUtil::CreateImageFileReadObject(Wide(m_folder / "song.wav").c_str()), nullptr);

    // A file cut short inside its picture: the picture's size is limited to
    // the bytes the file still holds, and only those are read.
    const uint64_t full = std::filesystem::file_size(m_folder / "with.aif");
    std::filesystem::copy_file(m_folder / "with.aif", m_folder / "cut.aif");
    std::filesystem::resize_file(m_folder / "cut.aif", full - 5000);
    CAudioFileAttachedPictureRead cut;
    ASSERT_EQ(cut.OpenFile(Wide(m_folder / "cut.aif").c_str()), 0);
    const uint32_t size = cut.GetImageSize();
    EXPECT_LT(size, cover.size() - 4000);
    EXPECT_EQ(cut.LoadImage(), size);
    EXPECT_EQ(Loaded(cut), Bytes(cover.begin(), cover.begin() + size));
}

// The covers of compressed files, as ffmpeg attaches them.
TEST_F(CImageFileReadTest, PictureEmbeddedInCompressedFiles)
{
    if (!rifftest::HaveTool("ffmpeg") || !CQuickTimeFileRead::IsQuickTimeInstalled())
        GTEST_SKIP() << "ffmpeg and the decoder libraries are needed";
    const std::string dir = m_folder.Path().string() + "/";
    ASSERT_TRUE(RunFfmpeg("-f lavfi -i color=c=red:s=16x16 -frames:v 1 '" + dir + "cover.png'"));
    ASSERT_TRUE(RunFfmpeg("-f lavfi -i color=c=blue:s=16x16 -frames:v 1 '" + dir + "cover.jpg'"));
    const std::string tone = "-f lavfi -i 'sine=frequency=440:sample_rate=44100:duration=1' ";
    const struct
    {
        const char* name;
        const char* codec;
        const char* cover; // null: no cover
    } cases[] = {
        {"png.mp3", "-c:a libmp3lame -id3v2_version 3", "cover.png"},
        {"jpeg.mp3", "-c:a libmp3lame -id3v2_version 3", "cover.jpg"},
        {"png.m4a", "-c:a aac", "cover.png"},
        {"jpeg.m4a", "-c:a aac", "cover.jpg"},
        {"plain.mp3", "-c:a libmp3lame", nullptr},
        {"plain.m4a", "-c:a aac", nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::string args = tone;
        if (c.cover != nullptr)
            args += "-i '" + dir + c.cover + "' -map 0 -map 1 -c:v copy -disposition:v attached_pic ";
        ASSERT_TRUE(RunFfmpeg(args + c.codec + " '" + dir + c.name + "'"));

        std::unique_ptr<CImageFileReadBase> reader(
            VextalFileUtil::CreateImageFileReadObject(Wide(m_folder / c.name).c_str()));
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(typeid(*reader), typeid(CAudioFileAttachedPictureRead));
        const Bytes expected = c.cover != nullptr ? rifftest::ReadBytes(m_folder / c.cover) : Bytes();
        EXPECT_EQ(reader->GetImageSize(), expected.size());
        EXPECT_EQ(reader->LoadImage(), expected.size());
        EXPECT_EQ(Loaded(*reader), expected);
    }
}

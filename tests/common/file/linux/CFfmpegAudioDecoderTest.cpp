#include "common/file/linux/CFfmpegAudioDecoder.h"

#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace
{
// The decoder reads regular files only, and opens them without waiting: a
// FIFO (whose open waited for a writer for good) and a link to an endless
// device (read by the demuxer until memory ran out) are refused as files
// that cannot be opened, named like the songs they stand for.
TEST(CFfmpegAudioDecoder, SpecialFilesAreRefusedUnread)
{
    if (!CFfmpegAudioDecoder::Initialise())
        GTEST_SKIP() << "the platform decoder is missing";
    const rifftest::TempFolder dir;
    const std::string fifo = (dir / "fifo.mp3").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = (dir / "zero.m4a").string();
    std::filesystem::create_symlink("/dev/zero", zero);
    for (const std::string& path : {fifo, zero, dir.Path().string()})
    {
        SCOPED_TRACE(path);
        CFfmpegAudioDecoder decoder;
        EXPECT_EQ(decoder.Open(path.c_str()), CFfmpegAudioDecoder::kCannotOpen);
        EXPECT_FALSE(decoder.IsOpen());
    }
}
} // namespace

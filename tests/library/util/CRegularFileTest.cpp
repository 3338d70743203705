#include "library/util/CRegularFile.h"

#include "tests/support/OpenWatchdog.h"
#include "tests/support/SpecialFiles.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;
using vxtest::ESpecialFile;

namespace
{
void WriteText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class CRegularFileTest : public ::testing::Test
{
protected:
    vxtest::TempFolder m_folder{"vxregular"};
};

// Every way in refuses a file that is not a regular file, at once and
// without reading from it: a FIFO without a writer, endless devices behind
// links, and folders. A refused file reads as a missing one.
TEST_F(CRegularFileTest, SpecialFilesAreRefusedAtOnce)
{
    for (const ESpecialFile kind : vxtest::AllSpecialFiles())
    {
        SCOPED_TRACE(vxtest::SpecialFileName(kind));
        const fs::path path = m_folder / "special";
        ASSERT_TRUE(vxtest::MakeSpecialFile(kind, path));
        vxtest::OpenWatchdog watchdog({path.string()});

        EXPECT_FALSE(CRegularFile::IsRegular(path.string()));
        errno = 0;
        EXPECT_EQ(CRegularFile::OpenForReading(path.string()), -1);
        EXPECT_EQ(errno, EINVAL);
        std::string out = "left over";
        EXPECT_FALSE(CRegularFile::ReadAll(path.string(), 1 << 20, out));
        EXPECT_TRUE(out.empty());

        watchdog.Finish();
        fs::remove(path);
    }
}

TEST_F(CRegularFileTest, MissingFilesAndEmptyPathsAreRefused)
{
    const std::string missing = (m_folder / "missing").string();
    std::string out;
    EXPECT_FALSE(CRegularFile::IsRegular(missing));
    EXPECT_EQ(CRegularFile::OpenForReading(missing), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(CRegularFile::ReadAll(missing, 100, out));
    EXPECT_FALSE(CRegularFile::IsRegular(""));
    EXPECT_EQ(CRegularFile::OpenForReading(""), -1);
    EXPECT_EQ(CRegularFile::OpenForReading(nullptr), -1);
}

// A regular file, directly or through a link, opens as a blocking descriptor
// and reads whole.
TEST_F(CRegularFileTest, RegularFilesAndLinksToThemAreRead)
{
    const fs::path file = m_folder / "file.txt";
    const fs::path link = m_folder / "link.txt";
    WriteText(file, "twelve bytes");
    fs::create_symlink(file, link);
    for (const fs::path& path : {file, link})
    {
        SCOPED_TRACE(path.string());
        EXPECT_TRUE(CRegularFile::IsRegular(path.string()));
        const int fd = CRegularFile::OpenForReading(path.string());
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
        ::close(fd);
        std::string out;
        EXPECT_TRUE(CRegularFile::ReadAll(path.string(), 12, out));
        EXPECT_EQ(out, "twelve bytes");
    }
}

// The limit counts the bytes in the file: one byte over it is refused.
TEST_F(CRegularFileTest, ReadAllRefusesAFileOverItsLimit)
{
    const fs::path file = m_folder / "file.txt";
    WriteText(file, std::string(100000, 'x'));
    std::string out;
    EXPECT_TRUE(CRegularFile::ReadAll(file.string(), 100000, out));
    EXPECT_EQ(out.size(), 100000u);
    EXPECT_FALSE(CRegularFile::ReadAll(file.string(), 99999, out));
    EXPECT_TRUE(out.empty());
    WriteText(file, "");
    EXPECT_TRUE(CRegularFile::ReadAll(file.string(), 0, out));
    EXPECT_TRUE(out.empty());
}

// Regular files whose reported size is 0 while they hold more (the kernel's
// files under /proc) are read to their end, and the limit holds for what was
// read, not for the reported size.
TEST_F(CRegularFileTest, ReadAllCountsTheBytesReadNotTheReportedSize)
{
    const char* const path = "/proc/self/maps";
    ASSERT_TRUE(CRegularFile::IsRegular(path));
    ASSERT_EQ(fs::file_size(path), 0u);
    std::string out;
    ASSERT_TRUE(CRegularFile::ReadAll(path, 64 << 20, out));
    EXPECT_GT(out.size(), 100u);
    EXPECT_NE(out.find('\n'), std::string::npos);
    EXPECT_FALSE(CRegularFile::ReadAll(path, 100, out));
    EXPECT_TRUE(out.empty());
}
} // namespace

#include "common/file/CBinaryFile64.h"

#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using rifftest::Bytes;
using rifftest::Chunk;
using rifftest::Text;

namespace
{
// A file of a 12-byte RIFF header and the given chunks.
Bytes RiffFile(std::initializer_list<Bytes> chunks)
{
    return rifftest::Riff(chunks, "TEST");
}
} // namespace

TEST(CBinaryFile64, ChunkSearchSkipsPadsStepsOverEmptyChunksAndClampsSizes)
{
    rifftest::TempFolder folder;
    const Bytes target = Chunk("want", Text("body"));
    // A body of 65 bytes: its size begins with a printable byte, "A".
    Bytes longBody = Text("body");
    longBody.resize(65, 'x');
    const Bytes longTarget = Chunk("want", longBody);
    struct Case
    {
        const char* name;
        Bytes file;
        int64_t range;
        int64_t expectedPos; // -1: not found
        uint32_t expectedLength;
    };
    const Case cases[] = {
        {"first chunk", RiffFile({target}), -1, 12, 12},
        {"behind a padded odd chunk", RiffFile({Chunk("odd ", Text("abc")), target}), -1, 24, 12},
        {"behind an unpadded odd chunk", RiffFile({Chunk("odd ", Text("abc"), false), target}), -1, 23, 12},
        {"behind an empty chunk", RiffFile({Chunk("empt", {}), target}), -1, 20, 12},
        {"size beginning with a letter, behind a padded odd chunk",
         RiffFile({Chunk("odd ", Text("abc")), longTarget}), -1, 24, 73},
        {"size beginning with a letter, behind an unpadded odd chunk",
         RiffFile({Chunk("odd ", Text("abc"), false), longTarget}), -1, 23, 73},
        {"size past the end is clamped", RiffFile({Chunk("want", Text("body"), true, 0x7FFFFFF0)}), -1, 12,
         12},
        {"size of 4 GiB is clamped", RiffFile({Chunk("want", Text("body"), true, 0xFFFFFFFF)}), -1, 12, 12},
        {"missing", RiffFile({Chunk("othr", Text("xy"))}), -1, -1, 0},
        {"header starts inside the range", RiffFile({Chunk("othr", Text("xy")), target}), 11, 22, 12},
        {"header starts at the range's end", RiffFile({Chunk("othr", Text("xy")), target}), 10, -1, 0},
        {"behind a chunk past the end", RiffFile({Chunk("big ", Text("xy"), true, 1000), target}), -1, -1, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto path = folder / "chunks.bin";
        rifftest::WriteBytes(path, c.file);
        CBinaryFile64 f(false);
        ASSERT_NE(f.Open(rifftest::Wide(path).c_str()), -1);
        f.Seek(12, SEEK_SET);
        EXPECT_EQ(f.FindChunk8("want", c.range), c.expectedLength);
        if (c.expectedPos < 0)
        {
            EXPECT_EQ(f.Tell(), 12);
            continue;
        }
        EXPECT_EQ(f.Tell(), c.expectedPos);
        // The position is on the identifier; its body follows the header.
        f.Jump(8);
        char body[4] = {};
        EXPECT_EQ(f.Read(body, 4), 4);
        EXPECT_EQ(std::string(body, 4), "body");
    }
}

TEST(CBinaryFile64, TypedChunkSearch)
{
    rifftest::TempFolder folder;
    const auto path = folder / "typed.bin";
    Bytes info = Text("INFO");
    info.push_back('x');
    rifftest::WriteBytes(path, RiffFile({Chunk("LIST", Text("adtlzz")), Chunk("LIST", {}),
                                         Chunk("LIST", Text("IN")), Chunk("LIST", info)}));
    CBinaryFile64 f(false);
    ASSERT_NE(f.Open(rifftest::Wide(path).c_str()), -1);
    f.Seek(12, SEEK_SET);
    EXPECT_EQ(f.FindChunk8WithType("LIST", "INFO", -1), 13u);
    EXPECT_EQ(f.Tell(), 12 + 14 + 8 + 10);
    f.Seek(12, SEEK_SET);
    EXPECT_EQ(f.FindChunk8WithType("LIST", "adtl", -1), 14u);
    EXPECT_EQ(f.Tell(), 12);
    f.Seek(12, SEEK_SET);
    EXPECT_EQ(f.FindChunk8WithType("LIST", "exif", -1), 0u);
    EXPECT_EQ(f.Tell(), 12);
}

TEST(CBinaryFile64, JumpStaysInsideTheFileAndOpenFailuresClearThePath)
{
    rifftest::TempFolder folder;
    const auto path = folder / "jump.bin";
    rifftest::WriteBytes(path, Bytes(100, 7));
    CBinaryFile64 f(false);
    ASSERT_NE(f.Open(rifftest::Wide(path).c_str()), -1);
    f.Seek(10, SEEK_SET);
    EXPECT_EQ(f.Jump(-100), 0);
    f.Seek(90, SEEK_SET);
    EXPECT_EQ(f.Jump(1000), 100);
    EXPECT_EQ(f.Close(), 0);

    for (const auto& bad : {folder / "missing.bin", folder.Path()})
    {
        CBinaryFile64 r(false);
        EXPECT_EQ(r.Open(rifftest::Wide(bad).c_str()), -1);
        EXPECT_STREQ(r.GetFileName(), L"");
    }
    CBinaryFile64 w(true);
    EXPECT_EQ(w.Open(rifftest::Wide(folder / "no-such-folder" / "x.bin").c_str()), -1);
    EXPECT_STREQ(w.GetFileName(), L"");
}

TEST(CBinaryFile64, WriterReplacesTheTargetOnlyWhenClosed)
{
    rifftest::TempFolder folder;
    const auto path = folder / "target.bin";
    rifftest::WriteBytes(path, Text("old contents"));

    {
        CBinaryFile64 w(true);
        ASSERT_NE(w.Open(rifftest::Wide(path).c_str()), -1);
        EXPECT_EQ(w.Write("new", 3), 3);
        EXPECT_EQ(w.WriteDataLittleEndian(0x04030201, 4), 4);
        EXPECT_EQ(rifftest::ReadBytes(path), Text("old contents"));
        w.Discard();
        EXPECT_FALSE(w.IsFileOpen());
    }
    EXPECT_EQ(rifftest::ReadBytes(path), Text("old contents"));
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), std::vector<std::string>{"target.bin"});

    CBinaryFile64 w(true);
    ASSERT_NE(w.Open(rifftest::Wide(path).c_str()), -1);
    w.Write("new", 3);
    w.WriteDataBigEndian(0x0102, 2);
    EXPECT_EQ(rifftest::ReadBytes(path), Text("old contents"));
    EXPECT_EQ(w.Close(), 0);
    EXPECT_EQ(rifftest::ReadBytes(path), (Bytes{'n', 'e', 'w', 1, 2}));
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), std::vector<std::string>{"target.bin"});
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0644));
}

TEST(CBinaryFile64, FailedWritesFailTheCloseAndKeepTheTarget)
{
    rifftest::TempFolder folder;
    const auto path = folder / "target.bin";
    rifftest::WriteBytes(path, Text("old contents"));
    {
        CBinaryFile64 w(true);
        ASSERT_NE(w.Open(rifftest::Wide(path).c_str()), -1);
        const Bytes big(100000, 1);
        {
            rifftest::FileSizeLimit full(4096);
            EXPECT_LT(w.Write(big.data(), static_cast<uint32_t>(big.size())), static_cast<int>(big.size()));
        }
        EXPECT_TRUE(w.WriteFailed());
        EXPECT_EQ(w.Close(), -1);
    }
    EXPECT_EQ(rifftest::ReadBytes(path), Text("old contents"));
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), std::vector<std::string>{"target.bin"});

    // The target's folder disappears before the file is finished.
    const auto sub = folder / "gone";
    std::filesystem::create_directory(sub);
    CBinaryFile64 w(true);
    ASSERT_NE(w.Open(rifftest::Wide(sub / "x.bin").c_str()), -1);
    w.Write("abc", 3);
    std::filesystem::remove_all(sub);
    EXPECT_EQ(w.Close(), -1);
    EXPECT_FALSE(std::filesystem::exists(sub));
}

// Only Close() replaces the target, keeping its permission bits: a writer
// destroyed or reopened before it leaves the old file, and so does one killed
// while it writes, with nothing left behind.
TEST(CBinaryFile64, OnlyCloseReplacesTheTarget)
{
    rifftest::TempFolder folder;
    const auto path = folder / "target.bin";
    rifftest::WriteBytes(path, Text("old contents"));
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    const std::vector<std::string> onlyTarget = {"target.bin"};
    const Bytes half(22050 * 4, 3);

    {
        CBinaryFile64 w(true);
        ASSERT_NE(w.Open(rifftest::Wide(path).c_str()), -1);
        EXPECT_EQ(w.Write(half.data(), static_cast<uint32_t>(half.size())), static_cast<int>(half.size()));
    }
    EXPECT_EQ(rifftest::ReadBytes(path), Text("old contents"));
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), onlyTarget);

    {
        CBinaryFile64 w(true);
        ASSERT_NE(w.Open(rifftest::Wide(path).c_str()), -1);
        w.Write(half.data(), static_cast<uint32_t>(half.size()));
        ASSERT_NE(w.Open(rifftest::Wide(folder / "other.bin").c_str()), -1);
        w.Discard();
    }
    EXPECT_EQ(rifftest::ReadBytes(path), Text("old contents"));
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), onlyTarget);

    EXPECT_TRUE(rifftest::KilledAfter(
        [&]
        {
            auto* w = new CBinaryFile64(true); // never destroyed: the process is killed
            return w->Open(rifftest::Wide(path).c_str()) != -1 &&
                   w->Write(half.data(), static_cast<uint32_t>(half.size())) == static_cast<int>(half.size());
        }));
    EXPECT_EQ(rifftest::ReadBytes(path), Text("old contents"));
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), onlyTarget);

    CBinaryFile64 w(true);
    ASSERT_NE(w.Open(rifftest::Wide(path).c_str()), -1);
    w.Write("new", 3);
    EXPECT_EQ(w.Close(), 0);
    EXPECT_EQ(rifftest::ReadBytes(path), Text("new"));
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0600));
}

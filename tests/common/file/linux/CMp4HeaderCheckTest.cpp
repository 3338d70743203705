#include "common/file/linux/CMp4HeaderCheck.h"

#include "common/file/CQuickTimeFileRead.h"
#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
using rifftest::Bytes;
using EVerdict = CMp4HeaderCheck::EVerdict;

Bytes Box(const char* type, const Bytes& payload)
{
    Bytes b;
    rifftest::PutBe32(b, static_cast<uint32_t>(payload.size() + 8));
    rifftest::PutID(b, type);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

// A full box: version and flags, then the 32-bit fields.
Bytes FullBox(const char* type, uint32_t versionAndFlags, const std::vector<uint32_t>& fields)
{
    Bytes payload;
    rifftest::PutBe32(payload, versionAndFlags);
    for (const uint32_t f : fields)
        rifftest::PutBe32(payload, f);
    return Box(type, payload);
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes b;
    for (const Bytes& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

// A file of a file-type box, a movie holding one track of the given sample
// tables, and 4000 bytes of media data.
Bytes FileWithTables(std::initializer_list<Bytes> tables)
{
    const Bytes stbl = Box("stbl", Concat(tables));
    const Bytes moov = Box("moov", Box("trak", Box("mdia", Box("minf", stbl))));
    return Concat({Box("ftyp", Bytes{'M', '4', 'A', ' ', 0, 0, 0, 0}), moov, Box("mdat", Bytes(4000, 0x55))});
}

EVerdict CheckBytes(const std::string& path, const Bytes& bytes)
{
    rifftest::WriteBytes(path, bytes);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return EVerdict::kUnreadable;
    const EVerdict verdict = CMp4HeaderCheck::Check(fd, st.st_size);
    ::close(fd);
    return verdict;
}

int64_t ThreadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Tables whose entries don't fit in their boxes, or that count more samples
// than the file has bytes, are refused before a demuxer builds an index of
// them; tables that fit pass, and so does a file that holds no boxes.
TEST(CMp4HeaderCheck, TablesThatPromiseMoreThanTheFileHoldsAreRefused)
{
    const rifftest::TempFolder dir;
    const std::string path = (dir / "tables.m4a").string();
    const struct
    {
        const char* name;
        Bytes bytes;
        EVerdict verdict;
    } cases[] = {
        {"sound tables",
         FileWithTables({FullBox("stts", 0, {1, 40, 1024}), FullBox("stsc", 0, {1, 1, 40, 1}),
                         FullBox("stsz", 0, {100, 40}), FullBox("stco", 0, {1, 100})}),
         EVerdict::kSound},
        {"a sample size per sample", FileWithTables({FullBox("stsz", 0, {0, 2, 100, 100})}),
         EVerdict::kSound},
        {"a track run of 40 samples",
         Concat({Box("ftyp", Bytes(8, 0)),
                 Box("moof", Box("traf", FullBox("trun", 0x100, std::vector<uint32_t>(41, 40)))),
                 Box("mdat", Bytes(4000, 0))}),
         EVerdict::kSound},
        {"more sizes than the box holds", FileWithTables({FullBox("stsz", 0, {0, 3, 100, 100})}),
         EVerdict::kImpossible},
        {"more samples of one size than bytes", FileWithTables({FullBox("stsz", 0, {90, 5000})}),
         EVerdict::kImpossible},
        {"more chunk offsets than the box holds", FileWithTables({FullBox("co64", 0, {1, 0})}),
         EVerdict::kImpossible},
        {"more time-to-sample entries than the box holds",
         FileWithTables({FullBox("stts", 0, {2, 40, 1024})}), EVerdict::kImpossible},
        {"more timed samples than bytes", FileWithTables({FullBox("stts", 0, {1, 0x7FFFFFFF, 1})}),
         EVerdict::kImpossible},
        {"more samples per chunk than bytes", FileWithTables({FullBox("stsc", 0, {1, 1, 1000000, 1})}),
         EVerdict::kImpossible},
        {"a track run of more samples than bytes",
         Concat({Box("ftyp", Bytes(8, 0)), Box("moof", Box("traf", FullBox("trun", 0, {0x02000001})))}),
         EVerdict::kImpossible},
        {"a track run whose sizes don't fit",
         Concat({Box("ftyp", Bytes(8, 0)), Box("moof", Box("traf", FullBox("trun", 0x100, {2, 40})))}),
         EVerdict::kImpossible},
        {"no boxes at all", Bytes{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0, 0xFF, 0xFB, 0x90, 0},
         EVerdict::kNotBoxes},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CheckBytes(path, c.bytes), c.verdict);
    }
}

// A movie header that runs past the end of the file was cut; media data
// that does is the ordinary cut file whose tables tell what is missing.
TEST(CMp4HeaderCheck, AMovieHeaderRunningPastTheEndIsCut)
{
    const rifftest::TempFolder dir;
    const std::string path = (dir / "cut.m4a").string();
    const Bytes whole = FileWithTables({FullBox("stsz", 0, {100, 40})});
    Bytes moovLast = Concat({Box("ftyp", Bytes(8, 0)), Box("mdat", Bytes(4000, 0)),
                             Box("moov", Box("trak", FullBox("stsz", 0, {100, 40})))});
    EXPECT_EQ(CheckBytes(path, moovLast), EVerdict::kSound);
    for (const size_t cut : {size_t{1}, size_t{8}, size_t{20}})
    {
        SCOPED_TRACE(cut);
        EXPECT_EQ(
            CheckBytes(path, Bytes(moovLast.begin(), moovLast.end() - static_cast<std::ptrdiff_t>(cut))),
            EVerdict::kCut);
        EXPECT_EQ(CheckBytes(path, Bytes(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut))),
                  EVerdict::kSound);
    }
}

// A header of 2 KB whose track fragment announces 33 million samples kept
// the demuxer building its index for seconds (minutes under load): it is
// refused before the demuxer reads it, for a small part of a second of CPU
// time (the bound is generous; the refusal takes well under a millisecond).
TEST(CMp4HeaderCheck, TheSlowHeaderIsRefusedAtOnce)
{
    const std::string fixture = std::string(VEXTAL_SOURCE_DIR) + "/tests/fixtures/slow-header.m4a";
    const int fd = ::open(fixture.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << fixture;
    struct stat st;
    ASSERT_EQ(::fstat(fd, &st), 0);
    EXPECT_EQ(CMp4HeaderCheck::Check(fd, st.st_size), EVerdict::kImpossible);
    ::close(fd);

    if (!CQuickTimeFileRead::IsAvailable())
        GTEST_SKIP() << "the platform decoder is missing";
    const int64_t before = ThreadCpuNs();
    CQuickTimeFileRead reader;
    EXPECT_EQ(reader.OpenFile(rifftest::Wide(fixture).c_str()), kAudioFileCannotOpen);
    EXPECT_LT(ThreadCpuNs() - before, 1'000'000'000);
}
} // namespace

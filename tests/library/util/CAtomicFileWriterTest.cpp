#include "library/util/CAtomicFileWriter.h"

#include "tests/common/file/RiffTestFiles.h"
#include "tests/support/ScopedUmask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using rifftest::Bytes;
using rifftest::TempFolder;
using Temporary = CAtomicFileWriter::ETemporary;

namespace
{
const Temporary kBothKinds[] = {Temporary::kUnnamedWherePossible, Temporary::kNamed};

const char* KindName(Temporary kind)
{
    return kind == Temporary::kNamed ? "named temporary" : "nameless temporary";
}

bool WriteText(CAtomicFileWriter& w, const std::string& text)
{
    return w.Write(text.data(), text.size());
}

std::string ReadText(const fs::path& p)
{
    const Bytes bytes = rifftest::ReadBytes(p);
    return std::string(bytes.begin(), bytes.end());
}

unsigned ModeOf(const fs::path& p)
{
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A PID that named a process that has ended.
pid_t EndedProcess()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return pid;
}

// Runs check as a user who may write only what the permission bits allow:
// root may write anything, so as root it runs in a child process that has
// become the user "nobody" (the folder must let that user in).
bool AsUnprivilegedUser(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
} // namespace

// The target holds the old file until Commit, then the whole new one; a
// discard, a failed write or a writer destroyed uncommitted leave the old file
// and nothing else.
TEST(CAtomicFileWriter, ReplacesTheTargetOnlyAtCommit)
{
    for (const Temporary kind : kBothKinds)
    {
        SCOPED_TRACE(KindName(kind));
        TempFolder folder;
        const fs::path target = folder / "list.txt";
        rifftest::WriteBytes(target, rifftest::Text("old"));
        const std::vector<std::string> onlyTarget = {"list.txt"};

        for (const char* end : {"discarded", "destroyed", "failed write"})
        {
            SCOPED_TRACE(end);
            {
                CAtomicFileWriter w(kind);
                ASSERT_TRUE(w.Open(target.string()));
                ASSERT_TRUE(WriteText(w, "new contents"));
                if (std::string(end) == "discarded")
                    w.Discard();
                if (std::string(end) == "failed write")
                {
                    rifftest::FileSizeLimit full(4);
                    EXPECT_FALSE(WriteText(w, "more than the disk holds"));
                    EXPECT_TRUE(w.HasFailed());
                    EXPECT_FALSE(w.Commit());
                }
            }
            EXPECT_EQ(ReadText(target), "old");
            EXPECT_EQ(rifftest::FolderEntries(folder.Path()), onlyTarget);
        }

        CAtomicFileWriter w(kind);
        ASSERT_TRUE(w.Open(target.string()));
        ASSERT_TRUE(WriteText(w, "new contents"));
        EXPECT_EQ(ReadText(target), "old");
        EXPECT_TRUE(w.Commit());
        EXPECT_FALSE(w.IsOpen());
        EXPECT_EQ(ReadText(target), "new contents");
        EXPECT_EQ(rifftest::FolderEntries(folder.Path()), onlyTarget);
    }
}

// A file of several MiB, for which the writer asks the disk to start writing
// as it goes, commits whole: written through Write and through the
// descriptor (told with NoteWritten), its start rewritten last, as a header
// is.
TEST(CAtomicFileWriter, LargeFilesCommitWhole)
{
    for (const Temporary kind : kBothKinds)
    {
        SCOPED_TRACE(KindName(kind));
        TempFolder folder;
        const fs::path target = folder / "song.wav";
        Bytes expected;
        CAtomicFileWriter w(kind);
        ASSERT_TRUE(w.Open(target.string()));
        for (uint32_t block = 0; block < 20; ++block)
        {
            Bytes bytes(size_t{1} << 19);
            for (size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<uint8_t>(block * 31 + i * 7);
            if (block % 2 == 0)
                ASSERT_TRUE(w.Write(bytes.data(), bytes.size()));
            else
            {
                ASSERT_EQ(::write(w.GetDescriptor(), bytes.data(), bytes.size()),
                          static_cast<ssize_t>(bytes.size()));
                w.NoteWritten(bytes.size());
            }
            expected.insert(expected.end(), bytes.begin(), bytes.end());
        }
        const Bytes header = rifftest::Text("HEAD");
        ASSERT_EQ(::pwrite(w.GetDescriptor(), header.data(), header.size(), 0),
                  static_cast<ssize_t>(header.size()));
        std::copy(header.begin(), header.end(), expected.begin());
        ASSERT_TRUE(w.Commit());
        EXPECT_TRUE(rifftest::ReadBytes(target) == expected);
    }
}

// A replaced file keeps its permission bits; a new one gets 0666 less the
// umask, as any new file (a user with umask 077 keeps new files private).
TEST(CAtomicFileWriter, KeepsThePermissionBitsOfTheFileItReplaces)
{
    for (const Temporary kind : kBothKinds)
    {
        SCOPED_TRACE(KindName(kind));
        TempFolder folder;
        for (const unsigned mode : {0600u, 0640u, 0755u})
        {
            SCOPED_TRACE(mode);
            const fs::path target = folder / "kept.bin";
            rifftest::WriteBytes(target, rifftest::Text("old"));
            ASSERT_EQ(::chmod(target.c_str(), mode), 0);
            CAtomicFileWriter w(kind);
            ASSERT_TRUE(w.Open(target.string()));
            ASSERT_TRUE(WriteText(w, "new"));
            ASSERT_TRUE(w.Commit());
            EXPECT_EQ(ModeOf(target), mode);
        }
        for (const mode_t mask : {077u, 027u, 022u, 0u})
        {
            SCOPED_TRACE(mask);
            const ScopedUmask umask(mask);
            const fs::path created = folder / ("new" + std::to_string(mask) + ".bin");
            CAtomicFileWriter w(kind);
            ASSERT_TRUE(w.Open(created.string()));
            ASSERT_TRUE(w.Commit());
            EXPECT_EQ(ModeOf(created), 0666u & ~mask);
        }
        // The umask touches new files only.
        const ScopedUmask umask(077);
        ASSERT_EQ(::chmod((folder / "kept.bin").c_str(), 0640), 0);
        ASSERT_TRUE(CAtomicFileWriter::WriteWholeFile((folder / "kept.bin").string(), "x", 1));
        EXPECT_EQ(ModeOf(folder / "kept.bin"), 0640u);
    }
}

// What may not be replaced is refused before anything is created: a folder,
// a missing folder, a target or a folder the user may not write, a name that
// is no file name.
TEST(CAtomicFileWriter, RefusesTargetsItMayNotReplace)
{
    TempFolder folder;
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0777), 0);
    fs::create_directory(folder / "sub");
    fs::create_directory(folder / "locked");
    ASSERT_EQ(::chmod((folder / "locked").c_str(), 0555), 0);
    rifftest::WriteBytes(folder / "readonly.bin", rifftest::Text("keep"));
    ASSERT_EQ(::chmod((folder / "readonly.bin").c_str(), 0444), 0);
    const std::string longName(256, 'n');

    for (const Temporary kind : kBothKinds)
    {
        SCOPED_TRACE(KindName(kind));
        const std::vector<std::string> refused = {
            (folder / "sub").string(),
            (folder / "missing" / "x.bin").string(),
            (folder / "readonly.bin").string(),
            (folder / "locked" / "x.bin").string(),
            (folder / longName).string(),
            (folder.Path().string() + "/"),
            "",
        };
        EXPECT_TRUE(AsUnprivilegedUser(
            [&]
            {
                bool ok = true;
                for (const std::string& path : refused)
                {
                    CAtomicFileWriter w(kind);
                    ok = ok && !w.Open(path) && !w.IsOpen();
                }
                // The folder itself may be written.
                CAtomicFileWriter w(kind);
                return ok && w.Open((folder / "mine.bin").string()) && w.Commit();
            }));
        EXPECT_EQ(rifftest::FolderEntries(folder.Path()),
                  (std::vector<std::string>{"locked", "mine.bin", "readonly.bin", "sub"}));
        EXPECT_EQ(ReadText(folder / "readonly.bin"), "keep");
        fs::remove(folder / "mine.bin");
    }

    // A target made read-only while it was being written is not replaced.
    if (::geteuid() != 0)
    {
        CAtomicFileWriter w;
        rifftest::WriteBytes(folder / "late.bin", rifftest::Text("keep"));
        ASSERT_TRUE(w.Open((folder / "late.bin").string()));
        ::chmod((folder / "late.bin").c_str(), 0444);
        EXPECT_FALSE(w.Commit());
        EXPECT_EQ(ReadText(folder / "late.bin"), "keep");
    }
}

// SetTarget commits elsewhere, on the same file system by a link and across
// file systems by a copy; the first target is untouched.
TEST(CAtomicFileWriter, CommitsToAnotherTarget)
{
    TempFolder folder;
    fs::create_directory(folder / "other");
    // /dev/shm is a file system of its own where it exists.
    const fs::path elsewhere = fs::exists("/dev/shm") ? fs::path("/dev/shm") : folder / "other";
    const fs::path far = elsewhere / ("vxtest-" + std::to_string(::getpid()) + ".bin");
    for (const Temporary kind : kBothKinds)
    {
        SCOPED_TRACE(KindName(kind));
        for (const fs::path& moved : {folder / "other" / "moved.bin", far})
        {
            SCOPED_TRACE(moved.string());
            CAtomicFileWriter w(kind);
            ASSERT_TRUE(w.Open((folder / "first.bin").string()));
            ASSERT_TRUE(WriteText(w, "moved contents"));
            w.SetTarget(moved.string());
            EXPECT_EQ(w.GetTarget(), moved.string());
            ASSERT_TRUE(w.Commit());
            EXPECT_EQ(ReadText(moved), "moved contents");
            EXPECT_EQ(ModeOf(moved), 0666u & ~CurrentUmask());
            EXPECT_TRUE(rifftest::FolderEntries(folder.Path()) == std::vector<std::string>{"other"});
            EXPECT_EQ(rifftest::FolderEntries(folder / "other").size(), moved == far ? 0u : 1u);
            fs::remove(moved);
        }
    }
}

// Files committed together are all prepared before the first replaces its
// target: when one cannot be, none replaces its target.
TEST(CAtomicFileWriter, CommitAllReplacesNothingWhenOneFails)
{
    TempFolder folder;
    const std::vector<std::string> names = {"a.bin", "b.bin", "c.bin"};
    for (const std::string& name : names)
        rifftest::WriteBytes(folder / name, rifftest::Text("old"));
    const auto open = [&](std::vector<std::unique_ptr<CAtomicFileWriter>>& writers)
    {
        writers.clear();
        for (const std::string& name : names)
        {
            writers.push_back(std::make_unique<CAtomicFileWriter>());
            ASSERT_TRUE(writers.back()->Open((folder / name).string()));
            ASSERT_TRUE(WriteText(*writers.back(), "new " + name));
        }
    };

    std::vector<std::unique_ptr<CAtomicFileWriter>> writers;
    open(writers);
    writers[1]->MarkFailed();
    EXPECT_FALSE(CAtomicFileWriter::CommitAll(writers));
    EXPECT_TRUE(writers.empty());
    for (const std::string& name : names)
        EXPECT_EQ(ReadText(folder / name), "old") << name;
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), names);

    open(writers);
    EXPECT_TRUE(CAtomicFileWriter::CommitAll(writers));
    for (const std::string& name : names)
        EXPECT_EQ(ReadText(folder / name), "new " + name) << name;
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), names);
}

// A writer killed while it writes: a nameless temporary vanishes with it; a
// named one stays until a writer opens a file in that folder again, or the
// folder is cleaned at start-up. Temporaries of running processes and files
// that only look alike stay.
TEST(CAtomicFileWriter, KilledWritersLeaveNothingForLong)
{
    TempFolder folder;
    const fs::path target = folder / "song.wav";
    rifftest::WriteBytes(target, rifftest::Text("old"));
    const auto writeAndWait = [&](Temporary kind)
    {
        return [&target, kind]
        {
            auto* w = new CAtomicFileWriter(kind); // never destroyed: the process is killed
            return w->Open(target.string()) && w->Write(Bytes(1 << 20, 7).data(), 1 << 20);
        };
    };

    ASSERT_TRUE(rifftest::KilledAfter(writeAndWait(Temporary::kUnnamedWherePossible)));
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), std::vector<std::string>{"song.wav"});

    ASSERT_TRUE(rifftest::KilledAfter(writeAndWait(Temporary::kNamed)));
    std::vector<std::string> entries = rifftest::FolderEntries(folder.Path());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].rfind(".song.wav.vxtmp.", 0), 0u) << entries[0];
    CAtomicFileWriter next;
    ASSERT_TRUE(next.Open((folder / "next.wav").string()));
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), std::vector<std::string>{"song.wav"});
    next.Discard();

    const std::string ended = std::to_string(EndedProcess());
    const std::string running = std::to_string(::getppid());
    const std::string mine = std::to_string(::getpid());
    const std::vector<std::string> kept = {
        ".a.wav.vxtmp." + running + ".AbC123", ".a.wav.vxtmp." + mine + ".AbC123",
        "a.wav.vxtmp." + ended + ".AbC123",    ".a.wav.vxtmp." + ended + ".AbC12",
        ".a.wav.vxtmp." + ended + ".AbC1-3",   ".a.wav.vxtmp.x" + ended + ".AbC123",
        ".vxtmp." + ended + ".AbC123",         ".a.wav.tmp." + ended + ".AbC123",
    };
    const std::vector<std::string> stale = {".a.wav.vxtmp." + ended + ".AbC123",
                                            ".b c.vxtmp.x.vxtmp." + ended + ".zzzzzz"};
    for (const auto* list : {&kept, &stale})
        for (const std::string& name : *list)
            rifftest::WriteBytes(folder / name, rifftest::Text("x"));
    fs::create_directory(folder / (".dir.vxtmp." + ended + ".AbC123"));
    EXPECT_EQ(CAtomicFileWriter::RemoveStaleTemporaries(folder.Path().string()), 2);
    for (const std::string& name : kept)
        EXPECT_TRUE(fs::exists(folder / name)) << name;
    for (const std::string& name : stale)
        EXPECT_FALSE(fs::exists(folder / name)) << name;
    EXPECT_TRUE(fs::exists(folder / (".dir.vxtmp." + ended + ".AbC123")));
    EXPECT_EQ(CAtomicFileWriter::RemoveStaleTemporaries((folder / "missing").string()), 0);
}

// A target name too long to fit a temporary's name beside the PID still
// works: the temporary takes a shortened name.
TEST(CAtomicFileWriter, LongNamesAreShortenedForTheTemporary)
{
    TempFolder folder;
    // 253 bytes, mostly two-byte characters: the cut may not split one.
    std::string name = "x";
    while (name.size() < 249)
        name += "\xc3\xa9";
    name += ".wav";
    for (const Temporary kind : kBothKinds)
    {
        SCOPED_TRACE(KindName(kind));
        CAtomicFileWriter w(kind);
        ASSERT_TRUE(w.Open((folder / name).string()));
        ASSERT_TRUE(WriteText(w, "long"));
        ASSERT_TRUE(w.Commit());
        EXPECT_EQ(ReadText(folder / name), "long");
        EXPECT_EQ(rifftest::FolderEntries(folder.Path()), std::vector<std::string>{name});
    }
}

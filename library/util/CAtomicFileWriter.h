#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Writes a file that replaces its target only when it is complete: the one
// way the application writes a file the user keeps (exported audio, settings,
// songlists).
//
// Open creates a temporary file in the target's folder. Where the file system
// allows it the temporary has no name at all (O_TMPFILE): a writer that is
// killed leaves nothing behind. Elsewhere it is a hidden file named
// ".NAME.vxtmp.PID.XXXXXX" (NAME the target's name, PID the writing process).
// Commit flushes the contents to disk, gives them a hidden name of that form
// beside the target, renames that over the target and flushes the folder, so
// the target is always either the old file or the whole new one. Discard, a
// failed write or the destruction of an uncommitted writer leave the target
// as it was.
//
// A replaced target keeps its permission bits; a new one gets the bits the
// kernel gives any new file there: kNewFileMode less the user's umask (or as
// the folder's default ACL says). The temporary is created with them, so the
// umask is never read or changed (umask() is process-wide, not thread-safe).
// A target that is a folder, or one the user may not write, is refused at
// Open (and again at Commit), as a folder the user may not write is.
//
// Stale temporaries: a hidden temporary whose process no longer runs (it was
// killed between naming and renaming, or wrote where O_TMPFILE is not
// supported) is removed by RemoveStaleTemporaries. Open calls it for the
// target's folder, so the folders of exported files are cleaned whenever a
// file is next written there; the application calls it at start-up for the
// folders it writes its own files into. Only regular files of this user whose
// name has the form above and whose PID names no running process are removed.
//
// One thread uses a writer at a time.
class CAtomicFileWriter
{
public:
    // The permission bits asked for a file that did not exist before, as
    // every program asks: the umask takes away from them.
    static constexpr unsigned kNewFileMode = 0666;

    enum class ETemporary
    {
        // A nameless temporary where the file system allows it, else a hidden one.
        kUnnamedWherePossible,
        // Always a hidden named temporary (the fallback; for tests).
        kNamed
    };

    explicit CAtomicFileWriter(ETemporary temporary = ETemporary::kUnnamedWherePossible);
    // Discards what was not committed.
    ~CAtomicFileWriter();

    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;

    // Starts a new file for target (a UTF-8 path); what was open before is
    // discarded. False, with nothing created, when the target is a folder or
    // may not be written, its name is empty or too long, or no temporary can
    // be created in its folder (missing or read-only).
    bool Open(const std::string& target);
    bool IsOpen() const { return m_fd != -1; }
    const std::string& GetTarget() const { return m_target; }
    // Commits to another target (before Commit); across file systems the
    // contents are copied there at Commit.
    void SetTarget(const std::string& target);

    // Writes len bytes at the descriptor's position; false unless all were
    // written. After a failed write the writer stays failed and Commit fails.
    bool Write(const void* data, size_t len);
    // The temporary's descriptor while open (for seeks, reading back and its
    // size), -1 otherwise. Owned by the writer: never close it.
    int GetDescriptor() const { return m_fd; }
    // Counts bytes written to the temporary (Write counts its own; callers
    // that write through the descriptor tell them here). Every few MiB the
    // disk is asked to start writing what the temporary holds, without
    // waiting for it, so that the flush at Commit finds most of a large file
    // already written instead of writing all of it then.
    void NoteWritten(size_t len);
    // Makes Commit fail: for callers that write through the descriptor.
    void MarkFailed() { m_failed = true; }
    bool HasFailed() const { return m_failed; }

    // The first part of Commit: sets the permission bits, flushes the
    // contents to disk and gives them a hidden name beside the target.
    // Callers that commit several files together prepare all of them first
    // (CommitAll). False when anything failed; the writer is then discarded.
    bool PrepareCommit();
    // Puts the contents in place of the target and makes that durable. False
    // when anything failed; the target is then as it was and nothing is left
    // behind. The writer is closed either way.
    bool Commit();
    // Drops the contents; the target is untouched.
    void Discard();

    // Commits every writer of the list, all prepared before the first is
    // renamed: when any cannot be prepared, all are discarded and no target
    // is touched. False when any failed. The list is emptied.
    static bool CommitAll(std::vector<std::unique_ptr<CAtomicFileWriter>>& writers);

    // Replaces target with the len bytes of data in one step; true when the
    // whole file is in place, otherwise target is as it was.
    static bool WriteWholeFile(const std::string& target, const void* data, size_t len);
    // Replaces target with a copy of the file source the same way; false,
    // with target as it was, when source cannot be read.
    static bool CopyFile(const std::string& source, const std::string& target);

    // Removes the stale hidden temporaries of ours in folder (see above);
    // returns how many were removed.
    static int RemoveStaleTemporaries(const std::string& folder);

private:
    int CreateNamedTemporary(const std::string& folder, std::string* path) const;
    // Where the prepared contents wait for the rename: the named temporary,
    // or a new hidden name in the target's folder. Empty on failure.
    std::string PlaceBesideTarget(unsigned mode);
    std::string LinkInto(const std::string& folder);
    std::string CopyInto(const std::string& folder, unsigned mode);
    void CloseDescriptor();

    const ETemporary m_temporary;
    int m_fd = -1;
    std::string m_target;
    // The named temporary; empty for a nameless one.
    std::string m_tempPath;
    // Set by PrepareCommit: the name renamed over the target.
    std::string m_readyPath;
    // The bits the kernel gave the temporary when it was created: those of
    // a new target.
    unsigned m_newFileMode = 0600;
    bool m_failed = false;
    // Written since the disk was last asked to start writing (NoteWritten).
    static constexpr size_t kWritebackBytes = size_t{4} << 20;
    size_t m_unflushedBytes = 0;
};

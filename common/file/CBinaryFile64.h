#pragma once

#include "common/dsp/CCriticalSection.h"
#include "common/file/CMultiString.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CAtomicFileWriter;

// A file with 64-bit positions, endian-aware integer reads and writes and a
// search for 8-byte-headed chunks (the RIFF and IFF layout).
//
// A file opened for writing never touches its target until it is complete:
// the data go to a temporary file of a CAtomicFileWriter, which Close()
// commits (flushes to disk and renames over the target). A failed or short
// write, a failed flush or a failed rename makes Close() fail and leaves
// whatever was at the target as it was; Discard() drops the temporary file,
// and so does the destructor of a file still open for writing: only an
// explicit Close() ever replaces a target.
class CBinaryFile64
{
public:
    static constexpr uint32_t kPathCapacity = 1025;

    explicit CBinaryFile64(bool forWriting);
    virtual ~CBinaryFile64();

    CBinaryFile64(const CBinaryFile64&) = delete;
    CBinaryFile64& operator=(const CBinaryFile64&) = delete;

    // Reads nBytes (1..8) as an unsigned integer in the file's byte order.
    virtual int64_t ReadData(int nBytes);
    // Writes the low nBytes (1..8) bytes of value in the file's byte order.
    virtual int WriteData(int64_t value, int nBytes);

    // Returns the descriptor, or -1 on failure (the stored path is cleared).
    int Open(const wchar_t* path);
    // Closes the file. For a file opened for writing this also commits it to
    // its target; returns 0 on success and -1 when anything failed.
    int Close();
    // For a file opened for writing: closes it and removes what was written,
    // leaving the target untouched. For a file opened for reading: Close().
    void Discard();
    // While deferred, Close() of a file opened for writing finishes it but
    // replaces no target: the finished file waits in TakeFinishedFile() for
    // its owner to commit it (or to drop it, which discards it).
    void SetCommitDeferred(bool deferred) { m_bCommitDeferred = deferred; }
    std::unique_ptr<CAtomicFileWriter> TakeFinishedFile();

    bool IsFileOpen() const { return m_fd != -1; }
    bool IsOpenedForWriting() const { return m_bForWriting; }
    // The path given to Open (for a writer: its target).
    const wchar_t* GetFileName() { return m_path.GetReadPtrWChar(); }
    // Changes the target a writer is committed to at Close().
    void SetTargetFileName(const wchar_t* path);
    // True once a write of this file failed or came up short.
    bool WriteFailed() const { return m_bWriteFailed; }

    // Reads up to len bytes; returns the number read (0 at the end or on error).
    int Read(void* buf, uint32_t len);
    // Writes len bytes; returns the number written (less than len on error).
    int Write(const void* buf, uint32_t len);
    int64_t Seek(int64_t offset, int whence);
    int64_t Tell();
    int64_t GetFileSize();
    // Moves relative to the current position, clamped to 0 .. file size.
    int64_t Jump(int64_t delta);

    int64_t ReadDataLittleEndian(int nBytes);
    int64_t ReadDataBigEndian(int nBytes);
    int WriteDataLittleEndian(int64_t value, int nBytes);
    int WriteDataBigEndian(int64_t value, int nBytes);

    // Searches, from the current position, for a chunk with the identifier id
    // whose header starts within range bytes (range < 0: to the end of the
    // file). On success the position is on the chunk's first byte and the
    // result is the chunk's whole length (header included) clamped to the
    // bytes the file holds; otherwise the position is restored and 0 returned.
    // A pad byte after an odd-sized chunk is skipped (files written without it
    // are still read) and chunks of size 0 are stepped over.
    uint32_t FindChunk8(const char* id, int64_t range);
    // The same for a chunk whose body starts with the 4-byte type word.
    uint32_t FindChunk8WithType(const char* id, const char* type, int64_t range);

    // The file's modification time in local time as "YYYY-MM-DD" (11 bytes)
    // and "hh:mm:ss" (9 bytes); blank templates and false on failure.
    bool GetFileTimeStamp(char* date, char* time);

    // Whether 4 bytes look like a chunk identifier (printable ASCII).
    static bool IsPlausibleChunkID(const uint8_t* id);

private:
    // The position of the chunk header that follows the one at pos with the
    // given body size: behind the pad byte of an odd-sized body, unless the
    // chunk header found right behind the body fits better.
    int64_t NextChunkPosition(int64_t pos, uint32_t size, int64_t fileSize);
    bool ReadExactAt(int64_t pos, void* buf, uint32_t len);
    bool OpenForWriting(const std::string& path);
    // Commits (or, deferred, keeps) what was written; false after a failure.
    bool FinishWriting();

    CMultiString m_path;
    // The temporary file of a file open for writing (m_fd is its descriptor).
    std::unique_ptr<CAtomicFileWriter> m_writer;
    std::unique_ptr<CAtomicFileWriter> m_finished;
    int m_fd = -1;
    bool m_bForWriting;
    bool m_bWriteFailed = false;
    bool m_bCommitDeferred = false;
    CCriticalSection m_lock;
};

// A growable in-memory byte buffer with a write position, into which blocks
// are assembled before they are written to a file.
class CBinaryFileWriteBuffer
{
public:
    CBinaryFileWriteBuffer();
    virtual ~CBinaryFileWriteBuffer();

    virtual int WriteData(int64_t value, int nBytes);
    virtual void Clear();

    uint32_t Write(const void* data, uint32_t n);
    int WriteDataBigEndian(int64_t value, int nBytes);
    int WriteDataLittleEndian(int64_t value, int nBytes);
    void Seek(uint32_t pos);
    uint32_t MoveToEnd();
    uint32_t Tell() const { return m_pos; }
    virtual uint32_t GetBufFilledSize() const { return static_cast<uint32_t>(m_buffer.size()); }
    uint8_t* GetBufferPtr() { return m_buffer.data(); }
    const uint8_t* GetBufferPtr() const { return m_buffer.data(); }

private:
    std::vector<uint8_t> m_buffer;
    uint32_t m_pos = 0;
};

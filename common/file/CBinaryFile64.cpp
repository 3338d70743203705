#include "common/file/CBinaryFile64.h"

#include "library/util/CAtomicFileWriter.h"
#include "library/util/CDataUtil.h"
#include "library/util/CRegularFile.h"
#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CBinaryFile64::CBinaryFile64(bool forWriting) : m_path(kPathCapacity), m_bForWriting(forWriting) {}

CBinaryFile64::~CBinaryFile64()
{
    // A file still open for writing was not finished: it never replaces its
    // target.
    if (IsFileOpen())
        Discard();
}

int64_t CBinaryFile64::ReadData(int nBytes)
{
    return ReadDataLittleEndian(nBytes);
}

int CBinaryFile64::WriteData(int64_t value, int nBytes)
{
    return WriteDataLittleEndian(value, nBytes);
}

int CBinaryFile64::Open(const wchar_t* path)
{
    // Only an explicit Close() commits a file open for writing.
    if (IsFileOpen())
        Discard();
    m_bWriteFailed = false;
    m_path.SetString(path, -1, true);
    const std::string utf8 = m_path.GetReadPtrChar();
    if (utf8.empty())
    {
        m_path.Clear();
        return -1;
    }

    if (!m_bForWriting)
    {
        // Only a regular file is read: a FIFO, device or folder is refused
        // like a missing file.
        m_fd = CRegularFile::OpenForReading(utf8);
    }
    else if (!OpenForWriting(utf8))
    {
        m_fd = -1;
    }
    if (m_fd < 0)
    {
        m_fd = -1;
        m_path.Clear();
    }
    return m_fd;
}

bool CBinaryFile64::OpenForWriting(const std::string& path)
{
    m_finished.reset();
    m_writer = std::make_unique<CAtomicFileWriter>();
    if (!m_writer->Open(path))
    {
        m_writer.reset();
        return false;
    }
    m_fd = m_writer->GetDescriptor();
    return true;
}

void CBinaryFile64::SetTargetFileName(const wchar_t* path)
{
    if (!m_bForWriting || !IsFileOpen())
        return;
    m_path.SetString(path, -1, true);
    m_writer->SetTarget(m_path.GetReadPtrChar());
}

bool CBinaryFile64::FinishWriting()
{
    std::unique_ptr<CAtomicFileWriter> writer = std::move(m_writer);
    m_fd = -1;
    if (m_bWriteFailed)
        return false; // the writer discards its temporary file
    if (m_bCommitDeferred)
    {
        m_finished = std::move(writer);
        return true;
    }
    return writer->Commit();
}

std::unique_ptr<CAtomicFileWriter> CBinaryFile64::TakeFinishedFile()
{
    return std::move(m_finished);
}

int CBinaryFile64::Close()
{
    if (!IsFileOpen())
    {
        m_path.Clear();
        return -1;
    }
    int result;
    if (m_bForWriting)
    {
        result = FinishWriting() ? 0 : -1;
    }
    else
    {
        result = ::close(m_fd);
        m_fd = -1;
    }
    m_path.Clear();
    return result;
}

void CBinaryFile64::Discard()
{
    if (!m_bForWriting)
    {
        Close();
        return;
    }
    m_writer.reset();
    m_fd = -1;
    m_path.Clear();
}

int CBinaryFile64::Read(void* buf, uint32_t len)
{
    CScopedCriticalSection lock(m_lock);
    if (!IsFileOpen() || buf == nullptr)
        return 0;
    uint8_t* out = static_cast<uint8_t*>(buf);
    uint32_t done = 0;
    while (done < len)
    {
        const ssize_t n = ::read(m_fd, out + done, len - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<uint32_t>(n);
    }
    return static_cast<int>(done);
}

int CBinaryFile64::Write(const void* buf, uint32_t len)
{
    if (!IsFileOpen() || (buf == nullptr && len > 0))
    {
        m_bWriteFailed = true;
        return 0;
    }
    const uint8_t* data = static_cast<const uint8_t*>(buf);
    uint32_t done = 0;
    while (done < len)
    {
        const ssize_t n = ::write(m_fd, data + done, len - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            m_bWriteFailed = true;
            break;
        }
        done += static_cast<uint32_t>(n);
    }
    if (m_writer != nullptr)
        m_writer->NoteWritten(done);
    return static_cast<int>(done);
}

int64_t CBinaryFile64::Seek(int64_t offset, int whence)
{
    if (!IsFileOpen())
        return -1;
    return ::lseek(m_fd, offset, whence);
}

int64_t CBinaryFile64::Tell()
{
    CScopedCriticalSection lock(m_lock);
    if (!IsFileOpen())
        return -1;
    return ::lseek(m_fd, 0, SEEK_CUR);
}

int64_t CBinaryFile64::GetFileSize()
{
    if (!IsFileOpen())
        return 0;
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        return 0;
    return st.st_size;
}

int64_t CBinaryFile64::Jump(int64_t delta)
{
    CScopedCriticalSection lock(m_lock);
    const int64_t pos = Tell();
    const int64_t size = GetFileSize();
    int64_t target = pos + delta;
    if (target < 0)
        target = 0;
    else if (target > size)
        target = size;
    return Seek(target, SEEK_SET);
}

int64_t CBinaryFile64::ReadDataLittleEndian(int nBytes)
{
    uint8_t bytes[8] = {};
    const int n = std::clamp(nBytes, 0, 8);
    Read(bytes, static_cast<uint32_t>(n));
    return static_cast<int64_t>(CDataUtil::LittleEndian(bytes, n));
}

int64_t CBinaryFile64::ReadDataBigEndian(int nBytes)
{
    uint8_t bytes[8] = {};
    const int n = std::clamp(nBytes, 0, 8);
    Read(bytes, static_cast<uint32_t>(n));
    return static_cast<int64_t>(CDataUtil::BigEndian(bytes, n));
}

int CBinaryFile64::WriteDataLittleEndian(int64_t value, int nBytes)
{
    uint8_t bytes[8] = {};
    const int n = std::clamp(nBytes, 0, 8);
    CDataUtil::LittleEndian(bytes, value, n);
    return Write(bytes, static_cast<uint32_t>(n));
}

int CBinaryFile64::WriteDataBigEndian(int64_t value, int nBytes)
{
    uint8_t bytes[8] = {};
    const int n = std::clamp(nBytes, 0, 8);
    CDataUtil::BigEndian(bytes, value, n);
    return Write(bytes, static_cast<uint32_t>(n));
}

bool CBinaryFile64::IsPlausibleChunkID(const uint8_t* id)
{
    for (int i = 0; i < 4; ++i)
        if (id[i] < 0x20 || id[i] > 0x7E)
            return false;
    return true;
}

bool CBinaryFile64::ReadExactAt(int64_t pos, void* buf, uint32_t len)
{
    CScopedCriticalSection lock(m_lock);
    if (Seek(pos, SEEK_SET) != pos)
        return false;
    return Read(buf, len) == static_cast<int>(len);
}

namespace
{
// The chunks the WAV, AIFF and .cda readers look for, with the texts of a
// LIST/INFO chunk. Where a chunk may start at either of two places, finding
// one of these there settles it.
constexpr const char* kKnownChunkIDs[] = {
    "fmt ", "data", "LIST", "cue ", "INAM", "IART", "IGNR", "IARL", "ISFT", "ICRD", "COMM", "SSND", "ID3 ",
};

bool IsKnownChunkID(const uint8_t* id)
{
    for (const char* known : kKnownChunkIDs)
        if (std::memcmp(id, known, 4) == 0)
            return true;
    return false;
}

// How well a chunk header fits at a position: a known identifier, else a
// printable one whose body fits in the file, else not at all.
enum class ChunkFit
{
    kNone,
    kPlausible,
    kKnown
};

ChunkFit ChunkFitAt(CBinaryFile64& file, int64_t pos, int64_t fileSize)
{
    uint8_t id[4] = {};
    if (pos + 8 > fileSize || file.Seek(pos, SEEK_SET) != pos || file.Read(id, 4) != 4)
        return ChunkFit::kNone;
    if (IsKnownChunkID(id))
        return ChunkFit::kKnown;
    const int64_t size = file.ReadData(4);
    if (CBinaryFile64::IsPlausibleChunkID(id) && pos + 8 + size <= fileSize)
        return ChunkFit::kPlausible;
    return ChunkFit::kNone;
}
} // namespace

int64_t CBinaryFile64::NextChunkPosition(int64_t pos, uint32_t size, int64_t fileSize)
{
    const int64_t next = pos + 8 + static_cast<int64_t>(size);
    if ((size & 1) == 0)
        return next;
    // RIFF and IFF pad an odd-sized body to an even length, but some writers
    // leave the pad byte out. Take the place that holds the better chunk
    // header; the padded one when both fit as well.
    return ChunkFitAt(*this, next, fileSize) > ChunkFitAt(*this, next + 1, fileSize) ? next : next + 1;
}

uint32_t CBinaryFile64::FindChunk8(const char* id, int64_t range)
{
    if (!IsFileOpen() || id == nullptr)
        return 0;
    const int64_t start = Tell();
    const int64_t fileSize = GetFileSize();
    const int64_t limit = (range >= 0 && start + range < fileSize) ? start + range : fileSize;

    int64_t pos = start;
    while (pos < limit && pos + 8 <= fileSize)
    {
        uint8_t header[4];
        if (!ReadExactAt(pos, header, 4))
            break;
        const uint32_t size = static_cast<uint32_t>(ReadData(4));
        if (CTextUtil::CompID(reinterpret_cast<const char*>(header), id))
        {
            Seek(pos, SEEK_SET);
            const int64_t whole = std::min<int64_t>(static_cast<int64_t>(size) + 8, fileSize - pos);
            return static_cast<uint32_t>(std::min<int64_t>(whole, UINT32_MAX));
        }
        pos = NextChunkPosition(pos, size, fileSize);
    }
    Seek(start, SEEK_SET);
    return 0;
}

uint32_t CBinaryFile64::FindChunk8WithType(const char* id, const char* type, int64_t range)
{
    if (!IsFileOpen() || id == nullptr || type == nullptr)
        return 0;
    const int64_t start = Tell();
    const int64_t fileSize = GetFileSize();
    const int64_t limit = (range >= 0 && start + range < fileSize) ? start + range : fileSize;

    int64_t pos = start;
    while (pos < limit)
    {
        Seek(pos, SEEK_SET);
        const uint32_t found = FindChunk8(id, limit - pos);
        if (found == 0)
            break;
        const int64_t chunk = Tell();
        Jump(4);
        const uint32_t size = static_cast<uint32_t>(ReadData(4));
        uint8_t word[4] = {};
        if (size >= 4 && Read(word, 4) == 4 && CTextUtil::CompID(reinterpret_cast<const char*>(word), type))
        {
            Seek(chunk, SEEK_SET);
            return found;
        }
        pos = NextChunkPosition(chunk, size, fileSize);
    }
    Seek(start, SEEK_SET);
    return 0;
}

bool CBinaryFile64::GetFileTimeStamp(char* date, char* time)
{
    std::memcpy(date, "    -  -  ", 11);
    std::memcpy(time, "  :  :  ", 9);
    struct stat st;
    if (!IsFileOpen() || ::fstat(m_fd, &st) != 0)
        return false;
    struct tm local;
    if (localtime_r(&st.st_mtime, &local) == nullptr)
        return false;
    char d[32];
    char t[32];
    std::snprintf(d, sizeof(d), "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    std::snprintf(t, sizeof(t), "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    std::memcpy(date, d, 10);
    date[10] = 0;
    std::memcpy(time, t, 8);
    time[8] = 0;
    return true;
}

// ---------------------------------------------------------------------------

CBinaryFileWriteBuffer::CBinaryFileWriteBuffer() = default;
CBinaryFileWriteBuffer::~CBinaryFileWriteBuffer() = default;

uint32_t CBinaryFileWriteBuffer::Write(const void* data, uint32_t n)
{
    if (n == 0 || data == nullptr)
        return 0;
    if (static_cast<uint64_t>(m_pos) + n > m_buffer.size())
        m_buffer.resize(static_cast<size_t>(m_pos) + n, 0);
    std::memcpy(m_buffer.data() + m_pos, data, n);
    m_pos += n;
    return n;
}

int CBinaryFileWriteBuffer::WriteDataBigEndian(int64_t value, int nBytes)
{
    uint8_t bytes[8] = {};
    const int n = std::clamp(nBytes, 0, 8);
    CDataUtil::BigEndian(bytes, value, n);
    Write(bytes, static_cast<uint32_t>(n));
    return n;
}

int CBinaryFileWriteBuffer::WriteDataLittleEndian(int64_t value, int nBytes)
{
    uint8_t bytes[8] = {};
    const int n = std::clamp(nBytes, 0, 8);
    CDataUtil::LittleEndian(bytes, value, n);
    Write(bytes, static_cast<uint32_t>(n));
    return n;
}

int CBinaryFileWriteBuffer::WriteData(int64_t value, int nBytes)
{
    return WriteDataLittleEndian(value, nBytes);
}

void CBinaryFileWriteBuffer::Seek(uint32_t pos)
{
    m_pos = std::min(pos, static_cast<uint32_t>(m_buffer.size()));
}

uint32_t CBinaryFileWriteBuffer::MoveToEnd()
{
    m_pos = static_cast<uint32_t>(m_buffer.size());
    return m_pos;
}

void CBinaryFileWriteBuffer::Clear()
{
    m_buffer.clear();
    m_pos = 0;
}

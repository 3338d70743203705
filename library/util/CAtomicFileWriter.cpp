#include "library/util/CAtomicFileWriter.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Hidden temporaries are named "." + NAME + kMark + PID + "." + a random
// suffix of kSuffixLength letters and digits.
const char* const kMark = ".vxtmp.";
constexpr size_t kMarkLength = 7;
constexpr size_t kSuffixLength = 6;
// NAME is the target's name cut to this many bytes, so that the temporary's
// name stays within NAME_MAX (255) with the longest PID.
constexpr size_t kMaxNameBytes = 200;
// Tries at a hidden name before giving up (each collision is 1 in 62^6).
constexpr int kLinkAttempts = 16;

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The name cut to kMaxNameBytes without splitting a UTF-8 sequence.
std::string ShortName(const std::string& name)
{
    if (name.size() <= kMaxNameBytes)
        return name;
    size_t end = kMaxNameBytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return name.substr(0, end);
}

std::string TemporaryName(const std::string& targetName, const std::string& suffix)
{
    return "." + ShortName(targetName) + kMark + std::to_string(::getpid()) + "." + suffix;
}

bool IsAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string RandomSuffix()
{
    static const char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    unsigned char bytes[kSuffixLength] = {};
    if (::getrandom(bytes, sizeof(bytes), 0) != static_cast<ssize_t>(sizeof(bytes)))
    {
        // Without the kernel's randomness: different per call and process.
        static std::atomic<unsigned> counter{0};
        const unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u + ++counter * 40503u;
        for (size_t i = 0; i < kSuffixLength; ++i)
            bytes[i] = static_cast<unsigned char>(seed >> (4 * i));
    }
    std::string suffix;
    for (unsigned char b : bytes)
        suffix += kLetters[b % 62];
    return suffix;
}

// The PID in a hidden temporary's name; false when the name is not one.
bool ParseTemporaryName(const std::string& name, pid_t* pid)
{
    if (name.size() < 2 + kMarkLength + 2 + kSuffixLength || name[0] != '.')
        return false;
    const size_t suffixDot = name.size() - kSuffixLength - 1;
    if (name[suffixDot] != '.')
        return false;
    for (size_t i = suffixDot + 1; i < name.size(); ++i)
        if (!IsAsciiAlnum(name[i]))
            return false;
    size_t digits = suffixDot;
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    // A PID has at most 7 digits on Linux (PID_MAX_LIMIT is 2^22).
    if (digits == suffixDot || suffixDot - digits > 9 || digits < 2 + kMarkLength ||
        name.compare(digits - kMarkLength, kMarkLength, kMark) != 0)
        return false;
    *pid = static_cast<pid_t>(std::stol(name.substr(digits, suffixDot - digits)));
    return *pid > 0;
}

bool ProcessIsGone(pid_t pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// The permission bits the target will have (newMode when it does not exist
// yet); false when it may not be replaced (a folder, not a regular file, or
// not writable by this user).
bool TargetMode(const std::string& target, unsigned newMode, unsigned* mode)
{
    struct stat st;
    if (::stat(target.c_str(), &st) != 0)
    {
        *mode = newMode;
        return errno == ENOENT;
    }
    if (!S_ISREG(st.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return false;
    *mode = st.st_mode & 0777;
    return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t len)
{
    while (len > 0)
    {
        const ssize_t n = ::write(fd, data, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

// Copies everything in `in` (from its start) to `out`'s position.
bool CopyContents(int in, int out)
{
    static constexpr size_t kBlock = 1 << 20;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBlock]);
    off_t pos = 0;
    for (;;)
    {
        const ssize_t n = ::pread(in, buffer.get(), kBlock, pos);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        if (!WriteAll(out, buffer.get(), static_cast<size_t>(n)))
            return false;
        pos += n;
    }
}

// Makes the folder's entries (a rename into it) durable.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
} // namespace

CAtomicFileWriter::CAtomicFileWriter(ETemporary temporary) : m_temporary(temporary) {}

CAtomicFileWriter::~CAtomicFileWriter()
{
    Discard();
}

bool CAtomicFileWriter::Open(const std::string& target)
{
    Discard();
    const std::string name = NameOf(target);
    unsigned mode = 0;
    if (name.empty() || name == "." || name == ".." || name.size() > NAME_MAX ||
        !TargetMode(target, 0, &mode))
        return false;
    const std::string folder = DirectoryOf(target);
    RemoveStaleTemporaries(folder);

    m_target = target;
    // Created as a new file is, so that the kernel applies the umask (or
    // the folder's default ACL) to its bits.
    if (m_temporary == ETemporary::kUnnamedWherePossible)
        m_fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, kNewFileMode);
    if (m_fd < 0)
        m_fd = CreateNamedTemporary(folder, &m_tempPath);
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
    {
        Discard();
        return false;
    }
    m_newFileMode = st.st_mode & 0777;
    m_failed = false;
    return true;
}

void CAtomicFileWriter::SetTarget(const std::string& target)
{
    if (IsOpen() && m_readyPath.empty())
        m_target = target;
}

int CAtomicFileWriter::CreateNamedTemporary(const std::string& folder, std::string* path) const
{
    // Like mkostemp, but asking for the bits of a new file rather than 0600.
    for (int attempt = 0; attempt < kLinkAttempts; ++attempt)
    {
        const std::string name = Join(folder, TemporaryName(NameOf(m_target), RandomSuffix()));
        const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, kNewFileMode);
        if (fd >= 0)
        {
            *path = name;
            return fd;
        }
        if (errno != EEXIST)
            break;
    }
    return -1;
}

bool CAtomicFileWriter::Write(const void* data, size_t len)
{
    if (!IsOpen() || m_failed || (data == nullptr && len > 0))
    {
        m_failed = true;
        return false;
    }
    if (!WriteAll(m_fd, static_cast<const uint8_t*>(data), len))
        m_failed = true;
    else
        NoteWritten(len);
    return !m_failed;
}

void CAtomicFileWriter::NoteWritten(size_t len)
{
    m_unflushedBytes += len;
    if (IsOpen() && m_unflushedBytes >= kWritebackBytes)
    {
        // Only starts the writing: returns without waiting for the disk.
        ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        m_unflushedBytes = 0;
    }
}

bool CAtomicFileWriter::PrepareCommit()
{
    if (!m_readyPath.empty())
        return true;
    unsigned mode = 0;
    bool ok = IsOpen() && !m_failed && TargetMode(m_target, m_newFileMode, &mode) &&
              ::fchmod(m_fd, mode) == 0 && ::fsync(m_fd) == 0;
    if (ok)
    {
        m_readyPath = PlaceBesideTarget(mode);
        ok = !m_readyPath.empty();
    }
    if (!ok)
        Discard();
    return ok;
}

std::string CAtomicFileWriter::PlaceBesideTarget(unsigned mode)
{
    const std::string folder = DirectoryOf(m_target);
    if (!m_tempPath.empty() && DirectoryOf(m_tempPath) == folder)
        return m_tempPath;
    // A link is enough on the same file system; elsewhere (or without
    // /proc for a nameless temporary) the contents are copied.
    const std::string linked = LinkInto(folder);
    return linked.empty() ? CopyInto(folder, mode) : linked;
}

std::string CAtomicFileWriter::LinkInto(const std::string& folder)
{
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    for (int attempt = 0; attempt < kLinkAttempts; ++attempt)
    {
        const std::string path = Join(folder, TemporaryName(NameOf(m_target), RandomSuffix()));
        int result;
        if (!m_tempPath.empty())
        {
            result = ::link(m_tempPath.c_str(), path.c_str());
        }
        else
        {
            result = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
            // Without /proc: the descriptor itself (needs CAP_DAC_READ_SEARCH).
            if (result != 0 && errno != EEXIST)
                result = ::linkat(m_fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH);
        }
        if (result == 0)
            return path;
        if (errno != EEXIST)
            break;
    }
    return {};
}

std::string CAtomicFileWriter::CopyInto(const std::string& folder, unsigned mode)
{
    std::string path;
    const int out = CreateNamedTemporary(folder, &path);
    if (out < 0)
        return {};
    bool ok = CopyContents(m_fd, out) && ::fchmod(out, mode) == 0 && ::fsync(out) == 0;
    ok = (::close(out) == 0) && ok;
    if (!ok)
    {
        ::unlink(path.c_str());
        return {};
    }
    return path;
}

bool CAtomicFileWriter::Commit()
{
    if (!PrepareCommit())
        return false;
    const bool renamed = ::rename(m_readyPath.c_str(), m_target.c_str()) == 0;
    if (renamed)
    {
        if (m_readyPath == m_tempPath)
            m_tempPath.clear();
        m_readyPath.clear();
        SyncFolder(DirectoryOf(m_target));
    }
    // Removes whatever is left: a name that could not be renamed, a named
    // temporary whose contents were linked or copied elsewhere.
    Discard();
    return renamed;
}

void CAtomicFileWriter::Discard()
{
    if (!m_readyPath.empty())
        ::unlink(m_readyPath.c_str());
    if (!m_tempPath.empty() && m_tempPath != m_readyPath)
        ::unlink(m_tempPath.c_str());
    m_readyPath.clear();
    m_tempPath.clear();
    CloseDescriptor();
    m_target.clear();
    m_failed = false;
}

void CAtomicFileWriter::CloseDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool CAtomicFileWriter::CommitAll(std::vector<std::unique_ptr<CAtomicFileWriter>>& writers)
{
    bool ok = true;
    for (auto& writer : writers)
        ok = ok && writer != nullptr && writer->PrepareCommit();
    if (ok)
    {
        for (auto& writer : writers)
            ok = writer->Commit() && ok;
    }
    // Discards every writer not committed.
    writers.clear();
    return ok;
}

bool CAtomicFileWriter::WriteWholeFile(const std::string& target, const void* data, size_t len)
{
    CAtomicFileWriter writer;
    return writer.Open(target) && writer.Write(data, len) && writer.Commit();
}

bool CAtomicFileWriter::CopyFile(const std::string& source, const std::string& target)
{
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    CAtomicFileWriter writer;
    bool ok = writer.Open(target);
    if (ok && !CopyContents(in, writer.m_fd))
        writer.MarkFailed();
    ::close(in);
    return ok && writer.Commit();
}

int CAtomicFileWriter::RemoveStaleTemporaries(const std::string& folder)
{
    const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr)
    {
        ::close(dirFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir))
    {
        pid_t pid = 0;
        if (!ParseTemporaryName(entry->d_name, &pid) || pid == ::getpid() || !ProcessIsGone(pid))
            continue;
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        if (::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

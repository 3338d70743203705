#include "library/util/CRegularFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// The bytes asked for by each read when the file's size gives no hint.
constexpr size_t kReadStep = 64 * 1024;

void CloseKeepingErrno(int fd)
{
    const int saved = errno;
    ::close(fd);
    errno = saved;
}
} // namespace

int CRegularFile::OpenForReading(const char* path)
{
    if (path == nullptr || path[0] == 0)
    {
        errno = ENOENT;
        return -1;
    }
    // O_NONBLOCK: opening a FIFO without a writer returns at once instead of
    // waiting for one.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0)
    {
        CloseKeepingErrno(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode))
    {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    {
        CloseKeepingErrno(fd);
        return -1;
    }
    return fd;
}

bool CRegularFile::IsRegular(const char* path)
{
    struct stat st;
    return path != nullptr && path[0] != 0 && ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool CRegularFile::ReadAll(const char* path, size_t maxBytes, std::string& out)
{
    out.clear();
    const int fd = OpenForReading(path);
    if (fd < 0)
        return false;
    // The reported size only sizes the buffer; the limit holds for the bytes
    // read, so a file that grows while it is read is still cut off.
    struct stat st;
    const size_t reported = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
    const size_t cap = maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
    out.reserve(std::min(reported, maxBytes) + 1);
    size_t done = 0;
    bool failed = false;
    while (done < cap)
    {
        const size_t want = std::min(cap - done, std::max(kReadStep, reported > done ? reported - done : 0));
        out.resize(done + want);
        const ssize_t got = ::read(fd, &out[done], want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
        {
            failed = true;
            break;
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    CloseKeepingErrno(fd);
    out.resize(done);
    if (failed || done > maxBytes)
    {
        if (!failed)
            errno = EFBIG;
        out.clear();
        out.shrink_to_fit();
        return false;
    }
    return true;
}

#pragma once

// Helpers for tests that build RIFF files (and their big-endian relatives,
// IFF files) byte by byte in a temporary folder.

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rifftest
{
using Bytes = std::vector<uint8_t>;

using vxtest::TempFolder;

// Test paths are ASCII.
inline std::wstring Wide(const std::filesystem::path& p)
{
    const std::string s = p.string();
    return std::wstring(s.begin(), s.end());
}

inline Bytes ReadBytes(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& p, const Bytes& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void Put16(Bytes& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void PutBe16(Bytes& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}

inline void PutBe32(Bytes& b, uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void PutID(Bytes& b, const char* id)
{
    b.insert(b.end(), id, id + 4);
}

inline uint32_t Get32(const Bytes& b, size_t at)
{
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

inline uint32_t GetBe32(const Bytes& b, size_t at)
{
    return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
           static_cast<uint32_t>(b[at + 2]) << 8 | static_cast<uint32_t>(b[at + 3]);
}

inline uint16_t GetBe16(const Bytes& b, size_t at)
{
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

// A chunk: identifier, size (the body's length unless given; big-endian in
// IFF files), body, and the pad byte after an odd body unless pad is false.
inline Bytes Chunk(const char* id, const Bytes& body, bool pad = true, int64_t size = -1,
                   bool bigEndian = false)
{
    Bytes b;
    PutID(b, id);
    const uint32_t stated = size < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(size);
    if (bigEndian)
        PutBe32(b, stated);
    else
        Put32(b, stated);
    b.insert(b.end(), body.begin(), body.end());
    if (pad && (body.size() & 1) != 0)
        b.push_back(0);
    return b;
}

inline Bytes Text(const char* text)
{
    return Bytes(text, text + std::strlen(text));
}

// A format chunk body of bodySize bytes (16, 18 or 40); the bytes behind the
// 16th are zero apart from cbSize.
inline Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t bodySize = 16)
{
    Bytes b;
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * channels * (bits / 8));
    Put16(b, channels * (bits / 8));
    Put16(b, bits);
    if (bodySize >= 18)
        Put16(b, bodySize - 18);
    b.resize(bodySize, 0);
    return b;
}

// The outer chunk of a file ("RIFF", or "FORM" with bigEndian): its id, the
// size of what follows, the form type and the chunks.
inline Bytes Container(const char* id, const char* type, std::initializer_list<Bytes> chunks, bool bigEndian)
{
    Bytes body;
    PutID(body, type);
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    return Chunk(id, body, false, -1, bigEndian);
}

// "RIFF", the size of what follows, "WAVE" and the chunks.
inline Bytes Riff(std::initializer_list<Bytes> chunks, const char* form = "WAVE")
{
    return Container("RIFF", form, chunks, false);
}

// Limits the size of files this process may write, as a full disk would:
// a write past the limit fails (SIGXFSZ is ignored meanwhile).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        struct rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit m_old = {};
    void (*m_oldHandler)(int) = nullptr;
};

// The names of the entries of a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Whether a command-line tool can be run.
inline bool HaveTool(const char* name)
{
    const std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// Runs body in a child process and kills it (SIGKILL) once body has
// returned, as a crash or a kill -9 would; false when body failed or the child
// did not end by the signal.
inline bool KilledAfter(const std::function<bool()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::close(fds[0]);
        const char done = body() ? '1' : '0';
        if (::write(fds[1], &done, 1) != 1)
            ::_exit(1);
        for (;;)
            ::pause();
    }
    ::close(fds[1]);
    char done = 0;
    const bool reported = ::read(fds[0], &done, 1) == 1;
    ::close(fds[0]);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return reported && done == '1' && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// Runs a shell command with its output discarded; its exit status.
inline int RunQuietly(const std::string& cmd)
{
    return std::system((cmd + " >/dev/null 2>&1").c_str());
}

// Runs a shell command; what it wrote to its standard output.
inline std::string RunCapture(const std::string& cmd)
{
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

// A test with a temporary folder of its own, into which it writes files
// byte by byte.
class FolderTest : public ::testing::Test
{
protected:
    // Writes the bytes into the file of that name in the folder; its path.
    std::wstring Write(const std::string& name, const Bytes& bytes)
    {
        WriteBytes(m_folder / name, bytes);
        return Wide(m_folder / name);
    }

    TempFolder m_folder;
};
} // namespace rifftest

#pragma once

// The harness the reader fuzz targets share: the input as a file, numbers
// taken from the input, and a read of a whole source with its checks.

#include "common/file/CAudioFileReadBase.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace fuzzsupport
{
// The input lives in an anonymous in-memory file, reopened through its /proc
// path like any file on disk. Holds one file for the life of the process.
class InputFile
{
public:
    explicit InputFile(const char* name) : m_fd(::memfd_create(name, MFD_CLOEXEC))
    {
        const std::string p = "/proc/self/fd/" + std::to_string(m_fd);
        m_path.assign(p.begin(), p.end());
    }

    // Replaces the file's contents with the input; false when that failed.
    bool Store(const uint8_t* data, size_t size)
    {
        if (m_fd < 0 || ::ftruncate(m_fd, 0) != 0)
            return false;
        return size == 0 || ::pwrite(m_fd, data, size, 0) == static_cast<ssize_t>(size);
    }

    const std::wstring& Path() const { return m_path; }

private:
    int m_fd;
    std::wstring m_path;
};

// Stores the input in the process's input file (made with the given name on
// the first call); the file's path, or null when the input could not be
// stored.
inline const std::wstring* StoreInput(const char* name, const uint8_t* data, size_t size)
{
    static InputFile input(name);
    return input.Store(data, size) ? &input.Path() : nullptr;
}

// A private folder in the temporary folder, removed with what it holds when
// the process ends normally. For readers that go by a file's name (its
// extension) or look at the files beside it.
class TempFolder
{
public:
    bool IsValid() const { return m_folder.IsValid(); }
    // The path of name in the folder (removed with the folder at the end).
    std::string Add(const std::string& name) const { return (m_folder / name).string(); }

private:
    vxtest::TempFolder m_folder{"vextal-fuzz"};
};

inline std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

// The process's private folder.
inline TempFolder& Folder()
{
    static TempFolder folder;
    return folder;
}

// A link named name, in the process's private folder, to the input file
// (the one StoreInput keeps): the input under a name of its own. Empty when
// it could not be made. Call it once per name; the link lives as long as
// the process.
inline std::wstring LinkToInput(const std::wstring& input, const std::string& name)
{
    TempFolder& folder = Folder();
    if (!folder.IsValid())
        return {};
    const std::string link = folder.Add(name);
    const std::string target(input.begin(), input.end());
    if (::symlink(target.c_str(), link.c_str()) != 0)
        return {};
    return Wide(link);
}

// Whether the characters of text at the positions are all digits (false
// when one lies past its end).
inline bool AreDigits(const std::wstring& text, std::initializer_list<size_t> positions)
{
    for (const size_t i : positions)
        if (i >= text.size() || text[i] < L'0' || text[i] > L'9')
            return false;
    return true;
}

// The signed 32-bit big-endian number at byte at of the input (zeros past
// its end).
inline int64_t Take(const uint8_t* data, size_t size, size_t at)
{
    int64_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v = (v << 8) | (at + i < size ? data[at + i] : 0);
    return static_cast<int32_t>(v);
}

// Takes the input apart front to back for the targets that build what they
// write from it: numbers, texts and byte runs; zeros once it is used up.
class InputReader
{
public:
    InputReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint32_t Number(int bytes)
    {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | Byte();
        return v;
    }
    // Up to maxLength bytes, the length taken from the input first.
    std::string Text(size_t maxLength)
    {
        const size_t length = std::min<size_t>(Number(maxLength > 255 ? 2 : 1) % (maxLength + 1), Left());
        std::string text(reinterpret_cast<const char*>(m_data + m_pos), length);
        m_pos += length;
        return text;
    }
    // What the input has not given yet.
    std::vector<uint8_t> Rest()
    {
        std::vector<uint8_t> rest(m_data + m_pos, m_data + m_size);
        m_pos = m_size;
        return rest;
    }
    size_t Left() const { return m_size - m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Reads the whole window through the integer entry, then a block through the
// float entry from the middle. A source never delivers more than it
// declares, and without a read error it delivers all of it (the input does
// not change while it is read).
inline void ReadEverything(CAudioPlayerInput& r)
{
    const uint16_t channels = r.GetNumChannels();
    std::vector<int32_t> ints(2 * 1024 + 16);
    std::vector<float> floats(2 * 1024 + 16);
    int32_t* ip[2] = {ints.data(), ints.data() + 1024 + 8};
    float* fp[2] = {floats.data(), floats.data() + 1024 + 8};
    int64_t total = 0;
    for (;;)
    {
        const uint32_t got = r.ReadAudioData(ip, 1000, 7);
        total += got;
        if (got < 1000 || channels == 0)
            break;
    }
    if (total > r.GetNumSamples() || (!r.AudioDataReadErrorOccured() && total != r.GetNumSamples()))
        __builtin_trap();
    r.SetCurSamplePosition(r.GetNumSamples() / 2);
    r.ReadAudioData(fp, 1017, 3);
}

// Reads the whole file, then a window the input's numbers choose, then the
// window from frame 1 on, and seeks by time.
inline void ReadWindows(CAudioFileReadBase& r, const uint8_t* data, size_t size)
{
    ReadEverything(r);
    r.ExtractData(Take(data, size, size / 3), Take(data, size, size / 2));
    ReadEverything(r);
    r.ExtractData(1, -1);
    ReadEverything(r);
    r.SetCurTimeSecond(0.001);
}
} // namespace fuzzsupport

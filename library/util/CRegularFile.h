#pragma once

#include <cstddef>
#include <string>

// Opens and reads files that come from outside the application (songs,
// pictures, songlists, settings, disc images) so that only regular files are
// ever read.
//
// A path may name a FIFO, a device or a link to one. Opening a FIFO that has
// no writer blocks in open() for good, and a device such as /dev/zero or
// /dev/urandom reports a size of 0 yet never ends. OpenForReading therefore
// opens without blocking, looks at what it opened (fstat, so a link that is
// swapped afterwards changes nothing) and refuses anything that is not a
// regular file. ReadAll counts the bytes it actually read against its limit,
// never the size the file system reports.
//
// Paths are UTF-8. Keeps no state: safe from any thread.
class CRegularFile
{
public:
    CRegularFile() = delete;

    // A descriptor open for reading (blocking, close-on-exec) on the regular
    // file at path, links followed; -1 when the file cannot be opened or is
    // anything else (a folder, FIFO, socket or device), with errno set
    // (EINVAL for a file of the wrong kind). The caller closes it.
    static int OpenForReading(const char* path);
    static int OpenForReading(const std::string& path) { return OpenForReading(path.c_str()); }

    // Whether path names a regular file, links followed. Never blocks.
    static bool IsRegular(const char* path);
    static bool IsRegular(const std::string& path) { return IsRegular(path.c_str()); }

    // Reads the regular file at path whole into out. False, with out empty,
    // when the file cannot be opened, is not a regular file, a read fails, or
    // it holds more than maxBytes bytes: at most maxBytes + 1 bytes are read,
    // however long the file is or says it is.
    static bool ReadAll(const char* path, size_t maxBytes, std::string& out);
    static bool ReadAll(const std::string& path, size_t maxBytes, std::string& out)
    {
        return ReadAll(path.c_str(), maxBytes, out);
    }
};

#pragma once

// Files that are not regular files, for tests of the paths that read files
// from outside: a FIFO without a writer (opening it to read blocks), links to
// the endless devices, and a folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace vxtest
{
enum class ESpecialFile
{
    kFifo,
    kLinkToDevZero,
    kLinkToDevUrandom,
    kFolder
};

inline const char* SpecialFileName(ESpecialFile kind)
{
    switch (kind)
    {
    case ESpecialFile::kFifo:
        return "a FIFO without a writer";
    case ESpecialFile::kLinkToDevZero:
        return "a link to /dev/zero";
    case ESpecialFile::kLinkToDevUrandom:
        return "a link to /dev/urandom";
    case ESpecialFile::kFolder:
        return "a folder";
    }
    return "";
}

inline std::vector<ESpecialFile> AllSpecialFiles()
{
    return {ESpecialFile::kFifo, ESpecialFile::kLinkToDevZero, ESpecialFile::kLinkToDevUrandom,
            ESpecialFile::kFolder};
}

// Makes a file of the kind at path (whose folder exists); false on failure.
inline bool MakeSpecialFile(ESpecialFile kind, const std::filesystem::path& path)
{
    std::error_code ec;
    switch (kind)
    {
    case ESpecialFile::kFifo:
        return ::mkfifo(path.c_str(), 0600) == 0;
    case ESpecialFile::kLinkToDevZero:
        std::filesystem::create_symlink("/dev/zero", path, ec);
        return !ec;
    case ESpecialFile::kLinkToDevUrandom:
        std::filesystem::create_symlink("/dev/urandom", path, ec);
        return !ec;
    case ESpecialFile::kFolder:
        return std::filesystem::create_directory(path, ec);
    }
    return false;
}
} // namespace vxtest

#pragma once

// A folder nobody may write into, for tests of failed saves: for a plain
// user the permission bits say so; root may write anything, so for root the
// folder is an empty file system mounted read-only there. Removed (or made
// writable again) when the object goes.

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vxtest
{
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const std::filesystem::path& path) : m_path(path)
    {
        std::filesystem::create_directories(path);
        if (::geteuid() != 0)
            m_ready = ::chmod(path.c_str(), 0555) == 0;
        else
            m_mounted = m_ready = ::mount("vextal-ro", path.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0;
        if (!m_ready)
            m_why = std::string("cannot make a read-only folder: ") + std::strerror(errno);
    }
    ~ReadOnlyFolder()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
        else
            ::chmod(m_path.c_str(), 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool IsReady() const { return m_ready; }
    const std::string& WhyNot() const { return m_why; }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
    bool m_ready = false;
    bool m_mounted = false;
    std::string m_why;
};
} // namespace vxtest

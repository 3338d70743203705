#pragma once

// Helpers for tests of volume notices: a tmpfs mount made by the test (only
// where the process may mount), and a queue of notices that a test waits on.

#include "tests/common/file/RiffTestFiles.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace mounttest
{
// A small tmpfs on a folder of its own, unmounted at the end at the latest.
class TmpfsMount
{
public:
    explicit TmpfsMount(const std::filesystem::path& folder)
    {
        std::filesystem::create_directories(folder);
        m_path = std::filesystem::canonical(folder).string();
    }
    ~TmpfsMount()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    // Whether this process may mount: root, and a trial mount works.
    bool CanMount()
    {
        if (::geteuid() != 0)
        {
            m_why = "mounting needs root";
            return false;
        }
        if (!Mount())
        {
            m_why = std::string("mount(2) refused: ") + std::strerror(errno);
            return false;
        }
        return Unmount();
    }
    const std::string& WhyNot() const { return m_why; }

    bool Mount()
    {
        m_mounted = ::mount("vextal-test", m_path.c_str(), "tmpfs", 0, "size=64k") == 0;
        return m_mounted;
    }
    bool Unmount()
    {
        if (::umount2(m_path.c_str(), 0) != 0)
            return false;
        m_mounted = false;
        return true;
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_why;
    bool m_mounted = false;
};

// Notices (kind and path) from any thread, waited for by the test.
class NoticeQueue
{
public:
    std::function<void(int, const std::string&)> Function()
    {
        return [this](int kind, const std::string& path) { Add(kind, path); };
    }
    void Add(int kind, const std::string& path)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_notices.push_back({kind, path});
        m_changed.notify_all();
    }
    // Whether the notice arrives within ms (or came already).
    bool WaitFor(int kind, const std::string& path, int ms)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(ms),
                                  [&]
                                  {
                                      for (const auto& n : m_notices)
                                          if (n.first == kind && n.second == path)
                                              return true;
                                      return false;
                                  });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<int, std::string>> m_notices;
};
} // namespace mounttest

#pragma once

// A guard for tests that hand FIFOs to code which must never block on them.
//
// Opening a FIFO to read blocks until a writer opens it. A test whose code
// under test does that would hang until CTest kills it; with a watchdog it
// fails instead. The watchdog waits for the test to finish (Finish, or its
// destruction) and, if the test is still running after a generous time,
// records a failure and opens each guarded FIFO for writing (and closes it
// again) once a second until the test ends, which lets every blocked open
// return. Give the time as the limit of a stuck test, never as a measure:
// the code under test is expected to return at once.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace vxtest
{
class OpenWatchdog
{
public:
    explicit OpenWatchdog(std::vector<std::string> fifos,
                          std::chrono::seconds limit = std::chrono::seconds(30))
        : m_fifos(std::move(fifos)), m_thread([this, limit] { Watch(limit); })
    {
    }
    ~OpenWatchdog() { Finish(); }

    OpenWatchdog(const OpenWatchdog&) = delete;
    OpenWatchdog& operator=(const OpenWatchdog&) = delete;

    // Ends the watch; the test's code has returned.
    void Finish()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void Add(const std::string& fifo)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_fifos.push_back(fifo);
    }

private:
    void Watch(std::chrono::seconds limit)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_wake.wait_for(lock, limit, [this] { return m_finished; }))
            return;
        ADD_FAILURE() << "the code under test still runs after " << limit.count()
                      << " s: it blocked on a FIFO (opened it to read or read from it)";
        while (!m_wake.wait_for(lock, std::chrono::seconds(1), [this] { return m_finished; }))
        {
            for (const std::string& fifo : m_fifos)
            {
                // Non-blocking: succeeds only while a reader waits, which it
                // then releases; closing at once gives that reader the end of
                // the file.
                const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0)
                    ::close(fd);
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_finished = false;
    std::vector<std::string> m_fifos;
    std::thread m_thread;
};
} // namespace vxtest

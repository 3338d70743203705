#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

// A notice of the disc back end that any number of parts wait on: the drive
// list or the open drive's medium may have changed, a job has ended. The
// back end sends it from the thread where it learns of the change; each
// listener's function runs on that thread.
//
// Locks. m_lock guards the listeners and is held while their functions run,
// so once Remove has returned no function of that listener runs or starts.
// A function must therefore be short and must not add or remove listeners
// (wake a thread, trigger an asynchronous update).
class CDiscNotice
{
public:
    using Function = std::function<void()>;

    // The listener's id, for Remove; never 0.
    uint64_t Add(Function function);
    void Remove(uint64_t id);
    // Calls every listener's function; returns how many there were.
    size_t Send();

    // A listener for the life of a scope.
    class Scoped
    {
    public:
        Scoped(CDiscNotice& notice, Function function)
            : m_notice(notice), m_id(notice.Add(std::move(function)))
        {
        }
        ~Scoped() { m_notice.Remove(m_id); }
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

    private:
        CDiscNotice& m_notice;
        const uint64_t m_id;
    };

private:
    std::mutex m_lock;
    std::vector<std::pair<uint64_t, Function>> m_listeners;
    uint64_t m_nextId = 1;
};

#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// The burner's worker for the drive operations the message thread asks for
// but must never wait on (an eject, the end of a drive scan): it runs them
// one after another on its own thread, started by the first one, and posts
// each one's answer to the message thread.
//
// Threads. Post from any thread; the work runs on the worker thread, the
// answer on the message thread. The worker is destroyed on the message
// thread (an answer may destroy it), and no answer runs after that.
// Locks. m_lock guards the queue; no lock of the worker is held while work
// runs. The answers reach the worker through a token the destructor clears
// under the token's own lock.
class CDriveWorker
{
public:
    using Work = std::function<void()>;
    using Answer = std::function<void()>;

    CDriveWorker();
    // Drops the work not begun yet and the answers not delivered, and waits
    // for the running work to end by itself (never a kill).
    ~CDriveWorker();

    CDriveWorker(const CDriveWorker&) = delete;
    CDriveWorker& operator=(const CDriveWorker&) = delete;

    // Queues work; its answer (may be empty) is posted to the message thread
    // once the work has run.
    void Post(Work work, Answer answer);
    // Whether work is queued or running.
    bool IsBusy();

private:
    struct Token
    {
        std::mutex lock;
        bool alive = true;
    };

    void Run();
    void Deliver(Answer answer);

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::pair<Work, Answer>> m_queue;
    bool m_bStopping = false;
    bool m_bWorking = false;
    std::shared_ptr<Token> m_token;
    std::thread m_thread;
};

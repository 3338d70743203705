#include "common/disc/CDriveWorker.h"

#include <juce_events/juce_events.h>

CDriveWorker::CDriveWorker() : m_token(std::make_shared<Token>()) {}

CDriveWorker::~CDriveWorker()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStopping = true;
        m_queue.clear();
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> guard(m_token->lock);
    m_token->alive = false;
}

void CDriveWorker::Post(Work work, Answer answer)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_bStopping)
        return;
    m_queue.emplace_back(std::move(work), std::move(answer));
    if (!m_thread.joinable())
        m_thread = std::thread([this] { Run(); });
    m_changed.notify_all();
}

bool CDriveWorker::IsBusy()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bWorking || !m_queue.empty();
}

void CDriveWorker::Run()
{
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;)
    {
        m_changed.wait(lock, [this] { return m_bStopping || !m_queue.empty(); });
        if (m_bStopping)
            return;
        std::pair<Work, Answer> next = std::move(m_queue.front());
        m_queue.pop_front();
        m_bWorking = true;
        lock.unlock();
        if (next.first)
            next.first();
        Deliver(std::move(next.second));
        lock.lock();
        m_bWorking = false;
    }
}

void CDriveWorker::Deliver(Answer answer)
{
    if (!answer)
        return;
    std::weak_ptr<Token> weak = m_token;
    juce::MessageManager::callAsync(
        [weak, answer = std::move(answer)]
        {
            const std::shared_ptr<Token> token = weak.lock();
            if (token == nullptr)
                return;
            {
                std::lock_guard<std::mutex> guard(token->lock);
                if (!token->alive)
                    return;
            }
            answer();
        });
}

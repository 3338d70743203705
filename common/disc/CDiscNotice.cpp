#include "common/disc/CDiscNotice.h"

#include <algorithm>

uint64_t CDiscNotice::Add(Function function)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const uint64_t id = m_nextId++;
    m_listeners.emplace_back(id, std::move(function));
    return id;
}

void CDiscNotice::Remove(uint64_t id)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_listeners.erase(std::remove_if(m_listeners.begin(), m_listeners.end(),
                                     [id](const std::pair<uint64_t, Function>& l) { return l.first == id; }),
                      m_listeners.end());
}

size_t CDiscNotice::Send()
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const auto& listener : m_listeners)
        if (listener.second)
            listener.second();
    return m_listeners.size();
}

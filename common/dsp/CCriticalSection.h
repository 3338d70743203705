#pragma once

#include <pthread.h>

// A recursive lock: the thread that holds it may enter it again and must leave
// it as often as it entered.
class CCriticalSection
{
public:
    CCriticalSection();
    virtual ~CCriticalSection();

    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Enter();
    void Exit();

private:
    pthread_mutex_t m_mutex;
};

// Holds a CCriticalSection for the lifetime of the scope.
class CScopedCriticalSection
{
public:
    explicit CScopedCriticalSection(CCriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
    ~CScopedCriticalSection() { m_cs.Exit(); }

    CScopedCriticalSection(const CScopedCriticalSection&) = delete;
    CScopedCriticalSection& operator=(const CScopedCriticalSection&) = delete;

private:
    CCriticalSection& m_cs;
};

#include "common/dsp/CCriticalSection.h"

CCriticalSection::CCriticalSection()
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m_mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

CCriticalSection::~CCriticalSection()
{
    pthread_mutex_destroy(&m_mutex);
}

void CCriticalSection::Enter()
{
    pthread_mutex_lock(&m_mutex);
}

void CCriticalSection::Exit()
{
    pthread_mutex_unlock(&m_mutex);
}

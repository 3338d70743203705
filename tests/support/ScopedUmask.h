#pragma once

#include <sys/stat.h>
#include <sys/types.h>

// The process's umask for the life of the object; the one before is put back.
class ScopedUmask
{
public:
    explicit ScopedUmask(mode_t mask) : m_saved(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_saved); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    const mode_t m_saved;
};

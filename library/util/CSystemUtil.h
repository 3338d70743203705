#pragma once

#include <xmmintrin.h>

// Processor facts the vector code relies on.
class CSystemUtil
{
public:
    // x86_64 processors always have SSE and SSE2.
    static bool HasSSE() { return true; }

    // The floating-point control word of the engine's vector code: all six
    // exception masks set, denormals-are-zero and flush-to-zero on, rounding
    // toward zero.
    static unsigned int GetPreferredMxcsr() { return 0xFFC0u; }
};

// Sets the engine's preferred control word for the lifetime of the scope and
// restores the caller's word when it ends.
class CScopedPreferredMxcsr
{
public:
    CScopedPreferredMxcsr() : m_saved(_mm_getcsr()) { _mm_setcsr(CSystemUtil::GetPreferredMxcsr()); }
    ~CScopedPreferredMxcsr() { _mm_setcsr(m_saved); }

    CScopedPreferredMxcsr(const CScopedPreferredMxcsr&) = delete;
    CScopedPreferredMxcsr& operator=(const CScopedPreferredMxcsr&) = delete;

private:
    unsigned int m_saved;
};

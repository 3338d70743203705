#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define VEXTAL_TEST_ALLOCATION_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXTAL_TEST_ALLOCATION_HOOKS 1
#endif
#endif

#ifdef VEXTAL_TEST_ALLOCATION_HOOKS
// The sanitizer runtime calls these hooks on every allocation and release.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, size_t),
                                                         void (*freeHook)(const volatile void*));
#endif

namespace TestSupport
{
// Counts the allocations the calling thread makes between Start and Stop,
// and keeps the size of the largest.
// It needs the sanitizer's allocation hooks: Available() is false without
// them, and tests then skip.
class ThreadAllocationCounter
{
public:
    static bool Available()
    {
#ifdef VEXTAL_TEST_ALLOCATION_HOOKS
        static const bool installed = []
        {
            __sanitizer_install_malloc_and_free_hooks(
                [](const volatile void*, size_t size)
                {
                    if (!s_counting)
                        return;
                    ++s_allocations;
                    s_largest = size > s_largest ? size : s_largest;
                },
                [](const volatile void*) {});
            return true;
        }();
        return installed;
#else
        return false;
#endif
    }

    static void Start()
    {
        s_allocations = 0;
        s_largest = 0;
        s_counting = true;
    }
    // Pauses counting and keeps the count so far.
    static void Pause()
    {
        s_counting = false;
    }
    static void Resume()
    {
        s_counting = true;
    }
    // Ends counting and returns the allocations counted since Start.
    static int Stop()
    {
        s_counting = false;
        return s_allocations;
    }
    // The bytes of the largest allocation counted since Start.
    static size_t Largest()
    {
        return s_largest;
    }

private:
    static inline thread_local bool s_counting = false;
    static inline thread_local int s_allocations = 0;
    static inline thread_local size_t s_largest = 0;
};
} // namespace TestSupport

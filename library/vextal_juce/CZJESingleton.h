#pragma once

#include <juce_core/juce_core.h>

// Makes T a reference-counted single instance, created and released explicitly.
// Creation and release are guarded by sm_mCritical, so they are safe from any
// thread; concurrent first calls construct exactly one instance.
//
// Usage: class CFoo : public CZJESingleton<CFoo> { friend class CZJESingleton<CFoo>; ... };
// CreateInstance() constructs T with its default constructor.
template <typename T>
class CZJESingleton
{
public:
    // The single instance; null while none exists. Reading it directly is safe
    // while the caller holds a reference; GetInstance() reads it under the lock.
    static inline T* sm_pInstance = nullptr;
    // The number of CreateInstance calls not yet matched by DestroyInstance.
    static inline int sm_iRefCount = 0;
    // Guards creation, release and the two fields above.
    static inline juce::CriticalSection sm_mCritical;

    // Returns the instance, creating it on the first call; every call adds one
    // reference that a DestroyInstance call gives back.
    static T* CreateInstance()
    {
        const juce::ScopedLock sl(sm_mCritical);
        if (sm_iRefCount > 0 || sm_pInstance != nullptr)
        {
            ++sm_iRefCount;
            return sm_pInstance;
        }
        T* instance = new T();
        sm_pInstance = instance;
        sm_iRefCount = 1;
        return instance;
    }

    // Gives back one reference; the last one deletes the instance. Does nothing
    // when no reference is held.
    static void DestroyInstance()
    {
        const juce::ScopedLock sl(sm_mCritical);
        if (sm_iRefCount <= 0)
            return;
        if (--sm_iRefCount == 0)
        {
            T* instance = sm_pInstance;
            sm_pInstance = nullptr;
            delete instance;
        }
    }

    static T* GetInstance()
    {
        const juce::ScopedLock sl(sm_mCritical);
        return sm_pInstance;
    }

protected:
    CZJESingleton() = default;
    ~CZJESingleton() = default;

    CZJESingleton(const CZJESingleton&) = delete;
    CZJESingleton& operator=(const CZJESingleton&) = delete;
};

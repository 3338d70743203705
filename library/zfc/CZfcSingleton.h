#pragma once

// Makes T a reference-counted single instance, created and released explicitly.
// No lock: creation and release happen on the message thread only.
//
// Usage: class CFoo : public CZfcSingleton<CFoo> { friend class CZfcSingleton<CFoo>; ... };
// CreateInstance() constructs T with its default constructor; a class that must
// do more on creation (open a file, register itself) does it in that constructor.
template <typename T>
class CZfcSingleton
{
public:
    // The single instance; null while none exists.
    static inline T* sm_pInstance = nullptr;
    // The number of CreateInstance calls not yet matched by DestroyInstance.
    static inline int sm_iRefCount = 0;

    // Returns the instance, creating it on the first call; every call adds one
    // reference that a DestroyInstance call gives back.
    static T* CreateInstance()
    {
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
        if (sm_iRefCount <= 0)
            return;
        if (--sm_iRefCount == 0)
        {
            T* instance = sm_pInstance;
            sm_pInstance = nullptr;
            delete instance;
        }
    }

    static T* GetInstance() { return sm_pInstance; }

protected:
    CZfcSingleton() = default;
    ~CZfcSingleton() = default;

    CZfcSingleton(const CZfcSingleton&) = delete;
    CZfcSingleton& operator=(const CZfcSingleton&) = delete;
};

#pragma once

#include "library/vextal_juce/CZJESingleton.h"

// Makes an object the instance of its singleton for the life of the guard
// (with one reference, which code under test may add to and give back).
template <typename T>
class ScopedSingletonInstance
{
public:
    explicit ScopedSingletonInstance(T* instance)
    {
        CZJESingleton<T>::sm_pInstance = instance;
        CZJESingleton<T>::sm_iRefCount = 1;
    }
    ~ScopedSingletonInstance()
    {
        CZJESingleton<T>::sm_pInstance = nullptr;
        CZJESingleton<T>::sm_iRefCount = 0;
    }
    ScopedSingletonInstance(const ScopedSingletonInstance&) = delete;
    ScopedSingletonInstance& operator=(const ScopedSingletonInstance&) = delete;
};

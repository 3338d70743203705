#pragma once

#include "common/disc/CAudioDiscBurnBase.h"
#include "common/dsp/CCriticalSection.h"

#include <memory>

// Owns the one burner and creates it on first use. The export manager holds
// the proxy for the life of the application.
//
// Threads. Any thread may ask for the instance; creation runs under the
// proxy's lock. The instance stays valid until the class changes (SetClass)
// or the proxy is deleted.
class CAudioDiscBurnProxy
{
public:
    enum eClassID
    {
        kClassAudioCD = 0
    };

    explicit CAudioDiscBurnProxy(eClassID classId = kClassAudioCD);
    // Over a burner made by the caller (an audio-CD burner over a back end
    // of its choosing, as tests use), kept until the class changes.
    explicit CAudioDiscBurnProxy(std::unique_ptr<CAudioDiscBurnBase> instance);
    virtual ~CAudioDiscBurnProxy();

    CAudioDiscBurnProxy(const CAudioDiscBurnProxy&) = delete;
    CAudioDiscBurnProxy& operator=(const CAudioDiscBurnProxy&) = delete;

    // The burner, created (or re-created after a change of class) when
    // needed.
    CAudioDiscBurnBase* GetInstance();
    CAudioDiscBurnBase* operator->() { return GetInstance(); }
    operator CAudioDiscBurnBase*() { return GetInstance(); }

    // Asks for a class: 1 when that changed the requested class (the burner
    // is re-created on its next use), else 0 and nothing changes.
    int SetClass(eClassID classId);

private:
    eClassID m_requestedClass;
    eClassID m_currentClass;
    std::unique_ptr<CAudioDiscBurnBase> m_instance;
    CCriticalSection m_lock;
    bool m_bRecreate = true;
};

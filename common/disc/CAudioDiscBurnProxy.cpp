#include "common/disc/CAudioDiscBurnProxy.h"

#include "common/disc/CAudioCDBurn.h"

CAudioDiscBurnProxy::CAudioDiscBurnProxy(eClassID classId)
    : m_requestedClass(classId), m_currentClass(classId)
{
}

CAudioDiscBurnProxy::CAudioDiscBurnProxy(std::unique_ptr<CAudioDiscBurnBase> instance)
    : m_requestedClass(kClassAudioCD), m_currentClass(kClassAudioCD), m_instance(std::move(instance)),
      m_bRecreate(m_instance == nullptr)
{
}

CAudioDiscBurnProxy::~CAudioDiscBurnProxy() = default;

CAudioDiscBurnBase* CAudioDiscBurnProxy::GetInstance()
{
    CScopedCriticalSection lock(m_lock);
    if (m_bRecreate)
        m_instance.reset();
    if (m_instance == nullptr)
    {
        m_instance = std::make_unique<CAudioCDBurn>();
        m_currentClass = m_requestedClass;
        m_bRecreate = false;
    }
    return m_instance.get();
}

int CAudioDiscBurnProxy::SetClass(eClassID classId)
{
    CScopedCriticalSection lock(m_lock);
    if (classId != kClassAudioCD || classId == m_requestedClass)
        return 0;
    m_requestedClass = classId;
    if (m_requestedClass != m_currentClass)
        m_bRecreate = true;
    return 1;
}

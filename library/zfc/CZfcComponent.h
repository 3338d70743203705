#pragma once

#include "library/zfc/CZfcComponentListener.h"

#include <cstdint>

// The part every control of the component kit mixes in: the owner's labels for
// the control (a kind and an id, by which an owner of many controls tells them
// apart) and the one listener the control reports its events to. The listener
// is borrowed and null until the owner sets it; a control without a listener
// reports nothing.
//
// Message thread only.
class CZfcComponent
{
public:
    using MouseOperation = bool (CZfcComponentListener::*)(CZfcComponent*, const juce::MouseEvent&);

    CZfcComponent() = default;
    virtual ~CZfcComponent() = default;

    CZfcComponent(const CZfcComponent&) = delete;
    CZfcComponent& operator=(const CZfcComponent&) = delete;

    void SetKind(int32_t kind) { m_iKind = kind; }
    int32_t GetKind() const { return m_iKind; }
    void SetId(int32_t id) { m_iId = id; }
    int32_t GetId() const { return m_iId; }

    void SetListener(CZfcComponentListener* listener) { m_pListener = listener; }
    CZfcComponentListener* GetListener() const { return m_pListener; }

protected:
    // Offers a mouse event to the listener's operation; true when the
    // listener consumed it. False without a listener.
    bool ListenerConsumes(MouseOperation operation, const juce::MouseEvent& e)
    {
        return m_pListener != nullptr && (m_pListener->*operation)(this, e);
    }

    // Calls the listener's operation with this control; nothing without a
    // listener.
    void TellListener(void (CZfcComponentListener::*operation)(CZfcComponent*))
    {
        if (m_pListener != nullptr)
            (m_pListener->*operation)(this);
    }

private:
    int32_t m_iKind = 0;
    int32_t m_iId = 0;
    CZfcComponentListener* m_pListener = nullptr;
};

#include "src/songlist/Action/CVXActionChangeValue.h"

#include "library/util/CCheckUtil.h"
#include "src/songlist/CVXHost.h"

#include <cmath>

using Vextal::TrackInfo;

CVXActionChangeValue::CVXActionChangeValue(CVXHost* host) : m_host(host)
{
    VX_CHECK(host != nullptr);
}

void CVXActionChangeValue::SetValue(int index, int controlId, int value)
{
    m_index = index;
    m_controlId = controlId;
    m_intValue = value;
    m_floatValue = static_cast<float>(value);
}

void CVXActionChangeValue::SetValue(int index, int controlId, float value)
{
    m_index = index;
    m_controlId = controlId;
    m_floatValue = value;
    m_intValue = std::isfinite(value) ? static_cast<int>(std::lround(value)) : 0;
}

bool CVXActionChangeValue::perform()
{
    TrackInfo* song = m_host != nullptr ? m_host->GetSong(m_index) : nullptr;
    if (song == nullptr || m_controlId < 0 || m_controlId >= TrackInfo::kNumControls)
        return false;
    if (TrackInfo::isFloatControl(m_controlId))
    {
        const float previous = song->getControlFloat(m_controlId);
        song->setControl(m_controlId, m_floatValue, true);
        m_floatValue = previous;
        m_intValue = static_cast<int>(std::lround(previous));
    }
    else
    {
        const int previous = song->getControlInt(m_controlId);
        song->setControl(m_controlId, m_intValue, true);
        m_intValue = previous;
        m_floatValue = static_cast<float>(previous);
    }
    return true;
}

bool CVXActionChangeValue::undo()
{
    return perform();
}

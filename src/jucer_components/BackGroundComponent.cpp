#include "src/jucer_components/BackGroundComponent.h"

#include "src/Resource/CVXResourceManager.h"

BackGroundComponent::BackGroundComponent()
    : m_top(CVXResourceManager::Get(Vextal::kImageBackGroundTop)),
      m_strip(CVXResourceManager::Get(Vextal::kImageBackGroundCont)),
      m_logo(CVXResourceManager::Get(Vextal::kImagePlayerVextalLogo))
{
    setSize(699, 350);
}

void BackGroundComponent::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colours::red);
    const int top = m_top.isValid() ? m_top.getHeight() : 0;
    if (m_top.isValid())
        g.drawImageAt(m_top, 0, 0);
    if (m_strip.isValid())
    {
        for (int y = top; y < getHeight(); ++y)
            g.drawImageAt(m_strip, 0, y);
    }
    if (m_logo.isValid())
        g.drawImageAt(m_logo, 611, 32);
}

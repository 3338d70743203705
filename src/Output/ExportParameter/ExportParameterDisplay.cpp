#include "src/Output/ExportParameter/ExportParameterDisplay.h"
#include "src/Output/ExportParameter/ExportParameterComponentBinder.h"

#include "src/CVXLookAndFeel.h"

namespace Vextal
{
ExportParameterDisplay::ExportParameterDisplay(int rowHeight, int captionWidth, int viewerWidth, int gap)
    : m_rowHeight(rowHeight), m_captionWidth(captionWidth), m_viewerWidth(viewerWidth), m_gap(gap)
{
}

ExportParameterDisplay::~ExportParameterDisplay()
{
    removeAllChildren();
    for (auto& item : m_items)
        item->set->unbindComponent(item->value.get());
    m_items.clear();
}

void ExportParameterDisplay::add(ExportParameter& set, int index, const juce::String& caption, bool relayout)
{
    auto item = std::make_unique<Item>();
    item->set = &set;
    item->index = index;
    item->row = std::make_unique<juce::Component>();
    item->row->setSize(m_captionWidth + m_gap + m_viewerWidth, m_rowHeight);
    item->row->setVisible(true);

    item->caption = std::make_unique<juce::Label>("ExportParameterDisplayCaption_" + caption, caption);
    item->caption->setFont(CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontLocalUI, 14.0f));
    item->caption->setJustificationType(juce::Justification::centredRight);
    item->caption->setBounds(0, 0, m_captionWidth, m_rowHeight);
    item->row->addAndMakeVisible(*item->caption);

    item->value =
        std::make_unique<juce::Label>("ExportParameterDisplayViewer_" + caption, set.getParameterText(index));
    item->value->setFont(CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontLocalText, 14.0f));
    item->value->setBounds(m_captionWidth + m_gap, 0, m_viewerWidth, m_rowHeight);
    item->row->addAndMakeVisible(*item->value);
    bindComponent(set, index, item->value.get());

    m_items.push_back(std::move(item));
    if (relayout)
        updateLayout();
}

bool ExportParameterDisplay::setParameterVisible(ExportParameter& set, int index, bool visible, bool relayout)
{
    bool changed = false;
    for (auto& item : m_items)
    {
        if (item->set == &set && item->index == index && item->row->isVisible() != visible)
        {
            item->row->setVisible(visible);
            changed = true;
        }
    }
    if (relayout)
        updateLayout();
    return changed;
}

void ExportParameterDisplay::updateLayout()
{
    removeAllChildren();
    int shown = 0;
    for (auto& item : m_items)
    {
        if (!item->row->isVisible())
            continue;
        item->row->setTopLeftPosition(0, shown * m_rowHeight);
        addChildComponent(*item->row);
        ++shown;
    }
    setSize(m_captionWidth + m_viewerWidth + m_gap, m_rowHeight * shown);
}

juce::Component* ExportParameterDisplay::getRow(int row) const
{
    return juce::isPositiveAndBelow(row, getNumRows()) ? m_items[static_cast<size_t>(row)]->row.get()
                                                       : nullptr;
}

juce::Label* ExportParameterDisplay::getValueLabel(int row) const
{
    return juce::isPositiveAndBelow(row, getNumRows()) ? m_items[static_cast<size_t>(row)]->value.get()
                                                       : nullptr;
}
} // namespace Vextal

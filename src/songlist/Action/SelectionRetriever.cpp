#include "src/songlist/Action/SelectionRetriever.h"

#include "src/songlist/CVXHost.h"

namespace Vextal
{
SelectionRetriever::SelectionRetriever(CVXHost& host, bool refresh) : m_host(host), m_refresh(refresh) {}

SelectionRetriever::SelectionRetriever(CVXHost& host, const juce::SparseSet<int>& selection)
    : m_host(host), m_captured(true), m_selection(selection)
{
}

bool SelectionRetriever::perform()
{
    if (m_captured && !m_refresh)
        return true;
    m_selection = m_host.GetSelection();
    m_captured = true;
    return true;
}

bool SelectionRetriever::undo()
{
    m_host.SetSelectedSongs(m_selection, false);
    return true;
}
} // namespace Vextal

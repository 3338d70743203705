#pragma once

#include <juce_data_structures/juce_data_structures.h>

class CVXHost;

namespace Vextal
{
// The first action of a transaction that changes the selection: its undo,
// which runs last, sets the selection the transaction began with. Built with
// a bool it takes the host's selection at its first perform (and at every
// perform when refresh is set); built with a selection it keeps that one.
//
// Threads. Message thread only, like every undoable action.
class SelectionRetriever : public juce::UndoableAction
{
public:
    SelectionRetriever(CVXHost& host, bool refresh);
    SelectionRetriever(CVXHost& host, const juce::SparseSet<int>& selection);

    bool perform() override;
    bool undo() override;

private:
    CVXHost& m_host;
    bool m_captured = false;
    bool m_refresh = false;
    juce::SparseSet<int> m_selection;
};
} // namespace Vextal

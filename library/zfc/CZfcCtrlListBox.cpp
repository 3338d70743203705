#include "library/zfc/CZfcCtrlListBox.h"

CZfcCtrlListBox::CZfcCtrlListBox(const juce::String& name) : juce::ListBox(name, nullptr)
{
    setModel(this);
}

// The model part ends before the list: the list lets go of it first.
CZfcCtrlListBox::~CZfcCtrlListBox()
{
    setModel(nullptr);
}

int CZfcCtrlListBox::getNumRows()
{
    return 0;
}

void CZfcCtrlListBox::paintListBoxItem(int, juce::Graphics&, int, int, bool) {}

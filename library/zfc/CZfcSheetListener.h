#pragma once

class CZfcSheet;

// Told when a modal sheet has finished opening and when it has closed. Both
// operations do nothing by default.
//
// Message thread only.
class CZfcSheetListener
{
public:
    virtual ~CZfcSheetListener() = default;

    virtual void OnZfcSheetOpened(CZfcSheet*) {}
    virtual void OnZfcSheetClosed(CZfcSheet*) {}
};

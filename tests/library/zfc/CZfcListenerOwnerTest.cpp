#include "library/zfc/CZfcListenerOwner.h"

#include "tests/library/zfc/ListenerOwnerCases.h"

using ListenerOwnerCases::INotice;

TEST(CZfcListenerOwner, ListChangesDuringANoticeNeitherSkipNorRepeatListeners)
{
    ListenerOwnerCases::RunChangesDuringNotice<CZfcListenerOwner<INotice>>();
}

TEST(CZfcListenerOwner, AddingTwiceMakesTwoEntriesAndRemoveTakesTheFirst)
{
    ListenerOwnerCases::RunDuplicateEntries<CZfcListenerOwner<INotice>>();
}

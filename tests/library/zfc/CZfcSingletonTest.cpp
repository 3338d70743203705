#include "library/zfc/CZfcSingleton.h"

#include <gtest/gtest.h>

namespace
{
class CCountedZfc : public CZfcSingleton<CCountedZfc>
{
public:
    static inline int constructed = 0;
    static inline int destroyed = 0;

private:
    friend class CZfcSingleton<CCountedZfc>;
    CCountedZfc() { ++constructed; }
    ~CCountedZfc() { ++destroyed; }
};
} // namespace

TEST(CZfcSingleton, LivesUntilEveryCreateIsMatchedByADestroy)
{
    using S = CZfcSingleton<CCountedZfc>;
    CCountedZfc::constructed = CCountedZfc::destroyed = 0;

    S::DestroyInstance(); // none exists: nothing happens
    EXPECT_EQ(S::sm_iRefCount, 0);
    EXPECT_EQ(CCountedZfc::destroyed, 0);

    CCountedZfc* first = S::CreateInstance();
    CCountedZfc* second = S::CreateInstance();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(S::sm_pInstance, first);
    EXPECT_EQ(S::sm_iRefCount, 2);
    EXPECT_EQ(CCountedZfc::constructed, 1);

    S::DestroyInstance();
    EXPECT_EQ(S::sm_pInstance, first);
    EXPECT_EQ(CCountedZfc::destroyed, 0);

    S::DestroyInstance();
    EXPECT_EQ(S::sm_pInstance, nullptr);
    EXPECT_EQ(S::sm_iRefCount, 0);
    EXPECT_EQ(CCountedZfc::destroyed, 1);

    S::DestroyInstance(); // an extra release neither deletes again nor goes negative
    EXPECT_EQ(S::sm_iRefCount, 0);
    EXPECT_EQ(CCountedZfc::destroyed, 1);

    // A new cycle makes a new instance.
    EXPECT_NE(S::CreateInstance(), nullptr);
    EXPECT_EQ(CCountedZfc::constructed, 2);
    S::DestroyInstance();
    EXPECT_EQ(CCountedZfc::destroyed, 2);
}

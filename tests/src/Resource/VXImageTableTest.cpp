#include "src/Resource/VXImageTable.h"
#include "library/vextal_juce/CZJEResource.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(VXImageTable, NamesAreUniqueAndTheManagerHoldsSixtyTwo)
{
    EXPECT_EQ(Vextal::kResourceManagerImageCount, 62);
    std::set<std::string> names;
    for (const auto& spec : Vextal::kImageTable)
    {
        EXPECT_TRUE(names.insert(spec.name).second) << spec.name;
        EXPECT_GE(spec.frameWidth, 1) << spec.name;
        EXPECT_GE(spec.frameHeight, 1) << spec.name;
        EXPECT_GE(spec.rows, 1) << spec.name;
        EXPECT_GE(spec.columns, 1) << spec.name;
    }
    EXPECT_STREQ(Vextal::kImageTable[Vextal::kImageButtonAdd].name, "ButtonAdd");
    EXPECT_STREQ(Vextal::kImageTable[Vextal::kImageNoPicture].name, "NoPicture");
    EXPECT_STREQ(Vextal::kImageTable[Vextal::kImagePlayerVextalLogo].name, "Player_VextalLogo");
}

// The build draws every image of the table and ships it beside the program.
TEST(VXImageTable, EveryImageIsShippedAtItsSize)
{
    CZJEResource resource(CZJEResourceFolder(CZJEResourceFolder::GetDefaultRoot(), {}));
    for (const auto& spec : Vextal::kImageTable)
    {
        const juce::Image image = resource.LoadImageZJE(spec.name, Vextal::kImageType);
        ASSERT_TRUE(image.isValid()) << spec.name << " in "
                                     << CZJEResourceFolder::GetDefaultRoot().getFullPathName();
        EXPECT_EQ(image.getWidth(), spec.GetWidth()) << spec.name;
        EXPECT_EQ(image.getHeight(), spec.GetHeight()) << spec.name;
    }
}

// The lit meter image shows a segment's colour inside it and the dark gap
// between segments, at the heights of the segment table.
TEST(VXImageTable, MeterSegmentsFollowTheSegmentTable)
{
    CZJEResource resource(CZJEResourceFolder(CZJEResourceFolder::GetDefaultRoot(), {}));
    const juce::Image on = resource.LoadImageZJE("LevelMeterAllOn", Vextal::kImageType);
    ASSERT_TRUE(on.isValid());
    const int h = on.getHeight();
    const int x = on.getWidth() / 2;
    for (int i = 0; i + 1 < Vextal::kLevelMeterSegmentCount; ++i)
    {
        const int top = Vextal::kLevelMeterSegmentTops[i];
        const int low = Vextal::kLevelMeterSegmentTops[i + 1];
        if (top <= low)
            continue;
        const juce::Colour inside = on.getPixelAt(x, h - (top + low) / 2);
        const juce::Colour edge = on.getPixelAt(x, h - top);
        EXPECT_GT(inside.getBrightness(), edge.getBrightness() + 0.2f) << "segment " << i;
    }
}

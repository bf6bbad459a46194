#include "config/ConfigItems.h"
#include "config/ConfigLayout.h"
#include "support/TestSupport.h"

TEST(ConfigLayout, PlacesThePagesInTheDisplayRectangle)
{
    RECT display = {2, 2, 236, 242};
    ConfigPageLayout layout = ComputeConfigLayout(display, {32, 32});
    EXPECT_EQ(5, layout.tree.left);
    EXPECT_EQ(5, layout.tree.top);
    EXPECT_EQ(236, layout.tree.right);   // width 236 - 5 from x 5
    EXPECT_EQ(242, layout.tree.bottom);
    EXPECT_EQ(5, layout.aboutText.left);
    EXPECT_EQ(40, layout.aboutText.top);
    EXPECT_EQ(231, layout.aboutText.right);  // width 236 - 10
    EXPECT_EQ(237, layout.aboutText.bottom); // height 242 - 45
    EXPECT_EQ(101, layout.icon.x);           // (236 - 2 - 32) / 2
    EXPECT_EQ(5, layout.icon.y);
    // A larger icon (192 dpi) is centred all the same, and the text makes
    // room for it.
    ConfigPageLayout large = ComputeConfigLayout(display, {64, 64});
    EXPECT_EQ(85, large.icon.x);  // (236 - 2 - 64) / 2
    EXPECT_EQ(72, large.aboutText.top);  // 5 + 64 + 3
    EXPECT_EQ(237, large.aboutText.bottom);
}

TEST(ConfigLayout, ATinyDisplayGivesEmptyPagesNotNegativeOnes)
{
    RECT display = {2, 2, 8, 30};
    ConfigPageLayout layout = ComputeConfigLayout(display, {32, 32});
    EXPECT_EQ(layout.aboutText.left, layout.aboutText.right);
    EXPECT_EQ(layout.aboutText.top, layout.aboutText.bottom);
    EXPECT_EQ(8, layout.tree.right);
    EXPECT_EQ(-13, layout.icon.x);  // (6 - 32) / 2, truncated toward zero
}

TEST(ConfigItems, CountStopsAtAnEndRecordAndNeverPassesNine)
{
    EXPECT_EQ(9, ConfigTreeItemCount());
    OptionItem saved = ConfigItems[4];
    ConfigItems[4].level = -1;
    ConfigItems[4].kind = Group;
    EXPECT_EQ(4, ConfigTreeItemCount());
    ConfigItems[4].kind = Check;  // level -1 alone does not end the table
    EXPECT_EQ(9, ConfigTreeItemCount());
    ConfigItems[4] = saved;
}

TEST(ConfigItems, RowsAreFoundByIdAndCheckRowsKeepTheirHighBits)
{
    for (int id = 1; id <= 9; ++id)
        ASSERT_NE(nullptr, FindConfigItem(id)) << id;
    EXPECT_EQ(nullptr, FindConfigItem(10));
    EXPECT_EQ(nullptr, FindConfigItem(0));
    EXPECT_EQ(&ConfigItems[1], FindConfigItem(RowDelay));

    // The dialog reads and writes only the low byte of a Check row.
    OptionItem& jpg = *FindConfigItem(RowFileType);
    jpg.value = 0x7F00;
    SetItemFlag(jpg, true);
    EXPECT_EQ(0x7F01, jpg.value);
    EXPECT_TRUE(ItemFlag(jpg));
    jpg.value = 0x7F00;
    EXPECT_FALSE(ItemFlag(jpg));
}

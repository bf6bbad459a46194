#include "platform/MenuBarTemplate.h"
#include "support/TestSupport.h"

namespace {

// The configuration dialog's menu bar, word for word.
const WORD DialogBarWords[16] = {111,    2, 0xFFFE, 2, 4, 0x10, 200, 0, 0xFFFF,
                                 0xFFFE, 40001, 4,  0x18, 201, 0, 0};

}  // namespace

TEST(MenuBarTemplate, ReadsTheDialogsTwoButtons)
{
    MenuBarTemplate bar;
    ASSERT_TRUE(ParseMenuBarTemplate(DialogBarWords, 16, bar));
    EXPECT_EQ(111, bar.menuId);
    ASSERT_EQ(2, bar.buttonCount);

    const MenuBarButton& cancel = bar.buttons[0];
    EXPECT_EQ(-2, cancel.image);  // I_IMAGENONE
    EXPECT_EQ(2, cancel.command);
    EXPECT_EQ(4, cancel.state);
    EXPECT_EQ(0x10, cancel.style);
    EXPECT_EQ(200, cancel.labelId);
    EXPECT_EQ(-1, cancel.popupIndex);

    const MenuBarButton& menu = bar.buttons[1];
    EXPECT_EQ(-2, menu.image);
    EXPECT_EQ(40001, menu.command);
    EXPECT_EQ(0x18, menu.style);
    EXPECT_EQ(201, menu.labelId);
    EXPECT_EQ(0, menu.popupIndex);
}

TEST(MenuBarTemplate, RefusesWordsThatDoNotHoldTheirButtons)
{
    MenuBarTemplate bar;
    EXPECT_FALSE(ParseMenuBarTemplate(DialogBarWords, 15, bar));  // one word short
    EXPECT_FALSE(ParseMenuBarTemplate(DialogBarWords, 1, bar));
    EXPECT_FALSE(ParseMenuBarTemplate(nullptr, 0, bar));
    const WORD tooMany[2] = {111, MaxMenuBarButtons + 1};
    EXPECT_FALSE(ParseMenuBarTemplate(tooMany, 2, bar));
    const WORD none[2] = {111, 0};
    ASSERT_TRUE(ParseMenuBarTemplate(none, 2, bar));
    EXPECT_EQ(0, bar.buttonCount);
}

TEST(MenuBarTemplate, KeysShareTheBarAndCoverItWhole)
{
    RECT left = MenuBarKeyRect(241, 26, 2, 0);
    RECT right = MenuBarKeyRect(241, 26, 2, 1);
    EXPECT_EQ(0, left.left);
    EXPECT_EQ(120, left.right);
    EXPECT_EQ(120, right.left);
    EXPECT_EQ(241, right.right);  // the odd pixel goes to the last key
    EXPECT_EQ(26, right.bottom);

    EXPECT_EQ(0, MenuBarKeyAt(241, 2, 0));
    EXPECT_EQ(0, MenuBarKeyAt(241, 2, 119));
    EXPECT_EQ(1, MenuBarKeyAt(241, 2, 120));
    EXPECT_EQ(1, MenuBarKeyAt(241, 2, 240));
    EXPECT_EQ(-1, MenuBarKeyAt(241, 2, 241));
    EXPECT_EQ(-1, MenuBarKeyAt(241, 2, -1));
    EXPECT_EQ(-1, MenuBarKeyAt(241, 0, 5));

    RECT outside = MenuBarKeyRect(240, 26, 2, 2);
    EXPECT_TRUE(IsRectEmpty(&outside));
}

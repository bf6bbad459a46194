#include "app/StartUp.h"
#include "support/TestSupport.h"

TEST(StartUp, CommandLineDelayTakesALeadingNumberInRange)
{
    // The number is _wtol's (its rules are tested with WideCrt): a leading
    // one, in range.
    EXPECT_EQ(5, CommandLineDelay(L"5"));
    EXPECT_EQ(5, CommandLineDelay(L"5x"));
    EXPECT_EQ(7, CommandLineDelay(L"  7"));
    EXPECT_EQ(0, CommandLineDelay(L"0"));
    EXPECT_EQ(0, CommandLineDelay(L"-3"));
    EXPECT_EQ(360000, CommandLineDelay(L"360000"));
    EXPECT_EQ(0, CommandLineDelay(L"360001"));
    EXPECT_EQ(0, CommandLineDelay(L"99999999999999999999"));
    EXPECT_EQ(0, CommandLineDelay(L"-config"));
    EXPECT_EQ(0, CommandLineDelay(L""));
}

TEST(StartUp, ConfigSwitchIsTheWholeLineInAnyCase)
{
    EXPECT_TRUE(IsConfigCommand(L"-config"));
    EXPECT_TRUE(IsConfigCommand(L"-CONFIG"));
    EXPECT_TRUE(IsConfigCommand(L"-Config"));
    EXPECT_FALSE(IsConfigCommand(L"-config "));
    EXPECT_FALSE(IsConfigCommand(L"5 -config"));
    EXPECT_FALSE(IsConfigCommand(L"-conf"));
    EXPECT_FALSE(IsConfigCommand(L"config"));
    EXPECT_FALSE(IsConfigCommand(L""));
    // The whole line, character by character: no character is passed over.
    EXPECT_FALSE(IsConfigCommand(L"-con\u00ADfig"));
}

#include <limits.h>

#include "platform/WideCrt.h"
#include "support/TestSupport.h"

TEST(WideCrt, WtolFollowsTheRuntimeRules)
{
    EXPECT_EQ(5, _wtol(L"5"));
    EXPECT_EQ(5, _wtol(L"5x"));
    EXPECT_EQ(12, _wtol(L"12abc"));
    EXPECT_EQ(0, _wtol(L""));
    EXPECT_EQ(0, _wtol(L"abc"));
    EXPECT_EQ(-5, _wtol(L" -5"));
    EXPECT_EQ(-3, _wtol(L"\t\n-3"));
    EXPECT_EQ(7, _wtol(L"+7"));
    EXPECT_EQ(0, _wtol(L"- 7"));
    EXPECT_EQ(0, _wtol(L"-"));
    EXPECT_EQ(360001, _wtol(L"360001"));
}

TEST(WideCrt, WtolSaturatesBeyondThirtyTwoBits)
{
    EXPECT_EQ(INT_MAX, _wtol(L"2147483647"));
    EXPECT_EQ(INT_MAX, _wtol(L"2147483648"));
    EXPECT_EQ(INT_MIN, _wtol(L"-2147483648"));
    EXPECT_EQ(INT_MIN, _wtol(L"-2147483649"));
    EXPECT_EQ(INT_MAX, _wtol(L"1234567890123456789012345678901234567890"));
}

TEST(WideCrt, ItowWritesDecimalWithSign)
{
    WCHAR buffer[33];
    EXPECT_EQ("0", Utf8(_itow(0, buffer, 10)));
    EXPECT_EQ("-2147483648", Utf8(_itow(INT_MIN, buffer, 10)));
    EXPECT_EQ("2147483647", Utf8(_itow(INT_MAX, buffer, 10)));
    EXPECT_EQ("-42", Utf8(_itow(-42, buffer, 10)));
    EXPECT_EQ("ff", Utf8(_itow(255, buffer, 16)));
    EXPECT_EQ("ffffffff", Utf8(_itow(-1, buffer, 16)));
}

TEST(WideCrt, LengthCompareAndBoundedCopies)
{
    EXPECT_EQ(0u, WideLength(L""));
    EXPECT_EQ(7u, WideLength(L"Каталог"));
    EXPECT_EQ(0, WideCompare(L"abc", L"abc"));
    EXPECT_LT(WideCompare(L"ab", L"abc"), 0);
    EXPECT_GT(WideCompare(L"\x0439", L"z"), 0);  // ordinal, not locale order

    WCHAR field[6] = L"old";
    EXPECT_FALSE(WideCopy(field, 6, L"123456"));
    EXPECT_EQ("old", Utf8(field));
    EXPECT_TRUE(WideCopy(field, 6, L"12345"));
    EXPECT_FALSE(WideAppend(field, 6, L"x"));
    EXPECT_EQ("12345", Utf8(field));
    EXPECT_TRUE(WideCopy(field, 6, L"ab"));
    EXPECT_TRUE(WideAppend(field, 6, L"cde"));
    EXPECT_EQ("abcde", Utf8(field));
}

TEST(WideCrt, WfopenMapsWindowsPaths)
{
    ScratchFolder folder;
    std::u16string name = folder.Join("Файл с пробелом.txt");
    FILE* file = _wfopen(W(name), L"wb");
    ASSERT_NE(nullptr, file);
    fputs("hello", file);
    fclose(file);
    EXPECT_EQ(5u, ReadWholeFile(W(name)).size());

    std::u16string missing = folder.Join("no such folder\\x.txt");
    EXPECT_EQ(nullptr, _wfopen(W(missing), L"wb"));
}

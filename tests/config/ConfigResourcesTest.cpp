#include "support/TestSupport.h"

#include <string.h>

#include <vector>

#include "res/resource.h"

namespace {

std::vector<unsigned char> ResourceBytes(int id, LPCWSTR type)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!resource)
        return {};
    const unsigned char* data =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, resource)));
    return std::vector<unsigned char>(data, data + SizeofResource(module, resource));
}

std::string LoadedString(int id)
{
    WCHAR text[64] = {};
    LoadStringW(GetModuleHandleW(nullptr), id, text, 64);
    return Utf8(text);
}

// A UTF-16 string in a template at offset, advanced past its terminator.
std::string TemplateString(const std::vector<unsigned char>& bytes, size_t& offset)
{
    std::u16string text;
    while (offset + 1 < bytes.size()) {
        char16_t c = static_cast<char16_t>(ReadU16(bytes, offset));
        offset += 2;
        if (!c)
            break;
        text += c;
    }
    return Utf8(W(text));
}

}  // namespace

TEST(ConfigResources, MenuBarIsTheSixteenWords)
{
    const WORD expected[16] = {111,    2, 0xFFFE, 2, 4, 0x10, 200, 0, 0xFFFF,
                               0xFFFE, 40001, 4,  0x18, 201, 0, 0};
    std::vector<unsigned char> bytes = ResourceBytes(111, reinterpret_cast<LPCWSTR>(RT_RCDATA));
    ASSERT_EQ(sizeof expected, bytes.size());
    EXPECT_EQ(0, memcmp(expected, bytes.data(), sizeof expected));
}

TEST(ConfigResources, SoftKeyLabelsAndTheMenu)
{
    EXPECT_EQ("Отмена", LoadedString(200));
    EXPECT_EQ("Меню", LoadedString(201));

    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(111));
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(1, GetMenuItemCount(menu));
    WCHAR text[64] = {};
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ("Меню", Utf8(text));
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, popup);
    ASSERT_EQ(1, GetMenuItemCount(popup));
    EXPECT_EQ(40002u, GetMenuItemID(popup, 0));
    GetMenuStringW(popup, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ("Создать ярлыки", Utf8(text));
    DestroyMenu(menu);
}

TEST(ConfigResources, DialogTemplate)
{
    std::vector<unsigned char> bytes = ResourceBytes(106, reinterpret_cast<LPCWSTR>(RT_DIALOG));
    ASSERT_GT(bytes.size(), 18u);
    EXPECT_EQ(0x80C00040u, ReadU32(bytes, 0));  // WS_POPUP | WS_CAPTION | DS_SETFONT
    EXPECT_EQ(0x80000000u, ReadU32(bytes, 4));  // WS_EX_CAPTIONOKBTN
    EXPECT_EQ(1u, ReadU16(bytes, 8));           // one control
    EXPECT_EQ(0u, ReadU16(bytes, 10));
    EXPECT_EQ(0u, ReadU16(bytes, 12));
    EXPECT_EQ(136u, ReadU16(bytes, 14));
    EXPECT_EQ(165u, ReadU16(bytes, 16));
    size_t offset = 18;
    EXPECT_EQ("", TemplateString(bytes, offset));  // no menu
    EXPECT_EQ("", TemplateString(bytes, offset));  // the standard class
    EXPECT_EQ("Tavro", TemplateString(bytes, offset));
    EXPECT_EQ(9u, ReadU16(bytes, offset));
    offset += 2;
    EXPECT_EQ("Tahoma", TemplateString(bytes, offset));

    offset = (offset + 3) & ~static_cast<size_t>(3);
    ASSERT_LE(offset + 18 + 8, bytes.size());
    EXPECT_EQ(0x50000003u, ReadU32(bytes, offset));  // WS_CHILD | WS_VISIBLE | SS_ICON
    EXPECT_EQ(5u, ReadU16(bytes, offset + 8));
    EXPECT_EQ(5u, ReadU16(bytes, offset + 10));
    EXPECT_EQ(20u, ReadU16(bytes, offset + 12));
    EXPECT_EQ(20u, ReadU16(bytes, offset + 14));
    EXPECT_EQ(1001u, ReadU16(bytes, offset + 16));
    EXPECT_EQ(0xFFFFu, ReadU16(bytes, offset + 18));  // class by ordinal: STATIC
    EXPECT_EQ(0x0082u, ReadU16(bytes, offset + 20));
    EXPECT_EQ(0xFFFFu, ReadU16(bytes, offset + 22));  // image by ordinal: icon 101
    EXPECT_EQ(101u, ReadU16(bytes, offset + 24));
}

// 16 and 32 pixels, and 48 and 64 for screens of 144 and 192 dpi, where
// the system's icons are that large.
TEST(ConfigResources, ProgramIconAtFourSizesAndTwoDepths)
{
    std::vector<unsigned char> group =
        ResourceBytes(101, reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    ASSERT_GE(group.size(), 6u);
    ASSERT_EQ(8u, ReadU16(group, 4));
    ASSERT_EQ(6u + 8 * 14, group.size());
    const unsigned sizes[4] = {16, 32, 48, 64};
    int found = 0;
    for (int i = 0; i < 8; ++i) {
        size_t entry = 6 + i * 14;
        unsigned size = group[entry];
        unsigned bits = ReadU16(group, entry + 6);
        EXPECT_TRUE(bits == 8 || bits == 32) << bits;
        for (int s = 0; s < 4; ++s)
            if (size == sizes[s])
                found |= 1 << (2 * s + (bits == 32 ? 1 : 0));
    }
    EXPECT_EQ(0xFF, found);  // each size at each depth

    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101),
                                               IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(nullptr, icon);
    // The screen of the handheld is blue: a 32 x 32 drawing on white has
    // plenty of strongly blue pixels, and white is left at the corners.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 32, 32};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    int blue = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            if (GetBValue(c) > 150 && GetRValue(c) < 120)
                ++blue;
        }
    EXPECT_GT(blue, 60);
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 31, 31));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    DestroyIcon(icon);
}

// The drawing helpers on a memory device context with a 32-bit DIB.
#include "platform/Gdi.h"

#include "support/TestSupport.h"

namespace {

class MemoryCanvas {
public:
    MemoryCanvas(int width, int height) : dc_(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info = TopDownDibInfo(width, height);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~MemoryCanvas()
    {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    // 0x00RRGGBB
    DWORD Pixel(int x, int y) const
    {
        RECT one = {x, y, x + 1, y + 1};
        return DcPixels(dc_, one).at(0);
    }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
};

bool IsGdiObject(HGDIOBJ object)
{
    return GetObjectType(object) != 0;
}

}  // namespace

TEST(GdiSelection, SelectsForItsLifeAndPutsThePreviousObjectBack)
{
    MemoryCanvas canvas(4, 4);
    HGDIOBJ before = GetCurrentObject(canvas.Dc(), OBJ_FONT);
    HGDIOBJ font = GetStockObject(ANSI_VAR_FONT);
    ASSERT_NE(before, font);
    {
        GdiSelection selection(canvas.Dc(), font);
        EXPECT_TRUE(static_cast<bool>(selection));
        EXPECT_EQ(font, GetCurrentObject(canvas.Dc(), OBJ_FONT));
    }
    EXPECT_EQ(before, GetCurrentObject(canvas.Dc(), OBJ_FONT));
    EXPECT_TRUE(IsGdiObject(font));  // borrowed: still there
}

TEST(GdiSelection, DeletesAnOwnedObjectOnlyAfterItHasLeftTheContext)
{
    MemoryCanvas canvas(4, 4);
    HGDIOBJ before = GetCurrentObject(canvas.Dc(), OBJ_PEN);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    {
        GdiSelection selection(canvas.Dc(), pen, GdiSelection::Owned);
        EXPECT_EQ(pen, GetCurrentObject(canvas.Dc(), OBJ_PEN));
    }
    EXPECT_EQ(before, GetCurrentObject(canvas.Dc(), OBJ_PEN));
    EXPECT_FALSE(IsGdiObject(pen));
}

TEST(GdiSelection, ANullObjectLeavesTheContextItsOwn)
{
    MemoryCanvas canvas(4, 4);
    HGDIOBJ before = GetCurrentObject(canvas.Dc(), OBJ_FONT);
    {
        GdiSelection selection(canvas.Dc(), nullptr, GdiSelection::Owned);
        EXPECT_FALSE(static_cast<bool>(selection));
        EXPECT_EQ(before, GetCurrentObject(canvas.Dc(), OBJ_FONT));
    }
    EXPECT_EQ(before, GetCurrentObject(canvas.Dc(), OBJ_FONT));
}

TEST(GdiSelection, SolidPenAndBrushAreMadeForTheGuardsLife)
{
    MemoryCanvas canvas(8, 8);
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    {
        GdiSelection penSelection = SelectSolidPen(canvas.Dc(), RGB(200, 0, 0));
        GdiSelection brushSelection = SelectSolidBrush(canvas.Dc(), RGB(0, 0, 200));
        pen = GetCurrentObject(canvas.Dc(), OBJ_PEN);
        brush = GetCurrentObject(canvas.Dc(), OBJ_BRUSH);
        LOGPEN penInfo = {};
        ASSERT_TRUE(GetObjectW(pen, sizeof penInfo, &penInfo));
        EXPECT_EQ(static_cast<UINT>(PS_SOLID), penInfo.lopnStyle);
        EXPECT_EQ(1, penInfo.lopnWidth.x);
        EXPECT_EQ(RGB(200, 0, 0), penInfo.lopnColor);
        Rectangle(canvas.Dc(), 0, 0, 8, 8);
    }
    EXPECT_EQ(0x00C80000u, canvas.Pixel(0, 0));  // the pen's outline
    EXPECT_EQ(0x000000C8u, canvas.Pixel(4, 4));  // the brush's inside
    EXPECT_FALSE(IsGdiObject(pen));
    EXPECT_FALSE(IsGdiObject(brush));
}

TEST(FillSolid, FillsTheAreaAndLeavesItsColourAsTheBackground)
{
    MemoryCanvas canvas(6, 6);
    RECT all = {0, 0, 6, 6};
    FillSolid(canvas.Dc(), all, RGB(255, 255, 255));
    RECT inner = {1, 2, 4, 5};
    FillSolid(canvas.Dc(), inner, RGB(10, 20, 30));
    EXPECT_EQ(0x000A141Eu, canvas.Pixel(1, 2));
    EXPECT_EQ(0x000A141Eu, canvas.Pixel(3, 4));
    EXPECT_EQ(0x00FFFFFFu, canvas.Pixel(4, 4));  // right and bottom edges excluded
    EXPECT_EQ(0x00FFFFFFu, canvas.Pixel(3, 5));
    EXPECT_EQ(0x00FFFFFFu, canvas.Pixel(0, 2));
    EXPECT_EQ(RGB(10, 20, 30), GetBkColor(canvas.Dc()));
}

TEST(FillVerticalGradient, ShadesFromTheTopColourToTheBottomColour)
{
    MemoryCanvas canvas(3, 5);
    RECT area = {0, 0, 3, 5};
    FillVerticalGradient(canvas.Dc(), area, RGB(0, 100, 200), RGB(40, 60, 0));
    EXPECT_EQ(0x000064C8u, canvas.Pixel(0, 0));
    EXPECT_EQ(0x000A5A96u, canvas.Pixel(2, 1));  // a quarter of the way
    EXPECT_EQ(0x00145064u, canvas.Pixel(1, 2));  // half way
    EXPECT_EQ(0x00283C00u, canvas.Pixel(1, 4));
}

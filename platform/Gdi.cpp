#include "platform/Gdi.h"

GdiSelection::GdiSelection(HDC dc, HGDIOBJ object, Ownership ownership)
    : dc_(dc),
      object_(object),
      previous_(object ? SelectObject(dc, object) : nullptr),
      ownership_(ownership)
{
}

GdiSelection::~GdiSelection()
{
    if (previous_)
        SelectObject(dc_, previous_);
    if (object_ && ownership_ == Owned)
        DeleteObject(object_);
}

GdiSelection SelectSolidPen(HDC dc, COLORREF colour)
{
    return GdiSelection(dc, CreatePen(PS_SOLID, 1, colour), GdiSelection::Owned);
}

GdiSelection SelectSolidBrush(HDC dc, COLORREF colour)
{
    return GdiSelection(dc, CreateSolidBrush(colour), GdiSelection::Owned);
}

void FillSolid(HDC dc, const RECT& area, COLORREF colour)
{
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, L"", 0, nullptr);
}

void FillVerticalGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom)
{
    int height = area.bottom - area.top;
    for (int y = 0; y < height; ++y) {
        int span = height > 1 ? height - 1 : 1;
        COLORREF colour = RGB(GetRValue(top) + (GetRValue(bottom) - GetRValue(top)) * y / span,
                              GetGValue(top) + (GetGValue(bottom) - GetGValue(top)) * y / span,
                              GetBValue(top) + (GetBValue(bottom) - GetBValue(top)) * y / span);
        RECT line = {area.left, area.top + y, area.right, area.top + y + 1};
        FillSolid(dc, line, colour);
    }
}

// Drawing with GDI objects that live for one drawing: a guard that selects
// an object into a device context and gives the context its previous one
// back, and fills that need no brush at all.
#pragma once

#include <windows.h>

// Selects object into dc for the guard's life; at its end the object that
// was there before goes back in, and an owned object is deleted after it
// has left the context. A null object (a font or pen that could not be
// made) selects nothing: the context keeps its own.
class GdiSelection {
public:
    enum Ownership { Borrowed, Owned };

    GdiSelection(HDC dc, HGDIOBJ object, Ownership ownership = Borrowed);
    ~GdiSelection();
    GdiSelection(const GdiSelection&) = delete;
    GdiSelection& operator=(const GdiSelection&) = delete;

    // Whether the object is in the context.
    explicit operator bool() const { return previous_ != nullptr; }

private:
    HDC dc_;
    HGDIOBJ object_;
    HGDIOBJ previous_;
    Ownership ownership_;
};

// A solid pen one pixel wide, and a solid brush, of colour, made for the
// guard's life.
GdiSelection SelectSolidPen(HDC dc, COLORREF colour);
GdiSelection SelectSolidBrush(HDC dc, COLORREF colour);

// Fills area with colour as the opaque box of an empty ExtTextOutW, so no
// brush is made. colour stays dc's background colour, which text drawn
// opaque afterwards stands on.
void FillSolid(HDC dc, const RECT& area, COLORREF colour);

// Shades area line by line from top's colour on its first line to bottom's
// on its last.
void FillVerticalGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom);

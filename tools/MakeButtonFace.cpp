// Writes res/notice-button.bmp, the face of the completion notice's "OK"
// button: 80 x 20 pixels, 8 bits per pixel with a full 256-entry colour
// table. White inside, an orange frame shading from light at the top to dark
// at the bottom, and a dark green outer line.
//
// The output is committed; the build never runs this. To remake it:
//   g++ -std=c++17 -O2 -o /tmp/make-button-face tools/MakeButtonFace.cpp
//   /tmp/make-button-face res/notice-button.bmp
#include "GeneratedFile.h"

namespace {

const int Width = 80;  // a multiple of 4: rows need no padding
const int Height = 20;
const int FrameThickness = 2;  // orange, inside the one-pixel outer line
const int PaletteSize = 256;

// Colour table slots.
const uint8_t White = 0;
const uint8_t OuterLine = 1;
const uint8_t FirstOrange = 2;  // one shade per row of the frame

struct Rgb {
    int red, green, blue;
};

const Rgb WhiteColour = {255, 255, 255};
const Rgb OuterLineColour = {0x1F, 0x55, 0x1F};
const Rgb LightOrange = {255, 206, 130};
const Rgb DarkOrange = {196, 92, 0};

Rgb OrangeForRow(int row)
{
    // Row 1 (the top of the frame) is the lightest, row Height - 2 the darkest.
    int span = Height - 3;
    int step = row - 1;
    auto mix = [&](int light, int dark) { return light + (dark - light) * step / span; };
    return {mix(LightOrange.red, DarkOrange.red), mix(LightOrange.green, DarkOrange.green),
            mix(LightOrange.blue, DarkOrange.blue)};
}

uint8_t PixelAt(int x, int row)  // row 0 is the top
{
    if (x == 0 || row == 0 || x == Width - 1 || row == Height - 1)
        return OuterLine;
    bool inFrame = x <= FrameThickness || row <= FrameThickness ||
                   x >= Width - 1 - FrameThickness || row >= Height - 1 - FrameThickness;
    return inFrame ? static_cast<uint8_t>(FirstOrange + row - 1) : White;
}

void PutColour(std::vector<uint8_t>& out, Rgb colour)
{
    out.push_back(static_cast<uint8_t>(colour.blue));
    out.push_back(static_cast<uint8_t>(colour.green));
    out.push_back(static_cast<uint8_t>(colour.red));
    out.push_back(0);
}

std::vector<uint8_t> BuildFile()
{
    const unsigned headersSize = 14 + 40 + PaletteSize * 4;
    const unsigned pixelsSize = Width * Height;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, headersSize + pixelsSize);
    Put32(out, 0);
    Put32(out, headersSize);

    Put32(out, 40);
    Put32(out, Width);
    Put32(out, Height);  // positive: rows stored bottom-up
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 0);  // BI_RGB
    Put32(out, pixelsSize);
    Put32(out, 3780);
    Put32(out, 3780);
    Put32(out, PaletteSize);
    Put32(out, 0);

    PutColour(out, WhiteColour);
    PutColour(out, OuterLineColour);
    for (int row = 1; row <= Height - 2; ++row)
        PutColour(out, OrangeForRow(row));
    while (out.size() < headersSize)
        PutColour(out, {0, 0, 0});

    for (int row = Height - 1; row >= 0; --row)
        for (int x = 0; x < Width; ++x)
            out.push_back(PixelAt(x, row));
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    return WriteGeneratedFile(argc, argv, "OUTPUT.bmp", BuildFile());
}

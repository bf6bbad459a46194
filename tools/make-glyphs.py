#!/usr/bin/env python3
"""Draws the options tree's row glyphs (icons 401 to 405) into res/.

Each .ico holds a 16x16 and a 32x32 image in 16 colours (the standard VGA
palette) with a 1-bit transparency mask; the 32x32 image is the 16x16
picture with every pixel doubled. Standard library only; run it again
after changing a picture and commit its output with it.
"""
import os
import struct

PALETTE = [  # (red, green, blue)
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GREEN, TEAL, WHITE = 0, 2, 6, 15
CLEAR = None  # transparent pixel


def blank():
    return [[CLEAR] * 16 for _ in range(16)]


def triangle_down(picture, left, top, width):
    """Solid black triangle pointing down, (width + 1) / 2 rows high."""
    row = 0
    while width - 2 * row > 0:
        for x in range(left + row, left + width - row):
            picture[top + row][x] = BLACK
        row += 1


def triangle_right(picture, left, top, height):
    """Solid black triangle pointing right, (height + 1) / 2 columns wide."""
    column = 0
    while height - 2 * column > 0:
        for y in range(top + column, top + height - column):
            picture[y][left + column] = BLACK
        column += 1


def box(picture):
    """13x13 box: 1-pixel dark cyan frame, white inside."""
    for y in range(1, 14):
        for x in range(1, 14):
            edge = x in (1, 13) or y in (1, 13)
            picture[y][x] = TEAL if edge else WHITE


def expanded():
    picture = blank()
    triangle_down(picture, 3, 5, 9)  # 9 wide, 5 high
    return picture


def collapsed():
    picture = blank()
    triangle_right(picture, 5, 3, 9)  # 5 wide, 9 high
    return picture


def unchecked():
    picture = blank()
    box(picture)
    return picture


def checked():
    picture = blank()
    box(picture)
    # A tick three pixels thick: down from (3, 6) to (5, 8), up to (11, 2).
    stroke = [(3, 6), (4, 7), (5, 8), (6, 7), (7, 6), (8, 5), (9, 4), (10, 3), (11, 2)]
    for x, y in stroke:
        for dy in range(3):
            picture[y + dy][x] = GREEN
    return picture


def dropdown():
    picture = blank()
    triangle_down(picture, 8, 10, 7)  # 7 wide, 4 high, lower right quarter
    return picture


def doubled(picture):
    rows = []
    for row in picture:
        wide = [pixel for pixel in row for _ in range(2)]
        rows.append(wide)
        rows.append(list(wide))
    return rows


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def image_bytes(picture):
    """BITMAPINFOHEADER, palette, 4-bit colour rows and 1-bit mask rows,
    both bottom-up as icons store them."""
    size = len(picture)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour = b""
    mask = b""
    for row in reversed(picture):
        nibbles = [BLACK if pixel is CLEAR else pixel for pixel in row]
        colour += padded(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2)))
        bits = [1 if pixel is CLEAR else 0 for pixel in row]
        mask += padded(bytes(
            sum(bit << (7 - j) for j, bit in enumerate(bits[i:i + 8])) for i in range(0, size, 8)))
    return header + palette + colour + mask


def icon_file(picture):
    images = [image_bytes(picture), image_bytes(doubled(picture))]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in zip((16, 32), images):
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(images)


GLYPHS = {
    "glyph_expanded.ico": expanded,     # 401
    "glyph_collapsed.ico": collapsed,   # 402
    "glyph_unchecked.ico": unchecked,   # 403
    "glyph_checked.ico": checked,       # 404
    "glyph_dropdown.ico": dropdown,     # 405
}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
    for name, draw in GLYPHS.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(icon_file(draw()))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Draws the program icon (icon group 101): a tilted handheld computer with a
blue screen, at 64 x 64, 48 x 48, 32 x 32 and 16 x 16 (the larger ones for
screens of 192 and 144 dpi), each at 256 colours and at 32 bits per pixel,
and writes it as res/tavro.ico. Plain Python, no imaging library, so
the picture can be made again on any machine:

    python3 tools/make-icon.py res/tavro.ico
"""
import math
import struct
import sys

TILT_DEGREES = -18.0   # the top leans to the left
SUPERSAMPLE = 4        # per axis, for smooth edges in the 32-bit images

# The handheld in its own upright frame, in units of a 32-pixel icon with
# the origin at the icon's centre; v grows downwards.
BODY_HALF_WIDTH, BODY_HALF_HEIGHT, BODY_RADIUS = 8.2, 13.6, 2.6
OUTLINE = 1.1
SCREEN = (-6.2, -11.0, 6.2, 4.0)  # left, top, right, bottom
BUTTONS = [(0.0, 8.6, 2.2), (-5.2, 8.6, 1.4), (5.2, 8.6, 1.4)]  # u, v, radius


def rounded_box_distance(u, v, half_w, half_h, radius):
    """Signed distance to a rounded rectangle: negative inside."""
    qx = abs(u) - (half_w - radius)
    qy = abs(v) - (half_h - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def device_colour(u, v):
    """Colour and coverage (0 or 1) of one point of the upright device."""
    body = rounded_box_distance(u, v, BODY_HALF_WIDTH, BODY_HALF_HEIGHT, BODY_RADIUS)
    if body > 0:
        return None
    if body > -OUTLINE:
        return (40, 40, 48)
    left, top, right, bottom = SCREEN
    if left <= u <= right and top <= v <= bottom:
        if u < left + 0.8 or u > right - 0.8 or v < top + 0.8 or v > bottom - 0.8:
            return (20, 28, 60)          # the screen's dark frame
        t = (v - top) / (bottom - top)
        blue = mix((70, 140, 245), (12, 50, 170), t)
        if (u - left) + (v - top) < 6.5:  # a glint in the upper left corner
            blue = mix(blue, (190, 220, 255), 0.45)
        return blue
    for bu, bv, radius in BUTTONS:
        d = math.hypot(u - bu, v - bv)
        if d <= radius:
            return (60, 60, 70) if d > radius - 0.7 else (120, 122, 135)
    t = (v + BODY_HALF_HEIGHT) / (2 * BODY_HALF_HEIGHT)
    return mix((222, 224, 232), (150, 152, 165), t)  # brushed silver


def render(size):
    """Rows top-down of (r, g, b, a) with straight (not premultiplied) alpha."""
    scale = 32.0 / size
    angle = math.radians(TILT_DEGREES)
    cos_a, sin_a = math.cos(angle), math.sin(angle)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            total = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    px = (x + (sx + 0.5) / SUPERSAMPLE) * scale - 16.0
                    py = (y + (sy + 0.5) / SUPERSAMPLE) * scale - 16.0
                    # into the device's upright frame
                    u = px * cos_a + py * sin_a
                    v = -px * sin_a + py * cos_a
                    colour = device_colour(u, v)
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                r, g, b = (int(round(c / covered)) for c in total)
                row.append((r, g, b, int(round(255 * covered / SUPERSAMPLE ** 2))))
        rows.append(row)
    return rows


def palette_256():
    """A 6 x 6 x 6 colour cube and 40 greys: one palette for both sizes."""
    levels = [0, 51, 102, 153, 204, 255]
    colours = [(r, g, b) for r in levels for g in levels for b in levels]
    colours += [(int(round(i * 255 / 41)),) * 3 for i in range(1, 41)]
    return colours


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def row_bytes(bits_per_row):
    return ((bits_per_row + 31) // 32) * 4


def and_mask(rows, size):
    """1 bit per pixel, bottom-up; 1 = transparent."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(row_bytes(size))
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def bitmap_header(size, bits, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                       0, 0, 0, colours_used, 0)


def image_8bpp(rows, size, palette):
    data = bitmap_header(size, 8, 256)
    data += b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    cache = {}
    for row in reversed(rows):
        line = bytearray(row_bytes(size * 8))
        for x, (r, g, b, a) in enumerate(row):
            if a >= 128:
                key = (r, g, b)
                if key not in cache:
                    cache[key] = nearest(palette, key)
                line[x] = cache[key]
        data += bytes(line)
    return data + and_mask(rows, size)


def image_32bpp(rows, size):
    data = bitmap_header(size, 32, 0)
    for row in reversed(rows):
        data += b"".join(struct.pack("<BBBB", b, g, r, a) if a else b"\0\0\0\0"
                         for r, g, b, a in row)
    return data + and_mask(rows, size)


def icon_file(images):
    """images: (size, bits, bytes) in directory order."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = b""
    for size, bits, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits,
                                 len(data), offset)
        offset += len(data)
    return header + directory + b"".join(data for _, _, data in images)


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else "res/tavro.ico"
    palette = palette_256()
    images = []
    for size in (64, 48, 32, 16):
        rows = render(size)
        images.append((size, 8, image_8bpp(rows, size, palette)))
        images.append((size, 32, image_32bpp(rows, size)))
    with open(target, "wb") as out:
        out.write(icon_file(images))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Draws the installer's icon (a box with a down arrow) and writes installer.ico in the sizes Windows
asks for at 96 to 192 DPI (16 to 64 pixels), 16 colours each, from the standard 16-colour palette.
With --demo it draws the demo product's icon instead: the same box in green with a red arrow, so that
the demo installer shows an icon of its own.
Usage: make_icon.py [--demo] [OUTPUT]"""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY, DARK_GREY, YELLOW, BLUE, WHITE = 0, 4, 7, 8, 11, 12, 15
DEMO_COLOURS = {DARK_BLUE: 2, BLUE: 10, YELLOW: 9}  # dark green, green, red
CLEAR = None


def draw(size):
    """Returns rows top to bottom of palette indices, CLEAR where the icon is transparent."""
    s = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    # The box: a dark outline, a blue body, a lighter lid.
    rect(3, 13, 29, 31, BLACK)
    rect(4, 14, 28, 30, BLUE)
    rect(4, 14, 28, 17, DARK_BLUE)
    rect(14, 17, 18, 30, DARK_BLUE)
    # A label on the front.
    rect(7, 21, 12, 26, WHITE)
    rect(20, 21, 25, 26, GREY)
    # The arrow coming down into the box.
    rect(13, 1, 19, 10, BLACK)
    rect(14, 1, 18, 10, YELLOW)
    for i in range(7):
        y = 9 + i
        rect(9 + i, y, 23 - i, y + 1, BLACK)
        if 10 + i < 22 - i:
            rect(10 + i, y, 22 - i, y + 1, YELLOW)
    return px


def image(size, demo):
    px = draw(size)
    if demo:
        px = [[DEMO_COLOURS.get(c, c) if c is not CLEAR else CLEAR for c in row] for row in px]
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(px):  # bitmaps are stored bottom-up
        line = bytearray(xor_row)
        bits = bytearray(and_row)
        for x, colour in enumerate(row):
            value = 0 if colour is CLEAR else colour
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
            if colour is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def main():
    args = sys.argv[1:]
    demo = '--demo' in args
    args = [a for a in args if a != '--demo']
    out = args[0] if args else 'installer.ico'
    # 32 and 16 first, as before; 48 and 64 are the big icon at 144 and 192 DPI, 24 the small one at 144.
    sizes = (32, 16, 48, 64, 24)
    images = [image(size, demo) for size in sizes]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, body in zip(sizes, images):
        data += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(body), offset)
        offset += len(body)
    data += b''.join(images)
    with open(out, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()

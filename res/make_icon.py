#!/usr/bin/env python3
"""Draws the launcher's icon: a 16 x 16 and a 32 x 32 image in 16 colours,
a blue tile with a white arrow pointing right (start) over a yellow bar
(progress). Writes a .ico file to the path given."""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
TRANSPARENT, DARK_BLUE, BLUE, YELLOW, WHITE = None, 4, 12, 11, 15


def draw(size):
    """Rows top to bottom of palette indexes (None: transparent)."""
    edge = max(1, size // 16)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            inside = edge <= x < size - edge and edge <= y < size - edge
            corner = (x < 2 * edge or x >= size - 2 * edge) and (y < 2 * edge or y >= size - 2 * edge)
            if not inside or corner:
                row.append(TRANSPARENT)
                continue
            border = x < 2 * edge or x >= size - 2 * edge or y < 2 * edge or y >= size - 2 * edge
            colour = DARK_BLUE if border else BLUE
            # The arrow: a triangle in the upper two thirds.
            top, bottom = size * 3 // 16, size * 11 // 16
            middle = (top + bottom) / 2
            left = size * 5 // 16
            if top <= y < bottom and x >= left and (x - left) <= (middle - abs(y + 0.5 - middle)) * 1.2:
                colour = WHITE
            # The progress bar along the bottom.
            if size * 12 // 16 <= y < size * 14 // 16 and size * 3 // 16 <= x < size * 11 // 16:
                colour = YELLOW
            row.append(colour)
        rows.append(row)
    return rows


def bitmap(size):
    rows = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    colour_stride = ((size * 4 + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    colours, mask = b'', b''
    for row in reversed(rows):  # bottom-up
        packed = bytearray(colour_stride)
        bits = bytearray(mask_stride)
        for x, index in enumerate(row):
            value = 0 if index is None else index
            packed[x // 2] |= value << (4 if x % 2 == 0 else 0)
            if index is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        colours += bytes(packed)
        mask += bytes(bits)
    return header + palette + colours + mask


def main(path):
    images = [bitmap(16), bitmap(32)]
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    for size, image in zip((16, 32), images):
        directory += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as out:
        out.write(directory + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1])

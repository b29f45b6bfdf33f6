#!/usr/bin/env python3
"""Draws the launcher's icon: one image for each size Windows asks for at
the usual display scales (16 to 64 pixels, 32-bit colour with alpha), a blue
tile with a white arrow pointing right (start) over a yellow bar (progress).
Each size is drawn for itself, so that none is a blurred scaling of another.
Writes a .ico file to the path given."""
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


SIZES = (16, 20, 24, 32, 40, 48, 64)


def bitmap(size):
    """A 32-bit image (blue, green, red, alpha) with its AND mask."""
    rows = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_stride = ((size + 31) // 32) * 4
    colours, mask = b'', b''
    for row in reversed(rows):  # bottom-up
        bits = bytearray(mask_stride)
        for x, index in enumerate(row):
            if index is None:
                colours += b'\0\0\0\0'
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                red, green, blue = PALETTE[index]
                colours += struct.pack('<BBBB', blue, green, red, 255)
        mask += bytes(bits)
    return header + colours + mask


def main(path):
    images = [bitmap(size) for size in SIZES]
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    for size, image in zip(SIZES, images):
        directory += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as out:
        out.write(directory + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1])

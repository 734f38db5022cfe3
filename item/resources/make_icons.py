#!/usr/bin/env python3
"""Draws the library's three icons (130 the item, 138 processor, 139 memory) as
.ico files with a 32x32 and a 16x16 image in 16 colours. Run by hand; the
.ico files it writes are kept with the sources."""
import os
import struct

# The standard 16-colour palette (RGB).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREEN, GREY, GREEN, RED, YELLOW, WHITE = 0, 2, 8, 10, 9, 11, 15

# Traces as heights (0 to 1) at 8 points across the screen of the icon.
CPU_TRACE = [0.2, 0.5, 0.3, 0.8, 0.6, 0.9, 0.4, 0.7]
MEMORY_TRACE = [0.45, 0.45, 0.5, 0.5, 0.55, 0.5, 0.55, 0.6]


def draw(size, traces):
    """Returns rows (top first) of palette indices, or None for transparent."""
    pixels = [[None] * size for _ in range(size)]
    # A framed black screen with a grid, filling the icon but a 1-pixel margin.
    for y in range(1, size - 1):
        for x in range(1, size - 1):
            edge = x in (1, size - 2) or y in (1, size - 2)
            pixels[y][x] = GREY if edge else BLACK
    step = max(size // 4, 4)
    for y in range(2, size - 2):
        for x in range(2, size - 2):
            if (x - 2) % step == step - 1 or (y - 2) % step == step - 1:
                pixels[y][x] = DARK_GREEN
    inner = size - 4
    for trace, colour in traces:
        previous = None
        for x in range(inner):
            position = x * (len(trace) - 1) / (inner - 1)
            i = min(int(position), len(trace) - 2)
            level = trace[i] + (trace[i + 1] - trace[i]) * (position - i)
            y = 2 + round((1 - level) * (inner - 1))
            low, high = (y, y) if previous is None else (min(y, previous), max(y, previous))
            for yy in range(low, high + 1):
                pixels[yy][x + 2] = colour
            previous = y
    return pixels


def image(size, traces):
    pixels = draw(size, traces)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    colour_rows, mask_rows = [], []
    for row in reversed(pixels):  # bitmaps run bottom-up
        nibbles = [0 if p is None else p for p in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colour_rows.append(data + b'\0' * (-len(data) % 4))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is None else 0)
        mask = bits.to_bytes(size // 8, 'big')
        mask_rows.append(mask + b'\0' * (-len(mask) % 4))
    return header + palette + b''.join(colour_rows) + b''.join(mask_rows)


def icon(path, traces):
    images = [image(32, traces), image(16, traces)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


here = os.path.dirname(os.path.abspath(__file__))
icon(os.path.join(here, 'tovamet.ico'), [(MEMORY_TRACE, YELLOW), (CPU_TRACE, GREEN)])
icon(os.path.join(here, 'tovamet_cpu.ico'), [(CPU_TRACE, GREEN)])
icon(os.path.join(here, 'tovamet_memory.ico'), [(MEMORY_TRACE, YELLOW)])

#!/usr/bin/env python3
"""Draws the window icon, a measuring screen, in 16 colours: as XPM images
for the Qt window and as one .ico file (both sizes) for the Windows program.

A grey frame with a light top-left and a dark bottom-right edge holds a black
screen; a dark green grid divides the screen and a white wave runs across it.
The files are committed; run this only to change them (the tests check that
the committed files are what it draws):

    python3 resources/icon/make_icon.py [XPM_FOLDER [ICO_FOLDER]]

by default this folder, resources/icon, which both front ends take them from.
"""

import math
import struct
import sys
from pathlib import Path

# The 16 colours of the classic VGA palette, one XPM character each.
PALETTE = {
    "0": "#000000", "1": "#800000", "2": "#008000", "3": "#808000",
    "4": "#000080", "5": "#800080", "6": "#008080", "7": "#C0C0C0",
    "8": "#808080", "9": "#FF0000", "a": "#00FF00", "b": "#FFFF00",
    "c": "#0000FF", "d": "#FF00FF", "e": "#00FFFF", "f": "#FFFFFF",
}
BLACK, DARK_GREEN, LIGHT_GREY, GREY, WHITE = "0", "2", "7", "8", "f"
SIZES = (32, 16)
ICO_NAME = "measuring_screen.ico"


def draw(size):
    """Returns the rows of one icon, size x size pixels."""
    pixels = [[LIGHT_GREY] * size for _ in range(size)]
    frame = 2 if size >= 32 else 1  # the light grey band's width
    # The frame's bevel: light at the top and left, dark at the bottom and right.
    for i in range(size):
        pixels[0][i] = pixels[i][0] = WHITE
        pixels[size - 1][i] = pixels[i][size - 1] = GREY
    # The screen, with a dark rim inside the frame.
    first, last = frame + 2, size - frame - 3
    for y in range(first - 1, last + 2):
        for x in range(first - 1, last + 2):
            pixels[y][x] = GREY
    for y in range(first, last + 1):
        for x in range(first, last + 1):
            pixels[y][x] = BLACK
    # The grid: four divisions each way, two on the small icon.
    span = last - first
    divisions = 4 if size >= 32 else 2
    for k in range(1, divisions):
        at = first + round(span * k / divisions)
        for i in range(first, last + 1):
            pixels[at][i] = pixels[i][at] = DARK_GREEN
    # The trace: one and a half periods of a sine, drawn as a joined line.
    middle = (first + last) / 2
    amplitude = span * 0.32
    previous = None
    for x in range(first, last + 1):
        phase = (x - first) / span * 3 * math.pi
        y = round(middle - amplitude * math.sin(phase))
        low, high = (y, y) if previous is None else (min(y, previous), max(y, previous))
        for row in range(low, high + 1):
            pixels[row][x] = WHITE
        previous = y
    return ["".join(row) for row in pixels]


def xpm(name, rows):
    size = len(rows)
    used = sorted({c for row in rows for c in row})
    lines = [f'"{size} {size} {len(used)} 1",']
    lines += [f'"{c} c {PALETTE[c]}",' for c in used]
    lines += [f'"{row}",' for row in rows]
    lines[-1] = lines[-1].rstrip(",")
    return "/* XPM */\n" + f"static const char *{name}[] = {{\n" + "\n".join(lines) + "\n};\n"


def ico_image(rows):
    """One image of an .ico file: a 4-bit bitmap on the palette, bottom row
    first, followed by its transparency mask (all opaque)."""
    size = len(rows)
    palette = sorted(PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, 0, 0, 0, 16, 0)
    colours = b"".join(
        bytes((int(PALETTE[c][5:7], 16), int(PALETTE[c][3:5], 16), int(PALETTE[c][1:3], 16), 0))
        for c in palette)
    def padded(row):  # every bitmap row is a whole number of 32-bit words
        return row + bytes(-len(row) % 4)
    colour_rows = b""
    for row in reversed(rows):
        indices = [palette.index(c) for c in row]
        colour_rows += padded(bytes(indices[i] << 4 | indices[i + 1] for i in range(0, size, 2)))
    mask_rows = padded(bytes(size // 8)) * size
    return header + colours + colour_rows + mask_rows


def ico(images):
    """An .ico file holding `images`, each a list of rows."""
    bodies = [ico_image(rows) for rows in images]
    directory = struct.pack("<HHH", 0, 1, len(bodies))
    offset = len(directory) + 16 * len(bodies)
    for rows, body in zip(images, bodies):
        size = len(rows)
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(body), offset)
        offset += len(body)
    return directory + b"".join(bodies)


def main():
    here = Path(__file__).resolve().parent
    xpm_folder = Path(sys.argv[1]) if len(sys.argv) > 1 else here
    ico_folder = Path(sys.argv[2]) if len(sys.argv) > 2 else here
    drawings = {size: draw(size) for size in SIZES}
    for size, rows in drawings.items():
        name = f"measuring_screen_{size}"
        (xpm_folder / f"{name}.xpm").write_text(xpm(name, rows))
    (ico_folder / ICO_NAME).write_bytes(ico([drawings[size] for size in SIZES]))


if __name__ == "__main__":
    main()

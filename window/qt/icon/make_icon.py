#!/usr/bin/env python3
"""Draws the window icon, a measuring screen, as 16-colour XPM images.

A grey frame with a light top-left and a dark bottom-right edge holds a black
screen; a dark green grid divides the screen and a white wave runs across it.
The images are committed; run this only to change them:

    python3 window/qt/icon/make_icon.py window/qt/icon
"""

import math
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


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    for size in (32, 16):
        name = f"measuring_screen_{size}"
        (folder / f"{name}.xpm").write_text(xpm(name, draw(size)))


if __name__ == "__main__":
    main()

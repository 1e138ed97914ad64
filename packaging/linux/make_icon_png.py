#!/usr/bin/env python3
"""Writes the window icon as PNG images for the desktop's icon theme, from
the same drawing the window's XPMs and the Windows .ico come from, so the
menu and the window show one icon:

    python3 packaging/linux/make_icon_png.py GENERATOR_FOLDER OUTPUT_FOLDER

writes OUTPUT_FOLDER/<size>x<size>/apps/quorvane.png for each size the
generator draws (GENERATOR_FOLDER holds make_icon.py). Only the standard
library is used: a PNG is a signature and three chunks.
"""

import struct
import sys
import zlib
from pathlib import Path


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(rows, palette):
    """An 8-bit RGB PNG of `rows`, each a string of palette characters."""
    size = len(rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)
    raw = b""
    for row in rows:
        # Filter type 0 (none) before every row.
        raw += b"\0" + b"".join(bytes.fromhex(palette[c][1:]) for c in row)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_icon_png.py GENERATOR_FOLDER OUTPUT_FOLDER")
    sys.path.insert(0, sys.argv[1])
    import make_icon  # the one drawing of the icon

    output = Path(sys.argv[2])
    for size in make_icon.SIZES:
        folder = output / f"{size}x{size}" / "apps"
        folder.mkdir(parents=True, exist_ok=True)
        (folder / "quorvane.png").write_bytes(png(make_icon.draw(size), make_icon.PALETTE))


if __name__ == "__main__":
    main()

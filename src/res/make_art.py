#!/usr/bin/env python3
"""Draws the banner (banner.bmp, 350x108, 24 bpp) and the icon (velto.ico, 32x32, 16 colours).

ImageMagick's `convert` renders the pictures (fonts from fonts-dejavu-core); this script writes
the BMP and ICO files itself so that their formats are exactly what the program expects.
The generated files are checked in: the build does not run this script.
Usage: python3 make_art.py  (writes next to itself)
"""
import os
import struct
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
FONTS = "/usr/share/fonts/truetype/dejavu/"


def render(width, height, draw, alpha=False):
    """Runs convert with the drawing arguments; returns rows of (r, g, b[, a]) tuples."""
    kind = "PAM" if alpha else "PPM"
    data = subprocess.run(["convert", "-size", f"{width}x{height}", *draw,
                           "-depth", "8", f"{kind.lower()}:-"],
                          check=True, stdout=subprocess.PIPE).stdout
    if alpha:
        end = data.index(b"ENDHDR\n") + len(b"ENDHDR\n")
        channels = 4
    else:
        # P6 header: magic, width, height, maxval, each followed by white space.
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            start = pos
            while not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
        end = pos + 1
        channels = 3
    pixels = data[end:]
    assert len(pixels) == width * height * channels, "unexpected convert output"
    return [[tuple(pixels[(y * width + x) * channels:(y * width + x + 1) * channels])
             for x in range(width)] for y in range(height)]


def banner():
    # The panel shows the left 340x100 of the picture; the rest only continues the background.
    width, height = 350, 108
    draw = [
        "gradient:#0d2440-#1d6a86", "-rotate", "-90", "-resize", f"{width}x{height}!",
        # Emblem: a ring with a download arrow.
        "-fill", "none", "-stroke", "#f29a2e", "-strokewidth", "4",
        "-draw", "circle 46,47 46,19",
        "-stroke", "none", "-fill", "#ffffff",
        "-draw", "rectangle 41,28 51,50",
        "-draw", "polygon 31,48 61,48 46,65",
        "-draw", "rectangle 32,68 60,71",
        # Name and subtitle.
        "-font", FONTS + "DejaVuSans-Bold.ttf", "-pointsize", "46", "-fill", "#ffffff",
        "-draw", "text 90,58 'VELTO'",
        "-font", FONTS + "DejaVuSans-Bold.ttf", "-pointsize", "15", "-fill", "#bfe3f2",
        "-draw", "text 93,80 'ZUrod file client'",
        # A thin accent line under the text.
        "-fill", "#f29a2e", "-draw", "rectangle 92,88 322,89",
    ]
    rows = render(width, height, draw)
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(os.path.join(HERE, "banner.bmp"), "wb") as out:
        out.write(header + info + pixels)


def icon():
    size = 32
    draw = [
        "xc:none",
        "-fill", "#16476a", "-draw", "roundrectangle 1,1 30,30 6,6",
        "-font", FONTS + "DejaVuSans-Bold.ttf", "-pointsize", "24", "-fill", "#ffffff",
        "-gravity", "center", "-draw", "text 0,-2 'V'",
        "-gravity", "northwest", "-fill", "#f29a2e", "-draw", "rectangle 8,25 23,27",
        "+antialias", "-colors", "15", "+dither",
    ]
    rows = render(size, size, draw, alpha=True)
    opaque = [[a >= 128 for (_, _, _, a) in row] for row in rows]
    palette = []
    for y, row in enumerate(rows):
        for x, (r, g, b, _) in enumerate(row):
            if opaque[y][x] and (r, g, b) not in palette:
                palette.append((r, g, b))
    black = (0, 0, 0)  # transparent pixels are drawn black under a set AND bit
    if black not in palette:
        palette.insert(0, black)
    assert len(palette) <= 16, f"{len(palette)} colours do not fit 4 bpp"
    palette += [black] * (16 - len(palette))

    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        for x in range(0, size, 2):
            pair = []
            for px in (x, x + 1):
                r, g, b, _ = rows[y][px]
                pair.append(palette.index((r, g, b) if opaque[y][px] else black))
            xor.append(pair[0] << 4 | pair[1])
        bits = 0
        for x in range(size):
            bits = bits << 1 | (0 if opaque[y][x] else 1)
        mask += struct.pack(">I", bits)  # 32 bits: a row is already 4-byte aligned
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask),
                       0, 0, 16, 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    image = info + colours + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    with open(os.path.join(HERE, "velto.ico"), "wb") as out:
        out.write(directory + entry + image)


if __name__ == "__main__":
    banner()
    icon()

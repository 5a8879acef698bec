#!/usr/bin/env python3
"""Builds a Windows icon file with each PNG given twice: as a 16-colour (4 bits per pixel)
and as a 256-colour (8 bits per pixel) image, each with a 1-bit transparency mask.

    make-ico.py OUT.ico ICON-48.png ICON-32.png ICON-16.png

ImageMagick's convert reduces the colours; the icon records are written here, because
convert writes every image of an .ico at 32 bits per pixel.
"""
import struct
import subprocess
import sys


def pixels(png, colours):
    """The PNG's size, its pixels reduced to the given number of colours, and its alpha.

    Half-transparent edge pixels are blended with the board's edge colour, not black.
    """
    size = subprocess.run(["identify", "-format", "%w %h", png], check=True,
                          capture_output=True, text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    rgb = subprocess.run(["convert", png, "-background", "#0F4A2A", "-alpha", "remove",
                          "+dither", "-colors", str(colours), "-depth", "8", "rgb:-"],
                         check=True, capture_output=True).stdout
    alpha = subprocess.run(["convert", png, "-alpha", "extract", "-depth", "8", "gray:-"],
                           check=True, capture_output=True).stdout
    rows = [[tuple(rgb[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]
    opaque = [[alpha[y * width + x] >= 128 for x in range(width)] for y in range(height)]
    return width, height, rows, opaque


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def icon_image(png, bits):
    colours = 1 << bits
    width, height, rows, opaque = pixels(png, colours)
    palette = [(0, 0, 0)]  # index 0 stands under the transparent pixels
    for y in range(height):
        for x in range(width):
            if opaque[y][x] and rows[y][x] not in palette:
                palette.append(rows[y][x])
    if len(palette) > colours:
        raise SystemExit(f"{png}: {len(palette)} colours do not fit in {bits} bits")
    index = {c: i for i, c in enumerate(palette)}
    palette += [(0, 0, 0)] * (colours - len(palette))

    xor = b""
    mask = b""
    for y in reversed(range(height)):  # bottom-up rows
        indices = [index[rows[y][x]] if opaque[y][x] else 0 for x in range(width)]
        if bits == 4:
            indices += [0] * (len(indices) % 2)
            row = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
        else:
            row = bytes(indices)
        xor += padded(row)
        bits_row = bytearray((width + 7) // 8)
        for x in range(width):
            if not opaque[y][x]:
                bits_row[x // 8] |= 0x80 >> (x % 8)
        mask += padded(bytes(bits_row))

    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    data = header + table + xor + mask
    entry = (width if width < 256 else 0, height if height < 256 else 0,
             colours if colours < 256 else 0, bits)
    return entry, data


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    out, pngs = sys.argv[1], sys.argv[2:]
    images = [icon_image(png, bits) for png in pngs for bits in (4, 8)]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for (width, height, colours, bits), data in images:
        entries += struct.pack("<BBBBHHII", width, height, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(directory + entries + b"".join(data for _, data in images))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Draws Skyvane's welcome animation, a turning globe, and writes it as updater/data/world.avi.

The common animation control plays only uncompressed or RLE8 clips without sound, so every
frame is an uncompressed 8-bit picture with one palette. The frames are drawn here pixel by
pixel (a lit sphere whose continents move with the turn), so the clip needs no other tool.
The build never runs this script; the clip it writes is committed beside the logo.
Usage: world_avi.py [output file]
"""
import math
import os
import struct
import sys

SIZE = 48            # frame width and height; the control centres it in its place
FRAMES = 24          # one full turn
FRAME_US = 100000    # 10 frames a second
SHADES = 12          # lighting levels of sea and land

# Palette: 0 is the background (the control makes the colour of the first pixel transparent),
# then the sea shades, the land shades and the rim.
BACKGROUND = (0xC0, 0xDC, 0xC0)
SEA_DARK, SEA_LIGHT = (0x10, 0x30, 0x78), (0x6C, 0xA8, 0xF0)
LAND_DARK, LAND_LIGHT = (0x20, 0x50, 0x18), (0x90, 0xD0, 0x68)
RIM = (0x18, 0x28, 0x48)
SEA, LAND, RIM_INDEX = 1, 1 + SHADES, 1 + 2 * SHADES

# Continents as round patches on the sphere: longitude, latitude, angular radius (degrees).
CONTINENTS = [
    (-100, 45, 28), (-75, 15, 14), (-60, -15, 22), (-65, -40, 12),
    (15, 50, 20), (20, 5, 26), (25, -25, 16), (80, 45, 34), (110, 25, 18),
    (135, -25, 16), (-40, 72, 10),
]


def blend(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def palette():
    colours = [BACKGROUND]
    colours += [blend(SEA_DARK, SEA_LIGHT, i / (SHADES - 1)) for i in range(SHADES)]
    colours += [blend(LAND_DARK, LAND_LIGHT, i / (SHADES - 1)) for i in range(SHADES)]
    colours.append(RIM)
    colours += [(0, 0, 0)] * (256 - len(colours))
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)


def unit(lon, lat):
    lon, lat = math.radians(lon), math.radians(lat)
    return (math.cos(lat) * math.sin(lon), math.sin(lat), math.cos(lat) * math.cos(lon))


PATCHES = [(unit(lon, lat), math.cos(math.radians(r))) for lon, lat, r in CONTINENTS]
LIGHT = tuple(c / math.sqrt(0.5 ** 2 + 0.6 ** 2 + 0.62 ** 2) for c in (-0.5, 0.6, 0.62))


def is_land(lon, lat):
    p = unit(lon, lat)
    # A little waviness keeps the coasts from being perfect circles.
    wobble = 0.03 * math.sin(3 * math.radians(lon)) * math.cos(2 * math.radians(lat))
    return any(sum(a * b for a, b in zip(p, centre)) > limit + wobble for centre, limit in PATCHES)


def frame(turn):
    """One frame, rows bottom up as the picture format wants them."""
    radius = SIZE / 2 - 1.5
    centre = (SIZE - 1) / 2
    rows = []
    for row in range(SIZE):
        y = SIZE - 1 - row  # bottom up
        line = bytearray()
        for x in range(SIZE):
            nx, ny = (x - centre) / radius, (centre - y) / radius
            d = nx * nx + ny * ny
            if d > 1.0:
                line.append(RIM_INDEX if math.sqrt(d) * radius < radius + 0.9 else 0)
                continue
            nz = math.sqrt(1.0 - d)
            lat = math.degrees(math.asin(ny))
            lon = math.degrees(math.atan2(nx, nz)) + turn
            light = max(0.0, nx * LIGHT[0] + ny * LIGHT[1] + nz * LIGHT[2])
            shade = min(SHADES - 1, int((0.15 + 0.85 * light) * SHADES))
            line.append((LAND if is_land(lon, lat) else SEA) + shade)
        rows.append(bytes(line))
    return b"".join(rows)


def chunk(fourcc, data):
    pad = b"\0" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def riff_list(kind, fourcc, data):
    return kind + struct.pack("<I", len(data) + 4) + fourcc + data


def avi(frames):
    frame_size = SIZE * SIZE
    main_header = struct.pack("<10I4I", FRAME_US, frame_size * 1000000 // FRAME_US, 0, 0x10, len(frames), 0, 1,
                              frame_size, SIZE, SIZE, 0, 0, 0, 0)
    stream_header = (b"vids" + b"DIB " +
                     struct.pack("<IHHIIIIIIII4h", 0, 0, 0, 0, FRAME_US, 1000000, 0, len(frames), frame_size,
                                 0xFFFFFFFF, 0, 0, 0, SIZE, SIZE))
    bitmap_header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, frame_size, 0, 0, 256, 0)
    stream_list = riff_list(b"LIST", b"strl",
                            chunk(b"strh", stream_header) + chunk(b"strf", bitmap_header + palette()))
    header_list = riff_list(b"LIST", b"hdrl", chunk(b"avih", main_header) + stream_list)
    movie = b"".join(chunk(b"00db", f) for f in frames)
    index = b""
    offset = 4  # from the "movi" word
    for f in frames:
        index += b"00db" + struct.pack("<III", 0x10, offset, len(f))
        offset += 8 + len(f) + len(f) % 2
    body = header_list + riff_list(b"LIST", b"movi", movie) + chunk(b"idx1", index)
    return riff_list(b"RIFF", b"AVI ", body)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "updater", "data", "world.avi")
    frames = [frame(-i * 360 / FRAMES) for i in range(FRAMES)]
    with open(out, "wb") as f:
        f.write(avi(frames))
    print("written:", os.path.normpath(out))


if __name__ == "__main__":
    main()

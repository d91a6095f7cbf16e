#!/usr/bin/env python3
"""Converts an uncompressed 24-bit BMP into a PNG, with nothing but the standard library."""
import struct
import sys
import zlib


def main(src, dst):
    data = open(src, "rb").read()
    if data[:2] != b"BM":
        sys.exit(f"{src}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0:
        sys.exit(f"{src}: only uncompressed 24-bit pictures are handled")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        src_y = abs(height) - 1 - y if height > 0 else y
        row = data[offset + src_y * stride: offset + src_y * stride + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(b"\x00" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
    png += chunk(b"IEND", b"")
    open(dst, "wb").write(png)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

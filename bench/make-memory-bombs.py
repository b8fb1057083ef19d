#!/usr/bin/env python3
"""Writes small files whose headers claim huge images: the hostile inputs that
bench/memory-bombs.sh runs through pellora-batch. Usage: make-memory-bombs.py DIR"""
import struct
import sys
import zlib
from pathlib import Path

SIDE = 17320


def gif_bomb() -> bytes:
    """A 17320 x 17320 logical screen around one 1 x 1 frame: 35 bytes."""
    screen = b"GIF89a" + struct.pack("<HHBBB", SIDE, SIDE, 0, 0, 0)
    # A 1 x 1 frame at the top left with a two-entry local colour table.
    frame = b"\x2c" + struct.pack("<HHHHB", 0, 0, 1, 1, 0x80) + b"\xff\x00\x00\x00\x00\x00"
    # LZW, minimum code size 2: clear (4), index 0, end (5), packed in one byte.
    pixels = b"\x02\x02\x44\x01\x00"
    return screen + frame + pixels + b"\x3b"


def jpeg_bomb() -> bytes:
    """A progressive three-component JPEG header claiming 17000 x 17000, with a
    first scan and no more data: libjpeg sizes its full coefficient buffers
    from the header alone."""
    side = 17000
    soi = b"\xff\xd8"
    # One quantisation table of ones.
    dqt = b"\xff\xdb" + struct.pack(">H", 67) + b"\x00" + bytes([1] * 64)
    # Progressive frame, 8-bit, three components at 1 x 1 sampling on table 0.
    sof2 = b"\xff\xc2" + struct.pack(">HBHHB", 17, 8, side, side, 3) + b"\x01\x11\x00\x02\x11\x00\x03\x11\x00"
    # A DC table with a single code (length 1) for category 0.
    dht = b"\xff\xc4" + struct.pack(">H", 20) + b"\x00" + bytes([1] + [0] * 15) + b"\x00"
    # DC first scan over the three components, then a few bytes of data.
    sos = b"\xff\xda" + struct.pack(">HB", 12, 3) + b"\x01\x00\x02\x00\x03\x00" + b"\x00\x00\x01"
    return soi + dqt + sof2 + dht + sos + b"\x00" * 8 + b"\xff\xd9"


def png_bomb(path: Path) -> None:
    """A 17320 x 17320 RGBA PNG of 16 bits a sample, all zero: about 2.3 MB."""
    def chunk(kind: bytes, data: bytes) -> bytes:
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    compressor = zlib.compressobj(9)
    row = bytes(1 + SIDE * 8)  # filter byte 0, then the samples
    parts = [compressor.compress(row) for _ in range(SIDE)]
    parts.append(compressor.flush())
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", SIDE, SIDE, 16, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", b"".join(parts)))
        out.write(chunk(b"IEND", b""))


def main() -> None:
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "screen-bomb.gif").write_bytes(gif_bomb())
    (folder / "progressive-bomb.jpg").write_bytes(jpeg_bomb())
    if not (folder / "deep-bomb.png").exists():
        png_bomb(folder / "deep-bomb.png")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the sample frames of the inspection cell: a part moving along a conveyor belt, seen from
above, 64x48 RGB. The fourth part has a notch, the defect an inspection would look for.

Only the standard library is used, so the images can be made again anywhere:
    python3 make_images.py images
"""
import pathlib
import struct
import sys
import zlib

WIDTH, HEIGHT, FRAMES = 64, 48, 6


def chunk(kind: bytes, data: bytes) -> bytes:
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(pixels) -> bytes:
    rows = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in pixels)
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)  # 8-bit RGB
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def frame(index: int):
    centre_x, centre_y, radius = 6 + index * 10, HEIGHT // 2, 9
    pixels = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            belt = (40, 44, 52) if (x + index * 4) % 16 < 14 else (28, 30, 36)  # belt with moving seams
            if y < 6 or y >= HEIGHT - 6:
                belt = (90, 90, 96)  # rails
            dx, dy = x - centre_x, y - centre_y
            inside = dx * dx + dy * dy <= radius * radius
            notch = index == 3 and dx > 4 and abs(dy) < 3
            hole = dx * dx + dy * dy <= 9
            if inside and not notch and not hole:
                shade = 200 - (dx + dy) * 3
                row.append((min(255, shade + 30), shade, max(0, shade - 60)))  # brass part
            else:
                row.append(belt)
        pixels.append(row)
    return pixels


def main() -> None:
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "images")
    folder.mkdir(parents=True, exist_ok=True)
    for index in range(FRAMES):
        (folder / f"part_{index:02d}.png").write_bytes(png(frame(index)))


if __name__ == "__main__":
    main()

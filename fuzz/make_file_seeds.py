#!/usr/bin/env python3
"""Writes the seed corpora of quarvo_fuzz_rig and quarvo_fuzz_image: the example rig files and a
few rig texts that use the images folders RigFileFuzzer.cpp makes (images: 8x8 grey, colour:
16x8 RGB, odd: 10x6), and small PNG files of every colour type and bit depth, some interlaced or
with ancillary chunks, besides two of the inspection cell's sample frames. Only the standard
library is used.

    python3 fuzz/make_file_seeds.py fuzz/corpus-rig fuzz/corpus-image
"""
import pathlib
import shutil
import struct
import sys
import zlib

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"

RIGS = {
    "images-colour.toml": """[[board]]
id = "Replay"
[[board.camera]]
id = "Grey"
images = "images"
pixel_format = "Mono12Packed"
[[board.camera]]
id = "Colour"
images = "colour"
width = 16
height = 8
pixel_format = "RGB8"
pattern = "images"
frame_rate = 0
""",
    "images-refused.toml": """[[board]]
[[board.camera]]
images = "odd"
[[board.camera]]
images = "colour"
width = 8
""",
    "texts-and-arrays.toml": """# Inline tables, escapes and literal strings where the reader expects its usual forms.
board = [{ id = 'Left', display_name = "Left \\u00e9 board", camera = [{ vendor = \"\"\"V\"\"\", serial = "S\\t1" }] }]
""",
    "faults-limits.toml": """[[board]]
display_name = "Limits"
[[board.camera]]
width = 4096
height = 8
frame_rate = 1000000
[board.camera.faults]
drop_every = 2147483647
incomplete_every = 0
fail_every = 1
timeout_every = 3
delay_ms = 0x10
""",
}


def chunk(kind: bytes, data: bytes) -> bytes:
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}  # samples a pixel by colour type
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def scanlines(pixels, depth, channels):
    """Filter-type-0 rows of pixels (lists of sample tuples), packed to depth bits a sample."""
    out = bytearray()
    for row in pixels:
        out.append(0)
        if depth == 16:
            out += b"".join(struct.pack(">H", v) for pixel in row for v in pixel)
        elif depth == 8:
            out += bytes(v for pixel in row for v in pixel)
        else:
            bits, count = 0, 0
            for pixel in row:
                for v in pixel:
                    bits, count = bits << depth | v, count + depth
                    if count == 8:
                        out.append(bits)
                        bits, count = 0, 0
            if count:
                out.append(bits << (8 - count))
    return bytes(out)


def png(width, height, colour_type, depth, interlace=False, extra=b"", palette=None):
    channels = CHANNELS[colour_type]
    top = (1 << depth) - 1
    pixels = [[tuple((x * 37 + y * 11 + c * 71) % (top + 1) for c in range(channels)) for x in range(width)]
              for y in range(height)]
    if interlace:
        data = b"".join(scanlines([row[x0::dx] for row in pixels[y0::dy]], depth, channels)
                        for x0, y0, dx, dy in ADAM7 if x0 < width and y0 < height)
    else:
        data = scanlines(pixels, depth, channels)
    header = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 1 if interlace else 0)
    body = chunk(b"IHDR", header)
    if palette is not None:
        body += chunk(b"PLTE", palette)
    return b"\x89PNG\r\n\x1a\n" + body + extra + chunk(b"IDAT", zlib.compress(data, 9)) + chunk(b"IEND", b"")


def images():
    palette = bytes(range(48))  # 16 entries
    yield "grey1.png", png(8, 8, 0, 1)
    yield "grey4-interlaced.png", png(5, 3, 0, 4, interlace=True)
    yield "grey8.png", png(8, 4, 0, 8, extra=chunk(b"tEXt", b"Title\0seed"))
    yield "grey16.png", png(4, 4, 0, 16, extra=chunk(b"sBIT", b"\x0c"))
    yield "grey-alpha8.png", png(4, 2, 4, 8)
    yield "rgb8-interlaced.png", png(9, 9, 2, 8, interlace=True, extra=chunk(b"gAMA", struct.pack(">I", 45455)))
    yield "rgb16.png", png(4, 4, 2, 16)
    yield "rgba16.png", png(3, 2, 6, 16)
    yield "palette4-trns.png", png(6, 4, 3, 4, palette=palette, extra=chunk(b"tRNS", b"\x00\x80"))


def main(rig_folder, image_folder):
    rigs, pictures = pathlib.Path(rig_folder), pathlib.Path(image_folder)
    rigs.mkdir(parents=True, exist_ok=True)
    pictures.mkdir(parents=True, exist_ok=True)
    shutil.copy(EXAMPLES / "fault-injection.toml", rigs / "fault-injection.toml")
    shutil.copy(EXAMPLES / "inspection-cell" / "rig.toml", rigs / "inspection-cell.toml")
    shutil.copy(EXAMPLES / "sfnc-cameras.toml", rigs / "sfnc-cameras.toml")
    for name, text in RIGS.items():
        (rigs / name).write_text(text)
    for frame in ("part_00.png", "part_03.png"):
        shutil.copy(EXAMPLES / "inspection-cell" / "images" / frame, pictures / ("inspection-" + frame))
    for name, data in images():
        (pictures / name).write_bytes(data)


if __name__ == "__main__":
    main(*sys.argv[1:3])

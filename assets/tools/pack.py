#!/usr/bin/python3
"""Pack a rasterised PNG into the BMP and ICO layouts the program embeds.

ImageMagick's own BMP/ICO writers pick header versions and palette sizes on
their own, and Qt is picky about some of them, so the bytes are laid out here
and ImageMagick is only used to decode and quantise.

  pack.py bmp24 IN.png OUT.bmp
  pack.py bmp8  IN.png OUT.bmp
  pack.py ico8  IN.png OUT.ico
"""
import struct
import subprocess
import sys

CONVERT = "/usr/bin/convert"
PELS_PER_METRE = 2835  # 72 dpi


def run(args):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE).stdout


def size_of(path):
    out = run([CONVERT, path, "-format", "%w %h", "info:"]).decode()
    w, h = out.split()
    return int(w), int(h)


def raw(path, fmt, *ops):
    return run([CONVERT, path, *ops, "-depth", "8", fmt + ":-"])


def indexed(rgb, w, h):
    """Turn quantised RGB bytes into a sorted 256-entry palette and indices."""
    pixels = [rgb[i:i + 3] for i in range(0, w * h * 3, 3)]
    colours = sorted(set(pixels))
    if len(colours) > 256:
        sys.exit("pack.py: %d colours after quantising" % len(colours))
    lookup = {c: i for i, c in enumerate(colours)}
    palette = colours + [b"\0\0\0"] * (256 - len(colours))
    # BMP palettes are stored B, G, R, reserved.
    pal_bytes = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette)
    return pal_bytes, [lookup[p] for p in pixels]


def info_header(w, h, bpp, image_size, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, image_size,
                       PELS_PER_METRE, PELS_PER_METRE, colours_used, 0)


def bmp(w, h, bpp, palette, rows):
    """rows: top-down list of unpadded row bytes."""
    stride = (w * bpp // 8 + 3) & ~3
    body = b"".join(r.ljust(stride, b"\0") for r in reversed(rows))
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return header + info_header(w, h, bpp, len(body), len(palette) // 4) + palette + body


def bmp24(src):
    w, h = size_of(src)
    rgb = raw(src, "rgb", "-background", "white", "-alpha", "remove")
    rows = []
    for y in range(h):
        row = bytearray(rgb[y * w * 3:(y + 1) * w * 3])
        row[0::3], row[2::3] = row[2::3], row[0::3]  # RGB -> BGR
        rows.append(bytes(row))
    return bmp(w, h, 24, b"", rows)


def bmp8(src):
    w, h = size_of(src)
    rgb = raw(src, "rgb", "-background", "white", "-alpha", "remove",
              "-dither", "FloydSteinberg", "-colors", "256")
    palette, idx = indexed(rgb, w, h)
    rows = [bytes(idx[y * w:(y + 1) * w]) for y in range(h)]
    return bmp(w, h, 8, palette, rows)


def ico8(src):
    w, h = size_of(src)
    if (w, h) != (32, 32):
        sys.exit("pack.py: icon must be 32x32, got %dx%d" % (w, h))
    alpha = raw(src, "gray", "-alpha", "extract")
    # Colour of half-covered edge pixels is kept un-premultiplied; fully
    # transparent pixels all become one colour so they do not waste entries.
    rgb = bytearray(raw(src, "rgb", "-alpha", "off", "+dither", "-colors", "255"))
    for i, a in enumerate(alpha):
        if a < 128:
            rgb[i * 3:i * 3 + 3] = b"\0\0\0"
    palette, idx = indexed(bytes(rgb), w, h)
    xor = b"".join(bytes(idx[y * w:(y + 1) * w]) for y in reversed(range(h)))
    mask = bytearray()
    for y in reversed(range(h)):
        bits = 0
        for x in range(w):
            bits = (bits << 1) | (1 if alpha[y * w + x] < 128 else 0)
        mask += struct.pack(">I", bits)  # 32 bits = 4 bytes, already aligned
    image = info_header(w, h * 2, 8, len(xor) + len(mask), 0) + palette + xor + bytes(mask)
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 0, 0, 1, 8, len(image), 6 + 16)
    return head + entry + image


def main():
    kind, src, dst = sys.argv[1:4]
    data = {"bmp24": bmp24, "bmp8": bmp8, "ico8": ico8}[kind](src)
    with open(dst, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Check the byte layout of the embedded pictures where Qt's readers accept more than the windows
were drawn for. Sizes, kinds, palettes, frames, looping and density are read through Qt by the
`pictures` test (tests/pictures/); this covers what a reader does not report: BMP header version,
compression, row order and padding; progressive JPEG and the JFIF version; the GIF's one
256-entry colour table; and the icon's 256-colour 32 x 32 entry.

Usage: check_pictures.py [PICTURES_DIR]
Prints one line per file and exits non-zero if anything is off.
"""
import os
import struct
import sys


class Bad(Exception):
    pass


def need(cond, what):
    if not cond:
        raise Bad(what)


def check_info_header(data, at, w, h, bpp):
    size, bw, bh, planes, bbpp, comp = struct.unpack_from("<IiiHHI", data, at)
    need(size == 40, "info header is %d bytes, not 40" % size)
    need((bw, bh) == (w, h), "header says %dx%d (negative height = top-down)" % (bw, bh))
    need(planes == 1 and bbpp == bpp, "%d planes of %d bits, expected 1 of %d" % (planes, bbpp, bpp))
    need(comp == 0, "compression %d, not uncompressed" % comp)


def check_bmp(data, w, h, bpp):
    need(data[:2] == b"BM", "not a BMP")
    check_info_header(data, 14, w, h, bpp)
    stride = (w * bpp // 8 + 3) & ~3
    offset = 14 + 40 + (1024 if bpp == 8 else 0)
    need(struct.unpack_from("<I", data, 10)[0] == offset, "pixel offset is not %d" % offset)
    need(len(data) == offset + stride * h, "%d bytes, not %d rows of %d" % (len(data), h, stride))
    pad = stride - w * bpp // 8
    need(all(data[offset + (r + 1) * stride - pad:offset + (r + 1) * stride] == b"\0" * pad
             for r in range(h)), "row padding is not zero")
    return "%dx%d %dbpp, 40-byte header, bottom-up, row %d bytes (%d padding)" % (w, h, bpp, stride, pad)


def check_ico(data):
    reserved, kind = struct.unpack_from("<HH", data, 0)
    need((reserved, kind) == (0, 1), "not an icon")
    w, h, colours, _, _, bpp, nbytes, offset = struct.unpack_from("<BBBBHHII", data, 6)
    need((w, h, colours, bpp) == (32, 32, 0, 8), "first entry %dx%d at %d bpp" % (w, h, bpp))
    need(nbytes == 2216, "first entry is %d bytes, not 2216" % nbytes)
    check_info_header(data, offset, 32, 64, 8)
    mask = data[offset + 40 + 1024 + 1024:offset + nbytes]
    opaque = sum(8 - bin(b).count("1") for b in mask)
    need(200 <= opaque <= 1000, "AND mask leaves %d of 1024 pixels opaque" % opaque)
    return "32x32 entry first: 8bpp bitmap, 256-entry palette, %d opaque pixels" % opaque


def check_jpeg(data, progressive, jfif):
    need(data[:2] == b"\xff\xd8" and data[-2:] == b"\xff\xd9", "no SOI/EOI markers")
    i, sof = 2, None
    while sof is None:
        need(i + 4 <= len(data) and data[i] == 0xFF, "bad marker at %d" % i)
        marker, (length,) = data[i + 1], struct.unpack_from(">H", data, i + 2)
        if i == 2 and jfif:
            need(marker == 0xE0 and data[i + 4:i + 11] == b"JFIF\0\1\1", "does not open with JFIF 1.01")
        if marker in (0xC0, 0xC1, 0xC2):
            sof = marker
        i += 2 + length
    need((sof == 0xC2) == progressive, "SOF%d, expected %s" % (sof - 0xC0,
                                                               "progressive" if progressive else "baseline"))
    return "%s JPEG%s" % ("progressive" if progressive else "baseline", ", JFIF 1.01" if jfif else "")


def check_gif(data):
    need(data[:6] == b"GIF89a", "not GIF89a")
    flags = data[10]
    need(flags & 0x80 and (flags & 7) == 7, "no 256-entry global colour table")
    i = 13 + 3 * 256
    frames = 0
    while data[i] != 0x3B:
        if data[i] == 0x2C:
            need(not data[i + 9] & 0x80, "frame %d carries its own colour table" % (frames + 1))
            frames += 1
            i += 11  # descriptor and LZW minimum code size
        elif data[i] == 0x21:
            i += 2
        else:
            raise Bad("unknown block 0x%02x at %d" % (data[i], i))
        while data[i]:
            i += data[i] + 1
        i += 1
    return "GIF89a, 256-entry global colour table only (%d frames)" % frames


CHECKS = [
    ("icon.ico", check_ico),
    ("village.jpg", lambda d: check_jpeg(d, True, True)),
    ("starsky.jpg", lambda d: check_jpeg(d, False, False)),
    ("tree.gif", check_gif),
    ("snowflakes.bmp", lambda d: check_bmp(d, 200, 200, 8)),
    ("winter.bmp", lambda d: check_bmp(d, 300, 200, 24)),
    ("santa.bmp", lambda d: check_bmp(d, 218, 221, 24)),
    ("halloween.bmp", lambda d: check_bmp(d, 320, 320, 24)),
]


def main(argv):
    folder = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                         "..", "pictures")
    failures = 0
    for name, check in CHECKS:
        try:
            with open(os.path.join(folder, name), "rb") as f:
                print("ok   %-15s %s" % (name, check(f.read())))
        except (Bad, OSError, struct.error, IndexError) as e:
            failures += 1
            print("FAIL %-15s %s" % (name, e))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

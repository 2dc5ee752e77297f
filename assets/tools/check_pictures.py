#!/usr/bin/python3
"""Check the embedded pictures byte by byte against the layouts Qt must read.

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


def distinct_values(items, at_least, what):
    found = len(set(items))
    need(found >= at_least, "%s looks blank (%d distinct values)" % (what, found))


def parse_info_header(data, at):
    need(len(data) >= at + 40, "truncated BITMAPINFOHEADER")
    (size, w, h, planes, bpp, comp, image_size, xppm, yppm, used,
     important) = struct.unpack_from("<IiiHHIIiiII", data, at)
    need(size == 40, "info header is %d bytes, not 40" % size)
    need(planes == 1, "planes %d" % planes)
    need(comp == 0, "compression %d, not uncompressed" % comp)
    return w, h, bpp, image_size, used


def check_bmp(data, w, h, bpp, total):
    need(data[:2] == b"BM", "not a BMP")
    need(len(data) == total, "%d bytes, expected %d" % (len(data), total))
    fsize, r1, r2, offset = struct.unpack_from("<IHHI", data, 2)
    need(fsize == len(data), "file size field %d" % fsize)
    need(r1 == 0 and r2 == 0, "reserved fields set")
    bw, bh, bbpp, image_size, used = parse_info_header(data, 14)
    need((bw, bh) == (w, h), "size %dx%d (positive height = bottom-up), expected %dx%d"
         % (bw, bh, w, h))
    need(bbpp == bpp, "%d bits per pixel, expected %d" % (bbpp, bpp))
    stride = (w * bpp // 8 + 3) & ~3
    palette = 256 * 4 if bpp == 8 else 0
    if bpp == 8:
        need(used == 256, "palette count field %d, expected 256" % used)
    else:
        need(used == 0, "unexpected palette count %d" % used)
    need(offset == 14 + 40 + palette, "pixel offset %d" % offset)
    need(len(data) - offset == stride * h, "pixel array is not %d rows of %d bytes" % (h, stride))
    need(image_size in (0, stride * h), "image size field %d" % image_size)
    pad = stride - w * bpp // 8
    if pad:
        need(all(data[offset + r * stride + stride - pad:offset + (r + 1) * stride] == b"\0" * pad
                 for r in range(h)), "row padding is not zero")
    pixels = data[offset:]
    if bpp == 8:
        used_idx = set(pixels)
        need(max(used_idx) < 256, "index out of range")
        distinct_values(used_idx, 16, "image")
        return "%dx%d 8bpp, 256-entry palette (%d used), row %d bytes" % (w, h, len(used_idx), stride)
    distinct_values((pixels[i:i + 3] for i in range(0, len(pixels), 3)), 64, "image")
    return "%dx%d 24bpp, row %d bytes (%d padding)" % (w, h, stride, pad)


def check_ico(data):
    need(len(data) == 2238, "%d bytes, expected 2238" % len(data))
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    need((reserved, kind, count) == (0, 1, 1), "header %r is not a one-image icon" % ((reserved, kind, count),))
    w, h, colours, res, planes, bpp, nbytes, offset = struct.unpack_from("<BBBBHHII", data, 6)
    need((w, h) == (32, 32), "directory says %dx%d" % (w, h))
    need(colours == 0 and res == 0, "directory colour count %d / reserved %d" % (colours, res))
    need(bpp == 8, "directory says %d bpp" % bpp)
    need(planes in (0, 1), "directory planes %d" % planes)
    need(offset == 22 and nbytes == 2216, "image at %d, %d bytes" % (offset, nbytes))
    need(data[offset:offset + 8] != b"\x89PNG\r\n\x1a\n", "PNG inside the icon")
    bw, bh, bbpp, _, used = parse_info_header(data, offset)
    need((bw, bh) == (32, 64), "bitmap header %dx%d, expected 32x64" % (bw, bh))
    need(bbpp == 8, "bitmap %d bpp" % bbpp)
    need(used in (0, 256), "palette count field %d" % used)
    pal = offset + 40
    xor = pal + 1024
    mask = xor + 1024
    need(len(data) - mask == 32 * 4, "AND mask is %d bytes" % (len(data) - mask))
    opaque = sum(8 - bin(b).count("1") for b in data[mask:])
    need(200 <= opaque <= 1000, "AND mask leaves %d of 1024 pixels opaque" % opaque)
    distinct_values(data[xor:mask], 16, "icon")
    return "32x32 8bpp BMP-style icon, 256-entry palette, %d opaque pixels" % opaque


def jpeg_segments(data):
    need(data[:2] == b"\xff\xd8", "no SOI marker")
    need(data[-2:] == b"\xff\xd9", "no EOI marker at the end")
    i = 2
    while i < len(data):
        need(data[i] == 0xFF, "bad marker at %d" % i)
        marker = data[i + 1]
        if marker == 0xDA:
            yield marker, b""
            return
        (length,) = struct.unpack_from(">H", data, i + 2)
        yield marker, data[i + 4:i + 2 + length]
        i += 2 + length


def check_jpeg(data, w, h, progressive, dpi):
    """dpi set: the file must open with a JFIF 1.01 header carrying that density."""
    segs = list(jpeg_segments(data))
    jfif = "no JFIF"
    if segs[0][0] == 0xE0 and segs[0][1][:5] == b"JFIF\0":
        major, minor, units, xd, yd = struct.unpack_from(">BBBHH", segs[0][1], 5)
        jfif = "JFIF %d.%02d, %d x %d %s" % (major, minor, xd, yd,
                                             {0: "(aspect)", 1: "dpi", 2: "dpcm"}.get(units, "?"))
        if dpi:
            need((major, minor) == (1, 1), "JFIF version %d.%02d, expected 1.01" % (major, minor))
            need(units == 1 and (xd, yd) == (dpi, dpi),
                 "density %dx%d units %d, expected %dx%d dpi" % (xd, yd, units, dpi, dpi))
    else:
        need(not dpi, "first segment is not a JFIF APP0")
    frames = [(m, body) for m, body in segs if 0xC0 <= m <= 0xCF and m not in (0xC4, 0xC8, 0xCC)]
    need(len(frames) == 1, "%d frame headers" % len(frames))
    marker, sof = frames[0]
    if progressive:
        need(marker == 0xC2, "SOF%d, not progressive" % (marker - 0xC0))
    else:
        need(marker in (0xC0, 0xC1, 0xC2), "SOF%d is not baseline/progressive Huffman" % (marker - 0xC0))
    precision, fh, fw, comps = struct.unpack_from(">BHHB", sof, 0)
    need((fw, fh) == (w, h), "%dx%d, expected %dx%d" % (fw, fh, w, h))
    need(precision == 8 and comps == 3, "%d components of %d bits" % (comps, precision))
    kind = "progressive" if marker == 0xC2 else "baseline"
    return "%dx%d %s JPEG, 3x8 bit, %s, %d scan(s), %d bytes" % (
        w, h, kind, jfif, data.count(b"\xff\xda"), len(data))


def gif_sub_blocks(data, i):
    while True:
        n = data[i]
        i += 1
        if n == 0:
            return i
        i += n


def check_gif(data, w, h, frames):
    need(data[:6] == b"GIF89a", "not GIF89a")
    sw, sh, flags, _bg, _aspect = struct.unpack_from("<HHBBB", data, 6)
    need((sw, sh) == (w, h), "screen %dx%d" % (sw, sh))
    need(flags & 0x80, "no global colour table")
    need((flags & 7) == 7, "global colour table has %d entries, not 256" % (2 << (flags & 7)))
    i = 13 + 256 * 3
    loops = None
    images = 0
    local_tables = 0
    while True:
        need(i < len(data), "no trailer")
        b = data[i]
        if b == 0x3B:
            need(i == len(data) - 1, "bytes after the trailer")
            break
        if b == 0x21:
            label = data[i + 1]
            if label == 0xFF and data[i + 2] == 11 and data[i + 3:i + 14] == b"NETSCAPE2.0":
                need(data[i + 14] == 3 and data[i + 15] == 1, "malformed NETSCAPE2.0 block")
                (loops,) = struct.unpack_from("<H", data, i + 16)
            i = gif_sub_blocks(data, i + 2)
        elif b == 0x2C:
            x, y, fw, fh, fflags = struct.unpack_from("<HHHHB", data, i + 1)
            need(x + fw <= w and y + fh <= h, "frame outside the screen")
            i += 10
            if fflags & 0x80:
                local_tables += 1
                i += 3 * (2 << (fflags & 7))
            i = gif_sub_blocks(data, i + 1)  # skip LZW minimum code size
            images += 1
        else:
            raise Bad("unknown block 0x%02x at %d" % (b, i))
    need(loops is not None, "no NETSCAPE2.0 loop extension")
    need(loops == 0, "loops %d times, not forever" % loops)
    need(images == frames, "%d frames, expected %d" % (images, frames))
    need(local_tables == 0, "%d frame(s) carry their own colour table" % local_tables)
    distinct_values(data[13:13 + 768:3], 16, "global palette")
    return "%dx%d GIF89a, 256-entry global palette, %d frames, loops forever" % (w, h, images)


CHECKS = [
    ("icon.ico", check_ico),
    ("village.jpg", lambda d: check_jpeg(d, 200, 195, True, 300)),
    ("starsky.jpg", lambda d: check_jpeg(d, 146, 140, False, None)),
    ("tree.gif", lambda d: check_gif(d, 100, 100, 2)),
    ("snowflakes.bmp", lambda d: check_bmp(d, 200, 200, 8, 41078)),
    ("winter.bmp", lambda d: check_bmp(d, 300, 200, 24, 180054)),
    ("santa.bmp", lambda d: check_bmp(d, 218, 221, 24, 145030)),
    ("halloween.bmp", lambda d: check_bmp(d, 320, 320, 24, 307254)),
]


def main(argv):
    folder = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                         "..", "pictures")
    failures = 0
    for name, check in CHECKS:
        path = os.path.join(folder, name)
        try:
            with open(path, "rb") as f:
                data = f.read()
            print("ok   %-15s %s" % (name, check(data)))
        except (Bad, OSError, struct.error, IndexError, StopIteration) as e:
            failures += 1
            print("FAIL %-15s %s" % (name, e))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

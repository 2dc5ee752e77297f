#!/usr/bin/python3
"""Feed check_pictures.py damaged copies of the rendered pictures and make sure
each fault is reported against the right file (and nothing else).

Run: /usr/bin/python3 assets/tools/test_check_pictures.py
"""
import contextlib
import io
import os
import shutil
import struct
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_pictures  # noqa: E402

PICTURES = os.path.join(HERE, "..", "pictures")


def patch(data, at, new):
    return data[:at] + new + data[at + len(new):]


class CheckerCatchesFaults(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        for name, _ in check_pictures.CHECKS:
            shutil.copy(os.path.join(PICTURES, name), self.dir)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_checker(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            rc = check_pictures.main(["check", self.dir])
        return rc, out.getvalue().splitlines()

    def damage(self, name, change):
        path = os.path.join(self.dir, name)
        with open(path, "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(change(data))

    def assert_only_fails(self, name):
        rc, lines = self.run_checker()
        self.assertEqual(rc, 1)
        failed = [l.split()[1] for l in lines if l.startswith("FAIL")]
        self.assertEqual(failed, [name], lines)

    def test_rendered_pictures_pass(self):
        rc, lines = self.run_checker()
        self.assertEqual(rc, 0, lines)
        self.assertEqual(len(lines), len(check_pictures.CHECKS))

    def test_missing_file(self):
        os.remove(os.path.join(self.dir, "winter.bmp"))
        self.assert_only_fails("winter.bmp")

    # icon
    def test_icon_4bpp_directory(self):
        self.damage("icon.ico", lambda d: patch(d, 6 + 6, struct.pack("<H", 4)))
        self.assert_only_fails("icon.ico")

    def test_icon_single_height(self):
        self.damage("icon.ico", lambda d: patch(d, 22 + 8, struct.pack("<i", 32)))
        self.assert_only_fails("icon.ico")

    def test_icon_mask_hides_everything(self):
        self.damage("icon.ico", lambda d: d[:-128] + b"\xff" * 128)
        self.assert_only_fails("icon.ico")

    def test_icon_png_inside(self):
        self.damage("icon.ico", lambda d: patch(d, 22, b"\x89PNG\r\n\x1a\n"))
        self.assert_only_fails("icon.ico")

    # JPEGs
    def test_village_jfif_102(self):
        self.damage("village.jpg", lambda d: patch(d, d.index(b"JFIF\0") + 6, b"\x02"))
        self.assert_only_fails("village.jpg")

    def test_village_72_dpi(self):
        self.damage("village.jpg", lambda d: patch(d, d.index(b"JFIF\0") + 8, struct.pack(">HH", 72, 72)))
        self.assert_only_fails("village.jpg")

    def test_village_baseline(self):
        self.damage("village.jpg", lambda d: patch(d, d.index(b"\xff\xc2"), b"\xff\xc0"))
        self.assert_only_fails("village.jpg")

    def test_starsky_wrong_size(self):
        self.damage("starsky.jpg", lambda d: patch(d, d.index(b"\xff\xc0") + 5, struct.pack(">H", 141)))
        self.assert_only_fails("starsky.jpg")

    def test_starsky_truncated(self):
        self.damage("starsky.jpg", lambda d: d[:-2])
        self.assert_only_fails("starsky.jpg")

    # GIF
    def test_gif_small_palette(self):
        self.damage("tree.gif", lambda d: patch(d, 10, bytes([d[10] & ~7 | 6])))
        self.assert_only_fails("tree.gif")

    def test_gif_no_loop_extension(self):
        self.damage("tree.gif", lambda d: d.replace(b"NETSCAPE2.0", b"XETSCAPE2.0"))
        self.assert_only_fails("tree.gif")

    def test_gif_loops_once(self):
        self.damage("tree.gif", lambda d: patch(d, d.index(b"NETSCAPE2.0") + 13, struct.pack("<H", 1)))
        self.assert_only_fails("tree.gif")

    def test_gif_one_frame(self):
        def cut_second_frame(d):
            first = d.index(b"\x2c", 13 + 768)
            second = d.index(b"\x21\xf9", first)  # the second frame's control block
            return d[:second] + b"\x3b"
        self.damage("tree.gif", cut_second_frame)
        self.assert_only_fails("tree.gif")

    # BMPs
    def test_bmp_palette_of_128(self):
        self.damage("snowflakes.bmp", lambda d: patch(d, 14 + 32, struct.pack("<I", 128)))
        self.assert_only_fails("snowflakes.bmp")

    def test_bmp_top_down(self):
        self.damage("santa.bmp", lambda d: patch(d, 14 + 8, struct.pack("<i", -221)))
        self.assert_only_fails("santa.bmp")

    def test_bmp_dirty_padding(self):
        self.damage("santa.bmp", lambda d: patch(d, 54 + 654, b"\x01"))
        self.assert_only_fails("santa.bmp")

    def test_bmp_v4_header(self):
        self.damage("winter.bmp", lambda d: patch(d, 14, struct.pack("<I", 108)))
        self.assert_only_fails("winter.bmp")

    def test_bmp_rle(self):
        self.damage("snowflakes.bmp", lambda d: patch(d, 14 + 16, struct.pack("<I", 1)))
        self.assert_only_fails("snowflakes.bmp")

    def test_bmp_blank(self):
        self.damage("halloween.bmp", lambda d: d[:54] + b"\xff" * (len(d) - 54))
        self.assert_only_fails("halloween.bmp")


if __name__ == "__main__":
    unittest.main()

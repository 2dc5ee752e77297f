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
ICON_IMAGE = 6 + 5 * 16  # the 32 x 32 entry's bitmap follows the five directory entries


def patch(at, new):
    return lambda d: d[:at(d) if callable(at) else at] + new + d[(at(d) if callable(at) else at) + len(new):]


def first_frame_flags(d):
    return d.index(b"\x2c", 13 + 768) + 9


# (name of the row, file, damage)
DAMAGES = [
    ("icon entry at 4 bpp", "icon.ico", patch(6 + 6, struct.pack("<H", 4))),
    ("icon bitmap of single height", "icon.ico", patch(ICON_IMAGE + 8, struct.pack("<i", 32))),
    ("icon mask hides everything", "icon.ico", patch(ICON_IMAGE + 40 + 2048, b"\xff" * 128)),
    ("icon entry is a PNG", "icon.ico", patch(ICON_IMAGE, b"\x89PNG\r\n\x1a\n")),
    ("village JFIF 1.02", "village.jpg", patch(lambda d: d.index(b"JFIF\0") + 6, b"\x02")),
    ("village baseline", "village.jpg", patch(lambda d: d.index(b"\xff\xc2"), b"\xff\xc0")),
    ("starsky progressive", "starsky.jpg", patch(lambda d: d.index(b"\xff\xc0"), b"\xff\xc2")),
    ("starsky truncated", "starsky.jpg", lambda d: d[:-2]),
    ("tree frame with its own table", "tree.gif",
     lambda d: patch(first_frame_flags(d), bytes([d[first_frame_flags(d)] | 0x80]))(d)),
    ("tree with a 128-entry table", "tree.gif", lambda d: patch(10, bytes([d[10] & ~7 | 6]))(d)),
    ("santa top-down", "santa.bmp", patch(14 + 8, struct.pack("<i", -221))),
    ("santa dirty padding", "santa.bmp", patch(54 + 654, b"\x01")),
    ("winter v4 header", "winter.bmp", patch(14, struct.pack("<I", 108))),
    ("winter one row short", "winter.bmp", lambda d: d[:-900]),
    ("snowflakes RLE", "snowflakes.bmp", patch(14 + 16, struct.pack("<I", 1))),
    ("halloween at 32 bpp", "halloween.bmp", patch(14 + 14, struct.pack("<H", 32))),
]


class CheckerCatchesFaults(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        for name, _ in check_pictures.CHECKS:
            shutil.copy(os.path.join(PICTURES, name), self.dir)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def failed_files(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            rc = check_pictures.main(["check", self.dir])
        lines = out.getvalue().splitlines()
        self.assertEqual(len(lines), len(check_pictures.CHECKS))
        failed = [line.split()[1] for line in lines if line.startswith("FAIL")]
        self.assertEqual(rc, 1 if failed else 0, lines)
        return failed

    def test_rendered_pictures_pass(self):
        self.assertEqual(self.failed_files(), [])

    def test_missing_file(self):
        os.remove(os.path.join(self.dir, "winter.bmp"))
        self.assertEqual(self.failed_files(), ["winter.bmp"])

    def test_each_damage_fails_only_its_file(self):
        for row, name, damage in DAMAGES:
            with self.subTest(row):
                path = os.path.join(self.dir, name)
                with open(path, "rb") as f:
                    original = f.read()
                with open(path, "wb") as f:
                    f.write(damage(original))
                try:
                    self.assertEqual(self.failed_files(), [name])
                finally:
                    with open(path, "wb") as f:
                        f.write(original)


if __name__ == "__main__":
    unittest.main()

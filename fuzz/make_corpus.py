#!/usr/bin/env python3
"""Writes the engine fuzzer's seed corpus (fuzz/corpus/) in its byte program: a byte below 0xC0
presses key byte % 24, a byte from 0xC0 types a text (see engine_fuzzer.cpp)."""
import pathlib
import struct

KEYS = "0 1 2 3 4 5 6 7 8 9 . C + - * / = ^ Sqrt % TT M+ MC MRC".split()


def keys(text):
    return bytes(KEYS.index(k) for k in text.split())


def typed(text, replace=False):
    data = text.encode() if isinstance(text, str) else text
    return bytes([0xC1 if replace else 0xC0, len(data)]) + data


SEEDS = {
    "add": keys("5 + 7 = + 3 ="),
    "chain": keys("1 / 3 = * 3 = - 1 = / 4 ="),
    "rounded_root": keys("1 0 0 0 0 0 1 Sqrt = * 3 ="),
    "functions": keys("2 ^ = Sqrt = 2 0 0 % 1 5 = TT * 2 = C 9 Sqrt ="),
    "memory": keys("5 M+ 7 M+ MRC C MRC M+ MC MRC"),
    "largest_shown": typed("8.988465674311579e307") + keys("* 2 = + 1 = / 2 ="),
    "largest_shown_memory": typed("-8.988465674311579e307") + keys("* 2 = M+ C MRC / 2 ="),
    "nul_bytes": typed(b"1\x002\x00.5") + keys("+ 4 =") + typed(b"\x00\x00", True) + keys("="),
    "huge_text": bytes([0xC2, ord("3"), 255]) + keys("+ 1 = ^ ="),
    "non_ascii_digits": bytes([0xC5, 7, 1, 6, 11, 16, 21, 26, 31, 36]) + keys("+ 1 ="),
    "written_double": bytes([0xCB, 2]) + struct.pack(">d", 1.7976931348623157e308) + keys("* 1 ="),
    "beyond_range": bytes([0xCC, 1, 9, 99, 0, 0, 0, 1, 54]) + keys("M+ +"),
    "edge_texts": bytes([0xC6, 0]) + keys("M+ M+ MRC") + bytes([0xCE, 3]) + keys("+ 0 ="),
    "edit": typed("12345") + bytes([0xC7, 128]) + keys("+ 1 ="),
}

out = pathlib.Path(__file__).resolve().parent / "corpus"
out.mkdir(exist_ok=True)
for name, data in SEEDS.items():
    (out / name).write_bytes(data)

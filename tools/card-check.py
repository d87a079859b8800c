#!/usr/bin/env python3
"""Reads a standings card the way a chat and a person meet it.

card-check.py CARD.png [--width 1200] [--ocr NAMES.json]

Checks the PNG as a reader other than kvrrank's own sees it: the signature, every chunk's CRC,
no chunk beyond IHDR, IDAT and IEND (nothing that changes from run to run), IHDR's width, 8-bit
RGB, and IDAT inflating to height rows of a filter byte and width * 3 bytes. With --ocr, reads
the picture with tesseract and checks that it shows the names of NAMES.json (a JSON list, in
the standings' order) in that order, and the points of the leader (the JSON's "points").
"""
import json
import struct
import subprocess
import sys
import zlib


def fail(message):
    print("card-check: " + message, file=sys.stderr)
    sys.exit(1)


def chunks(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail("no PNG signature")
    at = 8
    while at < len(data):
        if at + 12 > len(data):
            fail("a chunk is cut at byte %d" % at)
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind = data[at + 4:at + 8]
        body = data[at + 8:at + 8 + length]
        if len(body) != length or at + 12 + length > len(data):
            fail("chunk %r is cut" % kind)
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            fail("chunk %r has a wrong CRC" % kind)
        yield kind, body
        at += 12 + length


def check_png(path, width):
    with open(path, "rb") as f:
        data = f.read()
    found = list(chunks(data))
    kinds = [kind for kind, _ in found]
    if not kinds or kinds[0] != b"IHDR" or kinds[-1] != b"IEND":
        fail("chunks %r: IHDR first and IEND last" % kinds)
    others = sorted(set(kinds) - {b"IHDR", b"IDAT", b"IEND"})
    if others:
        fail("chunks beyond the picture's own: %r" % others)
    w, h, depth, colour, compression, filtering, interlace = struct.unpack(">IIBBBBB", found[0][1])
    if w != width or depth != 8 or colour != 2 or interlace != 0:
        fail("IHDR says %dx%d, depth %d, colour type %d, interlace %d" % (w, h, depth, colour,
                                                                          interlace))
    pixels = zlib.decompress(b"".join(body for kind, body in found if kind == b"IDAT"))
    if len(pixels) != h * (w * 3 + 1):
        fail("IDAT inflates to %d bytes, not %d" % (len(pixels), h * (w * 3 + 1)))
    if any(pixels[row * (w * 3 + 1)] > 4 for row in range(h)):
        fail("a row's filter is not one of PNG's five")
    return w, h


def check_ocr(path, names_path):
    with open(names_path, encoding="utf-8") as f:
        expected = json.load(f)
    read = subprocess.run(["tesseract", path, "stdout", "--psm", "6"], capture_output=True,
                          text=True, check=False)
    if read.returncode != 0:
        fail("tesseract failed: " + read.stderr.strip())
    text = read.stdout
    print(text)
    at = 0
    for name in expected["names"]:
        found = text.find(name, at)
        if found < 0:
            fail("OCR did not read %r after position %d" % (name, at))
        at = found + len(name)
    leader_line = next((line for line in text.splitlines() if expected["names"][0] in line), "")
    if str(expected["points"]) not in leader_line.split():
        fail("OCR did not read the leader's %s points on %r" % (expected["points"], leader_line))


def main():
    args = sys.argv[1:]
    if not args:
        fail("usage: card-check.py CARD.png [--width 1200] [--ocr NAMES.json]")
    path = args[0]
    width = int(args[args.index("--width") + 1]) if "--width" in args else 1200
    w, h = check_png(path, width)
    print("%s: a valid PNG, %dx%d" % (path, w, h))
    if "--ocr" in args:
        check_ocr(path, args[args.index("--ocr") + 1])
        print("OCR read the names in order and the leader's points")


main()

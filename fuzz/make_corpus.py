#!/usr/bin/env python3
"""Writes the inputs for the BMP and ICO decode fuzzer: the seed corpus, small
valid files of every kind the decoders read, so that the fuzzer starts from
inputs that reach deep into them; and the regressions, hostile files that
each aim at one guard in the decoders (a run past the end of a row, a header
claiming far more pixels than the file holds, an icon entry outside the
file). Both folders are replayed by the decode_fuzz_replay test.

Usage: fuzz/make_corpus.py [OUT_DIR]   (writes OUT_DIR/corpus and OUT_DIR/regressions;
                                        OUT_DIR defaults to this script's folder)
"""
import argparse
import os
import struct
import sys
import zlib


def le16(v):
    return struct.pack("<H", v & 0xFFFF)


def le32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def quad(r, g, b):
    return bytes([b, g, r, 0])


def info_header(w, h, bpp, compression=0, image_bytes=0, clr_used=0, size=40):
    """A Windows DIB header of `size` bytes (40, 52, 56, 108 or 124)."""
    head = (le32(size) + le32(w) + le32(h) + le16(1) + le16(bpp) + le32(compression) + le32(image_bytes) +
            le32(2834) + le32(2834) + le32(clr_used) + le32(0))
    return head + bytes(size - 40)


def bmp(dib_header, table, pixels):
    off = 14 + len(dib_header) + len(table)
    return b"BM" + le32(off + len(pixels)) + le32(0) + le32(off) + dib_header + table + pixels


def pad(row):
    return row + bytes(-len(row) % 4)


def packed_rows(w, h, bpp, index):
    """Bottom-up rows of `bpp`-bit indices, index(x, y) with y = 0 on top."""
    out = b""
    for y in reversed(range(h)):
        bits = 0
        nbits = 0
        row = bytearray()
        for x in range(w):
            bits = (bits << bpp) | index(x, y)
            nbits += bpp
            if nbits == 8:
                row.append(bits)
                bits = nbits = 0
        if nbits:
            row.append(bits << (8 - nbits))
        out += pad(bytes(row))
    return out


def palette(n):
    return b"".join(quad((i * 53) & 0xFF, (i * 97) & 0xFF, (i * 29) & 0xFF) for i in range(n))


def rgb_rows(w, h, bpp, top_down=False, five_five_five=False):
    out = b""
    ys = range(h) if top_down else reversed(range(h))
    for y in ys:
        row = b""
        for x in range(w):
            r, g, b = x * 40 & 0xFF, y * 50 & 0xFF, (x + y) * 30 & 0xFF
            if bpp == 24:
                row += bytes([b, g, r])
            elif bpp == 32:
                row += bytes([b, g, r, 0xFF])
            elif bpp == 16 and five_five_five:
                row += le16(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))
            elif bpp == 16:  # 5-6-5
                row += le16(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
        out += pad(row)
    return out


def png(w, h):
    """A true-colour PNG without alpha."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b""
    for y in range(h):
        raw += b"\0" + b"".join(bytes([x * 60 & 0xFF, y * 60 & 0xFF, 0x80]) for x in range(w))
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def ico(images):
    """An icon directory over (w, h, bpp, image bytes) entries."""
    out = le16(0) + le16(1) + le16(len(images))
    off = 6 + 16 * len(images)
    data = b""
    for w, h, bpp, img in images:
        out += bytes([w & 0xFF, h & 0xFF, 0, 0]) + le16(1) + le16(bpp) + le32(len(img)) + le32(off)
        off += len(img)
        data += img
    return out + data


def and_mask(w, h, transparent):
    return packed_rows(w, h, 1, lambda x, y: 1 if transparent(x, y) else 0)


def corpus():
    files = {}
    checker = lambda x, y: (x + y) & 1

    files["bmp-1bit.bmp"] = bmp(info_header(9, 3, 1), palette(2), packed_rows(9, 3, 1, checker))
    files["bmp-2bit.bmp"] = bmp(info_header(5, 2, 2), palette(4), packed_rows(5, 2, 2, lambda x, y: (x + y) % 4))
    files["bmp-4bit.bmp"] = bmp(info_header(7, 3, 4, clr_used=12), palette(12),
                                packed_rows(7, 3, 4, lambda x, y: (x * 3 + y) % 12))
    files["bmp-8bit.bmp"] = bmp(info_header(6, 4, 8), palette(256), packed_rows(6, 4, 8, lambda x, y: x * 40 + y))
    files["bmp-8bit-topdown.bmp"] = bmp(info_header(3, -3, 8, clr_used=9), palette(9),
                                        b"".join(pad(bytes([y * 3 + x for x in range(3)])) for y in range(3)))
    files["bmp-16bit-565.bmp"] = bmp(info_header(4, 3, 16, compression=3), le32(0xF800) + le32(0x07E0) + le32(0x001F),
                                     rgb_rows(4, 3, 16))
    # 16-bit without bit fields: 5-5-5, top-down.
    files["bmp-16bit-555-topdown.bmp"] = bmp(info_header(5, -2, 16), b"", rgb_rows(5, 2, 16, True, True))
    files["bmp-24bit.bmp"] = bmp(info_header(5, 3, 24), b"", rgb_rows(5, 3, 24))
    files["bmp-24bit-topdown.bmp"] = bmp(info_header(3, -4, 24), b"", rgb_rows(3, 4, 24, top_down=True))
    files["bmp-32bit.bmp"] = bmp(info_header(4, 4, 32), b"", rgb_rows(4, 4, 32))
    # Version 5 header carrying its own masks (blue high).
    v5 = bytearray(info_header(3, 2, 32, compression=3, size=124))
    v5[40:52] = le32(0x000000FF) + le32(0x0000FF00) + le32(0x00FF0000)
    files["bmp-32bit-v5-fields.bmp"] = bmp(bytes(v5), b"", rgb_rows(3, 2, 32))
    # RLE8: a run, a literal run, a delta, end of line, end of bitmap.
    rle8 = bytes([4, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 1, 1, 2, 5, 0, 0, 0, 1])
    files["bmp-rle8.bmp"] = bmp(info_header(6, 3, 8, compression=1, image_bytes=len(rle8), clr_used=6), palette(6),
                                rle8)
    # RLE4: alternating runs, a literal of five nibbles, end of line, end.
    rle4 = bytes([6, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0, 3, 0xF1, 0, 0, 0, 1])
    files["bmp-rle4.bmp"] = bmp(info_header(11, 2, 4, compression=2, image_bytes=len(rle4)), palette(16), rle4)
    # OS/2 core header: 12 bytes, three-byte palette entries.
    core = le32(12) + le16(4) + le16(2) + le16(1) + le16(4)
    core_pal = b"".join(bytes([i * 16, 255 - i * 16, i * 8]) for i in range(16))
    files["bmp-core-4bit.bmp"] = bmp(core, core_pal, packed_rows(4, 2, 4, lambda x, y: x + 4 * y))

    def dib_icon(w, h, bpp, pixels, table=b"", mask=True):
        head = info_header(w, 2 * h, bpp)
        return head + table + pixels + (and_mask(w, h, lambda x, y: x == 0 and y == 0) if mask else b"")

    alpha_rows = b""
    for y in reversed(range(4)):
        alpha_rows += b"".join(bytes([0x20 * x, 0x40, 0xC0, 0x40 * x + 0x3F]) for x in range(4))
    files["ico-32bit-alpha.ico"] = ico([(4, 4, 32, dib_icon(4, 4, 32, alpha_rows))])
    files["ico-multi-4bit-24bit.ico"] = ico([
        (4, 2, 4, dib_icon(4, 2, 4, packed_rows(4, 2, 4, lambda x, y: x + y), palette(16))),
        (5, 3, 24, dib_icon(5, 3, 24, rgb_rows(5, 3, 24))),
    ])
    files["ico-8bit-mask.ico"] = ico([(3, 3, 8, dib_icon(3, 3, 8, packed_rows(3, 3, 8, lambda x, y: x * 3 + y),
                                                          palette(256)))])
    files["ico-1bit-no-mask.ico"] = ico([(8, 2, 1, dib_icon(8, 2, 1, packed_rows(8, 2, 1, checker), palette(2),
                                                            mask=False))])
    files["ico-png.ico"] = ico([(3, 2, 32, png(3, 2))])
    # A cursor: type 2, the same layout.
    cur = bytearray(ico([(2, 2, 24, dib_icon(2, 2, 24, rgb_rows(2, 2, 24)))]))
    cur[2] = 2
    files["cur-24bit.cur"] = bytes(cur)
    return files


def regressions():
    files = {}
    pal = palette(6)
    # RLE8, 6 x 3: a literal run of 7 and an encoded run of 9 on the top row,
    # both longer than the row; then a delta far below the picture.
    rle = bytes([0, 7, 1, 2, 3, 4, 5, 0, 1, 0, 9, 2, 0, 2, 200, 200, 3, 1, 0, 1])
    files["rle8-runs-past-row-end.bmp"] = bmp(info_header(6, 3, 8, compression=1, clr_used=6), pal, rle)
    # RLE4 top-down, 3 x 2: an odd literal run of 5 nibbles past the row.
    rle4 = bytes([0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 4, 0x21, 0, 1])
    files["rle4-topdown-literal-past-row-end.bmp"] = bmp(info_header(3, -2, 4, compression=2), palette(16), rle4)
    # RLE8 whose data stops in the middle of a literal run.
    files["rle8-literal-cut-off.bmp"] = bmp(info_header(8, 1, 8, compression=1), pal, bytes([0, 40, 1, 2, 3]))
    # RLE8 claiming 32768 x 8192 pixels in a few bytes.
    files["rle8-huge-claim.bmp"] = bmp(info_header(32768, 8192, 8, compression=1), pal, bytes([255, 1, 0, 1]))
    # 24-bit claiming 16384 x 16384 pixels (the most allowed) in 64 bytes.
    files["bmp-huge-claim-short-rows.bmp"] = bmp(info_header(16384, 16384, 24), b"", bytes(64))
    # Height of -2^31: its magnitude does not fit 32 bits.
    files["bmp-height-int-min.bmp"] = bmp(info_header(1, -0x80000000, 24), b"", bytes(4))
    # A pixel offset pointing into the headers: the rows follow the table.
    low = bytearray(bmp(info_header(2, 1, 8, clr_used=2), palette(2), bytes([1, 0, 0, 0])))
    low[10:14] = le32(0)
    files["bmp-pixel-offset-inside-header.bmp"] = bytes(low)
    # Bit fields of nothing and of every bit.
    files["bmp-bitfields-empty-and-full.bmp"] = bmp(info_header(2, 1, 32, compression=3),
                                                    le32(0) + le32(0xFFFFFFFF) + le32(0x80000001),
                                                    le32(0xFFFFFFFF) + le32(0x12345678))
    # A colour table said to run past the end of the file.
    files["bmp-palette-past-end.bmp"] = bmp(info_header(1, 1, 8, clr_used=200), palette(3), b"")
    # An icon entry whose image lies beyond the end of the file.
    far = bytearray(ico([(2, 2, 24, info_header(2, 4, 24) + bytes(16 + 8))]))
    far[18:22] = le32(0x7FFFFFF0)
    files["ico-entry-outside-file.ico"] = bytes(far)
    # A DIB icon one row high: half of it, the colour rows, is nothing.
    files["ico-dib-height-one.ico"] = ico([(1, 1, 24, info_header(1, 1, 24) + bytes(8))])
    # A directory of 65535 entries, only two of them present.
    many = bytearray(ico([(1, 1, 24, info_header(1, 2, 24) + bytes(8)), (2, 2, 24, b"\0" * 8)]))
    many[4:6] = le16(0xFFFF)
    files["ico-directory-cut-off.ico"] = bytes(many)
    # An icon holding a PNG cut off after its header.
    files["ico-png-cut-off.ico"] = ico([(3, 2, 32, png(3, 2)[:40])])
    # A 32-bit icon whose colour rows are all there but whose mask is short.
    files["ico-32bit-short-mask.ico"] = ico([(3, 2, 32, info_header(3, 4, 32) + bytes([9, 8, 7, 0x80] * 6) + bytes(3))])
    return files


def write_all(folder, files):
    os.makedirs(folder, exist_ok=True)
    for name, data in sorted(files.items()):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     epilog="Writes OUT_DIR/corpus and OUT_DIR/regressions.")
    parser.add_argument("out_dir", nargs="?", default=here, metavar="OUT_DIR",
                        help="where to write (default: this script's folder)")
    out_dir = parser.parse_args().out_dir
    write_all(os.path.join(out_dir, "corpus"), corpus())
    write_all(os.path.join(out_dir, "regressions"), regressions())
    return 0


if __name__ == "__main__":
    sys.exit(main())

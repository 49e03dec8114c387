#!/usr/bin/env python3
"""Writes one large deterministic, moderately compressible file.

Usage: make_big_file.py OUTFILE SIZE_MB SEED

The file is a sequence of pieces of 4 KiB to 256 KiB: mostly text (slices of
a 16 MiB pool with the word statistics of make_text_tree.py), some
fixed-width records with counters and small numbers (as in logs and tables),
and about one piece in twelve of random bytes that no compressor shrinks.
Pieces repeat only at distances far beyond a deflate window, so the result
compresses like real mixed data, neither like zeros nor like noise. The same
arguments always give the same bytes.
"""

import random
import struct
import sys

from make_text_tree import TextMaker


def record_pool(rng, size):
    out = bytearray()
    stamp = 1700000000
    ident = 0
    while len(out) < size:
        stamp += rng.randint(0, 40)
        ident += 1
        out += struct.pack("<IIHHhB", ident, stamp, rng.randint(0, 600), rng.randint(0, 3) * 100,
                           rng.randint(-50, 50), rng.choice(b"ABCDE"))
        out += b"%-11s" % rng.choice((b"ok", b"retry", b"timeout", b"moved", b"deleted"))
    return bytes(out[:size])


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: make_big_file.py OUTFILE SIZE_MB SEED\n")
        return 2
    out_path, size_mb, seed = argv[1], float(argv[2]), int(argv[3])
    if size_mb <= 0:
        sys.stderr.write("SIZE_MB must be positive\n")
        return 2
    rng = random.Random(seed)
    text = TextMaker(rng).text(16 << 20)
    records = record_pool(rng, 4 << 20)
    total = int(size_mb * 1024 * 1024)
    written = 0
    with open(out_path, "wb") as f:
        while written < total:
            size = min(rng.randint(4 << 10, 256 << 10), total - written)
            kind = rng.random()
            if kind < 0.08:
                piece = rng.randbytes(size)
            elif kind < 0.30:
                start = rng.randrange(0, len(records) - size)
                piece = records[start:start + size]
            else:
                start = rng.randrange(0, len(text) - size)
                piece = text[start:start + size]
            f.write(piece)
            written += len(piece)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

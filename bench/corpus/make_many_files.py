#!/usr/bin/env python3
"""Writes a deterministic tree of many small text files for benchmarks.

Usage: make_many_files.py OUTDIR COUNT SEED

COUNT files of 20 bytes to 4 KiB (most below 1 KiB) in folders of at most
1,000 files, two levels deep, with word-like names. The text comes from the
same word statistics as make_text_tree.py; each file is a slice of a shared
pool so that a hundred thousand files take seconds, not minutes. The same
arguments always give the same names and bytes.
"""

import os
import random
import sys

from make_text_tree import TextMaker


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: make_many_files.py OUTDIR COUNT SEED\n")
        return 2
    out_dir, count, seed = argv[1], int(argv[2]), int(argv[3])
    if count <= 0:
        sys.stderr.write("COUNT must be positive\n")
        return 2
    rng = random.Random(seed)
    maker = TextMaker(rng)
    pool = maker.text(4 << 20)
    exts = (".txt", ".ini", ".log", ".xml", ".cfg")
    per_folder = 1000
    folder = ""
    for i in range(count):
        if i % per_folder == 0:
            top = "_".join(maker.pick(2)) + "%03d" % (i // (per_folder * 10))
            folder = os.path.join(out_dir, top, "%s%03d" % (maker.pick(1)[0], i // per_folder))
            os.makedirs(folder, exist_ok=True)
        size = min(int(20 * (2 ** (rng.random() * 7.7))), 4096)
        start = rng.randrange(0, len(pool) - size)
        name = "%s_%06d%s" % ("-".join(maker.pick(rng.randint(1, 2))), i, rng.choice(exts))
        with open(os.path.join(folder, name), "wb") as f:
            f.write(pool[start:start + size])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

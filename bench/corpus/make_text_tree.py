#!/usr/bin/env python3
"""Builds a deterministic tree of text files for the benchmarks.

Usage: make_text_tree.py OUTPUT_DIR TOTAL_BYTES SEED

The same arguments always give the same files (names, sizes, contents): prose-
and source-like lines drawn from a fixed vocabulary, in folders three levels
deep, file sizes from a few hundred bytes to a few hundred kilobytes.
Nothing is written when OUTPUT_DIR already holds the stamp of the same call.
"""
import os
import random
import sys


def words(rng):
    base = ("archive entry folder deflate window header record value disk volume "
            "the of and to in is that for it as with was on be by this are from "
            "return static const void int char struct if else while for break "
            "compress extract settings message progress dialog table index offset "
            "length buffer stream block tree code literal distance match").split()
    extra = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(3, 9)))
             for _ in range(400)]
    return base + extra


def line(rng, vocab):
    kind = rng.random()
    n = rng.randint(4, 14)
    text = " ".join(rng.choice(vocab) for _ in range(n))
    if kind < 0.3:
        return "    " + text.replace(" ", "_", 2) + "(" + str(rng.randint(0, 9999)) + ");\n"
    if kind < 0.4:
        return "// " + text + "\n"
    return text.capitalize() + ".\n"


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    out, total, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    stamp = os.path.join(out, ".corpus-stamp")
    key = f"{total} {seed}\n"
    if os.path.exists(stamp) and open(stamp).read() == key:
        return
    rng = random.Random(seed)
    vocab = words(rng)
    written = 0
    index = 0
    while written < total:
        folder = os.path.join(out, f"d{rng.randint(0, 9)}", f"s{rng.randint(0, 9)}", f"t{rng.randint(0, 4)}")
        os.makedirs(folder, exist_ok=True)
        size = min(int(rng.lognormvariate(9.5, 1.2)) + 200, 400_000, total - written)
        parts, got = [], 0
        while got < size:
            s = line(rng, vocab)
            parts.append(s)
            got += len(s)
        data = "".join(parts)[:size]
        ext = rng.choice([".txt", ".c", ".h", ".md", ".log"])
        with open(os.path.join(folder, f"file{index:06d}{ext}"), "w") as f:
            f.write(data)
        written += size
        index += 1
    with open(stamp, "w") as f:
        f.write(key)


if __name__ == "__main__":
    main()

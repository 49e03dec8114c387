#!/usr/bin/env python3
"""Writes samples/sample.zip: a few text files in a folder and an archive
comment. The bytes are the same on every run (fixed times, attributes and
order), so the committed file can be checked against a fresh one:

    python3 samples/make_sample.py && git diff --exit-code samples/sample.zip
"""

import os
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
TARGET = os.path.join(HERE, "sample.zip")
WHEN = (2024, 5, 17, 9, 30, 0)

FILES = [
    ("notes/readme.txt",
     "Brindle Dovozoz sample archive.\n"
     "List it, test it and extract it with the brx command-line program.\n"),
    ("notes/todo.txt", "".join(f"{n:3d}. check the archive again\n" for n in range(1, 41))),
    ("notes/letters/alphabet.txt", "abcdefghijklmnopqrstuvwxyz\n" * 20),
    ("colophon.txt", "Made by samples/make_sample.py.\n"),
]

COMMENT = b"Sample archive of Brindle Dovozoz"


def main():
    with zipfile.ZipFile(TARGET, "w") as archive:
        for name, text in FILES:
            info = zipfile.ZipInfo(name, date_time=WHEN)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS attributes
            info.external_attr = 0x20  # archive bit
            archive.writestr(info, text.encode("ascii"), compresslevel=9)
        archive.comment = COMMENT


if __name__ == "__main__":
    main()

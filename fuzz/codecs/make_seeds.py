#!/usr/bin/env python3
"""Writes a seed corpus for fuzz_zip_decoders from the legacy ZIP fixtures.

Usage: make_seeds.py <fixtures/zip-legacy> <output dir>
Each seed is the fuzz target's header (decoder, read size, declared size)
followed by one entry's compressed bytes. Entries over 16 MiB are skipped.
"""
import os
import struct
import sys
import zipfile
import zlib


def pick_for(method, flags):
    if method == 1:
        return 0
    if 2 <= method <= 5:
        return method - 1
    if method == 6:
        return 5 + ((flags >> 1) & 3)
    if method == 9:
        return 9
    if method == 8:
        return 10
    return None


def seed(pick, step, size, payload):
    return bytes([pick, step]) + struct.pack('<I', size)[:3] + payload


def main():
    src, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    count = 0
    for name in sorted(os.listdir(src)):
        path = os.path.join(src, name)
        if not zipfile.is_zipfile(path):
            continue
        with open(path, 'rb') as f:
            raw = f.read()
        for info in zipfile.ZipFile(path).infolist():
            pick = pick_for(info.compress_type, info.flag_bits)
            if pick is None or info.file_size >= 1 << 24:
                continue
            local = info.header_offset
            name_len, extra_len = struct.unpack('<HH', raw[local + 26:local + 30])
            start = local + 30 + name_len + extra_len
            payload = raw[start:start + info.compress_size]
            with open(os.path.join(out, '%s-%s' % (name, info.filename.replace('/', '_'))), 'wb') as f:
                f.write(seed(pick, 0, info.file_size, payload))
            count += 1
    # Deflate seeds of the fixture text.
    text = open(os.path.join(src, 'z2-first.txt'), 'rb').read()
    comp = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed = comp.compress(text) + comp.flush()
    with open(os.path.join(out, 'deflate-first.txt'), 'wb') as f:
        f.write(seed(10, 7, len(text), packed))
    print('%d seeds in %s' % (count + 1, out))


if __name__ == '__main__':
    main()

#!/usr/bin/env bash
# Unzip engine benchmark (on demand, not in CI). Builds a deterministic corpus
# when missing, then times our engine against Info-ZIP's unzip in the same run:
#   listing a 100,000-entry archive  (GetFileCount + LoadFile  vs  unzip -Z1)
#   extracting a tree of text files  (dunzipS function 8       vs  unzip -q -o)
#   testing the same archive         (function 8, test only    vs  unzip -tq)
# Usage: bench/unzip/run.sh [--quick] [--build DIR]
#   --quick   a 20 MB tree instead of 200 MB (a quick check)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
build="$src/build"
size_mb=200
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) size_mb=20 ;;
    --build) build=$2; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
corpus="$build/bench-unzip-corpus"
mkdir -p "$corpus"

cmake --build "$build" --target unzip_bench >/dev/null
bench="$build/bench/unzip_bench"

tree_zip="$corpus/text-${size_mb}mb.zip"
if [ ! -f "$tree_zip" ]; then
  echo "building a ${size_mb} MB text tree ..." >&2
  rm -rf "$corpus/tree-$size_mb"
  python3 - "$corpus/tree-$size_mb" "$size_mb" <<'PY'
import os, random, sys
root, mb = sys.argv[1], int(sys.argv[2])
rnd = random.Random(20240611)
words = [''.join(rnd.choice('etaoinshrdlucmfwypvbgkjqxz') for _ in range(rnd.randint(2, 9)))
         for _ in range(4000)]
total, target, n = 0, mb * 1024 * 1024, 0
while total < target:
    folder = os.path.join(root, 'd%02d' % (n % 37), 's%02d' % (n % 11))
    os.makedirs(folder, exist_ok=True)
    size = rnd.choice([2_000, 20_000, 80_000, 400_000, 1_500_000])
    lines, length = [], 0
    while length < size:
        line = ' '.join(rnd.choice(words) for _ in range(rnd.randint(6, 14))) + '\n'
        lines.append(line); length += len(line)
    with open(os.path.join(folder, 'f%05d.txt' % n), 'w') as f:
        f.write(''.join(lines))
    total += length; n += 1
PY
  (cd "$corpus/tree-$size_mb" && zip -q -r -9 "$tree_zip" .)
fi
many_zip="$corpus/many-100k.zip"
if [ ! -f "$many_zip" ]; then
  echo "building a 100,000-entry archive ..." >&2
  python3 - "$many_zip" <<'PY'
import struct, sys, zlib
n = 100000
out = bytearray(); cd = bytearray()
for i in range(n):
    name = b'dir%03d/file%06d.txt' % (i % 100, i)
    data = b'%d' % i
    crc = zlib.crc32(data)
    off = len(out)
    out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 0, 0, 0x5284, crc, len(data), len(data), len(name), 0) + name + data
    cd += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, 0, 0, 0, 0x5284, crc, len(data), len(data), len(name), 0, 0, 0, 0, 0, off) + name
cdoff = len(out); out += cd
out += struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, n & 0xFFFF, n & 0xFFFF, len(cd), cdoff, 0)
open(sys.argv[1], 'wb').write(out)
PY
fi

export BRX_ROOT="$corpus/root"
mkdir -p "$BRX_ROOT"
now() { date +%s.%N; }
timed() { local t0; t0=$(now); "$@" >/dev/null; echo "$(now) - $t0" | bc -l; }
ratio() { echo "scale=2; $1 / $2" | bc -l; }

sync
ours_list=$("$bench" list "$many_zip")
theirs_list=$(timed unzip -Z1 "$many_zip")

rm -rf "$corpus/out-ours" "$corpus/out-theirs"; sync
ours_x=$("$bench" extract "$tree_zip" "$corpus/out-ours")
theirs_x=$(timed unzip -q -o "$tree_zip" -d "$corpus/out-theirs")
if ! diff -rq "$corpus/out-ours" "$corpus/out-theirs" >/dev/null; then
  echo "extracted trees differ" >&2; exit 1
fi

ours_t=$("$bench" test "$tree_zip")
theirs_t=$(timed unzip -tq "$tree_zip")

printf '%-28s %8s %8s %7s %s\n' operation ours unzip ratio goal
printf '%-28s %8.3f %8.3f %7s %s\n' "list 100,000 entries" "$ours_list" "$theirs_list" "$(ratio "$ours_list" "$theirs_list")" "<= 1.0"
printf '%-28s %8.3f %8.3f %7s %s\n' "extract ${size_mb} MB" "$ours_x" "$theirs_x" "$(ratio "$ours_x" "$theirs_x")" "<= 0.5"
printf '%-28s %8.3f %8.3f %7s %s\n' "test ${size_mb} MB" "$ours_t" "$theirs_t" "$(ratio "$ours_t" "$theirs_t")" "<= 0.5"

#!/bin/sh
# Zip engine benchmark: sizes and times against Info-ZIP zip and 7-Zip on a
# 200 MB text tree, and deleting one entry of a 100,000-entry archive.
# Usage: bench/zip/run.sh [BUILD_DIR]   (default: build)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
build=${1:-$src/build}
cmake --build "$build" --target zipbench dzips32 >/dev/null
bench="$build/bench/zipbench"
work=${BENCH_WORK:-/tmp/brx-zip-bench}
corpus="$work/corpus"
mkdir -p "$work"
python3 "$src/bench/corpus/make_text_tree.py" "$corpus" 200 1
export BRX_ROOT="$work/root"
mkdir -p "$BRX_ROOT"

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }
size() { stat -c %s "$1"; }
ratio() { echo "scale=3; $1 / $2" | bc; }

measure() { # name command...
    name=$1; shift
    rm -f "$work/$name.zip"
    t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
    eval "t_$name=$(elapsed "$t0" "$t1")"
    eval "s_$name=$(size "$work/$name.zip")"
}

cd "$corpus"
for f in 9 6; do
    measure ours$f "$bench" add "$work/ours$f.zip" "$corpus" $f
    measure zip$f zip -r -q -$f "$work/zip$f.zip" .
    mx=$f; [ $f = 6 ] && mx=5
    measure sz$f 7zz a -tzip -mx=$mx "$work/sz$f.zip" .
    eval "so=\$s_ours$f; to=\$t_ours$f; sz=\$s_zip$f; tz=\$t_zip$f; s7=\$s_sz$f; t7=\$t_sz$f"
    echo "factor $f: ours $so bytes ${to}s | zip -$f $sz bytes ${tz}s | 7zz -mx=$mx $s7 bytes ${t7}s"
    echo "  size ours/zip $(ratio "$so" "$sz")  ours/7zz $(ratio "$so" "$s7")  time ours/zip $(ratio "$to" "$tz")  ours/7zz $(ratio "$to" "$t7")"
done

# Deleting one entry of an archive of 100,000 small files.
many="$work/many"
if [ ! -f "$many/.done" ]; then
    rm -rf "$many"; mkdir -p "$many"
    python3 - "$many" <<'PY'
import os, sys
root = sys.argv[1]
for i in range(100000):
    d = os.path.join(root, f"g{i // 1000:03d}")
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, f"f{i:06d}.txt"), "w") as f:
        f.write(f"entry {i}\n" * (1 + i % 7))
open(os.path.join(root, ".done"), "w").close()
PY
fi
rm -f "$work/many.zip"
(cd "$many" && zip -r -q -X "$work/many.zip" g*)
cp "$work/many.zip" "$work/many_zip.zip"
cp "$work/many.zip" "$work/many_ours.zip"
t0=$(now); zip -q -d "$work/many_zip.zip" g050/f050000.txt; t1=$(now); td_zip=$(elapsed "$t0" "$t1")
t0=$(now); "$bench" delete "$work/many_ours.zip" g050/f050000.txt; t1=$(now); td_ours=$(elapsed "$t0" "$t1")
echo "delete one of 100,000: ours ${td_ours}s | zip -d ${td_zip}s | time ours/zip $(ratio "$td_ours" "$td_zip")"
unzip -tqq "$work/ours9.zip" && unzip -tqq "$work/many_ours.zip" && echo "archives test OK"

#!/usr/bin/env bash
# Cabinet benchmarks: our writer (MSZIP, LZX) against gcab, our reader against
# cabextract, on a deterministic tree of text files.
#
# Usage: bench/cab/run.sh [-s TOTAL_MB] [-e SEED] [-r REPEAT] [-b BUILD_DIR] [-w WORK_DIR]
#   -s  corpus size in MB (default 200); the corpus is generated once per size
#       and seed and kept in WORK_DIR
#   -r  runs per measurement; the fastest counts (default 1)
#   -b  CMake build folder (default build/; configured when missing)
#   -w  scratch folder for the corpus and the cabinets (default /tmp/brx-cab-bench)
#
# Times are wall-clock seconds and CPU seconds (user + system); ratios are
# ours / theirs on CPU time, which the load of other processes disturbs less.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
mb=200
seed=1
repeat=1
build="$repo/build"
work="${TMPDIR:-/tmp}/brx-cab-bench"
while getopts "s:e:r:b:w:" opt; do
    case $opt in
    s) mb=$OPTARG ;;
    e) seed=$OPTARG ;;
    r) repeat=$OPTARG ;;
    b) build=$OPTARG ;;
    w) work=$OPTARG ;;
    *) sed -n '2,14p' "$0"; exit 2 ;;
    esac
done

for tool in gcab cabextract python3; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

mkdir -p "$work"
corpus="$work/corpus-${mb}mb-seed${seed}"
if [ ! -f "$corpus.done" ]; then
    echo "generating ${mb} MB corpus in $corpus ..." >&2
    rm -rf "$corpus"
    python3 "$repo/bench/corpus/make_text_tree.py" "$corpus" "$mb" "$seed"
    touch "$corpus.done"
fi

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    cmake -S "$repo" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target cab_bench_write cab_bench_extract >/dev/null
writer="$build/bench/cab/cab_bench_write"
reader="$build/bench/cab/cab_bench_extract"

bytes=$(find "$corpus" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
nfiles=$(find "$corpus" -type f | wc -l)
(cd "$corpus" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/files.txt"
# Warm the page cache so the first tool measured is not charged for the disk.
find "$corpus" -type f -exec cat {} + >/dev/null

# measure NAME CMD...: runs CMD `repeat` times, keeps the fastest run's
# "wall cpu" in the variable NAME.
measure() {
    local name=$1
    shift
    local best_wall="" best_cpu="" out
    for _ in $(seq "$repeat"); do
        out=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>"$work/stderr.txt"; } 2>&1 ) || {
            echo "failed: $*" >&2
            cat "$work/stderr.txt" >&2
            exit 1
        }
        read -r wall user sys <<<"$out"
        cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN {printf "%.3f", u + s}')
        if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN {exit !(a < b)}'; then
            best_wall=$wall
            best_cpu=$cpu
        fi
    done
    printf -v "$name" '%s %s' "$best_wall" "$best_cpu"
}

clean() { rm -rf "$work/out" "$work"/*.cab; }
clean

gcab_create() { (cd "$corpus" && xargs -a "$work/files.txt" -d '\n' gcab -c -z "$work/gcab.cab"); }

measure t_gcab gcab_create
measure t_mszip "$writer" "$work/ours_mszip.cab" "$corpus" mszip
measure t_lzx "$writer" "$work/ours_lzx21.cab" "$corpus" lzx21

# Every cabinet must give the tree back before its reading is timed.
for c in ours_mszip ours_lzx21 gcab; do
    rm -rf "$work/out"
    "$reader" "$work/$c.cab" "$work/out"
    diff -r -q "$corpus" "$work/out" >/dev/null || { echo "$c.cab: our reader's output differs" >&2; exit 1; }
done
for c in ours_mszip ours_lzx21; do
    rm -rf "$work/out"
    cabextract -q -d "$work/out" "$work/$c.cab" >/dev/null
    diff -r -q "$corpus" "$work/out" >/dev/null || { echo "$c.cab: cabextract's output differs" >&2; exit 1; }
done

extract_ours() { rm -rf "$work/out"; "$reader" "$1" "$work/out"; }
extract_cabextract() { rm -rf "$work/out"; cabextract -q -d "$work/out" "$1"; }
measure x_ours_mszip extract_ours "$work/ours_mszip.cab"
measure x_cabx_mszip extract_cabextract "$work/ours_mszip.cab"
measure x_ours_lzx extract_ours "$work/ours_lzx21.cab"
measure x_cabx_lzx extract_cabextract "$work/ours_lzx21.cab"

s_gcab=$(stat -c %s "$work/gcab.cab")
s_mszip=$(stat -c %s "$work/ours_mszip.cab")
s_lzx=$(stat -c %s "$work/ours_lzx21.cab")

python3 - "$bytes" "$nfiles" "$s_gcab" "$s_mszip" "$s_lzx" \
    $t_gcab $t_mszip $t_lzx $x_ours_mszip $x_cabx_mszip $x_ours_lzx $x_cabx_lzx <<'EOF'
import sys
a = sys.argv[1:]
total, nfiles, s_gcab, s_mszip, s_lzx = (int(x) for x in a[:5])
t = [float(x) for x in a[5:]]
(tg_w, tg_c, tm_w, tm_c, tl_w, tl_c, xm_w, xm_c, cm_w, cm_c, xl_w, xl_c, cl_w, cl_c) = t
mb = total / 1e6
def row(what, wall, cpu, size=None, ratio="", goal="", ok=None):
    sz = "%.2f MB (%.1f%%)" % (size / 1e6, 100.0 * size / total) if size else ""
    mark = "" if ok is None else ("yes" if ok else "NO")
    times = "%8.2f %8.2f %9.1f" % (wall, cpu, mb / cpu) if cpu else " " * 27
    print("%-34s %s  %-20s %-18s %-10s %s" % (what, times, sz, ratio, goal, mark))
print("corpus: %.1f MB in %d files" % (mb, nfiles))
print("%-34s %8s %8s %9s  %-20s %-18s %-10s %s" %
      ("measurement", "wall s", "cpu s", "MB/s cpu", "size", "ratio", "goal", "met"))
row("create MSZIP: gcab -c -z", tg_w, tg_c, s_gcab)
rt, rs = tm_c / tg_c, s_mszip / s_gcab
row("create MSZIP: ours", tm_w, tm_c, s_mszip, "time %.2fx" % rt, "<= 1.00x", rt <= 1.0)
row("", 0, 0, None, "size %.3fx" % rs, "<= 1.00x", rs <= 1.0)
gain = 1 - s_lzx / s_mszip
row("create LZX 21: ours", tl_w, tl_c, s_lzx, "%.1f%% < our MSZIP" % (100 * gain), ">= 15%", gain >= 0.15)
r1, r2 = xm_c / cm_c, xl_c / cl_c
row("extract MSZIP: cabextract", cm_w, cm_c)
row("extract MSZIP: ours", xm_w, xm_c, None, "time %.2fx" % r1, "<= 1.00x", r1 <= 1.0)
row("extract LZX 21: cabextract", cl_w, cl_c)
row("extract LZX 21: ours", xl_w, xl_c, None, "time %.2fx" % r2, "<= 1.00x", r2 <= 1.0)
EOF
clean

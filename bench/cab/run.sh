#!/usr/bin/env bash
# Cabinet rows of the project benchmark (bench/run.sh --only cab): our writer
# (MSZIP, LZX) against gcab, our reader against cabextract.
#
# Usage: bench/cab/run.sh [-s TOTAL_MB] [-r REPEAT] [-b BUILD_DIR] [-w CACHE_DIR]
#   -s  size of the text tree in MB (default 200)
#   -r  runs per measurement; the fastest counts (default 3)
#   -b  CMake build folder (default build-bench/)
#   -w  corpus cache (default $BRX_BENCH_DIR or ~/.cache/brindle-bench)
# Further bench/run.sh options may follow "--".
set -euo pipefail
args=(--only cab)
while getopts "s:r:b:w:" opt; do
    case $opt in
    s) args+=(--tree-mb "$OPTARG") ;;
    r) args+=(--runs "$OPTARG") ;;
    b) args+=(--build "$OPTARG") ;;
    w) args+=(--cache "$OPTARG") ;;
    *) sed -n '2,11p' "$0"; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
exec "$(dirname "$0")/../run.sh" "${args[@]}" "$@"

#!/bin/sh
# The project's benchmark, run on demand (never in CI): builds the benchmark
# programs (Release, in build-bench/), builds the corpora once into
# $BRX_BENCH_DIR (default ~/.cache/brindle-bench), times every operation
# against the usual tool and prints one table. See bench/README.md.
#
# Usage: bench/run.sh [--quick] [--only unzip|zip|cab|extract] [--runs N]
#                     [--build DIR] [--cache DIR] [--tree-mb MB] [--entries N]
#                     [--file-mb MB] [--no-build]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
command -v python3 >/dev/null || { echo "bench: python3 is needed" >&2; exit 1; }
exec python3 "$here/bench.py" "$@"

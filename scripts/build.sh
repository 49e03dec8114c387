#!/usr/bin/env bash
# Configures and builds one build folder.
#   scripts/build.sh [--sanitize] [--fuzz] [--dir DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler results are shared between clones of the repository (CI builds in a
# fresh folder each time).
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

dir=build
args=()
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) dir=build-asan; args+=(-DBRX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" "-DCMAKE_C_FLAGS_DEBUG=-g -O1") ;;
    --fuzz) dir=build-fuzz; args+=(-DBRX_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++); targets=(--target fuzz_targets) ;;
    --dir) shift; dir=$1 ;;
    *) echo "build.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
echo "$dir"

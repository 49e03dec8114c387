#!/usr/bin/env bash
# Installs everything, builds and runs every test: first the normal build, then
# the same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
#   scripts/test.sh              both runs
#   scripts/test.sh --no-sanitize  normal build only
#   scripts/test.sh --sanitize-only
set -euo pipefail
cd "$(dirname "$0")/.."

normal=1 sanitize=1
case "${1:-}" in
  --no-sanitize) sanitize=0 ;;
  --sanitize-only) normal=0 ;;
  "") ;;
  *) echo "test.sh: unknown option $1" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh
jobs=$(nproc)

if [ $sanitize -eq 1 ]; then
  bash scripts/build.sh --sanitize >/dev/null
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 600
  unset ASAN_OPTIONS UBSAN_OPTIONS
fi

if [ $normal -eq 1 ]; then
  bash scripts/build.sh >/dev/null
  echo "== tests =="
  ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600
fi

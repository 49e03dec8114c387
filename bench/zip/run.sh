#!/bin/sh
# Zip engine rows of the project benchmark (bench/run.sh --only zip): the text
# tree at factors 9 and 6 against zip and 7-Zip, deleting one entry of a
# 100,000-entry archive, and the 1 GB single file.
# Usage: bench/zip/run.sh [BUILD_DIR] [bench/run.sh options]
case "${1:-}" in
  ""|-*) ;;
  *) build=$1; shift; set -- --build "$build" "$@" ;;
esac
exec "$(dirname "$0")/../run.sh" --only zip "$@"

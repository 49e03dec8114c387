#!/bin/sh
# Unzip engine rows of the project benchmark (bench/run.sh --only unzip):
#   listing a 100,000-entry archive  (GetFileCount + LoadFile  vs  unzip -Z1)
#   extracting a tree of text files  (dunzipS function 8       vs  unzip -q -o)
#   testing the same archive         (function 8, test only    vs  unzip -tq)
# Usage: bench/unzip/run.sh [--quick] [--build DIR] [other bench/run.sh options]
exec "$(dirname "$0")/../run.sh" --only unzip "$@"

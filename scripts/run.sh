#!/usr/bin/env bash
# Installs everything, builds the system and runs it on the sample it ships:
# until the main window exists, the command-line program brx lists and tests
# samples/sample.zip and extracts it into a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null
echo "Built deliverables in build/bin:"
ls -1 build/bin

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo
echo "$ brx list samples/sample.zip"
build/bin/brx list samples/sample.zip
echo
echo "$ brx test samples/sample.zip"
build/bin/brx test samples/sample.zip
echo
echo "$ brx extract samples/sample.zip -d $out"
build/bin/brx extract samples/sample.zip -d "$out" --overwrite replace
find "$out" -type f | sort

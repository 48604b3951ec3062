#!/usr/bin/env bash
# Configures and builds into build/ (or build-asan/ with --sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [[ "${1:-}" == "--sanitize" ]]; then
  dir=build-asan
  # The sanitizer build covers the libraries, the model and the command line.
  args+=(-DVEMTO_SANITIZE=ON -DVEMTO_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" --parallel "$(nproc)"

#!/usr/bin/env bash
# A parameter study: the same model run for several casting temperatures. Every run is
# an independent process with its own files, so the runs may go in parallel here or be
# spread over many machines; nothing else is needed.
#   scripts/parameter_study.sh [MODEL.v3] [TEMPERATURES...]
set -euo pipefail
cd "$(dirname "$0")/.."

model=${1:-examples/wall_on_slab.v3}
shift || true
temperatures=("$@")
((${#temperatures[@]})) || temperatures=(5 10 15 20 25)
cli=build/bin/vemto-cli
study=build/parameter-study
mkdir -p "$study"

for t in "${temperatures[@]}"; do
  cp "$model" "$study/cast_$t.v3"
  "$cli" run -q "$study/cast_$t.v3" --casting-temperature "$t" &
done
wait

for t in "${temperatures[@]}"; do
  echo "== casting temperature $t C"
  "$cli" results "$study/cast_$t.out" --summary | grep -E 'peak|largest'
done

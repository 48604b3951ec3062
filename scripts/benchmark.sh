#!/usr/bin/env bash
# Benchmark of the whole calculation: the column example refined to about 1,000,
# 10,000 and 40,000 eight-node elements, run for 168 h in 1 h steps with stresses.
# Prints meshing, simulation and export time and the peak memory of each run.
#   scripts/benchmark.sh [REFINE_FACTORS...]      (default: 3 10 20)
# VEMTO_BENCH_MEMORY sets the work arrays in 8-byte words (default 400000000).
set -euo pipefail
cd "$(dirname "$0")/.."

cli=build/bin/vemto-cli
bench=build/benchmark
memory=${VEMTO_BENCH_MEMORY:-400000000}
factors=("$@")
((${#factors[@]})) || factors=(3 10 20)
mkdir -p "$bench"

printf '%-8s %10s %10s %12s %10s %12s\n' elements mesh_s sim_s peak_MB export_s status
for f in "${factors[@]}"; do
  model="$bench/column_$f.v3"
  cp examples/column_axisymmetric.v3 "$model"
  log="$bench/column_$f.log"
  status=ok
  /usr/bin/time -f 'PEAK_KB %M' "$cli" run "$model" --refine "$f" --interval 168,1,24 \
    --memory "$memory" >"$log" 2>&1 || status=failed
  elements=$(sed -n 2p "$bench/column_$f.dat" 2>/dev/null | awk '{print $4}')
  mesh=$(sed -n 's/^Time: meshing \([0-9.]*\) s, simulation \([0-9.]*\) s$/\1/p' "$log")
  sim=$(sed -n 's/^Time: meshing \([0-9.]*\) s, simulation \([0-9.]*\) s$/\2/p' "$log")
  peak=$(awk '/^PEAK_KB/ {printf "%.0f", $2 / 1024}' "$log")
  export_s=-
  if [[ $status == ok ]]; then
    start=$(date +%s%N)
    "$cli" results "$bench/column_$f.out" --vtu "$bench/column_$f.vtu" >/dev/null 2>&1 || status=export-failed
    export_s=$(awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { printf "%.2f", ns / 1e9 }')
  fi
  printf '%-8s %10s %10s %12s %10s %12s\n' "${elements:-?}" "${mesh:--}" "${sim:--}" \
    "${peak:--}" "$export_s" "$status"
done

#!/usr/bin/env bash
# Benchmark of the whole calculation: the column example refined to about 1,000,
# 10,000 and 40,000 eight-node elements, run for 168 h in 1 h steps with stresses.
# Each section is run on the sparse path with `vemto-cli run` (meshing, simulation,
# export) and then on the band path with `vemto-cli simulate --solver band` on the
# same analysis data file. Prints meshing, simulation and export time, the time per
# step of the temperature and the stress step and of their equation solutions, the
# peak memory and the work-array words each path uses.
#   scripts/benchmark.sh [REFINE_FACTORS...]      (default: 3 10 20)
# Environment:
#   VEMTO_BENCH_MEMORY      work-array size in 8-byte words (default 400000000)
#   VEMTO_BENCH_BAND_HOURS  hours the band path runs (default 168); the band path's
#                           cost per step does not depend on the step, so a shorter
#                           run gives its time per step for large sections
#   VEMTO_BENCH_BAND_LIMIT  elements above which the band path runs only
#                           VEMTO_BENCH_BAND_SHORT hours (defaults 20000 and 6)
set -euo pipefail
cd "$(dirname "$0")/.."

cli=$PWD/build/bin/vemto-cli
bench=$PWD/build/benchmark
memory=${VEMTO_BENCH_MEMORY:-400000000}
band_hours=${VEMTO_BENCH_BAND_HOURS:-168}
band_limit=${VEMTO_BENCH_BAND_LIMIT:-20000}
band_short=${VEMTO_BENCH_BAND_SHORT:-6}
factors=("$@")
((${#factors[@]})) || factors=(3 10 20)
mkdir -p "$bench"
export VEMTO_TIMINGS=1

# Seconds per step of a "TIMES <WHAT>" line: the step and its solver, or "-".
per_step() {  # log what
  sed -n "s/^ *TIMES $2: \([0-9.]*\) S PER STEP, SOLVER \([0-9.]*\) S PER STEP.*/\1 \2/p" "$1" |
    head -n 1 | grep . || echo "- -"
}
words_used() {  # log
  sed -n 's/^ *WORK ARRAY: \([0-9]*\) OF .*/\1/p' "$1" | head -n 1 | grep . || echo -
}
peak_mb() {  # log
  awk '/^PEAK_KB/ {printf "%.0f", $2 / 1024}' "$1"
}

printf '%-8s %-7s %6s %8s %7s %9s %9s %9s %9s %8s %12s %8s %s\n' elements path hours mesh_s \
  sim_s temp_s/st solver_s stress_s/st solver_s peak_MB work_words export_s status
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
  export_s=-
  if [[ $status == ok ]]; then
    start=$(date +%s%N)
    "$cli" results "$bench/column_$f.out" --vtu "$bench/column_$f.vtu" >/dev/null 2>&1 ||
      status=export-failed
    export_s=$(awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { printf "%.2f", ns / 1e9 }')
  fi
  read -r temp temp_solver < <(per_step "$log" TEMPERATURE)
  read -r stress stress_solver < <(per_step "$log" STRESS)
  printf '%-8s %-7s %6s %8s %7s %9s %9s %9s %9s %8s %12s %8s %s\n' "${elements:-?}" sparse 168 \
    "${mesh:--}" "${sim:--}" "$temp" "$temp_solver" "$stress" "$stress_solver" \
    "$(peak_mb "$log")" "$(words_used "$log")" "$export_s" "$status"

  # The band path on the same analysis data file.
  [[ -f "$bench/column_$f.dat" ]] || continue
  hours=$band_hours
  if [[ ${elements:-0} -gt $band_limit ]]; then hours=$band_short; fi
  blog="$bench/column_${f}_band.log"
  bstatus=ok
  start=$(date +%s%N)
  /usr/bin/time -f 'PEAK_KB %M' "$cli" simulate "$bench/column_$f.dat" \
    "$bench/column_${f}_band.out" --interval "$hours,1,24" --memory "$memory" --solver band \
    >"$blog" 2>&1 || bstatus=failed
  bsim=$(awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { printf "%.2f", ns / 1e9 }')
  read -r temp temp_solver < <(per_step "$blog" TEMPERATURE)
  read -r stress stress_solver < <(per_step "$blog" STRESS)
  printf '%-8s %-7s %6s %8s %7s %9s %9s %9s %9s %8s %12s %8s %s\n' "${elements:-?}" band "$hours" \
    - "$bsim" "$temp" "$temp_solver" "$stress" "$stress_solver" "$(peak_mb "$blog")" \
    "$(words_used "$blog")" - "$bstatus"
done

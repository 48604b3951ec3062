#!/usr/bin/env bash
# Sets up, builds and runs the bundled wall-on-slab example from start to results:
# meshing, simulation, a summary and ParaView files.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh

run=build/example-run
mkdir -p "$run"
cp examples/wall_on_slab.v3 "$run/"
build/bin/vemto-cli run "$run/wall_on_slab.v3"
build/bin/vemto-cli results "$run/wall_on_slab.out" --summary
build/bin/vemto-cli results "$run/wall_on_slab.out" --vtu "$run/paraview"
echo
echo "Model, analysis data file (.dat), input listing (.lst) and results (.out): $run/"
echo "ParaView: open $run/paraview/wall_on_slab.pvd"

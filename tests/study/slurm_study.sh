#!/usr/bin/env bash
# A four-run study on a real single-node Slurm cluster: starts munged, slurmctld and
# slurmd on this machine (private configuration, key, sockets and ports under a
# temporary folder), submits the study with `vemto-cli study --slurm`, and checks that
# its results.csv equals that of `--local 2`. Stops every daemon it started.
# Exit 77 (skipped) with the reason where Slurm or munge is not installed or the
# daemons cannot start; never passes without having run the study on Slurm.
#   slurm_study.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin=$1
source=$2
skip() {
  echo "SKIPPED: $*"
  exit 77
}
for program in munged slurmctld slurmd sbatch squeue; do
  command -v "$program" >/dev/null 2>&1 || [[ -x /usr/sbin/$program ]] ||
    skip "$program is not installed (Debian packages slurm-wlm and munge)"
done
export PATH=$PATH:/usr/sbin
[[ $(id -u) -eq 0 ]] || skip "the daemons of a test cluster need root here (slurmd starts jobs)"

work=$(mktemp -d /tmp/vemto-slurm.XXXXXX)
pids=()
cleanup() {
  [[ -f $work/jobid ]] && scancel "$(cat "$work/jobid")" >/dev/null 2>&1
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

# munge with its own key and socket.
mkdir -p "$work/munge" "$work/state" "$work/spool"
chmod 700 "$work/munge"
dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge/munge.key"
munged --foreground --force --key-file="$work/munge/munge.key" \
  --socket="$work/munge/socket" --pid-file="$work/munge/pid" \
  --log-file="$work/munge/log" --seed-file="$work/munge/seed" >"$work/munge/out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [[ -S $work/munge/socket ]] && break; sleep 0.1; done
[[ -S $work/munge/socket ]] || skip "munged did not start: $(tail -n 3 "$work/munge/log" 2>/dev/null)"

# One node, this machine; ports from the process number so that runs do not collide.
node=$(hostname -s)
cpus=$(nproc)
port=$((20000 + ($$ % 20000) * 2))
export SLURM_CONF=$work/slurm.conf
cat >"$SLURM_CONF" <<EOF
ClusterName=vemtotest
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
slurmctld -D -i -f "$SLURM_CONF" >"$work/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" >"$work/slurmd.out" 2>&1 &
pids+=($!)
up=0
for _ in $(seq 100); do
  if sinfo -h -o %t 2>/dev/null | grep -qE '^(idle|mix|alloc)'; then up=1; break; fi
  sleep 0.2
done
if ((!up)); then
  skip "the Slurm daemons did not start: $(tail -n 2 "$work/slurmctld.log" "$work/slurmd.log" \
    "$work/slurmctld.out" "$work/slurmd.out" 2>/dev/null | tr '\n' ' ')"
fi

cp "$source/examples/column_axisymmetric.v3" "$work/"
cat >"$work/study.json" <<'EOF'
{
  "project": "column_axisymmetric.v3",
  "interval": {"end": 48, "step": 4},
  "parameters": [
    {"vary": "casting_temperature", "values": [10, 20]},
    {"vary": "air_temperature_offset", "values": [0, 5]}
  ]
}
EOF
cli=$bin/vemto-cli
"$cli" study "$work/study.json" --local 2 --dir "$work/local" >"$work/local.out" 2>&1 ||
  { cat "$work/local.out"; echo "FAILED: the study with --local 2"; exit 1; }
"$cli" study "$work/study.json" --slurm --poll 0.5 --dir "$work/slurm" >"$work/slurm.out" 2>&1
status=$?
grep -oE 'Slurm job [0-9]+' "$work/slurm.out" | grep -oE '[0-9]+' >"$work/jobid"
cat "$work/slurm.out"
if ((status != 0)); then
  tail -n 20 "$work/slurmctld.log" "$work/slurmd.log" "$work"/slurm/slurm/*.log 2>/dev/null
  echo "FAILED: vemto-cli study --slurm ended with status $status"
  exit 1
fi
grep -q 'Slurm job [0-9]' "$work/slurm.out" || { echo "FAILED: no job id printed"; exit 1; }
[[ $(ls "$work"/slurm/slurm/*.log | wc -l) -eq 4 ]] ||
  { echo "FAILED: not four array tasks ran"; exit 1; }
if ! diff "$work/local/results.csv" "$work/slurm/results.csv"; then
  echo "FAILED: results.csv of --slurm differs from --local 2"
  exit 1
fi
[[ $(grep -c ',ok,0,' "$work/slurm/results.csv") -eq 4 ]] ||
  { echo "FAILED: not four complete runs"; exit 1; }
# Submitted without waiting, collected later.
"$cli" study "$work/study.json" --slurm --no-wait --dir "$work/later" >"$work/later.out" 2>&1 ||
  { cat "$work/later.out"; echo "FAILED: --slurm --no-wait"; exit 1; }
later=$(grep -oE 'Slurm job [0-9]+' "$work/later.out" | grep -oE '[0-9]+')
[[ -n $later ]] || { echo "FAILED: --no-wait printed no job id"; exit 1; }
echo "$later" >"$work/jobid"
for _ in $(seq 600); do
  [[ -z $(squeue -h -j "$later" -o %i 2>/dev/null) ]] && break
  sleep 0.5
done
"$cli" study "$work/study.json" --collect --dir "$work/later" >"$work/collect.out" 2>&1 ||
  { cat "$work/collect.out"; echo "FAILED: --collect after --no-wait"; exit 1; }
diff "$work/local/results.csv" "$work/later/results.csv" ||
  { echo "FAILED: results.csv collected later differs from --local 2"; exit 1; }
echo "PASSED: four runs on Slurm (followed, and collected later), results.csv equal to --local 2"

#!/usr/bin/env bash
# The engine library runs on every x86-64: only the AVX2 substitution kernels, which
# are chosen at run time where the processor has AVX2 and FMA, may hold AVX (VEX)
# instructions. Prints the other functions that do and fails.
#   check_instruction_sets.sh LIBENGINE
set -euo pipefail
lib=$1
[[ $(uname -m) == x86_64 ]] || exit 0
command -v objdump >/dev/null || { echo "objdump missing"; exit 1; }
code=$(objdump -d --no-show-raw-insn -C "$lib")
bad=$(awk '/^[0-9a-f]+ <.*>:$/ { fn = $0 } $2 ~ /^v[a-z]/ { print fn }' <<<"$code" | sort -u |
  grep -v 'supernodal::avx2' || true)
if [[ -n $bad ]]; then
  echo "AVX instructions outside the AVX2 kernels:"
  echo "$bad"
  exit 1
fi
# The kernels themselves must be there.
grep -q 'supernodal::avx2' <<<"$code" ||
  { echo "no AVX2 kernels in $lib"; exit 1; }

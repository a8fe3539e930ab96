#!/bin/bash
# SPDX-License-Identifier: MIT
# member_names.sh - time and peak memory of archives that are hard on member
# names, against their targets:
#   320,000 members whose long names are referenced from the table's end to
#   its start: under 2 s and under 4 MiB peak RSS (an edit; a check shows
#   what reading the names costs without the 320,000 writes, and the same
#   names referenced in ascending order what the order costs);
#   the same 320,000 names referenced in random order: a check under 0.5 s
#   and under 4 MiB peak RSS;
#   8,000 members named "#1/1048576", each a short name in a mebibyte that
#   is a hole: under 1 s.
# Each row is the median of 5 runs. Usage: member_names.sh [path/to/hdrtune]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-$root/build/hdrtune}
source "$root/scripts/llvm-root"
export PATH=$HDRTUNE_LLVM_ROOT/bin:$PATH

for need in /usr/bin/time yaml2obj python3; do
  if ! command -v "$need" > /dev/null; then
    echo "member_names.sh: needs $need (bash scripts/install-deps --bench installs them)" >&2
    exit 1
  fi
done
if [[ ! -x $tool ]]; then
  echo "member_names.sh: no tool at $tool; build it or give its path" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
yaml2obj "$root/test/cli/Inputs/elf.yaml" -o "$work/obj.o"
python3 "$root/bench/make-name-archive.py" descending 320000 "$work/obj.o" "$work/descending.a"
python3 "$root/bench/make-name-archive.py" ascending 320000 "$work/obj.o" "$work/ascending.a"
python3 "$root/bench/make-name-archive.py" random 320000 "$work/obj.o" "$work/random.a"
python3 "$root/bench/make-name-archive.py" sparse-bsd 8000 "$work/obj.o" "$work/sparse-bsd.a"

# measure LABEL SECONDS KIB ARGS...: median wall time and peak RSS of 5 runs,
# and whether they are within the targets (a KIB of 0: no memory target).
measure() {
  local label=$1 target_s=$2 target_kib=$3
  shift 3
  local runs=()
  for _ in 1 2 3 4 5; do
    # A check ends with its count on standard error, shown only on a failure.
    if ! /usr/bin/time -f '%e %M' -o "$work/time.txt" "$tool" "$@" > /dev/null 2> "$work/errors"; then
      cat "$work/errors" >&2
      exit 1
    fi
    runs+=("$(cat "$work/time.txt")")
  done
  local median
  median=$(printf '%s\n' "${runs[@]}" | sort -n | sed -n 3p)
  local seconds=${median% *} kib=${median#* } verdict=within
  if [[ $(echo "$seconds >= $target_s" | bc -l) == 1 ]] || ((target_kib && kib >= target_kib)); then
    verdict=OVER
  fi
  printf '%-44s %6.2f s  %6d KiB  (target %s s%s: %s)\n' "$label" "$seconds" "$kib" "$target_s" \
    "$( ((target_kib)) && echo ", $target_kib KiB")" "$verdict"
}

measure "320,000 long names, descending: edit" 2 4096 --output-osabi FreeBSD "$work/descending.a"
measure "320,000 long names, descending: check" 2 4096 --check --output-osabi FreeBSD "$work/descending.a"
measure "320,000 long names, ascending: edit" 2 4096 --output-osabi FreeBSD "$work/ascending.a"
# The members' own OSABI: the check passes, having read every name.
measure "320,000 long names, random order: check" 0.5 4096 --check --output-osabi none "$work/random.a"
measure "8,000 sparse 1 MiB #1/N names: edit" 1 0 --output-osabi FreeBSD "$work/sparse-bsd.a"

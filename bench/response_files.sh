#!/bin/bash
# SPDX-License-Identifier: MIT
# response_files.sh - wall time and peak memory of @file expansion on large inputs.
#
# Two inputs: one response file of 100,000 paths, and a chain of 1,999 nested
# response files (the most one command line may use) of 50 paths each.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ ! -x /usr/bin/time ]]; then
  echo "response_files.sh: needs /usr/bin/time (bash scripts/install-deps --bench installs it)" >&2
  exit 1
fi

sources=$(ls "$root"/src/runtime/*.cc | grep -v '_test\.cc$')
# shellcheck disable=SC2086
g++ -std=c++20 -O2 -I"$root/src" -o "$work/expand_bench" "$root/bench/expand_bench.cc" $sources

awk 'BEGIN { for (i = 0; i < 100000; i++) printf "build/obj/dir%03d/file_%06d.o\n", i % 1000, i }' \
  > "$work/paths.rsp"

# chain_k holds 50 paths and names chain_(k+1); the command line names chain_1.
awk -v dir="$work" 'BEGIN {
  for (k = 1; k <= 1999; k++) {
    file = dir "/chain_" k
    for (i = 0; i < 50; i++) printf "src/part%04d/unit_%02d.o ", k, i > file
    if (k < 1999) printf "@%s/chain_%d", dir, k + 1 > file
    printf "\n" > file
    close(file)
  }
}'

# run LABEL EXPECTED_COUNT TEXT_BYTES ARGS...
run() {
  local label=$1 expected=$2 text_bytes=$3
  shift 3
  local count
  count=$(/usr/bin/time -v -o "$work/time.txt" "$work/expand_bench" "$@")
  if [[ $count != "$expected" ]]; then
    echo "$label: expanded to $count arguments, expected $expected" >&2
    exit 1
  fi
  local wall rss
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  printf '%-22s %8s args  text %6d KiB  wall %s  peak RSS %6d KiB\n' \
    "$label" "$count" $((text_bytes / 1024)) "$wall" "$rss"
}

run "no response file" 2 0 plain.o
run "100,000 paths" 100001 "$(stat -c %s "$work/paths.rsp")" "@$work/paths.rsp"
run "1,999 nested files" $((1 + 1999 * 50)) "$(cat "$work"/chain_* | wc -c)" "@$work/chain_1"

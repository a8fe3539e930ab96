#!/bin/bash
# SPDX-License-Identifier: MIT
# archives.sh - time, system calls and peak memory of editing every member of an archive.
#
# Builds a regular archive (ar rcs, half short and half long member names) and
# a thin archive (ar rcsT) over N copies of one small ELF64 object, for N of
# 100 and 10,000, and runs `hdrtune --output-osabi FreeBSD` on each. Reports
# time per member, read/write/seek system calls per member and peak RSS,
# which should be the same for both sizes. Usage: archives.sh [path/to/hdrtune]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-$root/build/hdrtune}
source "$root/scripts/llvm-root"
export PATH=$HDRTUNE_LLVM_ROOT/bin:$PATH

for need in /usr/bin/time strace yaml2obj llvm-readelf ar; do
  if ! command -v "$need" > /dev/null; then
    echo "archives.sh: needs $need (bash scripts/install-deps --bench installs them)" >&2
    exit 1
  fi
done
if [[ ! -x $tool ]]; then
  echo "archives.sh: no tool at $tool; build it or give its path" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

yaml2obj - -o "$work/obj.o" << 'EOF'
--- !ELF
FileHeader:
  Class:   ELFCLASS64
  Data:    ELFDATA2LSB
  Type:    ET_REL
  Machine: EM_X86_64
Sections:
  - Name:    .text
    Type:    SHT_PROGBITS
    Flags:   [ SHF_ALLOC, SHF_EXECINSTR ]
    Content: "C3"
EOF

# make_archives N: $work/N/lib.a and $work/N/thin.a over N member files.
make_archives() {
  local n=$1 dir=$work/$1
  mkdir -p "$dir/obj"
  for ((i = 0; i < n; i++)); do
    if ((i % 2)); then echo "obj/a_rather_long_member_name_$i.o"; else echo "obj/m$i.o"; fi
  done > "$dir/names"
  # One tee writes many copies: far quicker than a cp per member.
  (cd "$dir" && xargs sh -c 'tee "$@" < "$0" > /dev/null' "$work/obj.o" < names)
  (cd "$dir" && xargs ar qc lib.a < names && ar s lib.a && xargs ar qcT thin.a < names)
  cp "$dir/lib.a" "$dir/lib.orig"
}

# count_calls STRACE_SUMMARY NAME...: calls (4th column of strace -c) of those names.
count_calls() {
  local summary=$1
  shift
  local pattern
  pattern=$(IFS='|'; echo "$*")
  awk -v pattern="^($pattern)\$" '$NF ~ pattern { s += $4 } END { print s + 0 }' "$summary"
}

# measure LABEL N ARCHIVE
measure() {
  local label=$1 n=$2 archive=$3
  local start end
  start=$(date +%s%N)
  "$tool" --output-osabi FreeBSD "$archive"
  end=$(date +%s%N)
  local edited
  edited=$(llvm-readelf -h "$archive" | grep -c 'UNIX - FreeBSD')
  if ((edited != n)); then
    echo "$label: $edited of $n members edited" >&2
    exit 1
  fi
  /usr/bin/time -v -o "$work/time.txt" "$tool" --output-osabi FreeBSD "$archive"
  strace -c -f -o "$work/strace.txt" "$tool" --output-osabi FreeBSD "$archive"
  local rss reads writes seeks opens
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  reads=$(count_calls "$work/strace.txt" read)
  writes=$(count_calls "$work/strace.txt" write)
  seeks=$(count_calls "$work/strace.txt" lseek)
  opens=$(count_calls "$work/strace.txt" open openat)
  printf '%-8s %6d members  %7.2f us/member  per member: read %5.2f write %5.2f lseek %5.2f open %5.2f  peak RSS %6d KiB\n' \
    "$label" "$n" "$(echo "($end - $start) / 1000 / $n" | bc -l)" \
    "$(echo "$reads / $n" | bc -l)" "$(echo "$writes / $n" | bc -l)" \
    "$(echo "$seeks / $n" | bc -l)" "$(echo "$opens / $n" | bc -l)" "$rss"
}

for n in 100 10000; do
  make_archives "$n"
  measure regular "$n" "$work/$n/lib.a"
  # Only the OSABI byte of each member may have changed.
  changed=$(cmp -l "$work/$n/lib.orig" "$work/$n/lib.a" | wc -l || true)
  if ((changed != n)); then
    echo "regular: $changed bytes changed for $n members" >&2
    exit 1
  fi
  measure thin "$n" "$work/$n/thin.a"
done

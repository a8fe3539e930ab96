#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# abbreviations.sh FILE check-old -- TOOL...
# abbreviations.sh FILE resolve WORD... -- TOOL...
# Which long option each abbreviation resolves to, in runs of TOOL on FILE.
#
# Every long option is given once, spelled in full, in a run whose output
# names that option alone (an output value is listed, an input condition
# refuses FILE, an option without a value is given one, which the scanner
# refuses by its full name). An abbreviation resolves to the option whose
# full spelling gives exactly the same output and status; or it is
# ambiguous.
#
# "resolve" prints "WORD: OPTION" for each word. "check-old" checks
# every prefix of the long options the command line had before the flags
# options: a prefix that was unique must still resolve to its option, one
# that was ambiguous must still be ambiguous; it prints each prefix that
# does not, and then how many prefixes it checked.
set -u
file=$1 mode=$2
shift 2
words=()
while [[ $1 != -- ]]; do
  words+=("$1")
  shift
done
shift
tool=("$@")

old_options="input-mach output-mach input-type output-type input-osabi output-osabi version help dry-run list skip-unmatched recursive"
old_options="$old_options input-abiversion output-abiversion check"
new_options="input-flags output-flags"

# The value each option is given: one that makes its run's output its own.
value_for() {
  case $1 in
    input-mach) echo i386 ;;
    output-mach) echo x86-64 ;;
    input-type) echo exec ;;
    output-type) echo exec ;;
    input-osabi) echo FreeBSD ;;
    output-osabi) echo FreeBSD ;;
    input-abiversion) echo 7 ;;
    output-abiversion) echo 7 ;;
    input-flags | output-flags) echo 0x1234 ;;
    *) echo x ;;
  esac
}

# The output and status of a dry run with one option word.
run_with() {
  "${tool[@]}" --dry-run "$1" "$file" 2>&1
  echo "status $?"
}

declare -A full_output
for name in $old_options $new_options; do
  full_output[$name]=$(run_with "--$name=$(value_for "$name")")
done

# Two options whose full spellings give the same output can't be told apart.
seen=$(for name in $old_options $new_options; do printf '%s\n' "${full_output[$name]}" | head -1; done | sort | uniq -d)
if [[ -n $seen ]]; then
  echo "options not told apart: $seen"
  exit 1
fi

# The option a word resolves to, "ambiguous", or "none: FIRST LINE".
resolution() {
  local word=$1 name output
  for name in $old_options $new_options; do
    [[ $name == "$word"* ]] || continue
    output=$(run_with "--$word=$(value_for "$name")")
    if [[ $output == "${full_output[$name]}" ]]; then
      echo "--$name"
      return
    fi
  done
  output=$(run_with "--$word=x")
  if [[ $output == *"--$word=x' is ambiguous"* ]]; then
    echo ambiguous
  else
    echo "none: ${output%%$'\n'*}"
  fi
}

# The old options that start with a prefix, and whether one is it exactly.
old_matches() {
  local prefix=$1 name count=0
  for name in $old_options; do
    [[ $name == "$prefix" ]] && { echo "exact $name"; return; }
    [[ $name == "$prefix"* ]] && { count=$((count + 1)); last=$name; }
  done
  if [[ $count -eq 1 ]]; then echo "unique $last"; else echo ambiguous; fi
}

check_old() {
  local name length prefix expected got checked=0
  declare -A done_prefix
  for name in $old_options; do
    for ((length = 1; length <= ${#name}; length++)); do
      prefix=${name:0:length}
      [[ -n ${done_prefix[$prefix]:-} ]] && continue
      done_prefix[$prefix]=1
      read -r kind option <<<"$(old_matches "$prefix")"
      if [[ $kind == ambiguous ]]; then expected=ambiguous; else expected=--$option; fi
      got=$(resolution "$prefix")
      [[ $got == "$expected" ]] || echo "--$prefix: $got, was $expected"
      checked=$((checked + 1))
    done
  done
  echo "checked $checked prefixes"
}

case $mode in
  resolve)
    for word in "${words[@]}"; do echo "--$word: $(resolution "$word")"; done
    ;;
  check-old) check_old ;;
esac

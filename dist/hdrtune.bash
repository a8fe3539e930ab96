# SPDX-License-Identifier: MIT
# Bash completion for hdrtune: options, the keywords after each option, files
# and directories (and nothing but those after "--"). An ABI version is a
# number: nothing is offered for it.

_hdrtune_keywords() {
  case $1 in
    --input-mach | --output-mach) echo "i386 iamcu l1om k1om x86_64 x86-64 none" ;;
    --input-type | --output-type) echo "rel exec dyn none" ;;
    --input-osabi | --output-osabi)
      echo "none HPUX NetBSD Velm Linux Solaris AIX Irix FreeBSD TRU64 Modesto OpenBSD OpenVMS NSK AROS FenixOS" ;;
  esac
}

# True for the long options that take a value, keywords or a number.
_hdrtune_takes_value() {
  case $1 in
    --input-mach | --output-mach | --input-type | --output-type | --input-osabi | --output-osabi) return 0 ;;
    --input-abiversion | --output-abiversion) return 0 ;;
  esac
  return 1
}

_hdrtune_long_options="--input-mach --output-mach --input-type --output-type --input-osabi --output-osabi --dry-run --list --skip-unmatched --recursive --input-abiversion --output-abiversion --check --help --version"

# The long option that a possibly abbreviated name stands for, if unique.
_hdrtune_resolve() {
  local name found="" n=0
  for name in $_hdrtune_long_options; do
    if [[ $name == "$1" ]]; then echo "$name"; return; fi
    if [[ $name == "$1"* ]]; then found=$name; n=$((n + 1)); fi
  done
  [[ $n -eq 1 ]] && echo "$found"
}

# True when a "--" before the cursor has ended the options, so that every
# later word is a file. A "--" that is the value of an option does not count.
_hdrtune_options_ended() {
  local i word
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    [[ $word == "--" ]] && return 0
    if [[ $word == --* ]] && _hdrtune_takes_value "$(_hdrtune_resolve "$word")"; then
      # Step over the value: the next word, or the one after "=".
      if [[ ${COMP_WORDS[i + 1]} == "=" ]]; then i=$((i + 2)); else i=$((i + 1)); fi
    fi
  done
  return 1
}

_hdrtune_files() {
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

_hdrtune() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} option=""
  COMPREPLY=()
  if _hdrtune_options_ended; then
    _hdrtune_files "$cur"
    return 0
  fi
  # "--opt=value" reaches us as the words "--opt", "=" and "value".
  if [[ $cur == "=" ]]; then
    option=$prev cur=""
  elif [[ $prev == "=" && $COMP_CWORD -ge 2 ]]; then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $prev == --* ]]; then
    option=$prev
  fi
  if [[ -n $option ]]; then
    local resolved keyword
    resolved=$(_hdrtune_resolve "$option")
    if _hdrtune_takes_value "$resolved"; then
      for keyword in $(_hdrtune_keywords "$resolved"); do
        [[ ${keyword,,} == "${cur,,}"* ]] && COMPREPLY+=("$keyword")
      done
      return 0
    fi
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$_hdrtune_long_options -r -h -v" -- "$cur")
    return 0
  fi
  _hdrtune_files "$cur"
}

complete -F _hdrtune hdrtune

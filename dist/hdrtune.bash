# Bash completion for hdrtune: options, the keywords after each option, files.

_hdrtune_keywords() {
  case $1 in
    --input-mach | --output-mach) echo "i386 iamcu l1om k1om x86_64 x86-64 none" ;;
    --input-type | --output-type) echo "rel exec dyn none" ;;
    --input-osabi | --output-osabi)
      echo "none HPUX NetBSD Velm Linux Solaris AIX Irix FreeBSD TRU64 Modesto OpenBSD OpenVMS NSK AROS FenixOS" ;;
  esac
}

_hdrtune_long_options="--input-mach --output-mach --input-type --output-type --input-osabi --output-osabi --dry-run --list --skip-unmatched --help --version"

# The long option that a possibly abbreviated name stands for, if unique.
_hdrtune_resolve() {
  local name found="" n=0
  for name in $_hdrtune_long_options; do
    if [[ $name == "$1" ]]; then echo "$name"; return; fi
    if [[ $name == "$1"* ]]; then found=$name; n=$((n + 1)); fi
  done
  [[ $n -eq 1 ]] && echo "$found"
}

_hdrtune() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} option=""
  COMPREPLY=()
  # "--opt=value" reaches us as the words "--opt", "=" and "value".
  if [[ $cur == "=" ]]; then
    option=$prev cur=""
  elif [[ $prev == "=" && $COMP_CWORD -ge 2 ]]; then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $prev == --* ]]; then
    option=$prev
  fi
  if [[ -n $option ]]; then
    local keywords keyword
    keywords=$(_hdrtune_keywords "$(_hdrtune_resolve "$option")")
    if [[ -n $keywords ]]; then
      for keyword in $keywords; do
        [[ ${keyword,,} == "${cur,,}"* ]] && COMPREPLY+=("$keyword")
      done
      return 0
    fi
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$_hdrtune_long_options -h -v" -- "$cur")
    return 0
  fi
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}

complete -F _hdrtune hdrtune

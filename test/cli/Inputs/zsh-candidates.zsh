# SPDX-License-Identifier: MIT
# zsh -f zsh-candidates.zsh DIR LINE: prints, sorted, one a line, the matches
# that zsh's completion adds at the end of LINE, with the completion
# functions of DIR before the system's own. An interactive zsh in a
# pseudo-terminal starts with LINE in its line editor, and the editor's
# first act is to complete it; compadd also writes the matches it adds (not
# those it only filters for a caller, with -O, -A or -D) to a file. No key is
# typed, so none can be lost to a line editor not yet reading.
zmodload zsh/zpty || exit 2
home=$(mktemp -d) || exit 2
export ZDOTDIR=$home CANDIDATES_DIR=$1 CANDIDATES_LINE=$2 CANDIDATES_OUT=$home/out
: >$CANDIDATES_OUT
print -r -- 'unsetopt global_rcs' >$home/.zshenv
cat >$home/.zshrc <<'RC'
PS1='' fpath=($CANDIDATES_DIR ${(M)fpath:#*/Completion(|/Base|/Unix|/Zsh)})
autoload -Uz compinit && compinit -u -D
unsetopt auto_list auto_menu list_ambiguous
setopt no_beep
compadd() {
  if [[ ${(j: :)@} != *-[OAD]* ]]; then
    local -a hits
    builtin compadd -A hits "$@"
    (( $#hits )) && print -rl -- $hits >>$CANDIDATES_OUT
  fi
  builtin compadd "$@"
}
complete-then-leave() {
  zle expand-or-complete
  BUFFER='print $(( 6 * 7 ))-completed; exit'
  zle accept-line
}
zle -N zle-line-init complete-then-leave
print -rz -- $CANDIDATES_LINE
RC
zpty z zsh -i
zpty -r -m z reply '*42-completed*' || exit 2
zpty -d z
sort -u $CANDIDATES_OUT
rm -rf $home

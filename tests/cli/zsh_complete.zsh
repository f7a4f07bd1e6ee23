#!/usr/bin/env zsh
# Prints, sorted and on one line, the matches zsh's completion offers when
# LINE is typed followed by Tab, in an interactive zsh (on a pseudo-terminal)
# that loads the completion functions of COMPLETION_DIR.
# Usage: zsh_complete.zsh COMPLETION_DIR LINE
zmodload zsh/zpty || exit 2
local dir=$1 line=$2
local work=$(mktemp -d)
# zpty's child shell inherits the EXIT trap and runs it when zpty -d ends
# it, which may be before the hits are read: only this shell cleans up.
zmodload zsh/system
local owner=$sysparams[pid]
trap '(( sysparams[pid] == owner )) && rm -rf $work' EXIT
# compadd is wrapped to write each match it is given to a file; calls that
# only ask it to filter (-O, -A, -D) offer nothing.
cat > $work/rc <<RC
fpath=(${(q)dir} \$fpath)
PS1='REA''DY> '
autoload -Uz compinit
compinit -u -D
compadd() {
  if (( \${@[(I)-[OAD]]} )); then
    builtin compadd "\$@"
    return
  fi
  local -a hits
  builtin compadd -A hits "\$@"
  (( \$#hits )) && print -rl -- \$hits >> $work/hits
  builtin compadd "\$@"
}
RC
zpty shell zsh -f -i
# Typed only once the line editor shows its prompt: what comes before may be
# dropped. The markers are written split so that the echo of the typed line
# does not match them.
zpty -w shell "source $work/rc"
zpty -r shell _ '*READY> *'
zpty -w -n shell "$line"$'\t'
zpty -w -n shell $'\x15'"echo DO''NE"$'\n'
zpty -r shell _ '*DONE*'
zpty -d shell
[[ -f $work/hits ]] && print -r -- ${(o)${(u)${(f)"$(<$work/hits)"}}}

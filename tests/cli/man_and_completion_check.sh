#!/usr/bin/env bash
# The man pages made in the build render and are named after their commands;
# bash completion offers subcommands, options, option values and *.dic files.
# Usage: man_and_completion_check.sh MAN_DIR SOURCE_DIR
set -uo pipefail
man_dir=$1
source_dir=$2
failed=0
fail() { echo "FAILED: $*"; failed=1; }

for command in build info verify dump lookup browse import-dictd settings serve; do
  page=$man_dir/lexvia-cli-$command.1
  [ -f "$page" ] || { fail "no page $page"; continue; }
  rendered=$(MANWIDTH=100 man -l "$page" 2> /dev/null)
  grep -q "lexvia-cli-$command - " <<< "$rendered" || fail "$page: no NAME line"
  grep -q -- "--help" <<< "$rendered" || fail "$page: no options"
done
MANWIDTH=100 man -l "$man_dir/lexvia-cli.1" 2> /dev/null | grep -q "lexvia-cli-serve(1)" ||
  fail "lexvia-cli(1) does not point to the subcommands' pages"

# bash completion, called as bash calls it.
source "$source_dir/completion/lexvia-cli.bash"
complete_words() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _lexvia_cli
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
touch "$tmp/en-de.dic" "$tmp/EN-HU.DIC" "$tmp/notes.txt"
mkdir "$tmp/more"
expect() {
  local want=$1
  shift
  local got
  got=$(complete_words "$@")
  [ "$got" = "$want" ] || fail "completing '$*': got '$got', want '$want'"
}
expect "lookup " lexvia-cli lo
expect "--format " lexvia-cli lookup --fo
expect "json " lexvia-cli lookup --format j
expect "lines-json " lexvia-cli lookup --format l
expect "exact extended " lexvia-cli lookup --method ex
expect "$tmp/EN-HU.DIC $tmp/en-de.dic $tmp/more " lexvia-cli lookup --dict "$tmp/"
expect "$tmp/EN-HU.DIC $tmp/en-de.dic $tmp/more " lexvia-cli serve "$tmp/"
expect "--idle-timeout " lexvia-cli serve --id

if command -v zsh > /dev/null; then
  zsh -n "$source_dir/completion/_lexvia-cli" || fail "zsh completion does not parse"
fi
exit $failed

#!/usr/bin/env bash
# The man pages made in the build render and are named after their commands;
# bash and zsh completion offer subcommands, options, option values and *.dic files.
# Usage: man_and_completion_check.sh MAN_DIR SOURCE_DIR
set -uo pipefail
man_dir=$1
source_dir=$2
failed=0
fail() { echo "FAILED: $*"; failed=1; }

for command in build info verify index dump lookup browse import-dictd settings history favourites serve; do
  page=$man_dir/lexvia-cli-$command.1
  [ -f "$page" ] || { fail "no page $page"; continue; }
  rendered=$(MANWIDTH=100 man -l "$page" 2> /dev/null)
  grep -q "lexvia-cli-$command - " <<< "$rendered" || fail "$page: no NAME line"
  grep -q -- "--help" <<< "$rendered" || fail "$page: no options"
done
MANWIDTH=300 man -l "$man_dir/lexvia-cli.1" 2> /dev/null | grep -q "lexvia-cli-serve(1)" ||
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
  [ "$got" = "$want" ] || fail "bash completing '$*': got '$got', want '$want'"
}
expect "lookup " lexvia-cli lo
expect "--format " lexvia-cli lookup --fo
expect "json " lexvia-cli lookup --format j
expect "lines-json " lexvia-cli lookup --format l
expect "exact extended " lexvia-cli lookup --method ex
expect "$tmp/EN-HU.DIC $tmp/en-de.dic $tmp/more " lexvia-cli lookup --dict "$tmp/"
expect "$tmp/EN-HU.DIC $tmp/en-de.dic $tmp/more " lexvia-cli serve "$tmp/"
expect "--idle-timeout " lexvia-cli serve --id
expect "favourites " lexvia-cli fa
expect "--clear " lexvia-cli history --cl
expect "json " lexvia-cli history --format j
expect "--add " lexvia-cli favourites --a
expect "1 2 " lexvia-cli favourites --add house --direction ''

# zsh completion, typed with a Tab into an interactive zsh.
expect_zsh() {
  local got
  got=$(timeout 30 zsh "$source_dir/tests/cli/zsh_complete.zsh" "$source_dir/completion" "$2")
  [ "$got" = "$1" ] || fail "zsh completing '$2': got '$got', want '$1'"
}
expect_zsh "lookup" "lexvia-cli lo"
expect_zsh "history" "lexvia-cli hi"
expect_zsh "--clear" "lexvia-cli history --cl"
expect_zsh "--remove" "lexvia-cli favourites --r"
expect_zsh "--format" "lexvia-cli lookup --fo"
expect_zsh "json" "lexvia-cli lookup --format j"
expect_zsh "exact extended" "lexvia-cli lookup --method ex"
expect_zsh "EN-HU.DIC en-de.dic more" "lexvia-cli lookup --dict $tmp/"
expect_zsh "EN-HU.DIC en-de.dic more" "lexvia-cli serve $tmp/"
expect_zsh "notes.txt" "lexvia-cli build -o $tmp/n"
exit $failed

#!/usr/bin/env bash
# Times the dictionary compiler on a synthetic pairs file and reports the
# compression it achieves. Usage: bench/compile_time.sh [PAIRS] (default 200000)
set -euo pipefail
cd "$(dirname "$0")/.."
count="${1:-200000}"
cli=build/default/cli/lexvia-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/make_pairs.py "$count" > "$work/pairs.tsv"
echo "pairs: $count"
/usr/bin/time -f "build: %e s wall, %U s user, %M KiB peak" \
  "$cli" build --lang1 en --lang2 de -o "$work/out.dic" "$work/pairs.tsv"
/usr/bin/time -f "verify: %e s wall" "$cli" verify "$work/out.dic"

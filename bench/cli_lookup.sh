#!/usr/bin/env bash
# Times whole `lexvia-cli lookup` processes against starting /bin/true, and
# reports their peak memory. Usage: bench/cli_lookup.sh [DICT] [QUERY]
# Without DICT it uses the dictionary lookup_bench writes (run that first).
set -euo pipefail
cd "$(dirname "$0")/.."
dict="${1:-${TMPDIR:-/tmp}/lexvia-lookup-bench.dic}"
query="${2:-}"
cli=build/default/cli/lexvia-cli
if [ -z "$query" ]; then
  # A headword from the middle of the dictionary.
  query=$("$cli" dump "$dict" | awk -F'\t' 'NR == 50000 { print $1; exit }' || true)
fi
echo "dictionary: $dict, query: $query"
hyperfine -N --warmup 50 --runs 1000 \
  "$cli lookup --dict $dict --method exact $query" "/bin/true"
for i in 1 2 3; do
  /usr/bin/time -f "peak memory: %M KiB" "$cli" lookup --dict "$dict" --method exact "$query" > /dev/null
done

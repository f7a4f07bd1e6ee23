#!/usr/bin/env bash
# The batch, lookup and server figures of two builds in one run, each
# benchmark run for the one build and then the other, ROUNDS times, so that
# a change of the machine's speed meanwhile falls on both alike. The same
# dictionaries (this tree's build/default/data) serve both.
# Usage: bench/before_after.sh BEFORE_BUILD [AFTER_BUILD] [ROUNDS]
#   a build is a build folder holding cli/lexvia-cli, bench/lookup_bench and
#   bench/suggest_bench; AFTER_BUILD defaults to build/default, ROUNDS to 2.
# Needs what bench/cli_batch.py and bench/dict_server.py need.
set -euo pipefail
cd "$(dirname "$0")/.."
before=$(realpath "${1:?usage: bench/before_after.sh BEFORE_BUILD [AFTER_BUILD] [ROUNDS]}")
after=$(realpath "${2:-build/default}")
rounds=${3:-2}
for build in "$before" "$after"; do
  for program in cli/lexvia-cli bench/lookup_bench bench/suggest_bench; do
    [ -x "$build/$program" ] || { echo "missing: $build/$program" >&2; exit 1; }
  done
done
name() { [ "$1" = "$before" ] && echo before || echo after; }

for round in $(seq "$rounds"); do
  for build in "$before" "$after"; do
    echo "== round $round, $(name "$build") ($build)"
    # The whole lookups, and the batch's lookups in the lent mapping.
    "$build/bench/lookup_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
      2>/dev/null | grep -E '_median|_cv' || true
    LEXVIA_CLI="$build/cli/lexvia-cli" LEXVIA_SUGGEST_BENCH="$build/bench/suggest_bench" \
      LEXVIA_SUGGEST_DICT=build/default/data/en-de.dic python3 bench/cli_batch.py || true
    LEXVIA_CLI="$build/cli/lexvia-cli" python3 bench/dict_server.py || true
  done
done

#!/usr/bin/env bash
# The desktop program's figures on the bundled en-de.dic, under Xvfb with the
# X11 platform: start until the "Ready" row is painted (10 starts, each a new
# process with its own settings), then desktop_figures' click-to-paint times
# and memory.
#   bench/desktop.sh [DICT]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/default
dict="${1:-$PWD/$build/data/en-de.dic}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LEXVIA_CONFIG_DIR="$work/config" LEXVIA_INSTANCE="$work/instance"
$build/cli/lexvia-cli settings --set Dictionary "$dict" > /dev/null

cat > "$work/starts.sh" <<SCRIPT
set -euo pipefail
for i in \$(seq 1 10); do
  start=\$(date +%s%N)
  LEXVIA_TRACE_READY=quit QT_QPA_PLATFORM=xcb $build/bin/lexvia 2> "$work/trace.txt"
  ready=\$(sed -n 's/^lexvia: ready painted at //p' "$work/trace.txt")
  echo \$(( (ready - start) / 1000 ))
done
SCRIPT
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/starts.sh" > "$work/starts.txt"
sort -n "$work/starts.txt" | awk '{ v[NR] = $1 } END {
  printf "start to Ready painted (Xvfb, %d starts): median %.1f ms, min %.1f ms, max %.1f ms\n",
         NR, v[int((NR + 1) / 2)] / 1000, v[1] / 1000, v[NR] / 1000 }'
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
  $build/bin/desktop_figures "$dict" 2>/dev/null

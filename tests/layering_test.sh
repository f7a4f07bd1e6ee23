#!/usr/bin/env bash
# The folders under src/ depend one way only: each may include its own
# headers and those of the folders before it in this list, never a later one.
# Within shell/ the dialogs see only the context the application hands them,
# never the application; the command-line tool (the DICT server among it)
# reaches the index sections only through the search engine's public
# headers, never the open dictionary and the walks over its sections.
set -euo pipefail
cd "$(dirname "$0")/../src"
order=(dict search listing settings shell shell/qt)
status=0
for i in "${!order[@]}"; do
  folder=${order[$i]}
  allowed=("${order[@]:0:$((i + 1))}")
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    while IFS= read -r included; do
      top=${included%/*}
      ok=0
      for a in "${allowed[@]}"; do [ "$top" = "$a" ] && ok=1; done
      if [ $ok -eq 0 ]; then
        echo "$file includes $included, from a layer above ${folder}" >&2
        status=1
      fi
    done < <(sed -n 's/^#include "\([a-z_]*\(\/qt\)\?\/[a-z_]*\.h\)"/\1/p' "$file")
  done
done
# The files that must not include a header.
forbid() {
  local header=$1
  shift
  for file in "$@"; do
    [ -e "$file" ] || continue
    if grep -q "^#include \"$header\"" "$file"; then
      echo "$file includes $header, which it must not" >&2
      status=1
    fi
  done
}
forbid shell/application.h shell/dialogs.h shell/dialogs.cpp
for internal in search/open_dictionary.h search/section_walk.h; do
  forbid "$internal" ../cli/*.h ../cli/*.cpp
done
exit $status

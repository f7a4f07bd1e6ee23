#!/usr/bin/env bash
# Compares a lexvia-cli lookup process with two common command-line dictionary
# lookups over the same FreeDict English-German data: sdcv on a StarDict copy of
# it and dict against a private dictd. Reports import time and memory, sizes,
# headword counts, and per-lookup time and peak memory for a fixed word list.
# Needs: the dict-freedict-eng-deu and dict-freedict-deu-eng packages, sdcv,
# dictd, dict, hyperfine, time (scripts/setup --bench installs them).
# Usage: bench/compare_peers.sh   (LEXVIA_CLI overrides the lexvia-cli binary)
set -euo pipefail
cd "$(dirname "$0")/.."

cli=$(realpath -m "${LEXVIA_CLI:-build/default/cli/lexvia-cli}")
db1=/usr/share/dictd/freedict-eng-deu
db2=/usr/share/dictd/freedict-deu-eng
# Everyday words, each a headword of both the English-German database and
# the imported dictionary, so every lookup finds something.
words=(house go water iron dog book run time hand day
       man way work life child world school eye night light)
word_list=$(IFS=,; echo "${words[*]}")
# Lexvia's targets, relative to sdcv's exact lookup.
time_goal=0.30
memory_goal=0.50
# dictd stops by itself after this long even if the trap never runs.
dictd_lifetime=900

for tool in "$cli" sdcv dictd dict hyperfine /usr/bin/time python3; do
  command -v "$tool" > /dev/null || { echo "missing: $tool (run scripts/setup --bench)" >&2; exit 1; }
done
for f in "$db1".index "$db1".dict.dz "$db2".index "$db2".dict.dz; do
  [ -r "$f" ] || { echo "missing: $f (install dict-freedict-eng-deu, -deu-eng)" >&2; exit 1; }
done

tmp=$(mktemp -d)
dictd_pid=
cleanup() {
  if [ -n "$dictd_pid" ]; then
    kill "$dictd_pid" 2> /dev/null || true
    wait "$dictd_pid" 2> /dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# sdcv keeps a history in $HOME and an offset cache under XDG_CACHE_HOME, and
# dict reads ~/.dictrc: a private home keeps all of it inside the temporary
# directory and away from the user's settings.
export HOME="$tmp/home" XDG_CACHE_HOME="$tmp/home/.cache"
mkdir -p "$HOME"

bytes() { stat -c %s "$@" | awk '{ s += $1 } END { print s }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }

# --- 1. Import -------------------------------------------------------------
dic="$tmp/en-de.dic"
echo "== import: lexvia-cli import-dictd (eng-deu, --reverse deu-eng)"
/usr/bin/time -o "$tmp/import.time" -f "%e %U %M" \
  "$cli" import-dictd --lang1 en --lang2 de --reverse "$db2" -o "$dic" "$db1"
read -r import_wall import_user import_kib < "$tmp/import.time"
echo "import: ${import_wall} s wall, ${import_user} s user, ${import_kib} KiB peak"

# --- 2. Headwords and sizes --------------------------------------------------
# `info` prints "index section N: ..., K records"; a record is one headword.
records() { "$cli" info "$dic" | sed -n "s/^index section $1: .*, \([0-9]*\) records$/\1/p"; }
# dictd lists a word once per article; count distinct words, without its
# own 00-database-* header entries.
dictd_words() { cut -f1 "$1.index" | grep -v '^00-*database' | LC_ALL=C sort -u | wc -l; }
echo
echo "== headwords"
echo "en -> de: $(records 1) in en-de.dic, $(dictd_words "$db1") distinct in eng-deu.index"
echo "de -> en: $(records 2) in en-de.dic, $(dictd_words "$db2") distinct in deu-eng.index"
dic_size=$(bytes "$dic")
db1_size=$(bytes "$db1".index "$db1".dict.dz)
both_size=$(bytes "$db1".index "$db1".dict.dz "$db2".index "$db2".dict.dz)
echo
echo "== sizes"
printf '%-34s %s\n' "en-de.dic:" "$(mib "$dic_size")" \
  "eng-deu .index + .dict.dz:" "$(mib "$db1_size")" \
  "both databases .index + .dict.dz:" "$(mib "$both_size")"
awk -v d="$dic_size" -v a="$db1_size" -v b="$both_size" \
  'BEGIN { printf "en-de.dic / eng-deu: %.2f, en-de.dic / both: %.2f\n", d / a, d / b }'

# --- 3. StarDict copy for sdcv ---------------------------------------------
# sdcv reads DATA_DIR/dic/*/; -x keeps it away from the system's dictionaries.
stardict="$tmp/stardict"
python3 bench/dictd_to_stardict.py "$db1" "$stardict/dic/eng-deu" eng-deu
echo "StarDict copy: $(mib "$(bytes "$stardict"/dic/eng-deu/eng-deu.{ifo,idx,dict})")" \
  "(plain .dict; the reader builds its offset cache on the first run)"
# UTF-8 in and out, as lexvia-cli works, rather than converting to the locale's
# charset (under the C locale every non-ASCII letter becomes a \u escape).
sdcv_cmd=(sdcv --data-dir "$stardict" -n -x -e --utf8-input --utf8-output)

# --- 4. A private dictd ----------------------------------------------------
# Started as root, dictd drops to its own user before reading its config, so
# the config directory must be reachable: the temporary directory becomes
# traversable (not listable) and the config directory readable.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0));
print(s.getsockname()[1])')
chmod 711 "$tmp"
mkdir -m 755 "$tmp/dictd"
cat > "$tmp/dictd/dictd.conf" << EOF
global {
  listen_to 127.0.0.1
  pid_file $tmp/dictd/dictd.pid
}
access {
  allow 127.0.0.1
}
database eng-deu {
  index $db1.index
  data $db1.dict.dz
}
EOF
chmod 644 "$tmp/dictd/dictd.conf"
# nodetach keeps dictd our child (so the trap can stop it) and sends its log
# to stdout instead of syslog.
timeout "$dictd_lifetime" dictd -c "$tmp/dictd/dictd.conf" -p "$port" \
  --listen-to 127.0.0.1 -d nodetach > "$tmp/dictd/log" 2>&1 &
dictd_pid=$!
dict_cmd=(dict -h 127.0.0.1 -p "$port" -d eng-deu)
for _ in $(seq 100); do
  "${dict_cmd[@]}" -D > /dev/null 2>&1 && break
  sleep 0.1
done
"${dict_cmd[@]}" -D > /dev/null || { cat "$tmp/dictd/log" >&2; exit 1; }
echo "dictd: listening on 127.0.0.1:$port"

# --- 5. Every tool finds every word; both directions of lexvia ---------------
# What each tool printed, as counts: translations (tsv colour 2) for lexvia,
# matched entries for sdcv (its articles of a word are joined into one), and
# definitions for dict. sdcv exits 0 even when it finds nothing, so its
# output is read instead.
echo
echo "== found (lexvia translations / sdcv entries / dict definitions)"
for w in "${words[@]}"; do
  lexvia_out=$("$cli" lookup --dict "$dic" --method exact --format tsv "$w") \
    || { echo "lexvia-cli did not find $w" >&2; exit 1; }
  sdcv_out=$("${sdcv_cmd[@]}" "$w" 2> /dev/null)
  [[ $sdcv_out =~ Found\ ([1-9][0-9]*)\ items ]] \
    || { echo "sdcv did not find $w" >&2; exit 1; }
  sdcv_found=${BASH_REMATCH[1]}
  dict_out=$("${dict_cmd[@]}" "$w" 2> /dev/null) || { echo "dict did not find $w" >&2; exit 1; }
  printf '  %-8s %4s %4s %4s\n' "$w" "$(grep -c $'^2\t' <<< "$lexvia_out")" "$sdcv_found" \
    "$(sed -n 's/^\([0-9]*\) definitions\{0,1\} found$/\1/p' <<< "$dict_out")"
done
# tsv lines are colour<TAB>text, colour 2 a translation, indented under its
# headword.
translates() {
  "$cli" lookup --dict "$dic" --method exact --direction "$1" --format tsv "$2" \
    | awk -F'\t' -v want="$3" '$1 == 2 { sub(/^ +/, "", $2); if ($2 == want) found = 1 }
                               END { exit !found }'
}
translates 1 house Haus && echo "check: house -> Haus (direction 1): found" \
  || { echo "check: house -> Haus (direction 1): MISSING" >&2; exit 1; }
translates 2 Haus house && echo "check: Haus -> house (direction 2): found" \
  || { echo "check: Haus -> house (direction 2): MISSING" >&2; exit 1; }

# --- 6. Time per lookup process ------------------------------------------
# One process per lookup, as a user would run it; -N avoids a shell in between.
# One hyperfine run over the three commands goes word by word, each word
# through all three tools, so a change in machine load during the run falls on
# all of them alike. Its outlier warnings are counted instead of printed.
echo
echo "== timing (hyperfine, ${#words[@]} words x 3 tools, warmup 5, runs 30 each)"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
hyperfine -N --warmup 5 --runs 30 --style none -L word "$word_list" \
  --export-json "$tmp/timing.json" \
  "$cli lookup --dict $dic --method exact {word}" "${sdcv_cmd[*]} {word}" \
  "${dict_cmd[*]} {word}" > "$tmp/hyperfine.log" 2>&1 \
  || { cat "$tmp/hyperfine.log" >&2; exit 1; }
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
echo "statistical outlier warnings: $(grep -c 'outliers' "$tmp/hyperfine.log" || true)" \
  "of $((${#words[@]} * 3)) benchmarks"

# --- 7. Peak memory per lookup process ----------------------------------------
peak_kib() {
  local max=0 kib
  for w in "${words[@]}"; do
    /usr/bin/time -o "$tmp/mem" -f %M "$@" "$w" > /dev/null 2>&1
    kib=$(tail -n 1 "$tmp/mem")
    [ "$kib" -gt "$max" ] && max=$kib
  done
  echo "$max"
}
lexvia_kib=$(peak_kib "$cli" lookup --dict "$dic" --method exact)
sdcv_kib=$(peak_kib "${sdcv_cmd[@]}")
dict_kib=$(peak_kib "${dict_cmd[@]}")
# dict's figure is the client alone; the server's resident peak is shown apart.
dictd_hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$(pgrep -P "$dictd_pid" -x dictd)/status")

# --- 8. Summary ------------------------------------------------------------
echo
python3 - "$tmp" "$lexvia_kib" "$sdcv_kib" "$dict_kib" "$dictd_hwm" "$time_goal" \
  "$memory_goal" << 'EOF'
import json, sys
tmp, lexvia_kib, sdcv_kib, dict_kib, dictd_hwm = sys.argv[1], *map(int, sys.argv[2:6])
time_goal, memory_goal = map(float, sys.argv[6:8])
tools = ["lexvia", "sdcv", "dict"]
means = {t: {} for t in tools}  # tool -> {word: mean seconds}
with open(f"{tmp}/timing.json") as f:
    for r in json.load(f)["results"]:
        program = r["command"].split()[0]  # lexvia-cli is a path, maybe renamed
        tool = program if program in ("sdcv", "dict") else "lexvia"
        means[tool][r["parameters"]["word"]] = r["mean"]
words = list(means["lexvia"])
print("per word, mean ms per lookup process:")
print(f"  {'word':<8}" + "".join(f"{t:>10}" for t in tools))
for w in words:
    print(f"  {w:<8}" + "".join(f"{means[t][w] * 1000:>10.2f}" for t in tools))
avg = {t: sum(means[t].values()) / len(words) for t in tools}
kib = {"lexvia": lexvia_kib, "sdcv": sdcv_kib, "dict": dict_kib}
print()
print("summary:")
print(f"  {'tool':<28}{'mean per lookup':>16}{'peak memory':>14}")
labels = {"lexvia": "lexvia-cli lookup (exact)", "sdcv": "sdcv -n -x -e",
          "dict": "dict (client; dictd local)"}
for t in tools:
    print(f"  {labels[t]:<28}{avg[t] * 1000:>13.2f} ms{kib[t]:>10} KiB")
print(f"  (dictd server resident peak: {dictd_hwm} KiB, not counted per lookup)")
time_ratio = avg["lexvia"] / avg["sdcv"]
mem_ratio = lexvia_kib / sdcv_kib
verdict = lambda ok: "met" if ok else "NOT met"
print(f"  lexvia/sdcv time:   {time_ratio:.3f} (goal <= {time_goal:.2f}: "
      f"{verdict(time_ratio <= time_goal)})")
print(f"  lexvia/sdcv memory: {mem_ratio:.3f} (goal <= {memory_goal:.2f}: "
      f"{verdict(mem_ratio <= memory_goal)})")
EOF

#!/usr/bin/env python3
"""Batch lookups in one process: lexvia-cli lookup --batch against sdcv, in the
same run, given the same 10,000 words (half headwords of en-de.dic, half
those words misspelt so that they miss).

lexvia-cli runs Exact Search with suggestions on the misses (its default;
--method exact, tsv output), once more without (--no-suggest), and once
with suggestions but no word forms (no Hunspell dictionary to be found). sdcv
reads the same words as arguments (-n -x -e), on a StarDict copy of
FreeDict eng-deu made as bench/compare_peers.sh makes it. Each is the best
of five runs. Goals, with suggestions on: at least 50,000 lookups a second,
and at most 0.1 of sdcv's time. In the same run, suggest_bench gives the
median and 99th percentile of one miss with suggestions in a batch's
setting (the file mapped and lent, its tables kept); goals: 20 us and
200 us. It also prints a single lookup's (the file mapped for the call).
Needs: sdcv (scripts/setup --bench), dict-freedict-eng-deu, build/default.
Usage: bench/cli_batch.py [WORDS]
"""
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLI = os.environ.get("LEXVIA_CLI", os.path.join(ROOT, "build", "default", "cli", "lexvia-cli"))
SUGGEST_BENCH = os.environ.get("LEXVIA_SUGGEST_BENCH",
                               os.path.join(ROOT, "build", "default", "bench", "suggest_bench"))
DIC = os.path.join(ROOT, "build", "default", "data", "en-de.dic")
DB = "/usr/share/dictd/freedict-eng-deu"


def best_of(command, stdin, runs=3):
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        r = subprocess.run(command, input=stdin, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           check=False)
        times.append(time.perf_counter() - started)
        output = r.stdout
    return min(times), output


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 10000
    for tool in (CLI, "sdcv", "python3"):
        if not shutil.which(tool):
            sys.exit(f"missing: {tool} (scripts/setup --bench, and build)")
    for f in (DIC, DB + ".index", SUGGEST_BENCH):
        if not os.path.exists(f):
            sys.exit(f"missing: {f}")
    dump = subprocess.run([CLI, "dump", DIC, "--direction", "1"], capture_output=True, text=True,
                          check=True).stdout
    headwords = sorted({line.split("\t")[0] for line in dump.splitlines()})
    known = set(headwords)
    single = [h for h in headwords if h.isalpha() and len(h) >= 3]
    rng = random.Random(2026)
    hits = rng.sample(single, count // 2)
    misses = []
    for word in rng.sample(single, count - count // 2):
        miss = word[:-1] + ("q" if word[-1] != "q" else "x") + "z"
        misses.append(miss if miss not in known else miss + "q")
    words = hits + misses
    rng.shuffle(words)
    stdin = ("\n".join(words) + "\n").encode()

    with tempfile.TemporaryDirectory() as tmp:
        stardict = os.path.join(tmp, "stardict")
        os.makedirs(os.path.join(stardict, "dic"))
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "dictd_to_stardict.py"), DB,
                        os.path.join(stardict, "dic"), "eng-deu"], check=True,
                       stdout=subprocess.DEVNULL)
        env_config = dict(os.environ, LEXVIA_CONFIG_DIR=os.path.join(tmp, "config"))
        os.environ.update(env_config)
        lexvia = [CLI, "lookup", "--dict", DIC, "--batch", "--method", "exact", "--format", "tsv"]
        plain, out = best_of(lexvia + ["--no-suggest"], stdin, runs=5)
        found = out.decode("utf-8", "replace").count("\n1\t")
        suggesting, _ = best_of(lexvia, stdin, runs=5)
        # The same without word forms (no Hunspell dictionary to be found):
        # what Hunspell's loading and stems cost the batch.
        os.makedirs(os.path.join(tmp, "no-hunspell"))
        os.environ["LEXVIA_HUNSPELL_DIR"] = os.path.join(tmp, "no-hunspell")
        formless, _ = best_of(lexvia, stdin, runs=5)
        del os.environ["LEXVIA_HUNSPELL_DIR"]
        # sdcv looks up the words given as arguments, one after another.
        sdcv, sd_out = best_of(["sdcv", "--data-dir", stardict, "-n", "-x", "-e", "--utf8-input",
                                "--utf8-output"] + words, b"", runs=5)
        sd_found = sd_out.decode("utf-8", "replace").count("-->")

    rate = count / suggesting
    print(f"{count} words ({count // 2} headwords, {count - count // 2} misspelt), one process each")
    print(f"lexvia-cli --batch, exact, no suggestions: {plain:.3f} s = {count / plain:,.0f} lookups/s "
          f"({found} with a headword listed)")
    print(f"lexvia-cli --batch, exact, with suggestions on the {count - count // 2} misses: "
          f"{suggesting:.3f} s = {rate:,.0f} lookups/s "
          f"({(suggesting - plain) / (count - count // 2) * 1e6:.0f} us a miss)")
    print(f"the same without word forms (no Hunspell dictionary): {formless:.3f} s = "
          f"{count / formless:,.0f} lookups/s, {formless / sdcv:.3f} of sdcv's time")
    print(f"sdcv -n -x -e WORD...: {sdcv:.3f} s ({sd_found // 2} articles found)")
    ratio = suggesting / sdcv
    benches = {b["name"].split("/")[0]: b for b in json.loads(subprocess.run(
        [SUGGEST_BENCH, "--benchmark_format=json"], capture_output=True, text=True,
        check=True).stdout)["benchmarks"]}
    for name, setting in (("BM_SuggestInABatch", "in a batch"), ("BM_SuggestOnAMiss", "on its own")):
        # An older build (before_after.sh) may lack the batch's, or the p99.
        if name in benches:
            b = benches[name]
            print(f"suggest_bench, one miss with suggestions {setting}, {b['iterations']} calls: "
                  f"median {b['median_us']:.1f} us, p99 {b.get('p99_us', float('nan')):.1f} us, "
                  f"worst {b['worst_us']:.1f} us")
    goals = [("lookups a second", rate, ">=", 50000), ("time / sdcv's", ratio, "<=", 0.1)]
    if "BM_SuggestInABatch" in benches:
        batch = benches["BM_SuggestInABatch"]
        goals += [("miss median, us", batch["median_us"], "<=", 20),
                  ("miss p99, us", batch["p99_us"], "<=", 200)]
    failed = 0
    for name, value, op, goal in goals:
        ok = value >= goal if op == ">=" else value <= goal
        failed += not ok
        print(f"{name:18} {value:12,.3f}  goal {op} {goal:<7} {'met' if ok else 'MISSED'}")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""lexvia-cli lookup and browse answers read with a JSON parser: the schema of
--format json, suggestions on a miss, the entries of a base form, and --batch
with its exit status.
Usage: json_answers_check.py LEXVIA_CLI SAMPLE_TSV"""
import json
import os
import select
import subprocess
import sys
import tempfile

cli, sample = sys.argv[1], sys.argv[2]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(args, stdin=""):
    env = dict(os.environ, LEXVIA_CONFIG_DIR=config, NO_COLOR="1")
    r = subprocess.run([cli] + args, input=stdin, capture_output=True, text=True, env=env,
                       timeout=60)
    return r.returncode, r.stdout, r.stderr


SCHEMA = {"query": str, "method": str, "direction": int, "dictionary": str, "entries": list,
          "suggestions": list, "error": (dict, type(None))}


def answers(out):
    objects = [json.loads(line) for line in out.splitlines()]
    for o in objects:
        keys = set(SCHEMA) - ({"entries"} if "pages" in o else set()) | ({"pages"} if "pages" in o else set())
        check(set(o) == keys, f"keys {sorted(o)}")
        for key, kind in SCHEMA.items():
            if key in o:
                check(isinstance(o[key], kind), f"{key} is {type(o[key]).__name__}")
        for entry in o.get("entries", []) + [e for page in o.get("pages", []) for e in page]:
            check(set(entry) - {"form_of"} == {"headword", "translations"},
                  f"entry keys {sorted(entry)}")
            check(isinstance(entry["headword"], str), "headword")
            check(isinstance(entry.get("form_of", ""), str), "form_of")
            check(all(isinstance(t, str) for t in entry["translations"]), "translations")
    return objects


with tempfile.TemporaryDirectory() as tmp:
    config = os.path.join(tmp, "config")
    dic = os.path.join(tmp, "en-de.dic")
    subprocess.run([cli, "build", "--lang1", "en", "--lang2", "de", "--prefixes1", ",to ", "-o",
                    dic, sample], check=True, capture_output=True)
    d = ["--dict", dic]

    status, out, _ = run(["lookup", *d, "--format", "json", "--method", "phrase", "house"])
    [house] = answers(out)
    check(status == 0, "hit: exit 0")
    check(house["query"] == "house" and house["method"] == "phrase" and house["direction"] == 1,
          f"hit: {house}")
    check(house["dictionary"] == dic and house["error"] is None and house["suggestions"] == [],
          f"hit: {house}")
    check([e["headword"] for e in house["entries"]] == ["house", "to house"], f"hit: {house}")
    check(house["entries"][0]["translations"] == ["Haus", "Geb\u00e4ude"], f"hit: {house}")

    status, out, err = run(["lookup", *d, "--format", "json", "--method", "exact", "hosue"])
    [miss] = answers(out)
    check(status == 1 and miss["entries"] == [], f"miss: {status} {miss}")
    check("house" in miss["suggestions"] and len(miss["suggestions"]) <= 5, f"miss: {miss}")
    status, out, err = run(["lookup", *d, "--method", "exact", "hosue"])
    check(err.startswith("Did you mean: house"), f"miss in text: {err!r}")
    status, out, err = run(["lookup", *d, "--no-suggest", "--format", "json", "hosue"])
    check(answers(out)[0]["suggestions"] == [] and err == "", f"--no-suggest: {out} {err!r}")

    # A miss answered by its base form (Hunspell's en_US stems "shops" as
    # "shop") is a hit: each entry of the base names the query it stands for.
    if os.path.exists("/usr/share/hunspell/en_US.dic"):
        status, out, err = run(["lookup", *d, "--format", "json", "--method", "exact", "--batch"],
                               "shops\nshop\n")
        [shops, shop] = answers(out)
        check(status == 0 and err == "", f"base form: {status} {err!r}")
        check(shops["entries"] == [{"headword": "shop", "form_of": "shops",
                                    "translations": ["Laden", "Gesch\u00e4ft"]}] and
              shops["suggestions"] == [], f"base form: {shops}")
        check(shop["entries"] == [{"headword": "shop", "translations": ["Laden", "Gesch\u00e4ft"]}],
              f"the base itself: {shop}")

    # Entries are the dictionary's texts, whole, not the result lines that
    # show them (which end at 259 characters).
    long_tsv, long_dic = os.path.join(tmp, "long.tsv"), os.path.join(tmp, "long.dic")
    with open(long_tsv, "w", encoding="utf-8") as f:
        f.write("h" * 300 + "\t" + "t" * 400 + "\n")
    subprocess.run([cli, "build", "--lang1", "en", "--lang2", "de", "-o", long_dic, long_tsv],
                   check=True, capture_output=True)
    status, out, _ = run(["browse", "--dict", long_dic, "--format", "json", "--page-size", "2", "h"])
    [long] = answers(out)
    check(long["pages"] == [[{"headword": "h" * 300, "translations": ["t" * 400]}]],
          f"long texts: {out}")

    missing = os.path.join(tmp, "missing.dic")
    status, out, _ = run(["lookup", "--dict", missing, "--format", "json", "house"])
    [error] = answers(out)
    check(status == 2 and error["error"]["number"] == 102 and missing in error["error"]["text"],
          f"error: {status} {error}")

    # One object a line, blank lines skipped (as is one whose first 249
    # characters are blanks), in order; the exit status over all.
    status, out, _ = run(["lookup", *d, "--batch", "--format", "json"],
                         "house\n\n  \nzzzz\r\n" + " " * 249 + "x\nHaus\n")
    batch = answers(out)
    check([a["query"] for a in batch] == ["house", "zzzz", "Haus"], f"batch: {out}")
    check(status == 0, f"batch with a hit: exit {status}")
    status, out, _ = run(["lookup", *d, "--batch", "--direction", "2"], "zzzz\nyyyy\n")
    check(status == 1 and out.count("Extended Search") == 2, f"batch of misses: {status} {out}")
    status, _, _ = run(["lookup", "--dict", missing, "--batch"], "house\nHaus\n")
    check(status == 2, f"batch with errors: exit {status}")
    status, _, err = run(["lookup", *d])
    check(status == 2 and "--batch" in err, f"no query: {status} {err!r}")

    status, out, _ = run(["browse", *d, "--format", "json", "--page-size", "1", "--moves", "down", "a"])
    [browse] = answers(out)
    check(browse["method"] == "browse" and
          [[e["headword"] for e in p] for p in browse["pages"]] == [["airport"], ["answer"]],
          f"browse: {browse}")
    # Each query of a batch gets a page of its own, not the one before as well.
    status, out, _ = run(["browse", *d, "--batch", "--format", "json", "--page-size", "1"], "a\nz\n")
    pages = [[[e["headword"] for e in p] for p in a["pages"]] for a in answers(out)]
    check(pages == [[["airport"]], [["Z\u00fcrich"]]], f"browse batch: {out}")

    # A program that writes one query and waits gets its answer before it
    # writes the next.
    tool = subprocess.Popen([cli, "lookup", *d, "--batch", "--format", "json"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            env=dict(os.environ, LEXVIA_CONFIG_DIR=config))
    for query in ["house", "zzzz"]:
        tool.stdin.write((query + "\n").encode())
        tool.stdin.flush()
        ready, _, _ = select.select([tool.stdout], [], [], 10)
        check(ready and json.loads(tool.stdout.readline())["query"] == query,
              f"no answer to {query!r} while the tool waits for more")
    tool.stdin.close()
    tool.wait(timeout=60)

for f in failures:
    print("FAILED:", f)
sys.exit(1 if failures else 0)

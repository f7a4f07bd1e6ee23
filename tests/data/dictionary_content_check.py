#!/usr/bin/env python3
"""Reads every pair of the built dictionaries (lexvia-cli dump, both
directions) and fails (exit 1) on texts an import must never leave: empty or
unbalanced brackets, an abbreviation still glued to its pronunciation, a bare
function word or ellipsis cut out of a longer text: such a piece keeps the
whole phrase it came from as its translations ("dass": "argue that …",
"owing to the fact that"), while "dem" translated by "who, whom" is a word of
its own. Usage: CLI
DICTIONARY..."""
import os
import re
import subprocess
import sys

FUNCTION_WORDS = {
    "de": {"der", "die", "das", "den", "dem", "des", "ein", "eine", "und", "oder", "zu", "dass"},
    "en": {"the", "a", "an", "and", "or", "to", "that", "which", "who"},
}
PLACEHOLDERS = {"sth.", "etw.", "jdn.", "jdm.", "jds.", "sb.'s"}
GLUED = re.compile(r",  /|<[a-z, ]+>")
EMPTY_BRACKETS = re.compile(r"\(\s*\)|\[\s*\]")


def balanced(text):
    depth = 0
    for c in text:
        depth += c == "("
        depth -= c == ")"
        if depth < 0:
            return False
    return depth == 0


def bare(text, language):
    return text.lower() in FUNCTION_WORDS.get(language, ())


def glued_abbreviation(text):
    """"eigentlich eigtl.": a word followed by its own abbreviation."""
    words = text.split()
    if len(words) < 2 or not words[-1].endswith(".") or len(words[-1]) < 4 or "/" in words[-1]:
        return False
    # Placeholders, lists ("CP, purum, pur.") and sentences end so too.
    if words[-1] in PLACEHOLDERS or words[-2].endswith(",") or len(words) >= 5:
        return False
    short, full = words[-1][:-1].lower(), words[-2].lower()
    if len(full) <= len(short) or short[0] != full[0]:
        return False
    letters = iter(full)
    return all(c in letters for c in short)


def faults_of(text, is_headword, translations, languages):
    if EMPTY_BRACKETS.search(text):
        yield "empty brackets"
    if not balanced(text):
        yield "unbalanced brackets"
    if GLUED.search(text) or glued_abbreviation(text):
        yield "glued abbreviation or grammar mark"
    own = languages[0]
    phrases = sum(len(t.split()) >= 3 for t in translations)
    cut_out = bare(text, own) and len(translations) >= 3 and 2 * phrases > len(translations)
    if is_headword and (text in ("\u2026", "...") or cut_out):
        yield "bare function word or ellipsis"


def main():
    cli, dictionaries = sys.argv[1], sys.argv[2:]
    missing = [path for path in dictionaries if not os.path.isfile(path)]
    if missing:
        print("not built here:", ", ".join(missing))
        return 77
    failed = 0
    for path in dictionaries:
        # The file's name tells its languages: en-de.dic.
        codes = os.path.basename(path).split(".")[0].split("-")
        for direction in ("1", "2"):
            languages = codes if direction == "1" else codes[::-1]
            dump = subprocess.run([cli, "dump", "--direction", direction, path], check=True,
                                  capture_output=True, text=True).stdout
            translations = {}
            for line in dump.splitlines():
                headword, _, translation = line.partition("\t")
                translations.setdefault(headword, []).append(translation)
            seen = set()
            counts = {}
            for headword, texts in translations.items():
                for text, is_headword in [(headword, True)] + [(t, False) for t in texts]:
                    if (text, is_headword) in seen:
                        continue
                    seen.add((text, is_headword))
                    for fault in faults_of(text, is_headword, texts, languages):
                        counts[fault] = counts.get(fault, 0) + 1
                        if counts[fault] <= 5:
                            print(f"{path} direction {direction}: {fault}: {text!r}")
            for fault, n in sorted(counts.items()):
                print(f"{path} direction {direction}: {n} texts with {fault}")
                failed += n
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

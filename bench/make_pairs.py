#!/usr/bin/env python3
"""Writes a synthetic pairs TSV for benchmarks: word-like texts built from
syllables, with accents, multi-word phrases and words shared between pairs, so
that sorting, merging and compression work as on a real dictionary."""
import random
import sys

EN = ["an", "be", "con", "de", "er", "for", "ing", "ion", "ly", "ment", "ness", "o", "per",
      "re", "st", "tion", "un", "ver", "wa", "th", "sh", "ch", "ou", "ea", "ight", "ous"]
DE = ["ab", "be", "ch", "der", "ein", "en", "er", "ge", "heit", "ig", "isch", "keit", "lich",
      "sch", "st", "ung", "ver", "zu", "ä", "ö", "ü", "ß", "au", "ei", "ie", "tz"]


def word(rng, syllables, lo=2, hi=5):
    return "".join(rng.choice(syllables) for _ in range(rng.randint(lo, hi)))


def text(rng, syllables, prefix_words):
    r = rng.random()
    if r < 0.7:
        t = word(rng, syllables)
    elif r < 0.9:
        t = word(rng, syllables) + " " + word(rng, syllables)
    else:
        t = rng.choice(prefix_words) + " " + word(rng, syllables)
    return t.capitalize() if rng.random() < 0.1 else t


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 200000
    rng = random.Random(20261208)
    en_pool, de_pool = [], []
    out = sys.stdout
    for _ in range(count):
        if en_pool and rng.random() < 0.25:
            en = rng.choice(en_pool)
        else:
            en = text(rng, EN, ["to", "the", "a"])
            en_pool.append(en)
        if de_pool and rng.random() < 0.25:
            de = rng.choice(de_pool)
        else:
            de = text(rng, DE, ["sich", "der", "die", "das"])
            de_pool.append(de)
        out.write(f"{en}\t{de}\n")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Converts a dictd database (BASE.index + BASE.dict.dz) into a StarDict 2.4.2
dictionary (NAME.ifo, NAME.idx, NAME.dict) so that the same data can be looked
up with a StarDict reader in the peer comparison.

Usage: dictd_to_stardict.py BASE OUTDIR [BOOKNAME]
BOOKNAME defaults to the base name of BASE; the files go to OUTDIR/BOOKNAME.*

The articles keep dictd's plain text. dictd answers a word with every article
listed under it, while a StarDict reader shows only one of several equal .idx
words; so the articles of one word are joined into one, in index order, and
both programs print the same definitions.
"""
import gzip
import os
import struct
import sys

# dictd writes offsets and sizes in base 64 with this alphabet, most
# significant digit first (not RFC 4648 padding-based base64).
B64_DIGITS = {c: i for i, c in enumerate(
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")}

# StarDict readers copy a headword into a 256-byte buffer.
MAX_WORD_BYTES = 255

# Upper-case ASCII mapped to lower case, every other byte left alone: the
# byte-wise folding g_ascii_strcasecmp does.
ASCII_FOLD = bytes.maketrans(b"ABCDEFGHIJKLMNOPQRSTUVWXYZ", b"abcdefghijklmnopqrstuvwxyz")


def b64_number(text):
    value = 0
    for c in text:
        if c not in B64_DIGITS:
            raise ValueError(f"not a dictd base-64 number: {text!r}")
        value = value * 64 + B64_DIGITS[c]
    return value


def read_index(path):
    """Returns the (word bytes, offset, size) entries and how many were left out."""
    entries, seen, skipped = [], set(), 0
    with open(path, "rb") as index:
        for number, line in enumerate(index, 1):
            fields = line.rstrip(b"\n").split(b"\t")
            if len(fields) != 3:
                raise ValueError(f"{path}:{number}: expected word<TAB>offset<TAB>size")
            word = fields[0]
            entry = (word, b64_number(fields[1].decode("ascii")),
                     b64_number(fields[2].decode("ascii")))
            # dictd's own header entries (00-database-*) are metadata, not
            # words; an empty or over-long word cannot be stored; a line listed
            # twice would only print the same article twice.
            if (word.startswith(b"00database") or word.startswith(b"00-database")
                    or not word or len(word) > MAX_WORD_BYTES or entry in seen):
                skipped += 1
                continue
            seen.add(entry)
            entries.append(entry)
    return entries, skipped


def stardict_order(word):
    # StarDict finds words by binary search under this order: ASCII
    # case-insensitive first, then plain byte order to break ties.
    return (word.translate(ASCII_FOLD), word)


def read_body(dz_path):
    # A dictzip file is a valid gzip stream; its random-access table is not needed.
    with gzip.open(dz_path, "rb") as body:
        return body.read()


def group_articles(entries, body):
    """Returns (word, [article, ...]) in StarDict order, articles in index order."""
    grouped = {}
    for word, offset, size in entries:
        if offset + size > len(body):
            raise ValueError(f"article of {word!r} lies outside the body")
        grouped.setdefault(word, []).append(body[offset:offset + size])
    return sorted(grouped.items(), key=lambda item: stardict_order(item[0]))


def write_dict_and_idx(words, dict_path, idx_path):
    """Writes the joined articles and their index; returns the .idx size."""
    offset = 0
    with open(dict_path, "wb") as dct, open(idx_path, "wb") as idx:
        for word, articles in words:
            article = b"".join(articles)
            if offset + len(article) >= 1 << 32:
                raise ValueError(".dict would outgrow StarDict's 32-bit offsets")
            dct.write(article)
            idx.write(word + b"\0" + struct.pack(">II", offset, len(article)))
            offset += len(article)
    return os.path.getsize(idx_path)


def write_ifo(ifo_path, bookname, wordcount, idxfilesize):
    with open(ifo_path, "w", encoding="utf-8", newline="\n") as ifo:
        ifo.write("StarDict's dict ifo file\n"
                  "version=2.4.2\n"
                  f"bookname={bookname}\n"
                  f"wordcount={wordcount}\n"
                  f"idxfilesize={idxfilesize}\n"
                  "sametypesequence=m\n")


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__.split("\n\n")[1])
    base, outdir = sys.argv[1], sys.argv[2]
    bookname = sys.argv[3] if len(sys.argv) == 4 else os.path.basename(base)
    entries, skipped = read_index(base + ".index")
    words = group_articles(entries, read_body(base + ".dict.dz"))
    os.makedirs(outdir, exist_ok=True)
    out = os.path.join(outdir, bookname)
    idx_size = write_dict_and_idx(words, out + ".dict", out + ".idx")
    write_ifo(out + ".ifo", bookname, len(words), idx_size)
    print(f"{out}: {len(words)} words from {len(entries)} index lines, {skipped} left out",
          file=sys.stderr)


if __name__ == "__main__":
    main()

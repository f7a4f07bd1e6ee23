#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target under fuzz/corpus/<target>/.
Run from the repository root after a default build (it uses lexvia-cli to
compile small dictionaries). Inputs that found faults are added by hand and
never removed; this script only (re)writes files named seed-*."""
import os
import random
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLI = os.path.join(ROOT, "build", "default", "cli", "lexvia-cli")
CORPUS = os.path.join(ROOT, "fuzz", "corpus")
rng = random.Random(2026)


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


def compile_pairs(lines, *options):
    with tempfile.TemporaryDirectory() as tmp:
        tsv = os.path.join(tmp, "p.tsv")
        out = os.path.join(tmp, "d.dic")
        with open(tsv, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        subprocess.run([CLI, "build", "--lang1", "en", "--lang2", "de", "--prefixes1", ",to ",
                        *options, "-o", out, tsv], check=True, stdout=subprocess.DEVNULL)
        with open(out, "rb") as f:
            return f.read()


def sample_lines(count):
    with open(os.path.join(ROOT, "data", "sample", "en-de.tsv"), encoding="utf-8") as f:
        lines = [l.rstrip("\n") for l in f if l.strip() and not l.startswith("#")]
    return lines[:count]


def dictionary_seeds():
    def control(query, method, direction, page, moves):
        q = query.encode("cp1252")
        return bytes([len(q)]) + q + bytes([method, direction, page, len(moves)]) + bytes(moves)

    dicts = {
        "small": compile_pairs(sample_lines(12)),
        "sample": compile_pairs(sample_lines(200)),
        "plain": compile_pairs(sample_lines(40), "--no-compress"),
        "marker": compile_pairs(["ma\u00eftre\tMeister", "\u00ff\ty", "house\tHaus"]),
        "dashes": compile_pairs(["-\tStrich", "co-op\tGenossenschaft", "coop\tGenossenschaft",
                                 "rock'n'roll\tRock", "house (the)\tdas Haus"]),
    }
    queries = ["house", "go", "co-op", "-", "zzz", "a", "Stra\u00dfe", "to go"]
    for name, data in dicts.items():
        for i, query in enumerate(queries[:4]):
            write("dictionary", f"{name}-{i}", control(query, i % 5, 1 + i % 2, 3 + i, [0, 3, 2, 5, 4, 1]) + data)
        write("dictionary", f"{name}-cut", control("house", 1, 1, 4, [3]) + data[: len(data) // 2])
        damaged = bytearray(data)
        for _ in range(4):
            damaged[rng.randrange(len(damaged))] = rng.randrange(256)
        write("dictionary", f"{name}-damaged", control("ho", 4, 2, 5, [1, 2]) + bytes(damaged))
    write("dictionary", "empty", control("x", 0, 1, 1, []))
    write("dictionary", "header-only", control("x", 1, 1, 1, [0]) + dicts["small"][:72])


def decoder_seeds():
    def entry(replacement, code):
        return replacement.ljust(5, b"\0")[:5] + bytes([code]) + b"\0" * 6

    def seed(table, text):
        return struct.pack("<H", len(table)) + table + text

    write("decoder", "then", seed(entry(b"th", 1) + entry(b"e", 2), b"\x01\x02n"))
    write("decoder", "walkings", seed(entry(b"", 0) * 2 + entry(b"\x05s", 3) + entry(b"", 0) + entry(b"ing", 5), b"walk\x03"))
    write("decoder", "earlier", seed(entry(b"", 0) * 2 + entry(b"ing", 3) + entry(b"", 0) + entry(b"\x03s", 5), b"walk\x05"))
    write("decoder", "own-code", seed(entry(b"a\x01", 1), b"\x01\x01"))
    write("decoder", "doubling", seed(b"".join(entry(bytes([k + 2, k + 2]), k + 1) for k in range(12)), b"\x01"))
    write("decoder", "odd-length", seed((entry(b"x", 1) + entry(b"y", 2))[:17], b"\x01\x02"))
    for i in range(6):
        table = b"".join(entry(bytes(rng.randrange(1, 256) for _ in range(rng.randrange(5))), rng.randrange(1, 256))
                         for _ in range(rng.randrange(1, 30)))
        write("decoder", f"random-{i}", seed(table, bytes(rng.randrange(1, 256) for _ in range(20))))


def compiler_seeds():
    write("compiler", "sample", b"\x01" + "\n".join(sample_lines(60)).encode("cp1252"))
    write("compiler", "plain", b"\x00" + "\n".join(sample_lines(20)).encode("cp1252"))
    write("compiler", "ties", b"\x01co-op\ta\nCoop\tb\ncoop\tc\nCO-OP\td\nco'op\te\n")
    write("compiler", "marker", b"\x01\xff\ty\nma\xfftre\tMeister\nx\t\xff\xff\n")
    write("compiler", "shared", b"\x01light\tLicht\neasy\tleicht\nlight\tleicht\nlamp\tLicht\n")


def pairs_seeds():
    write("pairs", "sample", b"\x00" + open(os.path.join(ROOT, "data", "sample", "en-de.tsv"), "rb").read()[:3000])
    write("pairs", "hungarian", b"\x01t\xc5\x91zsde\tstock exchange\n\xc5\xb1r\tspace\n")
    write("pairs", "faults", b"\x00a\tb\nno tab\n")
    write("pairs", "bom-crlf", b"\x00\xef\xbb\xbfhouse\tHaus\r\n# c\r\n\r\nstreet\tStra\xc3\x9fe\r\n")
    write("pairs", "bad-utf8", b"\x00\xc3\x28\tb\n")


def dictd_seeds():
    digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"

    def number(v):
        s = ""
        while True:
            s = digits[v % 64] + s
            v //= 64
            if v == 0:
                return s

    def seed(entries, reverse=0, translit=0):
        body = b""
        index = ""
        for key, definition in entries:
            d = definition.encode("utf-8")
            index += f"{key}\t{number(len(body))}\t{number(len(d))}\n"
            body += d
        i = index.encode("utf-8")
        return bytes([reverse, translit]) + struct.pack("<H", len(i)) + i + body

    ding = [("00databaseinfo", "00-database-info\nabout\n"),
            ("house", "house /h\u02c8a\u028as/\nHaus <neut>, Geb\u00e4ude <neut> [arch.]\n      \"a house\"  - ein Haus\n see: {houses}\n"),
            ("go", "go /\u0261\u02c8\u0259\u028a/ (went /w/ <>) <v>\ngehen <v, intr>, fahren\n   Synonym: {leave}\n"),
            ("iron", "iron /x/\nEisen(II,III)-oxid <neut> [chem.] Fe,  /f/\n"),
            ("dont", "don't /d/\nnicht tun\n")]
    numbered = [("exchange", "exchange /x/\n1. t\u00f4zsde\n2. csere\n"),
                ("tozsde", "t\u0151zsde /x/\n1. exchange, stock\n"),
                ("alpha", "alpha /x/\n\u03b1\n"),
                ("wait", "wait /x/\nv\u00e1r\u0085\n")]
    write("dictd", "comma-list", seed(ding))
    write("dictd", "numbered", seed(numbered, reverse=1))
    write("dictd", "numbered-translit", seed(numbered, translit=1))
    write("dictd", "bad-range", b"\x00\x00\x10\x00x\tBAAAA\tB\ny\tA\tZZ\n" + b"body")


def settings_seeds():
    import sqlite3
    key = "Software\\Apps\\Korvex\\Lexvia20"
    table = ("CREATE TABLE settings_values (key TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL "
             "COLLATE NOCASE, type TEXT NOT NULL CHECK (type IN ('integer', 'string')), data, "
             "PRIMARY KEY (key, name)) WITHOUT ROWID")
    stores = {
        "stored": [("UI", "integer", 1), ("Language From", "integer", 2),
                   ("Search Method", "integer", 3), ("Dictionary", "string", "/tmp"),
                   ("Speech Library", "string", "/nonexistent.so"),
                   ("#1 Prefix list-ts/enhu.dic", "string", "to ,a ")],
        "out-of-range": [("Search Method", "integer", 99999), ("UI", "integer", 4294967298),
                         ("QuickTranslate", "integer", "abc"), ("Invisible Listing", "string", "1"),
                         ("Dictionary", "string", b"/t\xffmp")],
        "empty-table": [],
    }
    for name, rows in stores.items():
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "settings.db")
            db = sqlite3.connect(path)
            db.execute(table)
            db.executemany("INSERT INTO settings_values VALUES (?, ?, ?, ?)",
                           [(key, n, t, d) for n, t, d in rows])
            db.commit()
            db.close()
            with open(path, "rb") as f:
                write("settings", name, f.read())
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "settings.db")
        db = sqlite3.connect(path)
        db.execute("CREATE TABLE settings_values (a, b)")
        db.commit()
        db.close()
        with open(path, "rb") as f:
            write("settings", "wrong-columns", f.read())
    write("settings", "empty", b"")
    write("settings", "not-sqlite", b"SQLite format 3\0" + bytes(100))


def dict_seeds():
    write("dict_command", "define", b"DEFINE * house")
    write("dict_command", "match", b'MATCH en-de lev "hosue"')
    write("dict_command", "show", b"SHOW INFO 'de-en'")
    write("dict_session", "session",
          b"OPTION MIME\nDEFINE de-en .hidden\nMATCH * prefix hous\nMATCH en-de phrase go\n"
          b"SHOW DB\nSHOW STRAT\nHELP\nSTATUS\nQUIT\nDEFINE * house\n")
    write("dict_session", "quoting",
          b'define en-de "\\"quoted\\""\nmatch en-de . strasse\nclient x\nAUTH a b\n')


def language_module_seeds():
    for lang in ("hu", "de"):
        with open(os.path.join(ROOT, "resources", f"lexvi_{lang}.iu2"), "rb") as f:
            write("language_module", f"{lang}.iu2", f.read())
    write("language_module", "name-only", b"Name only")
    write("language_module", "breaks", b"X\r\r\n\nA\\nB\rC\n")
    write("language_module", "empty", b"")
    write("language_module", "long", b"N\n" + b"x" * 5000 + b"\nshort\n")


def near_index_seeds():
    # The index of near_index_fuzz's dictionary, after the identity the
    # target puts in front: sound tables to start from, then cut short.
    headwords = ["house", "horse", "mouse", "hose", "houses", "ice cream", "home", "hous", "use"]
    with tempfile.TemporaryDirectory() as tmp:
        tsv = os.path.join(tmp, "p.tsv")
        out = os.path.join(tmp, "d.dic")
        with open(tsv, "w", encoding="utf-8") as f:
            f.write("".join(h + "\t" + h + "-de\n" for h in headwords))
        subprocess.run([CLI, "build", "--lang1", "en", "--lang2", "de", "-o", out, tsv], check=True,
                       stdout=subprocess.DEVNULL)
        with open(out + ".near", "rb") as f:
            index = f.read()
    write("near_index", "sound", index[32:])
    write("near_index", "cut", index[32:200])


if __name__ == "__main__":
    if not os.path.exists(CLI):
        sys.exit("build the default preset first: " + CLI)
    dictionary_seeds()
    decoder_seeds()
    compiler_seeds()
    pairs_seeds()
    dictd_seeds()
    language_module_seeds()
    settings_seeds()
    dict_seeds()
    near_index_seeds()

#!/usr/bin/env python3
"""The desktop program's history, from outside: under a private Xvfb,
lookups are typed into the window with xdotool and the program is killed
with SIGKILL at random moments around each lookup, some while it runs.
Then `lexvia-cli history --format json` must list whole queries only,
newest first, with every lookup that had time to start, and a clean
restart must keep them.

Usage: history_kill_check.py LEXVIA LEXVIA_CLI DATA_FOLDER
(en-de.dic there, else the sample dictionary of builds that import none).
Exit 77 (skipped) without Xvfb or xdotool."""

import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

desktop, cli, data = sys.argv[1:4]
dictionary = os.path.join(data, "en-de.dic")
if not os.path.exists(dictionary):
    dictionary = os.path.join(data, "en-de-sample.dic")
if not shutil.which("Xvfb") or not shutil.which("xdotool"):
    print("Xvfb or xdotool missing: skipped")
    sys.exit(77)

QUERIES = ["house", "dog", "Haus", "tree", "water", "Hund", "book", "Baum", "fire", "Wasser",
           "table", "Buch", "light", "Feuer"]
SETTLED = 0.6  # seconds after Enter by which a lookup has surely been recorded


def start_xvfb():
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "800x700x24",
                               "-nolisten", "tcp"], pass_fds=[write],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as pipe:
        number = pipe.readline().strip()
    if not number:
        server.kill()
        sys.exit("Xvfb did not start")
    return server, ":" + number


def main():
    base = tempfile.mkdtemp(prefix="lexvia_history_kill_")
    runtime = os.path.join(base, "run")
    os.mkdir(runtime, 0o700)
    server, display = start_xvfb()
    env = dict(os.environ, LEXVIA_CONFIG_DIR=base, XDG_RUNTIME_DIR=runtime, HOME=base,
               DISPLAY=display, QT_QPA_PLATFORM="xcb")
    env.pop("WAYLAND_DISPLAY", None)

    def run_cli(*args):
        return subprocess.run([cli, *args], env=env, capture_output=True, text=True, timeout=30)

    started = []

    def start():
        program = subprocess.Popen([desktop], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        started.append(program)
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                                str(program.pid), "--name", "^Lexvia$"], env=env,
                               capture_output=True, text=True, timeout=30)
        window = found.stdout.split()[0]
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, timeout=10)
        return program, window

    def xdotool(*args):
        subprocess.run(["xdotool", *args], env=env, check=True, timeout=10)

    failures = []
    try:
        run_cli("settings", "--set", "Dictionary", dictionary).check_returncode()
        # Full Search reads the whole dictionary: the longest lookup there is.
        run_cli("settings", "--set", "Search Method", "3").check_returncode()
        rng = random.Random(int(os.environ.get("LEXVIA_KILL_SEED", "24")))
        settled = []
        for n, query in enumerate(QUERIES):
            program, _ = start()
            xdotool("type", "--delay", "2", query)
            xdotool("key", "Return")
            pause = SETTLED if n % 4 == 3 else rng.uniform(0.0, 0.04)
            time.sleep(pause)
            program.send_signal(signal.SIGKILL)
            program.wait(timeout=10)
            if pause == SETTLED:
                settled.append(query)

        def history():
            answer = run_cli("history", "--format", "json")
            if answer.returncode != 0:
                failures.append("history failed: " + answer.stderr)
                return []
            return json.loads(answer.stdout)

        entries = history()
        listed = [e["query"] for e in entries]
        print("recorded %d of %d lookups: %s" % (len(listed), len(QUERIES), listed))
        for entry in entries:
            if entry["query"] not in QUERIES or entry["direction"] != 1 or entry["method"] != "full":
                failures.append("torn or foreign entry %r" % entry)
        order = [QUERIES.index(q) for q in listed if q in QUERIES]
        if order != sorted(order, reverse=True) or len(set(order)) != len(order):
            failures.append("not newest first: %s" % listed)
        for query in settled:
            if query not in listed:
                failures.append("lost the settled lookup %r" % query)

        # A clean start and end keeps the list as it was.
        program, _ = start()
        xdotool("key", "ctrl+q")
        if program.wait(timeout=20) != 0:
            failures.append("the clean run exited with %d" % program.returncode)
        if history() != entries:
            failures.append("the history changed across a clean restart")
    finally:
        for program in started:
            if program.poll() is None:
                program.kill()
                program.wait()
        server.kill()
        server.wait()
        shutil.rmtree(base, ignore_errors=True)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


sys.exit(main())

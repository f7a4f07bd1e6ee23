#!/usr/bin/env python3
"""How far one `lexvia-cli serve` process goes, on 127.0.0.1.

  - throughput: DEFINEs per second with 1, 64 and 512 clients at once, each
    on its own connection sending one DEFINE, reading the whole answer, then
    the next (as a dictionary client does); the median and 99th percentile
    of the answers' latency; the server's resident memory (RSS) meanwhile;
  - connections held: idle connections opened in steps up to --hold, each
    with its banner read, while a fresh connection's DEFINE is still answered
    at each step; RSS at each step;
  - the same connections with the soft descriptor limit a systemd service
    gets (1024, set with prlimit), which the server raises to the hard limit
    when it starts.
The load comes from build/default/bench/dict_load (C++, one epoll loop), the
idle connections from asyncio, both on the same machine: the figures are a
floor, as client and server share the cores. The load average at the start
is printed, as others may be running things too.
Needs build/default (en-de.dic and en-hu.dic, dict_load), prlimit and pgrep
(scripts/setup --bench).
Usage: bench/dict_scale.py [--seconds S] [--hold N] [--step N]
"""
import argparse
import asyncio
import os
import resource
import shutil
import socket
import subprocess
import sys
import time

from dict_server import WORDS, free_port  # noqa: E402 - beside this script

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLI = os.environ.get("LEXVIA_CLI", os.path.join(ROOT, "build", "default", "cli", "lexvia-cli"))
LOAD = os.environ.get("LEXVIA_DICT_LOAD", os.path.join(ROOT, "build", "default", "bench", "dict_load"))
DATA = os.path.join(ROOT, "build", "default", "data")
LIFETIME = 900  # seconds; the server is killed after this whatever happens


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Server:
    def __init__(self, dics, limit=None):
        self.port = free_port()
        command = ["timeout", str(LIFETIME), CLI, "serve", "--listen", f"127.0.0.1:{self.port}",
                   "--max-clients", "100000"] + dics
        if limit:
            command = ["prlimit", f"--nofile={limit}"] + command
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.process.stdout.readline()  # the start-up line: it listens
        # timeout (and prlimit, which execs it) runs the server as its child.
        self.pid = int(subprocess.run(["pgrep", "-P", str(self.process.pid)], capture_output=True,
                                      text=True).stdout.split()[0])

    def stop(self):
        self.process.terminate()
        self.process.wait()


async def connect(port):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    banner = await reader.readuntil(b"\r\n")
    if not banner.startswith(b"220 "):
        raise ConnectionError(banner.decode(errors="replace").strip())
    return reader, writer


async def define(reader, writer, word):
    writer.write(f"DEFINE en-de {word}\r\n".encode())
    first = await reader.readuntil(b"\r\n")
    if not first.startswith(b"150 "):
        raise ValueError(f"DEFINE {word}: {first!r}")
    await reader.readuntil(b"\r\n250 ")
    await reader.readuntil(b"\r\n")


def throughput(server, clients, seconds):
    """DEFINEs per second, median and 99th percentile latency (ms), and the
    highest RSS (MiB) while dict_load runs."""
    load = subprocess.Popen([LOAD, str(server.port), str(clients), str(seconds), "en-de"] + WORDS,
                            stdout=subprocess.PIPE, text=True)
    memory = [rss_kib(server.pid)]
    while load.poll() is None:
        memory.append(rss_kib(server.pid))
        time.sleep(0.25)
    words = load.stdout.read().split()
    if load.returncode != 0 or not words:
        sys.exit(f"dict_load with {clients} clients failed: {' '.join(words)}")
    figures = dict(zip(words[::2], words[1::2]))
    return (float(figures["rate"]), float(figures["median_us"]) / 1e3,
            float(figures["p99_us"]) / 1e3, max(memory) / 1024)


async def hold(server, most, step):
    """Rows of (connections greeted, RSS MiB, note), a step at a time, until
    most are open or some connection gets no banner within 30 s."""
    held, rows = [], []
    while len(held) < most:
        want = min(step, most - len(held))
        got = await asyncio.gather(*(asyncio.wait_for(connect(server.port), 30) for _ in range(want)),
                                   return_exceptions=True)
        held += [g for g in got if not isinstance(g, BaseException)]
        failed = [g for g in got if isinstance(g, BaseException)]
        if failed:
            rows.append((len(held), rss_kib(server.pid) / 1024,
                         f"{len(failed)} of {want} more got no banner ({type(failed[0]).__name__})"))
            break
        try:
            t = time.perf_counter()
            reader, writer = await asyncio.wait_for(connect(server.port), 10)
            await asyncio.wait_for(define(reader, writer, "house"), 10)
            writer.close()
            rows.append((len(held), rss_kib(server.pid) / 1024,
                         f"a fresh DEFINE in {(time.perf_counter() - t) * 1e3:.1f} ms"))
        except (OSError, asyncio.TimeoutError, ConnectionError) as e:
            rows.append((len(held), rss_kib(server.pid) / 1024,
                         f"a fresh DEFINE failed: {type(e).__name__}"))
            break
    for _, w in held:
        w.close()
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=10, help="length of each throughput run")
    parser.add_argument("--hold", type=int, default=10000, help="most connections to hold")
    parser.add_argument("--step", type=int, default=2000)
    args = parser.parse_args()
    dics = [os.path.join(DATA, "en-de.dic"), os.path.join(DATA, "en-hu.dic")]
    for tool in ("timeout", "prlimit", "pgrep", CLI, LOAD) + tuple(dics):
        if not (shutil.which(tool) or os.path.exists(tool)):
            sys.exit(f"missing: {tool} (build the default preset)")
    # The client needs a descriptor for each connection, too.
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    if hard < args.hold + 100:
        sys.exit(f"the descriptor limit here is {hard}: --hold {args.hold} does not fit")
    print(f"{os.cpu_count()} cores, load average {os.getloadavg()[0]:.2f} at the start; "
          f"{CLI}")

    server = Server(dics)
    try:
        print(f"idle server: RSS {rss_kib(server.pid) / 1024:.1f} MiB")
        for clients in (1, 64, 512):
            rate, median, p99, peak = throughput(server, clients, args.seconds)
            print(f"{clients:4} clients: {rate:8.0f} DEFINEs/s, latency median {median:6.2f} ms, "
                  f"99th percentile {p99:6.2f} ms, RSS up to {peak:5.1f} MiB")
    finally:
        server.stop()

    # A service's soft limit under systemd, with the hard limit as it is here.
    service = f"1024:{hard}"
    for label, limit in (("as started here", None), (f"with a service's limit {service}", service)):
        server = Server(dics, limit)
        try:
            print(f"connections held, {label}:")
            for count, rss, note in asyncio.run(hold(server, args.hold, args.step)):
                print(f"  {count:6} open  RSS {rss:6.1f} MiB  {note}")
        finally:
            server.stop()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""How far one `lexvia-cli serve` process goes, on 127.0.0.1.

  - throughput: DEFINEs per second with 1, 64 and 512 clients at once, each
    on its own connection sending one DEFINE, reading the whole answer, then
    the next (as a dictionary client does); the median and 99th percentile
    of the answers' latency; the server's resident memory (RSS) meanwhile;
  - connections held: idle connections opened in steps up to --hold, each
    with its banner read, while a fresh connection's DEFINE is still answered
    at each step; RSS at each step;
  - the same connections with the descriptor limit a systemd service gets
    (soft 1024, prlimit --nofile=1024:524288), which the server raises to the
    hard limit when it starts.
The client is asyncio in one Python process on the same machine, so the
figures are a floor: client and server share the cores. The load average at
the start is printed, as others may be running things too.
Needs build/default (en-de.dic and en-hu.dic) and prlimit (util-linux).
Usage: bench/dict_scale.py [--seconds S] [--hold N] [--step N]
"""
import argparse
import asyncio
import os
import resource
import shutil
import socket
import statistics
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


async def throughput(server, clients, seconds):
    connections = await asyncio.gather(*(connect(server.port) for _ in range(clients)))
    latencies, memory = [], []
    stop = time.perf_counter() + seconds

    async def client(n, reader, writer):
        i = n
        while time.perf_counter() < stop:
            t = time.perf_counter()
            await define(reader, writer, WORDS[i % len(WORDS)])
            latencies.append(time.perf_counter() - t)
            i += 1

    async def sample():
        while time.perf_counter() < stop:
            memory.append(rss_kib(server.pid))
            await asyncio.sleep(0.25)

    started = time.perf_counter()
    await asyncio.gather(sample(), *(client(n, r, w) for n, (r, w) in enumerate(connections)))
    elapsed = time.perf_counter() - started
    for _, w in connections:
        w.close()
    latencies.sort()
    return (len(latencies) / elapsed, statistics.median(latencies) * 1e3,
            latencies[int(len(latencies) * 0.99)] * 1e3, max(memory) / 1024)


async def hold(server, most, step):
    held, rows = [], []
    while len(held) < most:
        want = min(step, most - len(held))
        try:
            held += await asyncio.wait_for(
                asyncio.gather(*(connect(server.port) for _ in range(want))), 30)
        except (OSError, asyncio.TimeoutError, ConnectionError) as e:
            rows.append((len(held), None, f"stopped: {type(e).__name__} {e}".strip()))
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
    for tool in ("timeout", "prlimit", "pgrep", CLI) + tuple(dics):
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
            rate, median, p99, peak = asyncio.run(throughput(server, clients, args.seconds))
            print(f"{clients:4} clients: {rate:8.0f} DEFINEs/s, latency median {median:6.2f} ms, "
                  f"99th percentile {p99:6.2f} ms, RSS up to {peak:5.1f} MiB")
    finally:
        server.stop()

    for label, limit in (("as started here", None), ("with systemd's limit 1024:524288", "1024:524288")):
        server = Server(dics, limit)
        try:
            print(f"connections held, {label}:")
            for count, rss, note in asyncio.run(hold(server, args.hold, args.step)):
                memory = f"RSS {rss:6.1f} MiB" if rss is not None else ""
                print(f"  {count:6} open  {memory:16} {note}")
        finally:
            server.stop()


if __name__ == "__main__":
    main()

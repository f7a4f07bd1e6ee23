#!/usr/bin/env python3
"""lexvia-cli serve against dictd in the same run, on the same FreeDict data.

dictd serves the four FreeDict databases eng-deu, deu-eng, eng-hun and
hun-eng; lexvia-cli serve serves en-de.dic and en-hu.dic, imported from them.
Both listen on 127.0.0.1 on free ports and are stopped at the end (and by a
time limit in any case). Reports, with Lexvia's goal for each:
  - start until the first answer (median of 5 starts): at most 1/10 of dictd's;
  - DEFINE latency over one open connection: at most 1/2 of dictd's;
  - throughput with 64 concurrent connections: at least 2x dictd's;
  - memory while serving (the 64 connections open): at most 1/4 of dictd's,
    as the proportional set size (PSS) of the whole process tree, so that
    dictd's forked children count once for what they share; RSS beside it.
Every answer is checked to be a definition (150 ... 250).
Needs: dictd (scripts/setup --bench), dict-freedict-eng-deu, -deu-eng, -eng-hun,
-hun-eng, and build/default with the imported dictionaries.
Usage: bench/dict_server.py [--requests N] [--clients N] [--each N]
"""
import argparse
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLI = os.environ.get("LEXVIA_CLI", os.path.join(ROOT, "build", "default", "cli", "lexvia-cli"))
DATA = os.path.join(ROOT, "build", "default", "data")
DICTD = "/usr/share/dictd"
WORDS = ["house", "go", "water", "iron", "dog", "book", "run", "time", "hand", "day",
         "man", "way", "work", "life", "child", "world", "school", "eye", "night", "light"]
LIFETIME = 600  # seconds; each server is killed after this whatever happens


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Connection:
    # dictd writes an answer in several pieces; with Nagle's algorithm on its
    # side and delayed acknowledgements on ours, each answer would wait some
    # 40 ms. Acknowledging at once gives dictd its best case.
    def __init__(self, port, timeout=30):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.buffer = b""
        self.read_until(b"\r\n")  # the banner

    def read_until(self, end):
        while end not in self.buffer:
            self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
            chunk = self.sock.recv(65536)
            if not chunk:
                raise ConnectionError("closed")
            self.buffer += chunk
        cut = self.buffer.index(end) + len(end)
        out, self.buffer = self.buffer[:cut], self.buffer[cut:]
        return out

    # One DEFINE and its whole answer; its first status code.
    def define(self, database, word):
        self.sock.sendall(f"DEFINE {database} {word}\r\n".encode())
        first = self.read_until(b"\r\n")
        if first.startswith(b"150 "):
            self.read_until(b"\r\n250 ")
            self.read_until(b"\r\n")
        return first[:3].decode()

    def close(self):
        self.sock.close()


def tree_pids(pid):
    """The process and all its descendants."""
    parents = {}
    for p in os.listdir("/proc"):
        if p.isdigit():
            try:
                with open(f"/proc/{p}/stat") as f:
                    parents[int(p)] = int(f.read().rsplit(")", 1)[1].split()[1])
            except (OSError, ValueError, IndexError):
                pass
    tree, todo = [], [pid]
    while todo:
        p = todo.pop()
        tree.append(p)
        todo.extend(child for child, parent in parents.items() if parent == p)
    return tree


def memory_kb(pid):
    pss = rss = 0
    tree = tree_pids(pid)
    for p in tree:
        try:
            with open(f"/proc/{p}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Pss:"):
                        pss += int(line.split()[1])
                    elif line.startswith("Rss:"):
                        rss += int(line.split()[1])
        except OSError:
            pass
    return pss, rss, len(tree)


class Server:
    def __init__(self, name, command, database):
        self.name, self.command, self.database = name, command, database
        self.process = None

    def start(self):
        """Starts the server; seconds until its first DEFINE was answered."""
        self.port = free_port()
        started = time.perf_counter()
        self.process = subprocess.Popen(["timeout", str(LIFETIME)] + self.command(self.port),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        while True:
            try:
                c = Connection(self.port, timeout=5)
                code = c.define(self.database, "house")
                c.close()
                if code != "150":
                    raise SystemExit(f"{self.name}: DEFINE house gave {code}")
                return time.perf_counter() - started
            except OSError:
                if self.process.poll() is not None:
                    raise SystemExit(f"{self.name} ended at start")
                if time.perf_counter() - started > 30:
                    raise SystemExit(f"{self.name} did not answer within 30 s")
                time.sleep(0.0005)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait()

    def tree_root(self):
        # `timeout` is the child; the server and what it forks are below it.
        return self.process.pid

    def latency(self, requests):
        c = Connection(self.port)
        times = []
        for i in range(requests):
            t = time.perf_counter()
            code = c.define(self.database, WORDS[i % len(WORDS)])
            times.append(time.perf_counter() - t)
            if code != "150":
                raise SystemExit(f"{self.name}: DEFINE {WORDS[i % len(WORDS)]} gave {code}")
        c.close()
        return statistics.median(times), statistics.mean(times)

    def throughput(self, clients, each):
        errors = []
        ready = threading.Barrier(clients + 1)
        memory = []

        def run(n):
            try:
                c = Connection(self.port)
                ready.wait()
                for i in range(each):
                    if c.define(self.database, WORDS[(n + i) % len(WORDS)]) != "150":
                        errors.append("not found")
                ready.wait()  # all connections still open for the memory reading
                c.close()
            except Exception as e:  # noqa: BLE001 - any failure is reported
                errors.append(str(e))
                ready.abort()

        threads = [threading.Thread(target=run, args=(n,)) for n in range(clients)]
        for t in threads:
            t.start()
        try:
            ready.wait()
            t0 = time.perf_counter()
            ready.wait()
        except threading.BrokenBarrierError:
            for t in threads:
                t.join()
            raise SystemExit(f"{self.name}: {len(errors)} clients failed, e.g. {errors[:1]}")
        elapsed = time.perf_counter() - t0
        memory.append(memory_kb(self.tree_root()))
        for t in threads:
            t.join()
        if errors:
            raise SystemExit(f"{self.name}: {len(errors)} failed requests, e.g. {errors[0]}")
        return clients * each / elapsed, memory[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--requests", type=int, default=1000, help="DEFINEs for the latency")
    parser.add_argument("--clients", type=int, default=64)
    parser.add_argument("--each", type=int, default=100, help="DEFINEs per concurrent client")
    args = parser.parse_args()
    for tool in ("dictd", "timeout", CLI):
        if not shutil.which(tool):
            sys.exit(f"missing: {tool} (run scripts/setup --bench, and build)")
    names = ["eng-deu", "deu-eng", "eng-hun", "hun-eng"]
    for n in names:
        if not os.path.exists(f"{DICTD}/freedict-{n}.index"):
            sys.exit(f"missing: {DICTD}/freedict-{n}.index (install dict-freedict-{n})")
    dics = [os.path.join(DATA, "en-de.dic"), os.path.join(DATA, "en-hu.dic")]
    for d in dics:
        if not os.path.exists(d):
            sys.exit(f"missing: {d} (build the default preset)")

    tmp = tempfile.mkdtemp()
    # Started as root, dictd drops to its own user before it reads its
    # configuration: the folder must be reachable.
    os.chmod(tmp, 0o711)
    conf = os.path.join(tmp, "dictd.conf")
    with open(conf, "w") as f:
        f.write("global {\n  listen_to 127.0.0.1\n}\naccess {\n  allow 127.0.0.1\n}\n")
        for n in names:
            f.write(f"database {n} {{\n  index {DICTD}/freedict-{n}.index\n"
                    f"  data {DICTD}/freedict-{n}.dict.dz\n}}\n")
    os.chmod(conf, 0o644)
    # dictd's listen queue holds 10 connections by default: 64 arriving at
    # once would wait for SYN retries of seconds. It gets room for all.
    servers = [
        Server("dictd", lambda port: ["dictd", "-c", conf, "-p", str(port), "--listen-to",
                                      "127.0.0.1", "-d", "nodetach", "--depth", "256", "--limit",
                                      str(args.clients + 8), "--pid-file",
                                      os.path.join(tmp, "dictd.pid")], "eng-deu"),
        Server("lexvia", lambda port: [CLI, "serve", "--listen", f"127.0.0.1:{port}",
                                       "--max-clients", str(args.clients + 8)] + dics, "en-de"),
    ]
    results = {}
    try:
        for s in servers:
            starts = []
            for _ in range(5):
                starts.append(s.start())
                s.stop()
            s.start()
            median, mean = s.latency(args.requests)
            rate, (pss, rss, processes) = s.throughput(args.clients, args.each)
            s.stop()
            results[s.name] = (statistics.median(starts), median, mean, rate, pss, rss)
            print(f"{s.name:7} start to first answer {statistics.median(starts) * 1000:8.2f} ms | "
                  f"DEFINE latency median {median * 1e6:7.1f} us, mean {mean * 1e6:7.1f} us | "
                  f"{args.clients} clients: {rate:8.0f} DEFINEs/s | "
                  f"memory serving: PSS {pss / 1024:6.1f} MiB, RSS {rss / 1024:6.1f} MiB "
                  f"in {processes} processes")
    finally:
        for s in servers:
            s.stop()
        shutil.rmtree(tmp, ignore_errors=True)

    d, lx = results["dictd"], results["lexvia"]
    checks = [
        ("start to first answer", lx[0] / d[0], "<=", 0.10),
        ("DEFINE latency (median)", lx[1] / d[1], "<=", 0.50),
        ("throughput", lx[3] / d[3], ">=", 2.0),
        ("memory (PSS)", lx[4] / d[4], "<=", 0.25),
    ]
    failed = 0
    for name, ratio, op, goal in checks:
        ok = ratio <= goal if op == "<=" else ratio >= goal
        failed += not ok
        print(f"{name:24} lexvia/dictd = {ratio:6.3f}  goal {op} {goal:<5} {'met' if ok else 'MISSED'}")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""packaging/haproxy-lexvia-dict.cfg as it stands, in front of two
`lexvia-cli serve` processes on 127.0.0.1: DEFINEs through HAProxy are
answered and reach both servers; a server that stops, or that can no longer
read its dictionary (SHOW DB 554), is taken out by the health check while the
lookups go on through the other; a server started again is taken back.
Every process is started under `timeout` and stopped at the end.
Exit 77 (skipped) when haproxy is not installed.
Usage: haproxy_check.py LEXVIA_CLI CONFIG DICT
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

LIFETIME = "120"  # seconds; each process is killed after this whatever happens


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def ask(port, line, timeout=5):
    """The banner and the answers to the line and to QUIT, after which the
    server closes the connection."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(line.encode() + b"\r\nQUIT\r\n")
        data = b""
        while chunk := s.recv(65536):
            data += chunk
        return data.decode("utf-8", "replace")


def wait_until(what, test, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if test():
            return True
        time.sleep(0.2)
    print(f"FAILED: {what} (waited {seconds} s)")
    return False


class Servers:
    def __init__(self, cli, config, dictionary, work):
        self.cli, self.work = cli, work
        self.ports = [free_port(), free_port()]
        self.frontend = free_port()
        self.dicts = []
        for i in range(2):
            copy = os.path.join(work, f"dict{i + 1}.dic")
            shutil.copy(dictionary, copy)
            self.dicts.append(copy)
        self.servers = [None, None]
        self.stats_socket = os.path.join(work, "stats.sock")
        # The statistics socket is added by a second file: the one under
        # test stays as it ships.
        extra = os.path.join(work, "stats.cfg")
        with open(extra, "w") as f:
            f.write(f"global\n    stats socket {self.stats_socket} level admin\n")
        env = dict(os.environ, LEXVIA_DICT_FRONTEND=f"127.0.0.1:{self.frontend}",
                   LEXVIA_DICT_SERVER1=f"127.0.0.1:{self.ports[0]}",
                   LEXVIA_DICT_SERVER2=f"127.0.0.1:{self.ports[1]}")
        for i in range(2):
            self.start(i)
        self.haproxy = subprocess.Popen(["timeout", LIFETIME, "haproxy", "-db", "-f", config,
                                         "-f", extra], env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, text=True)

    def start(self, i):
        self.servers[i] = subprocess.Popen(
            ["timeout", LIFETIME, self.cli, "serve", "--listen", f"127.0.0.1:{self.ports[i]}",
             self.dicts[i]], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(f"server {i + 1} listens", lambda: self.answers(self.ports[i]), 10)

    def stop(self, i):
        self.servers[i].terminate()
        self.servers[i].wait(10)

    @staticmethod
    def answers(port):
        try:
            return ask(port, "STATUS", 1).startswith("220 ")
        except OSError:
            return False

    def stats(self):
        """HAProxy's rows for the servers: {'dict1': {'status': 'UP', 'stot': '3', ...}}."""
        try:
            with socket.socket(socket.AF_UNIX) as s:
                s.settimeout(2)
                s.connect(self.stats_socket)
                s.sendall(b"show stat\n")
                data = b""
                while chunk := s.recv(65536):
                    data += chunk
        except OSError:
            return {}
        lines = data.decode().splitlines()
        if not lines:
            return {}
        header = lines[0].lstrip("# ").split(",")
        rows = [dict(zip(header, line.split(","))) for line in lines[1:] if line]
        return {r["svname"]: r for r in rows
                if r.get("pxname") == "lexvia_dict" and r["svname"].startswith("dict")}

    def states(self):
        return {name: row["status"].split()[0] for name, row in self.stats().items()}

    def sessions(self):
        """The client sessions HAProxy has sent to each server (health checks not counted)."""
        return [int(self.stats().get(f"dict{i + 1}", {}).get("stot", -1)) for i in range(2)]

    def close(self):
        for p in self.servers + [self.haproxy]:
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()


def define_through(servers, count):
    """How many of count DEFINEs through HAProxy gave Haus."""
    good = 0
    for _ in range(count):
        try:
            answer = ask(servers.frontend, "DEFINE en-de house")
        except OSError:
            continue
        good += answer.startswith("220 ") and "\r\n150 " in answer and "Haus" in answer
    return good


def main():
    if not shutil.which("haproxy"):
        print("haproxy is not installed (scripts/setup): skipped")
        sys.exit(77)
    cli, config, dictionary = sys.argv[1:4]
    work = tempfile.mkdtemp(prefix="lexvia-haproxy-")
    servers = Servers(cli, config, dictionary, work)
    ok = True
    try:
        up = {"dict1": "UP", "dict2": "UP"}
        # HAProxy counts a server UP before its first check: wait for a
        # check of each to have passed.
        ok &= wait_until("both servers pass their health check",
                         lambda: [r.get("check_status") for r in servers.stats().values()] == ["L7OK"] * 2)
        good = define_through(servers, 20)
        shares = servers.sessions()
        ok &= good == 20 and all(n > 0 for n in shares)
        print(f"20 DEFINEs through HAProxy: {good} answered; sessions per server {shares}")

        # A stopped server is taken out; lookups go on through the other.
        servers.stop(0)
        ok &= define_through(servers, 10) == 10
        ok &= wait_until("the stopped server is taken out",
                         lambda: servers.states() == {"dict1": "DOWN", "dict2": "UP"})
        ok &= define_through(servers, 10) == 10
        servers.start(0)
        ok &= wait_until("the server started again is taken back", lambda: servers.states() == up)

        # A server that runs but can read no dictionary answers SHOW DB
        # with 554, and the health check takes it out as well.
        os.remove(servers.dicts[1])
        ok &= wait_until("the server without its dictionary is taken out",
                         lambda: servers.states() == {"dict1": "UP", "dict2": "DOWN"})
        ok &= define_through(servers, 10) == 10
    finally:
        servers.close()
        errors = servers.haproxy.stderr.read() if servers.haproxy.stderr else ""
        shutil.rmtree(work, ignore_errors=True)
    if not ok:
        print(errors)
    print("haproxy: " + ("passed" if ok else "FAILED"))
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()

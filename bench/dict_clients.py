#!/usr/bin/env python3
"""GoldenDict and GNOME Dictionary (Debian's goldendict and gnome-dictionary)
against `lexvia-cli serve`, each on a display of its own under Xvfb.

The server runs on 127.0.0.1 on a free port behind a small recording relay,
so that every command a client sends and the status of every answer are
known. Each client gets a scratch HOME whose configuration has our server as
its only source: GoldenDict a DICT server in ~/.config/goldendict/config (no
local dictionaries, no websites), GNOME Dictionary a source file in
~/.config/org.gnome.Dictionary and its settings in GLib's keyfile backend.
Each looks up "house" and "Haus" (given on its command line); once the
client's DEFINE of the word has been answered with definitions, the window is
saved as a PNG. Fails when a DEFINE finds nothing or the server answers a
client's command with an error (5xx), and prints the commands each client
sent. Everything is stopped at the end (and by a time limit in any case).
Needs: scripts/setup --clients, and build/default with en-de.dic and en-hu.dic.
Usage: bench/dict_clients.py [--out DIR]   (default docs/images)
"""
import argparse
import collections
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLI = os.environ.get("LEXVIA_CLI", os.path.join(ROOT, "build", "default", "cli", "lexvia-cli"))
DATA = os.path.join(ROOT, "build", "default", "data")
LIFETIME = "300"  # seconds; every process is killed after this whatever happens
WORDS = ["house", "Haus"]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Relay:
    """Forwards connections to the server and notes, per client, each command
    line and the status line of each answer."""

    def __init__(self, server_port):
        self.server_port = server_port
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.lock = threading.Lock()
        self.client = None  # who the next connections belong to
        self.commands = collections.defaultdict(list)  # client -> [(command, status)]
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                downstream, _ = self.listener.accept()
            except OSError:
                return
            upstream = socket.create_connection(("127.0.0.1", self.server_port))
            # The commands of this connection still waiting for their answer
            # to end, each with the status codes seen so far.
            pending = collections.deque()
            owner = self.client
            threading.Thread(target=self.pipe, args=(downstream, upstream, pending, owner, True),
                             daemon=True).start()
            threading.Thread(target=self.pipe, args=(upstream, downstream, pending, owner, False),
                             daemon=True).start()

    # Status codes followed by a text that ends with a line ".".
    TEXT = {"110", "111", "112", "113", "114", "151", "152"}

    def pipe(self, source, target, pending, owner, from_client):
        buffer = b""
        in_text = False
        banner = not from_client
        try:
            while chunk := source.recv(65536):
                buffer += chunk
                *lines, buffer = buffer.split(b"\r\n")
                for line in lines:
                    text = line.decode("utf-8", "replace")
                    with self.lock:
                        if from_client:
                            pending.append((text, []))
                        elif in_text:
                            in_text = text != "."
                        elif banner:
                            banner = False
                        elif pending:
                            code = text[:3]
                            pending[0][1].append(code)
                            in_text = code in self.TEXT
                            # 1xx codes begin an answer; any other ends it.
                            if not code.startswith("1"):
                                command, codes = pending.popleft()
                                self.commands[owner].append((command, "/".join(codes)))
                # Only now: a command is noted before its answer can come.
                target.sendall(chunk)
        except OSError:
            pass
        finally:
            for s in (source, target):
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def defined(self, client, word):
        """True once a DEFINE of word by client was answered with definitions."""
        with self.lock:
            return any(c.upper().startswith("DEFINE ") and c.split()[-1].strip("\"'") == word
                       and s.startswith("150") for c, s in self.commands[client])


class Display:
    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(["timeout", LIFETIME, "Xvfb", "-displayfd", str(write),
                                         "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                        pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise SystemExit("Xvfb did not start")
            number += chunk
        os.close(read)
        self.name = ":" + number.decode().strip()

    def close(self):
        self.process.terminate()
        self.process.wait()


def goldendict_home(home, port):
    folder = os.path.join(home, ".config", "goldendict")
    os.makedirs(folder)
    with open(os.path.join(folder, "config"), "w") as f:
        f.write(f"""<config>
 <paths/>
 <sounddirs/>
 <dictionaryOrder name="" id="0"><mutedDictionaries/></dictionaryOrder>
 <inactiveDictionaries name="" id="0"><mutedDictionaries/></inactiveDictionaries>
 <groups nextId="1"/>
 <hunspell dictionariesPath=""/>
 <mediawikis/>
 <websites/>
 <dictservers>
  <server name="Lexvia" enabled="1" url="dict://127.0.0.1:{port}" id="6c6578766961" databases="" strategies="" icon=""/>
 </dictservers>
 <programs/>
 <voiceEngines/>
 <mutedDictionaries/>
 <popupMutedDictionaries/>
 <preferences>
  <enableTrayIcon>0</enableTrayIcon>
  <checkForNewReleases>0</checkForNewReleases>
  <enableScanPopup>0</enableScanPopup>
  <enableMainWindowHotkey>0</enableMainWindowHotkey>
  <enableClipboardHotkey>0</enableClipboardHotkey>
 </preferences>
</config>
""")
    return {}


def gnome_dictionary_home(home, port):
    sources = os.path.join(home, ".config", "org.gnome.Dictionary")
    os.makedirs(sources)
    with open(os.path.join(sources, "lexvia.desktop"), "w") as f:
        f.write(f"[Dictionary Source]\nName=Lexvia\nComment=Lexvia on this machine\n"
                f"Transport=dictd\nHostname=127.0.0.1\nPort={port}\n")
    settings = os.path.join(home, ".config", "glib-2.0", "settings")
    os.makedirs(settings)
    with open(os.path.join(settings, "keyfile"), "w") as f:
        # "!": the first database that has the word, as the client's default.
        f.write("[org/gnome/dictionary]\nsource-name='Lexvia'\ndatabase='!'\nstrategy='exact'\n")
    os.makedirs(os.path.join(home, ".local", "share"))
    return {"GSETTINGS_BACKEND": "keyfile"}


CLIENTS = {
    "goldendict": (goldendict_home, lambda word: ["goldendict", word]),
    "gnome-dictionary": (gnome_dictionary_home, lambda word: ["gnome-dictionary", f"--look-up={word}"]),
}


def visible_window(display, pid):
    """The largest visible window of the process, or None."""
    env = dict(os.environ, DISPLAY=display)
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                           capture_output=True, text=True, env=env).stdout.split()
    best, area = None, 0
    for window in found:
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                                  capture_output=True, text=True, env=env).stdout
        values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
        size = int(values.get("WIDTH", 0)) * int(values.get("HEIGHT", 0))
        if size > area:
            best, area = window, size
    return best


def run_client(name, word, relay, out):
    make_home, command = CLIENTS[name]
    home = tempfile.mkdtemp(prefix=f"lexvia-{name}-")
    display = Display()
    client = None
    try:
        env = {k: v for k, v in os.environ.items() if k not in ("DBUS_SESSION_BUS_ADDRESS",)}
        env.update(HOME=home, DISPLAY=display.name, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                   XDG_CACHE_HOME=os.path.join(home, ".cache"), XDG_RUNTIME_DIR=home,
                   LANG="C.UTF-8", NO_AT_BRIDGE="1")
        env.update(make_home(home, relay.port))
        relay.client = f"{name} {word}"
        client = subprocess.Popen(["timeout", LIFETIME] + command(word), env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 90
        while not relay.defined(relay.client, word) and time.monotonic() < deadline:
            time.sleep(0.2)
        if not relay.defined(relay.client, word):
            print(f"FAILED: {name} did not get a definition of {word}")
            return False
        time.sleep(3)  # the answer painted
        pid = subprocess.run(["pgrep", "-P", str(client.pid)], capture_output=True,
                             text=True).stdout.split()
        window = visible_window(display.name, pid[0] if pid else client.pid)
        picture = os.path.join(out, f"{name}-{word.lower()}.png")
        target = window if window else "root"
        subprocess.run(["import", "-display", display.name, "-window", target, picture], check=True,
                       timeout=60)
        print(f"{name} {word}: {picture}")
        return True
    finally:
        if client and client.poll() is None:
            client.terminate()
            try:
                client.wait(10)
            except subprocess.TimeoutExpired:
                client.kill()
        display.close()
        shutil.rmtree(home, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(ROOT, "docs", "images"))
    args = parser.parse_args()
    for tool in ("Xvfb", "xdotool", "import", "goldendict", "gnome-dictionary", "timeout", CLI):
        if not shutil.which(tool):
            sys.exit(f"missing: {tool} (scripts/setup --clients, and build)")
    dics = [os.path.join(DATA, "en-de.dic"), os.path.join(DATA, "en-hu.dic")]
    os.makedirs(args.out, exist_ok=True)
    port = free_port()
    server = subprocess.Popen(["timeout", LIFETIME, CLI, "serve", "--listen", f"127.0.0.1:{port}"]
                              + dics, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    server.stdout.readline()
    relay = Relay(port)
    ok = True
    try:
        for name in CLIENTS:
            for word in WORDS:
                ok &= run_client(name, word, relay, args.out)
    finally:
        server.terminate()
        server.wait()
    for client, commands in relay.commands.items():
        print(f"{client} sent:")
        for command, status in commands:
            print(f"  {command:40} -> {status}")
            if status[:1] == "5" and not status.startswith("552"):
                print(f"FAILED: {client}: '{command}' answered {status}")
                ok = False
    print("clients: " + ("passed" if ok else "FAILED"))
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()

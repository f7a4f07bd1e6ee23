#!/usr/bin/env python3
"""The Debian packages cpack made (cpack --preset package), checked as a user
would meet them.

  install: the five packages with their control fields; their computed
      dependencies met by this Debian system; the packages installed into a
      scratch root (dpkg --root as root, else unpacked with dpkg-deb -x),
      each file where it belongs; from there lexvia-cli looks words up in the
      packaged dictionaries and finds the packaged language modules, the
      desktop program starts far enough to answer --help, and the speech
      plug-in writes a WAV file.
  lintian: lintian on the five packages reports no error.

Usage: check_packages.py install|lintian PACKAGE_DIR VERSION
"""
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

failures = []


def fail(message):
    failures.append(message)
    print(f"FAILED: {message}")


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=120, **kwargs)


def field(deb, name):
    return run(["dpkg-deb", "-f", deb, name]).stdout.strip()


def packages(directory, version):
    multiarch = run(["dpkg-architecture", "-qDEB_HOST_ARCH"]).stdout.strip()
    expected = {
        "lexvia": multiarch, "lexvia-cli": multiarch, "lexvia-speech-espeak": multiarch,
        "lexvia-dict-en-de": "all", "lexvia-dict-en-hu": "all",
    }
    found = {}
    for name, arch in expected.items():
        deb = os.path.join(directory, f"{name}_{version}_{arch}.deb")
        if not os.path.isfile(deb):
            fail(f"no {deb} (run cpack --preset package first)")
            continue
        found[name] = deb
    extra = set(glob.glob(os.path.join(directory, "*.deb"))) - set(found.values())
    if extra:
        fail(f"packages nobody asked for: {sorted(extra)}")
    return found


def satisfied(relation):
    """One item of a Depends field (no alternatives) against the installed packages."""
    m = re.fullmatch(r"([a-z0-9.+-]+)(?::\w+)?(?: \((<<|<=|=|>=|>>) ([^)]+)\))?", relation.strip())
    if not m:
        return False
    name, op, version = m.groups()
    query = run(["dpkg-query", "-W", "-f=${Status} ${Version}", name])
    if query.returncode != 0 or not query.stdout.startswith("install ok installed"):
        return False
    installed = query.stdout.split()[-1]
    return op is None or run(["dpkg", "--compare-versions", installed,
                              {"<<": "lt", "<=": "le", "=": "eq", ">=": "ge", ">>": "gt"}[op],
                              version]).returncode == 0


def check_fields(debs):
    # What dpkg-shlibdeps must have found in the binaries (a sign that the
    # dependencies were computed, not left out), and the relations between
    # the packages, which are typed.
    computed = {
        "lexvia": ["libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                   "libqt6network6", "libqt6svg6", "libsqlite3-0", "libhunspell-1.7-0"],
        "lexvia-cli": ["libc6", "libstdc++6", "libsqlite3-0", "libhunspell-1.7-0", "zlib1g"],
        "lexvia-speech-espeak": ["libc6", "libespeak-ng1"],
        "lexvia-dict-en-de": [], "lexvia-dict-en-hu": [],
    }
    for name, deb in debs.items():
        depends = [d.strip() for d in field(deb, "Depends").split(",") if d.strip()]
        names = {re.split(r"[ :(]", d)[0] for d in depends}
        for library in computed[name]:
            if library not in names:
                fail(f"{name}: Depends lacks {library}: {depends}")
        for relation in depends:
            if not satisfied(relation):
                fail(f"{name}: Depends '{relation}' is not met on this system")
        if name.startswith("lexvia-dict-"):
            if field(deb, "Provides") != "lexvia-dictionary" or depends:
                fail(f"{name}: wants Provides: lexvia-dictionary and no Depends")
        if not field(deb, "Description").split("\n")[0].strip():
            fail(f"{name}: no synopsis")


def unpack(debs, root):
    """Installs the packages into root; True when dpkg did it (root only)."""
    if os.geteuid() == 0:
        admin = os.path.join(root, "var", "lib", "dpkg")
        for sub in ("info", "updates", "triggers"):
            os.makedirs(os.path.join(admin, sub), exist_ok=True)
        open(os.path.join(admin, "status"), "w").close()
        os.makedirs(os.path.join(root, "var", "log"), exist_ok=True)
        # The scratch root holds no libraries: the dependencies are this
        # system's, checked above.
        done = run(["dpkg", f"--root={root}", "--force-depends", "--log=/dev/null",
                    "--install"] + list(debs.values()))
        if done.returncode != 0:
            fail(f"dpkg --install into {root}: {done.stderr.strip()}")
        return True
    for deb in debs.values():
        if run(["dpkg-deb", "-x", deb, root]).returncode != 0:
            fail(f"dpkg-deb -x {deb}")
    return False


def package_files(deb):
    tree = subprocess.run(["dpkg-deb", "--fsys-tarfile", deb], capture_output=True, timeout=120)
    names = subprocess.run(["tar", "-t"], input=tree.stdout, capture_output=True, timeout=120)
    return {n[1:] if n.startswith(".") else n for n in names.stdout.decode().split()}


def check_layout(debs, multiarch):
    want = {
        "lexvia": ["/usr/bin/lexvia", "/usr/share/applications/lexvia.desktop",
                   "/usr/share/metainfo/io.github.lexvia.Lexvia.metainfo.xml",
                   "/usr/share/icons/hicolor/scalable/apps/lexvia.svg",
                   "/usr/share/icons/hicolor/48x48/apps/lexvia.png",
                   "/usr/share/lexvia/lexvi_de.iu2", "/usr/share/lexvia/lexvi_hu.iu2",
                   "/usr/share/lexvia/lexvi_e.htm", "/usr/share/lexvia/lexvi_de.htm",
                   "/usr/share/lexvia/lexvi_hu.htm", "/usr/share/man/man1/lexvia.1.gz"],
        "lexvia-cli": ["/usr/bin/lexvia-cli", "/usr/share/man/man1/lexvia-cli.1.gz",
                       "/usr/share/man/man1/lexvia-cli-serve.1.gz",
                       "/usr/share/man/man1/lexvia-cli-lookup.1.gz",
                       "/usr/share/bash-completion/completions/lexvia-cli",
                       "/usr/share/zsh/vendor-completions/_lexvia-cli",
                       "/usr/lib/systemd/system/lexvia-dict.service",
                       "/usr/share/doc/lexvia-cli/examples/haproxy-lexvia-dict.cfg"],
        "lexvia-speech-espeak": [f"/usr/lib/{multiarch}/lexvia/liblexvia-speech-espeak.so"],
        "lexvia-dict-en-de": ["/usr/share/lexvia/en-de.dic", "/usr/share/lexvia/en-de.dic.near"],
        "lexvia-dict-en-hu": ["/usr/share/lexvia/en-hu.dic", "/usr/share/lexvia/en-hu.dic.near"],
    }
    for name, deb in debs.items():
        files = package_files(deb)
        for path in want[name] + [f"/usr/share/doc/{name}/copyright",
                                  f"/usr/share/doc/{name}/changelog.gz"]:
            if path not in files:
                fail(f"{name}: no {path}")
        outside = [f for f in files if f not in ("/", "/usr", "/usr/") and not f.startswith("/usr/")]
        if outside:
            fail(f"{name}: files outside /usr: {outside}")


def check_programs(root, multiarch, work):
    cli = os.path.join(root, "usr", "bin", "lexvia-cli")
    share = os.path.join(root, "usr", "share", "lexvia")
    env = {k: v for k, v in os.environ.items() if not k.startswith("LEXVIA_")}
    env.update(HOME=work, LEXVIA_CONFIG_DIR=os.path.join(work, "config"), NO_COLOR="1",
               QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=work)
    # query, options, a translation the answer must hold, the dictionary used
    lookups = [
        ("house", [], "Haus", "en-de.dic"),  # no --dict: the packaged en-de.dic beside the tool
        ("Haus", ["--direction", "2"], "house", "en-de.dic"),
        ("house", ["--dict", os.path.join(share, "en-hu.dic")], "ház", "en-hu.dic"),
    ]
    for query, options, translation, dic in lookups:
        got = run([cli, "lookup", "--method", "exact", "--format", "json"] + options + [query], env=env)
        try:
            answer = json.loads(got.stdout)
        except json.JSONDecodeError:
            fail(f"lexvia-cli lookup {options} {query}: exit {got.returncode}, {got.stderr.strip()}")
            continue
        translations = [t for e in answer["entries"] for t in e["translations"]]
        used = os.path.realpath(answer["dictionary"] or "")
        if used != os.path.realpath(os.path.join(share, dic)) or translation not in translations:
            fail(f"lookup {options} {query}: want {translation} from {dic}, got {answer}")
    # The interface language is the first module found (lexvi_de.iu2, in
    # the lexvia package): the title line is German.
    run([cli, "settings", "--set", "UI", "1"], env=env)
    got = run([cli, "lookup", "house"], env=env)
    if not got.stdout.startswith("Erweiterte Suche"):
        fail(f"lexvia-cli did not find the packaged German module: {got.stdout[:80]!r}")

    unit = open(os.path.join(root, "usr", "lib", "systemd", "system", "lexvia-dict.service")).read()
    if "/usr/bin/lexvia-cli serve" not in unit or "/usr/share/lexvia/*.dic" not in unit:
        fail("lexvia-dict.service does not start /usr/bin/lexvia-cli on /usr/share/lexvia/*.dic")

    got = run([os.path.join(root, "usr", "bin", "lexvia"), "--help"], env=env)
    if got.returncode != 0 or "Lexvia" not in got.stdout:
        fail(f"lexvia --help: exit {got.returncode}, {got.stderr.strip()[:200]}")

    plugin = os.path.join(root, "usr", "lib", multiarch, "lexvia", "liblexvia-speech-espeak.so")
    wav = os.path.join(work, "house.wav")
    # In a child, so that espeak-ng's state goes with it.
    code = ("import ctypes, os, sys\n"
            "os.environ['LEXVIA_SPEECH_WAV'] = sys.argv[2]\n"
            "sys.exit(ctypes.CDLL(sys.argv[1]).LexviaSpeakToMe(b'house'))\n")
    got = run([sys.executable, "-c", code, plugin, wav], env=env)
    spoken = b""
    if os.path.isfile(wav):
        with open(wav, "rb") as f:
            spoken = f.read()
    # A RIFF header and more than a few milliseconds of sound.
    if got.returncode != 0 or not spoken.startswith(b"RIFF") or len(spoken) < 10000:
        fail(f"the packaged speech plug-in: exit {got.returncode}, {got.stderr.strip()[:200]}")


def install(directory, version):
    debs = packages(directory, version)
    if len(debs) != 5:
        return
    check_fields(debs)
    multiarch = run(["dpkg-architecture", "-qDEB_HOST_MULTIARCH"]).stdout.strip()
    check_layout(debs, multiarch)
    work = tempfile.mkdtemp(prefix="lexvia-packages-")
    try:
        root = os.path.join(work, "root")
        os.makedirs(root)
        if unpack(debs, root):
            listed = run(["dpkg", f"--root={root}", "-l"]).stdout
            for name in debs:
                if not re.search(rf"^ii  {re.escape(name)} ", listed, re.M):
                    fail(f"{name} is not installed in the scratch root")
        check_programs(root, multiarch, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def lintian(directory, version):
    debs = packages(directory, version)
    if not debs:
        return
    got = run(["lintian", "--info", "--display-level", ">=warning", "--tag-display-limit", "0"]
              + sorted(debs.values()))
    print(got.stdout, end="")
    errors = [line for line in got.stdout.splitlines() if line.startswith("E: ")]
    print(got.stderr, end="", file=sys.stderr)
    # Exit status 2: an error tag; 1: lintian could not run.
    if errors or got.returncode != 0:
        fail(f"lintian: {len(errors)} errors, exit {got.returncode}")
    tags = sorted({line.split()[2] for line in got.stdout.splitlines() if line.startswith("W: ")})
    print(f"lintian warnings left: {', '.join(tags) or 'none'}")


def main():
    mode, directory, version = sys.argv[1:4]
    {"install": install, "lintian": lintian}[mode](directory, version)
    print(f"{mode}: {'FAILED' if failures else 'passed'}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

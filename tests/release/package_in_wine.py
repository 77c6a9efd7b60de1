#!/usr/bin/python3
"""The release package as a station gets it, under Wine.

1. scripts/package.sh makes the zip (and the installer, when makensis is there) from the win build;
   it unpacks to less than 5 MB and holds every picture the guides show.
2. The zip is unpacked into a fresh folder and a fresh Wine prefix (Russian locale); a settings
   file beside the program names one work per sample template.
3. KWPAGE.exe runs from there and shows its window; the host player links and reports Cyrillic
   values; the pages KWPAGE writes are opened in headless Chromium and checked from the browser's
   text (sample_pages.py), the JSON and the plain-text page from their decoded contents.
4. Windows ends the session (WM_QUERYENDSESSION): the program closes by itself.
5. The installer installs silently into Program Files\\KWPAGE and uninstalls again.

    package_in_wine.py --build-dir WIN_BUILD --probe release_window_probe.exe --work DIR

Exit codes: 0 passed, 1 failed (a missing KWPAGE.exe, makensis or Chromium fails too). Must run with a display
(xvfb-run).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sample_pages  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
WINDOW_CLASS = "TKW_PAGE"
# A station downloads and unpacks this: the program is about 2 MB, the rest are small texts and
# compressed pictures.
MAX_UNPACKED = 5 * 1024 * 1024

# Sample file -> the work's code page (the editor's order: 0 Windows-1251, 1 UTF-8, 2 KOI8-R,
# 3 KOI8-U, 4 CP866) and the Python codec of it.
WORKS = {
    "nowplaying-windows-1251.html": (0, "cp1251"),
    "nowplaying-utf-8.html": (1, "utf-8"),
    "nowplaying-koi8-r.html": (2, "koi8_r"),
    "nowplaying-koi8-u.html": (3, "koi8_u"),
    "nowplaying-cp866.html": (4, "cp866"),
    "nowplaying.json": (1, "utf-8"),
    "nowplaying.txt": (1, "utf-8"),
}


class Failure(Exception):
    pass


def wine_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_env(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree=;mshtml=",
               LC_ALL="ru_RU.UTF-8")
    return env


def run(command, env=None, timeout=120, check=True):
    # Output goes through a file, not a pipe: Wine's helper processes inherit the handle and
    # would keep a pipe open long after the program itself has ended.
    with tempfile.TemporaryFile() as log:
        result = subprocess.run(command, env=env, timeout=timeout, stdout=log, stderr=subprocess.STDOUT)
        log.seek(0)
        output = log.read().decode("utf-8", "replace")
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(command)} exited with {result.returncode}:\n{output}")
    return result.returncode, output


def make_package(build_dir, out):
    command = [os.path.join(ROOT, "scripts", "package.sh"), "--build-dir", build_dir, "--out", out, "--no-build"]
    if not shutil.which("makensis"):
        raise Failure("makensis is missing (Debian package nsis; scripts/install-deps.sh installs it)")
    _, output = run(command, timeout=300)
    made = [line.strip() for line in output.splitlines() if line.strip().startswith(out)]
    zip_file = next((m for m in made if m.endswith("-win64.zip")), None)
    setup = next((m for m in made if m.endswith("-setup.exe")), None)
    if not zip_file or not os.path.isfile(zip_file):
        raise Failure("package.sh made no zip:\n" + output)
    return zip_file, setup


def unpack(zip_file, folder):
    with zipfile.ZipFile(zip_file) as z:
        names = z.namelist()
        top = {n.split("/")[0] for n in names}
        if len(top) != 1:
            raise Failure(f"the zip has more than one top folder: {sorted(top)}")
        z.extractall(folder)
    app = os.path.join(folder, top.pop())
    for needed in ("KWPAGE.exe", "KWPAGE.Russian.lng", "KWPAGE.English.lng", "README.ru.md", "README.en.md",
                   "templates/README.md", *("templates/" + n for n in WORKS)):
        if not os.path.isfile(os.path.join(app, needed)):
            raise Failure(f"the zip lacks {needed}")
    check_contents(app)
    return app


def check_contents(app):
    """Every picture a guide shows, and nothing that makes the unpacked folder large."""
    shown = set()
    for guide in ("README.ru.md", "README.en.md"):
        with open(os.path.join(app, guide), encoding="utf-8") as f:
            shown |= set(re.findall(r"\]\((screenshots/[^)]+)\)", f.read()))
    if not shown:
        raise Failure("the guides show no screenshot")
    missing = sorted(s for s in shown if not os.path.isfile(os.path.join(app, s)))
    if missing:
        raise Failure(f"the zip lacks pictures the guides show: {missing}")
    total = sum(os.path.getsize(os.path.join(d, n)) for d, _, names in os.walk(app) for n in names)
    if total >= MAX_UNPACKED:
        raise Failure(f"the package unpacks to {total} bytes, the limit is {MAX_UNPACKED}")


def write_settings(app, pages):
    """KWPAGE.ini beside the program: one work per sample, refreshed every 15 s."""
    lines = ["[Settings]", "PID=1", "Hide=0", "Language=Russian.lng"]
    for number, (name, (code_page, _)) in enumerate(WORKS.items(), start=1):
        lines += ["", f"[File26120718000{number}]", f"Name={name}",
                  "FileIn=" + wine_path(os.path.join(app, "templates", name)),
                  "FileOut=" + wine_path(os.path.join(pages, name)), "Update=15", f"CodePage={code_page}",
                  "UseFTP=0"]
    with open(os.path.join(app, "KWPAGE.ini"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp1251"))


def wait_for_pages(pages, limit=60):
    """Until every page holds the song's artist in its own code page."""
    end = time.monotonic() + limit
    while time.monotonic() < end:
        ready = 0
        for name, (_, codec) in WORKS.items():
            try:
                with open(os.path.join(pages, name), "rb") as f:
                    ready += sample_pages.SONG_ARTIST.encode(codec) in f.read()
            except OSError:
                pass
        if ready == len(WORKS):
            return
        time.sleep(0.5)
    raise Failure(f"KWPAGE did not write every page within {limit} s: {sorted(os.listdir(pages))}")


def check_pages(pages):
    if not sample_pages.chromium():
        raise Failure("Chromium is missing (Debian package chromium; scripts/install-deps.sh installs it)")
    failures = sample_pages.check_pages(pages, with_data=True)
    if failures:
        raise Failure("pages written by KWPAGE:\n  " + "\n  ".join(failures))


def run_program(app, pages, work, env, probe, hostplayer):
    program = subprocess.Popen(["wine", os.path.join(app, "KWPAGE.exe")], cwd=app, env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        code, _ = run(["wine", probe, "wait", WINDOW_CLASS, "60000"], env=env, check=False)
        if code != 0:
            raise Failure("KWPAGE's window did not appear within 60 s"
                          + (f" (KWPAGE exited with {program.poll()})" if program.poll() is not None else ""))
        print("KWPAGE shows its window")

        script = os.path.join(work, "host.hps")
        with open(script, "w", encoding="utf-8") as f:
            # the host stays linked while the pages are checked
            f.write(sample_pages.HOST_SCRIPT + "wait 120000\n")
        host = subprocess.Popen(["wine", hostplayer, wine_path(script)], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        wait_for_pages(pages)
        print("KWPAGE wrote every page")
        check_pages(pages)
        print("the pages read right in the browser")

        code, output = run(["wine", probe, "endsession", WINDOW_CLASS, "10000"], env=env, check=False)
        if code != 0:
            raise Failure("KWPAGE did not agree to end the session: " + output)
        try:
            program.wait(timeout=60)
        except subprocess.TimeoutExpired:
            raise Failure("KWPAGE did not close within 60 s of WM_QUERYENDSESSION")
        code, _ = run(["wine", probe, "gone", WINDOW_CLASS, "5000"], env=env, check=False)
        if code != 0:
            raise Failure("KWPAGE's window is still there after the program ended")
        print("KWPAGE closed at the end of the session")
        host.kill()
        host.wait(timeout=30)
    finally:
        if program.poll() is None:
            program.kill()
            program.wait(timeout=30)


def check_installer(setup, prefix, env):
    """Silent install into Program Files\\KWPAGE, then silent uninstall."""
    run(["wine", setup, "/S"], env=env, timeout=300)
    folder = os.path.join(prefix, "drive_c", "Program Files", "KWPAGE")
    for needed in ("KWPAGE.exe", "KWPAGE.Russian.lng", "KWPAGE.English.lng", "Uninstall.exe",
                   "templates/nowplaying-utf-8.html"):
        if not os.path.isfile(os.path.join(folder, needed)):
            raise Failure(f"the installer did not place {needed}")
    link = os.path.join(prefix, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                        "KWPAGE.lnk")
    if not os.path.isfile(link):
        raise Failure("the installer made no Start-menu entry")
    print("the installer placed the program, its language files and the Start-menu entry")
    settings = os.path.join(folder, "KWPAGE.ini")
    with open(settings, "wb") as f:
        f.write(b"[Settings]\r\nPID=7\r\n")
    # The uninstaller runs a copy of itself from the temporary folder and returns at once (its
    # in-place switch does not survive Wine's quoting of a path with blanks): wait until the
    # prefix has no process left.
    run(["wine", os.path.join(folder, "Uninstall.exe"), "/S"], env=env, timeout=300)
    run(["wineserver", "-w"], env=env, timeout=300)
    for gone in ("KWPAGE.exe", "KWPAGE.Russian.lng"):
        if os.path.exists(os.path.join(folder, gone)):
            raise Failure(f"the uninstaller left {gone}")
    if os.path.exists(link):
        raise Failure("the uninstaller left the Start-menu entry")
    if not os.path.isfile(os.path.join(folder, "templates", "nowplaying-utf-8.html")):
        raise Failure("the uninstaller removed the station's templates")
    if not os.path.isfile(settings):
        raise Failure("the uninstaller removed the station's settings file")
    print("the uninstaller removed the program and kept the settings and the templates")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()

    build_dir = os.path.abspath(args.build_dir)
    exe = os.path.join(build_dir, "shell", "KWPAGE.exe")
    hostplayer = os.path.join(build_dir, "tools", "hostplayer", "hostplayer.exe")
    if not os.path.isfile(exe) or not os.path.isfile(hostplayer):
        print(f"FAIL: {exe} or the host player is not built")
        return 1

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    prefix, pages = os.path.join(work, "wineprefix"), os.path.join(work, "pages")
    os.makedirs(pages)
    env = wine_env(prefix)
    try:
        zip_file, setup = make_package(build_dir, os.path.join(work, "package"))
        app = unpack(zip_file, os.path.join(work, "unpacked"))
        write_settings(app, pages)
        print(f"unpacked {os.path.basename(zip_file)}; making a fresh Wine prefix")
        run(["wineboot", "-i"], env=env, timeout=300, check=False)
        run(["wineserver", "-w"], env=env, timeout=300, check=False)
        run_program(app, pages, work, env, os.path.abspath(args.probe), hostplayer)
        if setup:
            check_installer(setup, prefix, env)
        else:
            print("makensis is not installed: the installer is not checked")
    except (Failure, AssertionError, OSError, subprocess.SubprocessError) as e:
        print(f"FAIL: {e}")
        return 1
    finally:
        subprocess.run(["wineserver", "-k"], env=env, timeout=60, check=False)
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""A station for the end-to-end scripts (latency benchmark, soak): KWPAGE.exe in a folder of its
own with the language files and a settings file, run under Wine in the build's own prefix with
the Russian locale, and the host player beside it. Run with Debian's /usr/bin/python3."""
import argparse
import os
import shutil
import subprocess
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


def wine_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_env(build_dir):
    env = dict(os.environ)
    env.update(WINEPREFIX=os.path.join(build_dir, "wineprefix"), WINEARCH="win64", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree=;mshtml=", LC_ALL="ru_RU.UTF-8")
    return env


def scramble(password):
    """The settings file's stored form of an FTP password (XOR with "QVXZ", hex digits)."""
    key = b"QVXZ"
    return "".join("%02x" % (b ^ key[i % 4]) for i, b in enumerate(password.encode("cp1251")))


class Station:
    def __init__(self, build_dir, folder):
        self.build = os.path.abspath(build_dir)
        self.folder = os.path.abspath(folder)
        self.env = wine_env(self.build)
        self.exe = os.path.join(self.build, "shell", "KWPAGE.exe")
        self.hostplayer = os.path.join(self.build, "tools", "hostplayer", "hostplayer.exe")
        self.program = None

    def ready(self):
        return os.path.isfile(self.exe) and os.path.isfile(self.hostplayer)

    def prepare(self, works):
        """works: dicts with name, template, page, codepage, update and optionally ftp_port, ftp_file and
        extra (more lines of the work's section)."""
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        shutil.copy(self.exe, self.folder)
        for lng in ("KWPAGE.Russian.lng", "KWPAGE.English.lng"):
            shutil.copy(os.path.join(ROOT, "dist", lng), self.folder)
        lines = ["[Settings]", "PID=1", "Hide=0", "Language=Russian.lng"]
        for n, w in enumerate(works):
            lines += [f"[File2601010{n:05d}]", f"Name={w['name']}", "FileIn=" + wine_path(self.path(w["template"])),
                      "FileOut=" + wine_path(self.path(w["page"])), f"Update={w.get('update', 900)}",
                      f"CodePage={w.get('codepage', 1)}", "UseFTP=" + ("1" if "ftp_port" in w else "0")]
            if "ftp_port" in w:
                lines += ["FTPServer=127.0.0.1", f"FTPPort={w['ftp_port']}", "FTPPassive=1", "FTPUTF8=0",
                          "FTPLogin=kw", "FTPPass=" + scramble("secret"), "FTPPath=/", f"FIPFile={w['ftp_file']}"]
            lines += w.get("extra", [])
        self.write("KWPAGE.ini", ("\r\n".join(lines) + "\r\n").encode("cp1251"))

    def path(self, name):
        return os.path.join(self.folder, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("utf-8"))

    def start(self):
        self.program = subprocess.Popen(["wine", self.path("KWPAGE.exe")], cwd=self.folder, env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        return self.program

    def host(self, script_name, script, window_class=None, stdout=subprocess.PIPE):
        """Starts the host player on a script (written into the folder); returns the process."""
        self.write(script_name, script)
        command = ["wine", self.hostplayer, wine_path(self.path(script_name)), "--wait", "30000"]
        if window_class:
            command += ["--class", window_class]
        return subprocess.Popen(command, cwd=self.folder, env=self.env, stdin=subprocess.DEVNULL, stdout=stdout,
                                stderr=subprocess.STDOUT)

    def stop(self, probe=None, timeout=60):
        """Ends the program as Windows does at log-off (when a probe is given), else kills it."""
        if self.program is None or self.program.poll() is not None:
            return
        if probe:
            subprocess.run(["wine", probe, "endsession", "TKW_PAGE", "10000"], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            try:
                self.program.wait(timeout=timeout)
                return
            except subprocess.TimeoutExpired:
                pass
        self.program.kill()
        self.program.wait(timeout=30)


def wait_until(condition, limit, step=0.1):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        if condition():
            return True
        time.sleep(step)
    return condition()


def bench_arguments(run_name, elements, *extra):
    """The command line of the end-to-end benches: the build, the number of elements, a work
    folder (default: bench/e2e/<run_name> in the build), and any (flag, options) of a bench's own.
    Gives the parsed arguments with `build` and `work` as absolute paths."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--elements", type=int, default=elements)
    parser.add_argument("--work", default=None)
    for flag, options in extra:
        parser.add_argument(flag, **options)
    args = parser.parse_args()
    args.build = os.path.abspath(args.build_dir)
    args.work = os.path.abspath(args.work or os.path.join(args.build, "bench", "e2e", run_name))
    return args

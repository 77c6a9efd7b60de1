#!/usr/bin/python3
"""Soak of KWPAGE.exe under Wine: a fast host (an element every 200 ms, playlist and state every
second) and 20 works (two of them uploading to a local pyftpdlib, two showing the broadcast 3 s
and 10 s late, one of those only when changed), for some minutes. Samples the
program's handles, threads, memory and CPU every 10 s and fails on growth beyond these bounds,
comparing the median of the first quarter of samples (after a 30 s warm-up) with the last:

    handles +64 (and Linux descriptors +64), threads +8 (Windows and Linux counts),
    working set and resident set +16 MiB each

At the end every page must decode in its code page, hold every line of the template, and show
the host's last element and state; the uploaded pages must equal the local ones.

    soak.py --build-dir WIN_BUILD --minutes N --work DIR      (under xvfb-run; exit 1 when not built)
"""
import argparse
import os
import re
import signal
import statistics
import subprocess
import sys
import time

import station as st

HERE = os.path.dirname(os.path.abspath(__file__))
CODECS = {0: "cp1251", 1: "utf-8", 2: "koi8_r", 3: "koi8_u", 4: "cp866"}
# Wine answers GetProcessHandleCount and the private bytes of another process with 0, so the
# handles are also counted as the Linux file descriptors of the Wine process (every file,
# socket and event of the program is one there) and memory as its working set and resident set.
BOUNDS = {"handles": 64, "linux_fds": 64, "threads": 8, "linux_threads": 8, "working_set_kb": 16 * 1024,
          "vmrss_kb": 16 * 1024}
TEMPLATE = ("BEGIN\nartist=!KW!SongArtist\ntitle=!KW!ElementTitle\nnext=!KW!PlayListArtist0\n"
            "msg=!KW!SysMSG\nclock=!KW!ClockName\nonline=!KW!StudioOnline\nEND\n")


def start_ftp(folder):
    os.makedirs(os.path.join(folder, "root"), exist_ok=True)
    port_file = os.path.join(folder, "port")
    if os.path.exists(port_file):
        os.remove(port_file)
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "..", "delivery", "ftp_server.py"), "pyftpdlib",
                               os.path.join(folder, "root"), port_file], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    if not st.wait_until(lambda: os.path.exists(port_file), 10):
        server.kill()
        raise RuntimeError("pyftpdlib did not start")
    with open(port_file) as f:
        return server, int(f.read())


def host_script(seconds):
    lines = ["connect", "wait 1500"]
    for s in range(seconds):
        lines += ["playlist", f'item type=0 duration=200000 artist="Очередь {s}" title="Дальше"', "end",
                  "state", f"SYSMSG=такт {s}", f"C_CLOCKNAME=Час {s // 3600}", "PLAYER=1", "end"]
        for e in range(5):
            lines += [f'element song=0 type=2 duration=180000 artist="Артист {s}" title="Элемент {s}.{e}"', "wait 200"]
    lines += ["playlist", 'item type=0 duration=1000 artist="Последний" title="x"', "end",
              "state", "SYSMSG=конец", "C_CLOCKNAME=Итог", "end",
              'element song=0 type=2 duration=1000 artist="Финал" title="Последний элемент"',
              "wait 20000"]  # every work renders once more with the last state (period 15 s)
    return "\n".join(lines) + "\n"


def linux_pid(folder):
    """The Wine process of this station's KWPAGE.exe: its command names the exe, its folder is ours."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                first = f.read().split(b"\0")[0].decode("utf-8", "replace").lower()
            same_folder = os.path.realpath(f"/proc/{pid}/cwd") == os.path.realpath(folder)
        except OSError:
            continue
        if first.endswith("kwpage.exe") and same_folder:
            return int(pid)
    return None


def proc_status(pid):
    values = {}
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                key, _, value = line.partition(":")
                if key in ("VmRSS", "Threads"):
                    values[key] = int(value.split()[0])
    except (OSError, TypeError):
        pass
    return values


def sample(station, probe, pid):
    out = subprocess.run(["wine", probe, "sample", "TKW_PAGE"], env=station.env, capture_output=True, timeout=60)
    values = {k: int(v) for k, v in re.findall(r"(\w+)=(\d+)", out.stdout.decode())}
    linux = proc_status(pid)
    values["vmrss_kb"] = linux.get("VmRSS", 0)
    values["linux_threads"] = linux.get("Threads", 0)
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        values["linux_cpu_ms"] = (int(fields[11]) + int(fields[12])) * 1000 // os.sysconf("SC_CLK_TCK")
    except (OSError, TypeError, IndexError, ValueError):
        values["linux_cpu_ms"] = 0
    try:
        values["linux_fds"] = len(os.listdir(f"/proc/{pid}/fd"))
    except (OSError, TypeError):
        values["linux_fds"] = 0
    values["time"] = time.monotonic()
    return values


def check_growth(samples):
    failures = []
    quarter = max(1, len(samples) // 4)
    first, last = samples[:quarter], samples[-quarter:]
    for key, bound in BOUNDS.items():
        a = statistics.median(s.get(key, 0) for s in first)
        b = statistics.median(s.get(key, 0) for s in last)
        status = "ok" if b - a <= bound else "GROWTH"
        print(f"  {key:14s} first {a:10.0f}   last {b:10.0f}   growth {b - a:+8.0f}   bound +{bound}  {status}")
        if b - a > bound:
            failures.append(f"{key} grew by {b - a:.0f} (bound {bound})")
    return failures


def check_pages(station, works, ftp_root):
    failures = []
    for w in works:
        try:
            with open(station.path(w["page"]), "rb") as f:
                raw = f.read()
            text = raw.decode(CODECS[w["codepage"]])
        except (OSError, UnicodeDecodeError) as e:
            failures.append(f"{w['page']}: {e}")
            continue
        lines = text.split("\r\n")
        want = ["BEGIN", "artist=Финал", "title=Последний элемент", "next=Последний", "msg=конец",
                "clock=Итог", "online=N", "END", ""]
        if lines != want:
            failures.append(f"{w['page']}: {lines!r}")
        if "ftp_file" in w:
            try:
                with open(os.path.join(ftp_root, w["ftp_file"]), "rb") as f:
                    if f.read() != raw:
                        failures.append(f"{w['ftp_file']} on the server differs from {w['page']}")
            except OSError as e:
                failures.append(f"{w['ftp_file']}: {e}")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--minutes", type=float, default=30)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    station = st.Station(build, os.path.join(os.path.abspath(args.work), "station"))
    probe = os.path.join(build, "tests", "e2e", "e2e_process_probe.exe")
    if not station.ready() or not os.path.isfile(probe):
        print("KWPAGE.exe, the host player or e2e_process_probe.exe is not built")
        return 1
    ftp, port = start_ftp(os.path.join(os.path.abspath(args.work), "ftp"))
    ftp_root = os.path.join(os.path.abspath(args.work), "ftp", "root")
    works = [{"name": f"work{n:02d}", "template": "page.tpl", "page": f"page{n:02d}.txt", "codepage": n % 5,
              "update": 15} for n in range(20)]
    for n in (3, 11):
        works[n].update(ftp_port=port, ftp_file=f"upload{n:02d}.txt")
    # The delayed works keep ten seconds of the host's states (about sixty): memory stays flat.
    works[5]["extra"] = ["Delay=3"]
    works[6]["extra"] = ["Delay=10", "OnlyChanged=1"]
    failures = []
    try:
        station.prepare(works)
        station.write("page.tpl", TEMPLATE)
        seconds = int(args.minutes * 60)
        station.start()
        host = station.host("soak.hps", host_script(seconds), stdout=open(station.path("host.out"), "wb"))
        time.sleep(5)
        pid = linux_pid(station.folder)
        if pid is None:
            failures.append("the Wine process of KWPAGE.exe was not found in /proc")
        samples = []
        start = time.monotonic()
        while host.poll() is None and time.monotonic() - start < seconds + 120:
            s = sample(station, probe, pid)
            if "pid" in s and time.monotonic() - start > 30:
                samples.append(s)
            time.sleep(10)
        if host.poll() is None:
            failures.append("the host player did not finish")
            host.kill()
        elif host.returncode != 0:
            failures.append(f"the host player ended with {host.returncode}")
        print(f"soak: {args.minutes:g} min, 20 works (2 with FTP, 2 delayed), {len(samples)} samples")
        if len(samples) >= 2:
            failures += check_growth(samples)
            cpu = (samples[-1]["linux_cpu_ms"] - samples[0]["linux_cpu_ms"]) / ((samples[-1]["time"] - samples[0]["time"]) * 1000)
            peak = max(s["threads"] for s in samples)
            print(f"  CPU {cpu * 100:.1f} % of one core on average; peak threads {peak}; "
                  f"Linux pid {pid}, gdi {samples[-1].get('gdi', 0)}, "
                  f"user {samples[-1].get('user', 0)}")
        else:
            failures.append("too few samples")
        failures += check_pages(station, works, ftp_root)
        code = subprocess.run(["wine", probe, "endsession", "TKW_PAGE"], env=station.env, timeout=60).returncode
        if code != 0:
            failures.append("KWPAGE did not agree to end the session")
        try:
            if station.program.wait(timeout=60) != 0:
                failures.append(f"KWPAGE ended with {station.program.returncode}")
        except subprocess.TimeoutExpired:
            failures.append("KWPAGE did not close within 60 s of the end of the session")
    finally:
        station.stop()
        ftp.send_signal(signal.SIGTERM)
        ftp.wait(timeout=30)
    for f in failures:
        print("FAIL:", f)
    print("soak passed" if not failures else "soak FAILED")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

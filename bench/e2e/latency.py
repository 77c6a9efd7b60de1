#!/usr/bin/python3
"""Host-to-page latency of KWPAGE.exe under Wine, beside the design's own floor.

The host player reports ELEMENTS elements, each with its number as the title, at random gaps of
250..400 ms (longer than a render, so no element meets a running render). A watcher polls the
page every millisecond and notes when the number appears. Latency = page seen - element sent
(the host player prints a mark just before each send).

The reference, measured the same way in the same run and in turns with KWPAGE (a round of
elements each): e2e_latency_floor, a window that writes the page exactly 100 ms after the
element (the delay the program promises), under the same Wine, timers and file system.

    xvfb-run -a /usr/bin/python3 bench/e2e/latency.py --build-dir build/<you>-win [--elements 200]

The build must have KW_BENCH=ON (for e2e_latency_floor). Exit 77 when something is not built.
"""
import os
import random
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import station as st  # noqa: E402


class PageWatcher(threading.Thread):
    """Notes the first time each page content is seen (polling every millisecond)."""

    def __init__(self, page):
        super().__init__(daemon=True)
        self.page = page
        self.seen = {}
        self.stop = False
        self.last = None

    def run(self):
        while not self.stop:
            try:
                s = os.stat(self.page)
                key = (s.st_mtime_ns, s.st_size)
                if key != self.last:
                    with open(self.page, "rb") as f:
                        text = f.read().decode("utf-8", "replace").strip()
                    now = time.monotonic()
                    self.last = key
                    self.seen.setdefault(text, now)
            except OSError:
                pass
            time.sleep(0.001)


def host_script(elements, seed, first=0):
    rnd = random.Random(seed)
    lines = ["connect", "wait 1500"]
    for i in range(first, first + elements):
        lines += [f"print send {i}", f'element song=0 type=2 duration=180000 artist="Бенчмарк" title="e{i}"',
                  f"wait {rnd.randint(250, 400)}"]
    lines.append("wait 1000")
    return "\n".join(lines) + "\n"


def play_and_mark(station, name, script, window_class, seconds):
    """Runs the host player with `script` (at most `seconds`); returns {"e<n>": time of its "send n" mark}."""
    # The player's output goes to a file, not a pipe: Wine's helper processes inherit the
    # handle and would hold a pipe open after the player has ended.
    out_name = station.path(f"{name}.out")
    with open(out_name, "wb") as out:
        host = station.host(f"{name}.hps", script, window_class, stdout=out)
    sent = {}
    limit = time.monotonic() + seconds
    with open(out_name, "rb") as out:
        pending = b""
        while time.monotonic() < limit:
            chunk = out.read()
            if chunk:
                pending += chunk
                *lines, pending = pending.split(b"\n")
                now = time.monotonic()
                for raw in lines:
                    line = raw.decode("utf-8", "replace").strip()
                    if line.startswith("send "):
                        sent[f"e{line.split()[1]}"] = now
            elif host.poll() is not None:
                break
            else:
                time.sleep(0.001)
    if host.poll() is None:
        host.kill()
    host.wait(timeout=30)
    return sent


def measure(station, name, window_class, page, elements, seed, first=0):
    """Elements numbered from `first` (each round its own numbers, so no page of an earlier
    round counts)."""
    watcher = PageWatcher(page)
    watcher.start()
    sent = play_and_mark(station, name, host_script(elements, seed, first), window_class, 60 + elements * 0.5)
    time.sleep(0.5)
    watcher.stop = True
    watcher.join(timeout=5)
    latencies = [(watcher.seen[k] - t) * 1000 for k, t in sent.items() if k in watcher.seen]
    return latencies, len(sent)


def summary(latencies):
    ordered = sorted(latencies)
    p99 = ordered[min(len(ordered) - 1, int(round(0.99 * (len(ordered) - 1))))]
    return statistics.median(ordered), p99


def main():
    args = st.bench_arguments("latency-run", 200, ("--rounds", {"type": int, "default": 5}))
    build, work = args.build, args.work
    station = st.Station(build, work)
    floor_exe = os.path.join(build, "bench", "e2e", "e2e_latency_floor.exe")
    if not station.ready() or not os.path.isfile(floor_exe):
        print("KWPAGE.exe, the host player or e2e_latency_floor.exe (KW_BENCH=ON) is not built")
        return 77
    station.prepare([{"name": "latency", "template": "page.tpl", "page": "page.txt", "codepage": 1,
                      "update": 900}])
    station.write("page.tpl", "!KW!ElementTitle\n")
    seed = 20261207

    # Both run side by side in the same prefix and take the elements in turns, a round each,
    # with the same host player and watcher, so a change of the machine's load falls on both.
    floor = subprocess.Popen(["wine", floor_exe, st.wine_path(station.path("floor.txt"))], cwd=station.folder,
                             env=station.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    floor_lat, kw_lat, floor_sent, kw_sent = [], [], 0, 0
    rounds = max(1, args.rounds)
    per_round = max(1, args.elements // rounds)
    try:
        station.start()
        try:
            for r in range(rounds):
                first = r * per_round
                lat, n = measure(station, f"floor{r}", "KWFloor", station.path("floor.txt"), per_round, seed + r, first)
                floor_lat += lat
                floor_sent += n
                lat, n = measure(station, f"kwpage{r}", None, station.path("page.txt"), per_round, seed + r, first)
                kw_lat += lat
                kw_sent += n
        finally:
            station.stop()
    finally:
        floor.kill()
        floor.wait(timeout=30)

    if not kw_lat or not floor_lat:
        print(f"no page seen: KWPAGE {len(kw_lat)}/{kw_sent}, floor {len(floor_lat)}/{floor_sent}")
        return 1
    kw_med, kw_p99 = summary(kw_lat)
    fl_med, fl_p99 = summary(floor_lat)
    print(f"elements: KWPAGE {len(kw_lat)}/{kw_sent} pages seen, floor {len(floor_lat)}/{floor_sent}")
    print(f"KWPAGE  median {kw_med:7.1f} ms   p99 {kw_p99:7.1f} ms   min {min(kw_lat):6.1f}   max {max(kw_lat):6.1f}")
    print(f"floor   median {fl_med:7.1f} ms   p99 {fl_p99:7.1f} ms   min {min(floor_lat):6.1f}   max {max(floor_lat):6.1f}")
    print(f"ratio KWPAGE/floor: median {kw_med / fl_med:.2f}   p99 {kw_p99 / fl_p99:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Element-to-Icecast-title latency of KWPAGE.exe under Wine, beside two references of the same run.

Debian's icecast2 runs on 127.0.0.1 with a source on /live (tests/delivery/icecast_server.py). One
work renders `!KW!ElementTitle` into a page and, as its HTTP target, sends the title update
`GET /admin/metadata?mount=/live&mode=updinfo&charset=UTF-8&song=!KW!ElementTitle` with the admin
credentials. The host player reports ELEMENTS elements, each with its number as the title, at
random gaps of 700..1000 ms: longer than Icecast takes to list a title (about 250 ms here), so
no title is replaced before it was seen, and no element meets a running render (which would hold
it back to the work's next period, by design). Two watchers note when each title appears: one polls the page on disk
every millisecond, one asks Icecast's /status-json.xsl every 2 ms over a kept-open connection.

Figures (milliseconds from the host player's mark just before the element message):
  title   element -> Icecast lists the title (what listeners' players show next)
  page    element -> the page on disk, same run: the road up to the delivery
  title - page, per element: what the HTTP target adds (request, Icecast's update)
and the physical reference: ICECAST_DIRECT updates sent by a native client (Python's http.client,
one connection per update as our target opens one) to the same server, each followed by the same
status polling: what the server and the watcher need with nothing of ours in between. The ratio
(title - page) / direct says how much our road adds over a bare request to the same server.

    cmake -S . -B build/<you>-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
    cmake --build build/<you>-win --target KWPAGE hostplayer
    . scripts/wine-env.sh; kw_wine_env $PWD/build/<you>-win
    xvfb-run -a /usr/bin/python3 bench/e2e/icecast_latency.py --build-dir build/<you>-win [--elements 200]

Exit 77 when KWPAGE.exe, the host player or icecast2 is missing.
"""
import base64
import http.client
import json
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, HERE)
import station as st  # noqa: E402
from latency import PageWatcher, play_and_mark, summary  # noqa: E402

ICECAST_DIRECT = 100


def host_script(elements, seed):
    rnd = random.Random(seed)
    lines = ["connect", "wait 1500"]
    for i in range(elements):
        lines += [f"print send {i}", f'element song=0 type=2 duration=180000 artist="Бенчмарк" title="e{i}"',
                  f"wait {rnd.randint(700, 1000)}"]
    lines.append("wait 1500")
    return "\n".join(lines) + "\n"


class TitleWatcher(threading.Thread):
    """Notes the first time each title is listed by Icecast (polling every 2 ms)."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.port = port
        self.seen = {}
        self.stop = False
        self.last = None

    def title(self, conn):
        conn.request("GET", "/status-json.xsl")
        body = conn.getresponse().read()
        source = json.loads(body.decode("utf-8", "replace")).get("icestats", {}).get("source", {})
        if isinstance(source, list):
            source = source[0] if source else {}
        return source.get("title")

    def run(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        while not self.stop:
            try:
                t = self.title(conn)
                now = time.monotonic()
                if t is not None and t != self.last:
                    self.last = t
                    self.seen.setdefault(t, now)
            except (OSError, ValueError, http.client.HTTPException):
                conn.close()
                conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
            time.sleep(0.002)
        conn.close()


def start_icecast(folder):
    """icecast2 with a source on /live; returns (process, port) or (None, None)."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "delivery", "icecast_server.py"),
                               folder], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    port_file = os.path.join(folder, "port")
    if not st.wait_until(lambda: os.path.isfile(port_file) or server.poll() is not None, 30):
        pass
    if not os.path.isfile(port_file):
        stop_icecast(server)
        return None, None
    with open(port_file) as f:
        return server, int(f.read())


def stop_icecast(server):
    server.send_signal(signal.SIGTERM)
    try:
        server.wait(timeout=10)
    except subprocess.TimeoutExpired:
        server.kill()
        server.wait(timeout=10)


def direct_updates(port, count):
    """The reference: native title updates to the same server, each timed until the status lists it."""
    auth = "Basic " + base64.b64encode(b"admin:hackme").decode()
    watcher = TitleWatcher(port)
    watcher.start()
    sent = {}
    try:
        for i in range(count):
            title = f"d{i}"
            query = urllib.parse.urlencode({"mount": "/live", "mode": "updinfo", "charset": "UTF-8", "song": title})
            sent[title] = time.monotonic()
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
            conn.request("GET", "/admin/metadata?" + query, headers={"Authorization": auth})
            conn.getresponse().read()
            conn.close()
            st.wait_until(lambda: title in watcher.seen, 5, 0.001)
            time.sleep(0.05)
    finally:
        watcher.stop = True
        watcher.join(timeout=5)
    return [(watcher.seen[k] - t) * 1000 for k, t in sent.items() if k in watcher.seen]


def prepare(station, port):
    station.prepare([{"name": "icecast", "template": "page.tpl", "page": "page.txt", "codepage": 1, "update": 900}])
    station.write("page.tpl", "!KW!ElementTitle\n")
    url = (f"http://127.0.0.1:{port}/admin/metadata?mount=/live&mode=updinfo&charset=UTF-8"
           "&song=!KW!ElementTitle")
    with open(station.path("KWPAGE.ini"), "ab") as f:
        f.write(("\r\n".join(["Target=HTTP", "HTTPMethod=GET", "HTTPURL=" + url, "HTTPLogin=admin",
                              "HTTPPass=" + st.scramble("hackme")]) + "\r\n").encode("cp1251"))


def run_elements(station, port, elements, seed):
    page = PageWatcher(station.path("page.txt"))
    titles = TitleWatcher(port)
    page.start()
    titles.start()
    sent = play_and_mark(station, "host", host_script(elements, seed), None, 60 + elements * 1.2)
    time.sleep(1.0)
    for w in (page, titles):
        w.stop = True
        w.join(timeout=5)
    return sent, page.seen, titles.seen


def line(name, values):
    med, p99 = summary(values)
    return f"{name:<14} median {med:7.1f} ms   p99 {p99:7.1f} ms   min {min(values):6.1f}   max {max(values):6.1f}"


def main():
    args = st.bench_arguments("icecast-run", 200)
    build, work = args.build, args.work
    station = st.Station(build, os.path.join(work, "station"))
    if not station.ready() or not os.path.isfile("/usr/bin/icecast2"):
        print("KWPAGE.exe, the host player or /usr/bin/icecast2 is missing")
        return 77
    server, port = start_icecast(os.path.join(work, "icecast"))
    if server is None:
        print("icecast2 did not start")
        return 1
    try:
        direct = direct_updates(port, ICECAST_DIRECT)
        prepare(station, port)
        station.start()
        try:
            sent, pages, titles = run_elements(station, port, args.elements, 20261208)
        finally:
            station.stop()
    finally:
        stop_icecast(server)

    title_lat = [(titles[k] - t) * 1000 for k, t in sent.items() if k in titles]
    page_lat = [(pages[k] - t) * 1000 for k, t in sent.items() if k in pages]
    added = [(titles[k] - pages[k]) * 1000 for k in sent if k in titles and k in pages]
    if not title_lat or not page_lat or not direct:
        print(f"too little seen: titles {len(title_lat)}/{len(sent)}, pages {len(page_lat)}, direct {len(direct)}")
        return 1
    print(f"elements sent {len(sent)}: titles seen {len(title_lat)}, pages seen {len(page_lat)}; "
          f"direct updates {len(direct)}/{ICECAST_DIRECT}")
    print(line("title", title_lat))
    print(line("page", page_lat))
    print(line("title - page", added))
    print(line("direct", direct))
    print(f"ratio (title - page) / direct: median {summary(added)[0] / summary(direct)[0]:.2f}   "
          f"p99 {summary(added)[1] / summary(direct)[1]:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

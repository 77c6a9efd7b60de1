#!/usr/bin/python3
"""Element -> DOM through the live server, beside element -> file, in the same run.

The real KWPAGE.exe under Wine serves one live work (UTF-8 HTML that includes /live.js). A native
headless Chromium shows the work's page from the live server; the page script follows the work's
event stream and puts each new page into the DOM without a reload. The host player reports
ELEMENTS elements (the number as the title) at random gaps of 250..400 ms. For each element:
  element -> file: the page's new content on disk (polled every millisecond, as latency.py),
  element -> DOM:  the page script's "kwpage:updated" event with the new title, stamped in the
                   browser (performance.timeOrigin + now(), the wall clock).
Both from the host player's mark printed just before each send. The file is the DOM's floor:
the live server can push a page only once it is written.

    . scripts/wine-env.sh; kw_wine_env $PWD/build/<you>-win
    xvfb-run -a /usr/bin/python3 bench/e2e/live_latency.py --build-dir build/<you>-win [--elements 20]

Exit 77 when KWPAGE.exe, the host player or Chromium is missing.
"""
import json
import os
import re
import socket
import statistics
import sys
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "live"))
sys.path.insert(0, HERE)
import station as st  # noqa: E402
import latency  # noqa: E402
import live_browser  # noqa: E402

WORK_ID = "File260101000000"  # the station's first work
TEMPLATE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><meta http-equiv="refresh" content="30">
<title>!KW!ElementTitle</title><script src="/live.js"></script></head>
<body><p id="song">!KW!ElementTitle</p></body></html>
"""
# Installed once the first page shows: the page script's window outlives every page it puts in.
# A follower of its own on the work's event stream tells when each "updated" event reached the
# browser, which splits element -> DOM into the server's push and the page script's fetch.
RECORDER = """window.kwSeen = []; window.kwEvents = {};
function kwNow() { return performance.timeOrigin + performance.now(); }
document.addEventListener("kwpage:updated", function (e) {
  var p = document.getElementById("song");
  window.kwSeen.push([kwNow(), p ? p.textContent.trim() : "", e.detail.version]);
});
new EventSource(location.pathname + "/events").addEventListener("updated", function (e) {
  if (!(e.data in window.kwEvents)) window.kwEvents[e.data] = kwNow();
});
true"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def enable_live(station, port):
    """The station's settings with the live server on at `port`."""
    path = station.path("KWPAGE.ini")
    with open(path, "rb") as f:
        text = f.read()
    text = text.replace(b"[Settings]\r\n", b"[Settings]\r\nLiveServer=1\r\nLivePort=%d\r\n" % port, 1)
    with open(path, "wb") as f:
        f.write(text)


def served(url):
    try:
        with urllib.request.urlopen(url, timeout=2) as r:
            return r.status == 200
    except OSError:
        return False


def summary(values):
    return latency.summary(values)


def main():
    args = st.bench_arguments("live-latency-run", 20)
    build, work = args.build, args.work
    station = st.Station(build, work)
    if not station.ready() or not os.path.isfile(live_browser.BROWSER):
        print("KWPAGE.exe, the host player or " + live_browser.BROWSER + " is missing")
        return 77
    station.prepare([{"name": "live", "template": "live.tpl", "page": "live.html", "codepage": 1, "update": 900,
                      "extra": ["ServeLive=1"]}])
    station.write("live.tpl", TEMPLATE)
    port = free_port()
    enable_live(station, port)
    url = "http://127.0.0.1:%d/works/%s" % (port, WORK_ID)

    browser = None
    station.start()
    try:
        # the start-up render, then the page from the server
        if not st.wait_until(lambda: os.path.exists(station.path("live.html")) and served(url), 60):
            print("the live server did not serve the work's page")
            return 1
        browser = live_browser.Browser(os.path.join(work, "profile"))
        target = browser.call("Target.createTarget", {"url": url})
        session = browser.call("Target.attachToTarget", {"targetId": target["targetId"], "flatten": True})["sessionId"]

        def evaluate(expression):
            r = browser.call("Runtime.evaluate", {"expression": expression, "returnByValue": True}, session)
            return r.get("result", {}).get("value")

        if not st.wait_until(lambda: evaluate("!!document.getElementById('song')"), 20, 0.05):
            print("Chromium did not show the page")
            return 1
        evaluate(RECORDER)
        time.sleep(1.0)  # the event stream is up

        wall = time.time() - time.monotonic()  # the browser's stamps are on the wall clock
        watcher = latency.PageWatcher(station.path("live.html"))
        watcher.start()
        sent = latency.play_and_mark(station, "host", latency.host_script(args.elements, 20261210), None,
                                     60 + args.elements * 0.5)
        time.sleep(1.0)
        watcher.stop = True
        watcher.join(timeout=5)
        seen_dom, seen_event = {}, {}
        events = json.loads(evaluate("JSON.stringify(window.kwEvents)"))
        for stamp, text, version in json.loads(evaluate("JSON.stringify(window.kwSeen)")):
            seen_dom.setdefault(text, stamp / 1000.0 - wall)
            if str(version) in events:
                seen_event.setdefault(text, events[str(version)] / 1000.0 - wall)
        # where the page script's fetch of each new page spends its time
        fetches = json.loads(evaluate(
            "JSON.stringify(performance.getEntriesByType('resource').filter(function (r) {"
            " return r.name.indexOf('?v=') > 0; }).map(function (r) { return [r.connectEnd - r.startTime,"
            " r.responseStart - r.startTime, r.responseEnd - r.startTime, r.duration]; }))"))
    finally:
        if browser:
            browser.close()
        station.stop()

    seen_file = {}
    for text, t in watcher.seen.items():
        m = re.search(r'id="song">(e\d+)<', text)
        if m:
            seen_file.setdefault(m.group(1), t)
    file_lat, dom_lat, event_lat, ratio = [], [], [], []
    for key, t in sent.items():
        if key in seen_file and key in seen_dom:
            f, d = (seen_file[key] - t) * 1000, (seen_dom[key] - t) * 1000
            file_lat.append(f)
            dom_lat.append(d)
            ratio.append(d / f)
            if key in seen_event:
                event_lat.append((seen_event[key] - t) * 1000)
    # the recorder read back at the end: the tab was never reloaded
    print(f"elements {len(sent)}: file seen {len(seen_file)}, DOM updated in place {len(seen_dom)}, both {len(dom_lat)}")
    if not dom_lat:
        return 1
    f_med, f_p99 = summary(file_lat)
    d_med, d_p99 = summary(dom_lat)
    print(f"element -> file  median {f_med:7.1f} ms   p99 {f_p99:7.1f} ms   min {min(file_lat):6.1f}   max {max(file_lat):6.1f}")
    print(f"element -> DOM   median {d_med:7.1f} ms   p99 {d_p99:7.1f} ms   min {min(dom_lat):6.1f}   max {max(dom_lat):6.1f}")
    if event_lat:
        e_med, e_p99 = summary(event_lat)
        print(f"element -> event median {e_med:7.1f} ms   p99 {e_p99:7.1f} ms   (the \"updated\" event in the browser)")
    if fetches:
        parts = [statistics.median(f[i] for f in fetches) for i in range(4)]
        print("page fetch (median, ms after its start): connected %.1f, first byte %.1f, last byte %.1f, whole %.1f"
              % tuple(parts))
    print(f"ratio DOM/file: median {d_med / f_med:.2f}   p99 {d_p99 / f_p99:.2f}"
          f"   (per element: median {sorted(ratio)[len(ratio) // 2]:.2f})")
    return 0 if len(dom_lat) == len(sent) else 1


if __name__ == "__main__":
    sys.exit(main())

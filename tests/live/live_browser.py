#!/usr/bin/python3
"""Headless Chromium on a live page: the page's DOM follows every new version without a reload.

    live_browser.py SERVER WORK_DIR

SERVER is browser_server (the live server with a command line). For each of the five code pages a
work is made live with a page in that code page; Chromium opens it from the server; then new
versions are published and the page's text is read through the DevTools protocol (over
--remote-debugging-pipe) until it shows each one. A reload would show in the page's load counter
(kept in sessionStorage, which a reload of the tab keeps); the page's meta refresh of 2 s must
not fire while the stream is up. Prints the publish -> DOM times.

Exit codes: 0 passed, 1 failed (a Chromium that cannot start fails too).
"""
import fcntl
import json
import os
import statistics
import subprocess
import sys
import time

BROWSER = "/usr/bin/chromium"
LIMIT = 20  # seconds for one step

CODE_PAGES = [  # (work, charset as served and declared, Python codec, song text)
    ("File1251", "windows-1251", "cp1251", "Песня"),
    ("FileUtf8", "utf-8", "utf-8", "Пісня ґ"),
    ("FileKoi8r", "koi8-r", "koi8_r", "Песня"),
    ("FileKoi8u", "koi8-u", "koi8_u", "Пісня ґ"),
    ("File866", "ibm866", "cp866", "Песня"),
]

PAGE = """<!DOCTYPE html>
<html><head><meta charset="{charset}"><meta http-equiv="refresh" content="2">
<title>{song} {n}</title>
<script>sessionStorage.loads = (parseInt(sessionStorage.loads || "0", 10) + 1);</script>
<script src="/live.js"></script>
</head><body><p id="song">{song} {n}</p></body></html>
"""


class Browser:
    """Chromium with the DevTools protocol on fds 3 (to it) and 4 (from it)."""

    def __init__(self, profile):
        to_r, self.to_w = os.pipe()
        self.from_r, from_w = os.pipe()
        # above 3 and 4, so that putting them there in the child moves neither over the other
        for name in ("to_r", "from_w"):
            fd = locals()[name]
            high = fcntl.fcntl(fd, fcntl.F_DUPFD, 10)
            os.close(fd)
            if name == "to_r":
                to_r = high
            else:
                from_w = high

        def fds():
            os.dup2(to_r, 3)
            os.dup2(from_w, 4)

        self.proc = subprocess.Popen(
            [BROWSER, "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
             "--disable-extensions", "--no-first-run", "--user-data-dir=" + profile,
             "--remote-debugging-pipe", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=fds, pass_fds=(3, 4))
        os.close(to_r)
        os.close(from_w)
        self.buffer = b""
        self.next_id = 0

    def call(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_w, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + LIMIT
        while time.monotonic() < deadline:
            while b"\0" in self.buffer:
                raw, self.buffer = self.buffer.split(b"\0", 1)
                reply = json.loads(raw)
                if reply.get("id") == self.next_id:
                    if "error" in reply:
                        raise RuntimeError(method + ": " + json.dumps(reply["error"]))
                    return reply.get("result", {})
            chunk = os.read(self.from_r, 65536)
            if not chunk:
                raise RuntimeError("Chromium closed its pipe")
            self.buffer += chunk
        raise RuntimeError(method + ": no answer")

    def close(self):
        self.proc.kill()
        self.proc.wait(timeout=10)


def main():
    server_path, work_dir = sys.argv[1], sys.argv[2]
    os.makedirs(work_dir, exist_ok=True)
    server = subprocess.Popen([server_path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    port = int(server.stdout.readline().split()[1])

    def command(line):
        server.stdin.write(line + "\n")
        server.stdin.flush()
        if server.stdout.readline().strip() != "ok":
            raise RuntimeError("the server did not take: " + line)

    def publish(work, charset, codec, song, n):
        path = os.path.join(work_dir, "%s-%d.html" % (work, n))
        with open(path, "wb") as f:
            f.write(PAGE.format(charset=charset, song=song, n=n).encode(codec))
        command("page %s %s" % (work, path))

    browser = None
    failures = []
    times = []
    try:
        browser = Browser(os.path.join(work_dir, "profile"))
        for work, charset, codec, song in CODE_PAGES:
            command("work %s text/html; charset=%s" % (work, charset))
            publish(work, charset, codec, song, 1)
            target = browser.call("Target.createTarget", {"url": "http://127.0.0.1:%d/works/%s" % (port, work)})
            session = browser.call("Target.attachToTarget", {"targetId": target["targetId"], "flatten": True})["sessionId"]

            def read():
                r = browser.call("Runtime.evaluate", {"expression":
                    "(document.getElementById('song')||{}).textContent + '|' + sessionStorage.loads",
                    "returnByValue": True}, session)
                return r.get("result", {}).get("value")

            def wait_for(expected):
                end = time.monotonic() + LIMIT
                while time.monotonic() < end:
                    if read() == expected:
                        return True
                    time.sleep(0.005)
                return False

            if not wait_for("%s 1|1" % song):
                failures.append("%s: the first page did not show (%s)" % (work, read()))
                continue
            time.sleep(0.5)  # the stream is up
            for n in range(2, 7):
                start = time.monotonic()
                publish(work, charset, codec, song, n)
                if not wait_for("%s %d|1" % (song, n)):
                    failures.append("%s: version %d not shown in place (%s)" % (work, n, read()))
                    break
                times.append((time.monotonic() - start) * 1000)
            if work == CODE_PAGES[0][0]:
                time.sleep(3)  # past the page's meta refresh: the live stream stopped it
                if not read().endswith("|1"):
                    failures.append("%s: the meta refresh reloaded a live page (%s)" % (work, read()))
            browser.call("Target.closeTarget", {"targetId": target["targetId"]})
    except Exception as e:  # a browser that cannot start or answer fails the test
        failures.append("browser: %s" % e)
    finally:
        if browser:
            browser.close()
        server.stdin.close()
        server.wait(timeout=10)
    if times:
        times.sort()
        print("publish -> DOM: median %.1f ms, max %.1f ms over %d updates"
              % (statistics.median(times), times[-1], len(times)))
    for f in failures:
        print("FAIL " + f)
    return 1 if failures or len(times) != 25 else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Escaped values as their readers get them back.

Runs render_escaped_pages, then reads every page as its reader does: the HTML samples in
headless Chromium (the text of each element in the document the browser built), the JSON sample
with Python's json, the URL lines with urllib, the XML page with Python's XML parser. Each value
must come back exactly as the tag gives it without escaping; only what a format cannot hold at
all is replaced by U+FFFD (control characters other than TAB, LF, CR in HTML and XML).

    escaped_pages.py RENDERER TEMPLATES_DIR WORK_DIR

Exit codes: 0 passed, 1 failed.
"""
import codecs
import html
import json
import os
import re
import shutil
import subprocess
import sys
import urllib.parse
import xml.etree.ElementTree as ET

BROWSER = "/usr/bin/chromium"
BROWSER_TIMEOUT = 120
CODECS = {"windows-1251": "cp1251", "utf-8": "utf-8", "koi8-r": "koi8_r", "koi8-u": "koi8_u", "cp866": "cp866"}
FFFD = "\ufffd"


def whatwg_1251(error):
    # Browsers read the one byte Windows-1251 leaves unassigned (0x98) as U+0098 (the pages
    # never hold it: values write it as "_").
    bad = error.object[error.start:error.end]
    if bad == b"\x98":
        return "\x98", error.end
    raise error


codecs.register_error("kw_1251", whatwg_1251)


def decode(data, page):
    return data.decode(CODECS[page], errors="kw_1251")


def expected_texts(work):
    with open(os.path.join(work, "expected.json")) as f:
        raw = json.load(f)
    return {page: {tag: decode(bytes.fromhex(h), page) for tag, h in tags.items()} for page, tags in raw.items()}


class Checker:
    def __init__(self):
        self.failures = 0
        self.checked = 0

    def same(self, what, got, want):
        self.checked += 1
        if got != want:
            self.failures += 1
            if self.failures <= 20:
                print(f"FAIL {what}:\n  got  {got[:200]!r}\n  want {want[:200]!r}")


def dump_dom(path):
    with open(os.devnull, "w") as null:
        out = subprocess.run([BROWSER, "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                              "--disable-extensions", "--no-first-run", "--user-data-dir=" + os.path.dirname(path) + "/profile",
                              "--dump-dom", "file://" + path], stdout=subprocess.PIPE, stderr=null,
                             timeout=BROWSER_TIMEOUT, check=True)
    return out.stdout.decode("utf-8")


def check_html(check, templates, work, page, want):
    # Every element whose whole content is one tag; the browser's document holds the same
    # elements in the same order.
    template = open(os.path.join(templates, f"nowplaying-{page}.html"), "rb").read().decode("ascii", "replace")
    fields = re.findall(r'(<(\w+) (?:id|class)="[\w-]+">)!KW!(\w+)</\2>', template)
    assert len(fields) > 30, f"the {page} sample names too few fields"
    dom = dump_dom(os.path.join(work, f"html-{page}.html"))
    pos = 0
    for opening, element, tag in fields:
        start = dom.find(opening, pos)
        end = dom.find(f"</{element}>", start)
        if start < 0 or end < 0:
            check.same(f"HTML {page} {opening}{tag}", "<element missing>", want[tag])
            return
        got = html.unescape(dom[start + len(opening):end])
        check.same(f"HTML {page} {opening}{tag}", got, XML_ILLEGAL.sub(FFFD, want[tag]))
        pos = end


def walk(template, rendered, path=""):
    if isinstance(template, dict):
        for k in template:
            yield from walk(template[k], rendered.get(k) if isinstance(rendered, dict) else None, f"{path}.{k}")
    elif isinstance(template, list):
        for i, t in enumerate(template):
            yield from walk(t, rendered[i] if isinstance(rendered, list) and i < len(rendered) else None, f"{path}[{i}]")
    else:
        yield path, template, rendered


def check_json(check, templates, work, page, want):
    template = json.load(open(os.path.join(templates, "nowplaying.json"), encoding="ascii"))
    rendered = json.loads(decode(open(os.path.join(work, f"json-{page}.json"), "rb").read(), page))
    for path, tag, got in walk(template, rendered):
        check.same(f"JSON {page} {path}", got, want[tag[len("!KW!"):]])


def check_url(check, work, page, want_bytes):
    lines = open(os.path.join(work, f"url-{page}.txt"), "rb").read().split(b"\r\n")[:-1]
    assert len(lines) == 57, f"{len(lines)} URL lines"
    for line in lines:
        name, _, value = line.decode("ascii").partition("=")
        tag = name + "0" if name.startswith(("PlayList", "Played")) else name
        check.same(f"URL {page} {name}", urllib.parse.unquote_to_bytes(value), want_bytes[tag])
        check.same(f"URL {page} {name} is one query value", re.fullmatch(r"[A-Za-z0-9._~%-]*", value) is not None, True)


XML_ILLEGAL = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f]")


def check_xml(check, work, page, want):
    text = decode(open(os.path.join(work, f"xml-{page}.xml"), "rb").read(), page)
    text = text.split("?>", 1)[1]  # the text is decoded already
    root = ET.fromstring(text)
    for v in root:
        name = v.get("tag")
        tag = name + "0" if name.startswith(("PlayList", "Played")) else name
        value = XML_ILLEGAL.sub(FFFD, want[tag])
        check.same(f"XML {page} {name} text", v.text or "", value)
        check.same(f"XML {page} {name} attribute", v.get("a"), value)
        check.same(f"XML {page} {name} attribute in apostrophes", v.get("b"), value)


def main():
    renderer, templates, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    subprocess.run([renderer, templates, work], check=True, timeout=120)
    want = expected_texts(work)
    with open(os.path.join(work, "expected.json")) as f:
        want_bytes = {p: {t: bytes.fromhex(h) for t, h in tags.items()} for p, tags in json.load(f).items()}
    check = Checker()
    for page in CODECS:
        check_json(check, templates, work, page, want[page])
        check_url(check, work, page, want_bytes[page])
        check_xml(check, work, page, want[page])
        check_html(check, templates, work, page, want[page])
    print(f"{check.checked} values checked, {check.failures} failed")
    return 1 if check.failures or not check.checked else 0


if __name__ == "__main__":
    sys.exit(main())

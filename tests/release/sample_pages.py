#!/usr/bin/python3
"""The sample templates, rendered with Cyrillic values, as a web browser reads them.

The host's data are one host player script (HOST_SCRIPT). The pages are rendered either natively
by release_render_samples (mode "native") or by KWPAGE.exe under Wine (package_in_wine.py uses
check_pages() of this module); then every HTML page is opened in headless Chromium and checked
from the text of the document the browser built, never from the file's bytes, so a wrong charset
declaration, a template saved in the wrong code page or a value recoded wrongly all show.

    sample_pages.py native RENDERER TEMPLATES_DIR WORK_DIR

Exit codes: 0 passed, 1 failed (a missing Chromium fails too).
"""
import html.parser
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

BROWSER_TIMEOUT = 90  # seconds for one page; Chromium usually needs one or two

# Played entries start at whole quarter hours of 7 December 2026 (day 46363 since 30 December
# 1899); the fractions are exact in binary, so the times format without rounding doubt.
HOST_SCRIPT = """\
connect
wait 300
state
C_CLOCKTYPE=R
C_CLOCKNAME=Утренний эфир
N_CLOCKTYPE=B
N_CLOCKNAME=Ранкова Ґалерея: Їжак і Єнот
SOURCEINDEX=0
SOURCESTATUS=1
PLAYER=P
DETECTOR=I
EXCLMODE_C=0
SYSMSG=Всё в порядке: «Эфир» идёт
end
playlist
item type=0 duration=215000 artist="Земфира" title="Искала"
item type=4 duration=30000 artist="Реклама" title="Весна"
item type=0 duration=250000 artist="Би-2" title="Полковнику никто не пишет"
item type=0 duration=160000 artist="Мумий Тролль" title="Владивосток 2000"
end
played
item start=46363.75 type=0 duration=200000 artist="ДДТ" title="Что такое осень"
item start=46363.71875 type=4 duration=30000 artist="Реклама" title="Весна"
item start=46363.6875 type=0 duration=190000 artist="Сплин" title="Выхода нет"
item start=46363.625 type=0 duration=240000 artist="Аквариум" title="Поезд в огне"
end
block type=1 duration=3600000 name="Утренний блок"
element song=0 type=0 duration=183000 artist="Кино" title="Группа крови"
"""

# A host that has linked but sent nothing yet: every page must still be valid.
EMPTY_SCRIPT = "connect\n"

SONG_ARTIST = "Кино"
SONG_TITLE = "Группа крови"

# Page file -> the heading the template itself carries, in the template's own code page.
HTML_PAGES = {
    "nowplaying-windows-1251.html": "Сейчас в эфире",
    "nowplaying-utf-8.html": "Сейчас в эфире",
    "nowplaying-koi8-r.html": "Сейчас в эфире",
    "nowplaying-koi8-u.html": "Зараз в ефірі",
    "nowplaying-cp866.html": "Сейчас в эфире",
}

TIME = re.compile(r"^\d{1,2}:\d{2}:\d{2}$")
DATE = re.compile(r"^\d{2}\.\d{2}\.\d{4}$")

# Text of elements by id, as the browser's document holds it (whitespace collapsed).
EXPECTED_TEXT = {
    "song-artist": SONG_ARTIST,
    "song-title": SONG_TITLE,
    "song-duration": "03:03",
    "element-type": "M",
    "element-artist": SONG_ARTIST,
    "element-title": SONG_TITLE,
    "element-duration": "03:03",
    "block-name": "Утренний блок",
    "block-type": "A",
    "block-duration": "60:00",
    "next-0": "Земфира – Искала 03:35",
    "next-1": "Би-2 – Полковнику никто не пишет 04:10",
    "next-2": "Мумий Тролль – Владивосток 2000 02:40",
    "played-0": "18:00:00 ДДТ – Что такое осень",
    "played-1": "16:30:00 Сплин – Выхода нет",
    "played-2": "15:00:00 Аквариум – Поезд в огне",
    "clock-name": "Утренний эфир",
    "studio-status": "RPI",
    "studio-online": "N",
}
# Values with letters or signs that not every code page holds (KOI8-U lacks the angle quotes,
# KOI8-R and CP866 the Ukrainian letters): checked exactly where the page's code page holds them.
WIDE_TEXT = {
    "next-clock-name": ("Ранкова Ґалерея: Їжак і Єнот",
                        {"nowplaying-windows-1251.html", "nowplaying-utf-8.html", "nowplaying-koi8-u.html"}),
    "system-message": ("Всё в порядке: «Эфир» идёт", {"nowplaying-windows-1251.html", "nowplaying-utf-8.html"}),
}
PATTERN_TEXT = {"song-start": TIME, "block-start": TIME, "studio-last-time": TIME, "system-time": TIME,
                "system-date": DATE}


class _TextById(html.parser.HTMLParser):
    """Collects the text content of every element that has an id, and of the heading (as "#h1")."""

    VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open = []  # (tag, id or None)
        self.text = {}
        self.attributes = {}

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.attributes.setdefault(tag, attrs)
        if tag in self.VOID:
            return
        ident = attrs.get("id", "#h1" if tag == "h1" else None)
        if ident is not None:
            self.text[ident] = ""
        self.open.append((tag, ident))

    def handle_endtag(self, tag):
        while self.open:
            open_tag, _ = self.open.pop()
            if open_tag == tag:
                break

    def handle_data(self, data):
        for _, ident in self.open:
            if ident is not None:
                self.text[ident] += data


def chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


def browser_document(page_path):
    """The document Chromium builds from the file, serialised (always UTF-8)."""
    with tempfile.TemporaryDirectory(prefix="kw-chromium-") as profile:
        command = [chromium(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                   "--disable-background-networking", "--disable-component-update", "--disable-sync",
                   "--user-data-dir=" + profile, "--dump-dom", "file://" + os.path.abspath(page_path)]
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            out, _ = process.communicate(timeout=BROWSER_TIMEOUT)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, 9)
            process.communicate()
            raise AssertionError(f"Chromium did not finish {page_path} within {BROWSER_TIMEOUT} s")
        if process.returncode != 0 or not out:
            raise AssertionError(f"Chromium failed on {page_path} (exit code {process.returncode})")
        return out.decode("utf-8")


def text_by_id(document):
    parser = _TextById()
    parser.feed(document)
    parser.close()
    return {k: " ".join(v.split()) for k, v in parser.text.items()}, parser.attributes


def check_html_page(path, heading, with_data):
    """Failures of one page, as text lines."""
    name = os.path.basename(path)
    failures = []
    texts, attributes = text_by_id(browser_document(path))

    def expect(ident, want):
        got = texts.get(ident)
        if got != want:
            failures.append(f"{name}: #{ident} is {got!r}, expected {want!r}")

    expect("#h1", heading)  # the template's own text, in its own code page
    if not with_data:
        # live values are empty, the link letter and the time of the page are not
        for ident in ("song-artist", "song-title", "block-name", "clock-name", "system-message"):
            expect(ident, "")
        expect("next-0", "–")  # only the separator of the template is left
        expect("played-0", "–")
        expect("studio-online", "N")
        if not TIME.match(texts.get("system-time", "")):
            failures.append(f"{name}: #system-time is {texts.get('system-time')!r}")
        return failures
    for ident, want in EXPECTED_TEXT.items():
        expect(ident, want)
    for ident, (want, pages) in WIDE_TEXT.items():
        if name in pages:
            expect(ident, want)
        elif not texts.get(ident):
            failures.append(f"{name}: #{ident} is empty")
    for ident, pattern in PATTERN_TEXT.items():
        if not pattern.match(texts.get(ident, "")):
            failures.append(f"{name}: #{ident} is {texts.get(ident)!r}, expected {pattern.pattern}")
    body = attributes.get("body", {})
    if body.get("data-link") != "N" or body.get("data-player") != "P":
        failures.append(f"{name}: body attributes {body}")
    return failures


def check_json_page(path, with_data):
    name = os.path.basename(path)
    with open(path, "rb") as f:
        raw = f.read()
    try:
        page = json.loads(raw.decode("utf-8"))
    except (UnicodeDecodeError, ValueError) as e:
        return [f"{name}: not valid UTF-8 JSON: {e}"]
    failures = []
    want = {
        ("song", "artist"): SONG_ARTIST if with_data else "",
        ("song", "title"): SONG_TITLE if with_data else "",
        ("block", "name"): "Утренний блок" if with_data else "",
        ("clock", "nextName"): WIDE_TEXT["next-clock-name"][0] if with_data else "",
        ("message",): WIDE_TEXT["system-message"][0] if with_data else "",
        ("studio", "online"): "N",
    }
    for keys, value in want.items():
        got = page
        for k in keys:
            got = got.get(k) if isinstance(got, dict) else None
        if got != value:
            failures.append(f"{name}: {'.'.join(keys)} is {got!r}, expected {value!r}")
    if with_data:
        songs = [(e["artist"], e["title"]) for e in page.get("next", [])]
        if songs != [("Земфира", "Искала"), ("Би-2", "Полковнику никто не пишет"),
                     ("Мумий Тролль", "Владивосток 2000")]:
            failures.append(f"{name}: next is {songs}")
        if [e["startTime"] for e in page.get("played", [])] != ["18:00:00", "16:30:00", "15:00:00"]:
            failures.append(f"{name}: played is {page.get('played')}")
    return failures


def check_text_page(path, with_data):
    with open(path, "rb") as f:
        raw = f.read()
    want = f"{SONG_ARTIST} - {SONG_TITLE}\r\n" if with_data else " - \r\n"
    if raw != want.encode("utf-8"):
        return [f"{os.path.basename(path)}: {raw!r}, expected {want.encode('utf-8')!r}"]
    return []


def check_pages(folder, with_data=True):
    """Checks every rendered sample in `folder`; returns the failures."""
    failures = []
    for name, heading in HTML_PAGES.items():
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            failures.append(f"{name}: not rendered")
            continue
        failures += check_html_page(path, heading, with_data)
    for name, check in (("nowplaying.json", check_json_page), ("nowplaying.txt", check_text_page)):
        path = os.path.join(folder, name)
        failures += check(path, with_data) if os.path.exists(path) else [f"{name}: not rendered"]
    return failures


def render_native(renderer, templates, work, script, name):
    script_path = os.path.join(work, name + ".hps")
    with open(script_path, "w", encoding="utf-8") as f:
        f.write(script)
    out = os.path.join(work, name)
    shutil.rmtree(out, ignore_errors=True)
    subprocess.run([renderer, script_path, templates, out], check=True, timeout=60, stdout=subprocess.DEVNULL)
    return out


def main(argv):
    if len(argv) != 5 or argv[1] != "native":
        print(__doc__, file=sys.stderr)
        return 2
    if not chromium():
        print("FAIL: Chromium is missing (Debian package chromium; scripts/install-deps.sh installs it)")
        return 1
    renderer, templates, work = argv[2:5]
    os.makedirs(work, exist_ok=True)
    failures = []
    for script, name, with_data in ((HOST_SCRIPT, "with-data", True), (EMPTY_SCRIPT, "no-data", False)):
        try:
            out = render_native(renderer, templates, work, script, name)
            found = check_pages(out, with_data)
        except (AssertionError, OSError, subprocess.SubprocessError) as e:
            found = [f"{name}: {e}"]
        print(f"{name}: {len(found)} failures")
        failures += found
    for line in failures:
        print("FAIL " + line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

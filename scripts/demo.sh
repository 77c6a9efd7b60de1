#!/usr/bin/env bash
# The KWPAGE demo: builds KWPAGE.exe, lays out a station's folder in build/demo (the program,
# its language files, a settings file with three works and their templates), starts KWPAGE
# under Wine (inside a private Xvfb when there is no display), lets the host player play a
# morning show into it, and prints every page whenever KWPAGE rewrites it.
#
#   scripts/demo.sh               runs until Ctrl+C
#   scripts/demo.sh --seconds 30  runs 30 seconds and stops by itself
#
# Without a display it also saves a screenshot of the main window (build/demo/main-window.png).
# Stopping (Ctrl+C or the end of --seconds) ends the host player, ends the Windows session so
# that KWPAGE closes itself as on a logoff, and stops the Wine server and Xvfb it started.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tool-path.sh
. "$root/scripts/tool-path.sh"
seconds=0
while [ $# -gt 0 ]; do
    case $1 in
    --seconds) seconds=${2:-}; shift 2 ;;
    --seconds=*) seconds=${1#*=}; shift ;;
    -h | --help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo.sh: unknown argument: $1 (try --help)" >&2; exit 2 ;;
    esac
done
if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
    echo "demo.sh: --seconds needs a whole number" >&2
    exit 2
fi

build=$root/build/win
demo=$root/build/demo
say() { printf '\033[1m%s\033[0m\n' "$*"; }

say "== checking the tools"
"$root/scripts/install-deps.sh" demo || exit 1
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"

say "== building KWPAGE.exe and the host player ($build)"
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DKW_TESTS=OFF >"$root/build/demo-configure.log" 2>&1 ||
    { cat "$root/build/demo-configure.log"; exit 1; }
cmake --build "$build" --target KWPAGE hostplayer -j "$(nproc)" 2>&1 | tail -n 3
[ "${PIPESTATUS[0]}" -eq 0 ] || exit 1

say "== laying out $demo"
mkdir -p "$demo"
# The Wine prefix stays between runs (it takes a while to make); everything else is new.
find "$demo" -mindepth 1 -maxdepth 1 ! -name wineprefix -exec rm -rf {} +
cp "$build/shell/KWPAGE.exe" "$root"/dist/KWPAGE.*.lng "$root"/dist/demo/*.tpl "$demo/"
cp "$root/dist/demo/broadcast.txt" "$demo/"
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
# The settings file is the program's own text: Windows-1251.
iconv -f UTF-8 -t CP1251 >"$demo/KWPAGE.ini" <<EOF
[Settings]
PID=1
Hide=0
Language=Russian.lng
[File240101080000]
Name=Сейчас в эфире (сайт)
FileIn=$(winpath "$demo/nowplaying.html.tpl")
FileOut=$(winpath "$demo/nowplaying.html")
Update=15
CodePage=1
Escaping=1
UseFTP=0
[File240101080001]
Name=Титры для видео
FileIn=$(winpath "$demo/overlay.txt.tpl")
FileOut=$(winpath "$demo/overlay.txt")
Update=15
CodePage=0
UseFTP=0
[File240101080002]
Name=Титры KOI8-R
FileIn=$(winpath "$demo/overlay-koi8r.txt.tpl")
FileOut=$(winpath "$demo/overlay-koi8r.txt")
Update=30
CodePage=2
UseFTP=0
EOF
outputs=("$demo/nowplaying.html" "$demo/overlay.txt" "$demo/overlay-koi8r.txt")
charsets=(UTF-8 CP1251 KOI8-R)

xvfb_pid=""
kwpage_pid=""
host_pid=""
stopping=0

stop() {
    [ "$stopping" -eq 1 ] && return
    stopping=1
    trap - INT TERM
    echo
    say "== stopping"
    if [ -n "$host_pid" ] && kill -0 "$host_pid" 2>/dev/null; then
        kill "$host_pid" 2>/dev/null
        wait "$host_pid" 2>/dev/null
        echo "host player stopped"
    fi
    if [ -n "$kwpage_pid" ] && kill -0 "$kwpage_pid" 2>/dev/null; then
        # As on a logoff: WM_QUERYENDSESSION, which KWPAGE answers at once and closes on
        # without asking "Exit" (it logs "Bye" and waits for its renders).
        wineboot --end-session >/dev/null 2>&1 &
        for _ in $(seq 100); do
            kill -0 "$kwpage_pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$kwpage_pid" 2>/dev/null; then
            echo "KWPAGE did not close within 10 s; ending it" >&2
            kill "$kwpage_pid" 2>/dev/null
        else
            echo "KWPAGE closed"
        fi
        wait "$kwpage_pid" 2>/dev/null
    fi
    timeout 10 wineserver -k 2>/dev/null
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        echo "Xvfb stopped"
    fi
    say "the demo folder stays in $demo"
}
trap 'stop; exit 130' INT TERM
trap stop EXIT

if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
    echo "no display: KWPAGE runs in Xvfb on $DISPLAY"
fi

kw_wine_env "$demo" || exit 1

say "== starting KWPAGE"
(cd "$demo" && exec wine KWPAGE.exe) >"$demo/kwpage.log" 2>&1 &
kwpage_pid=$!

say "== starting the host player (dist/demo/broadcast.txt)"
(cd "$demo" && exec wine "$build/tools/hostplayer/hostplayer.exe" broadcast.txt --wait 30000) \
    >"$demo/hostplayer.log" 2>&1 &
host_pid=$!

say "== pages KWPAGE writes"
for f in "${outputs[@]}"; do echo "  $f"; done
echo "(the host player's answers are in $demo/hostplayer.log)"

declare -A seen=()
shot_due=$(( $(date +%s) + 8 ))
shot_done=0
start=$(date +%s)
while :; do
    for i in "${!outputs[@]}"; do
        f=${outputs[$i]}
        [ -f "$f" ] || continue
        sum=$(md5sum "$f" 2>/dev/null | cut -d' ' -f1)
        if [ "${seen[$f]:-}" != "$sum" ]; then
            seen[$f]=$sum
            echo
            say "-- $(date +%T) $(basename "$f") rewritten (${charsets[$i]}):"
            # the page's text without its markup, as a reader would see it
            iconv -f "${charsets[$i]}" -t UTF-8 "$f" 2>/dev/null | sed -e 's/<[^>]*>//g' -e 's/&mdash;/-/g' |
                grep -v '^\s*$' | head -n 8 | sed 's/^/   /'
        fi
    done
    if [ -n "$xvfb_pid" ] && [ "$shot_done" -eq 0 ] && [ "$(date +%s)" -ge "$shot_due" ]; then
        shot_done=1
        if import -window root "$demo/screen.png" 2>/dev/null &&
            convert "$demo/screen.png" -trim +repage "$demo/main-window.png" 2>/dev/null; then
            rm -f "$demo/screen.png"
            echo
            say "-- screenshot of the main window: $demo/main-window.png"
        fi
    fi
    if ! kill -0 "$kwpage_pid" 2>/dev/null; then
        echo "KWPAGE has ended (see $demo/kwpage.log)" >&2
        exit 1
    fi
    if [ "$seconds" -gt 0 ] && [ $(( $(date +%s) - start )) -ge "$seconds" ]; then
        break
    fi
    sleep 0.5
done
exit 0

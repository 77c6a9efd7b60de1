#!/usr/bin/env bash
# HTTP POST of a 4 KB page to one recording server in one run: our HTTP target under Wine
# (http_bench_wine.exe: WinHTTP as Wine provides it, in turns with a raw loopback TCP transfer
# of the same bytes) and curl natively, in alternating blocks of 200 requests each, a new
# connection per request on both sides.
#
# What the comparison means: curl's figure is its own transfer time (-w time_total: connect,
# request, answer; no process start), ours is the whole SendHttp call (session, connect, request,
# answer) inside a Windows program under Wine. So the ratio ours/curl mixes our code with Wine's
# WinHTTP and Winsock emulation; the raw loopback column of the same Wine run shows what a bare
# TCP transfer costs there, and ours/raw is the figure that isolates the HTTP stack's share.
#
#   cmake -S . -B build/<you>-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKW_BENCH=ON
#   cmake --build build/<you>-win --target http_bench_wine
#   . scripts/wine-env.sh; kw_wine_env $PWD/build/<you>-win
#   bench/http/post_vs_curl.sh build/<you>-win [blocks]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
blocks=${2:-3}
exe=$build/bench/http/http_bench_wine.exe
[ -f "$exe" ] || { echo "http_bench_wine.exe is not built (KW_BENCH=ON)"; exit 77; }
command -v curl >/dev/null || { echo "curl is missing"; exit 77; }
work=$build/bench/http/post-vs-curl
mkdir -p "$work"
server=$work/server
"$root/tests/delivery/http_fixture.sh" start "$server" >/dev/null
trap '"$root/tests/delivery/http_fixture.sh" stop "$server"' EXIT
port=$(cat "$server/port")
head -c 4096 /dev/zero | tr '\0' 'p' >"$work/page.html"

ours=() curl_ms=() raw=()
for ((b = 1; b <= blocks; b++)); do
    line=$(KW_HTTP_SERVER_DIR="$server" timeout 300 wine "$exe" | tr -d '\r' | sed -n 's/^ *\([0-9.]*\) ms, \([0-9.]*\) ms$/\1 \2/p')
    [ -n "$line" ] || { echo "http_bench_wine.exe gave no figures"; exit 1; }
    ours+=("${line% *}") raw+=("${line#* }")
    for ((i = 0; i < 200; i++)); do
        LC_ALL=C curl -s -o /dev/null --max-time 30 -w '%{time_total}\n' -H 'Content-Type: text/html; charset=utf-8' \
            --data-binary @"$work/page.html" "http://127.0.0.1:$port/bench"
    done >"$work/curl-$b.txt"
    curl_ms+=("$(LC_ALL=C sort -g "$work/curl-$b.txt" | LC_ALL=C awk '{v[NR] = $1} END {printf "%.3f", v[int((NR + 1) / 2)] * 1000}')")
done
median() { printf '%s\n' "$@" | LC_ALL=C sort -g | LC_ALL=C awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
o=$(median "${ours[@]}") c=$(median "${curl_ms[@]}") r=$(median "${raw[@]}")
echo "POST 4 KB, medians of $blocks blocks x 200 requests (per-block medians: ours ${ours[*]}; curl ${curl_ms[*]})"
echo "  ours under Wine (WinHTTP)   $o ms"
echo "  raw loopback TCP under Wine $r ms"
echo "  curl native                 $c ms"
LC_ALL=C awk -v o="$o" -v c="$c" -v r="$r" 'BEGIN {printf "ratio ours/curl %.2f   ours/raw-under-Wine %.2f\n", o / c, o / r}'

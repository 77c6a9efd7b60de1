#!/bin/sh
# Starts or stops the recording HTTP(S) server (http_server.py) for the Windows test programs,
# which cannot start a Linux process themselves: ctest runs "start" before them, "stop" after.
#   http_fixture.sh start|stop DIR   (DIR/port, DIR/tlsport, DIR/fingerprint, DIR/requests, DIR/pid)
set -u
action=$1 dir=$2
here=$(cd "$(dirname "$0")" && pwd)
case $action in
start)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -rf "$dir" && mkdir -p "$dir" || exit 1
    setsid /usr/bin/python3 "$here/http_server.py" "$dir" </dev/null >"$dir/log" 2>&1 &
    echo $! >"$dir/pid"
    i=0
    while [ ! -s "$dir/port" ]; do
        i=$((i + 1))
        if [ $i -gt 150 ]; then echo "server did not start"; cat "$dir/log"; exit 1; fi
        sleep 0.1
    done
    echo "HTTP on port $(cat "$dir/port"), HTTPS on port $(cat "$dir/tlsport")"
    ;;
stop)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/pid"
    ;;
esac
exit 0

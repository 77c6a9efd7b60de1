#!/bin/sh
# Starts or stops the TLS peers (tls_server.py) for the Windows test programs, which cannot start
# a Linux process themselves: ctest runs "start" before them, "stop" after.
#   tls_fixture.sh start|stop DIR   (DIR/ports, DIR/fingerprints, DIR/*.pem, DIR/pid)
set -u
action=$1 dir=$2
here=$(cd "$(dirname "$0")" && pwd)
case $action in
start)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -rf "$dir" && mkdir -p "$dir" || exit 1
    setsid /usr/bin/python3 "$here/tls_server.py" "$dir" </dev/null >"$dir/log" 2>&1 &
    echo $! >"$dir/pid"
    i=0
    while [ ! -s "$dir/ports" ]; do
        i=$((i + 1))
        if [ $i -gt 150 ]; then echo "server did not start"; cat "$dir/log"; exit 1; fi
        sleep 0.1
    done
    cat "$dir/ports"
    ;;
stop)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/pid"
    ;;
esac
exit 0

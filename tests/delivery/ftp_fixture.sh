#!/bin/sh
# Starts or stops a real FTP server for the Windows test programs, which cannot start a Linux
# process themselves: ctest runs "start" before them and "stop" after them.
#   ftp_fixture.sh start|stop KIND DIR   (KIND: pyftpdlib or vsftpd; DIR/root, DIR/port, DIR/pid)
set -u
action=$1 kind=$2 dir=$3
here=$(cd "$(dirname "$0")" && pwd)
case $action in
start)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -rf "$dir" && mkdir -p "$dir/root" || exit 1
    setsid /usr/bin/python3 "$here/ftp_server.py" "$kind" "$dir/root" "$dir/port" </dev/null >"$dir/log" 2>&1 &
    echo $! >"$dir/pid"
    i=0
    while [ ! -s "$dir/port" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then echo "server did not start"; cat "$dir/log"; exit 1; fi
        sleep 0.1
    done
    echo "$kind on port $(cat "$dir/port")"
    ;;
stop)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/pid"
    ;;
esac
exit 0

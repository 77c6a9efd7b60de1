#!/bin/sh
# Starts or stops Debian's mosquitto for the Windows test programs, which cannot start a Linux
# process themselves: ctest runs "start" before them, "stop" after. One broker, two listeners on
# 127.0.0.1: plain and TLS with a self-signed certificate made here.
#   mqtt_fixture.sh start|stop DIR   (DIR/port, DIR/tlsport, DIR/fingerprint, DIR/pid)
set -u
action=$1 dir=$2
free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
accepts() {
    /usr/bin/python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1)' "$1" 2>/dev/null
}
case $action in
start)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -rf "$dir" && mkdir -p "$dir" || exit 1
    /usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
        -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout "$dir/key.pem" -out "$dir/cert.pem" \
        >"$dir/openssl.log" 2>&1 || { cat "$dir/openssl.log"; exit 1; }
    /usr/bin/openssl x509 -in "$dir/cert.pem" -noout -fingerprint -sha256 | sed 's/.*=//; s/://g' >"$dir/fingerprint"
    port=$(free_port) tlsport=$(free_port)
    {
        echo "per_listener_settings false"
        echo "allow_anonymous true"
        echo "persistence false"
        echo "log_dest none"
        [ "$(id -u)" = 0 ] && echo "user root"
        echo "listener $port 127.0.0.1"
        echo "listener $tlsport 127.0.0.1"
        echo "certfile $dir/cert.pem"
        echo "keyfile $dir/key.pem"
    } >"$dir/mosquitto.conf"
    setsid /usr/sbin/mosquitto -c "$dir/mosquitto.conf" </dev/null >"$dir/log" 2>&1 &
    echo $! >"$dir/pid"
    i=0
    until accepts "$port" && accepts "$tlsport"; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then echo "mosquitto did not start"; cat "$dir/log"; exit 1; fi
        sleep 0.1
    done
    echo "$port" >"$dir/port"
    echo "$tlsport" >"$dir/tlsport"
    echo "MQTT on port $port, MQTT over TLS on port $tlsport"
    ;;
stop)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/pid"
    ;;
esac
exit 0

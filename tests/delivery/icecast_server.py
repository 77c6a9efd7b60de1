#!/usr/bin/python3
"""Debian's icecast2 on 127.0.0.1 for the HTTP target's Icecast test, with a source on /live.

Usage: icecast_server.py DIR
Writes its own config into DIR (admin "admin"/"hackme", source password "hackme"), starts
icecast2 on a free port, connects a source to /live by HTTP PUT that keeps streaming, and writes
DIR/port once /status-json.xsl lists the mount. Stops icecast2 when terminated.
"""
import base64
import os
import signal
import socket
import subprocess
import sys
import threading
import time
import urllib.request

root = os.path.abspath(sys.argv[1])
os.makedirs(os.path.join(root, "log"), exist_ok=True)
os.chmod(root, 0o777)
os.chmod(os.path.join(root, "log"), 0o777)

with socket.socket() as s:
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]

# Running as root, icecast2 must drop to another user; as anyone else it stays who it is.
owner = "<changeowner><user>nobody</user><group>nogroup</group></changeowner>" if os.getuid() == 0 else ""
config = f"""<icecast>
  <limits><clients>20</clients><sources>2</sources><source-timeout>60</source-timeout></limits>
  <authentication>
    <source-password>hackme</source-password>
    <admin-user>admin</admin-user><admin-password>hackme</admin-password>
  </authentication>
  <hostname>127.0.0.1</hostname>
  <listen-socket><port>{port}</port><bind-address>127.0.0.1</bind-address></listen-socket>
  <fileserve>1</fileserve>
  <paths>
    <basedir>/usr/share/icecast2</basedir><logdir>{root}/log</logdir>
    <webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</adminroot>
  </paths>
  <logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>3</loglevel></logging>
  <security><chroot>0</chroot>{owner}</security>
</icecast>
"""
with open(os.path.join(root, "icecast.xml"), "w") as f:
    f.write(config)
server = subprocess.Popen(["/usr/bin/icecast2", "-c", os.path.join(root, "icecast.xml")],
                          stdout=subprocess.DEVNULL, stderr=open(os.path.join(root, "stderr"), "w"))


def stop(*_):
    server.terminate()
    try:
        server.wait(5)
    except subprocess.TimeoutExpired:
        server.kill()
    sys.exit(0)


signal.signal(signal.SIGTERM, stop)

for _ in range(100):
    try:
        socket.create_connection(("127.0.0.1", port), 1).close()
        break
    except OSError:
        time.sleep(0.1)


def source():
    s = socket.create_connection(("127.0.0.1", port), 10)
    auth = base64.b64encode(b"source:hackme").decode()
    s.sendall(("PUT /live HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic " + auth +
               "\r\nContent-Type: audio/mpeg\r\nIce-Public: 0\r\nExpect: 100-continue\r\n\r\n").encode())
    s.recv(1024)
    # MPEG-1 layer III frames of silence (128 kbit/s, 44.1 kHz), at about their own rate.
    frame = b"\xff\xfb\x90\x64" + b"\x00" * 413
    while True:
        s.sendall(frame * 4)
        time.sleep(0.1)


threading.Thread(target=source, daemon=True).start()
for _ in range(100):
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/status-json.xsl", timeout=2) as r:
            if b'"listenurl"' in r.read():
                break
    except OSError:
        pass
    time.sleep(0.1)
with open(os.path.join(root, "port.tmp"), "w") as f:
    f.write(str(port))
os.rename(os.path.join(root, "port.tmp"), os.path.join(root, "port"))
while True:
    if server.poll() is not None:
        sys.exit(1)
    time.sleep(0.5)

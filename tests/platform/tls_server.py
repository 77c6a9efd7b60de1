#!/usr/bin/python3
"""TLS peers for the TLS seam's contract tests, on 127.0.0.1.

  tls_server.py DIR

Makes the certificates in DIR (tls_certs.py), then serves until SIGTERM and writes DIR/ports
("name port" lines) once every port listens:
  good       echo server with good.pem; after the client's "bye\\n" it sends its close alert
  wrongname  the same with wrongname.pem
  expired    the same with expired.pem
  stall      takes the TCP connection and never answers the handshake
  old        the good echo server that speaks TLS 1.1 and nothing newer (clients must refuse it)
Each echo connection first sends "resumed=0\\n" or "resumed=1\\n" (whether the client reused a
session). Run with Debian's /usr/bin/python3.
"""
import os
import signal
import socket
import ssl
import subprocess
import sys
import threading
import warnings


def echo(conn):
    try:
        conn.sendall(b"resumed=%d\n" % (1 if conn.session_reused else 0))
        while True:
            data = conn.recv(65536)
            if not data:
                break
            if data.endswith(b"bye\n"):
                conn.sendall(data[:-4])
                # The close alert, then the end of the connection: not waiting for the
                # client's alert, as a server may.
                conn.setblocking(False)
                try:
                    conn.unwrap()
                except (ssl.SSLWantReadError, ssl.SSLWantWriteError):
                    pass
                break
            conn.sendall(data)
    except (OSError, ssl.SSLError):
        pass
    finally:
        conn.close()


def serve_tls(listener, context):
    while True:
        raw, _ = listener.accept()
        raw.settimeout(30)

        def handshake(raw=raw):
            try:
                echo(context.wrap_socket(raw, server_side=True))
            except (OSError, ssl.SSLError):
                raw.close()
        threading.Thread(target=handshake, daemon=True).start()


def serve_stall(listener):
    held = []
    while True:
        raw, _ = listener.accept()
        held.append(raw)  # kept open, never answered


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    directory = os.path.abspath(sys.argv[1])
    here = os.path.dirname(os.path.abspath(__file__))
    # SIGTERM ends the server. Blocked here, before any thread starts, it stays pending until the
    # main thread takes it below: a handler would run only once the main thread woke, which a
    # signal delivered to another thread does not do.
    signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM})
    subprocess.run([sys.executable, os.path.join(here, "tls_certs.py"), directory], check=True)
    ports = {}
    for name in ("good", "wrongname", "expired", "stall", "old"):
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(16)
        ports[name] = listener.getsockname()[1]
        if name == "stall":
            target, args = serve_stall, (listener,)
        else:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            pem = "good" if name == "old" else name
            context.load_cert_chain(os.path.join(directory, pem + ".pem"), os.path.join(directory, pem + ".key"))
            if name == "old":
                # OpenSSL's default security level forbids TLS 1.1 even on the server side.
                context.set_ciphers("DEFAULT:@SECLEVEL=0")
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore", DeprecationWarning)
                    context.minimum_version = ssl.TLSVersion.TLSv1_1
                    context.maximum_version = ssl.TLSVersion.TLSv1_1
            target, args = serve_tls, (listener, context)
        threading.Thread(target=target, args=args, daemon=True).start()
    tmp = os.path.join(directory, "ports.tmp")
    with open(tmp, "w") as f:
        for name, port in ports.items():
            f.write("%s %d\n" % (name, port))
    os.replace(tmp, os.path.join(directory, "ports"))
    signal.sigwait({signal.SIGTERM})
    os._exit(0)


if __name__ == "__main__":
    main()

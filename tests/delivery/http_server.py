#!/usr/bin/python3
"""A small HTTP and HTTPS server on 127.0.0.1 for the HTTP target's tests.

Usage: http_server.py DIR
Makes a self-signed certificate with openssl in DIR, serves HTTP and HTTPS on ports the system
chooses (and HTTPS that speaks nothing newer than TLS 1.1, which clients must refuse), and
writes into DIR: "port", "tlsport", "oldtlsport", "fingerprint" (openssl's SHA-256 fingerprint of
the certificate) and one folder per request under "requests/" (files method, path, headers, body,
tls), written before the answer leaves, so a test that has its answer finds the record.

Paths that answer specially:
  /status/NNN           answers NNN with the reason "Test Reason"
  /redirect/N           302 to /redirect/N-1; /redirect/0 answers 200
  /see-other            303 to /landed
  /elsewhere/PORT       302 to http://127.0.0.1:PORT/landed (another origin)
  /downgrade            308 to the plain server's /landed (https to http)
  /echo-auth            401 whose reason and body repeat the Authorization header
  /trickle              a 302 to /trickle again, its head sent one byte every 25 ms
  /huge                 200 with a body of 1 GiB; DIR/huge-sent holds how much of it left
anything else answers 200.
"""
import http.server
import os
import ssl
import subprocess
import sys
import threading
import time
import warnings

root = sys.argv[1]
requests_dir = os.path.join(root, "requests")
os.makedirs(requests_dir, exist_ok=True)
counter = [0]
lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def record(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        with lock:
            counter[0] += 1
            n = counter[0]
        tmp = os.path.join(requests_dir, "%04d.tmp" % n)
        os.makedirs(tmp)
        parts = {"method": self.command.encode(), "path": self.path.encode("latin-1"), "body": body,
                 "tls": b"1" if isinstance(self.connection, ssl.SSLSocket) else b"0",
                 "headers": "".join("%s: %s\n" % (k.lower(), v) for k, v in self.headers.items()).encode("latin-1")}
        for name, data in parts.items():
            with open(os.path.join(tmp, name), "wb") as f:
                f.write(data)
        os.rename(tmp, os.path.join(requests_dir, "%04d" % n))

    def answer(self, code, reason=None, location=None):
        self.send_response(code, reason)
        if location:
            self.send_header("Location", location)
        body = b"" if code in (204, 304) else b"ok"  # these answers have no body
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def handle_any(self):
        self.record()
        p = self.path
        if p.startswith("/status/"):
            self.answer(int(p[8:11]), "Test Reason")
        elif p.startswith("/redirect/"):
            n = int(p[10:].split("?")[0])
            self.answer(200) if n == 0 else self.answer(302, None, "/redirect/%d" % (n - 1))
        elif p.startswith("/see-other"):
            self.answer(303, None, "/landed")
        elif p.startswith("/elsewhere/"):
            self.answer(302, None, "http://127.0.0.1:%s/landed" % p[11:].split("?")[0])
        elif p.startswith("/downgrade"):
            self.answer(308, None, "http://127.0.0.1:%d/landed" % plain.server_address[1])
        elif p.startswith("/echo-auth"):
            auth = self.headers.get("Authorization", "")
            body = ("denied for " + auth).encode("latin-1")
            self.send_response(401, "Denied " + auth)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        elif p.startswith("/trickle"):
            head = b"HTTP/1.1 302 Found\r\nLocation: /trickle\r\nContent-Length: 0\r\n\r\n"
            try:
                for i in range(len(head)):
                    self.wfile.write(head[i:i + 1])
                    self.wfile.flush()
                    time.sleep(0.025)
            except OSError:
                pass
            self.close_connection = True
        elif p.startswith("/huge"):
            self.send_response(200)
            self.send_header("Content-Length", str(1 << 30))
            self.end_headers()
            chunk = bytes(1 << 16)
            sent = 0
            try:
                while sent < (1 << 30):
                    self.wfile.write(chunk)
                    sent += len(chunk)
            except OSError:
                pass
            write("huge-sent", str(sent))
            self.close_connection = True
        else:
            self.answer(200)

    do_GET = do_POST = do_PUT = handle_any


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


cert = os.path.join(root, "cert.pem")
key = os.path.join(root, "key.pem")
subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=kwpage-test",
                "-keyout", key, "-out", cert], check=True, capture_output=True)
fp = subprocess.run(["openssl", "x509", "-in", cert, "-noout", "-fingerprint", "-sha256"], check=True,
                    capture_output=True, text=True).stdout.strip().split("=", 1)[1]

plain = Server(("127.0.0.1", 0), Handler)
tls = Server(("127.0.0.1", 0), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
tls.socket = context.wrap_socket(tls.socket, server_side=True)
old = Server(("127.0.0.1", 0), Handler)
old_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
old_context.load_cert_chain(cert, key)
old_context.set_ciphers("DEFAULT:@SECLEVEL=0")  # OpenSSL's default level forbids TLS 1.1 outright
with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    old_context.minimum_version = ssl.TLSVersion.TLSv1_1
    old_context.maximum_version = ssl.TLSVersion.TLSv1_1
old.socket = old_context.wrap_socket(old.socket, server_side=True)


def write(name, text):
    tmp = os.path.join(root, name + ".tmp")
    with open(tmp, "w") as f:
        f.write(text)
    os.rename(tmp, os.path.join(root, name))


write("fingerprint", fp)
write("oldtlsport", str(old.server_address[1]))
write("tlsport", str(tls.server_address[1]))
write("port", str(plain.server_address[1]))
threading.Thread(target=tls.serve_forever, daemon=True).start()
threading.Thread(target=old.serve_forever, daemon=True).start()
plain.serve_forever()

#!/usr/bin/python3
"""Starts a real FTP server on 127.0.0.1 for the FTP tests.

  ftp_server.py pyftpdlib ROOT PORTFILE   user "kw", password "secret", home ROOT (writable)
  ftp_server.py vsftpd    ROOT PORTFILE   anonymous login, chroot to ROOT; ROOT/incoming is writable
  ftp_server.py pyftpdlib-tls ROOT PORTFILE   as pyftpdlib, TLS required on control and data
  ftp_server.py vsftpd-tls    ROOT PORTFILE   as vsftpd, TLS required, data sessions must reuse
                                              the control connection's TLS session
  ftp_server.py vsftpd-tls-noreuse ROOT PORTFILE   as vsftpd-tls without the session reuse demand
                                              (for SChannel under Wine, which resumes no session)

The TLS kinds make their certificates beside PORTFILE in certs/ (tests/platform/tls_certs.py:
good.pem for "localhost" and 127.0.0.1, certs/fingerprints) and log the commands they get in
"commands" beside PORTFILE (pyftpdlib: "tls CMD" or "clear CMD"; vsftpd: its protocol log).

The chosen port is written to PORTFILE once the server listens. The server runs in the
foreground until it gets SIGTERM; vsftpd replaces this process, so its pid is ours.
Run with Debian's /usr/bin/python3 (python3-pyftpdlib).
"""
import os
import pwd
import signal
import socket
import subprocess
import sys


def write_port(port_file, port):
    tmp = port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.replace(tmp, port_file)


def make_certs(port_file):
    certs = os.path.join(os.path.dirname(os.path.abspath(port_file)), "certs")
    here = os.path.dirname(os.path.abspath(__file__))
    subprocess.run([sys.executable, os.path.join(here, "..", "platform", "tls_certs.py"), certs], check=True)
    return certs


def tls_handler(port_file):
    from pyftpdlib.handlers import TLS_FTPHandler
    certs = make_certs(port_file)
    log = open(os.path.join(os.path.dirname(os.path.abspath(port_file)), "commands"), "a", buffering=1)

    class LoggingTlsHandler(TLS_FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            log.write("%s %s\n" % ("tls" if self._ssl_established else "clear", cmd))
            return TLS_FTPHandler.pre_process_command(self, line, cmd, arg)

    LoggingTlsHandler.certfile = os.path.join(certs, "good.pem")
    LoggingTlsHandler.keyfile = os.path.join(certs, "good.key")
    LoggingTlsHandler.tls_control_required = True
    LoggingTlsHandler.tls_data_required = True
    return LoggingTlsHandler


def run_pyftpdlib(root, port_file, tls=False):
    import logging
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user("kw", "secret", root, perm="elradfmwMT")
    handler = tls_handler(port_file) if tls else FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = None
    handler.permit_foreign_addresses = False
    handler.timeout = 60
    server = FTPServer(("127.0.0.1", 0), handler)
    server.max_cons = 64
    write_port(port_file, server.address[1])
    signal.signal(signal.SIGTERM, lambda *_: server.close_all() or sys.exit(0))
    server.serve_forever(timeout=0.5)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run_vsftpd(root, port_file, tls=False, reuse=True):
    ftp = pwd.getpwnam("ftp")
    os.chown(root, 0, 0)
    os.chmod(root, 0o755)
    incoming = os.path.join(root, "incoming")
    os.makedirs(incoming, exist_ok=True)
    os.chown(incoming, ftp.pw_uid, ftp.pw_gid)
    os.makedirs("/var/run/vsftpd/empty", exist_ok=True)
    port = free_port()
    conf = os.path.join(os.path.dirname(os.path.abspath(port_file)), "vsftpd-%d.conf" % port)
    settings = {
        "listen": "YES", "listen_ipv6": "NO", "listen_address": "127.0.0.1", "listen_port": port,
        "background": "NO", "anonymous_enable": "YES", "no_anon_password": "YES", "anon_root": root,
        "local_enable": "NO", "write_enable": "YES", "anon_upload_enable": "YES",
        "anon_mkdir_write_enable": "YES", "anon_other_write_enable": "YES", "anon_umask": "022",
        "pasv_enable": "YES", "port_enable": "YES", "connect_from_port_20": "NO",
        "seccomp_sandbox": "NO", "isolate": "NO", "isolate_network": "NO",
        "secure_chroot_dir": "/var/run/vsftpd/empty", "xferlog_enable": "NO",
        "ftp_username": "ftp", "nopriv_user": "ftp", "pam_service_name": "ftp",
        "max_clients": 64, "max_per_ip": 64, "idle_session_timeout": 120,
    }
    if tls:
        certs = make_certs(port_file)
        settings.update({
            "ssl_enable": "YES", "allow_anon_ssl": "YES", "force_anon_logins_ssl": "YES",
            "force_anon_data_ssl": "YES", "force_local_logins_ssl": "YES", "force_local_data_ssl": "YES",
            "require_ssl_reuse": "YES" if reuse else "NO", "ssl_ciphers": "HIGH",
            "rsa_cert_file": os.path.join(certs, "good.pem"), "rsa_private_key_file": os.path.join(certs, "good.key"),
            "log_ftp_protocol": "YES", "xferlog_enable": "YES", "xferlog_std_format": "NO",
            "vsftpd_log_file": os.path.join(os.path.dirname(os.path.abspath(port_file)), "commands"),
        })
    with open(conf, "w") as f:
        for key, value in settings.items():
            f.write("%s=%s\n" % (key, value))
    # vsftpd does not report when it listens: the test waits until the port accepts a
    # connection, for a bounded time.
    write_port(port_file, port)
    os.execv("/usr/sbin/vsftpd", ["vsftpd", conf])


def main():
    kinds = ("pyftpdlib", "vsftpd", "pyftpdlib-tls", "vsftpd-tls", "vsftpd-tls-noreuse")
    if len(sys.argv) != 4 or sys.argv[1] not in kinds:
        sys.exit(__doc__)
    kind, root, port_file = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
    os.makedirs(root, exist_ok=True)
    tls = "-tls" in kind
    if kind.startswith("pyftpdlib"):
        run_pyftpdlib(root, port_file, tls)
    else:
        run_vsftpd(root, port_file, tls, reuse=not kind.endswith("-noreuse"))


if __name__ == "__main__":
    main()

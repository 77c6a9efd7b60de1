#!/usr/bin/python3
"""Makes the certificates of the TLS tests in DIR (python3-cryptography, i.e. OpenSSL):

  good.pem / good.key        self-signed for "localhost" and 127.0.0.1, valid now
  wrongname.pem / .key       self-signed for "other.invalid" only
  expired.pem / .key         for "localhost" and 127.0.0.1, ended a year ago
  fingerprints               "name sha256" lines: SHA-256 of each certificate's DER bytes

Run with Debian's /usr/bin/python3.
"""
import datetime
import hashlib
import ipaddress
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID


def make(directory, name, dns, ips, not_before, not_after):
    key = ec.generate_private_key(ec.SECP256R1())
    subject = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, dns[0])])
    alt = [x509.DNSName(d) for d in dns] + [x509.IPAddress(ipaddress.ip_address(i)) for i in ips]
    cert = (x509.CertificateBuilder()
            .subject_name(subject).issuer_name(subject).public_key(key.public_key())
            .serial_number(x509.random_serial_number())
            .not_valid_before(not_before).not_valid_after(not_after)
            .add_extension(x509.SubjectAlternativeName(alt), critical=False)
            .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
            .sign(key, hashes.SHA256()))
    with open(os.path.join(directory, name + ".key"), "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.TraditionalOpenSSL,
                                  serialization.NoEncryption()))
    with open(os.path.join(directory, name + ".pem"), "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))
    return hashlib.sha256(cert.public_bytes(serialization.Encoding.DER)).hexdigest()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    directory = sys.argv[1]
    os.makedirs(directory, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc)
    day = datetime.timedelta(days=1)
    prints = {
        "good": make(directory, "good", ["localhost"], ["127.0.0.1"], now - day, now + 30 * day),
        "wrongname": make(directory, "wrongname", ["other.invalid"], [], now - day, now + 30 * day),
        "expired": make(directory, "expired", ["localhost"], ["127.0.0.1"], now - 400 * day, now - 365 * day),
    }
    with open(os.path.join(directory, "fingerprints"), "w") as f:
        for name, value in prints.items():
            f.write("%s %s\n" % (name, value))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Signs update files with ECDSA over P-256 and SHA-256 (standard library only).

    kivo_update_sign.py genkey PRIVATE     new key pair: writes the private key to PRIVATE
                                           (mode 600), prints the public key text
    kivo_update_sign.py public PRIVATE     prints the public key text of PRIVATE
    kivo_update_sign.py sign PRIVATE FILE [SIGNATURE]
                                           writes FILE's signature to SIGNATURE (FILE.sig)

The private key file holds the secret scalar as 64 hex digits. The public key text, the
value of KIVO_UPDATE_PUBLIC_KEY, is 128 hex digits: X then Y, each 32 bytes big-endian.
A signature file is exactly 64 bytes: r then s, each 32 bytes big-endian, over the
SHA-256 of the file's bytes.

Meant for tests and for signing releases on a trusted machine; it makes no effort
against timing side channels.
"""

import hashlib
import os
import secrets
import sys

P = 0xFFFFFFFF00000001000000000000000000000000FFFFFFFFFFFFFFFFFFFFFFFF
A = P - 3
B = 0x5AC635D8AA3A93E7B3EBBD55769886BC651D06B0CC53B0F63BCE3C3E27D2604B
N = 0xFFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551
G = (0x6B17D1F2E12C4247F8BCE6E563A440F277037D812DEB33A0F4A13945D898C296,
     0x4FE342E2FE1A7F9B8EE7EB4A7C0F9E162BCE33576B315ECECBB6406837BF51F5)


def _add(p1, p2):
    """Adds two affine points; None is the point at infinity."""
    if p1 is None:
        return p2
    if p2 is None:
        return p1
    (x1, y1), (x2, y2) = p1, p2
    if x1 == x2 and (y1 + y2) % P == 0:
        return None
    if p1 == p2:
        slope = (3 * x1 * x1 + A) * pow(2 * y1, -1, P) % P
    else:
        slope = (y2 - y1) * pow(x2 - x1, -1, P) % P
    x3 = (slope * slope - x1 - x2) % P
    return x3, (slope * (x1 - x3) - y1) % P


def _multiply(k, point):
    result = None
    while k:
        if k & 1:
            result = _add(result, point)
        point = _add(point, point)
        k >>= 1
    return result


def public_key_text(secret):
    x, y = _multiply(secret, G)
    return "%064x%064x" % (x, y)


def sign_digest(secret, digest):
    z = int.from_bytes(digest, "big")
    while True:
        k = secrets.randbelow(N - 1) + 1
        r = _multiply(k, G)[0] % N
        if r == 0:
            continue
        s = pow(k, -1, N) * (z + r * secret) % N
        if s:
            return r.to_bytes(32, "big") + s.to_bytes(32, "big")


def read_secret(path):
    with open(path, encoding="ascii") as f:
        text = f.read().strip()
    secret = int(text, 16) if len(text) == 64 else 0
    if not 0 < secret < N:
        raise ValueError("%s does not hold a P-256 private key" % path)
    return secret


def main(argv):
    if len(argv) == 3 and argv[1] == "genkey":
        secret = secrets.randbelow(N - 1) + 1
        fd = os.open(argv[2], os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        with os.fdopen(fd, "w", encoding="ascii") as f:
            f.write("%064x\n" % secret)
        print(public_key_text(secret))
        return 0
    if len(argv) == 3 and argv[1] == "public":
        print(public_key_text(read_secret(argv[2])))
        return 0
    if len(argv) in (4, 5) and argv[1] == "sign":
        secret = read_secret(argv[2])
        with open(argv[3], "rb") as f:
            digest = hashlib.sha256(f.read()).digest()
        with open(argv[4] if len(argv) == 5 else argv[3] + ".sig", "wb") as f:
            f.write(sign_digest(secret, digest))
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except (OSError, ValueError) as error:
        sys.stderr.write("kivo_update_sign: %s\n" % error)
        sys.exit(1)

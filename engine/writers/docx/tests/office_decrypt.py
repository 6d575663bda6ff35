#!/usr/bin/python3
"""Decrypts a password-protected Office package with msoffcrypto-tool, which
is an independent reader of the format: the password is verified and the
integrity HMAC checked.

usage: office_decrypt.py IN OUT PASSWORD
Prints the compound file's streams, one per line ("/"-separated paths).
Exit 0 when decrypted, 2 when the password is refused, 1 for anything else.
"""
import sys

import msoffcrypto
import olefile
from msoffcrypto import exceptions


def main():
    src, out, password = sys.argv[1], sys.argv[2], sys.argv[3]
    with olefile.OleFileIO(src) as ole:
        for entry in ole.listdir(streams=True, storages=False):
            print("/".join(entry))
    with open(src, "rb") as f:
        office = msoffcrypto.OfficeFile(f)
        try:
            office.load_key(password=password, verify_password=True)
        except exceptions.InvalidKeyError:
            return 2
        with open(out, "wb") as o:
            office.decrypt(o, verify_integrity=True)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Exception as e:  # noqa: BLE001 - any failure of the reader fails the check
        print("error: %s: %s" % (type(e).__name__, e), file=sys.stderr)
        sys.exit(1)

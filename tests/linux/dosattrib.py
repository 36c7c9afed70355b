#!/usr/bin/python3
"""Samba's user.DOSATTRIB values for the Linux scenarios, packed by Samba's own code.

    dosattrib.py set FORM BITS PATH...    stores the value of FORM with the attribute BITS
    dosattrib.py state FORM BITS PATH...  prints "PATH ok" when PATH holds exactly that value
                                          (every byte), else "PATH <hex of what it holds>"

FORM is text (as Wine writes it: "0x22", no NUL) or 3, 4, 5 (Samba's NDR versions, with times
and sizes that are anything but zero, so a byte moved or lost shows). Run with Debian's python
(/usr/bin/python3), where the samba module lives.
"""
import os
import sys

from samba.dcerpc import xattr
from samba.ndr import ndr_pack

NAME = "user.DOSATTRIB"


def value(form, bits):
    d = xattr.DOSATTRIB()
    if form == "text":
        d.version = 0xFFFF
        d.info = xattr.DosInfoFFFFCompat()
        d.info.attrib = bits
        return ndr_pack(d).rstrip(b"\0")
    version = int(form)
    info = getattr(xattr, "DosInfo%d" % version)()
    info.attrib = bits
    info.valid_flags = {3: 0x31, 4: 0x51, 5: 0x11}[version]
    info.create_time = 0x01D9AABBCCDDEEFF
    if version == 3:
        info.ea_size, info.size, info.alloc_size, info.change_time = 7, 0x1122, 0x4000, 0x0A0B0C0D0E0F1011
    if version == 4:
        info.itime = 0x0102030405060708
    d.version = version
    d.info = info
    return ndr_pack(d)


def main():
    verb, form, bits, paths = sys.argv[1], sys.argv[2], int(sys.argv[3], 0), sys.argv[4:]
    want = value(form, bits)
    for path in paths:
        if verb == "set":
            os.setxattr(path, NAME, want, follow_symlinks=False)
        else:
            have = os.getxattr(path, NAME, follow_symlinks=False)
            print(path, "ok" if have == want else have.hex())


main()

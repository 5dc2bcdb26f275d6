#!/usr/bin/env python3
"""Zeroes the PE checksum field of a linked program. The linker fills it in, but an installer is
checked, once signed, with that field as zero, so the installer program is kept with a zero there:
a signature added to a built installer by hand then leaves it readable. Windows does not check the
field for programs."""
import struct
import sys

path = sys.argv[1]
with open(path, 'r+b') as f:
    image = bytearray(f.read(4096))
    pe = struct.unpack_from('<I', image, 0x3C)[0]
    if image[:2] != b'MZ' or image[pe:pe + 4] != b'PE\0\0':
        sys.exit(f'{path}: not a PE program')
    checksum_at = pe + 24 + 64
    f.seek(checksum_at)
    f.write(b'\0\0\0\0')

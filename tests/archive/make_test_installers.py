#!/usr/bin/env python3
"""Writes the small installer files of the archive tests, byte by byte and independently of the C++
writer: valid/ holds well-formed installers, damaged/ holds installers that are each broken in one
field (most with a correct checksum, so the break reaches the manifest reader); both are the manifest
fuzzer's seeds as well. Run once; the outputs are committed."""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# A stand-in program image and entries: the reader never looks inside either.
IMAGE = b"MZ" + bytes(range(2, 64))
SZDD = bytes([0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33, 0x41, 0x00])
ENTRIES = [SZDD + struct.pack("<I", 5) + b"\xffHello", SZDD + struct.pack("<I", 3) + b"\x07abc", b"{\\rtf1 ok}"]
ARCHIVE_DATE = 0x01BE4BB0687E0850  # 1999-01-29 17:54:25.237 UTC
UNINSTALLER_DATE = 0x01BE4BB000000000


def cstr(text):
    return text.encode("latin-1") + b"\0"


def u32(value):
    return struct.pack("<I", value & 0xFFFFFFFF)


def u64(value):
    return struct.pack("<Q", value)


def header(title="Demo", display="Demo Product", setup="SETUP.EXE", folder="C:\\Program Files\\Demo",
           run_file="APP.EXE", programs="Demo"):
    return cstr(title) + cstr(display) + cstr(setup) + cstr(folder) + cstr(run_file) + cstr(programs) + \
        u64(ARCHIVE_DATE) + u64(UNINSTALLER_DATE)


def setting(ini="DEMO.INI", section="Paths", key="Home", value="$INSTALL", numeric=0):
    return cstr(ini) + cstr(section) + cstr(key) + cstr(value) + u32(numeric)


def record(file, folder, offset, length, exeparms="", desktop=0, programs=0, icon=""):
    return cstr(file) + cstr(folder) + cstr(exeparms) + u32(desktop) + u32(programs) + cstr(icon) + \
        u32(offset) + u32(length)


def entry_positions(entries):
    positions, at = [], len(IMAGE)
    for entry in entries:
        positions.append((at, len(entry)))
        at += len(entry)
    return positions


def standard_records(entries=ENTRIES, **overrides):
    """The three records of the demo archive; overrides replace one field of one record, keyed
    "field_index" (for example file_1="..")."""
    pos = entry_positions(entries)
    fields = [
        dict(file="Kvuninstall.exe", folder="", offset=pos[0][0], length=pos[0][1]),
        dict(file="APP.EXE", folder="", offset=pos[1][0], length=pos[1][1], desktop=1, icon="My App"),
        dict(file="LICENSE.RTF", folder="Docs", offset=pos[2][0], length=pos[2][1]),
    ]
    for key, value in overrides.items():
        name, index = key.rsplit("_", 1)
        fields[int(index)][name] = value
    return b"".join(record(**f) for f in fields)


def manifest(head=None, settings=(), setting_count=None, files=None, file_count=3):
    head = header() if head is None else head
    count = len(settings) if setting_count is None else setting_count
    files = standard_records() if files is None else files
    return head + u32(count) + b"".join(settings) + u32(file_count) + files


def signed_sum(data):
    return sum(b - 256 if b >= 0x80 else b for b in data) & 0xFFFFFFFF


def installer(block, entries=ENTRIES, trailing=None, manifest_length=None, checksum_delta=0):
    body = IMAGE + b"".join(entries) + block
    if trailing is None:  # one zero byte, then zeros up to a multiple of 8 for the whole file
        trailing = b"\0" * (1 + (8 - (len(body) + 1 + 8) % 8) % 8)
    length = len(block) + len(trailing) if manifest_length is None else manifest_length
    data = body + trailing + u32(length)
    return data + u32(signed_sum(data) + checksum_delta)


def with_sum(data):
    """Bytes followed by their own checksum: a file too short for a trailer that still passes."""
    return data + u32(signed_sum(data))


VALID = {
    "valid-minimal.bin": installer(manifest(header(title="", display="Minimal", setup="", folder="", run_file="",
                                                   programs=""),
                                            files=record("Kvuninstall.exe", "", len(IMAGE), len(ENTRIES[0])),
                                            file_count=1), entries=ENTRIES[:1]),
    "valid-full.bin": installer(manifest(settings=[setting(), setting("WIN.INI", "Demo", "Level", "3", 1)]),
                                trailing=b"\0junk after the last record\0"),
    "valid-negative-setting-count.bin": installer(manifest(setting_count=-5)),
}

TITLE_125 = "T" * 125
DAMAGED = {
    "bad-checksum.bin": installer(manifest(), checksum_delta=1),
    "shorter-than-trailer.bin": with_sum(b"MZ\0"),
    "manifest-length-past-file.bin": installer(manifest(), manifest_length=0x10000),
    "truncated-in-title.bin": installer(cstr("Demo")[:-1], trailing=b""),
    "title-past-limit.bin": installer(manifest(header(title=TITLE_125))),
    "programs-folder-past-limit.bin": installer(manifest(header(programs="P" * 50))),
    "truncated-in-dates.bin": installer(header()[:-3], trailing=b""),
    "setting-count-past-end.bin": installer(manifest(settings=[setting()], setting_count=1000)),
    "setting-value-past-limit.bin": installer(manifest(settings=[setting(), setting(value="V" * 260)])),
    "setting-ini-with-separator.bin": installer(manifest(settings=[setting(ini="..\\SYSTEM.INI")])),
    "filecount-zero.bin": installer(manifest(files=b"", file_count=0)),
    "filecount-negative.bin": installer(manifest(files=b"", file_count=-1)),
    "count-past-end.bin": installer(manifest(file_count=1000)),
    "truncated-in-record.bin": installer(manifest()[:-6], trailing=b""),
    "entry-outside-file.bin": installer(manifest(files=standard_records(offset_0=0x100000))),
    "entry-overlaps-manifest.bin": installer(manifest(files=standard_records(length_2=len(ENTRIES[2]) + 1))),
    "offset-past-2gib.bin": installer(manifest(files=standard_records(offset_1=0x80000000, length_1=0))),
    "file-with-separator.bin": installer(manifest(files=standard_records(file_1="..\\APP.EXE"))),
    "file-dotdot.bin": installer(manifest(files=standard_records(file_1=".."))),
    "file-drive-colon.bin": installer(manifest(files=standard_records(file_1="C:APP.EXE"))),
    "folder-dotdot.bin": installer(manifest(files=standard_records(folder_2="Docs\\..\\.."))),
    "folder-absolute.bin": installer(manifest(files=standard_records(folder_2="\\WINDOWS"))),
    "setup-name-with-separator.bin": installer(manifest(header(setup="..\\SETUP.EXE"))),
}


def write_all(folder, files):
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


def main():
    write_all(os.path.join(HERE, "valid"), VALID)
    write_all(os.path.join(HERE, "damaged"), DAMAGED)
    print(f"wrote {len(VALID)} valid and {len(DAMAGED)} damaged installers")


if __name__ == "__main__":
    main()

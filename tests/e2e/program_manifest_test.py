#!/usr/bin/env python3
"""Reads the application manifest and the version resource back from the built programs' PE
resource section: administrator rights, the supported Windows versions, the product and file names.
With --stripped also checks that no debug section is left in the file and that its debug link names
the NAME.exe.debug file beside it.

Usage: program_manifest_test.py [--stripped] PROGRAM.exe...
"""
import os
import struct
import sys
import xml.etree.ElementTree as ET

RT_VERSION, RT_MANIFEST = 16, 24
SUPPORTED_OS = {
    '{e2011457-1546-43c5-a5fe-008deee3d3f0}',  # Windows Vista
    '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}',  # Windows 7
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}',  # Windows 8
    '{1f676c76-80e1-4239-95bb-83d0f6d0da78}',  # Windows 8.1
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}',  # Windows 10 and 11
}
ASM_V1 = '{urn:schemas-microsoft-com:asm.v1}'
ASM_V3 = '{urn:schemas-microsoft-com:asm.v3}'
COMPAT = '{urn:schemas-microsoft-com:compatibility.v1}'


def resources(data):
    """{(type id, name id): bytes} of the file's resource section (first language of each)."""
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    assert data[pe:pe + 4] == b'PE\0\0', 'not a PE file'
    sections, optional_size = struct.unpack_from('<H12xH', data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from('<H', data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from('<I', data, directories + 2 * 8)[0]
    table = optional + optional_size

    def offset(rva):
        for i in range(sections):
            size, address, _, raw = struct.unpack_from('<IIII', data, table + 40 * i + 8)
            if address <= rva < address + size:
                return rva - address + raw
        raise AssertionError(f'RVA {rva:#x} lies in no section')

    base = offset(resource_rva)

    def entries(directory):
        named, ids = struct.unpack_from('<HH', data, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from('<II', data, base + directory + 16 + 8 * i)
            yield name, target & 0x7FFFFFFF, bool(target & 0x80000000)

    found = {}
    for type_id, names, _ in entries(0):
        for name_id, languages, _ in entries(names):
            _, leaf, _ = next(entries(languages))
            rva, size = struct.unpack_from('<II', data, base + leaf)
            found[(type_id, name_id)] = data[offset(rva):offset(rva) + size]
    return found


def check_manifest(text):
    root = ET.fromstring(text)
    level = root.find(f'{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/'
                      f'{ASM_V3}requestedExecutionLevel')
    assert level is not None, 'no requestedExecutionLevel'
    assert level.get('level') == 'requireAdministrator', f'level is {level.get("level")}'
    assert level.get('uiAccess') == 'false', f'uiAccess is {level.get("uiAccess")}'
    # The version 6 common controls, and per-monitor v2 DPI awareness with the older Windows' fallbacks.
    controls = [a for a in root.iter(f'{ASM_V1}assemblyIdentity') if a.get('name') == 'Microsoft.Windows.Common-Controls']
    assert controls and controls[0].get('version') == '6.0.0.0', 'no dependency on the version 6 common controls'
    settings = {e.tag.split('}')[1]: e.text for e in root.iter() if e.tag.endswith(('}dpiAware', '}dpiAwareness'))}
    assert settings == {'dpiAware': 'true/pm', 'dpiAwareness': 'PerMonitorV2, PerMonitor'}, f'DPI settings {settings}'
    ids = {e.get('Id').lower() for e in root.iter(f'{COMPAT}supportedOS')}
    assert ids == SUPPORTED_OS, f'supportedOS entries differ: missing {SUPPORTED_OS - ids}, extra {ids - SUPPORTED_OS}'
    assert root.tag == f'{ASM_V1}assembly', f'root element is {root.tag}'


def check_version(block, name):
    for key, value in (('ProductName', 'Korvalin Installer'), ('OriginalFilename', name)):
        # A String entry: its key, zero padding to a 4-byte boundary, then the value.
        key16, value16 = (key + '\0').encode('utf-16-le'), (value + '\0').encode('utf-16-le')
        at = block.find(key16)
        assert at >= 0, f'no {key} in the version resource'
        assert value16 in block[at + len(key16):at + len(key16) + 4 + len(value16)], f'{key} is not "{value}"'


def check_stripped(data, path):
    assert b'.debug_info' not in data, 'debug sections left in the shipped file'
    link = os.path.basename(path) + '.debug'
    assert (link + '\0').encode() in data, f'no debug link to {link}'
    assert os.path.getsize(path + '.debug') > 0, f'{link} is missing or empty'


def main(argv):
    stripped = '--stripped' in argv
    failures = 0
    for path in (a for a in argv if a != '--stripped'):
        name = os.path.basename(path)
        with open(path, 'rb') as f:
            data = f.read()
        try:
            found = resources(data)
            assert (RT_MANIFEST, 1) in found, 'no RT_MANIFEST resource 1 (CREATEPROCESS_MANIFEST_RESOURCE_ID)'
            check_manifest(found[(RT_MANIFEST, 1)])
            assert (RT_VERSION, 1) in found, 'no version resource'
            check_version(found[(RT_VERSION, 1)], name)
            if stripped:
                check_stripped(data, path)
            print(f'ok   {name}')
        except AssertionError as error:
            print(f'FAIL {name}: {error}')
            failures += 1
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))

"""Writes installer files for the end-to-end tests with a writer of its own (not the project's
builder): program image, SZDD entries, manifest, trailer, checksum. Damage is applied on purpose."""
import struct

SZDD_SIGNATURE = bytes([0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33])


def szdd_literal(data: bytes) -> bytes:
    """An SZDD file that stores every byte as a literal: a flag byte 0xFF before each 8 bytes."""
    out = bytearray(SZDD_SIGNATURE + b'A\0' + struct.pack('<I', len(data)))
    for i in range(0, len(data), 8):
        chunk = data[i:i + 8]
        out.append((1 << len(chunk)) - 1)
        out += chunk
    return bytes(out)


def cstr(text: str) -> bytes:
    return text.encode('latin-1') + b'\0'


def manifest_bytes(m: dict, file_offsets) -> bytes:
    out = bytearray()
    for key in ('title', 'displayName', 'setupName', 'defaultFolder', 'runFile', 'programsFolder'):
        out += cstr(m[key])
    out += struct.pack('<QQ', m.get('archiveDate', 0x01BE4BB0687E0850), m.get('uninstallerDate', 0x01BE4BB0687E0850))
    settings = m.get('settings', [])
    out += struct.pack('<i', m.get('settingCount', len(settings)))
    for s in settings:
        out += cstr(s['iniFile']) + cstr(s['section']) + cstr(s['key']) + cstr(s['value'])
        out += struct.pack('<I', s.get('numeric', 0))
    files = m['files']
    out += struct.pack('<i', m.get('fileCount', len(files)))
    for f, (offset, length) in zip(files, file_offsets):
        out += cstr(f['file']) + cstr(f.get('folder', '')) + cstr(f.get('exeparms', ''))
        out += struct.pack('<II', f.get('desktopIcon', 0), f.get('programsIcon', 0))
        out += cstr(f.get('iconName', ''))
        out += struct.pack('<II', f.get('offset', offset), f.get('length', length))
    out += b'\0'
    return bytes(out)


def signed_sum(data: bytes) -> int:
    total = sum(b - 256 if b >= 0x80 else b for b in data)
    return total & 0xFFFFFFFF


def build_installer(program_image: bytes, manifest: dict) -> bytes:
    """The whole installer: image, one entry per file record (its 'content'), manifest, trailer."""
    body = bytearray(program_image)
    offsets = []
    for f in manifest['files']:
        entry = szdd_literal(f.get('content', b''))
        offsets.append((len(body), len(entry)))
        body += entry
    block = manifest_bytes(manifest, offsets)
    body += block
    body += struct.pack('<I', len(block))
    body += struct.pack('<I', signed_sum(bytes(body)))
    return bytes(body)


def flip(data: bytes, offset: int) -> bytes:
    changed = bytearray(data)
    changed[offset] ^= 0x01
    return bytes(changed)


def manifest_start(data: bytes) -> int:
    length = struct.unpack_from('<I', data, len(data) - 8)[0]
    return len(data) - 8 - length


def sample_manifest(**overrides) -> dict:
    m = {
        'title': 'Korvalin Sample 2.0',
        'displayName': 'Korvalin Sample',
        'setupName': 'SETUP.EXE',
        'defaultFolder': 'C:\\Program Files\\Sample',
        'runFile': 'SAMPLE.TXT',
        'programsFolder': 'Korvalin Sample',
        'files': [
            # In a sub-folder, not the Windows directory: the stand-in must not replace the real
            # uninstaller that other tests in the same Wine prefix install there.
            {'file': 'Kvuninstall.exe', 'folder': 'bin', 'content': b'MZ uninstaller stand-in'},
            {'file': 'SAMPLE.TXT', 'content': b'Hello from the sample archive.\r\n' * 4},
        ],
    }
    m.update(overrides)
    return m


#!/usr/bin/env python3
"""End-to-end check of the installation engine inside the real installer under Wine, read back with
tools that are not the project's: the uninstall data file byte for byte against the format written
out here, `wine reg query` for the registration, lnkinfo for both shortcuts, the INI file as text and
the installed files' contents and time stamps. A second run of the same installer must add nothing
to the data file."""
import argparse
import glob
import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from installer_fixtures import build_installer  # noqa: E402  (an installer writer that is not kvpack)
from e2e_common import (UNINSTALL_KEY, Runner, on_display, prefix_path, read_file, read_text,  # noqa: E402
                        registry_view, remove_file, shortcut_fields, write_file)

ARCHIVE_DATE = 0x01BE4BB0687E0850       # 1999-01-29 17:54:25.237 UTC
UNINSTALLER_DATE = 0x01BE4BB000000000   # a little earlier than archiveDate
FOLDER = 'C:\\KvEngineE2E\\Program Files\\App'
PRODUCT = 'Korvalin Engine E2E'
KEY = UNINSTALL_KEY + PRODUCT
CAPTION = 'Engine App 1.0'
LINK_NAME = 'Engine App 1.lnk'
MENU = 'Kv Engine E2E'

APP = b'the application ' * 300
ITC = b'index data ' * 20
NOTES = b'notes\r\n' * 10


def manifest():
    return {
        'title': 'Engine E2E', 'displayName': PRODUCT, 'setupName': 'ENGSETUP.EXE', 'defaultFolder': FOLDER,
        'runFile': 'APP.EXE', 'programsFolder': MENU,
        'archiveDate': ARCHIVE_DATE, 'uninstallerDate': UNINSTALLER_DATE,
        'settings': [
            {'iniFile': 'kvengine-e2e.ini', 'section': 'Paths', 'key': 'Home', 'value': '$INSTALL\\data'},
            {'iniFile': 'kvengine-e2e.ini', 'section': 'Options', 'key': 'Count', 'value': '3', 'numeric': 1},
        ],
        'files': [
            # With a folder the first record stays out of the Windows directory, so this stand-in
            # never replaces the real uninstaller that other tests place in the shared prefix.
            {'file': 'Kvuninstall.exe', 'folder': 'bin', 'content': b'stand-in uninstaller'},
            {'file': 'APP.EXE', 'exeparms': '-e2e', 'desktopIcon': 1, 'programsIcon': 1, 'iconName': CAPTION,
             'content': APP},
            {'file': 'data.itc', 'folder': 'data', 'content': ITC},
            {'file': 'Notes.txt', 'folder': 'doc', 'content': NOTES},
        ],
    }


def record(kind, text, location=None, folder=None):
    """One Kvuninstall.dat record: kind, for a shortcut its location (0 = Programs, with the menu
    folder), then the text; strings end in a zero byte."""
    out = bytes([kind])
    if kind == 1:
        out += bytes([location])
        if location == 0:
            out += folder.encode('latin-1') + b'\0'
    return out + text.encode('latin-1') + b'\0'


def expected_data_file():
    return (record(2, PRODUCT)
            + record(0, FOLDER + '\\APP.EXE') + record(1, CAPTION, 1) + record(1, CAPTION, 0, MENU)
            + record(0, FOLDER + '\\data\\data.itc') + record(0, FOLDER + '\\doc\\Notes.txt')
            + record(0, FOLDER + '\\ENGSETUP.EXE'))


def unix_time(filetime):
    return (filetime - 116444736000000000) / 10_000_000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--installer', required=True, help='the installer program (kvsetup.exe)')
    parser.add_argument('--work', required=True)
    args = parser.parse_args()
    on_display()

    drive_c = prefix_path('drive_c')
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    with open(args.installer, 'rb') as f:
        image = f.read()
    write_file(os.path.join(args.work, 'ENGINE.EXE'), build_installer(image, manifest()))
    r = Runner(args, registry_view(image))
    started = time.time()

    # A clean slate inside the prefix (the prefix itself is created on the first Wine start).
    r.registry_delete(KEY)
    shutil.rmtree(os.path.join(drive_c, 'KvEngineE2E'), ignore_errors=True)
    for old in glob.glob(os.path.join(drive_c, 'users', '*', '**', LINK_NAME), recursive=True):
        os.remove(old)
    ini_path = os.path.join(drive_c, 'windows', 'kvengine-e2e.ini')
    remove_file(ini_path)

    # OptNP: Install Now is pressed by the timer and nothing is asked; OptNL: no licence dialog.
    status, _ = r.wine(['ENGINE.EXE', 'OptNP OptNL'], cwd=args.work)
    r.check('first run', status == 0, 'exit code %d (0 = installed)' % status)

    folder = os.path.join(drive_c, 'KvEngineE2E', 'Program Files', 'App')

    def read(*parts):
        return read_file(os.path.join(folder, *parts))

    c = 'placed files'
    r.check(c, read('APP.EXE') == APP, 'APP.EXE expanded in place')
    r.check(c, read('data', 'data.itc') == ITC, 'data\\data.itc expanded in its folder')
    r.check(c, read('doc', 'Notes.txt') == NOTES, 'doc\\Notes.txt expanded in its folder')
    r.check(c, (read('ENGSETUP.EXE') or b'')[:2] == b'MZ', 'the installer copied itself')
    r.check(c, not os.path.exists(os.path.join(folder, 'Kvtmpexp.dat')), 'no temporary expansion file left')
    for name in ('APP.EXE', 'ENGSETUP.EXE'):
        path = os.path.join(folder, name)
        if os.path.exists(path):
            r.check(c, abs(os.stat(path).st_mtime - unix_time(ARCHIVE_DATE)) < 0.001,
                    '%s last-write time is archiveDate' % name)
    uninstaller_path = os.path.join(folder, 'bin', 'Kvuninstall.exe')
    r.check(c, read('bin', 'Kvuninstall.exe') == b'stand-in uninstaller', 'the first record placed in its folder')
    r.check(c, os.path.exists(uninstaller_path)
            and abs(os.stat(uninstaller_path).st_mtime - unix_time(UNINSTALLER_DATE)) < 0.001,
            'the first record stamped with uninstallerDate (and, below, not in the data file)')

    data_file = read('Kvuninstall.dat')
    r.check('data file', data_file == expected_data_file(), 'Kvuninstall.dat byte for byte: %r' % (data_file,))

    ini = read_text(ini_path)
    r.check('profile', 'Home=' + FOLDER + '\\data' in ini, 'INI string setting with $INSTALL expanded: %r' % ini)
    r.check('profile', 'Count=3' in ini, 'INI numeric setting')

    # The command embeds the folder: REG_SZ, so nothing in it is expanded, and FOLDER|PRODUCT quoted
    # for cmd.exe.
    for value, kind, data in (('DisplayName', 'REG_EXPAND_SZ', PRODUCT),
                              ('UninstallString', 'REG_SZ', 'C:\\windows\\Kvuninstall.exe "%s|%s"' % (FOLDER, PRODUCT))):
        found = r.registry_value(KEY, value)
        r.check('registry', found and found[0] == kind and found[1].endswith(data), '%s: %r' % (value, found))

    links = glob.glob(os.path.join(drive_c, 'users', '*', '**', LINK_NAME), recursive=True)
    desktop = [l for l in links if os.sep + 'Desktop' + os.sep in l]
    programs = [l for l in links if os.sep + MENU + os.sep in l]
    c = 'shortcuts'
    r.check(c, len(desktop) == 1 and len(programs) == 1, 'one Desktop and one Programs shortcut: %r' % links)
    for link in desktop + programs:
        fields = shortcut_fields(link)
        r.check(c, fields.get('Local path', '').lower() == (FOLDER + '\\APP.EXE').lower(),
                'shortcut target: %r' % fields.get('Local path'))
        r.check(c, fields.get('Description') == CAPTION, 'shortcut description: %r' % fields.get('Description'))
        r.check(c, fields.get('Working directory') == FOLDER, 'working directory: %r' % fields.get('Working directory'))
        r.check(c, fields.get('Command line arguments') == '-e2e', 'arguments: %r' % fields.get('Command line arguments'))

    # Someone who may write to the installation folder leaves symbolic links under the scratch
    # file's name, pointing at a file of theirs outside it: the run must not write through them.
    outside = os.path.join(args.work, 'outside.txt')
    with open(outside, 'wb') as f:
        f.write(b'not the installer\'s to write')
    planted = [os.path.join(folder, 'Kvtmpexp.dat'), os.path.join(folder, 'doc', 'Kvtmpexp.dat')]
    for link in planted:
        os.symlink(outside, link)

    # The same installer again into the same folder: everything is already recorded.
    status, _ = r.wine(['ENGINE.EXE', 'OptNP OptNL'], cwd=args.work)
    r.check('second run', status == 0, 'exit code %d' % status)
    r.check('second run', read('Kvuninstall.dat') == expected_data_file(), 'appended nothing to Kvuninstall.dat')
    r.check('links', os.path.exists(outside) and open(outside, 'rb').read() == b'not the installer\'s to write',
            'the linked file outside is neither changed nor deleted')
    r.check('links', not any(os.path.lexists(link) for link in planted), 'the links are gone with the scratch files')
    r.check('links', read('APP.EXE') == APP and read('doc', 'Notes.txt') == NOTES, 'placed again in full past the links')

    r.registry_delete(KEY)
    for link in links:
        os.remove(link)
    return r.report(started)


if __name__ == '__main__':
    sys.exit(main())

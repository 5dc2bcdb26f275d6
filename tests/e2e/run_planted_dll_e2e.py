#!/usr/bin/env python3
"""End-to-end test under Wine: no DLL planted beside the programs or in their current directory is
loaded. A marker DLL (planted_dll.c) is copied under the name of every DLL that kvsetup.exe,
Kvuninstall.exe and kvpack.exe import (read from their import tables with objdump) or load at run
time, unless it is one of the KnownDLLs, into the installer's download folder, the folder each
program starts in and the installation folder; Wine is told to prefer those files to its own for
exactly those names, as Windows' search order would for DLLs that are not KnownDLLs. Then kvpack.exe,
lying in the download folder, verifies and lists the installer there, the installer runs through its
dialog and licence, and the uninstaller with /S: each run completes, and no marker is written.
The installation folder also holds symbolic links under the names of the licence file and the data
file's replacement, pointing at a file outside it, which must stay as it was; a second product
installed there first makes the uninstaller replace the data file rather than delete it.

Usage: run_planted_dll_e2e.py --installer kvsetup.exe --uninstaller Kvuninstall.exe --kvpack kvpack.exe
                              --uidriver uidriver.exe --dll planted_dll.dll --objdump OBJDUMP --work DIR"""
import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import installer_fixtures as fx  # noqa: E402
from e2e_common import MAIN_CAPTION, UNINSTALL_KEY, Case, Runner, on_display, registry_view, unix, win  # noqa: E402
from run_license_e2e import COMPLETE, LICENSE, LICENSE_RTF  # noqa: E402

# The KnownDLLs of every Windows from 7 to 11: the loader takes them from the system folder only, as
# it does ntdll. Anything else is looked for in the program's folder first.
KNOWN_DLLS = {'advapi32', 'clbcatq', 'comdlg32', 'gdi32', 'imagehlp', 'imm32', 'kernel32', 'msctf', 'msvcrt',
              'normaliz', 'nsi', 'ntdll', 'ole32', 'oleaut32', 'psapi', 'rpcrt4', 'sechost', 'setupapi',
              'shell32', 'shlwapi', 'user32', 'wldap32', 'ws2_32'}
# Loaded at run time by the programs or by the system DLLs they call: the LZ service, the common
# controls, rich edit, themes, version information and what those use in turn.
RUN_TIME_DLLS = {'lz32', 'comctl32', 'riched20', 'riched32', 'msftedit', 'uxtheme', 'version', 'usp10',
                 'msimg32', 'oleacc', 'dwmapi'}
FOLDER = 'C:\\KvPlantedDll'
PRODUCT, OTHER = 'KvPlantedDll', 'KvPlantedOther'


def imports(objdump, program):
    out = subprocess.run([objdump, '-p', program], capture_output=True, text=True, check=True).stdout
    return {line.split(':', 1)[1].strip().lower().removesuffix('.dll') for line in out.splitlines()
            if line.strip().startswith('DLL Name:')}


def main():
    parser = argparse.ArgumentParser()
    for option in ('--installer', '--uninstaller', '--kvpack', '--uidriver', '--dll', '--objdump', '--work'):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    on_display()
    started = time.time()
    with open(args.installer, 'rb') as f:
        image = f.read()
    r = Runner(args, registry_view(image))
    for product in (PRODUCT, OTHER):
        r.wine(['reg', 'delete', UNINSTALL_KEY + product, '/f', r.view])

    imported = set().union(*(imports(args.objdump, program) for program in (args.installer, args.uninstaller, args.kvpack)))
    names = sorted((imported - KNOWN_DLLS) | RUN_TIME_DLLS)
    print('planted: ' + ' '.join(names))
    shutil.rmtree(args.work, ignore_errors=True)
    downloads, start_dir, markers = (os.path.join(args.work, d) for d in ('Downloads', 'start', 'markers'))
    installed = unix(FOLDER)
    shutil.rmtree(installed, ignore_errors=True)
    for folder in (downloads, start_dir, installed):
        os.makedirs(folder)
        for name in names:
            shutil.copyfile(args.dll, os.path.join(folder, name + '.dll'))
    os.makedirs(markers)
    outside = os.path.join(args.work, 'outside.txt')
    with open(outside, 'w') as f:
        f.write('not theirs to write')
    for name in ('Kvlicense.rtf', 'Kvuninstall.dat.new'):
        os.symlink(outside, os.path.join(installed, name))
    setup, uninstaller = os.path.join(downloads, 'SETUP.EXE'), os.path.join(downloads, 'Kvuninstall.exe')
    shutil.copyfile(args.uninstaller, uninstaller)
    kvpack = os.path.join(downloads, 'kvpack.exe')
    shutil.copyfile(args.kvpack, kvpack)
    files = [{'file': 'Kvuninstall.exe', 'folder': 'bin', 'content': b'MZ uninstaller stand-in'},
             {'file': 'LICENSE.RTF', 'content': LICENSE_RTF}, {'file': 'SAMPLE.TXT', 'content': b'Sample.\r\n'}]
    with open(setup, 'wb') as f:
        f.write(fx.build_installer(image, fx.sample_manifest(displayName=PRODUCT, defaultFolder=FOLDER, files=files)))
    # For kvpack.exe, one that keeps the record rules (the others put their uninstaller stand-in in a folder).
    checked = os.path.join(downloads, 'CHECKED.EXE')
    with open(checked, 'wb') as f:
        f.write(fx.build_installer(image, fx.sample_manifest(files=[{'file': 'Kvuninstall.exe'}] + files[1:])))
    other = os.path.join(downloads, 'OTHER.EXE')
    with open(other, 'wb') as f:
        f.write(fx.build_installer(image, fx.sample_manifest(displayName=OTHER, defaultFolder=FOLDER, setupName='OTHER.EXE',
                                                             files=files[:1] + [{'file': 'OTHER.TXT'}])))

    # The installer starts elsewhere and is told its folder ("FOLDER|"), so both its folder and its
    # first current directory hold the planted files; the run then works in the installation folder.
    steps = ['echo', 'kvpack-verify', 'start', '"%s" verify "%s"' % (win(kvpack), win(checked)), '--cwd', win(start_dir),
             'exitcode', '--timeout', '60',
             'echo', 'kvpack-list', 'start', '"%s" list "%s"' % (win(kvpack), win(checked)), '--cwd', win(start_dir),
             'exitcode', '--timeout', '60',
             'echo', 'install-other', 'start', '"%s" OptNP OptNL' % win(other), '--cwd', win(downloads),
             'exitcode', '--timeout', '60',
             'echo', 'install', 'start', '"%s" %s|' % (win(setup), win(downloads)), '--cwd', win(start_dir),
             'wait', MAIN_CAPTION, 'press', 'Install Now', 'wait', LICENSE, 'press', 'I Accept', 'gone',
             'wait', COMPLETE, '--timeout', '60', 'press', 'No', 'gone', 'exitcode', '--timeout', '60',
             'echo', 'uninstall', 'start', '"%s" "%s|%s" /S' % (win(uninstaller), FOLDER, PRODUCT),
             '--cwd', win(start_dir), 'windowless', '--timeout', '60',
             'echo', 'uninstall-other', 'start', '"%s" "%s|%s" /S' % (win(uninstaller), FOLDER, OTHER),
             '--cwd', win(start_dir), 'windowless', '--timeout', '60']
    overrides = ';'.join('%s=n,b' % name for name in names)
    os.environ.update(KV_MARKER_DIR=win(markers),
                      WINEDLLOVERRIDES='winemenubuilder.exe=d;mscoree=d;mshtml=d;' + overrides)
    cases = r.drive(steps)
    for name in ('kvpack-verify', 'kvpack-list', 'install-other', 'install', 'uninstall', 'uninstall-other'):
        c = cases.get(name) or Case(name)
        r.check(c, not c.errors and c.exit_code == 0, 'completes, exit %s' % c.exit_code)
    c = Case('result')
    r.check(c, not any(os.path.exists(os.path.join(installed, name)) for name in ('SAMPLE.TXT', 'OTHER.TXT')),
            'installed, then removed')
    loaded = sorted(os.listdir(markers))
    r.check(c, not loaded, 'no planted DLL loaded: %s' % ' '.join(loaded))
    r.check(c, os.path.exists(outside) and open(outside).read() == 'not theirs to write',
            'nothing written or deleted through the planted links')
    r.check(c, not any(os.path.lexists(os.path.join(installed, n)) for n in ('Kvlicense.rtf', 'Kvuninstall.dat.new')),
            'the links were replaced by the programs\' own files')
    return r.report(started)


if __name__ == '__main__':
    sys.exit(main())

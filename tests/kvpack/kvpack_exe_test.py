#!/usr/bin/env python3
"""kvpack.exe under Wine against the Linux kvpack, on one project whose sources lie in a folder
with a space, below a path longer than MAX_PATH, with a payload named "café.txt":
- build: the same installer bytes, from a project with Windows paths (drive letter, backslashes)
  and every key of the product's identity,
  the stub from KVPACK_STUB, the date from SOURCE_DATE_EPOCH, and four threads;
- verify, extract, compress, expand and log work on such names and give what Linux gives, and the
  signing command gets such names intact;
- --help and error messages read the same, with the same exit codes.

Usage: kvpack_exe_test.py --kvpack-exe kvpack.exe --kvpack LINUX_KVPACK --stub kvsetup.exe
                          --uninstaller Kvuninstall.exe --wine-run scripts/wine-run.sh --work DIR"""
import argparse
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'e2e'))
from e2e_common import win  # noqa: E402

PAYLOAD = 'café.txt'
EPOCH = '1796126400'  # 2026-12-01 12:00:00 UTC


class Check:
    def __init__(self, args):
        self.args = args
        self.failures = []

    def run(self, argv, env=None, windows=False):
        """(exit code, stdout, stderr) of kvpack or, with `windows`, of kvpack.exe under Wine. Windows
        console output ends its lines with CR LF; that is the only difference allowed."""
        command = ([self.args.wine_run, self.args.kvpack_exe] if windows else [self.args.kvpack]) + argv
        result = subprocess.run(command, capture_output=True, env=dict(os.environ, **(env or {})), timeout=120,
                                cwd=self.args.work)
        text = [stream.decode('utf-8', 'replace').replace('\r\n', '\n') for stream in (result.stdout, result.stderr)]
        return result.returncode, text[0], text[1]

    def expect(self, what, condition, detail=''):
        if not condition:
            self.failures.append('%s %s' % (what, detail))
        print('%s: %s' % ('ok' if condition else 'FAILED', what), flush=True)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def project_text(sources, stub_line, icon):
    """The project with `sources` as the folder part of every source path, and every key of the
    product's identity (`icon` the path of its .ico)."""
    return ('title = "Café Sample 1.0"\ndisplayName = "Café Sample"\nsetupName = "SETUP.EXE"\n'
            "defaultFolder = 'C:\\Program Files\\Café Sample'\nrunFile = \"APP.EXE\"\n"
            'programsFolder = "Café Sample"\nuninstallerDate = "2026-11-30T08:00:00Z"\n' + stub_line +
            'version = "1.0.2"\npublisher = "Café Makers"\nurl = "https://café.example/"\n'
            'support = "help@café.example"\nhelpLink = "https://café.example/help"\n'
            'caption = "Café Sample Setup"\ncopyright = "© 2026 Café Makers.\\nAll rights reserved."\n'
            'vendorWord = "Café"\nicon = %s\n' % json.dumps(icon) +
            "[[file]]\nsource = '%sapp.bin'\nfile = \"APP.EXE\"\ndesktopIcon = true\niconName = \"Café Sample\"\n"
            "[[file]]\nsource = '%s%s'\nfolder = \"docs\"\n" % (sources, sources, PAYLOAD))


def main():
    parser = argparse.ArgumentParser()
    for option in ('--kvpack-exe', '--kvpack', '--stub', '--uninstaller', '--wine-run', '--work'):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    c = Check(args)

    # Two folder levels of 120 letters put the payload's full name past 260 characters.
    sources = os.path.join(args.work, 'sources with space', 'L' * 120, 'M' * 120)
    write(os.path.join(sources, 'app.bin'), b'MZ' + bytes(range(256)) * 40)
    payload_bytes = ('Grüße aus dem Café.\r\n' * 300).encode('utf-8')
    write(os.path.join(sources, PAYLOAD), payload_bytes)
    out = os.path.join(args.work, 'out dir')
    os.makedirs(out)
    linux_project = os.path.join(args.work, 'linux.toml')
    relative = os.path.relpath(sources, args.work).replace(os.sep, '/') + '/'
    icon = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'examples', 'demo', 'kvdemo.ico')
    write(linux_project, project_text(relative, 'stub = %s\n' % json.dumps(args.stub), icon).encode('utf-8'))
    windows_project = os.path.join(args.work, 'windows project.toml')
    write(windows_project, project_text(win(sources) + '\\', '', win(icon)).encode('utf-8'))
    c.expect('the payload path is longer than MAX_PATH', len(win(os.path.join(sources, PAYLOAD))) > 260)

    linux_setup, windows_setup = os.path.join(out, 'linux.exe'), os.path.join(out, 'windows.exe')
    date = {'SOURCE_DATE_EPOCH': EPOCH}
    code, stdout, stderr = c.run(['build', linux_project, '-o', linux_setup, '--uninstaller', args.uninstaller, '-q'],
                                 date)
    c.expect('kvpack builds the project', code == 0, stderr)
    code, stdout, stderr = c.run(['build', win(windows_project), '-o', win(windows_setup), '--uninstaller',
                                  win(args.uninstaller), '-j', '4'], dict(date, KVPACK_STUB=win(args.stub)), True)
    c.expect('kvpack.exe builds the project with Windows paths', code == 0, stderr)
    c.expect('kvpack.exe reports like kvpack', stdout.startswith(win(windows_setup) + ': 3 files, '), stdout)
    same = os.path.exists(windows_setup) and read(linux_setup) == read(windows_setup)
    c.expect('kvpack.exe writes the same bytes as kvpack (%d bytes)' % os.path.getsize(linux_setup), same)
    c.expect('the manifest holds the Windows-1252 name', b'caf\xe9.txt\0' in read(linux_setup))

    code, stdout, stderr = c.run(['verify', win(windows_setup)], windows=True)
    c.expect('kvpack.exe verifies it', code == 0 and ': OK: checksum ' in stdout, stdout + stderr)
    # The signing command goes to the shell as UTF-16: a copy into a folder named with a letter outside
    # the ANSI code page reaches its files, so the build gets as far as finding the copy unsigned.
    signed = os.path.join(args.work, 'signed Ω', 'setup.exe')
    os.makedirs(os.path.dirname(signed))
    code, stdout, stderr = c.run(['build', win(windows_project), '-o', win(signed), '--uninstaller',
                                  win(args.uninstaller), '--sign', 'copy {in} {out}', '-q'],
                                 dict(date, KVPACK_STUB=win(args.stub)), True)
    c.expect('kvpack.exe runs the signing command on a non-ANSI path',
             code == 2 and 'does not read back as a signed installer' in stderr, stdout + stderr)
    extracted = os.path.join(args.work, 'extracted é')
    code, stdout, stderr = c.run(['extract', win(windows_setup), '-d', win(extracted)], windows=True)
    c.expect('kvpack.exe extracts café.txt by its name',
             code == 0 and read(os.path.join(extracted, 'docs', PAYLOAD)) == payload_bytes, stdout + stderr)

    # One file to SZDD and back, beside the payload in the long folder.
    packed = os.path.join(sources, PAYLOAD + '_')
    code, _, stderr = c.run(['compress', win(os.path.join(sources, PAYLOAD))], windows=True)
    c.run(['compress', os.path.join(sources, PAYLOAD), '-o', packed + '.linux'])
    c.expect('kvpack.exe compresses like kvpack', code == 0 and read(packed) == read(packed + '.linux'), stderr)
    os.remove(os.path.join(sources, PAYLOAD))
    code, _, stderr = c.run(['expand', win(packed)], windows=True)
    c.expect('kvpack.exe expands it back', code == 0 and read(os.path.join(sources, PAYLOAD)) == payload_bytes, stderr)

    # A data file with a product and a file record, names in Windows-1252.
    data_file = os.path.join(args.work, 'Kvuninstall.dat')
    write(data_file, b'\x02Caf\xe9 Sample\0' + b'\0C:\\Caf\xe9\\docs\\caf\xe9.txt\0')
    logs = [c.run(['log', '--json', path], windows=windows) for path, windows in ((data_file, False),
                                                                                   (win(data_file), True))]
    records = [json.loads(stdout)['records'] if code == 0 else stderr for code, stdout, stderr in logs]
    c.expect('kvpack.exe lists the data file like kvpack', records[0] == records[1], repr(records))

    # What a user reads: --help, a wrong command line, a missing file.
    for argv in (['--help'], ['build', '--help'], ['build', 'project.toml'], ['verify', 'missing é.exe'],
                 ['build', 'missing.toml', '-o', 'x.exe']):
        linux, windows = c.run(argv), c.run(argv, windows=True)
        c.expect('kvpack.exe %s reads as on Linux' % ' '.join(argv), linux == windows, '\n%r\n%r' % (linux, windows))

    if c.failures:
        print('\n%d failed:\n  %s' % (len(c.failures), '\n  '.join(c.failures)))
        return 1
    print('all passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())

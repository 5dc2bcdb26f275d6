#!/usr/bin/env python3
"""The installer's windows at 96, 144 and 192 DPI under Wine: the main dialog, the licence dialog, a
message box and the folder browser each shown, the dialogs' texts measured against their controls by
the UI driver (nothing cut off), the licence text kept inside its frame, and a screenshot of each.

Usage: run_dpi_e2e.py --installer kvsetup.exe --uidriver uidriver.exe --work DIR [--screenshots DIR]
Runs in a Wine prefix of its own under DIR (Wine takes the DPI from the user's LogPixels value, which
must not leak into the other tests' prefix); without DISPLAY the script runs itself again under xvfb-run."""
import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import installer_fixtures as fx  # noqa: E402
from e2e_common import FAILED_CAPTION, MAIN_CAPTION, Case, Runner, on_display, registry_view, win  # noqa: E402

LICENSE = 'License Agreement'
BROWSER = 'Browse for Folder'
DPIS = (96, 144, 192)
DIALOG_FONT = ('MS Sans Serif', '8')
PLACEHOLDER_ID, RICH_TEXT_ID = 1006, 101


def licence_installer(image, work):
    licence = (b'{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20 '
               b'\\b SAMPLE LICENCE AGREEMENT\\b0\\par\\par You may install and use one copy.\\par}')
    manifest = fx.sample_manifest(title='DPI sample 1.0', displayName='KvDpi', files=[
        {'file': 'Kvuninstall.exe', 'content': b'MZ uninstaller stand-in'},
        {'file': 'LICENSE.RTF', 'content': licence}])
    path = os.path.join(work, 'dpi.exe')
    with open(path, 'wb') as f:
        f.write(fx.build_installer(image, manifest))
    return path


def steps_at(dpi, exe, work):
    """One run of the installer at this DPI: every window shown, measured and photographed, then declined."""
    shot = lambda name: ['sleep', '700', 'echo', '!shot %s-%d' % (name, dpi), 'sleep', '1500']
    target = win(os.path.join(work, 'installed-%d' % dpi))
    return (['echo', 'dpi-%d' % dpi, 'start', '"%s"' % win(exe), '--cwd', win(work), 'wait', MAIN_CAPTION] +
            shot('main-dialog') + ['fits', *DIALOG_FONT] +
            ['press', 'Browse...', 'wait', BROWSER] + shot('folder-browser') + ['press', 'Cancel', 'gone',
             'wait', MAIN_CAPTION, 'type', '1002', 'C:\\bad|folder', 'press', 'Install Now',
             'wait', FAILED_CAPTION, 'dump'] + shot('message-box') + ['press', 'OK', 'gone',
             'wait', MAIN_CAPTION, 'type', '1002', target, 'press', 'Install Now', 'wait', LICENSE,
             'rect', str(PLACEHOLDER_ID), 'rect', str(RICH_TEXT_ID)] + shot('license-dialog') +
            ['fits', *DIALOG_FONT, 'press', 'I Do Not Accept', 'gone', 'exitcode'])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--installer', required=True)
    parser.add_argument('--uidriver', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--screenshots', default='')
    args = parser.parse_args()
    on_display()

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    if args.screenshots:
        os.makedirs(args.screenshots, exist_ok=True)
    os.environ['KV_WINEPREFIX'] = os.path.join(args.work, 'prefix')
    with open(args.installer, 'rb') as f:
        image = f.read()
    exe = licence_installer(image, args.work)

    r = Runner(args, registry_view(image))
    # Without a window manager Wine draws the captions itself, so screenshots show the dialogs' titles.
    r.wine(['reg', 'add', 'HKCU\\Software\\Wine\\X11 Driver', '/v', 'Decorated', '/d', 'N', '/f'])
    started = time.time()

    def on_line(line):
        if line.startswith('== !shot ') and args.screenshots:
            subprocess.run(['import', '-window', 'root', os.path.join(args.screenshots, line[9:] + '.png')],
                           capture_output=True)

    frames = {}
    for dpi in DPIS:
        # Each program reads the DPI when it starts; the driver measures at the same DPI.
        r.wine(['reg', 'add', 'HKCU\\Control Panel\\Desktop', '/v', 'LogPixels', '/t', 'REG_DWORD',
                '/d', str(dpi), '/f'])
        cases = r.drive(steps_at(dpi, exe, args.work), on_line)
        c = cases.get('dpi-%d' % dpi) or Case('dpi-%d' % dpi)
        r.check(c, not c.errors, 'every window shown and every text fits its control at %d DPI' % dpi)
        r.check(c, c.exit_code == 6, 'declined licence ends with exit code 6, got %s' % c.exit_code)
        frame, text = c.rects.get(PLACEHOLDER_ID), c.rects.get(RICH_TEXT_ID)
        # The licence text starts inside the black frame at every DPI and ends at most a few pixels past it.
        r.check(c, frame and text and text['x'] > frame['x'] and text['y'] >= frame['y'] and
                text['x'] + text['w'] <= frame['x'] + frame['w'] + dpi // 48,
                'licence text %r inside its frame %r' % (text, frame))
        frames[dpi] = frame
        # Laid out at the DPI, not stretched from 96: the dialogs grow with the dialog font, whose
        # largest bitmap size ("MS Sans Serif" is a bitmap font) is reached at 144 DPI.
        if dpi > 96 and frame and frames.get(96):
            r.check(c, frame['w'] >= frames[96]['w'] * 1.4,
                    'the licence dialog grows with the DPI: frame %r at %d DPI, %r at 96' % (frame, dpi, frames[96]))
    if args.screenshots:
        for dpi in DPIS:
            for name in ('main-dialog', 'folder-browser', 'message-box', 'license-dialog'):
                path = os.path.join(args.screenshots, '%s-%d.png' % (name, dpi))
                r.check('screenshots', os.path.exists(path) and os.path.getsize(path) > 1000, 'taken: ' + path)
    return r.report(started)


if __name__ == '__main__':
    sys.exit(main())

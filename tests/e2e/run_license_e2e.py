#!/usr/bin/env python3
"""End-to-end tests of the licence-agreement dialog and the folder browser in the real installer
under Wine, driven by tests/uidriver: what the licence dialog shows, that it is read-only, how each
answer ends the run (files, data file, registry, exit code), which record is shown, and what the
folder browser preselects and hands back. Two Wine starts: one for the licence, one for Browse.

Usage: run_license_e2e.py --installer kvsetup.exe --uidriver uidriver.exe --work DIR
                          [--screenshots DIR]
The Wine prefix comes from scripts/wine-env.sh (KV_WINEPREFIX); without DISPLAY the script runs
itself again under xvfb-run."""
import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import installer_fixtures as fx  # noqa: E402
from e2e_common import (EXIT_CANCELLED, EXIT_INSTALLED, EXIT_LICENSE_DECLINED, MAIN_CAPTION,  # noqa: E402
                        UNINSTALL_KEY, Case, Runner, on_display, prefix_path, read_file, registry_view,
                        remove_file, win)

LICENSE = 'License Agreement'
BROWSER = 'Browse for Folder'
COMPLETE = 'Installation Complete'
PROMPT = 'For a new folder, choose an existing one here, then edit the folder path in the main window.'

RICH_TEXT_ID = 101
# The demo product's licence: its text is checked after the rich-edit control parsed it.
DEMO_LICENSE = os.path.join(HERE, '..', '..', 'examples', 'demo', 'license.rtf')


def rtf(text):
    return ('{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red255\\green255\\blue0;}'
            '\\f0\\fs20 %s}' % text).encode('latin-1')


LICENSE_RTF = rtf('\\b KORVALIN SAMPLE LICENCE AGREEMENT\\b0\\par\\par '
                  '\\cf1 Read this agreement before installing.\\cf0\\par '
                  'You may install and use one copy of the software.\\par')
LICENSE_TEXT = ('KORVALIN SAMPLE LICENCE AGREEMENT\r\n\r\nRead this agreement before installing.\r\n'
                'You may install and use one copy of the software.')


def licence_manifest(name, licence_files):
    """A product with one profile setting, the uninstaller, the given licence records and SAMPLE.TXT."""
    files = [{'file': 'Kvuninstall.exe', 'content': b'MZ uninstaller stand-in'}]
    files += [{'file': n, 'content': c} for n, c in licence_files]
    files.append({'file': 'SAMPLE.TXT', 'content': b'Sample text.\r\n'})
    return fx.sample_manifest(title='Licence ' + name, displayName='KvLicence ' + name, files=files,
                              settings=[{'iniFile': 'KVLIC-%s.INI' % name.upper(), 'section': 'Sample',
                                         'key': 'Installed', 'value': 'yes'}])


def product_key(name):
    return UNINSTALL_KEY + 'KvLicence ' + name


def licence_cases(r, work, image, shots):
    fixtures = os.path.join(work, 'fixtures')
    os.makedirs(fixtures, exist_ok=True)
    with open(DEMO_LICENSE, 'rb') as f:
        demo = f.read()
    products = {
        'accept': [('LICENSE.RTF', demo)],
        'decline-button': [('License.rtf', LICENSE_RTF)],
        'decline-escape': [('license.rtf', LICENSE_RTF)],
        'decline-closebox': [('LICENSE.RTF', LICENSE_RTF)],
        'empty': [('LICENSE.RTF', b'')],
        'optnl': [('LICENSE.RTF', LICENSE_RTF)],
        # licence.rtf differs in the sixth letter; the first "license" record is shown, not the next.
        'first-only': [('licence.rtf', rtf('Not this one: licence.rtf')),
                       ('license-2.txt', rtf('Shown: license-2.txt')),
                       ('LICENSE.RTF', rtf('Not this one either: the second licence record'))],
    }
    exe = {}
    for name, licences in products.items():
        exe[name] = os.path.join(fixtures, name + '.exe')
        with open(exe[name], 'wb') as f:
            f.write(fx.build_installer(image, licence_manifest(name, licences)))
    target = {name: os.path.join(work, 'installed', name) for name in products}
    # The prefix outlives a run: what an earlier run wrote must not pass for this run's work.
    for name in products:
        ini = prefix_path('drive_c', 'windows', 'KVLIC-%s.INI' % name.upper())
        remove_file(ini)
        r.registry_delete(product_key(name))

    steps = []

    def begin(name, options=''):
        steps.extend(['echo', name, 'start', '"%s"%s' % (win(exe[name]), options), '--cwd', win(fixtures),
                      'wait', MAIN_CAPTION, 'type', '1002', win(target[name]), 'press', 'Install Now'])

    def show_licence():
        # The main dialog is disabled while the licence is up; the text arrives after the dialog shows.
        steps.extend(['wait', LICENSE, 'sleep', '400', 'wait', MAIN_CAPTION, 'dump', 'wait', LICENSE, 'dump',
                      'rect', '1006', 'rect', str(RICH_TEXT_ID)])

    def complete():
        steps.extend(['wait', COMPLETE, '--timeout', '60', 'press', 'No', 'gone', 'exitcode'])

    begin('accept')
    show_licence()
    steps.extend(['chars', str(RICH_TEXT_ID), 'typed', 'sleep', '300', 'dump',
                  'echo', '!licence-screenshot', 'sleep', '2000', 'press', 'I Accept', 'gone'])
    complete()
    for name, answer in (('decline-button', ['press', 'I Do Not Accept']), ('decline-escape', ['key', 'escape']),
                         ('decline-closebox', ['sysclose'])):
        begin(name)
        show_licence()
        # The main dialog ends with the licence: the program exits on its own.
        steps.extend(answer + ['gone', 'exitcode'])
    begin('empty')
    show_licence()
    steps.extend(['press', 'I Accept', 'gone'])
    complete()
    begin('optnl', ' OptNL')
    complete()
    begin('first-only')
    show_licence()
    steps.extend(['press', 'I Accept', 'gone'])
    complete()

    def on_line(line):
        if line == '== !licence-screenshot' and shots:
            subprocess.run(['import', '-window', 'root', os.path.join(shots, 'license-dialog.png')],
                           capture_output=True)

    cases = r.drive(steps, on_line)

    def main_enabled(c):
        return [w['enabled'] for w in c.windows if w['caption'] == MAIN_CAPTION]

    def installed(name, *parts):
        return os.path.exists(os.path.join(target[name], *parts))

    def ini_written(name):
        return os.path.exists(prefix_path('drive_c', 'windows', 'KVLIC-%s.INI' % name.upper()))

    for name in ('accept', 'decline-button', 'decline-escape', 'decline-closebox', 'empty', 'first-only'):
        c = cases.get(name) or Case(name)
        shown = c.controls(LICENSE)
        main = c.controls(MAIN_CAPTION)
        r.check(c, shown and main, 'the licence dialog and the main dialog dumped')
        if not (shown and main):
            continue
        r.check(c, all(main[0].get(i, {}).get('enabled') == '0' for i in (1002, 1004, 1005, 2)),
                'the run disabled the controls')
        r.check(c, main_enabled(c)[:1] == [False], 'the main dialog owns the licence and is disabled')
        licence = shown[0]
        r.check(c, [licence.get(i, {}).get('text') for i in (1, 2)] == ['I Accept', 'I Do Not Accept'],
                'the two answers, got %r' % licence)
        r.check(c, licence.get(1006, {}).get('class') == 'Static', 'the placeholder')
        # The text area: (5, 2) to (w + 2, h + 2) from the placeholder's size, not from its position.
        frame, area = c.rects.get(1006), c.rects.get(RICH_TEXT_ID)
        r.check(c, frame and area and frame['w'] > 400 and area['x'] == 5 and area['y'] == 2 and
                area['w'] == frame['w'] - 3 and area['h'] == frame['h'], 'text area %r over %r' % (area, frame))
        rich = licence.get(RICH_TEXT_ID, {})
        r.check(c, rich.get('class', '').lower().startswith('richedit'), 'a rich-edit control 101, got %r' % rich)
        text = rich.get('text')
        if name == 'accept':
            # Parsed, not shown raw: no braces or control words, paragraphs as line breaks.
            r.check(c, text is not None and text.startswith('Korvalin Demo 1.0 ') and
                    'Licence Agreement\r\n\r\nPlease read this agreement' in text and
                    text.endswith('without changing your computer.') and '{' not in text and '\\' not in text,
                    'the demo licence as text, got %r' % text)
        else:
            expected = {'empty': '', 'first-only': 'Shown: license-2.txt'}.get(name, LICENSE_TEXT)
            r.check(c, text == expected, 'licence text %r, expected %r' % (text, expected))
        r.check(c, not installed(name, 'Kvlicense.rtf'), 'Kvlicense.rtf deleted after the answer')
        r.check(c, os.path.isdir(target[name]) and ini_written(name), 'folder created and setting written')

    c = cases.get('accept') or Case('accept')
    r.check(c, not c.errors, 'no driver errors')
    shown = c.controls(LICENSE)
    r.check(c, len(shown) == 2 and shown[1].get(RICH_TEXT_ID, {}).get('text') == shown[0].get(RICH_TEXT_ID, {}).get('text'),
            'typing into the licence changes nothing, got %r' % [s.get(RICH_TEXT_ID) for s in shown])
    r.check(c, c.exit_code == EXIT_INSTALLED, 'exit code %s' % c.exit_code)
    r.check(c, installed('accept', 'SAMPLE.TXT') and installed('accept', 'Kvuninstall.dat'), 'installed with its data file')
    placed = os.path.join(target['accept'], 'LICENSE.RTF')
    r.check(c, read_file(placed) == demo,
            'the licence record is placed like any other, expanded')
    r.check(c, r.registry_has(product_key('accept')), 'uninstall entry registered')

    for name in ('decline-button', 'decline-escape', 'decline-closebox'):
        c = cases.get(name) or Case(name)
        r.check(c, not c.errors, 'no driver errors')
        r.check(c, c.exit_code == EXIT_LICENSE_DECLINED, 'exit code %s' % c.exit_code)
        r.check(c, os.path.isdir(target[name]) and not os.listdir(target[name]), 'no file placed, got %r'
                % (os.listdir(target[name]) if os.path.isdir(target[name]) else None))
        r.check(c, not installed(name, 'Kvuninstall.dat'), 'no uninstall data file')
        r.check(c, not r.registry_has(product_key(name)), 'no uninstall entry')

    c = cases.get('empty') or Case('empty')
    r.check(c, not c.errors, 'no driver errors')
    r.check(c, c.exit_code == EXIT_INSTALLED and installed('empty', 'SAMPLE.TXT'), 'accepting goes on, exit %s'
            % c.exit_code)

    c = cases.get('optnl') or Case('optnl')
    r.check(c, not c.errors, 'no driver errors (no licence stood in the way)')
    r.check(c, not c.controls(LICENSE), 'no licence dialog')
    r.check(c, c.exit_code == EXIT_INSTALLED and installed('optnl', 'SAMPLE.TXT'), 'installed, exit %s' % c.exit_code)
    r.check(c, not installed('optnl', 'Kvlicense.rtf'), 'no Kvlicense.rtf written')

    c = cases.get('first-only') or Case('first-only')
    r.check(c, not c.errors, 'no driver errors (one licence dialog only)')
    r.check(c, len(c.controls(LICENSE)) == 1, 'one licence shown')
    r.check(c, c.exit_code == EXIT_INSTALLED, 'exit code %s' % c.exit_code)
    r.check(c, all(installed('first-only', n) for n in ('licence.rtf', 'license-2.txt', 'LICENSE.RTF')),
            'every licence record placed')


def browser_cases(r, work, image, shots):
    fixtures = os.path.join(work, 'fixtures')
    os.makedirs(fixtures, exist_ok=True)
    exe = os.path.join(fixtures, 'browse.exe')
    with open(exe, 'wb') as f:
        f.write(fx.build_installer(image, fx.sample_manifest(title='Browse test')))
    steps = []

    def browse(name, typed, after):
        steps.extend(['echo', name, 'start', '"%s"' % win(exe), '--cwd', win(fixtures), 'wait', MAIN_CAPTION,
                      'type', '1002', typed, 'press', 'Browse...', 'wait', BROWSER, 'sleep', '300', 'tree'] + after +
                     ['gone', 'wait', MAIN_CAPTION, 'dump', 'press', 'Exit', 'gone', 'exitcode'])

    # C:\Program Files\ preselects C:\Program Files; Cancel leaves the typed text as it was.
    browse('program-files', 'C:\\Program Files\\',
           ['dump', 'wait', MAIN_CAPTION, 'dump', 'wait', BROWSER,
            # Two tabs move the focus from OK to the tree, which then shows its selection highlighted.
            'key', 'tab', 'sleep', '200', 'key', 'tab', 'sleep', '300', 'tree',
            'echo', '!browser-screenshot', 'sleep', '2000', 'press', 'Cancel'])
    browse('cancel-unconfirmed', 'C:\\windows\\system32\\Not Yet Made\\', ['press', 'Cancel'])
    browse('cancel-escape', 'C:\\windows\\', ['key', 'escape'])
    # OK hands back the selected folder's path: an ordinary folder without, a drive root with backslash.
    browse('ok-folder', 'C:\\windows\\system32\\', ['treeup', 'sleep', '200', 'tree', 'press', 'OK'])
    browse('ok-root', 'C:\\', ['press', 'OK'])
    browse('empty', '', ['press', 'Cancel'])

    def on_line(line):
        if line == '== !browser-screenshot' and shots:
            subprocess.run(['import', '-window', 'root', os.path.join(shots, 'folder-browser.png')],
                           capture_output=True)

    cases = r.drive(steps, on_line)
    expected = {
        'program-files': (['Program Files'], 'C:\\Program Files\\'),
        'cancel-unconfirmed': (None, 'C:\\windows\\system32\\Not Yet Made\\'),
        'cancel-escape': (['windows'], 'C:\\windows\\'),
        'ok-folder': (['windows', 'system32'], 'C:\\windows'),
        'ok-root': ([], 'C:\\'),
        'empty': (None, ''),
    }
    for name, (below_drive, field) in expected.items():
        c = cases.get(name) or Case(name)
        r.check(c, not c.errors, 'no driver errors')
        selected = [line for line in c.tree]
        if below_drive is not None:
            # The tree's item names: Desktop, My Computer, the drive " (C:)", then the folders.
            r.check(c, selected and selected[0][:2] == ['Desktop', 'My Computer'] and
                    selected[0][2].endswith('(C:)') and [s.lower() for s in selected[0][3:]] ==
                    [s.lower() for s in below_drive], 'preselected %r, expected C: then %r' % (selected, below_drive))
        elif name == 'empty':
            r.check(c, selected == [[]], 'nothing preselected, got %r' % selected)
        else:
            # A folder that does not exist leaves the browser's own default: nothing below the drive.
            r.check(c, selected and len(selected[0]) <= 3, 'no folder preselected, got %r' % selected)
        mains = [w['controls'] for w in c.windows if w['caption'] == MAIN_CAPTION]
        r.check(c, mains and mains[-1].get(1002, {}).get('text') == field,
                'folder field %r, expected %r' % (mains[-1].get(1002) if mains else None, field))
        r.check(c, c.exit_code == EXIT_CANCELLED, 'exit code %s' % c.exit_code)

    c = cases.get('program-files') or Case('program-files')
    browsers = [w['controls'] for w in c.windows if w['caption'] == BROWSER]
    texts = [f.get('text') for f in browsers[0].values()] if browsers else []
    r.check(c, PROMPT in texts, 'the prompt above the tree, got %r' % texts)
    enabled = [w['enabled'] for w in c.windows if w['caption'] == MAIN_CAPTION]
    r.check(c, enabled == [False, True], 'the main dialog is disabled under the browser, got %r' % enabled)
    c = cases.get('ok-folder') or Case('ok-folder')
    r.check(c, len(c.tree) == 2 and [s.lower() for s in c.tree[1][3:]] == ['windows'],
            'windows selected after moving up, got %r' % c.tree)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--installer', required=True)
    parser.add_argument('--uidriver', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--screenshots', default='')
    parser.add_argument('--only', choices=['licence', 'browser'], default=None)
    args = parser.parse_args()
    on_display()

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    if args.screenshots:
        os.makedirs(args.screenshots, exist_ok=True)
    with open(args.installer, 'rb') as f:
        image = f.read()

    r = Runner(args, registry_view(image))
    # Without a window manager Wine draws the captions itself, so screenshots show the dialogs' titles.
    r.wine(['reg', 'add', 'HKCU\\Software\\Wine\\X11 Driver', '/v', 'Decorated', '/d', 'N', '/f'])
    started = time.time()
    if args.only in (None, 'licence'):
        licence_cases(r, args.work, image, args.screenshots)
    if args.only in (None, 'browser'):
        browser_cases(r, args.work, image, args.screenshots)
    return r.report(started)


if __name__ == '__main__':
    sys.exit(main())

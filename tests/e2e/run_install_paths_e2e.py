#!/usr/bin/env python3
"""The installation run's other ends under Wine, driven through the real dialogs by the UI driver in
one Wine start: a refused folder corrected and installed, folders that cannot be created, a target
and the installer's copy held open by another process, an unusable uninstall data file, the
completion question answered Yes and No, OptNP with OptRE, launch mode with and without a record
named runFile, and quiet mode (OptQ), which shows no window and tells everything in its log. A stand-in program (started_marker) shows whether, where and how a program started.

Usage: run_install_paths_e2e.py --installer kvsetup.exe --uidriver uidriver.exe
                                --marker started_marker.exe --holder hold_files.exe --work DIR
The Wine prefix comes from scripts/wine-env.sh (KV_WINEPREFIX); without DISPLAY the script runs
itself again under xvfb-run."""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import installer_fixtures as fx  # noqa: E402
from e2e_common import (EXIT_INSTALL_FAILED, EXIT_INSTALLED, FAILED_CAPTION, MAIN_CAPTION,  # noqa: E402
                        UNINSTALL_KEY, Case, Runner, cwin, on_display, prefix_path, read_file, read_text,
                        registry_view, remove_file, shortcut_fields, user_folder, wait_for_file, win,
                        wine_command)

TITLE = 'Korvalin Paths 1.0'
QUIET_LINK = 'Korvalin Quiet Link'
PRODUCT = 'Korvalin Paths'
QUESTION_CAPTION = 'Installation Complete'
WARNING_CAPTION = 'Korvalin Automatic Installer'
QUESTION = 'The installation is complete.\nWould you like to run %s  now?' % TITLE
INVALID = 'The installation folder you entered has invalid characters.'
DATA_FILE_ERROR = ('Error opening Uninstall data file.\nMake sure you are not already installing this '
                   'application, then run the install again.')
LINK_REFUSED = ('%s is a link to another place, or another name of a file elsewhere.\n'
                'Nothing was written through it. Remove it, then run the install again.')
SAMPLE = b'Hello from the paths archive.\r\n' * 40
LICENSE = b'Licence text that launch mode never shows.\r\n'
INI_FILE = 'kvpaths-e2e.ini'
EXIT_LAUNCH_FAILED = 11  # startup/exit_codes.h


def quiet_link_path():
    return os.path.join(user_folder('Desktop'), QUIET_LINK + '.lnk')


def manifest(folder, marker, run_file='RUNME.EXE', extra_files=(), settings=()):
    return fx.sample_manifest(
        title=TITLE, displayName=PRODUCT, defaultFolder=folder, runFile=run_file, programsFolder=PRODUCT,
        settings=list(settings),
        files=[{'file': 'Kvuninstall.exe', 'folder': 'bin', 'content': b'MZ uninstaller stand-in'},
               {'file': 'SAMPLE.TXT', 'content': SAMPLE},
               {'file': 'RUNME.EXE', 'exeparms': '-from-run', 'content': marker}] + list(extra_files))


def free_drive_letter():
    devices = prefix_path('dosdevices')
    return next(d for d in 'QRSTUVWXY' if not os.path.lexists(os.path.join(devices, d.lower() + ':')))


class Holder:
    """A second Windows process holding files open without sharing until it is released."""

    def __init__(self, holder_exe, paths):
        self.proc = subprocess.Popen(wine_command([holder_exe] + [win(p) for p in paths]), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        self.first_line = self.proc.stdout.readline().strip()  # "held" once every handle is open

    def release(self):
        self.proc.stdin.close()
        self.proc.wait(timeout=30)


def temp_folders():
    """The users' %TEMP% folders of the prefix."""
    users = prefix_path('drive_c', 'users', '*')
    return [d for d in glob.glob(os.path.join(users, 'AppData', 'Local', 'Temp')) +
            glob.glob(os.path.join(users, 'Temp')) if os.path.isdir(d)]


def default_logs():
    """Quiet mode's log where no OptLOG= names one: Kvsetup.log in the user's %TEMP%."""
    return [p for p in (os.path.join(d, 'Kvsetup.log') for d in temp_folders()) if os.path.lexists(p)]


def log_lines(path):
    """The lines of a run log without their times ("2026-12-07 21:30:05.123 ")."""
    if not path or not os.path.exists(path):
        return []
    with open(path, encoding='latin-1') as f:
        return [line.rstrip('\r\n')[24:] for line in f]


def logged(message):
    """A message as one line of the run log: its line breaks become " | "."""
    return message.replace('\n', ' | ')


def marker_fields(text):
    return dict(line.split('=', 1) for line in (text or '').splitlines() if '=' in line)


def main():
    parser = argparse.ArgumentParser()
    for option in ('--installer', '--uidriver', '--marker', '--holder', '--work'):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    on_display()

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    fixtures = os.path.join(work, 'fixtures')
    os.makedirs(fixtures)
    image = open(args.installer, 'rb').read()
    marker = open(args.marker, 'rb').read()

    # Installation folders lie on C:, since the installer moves a default folder to the Windows drive.
    places = prefix_path('drive_c', 'KvPathsE2E')
    shutil.rmtree(places, ignore_errors=True)
    os.makedirs(places)

    def folder(name):
        return os.path.join(places, name)

    def fixture(name, m):
        with open(os.path.join(fixtures, name + '.exe'), 'wb') as f:
            f.write(fx.build_installer(image, m))

    drive = free_drive_letter()
    with open(folder('afile'), 'wb') as f:
        f.write(b'a file where a folder would have to be')
    uncreatable = {'no-drive': drive + ':\\Kv\\App', 'under-file': cwin(folder('afile')) + '\\sub'}
    fixture('ask', manifest(cwin(folder('unused')), marker))
    fixture('no-drive', manifest(cwin(folder('unused')), marker))  # the missing drive is typed in
    fixture('re', manifest(cwin(folder('re')), marker))
    fixture('under-file', manifest(uncreatable['under-file'], marker))
    fixture('data-file', manifest(cwin(folder('data-file')), marker))
    os.makedirs(os.path.join(folder('data-file'), 'Kvuninstall.dat'))  # a folder where the data file goes
    fixture('held', manifest(cwin(folder('held')), marker))
    fixture('self-copy', manifest(cwin(folder('self-copy')), marker))
    held_target = os.path.join(folder('held'), 'SAMPLE.TXT')
    held_copy = os.path.join(folder('self-copy'), 'SETUP.EXE')
    for path in (held_target, held_copy):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        open(path, 'wb').close()
    # Launch mode with the runFile record: the program is already installed in the folder.
    setting = {'iniFile': INI_FILE, 'section': 'Launch', 'key': 'Folder', 'value': '$INSTALL'}
    fixture('launch-run', manifest(cwin(folder('launch-run')), marker, settings=[setting]))
    os.makedirs(folder('launch-run'))
    shutil.copy(args.marker, os.path.join(folder('launch-run'), 'RUNME.EXE'))
    # Launch mode without it: everything is installed, and the licence record is not shown.
    fixture('launch-full', manifest(cwin(folder('launch-full')), marker, run_file='NOTHERE.EXE',
                                    extra_files=[{'file': 'LICENSE.TXT', 'content': LICENSE}]))
    # Quiet mode: a licence that nobody is shown, a log named with blanks in its path; a folder that
    # cannot be created, logged where quiet mode logs by default; the installer's copy held open.
    fixture('quiet', manifest(cwin(folder('quiet')), marker,
                              extra_files=[{'file': 'LICENSE.TXT', 'content': LICENSE},
                                           {'file': 'LINKED.EXE', 'content': marker, 'desktopIcon': 1,
                                            'iconName': QUIET_LINK}]))
    remove_file(quiet_link_path())
    fixture('quiet-fail', manifest(uncreatable['under-file'], marker))
    fixture('quiet-warn', manifest(cwin(folder('self-copy')), marker))
    # Record folders that differ only in letter case, and two records naming one target in different
    # case, as an archive built by another tool may hold them: one folder and one file to Windows.
    fixture('case-folders', manifest(cwin(folder('case-folders')), marker, extra_files=[
        {'file': 'A.TXT', 'folder': 'Data', 'content': b'a'}, {'file': 'B.TXT', 'folder': 'DATA', 'content': b'b'},
        {'file': 'c.txt', 'folder': 'Data', 'content': b'first c'},
        {'file': 'C.TXT', 'folder': 'data', 'content': b'second c'}]))
    # Launch mode whose program is recorded but missing from the folder: nothing can be started.
    fixture('launch-fail', manifest(cwin(folder('launch-fail')), marker))
    os.makedirs(folder('launch-fail'))
    whole_log, lone_log, launch_log = (os.path.join(work, name) for name in ('whole quoted.log', 'lone-quote.log',
                                                                             'launch-fail.log'))
    quiet_log = os.path.join(work, 'quiet run.log')
    # OptDIR: a folder with blanks, given to the run in quiet and dialog mode, over a default folder
    # that must stay unused. Its text holds option words (OptRE, OptNIN) that must switch nothing on.
    chosen = {'dir-quiet': folder('Chosen OptRE dir'), 'dir-dialog': folder('Chosen OptNIN dir')}
    fixture('dir-quiet', manifest(cwin(folder('unused')), marker))
    fixture('dir-dialog', manifest(cwin(folder('unused')), marker))
    for path in default_logs():
        os.remove(path)
    # Links and second names that an ordinary user planted in folders before the installer ran, each
    # leading to a file of theirs outside: nothing may be written through them. The default log in
    # %TEMP% is one too, and quiet-fail writes there.
    outside = os.path.join(work, 'outside')
    os.makedirs(os.path.join(outside, 'bin'))

    def outside_file(name):
        path = os.path.join(outside, name)
        with open(path, 'wb') as f:
            f.write(b'not the installer\'s to write: ' + name.encode())
        return path

    planted = {}  # the planted name -> the outside file it leads to

    def plant(path, target, hard=False):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        (os.link if hard else os.symlink)(target, path)
        planted[path] = target
    for name in ('link-data', 'hard-data', 'link-target', 'link-folder'):
        fixture(name, manifest(cwin(folder(name)), marker))
    plant(os.path.join(folder('link-data'), 'Kvuninstall.dat'), outside_file('data'))
    plant(os.path.join(folder('hard-data'), 'Kvuninstall.dat'), outside_file('hard-data'), hard=True)
    plant(os.path.join(folder('link-target'), 'SAMPLE.TXT'), outside_file('target'))
    plant(os.path.join(folder('link-target'), 'RUNME.EXE'), outside_file('hard-target'), hard=True)
    plant(os.path.join(folder('link-target'), 'SETUP.EXE'), outside_file('copy'))
    outside_file(os.path.join('bin', 'Kvuninstall.exe'))
    plant(os.path.join(folder('link-folder'), 'bin'), os.path.join(outside, 'bin'))
    for temp in temp_folders():
        plant(os.path.join(temp, 'Kvsetup.log'), outside_file('log-' + os.path.basename(os.path.dirname(temp))))
    outside_before = {name: read_file(os.path.join(outside, name)) for name in os.listdir(outside)
                      if os.path.isfile(os.path.join(outside, name))}
    outside_before['bin'] = read_file(os.path.join(outside, 'bin', 'Kvuninstall.exe'))
    ini_path = prefix_path('drive_c', 'windows', INI_FILE)
    remove_file(ini_path)

    def start(name, exe, options=''):
        return ['echo', name, 'start', '"%s"%s' % (win(os.path.join(fixtures, exe + '.exe')), options),
                '--cwd', win(fixtures)]

    def install_into(folder_text, answer):
        """Type the folder, press Install Now and answer the completion question."""
        return ['wait', MAIN_CAPTION, 'type', '1002', folder_text, 'press', 'Install Now',
                'wait', QUESTION_CAPTION, '--timeout', '60', 'dump', 'press', answer, 'exitcode', '--timeout', '60']

    def failing(name, caption=FAILED_CAPTION, timeout='30'):
        return start(name, name, ' OptNP') + ['wait', caption, '--timeout', timeout, 'dump', 'press', 'OK',
                                              'exitcode', '--timeout', '60']

    steps = (start('corrected', 'ask') + ['wait', MAIN_CAPTION, 'type', '1002', 'C:\\App*', 'press', 'Install Now',
                                          'wait', FAILED_CAPTION, 'dump', 'press', 'OK', 'gone',
                                          'wait', MAIN_CAPTION, 'dump']
             + install_into(cwin(folder('corrected')), 'No')
             + start('yes', 'ask') + install_into(cwin(folder('yes')), 'Yes')
             + start('ne-re', 're', ' OptNP OptRE') + ['exitcode', '--timeout', '60']  # a question would hang it
             + start('no-drive', 'no-drive') + ['wait', MAIN_CAPTION, 'type', '1002', uncreatable['no-drive'],
                                                'press', 'Install Now', 'wait', FAILED_CAPTION, 'dump', 'press', 'OK',
                                                'exitcode', '--timeout', '60']
             + failing('under-file') + failing('data-file')
             + failing('held', timeout='60') + failing('self-copy', WARNING_CAPTION)
             + start('launch-run', 'launch-run', ' OptNIN') + ['exitcode', '--timeout', '60']
             # runFile names no record here, so nothing asks to start it.
             + start('launch-full', 'launch-full', ' OptNIN') + ['exitcode', '--timeout', '60']
             # A box would hang these: "windowless" fails at any window of theirs.
             + start('quiet', 'quiet', ' OptQ OptLOG="%s"' % win(quiet_log)) + ['windowless', '--timeout', '60']
             + start('quiet-fail', 'quiet-fail', ' OptQ') + ['windowless', '--timeout', '60']
             + start('quiet-warn', 'quiet-warn', ' /OptQ OptLOG=' + win(os.path.join(work, 'warn.log')))
             + ['windowless', '--timeout', '60']
             + start('dir-quiet', 'dir-quiet', ' OptQ OptDIR="%s"' % cwin(chosen['dir-quiet']))
             + ['windowless', '--timeout', '60']
             # With OptNCD the box cannot be changed, and still shows the folder of OptDIR.
             + start('dir-dialog', 'dir-dialog', ' OptNCD optdir="%s" OptNL' % cwin(chosen['dir-dialog']))
             + ['wait', MAIN_CAPTION, 'dump', 'press', 'Install Now', 'wait', QUESTION_CAPTION, '--timeout', '60',
                'press', 'No', 'exitcode', '--timeout', '60']
             + sum((start(name, name, ' OptQ OptLOG=' + win(os.path.join(work, name + '.log'))) +
                    ['windowless', '--timeout', '60']
                    for name in ('link-data', 'hard-data', 'link-target', 'link-folder')), [])
             # As deployment tools quote: the whole option text as one word (a log path with a blank
             # in it), and a lone quote that must not swallow OptQ.
             + start('quiet-whole', 'quiet-fail', ' "OptQ OptLOG=%s"' % win(whole_log)) + ['windowless', '--timeout', '60']
             + start('quiet-lone', 'quiet-fail', ' OptLOG="%s OptQ' % win(lone_log)) + ['windowless', '--timeout', '60']
             + start('case-folders', 'case-folders', ' OptQ') + ['windowless', '--timeout', '60']
             + start('launch-fail', 'launch-fail', ' OptQ OptNIN OptLOG=' + win(launch_log))
             + ['windowless', '--timeout', '60']
             + ['echo', 'cleanup', 'start', 'reg delete "%s" /f %s' % (UNINSTALL_KEY + PRODUCT, registry_view(image)), 'exitcode'])

    case_started, first_window, ended, current = {}, {}, {}, ['']

    def on_line(line):
        """When each case started and when it first showed a window, for the held file's attempts."""
        if line.startswith('== '):
            current[0] = line[3:]
            case_started.setdefault(current[0], time.time())
        elif line.startswith('window '):
            first_window.setdefault(current[0], time.time())
        elif line.startswith('exit code='):
            ended[current[0]] = time.time()

    r = Runner(argparse.Namespace(uidriver=args.uidriver))
    started = time.time()
    holder = Holder(args.holder, [held_target, held_copy])
    if holder.first_line != 'held':
        print('FAIL the holder could not hold the files: %r' % holder.first_line)
        return 1
    try:
        cases = r.drive(steps, on_line)
    finally:
        holder.release()

    def case(name):
        c = cases.get(name) or Case(name)
        r.check(c, not c.errors, 'no driver errors')
        return c

    def placed(name, *parts):
        return read_file(os.path.join(folder(name), *parts))

    # A refused folder, corrected in the same dialog, then installs; No starts nothing.
    c = case('corrected')
    r.check(c, any(t and t.startswith(INVALID) for t in c.texts(FAILED_CAPTION)), 'invalid-characters box')
    main_dumps = c.controls(MAIN_CAPTION)
    usable = {i: main_dumps[0].get(i, {}).get('enabled') for i in (1002, 1004, 1005, 2)} if main_dumps else {}
    r.check(c, usable and all(v == '1' for v in usable.values()),
            'the dialog stays usable: %r (windows %r)' % (usable, [w['caption'] for w in c.windows]))
    r.check(c, QUESTION in c.texts(QUESTION_CAPTION), 'completion question %r' % c.texts(QUESTION_CAPTION))
    r.check(c, c.exit_code == EXIT_INSTALLED, 'exit code %s' % c.exit_code)
    r.check(c, placed('corrected', 'SAMPLE.TXT') == SAMPLE, 'installed into the corrected folder')
    r.check(c, placed('corrected', 'Kvuninstall.dat') is not None, 'data file written')

    # Yes starts runFile from the installation folder with its parameters.
    c = case('yes')
    r.check(c, c.exit_code == EXIT_INSTALLED, 'exit code %s' % c.exit_code)
    started_yes = marker_fields(wait_for_file(os.path.join(folder('yes'), 'started.txt')))
    r.check(c, started_yes.get('cwd', '').lower() == cwin(folder('yes')).lower(), 'started in the folder: %r' % started_yes)
    r.check(c, '-from-run' in started_yes.get('args', ''), 'started with exeparms: %r' % started_yes)
    # Started by the desktop's shell, not by the elevated installer: it gets the desktop user's rights.
    # (Wine has one account and no elevation, so only who started it can be seen here.)
    r.check(c, started_yes.get('parent', '').lower() == 'explorer.exe', 'started by the desktop shell: %r' % started_yes)
    # Had No started it, its marker would have been written long before Yes's program ran.
    c = Case('corrected')
    r.check(c, not os.path.exists(os.path.join(folder('corrected'), 'started.txt')), 'No started nothing')

    c = case('ne-re')
    r.check(c, c.exit_code == EXIT_INSTALLED, 'exit code %s' % c.exit_code)
    started_re = marker_fields(wait_for_file(os.path.join(folder('re'), 'started.txt')))
    r.check(c, '-from-run' in started_re.get('args', ''), 'OptRE started the program: %r' % started_re)
    r.check(c, started_re.get('parent', '').lower() == 'explorer.exe', 'started by the desktop shell: %r' % started_re)

    for name, path in uncreatable.items():
        c = case(name)
        texts = c.texts(FAILED_CAPTION)
        r.check(c, 'Failed to create installation folder: "%s"' % path in texts, 'message %r' % texts)
        r.check(c, c.exit_code == EXIT_INSTALL_FAILED, 'exit code %s' % c.exit_code)
    r.check(Case('under-file'), os.path.isfile(folder('afile')), 'the file in the way is left alone')

    c = case('data-file')
    r.check(c, DATA_FILE_ERROR in c.texts(FAILED_CAPTION), 'message %r' % c.texts(FAILED_CAPTION))
    r.check(c, c.exit_code == EXIT_INSTALL_FAILED, 'exit code %s' % c.exit_code)
    r.check(c, placed('data-file', 'SAMPLE.TXT') is None, 'nothing placed')

    c = case('held')
    expected = ('Failed to open/create file: SAMPLE.TXT\nMake sure all %s files are closed and try again.' % TITLE)
    r.check(c, expected in c.texts(FAILED_CAPTION), 'message %r' % c.texts(FAILED_CAPTION))
    # Ten attempts, each followed by a 1 s wait, between the start and the box.
    took = first_window.get('held', 0) - case_started.get('held', 0)
    r.check(c, took >= 9.5, 'the box came after the ten attempts: %.1f s' % took)
    r.check(c, c.exit_code == EXIT_INSTALL_FAILED, 'exit code %s' % c.exit_code)
    r.check(c, placed('held', 'bin', 'Kvuninstall.exe') is not None, 'the record before it stays placed')
    r.check(c, placed('held', 'RUNME.EXE') is None, 'nothing after it placed')

    c = case('self-copy')
    texts = c.texts(WARNING_CAPTION)
    pattern = re.escape('Warning: Copying %s to %s failed with error=' % (
        win(os.path.join(fixtures, 'self-copy.exe')), cwin(held_copy))) + \
        r'\d+' + re.escape('.\nThis is not a fatal error - installation will continue.')
    r.check(c, any(t and re.fullmatch(pattern, t, re.IGNORECASE) for t in texts), 'warning %r' % texts)
    r.check(c, c.exit_code == EXIT_INSTALLED, 'the run completed, exit %s' % c.exit_code)
    r.check(c, placed('self-copy', 'SAMPLE.TXT') == SAMPLE, 'files placed')
    data = placed('self-copy', 'Kvuninstall.dat') or b''
    # What stands there is not the installer's copy: the uninstaller must not be told to delete it.
    r.check(c, cwin(held_copy).lower().encode('latin-1') + b'\0' not in data.lower() and b'SAMPLE.TXT' in data,
            'the failed copy is not recorded')

    c = case('launch-run')
    r.check(c, c.exit_code == EXIT_INSTALLED, 'exit code %s' % c.exit_code)
    started_launch = marker_fields(wait_for_file(os.path.join(folder('launch-run'), 'started.txt')))
    r.check(c, started_launch.get('cwd', '').lower() == cwin(folder('launch-run')).lower()
            and '-from-run' in started_launch.get('args', ''), 'started from the folder: %r' % started_launch)
    r.check(c, sorted(os.listdir(folder('launch-run'))) == ['RUNME.EXE', 'started.txt'],
            'nothing placed, no data file: %r' % os.listdir(folder('launch-run')))
    ini = read_text(ini_path)
    r.check(c, 'Folder=' + cwin(folder('launch-run')) in ini, 'the setting written: %r' % ini)

    c = case('launch-full')
    r.check(c, c.exit_code == EXIT_INSTALLED, 'exit code %s' % c.exit_code)
    for name, content in (('SAMPLE.TXT', SAMPLE), ('LICENSE.TXT', LICENSE), ('RUNME.EXE', marker)):
        r.check(c, placed('launch-full', name) == content, '%s placed' % name)
    r.check(c, placed('launch-full', 'Kvuninstall.dat') is not None, 'data file written')
    r.check(c, placed('launch-full', 'Kvlicense.rtf') is None, 'no licence file')

    c = case('quiet')
    r.check(c, c.exit_code == EXIT_INSTALLED, 'no window, exit code %s' % c.exit_code)
    lines = log_lines(quiet_log)
    expected = ['Installation folder: ' + cwin(folder('quiet')), 'Licence agreement accepted: quiet mode',
                'Placed %s\\bin\\Kvuninstall.exe' % cwin(folder('quiet'))] + [
        'Placed %s\\%s' % (cwin(folder('quiet')), name) for name in ('SAMPLE.TXT', 'RUNME.EXE', 'LICENSE.TXT')] + [
        'Uninstall data file: %s\\Kvuninstall.dat' % cwin(folder('quiet')), 'Installation completed', 'Exit code 0']
    for line in expected:
        r.check(c, line in lines, 'the log says %r: %r' % (line, lines))
    r.check(c, placed('quiet', 'LICENSE.TXT') == LICENSE and placed('quiet', 'SAMPLE.TXT') == SAMPLE, 'files placed')
    r.check(c, not os.path.exists(os.path.join(folder('quiet'), 'started.txt')), 'nothing started without OptRE')
    link = shortcut_fields(quiet_link_path()) if os.path.exists(quiet_link_path()) else {}
    r.check(c, link.get('Local path', '').lower() == (cwin(folder('quiet')) + '\\LINKED.EXE').lower() and
            'Desktop shortcut: ' + QUIET_LINK in lines, 'Desktop shortcut made and logged: %r' % link)
    remove_file(quiet_link_path())

    c = case('quiet-fail')
    r.check(c, c.exit_code == EXIT_INSTALL_FAILED, 'no window, exit code %s' % c.exit_code)
    took = ended.get('quiet-fail', 0) - case_started.get('quiet-fail', 0)
    r.check(c, 0 < took < 10, 'ended without waiting: %.1f s' % took)
    logs = default_logs()
    lines = log_lines(logs[0] if logs else None)
    line = 'Installation Failed: Failed to create installation folder: "%s"' % uncreatable['under-file']
    r.check(c, line in lines and 'Exit code 5' in lines, 'the %%TEMP%% log %r says %r: %r' % (logs, line, lines))

    c = case('quiet-warn')
    r.check(c, c.exit_code == EXIT_INSTALLED, 'a warning keeps the run complete: exit code %s' % c.exit_code)
    lines = log_lines(os.path.join(work, 'warn.log'))
    r.check(c, any(l.startswith('Warning (%s): Warning: Copying ' % WARNING_CAPTION) for l in lines),
            'the warning is logged: %r' % lines)

    for name, path in chosen.items():
        c = case(name)
        r.check(c, c.exit_code == EXIT_INSTALLED, 'exit code %s' % c.exit_code)
        r.check(c, read_file(os.path.join(path, 'SAMPLE.TXT')) == SAMPLE and
                os.path.exists(os.path.join(path, 'bin', 'Kvuninstall.exe')), 'installed into %s' % path)
        data = read_file(os.path.join(path, 'Kvuninstall.dat')) or b''
        r.check(c, (cwin(path) + '\\SAMPLE.TXT').encode('latin-1') in data, 'the data file records that folder')
        r.check(c, not os.path.exists(os.path.join(path, 'started.txt')), 'the option words in the path started nothing')
    r.check(Case('dir'), not os.path.exists(folder('unused')), 'the default folder stays unused')
    boxes = case('dir-dialog').controls(MAIN_CAPTION)
    box = boxes[0].get(1002, {}) if boxes else {}
    r.check(Case('dir-dialog'), box.get('text') == cwin(chosen['dir-dialog']) and box.get('enabled') == '0',
            'the folder box shows the folder, disabled by OptNCD: %r' % box)

    # Nothing was written through a planted link or second name, whatever the run made of it.
    c = Case('planted links')
    for name, before in outside_before.items():
        path = os.path.join(outside, name, 'Kvuninstall.exe') if name == 'bin' else os.path.join(outside, name)
        r.check(c, read_file(path) == before, 'the file outside is unchanged: %s' % name)
    for name in ('link-data', 'hard-data'):
        c = case(name)
        data_file = cwin(os.path.join(folder(name), 'Kvuninstall.dat'))
        lines = log_lines(os.path.join(work, name + '.log'))
        r.check(c, c.exit_code == EXIT_INSTALL_FAILED, 'refused, exit code %s' % c.exit_code)
        r.check(c, 'Installation Failed: ' + logged(LINK_REFUSED % data_file) in lines, 'the log says why: %r' % lines)
        r.check(c, placed(name, 'SAMPLE.TXT') is None, 'nothing placed')
    c = case('link-target')
    r.check(c, c.exit_code == EXIT_INSTALLED, 'exit code %s' % c.exit_code)
    for name, content in (('SAMPLE.TXT', SAMPLE), ('RUNME.EXE', marker),
                          ('SETUP.EXE', read_file(os.path.join(fixtures, 'link-target.exe')))):
        path = os.path.join(folder('link-target'), name)
        r.check(c, not os.path.islink(path) and os.stat(path).st_nlink == 1 and read_file(path) == content,
                '%s placed as a file of its own in place of the link' % name)
    c = case('link-folder')
    lines = log_lines(os.path.join(work, 'link-folder.log'))
    r.check(c, c.exit_code == EXIT_INSTALL_FAILED, 'refused, exit code %s' % c.exit_code)
    r.check(c, 'Installation Failed: ' + logged(LINK_REFUSED % (cwin(folder('link-folder')) + '\\bin')) in lines,
            'the log says why: %r' % lines)
    c = Case('default log')
    for path in default_logs():
        r.check(c, not os.path.islink(path) and os.stat(path).st_nlink == 1, 'the planted link was replaced: ' + path)

    for name, log in (('quiet-whole', whole_log), ('quiet-lone', lone_log)):
        c = case(name)
        r.check(c, c.exit_code == EXIT_INSTALL_FAILED, 'no window, exit code %s' % c.exit_code)
        lines = log_lines(log)
        r.check(c, 'Exit code 5' in lines, 'the named log is written: %r' % lines)

    c = case('case-folders')
    r.check(c, c.exit_code == EXIT_INSTALLED, 'installed without a window, exit code %s' % c.exit_code)
    names = sorted(os.listdir(os.path.join(folder('case-folders'), 'Data'))) if os.path.isdir(
        os.path.join(folder('case-folders'), 'Data')) else []
    r.check(c, [n.upper() for n in names] == ['A.TXT', 'B.TXT', 'C.TXT'], 'one folder, one c.txt: %r' % names)
    r.check(c, placed('case-folders', 'Data', names[-1] if names else 'c.txt') == b'second c', 'the later record wins')
    data = (placed('case-folders', 'Kvuninstall.dat') or b'').upper()
    r.check(c, data.count(b'\\C.TXT\0') == 1, 'the file is recorded once: %r' % data)

    c = case('launch-fail')
    r.check(c, c.exit_code == EXIT_LAUNCH_FAILED, 'no window, exit code %s' % c.exit_code)
    lines = log_lines(launch_log)
    line = 'Installation Failed: Could not start the installed program: %s\\RUNME.EXE' % cwin(folder('launch-fail'))
    r.check(c, line in lines and 'Exit code 11' in lines, 'the log says why: %r' % lines)
    r.check(c, os.listdir(folder('launch-fail')) == [], 'nothing placed: %r' % os.listdir(folder('launch-fail')))

    return r.report(started)


if __name__ == '__main__':
    sys.exit(main())

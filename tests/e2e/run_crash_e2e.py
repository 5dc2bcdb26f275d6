#!/usr/bin/env python3
"""Crash consistency under Wine: the real kvsetup.exe, installing about forty files quietly
(OptNP OptNL), is killed at staggered points of its run (after its 1st, 5th, 9th ... file); after each kill the data file must read
cleanly with `kvpack log` (or be cut short, and then read cleanly after the next run), a second run
must complete, and the quiet uninstall must remove everything the product placed and nothing else.
Then the real Kvuninstall.exe is killed at staggered points of a removal: the data file must read
cleanly (it is replaced by a rename, never rewritten in place) and a second run must finish.
Prints the number of kill points tried and survived.

Usage: run_crash_e2e.py --installer kvsetup.exe --uninstaller Kvuninstall.exe --kvpack PATH --work DIR
The Wine prefix comes from scripts/wine-env.sh (KV_WINEPREFIX); without DISPLAY the script runs
itself again under xvfb-run."""
import argparse
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from e2e_common import (UNINSTALL_KEY, Case, Runner, prefix_path, registry_view, unix, user_folder,  # noqa: E402
                        wine_command)
from run_uninstall_e2e import write_project  # noqa: E402

FOLDER = 'C:\\Korvalin Crash'
PRODUCT = 'Korvalin Crash'
FILE_COUNT = 40
INSTALL_KILLS = 9
UNINSTALL_KILLS = 6


def build_installer(args, work):
    """An installer of FILE_COUNT files of 16 to 96 KB in three folders (one level deep), with two shortcuts."""
    src = os.path.join(work, 'src')
    os.makedirs(src, exist_ok=True)
    rng = random.Random(7)
    files = []
    for i in range(FILE_COUNT):
        name = 'F%02d.DAT' % i
        words = [b'crash', b'consistency', b'korvalin', b'record', b'%d' % i]
        data = b' '.join(rng.choice(words) for _ in range(rng.randint(2000, 12000)))
        with open(os.path.join(src, name), 'wb') as f:
            f.write(data)
        files.append((name, ('', 'data', 'more')[i % 3]))
    text = ('title = "Korvalin Crash 1.0"\ndisplayName = "%s"\nsetupName = "CRASHSET.EXE"\n'
            'runFile = "F00.DAT"\nprogramsFolder = "Korvalin Crash"\ndefaultFolder = %s\n'
            'uninstallerDate = "2026-12-01T12:00:00Z"\narchiveDate = "2026-12-01T12:00:00Z"\n'
            % (PRODUCT, json.dumps(FOLDER)))
    for i, (name, folder) in enumerate(files):
        text += '[[file]]\nsource = "%s"\nfile = "%s"\n' % (name, name)
        if folder:
            text += 'folder = %s\n' % json.dumps(folder)
        if i == 0:
            text += 'desktopIcon = true\nprogramsIcon = true\niconName = "Korvalin Crash"\n'
    project = write_project(src, 'crash', text)
    fixtures = os.path.join(work, 'fixtures')
    os.makedirs(fixtures, exist_ok=True)
    installer = os.path.join(fixtures, 'crash.exe')
    result = subprocess.run([args.kvpack, 'build', project, '-o', installer, '--stub', args.installer,
                             '--uninstaller', args.uninstaller], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError('kvpack build failed:\n%s%s' % (result.stdout, result.stderr))
    return installer


def start(argv, cwd):
    # `exec` all the way down: the process started here is the Windows program itself, so a kill
    # of it stops that program at once, as a power cut or a task manager would.
    return subprocess.Popen(wine_command(argv), cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def run_to_end(argv, cwd, timeout=90):
    proc = start(argv, cwd)
    try:
        return proc.wait(timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        return None


def kill_when(argv, cwd, reached, timeout=90):
    """Starts a program and kills it as soon as `reached()` holds, watching the disk every few
    milliseconds: a kill point is a state of the run, not a moment, so a slow machine moves it
    no more than the program's next few file operations. Returns the exit status when the
    program ended first, None when it was killed."""
    proc = start(argv, cwd)
    deadline = time.time() + timeout
    while time.time() < deadline:
        status = proc.poll()
        if status is not None:
            return status
        if reached():
            os.kill(proc.pid, signal.SIGKILL)
            proc.wait()
            return None
        time.sleep(0.003)
    proc.kill()
    proc.wait()
    return None


def read_log(args):
    """'missing', 'clean' (`kvpack log` exit 0), 'cut short' (exit 0, noted as ended inside a record;
    usable, as for the uninstaller) or 'bad exit N' (3: a record the uninstaller refuses), and the
    records, for the data file."""
    path = unix(FOLDER + '\\Kvuninstall.dat')
    if not os.path.exists(path):
        return 'missing', []
    result = subprocess.run([args.kvpack, 'log', '--json', path], capture_output=True, text=True)
    try:
        log = json.loads(result.stdout)
    except ValueError:
        return 'bad exit %d' % result.returncode, []
    if result.returncode == 0 and log.get('truncated'):
        return 'cut short', log['records']
    if result.returncode == 0:
        return 'clean', log['records']
    return 'bad exit %d' % result.returncode, log.get('records', [])


def registered(r):
    status, _ = r.wine(['reg', 'query', UNINSTALL_KEY + PRODUCT, '/v', 'UninstallString', r.view])
    return status == 0


def product_traces(desktop, programs):
    """What of the product is on disk: the folder's files and its two shortcuts."""
    found = []
    root = unix(FOLDER)
    for base, _, names in os.walk(root):
        found += [os.path.join(base, n) for n in names]
    if os.path.isdir(root):
        found.append(root)
    for link in (os.path.join(desktop, 'Korvalin Crash.lnk'), os.path.join(programs, 'Korvalin Crash')):
        if os.path.exists(link):
            found.append(link)
    return found


def clean(r, desktop, programs):
    shutil.rmtree(unix(FOLDER), ignore_errors=True)
    shutil.rmtree(os.path.join(programs, 'Korvalin Crash'), ignore_errors=True)
    if os.path.exists(os.path.join(desktop, 'Korvalin Crash.lnk')):
        os.remove(os.path.join(desktop, 'Korvalin Crash.lnk'))
    r.wine(['reg', 'delete', UNINSTALL_KEY + PRODUCT, '/f', r.view])


def settled(r, c, failures, desktop, programs, planted):
    """Checks that nothing of the product is left and the user's files are as they were; True when
    no check of this kill point failed. After a failure the product is cleared by force, so that
    the next point starts clean."""
    left = product_traces(desktop, programs)
    r.check(c, not left, 'nothing of the product is left: %r' % left[:5])
    r.check(c, not registered(r), 'the registration is gone')
    r.check(c, all(open(p, 'rb').read() == data for p, data in planted.items()), 'the user\'s files stay')
    if len(r.failures) == failures:
        return True
    clean(r, desktop, programs)
    return False


def folder_files():
    count = 0
    for _, _, names in os.walk(unix(FOLDER)):
        count += len(names)
    return count


def install_kill_points(r, args, installer, desktop, programs, planted):
    """Kills the installer when the folder holds 1, 5, 9 ... files, and at its self-copy; returns
    (tried, survived)."""
    cwd = os.path.dirname(installer)
    argv = [os.path.basename(installer), 'OptNP', 'OptNL']
    uninstall = ['C:\\windows\\Kvuninstall.exe', '%s|%s' % (FOLDER, PRODUCT), '/S']
    # The folder's files, data file and scratch files included; the last point is the self-copy,
    # between the last file and the registration.
    points = [('%d files' % n, lambda n=n: folder_files() >= n)
              for n in (1 + i * (FILE_COUNT + 2) // (INSTALL_KILLS - 1) for i in range(INSTALL_KILLS - 1))]
    points.append(('the self-copy', lambda: os.path.exists(unix(FOLDER + '\\CRASHSET.EXE'))))
    survived = 0
    for point, (label, reached) in enumerate(points):
        c = Case('installer killed at ' + label)
        failures = len(r.failures)
        ended = kill_when(argv, cwd, reached)
        status, records = read_log(args)
        placed = len([x for x in records if x.get('kind') == 'file'])
        print('  kill %2d at %s: %s, data file %s, %d file records' % (
            point + 1, label, 'ended first' if ended is not None else 'killed', status, placed), flush=True)
        r.check(c, status in ('missing', 'clean', 'cut short'), 'the data file reads, or ends inside a record: %s' % status)
        r.check(c, run_to_end(argv, cwd) == 0, 'the next run completes')
        status, records = read_log(args)
        files = [x['text'] for x in records if x.get('kind') == 'file']
        r.check(c, status == 'clean', 'after it the data file reads cleanly: %s' % status)
        r.check(c, len(files) == FILE_COUNT + 1 and len(set(f.lower() for f in files)) == FILE_COUNT + 1,
                'every placed file and the self-copy recorded once: %d records' % len(files))
        r.check(c, run_to_end(uninstall, cwd) == 0, 'the quiet uninstall finishes')
        if settled(r, c, failures, desktop, programs, planted):
            survived += 1
    return INSTALL_KILLS, survived


def uninstall_kill_points(r, args, installer, desktop, programs, planted):
    """Kills the uninstaller when it has removed 1, 10, 19 ... of the product's things, and once
    when only the data file and the folder are left; returns (tried, survived)."""
    cwd = os.path.dirname(installer)
    argv = [os.path.basename(installer), 'OptNP', 'OptNL']
    uninstall = ['C:\\windows\\Kvuninstall.exe', '%s|%s' % (FOLDER, PRODUCT), '/S']
    survived = 0
    for point in range(UNINSTALL_KILLS):
        c = Case('uninstaller kill point %d' % (point + 1))
        failures = len(r.failures)
        r.check(c, run_to_end(argv, cwd) == 0, 'installed')
        total = len(product_traces(desktop, programs))
        left_at = 2 if point == UNINSTALL_KILLS - 1 else total - 1 - point * 9
        ended = kill_when(uninstall, cwd, lambda: len(product_traces(desktop, programs)) <= left_at)
        status, records = read_log(args)
        left = product_traces(desktop, programs)
        print('  kill %2d at %2d of %d things left: %s, data file %s, %d records, %d things left' % (
            point + 1, left_at, total, 'ended first' if ended is not None else 'killed', status, len(records),
            len(left)), flush=True)
        r.check(c, status in ('missing', 'clean'), 'the data file is whole or gone: %s' % status)
        again = run_to_end(uninstall, cwd)
        # A run killed after it had deleted the data file has nothing left to find (exit 3).
        r.check(c, again == 0 or (again == 3 and status == 'missing'), 'the second run finishes, exit %s' % again)
        if settled(r, c, failures, desktop, programs, planted):
            survived += 1
    return UNINSTALL_KILLS, survived


def main():
    parser = argparse.ArgumentParser()
    for option in ('--installer', '--uninstaller', '--kvpack', '--work'):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    if not os.environ.get('DISPLAY'):
        os.execvp('xvfb-run', ['xvfb-run', '-a', '-s', '-screen 0 1024x768x24', sys.executable] + sys.argv)
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    installer = build_installer(args, args.work)
    r = Runner(args)
    with open(args.installer, 'rb') as f:
        r.view = registry_view(f.read())
    started = time.time()
    r.wine(['cmd', '/c', 'exit'])
    desktop, programs = user_folder('Desktop'), user_folder('Programs')
    clean(r, desktop, programs)
    # The user's own files beside the product's: a file of the same name one level up, and one on
    # the Desktop.
    planted = {unix('C:\\F00.DAT'): b'the user\'s own F00.DAT\r\n', os.path.join(desktop, 'crash-mine.txt'): b'mine'}
    for path, data in planted.items():
        with open(path, 'wb') as f:
            f.write(data)

    tried, survived = install_kill_points(r, args, installer, desktop, programs, planted)
    print('installer: %d kill points tried, %d survived' % (tried, survived), flush=True)
    u_tried, u_survived = uninstall_kill_points(r, args, installer, desktop, programs, planted)
    print('uninstaller: %d kill points tried, %d survived' % (u_tried, u_survived), flush=True)
    for path in planted:
        os.remove(path)
    return r.report(started)


if __name__ == '__main__':
    sys.exit(main())

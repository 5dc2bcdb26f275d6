#!/usr/bin/env python3
"""End-to-end tests of the uninstaller under Wine. Two products built by kvpack are installed into one
folder by the real kvsetup.exe (the first one twice), then removed by the real Kvuninstall.exe:
declining, bad command lines, one product while the other stays working and listed, and the other
while its program is running (reported, kept recorded, finished by a second run). Checked with
the file tree, `kvpack log --json` and `wine reg query`.

Usage: run_uninstall_e2e.py --installer kvsetup.exe --uninstaller Kvuninstall.exe --program KVDEMO.exe
                            --uidriver uidriver.exe --kvpack PATH --work DIR
The Wine prefix comes from scripts/wine-env.sh (KV_WINEPREFIX); without DISPLAY the script runs
itself again under xvfb-run."""
import argparse
import json
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from e2e_common import (UNINSTALL_KEY, Case, Cases, Runner, on_display, prefix_path, read_file,  # noqa: E402
                        registry_view, unix, user_folder, win)

CAPTION = 'Korvalin Uninstaller'
FOLDER = 'C:\\Korvalin Shared'
EMPTY = 'C:\\Korvalin Empty'  # a folder where no product was ever installed
# Trees of [[tree]] records below res\: Alpha has a file at each of four levels, Beta one file in the
# third level, which both products share and which is empty only once both are removed.
ALPHA_TREE = {'alpha1.txt': b'level one\r\n' * 30, 'a/alpha2.txt': b'level two\r\n' * 30,
              'a/b/alpha3.txt': b'level three\r\n' * 30, 'a/b/c/alpha4.txt': b'level four\r\n' * 30}
BETA_TREE = {'a/b/beta3.txt': b'beta in the shared level\r\n' * 10}
OLD_DATA_FILE = os.path.join(os.path.dirname(HERE), 'uninstall', 'corpus_log', 'full-run.dat')


def tree_paths(tree_files):
    return [FOLDER + '\\res\\' + name.replace('/', '\\') for name in tree_files]


# The uninstaller's exit codes (uninstall/uninstaller/exit_codes.h).
REMOVED, DECLINED, BAD_COMMAND_LINE, NO_DATA_FILE, UNKNOWN_PRODUCT, INCOMPLETE, NOT_INSTALLED = 0, 1, 2, 3, 5, 6, 8


def write_project(work, name, text):
    path = os.path.join(work, name + '.toml')
    with open(path, 'w') as f:
        f.write(text)
    return path


def build_fixtures(args, work):
    src = os.path.join(work, 'src')
    os.makedirs(src, exist_ok=True)
    for name, data in (('alpha.dat', b'alpha data\r\n' * 50), ('common.dll', b'MZ shared library stand-in' * 40)):
        with open(os.path.join(src, name), 'wb') as f:
            f.write(data)
    for top, files in (('tree-alpha', ALPHA_TREE), ('tree-beta', BETA_TREE)):
        for name, data in files.items():
            os.makedirs(os.path.dirname(os.path.join(src, top, name)), exist_ok=True)
            with open(os.path.join(src, top, name), 'wb') as f:
                f.write(data)
    program = os.path.abspath(args.program).replace('\\', '/')
    common = 'defaultFolder = %s\nuninstallerDate = "2026-12-01T12:00:00Z"\narchiveDate = "2026-12-01T12:00:00Z"\n' % (
        json.dumps(FOLDER))
    alpha = write_project(src, 'alpha', (
        'title = "Korvalin Alpha 1.0"\ndisplayName = "Korvalin Alpha"\nsetupName = "ALPHASET.EXE"\n'
        'runFile = "ALPHA.EXE"\nprogramsFolder = "Korvalin Alpha"\n' + common +
        '[[file]]\nsource = %s\nfile = "ALPHA.EXE"\ndesktopIcon = true\nprogramsIcon = true\n'
        'iconName = "Korvalin Alpha"\n' % json.dumps(program) +
        '[[file]]\nsource = "alpha.dat"\nfile = "ALPHA.DAT"\nfolder = "data"\n'
        '[[file]]\nsource = "common.dll"\nfile = "COMMON.DLL"\n'
        '[[tree]]\nsource = "tree-alpha"\nfolder = "res"\n'))
    # Beta names the shared library in other letters; the data file records it for both products,
    # and the uninstaller compares the spellings as Windows does.
    beta = write_project(src, 'beta', (
        'title = "Korvalin Beta 1.0"\ndisplayName = "Korvalin Beta"\nsetupName = "BETASET.EXE"\n'
        'runFile = "BETA.EXE"\nprogramsFolder = "Korvalin Beta"\n' + common +
        '[[file]]\nsource = %s\nfile = "BETA.EXE"\ndesktopIcon = true\nprogramsIcon = true\n'
        'iconName = "Korvalin Beta.app"\n' % json.dumps(program) +
        '[[file]]\nsource = "common.dll"\nfile = "common.dll"\n'
        '[[tree]]\nsource = "tree-beta"\nfolder = "res"\n'))
    fixtures = os.path.join(work, 'fixtures')
    os.makedirs(fixtures, exist_ok=True)
    for project, exe in ((alpha, 'alpha.exe'), (beta, 'beta.exe')):
        result = subprocess.run([args.kvpack, 'build', project, '-o', os.path.join(fixtures, exe), '--stub',
                                 args.installer, '--uninstaller', args.uninstaller], capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError('kvpack build %s failed:\n%s%s' % (project, result.stdout, result.stderr))
    return fixtures


def drive_relative_cases(r, args, work):
    """Installers whose default folder is empty or relative get "C:" and "C:Korvalin Rel" from the
    drive rule. Started in C:\\kvrel-start, each installs into that folder (or below it), records and
    registers that absolute folder, and its quiet uninstall removes its files there, while a file of
    the same name at the drive's root stays."""
    start = 'C:\\kvrel-start'
    shutil.rmtree(unix(start), ignore_errors=True)
    os.makedirs(unix(start))
    src = os.path.join(work, 'src')
    root_file = unix('C:\\KVREL.TXT')
    with open(root_file, 'wb') as f:
        f.write(b'the user\'s own file at the root of C:\r\n')
    with open(os.path.join(src, 'kvrel.txt'), 'wb') as f:
        f.write(b'placed by the relative-folder installer\r\n' * 20)
    cases = []
    for name, default, folder in (('rel-root', '', start), ('rel-sub', 'Korvalin Rel', start + '\\Korvalin Rel')):
        product = 'Korvalin ' + name
        project = write_project(src, name, (
            'title = "%s 1.0"\ndisplayName = "%s"\nsetupName = "RELSET.EXE"\nrunFile = "KVREL.TXT"\n'
            'defaultFolder = %s\n[[file]]\nsource = "kvrel.txt"\nfile = "KVREL.TXT"\n'
            '[[file]]\nsource = "kvrel.txt"\nfile = "KVREL2.TXT"\nfolder = "sub"\n'
            % (product, product, json.dumps(default))))
        exe = os.path.join(unix(start), name + '.exe')
        result = subprocess.run([args.kvpack, 'build', project, '-o', exe, '--stub', args.installer,
                                 '--uninstaller', args.uninstaller], capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError('kvpack build %s failed:\n%s%s' % (project, result.stdout, result.stderr))
        cases.append((name, product, folder))
    steps = []
    for name, product, folder in cases:
        steps += ['echo', name, 'start', '"%s\\%s.exe" OptNP OptNL' % (start, name), '--cwd', start,
                  'exitcode', '--timeout', '90']
    done = r.drive(steps)
    for name, product, folder in cases:
        c = done.get(name) or Case(name)
        r.check(c, not c.errors and c.exit_code == 0, 'installed, exit %s' % c.exit_code)
        for path in (folder + '\\KVREL.TXT', folder + '\\sub\\KVREL2.TXT', folder + '\\RELSET.EXE',
                     folder + '\\Kvuninstall.dat'):
            r.check(c, os.path.exists(unix(path)), 'placed %s' % path)
        log = subprocess.run([args.kvpack, 'log', '--json', unix(folder + '\\Kvuninstall.dat')], capture_output=True,
                             text=True)
        files = [x['text'] for x in json.loads(log.stdout or '{"records": []}')['records'] if x['kind'] == 'file']
        r.check(c, log.returncode == 0 and files == [folder + '\\KVREL.TXT', folder + '\\sub\\KVREL2.TXT',
                                                     folder + '\\RELSET.EXE'], 'records the absolute folder: %r' % files)
        command = registered(r, product)
        r.check(c, command is not None and command.endswith(' "%s|%s"' % (folder, product)), 'registered %r' % command)
    # A deployment removes with the registered quiet command as it stands, directly or through
    # cmd.exe, which would take an unquoted bar for a pipe ("Korvalin Rel" also holds a blank). A box
    # would hang either: the child of cmd.exe cannot be watched for windows, so the time limit is
    # the watch there.
    steps = []
    for name, product, folder in cases:
        command = quiet_command(r, product)
        if name == 'rel-sub':
            command = 'C:\\windows\\system32\\cmd.exe /c ' + command
            steps += ['echo', name + '-removed', 'start', command, 'exitcode', '--timeout', '60']
        else:
            steps += ['echo', name + '-removed', 'start', command, 'windowless', '--timeout', '60']
    done = r.drive(steps)
    for name, product, folder in cases:
        c = done.get(name + '-removed') or Case(name + '-removed')
        r.check(c, c.exit_code == REMOVED, 'removed, exit %s' % c.exit_code)
        r.check(c, not any(os.path.exists(unix(folder + p)) for p in ('\\KVREL.TXT', '\\sub', '\\Kvuninstall.dat')),
                'its files are gone')
        r.check(c, registered(r, product) is None, 'its key is gone')
    with open(root_file, 'rb') as f:
        r.check(Case('drive root'), f.read().startswith(b'the user'), 'the file at the root of C: stays')
    os.remove(root_file)
    shutil.rmtree(unix(start), ignore_errors=True)


def old_data_file_case(r, args, fixtures):
    """A data file from before nested folders (the test corpus's, one-level records of another
    product) in a folder with blanks, named by OptDIR in quiet mode: Alpha appends to it and installs
    its tree there, and removing Alpha leaves that data file byte for byte as it was."""
    folder = 'C:\\Korvalin Old Data'
    shutil.rmtree(unix(folder), ignore_errors=True)
    os.makedirs(unix(folder))
    old = read_file(OLD_DATA_FILE)
    with open(unix(folder + '\\Kvuninstall.dat'), 'wb') as f:
        f.write(old)
    c = r.drive(['echo', 'old-install', 'start', '"%s" OptQ OptDIR="%s"' % (win(os.path.join(fixtures, 'alpha.exe')),
                                                                          folder),
                 '--cwd', win(fixtures), 'windowless', '--timeout', '90']).get('old-install') or Case('old-install')
    r.check(c, c.exit_code == 0, 'installed quietly into the OptDIR folder, exit %s' % c.exit_code)
    deepest = unix(folder + '\\res\\a\\b\\c\\alpha4.txt')
    r.check(c, read_file(deepest) == ALPHA_TREE['a/b/c/alpha4.txt'], 'the tree is placed four levels deep')
    data = read_file(unix(folder + '\\Kvuninstall.dat')) or b''
    r.check(c, data.startswith(old) and len(data) > len(old), 'the old records stay, the new ones follow')
    command = quiet_command(r, 'Korvalin Alpha')
    c = r.drive(['echo', 'old-remove', 'start', command, 'exitcode', '--timeout', '60']).get('old-remove') or \
        Case('old-remove')
    r.check(c, c.exit_code == REMOVED, 'removed, exit %s' % c.exit_code)
    r.check(c, read_file(unix(folder + '\\Kvuninstall.dat')) == old, 'the old data file is as it was')
    left = sorted(os.listdir(unix(folder)))
    r.check(c, left == ['Kvuninstall.dat'], 'nothing of Alpha is left: %r' % left)
    shutil.rmtree(unix(folder), ignore_errors=True)


def linked_folder_case(r, args, work):
    """A record's folder replaced by a link to another vendor's folder after the installation, and a
    link planted where the removal's /LOG= names its log: the quiet removal deletes nothing through
    either. It keeps the linked file and its record, says so in its log and ends incomplete; the
    files outside stay as they were."""
    folder, product = 'C:\\Korvalin Linked', 'Korvalin Linked'
    shutil.rmtree(unix(folder), ignore_errors=True)
    src = os.path.join(work, 'src')
    with open(os.path.join(src, 'linked.txt'), 'wb') as f:
        f.write(b'placed by the linked-folder installer\r\n')
    project = write_project(src, 'linked', (
        'title = "%s 1.0"\ndisplayName = "%s"\nsetupName = "LINKSET.EXE"\nrunFile = "TOP.TXT"\n'
        'defaultFolder = %s\n[[file]]\nsource = "linked.txt"\nfile = "TOP.TXT"\n'
        '[[file]]\nsource = "linked.txt"\nfile = "VENDOR.DLL"\nfolder = "sub"\n'
        % (product, product, json.dumps(folder))))
    exe = os.path.join(work, 'fixtures', 'linked.exe')
    result = subprocess.run([args.kvpack, 'build', project, '-o', exe, '--stub', args.installer,
                             '--uninstaller', args.uninstaller], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError('kvpack build %s failed:\n%s%s' % (project, result.stdout, result.stderr))
    c = Case('linked folder')
    status, _ = r.wine([win(exe), 'OptQ'])
    r.check(c, status == 0, 'installed, exit %s' % status)
    # Another vendor's folder, outside, with a file of the recorded name; the record's folder becomes
    # a link to it, and the log's name a link to another file outside.
    other = os.path.abspath(os.path.join(work, 'other vendor'))
    shutil.rmtree(other, ignore_errors=True)
    os.makedirs(other)
    with open(os.path.join(other, 'VENDOR.DLL'), 'wb') as f:
        f.write(b'another vendor\'s library')
    outside_log = os.path.abspath(os.path.join(work, 'not a log.txt'))
    with open(outside_log, 'wb') as f:
        f.write(b'another account\'s file')
    shutil.rmtree(unix(folder + '\\sub'))
    os.symlink(other, unix(folder + '\\sub'))
    removal_log = os.path.join(work, 'linked-removal.log')  # no blank: the argument is not quoted
    remove_file_if_there(removal_log)
    os.symlink(outside_log, removal_log)
    status, _ = r.wine(['C:\\windows\\Kvuninstall.exe', '%s|%s' % (folder, product), '/S',
                        '/LOG=%s' % win(removal_log)])
    r.check(c, status == INCOMPLETE, 'kept what the link leads to, exit %s' % status)
    with open(os.path.join(other, 'VENDOR.DLL'), 'rb') as f:
        r.check(c, f.read() == b'another vendor\'s library', 'the other vendor\'s file stays')
    with open(outside_log, 'rb') as f:
        r.check(c, f.read() == b'another account\'s file', 'the file the log link led to is unchanged')
    r.check(c, not os.path.exists(unix(folder + '\\TOP.TXT')), 'the product\'s own file is removed')
    lines = log_lines(removal_log) if not os.path.islink(removal_log) else []
    kept = 'Kept: %s\\sub\\VENDOR.DLL (kept: a link leads it outside %s)' % (folder, folder)
    r.check(c, kept in lines and 'Exit code 6' in lines, 'the log, a file of its own, says %r: %r' % (kept, lines))
    # With the link gone the next removal finishes.
    os.remove(unix(folder + '\\sub'))
    status, _ = r.wine(['C:\\windows\\Kvuninstall.exe', '%s|%s' % (folder, product), '/S'])
    r.check(c, status == REMOVED and not os.path.exists(unix(folder)), 'removed once the link is gone, exit %s' % status)


def remove_file_if_there(path):
    if os.path.lexists(path):
        os.remove(path)


def data_records(args):
    path = unix(FOLDER + '\\Kvuninstall.dat')
    if not os.path.exists(path):
        return None
    result = subprocess.run([args.kvpack, 'log', '--json', path], capture_output=True, text=True)
    log = json.loads(result.stdout)
    return [(r['kind'], r.get('location', ''), r.get('menuFolder', ''), r['text']) for r in log['records']]


def registered(runner, product):
    """UninstallString of the product's key, or None when the key is missing."""
    value = runner.registry_value(UNINSTALL_KEY + product, 'UninstallString')
    return value[1] if value else None


def quiet_command(runner, product):
    """QuietUninstallString of the product's key, or UninstallString with " /S" where it has none."""
    value = runner.registry_value(UNINSTALL_KEY + product, 'QuietUninstallString')
    return value[1] if value else '%s /S' % registered(runner, product)


def log_lines(path):
    """The lines of a run log without their times."""
    with open(path, encoding='latin-1') as f:
        return [line.rstrip('\r\n')[24:] for line in f]


def tree(path):
    """Every file and folder below `path` with size and time: what must stay untouched."""
    out = {}
    for base, dirs, files in os.walk(path):
        for name in dirs + files:
            full = os.path.join(base, name)
            st = os.lstat(full)
            out[full] = (st.st_size if name in files else -1, st.st_mtime_ns if name in files else 0)
    return out


def main():
    parser = argparse.ArgumentParser()
    for option in ('--installer', '--uninstaller', '--program', '--uidriver', '--kvpack', '--work'):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    on_display()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    fixtures = build_fixtures(args, args.work)
    with open(args.installer, 'rb') as f:
        r = Runner(args, registry_view(f.read()))  # the installer and uninstaller share a machine type
    started = time.time()

    # The prefix as it was, plus things of the user's beside what gets installed.
    r.wine(['cmd', '/c', 'exit'])
    desktop, programs = user_folder('Desktop'), user_folder('Programs')
    shutil.rmtree(unix(FOLDER), ignore_errors=True)
    for folder in ('Korvalin Alpha', 'Korvalin Beta'):
        shutil.rmtree(os.path.join(programs, folder), ignore_errors=True)
    os.makedirs(os.path.join(programs, 'Korvalin Alpha'), exist_ok=True)
    with open(os.path.join(programs, 'Korvalin Alpha', 'My notes.txt'), 'w') as f:
        f.write('the user\'s own file in the product\'s menu folder\n')
    with open(os.path.join(desktop, 'mine.txt'), 'w') as f:
        f.write('the user\'s own file\n')
    watched = [desktop, programs, prefix_path('drive_c', 'Program Files')]
    before = {}
    for path in watched:
        before.update(tree(path))

    # Alpha twice, then Beta, which starts BETA.EXE at its end and leaves it running.
    steps = []
    for name, exe, options in (('alpha-1', 'alpha.exe', 'OptNP OptNL'), ('alpha-2', 'alpha.exe', 'OptNP OptNL'),
                               ('beta', 'beta.exe', 'OptNP OptNL OptRE')):
        steps += ['echo', name, 'start', '"%s" %s' % (win(os.path.join(fixtures, exe)), options),
                  '--cwd', win(fixtures), 'exitcode', '--timeout', '90']
    cases = r.drive(steps)
    for name in ('alpha-1', 'alpha-2', 'beta'):
        c = cases.get(name) or Case(name)
        r.check(c, not c.errors and c.exit_code == 0, 'installed, exit %s' % c.exit_code)

    alpha_placed = [FOLDER + '\\ALPHA.EXE', FOLDER + '\\data\\ALPHA.DAT', FOLDER + '\\ALPHASET.EXE'] + \
        tree_paths(ALPHA_TREE)
    beta_placed = [FOLDER + '\\BETA.EXE', FOLDER + '\\BETASET.EXE'] + tree_paths(BETA_TREE)
    alpha_links = [os.path.join(desktop, 'Korvalin Alpha.lnk'), os.path.join(programs, 'Korvalin Alpha',
                                                                               'Korvalin Alpha.lnk')]
    beta_links = [os.path.join(desktop, 'Korvalin Beta.lnk'), os.path.join(programs, 'Korvalin Beta',
                                                                             'Korvalin Beta.lnk')]
    installed = Case('installed')
    for path in alpha_placed + beta_placed + [FOLDER + '\\COMMON.DLL']:
        r.check(installed, os.path.exists(unix(path)), 'placed %s' % path)
    for path, data in zip(tree_paths(ALPHA_TREE) + tree_paths(BETA_TREE),
                          list(ALPHA_TREE.values()) + list(BETA_TREE.values())):
        r.check(installed, read_file(unix(path)) == data, '%s has its bytes' % path)
    for path in alpha_links + beta_links:
        r.check(installed, os.path.exists(path), 'shortcut %s' % path)
    records = data_records(args) or []
    products = [rec[3] for rec in records if rec[0] == 'product']
    r.check(installed, products == ['Korvalin Alpha', 'Korvalin Beta'], 'one product record each: %r' % products)
    beta_records = records[records.index(('product', '', '', 'Korvalin Beta')):] if 'Korvalin Beta' in products else []
    r.check(installed, ('file', '', '', FOLDER + '\\common.dll') in beta_records, 'Beta records its spelling')
    command = registered(r, 'Korvalin Alpha')
    r.check(installed, command is not None and command.endswith(' "%s|Korvalin Alpha"' % FOLDER), 'Alpha: %r' % command)
    # The rest of the Apps & Features entry, read back by `reg query`. Alpha's files: the program,
    # ALPHA.DAT and COMMON.DLL, counted in whole KiB.
    placed_bytes = os.path.getsize(args.program) + 600 + 1040 + sum(len(d) for d in ALPHA_TREE.values())
    expected = {'UninstallString': ('REG_SZ', command), 'QuietUninstallString': ('REG_SZ', '%s /S' % command),
                'InstallLocation': ('REG_SZ', FOLDER), 'DisplayIcon': ('REG_SZ', FOLDER + '\\ALPHA.EXE'),
                'EstimatedSize': ('REG_DWORD', hex((placed_bytes + 1023) // 1024)),
                'NoModify': ('REG_DWORD', '0x1'), 'NoRepair': ('REG_DWORD', '0x1')}
    for value, want in expected.items():
        got = r.registry_value(UNINSTALL_KEY + 'Korvalin Alpha', value)
        r.check(installed, got == want, '%s: %r, expected %r' % (value, got, want))
    dates = {time.strftime('%Y%m%d', time.localtime(t)) for t in (started, time.time())}
    got = r.registry_value(UNINSTALL_KEY + 'Korvalin Alpha', 'InstallDate')
    r.check(installed, got is not None and got[0] == 'REG_SZ' and got[1] in dates, 'InstallDate: %r' % (got,))

    # The uninstall cases in four Wine starts of the driver: each state is taken once the driver
    # before it has ended, so it holds however long the queries take (a pause in a running driver
    # was too short where Wine is slow).
    def state():
        return {'records': data_records(args), 'alpha': registered(r, 'Korvalin Alpha'),
                'beta': registered(r, 'Korvalin Beta'),
                'exists': {p: os.path.exists(unix(p) if p.startswith('C:') else p)
                           for p in alpha_placed + beta_placed + alpha_links + beta_links +
                           [FOLDER + '\\COMMON.DLL', FOLDER + '\\data']},
                'tree': tree(unix(FOLDER))}

    uninstaller = 'C:\\windows\\Kvuninstall.exe '
    alpha_cmd = uninstaller + FOLDER + '|Korvalin Alpha'
    beta_cmd = uninstaller + FOLDER + '|Korvalin Beta'
    # Run logs, asked for in both modes; a quoted path may hold blanks.
    alpha_log, beta_log = os.path.join(args.work, 'alpha removal.log'), os.path.join(args.work, 'beta-in-use.log')
    gamma_log, lone_log = os.path.join(args.work, 'gamma quoted.log'), os.path.join(args.work, 'lone-quote.log')
    shutil.rmtree(unix(EMPTY), ignore_errors=True)
    os.makedirs(unix(EMPTY))
    refused = ['echo', 'declined', 'start', alpha_cmd, 'wait', CAPTION, 'dump', 'press', 'No', 'gone', 'exitcode',
               'echo', 'malformed', 'start', uninstaller + FOLDER + ' /S', 'windowless',
               'echo', 'no-data-file', 'start', uninstaller + 'C:\\Nowhere|Korvalin Alpha', 'wait', CAPTION, 'dump',
               'press', 'OK', 'gone', 'exitcode',
               'echo', 'unknown-product', 'start', uninstaller + FOLDER + '|Korvalin Gamma /S', 'windowless',
               # As deployment tools quote: the whole text as one word, a log path with blanks in it.
               'echo', 'whole-quoted', 'start', uninstaller + '"%s|Korvalin Gamma /S /LOG=%s"' % (FOLDER, win(gamma_log)),
               'windowless',
               # A lone quote swallows neither the product nor /S.
               'echo', 'lone-quote', 'start', uninstaller + FOLDER + '|Korvalin Gamma /LOG="%s /S' % win(lone_log),
               'windowless',
               'echo', 'never-installed', 'start', uninstaller + EMPTY + '|Never Installed /S', 'windowless']
    alpha = ['echo', 'alpha', 'start', alpha_cmd + ' /LOG="%s"' % win(alpha_log), 'wait', CAPTION, 'press', 'Yes',
             'gone', 'wait', CAPTION, 'dump', 'press', 'OK', 'gone', 'exitcode', '--timeout', '60']
    beta_in_use = ['echo', 'beta-in-use', 'start', beta_cmd + ' /S /LOG=' + win(beta_log), 'windowless', '--timeout', '60']
    beta_again = ['echo', 'close-beta', 'start', 'C:\\windows\\system32\\taskkill.exe /IM BETA.EXE', 'exitcode',
                  'sleep', '2000',
                  'echo', 'beta-again', 'start', uninstaller + '"%s|Korvalin Beta" /S' % FOLDER, 'windowless',
                  '--timeout', '60']
    cases, states = Cases(), {}
    for steps, name in [(refused, 'untouched'), (alpha, 'alpha-removed'), (beta_in_use, 'beta-in-use'),
                        (beta_again, None)]:
        cases.update(r.drive(steps))
        if name:
            states[name] = state()

    c = cases['declined']
    r.check(c, 'Remove Korvalin Alpha and all of its components?' in c.texts(), 'question, got %r' % c.texts())
    r.check(c, c.exit_code == DECLINED, 'exit %s' % c.exit_code)
    c = cases['malformed']
    r.check(c, not c.errors and c.exit_code == BAD_COMMAND_LINE, 'no window, exit %s %r' % (c.exit_code, c.errors))
    c = cases['no-data-file']
    r.check(c, any(t and t.startswith('The uninstall data file C:\\Nowhere\\') for t in c.texts()), '%r' % c.texts())
    r.check(c, c.exit_code == NO_DATA_FILE, 'exit %s' % c.exit_code)
    for name, log in (('unknown-product', None), ('whole-quoted', gamma_log), ('lone-quote', lone_log)):
        c = cases[name]
        r.check(c, not c.errors and c.exit_code == UNKNOWN_PRODUCT, 'no window, exit %s %r' % (c.exit_code, c.errors))
        lines = log_lines(log) if log and os.path.exists(log) else []
        r.check(c, log is None or 'Exit code 5' in lines, 'the log names the ending: %r' % lines)
    c = cases['never-installed']
    r.check(c, not c.errors and c.exit_code == NOT_INSTALLED, 'no window, exit %s %r' % (c.exit_code, c.errors))
    r.check(c, os.path.isdir(unix(EMPTY)), 'the folder is left alone')
    shutil.rmtree(unix(EMPTY), ignore_errors=True)
    s = states.get('untouched', {})
    c = Case('untouched')
    r.check(c, s.get('records') == records, 'data file unchanged by the refused runs')
    r.check(c, all(s.get('exists', {}).values()), 'every file still there: %r' % s.get('exists'))
    r.check(c, s.get('alpha') and s.get('beta'), 'both still registered')

    c = cases['alpha']
    r.check(c, not c.errors and c.exit_code == REMOVED, 'exit %s %r' % (c.exit_code, c.errors))
    r.check(c, 'Korvalin Alpha was removed.' in c.texts(), 'final message, got %r' % c.texts())
    s = states.get('alpha-removed', {})
    exists = s.get('exists', {})
    c = Case('alpha-removed')
    r.check(c, not any(exists.get(p, True) for p in alpha_placed + alpha_links + [FOLDER + '\\data']),
            'Alpha\'s files, shortcuts and data folder gone: %r' % exists)
    r.check(c, all(exists.get(p) for p in beta_placed + beta_links + [FOLDER + '\\COMMON.DLL']),
            'Beta\'s files and the shared library stay: %r' % exists)
    r.check(c, s.get('records') == beta_records, 'only Beta\'s records left: %r' % s.get('records'))
    left = sorted(os.path.relpath(p, unix(FOLDER)) for p in s.get('tree', {}))
    r.check(c, left == ['BETA.EXE', 'BETASET.EXE', 'COMMON.DLL', 'Kvuninstall.dat', 'res', 'res/a', 'res/a/b',
                        'res/a/b/beta3.txt'], 'nothing but Beta\'s files and the levels they need: %r' % left)
    r.check(c, s.get('alpha') is None and s.get('beta') is not None, 'only Beta registered')
    r.check(c, os.path.exists(os.path.join(programs, 'Korvalin Alpha', 'My notes.txt')),
            'the menu folder that holds the user\'s file stays')
    lines = log_lines(alpha_log) if os.path.exists(alpha_log) else []
    for line in ['Removed ' + FOLDER + '\\ALPHA.EXE', 'Kept for another product: ' + FOLDER + '\\COMMON.DLL',
                 'Registration of this folder removed: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\'
                 'Uninstall\\Korvalin Alpha', 'Korvalin Alpha was removed.', 'Exit code 0']:
        r.check(c, line in lines, 'the log says %r: %r' % (line, lines))

    c = cases['beta-in-use']
    r.check(c, c.exit_code == INCOMPLETE, 'a running BETA.EXE makes the run incomplete, exit %s' % c.exit_code)
    s = states.get('beta-in-use', {})
    exists = s.get('exists', {})
    c = Case('beta-in-use state')
    r.check(c, exists.get(FOLDER + '\\BETA.EXE'), 'BETA.EXE still there')
    r.check(c, not any(exists.get(p, True) for p in beta_links + [FOLDER + '\\BETASET.EXE', FOLDER + '\\COMMON.DLL']),
            'everything else of Beta gone: %r' % exists)
    r.check(c, s.get('records') == [('product', '', '', 'Korvalin Beta'), ('file', '', '', FOLDER + '\\BETA.EXE')],
            'the data file keeps what is left: %r' % s.get('records'))
    r.check(c, s.get('beta') is not None, 'still registered while something remains')
    lines = log_lines(beta_log) if os.path.exists(beta_log) else []
    for line in ['Left (in use or refused): ' + FOLDER + '\\BETA.EXE', 'Removed ' + FOLDER + '\\BETASET.EXE',
                 'Exit code 6']:
        r.check(c, line in lines, 'the log says %r: %r' % (line, lines))

    c = cases['beta-again']
    r.check(c, c.exit_code == REMOVED, 'the second run finishes, exit %s' % c.exit_code)
    done = Case('all removed')
    r.check(done, not os.path.exists(unix(FOLDER)), 'the installation folder is gone')
    r.check(done, not os.path.exists(os.path.join(programs, 'Korvalin Beta')), 'Beta\'s menu folder is gone')
    r.check(done, not r.registry_has(UNINSTALL_KEY + 'Korvalin Beta') and
            not r.registry_has(UNINSTALL_KEY + 'Korvalin Alpha'), 'the keys and all their values are gone')
    after = {}
    for path in watched:
        after.update(tree(path))
    # Other end-to-end tests may share the prefix and run meanwhile: of theirs, only a disappearance
    # counts; the user's files planted here must be byte for byte and time for time as they were.
    planted = [os.path.join(programs, 'Korvalin Alpha', 'My notes.txt'), os.path.join(desktop, 'mine.txt')]
    vanished = sorted(p for p in before if p not in after)
    r.check(done, not vanished, 'what was there before is still there: %r' % vanished)
    r.check(done, all(after.get(p) == before.get(p) for p in planted), 'the user\'s files untouched')
    left = sorted(p for p in after if p not in before and 'korvalin' in p.lower())
    r.check(done, not left, 'nothing installed is left: %r' % left)
    r.check(done, os.path.exists(prefix_path('drive_c', 'windows', 'Kvuninstall.exe')),
            'the shared uninstaller stays in the Windows directory')

    drive_relative_cases(r, args, args.work)
    old_data_file_case(r, args, fixtures)
    linked_folder_case(r, args, args.work)
    return r.report(started)


if __name__ == '__main__':
    sys.exit(main())

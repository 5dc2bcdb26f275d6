"""What the end-to-end tests under Wine share: the project's prefix and its paths, running a Windows
program there, the UI driver's output read into cases, checks and their report, registry queries in
the program's view and shortcut fields read with lnkinfo. The installer files come from
installer_fixtures.py; each run_*.py holds only its own cases."""
import os
import select
import struct
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
MAIN_CAPTION = 'Korvalin(TM) Installer'
FAILED_CAPTION = 'Installation Failed'
UNINSTALL_KEY = 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\'

# The installer's exit codes (startup/exit_codes.h).
EXIT_INSTALLED, EXIT_CANCELLED, EXIT_MISSING, EXIT_CORRUPT = 0, 1, 2, 3
EXIT_INSTALL_FAILED, EXIT_LICENSE_DECLINED, EXIT_FOLDER_REFUSED = 5, 6, 7


def on_display():
    """Without DISPLAY the script runs itself again under xvfb-run."""
    if not os.environ.get('DISPLAY'):
        os.execvp('xvfb-run', ['xvfb-run', '-a', '-s', '-screen 0 1024x768x24', sys.executable] + sys.argv)


def prefix_path(*parts):
    """A path inside the project's Wine prefix (scripts/wine-env.sh chooses it the same way)."""
    prefix = os.environ.get('KV_WINEPREFIX') or '/tmp/kv-wineprefix-%d' % os.getuid()
    return os.path.join(prefix, *parts)


def win(path):
    """The Wine name of a Unix path (drive Z: is the Unix root)."""
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def cwin(path):
    """The C: name of a path inside the prefix's drive_c."""
    return 'C:\\' + os.path.relpath(path, prefix_path('drive_c')).replace('/', '\\')


def unix(windows_path):
    """The prefix's file for a C: path, each part matched without regard to letter case as Windows does."""
    assert windows_path[:3].upper() == 'C:\\'
    path = prefix_path('drive_c')
    for part in windows_path[3:].split('\\'):
        exact = os.path.join(path, part)
        if not os.path.exists(exact) and os.path.isdir(path):
            for name in os.listdir(path):
                if name.lower() == part.lower():
                    exact = os.path.join(path, name)
                    break
        path = exact
    return path


def user_folder(name):
    """The prefix user's Desktop or Start Menu Programs folder."""
    users = prefix_path('drive_c', 'users')
    for user in sorted(os.listdir(users)):
        if user.lower() in ('public', 'default'):
            continue
        if name == 'Desktop':
            path = os.path.join(users, user, 'Desktop')
        else:
            path = os.path.join(users, user, 'AppData', 'Roaming', 'Microsoft', 'Windows', 'Start Menu', 'Programs')
        if os.path.isdir(os.path.join(users, user, 'Desktop')):
            return path
    raise RuntimeError('no user folder in the prefix')


def read_file(path):
    """The file's bytes, or None when there is no such file."""
    if not os.path.isfile(path):
        return None
    with open(path, 'rb') as f:
        return f.read()


def read_text(path):
    """A text file such as an INI file as Latin-1, or '' when it is missing."""
    data = read_file(path)
    return data.decode('latin-1') if data is not None else ''


def write_file(path, data):
    with open(path, 'wb') as f:
        f.write(data)


def remove_file(path):
    if os.path.exists(path):
        os.remove(path)


def wait_for_file(path, timeout_s=30):
    """A started program writes its marker on its own time: poll for it, bounded."""
    deadline = time.time() + timeout_s
    while time.time() < deadline:
        if os.path.exists(path):
            return read_text(path)
        time.sleep(0.1)
    return None


def registry_view(program_image):
    """The registry view a program writes to: a 32-bit program's machine keys are redirected."""
    pe = struct.unpack_from('<I', program_image, 0x3C)[0]
    return '/reg:64' if struct.unpack_from('<H', program_image, pe + 4)[0] == 0x8664 else '/reg:32'


def shortcut_fields(link):
    """What lnkinfo (not Windows, not the project) reads from a shortcut: 'Local path', 'Description', ..."""
    info = subprocess.run(['lnkinfo', link], capture_output=True, text=True, errors='replace').stdout
    fields = {}
    for line in info.splitlines():
        if ':' in line:
            key, _, val = line.partition(':')
            fields[key.strip()] = val.strip()
    return fields


def unescape(text):
    out, i = [], 0
    simple = {'n': '\n', 'r': '\r', 't': '\t', '\\': '\\', '"': '"'}
    while i < len(text):
        c = text[i]
        if c == '\\' and i + 1 < len(text):
            n = text[i + 1]
            if n in simple:
                out.append(simple[n])
                i += 2
                continue
            if n == 'x':
                out.append(chr(int(text[i + 2:i + 4], 16)))
                i += 4
                continue
        out.append(c)
        i += 1
    return ''.join(out)


def parse_fields(line):
    """key=value pairs of a driver line; text="..." may hold blanks and escaped quotes."""
    fields, i = {}, 0
    while i < len(line):
        eq = line.find('=', i)
        if eq < 0:
            break
        key = line[i:eq].strip().split(' ')[-1]
        if eq + 1 < len(line) and line[eq + 1] == '"':
            j = eq + 2
            while j < len(line) and line[j] != '"':
                j += 2 if line[j] == '\\' else 1
            fields[key] = unescape(line[eq + 2:j])
            i = j + 1
        else:
            end = line.find(' ', eq)
            end = len(line) if end < 0 else end
            fields[key] = line[eq + 1:end]
            i = end
    return fields


class Case:
    """What the driver printed between one "== NAME" marker and the next."""

    def __init__(self, name):
        self.name = name
        self.windows = []   # each: {'caption':..., 'enabled': bool, 'controls': {id: fields}}
        self.errors = []
        self.gone_after = None    # ms from finding the window to its destruction
        self.hidden_after = None  # ms to when it was first seen hidden (the program ended it)
        self.exit_code = None
        self.tree = []   # each: a tree view's selected item as a list of item texts, root first
        self.rects = {}  # control id -> {'x':, 'y':, 'w':, 'h':} in the dialog's client area

    def add(self, line):
        if line.startswith('window '):
            caption = unescape(line[len('window "'):line.rfind('" class=')])
            self.windows.append({'caption': caption, 'enabled': line.endswith('enabled=1'), 'controls': {}})
        elif line.startswith('control ') and self.windows:
            fields = parse_fields(line[len('control '):])
            self.windows[-1]['controls'][int(fields['id'])] = fields
        elif line.startswith('gone '):
            fields = parse_fields(line[len('gone '):])
            self.gone_after = int(fields['after'])
            self.hidden_after = int(fields.get('hidden', fields['after']))
        elif line.startswith('exit code='):
            self.exit_code = int(line.split('=')[1])
        elif line.startswith('error:'):
            self.errors.append(line)
        elif line.startswith('tree selected="'):
            text = unescape(line[len('tree selected="'):-1])
            self.tree.append(text.split('\\') if text else [])
        elif line.startswith('rect '):
            fields = dict(part.split('=') for part in line.split()[1:])
            self.rects[int(fields.pop('id'))] = {k: int(v) for k, v in fields.items()}

    def controls(self, caption):
        """The controls of every dumped window with that caption, in order."""
        return [w['controls'] for w in self.windows if w['caption'] == caption]

    def texts(self, caption=None):
        """The control texts of the first window with that caption, or of all windows."""
        if caption is None:
            return [f.get('text') for w in self.windows for f in w['controls'].values()]
        found = self.controls(caption)
        return [f.get('text') for f in found[0].values()] if found else []


def wine_command(argv):
    """The command line that runs a Windows program in the project's prefix."""
    return ['bash', '-c', 'source "$0"; exec wine "$@"', os.path.join(ROOT, 'scripts', 'wine-env.sh')] + argv


class Runner:
    """Runs programs in the prefix, drives them through the UI driver and keeps the checks."""

    def __init__(self, args, view=''):
        self.args = args
        self.view = view  # the registry view of the programs under test, from registry_view()
        self.failures = []
        self.checks = 0

    def wine(self, argv, on_line=None, cwd=None):
        """Runs a Windows program in the project's prefix; returns (exit status, stdout lines)."""
        proc = subprocess.Popen(wine_command(argv), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, cwd=cwd)
        lines = []
        trace = os.environ.get('KV_E2E_TRACE')  # set it to see every line of the driver as it comes

        def take(raw):
            line = raw.decode('latin-1').rstrip('\r\n')
            lines.append(line)
            if trace:
                print('  | ' + line, file=sys.stderr, flush=True)
            if on_line:
                on_line(line)

        # Read until the program has ended and its output is drained, not until end of file: a
        # background process Wine starts for it (the desktop, a service) may hold the pipe open.
        fd, pending = proc.stdout.fileno(), b''
        while True:
            if select.select([fd], [], [], 0.2)[0]:
                chunk = os.read(fd, 65536)
                if not chunk:
                    break
                pending += chunk
                *complete, pending = pending.split(b'\n')
                for raw in complete:
                    take(raw)
            elif proc.poll() is not None:
                break
        if pending:
            take(pending)
        proc.stdout.close()
        return proc.wait(), lines

    def drive(self, steps, on_line=None):
        """One Wine start of the UI driver for a whole group; returns the cases by name (an empty
        case for a name the driver never reached)."""
        _, lines = self.wine([self.args.uidriver] + steps, on_line)
        cases, current = Cases(), None
        for line in lines:
            if line.startswith('== !'):
                continue  # a signal for `on_line`, not a case
            if line.startswith('== '):
                current = cases.setdefault(line[3:], Case(line[3:]))
            elif current is not None:
                current.add(line)
        return cases

    def registry_value(self, key, value):
        """(type, data) of one registry value in the programs' view, or None when it is missing."""
        _, lines = self.wine(['reg', 'query', key, '/v', value, self.view])
        for line in lines:
            parts = line.split(None, 2)
            if len(parts) >= 2 and parts[0] == value and parts[1].startswith('REG_'):
                return parts[1], parts[2].rstrip() if len(parts) == 3 else ''
        return None

    def registry_has(self, key):
        status, _ = self.wine(['reg', 'query', key, self.view])
        return status == 0

    def registry_delete(self, key):
        self.wine(['reg', 'delete', key, '/f', self.view])

    def report(self, started):
        """Prints the count and every failure; the script's exit status."""
        print('%d checks, %d failed, %.1f s' % (self.checks, len(self.failures), time.time() - started))
        for failure in self.failures:
            print('FAIL ' + failure)
        return 1 if self.failures else 0

    def check(self, case, condition, what):
        """`case` is a Case (its driver errors are added to a failure) or just a name."""
        self.checks += 1
        if not condition:
            if not isinstance(case, Case):
                case = Case(case or '?')
            detail = '; '.join(case.errors)
            self.failures.append('%s: %s %s' % (case.name, what, detail))


class Cases(dict):
    def __missing__(self, name):
        return Case(name)

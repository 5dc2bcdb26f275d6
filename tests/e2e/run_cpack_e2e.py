#!/usr/bin/env python3
"""The CPack route end to end: scripts/cpack-example.sh packs examples/cpack with `cpack` through
KvpackCPack, `kvpack verify` accepts the installer and `kvpack list --json` shows the records the
CPACK_* variables asked for; installed under Wine (SETUP.EXE OptNP OptNL, started in its own
folder), every staged file arrives in the installation folder, four levels deep where staged so,
with the Desktop shortcut.

Usage: run_cpack_e2e.py --windows-build DIR --kvpack PATH --wine-run scripts/wine-run.sh --work DIR"""
import argparse
import json
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from e2e_common import ROOT, read_file, registry_view, unix, user_folder  # noqa: E402

FOLDER = 'C:\\Program Files\\Korvalin Demo'
NESTED = 'share\\kvdemo\\doc\\en'  # four levels below the installation folder, as install() staged them


def main():
    parser = argparse.ArgumentParser()
    for option in ('--windows-build', '--kvpack', '--wine-run', '--work'):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    out, run = os.path.join(args.work, 'out'), os.path.join(args.work, 'run')
    os.makedirs(run)
    failures = []

    def check(condition, what):
        print('%s: %s' % ('ok' if condition else 'FAILED', what), flush=True)
        if not condition:
            failures.append(what)

    env = dict(os.environ, KV_CPACK_BUILD=os.path.join(args.work, 'build'), KVPACK=args.kvpack)
    packed = subprocess.run(['bash', os.path.join(ROOT, 'scripts', 'cpack-example.sh'), out, args.windows_build],
                            env=env, capture_output=True, text=True, timeout=600)
    installers = [name for name in os.listdir(out) if name.endswith('.exe')] if os.path.isdir(out) else []
    # CPack's name: NAME-VERSION-SYSTEM, the system that of the programs packed.
    with open(os.path.join(args.windows_build, 'app', 'kvsetup.exe'), 'rb') as f:
        system = 'win64' if registry_view(f.read()) == '/reg:64' else 'win32'
    check(packed.returncode == 0 and installers == ['Korvalin-Demo-1.0-%s.exe' % system],
          'cpack-example.sh leaves one installer in OUTDIR: %s\n%s%s' % (installers, packed.stdout, packed.stderr))
    if failures:
        return 1
    installer = os.path.join(out, installers[0])

    verified = subprocess.run([args.kvpack, 'verify', installer], capture_output=True, text=True)
    check(verified.returncode == 0, 'kvpack verify accepts it: ' + verified.stdout + verified.stderr)
    listing = json.loads(subprocess.run([args.kvpack, 'list', '--json', installer], capture_output=True,
                                        text=True).stdout)
    header, files = listing, {(f['folder'], f['file']): f for f in listing['files']}
    check(header['title'] == 'Korvalin Demo 1.0' and header['displayName'] == 'Korvalin Demo' and
          header['defaultFolder'] == FOLDER and header['programsFolder'] == 'Korvalin' and
          header['runFile'] == 'KVDEMO.exe', 'the header comes from the CPACK_* variables: %s' % header['title'])
    product = listing['product']
    check(product.get('version') == '1.0' and product.get('publisher') == 'Korvalin' and
          product.get('url') == 'https://demo.korvalin.example/' and len(product.get('icon', [])) == 5,
          'version, vendor, home page and icon come from the CPACK_* variables: %s' % product)
    demo = files.get(('', 'KVDEMO.exe'), {})
    check(demo.get('iconName') == 'Korvalin Demo' and demo.get('desktopIcon') and demo.get('programsIcon'),
          'KVDEMO.exe gets both shortcuts: %s' % demo)
    check(listing['files'][0]['file'] == 'Kvuninstall.exe' and ('', 'LICENSE.RTF') in files and
          ('docs', 'README.TXT') in files and (NESTED, 'readme.txt') in files,
          'uninstaller first, licence, docs\\README.TXT and the nested tree as staged: %s' % sorted(files))

    shutil.copy(installer, os.path.join(run, 'SETUP.EXE'))
    shutil.rmtree(unix(FOLDER), ignore_errors=True)
    installed = subprocess.run([args.wine_run, 'SETUP.EXE', 'OptNP OptNL'], cwd=run, capture_output=True,
                               timeout=300)
    check(installed.returncode == 0, 'SETUP.EXE OptNP OptNL installs it (exit code %d)' % installed.returncode)
    for folder, name in (('', 'KVDEMO.exe'), ('docs', 'README.TXT'), ('', 'LICENSE.RTF'), ('', 'Kvuninstall.dat'),
                         (NESTED, 'readme.txt')):
        check(os.path.isfile(unix(FOLDER + '\\' + (folder + '\\' if folder else '') + name)),
              '%s arrives in the installation folder' % name)
    readme = read_file(os.path.join(ROOT, 'examples', 'demo', 'readme.txt'))
    check(read_file(unix(FOLDER + '\\docs\\README.TXT')) == readme, 'README.TXT has its bytes')
    check(read_file(unix(FOLDER + '\\' + NESTED + '\\readme.txt')) == readme, 'the nested readme.txt has its bytes')
    check(os.path.isfile(os.path.join(user_folder('Desktop'), 'Korvalin Demo.lnk')), 'the Desktop shortcut is made')
    if failures:
        print('\n%d failed' % len(failures))
        return 1
    print('all passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())

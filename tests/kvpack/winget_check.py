#!/usr/bin/env python3
"""Reads back the winget manifests kvpack wrote for an installer: each YAML file through PyYAML,
validated against the JSON schema of its manifest type (1.10.0), and the values that come from the
installer itself. Prints one line per finding and exits 1 on any.

Usage: winget_check.py SCHEMA_DIR MANIFEST_DIR INSTALLER URL"""
import hashlib
import json
import os
import sys

import jsonschema
import yaml


def main():
    schemas, folder, installer, url = sys.argv[1:5]
    problems = []
    manifests = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), encoding='utf-8') as f:
            manifest = yaml.safe_load(f)
        kind = manifest.get('ManifestType')
        with open(os.path.join(schemas, 'manifest.%s.1.10.0.json' % kind)) as f:
            schema = json.load(f)
        for error in jsonschema.Draft7Validator(schema).iter_errors(manifest):
            problems.append('%s: %s' % (name, error.message))
        manifests[kind] = (name, manifest)
    if sorted(manifests) != ['defaultLocale', 'installer', 'version']:
        problems.append('manifest types %r' % sorted(manifests))
        print('\n'.join(problems))
        return 1
    ident = manifests['version'][1]['PackageIdentifier']
    expected_names = {'version': ident + '.yaml', 'installer': ident + '.installer.yaml',
                      'defaultLocale': ident + '.locale.en-US.yaml'}
    for kind, (name, _) in manifests.items():
        if name != expected_names[kind]:
            problems.append('%s is named %s' % (kind, name))
    with open(installer, 'rb') as f:
        digest = hashlib.sha256(f.read()).hexdigest().upper()
    inst = manifests['installer'][1]
    entry = inst['Installers'][0]
    locale = manifests['defaultLocale'][1]
    found = {
        'identifier': ident,
        'version': manifests['version'][1]['PackageVersion'],
        'sha256': entry['InstallerSha256'] == digest,
        'url': entry['InstallerUrl'] == url,
        'architecture': entry['Architecture'],
        'type': inst['InstallerType'],
        'switches': inst['InstallerSwitches'],
        'elevation': inst['ElevationRequirement'],
        'product code': inst['ProductCode'],
        'apps and features': inst['AppsAndFeaturesEntries'],
        'publisher': locale['Publisher'],
        'name': locale['PackageName'],
        'package url': locale.get('PackageUrl'),
    }
    print(json.dumps(found, sort_keys=True))
    print('\n'.join(problems))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())

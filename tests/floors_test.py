#!/usr/bin/env python3
"""Checks the product's floors from its includes: app above ui above startup above install above uninstall, with
archive/ and the OS seam os/ at the bottom. A file may include its own folder or a lower floor,
never a higher one nor a folder on its own floor, and no two files include each other.

Usage: floors_test.py ROOT
"""
import os
import re
import sys

FLOORS = {'app': 5, 'ui': 4, 'startup': 3, 'install': 2, 'uninstall': 1, 'archive': 0, 'os': 0}
INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')


def includes(root):
    """(file, included file) for every quoted include of a product folder, paths from ROOT."""
    for top in FLOORS:
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in names:
                if not name.endswith(('.h', '.cpp', '.rc')):
                    continue
                path = os.path.relpath(os.path.join(folder, name), root)
                with open(os.path.join(root, path), errors='replace') as source:
                    for line in source:
                        match = INCLUDE.match(line)
                        if match:
                            yield path, match.group(1)


def main():
    root = sys.argv[1]
    problems = []
    edges = set()
    for path, included in includes(root):
        edges.add((path, included))
        here, there = path.split('/')[0], included.split('/')[0]
        if there not in FLOORS or there == here:
            continue
        if FLOORS[there] >= FLOORS[here]:
            problems.append(f'{path} includes {included}: {there}/ is not below {here}/')
    problems += [f'{a} and {b} include each other' for a, b in edges if (b, a) in edges and a < b]
    for problem in problems:
        print(problem)
    print(f'{len(edges)} includes checked, {len(problems)} problems')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())

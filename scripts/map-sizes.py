#!/usr/bin/env python3
"""What each part of a program costs: the bytes of code and data that each library (or object file
of the program's own) brings into a program, summed from the linker map that the MinGW builds write
beside each shipped program (NAME.exe.map). Debug sections are left out, since the shipped file
carries none; the sums are before section alignment, so they add up to a little less than the file.

Usage: map-sizes.py PROGRAM.exe.map [TOP]   (TOP, default 12: the largest parts listed)"""
import collections
import os
import re
import sys

# One input section: " .text$name  0xADDRESS  0xSIZE  file" on one line, or the name alone on one
# line when it is long and the rest on the next.
WHOLE = re.compile(r'^ (\.\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$')
NAME_ONLY = re.compile(r'^ (\.\S+)$')
REST = re.compile(r'^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$')


def part(source):
    """The library an input file came from ("libstdc++.a"), else the object file's name."""
    if source == 'dll stuff':
        return 'import tables (made by the linker)'
    library = re.match(r'^(.*?\.a)\(', source)
    return os.path.basename(library.group(1) if library else source)


def sizes(lines):
    total = collections.Counter()
    in_map, pending = False, None
    for line in lines:
        if line.startswith('Linker script and memory map'):
            in_map = True
            continue
        if not in_map:
            continue
        whole = WHOLE.match(line)
        if whole:
            section, size, source = whole.groups()
            pending = None
        else:
            name = NAME_ONLY.match(line)
            if name:
                pending = name.group(1)
                continue
            rest = REST.match(line)
            if not (rest and pending):
                continue
            section, (size, source), pending = pending, rest.groups(), None
        if not section.startswith(('.debug', '.zdebug')) and int(size, 16):
            total[part(source.strip())] += int(size, 16)
    return total


def main():
    top = int(sys.argv[2]) if len(sys.argv) > 2 else 12
    with open(sys.argv[1], errors='replace') as f:
        total = sizes(f)
    listed = total.most_common(top)
    for name, size in listed:
        print('  %-42s %10d' % (name, size))
    rest = sum(total.values()) - sum(size for _, size in listed)
    print('  %-42s %10d' % ('the rest (%d parts)' % max(len(total) - top, 0), rest))


if __name__ == '__main__':
    main()

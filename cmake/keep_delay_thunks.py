#!/usr/bin/env python3
"""Link launcher for the i686 MinGW build: keeps the delay-load thunks a program calls through.

Usage (set by CMake as the linker launcher): keep_delay_thunks.py NM LINK-COMMAND...

A delay-import library gives each function an import slot (__imp__Name@N) that holds the address
of a thunk (_Name@N); the thunk loads the DLL at the first call. Code compiled against the Windows
headers calls through the slot and never names the thunk, and the i686 linker drops the code of an
import-library member whose thunk nobody names, as it may for ordinary imports. The slot then holds
0 and the first call into user32, gdi32, shell32 or ole32 jumps to address 0. (The x86-64 linker
keeps them.)

So the program is linked once, the delay-loaded functions it imports are read from its symbols, and
it is linked again with each of their thunks named as an undefined symbol, which keeps them. A
program that links no delay-import library is linked once, as it is.
"""
import os
import subprocess
import sys


def delay_loaded_names(command):
    """The function names the delay-import libraries on the link line export (from their .def files)."""
    names = set()
    for word in command:
        base = os.path.basename(word)
        if not (base.startswith("lib") and base.endswith("_delay.a")):
            continue
        definition = os.path.join(os.path.dirname(word), base[3:-len("_delay.a")] + ".def")
        with open(definition, encoding="ascii") as lines:
            exports = False
            for line in lines:
                line = line.strip()
                if line == "EXPORTS":
                    exports = True
                elif exports and line:
                    names.add(line.split()[0])
    return names


def output_of(command):
    for i, word in enumerate(command):
        if word == "-o" and i + 1 < len(command):
            return command[i + 1]
        if word.startswith("-o") and len(word) > 2:
            return word[2:]
    raise SystemExit("keep_delay_thunks: no -o on the link line")


def symbols(nm, program):
    """(imported slots, thunks defined in code) by name, without the leading decorations."""
    listing = subprocess.run([nm, program], check=True, capture_output=True, text=True).stdout
    slots, thunks = set(), set()
    for line in listing.splitlines():
        parts = line.split()
        if len(parts) != 3:
            continue
        _, kind, name = parts
        if kind == "I" and name.startswith("__imp__"):
            slots.add(name[len("__imp__"):])
        elif kind in "Tt" and name.startswith("_"):
            thunks.add(name[1:])
    return slots, thunks


def main():
    nm, command = sys.argv[1], sys.argv[2:]
    names = delay_loaded_names(command)
    if not names:
        os.execvp(command[0], command)
    subprocess.run(command, check=True)
    program = output_of(command)
    used = sorted(symbols(nm, program)[0] & names)
    if not used:
        return 0
    subprocess.run(command + [f"-Wl,-u,_{name}" for name in used], check=True)
    missing = [name for name in used if name not in symbols(nm, program)[1]]
    if missing:
        os.remove(program)
        raise SystemExit(f"keep_delay_thunks: {program}: no delay-load thunk for {', '.join(missing)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Every slot a Windows program calls through holds something a call can reach, read from the file.

Usage: import_slots_test.py OBJDUMP PROGRAM...

A call into a DLL goes through a slot: an ordinary import slot holds the name the loader resolves,
a delay-import slot the address of the thunk that loads the DLL at the first call. A slot that
holds 0 (or an address outside the program's code) sends the call to nowhere; that is how the i686
programs once jumped to address 0 at their first call into user32. This reads the linked programs
only, so it runs on every machine, whether or not it can start them.
"""
import re
import struct
import subprocess
import sys

# "call *0x40e238" (i686) and "call *0x1f2e(%rip)        # 14000e420 <...>" (x86-64).
ABSOLUTE = re.compile(r"\s(?:call|jmp)\s+\*0x([0-9a-f]+)$")
RIP_RELATIVE = re.compile(r"\s(?:call|jmp)\s+\*0x[0-9a-f]+\(%rip\)\s+# (?:0x)?([0-9a-f]+)")


class Program:
    def __init__(self, objdump, path):
        self.path = path
        self.data = open(path, "rb").read()
        headers = subprocess.run([objdump, "-h", "-p", path], check=True, capture_output=True, text=True).stdout
        self.wide = "pei-x86-64" in headers
        self.image_base = int(re.search(r"^ImageBase\s+([0-9a-f]+)", headers, re.M).group(1), 16)
        # (name, start, end, file offset, is code) of each section.
        self.sections = []
        for m in re.finditer(r"^\s*\d+ (\S+)\s+([0-9a-f]+)\s+([0-9a-f]+)\s+[0-9a-f]+\s+([0-9a-f]+).*\n\s+(.*)$",
                             headers, re.M):
            name, size, vma, offset = m.group(1), int(m.group(2), 16), int(m.group(3), 16), int(m.group(4), 16)
            self.sections.append((name, vma, vma + size, offset, "CODE" in m.group(5)))
        # Ordinary import slots: each DLL's table starts at its First Thunk and has one slot a name.
        self.import_slots = set()
        first, count = None, 0
        for line in headers[headers.find("The Import Tables"):].splitlines():
            descriptor = re.match(r"^ [0-9a-f]+\s+(?:[0-9a-f]+ ){4}([0-9a-f]+)$", line)
            if descriptor:
                first, count = self.image_base + int(descriptor.group(1), 16), 0
            elif first is not None and re.match(r"^\t[0-9a-f]+\t\s*\d+\s", line):
                self.import_slots.add(first + count * self.slot_size)
                count += 1
            elif line.startswith("PE File Base") or line.startswith("The "):
                if not line.startswith("The Import"):
                    break

    @property
    def slot_size(self):
        return 8 if self.wide else 4

    def section_of(self, address):
        return next((s for s in self.sections if s[1] <= address < s[2]), None)

    def slot_value(self, address):
        name, start, _, offset, _ = self.section_of(address)
        at = offset + address - start
        return struct.unpack_from("<Q" if self.wide else "<I", self.data, at)[0]

    def call_slots(self, objdump):
        listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", self.path], check=True,
                                 capture_output=True, text=True).stdout
        slots = set()
        for line in listing.splitlines():
            m = RIP_RELATIVE.search(line) if self.wide else ABSOLUTE.search(line)
            if m:
                slots.add(int(m.group(1), 16))
        return slots

    def faults(self, objdump):
        """One line per slot a call goes through that cannot reach code."""
        faults = []
        for slot in sorted(self.call_slots(objdump)):
            section = self.section_of(slot)
            if section is None:
                # Tables kept in the code section disassemble as such "calls" too; no real call
                # goes through an address outside the program.
                continue
            value = self.slot_value(slot)
            if slot in self.import_slots:
                if value == 0:
                    faults.append(f"import slot {slot:#x} holds 0")
                continue
            target = self.section_of(value)
            if target is None or not target[4]:
                faults.append(f"slot {slot:#x} in {section[0]} holds {value:#x}, not an address in the code")
        return faults


def main():
    objdump, paths = sys.argv[1], sys.argv[2:]
    failed = False
    for path in paths:
        program = Program(objdump, path)
        slots = program.call_slots(objdump)
        faults = program.faults(objdump)
        print(f"{path}: {len(slots)} call slots, {len(program.import_slots)} import slots, {len(faults)} faults")
        for fault in faults:
            print(f"  {fault}")
        failed |= bool(faults) or not slots
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Guest instructions executed, from a log of qemu-arm -d in_asm,exec,nochain.

in_asm lists each translated block's instructions once, under its start address; exec (with
nochain, so no block jumps straight into the next) logs every run of a block by that address.
The sum over the runs of each block's length is the count. A block cut short by a fault
would be counted whole; user-mode programs that run to their end have none.

    arm_instructions.py LOG
"""
import re
import sys

INSTRUCTION = re.compile(r"^0x([0-9a-f]+):\s")
RUN = re.compile(r"^Trace \d+: \S+ \[[0-9a-f]+/([0-9a-f]+)/")


def count(lines):
    lengths = {}
    block = None
    total = 0
    for line in lines:
        if line.startswith("IN:"):
            block = []
            continue
        if block is not None:
            match = INSTRUCTION.match(line)
            if match:
                block.append(int(match.group(1), 16))
                continue
            if block:
                lengths[block[0]] = len(block)
            block = None
        match = RUN.match(line)
        if match:
            total += lengths[int(match.group(1), 16)]
    return total


if __name__ == "__main__":
    with open(sys.argv[1], errors="replace") as log:
        print(count(log))

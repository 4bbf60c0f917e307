#!/usr/bin/env python3
"""Writes res/firm.mot, Kelvane's own sequencer firmware for the Vireo/L group.

Layout of the image (24-bit S2 addresses, all below 0x5000):
  0x0000  "KVSEQ" tag and format version, zero padded to 0x14
  0x0014  routine directory: 14 entries of 8 bytes, the first two the
          little-endian address of the slot's block, the rest zero
  0x0100  the routine blocks, 16-byte aligned: a big-endian body length L,
          then L bytes (a text tag naming the slot, then filler)

Each block is distinct, so that the simulated sequencer can tell them apart.
Run:  python3 tools/make_firm_mot.py > res/firm.mot
"""
import sys

# slot: (command code, name, body length)
SLOTS = [
    (0xFF, "page read", 302),
    (0x41, "page program", 431),
    (0xA7, "erase all 1/3", 256),
    (0xA7, "erase all 2/3", 190),
    (0xA7, "erase all 3/3", 121),
    (0x70, "status read", 96),
    (0x50, "clear status", 64),
    (0x71, "reserved 71", 40),
    (0xF5, "id check", 212),
    (0xFB, "version read", 80),
    (0xB0, "baud 9600", 72),
    (0xB1, "baud 19200", 73),
    (0xB2, "baud 38400", 74),
    (0xB3, "baud 57600", 75),
]


def body(slot, code, name, length):
    tag = f"KVSEQ{slot:02d} {code:02X} {name}".encode("ascii")
    out = bytearray(tag)
    state = (slot * 0x9E37 + code) & 0xFFFF
    while len(out) < length:
        state = (state * 25173 + 13849) & 0xFFFF
        out.append((state >> 8) & 0xFF)
    return bytes(out[:length])


def build():
    image = bytearray(0x14 + 8 * len(SLOTS))
    image[0:8] = b"KVSEQ\x01\x00\x00"
    address = 0x100
    blocks = []
    for slot, (code, name, length) in enumerate(SLOTS):
        assert length + 2 <= 1024
        data = length.to_bytes(2, "big") + body(slot, code, name, length)
        entry = 0x14 + 8 * slot
        image[entry:entry + 2] = address.to_bytes(2, "little")
        blocks.append((address, data))
        address = (address + len(data) + 15) & ~15
    assert address <= 0x5000
    return [(0, bytes(image))] + blocks


def record(kind, address_bytes, data):
    payload = address_bytes + data
    count = len(payload) + 1
    checksum = (~(count + sum(payload))) & 0xFF
    return f"S{kind}{count:02X}{payload.hex().upper()}{checksum:02X}"


def main():
    lines = [record(0, b"\x00\x00", b"firm.mot")]
    for start, data in build():
        for offset in range(0, len(data), 32):
            chunk = data[offset:offset + 32]
            lines.append(record(2, (start + offset).to_bytes(3, "big"), chunk))
    lines.append(record(8, b"\x00\x00\x00", b""))
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()

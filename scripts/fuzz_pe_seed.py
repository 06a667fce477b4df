#!/usr/bin/env python3
"""Writes to stdout a small PE32 image whose one .rsrc section holds a message
table (messages 4416 and 4417, UTF-16 and ANSI): a seed for fuzz_messages."""
import struct
import sys


def entry(text, unicode):
    body = text.encode("utf-16-le" if unicode else "latin-1") + b"\0"
    body += b"\0" * (-(len(body) + 4) % 4)
    return struct.pack("<HH", 4 + len(body), 1 if unicode else 0) + body


def main():
    entries = entry("ReadData (or ListDirectory)%n%1!-12s!", True) + entry("WriteData", False)
    rsrc = bytearray(0x58 + 16)
    struct.pack_into("<H", rsrc, 0x0E, 1)
    struct.pack_into("<II", rsrc, 0x10, 11, 0x80000000 | 0x18)
    struct.pack_into("<H", rsrc, 0x18 + 0x0E, 1)
    struct.pack_into("<II", rsrc, 0x18 + 0x10, 1, 0x80000000 | 0x30)
    struct.pack_into("<H", rsrc, 0x30 + 0x0E, 1)
    struct.pack_into("<II", rsrc, 0x30 + 0x10, 0x409, 0x48)
    struct.pack_into("<II", rsrc, 0x48, 0x1000 + 0x58, 16 + len(entries))
    struct.pack_into("<IIII", rsrc, 0x58, 1, 4416, 4417, 16)
    rsrc += entries

    pe = bytearray(0x200)
    pe[0:2] = b"MZ"
    struct.pack_into("<I", pe, 0x3C, 0x40)
    pe[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HH", pe, 0x44, 0x14C, 1)
    struct.pack_into("<H", pe, 0x54, 0xE0)
    struct.pack_into("<H", pe, 0x58, 0x10B)
    struct.pack_into("<I", pe, 0x58 + 92, 16)
    struct.pack_into("<II", pe, 0x58 + 96 + 16, 0x1000, len(rsrc))
    section = 0x58 + 0xE0
    pe[section:section + 5] = b".rsrc"
    struct.pack_into("<IIII", pe, section + 8, len(rsrc), 0x1000, len(rsrc), 0x200)
    sys.stdout.buffer.write(bytes(pe) + bytes(rsrc))


main()

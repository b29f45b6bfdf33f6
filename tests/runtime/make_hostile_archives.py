#!/usr/bin/env python3
"""Writes the hostile zip archives of the unpacking tests into the folder
named on the command line: bombs, entries with sizes far from their data,
duplicate names, names no file system should take and central directories
that lie. Each is a sound archive from zipfile, damaged afterwards at the
bytes that matter."""

import os
import struct
import sys
import warnings
import zlib

# The shared helpers come from the other script; no bytecode in the sources.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_archives import (STORED, central_record, damage, entry,  # noqa: E402
                           local_record, write)

BOMB_DECLARED = 1000
BOMB_INFLATED = 16 * 1024 * 1024
HUGE_DECLARED = 0xFFFFFFF0  # just below 0xFFFFFFFF, which means "see the zip64 field"
SOME_DATA = bytes((i * 131 + i // 256) & 0xFF for i in range(100000))


def records(raw, signature):
    """Offsets of every record with the 4-byte signature, in file order."""
    found = []
    at = raw.find(signature)
    while at >= 0:
        found.append(at)
        at = raw.find(signature, at + 1)
    return found


def end_record(raw):
    return raw.rfind(b"PK\x05\x06")


def set_sizes(name, compressed=None, uncompressed=None, crc=None):
    """Writes the given fields into both the local and the central header."""
    def change(raw):
        local, central = local_record(raw, name), central_record(raw, name)
        for value, local_at, central_at in ((crc, 14, 16), (compressed, 18, 20),
                                            (uncompressed, 22, 24)):
            if value is not None:
                struct.pack_into("<I", raw, local + local_at, value)
                struct.pack_into("<I", raw, central + central_at, value)
    return change


def bombs(out):
    zeros = bytes(BOMB_INFLATED)
    # The real CRC-32 of all 16 MiB: the entry fails on its size or CRC.
    path = os.path.join(out, "bomb.zip")
    write(path, [entry("bomb.bin", zeros), entry("after.txt", b"after\n")])
    damage(path, set_sizes("bomb.bin", uncompressed=BOMB_DECLARED))
    # The CRC-32 of the first 1000 bytes: nothing but the data going on past
    # the declared size tells this entry from a sound one.
    path = os.path.join(out, "bomb-prefix-crc.zip")
    write(path, [entry("bomb.bin", zeros), entry("after.txt", b"after\n")])
    damage(path, set_sizes("bomb.bin", uncompressed=BOMB_DECLARED,
                           crc=zlib.crc32(zeros[:BOMB_DECLARED])))


def huge_sizes(out):
    for name, method, sizes in (
            ("huge-deflated.zip", None, {"uncompressed": HUGE_DECLARED}),
            ("huge-stored.zip", STORED, {"uncompressed": HUGE_DECLARED}),
            ("huge-stored-both.zip", STORED,
             {"uncompressed": HUGE_DECLARED, "compressed": HUGE_DECLARED})):
        path = os.path.join(out, name)
        first = entry("huge.bin", SOME_DATA) if method is None else \
            entry("huge.bin", SOME_DATA, method)
        write(path, [first, entry("after.txt", b"after\n")])
        damage(path, set_sizes("huge.bin", **sizes))


def duplicates(out):
    warnings.filterwarnings("ignore", "Duplicate name")
    path = os.path.join(out, "duplicates.zip")
    write(path, [
        entry("dup.txt", b"first\n"),
        entry("dup.txt", b"second\n"),
        entry("kept.txt", b"sound\n", STORED),
        entry("kept.txt", b"flawed\n", STORED),
        entry("d/"),
        entry("d/"),
        entry("d/in.txt", b"in\n"),
    ])

    def spoil_second_kept(raw):
        # The second local header of "kept.txt": its data's first byte.
        at = [r for r in records(raw, b"PK\x03\x04")
              if raw[r + 30:r + 38] == b"kept.txt"][1]
        raw[at + 30 + 8] ^= 0xFF
    damage(path, spoil_second_kept)


def rename(old, new):
    """Replaces the name bytes in both headers (same length)."""
    assert len(old) == len(new)

    def change(raw):
        for at in (local_record(raw, old) + 30, central_record(raw, old) + 46):
            raw[at:at + len(new)] = new
    return change


def control_names(out):
    path = os.path.join(out, "control-names.zip")
    names = {
        "ctl-A.txt": b"ctl-\x01.txt", "tab-A.txt": b"tab-\t.txt", "lf-AA.txt": b"lf-\r\n.txt",
        "esc-A.txt": b"esc-\x1b.txt", "Xlead.txt": b"\x00lead.txt", "trailX": b"trail\x00",
    }
    write(path, [entry(name, b"odd name\n") for name in names] +
          [entry("plain.txt", b"plain\n")])
    for old, new in names.items():
        damage(path, rename(old, new))


def long_names(out):
    write(os.path.join(out, "longest-names.zip"), [
        entry("n" * 65535, b"longest\n"),
        entry("m" * 260, b"one too many\n"),
        entry("after.txt", b"after\n"),
    ])


def lying_directories(out):
    parts = [entry("first.txt", b"first\n"), entry("second.txt", b"second\n" * 10)]

    def lie(name, change):
        path = os.path.join(out, name)
        write(path, parts)
        damage(path, change)

    def end_field(offset, value, size="<I"):
        def change(raw):
            struct.pack_into(size, raw, end_record(raw) + offset, value)
        return change

    def local_offset(name, value):
        def change(raw):
            struct.pack_into("<I", raw, central_record(raw, name) + 42, value(raw))
        return change

    # The central directory itself past the end, or longer than the file.
    lie("directory-past-end.zip", lambda raw: end_field(16, len(raw) + 1000)(raw))
    lie("directory-too-long.zip", end_field(12, 0x7FFFFFF0))
    # More entries than records: the walk runs into the end record.
    lie("too-many-entries.zip", lambda raw: (end_field(8, 50, "<H")(raw),
                                             end_field(10, 50, "<H")(raw)))
    # An entry's data past the end, at another entry's header, or at its own
    # data instead of its header.
    lie("local-past-end.zip", local_offset("first.txt", lambda raw: len(raw) + 4096))
    lie("local-far-past-end.zip", local_offset("first.txt", lambda raw: 0xFFFFFFF0))
    lie("local-overlaps.zip",
        local_offset("second.txt", lambda raw: local_record(raw, "first.txt")))
    lie("local-at-data.zip",
        local_offset("first.txt", lambda raw: local_record(raw, "first.txt") + 30 + 9))
    # The last record's name runs past the end of the file.
    lie("name-past-end.zip",
        lambda raw: struct.pack_into("<H", raw, central_record(raw, "second.txt") + 28, 0xFFFF))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for make in (bombs, huge_sizes, duplicates, control_names, long_names, lying_directories):
        make(out)


if __name__ == "__main__":
    main()

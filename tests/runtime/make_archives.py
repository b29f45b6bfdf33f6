#!/usr/bin/env python3
"""Writes the zip archives the unpacking tests read into the folder named
on the command line. zipfile gives full control of entry order, folder
entries, attributes, methods and dates; a few archives are then damaged on
purpose, and one is made by the zip tool itself as real archivers do."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

STORED = zipfile.ZIP_STORED
DEFLATED = zipfile.ZIP_DEFLATED
DATE = (2019, 3, 14, 15, 9, 26)
DOS_DIRECTORY = 0x10

# Deflates well but not trivially, like the class files and libraries of a
# runtime.
JAVA_EXE = b"".join(b"MZ java launcher %06d\r\n" % i for i in range(4000))


def entry(name, data=b"", method=DEFLATED, date=DATE, attributes=None):
    info = zipfile.ZipInfo(name, date_time=date)
    info.compress_type = method
    if attributes is not None:
        info.external_attr = attributes
    elif name.endswith("/"):
        info.external_attr = DOS_DIRECTORY
    return info, data


def write(path, entries):
    with zipfile.ZipFile(path, "w") as archive:
        for info, data in entries:
            archive.writestr(info, data)


def central_record(raw, name):
    """Offset of the central directory record of the entry named name."""
    needle = name.encode("latin-1")
    at = raw.find(b"PK\x01\x02")
    while at >= 0:
        length = struct.unpack_from("<H", raw, at + 28)[0]
        if raw[at + 46:at + 46 + length] == needle:
            return at
        at = raw.find(b"PK\x01\x02", at + 1)
    raise KeyError(name)


def local_record(raw, name):
    return struct.unpack_from("<I", raw, central_record(raw, name) + 42)[0]


def local_data(raw, name):
    at = local_record(raw, name)
    name_length, extra_length = struct.unpack_from("<HH", raw, at + 26)
    return at + 30 + name_length + extra_length


def damage(path, change):
    with open(path, "rb") as f:
        raw = bytearray(f.read())
    change(raw)
    with open(path, "wb") as f:
        f.write(raw)


def flip_first_data_byte(name):
    def change(raw):
        raw[local_data(raw, name)] ^= 0xFF
    return change


def grow_declared_size(name, by):
    """Makes both headers claim more data than the entry holds, with the CRC
    still that of the real data: only the size shows the fault."""
    def change(raw):
        for at in (local_record(raw, name) + 22, central_record(raw, name) + 24):
            size = struct.unpack_from("<I", raw, at)[0]
            struct.pack_into("<I", raw, at, size + by)
    return change


def put_nul_in_name(name, position):
    def change(raw):
        for at in (local_record(raw, name) + 30, central_record(raw, name) + 46):
            raw[at + position] = 0
    return change


def runtime(out):
    write(os.path.join(out, "runtime.zip"), [
        entry("java/"),
        entry("java/bin/"),
        entry("java/bin/java.exe", JAVA_EXE),
        entry("java/release", b'JAVA_VERSION="1.8.0_181"\n', STORED),
    ])


def vendor_runtimes(out):
    """As vendors ship runtimes: one top folder of their own name; and one
    whose top folder holds no bin/java.exe."""
    top = "jdk-17.0.9+9-jre/"
    write(os.path.join(out, "vendor-runtime.zip"), [
        entry(top),
        entry(top + "bin/"),
        entry(top + "bin/java.exe", JAVA_EXE),
        entry(top + "release", b'JAVA_VERSION="17.0.9"\n', STORED),
    ])
    write(os.path.join(out, "no-java-top.zip"), [
        entry("jdk-17/"), entry("jdk-17/lib/"), entry("jdk-17/lib/rt.jar", b"rt"),
    ])


def damaged_runtime(out):
    """A runtime whose last entry fails its CRC-32 after the others came out."""
    path = os.path.join(out, "damaged-runtime.zip")
    write(path, [
        entry("java/"),
        entry("java/bin/"),
        entry("java/bin/java.exe", JAVA_EXE),
        entry("java/release", b'JAVA_VERSION="1.8.0_181"\n', STORED),
    ])
    damage(path, flip_first_data_byte("java/release"))


def no_folders(out):
    write(os.path.join(out, "no-folders.zip"), [entry("java/bin/java.exe", JAVA_EXE)])


def wrong_order(out):
    write(os.path.join(out, "wrong-order.zip"), [
        entry("java/bin/"),
        entry("java/"),
        entry("java/bin/java.exe", JAVA_EXE),
        entry("java/release", b"release\n"),
    ])


def dos_folder(out):
    write(os.path.join(out, "dos-folder.zip"), [
        entry("java", attributes=DOS_DIRECTORY),
        entry("java/release", b"release\n"),
    ])


def small_cases(out):
    write(os.path.join(out, "empty.zip"), [])
    with zipfile.ZipFile(os.path.join(out, "empty-comment.zip"), "w") as archive:
        archive.comment = b"an archive without entries"
    write(os.path.join(out, "zero-length.zip"), [
        entry("deflated-empty.txt", b""),
        entry("stored-empty.txt", b"", STORED),
    ])
    write(os.path.join(out, "overwrite.zip"), [entry("a.txt", b"new a\n")])
    write(os.path.join(out, "times.zip"), [
        entry("dated.txt", b"dated\n", date=(2019, 3, 14, 15, 9, 26)),
        entry("winter.txt", b"winter\n", STORED, date=(2001, 12, 24, 6, 30, 0)),
    ])
    with open(os.path.join(out, "not-a-zip.zip"), "wb") as f:
        f.write(b"PK\x03\x04 this is not a zip archive at all\n" * 20)
    with open(os.path.join(out, "runtime.zip"), "rb") as f:
        whole = f.read()
    with open(os.path.join(out, "truncated.zip"), "wb") as f:
        f.write(whole[:len(whole) // 2])


def refused(out):
    # "a/" exists, so each climbing name would land in the test's own folder
    # above the target if it were joined as it stands.
    names = [
        "/rooted.txt", "\\rooted.txt", "C:drive.txt", "C:/drive.txt", "x:y.txt",
        "../up.txt", "a/../../up2.txt", "a\\..\\..\\up3.txt", "a/..\\../up4.txt",
        "a/.../up5.txt", "a/.. /up6.txt", "..", "../",
    ]
    write(os.path.join(out, "refused.zip"),
          [entry("a/")] + [entry(name, b"escaped\n") for name in names] +
          [entry("nul-Xhidden.txt", b"nul\n"), entry("a/ok.txt", b"ok\n")])
    damage(os.path.join(out, "refused.zip"), put_nul_in_name("nul-Xhidden.txt", 4))


def long_names(out):
    # The test unpacks into a folder of 159 characters: 100 more make 259,
    # the longest path a 260-byte buffer holds.
    write(os.path.join(out, "long-names.zip"), [
        entry("f" * 96 + ".txt", b"fits\n"),
        entry("g" * 97 + ".txt", b"too long\n"),
        entry("h" * 300 + ".txt", b"far too long\n"),
        entry("short.txt", b"short\n"),
    ])


def damaged(out):
    path = os.path.join(out, "damaged.zip")
    write(path, [
        entry("crc.bin", bytes(range(256)) * 4, STORED),
        entry("crc-deflated.txt", JAVA_EXE),
        entry("fresh.bin", bytes(range(256)) * 4, STORED),
        entry("short.txt", b"the data ends before the size it declares\n" * 50),
        entry("bzip2.txt", b"a method the reader does not know\n" * 50, zipfile.ZIP_BZIP2),
        entry("good.txt", b"good\n"),
    ])
    damage(path, flip_first_data_byte("crc.bin"))
    # The middle of the deflate stream: the first bytes hold block headers
    # whose damage the inflater itself might report.
    damage(path, lambda raw: raw.__setitem__(local_data(raw, "crc-deflated.txt") + 200,
                                             raw[local_data(raw, "crc-deflated.txt") + 200] ^ 0x55))
    damage(path, flip_first_data_byte("fresh.bin"))
    damage(path, grow_declared_size("short.txt", 5))


def zip_tool(out):
    """What the zip tool makes of a runtime tree: folder entries first, each
    before what it holds."""
    work = tempfile.mkdtemp()
    try:
        os.makedirs(os.path.join(work, "java", "bin"))
        os.makedirs(os.path.join(work, "java", "lib", "ext"))
        for name, data in [("java/bin/java.exe", JAVA_EXE),
                           ("java/lib/rt.jar", JAVA_EXE[:20000]),
                           ("java/lib/ext/empty.jar", b"")]:
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
        target = os.path.abspath(os.path.join(out, "zip-tool.zip"))
        if os.path.exists(target):
            os.remove(target)
        subprocess.run(["zip", "-q", "-r", "-X", target, "java"], cwd=work, check=True)
    finally:
        shutil.rmtree(work)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for make in (runtime, vendor_runtimes, damaged_runtime, no_folders, wrong_order, dos_folder, small_cases, refused,
                 long_names, damaged, zip_tool):
        make(out)
    with open(os.path.join(out, "java.exe"), "wb") as f:
        f.write(JAVA_EXE)


if __name__ == "__main__":
    main()

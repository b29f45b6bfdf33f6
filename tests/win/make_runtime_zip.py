#!/usr/bin/env python3
"""Packs a stand-in Java runtime the way runtime archives come: folder
entries TOP/ and TOP/bin/ first, then TOP/bin/java.exe and TOP/release,
whose JAVA_VERSION (and JAVA_RUNTIME_VERSION, when given) say what it is.
Usage: make_runtime_zip.py JAVA_EXE OUTPUT_ZIP TOP JAVA_VERSION [RUNTIME_VERSION]"""
import sys
import zipfile

java_exe, output, top, version = sys.argv[1:5]
release = f'JAVA_VERSION="{version}"\n'
if len(sys.argv) > 5:
    release += f'JAVA_RUNTIME_VERSION="{sys.argv[5]}"\n'
when = (2020, 1, 2, 3, 4, 6)
with zipfile.ZipFile(output, "w", zipfile.ZIP_DEFLATED) as archive:
    for folder in (f"{top}/", f"{top}/bin/"):
        info = zipfile.ZipInfo(folder, date_time=when)
        info.external_attr = 0x10
        archive.writestr(info, b"")
    with open(java_exe, "rb") as exe:
        archive.writestr(zipfile.ZipInfo(f"{top}/bin/java.exe", date_time=when), exe.read(),
                         zipfile.ZIP_DEFLATED)
    archive.writestr(zipfile.ZipInfo(f"{top}/release", date_time=when), release.encode(),
                     zipfile.ZIP_DEFLATED)

#!/usr/bin/env python3
"""Packs a stand-in Java runtime the way runtime archives come: folder
entries java/ and java/bin/ first, then java/bin/java.exe and java/release.
Usage: make_runtime_zip.py JAVA_EXE OUTPUT_ZIP"""
import sys
import zipfile

java_exe, output = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(output, "w", zipfile.ZIP_DEFLATED) as archive:
    for folder in ("java/", "java/bin/"):
        info = zipfile.ZipInfo(folder, date_time=(2020, 1, 2, 3, 4, 6))
        info.external_attr = 0x10
        archive.writestr(info, b"")
    with open(java_exe, "rb") as exe:
        archive.writestr(zipfile.ZipInfo("java/bin/java.exe", date_time=(2020, 1, 2, 3, 4, 6)),
                         exe.read(), zipfile.ZIP_DEFLATED)
    archive.writestr(zipfile.ZipInfo("java/release", date_time=(2020, 1, 2, 3, 4, 6)),
                     b'JAVA_VERSION="1.9"\n', zipfile.ZIP_DEFLATED)

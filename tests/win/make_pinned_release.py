#!/usr/bin/env python3
"""Writes a release as a publisher's build makes it into FOLDER: two jars
(Python's zipfile) and a descriptor of them, whose code base the tests
replace with their server's; then pins it with scripts/nlp-sha256."""

import os
import subprocess
import sys
import zipfile

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
for name in ("a", "b"):
    with zipfile.ZipFile(os.path.join(folder, name + ".jar"), "w", zipfile.ZIP_DEFLATED) as jar:
        jar.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n")
        jar.writestr("app/%s.class" % name, name * 4000)
with open(os.path.join(folder, "app.nlp"), "w") as f:
    f.write('{"codebase": "http://codebase/app/", "resources": ["a.jar", "lib/b.jar"], '
            '"mainclass": "app.Main"}')
script = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "nlp-sha256")
subprocess.run([sys.executable, script, os.path.join(folder, "app.nlp"), folder], check=True)

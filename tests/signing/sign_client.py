#!/usr/bin/env python3
"""Stands in for a signing service's own client: signs FILE in place with
DIGEST, using the test's PKCS#12 file, and adds no timestamp (the step adds
it). Usage: sign_client.py FILE DIGEST P12; the password comes from
LOFTWICK_TEST_P12, through osslsigncode's standard input."""
import os
import subprocess
import sys

path, digest, p12 = sys.argv[1:4]
out = path + ".signing"
r = subprocess.run(["osslsigncode", "sign", "-pkcs12", p12, "-readpass", "/dev/stdin", "-h", digest,
                    "-in", path, "-out", out], input=os.environ["LOFTWICK_TEST_P12"].encode() + b"\n",
                   capture_output=True)
if r.returncode != 0:
    sys.stderr.write(r.stdout.decode() + r.stderr.decode())
    sys.exit(1)
os.replace(out, path)

#!/usr/bin/python3
"""make bench, the signing part: `loftwick-pack sign` on the demo's image (and
on an image of the real runtime, where ../shared has it), against osslsigncode
run by hand on the same files (sign with a timestamp, one call a file, no
verification). Offline: the tests' CA and local timestamp authority.

  signing_bench.py BUILD PACK
"""
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
import pack_checks  # noqa: E402
import signing_checks  # noqa: E402
from signing_checks import PASSWORD, Pki, pe_files, timestamp_authority  # noqa: E402


def by_hand(files, pki, url):
    """What a user's script does: one osslsigncode call a file."""
    for path in files:
        subprocess.run(["osslsigncode", "sign", "-pkcs12", pki.p12, "-readpass", "/dev/stdin", "-h", "sha256",
                        "-ts", url, "-in", path, "-out", path + ".signed"], input=PASSWORD.encode() + b"\n",
                       check=True, capture_output=True)
        os.replace(path + ".signed", path)


def best_of(runs, fresh, action):
    times = []
    for _ in range(runs):
        target = fresh()
        start = time.monotonic()
        action(target)
        times.append(time.monotonic() - start)
    return min(times)


def bench(label, build, pack, pki, url, work, runtime=None):
    source = signing_checks.image(build, pack, work, label, runtime)
    copy = os.path.join(work, label + "-timed")

    def fresh():
        shutil.rmtree(copy, ignore_errors=True)
        shutil.copytree(source, copy)
        return copy

    env = {**os.environ, "LOFTWICK_TEST_P12": PASSWORD}
    step = best_of(5, fresh, lambda image: subprocess.run(
        [pack, "sign", image, "--pkcs12", pki.p12, "--password-env", "LOFTWICK_TEST_P12", "--timestamp", url,
         "--ca-file", pki.ca], check=True, capture_output=True, env=env))
    files = pe_files(source)
    unsigned = [p for p in files if not signing_checks.vendor_signed(p)[0]]
    hand = best_of(5, fresh, lambda image: by_hand([os.path.join(image, os.path.relpath(p, source))
                                                    for p in unsigned], pki, url))
    print("  %-34s %3d PE files, %3d to sign: loftwick-pack sign %6.2f s; osslsigncode by hand %6.2f s"
          % (label, len(files), len(unsigned), step, hand))


def main(build, pack):
    build, pack = os.path.abspath(build), os.path.abspath(pack)
    work = os.path.join(build, "bench-signing")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    pki = Pki(work)
    print("Signing, best of 5 (the step also checks every file first and verifies each signature after):")
    with timestamp_authority(pki) as url:
        bench("the demo's image (stand-in runtime)", build, pack, pki, url, work)
        real = os.path.join(build, "real-runtime")
        if os.path.exists(os.path.join(real, "bin", "server", "jvm.dll")):
            bench("an image of the real runtime", build, pack, pki, url, work, real)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))

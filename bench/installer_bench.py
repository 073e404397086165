#!/usr/bin/python3
"""make bench, the installer part: for one image of over 40 MB in 646 files, the
time and size of `loftwick-pack installer` beside `zip -r` of the same image,
and beside wixl alone on the WiX source the tool writes (what the step itself
adds).

  installer_bench.py BUILD PACK
"""
import os
import random
import shutil
import subprocess
import sys
import time


def make_inputs(inputs):
    """Half text that compresses well, half bytes that do not, as in a
    runtime image: 640 files of 36 MB."""
    rng = random.Random(2026)
    words = ["class", "import", "return", "public", "static", "void", "int", "String", "new", "if"]
    for i in range(640):
        path = os.path.join(inputs, "lib%02d" % (i % 16), "file%03d.%s" % (i, "txt" if i % 2 else "bin"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        size = 20000 + rng.randrange(90000)
        with open(path, "wb") as f:
            if i % 2:
                f.write(" ".join(rng.choice(words) for _ in range(size // 6)).encode()[:size])
            else:
                f.write(rng.randbytes(size))


def timed(command, cwd=None):
    start = time.monotonic()
    subprocess.run(command, check=True, capture_output=True, cwd=cwd)
    return time.monotonic() - start


def main(build, pack):
    work = os.path.join(os.path.abspath(build), "bench-installer")
    shutil.rmtree(work, ignore_errors=True)
    inputs = os.path.join(work, "input")
    make_inputs(inputs)
    open(os.path.join(inputs, "main.jar"), "w").write("not a real jar\n")
    image = os.path.join(work, "Big")
    subprocess.run([pack, "--name", "Big", "--input", inputs, "--runtime",
                    os.path.join(build, "bin", "standin"), "--output", image, "--main-jar", "main.jar"],
                   check=True, capture_output=True)
    files = sum(len(f) for _, _, f in os.walk(image))
    size = sum(os.path.getsize(os.path.join(r, f)) for r, _, fs in os.walk(image) for f in fs)
    msi, archive = os.path.join(work, "Big.msi"), os.path.join(work, "Big.zip")
    source = os.path.join(work, "source", "Big.wxs")
    os.makedirs(os.path.dirname(source))
    subprocess.run([pack, "installer", image, "--wix-source", source], check=True, capture_output=True)
    rows = []
    for _ in range(3):
        for path in (msi, archive, os.path.join(work, "source", "bare.msi")):
            if os.path.exists(path):
                os.remove(path)
        rows.append((timed([pack, "installer", image, "--output", msi]),
                     timed(["zip", "-r", "-q", archive, "Big"], cwd=work),
                     timed(["wixl", "--arch", "x64", "--output", "bare.msi", "Big.wxs"],
                           cwd=os.path.dirname(source))))
    best = [min(r[i] for r in rows) for i in range(3)]
    print("Installer of an image of %.1f MB in %d files (best of 3):" % (size / 1e6, files))
    print("  loftwick-pack installer  %6.2f s  %6.1f MB" % (best[0], os.path.getsize(msi) / 1e6))
    print("  zip -r                   %6.2f s  %6.1f MB" % (best[1], os.path.getsize(archive) / 1e6))
    print("  wixl alone on its source %6.2f s   (the step adds %+.2f s)" % (best[2], best[0] - best[2]))


if __name__ == "__main__":
    main(*sys.argv[1:])

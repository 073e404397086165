#!/usr/bin/python3
"""make bench, the packing part: for one image of over 40 MB in 646 files and a
jar of 20,000 classes, the time packing spends reading the application as the
runtime will, against the whole packing; then the time and size of
`loftwick-pack installer` beside `zip -r` of the same image, and beside wixl
alone on the WiX source the tool writes (what the step itself adds).

  installer_bench.py BUILD PACK
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import time
import zipfile


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


def class_file(name, rng):
    """A class file whose constant pool is as a compiler writes one: names
    of JDK and sibling classes, strings, method names and descriptors."""
    pool = []

    def utf8(text):
        pool.append(b"\x01" + struct.pack(">H", len(text)) + text.encode())
        return len(pool)

    def ref(tag, index):
        pool.append(bytes([tag]) + struct.pack(">H", index))
        return len(pool)
    this = ref(7, utf8(name))
    superclass = ref(7, utf8("java/lang/Object"))
    for jdk in ("java/util/List", "java/util/Map", "java/lang/String", "java/io/File"):
        ref(7, utf8(jdk))
    for _ in range(12):
        ref(7, utf8("com/acme/p%03d/C%05d" % (rng.randrange(200), rng.randrange(20000))))
        ref(8, utf8("".join(rng.choice("abcdefghij ") for _ in range(20))))
        utf8("(Ljava/lang/String;I)V")
    body = struct.pack(">H", len(pool) + 1) + b"".join(pool)
    return (b"\xca\xfe\xba\xbe\x00\x00\x00\x3d" + body + struct.pack(">HHHHHHH", 0x21, this, superclass, 0, 0, 0, 0))


def make_jars(inputs):
    """main.jar runs app.Main; lib/big.jar holds 20,000 compiled-looking classes."""
    header = b"\xca\xfe\xba\xbe\x00\x00\x00\x3d"
    with zipfile.ZipFile(os.path.join(inputs, "main.jar"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMain-Class: app.Main\r\n"
                   "Class-Path: lib/big.jar\r\n\r\n")
        z.writestr("app/Main.class", header + b"\x00" * 400)
    os.makedirs(os.path.join(inputs, "lib"), exist_ok=True)
    rng = random.Random(17)
    with zipfile.ZipFile(os.path.join(inputs, "lib", "big.jar"), "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(20000):
            name = "com/acme/p%03d/C%05d" % (i % 200, i)
            z.writestr(name + ".class", class_file(name, rng))


def timed(command, cwd=None, check=True):
    start = time.monotonic()
    subprocess.run(command, check=check, capture_output=True, cwd=cwd)
    return time.monotonic() - start


def pack_bench(pack, build, inputs, work):
    """Packing with the 20,000 classes to read against packing the same bytes
    with nothing to read (the big jar as a plain file): what reading the
    application as the runtime will adds to packing."""
    runtime = os.path.join(work, "runtime")
    shutil.copytree(os.path.join(build, "bin", "standin"), runtime)
    with open(os.path.join(runtime, "release"), "w") as f:
        f.write('JAVA_VERSION="17.0.4"\n')  # so every class header is read too
    plain = os.path.join(work, "input-plain")
    shutil.copytree(inputs, plain)
    os.rename(os.path.join(plain, "lib", "big.jar"), os.path.join(plain, "lib", "big.bin"))
    with zipfile.ZipFile(os.path.join(plain, "main.jar"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMain-Class: app.Main\r\n\r\n")
        z.writestr("app/Main.class", b"\xca\xfe\xba\xbe\x00\x00\x00\x3d" + b"\x00" * 400)

    def best(source):
        args = [pack, "--name", "Big", "--input", source, "--runtime", runtime, "--output",
                os.path.join(work, "Timed"), "--main-jar", "main.jar", "--replace"]
        return min(timed(args) for _ in range(7))
    reading, nothing = best(inputs), best(plain)
    share = (reading - nothing) / nothing
    print("Packing %d files (best of 7): %.3f s with a jar of 20,000 classes to read, %.3f s with "
          "the same bytes and nothing to read: reading the application adds %.0f%% (target < 20%%: %s)"
          % (sum(len(f) for _, _, f in os.walk(inputs)), reading, nothing, 100 * share,
             "met" if share < 0.20 else "MISSED"))


def module_check_bench(pack, build, inputs, work):
    """The same packing against a runtime whose MODULES list holds every JDK
    module (nothing can be missing: class headers alone are read) and
    against one of java.base alone (every constant pool is read and checked)."""
    modules = subprocess.run(["java", "--list-modules"], capture_output=True, text=True).stdout.split()
    commands = []
    for name, listed in (("full", " ".join(m.split("@")[0] for m in modules)), ("base", "java.base")):
        runtime = os.path.join(work, "runtime-" + name)
        shutil.rmtree(runtime, ignore_errors=True)
        shutil.copytree(os.path.join(build, "bin", "standin"), runtime)
        with open(os.path.join(runtime, "release"), "w") as f:
            f.write('JAVA_VERSION="17.0.4"\nMODULES="%s"\n' % listed)
        commands.append([pack, "--name", "Big", "--input", inputs, "--runtime", runtime, "--output",
                         os.path.join(work, "Timed"), "--main-jar", "main.jar", "--replace"])
    # Alternating, so that the machine's drifts touch both alike. Each into
    # an output of its own, so that no run pays for removing the other's.
    # On the clock a run that writes 40 MB is mostly the disk's, which varies
    # twice over from one minute to the next here; the check's own work is
    # user time (from wait4), which the copying hardly has.
    for which, command in enumerate(commands):
        command[command.index("--output") + 1] += str(which)
    runs = ([], [])
    walls = ([], [])
    for _ in range(25):
        for which, command in enumerate(commands):
            start = time.monotonic()
            child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(child.pid, 0)
            child.returncode = os.waitstatus_to_exitcode(status)
            walls[which].append(time.monotonic() - start)
            runs[which].append(usage.ru_utime)
    user = [min(r) for r in runs]  # the machine's noise only ever adds
    wall = [min(w) for w in walls]
    share = (wall[1] - wall[0]) / wall[0]
    print("Packing the same, best of 25 alternating runs: %.3f s when the runtime holds every module, %.3f s "
          "when it holds java.base alone and every constant pool is checked: the module check adds %.0f%% "
          "(target < 20%%: %s); user time %.3f s and %.3f s (+%.0f ms for %d classes)"
          % (wall[0], wall[1], 100 * share, "met" if share < 0.20 else "MISSED", user[0], user[1],
             1000 * (user[1] - user[0]), 20001))


def main(build, pack):
    work = os.path.join(os.path.abspath(build), "bench-installer")
    shutil.rmtree(work, ignore_errors=True)
    inputs = os.path.join(work, "input")
    make_inputs(inputs)
    make_jars(inputs)
    pack_bench(pack, build, inputs, work)
    module_check_bench(pack, build, inputs, work)
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

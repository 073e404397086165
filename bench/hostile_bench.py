#!/usr/bin/python3
"""make bench, inputs made to exhaust memory or time: the peak memory and
the time of each refusal (or reading), against the size of the input.

  - the Linux launcher reading a configuration with a 20 MB value;
  - loftwick-pack and loftwick-inspect on a jar of under 1 KB whose manifest
    claims 1.5 GB;
  - loftwick-pack deb on a 2.3 KB ELF library whose version records repeat
    one 1,000-character name 65,535 times.

  hostile_bench.py HOST_BUILD
"""
import os
import shutil
import struct
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
import make_elf  # noqa: E402
import pack_checks  # noqa: E402


def measured(command, env=None):
    """Exit code, seconds and peak resident memory (MB) of one run of
    `command`, from the child's own resource usage."""
    start = time.monotonic()
    p = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(p.pid, 0)
    p.returncode = os.waitstatus_to_exitcode(status)
    return p, time.monotonic() - start, usage.ru_maxrss / 1024.0


def big_configuration(host, work):
    image = os.path.join(work, "big")
    os.makedirs(os.path.join(image, "bin"))
    os.makedirs(os.path.join(image, "lib", "app"))
    shutil.copy(os.path.join(host, "bin", "loftwick-launcher"), os.path.join(image, "bin", "Big"))
    os.symlink(os.path.join(host, "standin-runtime"), os.path.join(image, "lib", "runtime"))
    value = "x" * (20 << 20)
    with open(os.path.join(image, "lib", "app", "Big.cfg"), "w") as f:
        f.write("[Application]\napp.mainclass=a.B\napp.classpath=$APPDIR/a.jar\n[JavaOptions]\n"
                "java-options=-Dbig=%s\n" % value)
    return os.path.join(image, "bin", "Big"), len(value)


def hostile_jar(work):
    """A stored manifest of a few bytes whose directory entry claims 1.5 GB."""
    path = os.path.join(work, "in", "claims.jar")
    os.makedirs(os.path.dirname(path))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMain-Class: a.Main\r\n\r\n")
        z.writestr("a/Main.class", b"\xca\xfe\xba\xbe\x00\x00\x00\x3d")
    data = bytearray(open(path, "rb").read())
    central = data.index(b"PK\x01\x02")
    data[central + 24:central + 28] = struct.pack("<I", 1536 << 20)
    open(path, "wb").write(bytes(data))
    return path


def hostile_elf():
    """One record of 65,535 versions, every one the same 1,000 characters:
    each version record points back at itself."""
    elf = bytearray(make_elf.elf(b"libodd.so", [(b"libc.so.6", [b"V" * 1000])]))
    # The first Verneed's vn_cnt, found by its fields (version 1, count 1).
    at = elf.index(struct.pack("<HH", 1, 1))
    elf[at + 2:at + 4] = struct.pack("<H", 0xFFFF)
    return bytes(elf)


def main(host):
    host = os.path.abspath(host)
    work = os.path.join(host, "bench-hostile")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    pack = os.path.join(host, "bin", "loftwick-pack")
    print("Hostile inputs: time and peak memory of each run")

    launcher, size = big_configuration(host, work)
    r, seconds, peak = measured([launcher], env={"PATH": "/usr/bin:/bin"})
    print("  launcher, a %d MB configuration value: %.2f s, %.0f MB peak (%.1f x the value), exit %d"
          % (size >> 20, seconds, peak, peak / (size / 1048576.0), r.returncode))

    jar = hostile_jar(work)
    runtime = os.path.join(work, "jre")
    pack_checks.make_runtime(runtime, make_elf.elf(b"libjli.so", []))
    r, seconds, peak = measured([pack, "--name", "Claims", "--input", os.path.dirname(jar), "--runtime", runtime,
                                 "--output", os.path.join(work, "out"), "--main-jar", "claims.jar"])
    print("  loftwick-pack, a %d-byte jar whose manifest claims 1.5 GB: %.2f s, %.0f MB peak, exit %d"
          % (os.path.getsize(jar), seconds, peak, r.returncode))

    elf = hostile_elf()
    image = os.path.join(work, "elf-image")
    lib = os.path.join(work, "elf-input", "native")
    os.makedirs(lib)
    with open(os.path.join(work, "elf-input", "native", "libodd.so"), "wb") as f:
        f.write(elf)
    shutil.copy(os.path.join(work, "in", "claims.jar"), os.path.join(work, "elf-input", "app.jar"))
    subprocess.run([pack, "--name", "Odd", "--input", os.path.join(work, "elf-input"), "--runtime", runtime,
                    "--output", image, "--main-class", "a.Main", "--class-path", "app.jar"], capture_output=True)
    r, seconds, peak = measured([pack, "deb", image, "--output", os.path.join(work, "odd.deb"), "--maintainer",
                                 "Bench <bench@example.invalid>"], env=dict(os.environ, HOME=work))
    print("  loftwick-pack deb, a %d-byte ELF with 65,535 version records of 1,000 characters: %.2f s, "
          "%.0f MB peak, exit %d" % (len(elf), seconds, peak, r.returncode))


if __name__ == "__main__":
    main(*sys.argv[1:])

#!/usr/bin/python3
"""make bench, the Linux packages: the time to build a .deb and an .rpm of
an image (a hello-world around a java.base runtime) and their size, against
tar -cJf of the same image.

  package_bench.py PACK WORK
"""
import os
import shutil
import subprocess
import sys
import time


def timed(command):
    start = time.monotonic()
    subprocess.run(command, check=True, capture_output=True)
    return time.monotonic() - start


def main(pack, work):
    work = os.path.abspath(work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "src"))
    with open(os.path.join(work, "src", "Hello.java"), "w") as f:
        f.write('public class Hello { public static void main(String[] a) { System.out.println("hello"); } }\n')
    subprocess.run(["javac", "--release", "17", "-d", os.path.join(work, "input"),
                    os.path.join(work, "src", "Hello.java")], check=True)
    runtime = os.path.join(work, "runtime")
    subprocess.run(["jlink", "--add-modules", "java.base", "--output", runtime, "--strip-debug",
                    "--no-header-files", "--no-man-pages"], check=True)
    image = os.path.join(work, "image")
    subprocess.run([pack, "--name", "Hello", "--input", os.path.join(work, "input"), "--runtime", runtime,
                    "--output", image, "--main-class", "Hello", "--class-path", "."], check=True,
                   capture_output=True)
    outputs = {
        "tar -cJf": (os.path.join(work, "image.tar.xz"), ["tar", "-cJf", os.path.join(work, "image.tar.xz"),
                                                          "-C", work, "image"]),
        "deb": (os.path.join(work, "hello.deb"), [pack, "deb", image, "--output", os.path.join(work, "hello.deb"),
                                                  "--maintainer", "Bench <bench@example.invalid>"]),
        "rpm": (os.path.join(work, "hello.rpm"), [pack, "rpm", image, "--output", os.path.join(work, "hello.rpm")]),
    }
    print("Linux packages of a %d MB image (java.base runtime), one build each:" %
          (sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(image) for f in fs) // 1000000))
    base = None
    for name, (output, command) in outputs.items():
        seconds, size = timed(command), os.path.getsize(output)
        base = base or (seconds, size)
        print("  %-9s %6.1f s  %6.1f MB   (%.2f x the time, %.2f x the size of tar -cJf)" %
              (name, seconds, size / 1e6, seconds / base[0], size / base[1]))


if __name__ == "__main__":
    main(*sys.argv[1:])

#!/usr/bin/python3
"""make bench, the Linux launcher: the startup of a hello-world through the
launcher, against the java command on the same runtime and against a bare C
caller of JLI_Launch, alternating, median of each.

  linux_bench.py HOST_BUILD [RUNS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

JAVA_HOME = os.path.dirname(os.path.dirname(os.path.realpath(shutil.which("javac"))))


def main(host, runs="30"):
    host = os.path.abspath(host)
    work = os.path.join(host, "bench-linux")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "src"))
    with open(os.path.join(work, "src", "Hello.java"), "w") as f:
        f.write('public class Hello { public static void main(String[] a) { System.out.println("hello"); } }\n')
    subprocess.run(["javac", "--release", "17", "-d", os.path.join(work, "classes"),
                    os.path.join(work, "src", "Hello.java")], check=True)
    app = os.path.join(work, "image", "lib", "app")
    os.makedirs(app)
    os.makedirs(os.path.join(work, "image", "bin"))
    subprocess.run(["jar", "--create", "--file", os.path.join(app, "hello.jar"), "-C",
                    os.path.join(work, "classes"), "."], check=True)
    launcher = os.path.join(work, "image", "bin", "Hello")
    shutil.copy(os.path.join(host, "bin", "loftwick-launcher"), launcher)
    with open(os.path.join(app, "Hello.cfg"), "w") as f:
        f.write("[Application]\napp.mainclass=Hello\napp.classpath=$APPDIR/hello.jar\n"
                "app.runtime=%s\n" % JAVA_HOME)
    jar = os.path.join(app, "hello.jar")
    commands = {
        "launcher": [launcher],
        "java": [os.path.join(JAVA_HOME, "bin", "java"), "-cp", jar, "Hello"],
        "JLI_Launch caller": [os.path.join(host, "bin", "loftwick-jli-caller"),
                              os.path.join(JAVA_HOME, "lib", "libjli.so"), "-cp", jar, "Hello"],
    }
    times = {name: [] for name in commands}
    for i in range(int(runs) + 3):  # three rounds of warm-up
        for name, command in commands.items():
            start = time.monotonic()
            r = subprocess.run(command, capture_output=True, env={**os.environ, "LANG": "C.UTF-8"})
            elapsed = time.monotonic() - start
            if r.stdout != b"hello\n":
                sys.exit("%s printed %r %r" % (name, r.stdout, r.stderr))
            if i >= 3:
                times[name].append(elapsed * 1000)
    print("Linux launcher: a hello-world, %s starts of each, alternating (median ms):" % runs)
    medians = {name: statistics.median(t) for name, t in times.items()}
    for name, median in medians.items():
        print("  %-18s %7.1f" % (name, median))
    for other in ("java", "JLI_Launch caller"):
        ratio = medians["launcher"] / medians[other]
        print("  launcher / %-18s %5.3f  (target <= 1.05: %s)" % (other, ratio, "met" if ratio <= 1.05 else "MISSED"))


if __name__ == "__main__":
    main(*sys.argv[1:])

#!/usr/bin/python3
"""The runtime an application needs: fixture applications that each use one
JDK module are packed against a java.base runtime (refused, and truly
failing there), against the runtime that `loftwick-pack runtime` makes
(packed, and truly running), and against a full JDK (no findings). Runtimes
without their virtual machine, and Class-Path entries that leave the image,
are refused.

usage: runtime_checks.py LOFTWICK-PACK LOFTWICK-INSPECT WINDOWS-BUILD WORK"""
import os
import shutil
import subprocess
import sys
import tarfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import pack_checks  # noqa: E402
from pack_checks import Checks  # noqa: E402

JDK = "/usr/lib/jvm/java-17-openjdk-amd64"
SHARED_RUNTIME = os.path.join(HERE, "..", "..", "shared", "runtime", "zulu17-jre-windows-x64.tar.xz")

# Each fixture uses one module the way applications do; the runtime fails
# it with the error that users report.
FIXTURES = {
    "java.sql": ("sqluse.Main", "package sqluse; public class Main { public static void main(String[] a) "
                 "{ System.out.println(\"sql \" + java.sql.DriverManager.getLoginTimeout()); } }",
                 "sql 0", "java.sql.DriverManager"),
    "java.naming": ("naminguse.Main", "package naminguse; public class Main { public static void main(String[] a)"
                    " throws Exception { System.out.println(\"naming \" + new javax.naming.CompositeName(\"a/b\")"
                    ".size()); } }", "naming 2", "javax.naming.CompositeName"),
    "java.desktop": ("desktopuse.Main", "package desktopuse; public class Main { public static void main("
                     "String[] a) { System.out.println(\"desktop \" + new java.awt.Dimension(3, 4).width); } }",
                     "desktop 3", "java.awt.Dimension"),
    "jdk.unsupported": ("unsafeuse.Main", "package unsafeuse; public class Main { public static void main("
                        "String[] a) throws Exception { java.lang.reflect.Field f = sun.misc.Unsafe.class"
                        ".getDeclaredField(\"theUnsafe\"); System.out.println(\"unsafe \" + f.getName()); } }",
                        "unsafe theUnsafe", "sun.misc.Unsafe"),
    "java.net.http": ("httpuse.Main", "package httpuse; public class Main { public static void main(String[] a) "
                      "{ System.out.println(\"http \" + java.net.http.HttpClient.Version.HTTP_2); } }",
                      "http HTTP_2", "java.net.http.HttpClient$Version"),
}


def run(*args, **kw):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, **kw)


def fixture(work, module):
    main, source, _, _ = FIXTURES[module]
    app = os.path.join(work, "apps", module)
    jar = os.path.join(app, "app.jar")
    if not os.path.exists(jar):
        os.makedirs(app)
        pack_checks.make_jar(jar, {main: source}, work, main=main)
    return app


def pack(tool, app, runtime, out, *extra):
    return run(tool, "--name", "app", "--input", app, "--runtime", runtime, "--output", out, "--main-jar",
               "app.jar", "--replace", *extra)


def check_fixtures(c, tool, work, base, full):
    for module, (main, _, expected, target) in FIXTURES.items():
        app = fixture(work, module)
        r = pack(tool, app, base, os.path.join(work, "img", module))
        c.check("%s: refused against java.base alone, naming the class, package and module" % module,
                r.returncode == 1 and ("%s refers to %s (package %s" % (main, target, target.rsplit(".", 1)[0]))
                in r.stderr and "which is in module %s" % module in r.stderr
                and "jlink --add-modules java.base,%s " % module in r.stderr, r.stderr)
        truth = run(os.path.join(base, "bin", "java"), "-jar", os.path.join(app, "app.jar"))
        c.check("%s: the real runtime of java.base alone fails it" % module,
                truth.returncode != 0 and expected not in truth.stdout, truth.stdout + truth.stderr)
        made = os.path.join(work, "made", module)
        r = run(tool, "runtime", "--input", app, "--main-jar", "app.jar", "--output", made, "--jdk", JDK)
        c.check("%s: the runtime step makes a runtime with it, saying its modules and size" % module,
                r.returncode == 0 and module in r.stdout.split("Modules:")[-1].split() and " MB" in r.stdout,
                r.stdout + r.stderr)
        image = os.path.join(work, "img", module)
        r = pack(tool, app, made, image)
        ran = run(os.path.join(image, "bin", "app")) if r.returncode == 0 else None
        c.check("%s: packed around that runtime, it runs for real" % module,
                r.returncode == 0 and r.stderr == "" and ran.returncode == 0 and ran.stdout.strip() == expected,
                r.stderr + (ran.stdout + ran.stderr if ran else ""))
        r = pack(tool, app, full, os.path.join(work, "full"))
        c.check("%s: a full JDK runtime: no findings" % module, r.returncode == 0 and r.stderr == "", r.stderr)


def check_own_applications(c, tool, work, full):
    """The project's own test applications (the demo's, the window and probe
    programs) on a full JDK runtime: nothing to report."""
    inputs, _, _ = pack_checks.make_inputs(os.path.join(work, "own"), os.path.join(work, "unused"))
    r = run(tool, "--name", "hello", "--input", inputs, "--runtime", full, "--output", os.path.join(work, "own-img"),
            "--main-class", "hello.Main", "--class-path", "hello.jar", "--class-path", "lib/util.jar", "--replace")
    c.check("the demo's application on a full JDK runtime: no findings", r.returncode == 0 and r.stderr == "",
            r.stderr)
    for name, parts in (("window", ["window"]), ("probe", ["probe", "util"])):
        sources = {}
        for root, _, files in (w for part in parts for w in os.walk(os.path.join(HERE, "java", part))):
            for f in files:
                if f.endswith(".java"):
                    with open(os.path.join(root, f)) as text:
                        body = text.read()
                    package = body.split("package ", 1)[1].split(";", 1)[0] if "package " in body else ""
                    sources[(package + "." if package else "") + f[:-5]] = body
        app = os.path.join(work, "apps", name)
        main = name + ".Main"
        pack_checks.make_jar(os.path.join(app, "app.jar"), sources, work, main=main)
        r = pack(tool, app, full, os.path.join(work, "own-img"))
        c.check("the %s test application on a full JDK runtime: no findings" % name,
                r.returncode == 0 and r.stderr == "", r.stderr)


def check_rule(c, tool, work, base):
    """What counts: a module accepted as absent, a class nothing reaches,
    what is loaded by name."""
    app = fixture(work, "java.sql")
    r = pack(tool, app, base, os.path.join(work, "accepted"), "--absent-module", "java.sql")
    c.check("a module accepted as knowingly absent is not reported", r.returncode == 0 and r.stderr == "",
            r.stderr)
    plugin = os.path.join(work, "apps", "plugin")
    os.makedirs(plugin)
    pack_checks.make_jar(os.path.join(plugin, "app.jar"), {
        "plug.Main": "package plug; public class Main { public static void main(String[] a) throws Exception { "
                     "System.out.println(Class.forName(a.length > 0 ? a[0] : \"plug.Main\").getName()); } }",
        "plug.Db": "package plug; public class Db { public int t() { return java.sql.DriverManager"
                   ".getLoginTimeout(); } }",
        "plug.Dates": "package plug; public class Dates { public static void main(String[] a) { "
                      "System.out.println(new java.text.SimpleDateFormat(\"EEEE\").format(new java.util.Date())"
                      " + java.nio.charset.Charset.forName(\"IBM-Thai\") + \"java.awt.headless\"); } }",
        "plug.Tls": "package plug; public class Tls { public static void main(String[] a) throws Exception { "
                    "System.out.println(javax.net.ssl.SSLContext.getDefault() + \"https://example.org\"); "
                    "Class.forName(\"java.sql.DriverManager\"); } }",
    }, work, main="plug.Main")
    r = pack(tool, plugin, base, os.path.join(work, "plugin-img"))
    c.check("a class the main class never reaches: a warning, not a problem",
            r.returncode == 0 and "plug.Db refers to java.sql.DriverManager (module java.sql" in r.stderr
            and "nothing the main class uses reaches plug.Db" in r.stderr, r.stderr)
    for main, words in (("plug.Dates", ["formats by locale (java.text.SimpleDateFormat)",
                                        "--absent-module jdk.localedata", "names the charset \"IBM-Thai\""]),
                        ("plug.Tls", ["uses TLS: without jdk.crypto.ec", "names the class java.sql.DriverManager"
                                      " in a string"])):
        r = run(tool, "--name", "app", "--input", plugin, "--runtime", base, "--output",
                os.path.join(work, "plugin-img"), "--main-class", main, "--class-path", "app.jar", "--replace")
        c.check("%s: what is loaded by name is warned about" % main,
                r.returncode == 0 and all(w in r.stderr for w in words) and "headless" not in r.stderr, r.stderr)
    r = run(tool, "runtime", "--input", plugin, "--main-class", "plug.Tls", "--class-path", "app.jar",
            "--output", os.path.join(work, "made-tls"), "--jdk", JDK, "--absent-module", "java.sql")
    c.check("the runtime step adds the warned-about modules, not the accepted ones",
            r.returncode == 0 and "jdk.crypto.ec" in r.stdout and "java.sql" not in r.stdout, r.stdout + r.stderr)
    other = os.path.join(work, "jdk-21-windows")
    os.makedirs(os.path.join(other, "jmods"))
    with open(os.path.join(other, "release"), "w") as f:
        f.write('JAVA_VERSION="21.0.5"\nOS_NAME="Windows"\n')
    r = run(tool, "runtime", "--input", plugin, "--main-class", "plug.Tls", "--class-path", "app.jar",
            "--output", os.path.join(work, "made-other"), "--jdk", JDK, "--jmods", os.path.join(other, "jmods"))
    c.check("jmods of another Java release are refused, saying why",
            r.returncode == 1 and "cannot link the jmods of Java 21: jlink requires the same feature release"
            in r.stderr, r.stderr)


def check_virtual_machine(c, tool, inspect, work, base):
    app = fixture(work, "java.sql")
    novm = os.path.join(work, "jre-novm")
    shutil.copytree(base, novm, symlinks=True)
    shutil.rmtree(os.path.join(novm, "lib", "server"))
    r = pack(tool, app, novm, os.path.join(work, "novm-img"), "--absent-module", "java.sql")
    c.check("Linux: a runtime without its virtual machine is refused",
            r.returncode == 1 and "lib/server/libjvm.so is missing" in r.stderr, r.stderr)
    image = os.path.join(work, "vm-img")
    r = pack(tool, app, base, image, "--absent-module", "java.sql")
    shutil.rmtree(os.path.join(image, "lib", "runtime", "lib", "server"))
    r = run(inspect, os.path.join(image, "bin", "app"))
    c.check("Linux: inspect says a launch would fail without the virtual machine (exit code 1)",
            r.returncode == 1 and "Launch would fail: the Java runtime has no virtual machine" in r.stdout,
            r.stdout + r.stderr)


def check_windows_runtime(c, tool, inspect_exe, build, work):
    if not os.path.exists(SHARED_RUNTIME):
        print("SKIP: the Windows runtime checks need ../shared/runtime (absent in this clone)")
        return
    zulu = os.path.join(work, "zulu")
    with tarfile.open(SHARED_RUNTIME) as t:
        t.extractall(zulu)
    zulu = os.path.join(zulu, os.listdir(zulu)[0]) if not os.path.exists(os.path.join(zulu, "bin")) else zulu
    app = fixture(work, "java.sql")
    r = pack(tool, app, zulu, os.path.join(work, "zulu-img"))
    c.check("Windows: a runtime without bin\\server\\jvm.dll is refused",
            r.returncode == 1 and "bin\\server\\jvm.dll is missing" in r.stderr, r.stderr)
    os.makedirs(os.path.join(zulu, "bin", "server"), exist_ok=True)
    shutil.copy(os.path.join(build, "bin", "standin", "bin", "server", "jvm.dll"), os.path.join(zulu, "bin", "server"))
    r = pack(tool, app, zulu, os.path.join(work, "zulu-img"))
    c.check("Windows: with its virtual machine, its MODULES hold java.sql: packed", r.returncode == 0, r.stderr)
    with open(os.path.join(zulu, "release")) as f:
        release = f.read()
    with open(os.path.join(zulu, "release"), "w") as f:
        f.write("\n".join('MODULES="java.base"' if l.startswith("MODULES=") else l for l in release.split("\n")))
    r = pack(tool, app, zulu, os.path.join(work, "zulu-img"))
    c.check("Windows: no lib/modules, so the MODULES list alone is checked, and the message says so",
            r.returncode == 1 and "module java.sql; the runtime lacks it (judged by its release file's MODULES "
            "alone" in r.stderr, r.stderr)
    image = os.path.join(work, "zulu-img")
    os.remove(os.path.join(image, "runtime", "bin", "server", "jvm.dll"))
    r = pack_checks.wine(build, inspect_exe, pack_checks.windows_path(os.path.join(image, "app.exe")))
    c.check("Windows: inspect says a launch would fail without the virtual machine (exit code 1)",
            r.returncode == 1 and b"Launch would fail: the Java runtime has no virtual machine" in r.stdout,
            r.stdout + r.stderr)


def check_class_path(c, tool, work, base):
    app = os.path.join(work, "apps", "classpath")
    for entry, what in (("/usr/share/java/fop.jar", "an absolute"), ("../outside.jar", "a leading-out")):
        shutil.rmtree(app, ignore_errors=True)
        os.makedirs(app)
        compiled = os.path.join(work, "apps", "cp.jar")
        pack_checks.make_jar(compiled, {
            "cp.Main": "package cp; public class Main { public static void main(String[] a) {} }"}, work)
        with zipfile.ZipFile(compiled) as z, zipfile.ZipFile(os.path.join(app, "app.jar"), "w") as out:
            out.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMain-Class: cp.Main\r\nClass-Path: "
                         "lib/ok.jar %s\r\n\r\n" % entry)
            out.writestr("cp/Main.class", z.read("cp/Main.class"))
        r = pack(tool, app, base, os.path.join(work, "cp-img"))
        c.check("%s manifest Class-Path entry is refused, naming the jar and the entry" % what,
                r.returncode == 1 and ("the Class-Path of the main JAR \"app.jar\" names \"%s\", outside the "
                                       "application's folder" % entry) in r.stderr
                and "lib/ok.jar" not in r.stderr, r.stderr)


def main(tool, inspect, build, work):
    build = os.path.abspath(build)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    c = Checks()
    base = os.path.join(work, "jre-base")
    run("jlink", "--add-modules", "java.base", "--output", base, check=True)
    # Every module of the JDK; Debian's own JDK links into /etc, which packing refuses.
    full = os.path.join(work, "jre-full")
    run("jlink", "--module-path", os.path.join(JDK, "jmods"), "--add-modules", "ALL-MODULE-PATH", "--output", full,
        check=True)
    check_fixtures(c, tool, work, base, full)
    check_own_applications(c, tool, work, full)
    check_rule(c, tool, work, base)
    check_virtual_machine(c, tool, inspect, work, base)
    check_class_path(c, tool, work, base)
    check_windows_runtime(c, tool, os.path.join(build, "bin", "loftwick-inspect.exe"), build, work)
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))

#!/usr/bin/python3
"""The Linux launcher started as the desktop starts it (no terminal, a
display): when a dialog shows and what it says, when it must not, and the
failure log. A real Java virtual machine runs the probe application; the
dialog program is a stand-in zenity that records what it was asked to show.

  desktop_report_checks.py LAUNCHER WORK
"""
import os
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import pack_checks  # noqa: E402
from pack_checks import Checks  # noqa: E402
from linux_launcher_checks import JAVA_HOME, compile_probe, make_image  # noqa: E402
from linux_package_checks import Display  # noqa: E402

FAKE_ZENITY = """#!/bin/sh
printf '%s\\0' "$@" >> "$ZENITY_RECORD"
exit "${ZENITY_EXIT:-0}"
"""


class Desktop(Display):
    """Xvfb, HOME and the XDG folders in the work tree (Display), and a
    stand-in zenity first on PATH."""

    def __init__(self, work):
        super().__init__(work)
        tools = os.path.join(work, "tools")
        os.makedirs(tools)
        zenity = os.path.join(tools, "zenity")
        with open(zenity, "w") as f:
            f.write(FAKE_ZENITY)
        os.chmod(zenity, 0o755)
        self.record = os.path.join(work, "zenity.txt")
        self.state = self.env["XDG_STATE_HOME"]
        self.env.update(PATH=tools + ":/usr/bin:/bin", ZENITY_RECORD=self.record)

    def start(self, exe, *args, **env):
        for leftover in (self.record,):
            if os.path.exists(leftover):
                os.remove(leftover)
        return subprocess.Popen([exe, *args], env=dict(self.env, **env), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def run(self, exe, *args, **env):
        p = self.start(exe, *args, **env)
        out, err = p.communicate(timeout=90)
        return p.returncode, out.decode("utf-8", "replace") + err.decode("utf-8", "replace")

    def dialogs(self):
        """Each dialog's --text, as the stand-in zenity was handed it."""
        if not os.path.exists(self.record):
            return []
        words = open(self.record, "rb").read().decode("utf-8", "replace").split("\0")
        return [w[len("--text="):] for w in words if w.startswith("--text=")]

    def log(self, name):
        path = os.path.join(self.state, "loftwick", name + ".log")
        return open(path, encoding="utf-8", errors="replace").read() if os.path.exists(path) else ""

def check_what_the_dialog_says(c, d, exe):
    code, out = d.run(exe, "nul")
    shown = d.dialogs()
    c.check("output with a NUL: the dialog holds the text after it and the exit code line",
            code == 3 and len(shown) == 1 and "before\ufffdafter" in shown[0]
            and shown[0].endswith("The application ended with exit code 3."), repr(shown) + out)
    code, out = d.run(exe, "silent7")
    c.check("an exit code of the application's own, nothing printed: no dialog, the code passes",
            code == 7 and d.dialogs() == [] and d.log("Probe") == "", repr(d.dialogs()) + out)
    code, out = d.run(exe, "throw", ZENITY_EXIT="1")
    logged = d.log("Probe")
    c.check("a dialog that could not be shown (zenity ends with 1): the log has the entry",
            code == 1 and len(d.dialogs()) == 1 and "boom from main" in logged and " Probe failed:\n" in logged
            and "could not start" not in logged, logged + out)


def check_no_display(c, d, exe):
    before = d.log("Probe")
    code, out = d.run(exe, "throw", DISPLAY=":%d" % (40000 + os.getpid() % 20000))
    logged = d.log("Probe")[len(before):]
    c.check("no display answers: no dialog program is started, the log has the entry",
            code == 1 and d.dialogs() == [] and "boom from main" in logged, logged + out)


def check_log_is_capped(c, d, exe):
    path = os.path.join(d.state, "loftwick", "Probe.log")
    with open(path, "w") as f:
        for i in range(40000):
            f.write("2026-01-01 00:00:00 old entry %d\n%s\n\n" % (i, "x" * 40))
    code, out = d.run(exe, "throw", ZENITY_EXIT="1")
    text = open(path, "rb").read()
    first = text.split(b"\n", 1)[0]
    c.check("the failure log keeps its newest MiB: the new entry, older ones from a line's start",
            code == 1 and 1 << 19 < len(text) <= 1 << 20 and text.rstrip().endswith(b"exit code 1.")
            and (first.startswith(b"2026-01-01 00:00:00 old entry ") or first in (b"x" * 40, b"")),
            "%d bytes, first line %r" % (len(text), first))


def check_no_dialog_wanted(c, d, exe, console_exe):
    code, out = d.run(console_exe, "throw")
    c.check("a console program (app.failurebox=false) never shows a dialog, even from a desktop session",
            code == 1 and d.dialogs() == [] and "boom from main" in out, out)
    code, out = d.run(exe, "throw", LOFTWICK_FAILUREBOX="false")
    c.check("LOFTWICK_FAILUREBOX=false turns the dialog off for one run", code == 1 and d.dialogs() == [], out)


def children(pid):
    try:
        return [int(p) for p in open("/proc/%d/task/%d/children" % (pid, pid)).read().split()]
    except OSError:
        return []


def check_ended_from_outside(c, d, exe):
    for who in ("launcher", "application"):
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            before = d.log("Probe")
            p = d.start(exe, "wait")
            for _ in range(120):
                kids = children(p.pid)
                if kids and children(kids[0]) == [] and os.path.exists("/proc/%d" % kids[0]):
                    time.sleep(1.5)  # the runtime is up and has printed
                    break
                time.sleep(0.25)
            os.kill(p.pid if who == "launcher" else children(p.pid)[0], sig)
            out, err = p.communicate(timeout=60)
            c.check("%s ended by %s: exit code %d, no dialog, no log entry" % (who, sig.name, 128 + sig),
                    p.returncode == 128 + sig and d.dialogs() == [] and d.log("Probe") == before,
                    repr(d.dialogs()) + err.decode("utf-8", "replace")[-500:])


def check_helper_left_behind(c, d, exe):
    p = d.start(exe, "spawn")
    p.wait(timeout=60)
    helpers = [q for q in os.listdir("/proc") if q.isdigit() and pack_checks.command_line(q) == b"sleep\x0030\x00"]
    c.check("a process left behind holding the output: the dialog and the exit come at once",
            p.returncode == 2 and helpers and any("failed after starting a helper" in t for t in d.dialogs()),
            repr(d.dialogs()))
    for q in helpers:
        try:
            os.kill(int(q), signal.SIGKILL)
        except ProcessLookupError:
            pass
    p.stdout.close()
    p.stderr.close()


def main(launcher, work):
    work = os.path.abspath(work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    if not shutil.which("Xvfb"):
        print("SKIP: no Xvfb")
        return 0
    c = Checks()
    jars = compile_probe(work)
    runtime = "app.runtime=%s\n" % JAVA_HOME
    exe = make_image(os.path.join(work, "Probe"), launcher, "Probe",
                     "[Application]\napp.mainjar=$APPDIR/probe.jar\n" + runtime, jars)
    console_exe = make_image(os.path.join(work, "Tool"), launcher, "Tool",
                             "[Application]\napp.mainjar=$APPDIR/probe.jar\napp.failurebox=false\n" + runtime, jars)
    d = Desktop(work)
    try:
        check_what_the_dialog_says(c, d, exe)
        check_no_display(c, d, exe)
        check_log_is_capped(c, d, exe)
        check_no_dialog_wanted(c, d, exe, console_exe)
        check_ended_from_outside(c, d, exe)
        check_helper_left_behind(c, d, exe)
    finally:
        d.close()
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))

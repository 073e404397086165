// A failed start from the desktop menu is not silent: the launcher runs
// the application as its child, keeps the end of what it printed, and
// shows it when the application fails (DesktopDialog).
#ifndef DESKTOPREPORT_H
#define DESKTOPREPORT_H

#include <string>

// The child's environment variable: its parent reports for it.
extern const char* const parentReportsVariable;

// Whether no one sees this process's output: no terminal on any standard
// stream, and a desktop session (X11 or Wayland) to show a dialog in.
bool startedFromDesktop();

// Runs `launcher` with `argv` again as a child that starts the application
// itself. What the child prints passes through to this process's output and
// its end is kept; a failure with output, or a crash, is shown. An end from
// outside (SIGTERM, SIGINT, SIGHUP, to either process) is no failure.
// Returns the child's exit code, 128 + the signal that ended it.
int relaunchReporting(const std::string& launcher, char** argv, const std::string& title);

#endif // DESKTOPREPORT_H

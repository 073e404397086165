// A failed start from the desktop menu is not silent: the launcher runs
// the application as its child, keeps the end of what it printed, and
// shows it when the application fails, in a dialog (zenity or kdialog) or,
// where neither is installed, in a log file.
#ifndef DESKTOPREPORT_H
#define DESKTOPREPORT_H

#include <string>

// The child's environment variable: its parent reports for it.
extern const char* const parentReportsVariable;

// Whether no one sees this process's output: no terminal on any standard
// stream, and a desktop session (X11 or Wayland) to show a dialog in.
bool startedFromDesktop();

// Tells the user `text` in a dialog titled `title`, and appends it to
// failureLogPath(title) when no dialog program is installed or the dialog
// was not confirmed (it may never have opened).
void showFailure(const std::string& title, const std::string& text);

// $XDG_STATE_HOME/loftwick/TITLE.log ($HOME/.local/state by default).
std::string failureLogPath(const std::string& title);

// Runs `launcher` with `argv` again as a child that starts the application
// itself. What the child prints passes through to this process's output and
// its end is kept; a failure with output, or a crash, is shown. Returns the
// child's exit code, 128 + the signal that ended it.
int relaunchReporting(const std::string& launcher, char** argv, const std::string& title);

#endif // DESKTOPREPORT_H

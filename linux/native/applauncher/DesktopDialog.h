// Telling a desktop user why the application failed: a dialog (zenity or
// kdialog) where a display answers, else a line in a log file of bounded
// size.
#ifndef DESKTOPDIALOG_H
#define DESKTOPDIALOG_H

#include <cstddef>
#include <string>

// The log keeps its newest bytes up to this size.
const size_t maxFailureLogBytes = 1u << 20;

// Whether dialogs may be shown at all: not when the failure box variable
// says "false", nor once dialogsOff() was called (the configuration said so).
bool dialogsAllowed();
void dialogsOff();

// Whether a display server answers at $WAYLAND_DISPLAY or $DISPLAY.
bool displayAnswers();

// When dialogs are allowed: shows `text` in a dialog titled `title` where a
// display answers, and waits for it; where none does, or the dialog was not
// confirmed (it may never have opened), appends it to the failure log under
// `headline`.
void showFailure(const std::string& title, const std::string& headline, const std::string& text);

// $XDG_STATE_HOME/loftwick/TITLE.log ($HOME/.local/state by default).
std::string failureLogPath(const std::string& title);

// Appends an entry to the log at `path`, keeping its last maxFailureLogBytes.
void appendToFailureLog(const std::string& path, const std::string& headline, const std::string& text);

#endif // DESKTOPDIALOG_H

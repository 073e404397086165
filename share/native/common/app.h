// The launch envelope: runs one launch function, reports its failure.
#ifndef APP_H
#define APP_H

#include <new>
#include <string>

#include "tstrings.h"

class LogAppender;

namespace app {

typedef void (*LaunchFunction)();

// Exit code 0 when the function returns, 1 when it throws. Never throws.
int launch(const std::nothrow_t&, LaunchFunction func, LogAppender* lastErrorLogAppender);

// Shows the error text to the user; the default is a message box.
typedef void (*ErrorBox)(const tstring& text, const tstring& caption);

// The GUI front: console when tracing, error box on failure. Never throws.
int wlaunch(const std::nothrow_t&, LaunchFunction func, ErrorBox errorBox = nullptr);

bool isDebugRequested();

// The plain text of the error being reported, UTF-8; empty outside it.
std::string lastErrorMessage();

// Whether the user has seen the error being reported already (ShownError).
bool lastErrorShown();

// The process-wide sink that writes lastErrorMessage() to standard error.
LogAppender& lastErrorLogAppender();

} // namespace app

#endif // APP_H

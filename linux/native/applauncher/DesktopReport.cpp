#include "DesktopReport.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "DesktopDialog.h"
#include "ErrorHandling.h"
#include "OutputTail.h"
#include "tstrings.h"

extern char** environ;

const char* const parentReportsVariable = "LOFTWICK_PARENT_REPORTS";

namespace {

const size_t dialogLines = 20;
pid_t childPid = 0;

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

volatile sig_atomic_t forwarded = 0;

void forwardSignal(int signal) {
    forwarded = 1;
    if (childPid > 0) {
        ::kill(childPid, signal);
    }
}

// The signals that end a process from outside: kill, Ctrl+C, the session's end.
bool endedFromOutside(int signal) {
    return signal == SIGTERM || signal == SIGINT || signal == SIGHUP;
}

void passThrough(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0) {
            return;  // no one reads it: the tail still has it
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

// Reads what is there; false at the end of the pipe.
bool readInto(int from, int to, OutputTail& tail) {
    char buffer[4096];
    const ssize_t n = ::read(from, buffer, sizeof(buffer));
    if (n > 0) {
        tail.append(buffer, static_cast<size_t>(n));
        passThrough(to, buffer, static_cast<size_t>(n));
        return true;
    }
    return n < 0 && (errno == EINTR || errno == EAGAIN);
}

// Reads both pipes while the child runs. After it ends, only what is
// already in them: a process it started may hold them open for long.
int collect(pid_t pid, int out, int err, OutputTail& tail) {
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    const int targets[2] = {STDOUT_FILENO, STDERR_FILENO};
    int status = 0;
    for (bool running = true; running;) {
        if (::poll(fds, 2, 200) > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].revents && !readInto(fds[i].fd, targets[i], tail)) {
                    fds[i].fd = -1;
                }
            }
        }
        running = ::waitpid(pid, &status, WNOHANG) == 0;
    }
    for (int i = 0; i < 2; ++i) {
        const int fd = i == 0 ? out : err;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof(buffer))) > 0;) {
            tail.append(buffer, static_cast<size_t>(n));
            passThrough(targets[i], buffer, static_cast<size_t>(n));
        }
        ::close(fd);
    }
    return status;
}

std::string utf8(const tstring& text) {
    return (tstrings::TextBuilder() << text).utf8();
}

} // namespace

bool startedFromDesktop() {
    const bool terminal = ::isatty(STDIN_FILENO) || ::isatty(STDOUT_FILENO) || ::isatty(STDERR_FILENO);
    return !terminal && (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"));
}

int relaunchReporting(const std::string& launcher, char** argv, const std::string& title) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        TARN_THROW(SysError(tstrings::TextBuilder() << "pipe2 failed", nullptr, static_cast<unsigned long>(errno)));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    ::setenv(parentReportsVariable, "1", 1);
    const int failed = ::posix_spawn(&childPid, launcher.c_str(), &actions, nullptr, argv, environ);
    ::unsetenv(parentReportsVariable);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (failed != 0) {
        TARN_THROW(SysError(tstrings::TextBuilder() << "Cannot start " << tstrings::decodeAnsi(launcher),
                            nullptr, static_cast<unsigned long>(failed)));
    }
    // Whoever ends this process (the session's end, a kill) ends the
    // application with it; a reader that goes away does not end either.
    for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
        std::signal(s, forwardSignal);
    }
    std::signal(SIGPIPE, SIG_IGN);
    OutputTail tail;
    const int status = collect(childPid, out[0], err[0], tail);
    const std::string printed = tail.printedSomething() ? utf8(tail.text(dialogLines)) : std::string();
    const std::string headline = title + " failed:";
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (!endedFromOutside(signal)) {
            showFailure(title, headline, "The application was ended by signal " + std::to_string(signal) + " ("
                                         + ::strsignal(signal) + ")." + (printed.empty() ? "" : "\n\n" + printed));
        }
        return 128 + signal;
    }
    const int code = WEXITSTATUS(status);
    // An application that ends with a code of its own choice and says
    // nothing (System.exit(4)) has nothing to report; the runtime ends with
    // 128 + the signal when it is told to end (143 for SIGTERM).
    if (code != 0 && !printed.empty() && !(code > 128 && endedFromOutside(code - 128)) && !forwarded) {
        showFailure(title, headline,
                    printed + "\n\nThe application ended with exit code " + std::to_string(code) + ".");
    }
    return code;
}

#include "DesktopReport.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// The first `name` in PATH that can be run, or "".
std::string onPath(const std::string& name) {
    const std::string path = isSet("PATH") ? std::getenv("PATH") : "";
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(':', start);
        end = end == std::string::npos ? path.size() : end;
        const std::string candidate = path.substr(start, end - start) + "/" + name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return std::string();
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

bool showDialog(const std::string& title, const std::string& text) {
    std::vector<std::string> args;
    const std::string zenity = onPath("zenity"), kdialog = onPath("kdialog");
    if (!zenity.empty()) {
        args = {zenity, "--error", "--no-markup", "--title=" + title, "--text=" + text};
    } else if (!kdialog.empty()) {
        args = {kdialog, "--title", title, "--error", text};
    } else {
        return false;
    }
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(&a[0]);
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    const int status = waitFor(pid);
    // zenity also ends with 1 when it cannot open the display: only a
    // confirmed dialog is known to have been seen.
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void makeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    }
}

void forwardSignal(int signal) {
    if (childPid > 0) {
        ::kill(childPid, signal);
    }
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

std::string failureLogPath(const std::string& title) {
    const std::string state = isSet("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME")
                            : std::string(isSet("HOME") ? std::getenv("HOME") : "") + "/.local/state";
    return state + "/loftwick/" + title + ".log";
}

void showFailure(const std::string& title, const std::string& text) {
    if (showDialog(title, text)) {
        return;
    }
    const std::string log = failureLogPath(title);
    makeDirectories(log);
    std::ofstream out(log, std::ios::app);
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    out << stamp << " " << title << " could not start:\n" << text << "\n\n";
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
        TARN_THROW(SysError(tstrings::TextBuilder() << "Cannot start " << launcher, nullptr,
                            static_cast<unsigned long>(failed)));
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
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal != SIGTERM && signal != SIGINT && signal != SIGHUP) {
            showFailure(title, "The application was ended by signal " + std::to_string(signal) + " ("
                               + ::strsignal(signal) + ")." + (printed.empty() ? "" : "\n\n" + printed));
        }
        return 128 + signal;
    }
    const int code = WEXITSTATUS(status);
    // An application that ends with a code of its own choice and says
    // nothing (System.exit(4)) has nothing to report.
    if (code != 0 && !printed.empty()) {
        showFailure(title, printed + "\n\nThe application ended with exit code " + std::to_string(code) + ".");
    }
    return code;
}

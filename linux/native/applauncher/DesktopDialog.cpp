#include "DesktopDialog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "AppLauncher.h"
#include "SysInfo.h"

extern char** environ;

namespace {

bool configuredOff = false;

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The first `name` in PATH that can be run, or "".
std::string onPath(const std::string& name) {
    const std::string path = variable("PATH");
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

class Socket {
public:
    explicit Socket(int family) : fd(::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~Socket() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Whether a server accepts within a second: a display that hangs is as
    // good as none.
    bool connects(const sockaddr* address, socklen_t length) const {
        if (fd < 0) {
            return false;
        }
        if (::connect(fd, address, length) == 0) {
            return true;
        }
        if (errno != EINPROGRESS) {
            return false;
        }
        pollfd p = {fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof(error);
        return ::poll(&p, 1, 1000) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }

private:
    const int fd;
};

// A local socket by path, or in the abstract namespace (a leading '@').
bool localAnswers(const std::string& path) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    if (path[0] == '@') {
        address.sun_path[0] = '\0';
    }
    return Socket(AF_UNIX).connects(reinterpret_cast<const sockaddr*>(&address),
                                    static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size()));
}

bool waylandAnswers() {
    const std::string name = variable("WAYLAND_DISPLAY");
    if (name.empty()) {
        return false;
    }
    return localAnswers(name[0] == '/' ? name : variable("XDG_RUNTIME_DIR") + "/" + name);
}

// DISPLAY is [host]:number[.screen]: a local server listens on
// /tmp/.X11-unix/Xnumber (also abstract), a remote one on TCP 6000 + number.
bool x11Answers() {
    const std::string display = variable("DISPLAY");
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    const std::string host = display.substr(0, colon);
    const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos || number.size() > 5) {
        return false;
    }
    if (host.empty() || host == "unix") {
        const std::string socket = "/tmp/.X11-unix/X" + number;
        return localAnswers("@" + socket) || localAnswers(socket);
    }
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(6000 + std::stoi(number)).c_str(), &hints, &found) != 0) {
        return false;
    }
    bool answers = false;
    for (const addrinfo* a = found; a && !answers; a = a->ai_next) {
        answers = Socket(a->ai_family).connects(a->ai_addr, a->ai_addrlen);
    }
    ::freeaddrinfo(found);
    return answers;
}

// The dialog program's exit code: 0 when the user confirmed it. It gets no
// output of ours to hold open: a helper it leaves behind keeps no reader of
// this launcher's output waiting.
bool dialogConfirmed(const std::string& title, const std::string& text) {
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
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // zenity also ends with 1 when it cannot open the display: only a
    // confirmed dialog is known to have been seen.
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void makeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    }
}

// The last `size` bytes of the file, from the first line that starts in them.
std::string keptTail(int fd, off_t fileSize, size_t size) {
    std::string kept(size, '\0');
    const ssize_t n = ::pread(fd, &kept[0], size, fileSize - static_cast<off_t>(size));
    kept.resize(n > 0 ? static_cast<size_t>(n) : 0);
    const size_t line = kept.find('\n');
    return line == std::string::npos ? std::string() : kept.substr(line + 1);
}

} // namespace

bool dialogsAllowed() {
    return !configuredOff && SysInfo::getEnvVariable(std::nothrow, failureBoxVariable, tstring()) != L"false";
}

void dialogsOff() {
    configuredOff = true;
}

bool displayAnswers() {
    return waylandAnswers() || x11Answers();
}

std::string failureLogPath(const std::string& title) {
    const std::string state = !variable("XDG_STATE_HOME").empty() ? variable("XDG_STATE_HOME")
                            : variable("HOME") + "/.local/state";
    return state + "/loftwick/" + title + ".log";
}

void appendToFailureLog(const std::string& path, const std::string& headline, const std::string& text) {
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    std::string entry = std::string(stamp) + " " + headline + "\n" + text + "\n\n";
    if (entry.size() > maxFailureLogBytes) {
        entry = entry.substr(entry.size() - maxFailureLogBytes);
    }
    makeDirectories(path);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    struct stat st = {};
    if (::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) + entry.size() > maxFailureLogBytes) {
        // The newest entries stay: the file is written anew beside, then
        // takes the log's place.
        const std::string kept = keptTail(fd, st.st_size, std::min(static_cast<size_t>(st.st_size),
                                                                   maxFailureLogBytes - entry.size()));
        ::close(fd);
        const std::string next = path + ".new";
        const int out = ::open(next.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (out >= 0) {
            const std::string all = kept + entry;
            const bool written = ::write(out, all.data(), all.size()) == static_cast<ssize_t>(all.size());
            ::close(out);
            if (written) {
                ::rename(next.c_str(), path.c_str());
            } else {
                ::unlink(next.c_str());
            }
        }
        return;
    }
    if (::write(fd, entry.data(), entry.size()) < 0) {
        // Nowhere left to tell it.
    }
    ::close(fd);
}

void showFailure(const std::string& title, const std::string& headline, const std::string& text) {
    if (!dialogsAllowed() || (displayAnswers() && dialogConfirmed(title, text))) {
        return;
    }
    appendToFailureLog(failureLogPath(title), headline, text);
}

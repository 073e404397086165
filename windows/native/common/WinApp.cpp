// The GUI front of the envelope: console for tracing, the error box.
#include "app.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "ErrorHandling.h"
#include "FileUtils.h"
#include "Log.h"
#include "SysInfo.h"
#include "WinSysHeaders.h"

namespace {

void showMessageBox(const tstring& text, const tstring& caption) {
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

class LastErrorGuiLogAppender : public LogAppender {
public:
    explicit LastErrorGuiLogAppender(app::ErrorBox errorBox) : errorBox(errorBox) {}

    void append(const LogRecord&) override {
        // Its own failure is logged through the chain that holds this sink:
        // that record must not come back here, or it recurses without end.
        if (busy || app::lastErrorShown()) {
            return;
        }
        busy = true;
        try {
            const tstring text = tstrings::decodeUtf8(app::lastErrorMessage());
            const tstring caption = FileUtils::basename(SysInfo::getProcessModulePath());
            errorBox(text, caption);
        } TARN_CATCH_ALL()
        busy = false;
    }

private:
    app::ErrorBox errorBox;
    bool busy = false;
};

// A GUI process has no console; tracing attaches the parent's or opens one.
class Console {
public:
    Console() {
        if (!AttachConsole(ATTACH_PARENT_PROCESS) && !AllocConsole()) {
            return;
        }
        out.reset(new Channel(stdout));
        err.reset(new Channel(stderr));
    }

    ~Console() {
        err.reset();
        out.reset();
    }

    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

private:
    class Channel {
    public:
        explicit Channel(FILE* stream) : stream(stream), reopened(nullptr) {
            const bool input = stream == stdin;
            if (freopen_s(&reopened, input ? "CONIN$" : "CONOUT$", input ? "r" : "w",
                          stream) != 0) {
                reopened = nullptr;
            }
            std::ios_base::sync_with_stdio(true);
        }

        virtual ~Channel() {
            try {
                if (reopened) {
                    fclose(reopened);
                }
                std::ios_base::sync_with_stdio(true);
            } TARN_CATCH_ALL()
        }

        Channel(const Channel&) = delete;
        Channel& operator=(const Channel&) = delete;

    private:
        FILE* stream;
        FILE* reopened;
    };

    std::unique_ptr<Channel> out;
    std::unique_ptr<Channel> err;
};

} // namespace

namespace app {

int wlaunch(const std::nothrow_t&, LaunchFunction func, ErrorBox errorBox) {
    std::unique_ptr<Console> console;
    try {
        if (isDebugRequested()) {
            console.reset(new Console());
        }
    } TARN_CATCH_ALL()

    LastErrorGuiLogAppender guiAppender(errorBox ? errorBox : showMessageBox);
    TeeLogAppender tee(&lastErrorLogAppender(), &guiAppender);
    const int result = launch(std::nothrow, func, &tee);
    console.reset();
    return result;
}

} // namespace app

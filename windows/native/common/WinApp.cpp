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

class LastErrorGuiLogAppender : public LogAppender {
public:
    void append(const LogRecord&) override {
        try {
            const tstring text = tstrings::decodeUtf8(app::lastErrorMessage());
            const tstring caption = FileUtils::basename(SysInfo::getProcessModulePath());
            MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
        } TARN_CATCH_ALL()
    }
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

int wlaunch(const std::nothrow_t&, LaunchFunction func) {
    std::unique_ptr<Console> console;
    try {
        if (isDebugRequested()) {
            console.reset(new Console());
        }
    } TARN_CATCH_ALL()

    LastErrorGuiLogAppender guiAppender;
    TeeLogAppender tee(&lastErrorLogAppender(), &guiAppender);
    const int result = launch(std::nothrow, func, &tee);
    console.reset();
    return result;
}

} // namespace app

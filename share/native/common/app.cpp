// The platform-neutral envelope around one launch.
#include "app.h"

#include <iostream>
#include <memory>

#include "ErrorHandling.h"
#include "Log.h"
#include "SysInfo.h"

namespace {

const std::string* lastErrorMessageSlot = nullptr;
bool lastErrorShownSlot = false;

// The short record of trace output.
class StandardLogAppender : public LogAppender {
public:
    void append(const LogRecord& r) override {
        std::cerr << "[" << tstrings::encodeUtf8(r.levelText) << "] "
                  << tstrings::encodeUtf8(r.sourceFile) << ":" << r.sourceLine << ": "
                  << tstrings::encodeUtf8(r.message) << "\n";
        std::cerr.flush();
    }
};

class LastErrorLogAppender : public LogAppender {
public:
    void append(const LogRecord&) override {
        std::cerr << app::lastErrorMessage() << "\n";
        std::cerr.flush();
    }
};

NopLogAppender nopLogAppender;
StandardLogAppender standardLogAppender;
LastErrorLogAppender lastErrorSink;

// Chains the last-error sink behind the current one when the launch
// function is over, so the catch clauses' ERROR record reaches the user.
class SetLoggerAtEndOfScope {
public:
    SetLoggerAtEndOfScope(std::unique_ptr<WithExtraLogAppender>& holder,
                          LogAppender* lastErrorAppender)
        : holder(holder), lastErrorAppender(lastErrorAppender) {}
    ~SetLoggerAtEndOfScope() {
        try {
            holder.reset(new WithExtraLogAppender(*lastErrorAppender));
        } TARN_CATCH_ALL()
    }
    SetLoggerAtEndOfScope(const SetLoggerAtEndOfScope&) = delete;
    SetLoggerAtEndOfScope& operator=(const SetLoggerAtEndOfScope&) = delete;

private:
    std::unique_ptr<WithExtraLogAppender>& holder;
    LogAppender* lastErrorAppender;
};

class ResetLastErrorMsgAtEndOfScope {
public:
    ResetLastErrorMsgAtEndOfScope() = default;
    ResetLastErrorMsgAtEndOfScope(const ResetLastErrorMsgAtEndOfScope&) = delete;
    ResetLastErrorMsgAtEndOfScope& operator=(const ResetLastErrorMsgAtEndOfScope&) = delete;
    ~ResetLastErrorMsgAtEndOfScope() {
        lastErrorMessageSlot = nullptr;
        lastErrorShownSlot = false;
    }
};

} // namespace

namespace app {

bool isDebugRequested() {
    return SysInfo::getEnvVariable(std::nothrow, L"LOFTWICK_DEBUG", L"") == L"true";
}

LogAppender& lastErrorLogAppender() {
    return lastErrorSink;
}

std::string lastErrorMessage() {
    return lastErrorMessageSlot ? *lastErrorMessageSlot : std::string();
}

bool lastErrorShown() {
    return lastErrorShownSlot;
}

// Reporting a failure can itself fail (out of memory): the exit code still
// says it, and nothing leaves.
int launch(const std::nothrow_t&, LaunchFunction func, LogAppender* lastErrorAppender) try {
    Logger::instance().installAppender(app::isDebugRequested()
            ? static_cast<LogAppender*>(&standardLogAppender) : &nopLogAppender);
    LOG_TRACE_FUNCTION();
    if (!lastErrorAppender) {
        lastErrorAppender = &lastErrorSink;
    }

    std::unique_ptr<WithExtraLogAppender> withLastErrorAppender;
    std::string errorMessage;
    const ResetLastErrorMsgAtEndOfScope resetLastErrorMsg;

    try {
        const SetLoggerAtEndOfScope setLogger(withLastErrorAppender, lastErrorAppender);
        func();
        return 0;
    } catch (const TarnErrorBase& e) {
        errorMessage = (tstrings::TextBuilder() << std::string(e.rawMessage())).utf8();
        lastErrorMessageSlot = &errorMessage;
        lastErrorShownSlot = dynamic_cast<const ShownError*>(&e) != nullptr;
        try {
            throw;
        } catch (const std::runtime_error& re) {
            logCaughtError(TARN_SOURCE_LOCATION(), re);
        }
    } catch (const std::runtime_error& e) {
        errorMessage = crtErrorText();
        lastErrorMessageSlot = &errorMessage;
        logCaughtError(TARN_SOURCE_LOCATION(), e);
    } catch (...) {
        errorMessage = "Unknown error";
        lastErrorMessageSlot = &errorMessage;
        logUnknownError(TARN_SOURCE_LOCATION());
    }
    return 1;
} catch (...) {
    return 1;
}

} // namespace app

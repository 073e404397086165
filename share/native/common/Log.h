// The process-wide logger, its sinks and the entry/exit trace.
#ifndef LOG_H
#define LOG_H

#include <ostream>

#include "ErrorHandling.h"
#include "SysInfo.h"
#include "tstrings.h"

enum LogLevel : int { LOG_TRACE = 0, LOG_INFO = 1, LOG_WARNING = 2, LOG_ERROR = 3 };

struct LogRecord {
    SysInfo::LocalTime time;
    unsigned long threadId;
    unsigned long processId;
    const wchar_t* processName;
    tstring levelText;
    tstring sourceFile;
    int sourceLine;
    tstring functionName;
    tstring message;
};

class LogAppender {
public:
    virtual ~LogAppender() = default;
    virtual void append(const LogRecord& record) = 0;
};

class NopLogAppender : public LogAppender {
public:
    void append(const LogRecord&) override {}
};

// The full two-line record.
class StreamLogAppender : public LogAppender {
public:
    explicit StreamLogAppender(std::ostream& stream) : stream(&stream) {}
    void append(const LogRecord& record) override;

private:
    std::ostream* stream;
};

class TeeLogAppender : public LogAppender {
public:
    TeeLogAppender(LogAppender* first, LogAppender* second)
        : first(first), second(second) {}
    void append(const LogRecord& record) override;

private:
    LogAppender* first;
    LogAppender* second;
};

class Logger {
public:
    static Logger& instance();

    bool isEnabled(LogLevel level) const { return level >= minLevel; }
    void log(LogLevel level, const wchar_t* sourceFile, int sourceLine,
             const wchar_t* functionName, const tstring& message) const;
    void log(LogLevel level, const wchar_t* sourceFile, int sourceLine,
             const wchar_t* functionName, const tstrings::TextBuilder& message) const {
        log(level, sourceFile, sourceLine, functionName, message.wide());
    }
    void log(LogLevel level, const SourceLocation& loc, const tstring& message) const;
    void log(LogLevel level, const SourceLocation& loc,
             const tstrings::TextBuilder& message) const {
        log(level, loc, message.wide());
    }

    LogAppender* currentAppender() const { return appender; }
    void installAppender(LogAppender* v) { appender = v; }

private:
    Logger() = default;

    LogLevel minLevel = LOG_TRACE;
    LogAppender* appender = nullptr;
};

// Adds a second sink for its lifetime; restores the sink it found.
class WithExtraLogAppender {
public:
    explicit WithExtraLogAppender(LogAppender& extra);
    virtual ~WithExtraLogAppender();
    WithExtraLogAppender(const WithExtraLogAppender&) = delete;
    WithExtraLogAppender& operator=(const WithExtraLogAppender&) = delete;

private:
    LogAppender* previous;
    TeeLogAppender tee;
};

class EntryExitTrace {
public:
    EntryExitTrace(Logger& logger, LogLevel level, const tstring& sourceFile,
                   int sourceLine, const tstring& functionName,
                   const tstring& scopeName);
    ~EntryExitTrace();
    EntryExitTrace(const EntryExitTrace&) = delete;
    EntryExitTrace& operator=(const EntryExitTrace&) = delete;

private:
    Logger* logger;
    LogLevel level;
    tstring sourceFile;
    int sourceLine;
    tstring functionName;
    tstring scopeName;
    bool active;
};

const wchar_t* logLevelName(int level);

EntryExitTrace makeEntryExitTrace(const SourceLocation& loc);

#define LOG_AT(level, msg, ...)                                                 \
    do {                                                                        \
        Logger& logger_ = Logger::instance();                                   \
        if (logger_.isEnabled(level)) {                                         \
            logger_.log(level, TARN_SOURCE_LOCATION(__VA_ARGS__),               \
                        tstrings::TextBuilder() << msg);                        \
        }                                                                       \
    } while (0)

// LOG_TRACE(text) logs this line; LOG_TRACE(text, 118) a published one.
#define LOG_TRACE(msg, ...) LOG_AT(LOG_TRACE, msg, ##__VA_ARGS__)
#define LOG_WARNING(msg, ...) LOG_AT(LOG_WARNING, msg, ##__VA_ARGS__)

#define LOG_CONCAT2(a, b) a##b
#define LOG_CONCAT(a, b) LOG_CONCAT2(a, b)
#define LOG_TRACE_FUNCTION() \
    const EntryExitTrace LOG_CONCAT(entryExit_, __LINE__) = makeEntryExitTrace(TARN_SOURCE_LOCATION())

#endif // LOG_H

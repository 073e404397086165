// The logger and the record formats of its shared sinks.
#include "Log.h"

#include <algorithm>
#include <cwchar>
#include <iostream>

#include "FileUtils.h"
#include "SysInfo.h"

namespace {

const size_t processNameSize = 260;
wchar_t processName[processNameSize] = L"Unknown";

void fillProcessName() {
    tstring name;
    try {
        name = FileUtils::basename(SysInfo::getCurrentModulePath());
    } catch (const std::runtime_error&) {
        name = L"Unknown";
    }
    const size_t n = std::min(name.size(), processNameSize - 1);
    name.copy(processName, n);
    processName[n] = L'\0';
}

} // namespace

const wchar_t* logLevelName(int level) {
    switch (level) {
    case LOG_TRACE: return L"TRACE";
    case LOG_INFO: return L"INFO";
    case LOG_WARNING: return L"WARNING";
    case LOG_ERROR: return L"ERROR";
    default: return L"UNKNOWN";
    }
}

Logger& Logger::instance() {
    static Logger logger;
    if (!logger.appender) {
        static StreamLogAppender defaultAppender(std::cout);
        logger.appender = &defaultAppender;
    }
    // 1 means the filling itself is logging: such records carry no name.
    static int processNameState = 0;
    if (processNameState == 0) {
        processNameState = 1;
        fillProcessName();
        processNameState = 2;
    } else if (processNameState == 1) {
        processName[0] = L'\0';
    }
    return logger;
}

void Logger::log(LogLevel level, const wchar_t* sourceFile, int sourceLine,
                 const wchar_t* functionName, const tstring& message) const {
    LogRecord record = {};
    record.time = SysInfo::localTime();
    record.processId = SysInfo::processId();
    record.threadId = SysInfo::threadId();
    record.processName = processName;
    record.sourceFile = FileUtils::basename(sourceFile ? sourceFile : L"");
    record.sourceLine = sourceLine;
    record.functionName = functionName ? functionName : L"";
    record.message = message;
    record.levelText = logLevelName(level);
    if (appender) {
        appender->append(record);
    }
}

void Logger::log(LogLevel level, const SourceLocation& loc, const tstring& message) const {
    const tstring file = tstrings::decodeUtf8(loc.file ? loc.file : "");
    const tstring function = tstrings::decodeUtf8(qualifiedFunctionName(loc.function));
    log(level, file.c_str(), loc.line, function.c_str(), message);
}

void StreamLogAppender::append(const LogRecord& r) {
    const tstring prefix = tstrings::formatPrintf(
            L"%04u/%02u/%02u %02u:%02u:%02u.%03u, %s (PID: %u, TID: %u), ",
            r.time.year, r.time.month, r.time.day, r.time.hour,
            r.time.minute, r.time.second, r.time.milliseconds,
            r.processName, r.processId, r.threadId);
    const tstring text = (tstrings::TextBuilder() << "[" << prefix << r.sourceFile
            << ":" << r.sourceLine << " (" << r.functionName << ")]\n\t"
            << r.levelText << ": " << r.message).wide();
    *stream << tstrings::encodeUtf8(text) << "\n";
    stream->flush();
}

void TeeLogAppender::append(const LogRecord& record) {
    if (first) {
        first->append(record);
    }
    if (second) {
        second->append(record);
    }
}

WithExtraLogAppender::WithExtraLogAppender(LogAppender& extra)
    : previous(Logger::instance().currentAppender()), tee(previous, &extra) {
    Logger::instance().installAppender(&tee);
}

WithExtraLogAppender::~WithExtraLogAppender() {
    Logger::instance().installAppender(previous);
}

EntryExitTrace::EntryExitTrace(Logger& logger, LogLevel level, const tstring& sourceFile,
                               int sourceLine, const tstring& functionName,
                               const tstring& scopeName)
    : logger(&logger), level(level), sourceFile(sourceFile), sourceLine(sourceLine),
      functionName(functionName), scopeName(scopeName), active(logger.isEnabled(level)) {
    if (active) {
        logger.log(level, sourceFile.c_str(), sourceLine, functionName.c_str(),
                   L"Entering " + scopeName);
    }
}

EntryExitTrace::~EntryExitTrace() {
    if (!active) {
        return;
    }
    try {
        logger->log(level, sourceFile.c_str(), 0, functionName.c_str(),
                    (tstrings::TextBuilder() << "Exiting " << scopeName << " (entered at "
                     << FileUtils::basename(sourceFile) << ":" << sourceLine << ")").wide());
    } TARN_CATCH_ALL()
}

EntryExitTrace makeEntryExitTrace(const SourceLocation& loc) {
    const tstring function = tstrings::decodeUtf8(qualifiedFunctionName(loc.function));
    return EntryExitTrace(Logger::instance(), LOG_TRACE, tstrings::decodeUtf8(loc.file),
                          loc.line, function, function);
}

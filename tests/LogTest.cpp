#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <vector>

#include "JvmLauncher.h"
#include "Log.h"
#include "WinSysHeaders.h"

namespace {

// Keeps every record; fails on a message that holds `failOn`.
class RecordingAppender : public LogAppender {
public:
    void append(const LogRecord& r) override {
        if (!failOn.empty() && r.message.find(failOn) != tstring::npos) {
            throw std::runtime_error("sink failed");
        }
        records.push_back(r);
    }
    std::vector<LogRecord> records;
    tstring failOn;
};

// Installs a sink for one test and puts the previous one back.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = Logger::instance().currentAppender();
        Logger::instance().installAppender(&recorder);
    }
    void TearDown() override { Logger::instance().installAppender(previous); }

    RecordingAppender recorder;
    LogAppender* previous = nullptr;
};

TEST_F(LogTest, FullRecordFormat) {
    std::ostringstream out;
    StreamLogAppender appender(out);
    LogRecord r = {};
    r.time.year = 2026; r.time.month = 3; r.time.day = 4;
    r.time.hour = 5; r.time.minute = 6; r.time.second = 7; r.time.milliseconds = 8;
    r.processId = 12; r.threadId = 34;
    r.processName = L"My\u00C4pp.exe";
    r.levelText = L"TRACE";
    r.sourceFile = L"AppLauncher.cpp";
    r.sourceLine = -5;
    r.functionName = L"AppLauncher::createJvmLauncher";
    r.message = L"m\u00E4";
    appender.append(r);
    EXPECT_EQ(out.str(), "[2026/03/04 05:06:07.008, My\xC3\x84pp.exe (PID: 12, TID: 34), "
                         "AppLauncher.cpp:-5 (AppLauncher::createJvmLauncher)]\n\tTRACE: m\xC3\xA4\n");
}

TEST_F(LogTest, LoggedRecordHeadingByPattern) {
    std::ostringstream out;
    StreamLogAppender appender(out);
    Logger::instance().installAppender(&appender);
    LOG_TRACE("hello " << 5, 118);
    Logger::instance().installAppender(&recorder);
    const std::regex heading(
        R"(\[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3}, loftwick-unit-tests\.exe \(PID: \d+, TID: \d+\), )"
        R"(LogTest\.cpp:118 \(\{anonymous\}::LogTest_LoggedRecordHeadingByPattern_Test::TestBody\)\]\n)"
        R"(\tTRACE: hello 5\n)");
    EXPECT_TRUE(std::regex_match(out.str(), heading)) << out.str();
}

TEST_F(LogTest, LevelNamesAndRecordFields) {
    Logger::instance().log(static_cast<LogLevel>(7), L"C:\\src\\x/File.cpp", 3, L"f", L"m");
    Logger::instance().log(LOG_WARNING, L"File.cpp", 3, L"f", tstrings::TextBuilder() << "w");
    ASSERT_EQ(recorder.records.size(), 2u);
    EXPECT_EQ(recorder.records[0].levelText, L"UNKNOWN");
    EXPECT_EQ(recorder.records[0].sourceFile, L"File.cpp");
    EXPECT_EQ(recorder.records[1].levelText, L"WARNING");
    EXPECT_EQ(recorder.records[1].message, L"w");
    EXPECT_STREQ(recorder.records[1].processName, L"loftwick-unit-tests.exe");
    EXPECT_EQ(recorder.records[1].processId, GetCurrentProcessId());
    EXPECT_STREQ(logLevelName(LOG_INFO), L"INFO");
    EXPECT_STREQ(logLevelName(LOG_ERROR), L"ERROR");
    EXPECT_STREQ(logLevelName(-1), L"UNKNOWN");
}

TEST_F(LogTest, EntryExitTraceRecordsExitWithLineZero) {
    {
        EntryExitTrace trace(Logger::instance(), LOG_TRACE, L"C:\\src\\Foo.cpp", 42,
                             L"ns::foo", L"ns::foo");
    }
    ASSERT_EQ(recorder.records.size(), 2u);
    EXPECT_EQ(recorder.records[0].message, L"Entering ns::foo");
    EXPECT_EQ(recorder.records[0].sourceLine, 42);
    EXPECT_EQ(recorder.records[1].message, L"Exiting ns::foo (entered at Foo.cpp:42)");
    EXPECT_EQ(recorder.records[1].sourceLine, 0);
    EXPECT_EQ(recorder.records[1].sourceFile, L"Foo.cpp");
    EXPECT_EQ(recorder.records[1].functionName, L"ns::foo");
}

// Regression: these destructors swallowed what they caught without a record.
TEST_F(LogTest, DestructorsLogWhatTheyCatch) {
    recorder.failOn = L"Exiting ";
    { EntryExitTrace trace(Logger::instance(), LOG_TRACE, L"Foo.cpp", 1, L"f", L"f"); }
    recorder.failOn = L"::~Jvm()";
    { Jvm jvm; }
    std::vector<tstring> errors;
    for (const LogRecord& r : recorder.records) {
        if (r.levelText == L"ERROR") {
            errors.push_back(r.functionName + L": " + r.message);
        }
    }
    EXPECT_EQ(errors, (std::vector<tstring>{
        L"EntryExitTrace::~EntryExitTrace: Exception with message 'sink failed' caught",
        L"Jvm::~Jvm: Exception with message 'sink failed' caught"}));
}

TEST_F(LogTest, TeeSkipsANullTarget) {
    RecordingAppender second;
    TeeLogAppender tee(nullptr, &second);
    tee.append(LogRecord());
    EXPECT_EQ(second.records.size(), 1u);
    TeeLogAppender both(&recorder, &second);
    both.append(LogRecord());
    EXPECT_EQ(second.records.size(), 2u);
    EXPECT_EQ(recorder.records.size(), 1u);
}

TEST_F(LogTest, WithExtraLogAppenderRestoresTheAppenderOfItsConstruction) {
    RecordingAppender extra, other;
    {
        WithExtraLogAppender with(extra);
        LOG_TRACE("both");
        EXPECT_EQ(recorder.records.size(), 1u);
        EXPECT_EQ(extra.records.size(), 1u);
        Logger::instance().installAppender(&other);  // someone else meanwhile
    }
    EXPECT_EQ(Logger::instance().currentAppender(), &recorder);
}

TEST_F(LogTest, NullAppenderIsReplacedByTheDefault) {
    Logger::instance().installAppender(nullptr);
    EXPECT_NE(Logger::instance().currentAppender(), nullptr);
    EXPECT_NE(Logger::instance().currentAppender(), &recorder);
}

TEST_F(LogTest, CatchSitesLogTheCaughtTextAtTheirOwnLocation) {
    try {
        TARN_THROW("inner Caf\xC3\xA9", 10);
    } catch (const std::runtime_error& e) {
        logCaughtError(SourceLocation{"a/b\\Catch.cpp", "void X::y()", 20}, e);
    }
    logUnknownError(SourceLocation{"Catch.cpp", "void X::z()", 30});
    ASSERT_EQ(recorder.records.size(), 2u);
    const LogRecord& r = recorder.records[0];
    EXPECT_EQ(r.levelText, L"ERROR");
    EXPECT_EQ(r.sourceFile, L"Catch.cpp");
    EXPECT_EQ(r.sourceLine, 20);
    EXPECT_EQ(r.functionName, L"X::y");
    EXPECT_EQ(r.message, L"Exception with message 'LogTest.cpp(10) at {anonymous}::"
              L"LogTest_CatchSitesLogTheCaughtTextAtTheirOwnLocation_Test::TestBody(): inner Caf\u00E9' caught");
    EXPECT_EQ(recorder.records[1].message, L"Unknown exception caught");
}

} // namespace

#include <gtest/gtest.h>

#include <vector>

#include "ErrorHandling.h"
#include "Log.h"
#include "TestSupport.h"
#include "app.h"

namespace {

// Remembers what the last-error message was whenever a record reaches it.
class CapturingAppender : public LogAppender {
public:
    void append(const LogRecord&) override { seen.push_back(app::lastErrorMessage()); }
    std::vector<std::string> seen;
};

void succeeds() {}
void throwsTarnError() { TARN_THROW(tstrings::TextBuilder() << L"abc \u00E4"); }
void throwsInt() { throw 42; }
void throwsRuntimeError() {
    errno = ENOENT;
    throw std::runtime_error("plain");
}

class AppTest : public ::testing::Test {
protected:
    void SetUp() override { previous = Logger::instance().currentAppender(); }
    void TearDown() override { Logger::instance().installAppender(previous); }

    int launch(app::LaunchFunction f) {
        const testing_support::ScopedEnv env(L"LOFTWICK_DEBUG", nullptr);
        return app::launch(std::nothrow, f, &capturing);
    }

    CapturingAppender capturing;
    LogAppender* previous = nullptr;
};

TEST_F(AppTest, OutcomeBecomesExitCodeAndOneReport) {
    EXPECT_EQ(launch(succeeds), 0);
    EXPECT_TRUE(capturing.seen.empty());

    EXPECT_EQ(launch(throwsTarnError), 1);
    EXPECT_EQ(capturing.seen, std::vector<std::string>{"abc \xC3\xA4"});
    EXPECT_EQ(app::lastErrorMessage(), "");  // valid only while launch runs

    capturing.seen.clear();
    EXPECT_EQ(launch(throwsInt), 1);
    EXPECT_EQ(capturing.seen, std::vector<std::string>{"Unknown error"});

    capturing.seen.clear();
    EXPECT_EQ(launch(throwsRuntimeError), 1);
    EXPECT_EQ(capturing.seen, std::vector<std::string>{"No such file or directory"});
}

int errorBoxCalls = 0;
void failingErrorBox(const tstring&, const tstring&) {
    ++errorBoxCalls;
    throw std::runtime_error("no box");
}

// Regression: the box sink logged its own failure through the chain that
// held it, and so called itself without end.
TEST_F(AppTest, AFailingErrorBoxReportsOnceAndTheExitCodeStaysOne) {
    const testing_support::ScopedEnv env(L"LOFTWICK_DEBUG", nullptr);
    EXPECT_EQ(app::wlaunch(std::nothrow, throwsTarnError, failingErrorBox), 1);
    EXPECT_EQ(errorBoxCalls, 1);
}

int countedBoxes = 0;
void countingErrorBox(const tstring&, const tstring&) {
    ++countedBoxes;
}
void throwsShownError() { TARN_THROW(ShownError("Failed to launch JVM")); }

// What the user has been shown already is reported, not shown again.
TEST_F(AppTest, AShownErrorGetsNoSecondBox) {
    const testing_support::ScopedEnv env(L"LOFTWICK_DEBUG", nullptr);
    EXPECT_EQ(app::wlaunch(std::nothrow, throwsShownError, countingErrorBox), 1);
    EXPECT_EQ(countedBoxes, 0);
    EXPECT_EQ(app::wlaunch(std::nothrow, throwsTarnError, countingErrorBox), 1);
    EXPECT_EQ(countedBoxes, 1);
}

TEST_F(AppTest, DebugSwitchIsExactlyTrue) {
    struct Row { const wchar_t* value; bool expected; };
    const Row rows[] = {{L"true", true}, {L"TRUE", false}, {L"1", false}, {L"", false},
                        {L"true ", false}, {nullptr, false}};
    for (const Row& row : rows) {
        const tstring value = row.value ? row.value : L"";
        const testing_support::ScopedEnv env(L"LOFTWICK_DEBUG", row.value ? &value : nullptr);
        EXPECT_EQ(app::isDebugRequested(), row.expected) << tstrings::encodeUtf8(value);
    }
}

} // namespace

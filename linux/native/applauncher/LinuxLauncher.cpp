// The Linux launcher: works out its image from its own location, reads
// lib/app/<name>.cfg, and starts the bundled runtime's libjli.so in this
// process. Started from the desktop, where no one sees its output, it runs
// the application as its child instead, to show the user why it failed.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <memory>

#include "AppLauncher.h"
#include "DesktopDialog.h"
#include "DesktopReport.h"
#include "FileUtils.h"
#include "JvmLauncher.h"
#include "Log.h"
#include "SysInfo.h"
#include "app.h"

namespace {

bool appExitCodeSet = false;
int appExitCode = 0;
bool reportToDesktop = false;
char** launchArgv = nullptr;

std::string launcherTitle() {
    return (tstrings::TextBuilder() << FileUtils::basename(SysInfo::getProcessModulePath())).utf8();
}

// The launcher's own failure, started from the desktop: on standard error
// as always, and shown.
class DesktopErrorAppender : public LogAppender {
public:
    void append(const LogRecord& record) override {
        app::lastErrorLogAppender().append(record);
        showFailure(launcherTitle(), launcherTitle() + " could not start:", app::lastErrorMessage());
    }
};

// The runtime reads paths and arguments in the locale's character set:
// under LANG=C, a non-ASCII install path fails to start and non-ASCII
// arguments arrive broken. A UTF-8 character type makes both work.
void giveTheRuntimeUtf8() {
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    const bool utf8 = codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    std::setlocale(LC_CTYPE, "C");
    if (!utf8) {
        LOG_TRACE("Locale character set " << std::string(codeset ? codeset : "?")
                  << ": LC_CTYPE=C.UTF-8 for the runtime");
        ::setenv("LC_CTYPE", "C.UTF-8", 1);
        ::unsetenv("LC_ALL");
    }
}

void launchApp() {
    const tstring launcherPath = SysInfo::getProcessModulePath();
    AppLauncher appLauncher;
    configureForImage(appLauncher, launcherPath);
    LauncherSettings settings;
    std::unique_ptr<Jvm> jvm(appLauncher.createJvmLauncher(nullptr, &settings));
    if (!settings.failureBox) {
        dialogsOff();
    }
    if (reportToDesktop && settings.failureBox) {
        jvm.reset();
        appExitCode = relaunchReporting(tstrings::encodeAnsi(launcherPath), launchArgv,
                                        launcherTitle());
        appExitCodeSet = true;
        return;
    }
    giveTheRuntimeUtf8();
    // The process's exit code is the application's: the runtime returns it
    // when main ends, or ends the process with it itself.
    appExitCode = jvm->callRuntime();
    appExitCodeSet = true;
}

} // namespace

int main(int, char** argv) {
    launchArgv = argv;
    // Read once and removed, so that no program the application starts
    // takes itself for a reporting launcher's child.
    const bool child = std::getenv(parentReportsVariable) != nullptr;
    ::unsetenv(parentReportsVariable);
    reportToDesktop = !child && startedFromDesktop();
    DesktopErrorAppender desktopErrors;
    const int result = app::launch(std::nothrow, launchApp, reportToDesktop ? &desktopErrors : nullptr);
    return appExitCodeSet ? appExitCode : result;
}

// Finds the configuration and the runtime, and builds the Jvm.
#include "AppLauncher.h"

#include <memory>

#include "CfgFile.h"
#include "ErrorHandling.h"
#include "FileUtils.h"
#include "JvmLauncher.h"
#include "Log.h"
#include "SysInfo.h"

namespace {

const size_t maxEnvVariableLength = 32767;

} // namespace

AppLauncher::AppLauncher()
    : commandLineArgs(SysInfo::getCommandArgs(SysInfo::WithoutProgramName)),
      executablePath(SysInfo::getProcessModulePath()) {}

tstring findJvmLib(const CfgFile& cfg, const tstring& fallbackRuntimeDir,
                   const tstring_array& candidates) {
    const PropertyMap& props = cfg.sectionProperties(CfgFile::application);
    const auto runtime = props.find(CfgFile::runtime);
    tstring runtimeDir;
    if (runtime != props.end()) {
        runtimeDir = CfgFile::lastValueOf(*runtime);
    } else {
        runtimeDir = fallbackRuntimeDir;
        LOG_TRACE("Property \"" << CfgFile::runtime.name() << "\" not found in \""
                  << CfgFile::application.name() << "\" section of launcher config file."
                  << " Using Java runtime from \"" << runtimeDir << "\" directory", 76);
    }
    for (const tstring& candidate : candidates) {
        const tstring path = FileUtils::joinPath(runtimeDir, candidate);
        if (FileUtils::isFileExists(path)) {
            return path;
        }
    }
    TARN_THROW(tstrings::TextBuilder() << "Failed to find JVM in \"" << runtimeDir
               << "\" directory.", 87);
}

bool AppLauncher::libraryPathHasAppDir() const {
    const tstring value = tstrings::asciiLower(
            SysInfo::getEnvVariable(std::nothrow, libraryPathVariable, tstring()));
    const tstring dir = tstrings::asciiLower(appDir);
    for (const tstring& entry : tstrings::splitOn(value, L";")) {
        if (entry == dir) {
            return true;
        }
    }
    return false;
}

tstring AppLauncher::cfgFilePath() const {
    return FileUtils::joinPath(appDir, FileUtils::stripExeSuffix(
            FileUtils::basename(executablePath)) + L".cfg");
}

const wchar_t* const failureBoxVariable = L"LOFTWICK_FAILUREBOX";

LauncherSettings launcherSettingsOf(const CfgFile& cfg) {
    LauncherSettings settings;
    settings.failureBox = SysInfo::getEnvVariable(std::nothrow, failureBoxVariable, tstring()) != L"false";
    const PropertyMap& props = cfg.sectionProperties(CfgFile::application);
    const auto failureBox = props.find(CfgFile::failurebox);
    if (failureBox != props.end()) {
        settings.failureBox = settings.failureBox && CfgFile::lastValueOf(*failureBox) != L"false";
    }
    return settings;
}

Jvm* AppLauncher::createJvmLauncher(CfgFileObserver* observer, LauncherSettings* settings) const {
    const tstring cfgPath = cfgFilePath();
    LOG_TRACE("Launcher config file path: \"" << cfgPath << "\"", 118);

    MacroMap macros;
    macros[L"$APPDIR"] = appDir;
    macros[L"$BINDIR"] = FileUtils::dirname(executablePath);
    macros[L"$ROOTDIR"] = rootDir;

    CfgFile cfg = CfgFile::load(cfgPath, observer).resolveMacros(macros);
    // Taken from the current directory, a relative runtime would be a
    // library loaded from wherever the user happens to start the program.
    const PropertyMap& props = cfg.sectionProperties(CfgFile::application);
    const auto runtime = props.find(CfgFile::runtime);
    if (runtime != props.end() && !FileUtils::isAbsolutePath(CfgFile::lastValueOf(*runtime))) {
        cfg.replaceValues(CfgFile::application, CfgFile::runtime,
                          {FileUtils::joinPath(rootDir, CfgFile::lastValueOf(*runtime))});
    }
    if (!commandLineArgs.empty()) {
        cfg.replaceValues(CfgFile::argOptions, CfgFile::arguments, commandLineArgs);
    }

    if (!libraryPathVariable.empty() && !libraryPathHasAppDir()) {
        const tstring value = SysInfo::getEnvVariable(std::nothrow, libraryPathVariable,
                                                      tstring()) + L";" + appDir;
        // Windows keeps no variable beyond this length; a cut PATH would lose
        // the app directory and every child would relaunch again.
        if (value.size() > maxEnvVariableLength) {
            TARN_THROW(tstrings::TextBuilder() << "Failed to add \"" << appDir << "\" to "
                       << libraryPathVariable << ": the value would exceed "
                       << static_cast<unsigned>(maxEnvVariableLength) << " characters");
        }
        SysInfo::setEnvVariable(libraryPathVariable, value);
    }

    if (settings) {
        *settings = launcherSettingsOf(cfg);
    }
    std::unique_ptr<Jvm> jvm(new Jvm());
    jvm->setPath(findJvmLib(cfg, fallbackRuntimeDir, jvmLibCandidates));
    jvm->addArgument(executablePath);
    jvm->initFromConfigFile(cfg);
    return jvm.release();
}

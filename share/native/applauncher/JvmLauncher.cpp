// The runtime's argument list, the launch data block and the runtime call.
#include "JvmLauncher.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "CfgFile.h"
#include "Dll.h"
#include "ErrorHandling.h"
#include "FileUtils.h"
#include "Log.h"
#include "SysInfo.h"

static_assert(sizeof(void*) == 8, "the launch data layout is 64-bit");
static_assert(offsetof(JvmlLauncherData, jliLibPath) == 0, "launch data layout");
static_assert(offsetof(JvmlLauncherData, jliLaunchArgc) == 8, "launch data layout");
static_assert(offsetof(JvmlLauncherData, jliLaunchArgv) == 16, "launch data layout");
static_assert(sizeof(JvmlLauncherData) == 24, "launch data layout");

Jvm::Jvm() {
    LOG_TRACE("Jvm(" << static_cast<const void*>(this) << ")::Jvm()", 43);
}

Jvm::~Jvm() {
    try {
        LOG_TRACE("Jvm(" << static_cast<const void*>(this) << ")::~Jvm()", 48);
    } TARN_CATCH_ALL()
}

namespace {

const PropertyMap::value_type* findProperty(const CfgFile& cfg, const SectionKey& section,
                                            const PropertyKey& key) {
    const PropertyMap& props = cfg.sectionProperties(section);
    const auto it = props.find(key);
    return it == props.end() ? nullptr : &*it;
}

} // namespace

Jvm& Jvm::initFromConfigFile(const CfgFile& cfg) {
    // One option with every entry: the runtime honours only the last of
    // repeated --module-path options.
    if (const auto* p = findProperty(cfg, CfgFile::application, CfgFile::modulepath)) {
        addArgument(L"--module-path");
        addArgument(CfgFile::pathListOf(*p));
    }
    if (const auto* p = findProperty(cfg, CfgFile::application, CfgFile::classpath)) {
        addArgument(L"-classpath");
        addArgument(CfgFile::pathListOf(*p));
    }
    if (const auto* p = findProperty(cfg, CfgFile::application, CfgFile::splash)) {
        const tstring splash = CfgFile::lastValueOf(*p);
        if (FileUtils::isFileExists(splash)) {
            addArgument(L"-splash:" + splash);
        } else {
            LOG_WARNING("Splash property ignored. File \"" << splash << "\" not found", 88);
        }
    }
    if (const auto* p = findProperty(cfg, CfgFile::javaOptions, CfgFile::javaOptionsKey)) {
        for (const tstring& v : p->second) {
            addArgument(v);
        }
    }
    addArgument(L"-Dloftwick.app-path=" + SysInfo::getProcessModulePath());
    runtimeOptionsEnd = args.size();
    if (const auto* p = findProperty(cfg, CfgFile::application, CfgFile::mainmodule)) {
        addArgument(L"-m");
        addArgument(CfgFile::lastValueOf(*p));
    }
    if (const auto* p = findProperty(cfg, CfgFile::application, CfgFile::mainclass)) {
        addArgument(CfgFile::lastValueOf(*p));
    }
    if (const auto* p = findProperty(cfg, CfgFile::application, CfgFile::mainjar)) {
        addArgument(L"-jar");
        addArgument(CfgFile::lastValueOf(*p));
    }
    if (const auto* p = findProperty(cfg, CfgFile::argOptions, CfgFile::arguments)) {
        for (const tstring& v : p->second) {
            addArgument(v);
        }
    }
    return *this;
}

size_t Jvm::runtimeOptionCount() const {
    return std::min(runtimeOptionsEnd, args.size());
}

bool Jvm::hasSplashArgument() const {
    const size_t end = runtimeOptionCount();
    for (size_t i = 0; i < end; ++i) {
        if (tstrings::hasPrefix(args[i], L"-splash:")) {
            return true;
        }
    }
    return false;
}

int jvmlLauncherDataSize(size_t pathBytes, const std::vector<size_t>& argBytes) {
    // Summed in 64 bits: a size beyond INT_MAX must fail, never wrap.
    uint64_t total = sizeof(JvmlLauncherData) + static_cast<uint64_t>(pathBytes) + 1
            + sizeof(char*) * (static_cast<uint64_t>(argBytes.size()) + 1);
    for (const size_t n : argBytes) {
        total += static_cast<uint64_t>(n) + 1;
    }
    if (argBytes.size() > static_cast<size_t>(INT_MAX) || total > static_cast<uint64_t>(INT_MAX)) {
        TARN_THROW("JvmlLauncherData buffer would exceed 2147483647 bytes");
    }
    return static_cast<int>(total);
}

namespace {

struct JliLaunchData {
    std::string jliLib;
    std::vector<std::string> args;

    int initJvmlLauncherData(JvmlLauncherData* block) const;
};

// Measures the block and, given one, fills it in the same single pass.
int JliLaunchData::initJvmlLauncherData(JvmlLauncherData* block) const {
    std::vector<size_t> argBytes;
    for (const std::string& arg : args) {
        argBytes.push_back(arg.size());
    }
    const int size = jvmlLauncherDataSize(jliLib.size(), argBytes);

    if (!block) {
        LOG_TRACE("Need " << size << " bytes for JvmlLauncherData buffer", 273);
        return size;
    }

    char* const base = reinterpret_cast<char*>(block);
    char* pos = base + sizeof(JvmlLauncherData);
    std::memcpy(pos, jliLib.c_str(), jliLib.size() + 1);
    block->jliLibPath = pos;
    pos += jliLib.size() + 1;

    // The pointer array follows the path directly and is in general not
    // 8-byte aligned: slots are written byte-wise.
    char* const slots = pos;
    block->jliLaunchArgc = static_cast<int>(args.size());
    block->jliLaunchArgv = reinterpret_cast<char**>(slots);
    pos += sizeof(char*) * (args.size() + 1);
    const char* const nullSlot = nullptr;
    std::memcpy(slots + sizeof(nullSlot) * args.size(), &nullSlot, sizeof(nullSlot));

    for (size_t i = 0; i < args.size(); ++i) {
        std::memcpy(pos, args[i].c_str(), args[i].size() + 1);
        const char* const text = pos;
        std::memcpy(slots + sizeof(text) * i, &text, sizeof(text));
        pos += args[i].size() + 1;
    }
    LOG_TRACE("Initialized " << size << " bytes at " << static_cast<const void*>(block)
              << " address", 270);
    return size;
}

void closeHandle(JvmlLauncherHandle h) {
    try {
        delete static_cast<JliLaunchData*>(h);
    } TARN_CATCH_ALL(310)
}

// Outside callers may hand in a null handle: a failure value, not a crash.
int getJvmlLauncherDataSize(JvmlLauncherHandle h) {
    try {
        if (!h) {
            return -1;
        }
        return static_cast<const JliLaunchData*>(h)->initJvmlLauncherData(nullptr);
    } TARN_CATCH_ALL(320)
    return -1;
}

// Fills the buffer only when it has exactly the needed size: a null result
// leaves the caller's memory untouched.
JvmlLauncherData* initJvmlLauncherData(JvmlLauncherHandle h, void* ptr, int bufferSize) {
    try {
        const JliLaunchData* data = static_cast<const JliLaunchData*>(h);
        if (!data) {
            return nullptr;
        }
        const int needed = data->initJvmlLauncherData(nullptr);
        if (!ptr || bufferSize != needed) {
            return nullptr;
        }
        JvmlLauncherData* const block = static_cast<JvmlLauncherData*>(ptr);
        data->initJvmlLauncherData(block);
        return block;
    } TARN_CATCH_ALL(337)
    return nullptr;
}

JvmlLauncherAPI api = { closeHandle, getJvmlLauncherDataSize, initJvmlLauncherData };

struct FreeDeleter {
    void operator()(JvmlLauncherData* p) const { std::free(p); }
};

} // namespace

extern "C" JvmlLauncherAPI* jvmLauncherGetAPI(void) {
    return &api;
}

void* Jvm::makeLaunchData() const {
    std::unique_ptr<JliLaunchData> data(new JliLaunchData());
    data->jliLib = tstrings::encodeUtf8(path);
    for (const tstring& arg : args) {
        data->args.push_back(tstrings::encodeAnsi(arg));
    }
    return data.release();
}

void Jvm::launch() {
    if (callRuntime() != 0) {
        if (windowed && runtimeToldUser && runtimeToldUser()) {
            TARN_THROW(ShownError("Failed to launch JVM"), 213);
        }
        TARN_THROW("Failed to launch JVM", 213);
    }
}

int Jvm::callRuntime() {
    const std::unique_ptr<JvmlLauncherData, FreeDeleter> block(
            jvmLauncherMakeData(jvmLauncherGetAPI(), makeLaunchData()));
    if (!block) {
        TARN_THROW("Failed to create the launch data for the JVM");
    }

    LOG_TRACE("JVM library: \"" << path << "\"", 206);

    const DllFunction<void*> jliLaunch(Dll(tstrings::TextBuilder() << path),
                                       tstrings::TextBuilder() << "JLI_Launch");
    return jvmLauncherCallJli(block.get(), jliLaunch, windowed);
}

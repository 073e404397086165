// A deterministic mutation fuzzer over the configuration parser, macro
// resolution and argument assembly: no crash, no hang, no unbounded growth.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

#include "CfgFile.h"
#include "ErrorHandling.h"
#include "JvmLauncher.h"
#include "Log.h"

namespace {

class Rng {
public:
    explicit Rng(uint64_t seed) : state(seed ? seed : 1) {}
    uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    size_t below(size_t n) { return n ? static_cast<size_t>(next() % n) : 0; }

private:
    uint64_t state;
};

const char* const seeds[] = {
    "[Application]\napp.classpath=$APPDIR\\a.jar\napp.classpath=$ROOTDIR\\b.jar\n"
    "app.mainclass=hello.Main\napp.splash=$APPDIR\\s.png\napp.runtime=$ROOTDIR\\rt\n"
    "[JavaOptions]\njava-options=-Dx=$BINDIR\n[ArgOptions]\narguments=$APPDIR$APPDIR\n",
    "\xEF\xBB\xBF[Application]\r\napp.mainjar=x.jar\r\n[ArgOptions]\rarguments=a\r",
    "; comment\n[Application] trailing\napp.modulepath=m1\napp.modulepath=m2\n"
    "app.mainmodule=mod/Main\n[Application]\nunknown=1\n[Other]\narguments=x\n",
    "[ArgOptions]\narguments\\=x=y\narguments=\xC3\xA4\xFF\narguments=\n=\n[\n",
    "[AppCDSJavaOptions]\njava-options=-Xshare:dump\n[AppCDSGenerateCacheJavaOptions]\n"
    "java-options=a\n[JavaOptions]\njava-options=$ROOTDIR$BINDIR$APPDIR\n",
};

const char* const fragments[] = {
    "\n", "\r", "\r\n", "[", "]", "=", "\\=", ";", "\xEF\xBB\xBF", "\xFF", "\xC3", "\xF0\x9F\x98\x80",
    "$APPDIR", "$BINDIR", "$ROOTDIR", "$", "[Application]", "[ArgOptions]", "[JavaOptions]",
    "arguments=", "java-options=", "app.classpath=", "app.modulepath=", "app.splash=",
    "app.mainjar=", "app.mainclass=", "app.mainmodule=", "-splash:", " ",
};

std::string mutate(Rng& rng) {
    std::string text = seeds[rng.below(sizeof(seeds) / sizeof(seeds[0]))];
    const size_t steps = 1 + rng.below(8);
    for (size_t i = 0; i < steps; ++i) {
        const size_t pos = rng.below(text.size() + 1);
        switch (rng.below(7)) {
        case 0:  // flip a byte
            if (!text.empty()) {
                text[rng.below(text.size())] ^= static_cast<char>(1 << rng.below(8));
            }
            break;
        case 1:
            text.insert(pos, fragments[rng.below(sizeof(fragments) / sizeof(fragments[0]))]);
            break;
        case 2:  // NUL bytes
            text.insert(pos, std::string(1 + rng.below(3), '\0'));
            break;
        case 3:  // cut
            text.erase(pos, rng.below(16));
            break;
        case 4:  // a very long line
            text.insert(pos, std::string(rng.below(20000), "ax$\\=["[rng.below(6)]));
            break;
        case 5: {  // deep repetition of a piece
            const std::string piece = text.substr(pos, 1 + rng.below(40));
            std::string repeated;
            for (size_t n = rng.below(200); n > 0; --n) {
                repeated += piece;
            }
            text.insert(pos, repeated);
            break;
        }
        default: {  // line ends of another kind
            for (char& c : text) {
                if (c == '\n' && rng.below(2)) {
                    c = '\r';
                }
            }
            break;
        }
        }
    }
    return text;
}

size_t totalBytes(const tstring_array& args) {
    size_t n = 0;
    for (const tstring& a : args) {
        n += a.size() + 1;
    }
    return n;
}

TEST(CfgFuzzTest, ParserMacrosAndArguments) {
    LogAppender* previous = Logger::instance().currentAppender();
    NopLogAppender quiet;
    Logger::instance().installAppender(&quiet);

    const MacroMap plain = {{L"$APPDIR", L"C:\\Apps\\Foo\\app"},
                            {L"$BINDIR", L"C:\\Apps\\Foo"}, {L"$ROOTDIR", L"C:\\Apps\\Foo"}};
    const MacroMap looping = {{L"$APPDIR", L"C:\\$ROOTDIR\\app"},
                              {L"$BINDIR", L"C:\\$ROOTDIR"}, {L"$ROOTDIR", L"C:\\$ROOTDIR"}};
    const size_t longestMacro = 17;

    Rng rng(0x10F7'71C4'2026'1208ULL);
    size_t parsed = 0, parseErrors = 0, macroErrors = 0;
    const int cases = 100000;
    for (int i = 0; i < cases; ++i) {
        const std::string text = mutate(rng);
        std::istringstream in(text);
        try {
            const CfgFile cfg = CfgFile::load(in, L"fuzz.cfg");
            ++parsed;
            const CfgFile resolved = cfg.resolveMacros(i % 16 == 0 ? looping : plain);
            Jvm jvm;
            jvm.setPath(L"C:\\rt\\bin\\jli.dll");
            jvm.addArgument(L"C:\\Apps\\Foo\\Foo.exe");
            jvm.initFromConfigFile(resolved);
            // Values only grow by macro texts, each in place of a longer-or-equal name.
            ASSERT_LE(totalBytes(jvm.getArgs()), (text.size() + 1) * (longestMacro + 1) + 4096)
                << "case " << i;
            JvmlLauncherAPI* api = jvmLauncherGetAPI();
            void* handle = jvm.makeLaunchData();
            ASSERT_GT(api->getJvmlLauncherDataSize(handle), 0) << "case " << i;
            api->closeHandle(handle);
        } catch (const TarnErrorBase& e) {
            const std::string message = e.rawMessage();
            if (message.rfind("Error parsing [fuzz.cfg] file at ", 0) == 0) {
                ++parseErrors;
            } else if (message.rfind("Failed to resolve macros in ", 0) == 0) {
                ++macroErrors;
            } else {
                ADD_FAILURE() << "case " << i << ": " << message;
            }
        }
    }
    Logger::instance().installAppender(previous);
    RecordProperty("parsed", static_cast<int>(parsed));
    EXPECT_GT(parsed, static_cast<size_t>(cases / 2));
    EXPECT_GT(parseErrors, 0u);
    EXPECT_GT(macroErrors, 0u);
}

} // namespace

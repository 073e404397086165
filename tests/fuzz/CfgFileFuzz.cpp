// The launcher's configuration file, any bytes: parsed, its macros
// resolved, with an observer of everything dropped.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

#include "CfgFile.h"

namespace {

class Counting : public CfgFileObserver {
public:
    void lineDropped(int, const std::string&, Reason, const tstring&) override { ++dropped; }
    void sectionReplaced(int, const tstring&) override { ++dropped; }
    size_t dropped = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    Counting observer;
    try {
        const MacroMap macros = {{L"$APPDIR", L"/a"}, {L"$BINDIR", L"/b"}, {L"$ROOTDIR", L"/$APPDIR"}};
        const CfgFile cfg = CfgFile::load(input, L"input.cfg", &observer).resolveMacros(macros);
        for (const SectionKey& section : {CfgFile::application, CfgFile::javaOptions, CfgFile::argOptions}) {
            for (const auto& property : cfg.sectionProperties(section)) {
                CfgFile::pathListOf(property);
            }
        }
    } catch (const std::runtime_error&) {
    }
    return 0;
}

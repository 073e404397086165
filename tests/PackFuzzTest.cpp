// Deterministic mutations of a launcher (as built and as stamped) and of an
// icon file: stamping either succeeds with a readable result or fails with
// one PackError; never another exception, a crash or an endless loop.
#include <gtest/gtest.h>

#include "IconFile.h"
#include "PackError.h"
#include "PeFile.h"
#include "Stamp.h"
#include "StampTestSupport.h"

namespace {

using namespace stamp_test;

class Random {
public:
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state);
    }
    size_t below(size_t n) { return n ? next() % n : 0; }

private:
    uint64_t state = 0x5DEECE66DULL;
};

// Where corruption matters: the headers, the section table and the
// resource section; now and then anywhere, or a shorter file.
Bytes mutate(Bytes bytes, Random& rng, size_t hotStart, size_t hotEnd) {
    const uint32_t interesting[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                    static_cast<uint32_t>(bytes.size()), 0x1000, 0x200};
    const size_t edits = 1 + rng.below(4);
    for (size_t e = 0; e < edits && !bytes.empty(); ++e) {
        const size_t at = rng.below(8) == 0 ? rng.below(bytes.size())
                : rng.below(2) ? rng.below(std::min<size_t>(0x400, bytes.size()))
                : std::min(hotStart + rng.below(hotEnd - hotStart), bytes.size() - 1);
        switch (rng.below(4)) {
        case 0: bytes[at] ^= static_cast<uint8_t>(1u << rng.below(8)); break;
        case 1: bytes[at] = static_cast<uint8_t>(rng.next()); break;
        case 2:
            if (at + 4 <= bytes.size()) {
                putU32(bytes, at, interesting[rng.below(sizeof(interesting) / sizeof(interesting[0]))]);
            }
            break;
        default: bytes.resize(rng.below(bytes.size())); break;
        }
    }
    return bytes;
}

// Counts the outcomes, so a test can tell that its mutations reach both.
struct Outcomes {
    size_t succeeded = 0;
    size_t refused = 0;

    template <class F>
    void expectClean(F f, size_t caseNumber) {
        try {
            f();
            ++succeeded;
        } catch (const PackError&) {
            ++refused;
        } catch (const std::exception& e) {
            ADD_FAILURE() << "case " << caseNumber << ": " << e.what();
        }
    }
};

TEST(PackFuzzTest, CorruptExecutables) {
    const Branding b = branding();
    const Bytes stamped = stampExecutable(launcherBytes(), "seed", b);
    Random rng;
    Outcomes outcomes;
    for (size_t i = 0; i < 6000; ++i) {
        const Bytes& seed = i % 2 ? stamped : launcherBytes();
        const PeFile pe = PeFile::read(seed, "seed");
        const uint32_t rsrc = pe.directoryRva(PeFile::ResourceTable);
        size_t hot = 0;
        for (const PeSection& s : pe.sections()) {
            hot = s.virtualAddress() == rsrc ? s.pointerToRawData() : hot;
        }
        const Bytes input = mutate(seed, rng, hot, hot + 0xA00);
        outcomes.expectClean([&] {
            const Bytes out = stampExecutable(input, "input", b);
            PeFile::read(out, "output");
        }, i);
    }
    EXPECT_GT(outcomes.succeeded, 600u);
    EXPECT_GT(outcomes.refused, 600u);
}

TEST(PackFuzzTest, CorruptIconFiles) {
    const Bytes icon = iconBytes();
    Random rng;
    Branding b = branding();
    Outcomes outcomes;
    for (size_t i = 0; i < 6000; ++i) {
        const Bytes input = mutate(icon, rng, 0, 38);
        outcomes.expectClean([&] { readIconFile(input, "icon"); }, i);
        if (i % 100 == 0) {
            b.icon = input;
            outcomes.expectClean([&] { stampExecutable(launcherBytes(), "launcher", b); }, i);
        }
    }
    EXPECT_GT(outcomes.succeeded, 600u);
    EXPECT_GT(outcomes.refused, 600u);
}

} // namespace

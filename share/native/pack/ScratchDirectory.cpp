#include "ScratchDirectory.h"

#include <atomic>
#include <chrono>
#include <string>
#include <system_error>

#include "PackError.h"

namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory(const fs::path& near) {
    static std::atomic<unsigned> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path = near.parent_path() / ("." + near.filename().u8string() + ".partial-"
                                 + std::to_string(stamp) + "-" + std::to_string(serial++));
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) {
        throw PackError("cannot create \"" + path.u8string() + "\": " + ec.message());
    }
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

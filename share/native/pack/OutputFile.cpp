#include "OutputFile.h"

#include <fstream>
#include <system_error>

#include "PackError.h"
#include "Packager.h"

namespace fs = std::filesystem;

void refuseExisting(const fs::path& target, bool replace, const OutputKind& kind) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(target, ec);
    if (!fs::exists(status)) {
        return;
    }
    if (!replace) {
        throw PackError(shown(target) + " exists; --replace replaces it");
    }
    std::string head(kind.magic.size(), '\0');
    std::ifstream in(target, std::ios::binary);
    if (!fs::is_regular_file(status) || !in.read(&head[0], static_cast<std::streamsize>(head.size()))
        || head != kind.magic) {
        throw PackError(shown(target) + " is not " + kind.name + ": --replace replaces only "
                        + kind.name + "; move it away or choose another output");
    }
}

#include "LinuxImage.h"

#include <system_error>

#include "PackError.h"
#include "Packager.h"

namespace fs = std::filesystem;

LinuxImage readLinuxImage(const fs::path& dir) {
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(dir / "bin", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().u8string();
        if (fs::is_regular_file(it->path(), ec)
            && fs::is_regular_file(dir / "lib" / "app" / fs::u8path(name + ".cfg"), ec)) {
            names.push_back(name);
        }
    }
    if (names.size() != 1 || !fs::is_directory(dir / "lib" / "runtime", ec)) {
        throw PackError(shown(dir) + " is not a Linux application image made by loftwick-pack: it "
                        + (names.size() > 1 ? "holds more than one" : "lacks a")
                        + " bin/NAME beside lib/app/NAME.cfg and lib/runtime/");
    }
    LinuxImage image;
    image.dir = dir;
    image.name = names.front();
    const fs::path productFile = dir / "lib" / fs::u8path(image.name + ".product");
    if (!fs::is_regular_file(productFile, ec)) {
        throw PackError(shown(dir) + " lacks lib/" + image.name + ".product, which states the product: "
                        "pack it again with this version of loftwick-pack");
    }
    image.product = readProductFile(productFile);
    image.entries = walkTree(dir, "the image");
    return image;
}

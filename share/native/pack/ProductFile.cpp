// One "key=value" line each, UTF-8, so a person can read and amend it.
#include "ProductFile.h"

#include <fstream>
#include <map>
#include <system_error>

#include "PackError.h"

namespace fs = std::filesystem;

namespace {

const char* const header = "# Written by loftwick-pack: what the packages of this image state.";
// A few short lines; more is not a product file.
const uintmax_t maxProductFileSize = 64 * 1024;

const std::pair<const char*, std::string Product::*> fields[] = {
    {"name", &Product::name},           {"version", &Product::version},
    {"vendor", &Product::vendor},       {"description", &Product::description},
    {"copyright", &Product::copyright}, {"icon", &Product::icon},
    {"window-class", &Product::windowClass},
};

} // namespace

std::string productText(const Product& product) {
    std::string text = std::string(header) + "\n";
    for (const auto& field : fields) {
        const std::string& value = product.*field.second;
        if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            throw PackError(std::string("the product's ") + field.first + " \"" + value
                            + "\" holds a line break or a NUL");
        }
        if (!value.empty()) {
            text += std::string(field.first) + "=" + value + "\n";
        }
    }
    return text;
}

Product readProductFile(const fs::path& file) {
    std::error_code ec;
    std::ifstream in;
    if (fs::is_regular_file(file, ec) && fs::file_size(file, ec) <= maxProductFileSize) {
        in.open(file, std::ios::binary);
    }
    if (!in) {
        throw PackError("cannot read \"" + file.u8string() + "\": make the image with loftwick-pack");
    }
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (!line.empty() && line[0] != '#' && eq != std::string::npos) {
            values[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    Product product;
    for (const auto& field : fields) {
        product.*field.second = values[field.first];
    }
    if (product.name.empty() || product.version.empty()) {
        throw PackError("\"" + file.u8string() + "\" states no product name or version");
    }
    return product;
}

std::string windowClassOf(const std::string& mainClass) {
    std::string result = mainClass;
    for (char& c : result) {
        c = c == '.' ? '-' : c;
    }
    return result;
}

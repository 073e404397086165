// Windows images hold no links, so every link is resolved here, once; where
// it leads decides whether it may be.
#include "TreeWalk.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "PackError.h"
#include "Packager.h"
#include "WindowsNames.h"

namespace fs = std::filesystem;

namespace {

class Walker {
public:
    Walker(const fs::path& root, const std::string& what) : what(what) {
        std::error_code ec;
        top = fs::canonical(root, ec);
        if (ec) {
            throw PackError("cannot read " + what + " " + shown(root) + ": " + ec.message());
        }
    }

    std::vector<TreeEntry> walk() {
        chain.push_back(top);
        visit(top, fs::path());
        return entries;
    }

private:
    [[noreturn]] void refuse(const fs::path& relative, const std::string& why) const {
        throw PackError(what + " holds " + shown(relative) + ", " + why);
    }

    bool insideTop(const fs::path& canonical) const {
        const auto mismatch = std::mismatch(top.begin(), top.end(), canonical.begin(), canonical.end());
        return mismatch.first == top.end();
    }

    void visit(const fs::path& dir, const fs::path& relativeDir) {
        std::error_code ec;
        std::vector<fs::path> children;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            children.push_back(it->path());
        }
        if (ec) {
            throw PackError("cannot list " + shown(dir) + " in " + what + ": " + ec.message());
        }
        std::sort(children.begin(), children.end());
        std::map<std::string, std::string> folded;  // one directory's names, as Windows sees them
        for (const fs::path& child : children) {
            const std::string name = child.filename().u8string();
            const fs::path relative = relativeDir / child.filename();
            const std::string problem = windowsNameProblem(name);
            if (!problem.empty()) {
                refuse(relative, "whose name " + problem);
            }
            const auto clash = folded.emplace(caseFolded(name), name);
            if (!clash.second) {
                throw PackError(what + " holds " + shown(relativeDir / fs::u8path(clash.first->second))
                                + " and " + shown(relative)
                                + ", one name to Windows, which ignores letter case");
            }
            take(child, relative);
        }
    }

    void take(const fs::path& path, const fs::path& relative) {
        std::error_code ec;
        fs::path source = path;
        if (fs::is_symlink(fs::symlink_status(path, ec))) {
            const fs::path target = fs::read_symlink(path, ec);
            source = fs::canonical(path, ec);
            if (ec == std::errc::too_many_symbolic_link_levels) {
                refuse(relative, "a link that leads back to itself");
            }
            if (ec) {
                refuse(relative, "a link to " + shown(target) + ", which does not exist");
            }
            if (!insideTop(source)) {
                refuse(relative, "a link to " + shown(source) + " outside it: copy what it "
                       "points to in, or remove the link");
            }
        }
        const fs::file_status status = fs::status(source, ec);
        if (fs::is_directory(status)) {
            const fs::path canonical = fs::canonical(source, ec);
            if (std::find(chain.begin(), chain.end(), canonical) != chain.end()) {
                refuse(relative, "a link to a folder that holds it, which would repeat without end");
            }
            entries.push_back({relative, source, true});
            chain.push_back(canonical);
            visit(source, relative);
            chain.pop_back();
        } else if (fs::is_regular_file(status)) {
            entries.push_back({relative, source, false});
        } else {
            refuse(relative, "which is neither a file nor a folder (a pipe, socket or device)");
        }
    }

    std::string what;
    fs::path top;
    std::vector<fs::path> chain;  // the folders being visited, canonical
    std::vector<TreeEntry> entries;
};

} // namespace

std::vector<TreeEntry> walkTree(const fs::path& root, const std::string& what) {
    return Walker(root, what).walk();
}

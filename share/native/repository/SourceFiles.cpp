#include "SourceFiles.h"

#include "PackError.h"
#include "Quoting.h"

std::string checkedRepositoryUrl(const std::string& given) {
    std::string url = given;
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    const bool known = url.rfind("https://", 0) == 0 || url.rfind("http://", 0) == 0
                       || url.rfind("file:///", 0) == 0;
    if (!known || url.find_first_of(" \t\"'\\<>$") != std::string::npos) {
        throw PackError("the repository URL " + shownValue(given) + " is not an http://, https:// or "
                        "file:/// URL without spaces, quotes or '$'");
    }
    controlFieldValue(url, "the repository URL");
    yumRepoValue(url, "the repository URL");
    return url;
}

std::string aptSourcesPath(const RepositoryPlace& place) {
    return "/etc/apt/sources.list.d/" + place.name + ".sources";
}

std::string aptKeyringPath(const RepositoryPlace& place) {
    return "/usr/share/keyrings/" + place.name + ".gpg";
}

std::string aptSourcesText(const RepositoryPlace& place) {
    // A flat repository: the suite is a path, and there are no components.
    return "Types: deb\n"
           "URIs: " + controlFieldValue(place.url + "/apt", "the repository URL") + "\n"
           "Suites: ./\n"
           "Signed-By: " + controlFieldValue(aptKeyringPath(place), "the keyring's path") + "\n";
}

std::string yumRepoPath(const RepositoryPlace& place) {
    return "/etc/yum.repos.d/" + place.name + ".repo";
}

std::string rpmKeyPath(const RepositoryPlace& place) {
    return "/etc/pki/rpm-gpg/RPM-GPG-KEY-" + place.name;
}

std::string yumRepoText(const RepositoryPlace& place, const std::string& title) {
    return "[" + yumRepoValue(place.name, "the package name") + "]\n"
           "name=" + yumRepoValue(title, "the product name") + "\n"
           "baseurl=" + yumRepoValue(place.url + "/rpm", "the repository URL") + "\n"
           "enabled=1\n"
           "gpgcheck=1\n"
           "repo_gpgcheck=1\n"
           "gpgkey=file://" + yumRepoValue(rpmKeyPath(place), "the key's path") + "\n";
}

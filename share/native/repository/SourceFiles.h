// The files a package installs so that apt or dnf bring its updates: a
// deb822 source and a .repo file, each naming the repository and the one
// key that may sign it.
#ifndef SOURCEFILES_H
#define SOURCEFILES_H

#include <string>

// Where a repository made by the repository step is published: its apt
// side is URL/apt, its dnf side URL/rpm.
struct RepositoryPlace {
    std::string url;   // http://, https:// or file://, no trailing '/'
    std::string name;  // the package's name: the files' names
};

// The URL as the files will carry it; throws PackError for one they cannot,
// or one that is not http(s) or file.
std::string checkedRepositoryUrl(const std::string& url);

// /etc/apt/sources.list.d/NAME.sources
std::string aptSourcesText(const RepositoryPlace& place);
std::string aptSourcesPath(const RepositoryPlace& place);
std::string aptKeyringPath(const RepositoryPlace& place);

// /etc/yum.repos.d/NAME.repo, `title` its human name.
std::string yumRepoText(const RepositoryPlace& place, const std::string& title);
std::string yumRepoPath(const RepositoryPlace& place);
std::string rpmKeyPath(const RepositoryPlace& place);

#endif // SOURCEFILES_H

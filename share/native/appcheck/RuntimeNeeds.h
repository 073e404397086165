// Whether the runtime holds the JDK modules an application refers to: from
// the constant pools of its classes, and, for what is loaded by name, from
// its string constants. README ("The modules an application needs") gives
// the rule.
#ifndef RUNTIMENEEDS_H
#define RUNTIMENEEDS_H

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ClassFile.h"
#include "JavaRuntime.h"

struct AppClass {
    std::string name;    // binary name with '/', as the constant pools write it
    std::string origin;  // the jar it comes from; "" for a folder
    ClassReferences references;
};

struct RuntimeNeedsRequest {
    std::vector<AppClass> classes;        // every class on the application's paths
    std::string mainClass;                // with dots; "" when not known: every class counts as used
    const RuntimeContents* runtime = nullptr;
    std::set<std::string> absentModules;  // accepted as knowingly absent
};

struct RuntimeNeedsFindings {
    std::vector<std::string> problems;
    std::vector<std::string> warnings;
};

// Whether the runtime lacks any JDK module of its release; when it lacks
// none (or cannot be judged) the classes need not be read at all.
bool runtimeMayLackModules(const RuntimeContents& runtime);

RuntimeNeedsFindings runtimeNeeds(const RuntimeNeedsRequest& request);

// A first look at one class's bytes: whether anything in it can lead to a
// finding (a package of a module the runtime lacks, a class whose use is
// warned about, a telling string). Most classes have none; when no class
// has any, nothing more needs reading. Safe to share among threads.
class NeedsFilter {
public:
    NeedsFilter(const RuntimeContents& runtime, const std::set<std::string>& absentModules);
    ~NeedsFilter();
    bool relevant(const std::string& classBytes) const;

private:
    struct Tables;
    std::unique_ptr<Tables> tables;
};

// The modules that the findings name, for a runtime made to measure:
// those the classes refer to and those warned about, minus the accepted.
std::set<std::string> modulesNeeded(const RuntimeNeedsRequest& request, bool withWarned);

#endif // RUNTIMENEEDS_H

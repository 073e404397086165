#include "BuildPlan.h"

#include <algorithm>

#include "ProjectSchema.h"

namespace fs = std::filesystem;

namespace {

using Options = std::vector<std::pair<std::string, std::vector<std::string>>>;

// A step's options from the project: each key of its groups, taken from
// the first section of `sections` that sets it.
class StepOptions {
public:
    StepOptions(const Project& p, std::vector<std::string> s, std::vector<const std::vector<Spec>*> g)
        : project(p), sections(std::move(s)), groups(std::move(g)) {}

    const ProjectValue* value(const std::string& key) const {
        for (const std::string& s : sections) {
            const auto section = project.sections.find(s);
            if (section != project.sections.end() && section->second.count(key)) {
                return &section->second.at(key);
            }
        }
        return nullptr;
    }

    // Every option the project sets, with its values; a flag with none.
    Options options(const std::vector<std::string>& leaveOut = {}) const {
        Options out;
        for (const std::vector<Spec>* group : groups) {
            for (const Spec& spec : *group) {
                const ProjectValue* v = value(spec.key);
                if (!v || std::find(leaveOut.begin(), leaveOut.end(), spec.key) != leaveOut.end()) {
                    continue;
                }
                if (spec.kind == Flag) {
                    if (v->items.at(0) == spec.flagWhen) {
                        out.push_back({spec.option, {}});
                    }
                } else if (!(spec.kind == List && v->items.empty())) {
                    out.push_back({spec.option, v->items});
                }
            }
        }
        return out;
    }

    bool takes(const std::string& option) const {
        for (const std::vector<Spec>* group : groups) {
            for (const Spec& spec : *group) {
                if (option == spec.option) {
                    return true;
                }
            }
        }
        return false;
    }

private:
    const Project& project;
    const std::vector<std::string> sections;
    const std::vector<const std::vector<Spec>*> groups;
};

// What the command line says wins over what the file says, in every step
// that takes the option.
void override(Options& options, const StepOptions& step, const Options& overrides) {
    for (const auto& o : overrides) {
        if (!step.takes(o.first)) {
            continue;
        }
        options.erase(std::remove_if(options.begin(), options.end(),
                                     [&](const auto& existing) { return existing.first == o.first; }),
                      options.end());
        options.push_back(o);
    }
}

std::vector<std::string> flatten(const Options& options) {
    std::vector<std::string> args;
    for (const auto& o : options) {
        if (o.second.empty()) {
            args.push_back(o.first);
        }
        for (const std::string& v : o.second) {
            args.push_back(o.first + "=" + v);
        }
    }
    return args;
}

bool wanted(const std::vector<std::string>& list, const std::string& what) {
    return list.empty() || std::find(list.begin(), list.end(), what) != list.end();
}

const std::vector<Spec>& groupOf(const std::string& section, size_t index) {
    return *schema().at(section).at(index);
}

} // namespace

bool overrideTakesValue(const std::string& option) {
    for (const auto& section : schema()) {
        for (const std::vector<Spec>* group : section.second) {
            for (const Spec& spec : *group) {
                if (option == spec.option) {
                    return spec.kind != Flag;
                }
            }
        }
    }
    throw ProjectError("no step of a build takes " + option);
}

std::vector<BuildStep> buildSteps(const Project& project, const std::vector<std::string>& targets,
                                  const std::vector<std::string>& only, const Options& overrides) {
    std::vector<BuildStep> steps;
    const fs::path dist = project.file.parent_path() / "dist";
    for (const std::string& target : projectTargets()) {
        if (!project.has(target) || !wanted(targets, target)) {
            continue;
        }
        const std::vector<const std::vector<Spec>*> imageGroups = schema().at(target);
        StepOptions image(project, {target, "application"}, imageGroups);
        Options imageOptions = image.options();
        if (!image.value("output")) {
            imageOptions.push_back({"--output", {(dist / target / fs::u8path(image.value("name")->items[0])).u8string()}});
        }
        override(imageOptions, image, overrides);
        const std::string imageDir = std::find_if(imageOptions.begin(), imageOptions.end(), [](const auto& o) {
            return o.first == "--output";
        })->second.back();
        if (project.has(target + ".jlink") && wanted(only, "runtime")) {
            // The runtime for this application, where the image takes it from.
            const std::vector<const std::vector<Spec>*> groups = {&groupOf(target + ".jlink", 0), &groupOf(target, 0)};
            StepOptions made(project, {target + ".jlink", target, "application"}, groups);
            Options options = made.options();
            options.erase(std::remove_if(options.begin(), options.end(), [&](const auto& o) {
                              static const std::vector<std::string> kept = {
                                  "--jdk", "--jmods", "--add-module", "--no-warned-modules", "--input",
                                  "--main-jar", "--main-class", "--class-path", "--main-module",
                                  "--module-path", "--absent-module"};
                              return std::find(kept.begin(), kept.end(), o.first) == kept.end();
                          }),
                          options.end());
            override(options, StepOptions(project, {}, {&groupOf(target + ".jlink", 0)}), overrides);
            options.push_back({"--output", {image.value("runtime")->items[0]}});
            options.push_back({"--replace", {}});
            std::vector<std::string> args = {"runtime"};
            for (const std::string& a : flatten(options)) {
                args.push_back(a);
            }
            steps.push_back({target, "runtime", args, fs::path()});
        }
        if (wanted(only, "image")) {
            imageOptions.push_back({"--replace", {}});
            steps.push_back({target, "image", flatten(imageOptions), fs::path()});
        }
        // A step that signs what it makes takes the signing section's keys too.
        const std::string signing = target + ".signing";
        const auto package = [&](const std::string& what, const std::string& section,
                                 std::vector<std::string> sections) {
            if (!project.has(section) || !wanted(only, what)) {
                return;
            }
            std::vector<const std::vector<Spec>*> groups = schema().at(section);
            if (project.has(signing) && (what == "msi" || what == "rpm")) {
                sections.push_back(signing);
                groups.push_back(&groupOf(signing, 0));
            }
            StepOptions step(project, sections, groups);
            Options options = step.options();
            override(options, step, overrides);
            options.push_back({"--replace", {}});
            const bool named = std::any_of(options.begin(), options.end(),
                                           [](const auto& o) { return o.first == "--output"; });
            std::vector<std::string> args = {what == "msi" ? "installer" : what, imageDir};
            for (const std::string& a : flatten(options)) {
                args.push_back(a);
            }
            steps.push_back({target, what, args, named ? fs::path() : dist});
        };
        if (target == "windows") {
            package("msi", "windows.installer", {"windows.installer"});
            const bool msiSigns = project.has("windows.installer") && wanted(only, "msi");
            if (project.has(signing) && wanted(only, "image") && !msiSigns) {
                // No installer to sign the image on its way: a step of its own.
                StepOptions step(project, {signing}, {&groupOf(signing, 0)});
                Options options = step.options();
                override(options, step, overrides);
                std::vector<std::string> args = {"sign", imageDir};
                for (const std::string& a : flatten(options)) {
                    args.push_back(a);
                }
                steps.push_back({target, "sign", args, fs::path()});
            }
        } else {
            package("deb", "linux.deb", {"linux.deb", "linux.packages"});
            package("rpm", "linux.rpm", {"linux.rpm", "linux.packages"});
            if (project.has("linux.repository") && wanted(only, "repository")) {
                StepOptions step(project, {"linux.repository"}, {&groupOf("linux.repository", 0)});
                Options options = step.options({"folder"});
                override(options, step, overrides);
                std::vector<std::string> args = {"repository", step.value("folder")->items.at(0)};
                for (const std::string& a : flatten(options)) {
                    args.push_back(a);
                }
                BuildStep repository{target, "repository", args, fs::path()};
                repository.takesPackages = true;
                steps.push_back(repository);
            }
        }
    }
    return steps;
}

// What inspecting a Linux image adds: one road, and no other runtime home.
#include "Inspection.h"

std::string launchRoad(const AppLauncher&, bool) {
    return "in-process (a Linux launcher always starts the runtime in its own process)";
}

// The runtime's libjli.so takes its home from where it lies, nothing else.
void checkRuntimeHome(Inspection&, const tstring&) {}

// Linux images carry no Authenticode signatures.
void checkSignatures(Inspection&, const tstring&) {}

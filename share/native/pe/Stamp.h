// Makes a copy of the launcher the application's own program: its icon, its
// version information, and the launcher's manifest (optionally with the
// UTF-8 code page). Stamping a stamped file again gives the same bytes.
#ifndef STAMP_H
#define STAMP_H

#include <string>

#include "Bytes.h"

struct Branding {
    std::string name;        // the application's name
    std::string fileName;    // its executable, e.g. "MyApp.exe"
    std::string version = "1.0";
    std::string vendor;      // these default to the name when empty
    std::string description;
    std::string productName;
    std::string copyright;   // left out when empty
    Bytes icon;              // a .ico file; empty keeps the launcher's icons
    std::string iconWhat;    // names the icon file in messages
    bool utf8CodePage = false;
};

// `what` names the executable in messages. All text is UTF-8.
Bytes stampExecutable(const Bytes& exe, const std::string& what, const Branding& branding);

#endif // STAMP_H

// Facts about the running process: paths, command line, environment.
#ifndef SYSINFO_H
#define SYSINFO_H

#include <new>

#include "tstrings.h"

namespace SysInfo {

// The wall-clock time of a log record.
struct LocalTime {
    unsigned year, month, day, hour, minute, second, milliseconds;
};
LocalTime localTime();
unsigned long processId();
unsigned long threadId();

enum CommandArgProgramNameMode { WithProgramName = 0, WithoutProgramName = 1 };

tstring getSystemDirectory();
tstring getProcessModulePath();
// The platform's handle of the module (executable or library) this code is in.
void* getCurrentModuleHandle();
tstring getCurrentModulePath();
tstring_array getCommandArgs(CommandArgProgramNameMode mode = WithoutProgramName);

tstring getEnvVariable(const tstring& name);
tstring getEnvVariable(const std::nothrow_t&, const tstring& name,
                       const tstring& defValue);
void setEnvVariable(const tstring& name, const tstring& value);

} // namespace SysInfo

#endif // SYSINFO_H

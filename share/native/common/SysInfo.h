// Facts about the running process: paths, command line, environment.
#ifndef SYSINFO_H
#define SYSINFO_H

#include <new>

#include "WinSysHeaders.h"
#include "tstrings.h"

namespace SysInfo {

enum CommandArgProgramNameMode { WithProgramName = 0, WithoutProgramName = 1 };

tstring getSystemDirectory();
tstring getProcessModulePath();
HMODULE getCurrentModuleHandle();
tstring getCurrentModulePath();
tstring_array getCommandArgs(CommandArgProgramNameMode mode = WithoutProgramName);

tstring getEnvVariable(const tstring& name);
tstring getEnvVariable(const std::nothrow_t&, const tstring& name,
                       const tstring& defValue);
void setEnvVariable(const tstring& name, const tstring& value);

} // namespace SysInfo

#endif // SYSINFO_H

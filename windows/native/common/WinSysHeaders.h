// The only place that includes <windows.h>: every unit sees the same macros.
#ifndef WINSYSHEADERS_H
#define WINSYSHEADERS_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
// MinGW-w64 still defaults to an older target; AddDllDirectory and
// LOAD_LIBRARY_SEARCH_* need Windows 7 (0x0601) headers.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif

#include <windows.h>
#include <shellapi.h>

#endif // WINSYSHEADERS_H

#pragma once
// Kernel calls newer than the oldest Windows the program supports, looked up
// at run time, each with what stands in for it where it is missing.
#include <windows.h>

namespace nolpa::platform::win32 {

// CancelIoEx(handle, overlapped); where it is missing, CancelIo(handle),
// which cancels this thread's requests on the handle: the one it waits for.
BOOL CancelRequest(HANDLE handle, OVERLAPPED* overlapped);

// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32): from now on a
// library loaded by this process, and every library such a library imports,
// is looked for in the system folder only, never in the program's folder or
// the current one. False where the call is missing or fails.
bool RestrictDllSearchToSystemFolder();

// True when LoadLibraryEx takes the LOAD_LIBRARY_SEARCH_* flags (Windows 8
// on, and Windows 7 with the update that brought SetDefaultDllDirectories).
bool LibrarySearchFlagsKnown();

}  // namespace nolpa::platform::win32

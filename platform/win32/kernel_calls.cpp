#include "platform/win32/kernel_calls.h"

namespace nolpa::platform::win32 {

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, not declared for the Windows version the
// headers are kept to.
constexpr DWORD kSearchSystem32 = 0x00000800;

template <typename Function>
Function KernelFunction(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

}  // namespace

BOOL CancelRequest(HANDLE handle, OVERLAPPED* overlapped) {
  using CancelIoExFn = BOOL(WINAPI*)(HANDLE, OVERLAPPED*);
  static const auto cancelIoEx = KernelFunction<CancelIoExFn>("CancelIoEx");
  return cancelIoEx != nullptr ? cancelIoEx(handle, overlapped) : CancelIo(handle);
}

bool RestrictDllSearchToSystemFolder() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
  return setDefault != nullptr && setDefault(kSearchSystem32) != FALSE;
}

bool LibrarySearchFlagsKnown() {
  // The update brought both calls together.
  static const bool known = KernelFunction<FARPROC>("AddDllDirectory") != nullptr;
  return known;
}

}  // namespace nolpa::platform::win32

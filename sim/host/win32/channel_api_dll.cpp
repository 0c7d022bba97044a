// The channel-API stand-in as a real library file, for NOLPAID-sim.exe: the
// serial-number library loads it with LoadLibraryExA and binds its nine C
// exports by name, as it would the maker's channel API. The file holds no
// printer of its own: each call goes, through the three functions the
// program exports (app/sim_channel_api_host.h), to the stand-in of the
// program's simulated world, which also counts every load and free. Loaded
// into any other process, or for a file the world has not registered, its
// load is refused.
#include <windows.h>

namespace {

using ExportedFunction = void (*)();
constexpr int kFailed = -1;
// The program counted this load: a refused one is not freed either (the
// loader still calls the entry point for the detach).
bool counted = false;

ExportedFunction ProgramExport(const char* name) {
  return reinterpret_cast<ExportedFunction>(GetProcAddress(GetModuleHandleA(nullptr), name));
}

// Looked up on every call: the program may have ended its world meanwhile.
template <typename Fn, typename... Args>
int Forward(const char* name, Args... args) {
  using ExportOf = ExportedFunction(__cdecl*)(const char*);
  const auto exportOf = reinterpret_cast<ExportOf>(ProgramExport("SimChannelApiExport"));
  const auto target = exportOf != nullptr ? reinterpret_cast<Fn>(exportOf(name)) : nullptr;
  return target != nullptr ? target(args...) : kFailed;
}

bool Loaded(HINSTANCE self) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(self, path, sizeof path);
  using LoadedFn = int(__cdecl*)(const char*);
  const auto loaded = reinterpret_cast<LoadedFn>(ProgramExport("SimChannelApiLoaded"));
  return length > 0 && length < sizeof path && loaded != nullptr && loaded(path) == 1;
}

void Freed() {
  using FreedFn = void(__cdecl*)();
  if (const auto freed = reinterpret_cast<FreedFn>(ProgramExport("SimChannelApiFreed"))) freed();
}

}  // namespace

extern "C" {

int __cdecl ZQInitialize(void) { return Forward<int(__cdecl*)()>("ZQInitialize"); }
int __cdecl ZQRelease(void) { return Forward<int(__cdecl*)()>("ZQRelease"); }
int __cdecl ZQGetAvailableChannel(int byName, const char* printer, unsigned char* buffer,
                                  int* size) {
  return Forward<int(__cdecl*)(int, const char*, unsigned char*, int*)>(
      "ZQGetAvailableChannel", byName, printer, buffer, size);
}
int __cdecl ZQOpenChannel(int byName, const char* printer, unsigned int type) {
  return Forward<int(__cdecl*)(int, const char*, unsigned int)>("ZQOpenChannel", byName, printer,
                                                                type);
}
int __cdecl ZQCloseChannel(int channel) {
  return Forward<int(__cdecl*)(int)>("ZQCloseChannel", channel);
}
int __cdecl ZQReceive(int channel, unsigned char* buffer, int* size, int waitMs) {
  return Forward<int(__cdecl*)(int, unsigned char*, int*, int)>("ZQReceive", channel, buffer, size,
                                                                waitMs);
}
int __cdecl ZQSend(int channel, const unsigned char* bytes, int count) {
  return Forward<int(__cdecl*)(int, const unsigned char*, int)>("ZQSend", channel, bytes, count);
}
int __cdecl ZQGetStatus(int channel, unsigned char* buffer, int* size) {
  return Forward<int(__cdecl*)(int, unsigned char*, int*)>("ZQGetStatus", channel, buffer, size);
}
int __cdecl ZQGetDeviceID(int byName, const char* printer, char* buffer, int* size) {
  return Forward<int(__cdecl*)(int, const char*, char*, int*)>("ZQGetDeviceID", byName, printer,
                                                               buffer, size);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    counted = Loaded(self);
    return counted ? TRUE : FALSE;
  }
  if (reason == DLL_PROCESS_DETACH && counted) {
    counted = false;
    Freed();
  }
  return TRUE;
}

}  // extern "C"

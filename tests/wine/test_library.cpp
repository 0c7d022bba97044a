// A small library for the module-loading adapter's test: one export by its
// undecorated C name, as the serial-number library exports its four.
#include <cstring>

extern "C" __declspec(dllexport) int __cdecl GetPrinterFirmwareVersion(const char* path,
                                                                       char* buffer, int size,
                                                                       int* length) {
  static const char kVersion[] = "T1.00";
  if (path == nullptr || length == nullptr) return -1;
  *length = static_cast<int>(sizeof kVersion);
  if (buffer == nullptr || size < *length) return -2;
  std::memcpy(buffer, kVersion, sizeof kVersion);
  return 0;
}

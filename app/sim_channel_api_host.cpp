#include "app/sim_channel_api_host.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "platform/win32/win32_program_files.h"

namespace nolpa::app {
namespace {

constexpr char kResource[] = "SIMCHANNELAPI";

sim::ChannelApiStandIn* host = nullptr;

bool FileHolds(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<std::uint8_t> held(bytes.size() + 1);
  DWORD read = 0;
  const bool ok = ReadFile(file, held.data(), static_cast<DWORD>(held.size()), &read, nullptr) != 0;
  CloseHandle(file);
  return ok && read == bytes.size() && std::equal(bytes.begin(), bytes.end(), held.begin());
}

bool WriteWhole(const std::string& path, const std::vector<std::uint8_t>& bytes, bool replace) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                            replace ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
      written == bytes.size();
  CloseHandle(file);
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}

bool CarriedImage(std::vector<std::uint8_t>* image) {
  platform::win32::Win32ProgramFiles program;
  return program.RcDataResource(kResource, image);
}

}  // namespace

void SetChannelApiHost(sim::ChannelApiStandIn* standIn) { host = standIn; }

InstalledChannelApiFiles InstallChannelApiFiles(const std::vector<std::string>& paths,
                                                const std::string& ownFolder) {
  std::vector<std::uint8_t> image;
  const bool carried = CarriedImage(&image);
  InstalledChannelApiFiles result;
  for (const std::string& path : paths) {
    // The world joins its system-folder files onto exactly this folder.
    const bool own = !ownFolder.empty() && path.starts_with(ownFolder + "\\");
    if (carried && FileHolds(path, image)) continue;
    if (!carried || !WriteWhole(path, image, own))
      result.notWritten.push_back(path);
    else if (!own)
      result.writtenElsewhere.push_back(path);
  }
  return result;
}

std::vector<std::string> RemoveChannelApiFiles(const std::vector<std::string>& written) {
  std::vector<std::uint8_t> image;
  const bool carried = CarriedImage(&image);
  std::vector<std::string> left;
  for (const std::string& path : written)
    if (!carried || !FileHolds(path, image) || !DeleteFileA(path.c_str())) left.push_back(path);
  return left;
}

}  // namespace nolpa::app

// Called by the stand-in file's DllMain, and on each of its calls: the
// module is loaded and freed for real, the calls go to the world's stand-in.
extern "C" __declspec(dllexport) int SimChannelApiLoaded(const char* path) {
  return nolpa::app::host != nullptr && path != nullptr && nolpa::app::host->ModuleLoaded(path) ? 1
                                                                                                : 0;
}

extern "C" __declspec(dllexport) void SimChannelApiFreed(void) {
  if (nolpa::app::host != nullptr) nolpa::app::host->ModuleFreed();
}

extern "C" __declspec(dllexport) nolpa::platform::ExportedFunction
    SimChannelApiExport(const char* name) {
  return nolpa::app::host != nullptr ? nolpa::app::host->ExportNamed(name) : nullptr;
}

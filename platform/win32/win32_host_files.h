#pragma once
// The real host files: one Win32 call per operation (writing a file anew is
// its create, write and close).
#include "platform/host_files.h"

namespace nolpa::platform::win32 {

class Win32HostFiles final : public HostFiles {
 public:
  std::uint32_t TempPath(char* buffer, std::uint32_t size) override;
  bool CreateFolder(const std::string& path) override;
  bool IsReparsePoint(const std::string& path) override;
  bool CreateNewFile(const std::string& path, std::span<const std::uint8_t> bytes) override;
  FileHold HoldFile(const std::string& path) override;
  bool ReadHeldFile(FileHold hold, std::uint32_t limit, std::vector<std::uint8_t>* bytes) override;
  void ReleaseFile(FileHold hold) override;
  bool SetNormalAttributes(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
};

}  // namespace nolpa::platform::win32

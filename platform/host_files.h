#pragma once
// Files and folders on the host: the temporary folder, where the program
// writes the serial-number library out and removes it again.
// Paths are UTF-8, so that a folder named in any script (a user name outside
// the system's ANSI code page) is reached as it is.
// Real implementation: GetTempPathW, CreateDirectoryW, GetFileAttributesW,
// CreateFileW / WriteFile / ReadFile / CloseHandle, SetFileAttributesW,
// DeleteFileW, RemoveDirectoryW. The simulator implements the same contract
// in memory.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nolpa::platform {

// Opaque handle of a file held open by HoldFile; the numeric value of a
// Win32 HANDLE.
using FileHold = std::uintptr_t;
// INVALID_HANDLE_VALUE: what a failed hold returns.
inline constexpr FileHold kNoFileHold = ~FileHold{0};

class HostFiles {
 public:
  virtual ~HostFiles() = default;

  // The user's temporary folder with its trailing backslash, in UTF-8.
  // Returns the number of bytes copied, NUL not counted, when the path fits
  // in `size` bytes with its NUL; otherwise the size needed (NUL counted)
  // and nothing is copied; 0 on failure.
  virtual std::uint32_t TempPath(char* buffer, std::uint32_t size) = 0;

  // CreateDirectoryA with default security. False when it fails, an
  // existing folder included.
  virtual bool CreateFolder(const std::string& path) = 0;

  // GetFileAttributesA: true when `path` itself (not what it leads to) is a
  // reparse point (FILE_ATTRIBUTE_REPARSE_POINT, 0x400): a junction, a
  // symbolic link or a mount point. False when it is none, or when the query
  // fails (nothing at `path`).
  virtual bool IsReparsePoint(const std::string& path) = 0;

  // Creates a new file (CREATE_NEW), writes all of `bytes` and closes it,
  // denying any sharing meanwhile. No attributes are set. False when
  // anything exists at `path` already (a file, a link, a folder), when the
  // file cannot be created, or when not every byte is written.
  virtual bool CreateNewFile(const std::string& path, std::span<const std::uint8_t> bytes) = 0;

  // Opens an existing file for reading with a share mode that lets others
  // read it but not write, delete or rename it, until ReleaseFile. Fails
  // (kNoFileHold) when the file is missing or someone holds it open for
  // writing or deleting.
  virtual FileHold HoldFile(const std::string& path) = 0;

  // Reads the held file's bytes from its start, at most `limit` of them.
  // False when the read fails.
  virtual bool ReadHeldFile(FileHold hold, std::uint32_t limit,
                            std::vector<std::uint8_t>* bytes) = 0;

  // CloseHandle of a hold. Releasing kNoFileHold does nothing.
  virtual void ReleaseFile(FileHold hold) = 0;

  // SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL); for files and folders.
  virtual bool SetNormalAttributes(const std::string& path) = 0;

  // DeleteFileA. Fails when the file is missing, open without delete
  // sharing, or a loaded module's image.
  virtual bool RemoveFile(const std::string& path) = 0;

  // RemoveDirectoryA. Fails unless the folder exists and is empty.
  virtual bool RemoveFolder(const std::string& path) = 0;
};

}  // namespace nolpa::platform

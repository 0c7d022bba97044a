#pragma once
// The simulated host around the program: an in-memory file system (the
// temporary folder, files with their bytes and attributes, open holds and
// their share modes), a module table that loads a file only when its bytes
// are a known library image, and the program's own resources, path and INI
// files. Other processes of the same user act through the "AnotherProcess"
// calls; every call the program makes is recorded, and a hook runs before
// each, so a test can act between two of them.
//
//   HostSystem host;                       // holds resource FILE1 = the
//   host.Library().getUSBSerialNumber = …; // default library image
//   platform.hostFiles = &host.Files(); platform.modules = &host.Modules();
//   platform.program = &host.Program();
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/host_files.h"
#include "platform/modules.h"
#include "platform/program_files.h"
#include "sim/core/departures.h"

namespace nolpa::sim {

// FILE_ATTRIBUTE_ARCHIVE (what a new file gets) and FILE_ATTRIBUTE_NORMAL.
inline constexpr std::uint32_t kAttributeArchive = 0x20;
inline constexpr std::uint32_t kAttributeNormal = 0x80;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
// FILE_ATTRIBUTE_REPARSE_POINT: a junction or symbolic link.
inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;

// The behaviour behind a library image's exports. An empty function answers
// -9 (no printer found). Names in `missing` are not exported at all.
struct LibraryExports {
  std::function<int(const char* path, char* buffer, int size, int* length, int model)>
      getUSBSerialNumber;
  std::function<int(const char* path, const char* serial, int model)> setUSBSerialNumber;
  std::function<int(const char* path, char* buffer, int size, int* length)>
      getPrinterFirmwareVersion;
  std::function<int(const char* path, const unsigned char* command, int commandLength,
                    unsigned char* reply, int replySize, int* replyLength)>
      sendReceiveD4Command;
  std::vector<std::string> missing;
};

// One call the program made, as the host saw it: the operation ("TempPath",
// "CreateFolder", "IsReparsePoint", "CreateNewFile", "HoldFile", "ReadHeldFile",
// "ReleaseFile", "SetNormalAttributes", "RemoveFile", "RemoveFolder", "Load", "Export",
// "Free", "RcDataResource", "ExecutablePath", "IniString") and its path,
// name or key.
struct HostCall {
  std::string op;
  std::string what;
  bool ok = false;  // filled in after the call
};

class HostSystem : private platform::HostFiles,
                   private platform::Modules,
                   private platform::ProgramFiles {
 public:
  HostSystem();
  ~HostSystem() override;
  HostSystem(const HostSystem&) = delete;
  HostSystem& operator=(const HostSystem&) = delete;

  platform::HostFiles& Files() { return *this; }
  platform::Modules& Modules() { return *this; }
  platform::ProgramFiles& Program() { return *this; }

  DepartureLog& Departures() { return departures_; }
  const std::vector<HostCall>& Calls() const { return calls_; }
  // Runs before each call is carried out (after it is recorded).
  void SetBeforeCall(std::function<void(const HostCall&)> hook) { beforeCall_ = std::move(hook); }

  // --- The library images the module table knows ---
  // The bytes the program carries as resource FILE1 from the start; loading
  // a file with these bytes gives a module with Library()'s exports.
  static std::vector<std::uint8_t> DefaultLibraryImage();
  LibraryExports& Library() { return images_.front().exports; }
  // Another image the table can load (a different build of the library).
  LibraryExports& AddLibraryImage(std::vector<std::uint8_t> bytes);

  // --- The program ---
  void SetResource(const std::string& name, std::vector<std::uint8_t> bytes);
  void RemoveResource(const std::string& name);
  void SetExecutablePath(std::string path) { executablePath_ = std::move(path); }
  const std::string& ExecutableFile() const { return executablePath_; }
  void SetIniFile(const std::string& path, std::string text);

  // --- The file system ---
  // The temporary folder as GetTempPathA reports it (trailing backslash);
  // the folder itself exists.
  void SetTempPath(std::string path);
  const std::string& TempPathText() const { return tempPath_; }
  // A folder whose contents cannot be created or replaced.
  void MakeFolderUnwritable(const std::string& path);
  bool FileExists(const std::string& path) const;
  bool FolderExists(const std::string& path) const;
  std::vector<std::uint8_t> FileBytes(const std::string& path) const;
  std::uint32_t Attributes(const std::string& path) const;  // 0 when missing

  // Another process of the same user: creates the folder (and the file)
  // when missing, or writes over the file. False when a hold or a loaded
  // module denies writing.
  bool AnotherProcessWrites(const std::string& path, std::vector<std::uint8_t> bytes,
                            std::uint32_t attributes = kAttributeArchive);
  // Another process makes `path` a hard link to the existing file `target`
  // (say a file of the system it may not write itself). False when `path`
  // is taken or `target` missing.
  bool AnotherProcessLinks(const std::string& path, const std::string& target);
  // Another process deletes the file; false when that is denied.
  bool AnotherProcessDeletes(const std::string& path);
  // Another process makes the folder `path` a junction to the folder
  // `target` (which it creates when missing): every path through `path`
  // then leads into `target`. False when `path` exists already.
  bool AnotherProcessPlantsJunction(const std::string& path, const std::string& target);

  // What is open or loaded now: 0 and 0 after a clean close.
  std::size_t OpenHolds() const { return holds_.size(); }
  std::size_t LoadedModules() const { return modules_.size(); }
  std::size_t ModulesLoadedTotal() const { return modulesLoadedTotal_; }

 private:
  struct File {
    std::string name;  // as first written
    std::vector<std::uint8_t> bytes;
    std::uint32_t attributes = kAttributeArchive;
    std::string linkTarget{};  // key of the file a link names; empty: none
  };
  struct Image {
    std::vector<std::uint8_t> bytes;
    LibraryExports exports;
  };
  struct LoadedModule {
    std::string file;  // key of the file it was loaded from
    std::size_t image;
    int references;
  };

  // platform::HostFiles
  std::uint32_t TempPath(char* buffer, std::uint32_t size) override;
  bool CreateFolder(const std::string& path) override;
  bool IsReparsePoint(const std::string& path) override;
  bool CreateNewFile(const std::string& path, std::span<const std::uint8_t> bytes) override;
  platform::FileHold HoldFile(const std::string& path) override;
  bool ReadHeldFile(platform::FileHold hold, std::uint32_t limit,
                    std::vector<std::uint8_t>* bytes) override;
  void ReleaseFile(platform::FileHold hold) override;
  bool SetNormalAttributes(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  // platform::Modules
  platform::ModuleHandle Load(const std::string& path) override;
  platform::ExportedFunction Export(platform::ModuleHandle module, const char* name) override;
  void Free(platform::ModuleHandle module) override;
  // platform::ProgramFiles
  bool RcDataResource(const char* name, std::vector<std::uint8_t>* bytes) override;
  std::string ExecutablePath() override;
  std::string IniString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& fallback) override;

  // Records the call and runs the hook; returns the call's index.
  std::size_t Record(const char* op, const std::string& what);
  bool Done(std::size_t call, bool ok);
  void Note(const char* kind, const std::string& detail);
  bool Held(const std::string& key) const;
  bool InUseAsModule(const std::string& key) const;
  bool WritableFolderFor(const std::string& key) const;
  // The key `path` leads to: its folders followed through junctions; the
  // last part too when `followLast`.
  std::string Key(const std::string& path, bool followLast = true) const;
  // The bytes of the file at `key`, through a link.
  const std::vector<std::uint8_t>& Content(const std::string& key) const;

  // Declared first, so it outlives everything that may note in it.
  DepartureLog departures_;
  std::vector<HostCall> calls_;
  std::function<void(const HostCall&)> beforeCall_;

  std::deque<Image> images_;  // stable: loaded modules point into it
  std::map<std::string, std::vector<std::uint8_t>> resources_;
  std::string executablePath_ = "C:\\Program Files\\NOLPA\\NOLPAID.exe";
  std::map<std::string, std::string> iniFiles_;

  std::string tempPath_;
  std::set<std::string> folders_;  // keys
  std::map<std::string, std::uint32_t> folderAttributes_;
  std::set<std::string> unwritable_;
  std::map<std::string, std::string> junctions_;  // folder key -> target key
  std::map<std::string, File> files_;
  std::map<platform::FileHold, std::string> holds_;
  platform::FileHold nextHold_ = 0x700;

  std::map<platform::ModuleHandle, LoadedModule> modules_;
  platform::ModuleHandle nextModule_ = 0x10000000;
  std::size_t modulesLoadedTotal_ = 0;
};

// A path as the file system compares it: ASCII upper case folded, "/" as
// "\", no trailing backslash.
std::string HostPathKey(const std::string& path);

// The value of `key` in `section` of the INI text `text`, as
// GetPrivateProfileStringA finds it (names compared case ignored, blanks
// and one pair of quotes around the value dropped, cut at 2047 bytes);
// nothing when the section or key is missing.
std::optional<std::string> FindIniValue(const std::string& text, const std::string& section,
                                        const std::string& key);

}  // namespace nolpa::sim

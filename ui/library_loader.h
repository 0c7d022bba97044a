#pragma once
// The serial-number library's life in the program: written out from the
// program's resource "FILE1" to "<temp>NOLPAID\Morvalib.dll", loaded, its
// four entry points bound by name; removed again at close. And the extra
// model names of the INI file beside the program.
#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "serial_library/morvalib.h"

namespace nolpa::ui {

inline constexpr char kLibraryResource[] = "FILE1";
inline constexpr char kWorkingFolderName[] = "NOLPAID";
inline constexpr char kLibraryFileName[] = "\\Morvalib.dll";
// The buffer the paths are built in, NUL included (MAX_PATH).
inline constexpr std::size_t kPathBufferSize = 260;

inline constexpr char kModelSection[] = "AddDevice";
inline constexpr char kDefaultModel[] = "RK-L5200";
inline constexpr char kModelKeys[4][2] = {"1", "2", "3", "4"};

struct WorkingPaths {
  std::string folder;   // "<temp>NOLPAID"
  std::string library;  // "<temp>NOLPAID\Morvalib.dll"
};

// The working folder and library file under the user's temporary folder.
// nullopt when the system gives no temporary folder, or when the library
// path would not fit in kPathBufferSize bytes with its NUL.
std::optional<WorkingPaths> MakeWorkingPaths(platform::HostFiles& files);

struct LoadedLibrary {
  platform::ModuleHandle handle = 0;  // 0: not loaded, and every entry null
  GetUSBSerialNumberFn getUSBSerialNumber = nullptr;
  SetUSBSerialNumberFn setUSBSerialNumber = nullptr;
  GetPrinterFirmwareVersionFn getPrinterFirmwareVersion = nullptr;
  SendReceiveD4CommandFn sendReceiveD4Command = nullptr;
};

// Writes the library out (deleting a leftover file first) and loads it.
// The folder is writable by other processes of the user while this program
// runs with administrator rights, so the written file is held against
// writing and deleting and its bytes compared with the resource before it
// is loaded: a file that differs is never loaded and counts as an
// unloadable library (handle 0). So does a working folder that is a
// junction or link (a reparse point): nothing is deleted or written through
// it. Throws std::runtime_error when the resource is missing, the temporary
// folder path is unusable or too long, or the file cannot be created;
// nothing is loaded then.
LoadedLibrary LoadSerialLibrary(const platform::Platform& platform);

// FormClose's part: frees `handle` when it is not 0, then sets the library
// file and the working folder to normal attributes, deletes the file and
// removes the folder (only when empty). Every result is ignored. A working
// folder that is a reparse point is not touched.
void RemoveSerialLibrary(const platform::Platform& platform, platform::ModuleHandle handle);

// The program's INI file: its executable path with the extension replaced
// by ".ini" (appended when it has none); empty when the path is unknown.
std::string IniFilePath(const std::string& executablePath);

// Keys "1" to "4" of section "AddDevice" of the INI file; the default
// "RK-L5200" for each key, or all of them when the file is unknown. A key
// present with an empty value gives an empty name.
std::array<std::string, 4> ReadAddDeviceModels(platform::ProgramFiles& program);

}  // namespace nolpa::ui

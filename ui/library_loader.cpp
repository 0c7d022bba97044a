#include "ui/library_loader.h"

#include <stdexcept>
#include <vector>

namespace nolpa::ui {

namespace {

// Holds a file for as long as it is in scope.
class ScopedHold {
 public:
  ScopedHold(platform::HostFiles& files, const std::string& path)
      : files_(files), hold_(files.HoldFile(path)) {}
  ~ScopedHold() { files_.ReleaseFile(hold_); }
  ScopedHold(const ScopedHold&) = delete;
  ScopedHold& operator=(const ScopedHold&) = delete;
  bool Valid() const { return hold_ != platform::kNoFileHold; }
  platform::FileHold Get() const { return hold_; }

 private:
  platform::HostFiles& files_;
  platform::FileHold hold_;
};

// Loads the file only while it is held and holds exactly `image`.
platform::ModuleHandle LoadVerified(const platform::Platform& platform, const std::string& path,
                                    const std::vector<std::uint8_t>& image) {
  ScopedHold hold(*platform.hostFiles, path);
  if (!hold.Valid()) return 0;
  std::vector<std::uint8_t> onDisk;
  // One byte more than the image, so a longer file shows as different.
  const auto limit = static_cast<std::uint32_t>(image.size() + 1);
  if (!platform.hostFiles->ReadHeldFile(hold.Get(), limit, &onDisk) || onDisk != image) return 0;
  return platform.modules->Load(path);
}

template <typename Function>
Function Bind(platform::Modules& modules, platform::ModuleHandle handle, const char* name) {
  return reinterpret_cast<Function>(modules.Export(handle, name));
}

}  // namespace

std::optional<WorkingPaths> MakeWorkingPaths(platform::HostFiles& files) {
  char buffer[kPathBufferSize] = {};
  const std::uint32_t length = files.TempPath(buffer, kPathBufferSize);
  if (length == 0 || length >= kPathBufferSize) return std::nullopt;
  WorkingPaths paths;
  paths.folder = std::string(buffer, length) + kWorkingFolderName;
  paths.library = paths.folder + kLibraryFileName;
  if (paths.library.size() >= kPathBufferSize) return std::nullopt;
  return paths;
}

LoadedLibrary LoadSerialLibrary(const platform::Platform& platform) {
  std::vector<std::uint8_t> image;
  if (!platform.program->RcDataResource(kLibraryResource, &image))
    throw std::runtime_error(std::string("Resource ") + kLibraryResource + " not found");
  const std::optional<WorkingPaths> paths = MakeWorkingPaths(*platform.hostFiles);
  if (!paths)
    throw std::runtime_error("The temporary folder path is missing or too long for the library");
  platform.hostFiles->CreateFolder(paths->folder);
  // A junction or link planted in the folder's place would steer this
  // elevated program's delete and create into a folder of someone else's
  // choosing: such a folder is left alone, as an unloadable library is.
  if (platform.hostFiles->IsReparsePoint(paths->folder)) return {};
  // A leftover file is deleted and a new one created rather than written
  // over: what another process left there may be a link to a file of the
  // system, which this elevated program must not overwrite.
  platform.hostFiles->RemoveFile(paths->library);
  if (!platform.hostFiles->CreateNewFile(paths->library, image))
    throw std::runtime_error("Cannot create file \"" + paths->library + "\"");

  LoadedLibrary library;
  library.handle = LoadVerified(platform, paths->library, image);
  if (library.handle == 0) return library;
  platform::Modules& modules = *platform.modules;
  library.getUSBSerialNumber =
      Bind<GetUSBSerialNumberFn>(modules, library.handle, "GetUSBSerialNumber");
  library.setUSBSerialNumber =
      Bind<SetUSBSerialNumberFn>(modules, library.handle, "SetUSBSerialNumber");
  library.getPrinterFirmwareVersion =
      Bind<GetPrinterFirmwareVersionFn>(modules, library.handle, "GetPrinterFirmwareVersion");
  library.sendReceiveD4Command =
      Bind<SendReceiveD4CommandFn>(modules, library.handle, "SendReceiveD4Command");
  return library;
}

void RemoveSerialLibrary(const platform::Platform& platform, platform::ModuleHandle handle) {
  if (handle != 0) platform.modules->Free(handle);
  const std::optional<WorkingPaths> paths = MakeWorkingPaths(*platform.hostFiles);
  if (!paths) return;
  platform::HostFiles& files = *platform.hostFiles;
  if (files.IsReparsePoint(paths->folder)) return;
  files.SetNormalAttributes(paths->library);
  files.SetNormalAttributes(paths->folder);
  files.RemoveFile(paths->library);
  files.RemoveFolder(paths->folder);
}

std::string IniFilePath(const std::string& executablePath) {
  if (executablePath.empty()) return {};
  const std::size_t mark = executablePath.find_last_of(".\\/:");
  const bool hasExtension = mark != std::string::npos && executablePath[mark] == '.';
  return (hasExtension ? executablePath.substr(0, mark) : executablePath) + ".ini";
}

std::array<std::string, 4> ReadAddDeviceModels(platform::ProgramFiles& program) {
  std::array<std::string, 4> models;
  models.fill(kDefaultModel);
  const std::string file = IniFilePath(program.ExecutablePath());
  if (file.empty()) return models;
  for (std::size_t k = 0; k < models.size(); ++k)
    models[k] = program.IniString(file, kModelSection, kModelKeys[k], kDefaultModel);
  return models;
}

}  // namespace nolpa::ui

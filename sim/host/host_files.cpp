// The simulated host's file system: folders, files, holds.
#include <algorithm>
#include <cstring>

#include "sim/host/host_system.h"

namespace nolpa::sim {

namespace {

constexpr char kHostName[] = "host";
constexpr char kDefaultTempPath[] = "C:\\Users\\operator\\AppData\\Local\\Temp\\";

// The folder part of a key ("" for a root like "C:").
std::string ParentKey(const std::string& key) {
  const std::size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

}  // namespace

std::string HostPathKey(const std::string& path) {
  std::string key;
  key.reserve(path.size());
  for (char c : path) {
    if (c == '/') c = '\\';
    key.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  while (key.size() > 1 && key.back() == '\\') key.pop_back();
  return key;
}

std::string HostSystem::Key(const std::string& path, bool followLast) const {
  std::string key = HostPathKey(path);
  // A junction inside a junction's target is followed too; a loop of them
  // ends after a few hops, as the system's own limit ends it.
  for (int hops = 0; hops < 8; ++hops) {
    const auto through = std::find_if(junctions_.begin(), junctions_.end(), [&](const auto& j) {
      const std::string& at = j.first;
      if (key == at) return followLast;
      return key.size() > at.size() && key.compare(0, at.size(), at) == 0 && key[at.size()] == '\\';
    });
    if (through == junctions_.end()) break;
    key = through->second + key.substr(through->first.size());
  }
  return key;
}

HostSystem::HostSystem() {
  images_.push_back({DefaultLibraryImage(), {}});
  resources_["FILE1"] = DefaultLibraryImage();
  SetTempPath(kDefaultTempPath);
  folders_.insert(HostPathKey(ParentKey(HostPathKey(executablePath_))));
}

std::vector<std::uint8_t> HostSystem::DefaultLibraryImage() {
  static const char kText[] = "MZ simulated serial-number library image";
  std::vector<std::uint8_t> image(kText, kText + sizeof kText);
  for (int i = 0; i < 200; ++i) image.push_back(static_cast<std::uint8_t>(i * 7 + 3));
  return image;
}

void HostSystem::SetTempPath(std::string path) {
  tempPath_ = std::move(path);
  // Every folder on the way exists.
  for (std::string key = HostPathKey(tempPath_); !key.empty(); key = ParentKey(key))
    folders_.insert(key);
}

void HostSystem::MakeFolderUnwritable(const std::string& path) {
  unwritable_.insert(HostPathKey(path));
}

std::size_t HostSystem::Record(const char* op, const std::string& what) {
  calls_.push_back({op, what, false});
  const std::size_t index = calls_.size() - 1;
  if (beforeCall_) beforeCall_(calls_[index]);
  return index;
}

bool HostSystem::Done(std::size_t call, bool ok) {
  calls_[call].ok = ok;
  return ok;
}

void HostSystem::Note(const char* kind, const std::string& detail) {
  departures_.Note({0, kHostName, kind, detail});
}

bool HostSystem::Held(const std::string& key) const {
  return std::any_of(holds_.begin(), holds_.end(),
                     [&key](const auto& hold) { return hold.second == key; });
}

bool HostSystem::InUseAsModule(const std::string& key) const {
  return std::any_of(modules_.begin(), modules_.end(),
                     [&key](const auto& module) { return module.second.file == key; });
}

bool HostSystem::WritableFolderFor(const std::string& key) const {
  const std::string parent = ParentKey(key);
  return folders_.count(parent) != 0 && unwritable_.count(parent) == 0;
}

bool HostSystem::FileExists(const std::string& path) const { return files_.count(Key(path)) != 0; }

bool HostSystem::FolderExists(const std::string& path) const {
  return folders_.count(Key(path)) != 0;
}

const std::vector<std::uint8_t>& HostSystem::Content(const std::string& key) const {
  const File& file = files_.at(key);
  return file.linkTarget.empty() ? file.bytes : files_.at(file.linkTarget).bytes;
}

std::vector<std::uint8_t> HostSystem::FileBytes(const std::string& path) const {
  const std::string key = Key(path);
  return files_.count(key) == 0 ? std::vector<std::uint8_t>{} : Content(key);
}

bool HostSystem::AnotherProcessLinks(const std::string& path, const std::string& target) {
  const std::string key = Key(path);
  const std::string targetKey = Key(target);
  if (files_.count(key) != 0 || files_.count(targetKey) == 0) return false;
  for (std::string folder = ParentKey(key); !folder.empty(); folder = ParentKey(folder))
    folders_.insert(folder);
  files_[key] = {path, {}, files_.at(targetKey).attributes, targetKey};
  return true;
}

std::uint32_t HostSystem::Attributes(const std::string& path) const {
  const std::string key = Key(path, false);
  if (const auto it = files_.find(key); it != files_.end()) return it->second.attributes;
  if (folders_.count(key) == 0) return 0;
  if (junctions_.count(key) != 0) return kAttributeDirectory | kAttributeReparsePoint;
  const auto it = folderAttributes_.find(key);
  return it == folderAttributes_.end() ? kAttributeDirectory : it->second;
}

bool HostSystem::AnotherProcessWrites(const std::string& path, std::vector<std::uint8_t> bytes,
                                      std::uint32_t attributes) {
  const std::string key = Key(path);
  if (Held(key) || InUseAsModule(key)) return false;
  for (std::string folder = ParentKey(key); !folder.empty(); folder = ParentKey(folder))
    folders_.insert(folder);
  files_[key] = {path, std::move(bytes), attributes};
  return true;
}

bool HostSystem::AnotherProcessDeletes(const std::string& path) {
  const std::string key = Key(path);
  if (Held(key) || InUseAsModule(key)) return false;
  return files_.erase(key) != 0;
}

bool HostSystem::AnotherProcessPlantsJunction(const std::string& path, const std::string& target) {
  const std::string key = Key(path, false);
  const std::string targetKey = Key(target);
  if (folders_.count(key) != 0 || files_.count(key) != 0) return false;
  for (std::string folder = targetKey; !folder.empty(); folder = ParentKey(folder))
    folders_.insert(folder);
  folders_.insert(key);
  junctions_[key] = targetKey;
  return true;
}

std::uint32_t HostSystem::TempPath(char* buffer, std::uint32_t size) {
  const std::size_t call = Record("TempPath", "");
  const auto length = static_cast<std::uint32_t>(tempPath_.size());
  if (length + 1 > size) {
    Done(call, false);
    return length + 1;
  }
  std::memcpy(buffer, tempPath_.c_str(), length + 1);
  Done(call, true);
  return length;
}

bool HostSystem::CreateFolder(const std::string& path) {
  const std::size_t call = Record("CreateFolder", path);
  const std::string key = Key(path, false);
  if (folders_.count(key) != 0 || files_.count(key) != 0 || !WritableFolderFor(key))
    return Done(call, false);
  folders_.insert(key);
  return Done(call, true);
}

bool HostSystem::IsReparsePoint(const std::string& path) {
  const std::size_t call = Record("IsReparsePoint", path);
  return Done(call, junctions_.count(Key(path, false)) != 0);
}

bool HostSystem::CreateNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::size_t call = Record("CreateNewFile", path);
  const std::string key = Key(path);
  if (!WritableFolderFor(key) || folders_.count(key) != 0 || files_.count(key) != 0)
    return Done(call, false);
  files_[key] = {path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), kAttributeArchive};
  return Done(call, true);
}

platform::FileHold HostSystem::HoldFile(const std::string& path) {
  const std::size_t call = Record("HoldFile", path);
  const std::string key = Key(path);
  if (files_.count(key) == 0) {
    Done(call, false);
    return platform::kNoFileHold;
  }
  const platform::FileHold hold = nextHold_;
  nextHold_ += 4;
  holds_[hold] = key;
  Done(call, true);
  return hold;
}

bool HostSystem::ReadHeldFile(platform::FileHold hold, std::uint32_t limit,
                              std::vector<std::uint8_t>* bytes) {
  const auto it = holds_.find(hold);
  const std::size_t call = Record("ReadHeldFile", it != holds_.end() ? it->second : "");
  bytes->clear();
  if (it == holds_.end()) return Done(call, false);
  const std::vector<std::uint8_t>& content = Content(it->second);
  bytes->assign(content.begin(), content.begin() + std::min<std::size_t>(limit, content.size()));
  return Done(call, true);
}

void HostSystem::ReleaseFile(platform::FileHold hold) {
  if (hold == platform::kNoFileHold) return;
  const auto it = holds_.find(hold);
  const std::size_t call = Record("ReleaseFile", it != holds_.end() ? it->second : "");
  if (it == holds_.end()) {
    Note(departure::kFileReleasedTwice, std::to_string(hold));
    Done(call, false);
    return;
  }
  holds_.erase(it);
  Done(call, true);
}

bool HostSystem::SetNormalAttributes(const std::string& path) {
  const std::size_t call = Record("SetNormalAttributes", path);
  const std::string key = Key(path, false);
  if (auto it = files_.find(key); it != files_.end()) {
    it->second.attributes = kAttributeNormal;
    return Done(call, true);
  }
  if (folders_.count(key) == 0) return Done(call, false);
  // A folder keeps its directory bit whatever it is set to, a junction its
  // reparse bit (Attributes reports both).
  folderAttributes_[key] = kAttributeDirectory;
  return Done(call, true);
}

bool HostSystem::RemoveFile(const std::string& path) {
  const std::size_t call = Record("RemoveFile", path);
  const std::string key = Key(path);
  const auto it = files_.find(key);
  if (it == files_.end() || Held(key) || InUseAsModule(key) ||
      (it->second.attributes & kAttributeReadOnly) != 0)
    return Done(call, false);
  files_.erase(it);
  return Done(call, true);
}

bool HostSystem::RemoveFolder(const std::string& path) {
  const std::size_t call = Record("RemoveFolder", path);
  const std::string key = Key(path, false);
  if (folders_.count(key) == 0) return Done(call, false);
  // Removing a junction removes the link, never what it leads to.
  if (junctions_.erase(key) != 0) {
    folders_.erase(key);
    return Done(call, true);
  }
  const auto inside = [&key](const std::string& other) { return ParentKey(other) == key; };
  if (std::any_of(files_.begin(), files_.end(), [&](const auto& f) { return inside(f.first); }) ||
      std::any_of(folders_.begin(), folders_.end(), inside))
    return Done(call, false);
  folders_.erase(key);
  folderAttributes_.erase(key);
  return Done(call, true);
}

}  // namespace nolpa::sim

// A world kept in a state file, shared by every process that opens the same
// file: changes are written out at once, and changes another process wrote
// are taken in before the next request.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "sim/fleet/fleet.h"
#include "sim/world.h"

namespace nolpa::sim {
namespace {

namespace fs = std::filesystem;

struct FileStamp {
  bool exists = false;
  std::uintmax_t size = 0;
  fs::file_time_type time{};
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const fs::path& path) {
  std::error_code ec;
  FileStamp s;
  s.size = fs::file_size(path, ec);
  if (ec) return {};
  s.time = fs::last_write_time(path, ec);
  if (ec) return {};
  s.exists = true;
  return s;
}

bool ReadWholeFile(const fs::path& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  text = buffer.str();
  return true;
}

// Writes a temporary file beside the target and renames it over the target,
// so a reader sees either the old state or the new one, never half of one.
bool WriteAtomically(const fs::path& path, const std::string& text) {
  fs::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temporary, path, ec);
  if (ec) fs::remove(temporary, ec);
  return !ec;
}

class StateFile {
 public:
  StateFile(World& world, fs::path path) : world_(world), path_(std::move(path)) {}

  bool Save() {
    if (applying_) return true;  // the change came from the file itself
    const std::string text = FleetToJson(world_);
    const bool ok = WriteAtomically(path_, text);
    MarkSynced(text);
    return ok;
  }

  void MarkSynced(const std::string& text) {
    stamp_ = StampOf(path_);
    hash_ = std::hash<std::string>{}(text);
  }

  // Takes in what another process stored since this one last read or wrote.
  // Some file systems keep whole seconds only, so a file written within the
  // last moments is compared by content even when its size and time match.
  void SyncIfChanged() {
    const FileStamp now = StampOf(path_);
    if (!now.exists || (now == stamp_ && !RecentlyWritten(now))) return;
    std::string text;
    if (!ReadWholeFile(path_, text)) return;
    const std::size_t hash = std::hash<std::string>{}(text);
    stamp_ = now;
    if (hash == hash_) return;
    hash_ = hash;
    applying_ = true;
    try {
      ApplyStoredState(world_, text);
    } catch (const std::exception&) {
      // A file that no longer parses is left alone; the next save replaces it.
    }
    applying_ = false;
  }

 private:
  static bool RecentlyWritten(const FileStamp& stamp) {
    return fs::file_time_type::clock::now() - stamp.time < std::chrono::seconds(3);
  }

  World& world_;
  fs::path path_;
  FileStamp stamp_;
  std::size_t hash_ = 0;
  bool applying_ = false;
};

bool LoadOrCreate(World& world, StateFile& file, const fs::path& path, std::string* error) {
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    LoadFleet(world, DefaultFleetJson());
    // A state that cannot be kept (a folder that does not exist) would run
    // on a throwaway world and report writes no later process sees.
    if (file.Save()) return true;
    if (error) *error = "cannot write " + path.string();
    return false;
  }
  std::string text;
  if (!ReadWholeFile(path, text)) {
    if (error) *error = "cannot read " + path.string();
    return false;
  }
  try {
    LoadFleet(world, text);
  } catch (const FleetError& e) {
    if (error) *error = path.string() + ": " + e.what();
    return false;
  }
  file.MarkSynced(text);
  return true;
}

}  // namespace

std::unique_ptr<World> OpenPersistentWorld(const std::string& stateFile, platform::Clock& clock,
                                           std::string* error) {
  auto world = std::make_unique<World>(clock);
  world->Recorder().SetEnabled(false);
  auto file = std::make_shared<StateFile>(*world, fs::path(stateFile));
  if (!LoadOrCreate(*world, *file, fs::path(stateFile), error)) return nullptr;
  // A change that cannot be kept must not pass for written: the next process
  // would read the old state while this one reported success.
  world->SetStateChangedHook([file, stateFile] {
    if (!file->Save())
      throw std::runtime_error("cannot save the simulated printers to " + stateFile);
  });
  world->SetBeforeRequestHook([file] { file->SyncIfChanged(); });
  return world;
}

}  // namespace nolpa::sim

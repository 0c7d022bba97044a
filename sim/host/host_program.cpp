// The simulated program image: its resources, its path, and the system's INI
// reader over INI texts kept by path.
#include <optional>
#include <sstream>

#include "sim/host/host_system.h"

namespace nolpa::sim {

namespace {

// GetPrivateProfileStringA fills a buffer of this many bytes for the program.
constexpr std::size_t kIniValueLimit = 2047;

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool SameText(const std::string& a, const std::string& b) {
  return HostPathKey(a) == HostPathKey(b);
}

}  // namespace

// The value of `key` in `section`, or nullopt. As the system's reader: names
// compared without regard to case, blanks around names and values dropped,
// one pair of matching quotes around a value taken off.
std::optional<std::string> FindIniValue(const std::string& text, const std::string& section,
                                        const std::string& key) {
  std::istringstream lines(text);
  std::string line;
  bool inSection = false;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const std::size_t close = line.find(']');
      inSection = close != std::string::npos && SameText(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos || !SameText(Trim(line.substr(0, equals)), key))
      continue;
    std::string value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return value.substr(0, kIniValueLimit);
  }
  return std::nullopt;
}

void HostSystem::SetResource(const std::string& name, std::vector<std::uint8_t> bytes) {
  resources_[name] = std::move(bytes);
}

void HostSystem::RemoveResource(const std::string& name) { resources_.erase(name); }

void HostSystem::SetIniFile(const std::string& path, std::string text) {
  iniFiles_[HostPathKey(path)] = std::move(text);
}

bool HostSystem::RcDataResource(const char* name, std::vector<std::uint8_t>* bytes) {
  const std::size_t call = Record("RcDataResource", name);
  const auto it = resources_.find(name);
  if (it == resources_.end()) return Done(call, false);
  *bytes = it->second;
  return Done(call, true);
}

std::string HostSystem::ExecutablePath() {
  Done(Record("ExecutablePath", executablePath_), true);
  return executablePath_;
}

std::string HostSystem::IniString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& fallback) {
  const std::size_t call = Record("IniString", file + "|" + section + "|" + key);
  const auto it = iniFiles_.find(HostPathKey(file));
  if (it == iniFiles_.end()) {
    Done(call, false);
    return fallback;
  }
  const std::optional<std::string> value = FindIniValue(it->second, section, key);
  Done(call, value.has_value());
  return value.value_or(fallback);
}

}  // namespace nolpa::sim

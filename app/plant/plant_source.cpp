#include "app/plant/plant_source.h"

namespace nolpa::app::plant {

namespace {

std::string_view Trimmed(std::string_view s) {
  const std::size_t begin = s.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return {};
  return s.substr(begin, s.find_last_not_of(" \t\r") - begin + 1);
}

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return u;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ConnectionParts(std::string_view connection) {
  std::vector<std::pair<std::string, std::string>> parts;
  std::size_t at = 0;
  while (at < connection.size()) {
    const std::size_t equals = connection.find('=', at);
    const std::size_t semicolon = connection.find(';', at);
    if (equals == std::string_view::npos ||
        (semicolon != std::string_view::npos && semicolon < equals)) {
      // A part without a value.
      const std::size_t end = semicolon == std::string_view::npos ? connection.size() : semicolon;
      if (!Trimmed(connection.substr(at, end - at)).empty())
        parts.emplace_back(Trimmed(connection.substr(at, end - at)), "");
      at = end + 1;
      continue;
    }
    const std::string key(Trimmed(connection.substr(at, equals - at)));
    std::size_t valueStart = equals + 1;
    while (valueStart < connection.size() && connection[valueStart] == ' ') ++valueStart;
    std::size_t end;
    if (valueStart < connection.size() && connection[valueStart] == '{') {
      // A braced value ends at "}" not doubled; "}}" stands for one brace.
      end = valueStart + 1;
      while (end < connection.size() && !(connection[end] == '}' && (end + 1 >= connection.size() ||
                                                                     connection[end + 1] != '}')))
        end += connection[end] == '}' ? 2 : 1;
      end = connection.find(';', end);
    } else {
      end = connection.find(';', valueStart);
    }
    if (end == std::string_view::npos) end = connection.size();
    parts.emplace_back(key, std::string(Trimmed(connection.substr(valueStart, end - valueStart))));
    at = end + 1;
  }
  return parts;
}

bool NamesPassword(std::string_view connection) {
  for (const auto& [key, value] : ConnectionParts(connection)) {
    const std::string k = Upper(key);
    if (k == "PWD" || k == "PASSWORD") return true;
  }
  return false;
}

std::optional<SourceForm> ReadSourceForm(std::string_view source) {
  source = Trimmed(source);
  if (source.empty()) return std::nullopt;
  if (source.front() == '@') {
    const std::string_view path = Trimmed(source.substr(1));
    if (path.empty()) return std::nullopt;
    return SourceForm{{}, std::string(path)};
  }
  if (source.find('=') == std::string_view::npos)
    return SourceForm{"DSN=" + std::string(source), {}};
  return SourceForm{std::string(source), {}};
}

std::string ConnectionFromFile(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::string connection;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = Trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    while (!line.empty() && line.back() == ';') line.remove_suffix(1);
    connection += (connection.empty() ? "" : ";") + std::string(line);
  }
  return connection;
}

}  // namespace nolpa::app::plant

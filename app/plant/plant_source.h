#pragma once
// Where the plant's database is, as `--db SOURCE` or the INI file's
// `[Plant] Database=` gives it:
//   plant                 an ODBC data source name (the same as DSN=plant)
//   DSN=plant;Database=x  an ODBC connection string
//   @C:\line\plant.odbc   a file that holds the connection string (UTF-8,
//                         one or more lines of KEY=VALUE parts; lines that
//                         start with # are notes)
// A password never travels on a command line, where other users and logs
// see it: a connection string given there with PWD= or PASSWORD= is
// refused. It belongs in the data source, the file, or the driver's own
// password file.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nolpa::app::plant {

// The KEY=VALUE parts of an ODBC connection string, a value in braces
// ({...}) kept whole with its semicolons; keys trimmed of spaces.
std::vector<std::pair<std::string, std::string>> ConnectionParts(std::string_view connection);

// True when the connection string names a password (PWD or PASSWORD, in
// any case).
bool NamesPassword(std::string_view connection);

struct SourceForm {
  std::string connection;           // the connection string, when given whole
  std::optional<std::string> file;  // the file that holds it
};
// Nothing for an empty SOURCE.
std::optional<SourceForm> ReadSourceForm(std::string_view source);

// The connection string a connection file holds: its KEY=VALUE lines joined
// by semicolons, a byte order mark, notes and blank lines left out. Empty
// when it holds none.
std::string ConnectionFromFile(std::string_view text);

}  // namespace nolpa::app::plant

#pragma once
// The codes a station hands out: counted up from a first code, or taken in
// order from a list, each one only once, also across runs: a code the audit
// log names (whatever became of that write) is never handed out again.
// Codes are UTF-8, as the user gave them.
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace nolpa::app::console {

// The code after `code`: its last run of digits counted up, its width kept
// ("LINE3-0099" gives "LINE3-0100", "A7B" gives "A8B"). Nothing when the
// code has no digits or its last run of digits is all nines (it would need
// another width, and a code of another length is another code).
std::optional<std::string> NextCountedCode(std::string_view code);

// Codes compared as Windows compares device names: ASCII letters without
// regard to case, every other byte as it is.
class UsedCodes {
 public:
  static bool Same(std::string_view a, std::string_view b);
  void Add(std::string_view code);
  bool Contains(std::string_view code) const;
  std::size_t Size() const { return codes_.size(); }

 private:
  std::set<std::string> codes_;  // folded to upper case
};

// Every "newIdCode" the lines of an audit log name (JSON objects, one a
// line), as UTF-8. A line that does not mention that member is passed
// over; `unreadable` counts the lines that mention it but cannot be read
// (a code might hide in them).
UsedCodes CodesInLog(std::string_view logText, std::size_t* unreadable = nullptr);

// A write the log names as pending (applied at the printer's next
// restart) and no later line for that device supersedes: a station started
// again waits for that printer's power cycle rather than writing it anew.
struct PendingWrite {
  std::string device;     // the device path, UTF-8
  std::string oldIdCode;  // what it reports until its restart
  std::string newIdCode;
};
std::vector<PendingWrite> PendingInLog(std::string_view logText);

// The lines of a code list: UTF-8, one code a line (CR LF or LF), a byte
// order mark at the start and blank lines left out, spaces kept (a code may
// hold them).
std::vector<std::string> CodeListLines(std::string_view listText);

class CodeSource {
 public:
  static CodeSource CountingFrom(std::string first);
  static CodeSource FromList(std::vector<std::string> codes);

  // The first code of the sequence that `used` does not hold, or nothing
  // when every code is used (or counting ran over).
  std::optional<std::string> Next(const UsedCodes& used) const;
  // Every code the source could ever give: the list, or the first code.
  const std::vector<std::string>& Given() const { return codes_; }

 private:
  CodeSource(std::vector<std::string> codes, bool counting)
      : codes_(std::move(codes)), counting_(counting) {}
  std::vector<std::string> codes_;
  bool counting_;
};

}  // namespace nolpa::app::console

#include "app/console/station_codes.h"

#include "app/json_member.h"

namespace nolpa::app::console {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kCodeMember = "newIdCode";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Folded(std::string_view code) {
  std::string folded(code);
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

bool Blank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

// Calls `take` with each line of `text`, its line feed left off.
template <typename Take>
void EachLine(std::string_view text, Take take) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    take(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

}  // namespace

std::optional<std::string> NextCountedCode(std::string_view code) {
  std::size_t end = code.size();
  while (end > 0 && !IsDigit(code[end - 1])) --end;
  if (end == 0) return std::nullopt;
  std::string next(code);
  for (std::size_t i = end; i > 0 && IsDigit(next[i - 1]); --i) {
    if (next[i - 1] != '9') {
      ++next[i - 1];
      return next;
    }
    next[i - 1] = '0';
  }
  return std::nullopt;  // all nines
}

bool UsedCodes::Same(std::string_view a, std::string_view b) { return Folded(a) == Folded(b); }

void UsedCodes::Add(std::string_view code) { codes_.insert(Folded(code)); }

bool UsedCodes::Contains(std::string_view code) const { return codes_.count(Folded(code)) != 0; }

UsedCodes CodesInLog(std::string_view logText, std::size_t* unreadable) {
  UsedCodes used;
  std::size_t unread = 0;
  EachLine(logText, [&](std::string_view line) {
    if (line.find(kCodeMember) == std::string_view::npos) return;
    if (const auto code = JsonMemberText(line, kCodeMember)) {
      used.Add(*code);
    } else {
      ++unread;
    }
  });
  if (unreadable != nullptr) *unreadable = unread;
  return used;
}

std::vector<PendingWrite> PendingInLog(std::string_view logText) {
  std::vector<PendingWrite> pending;
  EachLine(logText, [&](std::string_view line) {
    const auto device = JsonMemberText(line, "device");
    if (!device) return;
    std::erase_if(pending, [&](const PendingWrite& p) { return p.device == *device; });
    const auto oldCode = JsonMemberText(line, "oldIdCode");
    const auto newCode = JsonMemberText(line, kCodeMember);
    if (JsonMemberText(line, "result") == "pending" && oldCode && newCode)
      pending.push_back({*device, *oldCode, *newCode});
  });
  return pending;
}

std::vector<std::string> CodeListLines(std::string_view listText) {
  if (listText.starts_with(kByteOrderMark)) listText.remove_prefix(kByteOrderMark.size());
  std::vector<std::string> codes;
  EachLine(listText, [&](std::string_view line) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!Blank(line)) codes.emplace_back(line);
  });
  return codes;
}

CodeSource CodeSource::CountingFrom(std::string first) {
  return CodeSource({std::move(first)}, true);
}

CodeSource CodeSource::FromList(std::vector<std::string> codes) {
  return CodeSource(std::move(codes), false);
}

std::optional<std::string> CodeSource::Next(const UsedCodes& used) const {
  if (!counting_) {
    for (const std::string& code : codes_)
      if (!used.Contains(code)) return code;
    return std::nullopt;
  }
  // Each step gives a greater number, so no more steps than codes used.
  std::optional<std::string> code = codes_.front();
  while (code && used.Contains(*code)) code = NextCountedCode(*code);
  return code;
}

}  // namespace nolpa::app::console

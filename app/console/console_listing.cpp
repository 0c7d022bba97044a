#include "app/console/console_listing.h"

#include <algorithm>
#include <array>

#include "app/audit_log.h"
#include "app/console/usb_identity.h"
#include "app/json_text.h"

namespace nolpa::app::console {

namespace {

constexpr char kUsbPrefix[] = "USB";
constexpr char kVersionMark[] = " Ver.";
constexpr std::array<const char*, 2> kSpeeds = {"High Speed", "Full Speed"};

bool IsPrinterClass(const PrinterEntry& p) {
  return discovery::Contains(p.record.infoLine2, discovery::kPrinterClassMarker);
}

// The fields of one printer in report order: name, UTF-8 value, or nothing
// where the field does not apply.
std::vector<std::pair<const char*, std::optional<std::string>>> Fields(
    const PrinterEntry& p, platform::TextEncoding& enc) {
  const auto parts = SplitInfoLine(p.record.infoLine2);
  const auto part = [&](std::string InfoParts::*field) -> std::optional<std::string> {
    if (!parts) return std::nullopt;
    return enc.AnsiToUtf8((*parts).*field);
  };
  const bool printerClass = IsPrinterClass(p);
  return {
      {"index", std::to_string(p.index)},
      {"route", RouteName(p.record)},
      {"product", enc.AnsiToUtf8(p.record.productText)},
      {"idCode", enc.AnsiToUtf8(p.record.idCode)},
      {"idName", printerClass ? std::nullopt : std::optional(enc.AnsiToUtf8(p.record.idName))},
      {"infoLine2", enc.AnsiToUtf8(p.record.infoLine2)},
      {"usbVersion", part(&InfoParts::usbVersion)},
      {"speed", part(&InfoParts::speed)},
      {"board", part(&InfoParts::board)},
      {"deviceVersion", part(&InfoParts::deviceVersion)},
      {"devicePath", enc.AnsiToUtf8(p.record.devicePath)},
      {"usbLocation",
       printerClass && !p.usbLocation.empty() ? std::optional(p.usbLocation) : std::nullopt},
  };
}

std::size_t Columns(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// A table cell: control characters would break the columns, so they show
// as "?"; the JSON and CSV keep every character.
std::string Cell(const std::string& utf8) {
  std::string cell = utf8;
  for (char& c : cell)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return cell;
}

}  // namespace

std::string CsvField(const std::string& utf8) {
  // A spreadsheet runs a field that begins so as a formula; the apostrophe
  // makes it text there.
  const bool formula =
      !utf8.empty() && std::string_view("=+-@\t\r").find(utf8[0]) != std::string_view::npos;
  std::string field = formula ? "'" + utf8 : utf8;
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::vector<std::string> AlignedLines(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (std::size_t c = 0; c < row.size(); ++c)
      widths[c] = std::max(widths[c], Columns(Cell(row[c])));
  }
  std::vector<std::string> lines;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      const std::string cell = Cell(row[c]);
      line += cell;
      if (c + 1 < row.size()) line += std::string(widths[c] - Columns(cell) + 2, ' ');
    }
    lines.push_back(line);
  }
  return lines;
}

std::optional<InfoParts> SplitInfoLine(const std::string& line) {
  if (!line.starts_with(kUsbPrefix)) return std::nullopt;
  const std::size_t space = line.find(' ');
  const std::size_t comma = line.find(", ");
  const std::size_t version = line.rfind(kVersionMark);
  if (space == std::string::npos || comma == std::string::npos || version == std::string::npos ||
      !(space < comma && comma < version))
    return std::nullopt;
  InfoParts parts;
  parts.usbVersion = line.substr(3, space - 3);
  parts.speed = line.substr(space + 1, comma - space - 1);
  if (std::find(kSpeeds.begin(), kSpeeds.end(), parts.speed) == kSpeeds.end()) return std::nullopt;
  parts.board = line.substr(comma + 2, version - comma - 2);
  parts.deviceVersion = line.substr(version + sizeof kVersionMark - 1);
  while (!parts.deviceVersion.empty() && parts.deviceVersion.back() == ' ')
    parts.deviceVersion.pop_back();
  return parts;
}

std::vector<PrinterEntry> ListedPrinters(const discovery::DeviceList& list,
                                         platform::DeviceTree* tree) {
  std::vector<PrinterEntry> printers;
  for (std::size_t i = 0; i < list.Count(); ++i) {
    PrinterEntry entry{i, list.Record(i), {}};
    if (IsPrinterClass(entry)) entry.usbLocation = UsbLocationOf(tree, entry.record.devicePath);
    printers.push_back(std::move(entry));
  }
  return printers;
}

std::string PrinterJson(const PrinterEntry& printer, platform::TextEncoding& encoding) {
  JsonObject object;
  for (const auto& [name, value] : Fields(printer, encoding)) {
    if (std::string_view(name) == "index") {
      object.Number(name, static_cast<std::int64_t>(printer.index));
    } else if (value) {
      object.Text(name, *value);
    } else {
      object.Null(name);
    }
  }
  return object.Json();
}

std::string ListJson(const std::vector<PrinterEntry>& printers, platform::TextEncoding& encoding) {
  std::vector<std::string> objects;
  objects.reserve(printers.size());
  for (const PrinterEntry& p : printers) objects.push_back(PrinterJson(p, encoding));
  return JsonArray(objects);
}

std::vector<std::string> ListCsv(const std::vector<PrinterEntry>& printers,
                                 platform::TextEncoding& encoding) {
  std::vector<std::string> lines;
  std::string header;
  for (const auto& [name, value] : Fields(PrinterEntry{}, encoding))
    header += (header.empty() ? "" : ",") + std::string(name);
  lines.push_back(header);
  for (const PrinterEntry& p : printers) {
    std::string line;
    bool first = true;
    for (const auto& [name, value] : Fields(p, encoding)) {
      line += (first ? "" : ",") + CsvField(value.value_or(""));
      first = false;
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ListTable(const std::vector<PrinterEntry>& printers,
                                   platform::TextEncoding& encoding, bool japanese) {
  const std::array<const char*, 6> heads =
      japanese
          ? std::array<const char*, 6>{"番号", "経路", "製品名", "識別コード", "識別名", "情報"}
          : std::array<const char*, 6>{"Index",   "Route",   "Product",
                                       "ID code", "ID name", "Information"};
  std::vector<std::vector<std::string>> rows{{heads.begin(), heads.end()}};
  for (const PrinterEntry& p : printers) {
    const auto fields = Fields(p, encoding);  // index, route, product, idCode, idName, infoLine2
    std::vector<std::string> row;
    for (std::size_t c = 0; c < heads.size(); ++c) row.push_back(fields[c].second.value_or("-"));
    rows.push_back(row);
  }
  const std::vector<std::string> aligned = AlignedLines(rows);
  std::vector<std::string> lines;
  for (std::size_t r = 0; r < aligned.size(); ++r) {
    lines.push_back(aligned[r]);
    if (r == 0 || !IsPrinterClass(printers[r - 1])) continue;
    const PrinterEntry& p = printers[r - 1];
    lines.push_back("    " + Cell(encoding.AnsiToUtf8(p.record.devicePath)) + "  " +
                    (p.usbLocation.empty() ? "-" : Cell(p.usbLocation)));
  }
  if (printers.empty()) lines.clear();
  return lines;
}

}  // namespace nolpa::app::console

#pragma once
// The printers Find listed, as the console companion reports them: a table
// for people, one JSON document or one CSV table for scripts.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "discovery/device_list.h"
#include "platform/device_tree.h"
#include "platform/text_encoding.h"

namespace nolpa::app::console {

struct PrinterEntry {
  std::size_t index = 0;  // the position in Find's order, from 0
  discovery::DeviceRecord record;
  std::string usbLocation;  // printer-class printers; empty when unknown
};

// The four parts of a USB information line ("USB2.0 High Speed, Onboard
// USB(1) Series Ver.1.0 "): "2.0", "High Speed", "Onboard USB(1) Series",
// "1.0". Nothing for a line of another form ("USB Printer Class").
struct InfoParts {
  std::string usbVersion;
  std::string speed;
  std::string board;
  std::string deviceVersion;
};
std::optional<InfoParts> SplitInfoLine(const std::string& line);

// Every record of `list` in order; the location is asked of `tree` for the
// printer-class records.
std::vector<PrinterEntry> ListedPrinters(const discovery::DeviceList& list,
                                         platform::DeviceTree* tree);

// One printer as a JSON object: index, route, product, idCode, idName,
// infoLine2, usbVersion, speed, board, deviceVersion, devicePath,
// usbLocation (null where a field does not apply).
std::string PrinterJson(const PrinterEntry& printer, platform::TextEncoding& encoding);
// All of them as one JSON array.
std::string ListJson(const std::vector<PrinterEntry>& printers, platform::TextEncoding& encoding);
// A header line with the JSON's field names, then one line per printer; a
// field that begins with "=", "+", "-", "@", a tab or a carriage return
// gets a leading apostrophe, so a spreadsheet takes it as text.
std::vector<std::string> ListCsv(const std::vector<PrinterEntry>& printers,
                                 platform::TextEncoding& encoding);
// A CSV field: quoted where it holds a comma, quote or line break, and with
// a leading apostrophe where it begins with "=", "+", "-", "@", a tab or a
// carriage return, so a spreadsheet takes it as text, not as a formula.
std::string CsvField(const std::string& utf8);
// Rows of cells (UTF-8) as lines of aligned columns, two spaces apart;
// control characters in a cell show as "?".
std::vector<std::string> AlignedLines(const std::vector<std::vector<std::string>>& rows);

// Aligned columns for people; a printer-class printer's device path and
// location on a line of their own below it.
std::vector<std::string> ListTable(const std::vector<PrinterEntry>& printers,
                                   platform::TextEncoding& encoding, bool japanese);

}  // namespace nolpa::app::console

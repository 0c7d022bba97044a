#pragma once
// The commands of console_run.h, one object per run: what they share (the
// form prepared, the printer chosen, the reports) and each command.
#include <optional>
#include <string>

#include "app/console/console_run.h"
#include "app/json_text.h"

namespace nolpa::app::console {

class StationRun;

// What a write is given, UTF-8 as the user gave it.
struct GivenValues {
  std::optional<std::string> code;  // nothing: the code the "<< Date" button makes
  std::optional<std::string> name;  // nothing: the ID name stays
  bool allowDuplicate = false;
  // A write the printer applies at its next restart is read back like any
  // other (set), or reported pending at once (station).
  bool readBackPending = true;
};

// How a write ended.
struct WriteOutcome {
  int exitCode = kRunFailed;  // as set ends with it; kRunFailed: interrupted
  std::string line;           // what set prints for it; may be empty
  std::string reason;         // why it is not written as asked, in the user's language
};

class CommandRun {
 public:
  explicit CommandRun(RunContext& context) : c_(context) {}
  CommandOutcome Run();

 private:
  friend class StationRun;

  bool Japanese() const { return c_.form.IsJapanese != 0; }
  std::string Utf8(const std::string& ansi) const { return c_.encoding.AnsiToUtf8(ansi); }
  // The ANSI text of what the user gave, when the code page holds it exactly.
  std::optional<std::string> Ansi(const std::string& utf8) const;
  std::string Said(resources::MessageId id) const;
  // The comparison of a product name or an ID code, as the command line of
  // the window program makes it: the whole text, case ignored.
  bool SameText(const std::string& a, const std::string& b) const;
  bool Stopping();
  // PrepareWork in the window program's command-line mode `batchMode`;
  // false when a request to stop came meanwhile.
  bool Prepare(std::int32_t batchMode);
  // The printer the options choose; says why there is none.
  std::optional<std::size_t> Choose();
  // Whether the printer's product text is the one --product names (any
  // printer without it).
  bool OfProduct(const discovery::DeviceRecord& record) const;
  // Selects the record in the product list and runs the display, as a user
  // choosing it does.
  void Select(std::size_t index);
  discovery::DeviceRecord Record(std::size_t index) const {
    return c_.form.DeviceList->Record(index);
  }
  std::string PrinterObject(std::size_t index) const;
  void Report(const JsonObject& json, const std::string& line);

  int List();
  int Check();
  int TestComm();
  int TestPrint();
  int Station();
  // console_set.cpp
  int Set();
  // Writes `given` into the printer at `index` and reads it back, as set
  // does; `json` gets the printer, the old and new values and the outcome.
  WriteOutcome WriteTo(std::size_t index, const GivenValues& given, JsonObject& json);
  WriteOutcome RefuseBeforeWrite(std::size_t index, bool printerClass, const std::string& code,
                                 const std::optional<std::string>& name, resources::MessageId id,
                                 JsonObject& json);
  std::optional<std::size_t> DuplicateHolder(std::size_t chosen, const std::string& code) const;
  WriteOutcome RefuseDuplicate(std::size_t chosen, std::size_t holder, const std::string& code,
                               JsonObject& json);
  WriteOutcome AfterWrite(std::size_t index, const discovery::DeviceRecord& record,
                          const std::string& code, bool readBackPending, JsonObject& json);
  std::optional<std::size_t> FindWritten(const discovery::DeviceRecord& written, std::size_t index,
                                         const std::string& code) const;
  WriteOutcome ReadBack(const discovery::DeviceRecord& written, std::size_t index,
                        const std::string& code, bool pending, JsonObject& json);
  // Waits `ms` in steps, showing `progress`; false when asked to stop.
  bool Wait(std::uint32_t ms, const std::string& progress);

  RunContext& c_;
  bool interrupted_ = false;
};

}  // namespace nolpa::app::console

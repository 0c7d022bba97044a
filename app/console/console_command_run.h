#pragma once
// The commands of console_run.h, one object per run: what they share (the
// form prepared, the printer chosen, the reports) and each command.
#include <optional>
#include <string>

#include "app/console/console_run.h"
#include "app/json_text.h"

namespace nolpa::app::console {

class CommandRun {
 public:
  explicit CommandRun(RunContext& context) : c_(context) {}
  CommandOutcome Run();

 private:
  bool Japanese() const { return c_.form.IsJapanese != 0; }
  std::string Utf8(const std::string& ansi) const { return c_.encoding.AnsiToUtf8(ansi); }
  // The comparison of a product name or an ID code, as the command line of
  // the window program makes it: the whole text, case ignored.
  bool SameText(const std::string& a, const std::string& b) const;
  bool Stopping();
  // PrepareWork in the window program's command-line mode `batchMode`;
  // false when a request to stop came meanwhile.
  bool Prepare(std::int32_t batchMode);
  // The printer the options choose; says why there is none.
  std::optional<std::size_t> Choose();
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
  // console_set.cpp
  int Set();
  std::optional<std::size_t> DuplicateHolder(std::size_t chosen, const std::string& code) const;
  int RefuseDuplicate(std::size_t chosen, std::size_t holder, const std::string& code,
                      JsonObject& json);
  int AfterWrite(std::size_t index, const discovery::DeviceRecord& record, const std::string& code,
                 JsonObject& json);
  std::optional<std::size_t> FindWritten(const discovery::DeviceRecord& written, std::size_t index,
                                         const std::string& code) const;
  int ReadBack(const discovery::DeviceRecord& written, std::size_t index, const std::string& code,
               bool pending, JsonObject& json);
  bool WaitBeforeRescan(int rescan);

  RunContext& c_;
  bool interrupted_ = false;
};

}  // namespace nolpa::app::console

#include "app/console/console_command_run.h"

#include "app/command_line.h"
#include "app/console/console_listing.h"
#include "app/console/usb_identity.h"
#include "printerio/test_print.h"

namespace nolpa::app::console {

CommandOutcome RunCommand(RunContext& context) { return CommandRun(context).Run(); }

CommandOutcome CommandRun::Run() {
  int exitCode = kUsage;
  switch (c_.options.command) {
    case Command::List: exitCode = List(); break;
    case Command::Check: exitCode = Check(); break;
    case Command::Set: exitCode = Set(); break;
    case Command::TestComm: exitCode = TestComm(); break;
    case Command::TestPrint: exitCode = TestPrint(); break;
    case Command::Station: exitCode = Station(); break;
    default: break;
  }
  // A request to stop that came at the very end still ends the run with 4:
  // the line of a write it logged already says so.
  Stopping();
  return {interrupted_ ? kRunFailed : exitCode, interrupted_};
}

std::optional<std::string> CommandRun::Ansi(const std::string& utf8) const {
  std::string ansi;
  if (!c_.encoding.Utf8ToAnsi(utf8, &ansi)) return std::nullopt;
  return ansi;
}

std::string CommandRun::Said(resources::MessageId id) const {
  const resources::MessageText& message = resources::Message(id);
  return Japanese() ? message.japanese : message.english;
}

bool CommandRun::SameText(const std::string& a, const std::string& b) const {
  return c_.form.Services().platform.textCompare->EqualIgnoringCase(a, b);
}

bool CommandRun::OfProduct(const discovery::DeviceRecord& record) const {
  if (!c_.options.product) return true;
  // A product text the code page cannot hold is no printer's.
  const std::optional<std::string> product = Ansi(*c_.options.product);
  return product && SameText(*product, record.productText);
}

bool CommandRun::Stopping() {
  interrupted_ = interrupted_ || c_.signals.StopRequested();
  return interrupted_;
}

bool CommandRun::Prepare(std::int32_t batchMode) {
  c_.form.BatchMode = batchMode;
  c_.progress.SetActivity(Text::ProgressFind);
  c_.form.PrepareWork();
  return !Stopping();
}

std::optional<std::size_t> CommandRun::Choose() {
  const std::size_t count = c_.form.DeviceList ? c_.form.DeviceList->Count() : 0;
  const Options& o = c_.options;
  if (o.index) {
    if (*o.index < count) return *o.index;
    c_.output.Error(count == 0 ? Say(Text::NoPrinter, Japanese())
                               : Say(Text::NoPrinterAtIndex, Japanese(),
                                     {std::to_string(*o.index), std::to_string(count)}));
    return std::nullopt;
  }
  for (std::size_t i = 0; i < count; ++i)
    if (OfProduct(Record(i))) return i;
  if (!o.product || count == 0) {
    c_.output.Error(o.product ? Say(Text::NoPrinterOfProduct, Japanese(), {*o.product})
                              : Say(Text::NoPrinter, Japanese()));
    if (o.product) c_.output.Error(Say(Text::NoPrinters, Japanese()));
    return std::nullopt;
  }
  // The texts a product name must equal, so the script's can be mended.
  std::string found;
  for (std::size_t i = 0; i < count; ++i)
    found += (i > 0 ? ", \"" : "\"") + Utf8(Record(i).productText) + "\"";
  c_.output.Error(Say(Text::NoPrinterOfProduct, Japanese(), {*o.product}));
  c_.output.Error(Say(Text::ProductsFound, Japanese(), {found}));
  return std::nullopt;
}

void CommandRun::Select(std::size_t index) {
  c_.form.ComboBox1.SetSelectedIndex(static_cast<int>(index));
  c_.form.ComboBox1Change();
}

std::string CommandRun::PrinterObject(std::size_t index) const {
  const discovery::DeviceRecord record = Record(index);
  const bool printerClass = discovery::Contains(record.infoLine2, discovery::kPrinterClassMarker);
  return PrinterJson(
      {index, record, printerClass ? UsbLocationOf(c_.usbTree, record.devicePath) : ""},
      c_.encoding);
}

void CommandRun::Report(const JsonObject& json, const std::string& line) {
  if (c_.options.json) {
    c_.output.Result(json.Json());
  } else if (!line.empty()) {
    c_.output.Result(line);
  }
}

int CommandRun::List() {
  if (!Prepare(app::kInteractive)) return kRunFailed;
  const auto printers = ListedPrinters(*c_.form.DeviceList, c_.usbTree);
  if (c_.options.json) {
    c_.output.Result(ListJson(printers, c_.encoding));
  } else if (c_.options.csv) {
    for (const std::string& line : ListCsv(printers, c_.encoding)) c_.output.Result(line);
  } else if (printers.empty()) {
    c_.output.Result(Say(Text::NoPrinters, Japanese()));
  } else {
    for (const std::string& line : ListTable(printers, c_.encoding, Japanese()))
      c_.output.Result(line);
  }
  return kMatches;
}

int CommandRun::Check() {
  JsonObject json;
  json.Text("command", "check").Text("code", *c_.options.code);
  if (!Prepare(app::kCheckMode)) return kRunFailed;
  const auto chosen = Choose();
  if (!chosen) {
    Report(json.Null("printer")
               .Null("idCode")
               .Boolean("matches", false)
               .Number("exitCode", kNoPrinter),
           "");
    return kNoPrinter;
  }
  const discovery::DeviceRecord record = Record(*chosen);
  // A code the code page cannot hold is no printer's.
  const std::optional<std::string> code = Ansi(*c_.options.code);
  const bool matches = code && SameText(*code, record.idCode);
  const int exitCode = matches ? kMatches : kDiffers;
  json.Value("printer", PrinterObject(*chosen)).Text("idCode", Utf8(record.idCode));
  json.Boolean("matches", matches).Number("exitCode", exitCode);
  Report(json, matches ? Say(Text::CheckMatches, Japanese(),
                             {Utf8(record.productText), Utf8(record.idCode)})
                       : Say(Text::CheckDiffers, Japanese(),
                             {Utf8(record.productText), Utf8(record.idCode), *c_.options.code}));
  return exitCode;
}

int CommandRun::TestComm() {
  JsonObject json;
  json.Text("command", "test-comm");
  if (!Prepare(app::kInteractive)) return kRunFailed;
  const auto chosen = Choose();
  if (!chosen) {
    Report(json.Null("printer")
               .Boolean("succeeded", false)
               .Null("infoLine1")
               .Number("exitCode", kNoPrinter),
           "");
    return kNoPrinter;
  }
  Select(*chosen);
  if (Stopping()) return kRunFailed;
  c_.progress.SetActivity(Text::ProgressBusy);
  c_.form.Button6Click();
  const resources::MessageText& success =
      resources::Message(resources::MessageId::CommTestSucceeded);
  const bool succeeded = c_.boxes.LastWas(Japanese() ? success.japanese : success.english);
  const std::string line = Utf8(c_.form.DeviceList->Get(*chosen, discovery::InfoLine1));
  const int exitCode = succeeded ? kMatches : kDiffers;
  json.Value("printer", PrinterObject(*chosen)).Boolean("succeeded", succeeded);
  json.Text("infoLine1", line).Number("exitCode", exitCode);
  Report(json, line);
  return exitCode;
}

int CommandRun::TestPrint() {
  JsonObject json;
  json.Text("command", "test-print");
  if (!Prepare(app::kInteractive)) return kRunFailed;
  const auto chosen = Choose();
  if (!chosen) {
    Report(json.Null("printer").Boolean("succeeded", false).Number("exitCode", kNoPrinter), "");
    return kNoPrinter;
  }
  Select(*chosen);
  const discovery::DeviceRecord record = Record(*chosen);
  const bool printerClass =
      discovery::Contains(c_.form.Label6.Text(), discovery::kPrinterClassMarker);
  bool sent = false;
  if (printerClass) {
    c_.output.Error(Say(Text::TestPrintNotForClass, Japanese()));
  } else if (!Stopping()) {
    // The Test Print button's own step; the button shows nothing, the
    // companion says what became of the line.
    sent = printerio::SendTestPrint(c_.form.Services().platform, record.devicePath, false);
    if (!sent) c_.output.Error(Say(Text::TestPrintFailed, Japanese(), {Utf8(record.productText)}));
  }
  if (interrupted_) return kRunFailed;
  const int exitCode = sent ? kMatches : kDiffers;
  json.Value("printer", PrinterObject(*chosen))
      .Boolean("succeeded", sent)
      .Number("exitCode", exitCode);
  Report(json, sent ? Say(Text::TestPrintSent, Japanese(), {Utf8(record.productText)}) : "");
  return exitCode;
}

}  // namespace nolpa::app::console

// set: the ID code (and name) written through the form's Write, after the
// duplicate guard, and read back by rescans as the window program's command
// line does, told apart by what happened.
#include "app/command_line.h"
#include "app/console/console_command_run.h"
#include "app/console/usb_identity.h"

namespace nolpa::app::console {

namespace {

JsonObject Values(const std::string& idCode, const std::optional<std::string>& idName) {
  JsonObject values;
  values.Text("idCode", idCode);
  if (idName) {
    values.Text("idName", *idName);
  } else {
    values.Null("idName");
  }
  return values;
}

}  // namespace

int CommandRun::Set() {
  JsonObject json;
  json.Text("command", "set");
  if (!Prepare(app::kSetMode)) return kRunFailed;
  const auto chosen = Choose();
  if (!chosen) {
    Report(json.Null("printer").Null("result").Number("exitCode", kNoPrinter), "");
    return kNoPrinter;
  }
  Select(*chosen);
  const bool printerClass =
      discovery::Contains(c_.form.Label6.Text(), discovery::kPrinterClassMarker);
  ui::TMainForm& form = c_.form;
  if (c_.options.date) form.Button2Click();  // "<< Date", as the button makes it
  const std::string code = c_.options.date ? form.Edit1.Text() : *c_.options.code;
  if (c_.options.name && printerClass) c_.output.Error(Say(Text::NameNotUsed, Japanese()));
  if (c_.options.name && !printerClass) form.Edit2.SetText(*c_.options.name);
  const discovery::DeviceRecord record = Record(*chosen);
  const auto name = [&](const std::string& text) {
    return printerClass ? std::nullopt : std::optional(Utf8(text));
  };
  json.Value("printer", PrinterObject(*chosen));
  json.Value("old", Values(Utf8(record.idCode), name(record.idName)).Json());
  json.Value("new", Values(Utf8(code), name(form.Edit2.Text())).Json());
  if (!c_.options.allowDuplicate) {
    if (const auto holder = DuplicateHolder(*chosen, code))
      return RefuseDuplicate(*chosen, *holder, code, json);
  }
  if (Stopping()) return kRunFailed;
  // As the window program's command line puts it: the rules of Write apply
  // to it, and leaving the box never normalises it.
  form.Edit1.SetText(code);
  c_.progress.SetActivity(Text::ProgressBusy);
  form.Button3Click();
  return AfterWrite(*chosen, record, code, json);
}

int CommandRun::AfterWrite(std::size_t index, const discovery::DeviceRecord& record,
                           const std::string& code, JsonObject& json) {
  const auto& attempt = c_.audit.LastAttempt();
  const ident::WriteResult result = attempt ? attempt->result : ident::WriteResult::Failed;
  const resources::MessageText& message =
      resources::Message(attempt ? attempt->message : resources::MessageId::WriteFailed);
  const std::string said = Japanese() ? message.japanese : message.english;
  json.Text("result", ident::ResultName(result)).Text("message", said);
  if (result == ident::WriteResult::Refused || result == ident::WriteResult::Failed) {
    json.Null("readBack").Boolean("pending", false).Number("exitCode", kDiffers);
    Report(json, Say(result == ident::WriteResult::Refused ? Text::SetRefused : Text::SetFailed,
                     Japanese(), {said}));
    return kDiffers;
  }
  if (result == ident::WriteResult::Unchanged) {
    const bool printerClass = discovery::Contains(record.infoLine2, discovery::kPrinterClassMarker);
    json.Value("readBack", Values(Utf8(record.idCode),
                                  printerClass ? std::nullopt : std::optional(Utf8(record.idName)))
                               .Json());
    json.Boolean("pending", false).Number("exitCode", kMatches);
    Report(json, Say(Text::SetUnchanged, Japanese(), {Utf8(record.productText)}));
    return kMatches;
  }
  return ReadBack(record, index, code, result == ident::WriteResult::Pending, json);
}

std::optional<std::size_t> CommandRun::DuplicateHolder(std::size_t chosen,
                                                       const std::string& code) const {
  // Without a serial number Windows names a device by where it is plugged.
  if (code.empty()) return std::nullopt;
  const platform::Platform& platform = c_.form.Services().platform;
  const std::optional<UsbIds> ids = UsbIdsOf(platform, Record(chosen));
  for (std::size_t i = 0; i < c_.form.DeviceList->Count(); ++i) {
    const discovery::DeviceRecord other = Record(i);
    if (i == chosen || !SameText(other.idCode, code)) continue;
    const std::optional<UsbIds> otherIds = UsbIdsOf(platform, other);
    // IDs that cannot be read may be the same: the guard refuses then.
    if (!ids || !otherIds || *ids == *otherIds) return i;
  }
  return std::nullopt;
}

int CommandRun::RefuseDuplicate(std::size_t chosen, std::size_t holder, const std::string& code,
                                JsonObject& json) {
  const discovery::DeviceRecord record = Record(chosen);
  const std::vector<std::string> values{Utf8(code), std::to_string(holder),
                                        Utf8(Record(holder).productText)};
  const std::string said = Say(Text::Duplicate, Japanese(), values);
  c_.output.Error(said);
  // Recorded as a refused attempt: nothing reached the printer.
  const bool printerClass = discovery::Contains(record.infoLine2, discovery::kPrinterClassMarker);
  AuditEntry entry = EntryOf({printerClass, record, code, c_.form.Edit2.Text(),
                              ident::WriteResult::Refused, resources::MessageId::WriteFailed},
                             std::nullopt);
  entry.message = Say(Text::Duplicate, false, values);
  c_.audit.Hold(entry);
  json.Text("result", "refused").Text("message", said).Null("readBack").Boolean("pending", false);
  Report(json.Number("exitCode", kDuplicate), "");
  return kDuplicate;
}

bool CommandRun::WaitBeforeRescan(int rescan) {
  c_.output.Progress(Say(
      Text::ProgressRescan, Japanese(),
      {std::to_string(kRescanWaitMs / 1000), std::to_string(rescan), std::to_string(kRescans)}));
  platform::Clock& clock = *c_.form.Services().platform.clock;
  for (std::uint32_t waited = 0; waited < kRescanWaitMs; waited += kWaitStepMs) {
    if (Stopping()) return false;
    clock.SleepMs(kWaitStepMs);
  }
  c_.output.EndProgress();
  return !Stopping();
}

// The written printer in the list of a rescan: a printer of its product
// text that holds the code, else the one at its old place, else the first
// of that product.
std::optional<std::size_t> CommandRun::FindWritten(const discovery::DeviceRecord& written,
                                                   std::size_t index,
                                                   const std::string& code) const {
  std::optional<std::size_t> holder, atPlace, first;
  for (std::size_t i = 0; i < c_.form.DeviceList->Count(); ++i) {
    const discovery::DeviceRecord r = Record(i);
    if (!SameText(r.productText, written.productText)) continue;
    if (!first) first = i;
    if (i == index) atPlace = i;
    if (!holder && SameText(r.idCode, code)) holder = i;
  }
  return holder ? holder : atPlace ? atPlace : first;
}

int CommandRun::ReadBack(const discovery::DeviceRecord& written, std::size_t index,
                         const std::string& code, bool pending, JsonObject& json) {
  for (int rescan = 1; rescan <= kRescans; ++rescan) {
    if (!WaitBeforeRescan(rescan)) return kRunFailed;
    c_.progress.SetActivity(Text::ProgressFind);
    c_.form.Button1Click();
    const std::optional<std::size_t> at = FindWritten(written, index, code);
    if (!at) continue;
    const discovery::DeviceRecord found = Record(*at);
    const bool equal = SameText(found.idCode, code);
    const int exitCode = equal ? kMatches : pending ? kPending : kDiffers;
    const bool printerClass = discovery::Contains(found.infoLine2, discovery::kPrinterClassMarker);
    json.Value("readBack", Values(Utf8(found.idCode),
                                  printerClass ? std::nullopt : std::optional(Utf8(found.idName)))
                               .Json());
    json.Boolean("pending", exitCode == kPending).Number("exitCode", exitCode);
    const std::string product = Utf8(written.productText);
    Report(json, exitCode == kMatches
                     ? Say(Text::SetWritten, Japanese(), {product, Utf8(found.idCode)})
                 : exitCode == kPending
                     ? Say(Text::SetPending, Japanese(), {product, Utf8(code), Utf8(found.idCode)})
                     : Say(Text::SetDiffers, Japanese(), {Utf8(found.idCode), Utf8(code)}));
    return exitCode;
  }
  json.Null("readBack").Boolean("pending", pending).Number("exitCode", kNotListedAgain);
  Report(json, "");
  c_.output.Error(Say(Text::SetGone, Japanese(), {Utf8(written.productText)}));
  return kNotListedAgain;
}

}  // namespace nolpa::app::console

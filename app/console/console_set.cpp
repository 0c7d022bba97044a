// set: the ID code (and name) written through the form's Write, after the
// duplicate guard, and read back by rescans as the window program's command
// line does, told apart by what happened. The station writes each printer
// the same way.
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

bool OnPrinterClassRoute(const discovery::DeviceRecord& record) {
  return discovery::Contains(record.infoLine2, discovery::kPrinterClassMarker);
}

// What goes into the boxes: as given (UTF-8) and in the ANSI code page,
// nothing where the code page cannot hold it exactly.
struct BoxValues {
  bool printerClass = false;
  std::string codeGiven;
  std::optional<std::string> code;
  std::optional<std::string> nameGiven;  // only where the route has names and one is given
  std::optional<std::string> name;
};

// A value the boxes could not take, refused before Write runs: one the
// code page cannot hold gets the ID rules' own invalid-character message.
std::optional<resources::MessageId> RefusalOf(const BoxValues& v) {
  using resources::MessageId;
  if (!v.code) return v.printerClass ? MessageId::IdCodeInvalidHex : MessageId::IdCodeInvalid;
  if (v.nameGiven && !v.name) return MessageId::IdNameInvalid;
  if (v.printerClass) return std::nullopt;  // the length rule of that route decides
  if (v.code->size() > kMostIdCharacters) return MessageId::IdCodeTooLong;
  if (v.name && v.name->size() > kMostIdCharacters) return MessageId::IdNameTooLong;
  return std::nullopt;
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
  const Options& o = c_.options;
  const GivenValues given{o.date ? std::nullopt : o.code, o.name, o.allowDuplicate, true};
  const WriteOutcome outcome = WriteTo(*chosen, given, json);
  if (outcome.exitCode == kRunFailed) return kRunFailed;
  Report(json, outcome.line);
  if (outcome.exitCode == kNotListedAgain) c_.output.Error(outcome.reason);
  return outcome.exitCode;
}

WriteOutcome CommandRun::WriteTo(std::size_t index, const GivenValues& given, JsonObject& json) {
  Select(index);
  ui::TMainForm& form = c_.form;
  BoxValues v;
  v.printerClass = discovery::Contains(form.Label6.Text(), discovery::kPrinterClassMarker);
  if (!given.code) form.Button2Click();  // "<< Date", as the button makes it
  v.codeGiven = given.code ? *given.code : Utf8(form.Edit1.Text());
  v.code = given.code ? Ansi(*given.code) : form.Edit1.Text();
  if (given.name && v.printerClass) c_.output.Error(Say(Text::NameNotUsed, Japanese()));
  if (given.name && !v.printerClass) {
    v.nameGiven = given.name;
    v.name = Ansi(*given.name);
  }
  const discovery::DeviceRecord record = Record(index);
  const auto named = [&](const std::string& text) {
    return v.printerClass ? std::nullopt : std::optional(text);
  };
  json.Value("printer", PrinterObject(index));
  json.Value("old", Values(Utf8(record.idCode), named(Utf8(record.idName))).Json());
  json.Value("new",
             Values(v.codeGiven, named(v.nameGiven.value_or(Utf8(form.Edit2.Text())))).Json());
  if (const auto refusal = RefusalOf(v))
    return RefuseBeforeWrite(index, v.printerClass, v.codeGiven, v.nameGiven, *refusal, json);
  if (v.name) form.Edit2.SetText(*v.name);
  if (!given.allowDuplicate) {
    if (const auto holder = DuplicateHolder(index, *v.code))
      return RefuseDuplicate(index, *holder, *v.code, json);
  }
  if (Stopping()) return {};
  // As the window program's command line puts it: the rules of Write apply
  // to it, and leaving the box never normalises it.
  form.Edit1.SetText(*v.code);
  c_.audit.BeginWrite();
  c_.progress.SetActivity(Text::ProgressBusy);
  form.Button3Click();
  return AfterWrite(index, record, *v.code, given.readBackPending, json);
}

WriteOutcome CommandRun::RefuseBeforeWrite(std::size_t index, bool printerClass,
                                           const std::string& code,
                                           const std::optional<std::string>& name,
                                           resources::MessageId id, JsonObject& json) {
  c_.form.ShowMessage(id);
  const discovery::DeviceRecord record = Record(index);
  // The log holds what the user gave, even what no printer could hold.
  const std::string keptName = name.value_or(Utf8(c_.form.Edit2.Text()));
  c_.audit.Hold(EntryOf(
      {printerClass, record, code, keptName, ident::WriteResult::Refused, id, true}, std::nullopt));
  const std::string said = Said(id);
  json.Text("result", "refused").Text("message", said).Null("readBack").Boolean("pending", false);
  json.Number("exitCode", kDiffers);
  return {kDiffers, Say(Text::SetRefused, Japanese(), {said}), said};
}

WriteOutcome CommandRun::AfterWrite(std::size_t index, const discovery::DeviceRecord& record,
                                    const std::string& code, bool readBackPending,
                                    JsonObject& json) {
  const auto& attempt = c_.audit.LastAttempt();
  const ident::WriteResult result = attempt ? attempt->result : ident::WriteResult::Failed;
  const std::string said = Said(attempt ? attempt->message : resources::MessageId::WriteFailed);
  json.Text("result", ident::ResultName(result)).Text("message", said);
  const bool printerClass = OnPrinterClassRoute(record);
  if (result == ident::WriteResult::Refused || result == ident::WriteResult::Failed) {
    json.Null("readBack").Boolean("pending", false).Number("exitCode", kDiffers);
    return {kDiffers,
            Say(result == ident::WriteResult::Refused ? Text::SetRefused : Text::SetFailed,
                Japanese(), {said}),
            said};
  }
  if (result == ident::WriteResult::Unchanged) {
    json.Value("readBack", Values(Utf8(record.idCode),
                                  printerClass ? std::nullopt : std::optional(Utf8(record.idName)))
                               .Json());
    json.Boolean("pending", false).Number("exitCode", kMatches);
    return {kMatches, Say(Text::SetUnchanged, Japanese(), {Utf8(record.productText)}), ""};
  }
  const bool pending = result == ident::WriteResult::Pending;
  if (pending && !readBackPending) {
    json.Null("readBack").Boolean("pending", true).Number("exitCode", kPending);
    return {kPending,
            Say(Text::SetPending, Japanese(),
                {Utf8(record.productText), Utf8(code), Utf8(record.idCode)}),
            Say(Text::PendingNote, Japanese())};
  }
  return ReadBack(record, index, code, pending, json);
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

WriteOutcome CommandRun::RefuseDuplicate(std::size_t chosen, std::size_t holder,
                                         const std::string& code, JsonObject& json) {
  const discovery::DeviceRecord record = Record(chosen);
  const std::vector<std::string> values{Utf8(code), std::to_string(holder),
                                        Utf8(Record(holder).productText)};
  const std::string said = Say(Text::Duplicate, Japanese(), values);
  c_.output.Error(said);
  // Recorded as a refused attempt: nothing reached the printer.
  AuditEntry entry = EntryOf({OnPrinterClassRoute(record), record, code, c_.form.Edit2.Text(),
                              ident::WriteResult::Refused, resources::MessageId::WriteFailed},
                             std::nullopt);
  entry.message = Say(Text::Duplicate, false, values);
  c_.audit.Hold(entry);
  json.Text("result", "refused").Text("message", said).Null("readBack").Boolean("pending", false);
  json.Number("exitCode", kDuplicate);
  return {kDuplicate, "", said};
}

bool CommandRun::Wait(std::uint32_t ms, const std::string& progress) {
  c_.output.Progress(progress);
  platform::Clock& clock = *c_.form.Services().platform.clock;
  for (std::uint32_t waited = 0; waited < ms; waited += kWaitStepMs) {
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

WriteOutcome CommandRun::ReadBack(const discovery::DeviceRecord& written, std::size_t index,
                                  const std::string& code, bool pending, JsonObject& json) {
  const std::string product = Utf8(written.productText);
  for (int rescan = 1; rescan <= kRescans; ++rescan) {
    const std::string progress = Say(
        Text::ProgressRescan, Japanese(),
        {std::to_string(kRescanWaitMs / 1000), std::to_string(rescan), std::to_string(kRescans)});
    if (!Wait(kRescanWaitMs, progress)) return {};
    c_.progress.SetActivity(Text::ProgressFind);
    c_.form.Button1Click();
    const std::optional<std::size_t> at = FindWritten(written, index, code);
    if (!at) continue;
    const discovery::DeviceRecord found = Record(*at);
    const bool equal = SameText(found.idCode, code);
    const int exitCode = equal ? kMatches : pending ? kPending : kDiffers;
    const bool printerClass = OnPrinterClassRoute(found);
    const std::optional<std::string> name =
        printerClass ? std::nullopt : std::optional(found.idName);
    c_.audit.SetReadBack({found.idCode, name, equal});
    json.Value("readBack",
               Values(Utf8(found.idCode), name ? std::optional(Utf8(*name)) : std::nullopt).Json());
    json.Boolean("pending", exitCode == kPending).Number("exitCode", exitCode);
    if (exitCode == kMatches)
      return {exitCode, Say(Text::SetWritten, Japanese(), {product, Utf8(found.idCode)}), ""};
    if (exitCode == kPending)
      return {exitCode,
              Say(Text::SetPending, Japanese(), {product, Utf8(code), Utf8(found.idCode)}),
              Say(Text::PendingNote, Japanese())};
    return {exitCode, Say(Text::SetDiffers, Japanese(), {Utf8(found.idCode), Utf8(code)}),
            Say(Text::NgReadBack, Japanese(), {Utf8(found.idCode)})};
  }
  json.Null("readBack").Boolean("pending", pending).Number("exitCode", kNotListedAgain);
  return {kNotListedAgain, "", Say(Text::SetGone, Japanese(), {product})};
}

}  // namespace nolpa::app::console

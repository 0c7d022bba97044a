// station: printers written one after another as they are plugged in, each
// with the next code no printer has been sent, through the same write and
// read-back as set. One printer at a time; a printer-class printer is
// checked after its power cycle; the printer just written must be unplugged
// before the next is taken. Codes are never handed out twice, also across
// runs: the audit log names every code sent.
#include <optional>
#include <set>

#include "app/command_line.h"
#include "app/console/console_command_run.h"
#include "app/console/station_codes.h"
#include "app/console/usb_identity.h"
#include "ident/id_rules.h"

namespace nolpa::app::console {

namespace {

// What tells a printer apart from another of its product across a power
// cycle: its USB location where the system's device tree gives one (a
// printer-class printer's device path may change with its serial number),
// else its device path.
struct PrinterPlace {
  std::string product;  // ANSI
  std::string path;     // ANSI
  std::string location;
};

bool OnPrinterClassRoute(const discovery::DeviceRecord& record) {
  return discovery::Contains(record.infoLine2, discovery::kPrinterClassMarker);
}

}  // namespace

class StationRun {
 public:
  explicit StationRun(CommandRun& run) : r_(run), c_(run.c_) {}
  int Run();

 private:
  enum class Phase { Idle, WaitUnplug, WaitRestartGone, WaitRestartBack };

  bool Japanese() const { return r_.Japanese(); }
  std::string Utf8(const std::string& ansi) const { return r_.Utf8(ansi); }
  // The codes, the name and the log, before anything is touched: kMatches,
  // or the exit code of a station that cannot start.
  int Load();
  int Refused(const std::string& value, bool isName);
  int DryRun();
  int Loop();
  bool Poll();
  void Step();
  void Idle();
  void WriteOne(std::size_t index);
  void CheckAfterRestart(std::size_t index);
  void Count(bool ok);
  void Result(JsonObject& json, const std::string& status, const std::string& code,
              const std::string& product, const std::string& reason);

  PrinterPlace PlaceOf(const discovery::DeviceRecord& record) const;
  std::optional<std::size_t> Find(const PrinterPlace& place) const;
  bool HoldsUsedCode(const discovery::DeviceRecord& record) const;
  const PendingWrite* PendingBefore(const discovery::DeviceRecord& record) const;
  std::string WaitText() const;
  void NoteOnce(const std::string& key, const std::string& message);

  CommandRun& r_;
  RunContext& c_;
  std::optional<CodeSource> source_;
  UsedCodes used_;
  std::vector<PendingWrite> pendingBefore_;
  Phase phase_ = Phase::Idle;
  PrinterPlace tracked_;     // the printer written last
  std::string trackedCode_;  // and its code (UTF-8)
  std::set<std::string> noted_;
  std::size_t ok_ = 0, ng_ = 0;
  bool ended_ = false;
  bool logFailed_ = false;
};

int CommandRun::Station() { return StationRun(*this).Run(); }

int StationRun::Run() {
  if (const int failed = Load(); failed != kMatches) return failed;
  if (c_.options.dryRun) return DryRun();
  const int exitCode = Loop();
  c_.output.Error(Say(Text::StationSummary, Japanese(),
                      {std::to_string(ok_ + ng_), std::to_string(ok_), std::to_string(ng_)}));
  return exitCode;
}

int StationRun::Load() {
  std::string log;
  if (c_.files.ReadWhole(c_.logPath, &log) == platform::ReadResult::Failed) {
    c_.output.Error(Say(Text::LogCannotRead, Japanese(), {c_.logPath}));
    return kRunFailed;
  }
  std::size_t unreadable = 0;
  used_ = CodesInLog(log, &unreadable);
  if (unreadable > 0) {
    c_.output.Error(
        Say(Text::LogLinesUnreadable, Japanese(), {std::to_string(unreadable), c_.logPath}));
    return kRunFailed;
  }
  pendingBefore_ = PendingInLog(log);
  std::vector<std::string> codes;
  if (c_.options.first) {
    codes.push_back(*c_.options.first);
  } else {
    std::string list;
    if (c_.files.ReadWhole(*c_.options.codes, &list) != platform::ReadResult::Read) {
      c_.output.Error(Say(Text::CodesCannotRead, Japanese(), {*c_.options.codes}));
      return kRunFailed;
    }
    codes = CodeListLines(list);
  }
  // A code no printer could take is refused before anything is touched;
  // counting up changes digits only.
  for (const std::string& code : codes)
    if (const int refused = Refused(code, false)) return refused;
  if (c_.options.name)
    if (const int refused = Refused(*c_.options.name, true)) return refused;
  source_ = c_.options.first ? CodeSource::CountingFrom(codes.front())
                             : CodeSource::FromList(std::move(codes));
  if (!source_->Next(used_)) {
    c_.output.Error(Say(Text::NoCodeLeft, Japanese()));
    return kRunFailed;
  }
  return kMatches;
}

int StationRun::Refused(const std::string& value, bool isName) {
  using resources::MessageId;
  std::optional<MessageId> refusal;
  if (const std::optional<std::string> ansi = r_.Ansi(value); !ansi) {
    refusal = isName ? MessageId::IdNameInvalid : MessageId::IdCodeInvalid;
  } else if (ansi->size() > kMostIdCharacters) {
    refusal = isName ? MessageId::IdNameTooLong : MessageId::IdCodeTooLong;
  }
  if (!refusal) return 0;
  c_.output.Error(Say(Text::CodeRefused, Japanese(), {value, r_.Said(*refusal)}));
  return kUsage;
}

int StationRun::DryRun() {
  if (!r_.Prepare(app::kInteractive)) return kRunFailed;
  UsedCodes planned = used_;
  std::size_t shown = 0;
  for (std::size_t i = 0; i < c_.form.DeviceList->Count(); ++i) {
    const discovery::DeviceRecord record = r_.Record(i);
    if (!r_.OfProduct(record)) continue;
    ++shown;
    JsonObject json;
    json.Text("command", "station").Boolean("dryRun", true).Value("printer", r_.PrinterObject(i));
    const std::string product = Utf8(record.productText);
    std::optional<std::string> code;
    std::string note;
    if (HoldsUsedCode(record)) {
      note = Say(Text::LeftAlone, Japanese(), {product, Utf8(record.idCode)});
    } else if (code = source_->Next(planned); !code) {
      note = Say(Text::NoCodeLeft, Japanese());
    } else {
      // A real station uses the code up even when the rules refuse it.
      planned.Add(*code);
      const bool printerClass = OnPrinterClassRoute(record);
      const std::string name =
          c_.options.name && !printerClass ? *r_.Ansi(*c_.options.name) : record.idName;
      const auto refusal = ident::ValidateIdInput(
          {printerClass, *r_.Ansi(*code), name, record.idCode, record.idName});
      if (refusal && resources::Message(*refusal).icon == platform::MessageIcon::Error)
        note = r_.Said(*refusal);
    }
    if (code) {
      json.Text("code", *code);
    } else {
      json.Null("code");
    }
    json.Text("note", note);
    Result(json, "DRY", code.value_or("-"), product, note);
  }
  if (shown == 0 && !c_.options.json) c_.output.Result(Say(Text::NoPrinters, Japanese()));
  return kMatches;
}

int StationRun::Loop() {
  if (!r_.Prepare(app::kSetMode)) return kRunFailed;
  // The list PrepareWork's Find made is looked at first, then one a second.
  for (bool first = true; !ended_; first = false) {
    if (!first && !Poll()) return kRunFailed;
    Step();
    if (logFailed_ || r_.Stopping()) return kRunFailed;
  }
  return ng_ == 0 ? kMatches : kDiffers;
}

bool StationRun::Poll() {
  const std::string text = WaitText();
  if (!r_.Wait(kStationPollMs, text)) return false;
  c_.progress.SetActivityText(text);
  c_.form.Button1Click();
  c_.progress.SetActivity(Text::ProgressFind);
  return !r_.Stopping();
}

std::string StationRun::WaitText() const {
  const std::string product = Utf8(tracked_.product);
  switch (phase_) {
    case Phase::WaitUnplug: return Say(Text::ProgressWaitUnplug, Japanese(), {product});
    case Phase::WaitRestartGone:
    case Phase::WaitRestartBack: return Say(Text::ProgressWaitRestart, Japanese(), {product});
    case Phase::Idle: break;
  }
  return Say(Text::ProgressWaitPrinter, Japanese(), {source_->Next(used_).value_or("-")});
}

void StationRun::Step() {
  switch (phase_) {
    case Phase::Idle: Idle(); return;
    case Phase::WaitUnplug:
      if (Find(tracked_)) return;
      phase_ = Phase::Idle;
      Idle();
      return;
    case Phase::WaitRestartGone:
      if (const auto at = Find(tracked_)) {
        // Back before a look saw it gone: it holds the new code already.
        const auto code = r_.Ansi(trackedCode_);
        if (code && r_.SameText(r_.Record(*at).idCode, *code)) CheckAfterRestart(*at);
        return;
      }
      phase_ = Phase::WaitRestartBack;
      return;
    case Phase::WaitRestartBack:
      if (const auto at = Find(tracked_)) CheckAfterRestart(*at);
      return;
  }
}

void StationRun::Idle() {
  std::vector<std::size_t> candidates;
  for (std::size_t i = 0; i < c_.form.DeviceList->Count(); ++i) {
    const discovery::DeviceRecord record = r_.Record(i);
    if (!r_.OfProduct(record)) continue;
    if (HoldsUsedCode(record)) {
      const std::string code = Utf8(record.idCode);
      NoteOnce("alone" + record.devicePath + "\n" + code,
               Say(Text::LeftAlone, Japanese(), {Utf8(record.productText), code}));
      continue;
    }
    if (const PendingWrite* pending = PendingBefore(record)) {
      // Written by an earlier run and not restarted since: its check is due.
      NoteOnce(
          "", Say(Text::PendingBefore, Japanese(), {Utf8(record.productText), pending->newIdCode}));
      tracked_ = PlaceOf(record);
      trackedCode_ = pending->newIdCode;
      std::erase_if(pendingBefore_, [&](const PendingWrite& p) { return &p == pending; });
      phase_ = Phase::WaitRestartGone;
      return;
    }
    candidates.push_back(i);
  }
  if (candidates.size() == 1) return WriteOne(candidates.front());
  if (candidates.empty()) return;
  std::string products, key = "two";
  for (std::size_t i : candidates) {
    products += (products.empty() ? "" : ", ") + Utf8(r_.Record(i).productText);
    key += "\n" + r_.Record(i).devicePath;
  }
  NoteOnce(key, Say(Text::TwoAtOnce, Japanese(), {std::to_string(candidates.size()), products}));
}

void StationRun::WriteOne(std::size_t index) {
  const std::optional<std::string> code = source_->Next(used_);
  const discovery::DeviceRecord record = r_.Record(index);
  const std::string product = Utf8(record.productText);
  JsonObject json;
  json.Text("command", "station");
  const WriteOutcome outcome = r_.WriteTo(index, {code, c_.options.name, false, false}, json);
  if (outcome.exitCode == kRunFailed) return;  // interrupted: the run logs what it held
  // Used up once sent, written or not.
  used_.Add(*code);
  if (!c_.audit.Flush(outcome.exitCode)) {
    c_.output.Error(Say(Text::LogNotWritten, Japanese(), {c_.logPath}));
    logFailed_ = true;
  }
  tracked_ = PlaceOf(record);
  trackedCode_ = *code;
  const bool ok = outcome.exitCode == kMatches;
  const bool pending = outcome.exitCode == kPending;
  Result(json, ok ? "OK" : pending ? "PENDING" : "NG", *code, product, outcome.reason);
  phase_ = pending ? Phase::WaitRestartGone : Phase::WaitUnplug;
  if (!pending) Count(ok);
}

void StationRun::CheckAfterRestart(std::size_t index) {
  const discovery::DeviceRecord record = r_.Record(index);
  const auto code = r_.Ansi(trackedCode_);
  const bool ok = code && r_.SameText(record.idCode, *code);
  JsonObject json, readBack;
  readBack.Text("idCode", Utf8(record.idCode)).Null("idName");
  json.Text("command", "station").Boolean("afterRestart", true);
  json.Value("printer", r_.PrinterObject(index)).Text("code", trackedCode_);
  json.Value("readBack", readBack.Json()).Number("exitCode", ok ? kMatches : kDiffers);
  Result(json, ok ? "OK" : "NG", trackedCode_, Utf8(record.productText),
         ok ? "" : Say(Text::NgAfterRestart, Japanese(), {Utf8(record.idCode)}));
  phase_ = Phase::WaitUnplug;
  Count(ok);
}

void StationRun::Count(bool ok) {
  ++(ok ? ok_ : ng_);
  if (c_.options.count && ok_ + ng_ >= *c_.options.count) ended_ = true;
  if (!ended_ && !source_->Next(used_)) {
    c_.output.Error(Say(Text::NoCodeLeft, Japanese()));
    ended_ = true;
  }
}

void StationRun::Result(JsonObject& json, const std::string& status, const std::string& code,
                        const std::string& product, const std::string& reason) {
  if (c_.options.json) {
    c_.output.Result(json.Text("status", status).Json());
    return;
  }
  c_.output.Result(status + " " + code + " " + product + (reason.empty() ? "" : ": " + reason));
}

PrinterPlace StationRun::PlaceOf(const discovery::DeviceRecord& record) const {
  return {record.productText, record.devicePath,
          OnPrinterClassRoute(record) ? UsbLocationOf(c_.usbTree, record.devicePath) : ""};
}

std::optional<std::size_t> StationRun::Find(const PrinterPlace& place) const {
  for (std::size_t i = 0; i < c_.form.DeviceList->Count(); ++i) {
    const discovery::DeviceRecord record = r_.Record(i);
    if (record.productText != place.product) continue;
    const bool here = place.location.empty()
                          ? record.devicePath == place.path
                          : UsbLocationOf(c_.usbTree, record.devicePath) == place.location;
    if (here) return i;
  }
  return std::nullopt;
}

bool StationRun::HoldsUsedCode(const discovery::DeviceRecord& record) const {
  return !record.idCode.empty() && used_.Contains(Utf8(record.idCode));
}

const PendingWrite* StationRun::PendingBefore(const discovery::DeviceRecord& record) const {
  for (const PendingWrite& pending : pendingBefore_)
    if (pending.device == Utf8(record.devicePath) &&
        UsedCodes::Same(pending.oldIdCode, Utf8(record.idCode)))
      return &pending;
  return nullptr;
}

void StationRun::NoteOnce(const std::string& key, const std::string& message) {
  if (!key.empty() && !noted_.insert(key).second) return;
  c_.output.Error(message);
}

}  // namespace nolpa::app::console

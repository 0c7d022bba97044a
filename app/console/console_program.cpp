#include "app/console/console_program.h"

#include <exception>
#include <optional>

#include "app/audit_log.h"
#include "app/console/console_db.h"
#include "app/console/console_run.h"
#include "app/console/window_settings.h"
#include "discovery/standard_routes.h"
#include "ident/spooler_control.h"

namespace nolpa::app::console {

namespace {

constexpr std::uint16_t kJapaneseLangId = 0x0411;

struct UsageText {
  UsageError error;
  Text text;
};
constexpr UsageText kUsageTexts[] = {
    {UsageError::NoCommand, Text::NoCommand},
    {UsageError::UnknownCommand, Text::UnknownCommand},
    {UsageError::UnknownOption, Text::UnknownOption},
    {UsageError::MissingValue, Text::MissingValue},
    {UsageError::RepeatedOption, Text::RepeatedOption},
    {UsageError::BadIndex, Text::BadIndex},
    {UsageError::ExtraArgument, Text::ExtraArgument},
    {UsageError::MissingCode, Text::MissingCode},
    {UsageError::CodeAndDate, Text::CodeAndDate},
    {UsageError::NotForCommand, Text::NotForCommand},
    {UsageError::ProductAndIndex, Text::ProductAndIndex},
    {UsageError::JsonAndCsv, Text::JsonAndCsv},
    {UsageError::NoArguments, Text::NoCommand},
    {UsageError::EmptyLog, Text::EmptyLog},
    {UsageError::MissingCodes, Text::MissingCodes},
    {UsageError::CodesAndFirst, Text::CodesAndFirst},
    {UsageError::FirstWithoutDigits, Text::FirstWithoutDigits},
    {UsageError::BadCount, Text::BadCount},
};

std::string CurrentExceptionText(platform::TextEncoding& encoding) {
  try {
    throw;
  } catch (const std::exception& e) {
    return encoding.AnsiToUtf8(e.what());
  } catch (...) {
    return "?";
  }
}

// One run once the printers' side is open: the form, the log, the command,
// the clean-up.
class Session {
 public:
  Session(const ConsoleEnvironment& env, const Options& options, ConsoleHost& host,
          ConsoleOutput& output)
      : env_(env),
        options_(options),
        host_(host),
        output_(output),
        boxes_(output),
        progress_(output, japanese_) {}

  int Run();

 private:
  int ControlSpooler(const platform::Platform& platform, int mode);
  // kMatches when the log is open (or none is kept), else the exit code.
  int OpenLog(const platform::Platform& platform);
  void CleanUp();
  void ReportException() {
    output_.Error(Say(Text::RunFailed, japanese_, {CurrentExceptionText(*env_.encoding)}));
  }

  const ConsoleEnvironment& env_;
  const Options& options_;
  ConsoleHost& host_;
  ConsoleOutput& output_;
  ConsoleMessageBoxes boxes_;
  bool japanese_ = false;
  ProgressObserver progress_;
  std::unique_ptr<WindowProgramSettings> settings_;
  std::string logPath_;
  std::unique_ptr<AuditLog> log_;
  std::unique_ptr<HeldWriteAudit> audit_;
  std::unique_ptr<ui::TMainForm> form_;
};

int Session::ControlSpooler(const platform::Platform& platform, int mode) {
  output_.Progress(
      Say(mode == ident::kSpoolerStop ? Text::ProgressSpoolerStop : Text::ProgressSpoolerStart,
          japanese_));
  const int result = ident::ControlSpooler(platform, mode);
  output_.EndProgress();
  if (mode == ident::kSpoolerStop && result == 0)
    output_.Error(Say(Text::SpoolerNotStopped, japanese_));
  return result;
}

int Session::OpenLog(const platform::Platform& platform) {
  // The INI file's text is in the ANSI code page; the log's name is UTF-8.
  logPath_ = options_.log ? *options_.log
                          : env_.encoding->AnsiToUtf8(AuditLogPathFromIni(*platform.program));
  if (logPath_.empty() && options_.command == Command::Station) {
    output_.Error(Say(Text::StationNeedsLog, japanese_));
    return kUsage;
  }
  if (!logPath_.empty()) {
    log_ = std::make_unique<AuditLog>(*env_.logFiles, *env_.encoding, kProgramName, logPath_);
    if (!log_->Open()) {
      output_.Error(Say(Text::LogCannotOpen, japanese_, {logPath_}));
      return kRunFailed;
    }
  }
  audit_ = std::make_unique<HeldWriteAudit>(log_.get(), *env_.signals);
  return kMatches;
}

void Session::CleanUp() {
  try {
    form_->FormClose();
  } catch (...) {
    ReportException();
  }
}

int Session::Run() {
  platform::Platform platform = host_.Services();
  platform.messageBoxes = &boxes_;
  settings_ = std::make_unique<WindowProgramSettings>(*platform.program);
  platform.program = settings_.get();
  // The form's own decision, made before the form exists for the log's message.
  japanese_ = platform.system->UserDefaultLangId() == kJapaneseLangId;
  if (const int failed = OpenLog(platform); failed != kMatches) return failed;  // nothing touched
  ui::FormServices services{
      platform, discovery::StandardRoutes(platform, [this] { return form_->SerialLibrary(); }),
      [this, platform](int mode) { return ControlSpooler(platform, mode); },
      [this](platform::ModuleHandle library) { host_.LibraryLoaded(library); }, audit_.get()};
  form_ = std::make_unique<ui::TMainForm>(std::move(services));
  form_->SetObserver(&progress_);
  env_.signals->Watch();

  CommandOutcome outcome;
  try {
    RunContext context{*form_,          options_,       output_,       boxes_,
                       progress_,       *audit_,        *env_.signals, *env_.encoding,
                       host_.UsbTree(), *env_.logFiles, logPath_};
    outcome = RunCommand(context);
  } catch (...) {
    ReportException();
    outcome = {kRunFailed, false};
  }
  if (!audit_->Flush(outcome.exitCode))
    output_.Error(Say(Text::LogNotWritten, japanese_, {logPath_}));
  CleanUp();
  if (outcome.interrupted) output_.Error(Say(Text::Interrupted, japanese_));
  env_.signals->CleanUpFinished();
  return outcome.exitCode;
}

int UsageFailure(ConsoleOutput& output, bool japanese, Text text, const std::string& word) {
  output.Error(Say(text, japanese, {word}));
  output.Error(Say(Text::SeeHelp, japanese));
  return kUsage;
}

}  // namespace

int RunConsole(const ConsoleEnvironment& env, const std::vector<std::string>& arguments) {
  ConsoleOutput output(*env.streams);
  const bool japanese = env.system->UserDefaultLangId() == kJapaneseLangId;
  const ParsedOptions parsed = ParseOptions(arguments);
  if (parsed.error == UsageError::NoArguments) {
    output.Error(Say(Text::NoCommand, japanese));
    env.streams->Write(platform::Stream::Error, Say(Text::Usage, japanese));
    return kUsage;
  }
  if (parsed.error != UsageError::None) {
    for (const UsageText& u : kUsageTexts)
      if (u.error == parsed.error) return UsageFailure(output, japanese, u.text, parsed.word);
  }
  const Options& options = parsed.options;
  if (options.command == Command::Help) {
    env.streams->Write(platform::Stream::Output, Say(Text::Usage, japanese));
    return kMatches;
  }
  if (options.command == Command::Version) {
    output.Result(std::string(kProgramName) + " " + kProductVersion + " (" + kReleaseVersion + ")");
    return kMatches;
  }
  // The plant's database alone: no printer, no spooler, no one-copy rule.
  if (options.command == Command::Db) return RunDb(env, options, output, japanese);
  if (options.fleet && !env.simulatorBuild)
    return UsageFailure(output, japanese, Text::FleetNotHere, "");
  if (env.anotherCopyRunning()) {
    output.Error(Say(Text::AnotherCopy, japanese));
    return kAnotherCopy;
  }
  std::unique_ptr<ConsoleHost> host;
  try {
    host = env.openHost(options);
  } catch (...) {
    output.Error(Say(Text::RunFailed, japanese, {CurrentExceptionText(*env.encoding)}));
    return kRunFailed;
  }
  return Session(env, options, *host, output).Run();
}

}  // namespace nolpa::app::console

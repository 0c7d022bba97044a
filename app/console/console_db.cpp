#include "app/console/console_db.h"

#include "app/console/console_db_texts.h"
#include "app/console/console_run.h"
#include "app/console/station_codes.h"
#include "app/console/window_settings.h"
#include "app/plant/plant_codes.h"
#include "app/plant/plant_pools.h"
#include "app/plant/plant_schema.h"
#include "app/plant/plant_source.h"
#include "resources/messages.h"
#include "ui/library_loader.h"

namespace nolpa::app::console {

using plant::PlantStatus;

// console_db_reports.cpp
int DbPools(plant::PlantDatabase& database, const Options& options, ConsoleOutput& output,
            bool japanese);
int DbReport(plant::PlantDatabase& database, const Options& options, ConsoleOutput& output,
             bool japanese);

namespace {

// The INI file's [Plant] Database, UTF-8; empty when it names none.
std::string SourceFromIni(const ConsoleEnvironment& env) {
  if (env.settings == nullptr) return {};
  WindowProgramSettings settings(*env.settings);
  const std::string ini = ui::IniFilePath(settings.ExecutablePath());
  if (ini.empty()) return {};
  return env.encoding->AnsiToUtf8(settings.IniString(ini, kPlantSection, kPlantDatabaseKey, ""));
}

ResolvedSource Refuse(ConsoleOutput& output, const std::string& message) {
  output.Error(message);
  return {kUsage, {}, {}};
}

}  // namespace

ResolvedSource ResolvePlantSource(const ConsoleEnvironment& env, const Options& options,
                                  ConsoleOutput& output, bool japanese) {
  const bool given = options.db.has_value();
  const std::string source = given ? *options.db : SourceFromIni(env);
  if (!given && source.empty()) return Refuse(output, SayDb(DbText::NeedsSource, japanese));
  const std::optional<plant::SourceForm> form = plant::ReadSourceForm(source);
  if (!form) return Refuse(output, SayDb(DbText::BadSource, japanese, {source}));
  if (!form->file) {
    if (plant::NamesPassword(form->connection))
      return Refuse(output,
                    SayDb(DbText::PasswordGiven, japanese,
                          {SayDb(given ? DbText::PlaceCommandLine : DbText::PlaceIni, japanese)}));
    return {kMatches, form->connection, form->connection};
  }
  // The file is the safe place: it may hold the password.
  std::string text;
  if (env.logFiles->ReadWhole(*form->file, &text) != platform::ReadResult::Read)
    return Refuse(output, SayDb(DbText::SourceFileUnreadable, japanese, {*form->file}));
  const std::string connection = plant::ConnectionFromFile(text);
  if (connection.empty())
    return Refuse(output, SayDb(DbText::SourceFileEmpty, japanese, {*form->file}));
  return {kMatches, connection, "@" + *form->file};
}

int SayPlantFailure(PlantStatus status, plant::PlantDatabase& database, const std::string& shown,
                    ConsoleOutput& output, bool japanese) {
  const platform::DatabaseDiagnostic& d = database.Diagnostic();
  const std::string word = d.message + (d.sqlState.empty() ? "" : " [" + d.sqlState + "]");
  const std::string found = std::to_string(database.SchemaVersion());
  const std::string known = std::to_string(plant::LatestSchemaVersion());
  switch (status) {
    case PlantStatus::Unreachable:
      // IM002: the driver manager knows no such data source.
      output.Error(d.sqlState == "IM002" ? SayDb(DbText::UnknownDataSource, japanese, {shown, word})
                                         : SayDb(DbText::CannotConnect, japanese, {shown, word}));
      return kPlantDatabase;
    case PlantStatus::NotSet:
      output.Error(SayDb(DbText::NotSet, japanese, {shown, found, known}));
      return kPlantDatabase;
    case PlantStatus::TooNew:
      output.Error(SayDb(DbText::TooNew, japanese, {shown, found, known}));
      return kPlantDatabase;
    case PlantStatus::PoolEmpty: output.Error(Say(Text::NoCodeLeft, japanese)); return kRunFailed;
    default: output.Error(SayDb(DbText::Refused, japanese, {word})); return kPlantDatabase;
  }
}

std::unique_ptr<plant::PlantDatabase> OpenPlantDatabase(const ConsoleEnvironment& env,
                                                        const ResolvedSource& source,
                                                        ConsoleOutput& output, bool japanese,
                                                        int* exitCode) {
  if (env.databases == nullptr) {
    output.Error(SayDb(DbText::CannotConnect, japanese, {source.shown, "ODBC"}));
    *exitCode = kPlantDatabase;
    return nullptr;
  }
  auto database = std::make_unique<plant::PlantDatabase>(*env.databases, source.connection);
  if (const PlantStatus s = database->Open(); s != PlantStatus::Ok) {
    *exitCode = SayPlantFailure(s, *database, source.shown, output, japanese);
    return nullptr;
  }
  *exitCode = kMatches;
  return database;
}

namespace {

class DbRun {
 public:
  DbRun(const ConsoleEnvironment& env, const Options& options, ConsoleOutput& output, bool japanese)
      : env_(env), o_(options), output_(output), japanese_(japanese) {}
  int Run();

 private:
  int Usage(const std::string& message) {
    output_.Error(message);
    output_.Error(Say(Text::SeeHelp, japanese_));
    return kUsage;
  }
  int Failure(PlantStatus status) {
    return SayPlantFailure(status, *database_, source_.shown, output_, japanese_);
  }
  std::string Now() { return plant::IsoTime(env_.logFiles->UtcNow()); }
  int CheckWords();
  int Init();
  int CodesOfPool(std::vector<std::string>* codes);
  int Refused(const std::string& code);

  const ConsoleEnvironment& env_;
  const Options& o_;
  ConsoleOutput& output_;
  bool japanese_;
  ResolvedSource source_;
  std::unique_ptr<plant::PlantDatabase> database_;
};

// The words and options each db command takes; kMatches when they fit.
int DbRun::CheckWords() {
  const std::vector<std::string>& w = o_.dbWords;
  const std::string what = w.empty() ? "" : w[0];
  const bool add = what == "pool";
  if (what != "init" && what != "pools" && what != "report" && !add)
    return Usage(SayDb(DbText::WhatCommand, japanese_, {what}));
  if (add && (w.size() < 2 || w[1] != "add"))
    return Usage(SayDb(DbText::WhatCommand, japanese_, {w.size() < 2 ? what : what + " " + w[1]}));
  if (add && w.size() < 3) return Usage(SayDb(DbText::PoolNeedsName, japanese_));
  const std::size_t words = add ? 3 : 1;
  if (w.size() > words) return Usage(Say(Text::ExtraArgument, japanese_, {w[words]}));
  // Each option with the db command it goes with.
  const struct {
    bool given;
    const char* name;
    bool fits;
  } options[] = {
      {o_.first.has_value(), "--first", add},
      {o_.codes.has_value(), "--codes", add},
      {o_.pool.has_value(), "--pool", what == "report"},
      {o_.since.has_value(), "--since", what == "report"},
      {o_.json, "--json", what == "pools" || what == "report"},
      {o_.csv, "--csv", what == "pools" || what == "report"},
      {o_.log.has_value(), "--log", false},  // the database is the record here
  };
  for (const auto& option : options)
    if (option.given && !option.fits)
      return Usage(Say(Text::NotForCommand, japanese_, {option.name}));
  if (add && o_.first.has_value() == o_.codes.has_value())
    return Usage(SayDb(DbText::PoolNeedsCodes, japanese_));
  if (o_.first && o_.first->find_first_of("0123456789") == std::string::npos)
    return Usage(Say(Text::FirstWithoutDigits, japanese_, {*o_.first}));
  if (o_.since && !plant::IsReportStart(*o_.since))
    return Usage(SayDb(DbText::BadSince, japanese_, {*o_.since}));
  return kMatches;
}

int DbRun::Run() {
  if (const int bad = CheckWords(); bad != kMatches) return bad;
  source_ = ResolvePlantSource(env_, o_, output_, japanese_);
  if (source_.exitCode != kMatches) return source_.exitCode;
  const std::string& what = o_.dbWords[0];
  if (what == "init") return Init();
  int exitCode = kMatches;
  // A pool's codes are read and checked before the database is reached.
  std::vector<std::string> codes;
  if (what == "pool" && o_.codes)
    if (const int bad = CodesOfPool(&codes); bad != kMatches) return bad;
  if (o_.first) codes.push_back(*o_.first);  // counting up changes digits only
  for (const std::string& code : codes)
    if (const int bad = Refused(code); bad != kMatches) return bad;
  if (o_.first) codes.clear();
  database_ = OpenPlantDatabase(env_, source_, output_, japanese_, &exitCode);
  if (database_ == nullptr) return exitCode;
  if (what == "pools") return DbPools(*database_, o_, output_, japanese_);
  if (what == "report") return DbReport(*database_, o_, output_, japanese_);
  const std::string& name = o_.dbWords[2];
  const PlantStatus s = o_.first ? plant::AddCounterPool(*database_, name, *o_.first, Now())
                                 : plant::AddListPool(*database_, name, codes, Now());
  if (s == PlantStatus::PoolExists) {
    output_.Error(SayDb(DbText::PoolExists, japanese_, {name}));
    return kUsage;
  }
  if (s != PlantStatus::Ok) return Failure(s);
  output_.Result(o_.first ? SayDb(DbText::PoolAddedCounter, japanese_, {name, *o_.first})
                          : SayDb(DbText::PoolAddedList, japanese_,
                                  {name, std::to_string(codes.size()), *o_.codes}));
  return kMatches;
}

int DbRun::Init() {
  if (env_.databases == nullptr) {
    output_.Error(SayDb(DbText::CannotConnect, japanese_, {source_.shown, "ODBC"}));
    return kPlantDatabase;
  }
  database_ = std::make_unique<plant::PlantDatabase>(*env_.databases, source_.connection);
  int from = 0;
  int to = 0;
  const PlantStatus s = plant::MigrateSchema(*database_, &from, &to);
  if (s != PlantStatus::Ok) return Failure(s);
  output_.Result(
      from == to ? SayDb(DbText::InitUnchanged, japanese_, {std::to_string(to)})
                 : SayDb(DbText::InitDone, japanese_, {std::to_string(from), std::to_string(to)}));
  return kMatches;
}

// The list --codes names, each code one a printer could take.
int DbRun::CodesOfPool(std::vector<std::string>* codes) {
  std::string text;
  if (env_.logFiles->ReadWhole(*o_.codes, &text) != platform::ReadResult::Read) {
    output_.Error(Say(Text::CodesCannotRead, japanese_, {*o_.codes}));
    return kRunFailed;
  }
  *codes = CodeListLines(text);
  if (codes->empty()) return Usage(SayDb(DbText::CodesEmpty, japanese_, {*o_.codes}));
  return kMatches;
}

// A code no printer could take (a character the code page lacks, too long)
// is refused before the pool is made, as the station refuses it.
int DbRun::Refused(const std::string& code) {
  using resources::MessageId;
  std::string ansi;
  std::optional<MessageId> refusal;
  if (!env_.encoding->Utf8ToAnsi(code, &ansi)) {
    refusal = MessageId::IdCodeInvalid;
  } else if (ansi.size() > kMostIdCharacters) {
    refusal = MessageId::IdCodeTooLong;
  }
  if (!refusal) return kMatches;
  const resources::MessageText& reason = resources::Message(*refusal);
  output_.Error(
      Say(Text::CodeRefused, japanese_, {code, japanese_ ? reason.japanese : reason.english}));
  return kUsage;
}

}  // namespace

int RunDb(const ConsoleEnvironment& env, const Options& options, ConsoleOutput& output,
          bool japanese) {
  return DbRun(env, options, output, japanese).Run();
}

}  // namespace nolpa::app::console

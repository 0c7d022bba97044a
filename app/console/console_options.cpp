#include "app/console/console_options.h"

#include <algorithm>
#include <string_view>

namespace nolpa::app::console {

namespace {

struct CommandWord {
  const char* word;
  Command command;
};
constexpr CommandWord kCommands[] = {
    {"list", Command::List},
    {"check", Command::Check},
    {"set", Command::Set},
    {"test-comm", Command::TestComm},
    {"test-print", Command::TestPrint},
    {"station", Command::Station},
    {"db", Command::Db},
    {"help", Command::Help},
};

enum class Kind { Flag, Text, Number };
struct OptionSpec {
  const char* name;
  Kind kind;
  // Commands it goes with; an empty list: every command.
  std::vector<Command> commands;
};
const OptionSpec kOptions[] = {
    {"--json",
     Kind::Flag,
     {Command::List, Command::Check, Command::Set, Command::TestComm, Command::TestPrint,
      Command::Station, Command::Db}},
    {"--csv", Kind::Flag, {Command::List, Command::Db}},
    {"--product",
     Kind::Text,
     {Command::Check, Command::Set, Command::TestComm, Command::TestPrint, Command::Station}},
    {"--index",
     Kind::Number,
     {Command::Check, Command::Set, Command::TestComm, Command::TestPrint}},
    {"--name", Kind::Text, {Command::Set, Command::Station}},
    {"--codes", Kind::Text, {Command::Station, Command::Db}},
    {"--first", Kind::Text, {Command::Station, Command::Db}},
    {"--db", Kind::Text, {Command::Db}},
    {"--pool", Kind::Text, {Command::Db}},
    {"--since", Kind::Text, {Command::Db}},
    {"--count", Kind::Number, {Command::Station}},
    {"--dry-run", Kind::Flag, {Command::Station}},
    {"--date", Kind::Flag, {Command::Set}},
    {"--allow-duplicate", Kind::Flag, {Command::Set}},
    {"--log", Kind::Text, {}},
    {"--fleet", Kind::Text, {}},
    {"--help", Kind::Flag, {}},
    {"--version", Kind::Flag, {}},
};

struct Given {
  const OptionSpec* spec;
  std::string value;
};

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  ParsedOptions Run() {
    if (!Scan()) return result_;
    if (HasFlag("--help")) return Done(Command::Help);
    if (HasFlag("--version")) return Done(Command::Version);
    if (!command_) {
      // A script that lost its arguments must not read the help as success.
      Fail(given_.empty() ? UsageError::NoArguments : UsageError::NoCommand, "");
      return result_;
    }
    if (*command_ == Command::Help) return Done(Command::Help);
    if (Apply()) CheckShape();
    return result_;
  }

 private:
  bool Fail(UsageError error, std::string word) {
    result_.error = error;
    result_.word = std::move(word);
    return false;
  }
  ParsedOptions Done(Command command) {
    result_.options = Options{};
    result_.options.command = command;
    result_.error = UsageError::None;
    return result_;
  }
  bool HasFlag(std::string_view name) const {
    return std::any_of(given_.begin(), given_.end(),
                       [&](const Given& g) { return name == g.spec->name; });
  }

  // Sorts the words into the command, the positional values and the options.
  bool Scan() {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments_.size(); ++i) {
      const std::string& word = arguments_[i];
      if (!optionsEnded && word == "--") {
        optionsEnded = true;
      } else if (!optionsEnded && word.starts_with("--")) {
        if (!TakeOption(word, i)) return false;
      } else if (!command_) {
        if (!TakeCommand(word)) return false;
      } else {
        positional_.push_back(word);
      }
    }
    return true;
  }

  bool TakeCommand(const std::string& word) {
    for (const CommandWord& c : kCommands)
      if (word == c.word) {
        command_ = c.command;
        return true;
      }
    if (word == "/?" || word == "-h") {
      command_ = Command::Help;
      return true;
    }
    return Fail(UsageError::UnknownCommand, word);
  }

  bool TakeOption(const std::string& word, std::size_t& i) {
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const auto spec = std::find_if(std::begin(kOptions), std::end(kOptions),
                                   [&](const OptionSpec& s) { return name == s.name; });
    if (spec == std::end(kOptions)) return Fail(UsageError::UnknownOption, name);
    if (HasFlag(name)) return Fail(UsageError::RepeatedOption, name);
    Given given{&*spec, {}};
    if (spec->kind == Kind::Flag) {
      if (equals != std::string::npos) return Fail(UsageError::ExtraArgument, word);
    } else if (equals != std::string::npos) {
      given.value = word.substr(equals + 1);
    } else if (i + 1 < arguments_.size()) {
      given.value = arguments_[++i];
    } else {
      return Fail(UsageError::MissingValue, name);
    }
    given_.push_back(std::move(given));
    return true;
  }

  static bool ParseNumber(const std::string& text, std::size_t* index) {
    if (text.empty() || text.size() > 6) return false;
    std::size_t value = 0;
    for (char c : text) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    *index = value;
    return true;
  }

  bool Apply() {
    Options& o = result_.options;
    o.command = *command_;
    for (const Given& g : given_) {
      const std::vector<Command>& allowed = g.spec->commands;
      if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), o.command) == allowed.end())
        return Fail(UsageError::NotForCommand, g.spec->name);
      const std::string_view name = g.spec->name;
      if (name == "--json") o.json = true;
      if (name == "--csv") o.csv = true;
      if (name == "--date") o.date = true;
      if (name == "--allow-duplicate") o.allowDuplicate = true;
      if (name == "--product") o.product = g.value;
      if (name == "--name") o.name = g.value;
      if (name == "--fleet") o.fleet = g.value;
      if (name == "--codes") o.codes = g.value;
      if (name == "--first") o.first = g.value;
      if (name == "--dry-run") o.dryRun = true;
      if (name == "--db") o.db = g.value;
      if (name == "--pool") o.pool = g.value;
      if (name == "--since") o.since = g.value;
      // An empty name (a variable that was not set) must not turn the log off.
      if (name == "--log" && g.value.empty()) return Fail(UsageError::EmptyLog, "--log");
      if (name == "--log") o.log = g.value;
      std::size_t number = 0;
      if (name == "--index" && !ParseNumber(g.value, &number))
        return Fail(UsageError::BadIndex, g.value);
      if (name == "--index") o.index = number;
      if (name == "--count" && (!ParseNumber(g.value, &number) || number == 0))
        return Fail(UsageError::BadCount, g.value);
      if (name == "--count") o.count = number;
    }
    return true;
  }

  bool CheckShape() {
    Options& o = result_.options;
    const bool takesCode = o.command == Command::Check || o.command == Command::Set;
    // db's words (its own command and values) are read by the db commands.
    if (o.command == Command::Db) o.dbWords = positional_;
    const std::size_t codes = takesCode ? 1 : o.command == Command::Db ? positional_.size() : 0;
    if (positional_.size() > codes) return Fail(UsageError::ExtraArgument, positional_[codes]);
    if (takesCode && !positional_.empty()) o.code = positional_[0];
    if (o.date && o.code) return Fail(UsageError::CodeAndDate, "--date");
    if (takesCode && !o.code && !o.date) return Fail(UsageError::MissingCode, "");
    if (o.product && o.index) return Fail(UsageError::ProductAndIndex, "--index");
    if (o.json && o.csv) return Fail(UsageError::JsonAndCsv, "--csv");
    if (o.command == Command::Station) {
      if (o.codes && o.first) return Fail(UsageError::CodesAndFirst, "--first");
      if (!o.codes && !o.first) return Fail(UsageError::MissingCodes, "");
      if (o.first && o.first->find_first_of("0123456789") == std::string::npos)
        return Fail(UsageError::FirstWithoutDigits, *o.first);
    }
    return true;
  }

  const std::vector<std::string>& arguments_;
  std::optional<Command> command_;
  std::vector<std::string> positional_;
  std::vector<Given> given_;
  ParsedOptions result_;
};

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& arguments) {
  return Parser(arguments).Run();
}

}  // namespace nolpa::app::console

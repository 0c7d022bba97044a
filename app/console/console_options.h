#pragma once
// The console companion's command line: one command word, its CODE, and
// options before or after it. Only words starting with "--" are options
// ("--name=TEXT" or "--name TEXT"), so an ID code or name may start with
// "-"; "--" alone ends the options. The words are UTF-8, as the user gave
// them; they are converted to the ANSI code page where a printer or its
// list is reached.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace nolpa::app::console {

enum class Command { List, Check, Set, TestComm, TestPrint, Station, Db, Help, Version };

struct Options {
  Command command = Command::Help;
  std::optional<std::string> code;     // check, set
  std::optional<std::string> name;     // set --name
  std::optional<std::string> product;  // --product: a whole product text, case ignored
  std::optional<std::size_t> index;    // --index: a position in Find's order, from 0
  std::optional<std::string> log;      // --log FILE
  std::optional<std::string> fleet;    // --fleet FILE (simulator builds)
  std::optional<std::string> codes;    // station --codes FILE: one code a line
  std::optional<std::string> first;    // station --first CODE: counted up
  std::optional<std::size_t> count;    // station --count N: end after N printers
  std::vector<std::string> dbWords;    // db: what follows the command word ("pool", "add", NAME)
  std::optional<std::string> db;       // --db SOURCE: the plant's database
  std::optional<std::string> pool;     // db report --pool NAME
  std::optional<std::string> since;    // db report --since DATE
  bool json = false;
  bool csv = false;
  bool date = false;            // set --date: the date-based code
  bool allowDuplicate = false;  // set --allow-duplicate
  bool dryRun = false;          // station --dry-run
};

enum class UsageError {
  None,
  NoCommand,
  UnknownCommand,      // `word` is not a command
  UnknownOption,       // `word`
  MissingValue,        // `word` needs a value
  RepeatedOption,      // `word` was given twice
  BadIndex,            // the value of --index is no number from 0
  ExtraArgument,       // `word` has no place
  MissingCode,         // check and set need CODE (or, set, --date)
  CodeAndDate,         // set takes CODE or --date, not both
  NotForCommand,       // `word` does not go with this command
  ProductAndIndex,     // --product and --index together
  JsonAndCsv,          // --json and --csv together
  NoArguments,         // nothing at all was given
  EmptyLog,            // --log with an empty name would keep no log
  MissingCodes,        // station needs --codes or --first
  CodesAndFirst,       // station takes --codes or --first, not both
  FirstWithoutDigits,  // the --first code has no digits to count up
  BadCount,            // the value of --count is no number from 1
};

struct ParsedOptions {
  Options options;
  UsageError error = UsageError::None;
  std::string word;  // the argument the error is about
};

// `arguments` without the program name.
ParsedOptions ParseOptions(const std::vector<std::string>& arguments);

}  // namespace nolpa::app::console

#pragma once
// The console companion's own texts, in the language the window program
// would choose. "{1}", "{2}", "{3}" stand for the values a text is given.
#include <string>
#include <vector>

namespace nolpa::app::console {

enum class Text {
  Usage,
  SeeHelp,
  NoCommand,
  UnknownCommand,
  UnknownOption,
  MissingValue,
  RepeatedOption,
  BadIndex,
  ExtraArgument,
  MissingCode,
  CodeAndDate,
  NotForCommand,
  ProductAndIndex,
  JsonAndCsv,
  FleetNotHere,
  AnotherCopy,
  LogCannotOpen,
  LogNotWritten,
  NoPrinter,
  NoPrinterOfProduct,
  NoPrinterAtIndex,
  Duplicate,
  NameNotUsed,
  SpoolerNotStopped,
  Interrupted,
  RunFailed,
  ProgressSpoolerStop,
  ProgressSpoolerStart,
  ProgressFind,
  ProgressBusy,
  ProgressRescan,
  CheckMatches,
  CheckDiffers,
  SetWritten,
  SetPending,
  SetUnchanged,
  SetRefused,
  SetFailed,
  SetDiffers,
  SetGone,
  TestPrintNotForClass,
  TestPrintSent,
  TestPrintFailed,
  NoPrinters,
  ProductsFound,
  EmptyLog,
  MissingCodes,
  CodesAndFirst,
  FirstWithoutDigits,
  BadCount,
  PendingNote,
  NgReadBack,
  NgAfterRestart,
  StationNeedsLog,
  LogCannotRead,
  LogLinesUnreadable,
  CodesCannotRead,
  CodeRefused,
  NoCodeLeft,
  ProgressWaitPrinter,
  ProgressWaitUnplug,
  ProgressWaitRestart,
  TwoAtOnce,
  LeftAlone,
  StationSummary,
  PendingBefore,
};

// The text in Japanese or English, its placeholders filled from `values`
// (UTF-8) in order.
std::string Say(Text text, bool japanese, const std::vector<std::string>& values = {});
// `text` with its placeholders filled from `values` in order (Say's filling).
std::string FillIn(std::string text, const std::vector<std::string>& values);

}  // namespace nolpa::app::console

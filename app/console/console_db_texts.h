#pragma once
// The texts of the db commands and of the plant's database, in the
// language the window program would choose; "{1}", "{2}", "{3}" stand for
// the values a text is given (as Say's).
#include <string>
#include <vector>

namespace nolpa::app::console {

enum class DbText {
  NeedsSource,
  BadSource,
  PasswordGiven,
  PlaceCommandLine,
  PlaceIni,
  SourceFileUnreadable,
  SourceFileEmpty,
  UnknownDataSource,
  CannotConnect,
  NotSet,
  TooNew,
  Refused,
  InitDone,
  InitUnchanged,
  WhatCommand,
  PoolNeedsName,
  PoolNeedsCodes,
  PoolExists,
  PoolAddedCounter,
  PoolAddedList,
  NoSuchPool,
  CodesEmpty,
  BadSince,
  NoPools,
  NothingHandedOut,
  PoolHeads,
  ReportHeads,
  Counter,
  List,
};

std::string SayDb(DbText text, bool japanese, const std::vector<std::string>& values = {});

}  // namespace nolpa::app::console

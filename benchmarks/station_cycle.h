#pragma once
// The station against set on the same printer, natively on the virtual
// clock: a set run whole (the spooler stopped, Find, the write, the
// read-back, the clean-up) and one station cycle (from the moment the
// printer is plugged in until its OK line: the look that finds it, the
// write, the read-back).
#include <string>

namespace nolpa::bench {

struct StationFigures {
  double setMs = 0;
  double cycleMs = 0;  // the mean over plug-in moments spread over a look's second
  std::string error;   // empty when both ran as they should
};

StationFigures StationAgainstSet();

}  // namespace nolpa::bench

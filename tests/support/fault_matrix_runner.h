#pragma once
// Runs one path of the program, or of the library, once clean to count its
// outside requests and device writes, then once more for each request with
// that request failing, and once more for each device write with that write
// going out short. After each run: nothing reported as success that did not
// happen (the path's own check), nothing held, the controls enabled again,
// and no departure from the protocols the simulator plays beyond those of a
// session the injected fault cut short.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/enabling.h"
#include "tests/support/fault_matrix.h"

namespace nolpa::testing {

struct Path {
  std::string name;
  std::function<void(FaultRig&)> setup;   // not counted
  std::function<void(FaultRig&)> action;  // counted; request N of it fails
  // Asserts that what the run reported is true; `clean`: nothing failed, so
  // it must also have succeeded.
  std::function<void(FaultRig&, bool clean)> check;
  bool restores = false;  // the action ends with the controls' enabled state restored
  bool printerClass = false;
  // How many shards its faulty runs are dealt over, each a test of its own,
  // so that no test of a path with many requests runs for long.
  std::size_t shards = 1;
};

// One shard of a path's faulty runs: those of injection points n (1, 2, ...)
// with n % count == index. Every shard makes the clean run to count.
struct Shard {
  std::size_t index = 0;
  std::size_t count = 1;
};

struct Tally {
  std::size_t runs = 0;
  std::size_t injected = 0;            // failed requests
  std::size_t shortWrites = 0;         // writes that went out short
  std::size_t tolerated = 0;           // departures of sessions cut short by the fault
  std::vector<std::size_t> failing{};  // the runs whose fault a check caught
};

// What every matrix run of this process added up to; printed at its end.
struct MatrixTotals {
  std::size_t paths = 0;
  Tally all;
};
inline MatrixTotals& Totals() {
  static MatrixTotals totals;
  return totals;
}

class MatrixTotalsPrinter : public ::testing::Environment {
 public:
  void TearDown() override {
    const MatrixTotals& t = Totals();
    if (t.paths == 0) return;
    std::printf(
        "[ matrix   ] in all: %zu paths, %zu runs, %zu injected failures, %zu short writes, "
        "%zu sessions cut short\n",
        t.paths, t.all.runs, t.all.injected, t.all.shortWrites, t.all.tolerated);
  }
};
inline ::testing::Environment* const kMatrixTotalsPrinter =
    ::testing::AddGlobalTestEnvironment(new MatrixTotalsPrinter);

// A test name made of a path's name: its letters and digits.
inline std::string PathTestName(const std::string& pathName) {
  std::string name;
  for (const char c : pathName)
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  return name;
}

inline int FailuresSoFar() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

// A session cut by its own fault cannot always be ended in order. The
// printer-command write sends no closing packet after a write that failed
// or went out short (the write sequence ends at once). The library's
// engine ends every packet-mode session with Exit and closes its channel
// first, but a read that fails in the middle of a packet loses what the
// packet said: a Credit the printer started then goes unanswered. Anything
// else the fault leaves behind is a departure.
inline bool SessionCutShort(const sim::Departure& d, const std::string& injected) {
  struct Tolerated {
    const char* injected;
    std::vector<const char*> kinds;
  };
  static const Tolerated kTolerated[] = {
      {"DeviceFiles::Read", {sim::departure::kPrinterTransactionUnanswered}},
      {"DeviceFiles::Write", {sim::departure::kSessionOpenAtClose}},
      {FaultCounter::kShortWrite, {sim::departure::kSessionOpenAtClose}},
  };
  for (const Tolerated& t : kTolerated) {
    if (injected != t.injected) continue;
    for (const char* kind : t.kinds)
      if (d.kind == kind) return true;
  }
  return false;
}

// The enabled state after an action: restored, unless the Find that ended
// it listed nothing, which leaves only Find and Exit usable.
inline void ExpectEnabling(FaultRig& r, const Path& path) {
  ui::TMainForm& form = *r.h.form;
  if (!form.ComboBox1.Items().empty()) {
    ExpectRestored(form, path.printerClass);
    return;
  }
  EXPECT_TRUE(form.Button1.Enabled());
  EXPECT_TRUE(form.Button4.Enabled());
  for (ui::Control* c :
       {&form.Button2, &form.Button3, &form.Button5, &form.Button6, &form.Edit1, &form.Edit2})
    EXPECT_FALSE(c->Enabled()) << ui::LayoutOf(c->Id()).name;
}

// What one run injects: request `at` failing, or device write `at` going
// out short; at 0, nothing.
struct Injection {
  bool shortWrite = false;
  std::size_t at = 0;
};

struct Counted {
  std::size_t requests = 0;
  std::size_t writes = 0;
};

// One run from scratch with `injection`; returns what it counted and adds
// the departures it tolerated.
inline Counted RunOnce(const Path& path, Injection injection, std::size_t* tolerated) {
  FaultRig r;
  path.setup(r);
  const FaultRig::Held before = r.Holding();
  r.h.boxes.shown.clear();
  injection.shortWrite ? r.fp.counter.ArmShortWrite(injection.at) : r.fp.counter.Arm(injection.at);
  path.action(r);
  r.fp.counter.Disarm();
  const Counted counted{r.fp.counter.Count(), r.fp.counter.Writes()};
  const std::string injected = r.fp.counter.Injected();
  SCOPED_TRACE(injection.at == 0 ? std::string("clean run")
                                 : (injection.shortWrite ? "write " : "request ") +
                                       std::to_string(injection.at) + ": " + injected);
  if (injection.at != 0) {
    EXPECT_FALSE(injected.empty());
  }
  path.check(r, injection.at == 0);
  if (r.closed) {
    EXPECT_EQ(r.Holding(), FaultRig::Held{});
  } else {
    EXPECT_EQ(r.Holding(), before);
    if (path.restores) ExpectEnabling(r, path);
  }
  // The channel API is released once for every start it accepted.
  EXPECT_EQ(r.api.ReleaseCalls(), r.api.InitializeCalls() - r.refusedInitializes);
  // Departures are checked here, where the fault is known; the suite's own
  // check would see them only as the world ends, untraced.
  if (r.h.form && !r.closed) r.h.form->FormClose();
  r.closed = true;
  for (const sim::Departure& d : r.h.world.Departures().Unexpected()) {
    if (SessionCutShort(d, injected))
      ++*tolerated;
    else
      ADD_FAILURE() << "departure: " << sim::DescribeDeparture(d);
  }
  r.h.world.Departures().Clear();
  return counted;
}

inline void Report(const char* what, const Tally& t) {
  const std::string line = std::to_string(t.runs) + " runs, " + std::to_string(t.injected) +
                           " injected failures, " + std::to_string(t.shortWrites) +
                           " short writes, " + std::to_string(t.tolerated) + " sessions cut short" +
                           (t.failing.empty() ? "" : ", stopped at 3 failing runs");
  std::printf("[ matrix   ] %-38s %s\n", what, line.c_str());
  ::testing::Test::RecordProperty(what, line);
}

// Every request failing in turn, then every device write going out short,
// but no more than a few failing runs of each kind per path and shard: one
// fault tends to show at many requests.
inline Tally RunPath(const Path& path, Shard shard = {}) {
  Tally t;
  const std::string label = shard.count == 1 ? path.name
                                             : path.name + " " + std::to_string(shard.index + 1) +
                                                   "/" + std::to_string(shard.count);
  SCOPED_TRACE(label);
  const Counted count = RunOnce(path, {}, &t.tolerated);
  ++t.runs;
  EXPECT_GT(count.requests, 0u);
  for (const bool shortWrite : {false, true}) {
    const std::size_t limit = shortWrite ? count.writes : count.requests;
    const std::size_t failingBefore = t.failing.size();
    for (std::size_t n = 1; n <= limit && t.failing.size() - failingBefore < 3; ++n) {
      if (n % shard.count != shard.index) continue;
      const int before = FailuresSoFar();
      RunOnce(path, {shortWrite, n}, &t.tolerated);
      ++t.runs;
      ++(shortWrite ? t.shortWrites : t.injected);
      if (FailuresSoFar() != before) t.failing.push_back(n);
    }
  }
  Report(label.c_str(), t);
  MatrixTotals& totals = Totals();
  if (shard.index == 0) ++totals.paths;
  totals.all.runs += t.runs;
  totals.all.injected += t.injected;
  totals.all.shortWrites += t.shortWrites;
  totals.all.tolerated += t.tolerated;
  return t;
}

}  // namespace nolpa::testing

// The server stopped and started in the middle of a run, on a server of
// the test's own: while it is away nothing is handed out and every call
// ends soon; the outcomes held in the station's log are sent once it is
// back, each once; the codes go on without one twice.
#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "app/console/console_db_outbox.h"
#include "app/console/station_codes.h"
#include "app/plant/plant_pools.h"
#include "app/plant/plant_schema.h"
#include "app/plant/sql_plant_record.h"
#include "tests/plant/plant_server.h"

namespace nolpa::tests::plant {
namespace {

using namespace app::plant;
using Clock = std::chrono::steady_clock;

TEST(PlantOutage, NothingHandedOutWhileAwayAndHeldOutcomesSentOnceItIsBack) {
  OwnServer server;
  ASSERT_TRUE(server.Started());
  PlantDatabase database(Odbc(), server.Connection(), {3, 5});
  int from = 0, to = 0;
  ASSERT_EQ(MigrateSchema(database, &from, &to), PlantStatus::Ok) << database.Diagnostic().message;
  ASSERT_EQ(AddCounterPool(database, "line", "L-001", "T0"), PlantStatus::Ok);
  SqlPlantRecord record(database, &app::console::NextCountedCode);
  std::set<std::string> codes;
  std::string log;
  const auto take = [&](Outcome outcome) {
    Reservation r;
    const PlantStatus s = record.Reserve("line", "s", {"d", "p", "", ""}, "T1", &r);
    if (s != PlantStatus::Ok) return s;
    EXPECT_TRUE(codes.insert(r.code).second) << r.code << " twice";
    app::JsonObject line;
    line.Text("time", "2027-03-01T09:00:0" + std::to_string(r.id) + ".000Z");
    app::console::AddOutcomeMembers(line,
                                    {r.id, outcome, outcome == Outcome::Ng ? "torn" : "", ""});
    log += line.Json() + "\n";
    return s;
  };
  ASSERT_EQ(take(Outcome::Written), PlantStatus::Ok);
  ASSERT_EQ(take(Outcome::Ng), PlantStatus::Ok);
  ASSERT_EQ(take(Outcome::Pending), PlantStatus::Ok);
  std::string appended;
  const auto append = [&](const std::string& line) {
    appended += line;
    return true;
  };

  ASSERT_TRUE(server.Pause());
  const auto start = Clock::now();
  EXPECT_EQ(take(Outcome::Written), PlantStatus::Unreachable);
  const app::console::OutboxResult away =
      app::console::SendUnsentOutcomes(record, log, "T2", "NOLPAIDC", append);
  EXPECT_EQ(away.status, PlantStatus::Unreachable);
  EXPECT_EQ(away.sent, 0u);
  EXPECT_EQ(away.left, 3u);
  EXPECT_EQ(appended, "");
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));

  ASSERT_TRUE(server.Resume());
  const app::console::OutboxResult back =
      app::console::SendUnsentOutcomes(record, log, "T3", "NOLPAIDC", append);
  EXPECT_EQ(back.status, PlantStatus::Ok);
  EXPECT_EQ(back.sent, 3u);
  log += appended;
  EXPECT_TRUE(app::console::UnsentOutcomes(log).empty());
  EXPECT_EQ(app::console::SendUnsentOutcomes(record, log, "T4", "NOLPAIDC", append).sent, 0u);
  // The same outcome sent twice (its sent line lost) is recorded once.
  EXPECT_EQ(record.RecordOutcome(2, Outcome::Ng, "torn", "2027-03-01T09:00:02.000Z"),
            PlantStatus::Ok);

  std::vector<CodeRecord> all;
  ASSERT_EQ(Report(database, {}, [&](const CodeRecord& r) { all.push_back(r); }), PlantStatus::Ok);
  ASSERT_EQ(all.size(), 3u);  // the reservation tried while away kept nothing
  const Outcome expected[] = {Outcome::Written, Outcome::Ng, Outcome::Pending};
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i].outcome, expected[i]);
    EXPECT_EQ(all[i].outcomeAt, "2027-03-01T09:00:0" + std::to_string(i + 1) + ".000Z");
  }
  EXPECT_EQ(all[1].reason, "torn");
  ASSERT_EQ(take(Outcome::Written), PlantStatus::Ok);  // and the codes go on
  EXPECT_EQ(codes.size(), 4u);
}

}  // namespace
}  // namespace nolpa::tests::plant

// Eight stations take codes from one pool at once, as separate processes
// (plant_taker), and some are killed (SIGKILL) at random moments and
// started again. Whatever the moment: no code is handed out twice, every
// code a station was told it holds is in the record under its number,
// every outcome a station saw recorded is there, and the pool counts each
// code it gave, those of killed stations included (never handed out again).
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "app/plant/plant_pools.h"
#include "app/plant/plant_schema.h"
#include "tests/plant/child_process.h"
#include "tests/plant/plant_server.h"

namespace nolpa::tests::plant {
namespace {

using namespace app::plant;

class PlantKillTest : public PlantServerTest {};

struct Seen {
  std::map<std::int64_t, std::string> reserved;  // record -> code, from every station's output
  std::set<std::int64_t> written;
};

// Reads one station's output; a line cut by the kill is left out.
void Read(const std::string& path, Seen* seen) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line) && !in.eof()) {
    std::istringstream words(line);
    std::string kind, code;
    std::int64_t id = 0;
    words >> kind >> id >> code;
    if (kind == "R") {
      EXPECT_TRUE(seen->reserved.emplace(id, code).second) << "record " << id << " given twice";
    } else if (kind == "W") {
      seen->written.insert(id);
    }
  }
}

TEST_F(PlantKillTest, EightStationsKilledAtRandomNeverShareACode) {
  {
    PlantDatabase database(Odbc(), Connection());
    int from = 0, to = 0;
    ASSERT_EQ(MigrateSchema(database, &from, &to), PlantStatus::Ok);
    ASSERT_EQ(AddCounterPool(database, "line", "P-00000", "T0"), PlantStatus::Ok);
  }
  char folder[] = "/tmp/nolpa-kill-XXXXXX";
  const std::string dir = mkdtemp(folder);
  std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
  Seen seen;
  int killed = 0;
  for (int round = 0; round < 3; ++round) {
    std::vector<std::unique_ptr<Child>> stations;
    std::vector<std::string> outputs;
    for (int s = 0; s < 8; ++s) {
      outputs.push_back(dir + "/r" + std::to_string(round) + "-s" + std::to_string(s));
      stations.push_back(
          std::make_unique<Child>(std::vector<std::string>{NOLPA_PLANT_TAKER, Connection(), "line",
                                                           "station-" + std::to_string(s), "30"},
                                  outputs.back()));
    }
    // Half of them die at a random moment of their run.
    for (int s = 0; s < 8; s += 2) {
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 250));
      if (stations[s]->Running()) ++killed;
      stations[s]->Kill();
    }
    for (int s = 1; s < 8; s += 2) {
      int exitCode = -1;
      ASSERT_TRUE(stations[s]->Wait(120, &exitCode)) << "station " << s << " did not end";
      EXPECT_EQ(exitCode, 0) << "station " << s;
    }
    for (const std::string& out : outputs) Read(out, &seen);
  }
  EXPECT_GT(killed, 0);

  // The record against what the stations saw.
  PlantDatabase database(Odbc(), Connection());
  std::map<std::int64_t, CodeRecord> records;
  std::set<std::string> codes;
  ASSERT_EQ(Report(database, {},
                   [&](const CodeRecord& r) {
                     records.emplace(r.id, r);
                     EXPECT_TRUE(codes.insert(r.code).second) << r.code << " handed out twice";
                   }),
            PlantStatus::Ok);
  for (const auto& [id, code] : seen.reserved) {
    ASSERT_TRUE(records.count(id)) << "record " << id << " (" << code << ") is not kept";
    EXPECT_EQ(records.at(id).code, code);
  }
  for (std::int64_t id : seen.written) EXPECT_EQ(records.at(id).outcome, Outcome::Written) << id;
  std::vector<PoolSummary> pools;
  ASSERT_EQ(ListPools(database, &pools), PlantStatus::Ok);
  ASSERT_EQ(pools.size(), 1u);
  EXPECT_EQ(pools[0].handedOut, static_cast<std::int64_t>(records.size()));
  // Codes were handed out in counting order, with no gap: none skipped, none reused.
  EXPECT_EQ(pools[0].next, "P-" + std::string(5 - std::to_string(records.size()).size(), '0') +
                               std::to_string(records.size()));
  EXPECT_GE(records.size(), 4u * 30u * 3u);  // the survivors' share at least
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace nolpa::tests::plant

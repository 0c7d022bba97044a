// The plant's record in a real PostgreSQL, against its in-memory fake: the
// same random operations on both must give the same answers (so the fake
// that tests of the station will use keeps the database's rules), and the
// database's own promises hold after each step: no code key twice, no
// outcome stepping back, texts in any language kept exactly.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "app/console/station_codes.h"
#include "app/plant/fake_plant_record.h"
#include "app/plant/plant_codes.h"
#include "app/plant/plant_pools.h"
#include "app/plant/plant_schema.h"
#include "app/plant/sql_plant_record.h"
#include "tests/plant/plant_server.h"

namespace nolpa::tests::plant {
namespace {

using namespace app::plant;

class PlantRecordTest : public PlantServerTest {
 protected:
  void SetUp() override {
    PlantServerTest::SetUp();
    database_ = std::make_unique<PlantDatabase>(Odbc(), Connection());
    int from = 0, to = 0;
    ASSERT_EQ(MigrateSchema(*database_, &from, &to), PlantStatus::Ok)
        << database_->Diagnostic().message;
  }
  std::unique_ptr<PlantDatabase> database_;
};

// Names and products as a plant has them, in several scripts.
const char* const kTexts[] = {"Line 3",
                              "ライン３",
                              "Straße 7",
                              "线 4 🏭",
                              "",
                              "VX-410 Receipt",
                              "\\\\?\\usb#vid_0f1a&pid_0410#{5dd9}"};

TEST_F(PlantRecordTest, AgreesWithItsFakeOnRandomOperations) {
  SqlPlantRecord sql(*database_, &app::console::NextCountedCode);
  FakePlantRecord fake(&app::console::NextCountedCode);
  // Pools that overlap each other and a set's codes, in another case too.
  const std::vector<std::string> list = {"a-1", "L-0098", "B-2", "l-0101", "C-3", "a-1"};
  ASSERT_EQ(AddCounterPool(*database_, "count", "L-0097", "T0"), PlantStatus::Ok);
  ASSERT_EQ(AddCounterPool(*database_, "short", "S-7", "T0"), PlantStatus::Ok);
  ASSERT_EQ(AddListPool(*database_, "list", list, "T0"), PlantStatus::Ok);
  fake.AddCounterPool("count", "L-0097");
  fake.AddCounterPool("short", "S-7");
  fake.AddListPool("list", list);
  std::mt19937 random(1234);
  const auto text = [&] { return std::string(kTexts[random() % std::size(kTexts)]); };
  std::int64_t records = 0;
  for (int step = 0; step < 120; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const PrinterIdentity printer{text(), text(), text(), text()};
    const std::string time = "2027-03-01T09:" + std::to_string(10 + step % 50) + ":00.000Z";
    Reservation a, b;
    switch (random() % 5) {
      case 0:
      case 1: {
        const char* pools[] = {"count", "short", "list", "nosuch"};
        const std::string pool = pools[random() % 4];
        const PlantStatus s = sql.Reserve(pool, text(), printer, time, &a);
        ASSERT_EQ(s, fake.Reserve(pool, "?", printer, time, &b)) << pool;
        if (s == PlantStatus::Ok) EXPECT_EQ(a.code, b.code);
        break;
      }
      case 2: {
        const std::string code = random() % 2 ? "l-" + std::to_string(100 + random() % 5) : "S-8";
        const PlantStatus s = sql.ReserveCode(code, text(), printer, time, &a);
        ASSERT_EQ(s, fake.ReserveCode(code, "?", printer, time, &b)) << code;
        break;
      }
      default: {
        const std::int64_t id =
            1 + static_cast<std::int64_t>(random() % (fake.Records().size() + 2));
        const auto outcome = static_cast<Outcome>(random() % 5);
        const std::string reason = random() % 2 ? "" : text();
        ASSERT_EQ(sql.RecordOutcome(id, outcome, reason, time),
                  fake.RecordOutcome(id, outcome, reason, time));
      }
    }
    records = static_cast<std::int64_t>(fake.Records().size());
  }
  // Whole records: same ids, codes, outcomes, and every text as it was given.
  std::vector<CodeRecord> all;
  ASSERT_EQ(Report(*database_, {}, [&](const CodeRecord& r) { all.push_back(r); }),
            PlantStatus::Ok);
  ASSERT_EQ(static_cast<std::int64_t>(all.size()), records);
  std::set<std::string> keys;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const CodeRecord& r = all[i];
    const CodeRecord& f = fake.Records()[i];
    EXPECT_TRUE(keys.insert(CodeKey(r.code)).second) << r.code << " handed out twice";
    EXPECT_EQ(r.id, f.id);
    EXPECT_EQ(r.code, f.code);
    EXPECT_EQ(r.printer.device, f.printer.device);
    EXPECT_EQ(r.printer.product, f.printer.product);
    EXPECT_EQ(r.printer.location, f.printer.location);
    EXPECT_EQ(r.outcome, f.outcome);
    EXPECT_EQ(r.reason, f.reason);
    EXPECT_EQ(r.outcomeAt, f.outcomeAt);
    std::vector<CodeRecord> found;
    ASSERT_EQ(sql.FindByCode(CodeKey(r.code), &found), PlantStatus::Ok);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].id, r.id);
  }
  EXPECT_GT(records, 20);  // the walk reached far enough to mean something
}

TEST_F(PlantRecordTest, PoolsSayWhatIsLeftAndReportsFilter) {
  ASSERT_EQ(AddCounterPool(*database_, "count", "L-0097", "2027-01-01T00:00:00.000Z"),
            PlantStatus::Ok);
  ASSERT_EQ(AddListPool(*database_, "list", {"L-0098", "X-1", "x-2"}, "2027-01-01T00:00:00.000Z"),
            PlantStatus::Ok);
  EXPECT_EQ(AddCounterPool(*database_, "list", "Q-1", "T"), PlantStatus::PoolExists);
  SqlPlantRecord record(*database_, &app::console::NextCountedCode);
  Reservation r;
  ASSERT_EQ(record.Reserve("count", "s1", {"d1", "p", "", ""}, "2027-03-01T08:00:00.000Z", &r),
            PlantStatus::Ok);
  ASSERT_EQ(record.Reserve("count", "s1", {"d2", "p", "", ""}, "2027-03-02T08:00:00.000Z", &r),
            PlantStatus::Ok);
  EXPECT_EQ(r.code, "L-0098");
  ASSERT_EQ(record.ReserveCode("X-2", "s2", {"d3", "p", "", ""}, "2027-03-03T08:00:00.000Z", &r),
            PlantStatus::Ok);
  std::vector<PoolSummary> pools;
  ASSERT_EQ(ListPools(*database_, &pools), PlantStatus::Ok);
  ASSERT_EQ(pools.size(), 2u);
  EXPECT_EQ(pools[0].name, "count");
  EXPECT_EQ(pools[0].next, "L-0099");
  EXPECT_EQ(pools[0].left, 9901);
  EXPECT_EQ(pools[0].handedOut, 2);
  EXPECT_EQ(pools[1].next, "X-1");  // L-0098 went to the counter
  EXPECT_EQ(pools[1].left, 1);      // and x-2 to a set
  std::vector<std::string> codes;
  const auto collect = [&](const CodeRecord& c) { codes.push_back(c.code); };
  ASSERT_EQ(Report(*database_, {"count", "2027-03-02"}, collect), PlantStatus::Ok);
  EXPECT_EQ(codes, std::vector<std::string>{"L-0098"});
  EXPECT_EQ(Report(*database_, {"nosuch", {}}, collect), PlantStatus::NoSuchPool);
  ASSERT_EQ(record.Reserve("list", "s1", {"d4", "p", "", ""}, "T", &r), PlantStatus::Ok);
  EXPECT_EQ(record.Reserve("list", "s1", {"d5", "p", "", ""}, "T", &r), PlantStatus::PoolEmpty);
}

}  // namespace
}  // namespace nolpa::tests::plant

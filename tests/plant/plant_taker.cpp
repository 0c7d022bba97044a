// plant_taker: a station's share of the plant's record, as a process the
// plant tests start many times at once and kill at random moments:
//   plant_taker CONNECTION POOL STATION COUNT
// takes COUNT codes from POOL, one after another, as a station takes them
// (reserved before anything is sent), and records each written. Each step
// is one line on the output, flushed before the next step starts:
//   R <record> <code>   the reservation was committed
//   W <record>          its outcome was recorded
// Ends with 0 when all were taken, 3 when the pool ran out, 4 on any
// other failure (said on the error stream).
#include <cstdio>
#include <ctime>
#include <string>

#include "app/console/station_codes.h"
#include "app/plant/plant_codes.h"
#include "app/plant/sql_plant_record.h"
#include "platform/odbc/odbc_database.h"

namespace {

std::string Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm t{};
  gmtime_r(&now.tv_sec, &t);
  return nolpa::app::plant::IsoTime({t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                                     t.tm_sec, static_cast<int>(now.tv_nsec / 1000000)});
}

}  // namespace

int main(int argc, char** argv) {
  using namespace nolpa::app::plant;
  if (argc != 5) {
    std::fprintf(stderr, "usage: plant_taker CONNECTION POOL STATION COUNT\n");
    return 7;
  }
  const std::string pool = argv[2];
  const std::string station = argv[3];
  const long count = std::atol(argv[4]);
  nolpa::platform::odbc::OdbcDatabases databases(&nolpa::platform::odbc::LinkedOdbc);
  PlantDatabase database(databases, argv[1]);
  SqlPlantRecord record(database, &nolpa::app::console::NextCountedCode);
  for (long i = 0; i < count; ++i) {
    const PrinterIdentity printer{"\\\\?\\usb#" + station + "#" + std::to_string(i),
                                  "VX-410 Receipt", "", "OLD"};
    Reservation taken;
    PlantStatus s = record.Reserve(pool, station, printer, Now(), &taken);
    if (s == PlantStatus::PoolEmpty) return 3;
    if (s != PlantStatus::Ok) {
      std::fprintf(stderr, "reserve: %d %s\n", static_cast<int>(s),
                   record.Diagnostic().message.c_str());
      return 4;
    }
    std::printf("R %lld %s\n", static_cast<long long>(taken.id), taken.code.c_str());
    std::fflush(stdout);
    s = record.RecordOutcome(taken.id, Outcome::Written, "", Now());
    if (s != PlantStatus::Ok) {
      std::fprintf(stderr, "outcome: %d %s\n", static_cast<int>(s),
                   record.Diagnostic().message.c_str());
      return 4;
    }
    std::printf("W %lld\n", static_cast<long long>(taken.id));
    std::fflush(stdout);
  }
  return 0;
}

#pragma once
// The pools of codes and the report: what `db pool add`, `db pools` and
// `db report` do with the plant's database.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/plant/plant_database.h"
#include "app/plant/plant_record.h"

namespace nolpa::app::plant {

// A counter from `first` (the station's counting) or the codes of a list in
// order; `time` is when the pool was made. PoolExists when the name is
// taken. The whole pool is made in one transaction.
PlantStatus AddCounterPool(PlantDatabase& database, const std::string& name,
                           const std::string& first, const std::string& time);
PlantStatus AddListPool(PlantDatabase& database, const std::string& name,
                        const std::vector<std::string>& codes, const std::string& time);

struct PoolSummary {
  std::string name;
  bool counter = true;
  std::string next;  // the next code to try; empty when none is left
  std::int64_t handedOut = 0;
  // Codes still to hand out. A list's count leaves out codes the plant
  // holds already; a counter's is how far it can still count (codes of it
  // that another pool or a set took are in it).
  std::int64_t left = 0;
  std::string createdAt;
};
PlantStatus ListPools(PlantDatabase& database, std::vector<PoolSummary>* pools);

struct ReportFilter {
  std::optional<std::string> pool;   // only the codes of this pool
  std::optional<std::string> since;  // only codes reserved at or after it (IsReportStart)
};
// Every record that passes `filter`, oldest first, each given to `take` as
// it is fetched. NoSuchPool when the filter names a pool there is not.
PlantStatus Report(PlantDatabase& database, const ReportFilter& filter,
                   const std::function<void(const CodeRecord&)>& take);

}  // namespace nolpa::app::plant

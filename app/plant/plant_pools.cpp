#include "app/plant/plant_pools.h"

#include <cstdlib>

#include "app/plant/plant_codes.h"
#include "app/plant/sql_plant_record.h"

namespace nolpa::app::plant {

using platform::DatabaseConnection;
using platform::DatabaseRow;
using platform::DatabaseValue;

namespace {

// A list goes in this many codes a statement.
constexpr std::size_t kCodesPerInsert = 100;

DatabaseValue Of(const std::string& text) { return DatabaseValue::Of(text); }
DatabaseValue Of(std::int64_t value) { return DatabaseValue::Of(value); }

std::int64_t Number(const std::optional<std::string>& text) {
  return text ? std::strtoll(text->c_str(), nullptr, 10) : 0;
}

PlantStatus PoolTaken(PlantDatabase& db, DatabaseConnection& c, const std::string& name,
                      bool* taken) {
  *taken = false;
  return c.Execute("SELECT name FROM nolpa_pools WHERE name = ?", {Of(name)},
                   [&](const DatabaseRow&) {
                     *taken = true;
                     return false;
                   })
             ? PlantStatus::Ok
             : db.Failure();
}

PlantStatus InsertPool(PlantDatabase& db, DatabaseConnection& c, const std::string& name,
                       const std::optional<std::string>& first, std::int64_t listSize,
                       const std::string& time) {
  bool taken = false;
  if (const PlantStatus s = PoolTaken(db, c, name, &taken); s != PlantStatus::Ok) return s;
  if (taken) return PlantStatus::PoolExists;
  return c.Execute(
             "INSERT INTO nolpa_pools (name, kind, next_code, next_position, list_size, "
             "handed_out, created_at) VALUES (?, ?, ?, 1, ?, 0, ?)",
             {Of(name), Of(std::string(first ? "counter" : "list")),
              first ? Of(*first) : DatabaseValue::Null(), Of(listSize), Of(time)})
             ? PlantStatus::Ok
             : db.Failure();
}

PlantStatus InsertCodes(PlantDatabase& db, DatabaseConnection& c, const std::string& name,
                        const std::vector<std::string>& codes) {
  for (std::size_t at = 0; at < codes.size(); at += kCodesPerInsert) {
    const std::size_t end = std::min(codes.size(), at + kCodesPerInsert);
    std::string sql = "INSERT INTO nolpa_pool_codes (pool_name, position, code, code_key) VALUES ";
    std::vector<DatabaseValue> values;
    for (std::size_t i = at; i < end; ++i) {
      sql += i == at ? "(?, ?, ?, ?)" : ", (?, ?, ?, ?)";
      values.insert(values.end(), {Of(name), Of(static_cast<std::int64_t>(i + 1)), Of(codes[i]),
                                   Of(CodeKey(codes[i]))});
    }
    if (!c.Execute(sql, values)) return db.Failure();
  }
  return PlantStatus::Ok;
}

}  // namespace

PlantStatus AddCounterPool(PlantDatabase& database, const std::string& name,
                           const std::string& first, const std::string& time) {
  return database.Transaction(
      [&](DatabaseConnection& c) { return InsertPool(database, c, name, first, 0, time); });
}

PlantStatus AddListPool(PlantDatabase& database, const std::string& name,
                        const std::vector<std::string>& codes, const std::string& time) {
  return database.Transaction([&](DatabaseConnection& c) {
    const auto size = static_cast<std::int64_t>(codes.size());
    const PlantStatus s = InsertPool(database, c, name, std::nullopt, size, time);
    return s == PlantStatus::Ok ? InsertCodes(database, c, name, codes) : s;
  });
}

PlantStatus ListPools(PlantDatabase& database, std::vector<PoolSummary>* pools) {
  pools->clear();
  std::vector<std::int64_t> positions;  // each list's next position
  PlantStatus s = database.Run(
      "SELECT name, kind, next_code, next_position, list_size, handed_out, created_at "
      "FROM nolpa_pools ORDER BY name",
      {}, [&](const DatabaseRow& row) {
        PoolSummary p;
        p.name = row.at(0).value_or("");
        p.counter = row.at(1) == "counter";
        p.next = row.at(2).value_or("");
        p.left = p.counter ? CountedCodesLeft(p.next) : 0;
        positions.push_back(Number(row.at(3)));
        p.handedOut = Number(row.at(5));
        p.createdAt = row.at(6).value_or("");
        pools->push_back(p);
        return true;
      });
  for (std::size_t i = 0; i < pools->size(); ++i) {
    PoolSummary& p = (*pools)[i];
    if (s != PlantStatus::Ok || p.counter) continue;
    const std::int64_t position = positions[i];
    // A list's codes from its position on that no record of the plant holds.
    s = database.Run(
        "SELECT COUNT(*) FROM nolpa_pool_codes p WHERE p.pool_name = ? AND p.position >= ? "
        "AND NOT EXISTS (SELECT 1 FROM nolpa_codes c WHERE c.code_key = p.code_key)",
        {Of(p.name), Of(position)}, [&](const DatabaseRow& row) {
          p.left = Number(row.at(0));
          return false;
        });
    if (s == PlantStatus::Ok && p.left > 0) {
      s = database.Run(
          "SELECT p.code FROM nolpa_pool_codes p WHERE p.pool_name = ? AND p.position = "
          "(SELECT MIN(q.position) FROM nolpa_pool_codes q WHERE q.pool_name = ? AND "
          "q.position >= ? AND NOT EXISTS (SELECT 1 FROM nolpa_codes c WHERE c.code_key = "
          "q.code_key))",
          {Of(p.name), Of(p.name), Of(position)}, [&](const DatabaseRow& row) {
            p.next = row.at(0).value_or("");
            return false;
          });
    }
  }
  return s;
}

PlantStatus Report(PlantDatabase& database, const ReportFilter& filter,
                   const std::function<void(const CodeRecord&)>& take) {
  std::string sql = std::string("SELECT ") + kRecordColumns + " FROM nolpa_codes WHERE 1 = 1";
  std::vector<DatabaseValue> values;
  if (filter.pool) {
    bool known = false;
    const PlantStatus s = database.Run("SELECT name FROM nolpa_pools WHERE name = ?",
                                       {Of(*filter.pool)}, [&](const DatabaseRow&) {
                                         known = true;
                                         return false;
                                       });
    if (s != PlantStatus::Ok) return s;
    if (!known) return PlantStatus::NoSuchPool;
    sql += " AND pool_name = ?";
    values.push_back(Of(*filter.pool));
  }
  if (filter.since) {
    sql += " AND reserved_at >= ?";
    values.push_back(Of(*filter.since));
  }
  return database.Run(sql + " ORDER BY record_id", values, [&](const DatabaseRow& row) {
    take(RecordOf(row));
    return true;
  });
}

}  // namespace nolpa::app::plant

#include "sim/core/departures.h"

#include <algorithm>
#include <utility>

namespace nolpa::sim {
namespace {

DepartureHandler& Handler() {
  static DepartureHandler handler;
  return handler;
}

}  // namespace

std::string DescribeDeparture(const Departure& d) {
  std::string line = "@" + std::to_string(d.timeMs) + " " + d.device + ": " + d.kind;
  if (!d.detail.empty()) line += " (" + d.detail + ")";
  return line;
}

DepartureLog::~DepartureLog() {
  const std::vector<Departure> left = Unexpected();
  if (!left.empty() && Handler()) Handler()(left);
}

void DepartureLog::Note(Departure departure) { departures_.push_back(std::move(departure)); }

void DepartureLog::Expect(std::string_view kind) { expected_.emplace_back(kind); }

std::vector<Departure> DepartureLog::Unexpected() const {
  std::vector<Departure> left;
  for (const Departure& d : departures_)
    if (std::find(expected_.begin(), expected_.end(), d.kind) == expected_.end()) left.push_back(d);
  return left;
}

std::size_t DepartureLog::Count(std::string_view kind) const {
  return static_cast<std::size_t>(
      std::count_if(departures_.begin(), departures_.end(),
                    [kind](const Departure& d) { return d.kind == kind; }));
}

void SetDepartureHandler(DepartureHandler handler) { Handler() = std::move(handler); }

}  // namespace nolpa::sim

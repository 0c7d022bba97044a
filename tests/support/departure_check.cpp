// Every native test that runs against the simulator fails when a simulated
// device noted a departure from its protocol that the test did not name
// with Expect(): a lenient stand-in must not let a wrong host pass.
#include <gtest/gtest.h>

#include "sim/core/departures.h"

namespace {

const bool kDepartureCheckInstalled = [] {
  nolpa::sim::SetDepartureHandler([](const std::vector<nolpa::sim::Departure>& left) {
    std::string text;
    for (const auto& d : left) text += "\n  " + nolpa::sim::DescribeDeparture(d);
    ADD_FAILURE() << "the simulator noted departures the test did not expect:" << text;
  });
  return true;
}();

}  // namespace

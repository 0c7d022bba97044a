#pragma once
// The window program's Find and the console companion's list on a fleet, in
// this process: the fleet's simulated printers, the library linked in, the
// clock given (the virtual one natively, the real one under Wine). The
// console's list is the form's Find followed by what list adds: the USB
// locations and the JSON document.
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/clock.h"
#include "platform/text_encoding.h"

namespace nolpa::bench {

class FleetList {
 public:
  // Loads `fleetJson` (a fleet file's text) and prepares the form as the
  // program's start does. Throws what loading the fleet throws.
  FleetList(platform::Clock& clock, platform::TextEncoding& encoding, std::string_view fleetJson);
  ~FleetList();
  FleetList(const FleetList&) = delete;
  FleetList& operator=(const FleetList&) = delete;

  // One Find, as the window's Find button runs it.
  void Find();
  // One list; how many printers it listed (0 when the document is empty).
  std::size_t List();
  // How many of the last Find's printers are printer-class printers whose
  // ID code (their serial number, from the library) is not empty.
  std::size_t SerialNumbersRead() const;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

// The console's list on a generated fleet of `printers` printer-class
// printers behind chains of hubs (sim/fleet/generated_fleet.h), read on
// `nowMs` (real milliseconds): the best of `runs` medians of `rounds` lists
// each, after one list to warm up. A negative figure when a list did not
// read every printer's serial number, so that it cannot pass for fast.
double GeneratedFleetListMs(platform::Clock& clock, platform::TextEncoding& encoding, int printers,
                            const std::function<double()>& nowMs, int rounds, int runs);

}  // namespace nolpa::bench

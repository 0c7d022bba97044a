// The fleet-file loader: the input is a fleet text. Bad input must end in
// FleetError (any other exception escapes and is reported as a crash); a
// fleet that loads is written back, and what is written loads again to the
// same text. The loaded fleet also serves as the state another writer
// stored: taking it in changes nothing.
#include "sim/fleet/fleet.h"
#include "fuzzing/support/fuzz_input.h"
#include "sim/core/virtual_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace sim = nolpa::sim;
  const std::string_view text = nolpa::fuzz::AsText({data, size});
  sim::VirtualClock clock;
  std::unique_ptr<sim::World> world;
  try {
    world = sim::WorldFromFleet(text, clock);
  } catch (const sim::FleetError&) {
    return 0;
  }
  const std::string written = sim::FleetToJson(*world);
  sim::VirtualClock again;
  std::unique_ptr<sim::World> reloaded;
  try {
    reloaded = sim::WorldFromFleet(written, again);
  } catch (const sim::FleetError& error) {
    std::fprintf(stderr, "written fleet refused: %s\n%s\n", error.what(), written.c_str());
    FUZZ_CHECK(!"a written fleet loads again");
  }
  FUZZ_CHECK(sim::FleetToJson(*reloaded) == written);
  sim::ApplyStoredState(*reloaded, text);
  FUZZ_CHECK(sim::FleetToJson(*reloaded) == written);
  return 0;
}

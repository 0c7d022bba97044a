#include "discovery/routes.h"

namespace nolpa::discovery {

void RunRoutes(const Routes& routes, DeviceList& list,
               const std::function<void(const std::string&)>& found) {
  const struct {
    const Probe& probe;
    int count;
  } order[] = {{routes.vendorDriver, kVendorDriverProbes},
               {routes.virtualCom, kVirtualComProbes},
               {routes.printerClass, kPrinterClassProbes}};
  std::size_t count = 0;
  for (const auto& route : order) {
    if (!route.probe) continue;
    for (int index = 0; index < route.count; ++index) {
      if (!route.probe(index, list)) continue;
      found(list.Get(count, ProductText));
      ++count;
    }
  }
}

}  // namespace nolpa::discovery

#include "discovery/standard_routes.h"

#include "discovery/vendor_driver.h"

namespace nolpa::discovery {

Routes StandardRoutes(const platform::Platform& platform) {
  Routes routes;
  routes.vendorDriver = [platform](int index, DeviceList& list) {
    return ProbeVendorDriverDevice(platform, index, list);
  };
  // The virtual COM port and USB printer class routes are not built yet:
  // they find nothing.
  return routes;
}

}  // namespace nolpa::discovery

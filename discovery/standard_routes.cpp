#include "discovery/standard_routes.h"

#include "discovery/vendor_driver.h"
#include "discovery/virtual_com.h"

namespace nolpa::discovery {

Routes StandardRoutes(const platform::Platform& platform) {
  Routes routes;
  routes.vendorDriver = [platform](int index, DeviceList& list) {
    return ProbeVendorDriverDevice(platform, index, list);
  };
  routes.virtualCom = [platform](int index, DeviceList& list) {
    return ProbeVirtualComPort(platform, index, list);
  };
  // The USB printer class route is not built yet: it finds nothing.
  return routes;
}

}  // namespace nolpa::discovery

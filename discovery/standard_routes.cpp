#include "discovery/standard_routes.h"

#include "discovery/vendor_driver.h"
#include "discovery/virtual_com.h"

namespace nolpa::discovery {

Routes StandardRoutes(const platform::Platform& platform, SerialLibrarySource library) {
  Routes routes;
  routes.vendorDriver = [platform](int index, DeviceList& list) {
    return ProbeVendorDriverDevice(platform, index, list);
  };
  routes.virtualCom = [platform](int index, DeviceList& list) {
    return ProbeVirtualComPort(platform, index, list);
  };
  routes.printerClass = [platform, library = std::move(library)](int index, DeviceList& list) {
    return ProbePrinterClassDevice(platform, library ? library() : SerialLibraryView{}, index,
                                   list);
  };
  return routes;
}

}  // namespace nolpa::discovery

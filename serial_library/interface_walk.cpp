#include "serial_library/interface_walk.h"

#include "platform/scoped.h"

namespace nolpa::morvalib {

int WalkInterfaces(platform::DeviceInterfaces& interfaces, const platform::Guid& interfaceClass,
                   const InterfaceVisitor& visit) {
  platform::ScopedInterfaceSet set(interfaces, interfaces.OpenSet(interfaceClass));
  if (!set.Valid()) return -1;
  int passedOver = 0;
  std::string path;
  for (std::uint32_t index = 0;
       index < kMaxInterfacesWalked && interfaces.HasInterface(set.Get(), interfaceClass, index);
       ++index) {
    if (!interfaces.InterfacePath(set.Get(), interfaceClass, index, &path)) {
      ++passedOver;
      continue;
    }
    if (!visit(set.Get(), index, path)) break;
  }
  return passedOver;
}

}  // namespace nolpa::morvalib

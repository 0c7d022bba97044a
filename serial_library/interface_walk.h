#pragma once
// Walking the present interfaces of one device-interface class, as every
// enumeration of the printer lookup does.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/device_interfaces.h"

namespace nolpa::morvalib {

// No machine has this many interfaces of one class; the bound only keeps a
// set that never ends from being walked for ever.
inline constexpr std::uint32_t kMaxInterfacesWalked = 4096;

// Calls `visit(set, index, path)` for each present interface of
// `interfaceClass` in order, until it returns false or the set ends. An
// interface whose path cannot be read (its device went while the set was
// walked) is passed over and the walk goes on. The set is released before
// the call returns. Returns how many interfaces were passed over; -1 when
// the set cannot be opened.
using InterfaceVisitor =
    std::function<bool(platform::InterfaceSet set, std::uint32_t index, const std::string& path)>;
int WalkInterfaces(platform::DeviceInterfaces& interfaces, const platform::Guid& interfaceClass,
                   const InterfaceVisitor& visit);

}  // namespace nolpa::morvalib

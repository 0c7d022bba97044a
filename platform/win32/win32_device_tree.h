#pragma once
// The real device tree: the configuration manager of the system folder
// (system_libraries.h).
#include "platform/device_tree.h"

namespace nolpa::platform::win32 {

class Win32DeviceTree final : public DeviceTree {
 public:
  bool LocateNode(const std::string& instanceId, DevNode* node) override;
  bool Parent(DevNode node, DevNode* parent) override;
  bool Property(DevNode node, NodeProperty property, std::string* value) override;
};

}  // namespace nolpa::platform::win32

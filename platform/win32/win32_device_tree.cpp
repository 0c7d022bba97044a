#include "platform/win32/win32_device_tree.h"

#include "platform/win32/system_libraries.h"

#include <cstring>

namespace nolpa::platform::win32 {

static_assert(sizeof(DevNode) == sizeof(DEVINST));

bool Win32DeviceTree::LocateNode(const std::string& instanceId, DevNode* node) {
  const auto locate = ConfigManager().locateDevNode;
  if (locate == nullptr) return false;
  DEVINST found = 0;
  const CONFIGRET result =
      locate(&found, const_cast<char*>(instanceId.c_str()), CM_LOCATE_DEVNODE_NORMAL);
  *node = found;
  return result == CR_SUCCESS;
}

bool Win32DeviceTree::Parent(DevNode node, DevNode* parent) {
  const auto getParent = ConfigManager().getParent;
  if (getParent == nullptr) return false;
  DEVINST found = 0;
  const CONFIGRET result = getParent(&found, node, 0);
  *parent = found;
  return result == CR_SUCCESS;
}

bool Win32DeviceTree::Property(DevNode node, NodeProperty property, std::string* value) {
  const auto getProperty = ConfigManager().getDevNodeRegistryProperty;
  if (getProperty == nullptr) return false;
  const ULONG which = property == NodeProperty::Service  ? CM_DRP_SERVICE
                      : property == NodeProperty::Driver ? CM_DRP_DRIVER
                                                         : CM_DRP_LOCATION_INFORMATION;
  char buffer[kMaxPropertyText] = {};
  ULONG type = 0;
  ULONG length = sizeof buffer;
  if (getProperty(node, which, &type, buffer, &length, 0) != CR_SUCCESS) return false;
  if (type != REG_SZ || length > sizeof buffer) return false;
  // The text ends at its NUL, within the bytes the call reported.
  *value = std::string(buffer, strnlen(buffer, length));
  return true;
}

}  // namespace nolpa::platform::win32

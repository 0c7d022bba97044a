#include "platform/win32/win32_device_tree.h"

// clang-format off
#include <windows.h>
#include <cfgmgr32.h>
// clang-format on

#include <cstring>

namespace nolpa::platform::win32 {

static_assert(sizeof(DevNode) == sizeof(DEVINST));

bool Win32DeviceTree::LocateNode(const std::string& instanceId, DevNode* node) {
  DEVINST found = 0;
  const CONFIGRET result = CM_Locate_DevNodeA(&found, const_cast<char*>(instanceId.c_str()),
                                              CM_LOCATE_DEVNODE_NORMAL);
  *node = found;
  return result == CR_SUCCESS;
}

bool Win32DeviceTree::Parent(DevNode node, DevNode* parent) {
  DEVINST found = 0;
  const CONFIGRET result = CM_Get_Parent(&found, node, 0);
  *parent = found;
  return result == CR_SUCCESS;
}

bool Win32DeviceTree::Property(DevNode node, NodeProperty property, std::string* value) {
  const ULONG which = property == NodeProperty::Service  ? CM_DRP_SERVICE
                      : property == NodeProperty::Driver ? CM_DRP_DRIVER
                                                         : CM_DRP_LOCATION_INFORMATION;
  char buffer[kMaxPropertyText] = {};
  ULONG type = 0;
  ULONG length = sizeof buffer;
  if (CM_Get_DevNode_Registry_PropertyA(node, which, &type, buffer, &length, 0) != CR_SUCCESS)
    return false;
  if (type != REG_SZ || length > sizeof buffer) return false;
  // The text ends at its NUL, within the bytes the call reported.
  *value = std::string(buffer, strnlen(buffer, length));
  return true;
}

}  // namespace nolpa::platform::win32

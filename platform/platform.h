#pragma once
// The set of outside services the core is given. Nothing in the core reaches
// the operating system any other way.
#include "platform/clock.h"
#include "platform/device_files.h"
#include "platform/device_interfaces.h"
#include "platform/dos_devices.h"
#include "platform/host_files.h"
#include "platform/message_boxes.h"
#include "platform/modules.h"
#include "platform/program_files.h"
#include "platform/service_manager.h"
#include "platform/system_info.h"
#include "platform/text_compare.h"

namespace nolpa::platform {

struct Platform {
  Clock* clock = nullptr;
  DeviceFiles* files = nullptr;
  DeviceInterfaces* interfaces = nullptr;
  DosDevices* dosDevices = nullptr;
  SystemInfo* system = nullptr;
  MessageBoxes* messageBoxes = nullptr;
  ServiceManager* serviceManager = nullptr;
  TextCompare* textCompare = nullptr;
  HostFiles* hostFiles = nullptr;
  Modules* modules = nullptr;
  ProgramFiles* program = nullptr;
};

}  // namespace nolpa::platform

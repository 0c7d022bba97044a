#pragma once
// Every outside service the core is given in a running program: the real
// window-side adapters, the real service manager (in both flavours: the
// simulated program stops and starts the system's own spooler too) and the
// flavour's device world.
#include <memory>

#include "app/device_world.h"
#include "platform/platform.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_host_files.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_modules.h"
#include "platform/win32/win32_program_files.h"
#include "platform/win32/win32_service_manager.h"
#include "platform/win32/win32_system_info.h"
#include "platform/win32/win32_text_compare.h"

namespace nolpa::app {

class Win32Platform {
 public:
  Win32Platform() : world_(OpenDeviceWorld(clock_)) {}

  platform::Platform Services() {
    platform::Platform services;
    services.clock = &clock_;
    services.files = &world_->Files();
    services.interfaces = &world_->Interfaces();
    services.dosDevices = &world_->DosDevices();
    services.system = &system_;
    services.messageBoxes = &messageBoxes_;
    services.serviceManager = &serviceManager_;
    services.textCompare = &textCompare_;
    // Both flavours write out, load and configure the library for real.
    services.hostFiles = &hostFiles_;
    services.modules = &modules_;
    services.program = &program_;
    return services;
  }
  // The serial-number library was loaded and bound (FormServices::libraryLoaded).
  void LibraryLoaded(platform::ModuleHandle library) { world_->LibraryLoaded(modules_, library); }
  // The simulated flavour's device tree; null in the real one.
  platform::DeviceTree* UsbDeviceTree() { return world_->UsbDeviceTree(); }
  // Message boxes become modal to this window (an HWND) once it exists.
  void SetMessageOwner(void* window) { messageBoxes_.SetOwner(window); }

 private:
  platform::win32::Win32Clock clock_;
  platform::win32::Win32SystemInfo system_;
  platform::win32::Win32MessageBoxes messageBoxes_;
  platform::win32::Win32ServiceManager serviceManager_;
  platform::win32::Win32TextCompare textCompare_;
  platform::win32::Win32HostFiles hostFiles_;
  platform::win32::Win32Modules modules_{platform::win32::Win32Modules::Kind::ProgramLibrary};
  platform::win32::Win32ProgramFiles program_;
  std::unique_ptr<DeviceWorld> world_;
};

}  // namespace nolpa::app

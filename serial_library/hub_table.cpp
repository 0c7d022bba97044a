#include "serial_library/hub_table.h"

#include <algorithm>

#include "platform/scoped.h"
#include "serial_library/ascii_text.h"
#include "serial_library/interface_walk.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/services.h"
#include "serial_library/usb_hub_requests.h"

namespace nolpa::morvalib {

namespace {

std::shared_ptr<const HubTableBuild> inForce;
std::uint64_t builds = 0;

bool HaveTracingServices() {
  const LibraryServices& s = Services();
  return s.deviceTree != nullptr && s.hubFiles != nullptr && s.interfaces != nullptr;
}

bool Listed(const std::vector<std::string>& paths, const std::string& path) {
  return std::any_of(paths.begin(), paths.end(),
                     [&path](const std::string& p) { return EqualIgnoringCase(p, path); });
}

// A path too long for the table, or that names no device (an empty one,
// say), is left out: no hub to open.
bool Listable(const std::string& path) {
  return path.size() <= kMaxHubPath && InstanceIdentifier(path).has_value();
}

void AddHub(std::vector<std::string>& paths, const std::string& path) {
  if (!Listable(path) || Listed(paths, path)) return;
  paths.push_back(path);
}

// The root hub of the controller at `controllerPath`, added when the
// controller opens and names one.
void AddRootHubOf(platform::UsbHubFiles& files, const std::string& controllerPath,
                  std::vector<std::string>& paths) {
  const platform::ScopedHub controller(files, controllerPath);
  if (!controller.Valid()) return;
  const auto name = RootHubName(files, controller.Get());
  // A controller without a root hub answers with an empty name.
  if (name && !name->empty()) AddHub(paths, "\\\\?\\" + *name);
}

std::vector<std::string> HubPaths(platform::UsbHubFiles& files,
                                  platform::DeviceInterfaces& interfaces) {
  std::vector<std::string> paths;
  for (int n = 0; n < kHostControllers; ++n)
    AddRootHubOf(files, "\\\\.\\HCD" + std::to_string(n), paths);
  WalkInterfaces(interfaces, kUsbHostControllerInterface,
                 [&](platform::InterfaceSet, std::uint32_t, const std::string& controller) {
                   AddRootHubOf(files, controller, paths);
                   return true;
                 });
  WalkInterfaces(interfaces, kUsbHubInterface,
                 [&paths](platform::InterfaceSet, std::uint32_t, const std::string& hub) {
                   AddHub(paths, hub);
                   return true;
                 });
  return paths;
}

}  // namespace

std::optional<std::size_t> HubTableBuild::IndexOf(platform::DevNode node) const {
  for (std::size_t i = 0; i < nodes.size(); ++i)
    if (nodes[i] == node) return i;
  return std::nullopt;
}

std::shared_ptr<const HubTableBuild> CurrentHubTable() {
  if (inForce) return inForce;
  return RebuildHubTable();
}

std::shared_ptr<const HubTableBuild> RebuildHubTable() {
  if (!HaveTracingServices()) return nullptr;
  const LibraryServices& s = Services();
  auto table = std::make_shared<HubTableBuild>();
  table->paths = HubPaths(*s.hubFiles, *s.interfaces);
  for (const std::string& path : table->paths) {
    platform::DevNode node = 0;
    const auto id = InstanceIdentifier(path);
    table->nodes.push_back(id && s.deviceTree->LocateNode(*id, &node) ? std::optional(node)
                                                                      : std::nullopt);
  }
  table->generation = ++builds;
  inForce = std::move(table);
  return inForce;
}

const std::vector<std::string>& HubTable() {
  static const std::vector<std::string> none;
  const auto table = CurrentHubTable();
  return table ? inForce->paths : none;
}

void DropHubTable() { inForce.reset(); }

std::uint64_t HubTableGeneration() { return inForce ? inForce->generation : 0; }

bool ListsEveryHubInterface(const HubTableBuild& table) {
  if (!HaveTracingServices()) return false;
  bool all = true;
  const int passedOver =
      WalkInterfaces(*Services().interfaces, kUsbHubInterface,
                     [&](platform::InterfaceSet, std::uint32_t, const std::string& hub) {
                       all = !Listable(hub) || Listed(table.paths, hub);
                       return all;
                     });
  return all && passedOver == 0;
}

}  // namespace nolpa::morvalib

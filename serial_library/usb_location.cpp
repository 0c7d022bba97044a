#include "serial_library/usb_location.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>

#include "platform/scoped.h"
#include "serial_library/interface_walk.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/services.h"
#include "serial_library/usb_hub_requests.h"

namespace nolpa::morvalib {

namespace {

using platform::DevNode;

// {F18A0E88-C30C-11D0-8815-00A0C906BED8}: GUID_DEVINTERFACE_USB_HUB.
constexpr platform::Guid kUsbHubInterface = {
    0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};
// The hub drivers' services: the older USB 2 stack's, the USB 3 stack's of
// Windows 8 and later (root hubs and every hub below an xHCI controller),
// and a vendor's USB 3 stack on Windows 7. A hub of another driver is still
// recognised by its hub interface (its place in the hub table).
constexpr std::string_view kHubServices[] = {"usbhub", "USBHUB3", "iusb3hub"};
// No real device tree is this deep; the bound only keeps a broken one from
// being walked for ever.
constexpr int kMaxTreeDepth = 64;

std::optional<std::vector<std::string>> hubTable;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return Lower(x) == Lower(y); });
}

bool HaveTracingServices() {
  const LibraryServices& s = Services();
  return s.deviceTree != nullptr && s.hubFiles != nullptr && s.interfaces != nullptr;
}

class ScopedHub {
 public:
  ScopedHub(platform::UsbHubFiles& files, const std::string& path)
      : files_(files), handle_(files.Open(path)) {}
  ~ScopedHub() { files_.Close(handle_); }
  ScopedHub(const ScopedHub&) = delete;
  ScopedHub& operator=(const ScopedHub&) = delete;
  platform::DeviceHandle Get() const { return handle_; }
  bool Valid() const { return handle_ != platform::kInvalidDeviceHandle; }

 private:
  platform::UsbHubFiles& files_;
  platform::DeviceHandle handle_;
};

void AddHub(std::vector<std::string>& table, const std::string& path) {
  if (path.size() > kMaxHubPath) return;
  const bool listed = std::any_of(table.begin(), table.end(),
                                  [&path](const std::string& p) { return SameText(p, path); });
  if (!listed) table.push_back(path);
}

std::vector<std::string> BuildHubTable(platform::UsbHubFiles& files,
                                       platform::DeviceInterfaces& interfaces) {
  std::vector<std::string> table;
  for (int n = 0; n < kHostControllers; ++n) {
    ScopedHub controller(files, "\\\\.\\HCD" + std::to_string(n));
    if (!controller.Valid()) continue;
    const auto name = RootHubName(files, controller.Get());
    if (name && !name->empty()) AddHub(table, "\\\\?\\" + *name);
  }
  WalkInterfaces(interfaces, kUsbHubInterface,
                 [&table](platform::InterfaceSet, std::uint32_t, const std::string& path) {
                   AddHub(table, path);
                   return true;
                 });
  return table;
}

// The device-tree node of each table entry (nothing where it is not found),
// so that nodes met on the way up can be matched to hub paths.
std::vector<std::optional<DevNode>> TableNodes(platform::DeviceTree& tree,
                                               const std::vector<std::string>& table) {
  std::vector<std::optional<DevNode>> nodes;
  for (const std::string& path : table) {
    DevNode node = 0;
    const auto id = InstanceIdentifier(path);
    nodes.push_back(id && tree.LocateNode(*id, &node) ? std::optional(node) : std::nullopt);
  }
  return nodes;
}

// The table index of `node`, if it is a listed hub.
std::optional<std::size_t> TableIndex(const std::vector<std::optional<DevNode>>& nodes,
                                      DevNode node) {
  for (std::size_t i = 0; i < nodes.size(); ++i)
    if (nodes[i] == node) return i;
  return std::nullopt;
}

struct HubStep {
  DevNode hub = 0;    // the nearest hub above the node
  DevNode child = 0;  // the node below it on the way up: what its port holds
};

bool IsHubService(const std::string& service) {
  return std::any_of(
      std::begin(kHubServices), std::end(kHubServices),
      [&service](std::string_view hub) { return SameText(service, std::string(hub)); });
}

// A node is a hub when it is listed in the hub table (a root hub, or a
// device of the USB hub interface class) or a hub driver runs it.
bool IsHub(platform::DeviceTree& tree, const std::vector<std::optional<DevNode>>& nodes,
           DevNode node) {
  if (TableIndex(nodes, node)) return true;
  std::string service;
  return tree.Property(node, platform::NodeProperty::Service, &service) && IsHubService(service);
}

// The nearest hub above `node`; nothing when the walk reaches the top of
// the tree without one.
std::optional<HubStep> NearestHub(platform::DeviceTree& tree,
                                  const std::vector<std::optional<DevNode>>& nodes, DevNode node) {
  DevNode current = node;
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    DevNode parent = 0;
    if (!tree.Parent(current, &parent)) return std::nullopt;
    if (IsHub(tree, nodes, parent)) return HubStep{parent, current};
    current = parent;
  }
  return std::nullopt;
}

// The port of the hub at `hubPath` whose device has the driver key
// `driverKey`; nothing when the hub does not answer or no port matches.
// A port whose request fails (nothing plugged in) is passed over.
std::optional<int> PortHolding(const std::string& hubPath, const std::string& driverKey) {
  platform::UsbHubFiles& files = *Services().hubFiles;
  ScopedHub hub(files, hubPath);
  if (!hub.Valid()) return std::nullopt;
  const auto ports = HubPortCount(files, hub.Get());
  if (!ports) return std::nullopt;
  for (int port = 1; port <= *ports; ++port) {
    const auto key = PortDriverKey(files, hub.Get(), static_cast<std::uint32_t>(port));
    if (key && SameText(*key, driverKey)) return port;
  }
  return std::nullopt;
}

// The root hub's pair: the first of `node` and its ancestors that is listed.
std::optional<std::string> RootPair(platform::DeviceTree& tree,
                                    const std::vector<std::optional<DevNode>>& nodes,
                                    DevNode node) {
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    if (const auto index = TableIndex(nodes, node))
      return std::string{LocationCharacter(static_cast<int>(*index + 1)),
                         LocationCharacter(static_cast<int>(nodes.size()))};
    if (!tree.Parent(node, &node)) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

char LocationCharacter(int value) {
  if (value >= 0 && value <= 9) return static_cast<char>('0' + value);
  if (value >= 10 && value <= 35) return static_cast<char>('a' + value - 10);
  return '-';
}

const std::vector<std::string>& HubTable() {
  static const std::vector<std::string> none;
  if (hubTable) return *hubTable;
  if (!HaveTracingServices()) return none;
  hubTable = BuildHubTable(*Services().hubFiles, *Services().interfaces);
  return *hubTable;
}

void DropHubTable() { hubTable.reset(); }

std::string UsbLocation(const std::string& instanceIdentifier) {
  if (!HaveTracingServices()) return {};
  const std::vector<std::string>& table = HubTable();
  platform::DeviceTree& tree = *Services().deviceTree;
  const auto nodes = TableNodes(tree, table);
  DevNode node = 0;
  if (!tree.LocateNode(instanceIdentifier, &node)) return {};
  std::string text;
  for (int level = 0; level < kMaxTreeDepth; ++level) {
    const auto step = NearestHub(tree, nodes, node);
    const auto hubIndex = step ? TableIndex(nodes, step->hub) : std::nullopt;
    const auto pair = step ? std::nullopt : RootPair(tree, nodes, node);
    if (step ? !hubIndex : !pair) {
      // A hub or root hub on the way that the table does not list: the
      // table was built before it came, or from a bus that did not answer
      // in full. The next call builds it again.
      DropHubTable();
      return {};
    }
    if (!step) return pair->size() + text.size() > kMaxUsbLocation ? std::string() : *pair + text;
    std::string driverKey;
    if (!tree.Property(step->child, platform::NodeProperty::Driver, &driverKey)) return {};
    const auto port = PortHolding(table[*hubIndex], driverKey);
    if (!port) return {};
    text.insert(0, std::string{LocationCharacter(*port), '0'});
    node = step->hub;
  }
  return {};
}

}  // namespace nolpa::morvalib

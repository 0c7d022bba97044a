#include "serial_library/usb_location.h"

#include <algorithm>
#include <optional>

#include "platform/scoped.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/services.h"
#include "serial_library/usb_hub_requests.h"

namespace nolpa::morvalib {

namespace {

using platform::DevNode;

// {F18A0E88-C30C-11D0-8815-00A0C906BED8}: GUID_DEVINTERFACE_USB_HUB.
constexpr platform::Guid kUsbHubInterface = {
    0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};
constexpr char kHubService[] = "usbhub";
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
  platform::ScopedInterfaceSet set(interfaces, interfaces.OpenSet(kUsbHubInterface));
  if (!set.Valid()) return table;
  std::string path;
  for (std::uint32_t index = 0; interfaces.InterfacePath(set.Get(), kUsbHubInterface, index, &path);
       ++index)
    AddHub(table, path);
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
  DevNode hub = 0;    // the nearest "usbhub" ancestor
  DevNode child = 0;  // the node below it on the way up: what its port holds
};

// The nearest ancestor of `node` driven by the hub service; nothing when the
// walk reaches the top of the tree without one.
std::optional<HubStep> NearestHub(platform::DeviceTree& tree, DevNode node) {
  DevNode current = node;
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    DevNode parent = 0;
    if (!tree.Parent(current, &parent)) return std::nullopt;
    std::string service;
    if (tree.Property(parent, platform::NodeProperty::Service, &service) &&
        SameText(service, kHubService))
      return HubStep{parent, current};
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
    const auto step = NearestHub(tree, node);
    if (!step) {
      const auto pair = RootPair(tree, nodes, node);
      if (!pair || pair->size() + text.size() > kMaxUsbLocation) return {};
      return *pair + text;
    }
    const auto hubIndex = TableIndex(nodes, step->hub);
    std::string driverKey;
    if (!hubIndex || !tree.Property(step->child, platform::NodeProperty::Driver, &driverKey))
      return {};
    const auto port = PortHolding(table[*hubIndex], driverKey);
    if (!port) return {};
    text.insert(0, std::string{LocationCharacter(*port), '0'});
    node = step->hub;
  }
  return {};
}

}  // namespace nolpa::morvalib

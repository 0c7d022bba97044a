#include "serial_library/usb_location.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/scoped.h"
#include "serial_library/ascii_text.h"
#include "serial_library/services.h"
#include "serial_library/usb_hub_requests.h"

namespace nolpa::morvalib {

namespace {

using platform::DevNode;

// The hub drivers' services: the older USB 2 stack's, the USB 3 stack's of
// Windows 8 and later (root hubs and every hub below an xHCI controller),
// and a vendor's USB 3 stack on Windows 7. A node they run is a hub, so one
// the table does not list shows the table out of date.
constexpr std::string_view kHubServices[] = {"usbhub", "USBHUB3", "iusb3hub"};
// No real device tree is this deep; the bound only keeps a broken one from
// being walked for ever.
constexpr int kMaxTreeDepth = 64;

enum class Outcome { Traced, Failed, Stale };

struct Trace {
  Outcome outcome;
  std::string text;
};

bool RunsHubDriver(platform::DeviceTree& tree, DevNode node) {
  std::string service;
  if (!tree.Property(node, platform::NodeProperty::Service, &service)) return false;
  return std::any_of(std::begin(kHubServices), std::end(kHubServices),
                     [&service](std::string_view hub) { return EqualIgnoringCase(service, hub); });
}

// The nodes above `device`, nearest first, up to the top of the tree;
// nothing when the tree is deeper than any real one.
std::optional<std::vector<DevNode>> Ancestors(platform::DeviceTree& tree, DevNode device) {
  std::vector<DevNode> up;
  DevNode node = device;
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    DevNode parent = 0;
    if (!tree.Parent(node, &parent)) return up;
    up.push_back(parent);
    node = parent;
  }
  return std::nullopt;
}

// Whether the unlisted nodes among `up` show the table out of date: a hub
// driver runs one of them, or one below the root hub (at `root`) could be
// a hub that came after the table was built.
bool ShowsTableStale(platform::DeviceTree& tree, const HubTableBuild& table,
                     const std::vector<DevNode>& up, std::size_t root) {
  bool enumerated = false;
  for (std::size_t i = 0; i < up.size(); ++i) {
    if (table.IndexOf(up[i])) continue;
    if (RunsHubDriver(tree, up[i])) return true;
    if (i < root && !enumerated) {
      enumerated = true;
      if (!ListsEveryHubInterface(table)) return true;
    }
  }
  return false;
}

// The port the hub driver names in a node's location information
// ("Port_#0002.Hub_#0003" gives 2); nothing for a text of another form.
std::optional<int> NamedPort(const std::string& locationInformation) {
  constexpr std::string_view kPrefix = "Port_#";
  if (!locationInformation.starts_with(kPrefix)) return std::nullopt;
  int port = 0;
  std::size_t at = kPrefix.size();
  for (; at < locationInformation.size() && at < kPrefix.size() + 4; ++at) {
    const char c = locationInformation[at];
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  return at == kPrefix.size() + 4 ? std::optional(port) : std::nullopt;
}

// The port of the hub at `hubPath` whose device has the driver key
// `driverKey`; nothing when the hub does not answer or no port matches.
// The port `named` (the one the node's location information names) is
// asked first, so that a port is found in one request rather than by
// asking every port below it; the others are asked from port 1 upward
// when it does not match. A port whose request fails (nothing plugged
// in) is passed over.
std::optional<int> PortHolding(const std::string& hubPath, const std::string& driverKey,
                               std::optional<int> named) {
  platform::UsbHubFiles& files = *Services().hubFiles;
  const platform::ScopedHub hub(files, hubPath);
  if (!hub.Valid()) return std::nullopt;
  const auto ports = HubPortCount(files, hub.Get());
  if (!ports) return std::nullopt;
  const auto holds = [&](int port) {
    const auto key = PortDriverKey(files, hub.Get(), static_cast<std::uint32_t>(port));
    return key && EqualIgnoringCase(*key, driverKey);
  };
  if (named && *named >= 1 && *named <= *ports && holds(*named)) return named;
  for (int port = 1; port <= *ports; ++port)
    if (port != named && holds(port)) return port;
  return std::nullopt;
}

// The device at `device` traced under `table`: the root hub's pair, then
// for each listed hub from the root hub down the port that leads on.
Trace TraceUnder(const HubTableBuild& table, DevNode device) {
  platform::DeviceTree& tree = *Services().deviceTree;
  const auto up = Ancestors(tree, device);
  if (!up) return {Outcome::Failed, {}};
  std::optional<std::size_t> root;
  for (std::size_t i = 0; i < up->size(); ++i)
    if (table.IndexOf((*up)[i])) root = i;
  if (!root) return {Outcome::Stale, {}};
  if (ShowsTableStale(tree, table, *up, *root)) return {Outcome::Stale, {}};
  std::string text{LocationCharacter(static_cast<int>(*table.IndexOf((*up)[*root]) + 1)),
                   LocationCharacter(static_cast<int>(table.paths.size()))};
  for (std::size_t i = *root + 1; i-- > 0;) {
    const auto hub = table.IndexOf((*up)[i]);
    if (!hub) continue;
    const DevNode child = i == 0 ? device : (*up)[i - 1];
    std::string driverKey, named;
    if (!tree.Property(child, platform::NodeProperty::Driver, &driverKey))
      return {Outcome::Failed, {}};
    tree.Property(child, platform::NodeProperty::LocationInformation, &named);
    const auto port = PortHolding(table.paths[*hub], driverKey, NamedPort(named));
    if (!port) return {Outcome::Failed, {}};
    text += {LocationCharacter(*port), '0'};
  }
  if (text.size() > kMaxUsbLocation) return {Outcome::Failed, {}};
  return {Outcome::Traced, std::move(text)};
}

}  // namespace

char LocationCharacter(int value) {
  if (value >= 0 && value <= 9) return static_cast<char>('0' + value);
  if (value >= 10 && value <= 35) return static_cast<char>('a' + value - 10);
  return '-';
}

std::string UsbLocation(const std::string& instanceIdentifier) {
  auto table = CurrentHubTable();
  if (!table) return {};
  for (int build = 0; build < 2; ++build) {
    if (build > 0) table = RebuildHubTable();
    DevNode node = 0;
    if (!Services().deviceTree->LocateNode(instanceIdentifier, &node)) return {};
    Trace trace = TraceUnder(*table, node);
    if (trace.outcome != Outcome::Stale) return std::move(trace.text);
  }
  return {};
}

}  // namespace nolpa::morvalib

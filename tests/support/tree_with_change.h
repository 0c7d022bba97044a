#pragma once
// A device tree that changes the bus in the middle of a call: it forwards
// every request to the tree it wraps and runs one change (a hub plugged in,
// a printer unplugged) just before the n-th request counted from when the
// change was set, so a test or fuzz target can put that change at any
// point of a lookup.
#include <functional>
#include <string>
#include <utility>

#include "platform/device_tree.h"

namespace nolpa::testing {

class TreeWithChange final : public platform::DeviceTree {
 public:
  explicit TreeWithChange(platform::DeviceTree& tree) : tree_(tree) {}

  // Runs `change` before the `request`-th request from now on (from 1).
  void ChangeAt(int request, std::function<void()> change) {
    seen_ = 0;
    at_ = request;
    change_ = std::move(change);
  }
  // No change is waiting: the last one set has run (or none was set).
  bool Changed() const { return !change_; }

  bool LocateNode(const std::string& id, platform::DevNode* node) override {
    Tick();
    return tree_.LocateNode(id, node);
  }
  bool Parent(platform::DevNode node, platform::DevNode* parent) override {
    Tick();
    return tree_.Parent(node, parent);
  }
  bool Property(platform::DevNode node, platform::NodeProperty property,
                std::string* value) override {
    Tick();
    return tree_.Property(node, property, value);
  }

 private:
  void Tick() {
    if (++seen_ != at_ || !change_) return;
    const std::function<void()> change = std::move(change_);
    change_ = nullptr;
    change();
  }

  platform::DeviceTree& tree_;
  int seen_ = 0;
  int at_ = 0;
  std::function<void()> change_;
};

}  // namespace nolpa::testing
